#include <windows.h>

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

std::wstring Wide(const std::string& gbk) {
    const std::u16string u = base::GbkToUtf16(gbk);
    return std::wstring(u.begin(), u.end());
}
}  // namespace

FileTime FirstMatchLastWriteTime(const std::string& pattern) {
    std::wstring wide;
    try {
        wide = Wide(pattern);
    } catch (const base::EEncodingError&) {
        return 0;  // no file can have a name that is not text
    }
    WIN32_FIND_DATAW data;
    HANDLE search = FindFirstFileW(wide.c_str(), &data);
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

std::string CurrentDirectory() {
    DWORD size = GetCurrentDirectoryW(0, nullptr);
    std::wstring buffer(size, L'\0');
    size = GetCurrentDirectoryW(size, buffer.data());
    buffer.resize(size);
    std::string dir = base::Utf16ToGbk(std::u16string(buffer.begin(), buffer.end()));
    if (dir.size() > 3 && dir.back() == '\\') {
        dir.pop_back();
    }
    return dir;
}

}  // namespace platform
