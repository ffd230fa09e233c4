#pragma once

// The manifest of a release folder: every file below it, with its path, its
// last-write time as the updater compares it, its URL under a base URL and
// optionally its SHA-256, in the updater's manifest format. A name the
// updater would refuse or misread stops the whole manifest with a message
// naming the file and the reason.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "base/datetime.h"
#include "base/exception.h"
#include "platform/files.h"

namespace manifest {

// A release folder or a setting the manifest cannot be made from; the message
// (GBK) names the file or the setting and says why.
class EManifestError : public base::Exception {
  public:
    using Exception::Exception;
};

// One file below the release folder.
struct TReleaseFile {
    std::u16string path;  // below the folder, "\" between folders, as the system names it
    platform::FileTime last_write = 0;  // UTC
    uint64_t size = 0;
};

// Every file below `folder` (as the system names it), folder by folder, the
// names of each folder in the order of their UTF-16 code units, so the same
// folder always gives the same list. Links are followed, down to 64 levels
// of folders. EManifestError for an entry that is neither a file nor a
// folder; base::Exception when a folder cannot be read.
std::vector<TReleaseFile> ListReleaseFiles(const std::u16string& folder);

// The manifest path (GBK, "\" between folders) of a file below the release
// folder, or EManifestError when the updater would refuse it, misread it or
// take it for another file: GBK cannot hold the name, the updater's path
// check fails (a character Windows cannot store, a name ending in a dot or a
// blank, a device name), a GBK byte is "@" or "*" (the manifest's
// separators, also as the second byte of a double-byte character), or the
// path starts with a blank (the updater trims it).
std::string ManifestPath(std::u16string_view path);

// The file's URL: the base URL without its trailing "/"s, then "/" and each
// folder and name of `path` ("\" between them) as UTF-8 with every byte but
// the unreserved characters (letters, digits, "-", ".", "_", "~") written as
// "%" and two upper-case hex digits.
std::string FileUrl(std::string_view base_url, std::u16string_view path);

// A local date-time as the manifest's stamp: "yyyy-mm-dd hh:mm:ss", with
// ".zzz" milliseconds when they are not zero.
std::string FormatStamp(base::TDateTime local);

struct TOptions {
    std::string base_url;  // printable ASCII; see CheckBaseUrl
    std::string display;   // GBK, shown in the updater's list between stamp and path
    bool sha256 = false;
};

// EManifestError unless the base URL is "scheme://..." of printable ASCII
// without blanks, "@" and "*".
void CheckBaseUrl(std::string_view base_url);
// EManifestError when the display text (GBK) holds a byte "@" or "*" or a
// control character.
void CheckDisplay(std::string_view display);

// The manifest entry of one file: stamp, display text with a blank either
// side (one blank when it is empty), path and URL separated by "@", and
// "@sha256=" with 64 hex digits when `sha256` is not empty.
std::string EntryText(const std::string& stamp, const std::string& display, const std::string& path,
                      const std::string& url, const std::string& sha256);

// The SHA-256 of a file (64 lower-case hex digits); EManifestError naming the
// file when it cannot be read whole or its size is not `size` any more.
std::string HashFile(const std::u16string& file, uint64_t size);

// The whole manifest of the files below `folder`, entries separated by "*"
// (no "*" after the last). Checks the options and every path first, then
// that no two paths differ in letter case alone (Windows keeps one file for
// both); then stamps (local time with the offset in force now, as the
// updater reads it) and hashes. Nothing is written anywhere.
std::string BuildManifest(const std::u16string& folder, const std::vector<TReleaseFile>& files,
                          const TOptions& options);

}  // namespace manifest
