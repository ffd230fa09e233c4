#include "exceptions/png_writer.h"

#include <zlib.h>

#include <cstring>
#include <limits>
#include <memory>

#include "base/text.h"
#include "platform/file_stream.h"

namespace exceptions {

namespace {

constexpr std::array<uint32_t, 256> MakeCrcTable() {
    std::array<uint32_t, 256> table{};
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t c = n;
        for (int k = 0; k < 8; ++k) {
            c = (c & 1) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        }
        table[n] = c;
    }
    return table;
}

// Made by the compiler, so that two threads that write at once never see a
// table half built.
constexpr std::array<uint32_t, 256> kCrcTable = MakeCrcTable();
static_assert(kCrcTable[1] == 0x77073096u && kCrcTable[255] == 0x2D02EF8Du);

constexpr uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

void PutBigEndian(uint8_t* at, uint32_t value) {
    at[0] = static_cast<uint8_t>(value >> 24);
    at[1] = static_cast<uint8_t>(value >> 16);
    at[2] = static_cast<uint8_t>(value >> 8);
    at[3] = static_cast<uint8_t>(value);
}

// One chunk: its length, type, data and the CRC of type and data.
void WriteChunk(base::TStream& sink, const char (&type)[5], const uint8_t* data, size_t size) {
    uint8_t head[8];
    PutBigEndian(head, static_cast<uint32_t>(size));
    std::memcpy(head + 4, type, 4);
    uint32_t crc = Crc32(type, 4);
    crc = Crc32(data, size, crc);
    uint8_t tail[4];
    PutBigEndian(tail, crc);
    sink.WriteBuffer(head, sizeof head);
    if (size > 0) {
        sink.WriteBuffer(data, static_cast<int64_t>(size));
    }
    sink.WriteBuffer(tail, sizeof tail);
}

// Refuses what cannot become a PNG, before anything is written.
void CheckPicture(const TDib8View& image) {
    if (image.width == 0 || image.height == 0) {
        throw EPngError("PNG picture has no pixels (" + std::to_string(image.width) + " x " +
                        std::to_string(image.height) + ")");
    }
    if (image.width > kPngMaxDimension || image.height > kPngMaxDimension) {
        throw EPngError("PNG picture is too large (" + std::to_string(image.width) + " x " +
                        std::to_string(image.height) + ")");
    }
    if (image.palette == nullptr) {
        throw EPngError("PNG picture has no palette");
    }
    const size_t row = DibRowSize(image.width);
    if (image.height > std::numeric_limits<size_t>::max() / row ||
        image.rows.size() < row * image.height) {
        throw EPngError("PNG picture of " + std::to_string(image.width) + " x " +
                        std::to_string(image.height) + " pixels needs " +
                        std::to_string(image.height) + " rows of " + std::to_string(row) +
                        " bytes, but has " + std::to_string(image.rows.size()) + " bytes");
    }
}

// zlib's deflate stream, ended on every path.
class TDeflater {
  public:
    TDeflater() {
        const int result = deflateInit(&stream_, Z_BEST_COMPRESSION);
        if (result != Z_OK) {
            Fail("deflateInit", result);
        }
    }
    ~TDeflater() { deflateEnd(&stream_); }
    TDeflater(const TDeflater&) = delete;
    TDeflater& operator=(const TDeflater&) = delete;

    z_stream& Stream() { return stream_; }

    [[noreturn]] void Fail(const char* operation, int result) const {
        std::string message = std::string("PNG compression failed: ") + operation + " returned " +
                              std::to_string(result);
        if (stream_.msg != nullptr) {
            message += std::string(" (") + stream_.msg + ")";
        }
        throw EPngError(message);
    }

  private:
    z_stream stream_{};
};

// Compresses the rows into IDAT chunks through one output buffer: a chunk
// goes out each time the buffer is full, and the rest after the end of the
// stream.
class TImageDataWriter {
  public:
    explicit TImageDataWriter(base::TStream& sink)
        : sink_(sink), buffer_(new uint8_t[kPngDataChunkLimit]) {
        Rewind();
    }

    void Add(const uint8_t* data, size_t size) {
        z_stream& z = deflater_.Stream();
        z.next_in = const_cast<Bytef*>(data);
        z.avail_in = static_cast<uInt>(size);
        while (z.avail_in > 0) {
            const int result = deflate(&z, Z_NO_FLUSH);
            if (result != Z_OK) {
                deflater_.Fail("deflate", result);
            }
            if (z.avail_out == 0) {
                WriteFull();
            }
        }
    }

    void Finish() {
        z_stream& z = deflater_.Stream();
        for (;;) {
            const int result = deflate(&z, Z_FINISH);
            if (result == Z_STREAM_END) {
                break;
            }
            // Anything but a full buffer would leave deflate with nothing to
            // do on the next call: stop rather than go round for ever.
            if ((result != Z_OK && result != Z_BUF_ERROR) || z.avail_out != 0) {
                deflater_.Fail("deflate", result);
            }
            WriteFull();
        }
        const size_t rest = kPngDataChunkLimit - z.avail_out;
        if (rest > 0) {
            WriteChunk(sink_, "IDAT", buffer_.get(), rest);
        }
    }

  private:
    void Rewind() {
        deflater_.Stream().next_out = buffer_.get();
        deflater_.Stream().avail_out = static_cast<uInt>(kPngDataChunkLimit);
    }

    void WriteFull() {
        WriteChunk(sink_, "IDAT", buffer_.get(), kPngDataChunkLimit);
        Rewind();
    }

    base::TStream& sink_;
    std::unique_ptr<uint8_t[]> buffer_;
    TDeflater deflater_;
};

}  // namespace

uint32_t Crc32(const void* data, size_t size, uint32_t crc) {
    const auto* p = static_cast<const uint8_t*>(data);
    crc = ~crc;
    for (size_t i = 0; i < size; ++i) {
        crc = kCrcTable[(crc ^ p[i]) & 0xFF] ^ (crc >> 8);
    }
    return ~crc;
}

void WritePng(base::TStream& sink, const TDib8View& image) {
    CheckPicture(image);
    sink.WriteBuffer(kSignature, sizeof kSignature);

    uint8_t header[13];
    PutBigEndian(header, image.width);
    PutBigEndian(header + 4, image.height);
    header[8] = 8;   // bits per index
    header[9] = 3;   // palette colours
    header[10] = 0;  // deflate
    header[11] = 0;  // no adaptive filtering
    header[12] = 0;  // not interlaced
    WriteChunk(sink, "IHDR", header, sizeof header);

    uint8_t palette[256 * 3];
    for (size_t i = 0; i < 256; ++i) {
        const TPngColor& c = (*image.palette)[i];
        palette[i * 3] = c.red;
        palette[i * 3 + 1] = c.green;
        palette[i * 3 + 2] = c.blue;
    }
    WriteChunk(sink, "PLTE", palette, sizeof palette);

    // The picture's rows are stored bottom-up; a PNG's go top-down.
    TImageDataWriter data(sink);
    const size_t row_size = DibRowSize(image.width);
    static constexpr uint8_t kNoFilter = 0;
    for (size_t row = image.height; row-- > 0;) {
        data.Add(&kNoFilter, 1);
        data.Add(image.rows.data() + row * row_size, image.width);
    }
    data.Finish();

    WriteChunk(sink, "IEND", nullptr, 0);
}

void WritePngFile(const std::u16string& path, const TDib8View& image) {
    CheckPicture(image);
    const std::string shown = base::Utf16ToGbkForDisplay(path);
    const std::u16string temporary = platform::TemporaryNameFor(path);
    {
        std::unique_ptr<platform::TFileStream> file;
        try {
            file = std::make_unique<platform::TFileStream>(temporary, platform::fmCreate);
        } catch (const platform::EFCreateError&) {
            throw platform::EFCreateError("Cannot create file " + shown);
        }
        try {
            WritePng(*file, image);
            file->Flush();
        } catch (const base::EWriteError&) {
            file.reset();
            platform::RemoveFile(temporary);
            throw base::EWriteError("Cannot write file " + shown);
        } catch (...) {
            file.reset();
            platform::RemoveFile(temporary);
            throw;
        }
    }
    if (!platform::MoveFileReplacing(temporary, path)) {
        platform::RemoveFile(temporary);
        throw platform::EFCreateError("Cannot create file " + shown);
    }
}

}  // namespace exceptions
