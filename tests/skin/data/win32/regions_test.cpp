// Regions made from masks, read back from the system.

#include "skin/data/win32/regions.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "framework/bitmap_ops.h"

namespace skin {
namespace {

using framework::pf24bit;
using Picture = std::vector<std::string>;

constexpr framework::TColor kWhite = 0xFFFFFF;

// Owns a region handle.
struct Region {
    HRGN handle;
    explicit Region(HRGN h) : handle(h) {}
    ~Region() {
        if (handle != nullptr) {
            DeleteObject(handle);
        }
    }
    Region(const Region&) = delete;
    Region& operator=(const Region&) = delete;
};

TBitmapData MaskFrom(const Picture& rows) {
    TBitmapData mask(static_cast<int>(rows[0].size()), static_cast<int>(rows.size()), pf24bit);
    for (int y = 0; y < mask.Height(); ++y) {
        for (int x = 0; x < mask.Width(); ++x) {
            mask.SetPixel(x, y, rows[y][x] == '#' ? 0 : kWhite);
        }
    }
    return mask;
}

// The region's rectangles as the system stores them (GetRegionData).
std::vector<RECT> RegionRects(HRGN region) {
    const DWORD size = GetRegionData(region, 0, nullptr);
    EXPECT_GT(size, 0u);
    std::vector<DWORD> buffer((size + sizeof(DWORD) - 1) / sizeof(DWORD));
    auto* data = reinterpret_cast<RGNDATA*>(buffer.data());
    EXPECT_EQ(GetRegionData(region, size, data), size);
    const auto* rects = reinterpret_cast<const RECT*>(data->Buffer);
    return std::vector<RECT>(rects, rects + data->rdh.nCount);
}

// The pixels of (0, 0, width, height) that the rectangles cover.
Picture Covered(const std::vector<RECT>& rects, int width, int height) {
    Picture rows(static_cast<size_t>(height), std::string(width, '.'));
    for (const RECT& r : rects) {
        for (int y = std::max<int>(r.top, 0); y < std::min<int>(r.bottom, height); ++y) {
            for (int x = std::max<int>(r.left, 0); x < std::min<int>(r.right, width); ++x) {
                rows[y][x] = '#';
            }
        }
    }
    return rows;
}

RECT Box(HRGN region, int* kind = nullptr) {
    RECT box{};
    const int k = GetRgnBox(region, &box);
    if (kind != nullptr) {
        *kind = k;
    }
    return box;
}

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

TEST(MaskToRegion, HoldsExactlyTheBlackPixelsAtTheOffset) {
    const Picture shape = {
        "..######..",  //
        ".########.",  //
        "##########",  //
        "###....###",  //
        "##########",  //
        "#.#.#.#.#.",  //
    };
    Region region(MaskToRegion(MaskFrom(shape), 4, 2));
    ASSERT_NE(region.handle, nullptr);
    // Seen from (4, 2): shift the rectangles back.
    std::vector<RECT> rects = RegionRects(region.handle);
    for (RECT& r : rects) {
        OffsetRect(&r, -4, -2);
    }
    EXPECT_EQ(Covered(rects, 10, 6), shape);
    EXPECT_TRUE(SameRect(Box(region.handle), RECT{4, 2, 14, 8}));
}

TEST(MaskToRegion, AllWhiteIsEmptyAndAllBlackIsTheRectangle) {
    TBitmapData white(10, 2, pf24bit);
    framework::FillRect(white, framework::TRect{0, 0, 10, 2}, kWhite);
    int kind = 0;
    Region empty(MaskToRegion(white, 0, 0));
    Box(empty.handle, &kind);
    EXPECT_EQ(kind, NULLREGION);

    Region full(MaskToRegion(TBitmapData(10, 2, pf24bit), 0, 0));
    EXPECT_TRUE(SameRect(Box(full.handle, &kind), RECT{0, 0, 10, 2}));
    EXPECT_EQ(kind, SIMPLEREGION);
    EXPECT_EQ(Covered(RegionRects(full.handle), 10, 2), (Picture{"##########", "##########"}));
}

TEST(MaskToRegion, ThousandsOfRunsMakeOneRegion) {
    std::mt19937 rng(31);
    TBitmapData mask(300, 120, pf24bit);
    Picture expected(120, std::string(300, '.'));
    for (int y = 0; y < 120; ++y) {
        for (int x = 0; x < 300; ++x) {
            const bool black = std::uniform_int_distribution<int>(0, 2)(rng) != 0;
            mask.SetPixel(x, y, black ? 0 : kWhite);
            expected[y][x] = black ? '#' : '.';
        }
    }
    ASSERT_GT(MaskRuns(mask, 0, 0).runs.size(), 5000u);
    ASSERT_FALSE(MaskRuns(mask, 0, 0).whole);
    Region region(MaskToRegion(mask, 0, 0));
    EXPECT_EQ(Covered(RegionRects(region.handle), 300, 120), expected);
}

TEST(MaskToRegion, TooManyRunsGiveTheWholeRectangle) {
    TBitmapData mask(200, 101, pf24bit);
    for (int y = 0; y < 101; ++y) {
        for (int x = 1; x < 200; x += 2) {
            mask.SetPixel(x, y, kWhite);
        }
    }
    int kind = 0;
    Region region(MaskToRegion(mask, 7, 8));
    EXPECT_TRUE(SameRect(Box(region.handle, &kind), RECT{7, 8, 207, 109}));
    EXPECT_EQ(kind, SIMPLEREGION);
}

TEST(MaskToRegion9, FollowsTheResizedPictureAroundTheClientArea) {
    const TBitmapData mask = MaskFrom({
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
    });
    const TPartGeometry from{{4, 3}, {8, 3}, {4, 7}, {8, 7}, {3, 3, 9, 7}};
    const TPartGeometry to{{4, 3}, {16, 3}, {4, 10}, {16, 10}, {3, 3, 17, 10}};
    Region region(MaskToRegion9(mask, from, to, 20, 13));
    ASSERT_NE(region.handle, nullptr);
    Picture rows;
    for (int y = 0; y < 13; ++y) {
        std::string row;
        for (int x = 0; x < 20; ++x) {
            row += PtInRegion(region.handle, x, y) ? '#' : '.';
        }
        rows.push_back(row);
    }
    EXPECT_EQ(rows, (Picture{
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

    TPartGeometry crossed = to;
    crossed.right_top.x = 2;
    EXPECT_EQ(MaskToRegion9(mask, from, crossed, 20, 13), nullptr);
}

}  // namespace
}  // namespace skin
