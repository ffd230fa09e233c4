// Proves the Windows test chain end to end: a real window on the (virtual)
// display, a GBK text converted with code page 936 and drawn with GDI, and an
// in-process capture of the screen that shows the drawn glyphs.

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "base/text.h"

namespace {

constexpr int kWidth = 360;
constexpr int kHeight = 80;
constexpr COLORREF kBackground = RGB(255, 255, 255);

struct Capture {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;  // top-down rows, 0x00RRGGBB

    int CountDark() const {
        int dark = 0;
        for (uint32_t p : pixels) {
            const int r = (p >> 16) & 0xff, g = (p >> 8) & 0xff, b = p & 0xff;
            if (r + g + b < 3 * 128) {
                ++dark;
            }
        }
        return dark;
    }
};

std::wstring g_text;

LRESULT CALLBACK SmokeWndProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
    if (msg == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        RECT rc;
        GetClientRect(hwnd, &rc);
        HBRUSH brush = CreateSolidBrush(kBackground);
        FillRect(dc, &rc, brush);
        DeleteObject(brush);
        HFONT font = CreateFontW(-40, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, GB2312_CHARSET,
                                 OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, NONANTIALIASED_QUALITY,
                                 DEFAULT_PITCH, L"SimSun");
        HGDIOBJ old = SelectObject(dc, font);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, RGB(0, 0, 0));
        DrawTextW(dc, g_text.c_str(), static_cast<int>(g_text.size()), &rc,
                  DT_SINGLELINE | DT_CENTER | DT_VCENTER | DT_NOPREFIX);
        SelectObject(dc, old);
        DeleteObject(font);
        EndPaint(hwnd, &ps);
        return 0;
    }
    if (msg == WM_ERASEBKGND) {
        return 1;
    }
    return DefWindowProcW(hwnd, msg, wparam, lparam);
}

void PumpMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// Copies the window's client area from the screen, as a screenshot would.
Capture CaptureClient(HWND hwnd) {
    POINT origin{0, 0};
    ClientToScreen(hwnd, &origin);
    Capture cap;
    cap.width = kWidth;
    cap.height = kHeight;
    cap.pixels.resize(static_cast<size_t>(kWidth) * kHeight);

    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = kWidth;
    bi.bmiHeader.biHeight = -kHeight;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    HBITMAP dib = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(mem, dib);
    BitBlt(mem, 0, 0, kWidth, kHeight, screen, origin.x, origin.y, SRCCOPY);
    GdiFlush();
    const auto* src = static_cast<const uint32_t*>(bits);
    for (size_t i = 0; i < cap.pixels.size(); ++i) {
        cap.pixels[i] = src[i] & 0x00ffffff;
    }
    SelectObject(mem, old);
    DeleteObject(dib);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    return cap;
}

void SaveBmp(const Capture& cap, const std::string& path) {
    const uint32_t image_size = static_cast<uint32_t>(cap.pixels.size() * 4);
    BITMAPFILEHEADER fh{};
    BITMAPINFOHEADER ih{};
    fh.bfType = 0x4d42;
    fh.bfOffBits = sizeof(fh) + sizeof(ih);
    fh.bfSize = fh.bfOffBits + image_size;
    ih.biSize = sizeof(ih);
    ih.biWidth = cap.width;
    ih.biHeight = -cap.height;
    ih.biPlanes = 1;
    ih.biBitCount = 32;
    ih.biCompression = BI_RGB;
    ih.biSizeImage = image_size;
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(&fh), sizeof(fh));
    out.write(reinterpret_cast<const char*>(&ih), sizeof(ih));
    out.write(reinterpret_cast<const char*>(cap.pixels.data()), image_size);
    ASSERT_TRUE(out.good()) << path;
}

// Shows a window drawing the given GBK text and returns its capture once the
// glyphs are on the screen (bounded wait: at most about three seconds).
Capture DrawAndCapture(const std::string& gbk_text) {
    g_text.clear();
    for (char16_t c : base::GbkToUtf16(gbk_text)) {
        g_text += static_cast<wchar_t>(c);
    }
    HINSTANCE instance = GetModuleHandleW(nullptr);
    static bool registered = false;
    if (!registered) {
        WNDCLASSW wc{};
        wc.lpfnWndProc = SmokeWndProc;
        wc.hInstance = instance;
        wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        wc.lpszClassName = L"UpdaterSmokeWindow";
        registered = RegisterClassW(&wc) != 0;
    }
    HWND hwnd = CreateWindowExW(WS_EX_TOPMOST, L"UpdaterSmokeWindow", L"smoke", WS_POPUP, 40, 40,
                                kWidth, kHeight, nullptr, nullptr, instance, nullptr);
    EXPECT_NE(hwnd, nullptr) << "CreateWindowExW failed: " << GetLastError();
    ShowWindow(hwnd, SW_SHOWNORMAL);
    UpdateWindow(hwnd);

    Capture cap;
    for (int attempt = 0; attempt < 100; ++attempt) {
        PumpMessages();
        Sleep(20);
        InvalidateRect(hwnd, nullptr, FALSE);
        UpdateWindow(hwnd);
        GdiFlush();
        cap = CaptureClient(hwnd);
        // The window is on the screen once its white background is.
        const int dark = cap.CountDark();
        if (dark > 0 && dark < kWidth * kHeight / 3) {
            break;
        }
    }
    DestroyWindow(hwnd);
    PumpMessages();
    return cap;
}

TEST(Win32Smoke, GbkTextIsDrawnAndCapturedFromTheScreen) {
    const Capture done = DrawAndCapture("升级完成");
    SaveBmp(done, std::string(UPDATER_TEST_OUTPUT) + "/win32_smoke_text.bmp");

    // Ink is there, but the text covers only part of the window.
    const int dark = done.CountDark();
    EXPECT_GT(dark, 150) << "no text on the screen";
    EXPECT_LT(dark, kWidth * kHeight / 3);

    // Other characters of the same count give other pixels: the glyphs were
    // found, not four identical placeholder boxes.
    const Capture other = DrawAndCapture("下载中啊");
    EXPECT_GT(other.CountDark(), 150);
    int differing = 0;
    for (size_t i = 0; i < done.pixels.size(); ++i) {
        differing += done.pixels[i] != other.pixels[i];
    }
    EXPECT_GT(differing, 100) << "different characters were drawn alike";
}

TEST(Win32Smoke, RunsWithCodePage936) {
    EXPECT_EQ(GetACP(), 936u);
    wchar_t name[LOCALE_NAME_MAX_LENGTH] = {};
    ASSERT_GT(GetUserDefaultLocaleName(name, LOCALE_NAME_MAX_LENGTH), 0);
    EXPECT_EQ(std::wstring(name), L"zh-CN");
}

}  // namespace
