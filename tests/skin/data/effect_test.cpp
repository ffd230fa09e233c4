#include "skin/data/effect.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "picture_test_util.h"

namespace skin {
namespace {

using framework::ColorRed;
using framework::MakeColor;
using framework::pf24bit;
using framework::pf8bit;

// --- the 24-bit copies ----------------------------------------------------------

TEST(TbsFBitmap, RowsAreTopDownWithPaddedIncrements) {
    for (const int width : {1, 2, 3, 4, 5, 7}) {
        const TbsFBitmap b(width, 3);
        EXPECT_EQ(b.Gap(), width % 4);
        EXPECT_EQ(b.RowIncrement() % 4, 0);
        EXPECT_EQ(b.RowIncrement(), width * 3 + width % 4);
        EXPECT_EQ(b.Size(), static_cast<size_t>(b.RowIncrement()) * 3);
        EXPECT_EQ(b.Row(2) - b.Row(0), 2 * b.RowIncrement());
    }
    const TbsFBitmap empty(-3, 2);
    EXPECT_EQ(empty.Width(), 0);
    EXPECT_EQ(empty.Size(), 0u);
}

TEST(TbsFBitmap, CopiesAPictureOfAnyFormatTopRowFirst) {
    const TBitmapData picture = test::Coded(5, 4);
    const TbsFBitmap copy(picture);
    // The first row in memory is the picture's top row: blue, green, red.
    EXPECT_EQ(copy.Row(0)[0], 0x40);
    EXPECT_EQ(copy.Row(0)[1], 0);          // green = y = 0
    EXPECT_EQ(copy.Row(3)[3 * 2 + 2], 2);  // red = x = 2
    EXPECT_TRUE(test::SamePicture(copy.ToBitmap(), picture));

    TBitmapData indexed = picture;
    indexed.ConvertTo(pf8bit);
    const TbsFBitmap from_indexed(indexed);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 5; ++x) {
            EXPECT_EQ(from_indexed.Pixel(x, y), indexed.Pixel(x, y));
        }
    }
    EXPECT_EQ(copy.Pixel(5, 0), framework::kInvalidColor);
}

TEST(TbsFBitmap, CopiesAndMovesKeepTheirOwnRows) {
    TbsFBitmap a(test::Coded(6, 3));
    TbsFBitmap b = a;
    b.SetPixel(1, 1, 0x123456);
    EXPECT_NE(a.Pixel(1, 1), 0x123456u);  // b's rows point into b's memory
    EXPECT_EQ(b.Pixel(1, 1), 0x123456u);
    TbsFBitmap c = std::move(b);
    EXPECT_EQ(c.Pixel(1, 1), 0x123456u);
    EXPECT_EQ(b.Width(), 0);  // NOLINT: the moved-from picture is empty
    a = c;
    EXPECT_EQ(a.Pixel(1, 1), 0x123456u);
}

TEST(TbsEffectBmp, DrawsIntoABitmapClipped) {
    const TbsEffectBmp effect(test::Coded(4, 3));
    TBitmapData target(5, 5, pf24bit);
    effect.Draw(target, 3, -1);
    TBitmapData expected = test::Black(5, 5);
    test::RefCopy(expected, 3, -1, test::Coded(4, 3), 0, 0, 4, 3);
    EXPECT_TRUE(test::SamePicture(target, expected));

    TBitmapData indexed(5, 5, pf8bit);
    effect.Draw(indexed, 0, 0);
    EXPECT_EQ(indexed.PixelFormat(), pf8bit);
    effect.Draw(target, std::numeric_limits<int>::min(), 0);  // nothing to draw
    EXPECT_TRUE(test::SamePicture(target, expected));
}

// --- blends -------------------------------------------------------------------------

// A: every channel 200; B: every channel 0. Mixed columns show w * 200.
struct Looks {
    TbsEffectBmp a, b;
};
Looks Grey(int width, int height) {
    Looks l{TbsEffectBmp(width, height), TbsEffectBmp(width, height)};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            l.a.SetPixel(x, y, 0xC8C8C8);
        }
    }
    return l;
}

// The red channel of row 0, column by column.
std::vector<int> Reds(const TbsEffectBmp& b) {
    std::vector<int> out;
    for (int x = 0; x < b.Width(); ++x) {
        out.push_back(ColorRed(b.Pixel(x, 0)));
    }
    return out;
}

// A: column x is (x, 1, 0); B: column x is (x, 2, 0). Which look and which
// column each pixel comes from, as 10 * look + column (look 1 = A, 2 = B).
Looks Columns(int width) {
    Looks l{TbsEffectBmp(width, 2), TbsEffectBmp(width, 2)};
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < width; ++x) {
            l.a.SetPixel(x, y, MakeColor(static_cast<uint8_t>(x), 1, 0));
            l.b.SetPixel(x, y, MakeColor(static_cast<uint8_t>(x), 2, 0));
        }
    }
    return l;
}
std::vector<int> Origins(const TbsEffectBmp& b) {
    std::vector<int> out;
    for (int x = 0; x < b.Width(); ++x) {
        const TColor c = b.Pixel(x, 1);
        out.push_back(10 * framework::ColorGreen(c) + ColorRed(c));
    }
    return out;
}

TEST(Blend, DefaultMixesEveryPixelRoundingHalvesToEven) {
    TbsEffectBmp a(4, 1), b(4, 1);
    const int av[4] = {1, 3, 2, 0}, bv[4] = {2, 4, 3, 1};
    for (int x = 0; x < 4; ++x) {
        a.SetPixel(x, 0, MakeColor(av[x], 100, 255));
        b.SetPixel(x, 0, MakeColor(bv[x], 0, 255));
    }
    TbsEffectBmp k0 = a, k1 = a, half = a;
    Blend(k0, b, mkDefault, 0.0);
    EXPECT_TRUE(test::SamePicture(k0.ToBitmap(), a.ToBitmap()));
    Blend(k1, b, mkDefault, 1.0);
    EXPECT_TRUE(test::SamePicture(k1.ToBitmap(), b.ToBitmap()));
    Blend(half, b, mkDefault, 0.5);
    // 1.5 -> 2, 3.5 -> 4, 2.5 -> 2, 0.5 -> 0; green 50; blue stays 255.
    EXPECT_EQ(half.Pixel(0, 0), MakeColor(2, 50, 255));
    EXPECT_EQ(half.Pixel(1, 0), MakeColor(4, 50, 255));
    EXPECT_EQ(half.Pixel(2, 0), MakeColor(2, 50, 255));
    EXPECT_EQ(half.Pixel(3, 0), MakeColor(0, 50, 255));
    // k outside 0..1 is clamped; a k that is not a number counts as 0.
    TbsEffectBmp over = a, nan = a;
    Blend(over, b, mkDefault, 7.0);
    EXPECT_TRUE(test::SamePicture(over.ToBitmap(), b.ToBitmap()));
    Blend(nan, b, mkDefault, std::nan(""));
    EXPECT_TRUE(test::SamePicture(nan.ToBitmap(), a.ToBitmap()));
}

TEST(Blend, PicturesOfDifferentSizesAreLeftAlone) {
    for (const TMorphKind kind : {mkDefault, mkGradient, mkLeftGradient, mkRightGradient,
                                  mkLeftSlide, mkRightSlide, mkPush}) {
        Looks l = Grey(10, 3);
        const TbsEffectBmp other(10, 4);
        Blend(l.a, other, kind, 0.5);
        EXPECT_EQ(Reds(l.a), std::vector<int>(10, 200)) << kind;
    }
}

TEST(Blend, GradientTakesACentredBandAndFadesOutwards) {
    Looks l = Grey(10, 1);
    Blend(l.a, l.b, mkGradient, 0.5);  // band 5 at 3..7, half 2, step 0.5
    EXPECT_EQ(Reds(l.a), (std::vector<int>{200, 100, 0, 0, 0, 0, 0, 0, 0, 100}));
    l = Grey(10, 1);
    Blend(l.a, l.b, mkGradient, 0.0);  // no band, step 0.2 from the middle
    EXPECT_EQ(Reds(l.a), (std::vector<int>{160, 120, 80, 40, 0, 0, 40, 80, 120, 160}));
    l = Grey(10, 1);
    Blend(l.a, l.b, mkGradient, 1.0);
    EXPECT_EQ(Reds(l.a), std::vector<int>(10, 0));
    // Taller than wide: the same along the rows.
    l = Grey(2, 10);
    Blend(l.a, l.b, mkGradient, 0.5);
    std::vector<int> rows;
    for (int y = 0; y < 10; ++y) {
        rows.push_back(ColorRed(l.a.Pixel(1, y)));
    }
    EXPECT_EQ(rows, (std::vector<int>{200, 100, 0, 0, 0, 0, 0, 0, 0, 100}));
}

TEST(Blend, LeftAndRightGradientsFadeFromOneEdge) {
    Looks l = Grey(10, 1);
    Blend(l.a, l.b, mkLeftGradient, 0.5);  // n = 5: columns 0..4, w = column / 5
    EXPECT_EQ(Reds(l.a), (std::vector<int>{0, 40, 80, 120, 160, 200, 200, 200, 200, 200}));
    l = Grey(10, 1);
    Blend(l.a, l.b, mkLeftGradient, 0.0);  // n limited to 1
    EXPECT_EQ(Reds(l.a), (std::vector<int>{0, 200, 200, 200, 200, 200, 200, 200, 200, 200}));
    l = Grey(10, 1);
    Blend(l.a, l.b, mkLeftGradient, 1.0);  // n limited to 9: w = column / 9
    EXPECT_EQ(Reds(l.a), (std::vector<int>{0, 22, 44, 67, 89, 111, 133, 156, 178, 200}));

    l = Grey(10, 1);
    Blend(l.a, l.b, mkRightGradient, 0.5);  // n = 5: columns 9..5, w = (9 - column) / 5
    EXPECT_EQ(Reds(l.a), (std::vector<int>{200, 200, 200, 200, 200, 160, 120, 80, 40, 0}));
    l = Grey(10, 1);
    Blend(l.a, l.b, mkRightGradient, 0.0);  // n limited to 9: the last column only
    EXPECT_EQ(Reds(l.a), (std::vector<int>{200, 200, 200, 200, 200, 200, 200, 200, 200, 0}));
    l = Grey(10, 1);
    Blend(l.a, l.b, mkRightGradient, 1.0);  // n = 0: w = (9 - column) / 10
    EXPECT_EQ(Reds(l.a), (std::vector<int>{180, 160, 140, 120, 100, 80, 60, 40, 20, 0}));
}

TEST(Blend, SlidesBringInTheOtherLookFromOneSide) {
    Looks l = Columns(10);
    Blend(l.a, l.b, mkLeftSlide, 0.5);  // B's last 5 columns over A's first 5
    EXPECT_EQ(Origins(l.a), (std::vector<int>{25, 26, 27, 28, 29, 15, 16, 17, 18, 19}));
    l = Columns(10);
    Blend(l.a, l.b, mkLeftSlide, 0.0);  // n limited to 1
    EXPECT_EQ(Origins(l.a), (std::vector<int>{29, 11, 12, 13, 14, 15, 16, 17, 18, 19}));
    l = Columns(10);
    Blend(l.a, l.b, mkLeftSlide, 1.0);  // n limited to 9
    EXPECT_EQ(Origins(l.a), (std::vector<int>{21, 22, 23, 24, 25, 26, 27, 28, 29, 19}));

    l = Columns(10);
    Blend(l.a, l.b, mkRightSlide, 0.5);  // B's first 5 columns over A's last 5
    EXPECT_EQ(Origins(l.a), (std::vector<int>{10, 11, 12, 13, 14, 20, 21, 22, 23, 24}));
    l = Columns(10);
    Blend(l.a, l.b, mkRightSlide, 0.0);
    EXPECT_EQ(Origins(l.a), (std::vector<int>{10, 11, 12, 13, 14, 15, 16, 17, 18, 20}));
    l = Columns(10);
    Blend(l.a, l.b, mkRightSlide, 1.0);
    EXPECT_EQ(Origins(l.a), (std::vector<int>{10, 20, 21, 22, 23, 24, 25, 26, 27, 28}));
}

TEST(Blend, PushMovesTheFirstLookOutToTheRight) {
    Looks l = Columns(10);
    Blend(l.a, l.b, mkPush, 0.5);  // n = 5: A moves right by 6
    EXPECT_EQ(Origins(l.a), (std::vector<int>{24, 25, 26, 27, 28, 29, 10, 11, 12, 13}));
    l = Columns(10);
    Blend(l.a, l.b, mkPush, 0.0);  // n = 0: by one column
    EXPECT_EQ(Origins(l.a), (std::vector<int>{29, 10, 11, 12, 13, 14, 15, 16, 17, 18}));
    l = Columns(10);
    Blend(l.a, l.b, mkPush, 1.0);  // n limited to 9: all of B
    EXPECT_EQ(Origins(l.a), (std::vector<int>{20, 21, 22, 23, 24, 25, 26, 27, 28, 29}));
}

TEST(Blend, OneColumnPictures) {
    // The slides and the left gradient need two columns; the others work.
    for (const TMorphKind kind : {mkLeftSlide, mkRightSlide, mkLeftGradient}) {
        Looks l = Grey(1, 3);
        Blend(l.a, l.b, kind, 0.5);
        EXPECT_EQ(Reds(l.a), std::vector<int>{200}) << kind;
    }
    for (const TMorphKind kind : {mkRightGradient, mkPush}) {
        Looks l = Grey(1, 3);
        Blend(l.a, l.b, kind, 0.5);
        EXPECT_EQ(Reds(l.a), std::vector<int>{0}) << kind;
    }
    Looks empty{TbsEffectBmp(0, 0), TbsEffectBmp(0, 0)};
    Blend(empty.a, empty.b, mkPush, 0.5);
    EXPECT_EQ(empty.a.Width(), 0);
}

TEST(Blend, WithItselfReadsTheOriginal) {
    Looks l = Columns(6);
    Blend(l.a, l.a, mkPush, 0.5);  // n = 3: A's last 4 columns, then its first 2
    EXPECT_EQ(Origins(l.a), (std::vector<int>{12, 13, 14, 15, 10, 11}));
}

}  // namespace
}  // namespace skin
