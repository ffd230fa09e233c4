#pragma once

// TBitmapData: a portable pixel store, and the BMP file codec.
//
// The pixels are kept exactly as a Windows device-independent bitmap keeps
// them, so that the Win32 bitmap can hand them to GDI without conversion:
// rows are stored bottom-up (the last row of the picture first), each row is
// padded to a multiple of 4 bytes; 1, 4 and 8 bit pixels are indices into a
// palette of up to 2, 16 or 256 entries (RGBQUAD layout: blue, green, red,
// reserved); 24 bit pixels are blue, green, red; 32 bit pixels are blue,
// green, red and a fourth byte. Within a byte, the leftmost pixel is in the
// most significant bits.
//
// Coordinates given to ScanLine and Pixel count from the top row (y = 0).
// Colours are 0x00BBGGRR: red in the low byte.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/exception.h"
#include "base/streams.h"
#include "framework/pixel_memory.h"

namespace framework {

// Bytes that are not a BMP image this codec reads. The message is always
// "Bitmap image is not valid.".
class EInvalidGraphic : public base::Exception {
  public:
    EInvalidGraphic() : Exception("Bitmap image is not valid.") {}
};

// A request the bitmap cannot carry out (a size out of range, a palette that
// does not suit the pixel format, a scan line outside the picture).
class EInvalidGraphicOperation : public base::Exception {
  public:
    using Exception::Exception;
};

enum TPixelFormat { pf1bit, pf4bit, pf8bit, pf24bit, pf32bit };

int BitsPerPixel(TPixelFormat format);
bool IsIndexed(TPixelFormat format);  // pf1bit, pf4bit, pf8bit

using TColor = uint32_t;  // 0x00BBGGRR

constexpr TColor MakeColor(uint8_t red, uint8_t green, uint8_t blue) {
    return static_cast<TColor>(red) | (static_cast<TColor>(green) << 8) |
           (static_cast<TColor>(blue) << 16);
}
constexpr uint8_t ColorRed(TColor c) {
    return static_cast<uint8_t>(c);
}
constexpr uint8_t ColorGreen(TColor c) {
    return static_cast<uint8_t>(c >> 8);
}
constexpr uint8_t ColorBlue(TColor c) {
    return static_cast<uint8_t>(c >> 16);
}

// What Pixel returns for a point outside the picture.
inline constexpr TColor kInvalidColor = 0xFFFFFFFF;

// One palette entry, laid out as the RGBQUAD of a DIB.
struct TPaletteEntry {
    uint8_t blue = 0;
    uint8_t green = 0;
    uint8_t red = 0;
    uint8_t reserved = 0;

    TColor Color() const { return MakeColor(red, green, blue); }
    static TPaletteEntry FromColor(TColor c) {
        return TPaletteEntry{ColorBlue(c), ColorGreen(c), ColorRed(c), 0};
    }
    bool operator==(const TPaletteEntry&) const = default;
};
static_assert(sizeof(TPaletteEntry) == 4);

// The palette a new bitmap of an indexed format starts with: black and white;
// the 16 standard colours of the Windows palette; a 3-3-2 colour cube (red in
// the top three bits of the index, green in the next three, blue in the low
// two). Empty for 24 and 32 bits.
std::vector<TPaletteEntry> DefaultPalette(TPixelFormat format);

enum TBmpCompression {
    bcNone,  // uncompressed at the bitmap's own depth
    bcRle8,  // run-length encoded; 8-bit bitmaps only
};

class TBitmapData {
  public:
    // The largest width and height, and the most pixel bytes, a bitmap may
    // have (a BMP file asking for more is not valid).
    static constexpr int kMaxSide = 32768;
    static constexpr size_t kMaxPixelBytes = size_t{256} << 20;

    // An empty 24-bit bitmap.
    TBitmapData() = default;
    // Zero-filled pixels (index 0 or black); indexed formats get DefaultPalette.
    // Raises EInvalidGraphicOperation for a size out of range.
    TBitmapData(int width, int height, TPixelFormat format);

    int Width() const { return width_; }
    int Height() const { return height_; }
    bool Empty() const { return width_ == 0 || height_ == 0; }
    TPixelFormat PixelFormat() const { return format_; }
    int BitsPerPixel() const { return framework::BitsPerPixel(format_); }

    // New zero-filled pixels of the new size; format and palette stay. Sides
    // must be 0..kMaxSide and the pixels fit kMaxPixelBytes, else
    // EInvalidGraphicOperation.
    void SetSize(int width, int height);
    void SetPixelFormat(TPixelFormat format) { ConvertTo(format); }

    // Bytes per row, padding included: a multiple of 4.
    size_t Stride() const { return Stride(width_, format_); }
    static size_t Stride(int width, TPixelFormat format);
    // All rows in DIB order (the bottom row first), Stride() * Height() bytes.
    uint8_t* Bits() { return bits_.data(); }
    const uint8_t* Bits() const { return bits_.data(); }
    size_t BitsSize() const { return bits_.size(); }
    // Row y counted from the top; EInvalidGraphicOperation "Scan line index
    // out of range" outside 0..Height()-1.
    uint8_t* ScanLine(int y);
    const uint8_t* ScanLine(int y) const;

    const std::vector<TPaletteEntry>& Palette() const { return palette_; }
    // An indexed bitmap takes 1 to 2^bits entries; a 24 or 32 bit bitmap has
    // no palette (only an empty one is accepted). Else EInvalidGraphicOperation.
    void SetPalette(std::vector<TPaletteEntry> palette);

    // The colour at (x, y): a palette entry's colour for indexed formats (black
    // for an index beyond the palette), else blue, green and red of the pixel;
    // kInvalidColor outside the picture.
    TColor Pixel(int x, int y) const;
    // Indexed formats store the index of the palette entry equal to `color`,
    // or else of the nearest one (NearestPaletteIndex); 24 and 32 bits store
    // the colour (32 bits: the fourth byte becomes 0). Outside the picture
    // nothing happens. The high byte of `color` is ignored.
    void SetPixel(int x, int y, TColor color);
    // The raw value of an indexed pixel (0 for other formats or outside).
    int PixelIndex(int x, int y) const;
    // Stores a raw index of an indexed format (masked to the format's bits).
    void SetPixelIndex(int x, int y, int index);
    // The first entry equal to `color`, else the one at the least squared
    // distance in red, green and blue (the lowest index among equals); -1
    // when there is no palette.
    int NearestPaletteIndex(TColor color) const;

    // Changes the pixel format, keeping the picture as well as the new format
    // allows. To 24 or 32 bits every colour is kept. To an indexed format: a
    // palette that fits is kept with its indices; else, when the picture has
    // no more distinct colours than the format holds, they become the palette
    // (in the order they are met, from the top row down); else the pixels are
    // mapped to the nearest entries of DefaultPalette(format).
    void ConvertTo(TPixelFormat format);

    // BITMAPINFOHEADER (40 bytes, bottom-up height, BI_RGB, biClrUsed = the
    // palette size) followed by the palette: a BITMAPINFO for these pixels.
    std::string DibHeader() const;

    // Reads one BMP image that starts at the stream's position and leaves the
    // stream after it: after as many bytes as the file header's size field
    // gives, or, when that field is 0 or smaller than the headers, palette and
    // pixel data need, after the pixel data (its offset plus its size). Raises
    // EInvalidGraphic for anything it cannot read; the bitmap is then unchanged.
    //
    // Read: file header "BM"; info headers of 12 (core), 40, 52, 56, 108 and
    // 124 bytes; 1, 4 and 8 bits with palette (biClrUsed entries, or 2^bits
    // when 0), 24 and 32 bits; 16 bits as 5-5-5 (BI_RGB) or with bit masks
    // (BI_BITFIELDS), read into 24 bits; 32 bits with bit masks (to blue,
    // green, red and alpha in the fourth byte); BI_RLE8 and BI_RLE4 into
    // 8 and 4 bit indices (pixels that the runs skip are index 0; runs may
    // cover the padding at the end of a row, not more); top-down images
    // (negative height) for uncompressed data.
    void LoadFromStream(base::TStream& stream);
    void LoadFromBytes(std::string_view bytes);

    // Writes a BMP file with a 40-byte info header at the bitmap's own depth.
    // EInvalidGraphicOperation for an empty bitmap, or bcRle8 on a bitmap
    // that is not 8 bits.
    void SaveToStream(base::TStream& stream, TBmpCompression compression = bcNone) const;
    std::string SaveToBytes(TBmpCompression compression = bcNone) const;

    // Same size, format, palette and pixels; padding bits and bytes at the end
    // of the rows do not count.
    bool operator==(const TBitmapData& other) const;

    // The DIB section that holds the pixels on Windows (an HBITMAP; null
    // natively and for an empty bitmap). It changes whenever the pixel
    // memory is replaced: by SetSize, a format change, loading, assignment.
    void* Handle() const { return bits_.Handle(); }

    TBitmapData(const TBitmapData&) = default;
    TBitmapData(TBitmapData&&) noexcept = default;
    TBitmapData& operator=(const TBitmapData& other);
    TBitmapData& operator=(TBitmapData&& other) noexcept;
    virtual ~TBitmapData() = default;

  protected:
    // Called before the pixel memory is released or replaced, and after the
    // new memory is in place: a Windows bitmap that keeps the section
    // selected into a device context deselects and reselects it here.
    virtual void PixelMemoryChanging() {}
    virtual void PixelMemoryChanged() {}

  private:
    // Takes over the pixels, format and palette of `other`.
    void Replace(TBitmapData&& other) noexcept;
    // The BITMAPINFO the pixel memory is made with: an indexed format always
    // carries its full colour table.
    std::string MemoryHeader(int width, int height) const;
    std::string ColorTable() const;

    size_t RowOffset(int y) const { return static_cast<size_t>(height_ - 1 - y) * Stride(); }

    int width_ = 0;
    int height_ = 0;
    TPixelFormat format_ = pf24bit;
    std::vector<TPaletteEntry> palette_;
    TPixelMemory bits_;
};

}  // namespace framework
