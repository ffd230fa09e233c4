#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#include "base/exception.h"
#include "base/text.h"
#include "platform/files.h"

namespace platform {

namespace {

// Seconds from 1 January 1601 to 1 January 1970.
constexpr int64_t kEpochDifference = 11'644'473'600;

// GBK path with "\" separators to the UTF-8 path with "/" that the system
// takes. The conversion is done on the characters, so a "\" that is the
// second byte of a double-byte character is left alone.
std::string HostPath(const std::string& gbk) {
    // Plain ASCII is the same in GBK and UTF-8: only the separators change.
    if (std::all_of(gbk.begin(), gbk.end(), [](char c) { return (c & 0x80) == 0; })) {
        std::string path = gbk;
        std::replace(path.begin(), path.end(), '\\', '/');
        return path;
    }
    std::u16string wide = base::GbkToUtf16(gbk);
    for (char16_t& c : wide) {
        if (c == u'\\') {
            c = u'/';
        }
    }
    return base::Utf16ToUtf8(wide);
}

}  // namespace

FileTime FirstMatchLastWriteTime(const std::string& pattern) {
    std::string path;
    try {
        path = HostPath(pattern);
    } catch (const base::EEncodingError&) {
        return 0;
    }
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) {
        return 0;
    }
    const int64_t seconds = static_cast<int64_t>(st.st_mtim.tv_sec) + kEpochDifference;
    if (seconds < 0) {
        return 0;
    }
    return static_cast<FileTime>(seconds) * 10'000'000 +
           static_cast<FileTime>(st.st_mtim.tv_nsec / 100);
}

FileTime FileTimeToLocalFileTime(FileTime utc) {
    const time_t now = ::time(nullptr);
    struct tm local;
    ::localtime_r(&now, &local);
    const int64_t offset = static_cast<int64_t>(local.tm_gmtoff) * 10'000'000;
    if (offset < 0 && utc < static_cast<FileTime>(-offset)) {
        return 0;
    }
    return static_cast<FileTime>(static_cast<int64_t>(utc) + offset);
}

std::string CurrentDirectory() {
    std::vector<char> buffer(4096);
    while (::getcwd(buffer.data(), buffer.size()) == nullptr && errno == ERANGE &&
           buffer.size() < (1u << 20)) {
        buffer.resize(buffer.size() * 2);
    }
    // The system gives UTF-8; the program works with GBK. A folder name that
    // GBK cannot hold is given as it is.
    const std::string utf8(buffer.data());
    try {
        return base::Utf16ToGbk(base::Utf8ToUtf16(utf8));
    } catch (const base::EEncodingError&) {
        return utf8;
    }
}

}  // namespace platform
