#include "framework/bitmap.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <unordered_map>
#include <utility>

namespace framework {

namespace {

constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kBiRle8 = 1;
constexpr uint32_t kBiRle4 = 2;
constexpr uint32_t kBiBitfields = 3;

constexpr size_t kFileHeaderSize = 14;
constexpr size_t kInfoHeaderSize = 40;
// The most bytes the headers, the masks and the palette can take together:
// enough to read before the image's size is known.
constexpr size_t kMaxHeaderBytes = kFileHeaderSize + 124 + 12 + 256 * 4;

[[noreturn]] void Invalid() {
    throw EInvalidGraphic();
}

uint16_t U16(std::string_view b, size_t at) {
    return static_cast<uint16_t>(static_cast<uint8_t>(b[at]) |
                                 (static_cast<uint8_t>(b[at + 1]) << 8));
}

uint32_t U32(std::string_view b, size_t at) {
    return static_cast<uint32_t>(U16(b, at)) | (static_cast<uint32_t>(U16(b, at + 2)) << 16);
}

void PutU16(std::string& out, uint32_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}

void PutU32(std::string& out, uint32_t v) {
    PutU16(out, v & 0xFFFF);
    PutU16(out, v >> 16);
}

TPixelFormat FormatForBits(int bits) {
    switch (bits) {
        case 1:
            return pf1bit;
        case 4:
            return pf4bit;
        case 8:
            return pf8bit;
        case 32:
            return pf32bit;
        default:
            return pf24bit;  // 16 and 24 bits
    }
}

// Reads one channel out of a pixel through its bit mask and scales it to
// 8 bits.
class Channel {
  public:
    Channel() = default;
    // A mask must be one run of set bits (or none at all).
    explicit Channel(uint32_t mask) {
        if (mask == 0) {
            return;
        }
        shift_ = std::countr_zero(mask);
        bits_ = std::popcount(mask);
        if ((mask >> shift_) != (bits_ == 32 ? 0xFFFFFFFFu : (1u << bits_) - 1)) {
            Invalid();
        }
        mask_ = mask;
    }

    uint8_t Get(uint32_t pixel) const {
        if (bits_ == 0) {
            return 0;
        }
        uint32_t v = (pixel & mask_) >> shift_;
        if (bits_ >= 8) {
            return static_cast<uint8_t>(v >> (bits_ - 8));
        }
        uint32_t max = (1u << bits_) - 1;
        return static_cast<uint8_t>((v * 255 + max / 2) / max);
    }

    bool Is(uint32_t mask) const { return mask_ == mask; }

  private:
    uint32_t mask_ = 0;
    int shift_ = 0;
    int bits_ = 0;
};

// What the headers of a BMP image say.
struct BmpLayout {
    uint32_t fileSize = 0;
    int width = 0;
    int height = 0;
    bool topDown = false;
    int bits = 0;
    uint32_t compression = kBiRgb;
    uint32_t masks[4] = {0, 0, 0, 0};  // red, green, blue, alpha
    size_t paletteOffset = 0;
    size_t paletteCount = 0;
    size_t paletteEntrySize = 4;
    size_t dataOffset = 0;
    size_t dataSize = 0;
    size_t fileStride = 0;
    // Bytes from the start of the file header to the end of the pixel data,
    // and the bytes the image occupies in its stream.
    uint64_t needed = 0;
    uint64_t total = 0;
};

// Reads the headers from `prefix`, the first bytes of an image of which
// `available` bytes (prefix included) can be read.
BmpLayout ParseHeaders(std::string_view prefix, uint64_t available) {
    if (prefix.size() < kFileHeaderSize + 4 || prefix[0] != 'B' || prefix[1] != 'M') {
        Invalid();
    }
    BmpLayout l;
    l.fileSize = U32(prefix, 2);
    const uint32_t offBits = U32(prefix, 10);
    const uint32_t infoSize = U32(prefix, 14);
    if (infoSize != 12 && infoSize != 40 && infoSize != 52 && infoSize != 56 && infoSize != 108 &&
        infoSize != 124) {
        Invalid();
    }
    size_t headerEnd = kFileHeaderSize + infoSize;
    if (prefix.size() < headerEnd) {
        Invalid();
    }
    const size_t h = kFileHeaderSize;
    int64_t width = 0;
    int64_t height = 0;
    uint32_t planes = 0;
    uint32_t clrUsed = 0;
    uint32_t sizeImage = 0;
    if (infoSize == 12) {
        width = U16(prefix, h + 4);
        height = U16(prefix, h + 6);
        planes = U16(prefix, h + 8);
        l.bits = U16(prefix, h + 10);
        l.paletteEntrySize = 3;
        if (l.bits != 1 && l.bits != 4 && l.bits != 8 && l.bits != 24) {
            Invalid();
        }
    } else {
        width = static_cast<int32_t>(U32(prefix, h + 4));
        height = static_cast<int32_t>(U32(prefix, h + 8));
        planes = U16(prefix, h + 12);
        l.bits = U16(prefix, h + 14);
        l.compression = U32(prefix, h + 16);
        sizeImage = U32(prefix, h + 20);
        clrUsed = U32(prefix, h + 32);
        if (l.compression == kBiBitfields) {
            size_t at = h + 40;
            if (infoSize == 40) {
                // The three masks follow the header.
                headerEnd += 12;
                if (prefix.size() < headerEnd) {
                    Invalid();
                }
            }
            l.masks[0] = U32(prefix, at);
            l.masks[1] = U32(prefix, at + 4);
            l.masks[2] = U32(prefix, at + 8);
            if (infoSize >= 56) {
                l.masks[3] = U32(prefix, at + 12);
            }
        }
    }
    if (planes != 1 || width <= 0 || width > TBitmapData::kMaxSide || height == 0 ||
        height < -TBitmapData::kMaxSide || height > TBitmapData::kMaxSide) {
        Invalid();
    }
    l.topDown = height < 0;
    l.width = static_cast<int>(width);
    l.height = static_cast<int>(height < 0 ? -height : height);

    switch (l.compression) {
        case kBiRgb:
            if (l.bits != 1 && l.bits != 4 && l.bits != 8 && l.bits != 16 && l.bits != 24 &&
                l.bits != 32) {
                Invalid();
            }
            break;
        case kBiRle8:
        case kBiRle4:
            if (l.bits != (l.compression == kBiRle8 ? 8 : 4) || l.topDown) {
                Invalid();
            }
            break;
        case kBiBitfields:
            if (l.bits != 16 && l.bits != 32) {
                Invalid();
            }
            if (l.bits == 16 && ((l.masks[0] | l.masks[1] | l.masks[2] | l.masks[3]) >> 16) != 0) {
                Invalid();
            }
            break;
        default:
            Invalid();
    }

    if (l.bits <= 8) {
        const size_t full = size_t{1} << l.bits;
        if (clrUsed > full) {
            Invalid();
        }
        l.paletteCount = clrUsed != 0 ? clrUsed : full;
    }
    l.paletteOffset = headerEnd;
    const size_t paletteEnd = headerEnd + l.paletteCount * l.paletteEntrySize;
    if (prefix.size() < paletteEnd) {
        Invalid();
    }
    l.dataOffset = offBits != 0 ? offBits : paletteEnd;
    if (l.dataOffset < paletteEnd) {
        Invalid();  // pixel data inside the headers or the palette
    }

    l.fileStride = (static_cast<size_t>(l.width) * static_cast<size_t>(l.bits) + 31) / 32 * 4;
    const uint64_t storeBytes =
        static_cast<uint64_t>(TBitmapData::Stride(l.width, FormatForBits(l.bits))) *
        static_cast<uint64_t>(l.height);
    const uint64_t fileBytes = static_cast<uint64_t>(l.fileStride) * l.height;
    if (storeBytes > TBitmapData::kMaxPixelBytes || fileBytes > TBitmapData::kMaxPixelBytes) {
        Invalid();
    }
    if (l.compression == kBiRle8 || l.compression == kBiRle4) {
        if (sizeImage != 0) {
            l.dataSize = sizeImage;
        } else if (l.fileSize > l.dataOffset) {
            l.dataSize = l.fileSize - l.dataOffset;
        } else {
            Invalid();  // no way to tell where the runs end
        }
    } else {
        l.dataSize = static_cast<size_t>(fileBytes);
    }
    l.needed = static_cast<uint64_t>(l.dataOffset) + l.dataSize;
    l.total = l.fileSize >= l.needed ? l.fileSize : l.needed;
    if (l.total > available) {
        Invalid();  // truncated
    }
    return l;
}

std::vector<TPaletteEntry> ReadPalette(std::string_view image, const BmpLayout& l) {
    std::vector<TPaletteEntry> palette(l.paletteCount);
    for (size_t i = 0; i < l.paletteCount; ++i) {
        const size_t at = l.paletteOffset + i * l.paletteEntrySize;
        palette[i].blue = static_cast<uint8_t>(image[at]);
        palette[i].green = static_cast<uint8_t>(image[at + 1]);
        palette[i].red = static_cast<uint8_t>(image[at + 2]);
    }
    return palette;
}

// Expands BI_RLE8 or BI_RLE4 runs into the rows of `rows` (DIB order, one row
// of `stride` bytes per line, 8 or 4 bits per pixel).
//
// A run may reach into the padding at the end of a row (encoders such as
// ImageMagick's encode the whole padded row); those pixels are dropped. A run
// or a move past the padded row, or above the last row, is invalid.
void DecodeRle(std::string_view data, bool rle8, int width, int height, size_t stride,
               uint8_t* rows) {
    const int rowPixels = static_cast<int>(rle8 ? stride : stride * 2);
    auto put = [&](int x, int y, uint32_t index) {
        if (x >= width) {
            return;  // padding
        }
        uint8_t* row = rows + static_cast<size_t>(y) * stride;
        if (rle8) {
            row[x] = static_cast<uint8_t>(index);
        } else if ((x & 1) == 0) {
            row[x / 2] = static_cast<uint8_t>((row[x / 2] & 0x0F) | (index << 4));
        } else {
            row[x / 2] = static_cast<uint8_t>((row[x / 2] & 0xF0) | (index & 0x0F));
        }
    };
    int x = 0;
    int y = 0;  // counted from the bottom row, the order of the data
    size_t p = 0;
    const size_t end = data.size();
    while (true) {
        if (p == end) {
            return;  // the data may stop without an end-of-bitmap escape
        }
        if (end - p < 2) {
            Invalid();
        }
        const uint32_t count = static_cast<uint8_t>(data[p]);
        const uint32_t value = static_cast<uint8_t>(data[p + 1]);
        p += 2;
        if (count > 0) {
            // An encoded run: one index repeated, or two alternating nibbles.
            if (y >= height || static_cast<uint32_t>(rowPixels - x) < count) {
                Invalid();
            }
            for (uint32_t k = 0; k < count; ++k) {
                put(x + static_cast<int>(k), y,
                    rle8 ? value : ((k & 1) == 0 ? value >> 4 : value & 0x0F));
            }
            x += static_cast<int>(count);
            continue;
        }
        switch (value) {
            case 0:  // end of line
                x = 0;
                ++y;
                break;
            case 1:  // end of bitmap
                return;
            case 2: {  // delta: move right and up
                if (end - p < 2) {
                    Invalid();
                }
                x += static_cast<uint8_t>(data[p]);
                y += static_cast<uint8_t>(data[p + 1]);
                p += 2;
                if (x > rowPixels || y > height) {
                    Invalid();
                }
                break;
            }
            default: {  // an absolute run of `value` indices, padded to 16 bits
                const size_t bytes = rle8 ? value : (value + 1) / 2;
                const size_t padded = bytes + (bytes & 1);
                if (end - p < padded || y >= height ||
                    static_cast<uint32_t>(rowPixels - x) < value) {
                    Invalid();
                }
                for (uint32_t k = 0; k < value; ++k) {
                    const uint32_t b = static_cast<uint8_t>(data[p + (rle8 ? k : k / 2)]);
                    put(x + static_cast<int>(k), y, rle8 ? b : ((k & 1) == 0 ? b >> 4 : b & 0x0F));
                }
                x += static_cast<int>(value);
                p += padded;
                break;
            }
        }
    }
}

// Sets the bytes after the last pixel byte of every row to zero.
void ClearRowPadding(uint8_t* bits, int width, int height, int bitsPerPixel, size_t stride) {
    const size_t used = (static_cast<size_t>(width) * bitsPerPixel + 7) / 8;
    if (used == stride) {
        return;
    }
    for (int y = 0; y < height; ++y) {
        std::memset(bits + static_cast<size_t>(y) * stride + used, 0, stride - used);
    }
}

// Decodes an image whose headers `l` describes; `image` starts at the file
// header and holds at least l.needed bytes.
TBitmapData Decode(std::string_view image, const BmpLayout& l) {
    TBitmapData bmp(l.width, l.height, FormatForBits(l.bits));
    if (l.bits <= 8) {
        bmp.SetPalette(ReadPalette(image, l));
    }
    std::string_view data = image.substr(l.dataOffset, l.dataSize);
    uint8_t* bits = bmp.Bits();
    const size_t stride = bmp.Stride();
    if (l.compression == kBiRle8 || l.compression == kBiRle4) {
        DecodeRle(data, l.compression == kBiRle8, l.width, l.height, stride, bits);
        return bmp;
    }
    // The file row that holds DIB row `y` (both counted from the bottom).
    auto fileRow = [&](int y) {
        const int row = l.topDown ? l.height - 1 - y : y;
        return reinterpret_cast<const uint8_t*>(data.data()) +
               static_cast<size_t>(row) * l.fileStride;
    };
    if (l.bits == 16 || (l.bits == 32 && l.compression == kBiBitfields)) {
        Channel red;
        Channel green;
        Channel blue;
        Channel alpha;
        if (l.compression == kBiBitfields) {
            red = Channel(l.masks[0]);
            green = Channel(l.masks[1]);
            blue = Channel(l.masks[2]);
            alpha = Channel(l.masks[3]);
        } else {
            red = Channel(0x7C00);
            green = Channel(0x03E0);
            blue = Channel(0x001F);
        }
        const bool plain32 = l.bits == 32 && red.Is(0x00FF0000) && green.Is(0x0000FF00) &&
                             blue.Is(0x000000FF) && (alpha.Is(0xFF000000) || alpha.Is(0));
        for (int y = 0; y < l.height; ++y) {
            const uint8_t* src = fileRow(y);
            uint8_t* dst = bits + static_cast<size_t>(y) * stride;
            if (plain32) {
                std::memcpy(dst, src, static_cast<size_t>(l.width) * 4);
                if (alpha.Is(0)) {
                    for (int x = 0; x < l.width; ++x) {
                        dst[x * 4 + 3] = 0;
                    }
                }
                continue;
            }
            for (int x = 0; x < l.width; ++x) {
                uint32_t pixel;
                if (l.bits == 16) {
                    pixel = static_cast<uint32_t>(src[x * 2] | (src[x * 2 + 1] << 8));
                    dst[x * 3] = blue.Get(pixel);
                    dst[x * 3 + 1] = green.Get(pixel);
                    dst[x * 3 + 2] = red.Get(pixel);
                } else {
                    pixel = static_cast<uint32_t>(src[x * 4]) |
                            (static_cast<uint32_t>(src[x * 4 + 1]) << 8) |
                            (static_cast<uint32_t>(src[x * 4 + 2]) << 16) |
                            (static_cast<uint32_t>(src[x * 4 + 3]) << 24);
                    dst[x * 4] = blue.Get(pixel);
                    dst[x * 4 + 1] = green.Get(pixel);
                    dst[x * 4 + 2] = red.Get(pixel);
                    dst[x * 4 + 3] = alpha.Get(pixel);
                }
            }
        }
        return bmp;
    }
    // 1, 4, 8, 24 and 32 bits without masks: the file rows are DIB rows.
    if (!l.topDown) {
        std::memcpy(bits, data.data(), stride * static_cast<size_t>(l.height));
    } else {
        for (int y = 0; y < l.height; ++y) {
            std::memcpy(bits + static_cast<size_t>(y) * stride, fileRow(y), stride);
        }
    }
    ClearRowPadding(bits, l.width, l.height, l.bits, stride);
    return bmp;
}

void EncodeRle8Row(const uint8_t* row, int width, std::string& out) {
    int i = 0;
    while (i < width) {
        int run = 1;
        while (i + run < width && run < 255 && row[i + run] == row[i]) {
            ++run;
        }
        if (run >= 2) {
            out += static_cast<char>(run);
            out += static_cast<char>(row[i]);
            i += run;
            continue;
        }
        // Gather pixels up to the next run of three equal ones.
        int j = i;
        while (j < width && j - i < 255 &&
               !(j + 2 < width && row[j] == row[j + 1] && row[j] == row[j + 2])) {
            ++j;
        }
        const int n = j - i;
        if (n >= 3) {
            out += '\0';
            out += static_cast<char>(n);
            out.append(reinterpret_cast<const char*>(row + i), static_cast<size_t>(n));
            if (n & 1) {
                out += '\0';
            }
        } else {
            for (int k = 0; k < n; ++k) {
                out += '\1';
                out += static_cast<char>(row[i + k]);
            }
        }
        i = j;
    }
}

}  // namespace

int BitsPerPixel(TPixelFormat format) {
    switch (format) {
        case pf1bit:
            return 1;
        case pf4bit:
            return 4;
        case pf8bit:
            return 8;
        case pf24bit:
            return 24;
        case pf32bit:
            return 32;
    }
    return 24;
}

bool IsIndexed(TPixelFormat format) {
    return format == pf1bit || format == pf4bit || format == pf8bit;
}

std::vector<TPaletteEntry> DefaultPalette(TPixelFormat format) {
    switch (format) {
        case pf1bit:
            return {TPaletteEntry::FromColor(0x000000), TPaletteEntry::FromColor(0xFFFFFF)};
        case pf4bit: {
            static constexpr TColor kColors[16] = {
                0x000000, 0x000080, 0x008000, 0x008080, 0x800000, 0x800080, 0x808000, 0xC0C0C0,
                0x808080, 0x0000FF, 0x00FF00, 0x00FFFF, 0xFF0000, 0xFF00FF, 0xFFFF00, 0xFFFFFF};
            std::vector<TPaletteEntry> palette;
            for (TColor c : kColors) {
                palette.push_back(TPaletteEntry::FromColor(c));
            }
            return palette;
        }
        case pf8bit: {
            std::vector<TPaletteEntry> palette(256);
            for (int i = 0; i < 256; ++i) {
                palette[i].red = static_cast<uint8_t>(((i >> 5) & 7) * 255 / 7);
                palette[i].green = static_cast<uint8_t>(((i >> 2) & 7) * 255 / 7);
                palette[i].blue = static_cast<uint8_t>((i & 3) * 255 / 3);
            }
            return palette;
        }
        default:
            return {};
    }
}

size_t TBitmapData::Stride(int width, TPixelFormat format) {
    return (static_cast<size_t>(width) * static_cast<size_t>(framework::BitsPerPixel(format)) +
            31) /
           32 * 4;
}

TBitmapData::TBitmapData(int width, int height, TPixelFormat format) : format_(format) {
    palette_ = DefaultPalette(format);
    SetSize(width, height);
}

void TBitmapData::SetSize(int width, int height) {
    if (width < 0 || height < 0 || width > kMaxSide || height > kMaxSide ||
        Stride(width, format_) * static_cast<size_t>(height) > kMaxPixelBytes) {
        throw EInvalidGraphicOperation("Bitmap size is out of range");
    }
    TPixelMemory bits(Stride(width, format_) * static_cast<size_t>(height),
                      MemoryHeader(width, height));
    PixelMemoryChanging();
    bits_.Swap(bits);
    width_ = width;
    height_ = height;
    PixelMemoryChanged();
}

TBitmapData& TBitmapData::operator=(const TBitmapData& other) {
    if (this != &other) {
        TBitmapData copy(other);
        Replace(std::move(copy));
    }
    return *this;
}

TBitmapData& TBitmapData::operator=(TBitmapData&& other) noexcept {
    if (this != &other) {
        Replace(std::move(other));
    }
    return *this;
}

void TBitmapData::Replace(TBitmapData&& other) noexcept {
    PixelMemoryChanging();
    {
        TPixelMemory gone(std::move(bits_));
        bits_.Swap(other.bits_);
    }
    width_ = other.width_;
    height_ = other.height_;
    format_ = other.format_;
    palette_.swap(other.palette_);
    if (IsIndexed(format_)) {
        // The palette may have been set on `other` after its memory was made.
        bits_.SetColorTable(ColorTable());
    }
    PixelMemoryChanged();
}

std::string TBitmapData::ColorTable() const {
    std::string out;
    if (!IsIndexed(format_)) {
        return out;
    }
    const size_t entries = size_t{1} << framework::BitsPerPixel(format_);
    out.reserve(entries * 4);
    for (size_t i = 0; i < entries; ++i) {
        const TPaletteEntry e = i < palette_.size() ? palette_[i] : TPaletteEntry{};
        out += static_cast<char>(e.blue);
        out += static_cast<char>(e.green);
        out += static_cast<char>(e.red);
        out += '\0';
    }
    return out;
}

std::string TBitmapData::MemoryHeader(int width, int height) const {
    std::string out;
    PutU32(out, kInfoHeaderSize);
    PutU32(out, static_cast<uint32_t>(width));
    PutU32(out, static_cast<uint32_t>(height));
    PutU16(out, 1);
    PutU16(out, static_cast<uint32_t>(BitsPerPixel()));
    PutU32(out, kBiRgb);
    PutU32(out, static_cast<uint32_t>(Stride(width, format_) * static_cast<size_t>(height)));
    PutU32(out, 0);
    PutU32(out, 0);
    PutU32(out, IsIndexed(format_) ? 1u << BitsPerPixel() : 0u);
    PutU32(out, 0);
    return out + ColorTable();
}

uint8_t* TBitmapData::ScanLine(int y) {
    return const_cast<uint8_t*>(std::as_const(*this).ScanLine(y));
}

const uint8_t* TBitmapData::ScanLine(int y) const {
    if (y < 0 || y >= height_) {
        throw EInvalidGraphicOperation("Scan line index out of range");
    }
    return bits_.data() + RowOffset(y);
}

void TBitmapData::SetPalette(std::vector<TPaletteEntry> palette) {
    const size_t limit = IsIndexed(format_) ? size_t{1} << BitsPerPixel() : 0;
    if (palette.size() > limit || (IsIndexed(format_) && palette.empty())) {
        throw EInvalidGraphicOperation("Palette size does not suit the pixel format");
    }
    palette_ = std::move(palette);
    bits_.SetColorTable(ColorTable());
}

int TBitmapData::PixelIndex(int x, int y) const {
    if (!IsIndexed(format_) || x < 0 || y < 0 || x >= width_ || y >= height_) {
        return 0;
    }
    const uint8_t* row = bits_.data() + RowOffset(y);
    switch (format_) {
        case pf1bit:
            return (row[x / 8] >> (7 - x % 8)) & 1;
        case pf4bit:
            return (x & 1) == 0 ? row[x / 2] >> 4 : row[x / 2] & 0x0F;
        default:
            return row[x];
    }
}

void TBitmapData::SetPixelIndex(int x, int y, int index) {
    if (!IsIndexed(format_) || x < 0 || y < 0 || x >= width_ || y >= height_) {
        return;
    }
    uint8_t* row = bits_.data() + RowOffset(y);
    switch (format_) {
        case pf1bit: {
            const uint8_t bit = static_cast<uint8_t>(0x80 >> (x % 8));
            row[x / 8] =
                static_cast<uint8_t>((index & 1) ? (row[x / 8] | bit) : (row[x / 8] & ~bit));
            break;
        }
        case pf4bit:
            if ((x & 1) == 0) {
                row[x / 2] = static_cast<uint8_t>((row[x / 2] & 0x0F) | ((index & 0x0F) << 4));
            } else {
                row[x / 2] = static_cast<uint8_t>((row[x / 2] & 0xF0) | (index & 0x0F));
            }
            break;
        default:
            row[x] = static_cast<uint8_t>(index);
            break;
    }
}

TColor TBitmapData::Pixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) {
        return kInvalidColor;
    }
    if (IsIndexed(format_)) {
        const size_t index = static_cast<size_t>(PixelIndex(x, y));
        return index < palette_.size() ? palette_[index].Color() : 0;
    }
    const size_t bytes = format_ == pf32bit ? 4 : 3;
    const uint8_t* p = bits_.data() + RowOffset(y) + static_cast<size_t>(x) * bytes;
    return MakeColor(p[2], p[1], p[0]);
}

void TBitmapData::SetPixel(int x, int y, TColor color) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) {
        return;
    }
    if (IsIndexed(format_)) {
        SetPixelIndex(x, y, std::max(NearestPaletteIndex(color), 0));
        return;
    }
    const size_t bytes = format_ == pf32bit ? 4 : 3;
    uint8_t* p = bits_.data() + RowOffset(y) + static_cast<size_t>(x) * bytes;
    p[0] = ColorBlue(color);
    p[1] = ColorGreen(color);
    p[2] = ColorRed(color);
    if (bytes == 4) {
        p[3] = 0;
    }
}

int TBitmapData::NearestPaletteIndex(TColor color) const {
    int best = -1;
    int bestDistance = 0;
    for (size_t i = 0; i < palette_.size(); ++i) {
        const int dr = palette_[i].red - ColorRed(color);
        const int dg = palette_[i].green - ColorGreen(color);
        const int db = palette_[i].blue - ColorBlue(color);
        const int distance = dr * dr + dg * dg + db * db;
        if (best < 0 || distance < bestDistance) {
            best = static_cast<int>(i);
            bestDistance = distance;
            if (distance == 0) {
                break;
            }
        }
    }
    return best;
}

void TBitmapData::ConvertTo(TPixelFormat format) {
    if (format == format_) {
        return;
    }
    TBitmapData result;
    result.format_ = format;
    result.SetSize(width_, height_);
    if (!IsIndexed(format)) {
        for (int y = 0; y < height_; ++y) {
            for (int x = 0; x < width_; ++x) {
                result.SetPixel(x, y, Pixel(x, y));
            }
        }
        Replace(std::move(result));
        return;
    }
    const size_t capacity = size_t{1} << framework::BitsPerPixel(format);
    if (IsIndexed(format_) && palette_.size() <= capacity) {
        // The palette fits: keep it and the indices that point into it.
        result.palette_ = palette_;
        for (int y = 0; y < height_; ++y) {
            for (int x = 0; x < width_; ++x) {
                const int index = PixelIndex(x, y);
                result.SetPixelIndex(x, y,
                                     static_cast<size_t>(index) < palette_.size()
                                         ? index
                                         : std::max(result.NearestPaletteIndex(0), 0));
            }
        }
        Replace(std::move(result));
        return;
    }
    // The distinct colours, if they fit; else the default palette.
    std::vector<TPaletteEntry> palette;
    std::unordered_map<TColor, int> seen;
    for (int y = 0; y < height_ && palette.size() <= capacity; ++y) {
        for (int x = 0; x < width_ && palette.size() <= capacity; ++x) {
            const TColor c = Pixel(x, y);
            if (seen.emplace(c, static_cast<int>(palette.size())).second) {
                palette.push_back(TPaletteEntry::FromColor(c));
            }
        }
    }
    if (palette.empty() || palette.size() > capacity) {
        palette = DefaultPalette(format);
    }
    result.palette_ = std::move(palette);
    std::unordered_map<TColor, int> cache;
    for (int y = 0; y < height_; ++y) {
        for (int x = 0; x < width_; ++x) {
            const TColor c = Pixel(x, y);
            auto it = cache.find(c);
            if (it == cache.end()) {
                it = cache.emplace(c, result.NearestPaletteIndex(c)).first;
            }
            result.SetPixelIndex(x, y, it->second);
        }
    }
    Replace(std::move(result));
}

std::string TBitmapData::DibHeader() const {
    std::string out;
    PutU32(out, kInfoHeaderSize);
    PutU32(out, static_cast<uint32_t>(width_));
    PutU32(out, static_cast<uint32_t>(height_));
    PutU16(out, 1);
    PutU16(out, static_cast<uint32_t>(BitsPerPixel()));
    PutU32(out, kBiRgb);
    PutU32(out, static_cast<uint32_t>(bits_.size()));
    PutU32(out, 0);
    PutU32(out, 0);
    PutU32(out, static_cast<uint32_t>(palette_.size()));
    PutU32(out, 0);
    for (const TPaletteEntry& e : palette_) {
        out += static_cast<char>(e.blue);
        out += static_cast<char>(e.green);
        out += static_cast<char>(e.red);
        out += '\0';
    }
    return out;
}

void TBitmapData::LoadFromBytes(std::string_view bytes) {
    BmpLayout l = ParseHeaders(bytes, bytes.size());
    Replace(Decode(bytes, l));
}

void TBitmapData::LoadFromStream(base::TStream& stream) {
    const int64_t start = stream.Position();
    const int64_t size = stream.Size();
    if (start >= size) {
        throw EInvalidGraphic();
    }
    const uint64_t available = static_cast<uint64_t>(size - start);
    if (auto* memory = dynamic_cast<base::TMemoryStream*>(&stream)) {
        // The bytes are at hand: no copy.
        std::string_view bytes = memory->View().substr(static_cast<size_t>(start));
        BmpLayout l = ParseHeaders(bytes, available);
        TBitmapData result = Decode(bytes, l);
        stream.SetPosition(start + static_cast<int64_t>(l.total));
        Replace(std::move(result));
        return;
    }
    try {
        std::string image(static_cast<size_t>(std::min<uint64_t>(available, kMaxHeaderBytes)),
                          '\0');
        stream.ReadBuffer(image.data(), static_cast<int64_t>(image.size()));
        BmpLayout l = ParseHeaders(image, available);
        if (l.needed > image.size()) {
            const size_t have = image.size();
            image.resize(static_cast<size_t>(l.needed));
            stream.ReadBuffer(image.data() + have, static_cast<int64_t>(image.size() - have));
        }
        TBitmapData result = Decode(image, l);
        stream.SetPosition(start + static_cast<int64_t>(l.total));
        Replace(std::move(result));
    } catch (const base::EReadError&) {
        throw EInvalidGraphic();
    }
}

void TBitmapData::SaveToStream(base::TStream& stream, TBmpCompression compression) const {
    if (Empty()) {
        throw EInvalidGraphicOperation("Cannot save an empty bitmap");
    }
    if (compression == bcRle8 && format_ != pf8bit) {
        throw EInvalidGraphicOperation("RLE8 compression needs an 8-bit bitmap");
    }
    std::string rle;
    if (compression == bcRle8) {
        for (int y = 0; y < height_; ++y) {
            EncodeRle8Row(bits_.data() + static_cast<size_t>(y) * Stride(), width_, rle);
            rle += '\0';
            rle += (y + 1 < height_) ? '\0' : '\1';  // end of line, or of bitmap
        }
    }
    std::string header = DibHeader();
    if (compression == bcRle8) {
        // biCompression and biSizeImage
        std::string fields;
        PutU32(fields, kBiRle8);
        PutU32(fields, static_cast<uint32_t>(rle.size()));
        header.replace(16, 8, fields);
    }
    const size_t dataSize = compression == bcRle8 ? rle.size() : bits_.size();
    std::string fileHeader = "BM";
    PutU32(fileHeader, static_cast<uint32_t>(kFileHeaderSize + header.size() + dataSize));
    PutU32(fileHeader, 0);
    PutU32(fileHeader, static_cast<uint32_t>(kFileHeaderSize + header.size()));
    stream.WriteBuffer(fileHeader);
    stream.WriteBuffer(header);
    if (compression == bcRle8) {
        stream.WriteBuffer(rle);
    } else {
        stream.WriteBuffer(bits_.data(), static_cast<int64_t>(bits_.size()));
    }
}

std::string TBitmapData::SaveToBytes(TBmpCompression compression) const {
    base::TMemoryStream stream;
    SaveToStream(stream, compression);
    return stream.ToString();
}

bool TBitmapData::operator==(const TBitmapData& other) const {
    if (width_ != other.width_ || height_ != other.height_ || format_ != other.format_ ||
        palette_ != other.palette_) {
        return false;
    }
    const size_t bitsInRow = static_cast<size_t>(width_) * BitsPerPixel();
    const size_t fullBytes = bitsInRow / 8;
    const unsigned restBits = static_cast<unsigned>(bitsInRow % 8);
    const uint8_t restMask = static_cast<uint8_t>(0xFF00 >> restBits);
    const size_t stride = Stride();
    for (int y = 0; y < height_; ++y) {
        const uint8_t* a = bits_.data() + static_cast<size_t>(y) * stride;
        const uint8_t* b = other.bits_.data() + static_cast<size_t>(y) * stride;
        if (std::memcmp(a, b, fullBytes) != 0) {
            return false;
        }
        if (restBits != 0 && ((a[fullBytes] ^ b[fullBytes]) & restMask) != 0) {
            return false;
        }
    }
    return true;
}

}  // namespace framework
