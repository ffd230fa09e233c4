#include "skin/data/picture.h"

#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <vector>

#include "framework/bitmap_ops.h"
#include "picture_test_util.h"
#include "skin/data/picture_detail.h"

namespace skin {
namespace {

using framework::MakeColor;
using framework::pf24bit;
using framework::pf8bit;
using test::Between;
using test::Black;
using test::Coded;
using test::RefCopy;
using test::RefTile;
using test::SamePicture;

// The source picture of most cases: a coded 60 x 30 picture with the piece
// at (5, 3), so that every test also proves the piece's offset is used.
const TRect kButton{5, 3, 54, 28};  // 49 x 25, the updater's button piece

// The expected picture as a list of 1:1 copies of piece columns:
// {target column, piece column, width}, on every row of the piece.
struct Columns {
    int to, from, width;
};
TBitmapData FromColumns(const TBitmapData& source, const TRect& piece, int width,
                        std::initializer_list<Columns> parts) {
    TBitmapData expected = Black(width, piece.Height());
    for (const Columns& c : parts) {
        RefCopy(expected, c.to, 0, source, piece.left + c.from, piece.top, c.width, piece.Height());
    }
    return expected;
}

// --- three-part images ----------------------------------------------------------

TEST(BuildPartImage3H, ButtonAt75TilesTheMiddleTwiceAndCutsTheSecondCopy) {
    const TBitmapData source = Coded(60, 30);
    TBitmapData target;
    BuildPartImage3H(source, kButton, 8, 10, 75, target);
    EXPECT_EQ(target.PixelFormat(), pf24bit);
    // Fixed parts at 0..8 and 65..75; the 31-pixel middle at 8 and at 39, the
    // second copy cut to 26 pixels.
    EXPECT_TRUE(SamePicture(
        target,
        FromColumns(source, kButton, 75, {{0, 0, 8}, {8, 8, 31}, {39, 8, 26}, {65, 39, 10}})));
    EXPECT_EQ(target.Pixel(39, 0), source.Pixel(kButton.left + 8, kButton.top));
    EXPECT_EQ(target.Pixel(64, 24), source.Pixel(kButton.left + 33, kButton.top + 24));
}

TEST(BuildPartImage3H, ButtonAtExactlyLeftPlusRightShowsNoMiddle) {
    const TBitmapData source = Coded(60, 30);
    TBitmapData target;
    BuildPartImage3H(source, kButton, 8, 10, 18, target);
    EXPECT_TRUE(SamePicture(target, FromColumns(source, kButton, 18, {{0, 0, 8}, {8, 39, 10}})));
}

TEST(BuildPartImage3H, NarrowerThanBothEndsDrawsTheRightEndOverTheLeft) {
    const TBitmapData source = Coded(60, 30);
    TBitmapData target;
    BuildPartImage3H(source, kButton, 8, 10, 12, target);
    EXPECT_TRUE(SamePicture(target, FromColumns(source, kButton, 12, {{0, 0, 2}, {2, 39, 10}})));
    BuildPartImage3H(source, kButton, 8, 10, 0, target);
    EXPECT_EQ(target.Width(), 0);
    EXPECT_EQ(target.Height(), 25);
}

TEST(BuildPartImage3H, MiddleOfLengthZeroDrawsNoMiddle) {
    const TBitmapData source = Coded(60, 30);
    TBitmapData target;
    BuildPartImage3H(source, kButton, 20, 29, 75, target);
    TBitmapData expected = FromColumns(source, kButton, 75, {{0, 0, 20}, {46, 20, 29}});
    EXPECT_TRUE(SamePicture(target, expected));
    // Ends that overlap in the piece: the middle would be negative.
    BuildPartImage3H(source, kButton, 30, 30, 75, target);
    expected = FromColumns(source, kButton, 75, {{0, 0, 30}, {45, 19, 30}});
    EXPECT_TRUE(SamePicture(target, expected));
}

TEST(BuildPartImageLeft, TilesTheMiddleToTheRightEdge) {
    const TBitmapData source = Coded(60, 30);
    TBitmapData target;
    BuildPartImageLeft(source, kButton, 8, 10, 75, target);
    EXPECT_TRUE(SamePicture(target, FromColumns(source, kButton, 75,
                                                {{0, 0, 8}, {8, 8, 31}, {39, 8, 31}, {70, 8, 5}})));
}

TEST(BuildPartImage3V, TilesAlongTheHeight) {
    // The button piece turned on its side: 25 x 49, top 8, bottom 10.
    const TBitmapData source = Coded(30, 60);
    const TRect piece{3, 5, 28, 54};
    TBitmapData target;
    BuildPartImage3V(source, piece, 8, 10, 75, target);
    TBitmapData expected = Black(25, 75);
    for (const Columns& c : {Columns{0, 0, 8}, {8, 8, 31}, {39, 8, 26}, {65, 39, 10}}) {
        RefCopy(expected, 0, c.to, source, piece.left, piece.top + c.from, 25, c.width);
    }
    EXPECT_TRUE(SamePicture(target, expected));
}

// The three-part builders against the reference on random pieces, ends and
// widths, pieces partly outside the picture included.
TEST(BuildPartImage3, MatchesTheTilingRuleOnRandomGeometry) {
    std::mt19937 rng(3303);
    for (int round = 0; round < 300; ++round) {
        SCOPED_TRACE(round);
        const TBitmapData source = Coded(Between(rng, 1, 40), Between(rng, 1, 30));
        // Even rounds: a piece inside the picture with ends inside the piece
        // (the usual case); odd rounds: anything.
        const bool usual = round % 2 == 0;
        TRect piece;
        if (usual) {
            piece.left = Between(rng, 0, source.Width() - 1);
            piece.top = Between(rng, 0, source.Height() - 1);
            piece.right = Between(rng, piece.left + 1, source.Width());
            piece.bottom = Between(rng, piece.top + 1, source.Height());
        } else {
            piece =
                TRect::Bounds(Between(rng, -5, source.Width()), Between(rng, -5, source.Height()),
                              Between(rng, 0, 45), Between(rng, 0, 35));
        }
        const int a = usual ? Between(rng, 0, piece.Width()) : Between(rng, -2, piece.Width() + 2);
        const int b =
            usual ? Between(rng, 0, piece.Width() - a) : Between(rng, -2, piece.Width() + 2);
        const int size = Between(rng, -2, 120);
        const int l = std::max(a, 0), r = std::max(b, 0);
        // The side that comes from the piece stops at the picture.
        const int ph = std::min(piece.Height(), source.Height());
        const int pw = std::min(piece.Width(), source.Width());

        // A target that already has the size and old pixels must come out
        // the same as a new one.
        TBitmapData target = usual ? Coded(std::max(size, 0), piece.Height()) : TBitmapData();
        BuildPartImage3H(source, piece, a, b, size, target);
        TBitmapData expected = Black(size, ph);
        RefTile(expected, TRect{0, 0, l, piece.Height()}, source,
                TRect{piece.left, piece.top, piece.left + l, piece.bottom}, false, false);
        RefTile(expected, TRect{size - r, 0, size, piece.Height()}, source,
                TRect{piece.right - r, piece.top, piece.right, piece.bottom}, false, false);
        RefTile(expected, TRect{l, 0, size - r, piece.Height()}, source,
                TRect{piece.left + l, piece.top, piece.right - r, piece.bottom}, true, false);
        ASSERT_TRUE(SamePicture(target, expected)) << "3H";

        target = usual ? Coded(std::max(size, 0), piece.Height()) : TBitmapData();
        BuildPartImageLeft(source, piece, a, b, size, target);
        expected = Black(size, ph);
        RefTile(expected, TRect{0, 0, l, piece.Height()}, source,
                TRect{piece.left, piece.top, piece.left + l, piece.bottom}, false, false);
        RefTile(expected, TRect{l, 0, size, piece.Height()}, source,
                TRect{piece.left + l, piece.top, piece.right - r, piece.bottom}, true, false);
        ASSERT_TRUE(SamePicture(target, expected)) << "Left";

        const int t = std::max(a, 0), bt = std::max(b, 0);
        BuildPartImage3V(source, piece, a, b, size, target);
        expected = Black(pw, size);
        RefTile(expected, TRect{0, 0, piece.Width(), t}, source,
                TRect{piece.left, piece.top, piece.right, piece.top + t}, false, false);
        RefTile(expected, TRect{0, size - bt, piece.Width(), size}, source,
                TRect{piece.left, piece.bottom - bt, piece.right, piece.bottom}, false, false);
        RefTile(expected, TRect{0, t, piece.Width(), size - bt}, source,
                TRect{piece.left, piece.top + t, piece.right, piece.bottom - bt}, false, true);
        ASSERT_TRUE(SamePicture(target, expected)) << "3V";
    }
}

// --- nine-part images -------------------------------------------------------------

// A 6 x 6 piece with 2-pixel corners and a 2 x 2 client part, and the same
// geometry moved to a target of w x h.
TPartGeometry SmallGeometry() {
    return TPartGeometry{{2, 2}, {4, 2}, {2, 4}, {4, 4}, {2, 2, 4, 4}};
}
TPartGeometry Moved(const TPartGeometry& g, int sw, int sh, int w, int h) {
    const int dx = w - sw, dy = h - sh;
    return TPartGeometry{g.left_top,
                         {g.right_top.x + dx, g.right_top.y},
                         {g.left_bottom.x, g.left_bottom.y + dy},
                         {g.right_bottom.x + dx, g.right_bottom.y + dy},
                         {g.client.left, g.client.top, g.client.right + dx, g.client.bottom + dy}};
}

TEST(BuildPartImage9, KeepsCornersAndTilesBandsAndCentre) {
    const TBitmapData source = Coded(20, 20);
    const TRect piece{7, 4, 13, 10};
    TBitmapData target;
    BuildPartImage9(source, piece, SmallGeometry(), Moved(SmallGeometry(), 6, 6, 9, 8), 9, 8, true,
                    target);
    // Piece column for each target column, piece row for each target row.
    const int columns[9] = {0, 1, 2, 3, 2, 3, 2, 4, 5};
    const int rows[8] = {0, 1, 2, 3, 2, 3, 4, 5};
    ASSERT_EQ(target.Width(), 9);
    ASSERT_EQ(target.Height(), 8);
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 9; ++x) {
            ASSERT_EQ(target.Pixel(x, y),
                      source.Pixel(piece.left + columns[x], piece.top + rows[y]))
                << x << "," << y;
        }
    }
    // Without the centre the moved client rectangle stays black.
    BuildPartImage9(source, piece, SmallGeometry(), Moved(SmallGeometry(), 6, 6, 9, 8), 9, 8, false,
                    target);
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 9; ++x) {
            const bool centre = x >= 2 && x < 7 && y >= 2 && y < 6;
            ASSERT_EQ(target.Pixel(x, y),
                      centre ? 0 : source.Pixel(piece.left + columns[x], piece.top + rows[y]))
                << x << "," << y;
        }
    }
}

TEST(BuildPartImage9, EmptySourceOrCollapsedCornersGiveABlackPictureOfTheSize) {
    const TBitmapData source = Coded(20, 20);
    const TPartGeometry g = SmallGeometry();
    const TPartGeometry n = Moved(g, 6, 6, 30, 12);
    TBitmapData target;
    BuildPartImage9(TBitmapData(), TRect{0, 0, 6, 6}, g, n, 30, 12, true, target);
    EXPECT_TRUE(SamePicture(target, Black(30, 12)));
    BuildPartImage9(source, TRect{3, 3, 3, 9}, g, n, 30, 12, true, target);
    EXPECT_TRUE(SamePicture(target, Black(30, 12)));
    TPartGeometry collapsed = g;
    collapsed.right_bottom.x = collapsed.left_top.x;
    BuildPartImage9(source, TRect{0, 0, 6, 6}, collapsed, n, 30, 12, true, target);
    EXPECT_TRUE(SamePicture(target, Black(30, 12)));
}

// Bands of length 0 and an empty client rectangle with the centre drawn are
// left out; the rest is drawn.
TEST(BuildPartImage9, SkipsPartsOfLengthZero) {
    const TBitmapData source = Coded(20, 20);
    const TRect piece{0, 0, 6, 6};
    TPartGeometry g = SmallGeometry();
    g.right_top.x = g.left_top.x;  // top band piece of width 0
    g.client = TRect{2, 2, 2, 4};  // empty client rectangle
    const TPartGeometry n = Moved(g, 6, 6, 11, 9);
    TBitmapData target;
    BuildPartImage9(source, piece, g, n, 11, 9, true, target);
    // The top band's place (columns 2..7 of rows 0..1) stays black; the
    // corners are drawn.
    EXPECT_EQ(target.Pixel(4, 0), 0u);
    EXPECT_EQ(target.Pixel(0, 0), source.Pixel(0, 0));
    EXPECT_EQ(target.Pixel(10, 8), source.Pixel(5, 5));
}

// A random source, piece and nine-part geometry. Sane cases have ordered
// corner points inside the piece and a target geometry moved as the
// controls move it; wild cases take any values, outside the piece and the
// picture included.
struct NineCase {
    TBitmapData source;
    TRect piece;
    TPartGeometry from, to;
    int width = 0, height = 0;
};

NineCase RandomNineCase(std::mt19937& rng, bool wild) {
    NineCase c;
    c.source = Coded(Between(rng, 1, 40), Between(rng, 1, 40));
    if (Between(rng, 0, 4) == 0) {
        c.source.ConvertTo(pf8bit);  // an indexed source is read through its palette
    }
    c.piece = TRect::Bounds(Between(rng, -4, c.source.Width() - 1),
                            Between(rng, -4, c.source.Height() - 1), Between(rng, 0, 44),
                            Between(rng, 0, 44));
    const int sw = c.piece.Width(), sh = c.piece.Height();
    c.width = Between(rng, 0, 90);
    c.height = Between(rng, 0, 90);
    auto any = [&] { return Between(rng, -8, 60); };
    auto point = [&] { return TPoint{any(), any()}; };
    if (wild) {
        c.from =
            TPartGeometry{point(), point(), point(), point(), TRect{any(), any(), any(), any()}};
        c.to = TPartGeometry{point(), point(), point(), point(), TRect{any(), any(), any(), any()}};
        return c;
    }
    TRect client;
    client.left = Between(rng, 0, sw / 2);
    client.right = Between(rng, client.left, sw);
    client.top = Between(rng, 0, sh / 2);
    client.bottom = Between(rng, client.top, sh);
    auto x = [&](int lo) { return Between(rng, lo, sw); };
    auto y = [&](int lo) { return Between(rng, lo, sh); };
    TPartGeometry g;
    g.left_top = {x(0), y(0)};
    g.right_top = {x(g.left_top.x), y(0)};
    g.left_bottom = {x(0), y(g.left_top.y)};
    g.right_bottom = {x(g.left_bottom.x), y(g.right_top.y)};
    g.client = client;
    c.from = g;
    c.to = Moved(g, sw, sh, c.width, c.height);
    return c;
}

// BuildPartImage9 and BuildPartImage9Stretch written from their steps with
// the reference copies.
void RefStretch(TBitmapData& t, const TRect& to, const TBitmapData& s, const TRect& from) {
    if (to.IsEmpty() || from.IsEmpty()) {
        return;
    }
    for (int v = 0; v < to.Height(); ++v) {
        for (int u = 0; u < to.Width(); ++u) {
            const int sx = from.left + (2 * u + 1) * from.Width() / (2 * to.Width());
            const int sy = from.top + (2 * v + 1) * from.Height() / (2 * to.Height());
            RefCopy(t, to.left + u, to.top + v, s, sx, sy, 1, 1);
        }
    }
}

TBitmapData RefBuild9(const NineCase& c, bool centre, const TBandStretch& stretch) {
    TBitmapData t = Black(c.width, c.height);
    const TRect& s = c.piece;
    const TPartGeometry& g = c.from;
    const TPartGeometry& n = c.to;
    if (g.right_bottom.x == g.left_top.x || g.right_bottom.y == g.left_top.y || c.source.Empty() ||
        s.IsEmpty()) {
        return t;
    }
    const int sw = s.Width(), sh = s.Height(), w = c.width, h = c.height;
    const TRect &cl = g.client, &nc = n.client;
    auto part = [&](int l, int tp, int r, int b) {
        return TRect{l + s.left, tp + s.top, r + s.left, b + s.top};
    };
    auto band = [&](TRect to, TRect from, bool across, bool stretched) {
        if (stretched) {
            RefStretch(t, to, c.source, from);
        } else {
            RefTile(t, to, c.source, from, across, !across);
        }
    };
    auto fixed = [&](TRect to, TRect from) { RefTile(t, to, c.source, from, false, false); };
    band({n.left_top.x, 0, n.right_top.x, nc.top}, part(g.left_top.x, 0, g.right_top.x, cl.top),
         true, stretch.top);
    band({n.left_bottom.x, nc.bottom, n.right_bottom.x, h},
         part(g.left_bottom.x, cl.bottom, g.right_bottom.x, sh), true, stretch.bottom);
    band({0, n.left_top.y, nc.left, n.left_bottom.y},
         part(0, g.left_top.y, cl.left, g.left_bottom.y), false, stretch.left);
    band({nc.right, n.right_top.y, w, n.right_bottom.y},
         part(cl.right, g.right_top.y, sw, g.right_bottom.y), false, stretch.right);
    fixed({0, 0, n.left_top.x, nc.top}, part(0, 0, g.left_top.x, cl.top));
    fixed({0, nc.top, nc.left, n.left_top.y}, part(0, cl.top, cl.left, g.left_top.y));
    fixed({n.right_top.x, 0, w, nc.top}, part(g.right_top.x, 0, sw, cl.top));
    fixed({nc.right, nc.top, w, n.right_top.y}, part(cl.right, cl.top, sw, g.right_top.y));
    fixed({0, n.left_bottom.y, nc.left, h}, part(0, g.left_bottom.y, cl.left, sh));
    fixed({nc.left, nc.bottom, n.left_bottom.x, h}, part(cl.left, cl.bottom, g.left_bottom.x, sh));
    fixed({n.right_bottom.x, nc.bottom, w, h}, part(g.right_bottom.x, cl.bottom, sw, sh));
    fixed({nc.right, n.right_bottom.y, w, nc.bottom},
          part(cl.right, g.right_bottom.y, sw, cl.bottom));
    if (centre) {
        RefTile(t, nc, c.source, part(cl.left, cl.top, cl.right, cl.bottom), true, true);
    }
    return t;
}

TEST(BuildPartImage9, MatchesTheTilingRuleOnRandomGeometry) {
    for (const bool wild : {false, true}) {
        std::mt19937 rng(wild ? 909 : 9);
        for (int round = 0; round < 300; ++round) {
            SCOPED_TRACE(testing::Message() << (wild ? "wild " : "sane ") << round);
            const NineCase c = RandomNineCase(rng, wild);
            const bool centre = Between(rng, 0, 3) != 0;
            TBitmapData target;
            BuildPartImage9(c.source, c.piece, c.from, c.to, c.width, c.height, centre, target);
            ASSERT_TRUE(SamePicture(target, RefBuild9(c, centre, TBandStretch{})));
        }
    }
}

TEST(BuildPartImage9Stretch, MatchesStretchedBandsOnRandomGeometry) {
    std::mt19937 rng(99);
    for (int round = 0; round < 300; ++round) {
        SCOPED_TRACE(round);
        const NineCase c = RandomNineCase(rng, round % 4 == 3);
        const TBandStretch stretch{Between(rng, 0, 1) == 1, Between(rng, 0, 1) == 1,
                                   Between(rng, 0, 1) == 1, Between(rng, 0, 1) == 1};
        TBitmapData target;
        BuildPartImage9Stretch(c.source, c.piece, c.from, c.to, c.width, c.height, true, stretch,
                               target);
        ASSERT_TRUE(SamePicture(target, RefBuild9(c, true, stretch)));
    }
}

TEST(BuildPartImage9Stretch, StretchesABandOverItsPlace) {
    const TBitmapData source = Coded(6, 6);
    const TPartGeometry g = SmallGeometry();
    TBitmapData target;
    BuildPartImage9Stretch(source, TRect{0, 0, 6, 6}, g, Moved(g, 6, 6, 12, 6), 12, 6, false,
                           TBandStretch{false, false, true, false}, target);
    // The 2-column top middle over columns 2..9: four columns each.
    for (int x = 2; x < 10; ++x) {
        EXPECT_EQ(target.Pixel(x, 1), source.Pixel(x < 6 ? 2 : 3, 1)) << x;
    }
}

// --- frame bands --------------------------------------------------------------------

struct Bands {
    TBitmapData top, bottom, left, right;
};

Bands RefFrameBands(const NineCase& c, const TBandStretch& st) {
    Bands out;
    const TRect& s = c.piece;
    const TPartGeometry &g = c.from, &n = c.to;
    const int sw = s.Width(), sh = s.Height(), w = c.width, h = c.height;
    const TRect &cl = g.client, &nc = n.client;
    auto part = [&](int l, int tp, int r, int b) {
        return TRect{l + s.left, tp + s.top, r + s.left, b + s.top};
    };
    auto fixed = [&](TBitmapData& t, TRect to, TRect from) {
        RefTile(t, to, c.source, from, false, false);
    };
    // Top: W x NC.top. No band is thicker than the picture.
    const int src_w = c.source.Width(), src_h = c.source.Height();
    if (w >= 1 && std::min(nc.top, src_h) >= 1 && g.right_top.x - g.left_top.x >= 1) {
        out.top = Black(w, std::min(nc.top, src_h));
        const TRect mid = part(g.left_top.x, 0, g.right_top.x, cl.top);
        if (st.top) {
            RefStretch(out.top, {n.left_top.x, 0, n.right_top.x, nc.top}, c.source, mid);
        } else {
            RefTile(out.top, {0, 0, w, nc.top}, c.source, mid, true, false);
        }
        fixed(out.top, {0, 0, n.left_top.x, nc.top}, part(0, 0, g.left_top.x, cl.top));
        fixed(out.top, {n.right_top.x, 0, w, nc.top}, part(g.right_top.x, 0, sw, cl.top));
    }
    // Bottom: W x (H - NC.bottom).
    const int bh = h - nc.bottom;
    if (w >= 1 && std::min(bh, src_h) >= 1 && g.right_bottom.x - g.left_bottom.x >= 1) {
        out.bottom = Black(w, std::min(bh, src_h));
        const TRect mid = part(g.left_bottom.x, cl.bottom, g.right_bottom.x, sh);
        if (st.bottom) {
            RefStretch(out.bottom, {n.left_bottom.x, 0, n.right_bottom.x, bh}, c.source, mid);
        } else {
            RefTile(out.bottom, {0, 0, w, bh}, c.source, mid, true, false);
        }
        fixed(out.bottom, {0, 0, n.left_bottom.x, bh}, part(0, cl.bottom, g.left_bottom.x, sh));
        fixed(out.bottom, {n.right_bottom.x, 0, w, bh}, part(g.right_bottom.x, cl.bottom, sw, sh));
    }
    // Left and right: NC height, between the top and the bottom band.
    const int band = h - nc.top - bh;
    auto side = [&](TBitmapData& t, int bw, int col, int col_end, int mt, int mb, bool stretched) {
        if (std::min(bw, src_w) < 1 || band < 1 || mb - mt < 1) {
            return;
        }
        t = Black(std::min(bw, src_w), band);
        const TRect mid = part(col, mt, col_end, mb);
        if (stretched) {
            RefStretch(t, {0, mt - cl.top, bw, band + mb - cl.bottom}, c.source, mid);
        } else {
            RefTile(t, {0, 0, bw, band}, c.source, mid, false, true);
        }
        fixed(t, {0, 0, bw, mt - cl.top}, part(col, cl.top, col_end, mt));
        fixed(t, {0, band - (cl.bottom - mb), bw, band}, part(col, mb, col_end, cl.bottom));
    };
    side(out.left, nc.left, 0, cl.left, g.left_top.y, g.left_bottom.y, st.left);
    side(out.right, w - nc.right, cl.right, sw, g.right_top.y, g.right_bottom.y, st.right);
    return out;
}

TEST(BuildFrameBands, MatchesTheBandRulesOnRandomGeometry) {
    std::mt19937 rng(5101);
    for (int round = 0; round < 300; ++round) {
        SCOPED_TRACE(round);
        const NineCase c = RandomNineCase(rng, round % 4 == 3);
        const TBandStretch stretch{Between(rng, 0, 1) == 1, Between(rng, 0, 1) == 1,
                                   Between(rng, 0, 1) == 1, Between(rng, 0, 1) == 1};
        Bands actual;
        // Start from pictures with content: bands that are not built must
        // come back empty.
        actual.top = actual.bottom = actual.left = actual.right = Coded(3, 3);
        BuildFrameBands(c.source, c.piece, c.from, c.to, c.width, c.height, stretch, actual.top,
                        actual.bottom, actual.left, actual.right);
        const Bands expected = RefFrameBands(c, stretch);
        ASSERT_TRUE(SamePicture(actual.top, expected.top)) << "top";
        ASSERT_TRUE(SamePicture(actual.bottom, expected.bottom)) << "bottom";
        ASSERT_TRUE(SamePicture(actual.left, expected.left)) << "left";
        ASSERT_TRUE(SamePicture(actual.right, expected.right)) << "right";
    }
}

TEST(BuildFrameBands, SizesEachBandFromTheMovedClientRectangle) {
    // A 40 x 30 frame piece with a 4-pixel border, a 20-pixel caption, and a
    // window of 100 x 70.
    const TBitmapData source = Coded(40, 30);
    const TPartGeometry g{{10, 20}, {30, 20}, {10, 26}, {30, 26}, {4, 20, 36, 26}};
    const TPartGeometry n = Moved(g, 40, 30, 100, 70);
    Bands b;
    BuildFrameBands(source, TRect{0, 0, 40, 30}, g, n, 100, 70, TBandStretch{}, b.top, b.bottom,
                    b.left, b.right);
    EXPECT_EQ(b.top.Width(), 100);
    EXPECT_EQ(b.top.Height(), 20);
    EXPECT_EQ(b.bottom.Width(), 100);
    EXPECT_EQ(b.bottom.Height(), 4);
    EXPECT_EQ(b.left.Width(), 4);
    EXPECT_EQ(b.left.Height(), 46);
    EXPECT_EQ(b.right.Width(), 4);
    EXPECT_EQ(b.right.Height(), 46);
    // The caption's middle (columns 10..29) is repeated from column 0, then
    // the corners cover columns 0..9 and 90..99.
    EXPECT_EQ(b.top.Pixel(9, 5), source.Pixel(9, 5));
    EXPECT_EQ(b.top.Pixel(10, 5), source.Pixel(20, 5));  // 10 = 0 + 20: the second copy
    EXPECT_EQ(b.top.Pixel(89, 5), source.Pixel(19, 5));  // 89 = 4 * 20 + 9
    EXPECT_EQ(b.top.Pixel(90, 5), source.Pixel(30, 5));
    // The side bands: their middle (rows 20..25 of the piece) from row 0.
    EXPECT_EQ(b.left.Pixel(1, 0), source.Pixel(1, 20));
    EXPECT_EQ(b.right.Pixel(2, 45), source.Pixel(38, 23));  // 45 = 7 * 6 + 3
}

// --- tiled images, glyph strips, TilePiece --------------------------------------------

TEST(BuildTiledImage, CoversTheAreaWithCopiesFromTheTopLeft) {
    const TBitmapData source = Coded(10, 10);
    const TRect piece{4, 5, 7, 7};
    TBitmapData target;
    BuildTiledImage(source, piece, 7, 5, target);
    ASSERT_EQ(target.Width(), 7);
    ASSERT_EQ(target.Height(), 5);
    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 7; ++x) {
            ASSERT_EQ(target.Pixel(x, y), source.Pixel(4 + x % 3, 5 + y % 2)) << x << "," << y;
        }
    }
}

TEST(TilePiece, ConvertsAnIndexedTargetAndDrawsOnlyInsideTheArea) {
    const TBitmapData source = Coded(10, 10);
    TBitmapData target(8, 8, pf8bit);
    TilePiece(target, TRect{-3, 2, 5, 4}, source, TRect{0, 0, 3, 3}, true, false);
    EXPECT_EQ(target.PixelFormat(), pf24bit);
    TBitmapData expected = Black(8, 8);
    RefTile(expected, TRect{-3, 2, 5, 4}, source, TRect{0, 0, 3, 3}, true, false);
    EXPECT_TRUE(SamePicture(target, expected));
}

TEST(DrawStripGlyph, DrawsTheChosenGlyphWithoutItsBackground) {
    constexpr TColor kKey = MakeColor(255, 0, 255), kInk = MakeColor(0, 0, 128),
                     kOther = MakeColor(0, 200, 0), kCanvas = MakeColor(90, 90, 90);
    // Three glyphs of 4 x 3 on a magenta key; glyph 3's own bottom-left pixel
    // is green, so green is its transparent colour and magenta is drawn.
    TBitmapData strip(12, 3, pf24bit);
    framework::FillRect(strip, TRect{0, 0, 12, 3}, kKey);
    strip.SetPixel(5, 1, kInk);
    strip.SetPixel(6, 0, kInk);
    strip.SetPixel(8, 2, kOther);
    strip.SetPixel(9, 1, kOther);
    TBitmapData canvas(10, 10, pf24bit);
    framework::FillRect(canvas, TRect{0, 0, 10, 10}, kCanvas);

    DrawStripGlyph(canvas, 3, 4, 2, 3, strip);
    EXPECT_EQ(test::Render(canvas, kInk),
              (std::vector<std::string>{"..........", "..........", "..........", "..........",
                                        ".....#....", "....#.....", "..........", "..........",
                                        "..........", ".........."}));
    EXPECT_EQ(canvas.Pixel(3, 6), kCanvas);  // the key colour left the canvas alone

    framework::FillRect(canvas, TRect{0, 0, 10, 10}, kCanvas);
    DrawStripGlyph(canvas, 0, 0, 3, 3, strip);
    EXPECT_EQ(canvas.Pixel(0, 2), kCanvas);  // green: transparent here
    EXPECT_EQ(canvas.Pixel(1, 1), kCanvas);
    EXPECT_EQ(canvas.Pixel(0, 0), kKey);  // magenta is drawn in this glyph
}

TEST(DrawStripGlyph, DrawsNothingForAGlyphThatDoesNotExist) {
    const TBitmapData strip = Coded(12, 3);
    TBitmapData canvas(10, 10, pf24bit);
    const TBitmapData before = canvas;
    DrawStripGlyph(canvas, 0, 0, 0, 3, strip);
    DrawStripGlyph(canvas, 0, 0, 4, 3, strip);
    DrawStripGlyph(canvas, 0, 0, 1, 0, strip);
    DrawStripGlyph(canvas, 0, 0, 1, 13, strip);  // glyphs narrower than a pixel
    DrawStripGlyph(canvas, 0, 0, 1, 1, TBitmapData());
    EXPECT_TRUE(SamePicture(canvas, before));
    // Far outside the canvas: clipped away.
    DrawStripGlyph(canvas, INT_MAX, INT_MIN, 1, 3, strip);
    EXPECT_TRUE(SamePicture(canvas, before));
}

// --- the copy core ------------------------------------------------------------------

TEST(PictureCopyCore, CopiesExactlyTheBytesAskedFor) {
    std::vector<uint8_t> from(320), to(340);
    for (size_t i = 0; i < from.size(); ++i) {
        from[i] = static_cast<uint8_t>(i * 7 + 1);
    }
    for (size_t n = 0; n <= 300; ++n) {
        std::fill(to.begin(), to.end(), 0xEE);
        detail::CopyBytes(to.data() + 10, from.data() + 3, n);
        for (size_t i = 0; i < to.size(); ++i) {
            const uint8_t want = i >= 10 && i < 10 + n ? from[i - 10 + 3] : 0xEE;
            ASSERT_EQ(to[i], want) << "n " << n << " byte " << i;
        }
    }
}

TEST(PictureCopyCore, DoublingRepeatsThePattern) {
    for (size_t period = 1; period <= 20; ++period) {
        for (size_t span = period; span <= 100; span += 7) {
            std::vector<uint8_t> row(110, 0xEE);
            for (size_t i = 0; i < period; ++i) {
                row[2 + i] = static_cast<uint8_t>(i + 1);
            }
            detail::FillByDoubling(row.data() + 2, period, span);
            for (size_t i = 0; i < row.size(); ++i) {
                const uint8_t want =
                    i >= 2 && i < 2 + span ? static_cast<uint8_t>((i - 2) % period + 1) : 0xEE;
                ASSERT_EQ(row[i], want) << period << " " << span << " " << i;
            }
        }
    }
}

// --- outside input ------------------------------------------------------------------

// Geometry from a skin file may be anything. The builders draw what lies
// inside the pictures (the sanitizers check that nothing else is touched),
// never fail, and make no side taken from the geometry longer than the
// picture it is cut from.
TEST(PictureBuilders, TakeAnyGeometryWithoutReadingOutsideAPicture) {
    const TBitmapData source = Coded(8, 8);
    const int extremes[] = {INT_MIN, -100000000, -1, 0, 1, 7, 8, 100000000, INT_MAX};
    std::mt19937 rng(4242);
    for (int round = 0; round < 400; ++round) {
        auto any = [&] { return extremes[Between(rng, 0, 8)]; };
        auto point = [&] { return TPoint{any(), any()}; };
        const TRect piece{any(), any(), any(), any()};
        const TPartGeometry g{point(), point(), point(), point(), {any(), any(), any(), any()}};
        const TPartGeometry n{point(), point(), point(), point(), {any(), any(), any(), any()}};
        const int w = Between(rng, -5, 40), h = Between(rng, -5, 40);
        const int l = any(), r = any();
        TBitmapData target, top, bottom, left, right;
        // The nine-part images and the tiled image have the size asked for.
        ASSERT_NO_THROW(BuildPartImage9(source, piece, g, n, w, h, true, target));
        EXPECT_EQ(target.Width(), std::max(w, 0));
        EXPECT_EQ(target.Height(), std::max(h, 0));
        ASSERT_NO_THROW(BuildPartImage9Stretch(source, piece, g, n, w, h, true,
                                               TBandStretch{true, true, true, true}, target));
        EXPECT_EQ(target.Width(), std::max(w, 0));
        ASSERT_NO_THROW(BuildTiledImage(source, piece, w, h, target));
        EXPECT_EQ(target.Height(), std::max(h, 0));
        // The band thicknesses and the three-part images' other side come
        // from the geometry: at most the picture's.
        ASSERT_NO_THROW(BuildFrameBands(source, piece, g, n, w, h,
                                        TBandStretch{true, false, true, false}, top, bottom, left,
                                        right));
        EXPECT_LE(top.Height(), 8);
        EXPECT_LE(bottom.Height(), 8);
        EXPECT_LE(left.Width(), 8);
        EXPECT_LE(right.Width(), 8);
        ASSERT_NO_THROW(BuildPartImage3H(source, piece, l, r, w, target));
        EXPECT_LE(target.Height(), 8);
        ASSERT_NO_THROW(BuildPartImage3V(source, piece, l, r, h, target));
        EXPECT_LE(target.Width(), 8);
        ASSERT_NO_THROW(BuildPartImageLeft(source, piece, l, r, w, target));
        EXPECT_LE(target.Height(), 8);
    }
}

// A side that comes from the skin's geometry is cut at the picture's side:
// the rows or columns beyond it could only be black.
TEST(PictureBuilders, SidesFromTheGeometryStopAtThePicture) {
    const TBitmapData source = Coded(40, 30);
    constexpr int kFar = 5000000;
    TBitmapData target;
    BuildPartImage3H(source, TRect{0, 0, 40, kFar}, 8, 10, 75, target);
    EXPECT_EQ(target.Width(), 75);
    EXPECT_EQ(target.Height(), 30);
    EXPECT_EQ(target.Pixel(3, 29), source.Pixel(3, 29));
    BuildPartImage3V(source, TRect{0, 0, kFar, 30}, 8, 10, 75, target);
    EXPECT_EQ(target.Width(), 40);
    EXPECT_EQ(target.Height(), 75);
    BuildPartImageLeft(source, TRect{0, 0, 40, kFar}, 8, 10, 75, target);
    EXPECT_EQ(target.Height(), 30);

    // A frame whose client rectangle lies far inside: each band is at most
    // as thick as the picture, the side bands as long as the window asks.
    const TPartGeometry g{
        {10, kFar}, {30, kFar}, {10, kFar + 6}, {30, kFar + 6}, {kFar, kFar, kFar + 2, kFar + 6}};
    const TPartGeometry n{
        {10, kFar}, {90, kFar}, {10, kFar + 6}, {90, kFar + 6}, {kFar, kFar, kFar + 2, kFar + 46}};
    TBitmapData top, bottom, left, right;
    BuildFrameBands(source, TRect{0, 0, 40, 30}, g, n, 100, 2 * kFar, TBandStretch{}, top, bottom,
                    left, right);
    EXPECT_EQ(top.Width(), 100);
    EXPECT_EQ(top.Height(), 30);
    EXPECT_EQ(bottom.Height(), 30);
    EXPECT_EQ(left.Width(), 40);
    EXPECT_EQ(left.Height(), 46);
}

// Sizes asked for by the caller are cut to what a screen shows: no side above
// kMaxTargetSide, no more pixels than kMaxTargetPixels (the height gives way).
TEST(PictureBuilders, TargetsStayWithinWhatAScreenShows) {
    struct Case {
        int width, height, want_width, want_height;
    };
    const Case cases[] = {
        {75, 25, 75, 25},
        {-3, 7, 0, 7},
        {kMaxTargetSide, 1, kMaxTargetSide, 1},
        {kMaxTargetSide + 1, 1, kMaxTargetSide, 1},
        {INT_MAX, INT_MAX, kMaxTargetSide, static_cast<int>(kMaxTargetPixels / kMaxTargetSide)},
        {7680, 4320, 7680, 4320},  // an 8K screen
        {9000, 9000, 9000, static_cast<int>(kMaxTargetPixels / 9000)},
        {1, INT_MAX, 1, kMaxTargetSide},
    };
    for (const Case& c : cases) {
        const detail::TTargetSize size = detail::TargetSize(c.width, c.height);
        EXPECT_EQ(size.width, c.want_width) << c.width << " x " << c.height;
        EXPECT_EQ(size.height, c.want_height) << c.width << " x " << c.height;
    }
    // The builders size their targets by that rule.
    TBitmapData target;
    BuildTiledImage(Coded(8, 8), TRect{0, 0, 8, 8}, 100000, 3, target);
    EXPECT_EQ(target.Width(), kMaxTargetSide);
    EXPECT_EQ(target.Height(), 3);
    EXPECT_EQ(target.Pixel(kMaxTargetSide - 1, 2), Coded(8, 8).Pixel(7, 2));
}

// A picture whose 24-bit copy would be larger than any bitmap: the builders
// read its pixels where they are, through its palette, and copy nothing.
TEST(PictureBuilders, ReadAHugeIndexedPictureWithoutConvertingIt) {
    TBitmapData source(TBitmapData::kMaxSide, 8200, framework::pf1bit);
    source.SetPalette({framework::TPaletteEntry::FromColor(0x102030),
                       framework::TPaletteEntry::FromColor(0x405060)});
    for (int x = 0; x < 49; x += 2) {
        source.SetPixelIndex(x, 8199, 1);
    }
    TBitmapData target;
    ASSERT_NO_THROW(BuildPartImage3H(source, TRect{0, 8175, 49, 8200}, 8, 10, 75, target));
    ASSERT_EQ(target.Height(), 25);
    EXPECT_EQ(target.Pixel(0, 0), 0x102030u);
    EXPECT_EQ(target.Pixel(0, 24), 0x405060u);
    EXPECT_EQ(target.Pixel(1, 24), 0x102030u);
    EXPECT_EQ(target.Pixel(74, 24), source.Pixel(48, 8199));
}

TEST(PictureBuilders, BuildIntoTheirOwnSource) {
    TBitmapData picture = Coded(60, 30);
    const TBitmapData original = picture;
    BuildPartImage3H(picture, kButton, 8, 10, 75, picture);
    TBitmapData expected;
    BuildPartImage3H(original, kButton, 8, 10, 75, expected);
    EXPECT_TRUE(SamePicture(picture, expected));
}

}  // namespace
}  // namespace skin
