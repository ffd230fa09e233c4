#pragma once

// The palette PNG file of a screen capture: an 8-bit picture with a colour
// table of 256 entries, as the system hands it out (rows bottom-up, each
// padded to a multiple of four bytes), written as a PNG of colour type 3.
// Only the compression is zlib's; the file's structure, its chunks and their
// CRCs are made here.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "base/exception.h"
#include "base/streams.h"

namespace exceptions {

// The picture cannot be written as given (no rows, no columns, fewer bytes
// than the rows need) or zlib refused to compress it.
class EPngError : public base::Exception {
  public:
    using Exception::Exception;
};

struct TPngColor {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
};

// An 8-bit device-independent picture as the system stores it: `rows` holds
// `height` rows of DibRowSize(width) bytes each, the bottom row first; only
// the first `width` bytes of a row are pixels (palette indices), the rest is
// padding.
struct TDib8View {
    uint32_t width = 0;
    uint32_t height = 0;
    const std::array<TPngColor, 256>* palette = nullptr;
    std::span<const uint8_t> rows;
};

// The compressed image data goes out in chunks of at most this many bytes:
// the compressor's one output buffer.
inline constexpr size_t kPngDataChunkLimit = 0x3FFFF;

// The largest width or height a PNG can state.
inline constexpr uint32_t kPngMaxDimension = 0x7FFFFFFF;

// The bytes a row of an 8-bit device-independent picture occupies: the width
// rounded up to a multiple of four.
constexpr size_t DibRowSize(uint32_t width) {
    return (static_cast<size_t>(width) + 3) & ~static_cast<size_t>(3);
}

// CRC-32 as PNG and zlib compute it (reflected polynomial 0xEDB88320, all
// ones at the start, complemented at the end). `crc` is the result over the
// bytes before these, 0 for none, so a CRC can be computed piece by piece.
uint32_t Crc32(const void* data, size_t size, uint32_t crc = 0);

// Writes `image` as a PNG to `sink`: the signature; IHDR (width, height, bit
// depth 8, colour type 3, compression, filter and interlace 0); PLTE with the
// 256 colours; the rows top to bottom, each as filter byte 0 and its `width`
// indices, compressed by zlib at level 9 into IDAT chunks of
// kPngDataChunkLimit bytes each but the last; IEND.
//
// Raises EPngError before writing anything when the picture is empty, larger
// than a PNG can state, lacks a palette or has fewer bytes than its rows
// need; EPngError when zlib fails; the sink's own error (base::EWriteError
// "Stream write error") when it stops taking bytes.
void WritePng(base::TStream& sink, const TDib8View& image);

// Writes the PNG of `image` to the file `path` (UTF-16 as the system names
// it). The bytes go to a temporary file beside it, which then replaces the
// file in one step, so a failure leaves an existing file as it was and no
// partial file behind. Raises EPngError for a picture that cannot be written
// (checked before any file is touched), platform::EFCreateError "Cannot
// create file PATH" when the file cannot be created or replaced, and
// base::EWriteError "Cannot write file PATH" when writing stops short.
void WritePngFile(const std::u16string& path, const TDib8View& image);

}  // namespace exceptions
