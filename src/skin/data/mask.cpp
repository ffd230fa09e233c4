#include "skin/data/mask.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "framework/bitmap_ops.h"
#include "skin/data/picture_detail.h"

namespace skin {

using framework::pf24bit;
using framework::pf32bit;
using namespace detail;

namespace {

constexpr TColor kWhite = 0xFFFFFF;

uint64_t Load64(const uint8_t* p) {
    uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// Eight 24-bit pixels that are all black, or all white.
bool EightBlack(const uint8_t* p) {
    return (Load64(p) | Load64(p + 8) | Load64(p + 16)) == 0;
}
bool EightWhite(const uint8_t* p) {
    return (Load64(p) & Load64(p + 8) & Load64(p + 16)) == ~uint64_t{0};
}

// Collects the runs of one mask; false once there are too many.
class RunCollector {
  public:
    RunCollector(TMaskRuns& out, int x, int y) : out_(out), x_(x), y_(y) {}

    bool Add(int row, int x1, int x2) {
        if (out_.runs.size() == kMaxMaskRuns) {
            out_.runs.clear();
            out_.runs.shrink_to_fit();
            out_.whole = true;
            return false;
        }
        out_.runs.push_back(TRect{x1 + x_, row + y_, x2 + x_, row + 1 + y_});
        return true;
    }

  private:
    TMaskRuns& out_;
    int x_, y_;
};

// The runs of a 24-bit row. Masks are mostly large black and white areas,
// which are passed eight pixels at a time.
bool Row24(const uint8_t* p, int width, int row, RunCollector& runs) {
    auto black = [p](int x) { return (p[3 * x] | p[3 * x + 1] | p[3 * x + 2]) == 0; };
    int x = 0;
    while (x < width) {
        while (x + 8 <= width && EightWhite(p + 3 * x)) {
            x += 8;
        }
        while (x < width && !black(x)) {
            ++x;
        }
        if (x == width) {
            break;
        }
        const int start = x;
        while (x + 8 <= width && EightBlack(p + 3 * x)) {
            x += 8;
        }
        while (x < width && black(x)) {
            ++x;
        }
        if (!runs.Add(row, start, x)) {
            return false;
        }
    }
    return true;
}

// The runs of a row of any other format, given whether pixel x is black.
template <class IsBlack>
bool RowGeneric(int width, int row, RunCollector& runs, IsBlack black) {
    int x = 0;
    while (x < width) {
        while (x < width && !black(x)) {
            ++x;
        }
        if (x == width) {
            break;
        }
        const int start = x;
        while (x < width && black(x)) {
            ++x;
        }
        if (!runs.Add(row, start, x)) {
            return false;
        }
    }
    return true;
}

// A white 24-bit picture of the size (within the caps of Prepare), or an
// empty one when a side is < 1.
bool PrepareMaskBand(TBitmapData& band, int width, int height) {
    if (width < 1 || height < 1) {
        Prepare(band, 0, 0);
        return false;
    }
    Prepare(band, width, height);
    framework::FillRect(band, TRect{0, 0, band.Width(), band.Height()}, kWhite);
    return true;
}

}  // namespace

TMaskRuns MaskRuns(const TBitmapData& mask, int x, int y) {
    x = Sane(x);
    y = Sane(y);
    TMaskRuns out;
    out.bounds = TRect{x, y, x + mask.Width(), y + mask.Height()};
    RunCollector runs(out, x, y);
    const int w = mask.Width();
    const framework::TPixelFormat format = mask.PixelFormat();
    // For indexed masks: which palette entries are black.
    std::vector<bool> black_index;
    if (framework::IsIndexed(format)) {
        black_index.assign(size_t{1} << mask.BitsPerPixel(), false);
        const auto& palette = mask.Palette();
        for (size_t i = 0; i < palette.size() && i < black_index.size(); ++i) {
            black_index[i] = palette[i].Color() == 0;
        }
        // Indices beyond the palette read as black (TBitmapData::Pixel).
        for (size_t i = palette.size(); i < black_index.size(); ++i) {
            black_index[i] = true;
        }
    }
    for (int row = 0; row < mask.Height(); ++row) {
        const uint8_t* p = mask.ScanLine(row);
        bool more;
        if (format == pf24bit) {
            more = Row24(p, w, row, runs);
        } else if (format == pf32bit) {
            more = RowGeneric(w, row, runs,
                              [p](int i) { return (p[4 * i] | p[4 * i + 1] | p[4 * i + 2]) == 0; });
        } else {
            more = RowGeneric(w, row, runs, [&](int i) {
                return black_index[static_cast<size_t>(mask.PixelIndex(i, row))];
            });
        }
        if (!more) {
            break;
        }
    }
    return out;
}

void BuildMaskBands(const TBitmapData& mask_in, const TPartGeometry& from_in,
                    const TPartGeometry& to_in, int width, int height, TBitmapData& top,
                    TBitmapData& bottom, TBitmapData& left, TBitmapData& right) {
    const TPartGeometry g = Sane(from_in);
    const TPartGeometry n = Sane(to_in);
    width = Sane(width);
    height = Sane(height);
    const Source source(mask_in, {&top, &bottom, &left, &right});
    const TBitmapData& mask = source.get();
    const int mw = mask.Width();
    const int mh = mask.Height();
    const TRect& c = g.client;
    const TRect& nc = n.client;

    // Top and bottom: corners 1:1, the middle tiled between the moved points.
    auto across = [&](TBitmapData& band, int row, int row_end, int middle_left, int middle_right,
                      int new_left, int new_right) {
        const int h = row_end - row;
        if (!PrepareMaskBand(band, width, h)) {
            return;
        }
        Tile24(band, TRect{new_left, 0, new_right, h}, mask,
               TRect{middle_left, row, middle_right, row_end}, true, false);
        Copy24(band, TRect{0, 0, middle_left, h}, mask, TRect{0, row, middle_left, row_end});
        Copy24(band, TRect{new_right, 0, width, h}, mask, TRect{middle_right, row, mw, row_end});
    };
    // The top band's rows and the left band's columns come from the skin's
    // mask area: they stop at the mask, beyond which they would be all white.
    across(top, 0, std::min(c.top, mh), g.left_top.x, g.right_top.x, n.left_top.x, n.right_top.x);
    across(bottom, c.bottom, mh, g.left_bottom.x, g.right_bottom.x, n.left_bottom.x,
           n.right_bottom.x);

    // Left and right: the middle tiled from row 0, the end pieces 1:1 at the
    // top and the bottom.
    const int band_height = nc.bottom - nc.top;
    auto down = [&](TBitmapData& band, int column, int column_end, int middle_top,
                    int middle_bottom) {
        const int w = column_end - column;
        if (!PrepareMaskBand(band, w, band_height)) {
            return;
        }
        const int tail = c.bottom - middle_bottom;
        Tile24(band, TRect{0, 0, w, band_height}, mask,
               TRect{column, middle_top, column_end, middle_bottom}, false, true);
        Copy24(band, TRect{0, 0, w, middle_top - c.top}, mask,
               TRect{column, c.top, column_end, middle_top});
        Copy24(band, TRect{0, band_height - tail, w, band_height}, mask,
               TRect{column, middle_bottom, column_end, c.bottom});
    };
    down(left, 0, std::min(c.left, mw), g.left_top.y, g.left_bottom.y);
    down(right, c.right, mw, g.right_top.y, g.right_bottom.y);
}

std::optional<std::vector<TMaskRuns>> MaskRuns9(const TBitmapData& mask, const TPartGeometry& from,
                                                const TPartGeometry& to_in, int width, int height) {
    const TPartGeometry to = Sane(to_in);
    if (to.right_top.x < to.left_top.x || to.left_bottom.y < to.left_top.y || to.client.IsEmpty()) {
        return std::nullopt;
    }
    TBitmapData top, bottom, left, right;
    BuildMaskBands(mask, from, to, width, height, top, bottom, left, right);
    std::vector<TMaskRuns> parts;
    TMaskRuns client;
    client.runs.push_back(to.client);
    client.bounds = to.client;
    parts.push_back(std::move(client));
    const TRect& nc = to.client;
    parts.push_back(MaskRuns(top, 0, 0));
    parts.push_back(MaskRuns(bottom, 0, nc.bottom));
    parts.push_back(MaskRuns(left, 0, nc.top));
    parts.push_back(MaskRuns(right, nc.right, nc.top));
    return parts;
}

}  // namespace skin
