#pragma once

// Reading back the PNG files the reporter writes, for the tests: the chunks
// with their CRCs checked by zlib's own crc32 (not the writer's), the header
// fields, the palette and the inflated image data. Only what a palette PNG
// of this writer uses is read; anything else is an error.

#include <zlib.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace exceptions::testing {

struct TPngChunk {
    std::string type;
    std::string data;
};

struct TReadPng {
    std::vector<TPngChunk> chunks;
    uint32_t width = 0;
    uint32_t height = 0;
    uint8_t bit_depth = 0;
    uint8_t colour_type = 0;
    uint8_t compression = 0;
    uint8_t filter = 0;
    uint8_t interlace = 0;
    std::string palette;     // the PLTE data
    std::string compressed;  // the IDAT data, concatenated
    std::string image;       // `compressed` inflated

    // The palette index at column x of row y (0 is the top row); the
    // caller has checked that the image has the size the header states.
    uint8_t Index(uint32_t x, uint32_t y) const {
        return static_cast<uint8_t>(image[static_cast<size_t>(y) * (1 + width) + 1 + x]);
    }
    // The red, green and blue of palette entry `i`.
    uint8_t Channel(uint8_t i, int channel) const {
        return static_cast<uint8_t>(palette[static_cast<size_t>(i) * 3 + channel]);
    }
};

inline uint32_t BigEndian(std::string_view bytes, size_t at) {
    return static_cast<uint32_t>(static_cast<uint8_t>(bytes[at])) << 24 |
           static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + 1])) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + 2])) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + 3]));
}

// Inflates a whole zlib stream of at most `limit` bytes; false on a damaged
// or longer stream, or bytes after its end.
inline bool Inflate(std::string_view compressed, size_t limit, std::string& out,
                    std::string& error) {
    z_stream z{};
    if (inflateInit(&z) != Z_OK) {
        error = "inflateInit failed";
        return false;
    }
    out.assign(limit + 1, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.data()));
    z.avail_in = static_cast<uInt>(compressed.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    const int result = inflate(&z, Z_FINISH);
    const size_t produced = out.size() - z.avail_out;
    const uInt left_over = z.avail_in;
    inflateEnd(&z);
    if (result != Z_STREAM_END) {
        error = "the image data does not inflate (zlib result " + std::to_string(result) + ")";
        return false;
    }
    if (left_over != 0) {
        error = std::to_string(left_over) + " bytes follow the end of the zlib stream";
        return false;
    }
    out.resize(produced);
    return true;
}

// Reads `bytes` as a PNG; on failure returns false with `error` saying why.
// The order must be IHDR, PLTE, one or more IDAT, IEND, nothing after.
inline bool ReadPng(std::string_view bytes, TReadPng& png, std::string& error) {
    static constexpr unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (bytes.size() < 8 ||
        bytes.substr(0, 8) != std::string_view(reinterpret_cast<const char*>(kSignature), 8)) {
        error = "no PNG signature";
        return false;
    }
    size_t at = 8;
    // Every chunk takes at least 12 bytes, so this ends; the count bounds it
    // as well.
    for (int count = 0; at < bytes.size() && count < 100000; ++count) {
        if (bytes.size() - at < 12) {
            error = "a chunk is cut off at byte " + std::to_string(at);
            return false;
        }
        const uint32_t length = BigEndian(bytes, at);
        if (length > bytes.size() - at - 12) {
            error = "a chunk's length runs past the end, at byte " + std::to_string(at);
            return false;
        }
        TPngChunk chunk{std::string(bytes.substr(at + 4, 4)),
                        std::string(bytes.substr(at + 8, length))};
        const uint32_t stored = BigEndian(bytes, at + 8 + length);
        const uLong computed =
            crc32(0, reinterpret_cast<const Bytef*>(bytes.data() + at + 4), length + 4);
        if (stored != computed) {
            error = "chunk " + chunk.type + " at byte " + std::to_string(at) + " has a wrong CRC";
            return false;
        }
        png.chunks.push_back(std::move(chunk));
        at += 12 + length;
    }
    const auto& chunks = png.chunks;
    if (chunks.size() < 4 || chunks[0].type != "IHDR" || chunks[1].type != "PLTE" ||
        chunks.back().type != "IEND" || !chunks.back().data.empty()) {
        error = "the chunks are not IHDR, PLTE, IDAT..., IEND";
        return false;
    }
    for (size_t i = 2; i + 1 < chunks.size(); ++i) {
        if (chunks[i].type != "IDAT") {
            error = "unexpected chunk " + chunks[i].type;
            return false;
        }
        png.compressed += chunks[i].data;
    }
    const std::string& header = chunks[0].data;
    if (header.size() != 13) {
        error = "IHDR has " + std::to_string(header.size()) + " bytes";
        return false;
    }
    png.width = BigEndian(header, 0);
    png.height = BigEndian(header, 4);
    png.bit_depth = static_cast<uint8_t>(header[8]);
    png.colour_type = static_cast<uint8_t>(header[9]);
    png.compression = static_cast<uint8_t>(header[10]);
    png.filter = static_cast<uint8_t>(header[11]);
    png.interlace = static_cast<uint8_t>(header[12]);
    png.palette = chunks[1].data;
    if (png.palette.size() != 768) {
        error = "PLTE has " + std::to_string(png.palette.size()) + " bytes";
        return false;
    }
    const size_t expected = static_cast<size_t>(png.height) * (1 + static_cast<size_t>(png.width));
    if (!Inflate(png.compressed, expected, png.image, error)) {
        return false;
    }
    if (png.image.size() != expected) {
        error = "the image data has " + std::to_string(png.image.size()) + " bytes, not " +
                std::to_string(expected);
        return false;
    }
    return true;
}

}  // namespace exceptions::testing
