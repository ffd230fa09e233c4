#include "skin/data/marks.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "framework/bitmap_ops.h"
#include "picture_test_util.h"

namespace skin {
namespace {

using framework::pf24bit;
using Picture = std::vector<std::string>;

constexpr TColor kInk = 0x00000080;
constexpr TColor kInk2 = 0x00008000;
constexpr TColor kPaper = 0x00FFFFFF;

TBitmapData Paper(int width, int height) {
    TBitmapData b(width, height, pf24bit);
    framework::FillRect(b, TRect{0, 0, width, height}, kPaper);
    return b;
}

template <class Paint>
Picture Painted(int width, int height, Paint paint) {
    TBitmapData b = Paper(width, height);
    paint(b);
    return test::Render(b, kInk, kInk2);
}

// --- lines --------------------------------------------------------------------------

TEST(DrawLine, DrawsTheStartButNotTheEnd) {
    EXPECT_EQ(Painted(6, 3, [](TBitmapData& b) { DrawLine(b, 1, 1, 5, 1, kInk); }),
              (Picture{"......", ".####.", "......"}));
    // Right to left: the start (4) is drawn, the end (0) is not.
    EXPECT_EQ(Painted(6, 3, [](TBitmapData& b) { DrawLine(b, 4, 2, 0, 2, kInk); }),
              (Picture{"......", "......", ".####."}));
    EXPECT_EQ(Painted(3, 5, [](TBitmapData& b) { DrawLine(b, 1, 4, 1, 0, kInk); }),
              (Picture{"...", ".#.", ".#.", ".#.", ".#."}));
    EXPECT_EQ(Painted(5, 5, [](TBitmapData& b) { DrawLine(b, 4, 0, 0, 4, kInk); }),
              (Picture{"....#", "...#.", "..#..", ".#...", "....."}));
    EXPECT_EQ(Painted(3, 3, [](TBitmapData& b) { DrawLine(b, 1, 1, 1, 1, kInk); }),
              (Picture{"...", "...", "..."}));
}

TEST(DrawLine, ClipsLinesThatLeaveThePicture) {
    EXPECT_EQ(Painted(4, 4, [](TBitmapData& b) { DrawLine(b, -3, -3, 10, 10, kInk); }),
              (Picture{"#...", ".#..", "..#.", "...#"}));
    EXPECT_EQ(Painted(4, 2, [](TBitmapData& b) { DrawLine(b, INT_MIN, 1, INT_MAX, 1, kInk); }),
              (Picture{"....", "####"}));
    EXPECT_EQ(Painted(4, 2, [](TBitmapData& b) { DrawLine(b, INT_MAX, 0, INT_MIN, 0, kInk); }),
              (Picture{"####", "...."}));
}

TEST(DrawPolyline, LeavesOutOnlyTheLastPoint) {
    EXPECT_EQ(Painted(5, 4,
                      [](TBitmapData& b) {
                          DrawPolyline(b, {{0, 3}, {0, 0}, {4, 0}}, kInk);
                      }),
              (Picture{"####.", "#....", "#....", "#...."}));
}

TEST(DrawRectangleOutline, RightAndBottomAreExclusive) {
    EXPECT_EQ(Painted(6, 5,
                      [](TBitmapData& b) {
                          DrawRectangleOutline(b, {1, 1, 5, 4}, kInk);
                      }),
              (Picture{"......", ".####.", ".#..#.", ".####.", "......"}));
    EXPECT_EQ(Painted(3, 3,
                      [](TBitmapData& b) {
                          DrawRectangleOutline(b, {2, 2, 1, 1}, kInk);
                      }),
              (Picture{"...", "...", "..."}));
}

// --- arrows and the check mark --------------------------------------------------------

// Arrows centred in (0, 0, 10, 10): cx = cy = 5.
TEST(MarkPainters, ArrowsPointFromTheirCentre) {
    const TRect r{0, 0, 10, 10};
    EXPECT_EQ(Painted(10, 10, [&](TBitmapData& b) { DrawArrowLeft(b, r, kInk); }),
              (Picture{"..........",  //
                       "..........",  //
                       "......#...",  //
                       ".....##...",  //
                       "....###...",  //
                       "...####...",  //
                       "....###...",  //
                       ".....##...",  //
                       "......#...",  //
                       ".........."}));
    EXPECT_EQ(Painted(10, 10, [&](TBitmapData& b) { DrawArrowRight(b, r, kInk); }),
              (Picture{"..........",  //
                       "..........",  //
                       "....#.....",  //
                       "....##....",  //
                       "....###...",  //
                       "....####..",  //
                       "....###...",  //
                       "....##....",  //
                       "....#.....",  //
                       ".........."}));
    EXPECT_EQ(Painted(10, 10, [&](TBitmapData& b) { DrawArrowUp(b, r, kInk); }),
              (Picture{"..........",  //
                       "..........",  //
                       "..........",  //
                       ".....#....",  //
                       "....###...",  //
                       "...#####..",  //
                       "..#######.",  //
                       "..........",  //
                       "..........",  //
                       ".........."}));
    EXPECT_EQ(Painted(10, 10, [&](TBitmapData& b) { DrawArrowDown(b, r, kInk); }),
              (Picture{"..........",  //
                       "..........",  //
                       "..........",  //
                       "..........",  //
                       "..#######.",  //
                       "...#####..",  //
                       "....###...",  //
                       ".....#....",  //
                       "..........",  //
                       ".........."}));
    // An odd rectangle at an offset: (3, 2, 12, 9) has its centre at (7, 5).
    EXPECT_EQ(Painted(14, 10,
                      [](TBitmapData& b) {
                          DrawArrowDown(b, {3, 2, 12, 9}, kInk);
                      }),
              (Picture{"..............",  //
                       "..............",  //
                       "..............",  //
                       "..............",  //
                       "....#######...",  //
                       ".....#####....",  //
                       "......###.....",  //
                       ".......#......",  //
                       "..............",  //
                       ".............."}));
}

TEST(MarkPainters, CheckMarkIsThreePolylines) {
    EXPECT_EQ(Painted(11, 10, [](TBitmapData& b) { DrawCheckMark(b, 1, 1, kInk); }),
              (Picture{"...........",  //
                       "...........",  //
                       ".......#...",  //
                       "......##...",  //
                       ".#...###...",  //
                       ".##.###....",  //
                       ".#####.....",  //
                       "..###......",  //
                       "...#.......",  //
                       "..........."}));
}

TEST(MarkPainters, Frame3DGivesTheSecondColourBothOuterCorners) {
    EXPECT_EQ(Painted(7, 6,
                      [](TBitmapData& b) {
                          DrawFrame3D(b, {1, 1, 6, 5}, kInk, kInk2);
                      }),
              (Picture{".......",  //
                       ".####+.",  //
                       ".#...+.",  //
                       ".#...+.",  //
                       ".+++++.",  //
                       "......."}));
}

// --- caption button symbols at (1, 1) ---------------------------------------------------

TEST(MarkPainters, CloseIsTwoThickDiagonals) {
    EXPECT_EQ(Painted(12, 11, [](TBitmapData& b) { DrawCloseMark(b, 1, 1, kInk); }),
              (Picture{"............",  //
                       "............",  //
                       "..##.....##.",  //
                       "...##...##..",  //
                       "....##.##...",  //
                       ".....###....",  //
                       ".....###....",  //
                       "....##.##...",  //
                       "...##...##..",  //
                       "..##.....##.",  //
                       "............"}));
}

TEST(MarkPainters, MinimizeMaximizeAndRestore) {
    EXPECT_EQ(Painted(12, 12, [](TBitmapData& b) { DrawMinimizeMark(b, 1, 1, kInk); }),
              (Picture{"............",  //
                       "............",  //
                       "............",  //
                       "............",  //
                       "..########..",  //
                       "..#......#..",  //
                       "..########..",  //
                       "............",  //
                       "............",  //
                       "............",  //
                       "............",  //
                       "............"}));
    EXPECT_EQ(Painted(12, 12, [](TBitmapData& b) { DrawMinimizeBarMark(b, 1, 1, kInk); }),
              (Picture{"............",  //
                       "............",  //
                       "............",  //
                       "............",  //
                       "............",  //
                       "............",  //
                       "............",  //
                       "............",  //
                       "............",  //
                       "..########..",  //
                       "..########..",  //
                       "............"}));
    EXPECT_EQ(Painted(13, 12, [](TBitmapData& b) { DrawMaximizeMark(b, 1, 1, kInk); }),
              (Picture{".............",  //
                       ".###########.",  //
                       ".###########.",  //
                       ".#.........#.",  //
                       ".#.........#.",  //
                       ".#.........#.",  //
                       ".#.........#.",  //
                       ".#.........#.",  //
                       ".#.........#.",  //
                       ".#.........#.",  //
                       ".###########.",  //
                       "............."}));
    EXPECT_EQ(Painted(12, 12, [](TBitmapData& b) { DrawRestoreMark(b, 1, 1, kInk); }),
              (Picture{"............",  //
                       "...########.",  //
                       "...########.",  //
                       "...#......#.",  //
                       "...#......#.",  //
                       ".#######..#.",  //
                       ".##########.",  //
                       ".#.....#....",  //
                       ".#.....#....",  //
                       ".#.....#....",  //
                       ".#######....",  //
                       "............"}));
}

TEST(MarkPainters, RollUpRollDownAndSquare) {
    EXPECT_EQ(Painted(11, 9, [](TBitmapData& b) { DrawRollUpMark(b, 1, 1, kInk); }),
              (Picture{"...........",  //
                       "...........",  //
                       "...........",  //
                       "..########.",  //
                       "...######..",  //
                       "....####...",  //
                       ".....##....",  //
                       "...........",  //
                       "..........."}));
    EXPECT_EQ(Painted(11, 9, [](TBitmapData& b) { DrawRollDownMark(b, 1, 1, kInk); }),
              (Picture{"...........",  //
                       "...........",  //
                       "...........",  //
                       "...........",  //
                       ".....##....",  //
                       "....####...",  //
                       "...######..",  //
                       "..########.",  //
                       "..........."}));
    EXPECT_EQ(Painted(9, 9, [](TBitmapData& b) { DrawSquareMark(b, 1, 1, kInk); }),
              (Picture{".........",  //
                       ".........",  //
                       ".........",  //
                       "...#####.",  //
                       "...#####.",  //
                       "...#####.",  //
                       "...#####.",  //
                       "...#####.",  //
                       "........."}));
}

TEST(MarkPainters, MarksAtTheEdgeAreClipped) {
    // A close mark hanging over the top-left corner: only its visible part.
    EXPECT_EQ(Painted(4, 4, [](TBitmapData& b) { DrawCloseMark(b, -5, -5, kInk); }),
              (Picture{"##..", ".##.", "..##", "...#"}));
}

}  // namespace
}  // namespace skin
