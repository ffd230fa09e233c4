// A mail program for the mailto tests. It appends its command line, in
// UTF-8, as one line to the file that FAKE_MAILTO_RECORD names. With
// FAKE_MAILTO_WINDOW set it then shows a window of its own and waits (at
// most 15 s) until someone has made that window top-most and maximized,
// and appends "window topmost maximized" when that happened, "window left
// alone" when not.

#include <windows.h>

#include <string>

namespace {

constexpr UINT_PTR kCheckTimer = 1;
constexpr UINT kCheckMs = 50;
constexpr DWORD kGiveUpMs = 15000;

void Record(const std::wstring& line) {
    wchar_t path[MAX_PATH];
    const DWORD length = GetEnvironmentVariableW(L"FAKE_MAILTO_RECORD", path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return;
    }
    const std::wstring text = line + L"\n";
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), size,
                        nullptr, nullptr);
    const HANDLE file = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    DWORD written = 0;
    WriteFile(file, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
    CloseHandle(file);
}

DWORD started = 0;

LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_TIMER && w == kCheckTimer) {
        const bool topmost = (GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
        if (topmost && IsZoomed(window)) {
            Record(L"window topmost maximized");
            DestroyWindow(window);
        } else if (GetTickCount() - started > kGiveUpMs) {
            Record(L"window left alone");
            DestroyWindow(window);
        }
        return 0;
    }
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, w, l);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    Record(GetCommandLineW());
    if (GetEnvironmentVariableW(L"FAKE_MAILTO_WINDOW", nullptr, 0) == 0) {
        return 0;
    }
    WNDCLASSW window_class{};
    window_class.lpfnWndProc = &WindowProcedure;
    window_class.hInstance = instance;
    window_class.lpszClassName = L"MailtoStubWindow";
    RegisterClassW(&window_class);
    const HWND window =
        CreateWindowExW(0, window_class.lpszClassName, L"Compose", WS_OVERLAPPEDWINDOW, 100, 100,
                        300, 200, nullptr, nullptr, instance, nullptr);
    ShowWindow(window, SW_SHOWNORMAL);
    started = GetTickCount();
    SetTimer(window, kCheckTimer, kCheckMs, nullptr);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        DispatchMessageW(&message);
    }
    return 0;
}
