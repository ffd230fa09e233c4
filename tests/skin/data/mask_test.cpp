#include "skin/data/mask.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "framework/bitmap_ops.h"
#include "picture_test_util.h"

namespace skin {
namespace {

using framework::MakeColor;
using framework::pf1bit;
using framework::pf24bit;
using framework::pf32bit;
using framework::pf8bit;
using test::Between;

constexpr TColor kWhite = 0xFFFFFF;

// A mask from rows of '#' (black) and '.' (white).
TBitmapData MaskFrom(const std::vector<std::string>& rows) {
    TBitmapData mask(static_cast<int>(rows[0].size()), static_cast<int>(rows.size()), pf24bit);
    for (int y = 0; y < mask.Height(); ++y) {
        for (int x = 0; x < mask.Width(); ++x) {
            mask.SetPixel(x, y,
                          rows[static_cast<size_t>(y)][static_cast<size_t>(x)] == '#' ? 0 : kWhite);
        }
    }
    return mask;
}

// The pixels inside the union of the rectangles, as rows of '#' and '.',
// over the area (0, 0, width, height); rectangles must not overlap.
std::vector<std::string> Covered(const std::vector<TRect>& rects, int width, int height) {
    std::vector<std::string> rows(static_cast<size_t>(height), std::string(width, '.'));
    for (const TRect& r : rects) {
        for (int y = r.top; y < r.bottom; ++y) {
            for (int x = r.left; x < r.right; ++x) {
                if (x >= 0 && y >= 0 && x < width && y < height) {
                    rows[y][x] = '#';
                }
            }
        }
    }
    return rows;
}

std::vector<std::string> BlackPixels(const TBitmapData& mask) {
    std::vector<std::string> rows;
    for (int y = 0; y < mask.Height(); ++y) {
        std::string row;
        for (int x = 0; x < mask.Width(); ++x) {
            const TColor c = mask.Pixel(x, y);
            row += framework::ColorRed(c) + framework::ColorGreen(c) + framework::ColorBlue(c) == 0
                       ? '#'
                       : '.';
        }
        rows.push_back(row);
    }
    return rows;
}

// --- runs of one mask -------------------------------------------------------------

TEST(MaskRuns, AllWhiteGivesNoRunsAndAllBlackOneRunPerRow) {
    TBitmapData mask(10, 2, pf24bit);
    framework::FillRect(mask, TRect{0, 0, 10, 2}, kWhite);
    TMaskRuns runs = MaskRuns(mask, 0, 0);
    EXPECT_TRUE(runs.runs.empty());
    EXPECT_FALSE(runs.whole);
    EXPECT_TRUE(runs.Rectangles().empty());

    mask = TBitmapData(10, 2, pf24bit);  // black
    runs = MaskRuns(mask, 0, 0);
    EXPECT_EQ(runs.runs, (std::vector<TRect>{{0, 0, 10, 1}, {0, 1, 10, 2}}));
    EXPECT_EQ(runs.bounds, (TRect{0, 0, 10, 2}));
}

TEST(MaskRuns, FindsEachRunLeftToRightAtTheOffset) {
    const TBitmapData mask = MaskFrom({
        "##..#.###",
        ".........",
        "..#######",
    });
    const TMaskRuns runs = MaskRuns(mask, 100, -7);
    EXPECT_EQ(runs.runs,
              (std::vector<TRect>{
                  {100, -7, 102, -6}, {104, -7, 105, -6}, {106, -7, 109, -6}, {102, -5, 109, -4}}));
    EXPECT_EQ(runs.bounds, (TRect{100, -7, 109, -4}));
}

TEST(MaskRuns, OnlyPureBlackIsInside) {
    TBitmapData mask(4, 1, pf24bit);
    mask.SetPixel(1, 0, MakeColor(0, 0, 1));
    mask.SetPixel(2, 0, MakeColor(1, 0, 0));
    EXPECT_EQ(MaskRuns(mask, 0, 0).runs, (std::vector<TRect>{{0, 0, 1, 1}, {3, 0, 4, 1}}));
}

// Long rows of black and white, near-black and other colours, runs that start
// and end at every position within eight pixels: the runs must be exactly
// the black pixels.
TEST(MaskRuns, MatchesTheBlackPixelsOfRandomMasks) {
    std::mt19937 rng(808);
    const TColor others[] = {
        kWhite,  MakeColor(0, 0, 1), MakeColor(1, 0, 0), MakeColor(0, 1, 0), MakeColor(255, 0, 255),
        0x808080};
    for (int round = 0; round < 200; ++round) {
        SCOPED_TRACE(round);
        TBitmapData mask(Between(rng, 1, 90), Between(rng, 1, 6), pf24bit);
        for (int y = 0; y < mask.Height(); ++y) {
            for (int x = 0; x < mask.Width();) {
                const int length = Between(rng, 1, round % 2 == 0 ? 3 : 20);
                const TColor c = Between(rng, 0, 1) == 0 ? 0 : others[Between(rng, 0, 5)];
                for (int i = 0; i < length && x < mask.Width(); ++i, ++x) {
                    mask.SetPixel(x, y, c);
                }
            }
        }
        const TMaskRuns runs = MaskRuns(mask, 0, 0);
        ASSERT_FALSE(runs.whole);
        // Runs are maximal: no two touch on one row, and they come in order.
        for (size_t i = 1; i < runs.runs.size(); ++i) {
            const TRect &a = runs.runs[i - 1], &b = runs.runs[i];
            ASSERT_TRUE(a.top < b.top || (a.top == b.top && a.right < b.left));
        }
        ASSERT_EQ(BlackPixels(mask), Covered(runs.runs, mask.Width(), mask.Height()));
    }
}

TEST(MaskRuns, ReadsThirtyTwoBitAndIndexedMasks) {
    const std::vector<std::string> shape = {"#..##", ".###.", "....#"};
    TBitmapData mask = MaskFrom(shape);
    for (const auto format : {pf32bit, pf8bit, pf1bit}) {
        TBitmapData converted = mask;
        converted.ConvertTo(format);
        EXPECT_EQ(Covered(MaskRuns(converted, 0, 0).runs, 5, 3), shape) << format;
    }
    // The fourth byte of a 32-bit pixel is not a colour.
    TBitmapData wide = mask;
    wide.ConvertTo(pf32bit);
    wide.ScanLine(0)[3] = 0xFF;
    EXPECT_EQ(Covered(MaskRuns(wide, 0, 0).runs, 5, 3), shape);
    // An indexed mask whose palette puts black at index 1.
    TBitmapData indexed(3, 1, pf1bit);
    indexed.SetPalette(
        {framework::TPaletteEntry::FromColor(kWhite), framework::TPaletteEntry::FromColor(0)});
    indexed.SetPixelIndex(1, 0, 1);
    EXPECT_EQ(MaskRuns(indexed, 0, 0).runs, (std::vector<TRect>{{1, 0, 2, 1}}));
}

// More than 10 000 runs make the region the whole mask rectangle; exactly
// 10 000 are kept.
TEST(MaskRuns, TooManyRunsGiveTheWholeRectangle) {
    auto stripes = [](int rows) {
        TBitmapData mask(200, rows, pf24bit);
        for (int y = 0; y < rows; ++y) {
            for (int x = 1; x < 200; x += 2) {
                mask.SetPixel(x, y, kWhite);  // 100 single-pixel runs per row
            }
        }
        return mask;
    };
    const TMaskRuns kept = MaskRuns(stripes(100), 0, 0);
    EXPECT_FALSE(kept.whole);
    EXPECT_EQ(kept.runs.size(), kMaxMaskRuns);
    const TMaskRuns whole = MaskRuns(stripes(101), 3, 4);
    EXPECT_TRUE(whole.whole);
    EXPECT_TRUE(whole.runs.empty());
    EXPECT_EQ(whole.Rectangles(), (std::vector<TRect>{{3, 4, 203, 105}}));
}

TEST(MaskRuns, EmptyMaskGivesNothing) {
    const TMaskRuns runs = MaskRuns(TBitmapData(), 5, 5);
    EXPECT_TRUE(runs.runs.empty());
    EXPECT_TRUE(runs.bounds.IsEmpty());
}

// --- masks that follow a resized picture ------------------------------------------

// A 12 x 10 window mask: black with the two top corners cut round and a notch
// in the middle of the bottom edge; its frame geometry has 3-pixel borders
// and a 3-pixel caption.
const std::vector<std::string> kWindowMask = {
    "..########..",  //
    ".##########.",  //
    "############",  //
    "############",  //
    "############",  //
    "############",  //
    "############",  //
    "############",  //
    "############",  //
    "#####..#####",  //
};
const TPartGeometry kWindowGeometry{{4, 3}, {8, 3}, {4, 7}, {8, 7}, {3, 3, 9, 7}};

TPartGeometry MovedTo(int width, int height) {
    const int dx = width - 12, dy = height - 10;
    const TPartGeometry& g = kWindowGeometry;
    return TPartGeometry{g.left_top,
                         {g.right_top.x + dx, g.right_top.y},
                         {g.left_bottom.x, g.left_bottom.y + dy},
                         {g.right_bottom.x + dx, g.right_bottom.y + dy},
                         {g.client.left, g.client.top, g.client.right + dx, g.client.bottom + dy}};
}

std::vector<TRect> AllRectangles(const std::vector<TMaskRuns>& parts) {
    std::vector<TRect> all;
    for (const TMaskRuns& p : parts) {
        for (const TRect& r : p.Rectangles()) {
            all.push_back(r);
        }
    }
    return all;
}

TEST(MaskRuns9, AtTheMaskSizeGivesTheMaskWithTheClientArea) {
    const TBitmapData window = MaskFrom(kWindowMask);
    const auto parts = MaskRuns9(window, kWindowGeometry, kWindowGeometry, 12, 10);
    ASSERT_TRUE(parts.has_value());
    ASSERT_EQ(parts->size(), 5u);
    EXPECT_EQ(parts->front().runs, (std::vector<TRect>{{3, 3, 9, 7}}));
    EXPECT_EQ(Covered(AllRectangles(*parts), 12, 10), kWindowMask);
}

TEST(MaskRuns9, KeepsTheCornersWhereTheyBelongWhenResized) {
    const TBitmapData window = MaskFrom(kWindowMask);
    const auto parts = MaskRuns9(window, kWindowGeometry, MovedTo(20, 13), 20, 13);
    ASSERT_TRUE(parts.has_value());
    // The bottom band's middle (columns 4..7, the notch at 5..6) repeats
    // from column 4 to column 16.
    EXPECT_EQ(Covered(AllRectangles(*parts), 20, 13), (std::vector<std::string>{
                                                          "..################..",
                                                          ".##################.",
                                                          "####################",
                                                          "####################",
                                                          "####################",
                                                          "####################",
                                                          "####################",
                                                          "####################",
                                                          "####################",
                                                          "####################",
                                                          "####################",
                                                          "####################",
                                                          "#####..##..##..#####",
                                                      }));
}

TEST(MaskRuns9, GivesNoRegionForCrossedPointsOrAnEmptyClientArea) {
    const TBitmapData window = MaskFrom(kWindowMask);
    TPartGeometry to = MovedTo(20, 13);
    to.right_top.x = to.left_top.x - 1;
    EXPECT_FALSE(MaskRuns9(window, kWindowGeometry, to, 20, 13).has_value());
    to = MovedTo(20, 13);
    to.left_bottom.y = to.left_top.y - 1;
    EXPECT_FALSE(MaskRuns9(window, kWindowGeometry, to, 20, 13).has_value());
    to = MovedTo(20, 13);
    to.client.right = to.client.left;
    EXPECT_FALSE(MaskRuns9(window, kWindowGeometry, to, 20, 13).has_value());
}

// The four mask bands against the band rules written out with the reference
// copies, on random masks and geometry.
TEST(BuildMaskBands, MatchesTheBandRulesOnRandomGeometry) {
    std::mt19937 rng(1717);
    for (int round = 0; round < 300; ++round) {
        SCOPED_TRACE(round);
        TBitmapData mask(Between(rng, 1, 30), Between(rng, 1, 30), pf24bit);
        for (int y = 0; y < mask.Height(); ++y) {
            for (int x = 0; x < mask.Width(); ++x) {
                mask.SetPixel(x, y, Between(rng, 0, 2) == 0 ? kWhite : 0);
            }
        }
        const int mw = mask.Width(), mh = mask.Height();
        auto any = [&](int hi) { return Between(rng, -3, hi + 3); };
        const TPartGeometry g{{any(mw), any(mh)},
                              {any(mw), any(mh)},
                              {any(mw), any(mh)},
                              {any(mw), any(mh)},
                              {any(mw), any(mh), any(mw), any(mh)}};
        const int w = Between(rng, 0, 60), h = Between(rng, 0, 60);
        const TPartGeometry n{{any(w), any(h)},
                              {any(w), any(h)},
                              {any(w), any(h)},
                              {any(w), any(h)},
                              {any(w), any(h), any(w), any(h)}};
        TBitmapData top, bottom, left, right;
        BuildMaskBands(mask, g, n, w, h, top, bottom, left, right);

        auto white = [](int bw, int bh) {
            TBitmapData b = test::Black(bw, bh);
            framework::FillRect(b, TRect{0, 0, bw, bh}, kWhite);
            return b;
        };
        const TRect& c = g.client;
        TBitmapData et, eb, el, er;
        // The top band is at most as high as the mask, the left band at
        // most as wide.
        const int th = std::min(c.top, mh);
        if (w >= 1 && th >= 1) {
            et = white(w, th);
            test::RefTile(et, {n.left_top.x, 0, n.right_top.x, th}, mask,
                          {g.left_top.x, 0, g.right_top.x, th}, true, false);
            test::RefCopy(et, 0, 0, mask, 0, 0, g.left_top.x, th);
            test::RefCopy(et, n.right_top.x, 0, mask, g.right_top.x, 0, mw - g.right_top.x, th);
        }
        if (w >= 1 && mh - c.bottom >= 1) {
            const int bh = mh - c.bottom;
            eb = white(w, bh);
            test::RefTile(eb, {n.left_bottom.x, 0, n.right_bottom.x, bh}, mask,
                          {g.left_bottom.x, c.bottom, g.right_bottom.x, mh}, true, false);
            test::RefCopy(eb, 0, 0, mask, 0, c.bottom, g.left_bottom.x, bh);
            test::RefCopy(eb, n.right_bottom.x, 0, mask, g.right_bottom.x, c.bottom,
                          mw - g.right_bottom.x, bh);
        }
        const int band = n.client.Height();
        auto side = [&](TBitmapData& e, int col, int col_end, int mt, int mb) {
            const int bw = col_end - col;
            if (bw < 1 || band < 1) {
                return;
            }
            e = white(bw, band);
            test::RefTile(e, {0, 0, bw, band}, mask, {col, mt, col_end, mb}, false, true);
            test::RefTile(e, {0, 0, bw, mt - c.top}, mask, {col, c.top, col_end, mt}, false, false);
            test::RefTile(e, {0, band - (c.bottom - mb), bw, band}, mask,
                          {col, mb, col_end, c.bottom}, false, false);
        };
        side(el, 0, std::min(c.left, mw), g.left_top.y, g.left_bottom.y);
        side(er, c.right, mw, g.right_top.y, g.right_bottom.y);
        ASSERT_TRUE(test::SamePicture(top, et)) << "top";
        ASSERT_TRUE(test::SamePicture(bottom, eb)) << "bottom";
        ASSERT_TRUE(test::SamePicture(left, el)) << "left";
        ASSERT_TRUE(test::SamePicture(right, er)) << "right";
    }
}

TEST(MaskRuns9, TakesAnyGeometryWithoutReadingOutsideTheMask) {
    const TBitmapData window = MaskFrom(kWindowMask);
    const int extremes[] = {INT_MIN, -5, 0, 3, 12, 40, INT_MAX};
    std::mt19937 rng(77);
    for (int round = 0; round < 300; ++round) {
        auto any = [&] { return extremes[Between(rng, 0, 6)]; };
        auto point = [&] { return TPoint{any(), any()}; };
        const TPartGeometry g{point(), point(), point(), point(), {any(), any(), any(), any()}};
        const TPartGeometry n{point(), point(), point(), point(), {any(), any(), any(), any()}};
        std::optional<std::vector<TMaskRuns>> parts;
        ASSERT_NO_THROW(parts = MaskRuns9(window, g, n, Between(rng, 0, 50), Between(rng, 0, 50)));
        if (parts) {
            EXPECT_EQ(parts->size(), 5u);
        }
    }
}

// The thickness of the top and left bands comes from the skin's mask area:
// the bands stop at the mask, whose rows and columns beyond could only be
// outside the window. The region is the same as for an area that ends at
// the mask's edge.
TEST(BuildMaskBands, BandsFromTheMaskAreaStopAtTheMask) {
    const TBitmapData window = MaskFrom(kWindowMask);
    for (const int far : {13, 30000, 1000000, INT_MAX}) {
        SCOPED_TRACE(far);
        TPartGeometry from = kWindowGeometry;
        from.client.top = far;
        from.client.left = far;
        TPartGeometry edge = kWindowGeometry;
        edge.client.top = 10;
        edge.client.left = 12;
        const TPartGeometry to = MovedTo(20, 13);
        TBitmapData top, bottom, left, right;
        ASSERT_NO_THROW(BuildMaskBands(window, from, to, 20, 13, top, bottom, left, right));
        EXPECT_EQ(top.Width(), 20);
        EXPECT_EQ(top.Height(), 10);
        EXPECT_EQ(left.Width(), 12);
        EXPECT_EQ(left.Height(), to.client.Height());
        const auto parts = MaskRuns9(window, from, to, 20, 13);
        const auto parts_at_edge = MaskRuns9(window, edge, to, 20, 13);
        ASSERT_TRUE(parts.has_value() && parts_at_edge.has_value());
        EXPECT_EQ(Covered(AllRectangles(*parts), 20, 13),
                  Covered(AllRectangles(*parts_at_edge), 20, 13));
    }
}

}  // namespace
}  // namespace skin
