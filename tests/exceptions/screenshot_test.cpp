// The screenshot on the virtual display: a window of red, green, blue and
// white squares read back from the PNG file at the squares' centres, the
// picture's size against the virtual-screen metrics, the cursor drawn at its
// hotspot, the file in the temporary folder, and failures that come back as
// messages.

#include "exceptions/win32/screenshot.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "png_reading.h"

namespace exceptions {
namespace {

using testing::ReadPng;
using testing::TReadPng;

constexpr int kSquare = 80;
constexpr int kWindowLeft = 210;
constexpr int kWindowTop = 170;
// The squares, left to right in the top row; below them a white band of the
// same height for the cursor.
constexpr COLORREF kSquareColours[4] = {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255),
                                        RGB(255, 255, 255)};
// The system reduces the screen to its own 256 colours.
constexpr int kTolerance = 48;

LRESULT CALLBACK SquaresProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_ERASEBKGND) {
        return 1;
    }
    if (message == WM_PAINT) {
        PAINTSTRUCT paint;
        const HDC dc = BeginPaint(window, &paint);
        for (int i = 0; i < 4; ++i) {
            const RECT square{i * kSquare, 0, (i + 1) * kSquare, kSquare};
            const HBRUSH brush = CreateSolidBrush(kSquareColours[i]);
            FillRect(dc, &square, brush);
            DeleteObject(brush);
        }
        const RECT band{0, kSquare, 4 * kSquare, 2 * kSquare};
        FillRect(dc, &band, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        EndPaint(window, &paint);
        return 0;
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

// Dispatches this thread's messages for `ms` milliseconds.
void Pump(int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
        MSG message;
        for (int i = 0; i < 1000 && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE); ++i) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        Sleep(10);
    }
}

// A top-most window of the squares, with the cross cursor: its hotspot is in
// its middle, so a cursor drawn without it lands visibly elsewhere.
class TSquaresWindow {
  public:
    TSquaresWindow() {
        static const ATOM kClass = [] {
            WNDCLASSW window_class{};
            window_class.lpfnWndProc = SquaresProc;
            window_class.hInstance = GetModuleHandleW(nullptr);
            window_class.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_CROSS));
            window_class.lpszClassName = L"ScreenshotSquares";
            return RegisterClassW(&window_class);
        }();
        window_ =
            CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW,
                            reinterpret_cast<LPCWSTR>(static_cast<uintptr_t>(kClass)), L"",
                            WS_POPUP | WS_VISIBLE, kWindowLeft, kWindowTop, 4 * kSquare,
                            2 * kSquare, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        SetForegroundWindow(window_);
        UpdateWindow(window_);
        Pump(300);
    }
    ~TSquaresWindow() { DestroyWindow(window_); }
    TSquaresWindow(const TSquaresWindow&) = delete;
    TSquaresWindow& operator=(const TSquaresWindow&) = delete;

    HWND Handle() const { return window_; }

    // Puts the cursor on the window's point (x, y) and lets the window set
    // its shape.
    void PointAt(int x, int y) const {
        SetCursorPos(kWindowLeft + x, kWindowTop + y);
        Pump(200);
        SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_CROSS)));
        Pump(100);
    }

  private:
    HWND window_ = nullptr;
};

std::u16string U16(const std::wstring& text) {
    return std::u16string(text.begin(), text.end());
}

std::wstring Wide(const std::u16string& text) {
    return std::wstring(text.begin(), text.end());
}

std::u16string OutputPath(const std::u16string& name) {
    const std::string output = UPDATER_TEST_OUTPUT;
    const std::wstring folder = std::wstring(output.begin(), output.end()) + L"\\exceptions";
    CreateDirectoryW(std::wstring(output.begin(), output.end()).c_str(), nullptr);
    CreateDirectoryW(folder.c_str(), nullptr);
    return U16(folder) + u"\\" + name;
}

std::string FileBytes(const std::u16string& path) {
    std::ifstream in(Wide(path).c_str(), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool Near(const TReadPng& png, int x, int y, COLORREF colour) {
    const uint8_t i = png.Index(static_cast<uint32_t>(x), static_cast<uint32_t>(y));
    return std::abs(png.Channel(i, 0) - GetRValue(colour)) <= kTolerance &&
           std::abs(png.Channel(i, 1) - GetGValue(colour)) <= kTolerance &&
           std::abs(png.Channel(i, 2) - GetBValue(colour)) <= kTolerance;
}

std::string Describe(const TReadPng& png, int x, int y) {
    const uint8_t i = png.Index(static_cast<uint32_t>(x), static_cast<uint32_t>(y));
    return "index " + std::to_string(i) + " = " + std::to_string(png.Channel(i, 0)) + "," +
           std::to_string(png.Channel(i, 1)) + "," + std::to_string(png.Channel(i, 2));
}

TEST(Screenshot, TheFileShowsTheWholeVirtualScreen) {
    const TSquaresWindow window;
    // The cursor low in the white band, clear of the squares.
    window.PointAt(2 * kSquare, 2 * kSquare - 30);
    const std::u16string path = OutputPath(u"screenshot.png");
    std::string error;
    ASSERT_TRUE(WriteScreenshotFile(path, &error)) << error;

    TReadPng png;
    ASSERT_TRUE(ReadPng(FileBytes(path), png, error)) << error;
    EXPECT_EQ(png.bit_depth, 8);
    EXPECT_EQ(png.colour_type, 3);
    ASSERT_EQ(png.width, static_cast<uint32_t>(GetSystemMetrics(SM_CXVIRTUALSCREEN)));
    ASSERT_EQ(png.height, static_cast<uint32_t>(GetSystemMetrics(SM_CYVIRTUALSCREEN)));
    const int left = GetSystemMetrics(SM_XVIRTUALSCREEN);
    const int top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    for (int i = 0; i < 4; ++i) {
        const int x = kWindowLeft + i * kSquare + kSquare / 2 - left;
        const int y = kWindowTop + kSquare / 2 - top;
        EXPECT_TRUE(Near(png, x, y, kSquareColours[i]))
            << "square " << i << " at " << x << ", " << y << ": " << Describe(png, x, y);
    }
}

TEST(Screenshot, TheCursorIsDrawnOnItsHotspot) {
    const TSquaresWindow window;
    const int x = 2 * kSquare;
    const int y = kSquare + kSquare / 2;
    window.PointAt(x, y);
    CURSORINFO cursor{};
    cursor.cbSize = sizeof cursor;
    if (!GetCursorInfo(&cursor) || (cursor.flags & CURSOR_SHOWING) == 0 ||
        cursor.hCursor == nullptr) {
        GTEST_SKIP() << "the system reports no cursor showing";
    }
    ICONINFO icon{};
    ASSERT_TRUE(GetIconInfo(cursor.hCursor, &icon));
    DeleteObject(icon.hbmMask);
    DeleteObject(icon.hbmColor);
    // A cursor whose hotspot is its corner would not tell a drawing that
    // ignores the hotspot.
    ASSERT_GE(icon.xHotspot, 4u);
    ASSERT_GE(icon.yHotspot, 4u);

    std::string error;
    const std::optional<TScreenCapture> capture = CaptureVirtualScreen(&error);
    ASSERT_TRUE(capture) << error;
    EXPECT_TRUE(capture->cursor_drawn);
    base::TMemoryStream file;
    WritePng(file, capture->View());
    TReadPng png;
    ASSERT_TRUE(ReadPng(file.View(), png, error)) << error;

    // The cross is drawn around its hotspot: the box of the pixels it
    // changed in the white band has its middle on the cursor's position
    // (drawn from its corner, the middle would be the hotspot's distance
    // away), and it is no larger than a cursor.
    const int cx = cursor.ptScreenPos.x - capture->left;
    const int cy = cursor.ptScreenPos.y - capture->top;
    int changed = 0;
    int min_x = cx + 32, max_x = cx - 32, min_y = cy + 32, max_y = cy - 32;
    for (int y = cy - 32; y <= cy + 32; ++y) {
        for (int x = cx - 32; x <= cx + 32; ++x) {
            if (!Near(png, x, y, RGB(255, 255, 255))) {
                ++changed;
                min_x = std::min(min_x, x);
                max_x = std::max(max_x, x);
                min_y = std::min(min_y, y);
                max_y = std::max(max_y, y);
            }
        }
    }
    ASSERT_GE(changed, 20) << "around " << cx << ", " << cy;
    const std::string box = std::to_string(min_x) + ", " + std::to_string(min_y) + " to " +
                            std::to_string(max_x) + ", " + std::to_string(max_y);
    EXPECT_LE(std::abs((min_x + max_x) / 2 - cx), 2) << box << " for " << cx << ", " << cy;
    EXPECT_LE(std::abs((min_y + max_y) / 2 - cy), 2) << box << " for " << cx << ", " << cy;
    EXPECT_LE(max_x - min_x, 32) << box;
    EXPECT_LE(max_y - min_y, 32) << box;
}

TEST(Screenshot, AFileThatCannotBeWrittenIsAMessage) {
    const std::u16string path = OutputPath(u"missing folder\\Screenshot.png");
    std::string error;
    bool written = true;
    EXPECT_NO_THROW(written = WriteScreenshotFile(path, &error));
    EXPECT_FALSE(written);
    EXPECT_EQ(error.rfind("Screenshot not written: Cannot create file ", 0), 0u) << error;
    EXPECT_EQ(GetFileAttributesW(Wide(path).c_str()), INVALID_FILE_ATTRIBUTES);
    // No message is asked for: still no throw.
    EXPECT_NO_THROW(written = WriteScreenshotFile(path, nullptr));
    EXPECT_FALSE(written);
}

}  // namespace
}  // namespace exceptions
