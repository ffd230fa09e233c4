#include "framework/bitmap_ops.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <tuple>
#include <utility>

namespace framework {
namespace {

// A picture whose pixel (x, y) is red x, green y, blue 0x40.
TBitmapData Coded(int width, int height, TPixelFormat format = pf24bit) {
    TBitmapData b(width, height, pf24bit);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            b.SetPixel(x, y, MakeColor(static_cast<uint8_t>(x), static_cast<uint8_t>(y), 0x40));
        }
    }
    b.ConvertTo(format);
    return b;
}

// The colour each target pixel should have: `expect(x, y)` gives the
// source point, or (-1, -1) for "unchanged" (here: black).
template <class Expect>
void CheckPixels(const TBitmapData& target, const TBitmapData& source, Expect expect) {
    for (int y = 0; y < target.Height(); ++y) {
        for (int x = 0; x < target.Width(); ++x) {
            const auto [sx, sy] = expect(x, y);
            const TColor want = sx < 0 ? 0 : source.Pixel(sx, sy);
            ASSERT_EQ(target.Pixel(x, y), want) << "at " << x << "," << y;
        }
    }
}

// --- CopyRect -------------------------------------------------------------------------

TEST(CopyRect, CopiesOneToOneClippedOnBothSides) {
    const TBitmapData source = Coded(10, 8);
    // Parts of the source rectangle outside the source, and of the
    // destination outside the target, are both left out.
    for (const auto& [x, y, from] :
         {std::tuple{2, 1, TRect{-2, -1, 5, 4}}, std::tuple{-3, 4, TRect{1, 1, 12, 20}},
          std::tuple{5, 5, TRect{0, 0, 10, 8}}}) {
        TBitmapData target(8, 7, pf24bit);
        CopyRect(target, x, y, source, from);
        const int dx = x, dy = y;
        const TRect f = from;
        CheckPixels(target, source, [&](int tx, int ty) {
            const int sx = f.left + tx - dx, sy = f.top + ty - dy;
            const bool inside = sx >= std::max(f.left, 0) && sx < std::min(f.right, 10) &&
                                sy >= std::max(f.top, 0) && sy < std::min(f.bottom, 8);
            return inside ? std::pair{sx, sy} : std::pair{-1, -1};
        });
    }
}

TEST(CopyRect, ConvertsBetweenFormats) {
    for (const TPixelFormat from : {pf24bit, pf32bit, pf8bit, pf4bit, pf1bit}) {
        for (const TPixelFormat to : {pf24bit, pf32bit}) {
            const TBitmapData source = Coded(6, 5, from);
            TBitmapData target(6, 5, to);
            CopyRect(target, 1, 0, source, TRect{0, 1, 4, 5});
            CheckPixels(target, source, [](int x, int y) {
                return x >= 1 && x < 5 && y < 4 ? std::pair{x - 1, y + 1} : std::pair{-1, -1};
            });
        }
    }
    // Into an indexed picture: the nearest palette entry.
    TBitmapData indexed(2, 1, pf1bit);
    TBitmapData light(2, 1, pf24bit);
    light.SetPixel(0, 0, 0xF0F0F0);
    light.SetPixel(1, 0, 0x101010);
    CopyRect(indexed, 0, 0, light, TRect{0, 0, 2, 1});
    EXPECT_EQ(indexed.Pixel(0, 0), 0xFFFFFFu);
    EXPECT_EQ(indexed.Pixel(1, 0), 0u);
    // Same indexed format and palette: indices carry over.
    TBitmapData a = Coded(6, 5, pf8bit), b(6, 5, pf8bit);
    b.SetPalette(a.Palette());
    CopyRect(b, 0, 0, a, TRect{0, 0, 6, 5});
    EXPECT_TRUE(a == b);
}

TEST(CopyRect, WithinOnePictureReadsThePixelsAsTheyWere) {
    TBitmapData picture = Coded(8, 3);
    const TBitmapData original = picture;
    CopyRect(picture, 2, 0, picture, TRect{0, 0, 6, 3});  // overlapping, to the right
    CheckPixels(picture, original, [](int x, int y) {
        return x < 2 ? std::pair{x, y} : std::pair{x - 2, y};
    });
}

TEST(CopyRect, AnyCoordinatesAreSafe) {
    const TBitmapData source = Coded(4, 4);
    TBitmapData target(4, 4, pf24bit);
    const int values[] = {INT_MIN, -1, 0, 2, INT_MAX};
    for (int a : values) {
        for (int b : values) {
            CopyRect(target, a, b, source, TRect{b, a, INT_MAX, INT_MAX});
            CopyRect(target, b, a, source, TRect{INT_MIN, INT_MIN, a, b});
        }
    }
    CopyRect(target, 0, 0, TBitmapData(), TRect{0, 0, 4, 4});
    TransparentCopy(target, INT_MAX, INT_MIN, source, TRect{INT_MIN, 0, INT_MAX, 4}, 0);
    StretchCopy(target, TRect{INT_MIN, INT_MIN, INT_MAX, INT_MAX}, source,
                TRect{INT_MIN, 0, INT_MAX, 4});
    FillRect(target, TRect{INT_MIN, INT_MIN, INT_MAX, INT_MAX}, 0x123456);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) {
            EXPECT_EQ(target.Pixel(x, y), 0x123456u);
        }
    }
}

// --- TransparentCopy --------------------------------------------------------------------

TEST(TransparentCopy, LeavesOutTheTransparentColour) {
    TBitmapData source(3, 2, pf24bit);
    FillRect(source, TRect{0, 0, 3, 2}, 0xFF00FF);
    source.SetPixel(1, 0, 0x000080);
    source.SetPixel(2, 1, 0x00FF00);
    TBitmapData target(4, 3, pf24bit);
    FillRect(target, TRect{0, 0, 4, 3}, 0x777777);
    // The high byte of the transparent colour is not part of it.
    TransparentCopy(target, 1, 1, source, TRect{0, 0, 3, 2}, 0x01FF00FF);
    EXPECT_EQ(target.Pixel(1, 1), 0x777777u);
    EXPECT_EQ(target.Pixel(2, 1), 0x000080u);
    EXPECT_EQ(target.Pixel(3, 2), 0x00FF00u);
    EXPECT_EQ(target.Pixel(1, 2), 0x777777u);
    EXPECT_EQ(target.Pixel(0, 0), 0x777777u);
}

// --- StretchCopy ------------------------------------------------------------------------

TEST(StretchCopy, EqualSizesCopyOneToOne) {
    const TBitmapData source = Coded(9, 7);
    TBitmapData stretched(9, 7, pf24bit), copied(9, 7, pf24bit);
    StretchCopy(stretched, TRect{1, 2, 7, 6}, source, TRect{3, 1, 9, 5});
    CopyRect(copied, 1, 2, source, TRect{3, 1, 9, 5});
    EXPECT_TRUE(stretched == copied);
}

TEST(StretchCopy, TakesTheSourcePixelUnderEachTargetPixelsCentre) {
    const TBitmapData source = Coded(3, 2);
    TBitmapData target(7, 4, pf24bit);
    StretchCopy(target, TRect{0, 0, 7, 4}, source, TRect{0, 0, 3, 2});
    // Columns: (2u + 1) * 3 / 14 for u = 0..6; rows: (2v + 1) * 2 / 8.
    const int columns[7] = {0, 0, 1, 1, 1, 2, 2};
    const int rows[4] = {0, 0, 1, 1};
    CheckPixels(target, source, [&](int x, int y) { return std::pair{columns[x], rows[y]}; });

    // Shrinking 8 columns to 3: (2u + 1) * 8 / 6 = 1, 4, 6.
    const TBitmapData wide = Coded(8, 1);
    TBitmapData narrow(3, 1, pf24bit);
    StretchCopy(narrow, TRect{0, 0, 3, 1}, wide, TRect{0, 0, 8, 1});
    CheckPixels(narrow, wide, [](int x, int) { return std::pair{x == 0 ? 1 : x == 1 ? 4 : 6, 0}; });
}

TEST(StretchCopy, ClipsAndSkipsSourcePixelsOutsideTheSource) {
    const TBitmapData source = Coded(4, 4);
    TBitmapData target(6, 6, pf24bit);
    // Twice the size, half of the source rectangle left of the source, and
    // the target rectangle half outside the target.
    StretchCopy(target, TRect{-2, 0, 6, 8}, source, TRect{-2, 0, 2, 4});
    CheckPixels(target, source, [](int x, int y) {
        const int sx = -2 + (x + 2) / 2, sy = y / 2;
        return sx >= 0 ? std::pair{sx, sy} : std::pair{-1, -1};
    });
    TBitmapData untouched(6, 6, pf24bit);
    StretchCopy(untouched, TRect{0, 0, 6, 6}, source, TRect{2, 2, 2, 4});  // empty source part
    StretchCopy(untouched, TRect{0, 0, 0, 6}, source, TRect{0, 0, 4, 4});  // empty target part
    CheckPixels(untouched, source, [](int, int) { return std::pair{-1, -1}; });
}

TEST(StretchCopy, WorksAcrossFormats) {
    const TBitmapData source = Coded(2, 2, pf4bit);
    TBitmapData target(4, 4, pf32bit);
    StretchCopy(target, TRect{0, 0, 4, 4}, source, TRect{0, 0, 2, 2});
    CheckPixels(target, source, [](int x, int y) { return std::pair{x / 2, y / 2}; });
}

// --- FillRect -----------------------------------------------------------------------------

TEST(FillRect, PaintsTheClippedRectangleInEveryFormat) {
    for (const TPixelFormat format : {pf24bit, pf32bit, pf8bit, pf1bit}) {
        TBitmapData b(5, 4, format);
        FillRect(b, TRect{3, -2, 9, 2}, 0xFFFFFF);
        for (int y = 0; y < 4; ++y) {
            for (int x = 0; x < 5; ++x) {
                EXPECT_EQ(b.Pixel(x, y), (x >= 3 && y < 2) ? 0xFFFFFFu : 0u)
                    << format << " " << x << "," << y;
            }
        }
    }
}

}  // namespace
}  // namespace framework
