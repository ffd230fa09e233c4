#include "window_driver.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <unordered_set>

#include "framework/graphics.h"

namespace e2e {

using framework::GbkText;

std::string ReadHostFile(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return "<missing>";
    }
    std::string bytes;
    char buffer[65536];
    DWORD n = 0;
    while (ReadFile(file, buffer, sizeof buffer, &n, nullptr) && n > 0) {
        bytes.append(buffer, n);
    }
    CloseHandle(file);
    return bytes;
}

bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool WriteHostFile(const std::wstring& path, const std::string& bytes) {
    // Folders first.
    for (size_t i = 3; i < path.size(); ++i) {
        if (path[i] == L'\\' || path[i] == L'/') {
            CreateDirectoryW(path.substr(0, i).c_str(), nullptr);
        }
    }
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD written = 0;
    const bool ok =
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
        written == bytes.size();
    CloseHandle(file);
    return ok;
}

std::wstring Wide(const std::string& gbk) {
    return framework::WideText(gbk);
}

// Waits until `done` holds, checking every 20 ms for at most `ms`.
bool WaitUntil(const std::function<bool()>& done, int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
        if (done()) {
            return true;
        }
        Sleep(20);
    }
    return done();
}

std::wstring Text(HWND hwnd) {
    wchar_t buffer[1024] = {};
    DWORD_PTR result = 0;
    SendMessageTimeoutW(hwnd, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buffer), SMTO_BLOCK, 5000,
                        &result);
    return buffer;
}

std::wstring StoredText(HWND hwnd) {
    wchar_t buffer[1024] = {};
    InternalGetWindowText(hwnd, buffer, 1024);
    return buffer;
}

struct FindData {
    DWORD pid;
    std::wstring className;
    std::wstring caption;
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND hwnd, LPARAM lParam) {
    auto* d = reinterpret_cast<FindData*>(lParam);
    DWORD owner = 0;
    GetWindowThreadProcessId(hwnd, &owner);
    wchar_t cls[64] = {};
    GetClassNameW(hwnd, cls, 64);
    if (owner == d->pid && d->className == cls && IsWindowVisible(hwnd) &&
        Text(hwnd) == d->caption) {
        d->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

// A visible top-level window of the process with that class and caption.
HWND FindTopLevel(DWORD pid, const std::wstring& className, const std::wstring& caption) {
    FindData data{pid, className, caption, nullptr};
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&data));
    return data.found;
}

BOOL CALLBACK DescribeWindow(HWND hwnd, LPARAM lParam) {
    auto* d = reinterpret_cast<std::pair<DWORD, std::string>*>(lParam);
    DWORD owner = 0;
    GetWindowThreadProcessId(hwnd, &owner);
    if (owner == d->first && IsWindowVisible(hwnd)) {
        wchar_t cls[64] = {};
        GetClassNameW(hwnd, cls, 64);
        auto utf8 = [](const std::wstring& w) {
            std::string out(w.size() * 3 + 1, '\0');
            out.resize(static_cast<size_t>(
                WideCharToMultiByte(CP_UTF8, 0, w.c_str(), static_cast<int>(w.size()), out.data(),
                                    static_cast<int>(out.size()), nullptr, nullptr)));
            return out;
        };
        d->second += utf8(cls) + " \"" + utf8(Text(hwnd)) + "\"";
        wchar_t text[512] = {};
        if (GetDlgItemTextW(hwnd, 0xFFFF, text, 512) > 0) {
            d->second += ": " + utf8(text);
        } else if (HWND label = FindWindowExW(hwnd, nullptr, L"STATIC", nullptr)) {
            d->second += ": " + utf8(Text(label));
        }
        d->second += "; ";
    }
    return TRUE;
}

// The visible windows of a process, for failure messages.
std::string DescribeWindows(DWORD pid) {
    std::pair<DWORD, std::string> data{pid, ""};
    EnumWindows(DescribeWindow, reinterpret_cast<LPARAM>(&data));
    return data.second;
}

// The child window at a point of the client area.
HWND ControlAt(HWND window, int x, int y) {
    HWND child = ChildWindowFromPointEx(window, POINT{x, y}, CWP_SKIPINVISIBLE);
    return child == window ? nullptr : child;
}

void Click(HWND control) {
    PostMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    PostMessageW(control, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
}

RECT PlaceInParent(HWND control) {
    RECT r{};
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

ScreenPicture CaptureScreen(const std::vector<HWND>& windows) {
    ScreenPicture picture;
    RECT area{};
    for (HWND w : windows) {
        RECT r{};
        GetWindowRect(w, &r);
        UnionRect(&area, &area, &r);
    }
    // Only what is on the screen can be copied.
    const RECT screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (!IntersectRect(&area, &area, &screen)) {
        return picture;
    }
    framework::TBitmap shot;
    framework::CaptureScreen(area, shot);
    picture.area = area;
    picture.pixels.reserve(static_cast<size_t>(shot.Width()) * static_cast<size_t>(shot.Height()));
    for (int y = 0; y < shot.Height(); ++y) {
        for (int x = 0; x < shot.Width(); ++x) {
            picture.pixels.push_back(shot.Pixel(x, y));  // 0x00BBGGRR, as COLORREF
        }
    }
    return picture;
}

COLORREF ScreenPicture::At(POINT p) const {
    return pixels[static_cast<size_t>(p.y - area.top) * static_cast<size_t>(Width()) +
                  static_cast<size_t>(p.x - area.left)];
}

size_t ScreenPicture::DistinctColours() const {
    return std::unordered_set<COLORREF>(pixels.begin(), pixels.end()).size();
}

bool ScreenPicture::SaveBmp(const std::wstring& path) const {
    if (Empty()) {
        return false;
    }
    // Bottom-up rows of 24-bit pixels, each row padded to 4 bytes.
    const size_t width = static_cast<size_t>(Width());
    const size_t height = static_cast<size_t>(Height());
    const size_t stride = (width * 3 + 3) & ~size_t{3};
    BITMAPFILEHEADER file{};
    BITMAPINFOHEADER header{};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof file + sizeof header;
    file.bfSize = static_cast<DWORD>(file.bfOffBits + stride * height);
    header.biSize = sizeof header;
    header.biWidth = Width();
    header.biHeight = Height();
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    header.biSizeImage = static_cast<DWORD>(stride * height);
    std::string bytes(file.bfSize, '\0');
    std::memcpy(bytes.data(), &file, sizeof file);
    std::memcpy(bytes.data() + sizeof file, &header, sizeof header);
    for (size_t y = 0; y < height; ++y) {
        char* row = bytes.data() + file.bfOffBits + stride * (height - 1 - y);
        for (size_t x = 0; x < width; ++x) {
            const COLORREF c = pixels[y * width + x];
            row[3 * x] = static_cast<char>(GetBValue(c));
            row[3 * x + 1] = static_cast<char>(GetGValue(c));
            row[3 * x + 2] = static_cast<char>(GetRValue(c));
        }
    }
    return WriteHostFile(path, bytes);
}

namespace {

struct BackdropStart {
    RECT area;
    COLORREF colour;
    HANDLE ready;
};

LRESULT CALLBACK BackdropProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_ERASEBKGND) {
        RECT r{};
        GetClientRect(window, &r);
        HBRUSH brush = CreateSolidBrush(static_cast<COLORREF>(GetWindowLongPtrW(window, 0)));
        FillRect(reinterpret_cast<HDC>(wParam), &r, brush);
        DeleteObject(brush);
        return 1;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

DWORD WINAPI BackdropThread(void* parameter) {
    const BackdropStart start = *static_cast<BackdropStart*>(parameter);
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = BackdropProc;
    windowClass.cbWndExtra = sizeof(LONG_PTR);
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"E2EBackdrop";
    RegisterClassW(&windowClass);  // fails harmlessly when registered before
    HWND window = CreateWindowExW(
        WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, L"E2EBackdrop", L"", WS_POPUP, start.area.left,
        start.area.top, start.area.right - start.area.left, start.area.bottom - start.area.top,
        nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (window != nullptr) {
        SetWindowLongPtrW(window, 0, static_cast<LONG_PTR>(start.colour));
        ShowWindow(window, SW_SHOWNOACTIVATE);
    }
    SetEvent(start.ready);
    MSG message;
    while (window != nullptr && GetMessageW(&message, nullptr, 0, 0) > 0) {
        DispatchMessageW(&message);
    }
    if (window != nullptr) {
        DestroyWindow(window);
    }
    return 0;
}

}  // namespace

Backdrop::Backdrop(const RECT& area, COLORREF colour) : area_(area), colour_(colour) {
    ready_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    BackdropStart start{area_, colour, ready_};
    thread_ = CreateThread(nullptr, 0, BackdropThread, &start, 0, &threadId_);
    if (thread_ != nullptr) {
        WaitForSingleObject(ready_, 5000);  // `start` is read before the event
    }
}

Backdrop::~Backdrop() {
    if (thread_ != nullptr) {
        PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
        WaitForSingleObject(thread_, 5000);
        CloseHandle(thread_);
    }
    CloseHandle(ready_);
}

bool Backdrop::Shown() const {
    if (thread_ == nullptr) {
        return false;
    }
    return WaitUntil(
        [&] {
            framework::TBitmap shot;
            const RECT corner{area_.left, area_.top, area_.left + 2, area_.top + 2};
            framework::CaptureScreen(corner, shot);
            return shot.Width() > 0 && shot.Pixel(0, 0) == colour_;
        },
        5000);
}

std::vector<std::wstring> ListItems(HWND list) {
    std::vector<std::wstring> items;
    const LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        const LRESULT length = SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0);
        std::wstring text(static_cast<size_t>(std::max<LRESULT>(length, 0)) + 1, L'\0');
        SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(i),
                     reinterpret_cast<LPARAM>(text.data()));
        text.resize(static_cast<size_t>(std::max<LRESULT>(length, 0)));
        items.push_back(text);
    }
    return items;
}

UpdaterProcess::UpdaterProcess(const std::string& exe, const std::wstring& folder,
                               const std::string& argument) {
    std::wstring commandLine = L"\"" + Wide(exe) + L"\"";
    if (!argument.empty()) {
        commandLine += L" " + Wide(argument);
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    started_ = CreateProcessW(Wide(exe).c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                              nullptr, folder.c_str(), &startup, &info_) != 0;
}

UpdaterProcess::~UpdaterProcess() {
    if (started_) {
        if (WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(info_.hProcess, 9);
            WaitForSingleObject(info_.hProcess, 5000);
        }
        CloseHandle(info_.hThread);
        CloseHandle(info_.hProcess);
    }
}

bool UpdaterProcess::Ended(int ms) const {
    return WaitForSingleObject(info_.hProcess, ms) == WAIT_OBJECT_0;
}

DWORD UpdaterProcess::ExitCode() const {
    DWORD code = 0;
    GetExitCodeProcess(info_.hProcess, &code);
    return code;
}

HWND UpdaterProcess::Window() {
    WaitUntil([&] { return (window_ = FindTopLevel(Pid(), L"UpdaterForm", L"升级更新")); });
    return window_;
}

HWND UpdaterProcess::Dialog(const std::wstring& caption) {
    HWND box = nullptr;
    WaitUntil([&] { return (box = FindTopLevel(Pid(), L"UpdaterForm", caption)) != nullptr; });
    return box;
}

// The text of a message box and a press of its Yes button.
std::wstring DialogText(HWND box) {
    HWND text = FindWindowExW(box, nullptr, L"STATIC", nullptr);
    return text != nullptr ? Text(text) : L"<no text>";
}

bool PressYes(HWND box) {
    // A named string: compared with the bare literal, GCC 12 warns of a
    // delete of the literal that never happens.
    static const std::wstring kYes = L"是(&Y)";
    HWND child = nullptr;
    while ((child = FindWindowExW(box, child, L"UpdaterControl", nullptr)) != nullptr) {
        if (Text(child) == kYes) {
            Click(child);
            return true;
        }
    }
    return false;
}

Controls::Controls(HWND w)
    : gauge(ControlAt(w, 120, 210)),
      listFrame(ControlAt(w, 300, 100)),
      list(FindWindowExW(listFrame, nullptr, L"LISTBOX", nullptr)),
      close(ControlAt(w, 410, 240)),
      start(ControlAt(w, 320, 240)),
      fileLabel(ControlAt(w, 130, 185)),
      speedLabel(ControlAt(w, 470, 185)) {}

}  // namespace e2e
