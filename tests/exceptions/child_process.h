#pragma once

// Runs this test program again, as a second process, for one of its tests:
// the environment variable `name` (set to `value` for the child only) tells
// that test it runs as the child.

#include <windows.h>

#include <string>

namespace exceptions {

// The child's exit code (`last_argument`, when given, ends its command
// line); -1 when it could not be started or did not end
// within a minute.
inline long RunChildTest(const std::wstring& test, const wchar_t* name, const wchar_t* value,
                         const std::wstring& last_argument = L"") {
    wchar_t exe[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring command = L"\"" + std::wstring(exe) + L"\" --gtest_filter=" + test;
    if (!last_argument.empty()) {
        command += L" " + last_argument;
    }
    SetEnvironmentVariableW(name, value);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child{};
    const bool started = CreateProcessW(exe, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                        nullptr, &startup, &child) != 0;
    SetEnvironmentVariableW(name, nullptr);
    if (!started) {
        return -1;
    }
    DWORD code = static_cast<DWORD>(-1);
    if (WaitForSingleObject(child.hProcess, 60000) != WAIT_OBJECT_0 ||
        !GetExitCodeProcess(child.hProcess, &code)) {
        TerminateProcess(child.hProcess, 9);
        code = static_cast<DWORD>(-1);
    }
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
    return static_cast<long>(code);
}

}  // namespace exceptions
