#pragma once

// The update check: fetch the manifest, compare each entry's stamp with the
// local file's last-write time and list what is out of date. Portable: the
// update window drives it, and so does the publishers' dry-run tool.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "base/datetime.h"
#include "base/regional_datetime.h"
#include "base/string_list.h"
#include "platform/files.h"
#include "transfer/http_client.h"

namespace updater {

// Splits at every occurrence of a one-byte separator into a new list: n
// separators give n + 1 parts; an empty text gives an empty list.
base::TStringList SplitText(std::string_view text, char separator);

// A manifest entry's path is used below the current directory only when it
// stays there: not empty, not absolute, no drive, no UNC name, no ".." that
// climbs above the start, no empty folder name, no character that Windows
// cannot store in a file name, no device name (CON, NUL, COM1, CONIN$, ...),
// no name ending in a dot or a blank (Windows drops those, so the name would
// stand for another file).
bool IsSafeRelativePath(std::string_view path);

// The file that a manifest path (GBK, "\" between folders) names below
// `folder` (as the system names it): the folder, "\", the path converted to
// UTF-16, the whole trimmed of characters up to U+0020 at both ends. Only the
// manifest's text is converted; the folder's characters stay exactly as they
// are. base::EEncodingError when the path is not GBK text.
std::u16string LocalFilePath(const std::u16string& folder, std::string_view relative);

// Converts a file time to local time with the offset in force now, then to a
// date-time value (milliseconds kept, the rest of the 100-ns ticks dropped).
base::TDateTime FileTimeToLocalDateTime(platform::FileTime utc);

// One pending update, as the window lists it.
struct TPendingUpdate {
    std::string display;  // stamp + free text + path, untrimmed, as listed
    std::string url;      // trimmed
    std::string path;     // trimmed
    // The SHA-256 the file must have (64 lower-case hexadecimal digits), from
    // an optional fifth field "sha256=<hex>"; empty when the entry has none.
    std::string sha256;
};

struct TCheckResult {
    enum class Outcome {
        kChecked,      // the manifest was read; `pending` may be empty
        kBadArgument,  // no manifest URL was given
        kFailed,       // the manifest could not be fetched or read
    };
    Outcome outcome = Outcome::kChecked;
    std::string message;  // for kBadArgument and kFailed: what the user sees
    std::string reason;   // for kFailed: the underlying error, for tools and logs
    std::vector<TPendingUpdate> pending;
    std::string gauge_text;  // set when something is pending
    std::string label_text;  // set when something is pending
};

// What the check reads from the machine; the defaults use the platform.
struct TCheckEnvironment {
    // The folder the relative paths are below (the current directory), as
    // the system names it.
    std::u16string current_dir;
    // Last-write time (UTC) of the first entry matching a path; 0 if none.
    std::function<platform::FileTime(const std::u16string&)> last_write_time =
        [](const std::u16string& path) { return platform::FirstMatchLastWriteTime(path); };
    // UTC to local file time.
    std::function<platform::FileTime(platform::FileTime)> to_local =
        platform::FileTimeToLocalFileTime;
    // The regional settings read at start-up.
    base::TFormatSettings settings;
};

// Runs the whole check. `argument` is the first command-line argument
// (trimmed here). The HTTP client's progress events fire during the fetch.
TCheckResult RunUpdateCheck(std::string_view argument, transfer::THTTPClient& client,
                            const TCheckEnvironment& env);

// The check on a manifest text that is already fetched (cut at its first
// zero byte here). Raises base::Exception for an invalid manifest.
std::vector<TPendingUpdate> ReadManifest(std::string_view text, const TCheckEnvironment& env);

}  // namespace updater
