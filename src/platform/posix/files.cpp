#include <dirent.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
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

FileTime LastWriteTime(const struct stat& st) {
    const int64_t seconds = static_cast<int64_t>(st.st_mtim.tv_sec) + kEpochDifference;
    if (seconds < 0) {
        return 0;
    }
    return static_cast<FileTime>(seconds) * 10'000'000 +
           static_cast<FileTime>(st.st_mtim.tv_nsec / 100);
}

// A name that is not UTF-8, with its bytes above 0x7F as \xHH.
std::string Escaped(const char* name) {
    std::string text;
    for (const char* p = name; *p != '\0'; ++p) {
        const auto c = static_cast<unsigned char>(*p);
        if (c < 0x80) {
            text += static_cast<char>(c);
        } else {
            static constexpr char kDigits[] = "0123456789ABCDEF";
            text += "\\x";
            text += kDigits[c >> 4];
            text += kDigits[c & 15];
        }
    }
    return text;
}

}  // namespace

FileTime FirstMatchLastWriteTime(const std::u16string& pattern) {
    const std::string path = HostPath(pattern);
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) {
        return 0;
    }
    return LastWriteTime(st);
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

std::vector<TFolderEntry> ListFolder(const std::u16string& folder) {
    // Messages name the folder in GBK, like every message of the program.
    const std::string path = HostPath(folder);
    const std::string shown = base::Utf16ToGbkForDisplay(folder);
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(path.c_str()), ::closedir);
    if (!dir) {
        throw base::Exception("The folder " + shown + " cannot be read: " + std::strerror(errno));
    }
    std::vector<TFolderEntry> entries;
    while (true) {
        errno = 0;
        const dirent* found = ::readdir(dir.get());
        if (found == nullptr) {
            if (errno != 0) {
                throw base::Exception("The folder " + shown +
                                      " cannot be read: " + std::strerror(errno));
            }
            break;
        }
        if (std::strcmp(found->d_name, ".") == 0 || std::strcmp(found->d_name, "..") == 0) {
            continue;
        }
        const std::string full = path + "/" + found->d_name;
        TFolderEntry entry;
        try {
            entry.name = base::Utf8ToUtf16(found->d_name);
        } catch (const base::EEncodingError&) {
            throw base::Exception("A name in the folder " + shown +
                                  " is not UTF-8 text: " + Escaped(found->d_name));
        }
        struct stat st;
        if (::stat(full.c_str(), &st) != 0) {
            throw base::Exception(shown + "\\" + base::Utf16ToGbkForDisplay(entry.name) +
                                  " cannot be examined: " + std::strerror(errno));
        }
        entry.is_folder = S_ISDIR(st.st_mode);
        entry.is_file = S_ISREG(st.st_mode);
        entry.last_write = LastWriteTime(st);
        entry.size = entry.is_file ? static_cast<uint64_t>(st.st_size) : 0;
        entries.push_back(std::move(entry));
    }
    return entries;
}

}  // namespace platform
