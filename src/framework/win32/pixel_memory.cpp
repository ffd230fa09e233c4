// The pixel memory of a bitmap on Windows: a DIB section.

#include "framework/pixel_memory.h"

#include <windows.h>

#include <algorithm>

#include "framework/bitmap.h"

namespace framework {

// The portable bitmap code builds the DIB header as bytes: a 40-byte
// BITMAPINFOHEADER, then the colour table in entries of 4 bytes. The system's
// structures must have those sizes on every target for the two to agree.
static_assert(sizeof(BITMAPINFOHEADER) == 40 && sizeof(RGBQUAD) == 4);

void TPixelMemory::Allocate(size_t size, std::string dibHeader) {
    header_ = std::move(dibHeader);
    if (size == 0) {
        return;
    }
    void* bits = nullptr;
    HBITMAP section = CreateDIBSection(nullptr, reinterpret_cast<const BITMAPINFO*>(header_.data()),
                                       DIB_RGB_COLORS, &bits, nullptr, 0);
    if (section == nullptr || bits == nullptr) {
        if (section != nullptr) {
            DeleteObject(section);
        }
        throw EInvalidGraphicOperation("Out of system resources for the bitmap");
    }
    handle_ = section;
    data_ = static_cast<uint8_t*>(bits);
    size_ = size;
}

void TPixelMemory::Release() noexcept {
    if (handle_ != nullptr) {
        // GDI may still hold drawing for the section in its batch.
        GdiFlush();
        DeleteObject(static_cast<HBITMAP>(handle_));
    }
    handle_ = nullptr;
    data_ = nullptr;
    size_ = 0;
}

void TPixelMemory::SetColorTable(const std::string& entries) {
    constexpr size_t kInfoHeaderSize = sizeof(BITMAPINFOHEADER);
    if (header_.size() >= kInfoHeaderSize) {
        header_.replace(kInfoHeaderSize, std::string::npos, entries);
    }
    if (handle_ == nullptr || entries.empty()) {
        return;
    }
    HDC dc = CreateCompatibleDC(nullptr);
    if (dc == nullptr) {
        return;
    }
    HGDIOBJ old = SelectObject(dc, static_cast<HBITMAP>(handle_));
    SetDIBColorTable(dc, 0, static_cast<UINT>(entries.size() / 4),
                     reinterpret_cast<const RGBQUAD*>(entries.data()));
    SelectObject(dc, old);
    DeleteDC(dc);
}

}  // namespace framework
