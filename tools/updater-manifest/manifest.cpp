#include "manifest.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <vector>

#include "base/sha256.h"
#include "base/text.h"
#include "platform/file_stream.h"
#include "updater/update_check.h"

namespace manifest {

namespace {

constexpr int kMaxDepth = 64;

std::string Shown(std::u16string_view path) {
    return base::Utf16ToGbkForDisplay(path);
}

void Walk(const std::u16string& folder, const std::u16string& relative, int depth,
          std::vector<TReleaseFile>& files) {
    if (depth > kMaxDepth) {
        throw EManifestError(Shown(relative) + ": folders nested deeper than " +
                             std::to_string(kMaxDepth) + " levels (a link to a folder above?)");
    }
    std::vector<platform::TFolderEntry> entries =
        platform::ListFolder(relative.empty() ? folder : folder + u'\\' + relative);
    std::sort(entries.begin(), entries.end(),
              [](const auto& a, const auto& b) { return a.name < b.name; });
    for (const platform::TFolderEntry& entry : entries) {
        const std::u16string path = relative.empty() ? entry.name : relative + u'\\' + entry.name;
        if (entry.name.find_first_of(u"\\/") != std::u16string::npos) {
            // Only a native file system lets a name hold these.
            throw EManifestError(Shown(path) +
                                 ": its name holds \"\\\", which the updater takes for a folder "
                                 "separator");
        }
        if (entry.is_folder) {
            Walk(folder, path, depth + 1, files);
        } else if (entry.is_file) {
            files.push_back({path, entry.last_write, entry.size});
        } else {
            throw EManifestError(Shown(path) + ": not a regular file");
        }
    }
}

bool IsForbiddenInName(char16_t c) {
    return c < 0x20 || c == 0x7f ||
           std::u16string_view(u"<>:\"|?*").find(c) != std::u16string_view::npos;
}

// Why the updater's path check refuses `path`, in words; the check itself
// decides, this only explains.
std::string PathCheckReason(std::u16string_view path) {
    for (char16_t c : path) {
        if (IsForbiddenInName(c)) {
            char text[64];
            std::snprintf(text, sizeof text,
                          "the character U+%04X, which Windows cannot store in a name",
                          static_cast<unsigned>(c));
            return text;
        }
    }
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find(u'\\', start);
        if (end == std::u16string_view::npos) {
            end = path.size();
        }
        const std::u16string_view name = path.substr(start, end - start);
        if (!name.empty() && (name.back() == u'.' || name.back() == u' ')) {
            return "\"" + Shown(name) + "\" ends in a dot or a blank, which Windows drops";
        }
        start = end + 1;
    }
    return "a device name (CON, PRN, AUX, NUL, COM0-COM9, LPT0-LPT9, CONIN$, CONOUT$), "
           "also with an extension";
}

// The first character of `path` that GBK cannot hold, as "U+XXXX".
std::string FirstNonGbk(std::u16string_view path) {
    for (size_t i = 0; i < path.size(); ++i) {
        const bool pair = i + 1 < path.size() && path[i] >= 0xd800 && path[i] < 0xdc00 &&
                          path[i + 1] >= 0xdc00 && path[i + 1] < 0xe000;
        const std::u16string_view one = path.substr(i, pair ? 2 : 1);
        try {
            base::Utf16ToGbk(one);
        } catch (const base::EEncodingError&) {
            const unsigned code =
                pair ? 0x10000 + ((one[0] - 0xd800u) << 10) + (one[1] - 0xdc00u) : one[0];
            char text[16];
            std::snprintf(text, sizeof text, "U+%04X", code);
            return text;
        }
        i += pair ? 1 : 0;
    }
    return "?";
}

// The ASCII letters of a path in upper case: the names that Windows takes
// for one.
std::u16string Folded(std::u16string_view path) {
    std::u16string folded(path);
    for (char16_t& c : folded) {
        if (c >= u'a' && c <= u'z') {
            c = static_cast<char16_t>(c - u'a' + u'A');
        }
    }
    return folded;
}

}  // namespace

std::vector<TReleaseFile> ListReleaseFiles(const std::u16string& folder) {
    std::vector<TReleaseFile> files;
    Walk(folder, u"", 0, files);
    return files;
}

std::string ManifestPath(std::u16string_view path) {
    const auto refuse = [path](const std::string& why) {
        return EManifestError(Shown(path) + ": " + why);
    };
    std::string gbk;
    try {
        gbk = base::Utf16ToGbk(path);
    } catch (const base::EEncodingError&) {
        throw refuse("GBK cannot hold " + FirstNonGbk(path) + " of its name");
    }
    for (size_t i = 0; i < gbk.size(); ++i) {
        const bool pair = base::IsGbkPair(gbk, i);
        const char second = pair ? gbk[i + 1] : '\0';
        if (gbk[i] == '@' || gbk[i] == '*' || second == '@' || second == '*') {
            const std::string what =
                pair ? "\"" + gbk.substr(i, 2) + "\", whose GBK bytes hold \"" + second + "\","
                     : "\"" + std::string(1, gbk[i]) + "\"";
            throw refuse("it holds " + what +
                         " which the updater reads as a separator of the manifest");
        }
        i += pair ? 1 : 0;
    }
    if (!updater::IsSafeRelativePath(gbk)) {
        throw refuse("the updater refuses the path: " + PathCheckReason(path));
    }
    if (static_cast<unsigned char>(gbk.front()) <= 0x20) {
        throw refuse("it starts with a blank, which the updater trims");
    }
    return gbk;
}

std::string FileUrl(std::string_view base_url, std::u16string_view path) {
    while (!base_url.empty() && base_url.back() == '/') {
        base_url.remove_suffix(1);
    }
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string url(base_url);
    url += '/';
    for (const char byte : base::Utf16ToUtf8(path)) {
        const auto c = static_cast<unsigned char>(byte);
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
            c == '-' || c == '.' || c == '_' || c == '~') {
            url += static_cast<char>(c);
        } else if (c == '\\') {
            url += '/';
        } else {
            url += '%';
            url += kDigits[c >> 4];
            url += kDigits[c & 15];
        }
    }
    return url;
}

std::string FormatStamp(base::TDateTime local) {
    const base::DateTimeFields f = base::DecodeDateTime(local);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", f.year, f.month, f.day,
                  f.hour, f.minute, f.second);
    std::string stamp = text;
    if (f.millisecond != 0) {
        std::snprintf(text, sizeof text, ".%03d", f.millisecond);
        stamp += text;
    }
    return stamp;
}

void CheckBaseUrl(std::string_view base_url) {
    const size_t scheme_end = base_url.find("://");
    bool good =
        scheme_end != std::string_view::npos && scheme_end > 0 && base_url.size() > scheme_end + 3;
    for (const char c : base_url) {
        good = good && c > 0x20 && c < 0x7f && c != '@' && c != '*';
    }
    if (!good) {
        throw EManifestError("The base URL \"" + std::string(base_url) +
                             "\" is not of the form scheme://host/folder in printable ASCII "
                             "without blanks, \"@\" and \"*\"");
    }
}

void CheckDisplay(std::string_view display) {
    for (size_t i = 0; i < display.size(); ++i) {
        const auto c = static_cast<unsigned char>(display[i]);
        if (c < 0x20 || c == 0x7f || c == '@' || c == '*' ||
            (base::IsGbkPair(display, i) && (display[i + 1] == '@' || display[i + 1] == '*'))) {
            throw EManifestError("The display text \"" + std::string(display) +
                                 "\" holds a control character or a GBK byte \"@\" or \"*\", "
                                 "which would break the manifest");
        }
        i += base::IsGbkPair(display, i) ? 1 : 0;
    }
}

std::string EntryText(const std::string& stamp, const std::string& display, const std::string& path,
                      const std::string& url, const std::string& sha256) {
    // The updater lists stamp, list text and path run together: blanks keep
    // them apart.
    const std::string text = display.empty() ? " " : " " + display + " ";
    std::string entry = stamp + "@" + text + "@" + path + "@" + url;
    if (!sha256.empty()) {
        entry += "@sha256=" + sha256;
    }
    return entry;
}

std::string HashFile(const std::u16string& file, uint64_t size) {
    platform::TFileStream stream(file, platform::fmOpenRead);
    std::vector<char> buffer(1 << 20);
    base::TSha256 hash;
    uint64_t total = 0;
    while (true) {
        const int64_t n = stream.Read(buffer.data(), static_cast<int64_t>(buffer.size()));
        if (n <= 0) {
            break;
        }
        hash.Update(buffer.data(), static_cast<size_t>(n));
        total += static_cast<uint64_t>(n);
    }
    if (total != size) {
        throw EManifestError(Shown(file) + ": read " + std::to_string(total) + " bytes of " +
                             std::to_string(size) + " (the file changed or cannot be read)");
    }
    return base::HexDigest(hash.Final());
}

std::string BuildManifest(const std::u16string& folder, const std::vector<TReleaseFile>& files,
                          const TOptions& options) {
    CheckBaseUrl(options.base_url);
    CheckDisplay(options.display);
    std::vector<std::string> paths;
    std::map<std::u16string, std::u16string> folded;
    for (const TReleaseFile& file : files) {
        paths.push_back(ManifestPath(file.path));
        const auto [at, added] = folded.emplace(Folded(file.path), file.path);
        if (!added) {
            throw EManifestError(Shown(file.path) + ": differs from " + Shown(at->second) +
                                 " in letter case alone; Windows keeps one file for both");
        }
    }
    std::string text;
    for (size_t i = 0; i < files.size(); ++i) {
        const TReleaseFile& file = files[i];
        const std::string stamp = FormatStamp(updater::FileTimeToLocalDateTime(file.last_write));
        const std::string sha256 =
            options.sha256 ? HashFile(folder + u'\\' + file.path, file.size) : std::string();
        if (i > 0) {
            text += '*';
        }
        text += EntryText(stamp, options.display, paths[i], FileUrl(options.base_url, file.path),
                          sha256);
    }
    return text;
}

}  // namespace manifest
