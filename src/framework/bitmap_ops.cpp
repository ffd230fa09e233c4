#include "framework/bitmap_ops.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace framework {

namespace {

// A 1:1 copy after clipping: w x h pixels from (sx, sy) to (dx, dy).
struct Clipped {
    int sx = 0, sy = 0, dx = 0, dy = 0, w = 0, h = 0;
};

// Clips `from` to the source and the destination to the target, moving the
// other side along so that the pixels still correspond. Returns false when
// nothing is left.
bool Clip(const TBitmapData& target, int x, int y, const TBitmapData& source, const TRect& from,
          Clipped& out) {
    // Work in 64 bits: skin geometry is outside input and may be anything.
    int64_t sx = from.left, sy = from.top, dx = x, dy = y;
    int64_t w = static_cast<int64_t>(from.right) - from.left;
    int64_t h = static_cast<int64_t>(from.bottom) - from.top;
    auto cut_start = [&](int64_t& s, int64_t& d, int64_t& len, int64_t limit_s, int64_t limit_d) {
        // Moves the start forward until both the source and the destination
        // start inside their pictures.
        const int64_t skip = std::max({int64_t{0}, limit_s - s, limit_d - d});
        s += skip;
        d += skip;
        len -= skip;
    };
    cut_start(sx, dx, w, 0, 0);
    cut_start(sy, dy, h, 0, 0);
    w = std::min({w, source.Width() - sx, target.Width() - dx});
    h = std::min({h, source.Height() - sy, target.Height() - dy});
    if (w < 1 || h < 1) {
        return false;
    }
    out = Clipped{static_cast<int>(sx), static_cast<int>(sy), static_cast<int>(dx),
                  static_cast<int>(dy), static_cast<int>(w),  static_cast<int>(h)};
    return true;
}

bool Direct(TPixelFormat f) {
    return f == pf24bit || f == pf32bit;
}

int BytesPerPixel(TPixelFormat f) {
    return f == pf32bit ? 4 : 3;
}

// Reads the colour of pixel x of row y, whose bytes start at `row`.
TColor Get(const TBitmapData& bitmap, const uint8_t* row, int x, int y) {
    if (!Direct(bitmap.PixelFormat())) {
        return bitmap.Pixel(x, y);
    }
    const uint8_t* p = row + static_cast<size_t>(x) * BytesPerPixel(bitmap.PixelFormat());
    return MakeColor(p[2], p[1], p[0]);
}

void Put(TBitmapData& bitmap, uint8_t* row, int x, int y, TColor color) {
    if (!Direct(bitmap.PixelFormat())) {
        bitmap.SetPixel(x, y, color);
        return;
    }
    const int bytes = BytesPerPixel(bitmap.PixelFormat());
    uint8_t* p = row + static_cast<size_t>(x) * bytes;
    p[0] = ColorBlue(color);
    p[1] = ColorGreen(color);
    p[2] = ColorRed(color);
    if (bytes == 4) {
        p[3] = 0;
    }
}

// Stretching works on coordinates within +-2^24, so that the products below
// fit in 64 bits; no picture comes near that.
constexpr int kStretchLimit = 1 << 24;

TRect Limited(const TRect& r) {
    auto limit = [](int v) { return std::clamp(v, -kStretchLimit, kStretchLimit); };
    return TRect{limit(r.left), limit(r.top), limit(r.right), limit(r.bottom)};
}

// Nearest-neighbour source coordinate for each of the `count` target
// positions from `first` on, of a span of `to_len` mapped onto `from_len`.
std::vector<int> StretchMap(int64_t first, int count, int64_t to_len, int64_t from_start,
                            int64_t from_len) {
    std::vector<int> map(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        const int64_t u = first + i;
        map[static_cast<size_t>(i)] =
            static_cast<int>(from_start + (2 * u + 1) * from_len / (2 * to_len));
    }
    return map;
}

}  // namespace

void CopyRect(TBitmapData& target, int x, int y, const TBitmapData& source, const TRect& from) {
    if (&target == &source) {
        // Within one picture: copy from a snapshot, so overlapping parts read
        // the pixels as they were.
        const TBitmapData snapshot = source;
        CopyRect(target, x, y, snapshot, from);
        return;
    }
    Clipped c;
    if (!Clip(target, x, y, source, from, c)) {
        return;
    }
    const TPixelFormat sf = source.PixelFormat();
    const TPixelFormat tf = target.PixelFormat();
    if (sf == tf && Direct(sf)) {
        const size_t bytes = static_cast<size_t>(BytesPerPixel(sf));
        for (int row = 0; row < c.h; ++row) {
            std::memcpy(target.ScanLine(c.dy + row) + c.dx * bytes,
                        source.ScanLine(c.sy + row) + c.sx * bytes, c.w * bytes);
        }
        return;
    }
    if (sf == tf && source.Palette() == target.Palette()) {
        // Same indexed format and palette: the indices carry over unchanged.
        for (int row = 0; row < c.h; ++row) {
            for (int col = 0; col < c.w; ++col) {
                target.SetPixelIndex(c.dx + col, c.dy + row,
                                     source.PixelIndex(c.sx + col, c.sy + row));
            }
        }
        return;
    }
    for (int row = 0; row < c.h; ++row) {
        const uint8_t* s = source.ScanLine(c.sy + row);
        uint8_t* d = target.ScanLine(c.dy + row);
        for (int col = 0; col < c.w; ++col) {
            Put(target, d, c.dx + col, c.dy + row, Get(source, s, c.sx + col, c.sy + row));
        }
    }
}

void TransparentCopy(TBitmapData& target, int x, int y, const TBitmapData& source,
                     const TRect& from, TColor transparent) {
    if (&target == &source) {
        const TBitmapData snapshot = source;
        TransparentCopy(target, x, y, snapshot, from, transparent);
        return;
    }
    Clipped c;
    if (!Clip(target, x, y, source, from, c)) {
        return;
    }
    transparent &= 0xFFFFFF;
    for (int row = 0; row < c.h; ++row) {
        const uint8_t* s = source.ScanLine(c.sy + row);
        uint8_t* d = target.ScanLine(c.dy + row);
        for (int col = 0; col < c.w; ++col) {
            const TColor color = Get(source, s, c.sx + col, c.sy + row);
            if (color != transparent) {
                Put(target, d, c.dx + col, c.dy + row, color);
            }
        }
    }
}

void StretchCopy(TBitmapData& target, const TRect& to_in, const TBitmapData& source,
                 const TRect& from_in) {
    const TRect to = Limited(to_in);
    const TRect from = Limited(from_in);
    if (to.IsEmpty() || from.IsEmpty()) {
        return;
    }
    if (&target == &source) {
        const TBitmapData snapshot = source;
        StretchCopy(target, to, snapshot, from);
        return;
    }
    const TRect visible = to.Intersect(TRect{0, 0, target.Width(), target.Height()});
    if (visible.IsEmpty()) {
        return;
    }
    const std::vector<int> xs = StretchMap(int64_t{visible.left} - to.left, visible.Width(),
                                           to.Width(), from.left, from.Width());
    const std::vector<int> ys = StretchMap(int64_t{visible.top} - to.top, visible.Height(),
                                           to.Height(), from.top, from.Height());
    const bool fast = source.PixelFormat() == target.PixelFormat() && Direct(source.PixelFormat());
    const size_t bytes = static_cast<size_t>(BytesPerPixel(source.PixelFormat()));
    for (int row = 0; row < visible.Height(); ++row) {
        const int sy = ys[static_cast<size_t>(row)];
        if (sy < 0 || sy >= source.Height()) {
            continue;
        }
        const int ty = visible.top + row;
        const uint8_t* s = source.ScanLine(sy);
        uint8_t* d = target.ScanLine(ty);
        for (int col = 0; col < visible.Width(); ++col) {
            const int sx = xs[static_cast<size_t>(col)];
            if (sx < 0 || sx >= source.Width()) {
                continue;
            }
            const int tx = visible.left + col;
            if (fast) {
                std::memcpy(d + tx * bytes, s + sx * bytes, bytes);
            } else {
                Put(target, d, tx, ty, Get(source, s, sx, sy));
            }
        }
    }
}

void FillRect(TBitmapData& target, const TRect& rect, TColor color) {
    const TRect r = rect.Intersect(TRect{0, 0, target.Width(), target.Height()});
    if (r.IsEmpty()) {
        return;
    }
    for (int y = r.top; y < r.bottom; ++y) {
        uint8_t* d = target.ScanLine(y);
        if (y > r.top && Direct(target.PixelFormat())) {
            // Every row of the area is the same: copy the first one.
            const size_t bytes = static_cast<size_t>(BytesPerPixel(target.PixelFormat()));
            std::memcpy(d + r.left * bytes, target.ScanLine(r.top) + r.left * bytes,
                        r.Width() * bytes);
            continue;
        }
        for (int x = r.left; x < r.right; ++x) {
            Put(target, d, x, y, color);
        }
    }
}

}  // namespace framework
