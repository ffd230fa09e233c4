#include "exceptions/win32/system_info.h"

#include <lmcons.h>
#include <shellapi.h>

#include <vector>

#include "base/text.h"
#include "exceptions/win32/modules.h"
#include "framework/graphics.h"
#include "platform/process.h"

namespace exceptions {

namespace {

std::string Gbk(std::wstring_view text) {
    return framework::GbkText(text);
}

std::wstring FileNameOf(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

void CollectApplication(TReportFields& fields, const std::wstring& exe) {
    ReadVersionInformation(std::u16string(exe.begin(), exe.end()), fields.name, fields.version);
    if (fields.name.empty()) {
        fields.name = Gbk(FileNameOf(exe));
    }
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> texts;
    for (int i = 1; arguments != nullptr && i < count; ++i) {
        texts.push_back(Gbk(arguments[i]));
    }
    LocalFree(arguments);
    fields.parameters = LogParametersText(texts);
}

void CollectComputer(TReportFields& fields, const std::wstring& exe) {
    wchar_t computer[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD length = MAX_COMPUTERNAME_LENGTH + 1;
    if (GetComputerNameW(computer, &length)) {
        fields.computer = Gbk(std::wstring_view(computer, length));
    }
    wchar_t user[UNLEN + 1];
    length = UNLEN + 1;
    if (GetUserNameW(user, &length) && length > 0) {
        fields.user = Gbk(std::wstring_view(user, length - 1));
    }
    MEMORYSTATUSEX memory{};
    memory.dwLength = sizeof memory;
    if (GlobalMemoryStatusEx(&memory)) {
        fields.total_memory = MemoryText(memory.ullTotalPhys);
        fields.free_memory = MemoryText(memory.ullAvailPhys);
    }
    // The root of the volume the executable lies on (also for a UNC path).
    wchar_t root[MAX_PATH + 1];
    ULARGE_INTEGER available{}, total{}, free{};
    if (GetVolumePathNameW(exe.c_str(), root, MAX_PATH + 1) &&
        GetDiskFreeSpaceExW(root, &available, &total, &free)) {
        fields.total_disk = DiskText(total.QuadPart);
        fields.free_disk = DiskText(available.QuadPart);
    }
}

// The first installed locale of the system's default language that has an
// abbreviated language name gives the language's localized name.
BOOL CALLBACK TakeLanguage(LPWSTR name, DWORD, LPARAM found) {
    const LCID locale = LocaleNameToLCID(name, 0);
    wchar_t text[128];
    if (locale != 0 && LANGIDFROMLCID(locale) == GetSystemDefaultLangID() &&
        GetLocaleInfoW(locale, LOCALE_SABBREVLANGNAME, text, 128) > 1 &&
        GetLocaleInfoW(locale, LOCALE_SLANGUAGE, text, 128) > 1) {
        *reinterpret_cast<std::wstring*>(found) = text;
        return FALSE;
    }
    return TRUE;
}

void CollectSystem(TReportFields& fields) {
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof version;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (GetVersionExW(&version)) {
#pragma GCC diagnostic pop
        const bool nt = version.dwPlatformId == VER_PLATFORM_WIN32_NT;
        const std::string service(base::Trim(Gbk(version.szCSDVersion)));
        fields.os_type = SystemName(version.dwMajorVersion, version.dwMinorVersion, nt, service);
        fields.os_build =
            std::to_string(nt ? version.dwBuildNumber : version.dwBuildNumber & 0xFFFF);
        fields.os_update = service;
    }
    std::wstring language;
    EnumSystemLocalesEx(&TakeLanguage, LOCALE_WINDOWS, reinterpret_cast<LPARAM>(&language),
                        nullptr);
    fields.language = Gbk(language);
}

}  // namespace

std::string SystemName(DWORD major, DWORD minor, bool nt, const std::string& service) {
    if (!nt) {
        if (minor < 10) {
            return service == "B" ? "Microsoft Windows 95 OSR 2" : "Microsoft Windows 95";
        }
        if (minor < 90) {
            return service == "A" ? "Microsoft Windows 98 SE" : "Microsoft Windows 98";
        }
        return minor == 90 ? "Microsoft Winsows ME" : "";
    }
    if (major == 4) {
        return "Microsoft Windows NT 4.0";
    }
    if (major == 5 && minor <= 2) {
        static const char* const kNames[] = {"Microsoft Windows 2000", "Microsoft Windows XP",
                                             "Microsoft Windows 2003"};
        return kNames[minor];
    }
    return "";
}

TLogTime LocalLogTime(const SYSTEMTIME& utc) {
    TIME_ZONE_INFORMATION zone{};
    const DWORD which = GetTimeZoneInformation(&zone);
    SYSTEMTIME local{};
    if (!SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) {
        local = utc;
    }
    // The bias in force at that moment: local - utc, in minutes.
    FILETIME utc_file{}, local_file{};
    SystemTimeToFileTime(&utc, &utc_file);
    SystemTimeToFileTime(&local, &local_file);
    const auto ticks = [](const FILETIME& f) {
        return static_cast<int64_t>(static_cast<uint64_t>(f.dwHighDateTime) << 32 |
                                    f.dwLowDateTime);
    };
    int bias = static_cast<int>((ticks(utc_file) - ticks(local_file)) / (60LL * 10000000LL));
    if (which == TIME_ZONE_ID_INVALID) {
        bias = 0;
    }
    return TLogTime{local.wYear, local.wMonth,  local.wDay,    local.wDayOfWeek,
                    local.wHour, local.wMinute, local.wSecond, bias};
}

TLogTime NowLogTime() {
    SYSTEMTIME utc{};
    GetSystemTime(&utc);
    return LocalLogTime(utc);
}

void CollectSystemFields(TReportFields& fields) {
    const std::u16string program = platform::ProgramPath();
    const std::wstring exe(program.begin(), program.end());
    CollectApplication(fields, exe);
    CollectComputer(fields, exe);
    CollectSystem(fields);
}

}  // namespace exceptions
