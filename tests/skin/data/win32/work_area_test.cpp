// The work area of the monitor that holds a window.

#include "skin/data/win32/work_area.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace skin {
namespace {

// A small top-level window that is destroyed with the test.
class Window {
  public:
    Window(int x, int y) {
        handle_ = CreateWindowExW(0, L"STATIC", L"work area", WS_POPUP, x, y, 100, 80, nullptr,
                                  nullptr, GetModuleHandleW(nullptr), nullptr);
    }
    ~Window() {
        if (handle_ != nullptr) {
            DestroyWindow(handle_);
        }
    }
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;
    HWND get() const { return handle_; }

  private:
    HWND handle_ = nullptr;
};

bool Inside(const framework::TRect& inner, const framework::TRect& outer) {
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

TEST(WorkAreaOf, GivesTheMonitorsAreaOrItsWorkArea) {
    Window window(100, 100);
    ASSERT_NE(window.get(), nullptr);
    const framework::TRect virtual_screen = framework::TRect::Bounds(
        GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
        GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN));

    const framework::TRect full = WorkAreaOf(window.get(), false);
    const framework::TRect work = WorkAreaOf(window.get(), true);
    EXPECT_FALSE(full.IsEmpty());
    EXPECT_FALSE(work.IsEmpty());
    EXPECT_TRUE(Inside(work, full));
    EXPECT_TRUE(Inside(full, virtual_screen));
    if (GetSystemMetrics(SM_CMONITORS) == 1) {
        // One monitor: the screen, and the desktop's work area.
        EXPECT_EQ(full, (framework::TRect{0, 0, GetSystemMetrics(SM_CXSCREEN),
                                          GetSystemMetrics(SM_CYSCREEN)}));
        RECT desktop{};
        ASSERT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &desktop, 0));
        EXPECT_EQ(work,
                  (framework::TRect{desktop.left, desktop.top, desktop.right, desktop.bottom}));
    }
}

TEST(WorkAreaOf, AcceptsNoWindow) {
    const framework::TRect work = WorkAreaOf(nullptr, true);
    EXPECT_FALSE(work.IsEmpty());
    EXPECT_TRUE(Inside(work, WorkAreaOf(nullptr, false)));
}

}  // namespace
}  // namespace skin
