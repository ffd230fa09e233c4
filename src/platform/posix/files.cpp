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

// A Windows-style name ("\" separates folders) as the UTF-8 path with "/"
// that the system takes.
std::string HostPath(const std::u16string& name) {
    std::u16string path = name;
    std::replace(path.begin(), path.end(), u'\\', u'/');
    return base::Utf16ToUtf8(path);
}

}  // namespace

FileTime FirstMatchLastWriteTime(const std::u16string& pattern) {
    const std::string path = HostPath(pattern);
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

std::u16string CurrentDirectory() {
    std::vector<char> buffer(4096);
    while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE || buffer.size() >= (1u << 20)) {
            throw base::Exception("The current folder cannot be read");
        }
        buffer.resize(buffer.size() * 2);
    }
    return base::Utf8ToUtf16(buffer.data());
}

}  // namespace platform
