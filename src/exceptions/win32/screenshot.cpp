#include "exceptions/win32/screenshot.h"

#include <windows.h>

#include <cstddef>
#include <exception>
#include <new>

#include "base/exception.h"

namespace exceptions {

namespace {

// Each GDI object of a capture is freed on every path, in the reverse order
// of its making: selections are undone before their objects are deleted, and
// objects before their device contexts.

class TScreenDc {
  public:
    TScreenDc() : dc_(GetDC(nullptr)) {}
    ~TScreenDc() {
        if (dc_ != nullptr) {
            ReleaseDC(nullptr, dc_);
        }
    }
    TScreenDc(const TScreenDc&) = delete;
    TScreenDc& operator=(const TScreenDc&) = delete;
    HDC Get() const { return dc_; }

  private:
    HDC dc_;
};

class TMemoryDc {
  public:
    explicit TMemoryDc(HDC compatible) : dc_(CreateCompatibleDC(compatible)) {}
    ~TMemoryDc() {
        if (dc_ != nullptr) {
            DeleteDC(dc_);
        }
    }
    TMemoryDc(const TMemoryDc&) = delete;
    TMemoryDc& operator=(const TMemoryDc&) = delete;
    HDC Get() const { return dc_; }

  private:
    HDC dc_;
};

template <typename Handle>
class TGdiObject {
  public:
    explicit TGdiObject(Handle handle = nullptr) : handle_(handle) {}
    ~TGdiObject() {
        if (handle_ != nullptr) {
            DeleteObject(handle_);
        }
    }
    TGdiObject(const TGdiObject&) = delete;
    TGdiObject& operator=(const TGdiObject&) = delete;
    void Reset(Handle handle) {
        if (handle_ != nullptr) {
            DeleteObject(handle_);
        }
        handle_ = handle;
    }
    Handle Get() const { return handle_; }

  private:
    Handle handle_;
};

// A bitmap selected into a device context until the end of the scope.
class TBitmapSelection {
  public:
    TBitmapSelection(HDC dc, HBITMAP bitmap) : dc_(dc), old_(SelectObject(dc, bitmap)) {}
    ~TBitmapSelection() {
        if (Selected()) {
            SelectObject(dc_, old_);
        }
    }
    TBitmapSelection(const TBitmapSelection&) = delete;
    TBitmapSelection& operator=(const TBitmapSelection&) = delete;
    bool Selected() const { return old_ != nullptr && old_ != HGDI_ERROR; }

  private:
    HDC dc_;
    HGDIOBJ old_;
};

// A palette selected into a device context until the end of the scope.
class TPaletteSelection {
  public:
    TPaletteSelection() = default;
    ~TPaletteSelection() {
        if (old_ != nullptr) {
            SelectPalette(dc_, old_, FALSE);
        }
    }
    TPaletteSelection(const TPaletteSelection&) = delete;
    TPaletteSelection& operator=(const TPaletteSelection&) = delete;
    bool Select(HDC dc, HPALETTE palette) {
        dc_ = dc;
        old_ = SelectPalette(dc, palette, FALSE);
        return old_ != nullptr;
    }

  private:
    HDC dc_ = nullptr;
    HPALETTE old_ = nullptr;
};

// A logical palette of all 256 entries, laid out as LOGPALETTE with its
// one-entry array grown to 256.
struct TFullLogPalette {
    WORD version;
    WORD count;
    PALETTEENTRY entries[256];
};
static_assert(offsetof(TFullLogPalette, entries) == offsetof(LOGPALETTE, palPalEntry));

// The header of an 8-bit device-independent bitmap and its colour table,
// laid out as BITMAPINFO with its one-entry table grown to 256.
struct TBitmapInfo256 {
    BITMAPINFOHEADER header;
    RGBQUAD colours[256];
};
static_assert(offsetof(TBitmapInfo256, colours) == offsetof(BITMAPINFO, bmiColors));

std::nullopt_t Fail(std::string* error, const char* step) {
    const DWORD code = GetLastError();
    if (error != nullptr) {
        *error = std::string("Screen capture failed: ") + step + " (system error " +
                 std::to_string(code) + ")";
    }
    return std::nullopt;
}

// Draws the cursor that shows now, its hotspot on the cursor's position;
// false when none shows. The cursor's bitmaps that GetIconInfo hands out
// are freed.
bool DrawCursor(HDC dc, int32_t left, int32_t top) {
    CURSORINFO cursor{};
    cursor.cbSize = sizeof cursor;
    if (!GetCursorInfo(&cursor) || (cursor.flags & CURSOR_SHOWING) == 0 ||
        cursor.hCursor == nullptr) {
        return false;
    }
    POINT hotspot{0, 0};
    ICONINFO icon{};
    if (GetIconInfo(cursor.hCursor, &icon)) {
        hotspot.x = static_cast<LONG>(icon.xHotspot);
        hotspot.y = static_cast<LONG>(icon.yHotspot);
        if (icon.hbmMask != nullptr) {
            DeleteObject(icon.hbmMask);
        }
        if (icon.hbmColor != nullptr) {
            DeleteObject(icon.hbmColor);
        }
    }
    return DrawIconEx(dc, cursor.ptScreenPos.x - left - hotspot.x,
                      cursor.ptScreenPos.y - top - hotspot.y, cursor.hCursor, 0, 0, 0, nullptr,
                      DI_NORMAL) != FALSE;
}

std::optional<TScreenCapture> Capture(std::string* error) {
    TScreenCapture capture;
    capture.left = GetSystemMetrics(SM_XVIRTUALSCREEN);
    capture.top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    const int width = GetSystemMetrics(SM_CXVIRTUALSCREEN);
    const int height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    if (width <= 0 || height <= 0) {
        return Fail(error, "the virtual screen has no size");
    }
    capture.width = static_cast<uint32_t>(width);
    capture.height = static_cast<uint32_t>(height);

    const TScreenDc screen;
    if (screen.Get() == nullptr) {
        return Fail(error, "GetDC of the screen");
    }
    const TMemoryDc memory(screen.Get());
    if (memory.Get() == nullptr) {
        return Fail(error, "CreateCompatibleDC");
    }
    const TGdiObject<HBITMAP> bitmap(CreateCompatibleBitmap(screen.Get(), width, height));
    if (bitmap.Get() == nullptr) {
        return Fail(error, "CreateCompatibleBitmap");
    }

    // A palette display copies through the colours it shows now.
    TGdiObject<HPALETTE> palette;
    TPaletteSelection palette_selection;
    if ((GetDeviceCaps(screen.Get(), RASTERCAPS) & RC_PALETTE) != 0) {
        TFullLogPalette logical{};
        logical.version = 0x300;
        logical.count = 256;
        GetSystemPaletteEntries(screen.Get(), 0, 256, logical.entries);
        palette.Reset(CreatePalette(reinterpret_cast<const LOGPALETTE*>(&logical)));
        if (palette.Get() == nullptr) {
            return Fail(error, "CreatePalette");
        }
        if (!palette_selection.Select(memory.Get(), palette.Get())) {
            return Fail(error, "SelectPalette");
        }
        RealizePalette(memory.Get());
    }

    {
        const TBitmapSelection selection(memory.Get(), bitmap.Get());
        if (!selection.Selected()) {
            return Fail(error, "SelectObject of the bitmap");
        }
        if (!BitBlt(memory.Get(), 0, 0, width, height, screen.Get(), capture.left, capture.top,
                    SRCCOPY | CAPTUREBLT)) {
            return Fail(error, "BitBlt from the screen");
        }
        capture.cursor_drawn = DrawCursor(memory.Get(), capture.left, capture.top);
        GdiFlush();
    }

    // The bitmap is out of the context again, as GetDIBits wants it.
    try {
        capture.rows.assign(DibRowSize(capture.width) * capture.height, 0);
    } catch (const std::bad_alloc&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return Fail(error, "no memory for the picture");
    }
    TBitmapInfo256 info{};
    info.header.biSize = sizeof info.header;
    info.header.biWidth = width;
    info.header.biHeight = height;  // positive: the bottom row first
    info.header.biPlanes = 1;
    info.header.biBitCount = 8;
    info.header.biCompression = BI_RGB;
    const int lines =
        GetDIBits(memory.Get(), bitmap.Get(), 0, static_cast<UINT>(height), capture.rows.data(),
                  reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
    if (lines != height) {
        return Fail(error, "GetDIBits as 8 bits per pixel");
    }
    for (size_t i = 0; i < 256; ++i) {
        capture.palette[i] = {info.colours[i].rgbRed, info.colours[i].rgbGreen,
                              info.colours[i].rgbBlue};
    }
    return capture;
}

void SetError(std::string* error, const std::string& message) {
    if (error != nullptr) {
        *error = message;
    }
}

}  // namespace

std::optional<TScreenCapture> CaptureVirtualScreen(std::string* error) {
    try {
        return Capture(error);
    } catch (const std::exception& e) {
        SetError(error, std::string("Screen capture failed: ") + e.what());
    } catch (...) {
        SetError(error, "Screen capture failed");
    }
    return std::nullopt;
}

bool WriteScreenshotFile(const std::u16string& path, std::string* error) {
    try {
        const std::optional<TScreenCapture> capture = CaptureVirtualScreen(error);
        if (!capture) {
            return false;
        }
        WritePngFile(path, capture->View());
        return true;
    } catch (const base::Exception& e) {
        SetError(error, "Screenshot not written: " + e.Message());
    } catch (const std::exception& e) {
        SetError(error, std::string("Screenshot not written: ") + e.what());
    } catch (...) {
        SetError(error, "Screenshot not written");
    }
    return false;
}

}  // namespace exceptions
