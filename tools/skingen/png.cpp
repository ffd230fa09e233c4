#include "png.h"

#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "base/zstreams.h"

namespace skingen {

namespace {

void PutUint32(std::string& out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out += static_cast<char>((value >> shift) & 0xFF);
    }
}

// Length, type, data and the CRC of type and data.
void PutChunk(std::string& out, std::string_view type, std::string_view data) {
    PutUint32(out, static_cast<uint32_t>(data.size()));
    std::string body(type);
    body += data;
    out += body;
    const uLong crc = crc32(crc32(0L, Z_NULL, 0), reinterpret_cast<const Bytef*>(body.data()),
                            static_cast<uInt>(body.size()));
    PutUint32(out, static_cast<uint32_t>(crc));
}

int Paeth(int a, int b, int c) {
    const int p = a + b - c;
    const int pa = std::abs(p - a);
    const int pb = std::abs(p - b);
    const int pc = std::abs(p - c);
    if (pa <= pb && pa <= pc) {
        return a;
    }
    return pb <= pc ? b : c;
}

// Row `row` filtered with `type` (0 none, 1 sub, 2 up, 3 average, 4 Paeth),
// `above` being the row before it (zeros for the first row).
void Filter(int type, const std::vector<uint8_t>& row, const std::vector<uint8_t>& above,
            std::vector<uint8_t>& out) {
    constexpr size_t kPixel = 3;
    out.resize(row.size());
    for (size_t i = 0; i < row.size(); ++i) {
        const int a = i >= kPixel ? row[i - kPixel] : 0;
        const int b = above[i];
        const int c = i >= kPixel ? above[i - kPixel] : 0;
        int predictor = 0;
        switch (type) {
            case 1:
                predictor = a;
                break;
            case 2:
                predictor = b;
                break;
            case 3:
                predictor = (a + b) / 2;
                break;
            case 4:
                predictor = Paeth(a, b, c);
                break;
            default:
                break;
        }
        out[i] = static_cast<uint8_t>(row[i] - predictor);
    }
}

uint64_t Cost(const std::vector<uint8_t>& filtered) {
    uint64_t sum = 0;
    for (uint8_t byte : filtered) {
        sum += static_cast<uint64_t>(std::abs(static_cast<int>(static_cast<int8_t>(byte))));
    }
    return sum;
}

}  // namespace

std::string EncodePng(const framework::TBitmapData& picture) {
    const int width = picture.Width();
    const int height = picture.Height();
    if (width < 1 || height < 1) {
        throw std::invalid_argument("EncodePng: an empty picture");
    }
    std::string filtered;
    filtered.reserve((static_cast<size_t>(width) * 3 + 1) * static_cast<size_t>(height));
    std::vector<uint8_t> above(static_cast<size_t>(width) * 3, 0);
    std::vector<uint8_t> row(above.size());
    std::vector<uint8_t> best, candidate;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const framework::TColor c = picture.Pixel(x, y);
            row[static_cast<size_t>(x) * 3] = framework::ColorRed(c);
            row[static_cast<size_t>(x) * 3 + 1] = framework::ColorGreen(c);
            row[static_cast<size_t>(x) * 3 + 2] = framework::ColorBlue(c);
        }
        int best_type = 0;
        Filter(0, row, above, best);
        uint64_t best_cost = Cost(best);
        for (int type = 1; type <= 4; ++type) {
            Filter(type, row, above, candidate);
            const uint64_t cost = Cost(candidate);
            if (cost < best_cost) {
                best_cost = cost;
                best_type = type;
                best.swap(candidate);
            }
        }
        filtered += static_cast<char>(best_type);
        filtered.append(best.begin(), best.end());
        above.swap(row);
    }

    std::string png("\x89PNG\r\n\x1a\n", 8);
    std::string header;
    PutUint32(header, static_cast<uint32_t>(width));
    PutUint32(header, static_cast<uint32_t>(height));
    header +=
        std::string("\x08\x02\x00\x00\x00", 5);  // 8 bits, RGB, deflate, filters, no interlace
    PutChunk(png, "IHDR", header);
    PutChunk(png, "IDAT", base::ZCompress(filtered, 9));
    PutChunk(png, "IEND", "");
    return png;
}

}  // namespace skingen
