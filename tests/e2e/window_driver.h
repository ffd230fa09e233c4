#pragma once

// Driving updater.exe from another process, as a person would: finding its
// windows, reading them with the standard window and list-box messages, and
// pressing its buttons with window messages. Shared by the end-to-end tests
// and the window benchmark.

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace e2e {

std::string ReadHostFile(const std::wstring& path);
bool Exists(const std::wstring& path);
// Writes a file, making its folders first.
bool WriteHostFile(const std::wstring& path, const std::string& bytes);
// GBK text to UTF-16.
std::wstring Wide(const std::string& gbk);
// Waits until `done` holds, checking every 20 ms for at most `ms`.
bool WaitUntil(const std::function<bool()>& done, int ms = 15000);
// WM_GETTEXT, with a time-out for a busy window.
std::wstring Text(HWND hwnd);
// The text the system keeps for a window (set with SetWindowText), read
// without a message: answered while the window's thread is busy, where
// WM_GETTEXT waits for the thread.
std::wstring StoredText(HWND hwnd);
// A visible top-level window of the process with that class and caption.
HWND FindTopLevel(DWORD pid, const std::wstring& className, const std::wstring& caption);
// The visible windows of a process, for failure messages.
std::string DescribeWindows(DWORD pid);
// The child window at a point of the client area.
HWND ControlAt(HWND window, int x, int y);
// A left press and release at (5, 5), posted.
void Click(HWND control);
std::vector<std::wstring> ListItems(HWND list);
// A window's rectangle in its parent's client area.
RECT PlaceInParent(HWND control);
// What the screen showed of a rectangle, read from the screen's device
// context: a window whose thread is busy (in a transfer) is pictured as it
// last painted itself. Empty when nothing could be copied.
struct ScreenPicture {
    RECT area{};                   // in screen coordinates
    std::vector<COLORREF> pixels;  // rows top to bottom

    bool Empty() const { return pixels.empty(); }
    int Width() const { return area.right - area.left; }
    int Height() const { return area.bottom - area.top; }
    // The pixel at a screen point inside the area.
    COLORREF At(POINT screenPoint) const;
    size_t DistinctColours() const;
    // As a 24-bit BMP file; false when it cannot be written.
    bool SaveBmp(const std::wstring& path) const;
};
// The rectangle holding all `windows`, as far as it is on the screen.
ScreenPicture CaptureScreen(const std::vector<HWND>& windows);
// A window of one colour over `area`, so that pictures of the windows in
// front of it show whatever they leave unpainted or transparent in that
// colour. Made before those windows: the display puts a new window above
// the windows already there. It never takes the focus, and it has a thread
// of its own so that it paints while the test waits.
class Backdrop {
  public:
    Backdrop(const RECT& area, COLORREF colour);
    ~Backdrop();
    Backdrop(const Backdrop&) = delete;
    Backdrop& operator=(const Backdrop&) = delete;
    // Waits until the screen shows the backdrop's colour at its top-left.
    bool Shown() const;

  private:
    RECT area_{};
    COLORREF colour_;
    HANDLE thread_ = nullptr;
    DWORD threadId_ = 0;
    HANDLE ready_ = nullptr;
};

// The text of a message box, and a press of its Yes button.
std::wstring DialogText(HWND box);
bool PressYes(HWND box);

// One updater process in an install folder (ended with the object).
class UpdaterProcess {
  public:
    UpdaterProcess(const std::string& exe, const std::wstring& folder, const std::string& argument);
    ~UpdaterProcess();
    UpdaterProcess(const UpdaterProcess&) = delete;
    UpdaterProcess& operator=(const UpdaterProcess&) = delete;

    bool Started() const { return started_; }
    DWORD Pid() const { return info_.dwProcessId; }
    bool Ended(int ms) const;
    DWORD ExitCode() const;
    // The update window, once it is up (null after 15 s).
    HWND Window();
    // A message box of the given caption ("信息", "错误"), once it is up.
    HWND Dialog(const std::wstring& caption);

  private:
    PROCESS_INFORMATION info_{};
    bool started_ = false;
    HWND window_ = nullptr;
};

// The controls of the update window, found at their places.
struct Controls {
    explicit Controls(HWND window);
    HWND gauge, listFrame, list, close, start, fileLabel, speedLabel;
};

}  // namespace e2e
