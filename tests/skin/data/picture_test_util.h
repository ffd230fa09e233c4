#pragma once

// Helpers shared by the picture primitive tests: pictures whose pixels tell
// where they came from, a slow pixel-by-pixel copy written straight from the
// tiling rule, and a readable picture diff.

#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "framework/bitmap.h"
#include "framework/geometry.h"

namespace skin::test {

using framework::MakeColor;
using framework::TBitmapData;
using framework::TColor;
using framework::TPoint;
using framework::TRect;

// A 24-bit picture whose pixel (x, y) is red x, green y, blue 0x40 (x and y
// below 256): no pixel is black, and each names its own place.
inline TBitmapData Coded(int width, int height) {
    TBitmapData b(width, height, framework::pf24bit);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            b.SetPixel(x, y, MakeColor(static_cast<uint8_t>(x), static_cast<uint8_t>(y), 0x40));
        }
    }
    return b;
}

// --- the reference: literal copies, one pixel at a time ------------------------

// Copies w x h pixels from (sx, sy) to (dx, dy), leaving out every pixel
// whose source or destination is outside its picture.
inline void RefCopy(TBitmapData& t, int dx, int dy, const TBitmapData& s, int sx, int sy, int w,
                    int h) {
    for (int j = 0; j < h; ++j) {
        for (int i = 0; i < w; ++i) {
            const TColor c = s.Pixel(sx + i, sy + j);
            if (c != framework::kInvalidColor && dx + i >= 0 && dy + j >= 0 && dx + i < t.Width() &&
                dy + j < t.Height()) {
                t.SetPixel(dx + i, dy + j, c);
            }
        }
    }
}

// The tiling rule: N div P + 1 copies of the piece at 0, P, 2P, ... from the
// start of the span; a copy that would pass the span's end is cut there.
// Across the span the piece is copied 1:1, cut at the shorter of the two.
// `across` tiles along x, `down` along y; neither is a single 1:1 copy.
inline void RefTile(TBitmapData& t, const TRect& to, const TBitmapData& s, const TRect& piece,
                    bool across, bool down) {
    const int pw = piece.Width(), ph = piece.Height();
    const int n = to.Width(), m = to.Height();
    if (pw < 1 || ph < 1 || n < 1 || m < 1) {
        return;
    }
    const int copies_x = across ? n / pw + 1 : 1;
    const int copies_y = down ? m / ph + 1 : 1;
    for (int ky = 0; ky < copies_y; ++ky) {
        const int h = std::min(ph, m - ky * ph);
        for (int kx = 0; kx < copies_x; ++kx) {
            const int w = std::min(pw, n - kx * pw);
            if (w > 0 && h > 0) {
                RefCopy(t, to.left + kx * pw, to.top + ky * ph, s, piece.left, piece.top, w, h);
            }
        }
    }
}

inline TBitmapData Black(int width, int height) {
    return TBitmapData(std::max(width, 0), std::max(height, 0), framework::pf24bit);
}

// --- comparing ------------------------------------------------------------------

// Equal size and pixels; else a message naming the size or the first few
// differing pixels.
inline ::testing::AssertionResult SamePicture(const TBitmapData& actual,
                                              const TBitmapData& expected) {
    if (actual.Width() != expected.Width() || actual.Height() != expected.Height()) {
        return ::testing::AssertionFailure()
               << "size " << actual.Width() << "x" << actual.Height() << ", expected "
               << expected.Width() << "x" << expected.Height();
    }
    std::ostringstream out;
    int differences = 0;
    for (int y = 0; y < actual.Height(); ++y) {
        for (int x = 0; x < actual.Width(); ++x) {
            if (actual.Pixel(x, y) != expected.Pixel(x, y)) {
                if (++differences <= 5) {
                    out << " (" << x << "," << y << "): " << std::hex << actual.Pixel(x, y)
                        << " expected " << expected.Pixel(x, y) << std::dec;
                }
            }
        }
    }
    if (differences == 0) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << differences << " pixels differ:" << out.str();
}

// One character per pixel: '#' for `ink`, '+' for `ink2`, '.' for anything
// else.
inline std::vector<std::string> Render(const TBitmapData& b, TColor ink, TColor ink2 = 0x1000000) {
    std::vector<std::string> rows;
    for (int y = 0; y < b.Height(); ++y) {
        std::string row;
        for (int x = 0; x < b.Width(); ++x) {
            const TColor c = b.Pixel(x, y);
            row += c == ink ? '#' : c == ink2 ? '+' : '.';
        }
        rows.push_back(row);
    }
    return rows;
}

// A random integer in lo..hi.
inline int Between(std::mt19937& rng, int lo, int hi) {
    return std::uniform_int_distribution<int>(lo, hi)(rng);
}

}  // namespace skin::test
