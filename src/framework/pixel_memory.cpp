#include "framework/pixel_memory.h"

#include <cstdlib>
#include <cstring>
#include <utility>

#include "framework/bitmap.h"

namespace framework {

TPixelMemory::TPixelMemory(size_t size, std::string dibHeader) {
    Allocate(size, std::move(dibHeader));
}

TPixelMemory::TPixelMemory(const TPixelMemory& other) {
    Allocate(other.size_, other.header_);
    if (size_ != 0) {
        std::memcpy(data_, other.data_, size_);
    }
}

TPixelMemory& TPixelMemory::operator=(const TPixelMemory& other) {
    if (this != &other) {
        TPixelMemory copy(other);
        Swap(copy);
    }
    return *this;
}

void TPixelMemory::Swap(TPixelMemory& other) noexcept {
    std::swap(data_, other.data_);
    std::swap(size_, other.size_);
    std::swap(handle_, other.handle_);
    std::swap(header_, other.header_);
}

#ifndef _WIN32

void TPixelMemory::Allocate(size_t size, std::string dibHeader) {
    header_ = std::move(dibHeader);
    if (size == 0) {
        return;
    }
    data_ = static_cast<uint8_t*>(std::calloc(size, 1));
    if (data_ == nullptr) {
        throw EInvalidGraphicOperation("Out of memory for the bitmap");
    }
    size_ = size;
}

void TPixelMemory::Release() noexcept {
    std::free(data_);
    data_ = nullptr;
    size_ = 0;
}

void TPixelMemory::SetColorTable(const std::string& entries) {
    // Only the DIB section's copy of the table matters to GDI; the portable
    // palette lives in the bitmap itself. Keep the header in step for copies.
    constexpr size_t kInfoHeaderSize = 40;
    if (header_.size() >= kInfoHeaderSize) {
        header_.replace(kInfoHeaderSize, std::string::npos, entries);
    }
}

#endif

}  // namespace framework
