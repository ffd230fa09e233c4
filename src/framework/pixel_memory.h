#pragma once

// TPixelMemory: the block of memory that holds a bitmap's pixels.
//
// Natively it is plain zero-filled heap memory. On Windows it is a DIB
// section, so that GDI can draw into the very bytes the portable code reads
// and writes, without copies; Handle() then gives the section (an HBITMAP).

#include <cstddef>
#include <cstdint>
#include <string>

namespace framework {

class TPixelMemory {
  public:
    TPixelMemory() = default;
    // Zero-filled memory of `size` bytes for the pixels that `dibHeader` (a
    // BITMAPINFO: the 40-byte header and the full colour table of an indexed
    // format) describes. Size 0 holds nothing. Raises
    // EInvalidGraphicOperation when the system refuses the memory.
    TPixelMemory(size_t size, std::string dibHeader);
    TPixelMemory(const TPixelMemory& other);
    TPixelMemory& operator=(const TPixelMemory& other);
    TPixelMemory(TPixelMemory&& other) noexcept { Swap(other); }
    TPixelMemory& operator=(TPixelMemory&& other) noexcept {
        if (this != &other) {
            TPixelMemory gone(std::move(*this));
            Swap(other);
        }
        return *this;
    }
    ~TPixelMemory() { Release(); }

    uint8_t* data() { return data_; }
    const uint8_t* data() const { return data_; }
    size_t size() const { return size_; }

    // The DIB section on Windows (null natively and for size 0).
    void* Handle() const { return handle_; }

    // Replaces the colour table GDI uses for an indexed section (entries in
    // RGBQUAD layout, 4 bytes each). Nothing to do natively.
    void SetColorTable(const std::string& entries);

    void Swap(TPixelMemory& other) noexcept;

  private:
    void Allocate(size_t size, std::string dibHeader);
    void Release() noexcept;

    uint8_t* data_ = nullptr;
    size_t size_ = 0;
    void* handle_ = nullptr;
    std::string header_;
};

}  // namespace framework
