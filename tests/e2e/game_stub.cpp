// A stand-in for the game the updater launches: it records that it started,
// with its current directory and its command line, in started.txt of its
// current directory, and ends. The record is written under another name and
// then renamed, so a test that waits for started.txt never reads it half-written.

#include <windows.h>

#include <string>

int main() {
    wchar_t dir[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, dir);
    const std::wstring record =
        std::wstring(L"cwd=") + dir + L"\r\ncmd=" + GetCommandLineW() + L"\r\n";
    HANDLE file = CreateFileW(L"started.txt.part", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return 1;
    }
    DWORD written = 0;
    WriteFile(file, record.data(), static_cast<DWORD>(record.size() * sizeof(wchar_t)), &written,
              nullptr);
    CloseHandle(file);
    if (written != record.size() * sizeof(wchar_t) ||
        !MoveFileExW(L"started.txt.part", L"started.txt", MOVEFILE_REPLACE_EXISTING)) {
        return 1;
    }
    return 0;
}
