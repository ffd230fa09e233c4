#include "platform/process.h"

#include <windows.h>

#include <shellapi.h>

#include <string>

namespace platform {

uint32_t TickCount() {
    return GetTickCount();
}

bool StartProgram(const std::u16string& program, const std::u16string& folder) {
    const std::wstring path(program.begin(), program.end());
    const std::wstring directory(folder.begin(), folder.end());
    std::wstring commandLine = L"\"" + path + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        directory.empty() ? nullptr : directory.c_str(), &startup, &info)) {
        return false;
    }
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return true;
}

std::u16string CommandLineArgument(char** /*argv*/, int index) {
    int count = 0;
    LPWSTR* args = CommandLineToArgvW(GetCommandLineW(), &count);
    std::u16string argument;
    if (args != nullptr && index >= 0 && index < count) {
        const std::wstring_view wide(args[index]);
        argument.assign(wide.begin(), wide.end());
    }
    LocalFree(args);
    return argument;
}

std::u16string ProgramPath() {
    std::wstring path(MAX_PATH, L'\0');
    // A longer path is cut to the buffer; doubling it reaches the longest
    // path the system has (32 767 characters) within these rounds.
    for (int round = 0; round < 8; ++round) {
        const DWORD length =
            GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            return {};
        }
        if (length < path.size()) {
            return std::u16string(path.begin(), path.begin() + length);
        }
        path.assign(path.size() * 2, L'\0');
    }
    return {};
}

}  // namespace platform
