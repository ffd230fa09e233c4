// The PNG file of a screen capture: the chunks and their CRCs read back
// with zlib's own crc32, the rows turned top-down without their
// padding, the image data split into chunks of the compressor's buffer, bad
// pictures and sinks that stop, the file on disk, and ImageMagick reading it.

#include "exceptions/png_writer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "base/text.h"
#include "platform/file_stream.h"
#include "png_reading.h"

#ifdef EXCEPTIONS_IMAGEMAGICK_CHECK
#include <sys/wait.h>
#endif

namespace exceptions {
namespace {

using testing::ReadPng;
using testing::TReadPng;

std::array<TPngColor, 256> TestPalette() {
    std::array<TPngColor, 256> palette;
    for (size_t i = 0; i < 256; ++i) {
        palette[i] = {static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i),
                      static_cast<uint8_t>(i * 7 + 3)};
    }
    return palette;
}

// A bottom-up picture with padded rows. The padding is 0xEE, so that a
// writer that keeps it shifts every later row. `noise` gives pixels that do
// not compress.
struct TPicture {
    uint32_t width;
    uint32_t height;
    std::array<TPngColor, 256> palette = TestPalette();
    std::vector<uint8_t> rows;

    TPicture(uint32_t w, uint32_t h, bool noise) : width(w), height(h) {
        rows.assign(DibRowSize(w) * h, 0xEE);
        std::mt19937 random(w * 1000 + h);
        for (uint32_t y = 0; y < h; ++y) {
            for (uint32_t x = 0; x < w; ++x) {
                rows[y * DibRowSize(w) + x] =
                    noise ? static_cast<uint8_t>(random())
                          : static_cast<uint8_t>((x / 16) * 5 + (y / 8) * 3 + y % 2);
            }
        }
    }

    // The index at column x of row y counted from the top.
    uint8_t TopDown(uint32_t x, uint32_t y) const {
        return rows[(height - 1 - y) * DibRowSize(width) + x];
    }

    TDib8View View() const { return {width, height, &palette, rows}; }
};

std::string WriteToMemory(const TDib8View& view) {
    base::TMemoryStream sink;
    WritePng(sink, view);
    return sink.ToString();
}

// Checks `bytes` against `picture` in every respect the file states, and
// counts its IDAT chunks into `data_chunks`.
void ExpectPictureFile(const std::string& bytes, const TPicture& picture, size_t& data_chunks) {
    TReadPng png;
    std::string error;
    ASSERT_TRUE(ReadPng(bytes, png, error)) << error;
    EXPECT_EQ(png.width, picture.width);
    EXPECT_EQ(png.height, picture.height);
    EXPECT_EQ(png.bit_depth, 8);
    EXPECT_EQ(png.colour_type, 3);
    EXPECT_EQ(png.compression, 0);
    EXPECT_EQ(png.filter, 0);
    EXPECT_EQ(png.interlace, 0);
    for (int i = 0; i < 256; ++i) {
        const TPngColor& c = picture.palette[i];
        ASSERT_EQ(png.Channel(i, 0), c.red) << "palette entry " << i;
        ASSERT_EQ(png.Channel(i, 1), c.green) << "palette entry " << i;
        ASSERT_EQ(png.Channel(i, 2), c.blue) << "palette entry " << i;
    }
    // Every chunk of image data but the last fills the compressor's buffer.
    data_chunks = png.chunks.size() - 3;
    for (size_t i = 0; i < data_chunks; ++i) {
        const size_t size = png.chunks[2 + i].data.size();
        if (i + 1 < data_chunks) {
            EXPECT_EQ(size, kPngDataChunkLimit) << "IDAT " << i;
        } else {
            EXPECT_GT(size, 0u);
            EXPECT_LE(size, kPngDataChunkLimit);
        }
    }
    // zlib's header names the highest compression level.
    ASSERT_GE(png.compressed.size(), 2u);
    EXPECT_EQ(static_cast<uint8_t>(png.compressed[1]) >> 6, 3);
    ASSERT_EQ(png.image.size(), static_cast<size_t>(picture.height) * (1 + picture.width));
    for (uint32_t y = 0; y < picture.height; ++y) {
        ASSERT_EQ(png.image[static_cast<size_t>(y) * (1 + picture.width)], 0)
            << "filter, row " << y;
        for (uint32_t x = 0; x < picture.width; ++x) {
            ASSERT_EQ(png.Index(x, y), picture.TopDown(x, y)) << "at " << x << ", " << y;
        }
    }
}

TEST(PngWriter, PicturesReadBack) {
    // Every padding of a row, one row and many; pixels that do not compress
    // fill more than one chunk of image data.
    for (const uint32_t width : {1u, 3u, 1021u, 1024u}) {
        for (const auto& [height, noise] :
             {std::pair{1u, false}, std::pair{600u, false}, std::pair{600u, true}}) {
            if (noise && width < 1000) {
                continue;
            }
            SCOPED_TRACE(std::to_string(width) + " x " + std::to_string(height) +
                         (noise ? " noise" : ""));
            const TPicture picture(width, height, noise);
            size_t data_chunks = 0;
            ExpectPictureFile(WriteToMemory(picture.View()), picture, data_chunks);
            if (noise) {
                EXPECT_GE(data_chunks, 2u);
            }
        }
    }
}

TEST(PngWriter, RefusesPicturesItCannotWrite) {
    const TPicture picture(5, 4, false);
    struct Case {
        const char* name;
        TDib8View view;
        const char* message;
    };
    const std::span<const uint8_t> rows(picture.rows);
    const Case cases[] = {
        {"no columns", {0, 4, &picture.palette, rows}, "PNG picture has no pixels (0 x 4)"},
        {"no rows", {5, 0, &picture.palette, rows}, "PNG picture has no pixels (5 x 0)"},
        {"too wide", {0x80000000u, 1, &picture.palette, rows}, "PNG picture is too large"},
        {"no palette", {5, 4, nullptr, rows}, "PNG picture has no palette"},
        {"a byte short",
         {5, 4, &picture.palette, rows.first(rows.size() - 1)},
         "PNG picture of 5 x 4 pixels needs 4 rows of 8 bytes, but has 31 bytes"},
    };
    for (const Case& c : cases) {
        base::TMemoryStream sink;
        try {
            WritePng(sink, c.view);
            ADD_FAILURE() << c.name << ": written";
        } catch (const EPngError& e) {
            EXPECT_EQ(std::string(e.Message()).substr(0, std::strlen(c.message)), c.message)
                << c.name << ": " << e.Message();
        }
        EXPECT_EQ(sink.Size(), 0) << c.name << ": nothing is written";
    }
}

// Takes `capacity` bytes, then no more.
class TShortStream : public base::TForwardStream {
  public:
    explicit TShortStream(int64_t capacity) : capacity_(capacity) {}
    int64_t Write(const void*, int64_t count) override {
        const int64_t n = std::min(count, capacity_ - Position());
        Advance(n > 0 ? n : 0);
        return n > 0 ? n : 0;
    }

  private:
    int64_t capacity_;
};

TEST(PngWriter, ASinkThatStopsIsAnError) {
    const TPicture picture(1024, 600, true);
    // In the signature, in the palette, inside the first and the second
    // chunk of image data, and right at IEND.
    const int64_t whole = static_cast<int64_t>(WriteToMemory(picture.View()).size());
    for (const int64_t capacity :
         {int64_t{0}, int64_t{100}, int64_t{5000}, int64_t{400000}, whole - 12}) {
        TShortStream sink(capacity);
        EXPECT_THROW(WritePng(sink, picture.View()), base::EWriteError) << capacity;
        EXPECT_EQ(sink.Position(), capacity);
    }
}

// The test's own folder under the test output, emptied first.
std::u16string Folder() {
    const std::filesystem::path folder =
        std::filesystem::path(UPDATER_TEST_OUTPUT) / "exceptions" / "png";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    return base::Utf8ToUtf16(folder.generic_string());
}

std::string FileBytes(const std::u16string& path) {
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool Exists(const std::u16string& path) {
    return std::filesystem::exists(std::filesystem::path(path));
}

TEST(PngFile, WritesTheSameBytesUnderAWideName) {
    const std::u16string folder = Folder();
    const TPicture picture(1021, 600, true);
    const std::string expected = WriteToMemory(picture.View());
    // A name GBK cannot hold, over an older file.
    const std::u16string path = folder + u"/\uD55C\u622A\u56FE.png";
    std::ofstream(std::filesystem::path(path), std::ios::binary) << "older file";
    WritePngFile(path, picture.View());
    EXPECT_EQ(FileBytes(path), expected);
    EXPECT_FALSE(Exists(platform::TemporaryNameFor(path)));
}

TEST(PngFile, FailuresLeaveTheDiskAsItWas) {
    const std::u16string folder = Folder();
    const TPicture picture(3, 2, false);
    const std::u16string missing = folder + u"/missing/Screenshot.png";
    try {
        WritePngFile(missing, picture.View());
        ADD_FAILURE() << "written into a missing folder";
    } catch (const platform::EFCreateError& e) {
        EXPECT_EQ(e.Message(), "Cannot create file " + base::Utf16ToGbkForDisplay(missing));
    }
    EXPECT_FALSE(Exists(missing));
    EXPECT_FALSE(Exists(platform::TemporaryNameFor(missing)));

    // A picture that cannot be written touches no file.
    const std::u16string existing = folder + u"/Screenshot.png";
    std::ofstream(std::filesystem::path(existing), std::ios::binary) << "keep me";
    const TDib8View bad{3, 2, nullptr, picture.rows};
    EXPECT_THROW(WritePngFile(existing, bad), EPngError);
    EXPECT_EQ(FileBytes(existing), "keep me");
    EXPECT_FALSE(Exists(platform::TemporaryNameFor(existing)));
}

#ifdef EXCEPTIONS_IMAGEMAGICK_CHECK

// ImageMagick's RGB view of `path`, the top row first; the status is 77 when
// ImageMagick is not installed.
int ImageMagickPixels(const std::string& path, std::string& pixels) {
    const std::string command =
        std::string("'") + EXCEPTIONS_IMAGEMAGICK_CHECK + "' pixels '" + path + "' 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return -1;
    }
    char buffer[65536];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        pixels.append(buffer, n);
    }
    const int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(PngImageMagick, ReadsOurFiles) {
    const std::u16string folder = Folder();
    for (const auto& [width, height, noise] :
         {std::tuple{37u, 11u, false}, std::tuple{1021u, 600u, true}}) {
        const TPicture picture(width, height, noise);
        const std::u16string path =
            folder + u"/imagemagick-" + base::Utf8ToUtf16(std::to_string(width)) + u".png";
        WritePngFile(path, picture.View());
        std::string pixels;
        const int status = ImageMagickPixels(base::Utf16ToUtf8(path), pixels);
        if (status == 77) {
            GTEST_SKIP() << "ImageMagick is not installed";
        }
        ASSERT_EQ(status, 0) << "ImageMagick refused " << base::Utf16ToUtf8(path);
        ASSERT_EQ(pixels.size(), static_cast<size_t>(width) * height * 3);
        for (uint32_t y = 0; y < height; ++y) {
            for (uint32_t x = 0; x < width; ++x) {
                const TPngColor& c = picture.palette[picture.TopDown(x, y)];
                const auto* p = reinterpret_cast<const uint8_t*>(pixels.data()) +
                                (static_cast<size_t>(y) * width + x) * 3;
                ASSERT_TRUE(p[0] == c.red && p[1] == c.green && p[2] == c.blue)
                    << "at " << x << ", " << y << " of " << width << " x " << height;
            }
        }
    }
}

#endif  // EXCEPTIONS_IMAGEMAGICK_CHECK

}  // namespace
}  // namespace exceptions
