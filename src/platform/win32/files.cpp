#include <windows.h>

#include <string>
#include <vector>

#include "base/exception.h"
#include "base/text.h"
#include "platform/files.h"

namespace platform {

namespace {
FileTime ToTicks(const FILETIME& ft) {
    return (static_cast<FileTime>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

FILETIME FromTicks(FileTime ticks) {
    FILETIME ft;
    ft.dwLowDateTime = static_cast<DWORD>(ticks & 0xffffffffu);
    ft.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    return ft;
}

}  // namespace

FileTime FirstMatchLastWriteTime(const std::u16string& pattern) {
    WIN32_FIND_DATAW data;
    HANDLE search = FindFirstFileW(reinterpret_cast<const wchar_t*>(pattern.c_str()), &data);
    if (search == INVALID_HANDLE_VALUE) {
        return 0;
    }
    FindClose(search);
    return ToTicks(data.ftLastWriteTime);
}

FileTime FileTimeToLocalFileTime(FileTime utc) {
    // The system's conversion applies the bias in force now. Near the zero
    // file time a zone west of UTC would go below it; that is clamped.
    TIME_ZONE_INFORMATION tz;
    const DWORD mode = GetTimeZoneInformation(&tz);
    LONG bias = tz.Bias;
    if (mode == TIME_ZONE_ID_DAYLIGHT) {
        bias += tz.DaylightBias;
    } else if (mode == TIME_ZONE_ID_STANDARD) {
        bias += tz.StandardBias;
    }
    if (bias > 0 && utc < static_cast<FileTime>(bias) * 60 * 10'000'000) {
        return 0;
    }
    const FILETIME in = FromTicks(utc);
    FILETIME out;
    if (!::FileTimeToLocalFileTime(&in, &out)) {
        return utc;
    }
    return ToTicks(out);
}

std::vector<TFolderEntry> ListFolder(const std::u16string& folder) {
    const std::u16string pattern = folder + u"\\*";
    WIN32_FIND_DATAW data;
    HANDLE search = FindFirstFileW(reinterpret_cast<const wchar_t*>(pattern.c_str()), &data);
    const auto failed = [&folder]() {
        return base::Exception("The folder " + base::Utf16ToGbkForDisplay(folder) +
                               " cannot be read (error " + std::to_string(GetLastError()) + ")");
    };
    if (search == INVALID_HANDLE_VALUE) {
        throw failed();
    }
    std::vector<TFolderEntry> entries;
    do {
        const std::u16string name(reinterpret_cast<const char16_t*>(data.cFileName));
        if (name == u"." || name == u"..") {
            continue;
        }
        TFolderEntry entry;
        entry.name = name;
        entry.is_folder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        entry.is_file = !entry.is_folder && (data.dwFileAttributes & FILE_ATTRIBUTE_DEVICE) == 0;
        entry.last_write = ToTicks(data.ftLastWriteTime);
        entry.size = entry.is_file
                         ? (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow
                         : 0;
        entries.push_back(std::move(entry));
    } while (FindNextFileW(search, &data));
    const DWORD error = GetLastError();
    FindClose(search);
    if (error != ERROR_NO_MORE_FILES) {
        SetLastError(error);
        throw failed();
    }
    return entries;
}

std::u16string CurrentDirectory() {
    // The folder may change between the two calls; ask again until it fits.
    std::u16string dir(MAX_PATH, u'\0');
    for (int attempt = 0; attempt < 4; ++attempt) {
        const DWORD size = GetCurrentDirectoryW(static_cast<DWORD>(dir.size()),
                                                reinterpret_cast<wchar_t*>(dir.data()));
        if (size == 0) {
            throw base::Exception("The current folder cannot be read");
        }
        if (size < dir.size()) {
            dir.resize(size);
            if (dir.size() > 3 && dir.back() == u'\\') {
                dir.pop_back();
            }
            return dir;
        }
        dir.assign(size, u'\0');
    }
    throw base::Exception("The current folder cannot be read");
}

}  // namespace platform
