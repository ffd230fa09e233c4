#include "framework/bitmap.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "base/streams.h"

#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace framework {
namespace {

// --- building BMP files by hand ---------------------------------------------

void Put16(std::string& out, uint32_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}

void Put32(std::string& out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

std::string Bytes(std::initializer_list<int> values) {
    std::string out;
    for (int v : values) {
        out += static_cast<char>(v);
    }
    return out;
}

// A BMP file: file header, info header of `infoSize` bytes (12, 40, 52, 56,
// 108 or 124; fields a size cannot hold are left out, the rest zero),
// `extra` (masks after a 40-byte header), the palette bytes and the pixel
// data. `fileSize` and `offBits` default to the true values.
struct BmpLayout {
    uint32_t infoSize = 40;
    int32_t width = 1;
    int32_t height = 1;
    uint16_t planes = 1;
    uint16_t bits = 24;
    uint32_t compression = 0;
    uint32_t sizeImage = 0;
    uint32_t clrUsed = 0;
    uint32_t masks[4] = {0, 0, 0, 0};
    std::string extra;
    std::string palette;
    std::string data;
    int64_t fileSize = -1;
    int64_t offBits = -1;

    std::string Build() const {
        std::string info;
        Put32(info, infoSize);
        if (infoSize == 12) {
            Put16(info, static_cast<uint32_t>(width));
            Put16(info, static_cast<uint32_t>(height));
            Put16(info, planes);
            Put16(info, bits);
        } else {
            Put32(info, static_cast<uint32_t>(width));
            Put32(info, static_cast<uint32_t>(height));
            Put16(info, planes);
            Put16(info, bits);
            Put32(info, compression);
            Put32(info, sizeImage);
            Put32(info, 2835);
            Put32(info, 2835);
            Put32(info, clrUsed);
            Put32(info, 0);
            for (int i = 0; i < 4 && info.size() < infoSize; ++i) {
                Put32(info, masks[i]);
            }
            info.resize(infoSize, '\0');
        }
        const uint32_t headers =
            14 + static_cast<uint32_t>(info.size() + extra.size() + palette.size());
        const uint32_t off = offBits >= 0 ? static_cast<uint32_t>(offBits) : headers;
        std::string gap(off > headers ? off - headers : 0, '\x5A');
        const uint32_t total = static_cast<uint32_t>(headers + gap.size() + data.size());
        std::string out = "BM";
        Put32(out, fileSize >= 0 ? static_cast<uint32_t>(fileSize) : total);
        Put32(out, 0);
        Put32(out, off);
        return out + info + extra + palette + gap + data;
    }
};

std::string Palette(const std::vector<TColor>& colors, size_t entrySize = 4) {
    std::string out;
    for (TColor c : colors) {
        out += static_cast<char>(ColorBlue(c));
        out += static_cast<char>(ColorGreen(c));
        out += static_cast<char>(ColorRed(c));
        if (entrySize == 4) {
            out += '\0';
        }
    }
    return out;
}

// The indices of an indexed bitmap, top row first.
std::vector<std::vector<int>> Indices(const TBitmapData& bmp) {
    std::vector<std::vector<int>> rows(bmp.Height(), std::vector<int>(bmp.Width()));
    for (int y = 0; y < bmp.Height(); ++y) {
        for (int x = 0; x < bmp.Width(); ++x) {
            rows[y][x] = bmp.PixelIndex(x, y);
        }
    }
    return rows;
}

template <typename F>
void ExpectInvalid(F&& load, const std::string& what) {
    try {
        load();
        ADD_FAILURE() << "loaded: " << what;
    } catch (const EInvalidGraphic& e) {
        EXPECT_EQ(e.Message(), "Bitmap image is not valid.") << what;
    }
}

void ExpectInvalidBytes(const std::string& bytes, const std::string& what) {
    ExpectInvalid(
        [&] {
            TBitmapData bmp;
            bmp.LoadFromBytes(bytes);
        },
        what);
}

// A bitmap of the format with random content; indexed formats get a random
// palette of `paletteSize` entries (all of the format's when 0).
TBitmapData RandomBitmap(int width, int height, TPixelFormat format, unsigned seed,
                         size_t paletteSize = 0) {
    std::mt19937 gen(seed);
    TBitmapData bmp(width, height, format);
    if (IsIndexed(format)) {
        const size_t n = paletteSize != 0 ? paletteSize : size_t{1} << BitsPerPixel(format);
        std::vector<TPaletteEntry> palette(n);
        for (auto& e : palette) {
            e = TPaletteEntry::FromColor(gen() & 0xFFFFFF);
        }
        bmp.SetPalette(palette);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                bmp.SetPixelIndex(x, y, static_cast<int>(gen() % n));
            }
        }
    } else {
        for (int y = 0; y < height; ++y) {
            uint8_t* row = bmp.ScanLine(y);
            const size_t bytes = static_cast<size_t>(width) * (format == pf32bit ? 4 : 3);
            for (size_t i = 0; i < bytes; ++i) {
                row[i] = static_cast<uint8_t>(gen());
            }
        }
    }
    return bmp;
}

// Moves at most `piece` bytes per Read: not a TMemoryStream, so the codec
// reads it through the TStream interface.
class TrickleStream : public base::TStream {
  public:
    explicit TrickleStream(std::string bytes, int64_t piece = 7) : piece_(piece) {
        inner_.Assign(bytes);
    }
    int64_t Read(void* buffer, int64_t count) override {
        return inner_.Read(buffer, std::min(count, piece_));
    }
    int64_t Write(const void* buffer, int64_t count) override {
        return inner_.Write(buffer, count);
    }
    int64_t Seek(int64_t offset, base::SeekOrigin origin) override {
        return inner_.Seek(offset, origin);
    }

  private:
    base::TMemoryStream inner_;
    int64_t piece_;
};

constexpr TPixelFormat kFormats[] = {pf1bit, pf4bit, pf8bit, pf24bit, pf32bit};

// --- the pixel store --------------------------------------------------------

TEST(BitmapDataTest, RowsAreBottomUpAndPaddedToFourBytes) {
    struct Case {
        TPixelFormat format;
        int width;
        size_t stride;
    };
    for (const Case& c :
         {Case{pf1bit, 1, 4}, Case{pf1bit, 32, 4}, Case{pf1bit, 33, 8}, Case{pf4bit, 8, 4},
          Case{pf4bit, 9, 8}, Case{pf8bit, 5, 8}, Case{pf24bit, 1, 4}, Case{pf24bit, 3, 12},
          Case{pf24bit, 5, 16}, Case{pf32bit, 3, 12}}) {
        TBitmapData bmp(c.width, 3, c.format);
        EXPECT_EQ(bmp.Stride(), c.stride) << c.width << " px at " << BitsPerPixel(c.format);
        EXPECT_EQ(bmp.BitsSize(), c.stride * 3);
        // The top row is the last one in memory.
        EXPECT_EQ(bmp.ScanLine(0), bmp.Bits() + 2 * c.stride);
        EXPECT_EQ(bmp.ScanLine(2), bmp.Bits());
    }
    TBitmapData bmp(2, 2, pf24bit);
    for (int y : {-1, 2}) {
        try {
            bmp.ScanLine(y);
            ADD_FAILURE() << "no exception for " << y;
        } catch (const EInvalidGraphicOperation& e) {
            EXPECT_EQ(e.Message(), "Scan line index out of range");
        }
    }
    EXPECT_TRUE(TBitmapData().Empty());
    EXPECT_TRUE(TBitmapData(0, 5, pf8bit).Empty());
    EXPECT_FALSE(bmp.Empty());
}

TEST(BitmapDataTest, SizeLimits) {
    EXPECT_THROW(TBitmapData(-1, 1, pf24bit), EInvalidGraphicOperation);
    EXPECT_THROW(TBitmapData(1, TBitmapData::kMaxSide + 1, pf8bit), EInvalidGraphicOperation);
    // 32768 x 32768 at 8 bits is 1 GiB: more than a bitmap may hold.
    EXPECT_THROW(TBitmapData(TBitmapData::kMaxSide, TBitmapData::kMaxSide, pf8bit),
                 EInvalidGraphicOperation);
    TBitmapData bmp(3, 2, pf8bit);
    bmp.SetPixelIndex(1, 1, 9);
    bmp.SetSize(4, 5);  // new, zero-filled pixels; the palette stays
    EXPECT_EQ(bmp.Width(), 4);
    EXPECT_EQ(bmp.Height(), 5);
    EXPECT_EQ(bmp.PixelIndex(1, 1), 0);
    EXPECT_EQ(bmp.Palette(), DefaultPalette(pf8bit));
}

TEST(BitmapDataTest, PixelsOfEveryFormat) {
    // Colours with distinct bytes catch a swapped red and blue.
    const TColor kColor = MakeColor(0x12, 0x34, 0x56);
    EXPECT_EQ(kColor, 0x563412u);

    TBitmapData rgb(3, 2, pf24bit);
    rgb.SetPixel(2, 0, kColor);
    EXPECT_EQ(rgb.Pixel(2, 0), kColor);
    const uint8_t* top = rgb.ScanLine(0);
    EXPECT_EQ(top[6], 0x56);  // blue first
    EXPECT_EQ(top[7], 0x34);
    EXPECT_EQ(top[8], 0x12);
    EXPECT_EQ(rgb.Pixel(0, 1), 0u);

    TBitmapData rgba(2, 2, pf32bit);
    rgba.ScanLine(1)[7] = 0x99;
    rgba.SetPixel(1, 1, kColor | 0xAB000000);  // the high byte is not a channel
    EXPECT_EQ(rgba.Pixel(1, 1), kColor);
    EXPECT_EQ(rgba.ScanLine(1)[7], 0);

    // 1 bit: the leftmost pixel in the most significant bit.
    TBitmapData mono(10, 2, pf1bit);
    mono.SetPixel(0, 0, 0xFFFFFF);
    mono.SetPixel(9, 0, MakeColor(200, 200, 200));  // nearest: white
    mono.SetPixel(3, 0, MakeColor(90, 90, 90));     // nearest: black
    EXPECT_EQ(mono.ScanLine(0)[0], 0x80);
    EXPECT_EQ(mono.ScanLine(0)[1], 0x40);
    EXPECT_EQ(mono.Pixel(9, 0), 0xFFFFFFu);
    EXPECT_EQ(mono.PixelIndex(3, 0), 0);

    // 4 bits: the left pixel in the high nibble.
    TBitmapData nibble(3, 1, pf4bit);
    nibble.SetPixelIndex(0, 0, 0xA);
    nibble.SetPixelIndex(1, 0, 0x5);
    nibble.SetPixelIndex(2, 0, 0x1F);  // masked to 4 bits
    EXPECT_EQ(nibble.ScanLine(0)[0], 0xA5);
    EXPECT_EQ(nibble.ScanLine(0)[1], 0xF0);
    EXPECT_EQ(nibble.Pixel(2, 0), 0xFFFFFFu);  // entry 15 of the standard 16: white

    // Outside the picture.
    EXPECT_EQ(rgb.Pixel(3, 0), kInvalidColor);
    EXPECT_EQ(rgb.Pixel(0, -1), kInvalidColor);
    rgb.SetPixel(-1, 0, kColor);  // ignored
    EXPECT_EQ(nibble.PixelIndex(5, 0), 0);
}

TEST(BitmapDataTest, PaletteEntriesAndNearestColour) {
    TBitmapData bmp(2, 1, pf8bit);
    const std::vector<TPaletteEntry> palette = {
        TPaletteEntry::FromColor(MakeColor(0, 0, 0)),
        TPaletteEntry::FromColor(MakeColor(250, 10, 10)),
        TPaletteEntry::FromColor(MakeColor(10, 250, 10)),
        TPaletteEntry::FromColor(MakeColor(250, 10, 10)),  // a duplicate: never chosen
    };
    bmp.SetPalette(palette);
    EXPECT_EQ(bmp.NearestPaletteIndex(MakeColor(250, 10, 10)), 1);
    EXPECT_EQ(bmp.NearestPaletteIndex(MakeColor(255, 0, 0)), 1);
    EXPECT_EQ(bmp.NearestPaletteIndex(MakeColor(0, 200, 60)), 2);
    EXPECT_EQ(bmp.NearestPaletteIndex(MakeColor(40, 40, 40)), 0);
    bmp.SetPixel(0, 0, MakeColor(240, 30, 0));
    EXPECT_EQ(bmp.PixelIndex(0, 0), 1);
    EXPECT_EQ(bmp.Pixel(0, 0), MakeColor(250, 10, 10));
    // An index beyond the palette reads as black.
    bmp.SetPixelIndex(1, 0, 200);
    EXPECT_EQ(bmp.Pixel(1, 0), 0u);

    EXPECT_THROW(bmp.SetPalette({}), EInvalidGraphicOperation);
    EXPECT_THROW(bmp.SetPalette(std::vector<TPaletteEntry>(257)), EInvalidGraphicOperation);
    TBitmapData nibble(1, 1, pf4bit);
    EXPECT_THROW(nibble.SetPalette(std::vector<TPaletteEntry>(17)), EInvalidGraphicOperation);
    nibble.SetPalette(std::vector<TPaletteEntry>(3));
    EXPECT_EQ(nibble.Palette().size(), 3u);
    TBitmapData rgb(1, 1, pf24bit);
    EXPECT_THROW(rgb.SetPalette(std::vector<TPaletteEntry>(1)), EInvalidGraphicOperation);
    EXPECT_EQ(rgb.NearestPaletteIndex(0), -1);
}

TEST(BitmapDataTest, DefaultPalettes) {
    EXPECT_EQ(DefaultPalette(pf1bit).size(), 2u);
    EXPECT_EQ(DefaultPalette(pf4bit).size(), 16u);
    EXPECT_EQ(DefaultPalette(pf24bit).size(), 0u);
    const auto cube = DefaultPalette(pf8bit);
    ASSERT_EQ(cube.size(), 256u);
    // Index bits rrrgggbb: each of the eight primary and secondary corners
    // of the colour cube is there.
    EXPECT_EQ(cube[0].Color(), 0x000000u);
    EXPECT_EQ(cube[0xE0].Color(), MakeColor(255, 0, 0));
    EXPECT_EQ(cube[0x1C].Color(), MakeColor(0, 255, 0));
    EXPECT_EQ(cube[0x03].Color(), MakeColor(0, 0, 255));
    EXPECT_EQ(cube[0xFF].Color(), 0xFFFFFFu);
    const auto vga = DefaultPalette(pf4bit);
    EXPECT_EQ(vga[9].Color(), MakeColor(255, 0, 0));
    EXPECT_EQ(vga[12].Color(), MakeColor(0, 0, 255));
}

TEST(BitmapDataTest, ConvertKeepsWhatTheTargetFormatCanHold) {
    // Direct formats keep every colour, both ways.
    const TBitmapData source = RandomBitmap(7, 5, pf24bit, 1);
    TBitmapData wide = source;
    wide.ConvertTo(pf32bit);
    EXPECT_EQ(wide.PixelFormat(), pf32bit);
    TBitmapData back = wide;
    back.ConvertTo(pf24bit);
    EXPECT_EQ(back, source);

    // Few colours: they become the palette, in the order they are met.
    TBitmapData few(4, 2, pf24bit);
    const TColor colors[3] = {MakeColor(1, 2, 3), MakeColor(200, 100, 50), MakeColor(9, 9, 9)};
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 4; ++x) {
            few.SetPixel(x, y, colors[(x + y) % 3]);
        }
    }
    TBitmapData indexed = few;
    indexed.ConvertTo(pf4bit);
    ASSERT_EQ(indexed.Palette().size(), 3u);
    EXPECT_EQ(indexed.Palette()[0].Color(), colors[0]);
    EXPECT_EQ(indexed.Palette()[1].Color(), colors[1]);
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 4; ++x) {
            EXPECT_EQ(indexed.Pixel(x, y), few.Pixel(x, y));
        }
    }
    indexed.ConvertTo(pf24bit);
    EXPECT_EQ(indexed, few);

    // Too many colours for 1 bit: the nearest of black and white.
    TBitmapData grey(256, 1, pf24bit);
    for (int x = 0; x < 256; ++x) {
        grey.SetPixel(x, 0, MakeColor(x, x, x));
    }
    grey.ConvertTo(pf1bit);
    EXPECT_EQ(grey.Palette(), DefaultPalette(pf1bit));
    EXPECT_EQ(grey.PixelIndex(127, 0), 0);
    EXPECT_EQ(grey.PixelIndex(128, 0), 1);

    // A palette that fits is kept with its indices.
    TBitmapData small = RandomBitmap(9, 3, pf8bit, 2, 16);
    TBitmapData as4 = small;
    as4.ConvertTo(pf4bit);
    EXPECT_EQ(as4.Palette(), small.Palette());
    EXPECT_EQ(Indices(as4), Indices(small));
    as4.SetPixelFormat(pf8bit);
    EXPECT_EQ(as4, small);
}

// --- BMP files: our writer and reader ---------------------------------------

TEST(BmpCodecTest, RoundTripOfEveryDepth) {
    for (TPixelFormat format : kFormats) {
        for (int width : {1, 2, 3, 5, 8, 13, 31, 33}) {
            const TBitmapData original =
                RandomBitmap(width, 1 + width % 4, format, static_cast<unsigned>(width),
                             IsIndexed(format) && width % 2 == 1 ? 2 : 0);
            const std::string file = original.SaveToBytes();
            // Header fields that other readers rely on.
            ASSERT_GE(file.size(), 54u);
            EXPECT_EQ(file.substr(0, 2), "BM");
            uint32_t size;
            std::memcpy(&size, file.data() + 2, 4);
            EXPECT_EQ(size, file.size());
            EXPECT_EQ(static_cast<uint8_t>(file[28]), BitsPerPixel(format));
            TBitmapData loaded;
            loaded.LoadFromBytes(file);
            EXPECT_EQ(loaded, original) << BitsPerPixel(format) << " bits, width " << width;
            // Writing it again gives the same bytes.
            EXPECT_EQ(loaded.SaveToBytes(), file);
        }
    }
}

TEST(BmpCodecTest, Rle8RoundTripAndEncoding) {
    // Rows with long runs, runs longer than 255, short mixed stretches and
    // stretches of odd length.
    TBitmapData bmp(600, 4, pf8bit);
    std::mt19937 gen(7);
    for (int x = 0; x < 600; ++x) {
        bmp.SetPixelIndex(x, 0, x < 300 ? 5 : 6);          // two long runs
        bmp.SetPixelIndex(x, 1, static_cast<int>(gen()));  // no runs
        bmp.SetPixelIndex(x, 2, (x / 3) % 2 == 0 ? x % 7 : 9);
        bmp.SetPixelIndex(x, 3, x % 5 == 0 ? 1 : 2);
    }
    const std::string rle = bmp.SaveToBytes(bcRle8);
    EXPECT_EQ(static_cast<uint8_t>(rle[30]), 1);  // BI_RLE8
    TBitmapData loaded;
    loaded.LoadFromBytes(rle);
    EXPECT_EQ(loaded, bmp);
    EXPECT_LT(rle.size(), bmp.SaveToBytes().size());

    // A plain row: one encoded run, then the end-of-bitmap escape.
    TBitmapData flat(4, 1, pf8bit);
    for (int x = 0; x < 4; ++x) {
        flat.SetPixelIndex(x, 0, 3);
    }
    const std::string file = flat.SaveToBytes(bcRle8);
    const size_t data = 14 + 40 + 256 * 4;
    EXPECT_EQ(file.substr(data), Bytes({4, 3, 0, 1}));

    EXPECT_THROW(RandomBitmap(2, 2, pf24bit, 1).SaveToBytes(bcRle8), EInvalidGraphicOperation);
    EXPECT_THROW(TBitmapData().SaveToBytes(), EInvalidGraphicOperation);
}

TEST(BmpCodecTest, LargeImageLoadsAsStored) {
    const TBitmapData big = RandomBitmap(1024, 1024, pf24bit, 3);
    const std::string file = big.SaveToBytes();
    EXPECT_EQ(file.size(), 54u + 1024 * 1024 * 3);
    TBitmapData loaded;
    loaded.LoadFromBytes(file);
    EXPECT_EQ(std::memcmp(loaded.Bits(), file.data() + 54, loaded.BitsSize()), 0);
    EXPECT_EQ(loaded, big);
}

// --- BMP files built by hand ------------------------------------------------

TEST(BmpCodecTest, HeaderVariants) {
    // Core header with three-byte palette entries.
    BmpLayout core;
    core.infoSize = 12;
    core.width = 3;
    core.height = 2;
    core.bits = 1;
    core.palette = Palette({MakeColor(255, 0, 0), MakeColor(0, 0, 255)}, 3);
    core.data = Bytes({0xA0, 0, 0, 0, 0x40, 0, 0, 0});  // bottom row 1 0 1, top row 0 1 0
    TBitmapData bmp;
    bmp.LoadFromBytes(core.Build());
    EXPECT_EQ(bmp.PixelFormat(), pf1bit);
    EXPECT_EQ(Indices(bmp), (std::vector<std::vector<int>>{{0, 1, 0}, {1, 0, 1}}));
    EXPECT_EQ(bmp.Pixel(1, 0), MakeColor(0, 0, 255));
    EXPECT_EQ(bmp.Pixel(1, 1), MakeColor(255, 0, 0));

    // 24 bits behind headers of every Windows size; the pixels are the same.
    for (uint32_t infoSize : {40u, 52u, 56u, 108u, 124u}) {
        BmpLayout layout;
        layout.infoSize = infoSize;
        layout.width = 2;
        layout.height = 1;
        layout.data = Bytes({1, 2, 3, 4, 5, 6, 0, 0});
        bmp.LoadFromBytes(layout.Build());
        EXPECT_EQ(bmp.Pixel(0, 0), MakeColor(3, 2, 1)) << infoSize;
        EXPECT_EQ(bmp.Pixel(1, 0), MakeColor(6, 5, 4)) << infoSize;
    }

    // A palette shorter than 2^bits (biClrUsed), and pixel data at an offset
    // after a gap.
    BmpLayout shortPalette;
    shortPalette.width = 2;
    shortPalette.bits = 8;
    shortPalette.clrUsed = 3;
    shortPalette.palette = Palette({1, 2, MakeColor(7, 8, 9)});
    shortPalette.offBits = 14 + 40 + 12 + 10;
    shortPalette.data = Bytes({2, 0, 0, 0});
    bmp.LoadFromBytes(shortPalette.Build());
    EXPECT_EQ(bmp.Palette().size(), 3u);
    EXPECT_EQ(bmp.Pixel(0, 0), MakeColor(7, 8, 9));
}

TEST(BmpCodecTest, TopDownRows) {
    BmpLayout layout;
    layout.width = 1;
    layout.height = -3;
    layout.data = Bytes({1, 1, 1, 0, 2, 2, 2, 0, 3, 3, 3, 0});  // top row first
    TBitmapData bmp;
    bmp.LoadFromBytes(layout.Build());
    ASSERT_EQ(bmp.Height(), 3);
    EXPECT_EQ(bmp.Pixel(0, 0), 0x010101u);
    EXPECT_EQ(bmp.Pixel(0, 2), 0x030303u);
    // Stored bottom-up like every bitmap.
    EXPECT_EQ(bmp.Bits()[0], 3);

    layout.bits = 8;
    layout.height = -2;
    layout.palette = Palette(std::vector<TColor>(256, 0));
    layout.data = Bytes({7, 0, 0, 0, 9, 0, 0, 0});
    bmp.LoadFromBytes(layout.Build());
    EXPECT_EQ(Indices(bmp), (std::vector<std::vector<int>>{{7}, {9}}));
}

TEST(BmpCodecTest, SixteenBitsAndBitMasks) {
    // 5-5-5 without masks: white, red, green, blue, and the middle value 16
    // of 31 in every channel.
    BmpLayout rgb555;
    rgb555.width = 5;
    rgb555.bits = 16;
    rgb555.data = Bytes({0xFF, 0x7F, 0x00, 0x7C, 0xE0, 0x03, 0x1F, 0x00, 0x10, 0x42, 0, 0});
    TBitmapData bmp;
    bmp.LoadFromBytes(rgb555.Build());
    EXPECT_EQ(bmp.PixelFormat(), pf24bit);
    EXPECT_EQ(bmp.Pixel(0, 0), 0xFFFFFFu);
    EXPECT_EQ(bmp.Pixel(1, 0), MakeColor(255, 0, 0));
    EXPECT_EQ(bmp.Pixel(2, 0), MakeColor(0, 255, 0));
    EXPECT_EQ(bmp.Pixel(3, 0), MakeColor(0, 0, 255));
    EXPECT_EQ(bmp.Pixel(4, 0), MakeColor(132, 132, 132));  // 16 * 255 / 31, rounded

    // 5-6-5 with the masks after a 40-byte header, and inside a 52-byte one.
    for (uint32_t infoSize : {40u, 52u}) {
        BmpLayout rgb565;
        rgb565.infoSize = infoSize;
        rgb565.width = 3;
        rgb565.bits = 16;
        rgb565.compression = 3;
        if (infoSize == 40) {
            Put32(rgb565.extra, 0xF800);
            Put32(rgb565.extra, 0x07E0);
            Put32(rgb565.extra, 0x001F);
        } else {
            rgb565.masks[0] = 0xF800;
            rgb565.masks[1] = 0x07E0;
            rgb565.masks[2] = 0x001F;
        }
        rgb565.data = Bytes({0x00, 0xF8, 0xE0, 0x07, 0x20, 0x00, 0, 0});
        bmp.LoadFromBytes(rgb565.Build());
        EXPECT_EQ(bmp.Pixel(0, 0), MakeColor(255, 0, 0)) << infoSize;
        EXPECT_EQ(bmp.Pixel(1, 0), MakeColor(0, 255, 0)) << infoSize;
        EXPECT_EQ(bmp.Pixel(2, 0), MakeColor(0, 4, 0)) << infoSize;  // 1 of 63
    }

    // 32 bits with the channels in another order (red in the low byte) and
    // alpha, in a V4 header.
    BmpLayout rgba;
    rgba.infoSize = 108;
    rgba.width = 1;
    rgba.bits = 32;
    rgba.compression = 3;
    rgba.masks[0] = 0x000000FF;
    rgba.masks[1] = 0x0000FF00;
    rgba.masks[2] = 0x00FF0000;
    rgba.masks[3] = 0xFF000000;
    rgba.data = Bytes({0x11, 0x22, 0x33, 0x44});
    bmp.LoadFromBytes(rgba.Build());
    EXPECT_EQ(bmp.PixelFormat(), pf32bit);
    EXPECT_EQ(bmp.Pixel(0, 0), MakeColor(0x11, 0x22, 0x33));
    EXPECT_EQ(bmp.ScanLine(0)[3], 0x44);

    // The usual masks without alpha: the fourth byte becomes 0.
    rgba.masks[0] = 0x00FF0000;
    rgba.masks[2] = 0x000000FF;
    rgba.masks[3] = 0;
    bmp.LoadFromBytes(rgba.Build());
    EXPECT_EQ(bmp.Pixel(0, 0), MakeColor(0x33, 0x22, 0x11));
    EXPECT_EQ(bmp.ScanLine(0)[3], 0);
}

TEST(BmpCodecTest, Rle8Escapes) {
    BmpLayout layout;
    layout.width = 6;
    layout.height = 3;
    layout.bits = 8;
    layout.compression = 1;
    layout.clrUsed = 4;
    layout.palette = Palette({0, 1, 2, 3});
    layout.data = Bytes({
        3, 1,              // bottom row: 1 1 1
        0, 3, 2, 3, 2, 0,  // absolute: 2 3 2, padded to an even length
        0, 0,              // end of line
        0, 2, 2, 1,        // delta: 2 right, 1 up (row 1 stays 0)
        2, 3,              // top row from x = 2: 3 3
        0, 1,              // end of bitmap
        9, 9, 9, 9,        // after the end: never read
    });
    layout.sizeImage = static_cast<uint32_t>(layout.data.size());
    TBitmapData bmp;
    bmp.LoadFromBytes(layout.Build());
    EXPECT_EQ(bmp.PixelFormat(), pf8bit);
    EXPECT_EQ(Indices(bmp), (std::vector<std::vector<int>>{
                                {0, 0, 3, 3, 0, 0}, {0, 0, 0, 0, 0, 0}, {1, 1, 1, 2, 3, 2}}));

    // Runs that stop at a command boundary without an end-of-bitmap escape.
    layout.data = Bytes({6, 2});
    layout.sizeImage = 2;
    bmp.LoadFromBytes(layout.Build());
    EXPECT_EQ(Indices(bmp)[2], (std::vector<int>{2, 2, 2, 2, 2, 2}));

    // Runs over the padding of the row (8 pixels with it) are dropped there,
    // as some encoders write them.
    layout.data = Bytes({4, 1, 4, 2, 0, 0, 0, 8, 2, 3, 4, 5, 6, 7, 8, 9});
    layout.sizeImage = static_cast<uint32_t>(layout.data.size());
    bmp.LoadFromBytes(layout.Build());
    EXPECT_EQ(Indices(bmp)[2], (std::vector<int>{1, 1, 1, 1, 2, 2}));
    EXPECT_EQ(Indices(bmp)[1], (std::vector<int>{2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(bmp.Bits()[6], 0);  // the padding itself stays zero
    EXPECT_EQ(bmp.Bits()[8 + 6], 0);
}

TEST(BmpCodecTest, Rle4Escapes) {
    BmpLayout layout;
    layout.width = 7;
    layout.height = 2;
    layout.bits = 4;
    layout.compression = 2;
    layout.palette = Palette(std::vector<TColor>(16, 0));
    layout.data = Bytes({
        5, 0x12,                    // bottom row: 1 2 1 2 1
        2, 0x34,                    // 3 4
        0, 0,                       // end of line
        0, 5, 0xAB, 0xCD, 0xE0, 0,  // absolute: A B C D E (3 bytes, padded to 4)
        2, 0xFF,                    // F F
        0, 1,                       // end of bitmap
    });
    TBitmapData bmp;
    bmp.LoadFromBytes(layout.Build());  // biSizeImage 0: the runs end with the file
    EXPECT_EQ(bmp.PixelFormat(), pf4bit);
    EXPECT_EQ(Indices(bmp),
              (std::vector<std::vector<int>>{{10, 11, 12, 13, 14, 15, 15}, {1, 2, 1, 2, 1, 3, 4}}));
}

TEST(BmpCodecTest, ImagesBackToBackInOneStream) {
    const TBitmapData a = RandomBitmap(3, 2, pf24bit, 11);
    const TBitmapData b = RandomBitmap(5, 3, pf4bit, 12);
    const std::string fileA = a.SaveToBytes();
    const std::string fileB = b.SaveToBytes(bcNone);

    // Exact size fields; the second image follows the first.
    {
        base::TMemoryStream stream;
        stream.Assign(fileA + fileB + "tail");
        TBitmapData first;
        TBitmapData second;
        first.LoadFromStream(stream);
        EXPECT_EQ(stream.Position(), static_cast<int64_t>(fileA.size()));
        second.LoadFromStream(stream);
        EXPECT_EQ(stream.Position(), static_cast<int64_t>(fileA.size() + fileB.size()));
        EXPECT_EQ(first, a);
        EXPECT_EQ(second, b);
    }

    // A size field that counts bytes after the pixel data: they are skipped.
    // A size field of 0, or smaller than the data: the image ends with its
    // pixel data.
    for (int64_t sizeField : {int64_t{200}, int64_t{0}, int64_t{20}}) {
        BmpLayout layout;
        layout.width = 2;
        layout.height = 2;
        layout.data = Bytes({1, 2, 3, 4, 5, 6, 0, 0, 7, 8, 9, 10, 11, 12, 0, 0});
        std::string first = layout.Build();  // 70 bytes
        if (sizeField > 0 && sizeField > static_cast<int64_t>(first.size())) {
            first.resize(static_cast<size_t>(sizeField), '\x77');
        }
        first[2] = static_cast<char>(sizeField & 0xFF);
        const size_t consumed = sizeField > 70 ? static_cast<size_t>(sizeField) : 70u;
        for (bool memory : {true, false}) {
            const std::string bytes = first + fileB;
            std::unique_ptr<base::TStream> stream;
            if (memory) {
                auto m = std::make_unique<base::TMemoryStream>();
                m->Assign(bytes);
                stream = std::move(m);
            } else {
                stream = std::make_unique<TrickleStream>(bytes);
            }
            TBitmapData one;
            one.LoadFromStream(*stream);
            EXPECT_EQ(stream->Position(), static_cast<int64_t>(consumed))
                << "size field " << sizeField << (memory ? " memory" : " trickle");
            EXPECT_EQ(one.Pixel(1, 1), MakeColor(6, 5, 4));
            TBitmapData two;
            two.LoadFromStream(*stream);
            EXPECT_EQ(two, b);
        }
    }

    // The generic stream path reads exactly one image too.
    TrickleStream trickle(fileB + fileA, 3);
    TBitmapData one;
    one.LoadFromStream(trickle);
    EXPECT_EQ(trickle.Position(), static_cast<int64_t>(fileB.size()));
    EXPECT_EQ(one, b);
}

// --- invalid files -----------------------------------------------------------

TEST(BmpCodecTest, InvalidFiles) {
    auto valid = [] {
        BmpLayout layout;
        layout.width = 2;
        layout.height = 2;
        layout.data = std::string(16, '\x10');
        return layout;
    };
    auto rle8 = [](std::string data) {
        BmpLayout layout;
        layout.width = 6;
        layout.height = 3;
        layout.bits = 8;
        layout.compression = 1;
        layout.clrUsed = 2;
        layout.palette = Palette({0, 1});
        layout.data = std::move(data);
        layout.sizeImage = static_cast<uint32_t>(layout.data.size());
        return layout.Build();
    };
    {
        TBitmapData bmp;
        ASSERT_NO_THROW(bmp.LoadFromBytes(valid().Build()));
        ASSERT_NO_THROW(bmp.LoadFromBytes(rle8(Bytes({6, 1, 0, 1}))));
    }

    std::string wrongMagic = valid().Build();
    wrongMagic[1] = 'A';
    ExpectInvalidBytes(wrongMagic, "magic");
    ExpectInvalidBytes("", "empty");

    struct Mutation {
        const char* what;
        std::function<void(BmpLayout&)> change;
    };
    const Mutation mutations[] = {
        {"info size 20", [](BmpLayout& s) { s.infoSize = 20; }},
        {"width 0", [](BmpLayout& s) { s.width = 0; }},
        {"negative width", [](BmpLayout& s) { s.width = -2; }},
        {"height 0", [](BmpLayout& s) { s.height = 0; }},
        {"width 40000", [](BmpLayout& s) { s.width = 40000; }},
        {"height -40000", [](BmpLayout& s) { s.height = -40000; }},
        {"height INT32_MIN", [](BmpLayout& s) { s.height = INT32_MIN; }},
        {"1 GiB of pixels",
         [](BmpLayout& s) {
             s.width = 32768;
             s.height = 32768;
         }},
        {"planes 2", [](BmpLayout& s) { s.planes = 2; }},
        {"7 bits", [](BmpLayout& s) { s.bits = 7; }},
        {"JPEG compression", [](BmpLayout& s) { s.compression = 4; }},
        {"RLE8 at 24 bits", [](BmpLayout& s) { s.compression = 1; }},
        {"bit masks at 24 bits", [](BmpLayout& s) { s.compression = 3; }},
        {"truncated pixels", [](BmpLayout& s) { s.data.resize(15); }},
        {"size field beyond the data", [](BmpLayout& s) { s.fileSize = 1000; }},
        {"offset inside the headers", [](BmpLayout& s) { s.offBits = 20; }},
        {"offset beyond the data",
         [](BmpLayout& s) {
             s.offBits = 60;
             s.data.resize(10);
         }},
        {"more palette entries than 2^bits",
         [](BmpLayout& s) {
             s.bits = 1;
             s.clrUsed = 3;
             s.palette = Palette({0, 1, 2});
         }},
        {"palette running into the pixel data",
         [](BmpLayout& s) {
             s.bits = 8;
             s.clrUsed = 2;
             s.palette = Palette({0, 1});
             s.offBits = 14 + 40 + 4;
         }},
        {"palette cut off",
         [](BmpLayout& s) {
             s.bits = 8;
             s.palette = Palette({0, 1});
             s.data.clear();
         }},
        {"top-down RLE",
         [](BmpLayout& s) {
             s.bits = 8;
             s.compression = 1;
             s.height = -2;
             s.palette = Palette(std::vector<TColor>(256, 0));
             s.data = Bytes({0, 1});
         }},
        {"RLE without size",
         [](BmpLayout& s) {
             s.bits = 8;
             s.compression = 1;
             s.palette = Palette(std::vector<TColor>(256, 0));
             s.data = Bytes({0, 1});
             s.fileSize = 0;
         }},
        {"gapped mask",
         [](BmpLayout& s) {
             s.bits = 16;
             s.compression = 3;
             s.data = std::string(8, '\0');
             s.extra = Bytes({0x0F, 0xF0, 0, 0, 0xE0, 0x07, 0, 0, 0x1F, 0, 0, 0});  // 0xF00F
         }},
        {"mask beyond 16 bits",
         [](BmpLayout& s) {
             s.bits = 16;
             s.compression = 3;
             s.data = std::string(8, '\0');
             s.extra = Bytes({0, 0, 1, 0, 0xE0, 0x07, 0, 0, 0x1F, 0, 0, 0});
         }},
        {"core header at 16 bits",
         [](BmpLayout& s) {
             s.infoSize = 12;
             s.bits = 16;
         }},
    };
    for (const Mutation& m : mutations) {
        BmpLayout layout = valid();
        m.change(layout);
        ExpectInvalidBytes(layout.Build(), m.what);
    }

    // The rows are 6 pixels wide, 8 with their padding.
    ExpectInvalidBytes(rle8(Bytes({9, 1})), "run past the row");
    ExpectInvalidBytes(rle8(Bytes({4, 1, 5, 1})), "second run past the row");
    ExpectInvalidBytes(rle8(Bytes({0, 9, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0})),
                       "absolute run past the row");
    ExpectInvalidBytes(rle8(Bytes({0, 2, 9, 0})), "delta past the row");
    ExpectInvalidBytes(rle8(Bytes({0, 2, 0, 4})), "delta past the image");
    ExpectInvalidBytes(rle8(Bytes({0, 2, 0, 3, 1, 1})), "run above the image");
    ExpectInvalidBytes(rle8(Bytes({0, 0, 0, 0, 0, 0, 1, 1})), "run after the last line");
    ExpectInvalidBytes(rle8(Bytes({0, 3, 1, 1, 1})), "absolute run without padding");
    ExpectInvalidBytes(rle8(Bytes({0, 2, 1})), "delta cut off");
    ExpectInvalidBytes(rle8(Bytes({3})), "command cut off");

    // Every prefix of a valid file is invalid, through both stream paths.
    const std::string full = RandomBitmap(5, 3, pf8bit, 4, 20).SaveToBytes(bcRle8);
    for (size_t n = 0; n + 4 < full.size(); ++n) {
        const std::string cut = full.substr(0, n);
        ExpectInvalid(
            [&] {
                base::TMemoryStream stream;
                stream.Assign(cut);
                TBitmapData bmp;
                bmp.LoadFromStream(stream);
            },
            "memory prefix " + std::to_string(n));
        ExpectInvalid(
            [&] {
                TrickleStream stream(cut);
                TBitmapData bmp;
                bmp.LoadFromStream(stream);
            },
            "stream prefix " + std::to_string(n));
    }

    // A failed load leaves the bitmap as it was.
    TBitmapData kept = RandomBitmap(2, 2, pf24bit, 5);
    const TBitmapData before = kept;
    EXPECT_THROW(kept.LoadFromBytes(wrongMagic), EInvalidGraphic);
    EXPECT_EQ(kept, before);

    // A stream positioned at its end holds no image.
    base::TMemoryStream atEnd;
    atEnd.Assign(valid().Build());
    atEnd.Seek(0, base::SeekOrigin::End);
    ExpectInvalid([&] { kept.LoadFromStream(atEnd); }, "stream at its end");
}

TEST(BmpCodecTest, DamagedFilesFailCleanly) {
    // Random damage to valid files of every kind: each load either succeeds
    // or raises EInvalidGraphic; the sanitizers catch any stray access.
    std::vector<std::string> files;
    for (TPixelFormat format : kFormats) {
        files.push_back(RandomBitmap(9, 4, format, 6).SaveToBytes());
    }
    files.push_back(RandomBitmap(9, 4, pf8bit, 7, 5).SaveToBytes(bcRle8));
    BmpLayout rle4;
    rle4.width = 7;
    rle4.height = 2;
    rle4.bits = 4;
    rle4.compression = 2;
    rle4.palette = Palette(std::vector<TColor>(16, 0));
    rle4.data = Bytes({5, 0x12, 0, 0, 0, 5, 0xAB, 0xCD, 0xE0, 0, 0, 1});
    files.push_back(rle4.Build());

    std::mt19937 gen(2024);
    int loaded = 0;
    int rejected = 0;
    for (int round = 0; round < 4000; ++round) {
        std::string bytes = files[gen() % files.size()];
        const int changes = 1 + static_cast<int>(gen() % 4);
        for (int k = 0; k < changes; ++k) {
            // Headers are hit more often than pixels: that is where the sizes are.
            const size_t at =
                gen() % 2 == 0 ? gen() % std::min<size_t>(bytes.size(), 70) : gen() % bytes.size();
            bytes[at] = static_cast<char>(gen());
        }
        if (gen() % 8 == 0) {
            bytes.resize(gen() % bytes.size());
        }
        try {
            TBitmapData bmp;
            if (round % 2 == 0) {
                bmp.LoadFromBytes(bytes);
            } else {
                TrickleStream stream(bytes, 5);
                bmp.LoadFromStream(stream);
            }
            ++loaded;
        } catch (const EInvalidGraphic&) {
            ++rejected;
        }
    }
    // Both outcomes occur, so the damage reached the checks and the decoders.
    EXPECT_GT(loaded, 100);
    EXPECT_GT(rejected, 100);
}

// --- ImageMagick as an independent reader and writer ------------------------

#ifdef FRAMEWORK_IMAGEMAGICK_CHECK

struct ToolResult {
    int status = -1;
    std::string output;
};

ToolResult RunCheck(const std::string& arguments) {
    ToolResult result;
    const std::string command =
        std::string("'") + FRAMEWORK_IMAGEMAGICK_CHECK + "' " + arguments + " 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return result;
    }
    char buffer[65536];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        result.output.append(buffer, n);
    }
    const int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

std::string OutputFolder() {
    const std::string dir = std::string(UPDATER_TEST_OUTPUT) + "/framework-bmp";
    std::filesystem::create_directories(dir);
    return dir;
}

// ImageMagick's RGBA view of `path`, compared with our reading of the same
// file. `tolerance` allows for a different rounding of channels narrower
// than 8 bits.
void ExpectSamePixels(const TBitmapData& ours, const std::string& path, bool compareAlpha,
                      int tolerance) {
    const ToolResult pixels = RunCheck("pixels '" + path + "'");
    ASSERT_EQ(pixels.status, 0) << path;
    ASSERT_EQ(pixels.output.size(), static_cast<size_t>(ours.Width()) * ours.Height() * 4) << path;
    int mismatches = 0;
    for (int y = 0; y < ours.Height(); ++y) {
        for (int x = 0; x < ours.Width(); ++x) {
            const auto* p = reinterpret_cast<const uint8_t*>(pixels.output.data()) +
                            (static_cast<size_t>(y) * ours.Width() + x) * 4;
            const TColor c = ours.Pixel(x, y);
            const int diffs[3] = {p[0] - ColorRed(c), p[1] - ColorGreen(c), p[2] - ColorBlue(c)};
            bool same = std::all_of(std::begin(diffs), std::end(diffs),
                                    [&](int d) { return std::abs(d) <= tolerance; });
            if (compareAlpha) {
                same = same && p[3] == ours.ScanLine(y)[x * 4 + 3];
            }
            if (!same && ++mismatches <= 3) {
                ADD_FAILURE() << path << " at " << x << "," << y << ": ImageMagick " << int(p[0])
                              << "," << int(p[1]) << "," << int(p[2]) << "," << int(p[3])
                              << ", ours 0x" << std::hex << c;
            }
        }
    }
    EXPECT_EQ(mismatches, 0) << path;
}

TEST(BmpImageMagickTest, ImageMagickReadsOurFiles) {
    if (RunCheck("pixels /dev/null").status == 77) {
        GTEST_SKIP() << "ImageMagick is not installed";
    }
    const std::string dir = OutputFolder();
    struct Case {
        TPixelFormat format;
        TBmpCompression compression;
        size_t paletteSize;
        const char* name;
    };
    for (const Case& c :
         {Case{pf1bit, bcNone, 0, "ours-1.bmp"}, Case{pf4bit, bcNone, 0, "ours-4.bmp"},
          Case{pf4bit, bcNone, 5, "ours-4-short-palette.bmp"},
          Case{pf8bit, bcNone, 0, "ours-8.bmp"}, Case{pf8bit, bcRle8, 0, "ours-8-rle.bmp"},
          Case{pf24bit, bcNone, 0, "ours-24.bmp"}, Case{pf32bit, bcNone, 0, "ours-32.bmp"}}) {
        TBitmapData bmp = RandomBitmap(37, 11, c.format, 99, c.paletteSize);
        if (c.compression == bcRle8) {
            // Runs as well as noise, so that both kinds of RLE8 runs occur.
            for (int y = 0; y < 11; y += 2) {
                for (int x = 0; x < 37; ++x) {
                    bmp.SetPixelIndex(x, y, x / 10);
                }
            }
        }
        if (c.format == pf32bit) {
            // Leave the fourth byte 0: readers differ in whether it is alpha.
            for (int y = 0; y < 11; ++y) {
                for (int x = 0; x < 37; ++x) {
                    bmp.ScanLine(y)[x * 4 + 3] = 0;
                }
            }
        }
        const std::string path = dir + "/" + c.name;
        std::ofstream(path, std::ios::binary) << bmp.SaveToBytes(c.compression);
        ExpectSamePixels(bmp, path, false, 0);
    }
}

TEST(BmpImageMagickTest, WeReadImageMagicksFiles) {
    if (RunCheck("pixels /dev/null").status == 77) {
        GTEST_SKIP() << "ImageMagick is not installed";
    }
    const std::string dir = OutputFolder();
    struct Case {
        const char* kind;
        uint32_t infoSize;
        int bits;
        uint32_t compression;
        TPixelFormat format;
        bool alpha;
        int tolerance;
    };
    for (const Case& c : {
             Case{"bmp3-24", 40, 24, 0, pf24bit, false, 0},
             Case{"bmp3-8", 40, 8, 0, pf8bit, false, 0},
             Case{"bmp3-8-rle", 40, 8, 1, pf8bit, false, 0},
             Case{"bmp3-4", 40, 4, 0, pf4bit, false, 0},
             Case{"bmp3-1", 40, 1, 0, pf1bit, false, 0},
             Case{"core-24", 12, 24, 0, pf24bit, false, 0},
             Case{"core-8", 12, 8, 0, pf8bit, false, 0},
             Case{"core-1", 12, 1, 0, pf1bit, false, 0},
             Case{"v5-24", 124, 24, 0, pf24bit, false, 0},
             Case{"v5-32-alpha", 124, 32, 3, pf32bit, true, 0},
             Case{"v5-565", 124, 16, 3, pf24bit, false, 1},
             Case{"v5-555", 124, 16, 3, pf24bit, false, 1},
         }) {
        const std::string path = dir + "/imagemagick-" + c.kind + ".bmp";
        ASSERT_EQ(RunCheck(std::string("make ") + c.kind + " '" + path + "'").status, 0) << c.kind;
        std::ifstream in(path, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
        ASSERT_GT(bytes.size(), 54u) << c.kind;
        // The file is the variant this case is meant to cover.
        const auto u8 = [&](size_t at) { return static_cast<uint8_t>(bytes[at]); };
        EXPECT_EQ(u8(14), c.infoSize) << c.kind;
        EXPECT_EQ(c.infoSize == 12 ? u8(24) : u8(28), c.bits) << c.kind;
        if (c.infoSize != 12) {
            EXPECT_EQ(u8(30), c.compression) << c.kind;
        }
        // Read from the middle of a stream with bytes after the image.
        base::TMemoryStream stream;
        stream.Assign("xyz" + bytes + "after");
        stream.SetPosition(3);
        TBitmapData bmp;
        ASSERT_NO_THROW(bmp.LoadFromStream(stream)) << c.kind;
        EXPECT_EQ(stream.Position(), static_cast<int64_t>(3 + bytes.size())) << c.kind;
        EXPECT_EQ(bmp.Width(), 70) << c.kind;
        EXPECT_EQ(bmp.Height(), 46) << c.kind;
        EXPECT_EQ(bmp.PixelFormat(), c.format) << c.kind;
        ExpectSamePixels(bmp, path, c.alpha, c.tolerance);
    }
}

#endif  // FRAMEWORK_IMAGEMAGICK_CHECK

}  // namespace
}  // namespace framework
