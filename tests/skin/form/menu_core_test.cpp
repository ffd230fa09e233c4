// The arithmetic of skinned menus: level sizes for the skin "yellow" and the
// built-in look, item layout while scrolling, where levels open on the
// screen, and the arrow keys.

#include "skin/form/core/menu_core.h"

#include <gtest/gtest.h>

#include <vector>

namespace skin {
namespace {

// The popup window and menu item of "yellow": a 40 x 40 window picture with
// the items in (3,3,37,37), items 60 x 20 with their text in (2,0,56,20),
// separators 6 high.
TMenuSkinMetrics Yellow() {
    TMenuSkinMetrics m;
    m.skinned = true;
    m.item_height = 20;
    m.divider_height = 6;
    m.text_rect = TRect{2, 0, 56, 20};
    m.item_width = 60;
    m.picture_width = 40;
    m.picture_height = 40;
    m.items_rect = TRect{3, 3, 37, 37};
    m.left_top = TPoint{3, 3};
    m.right_top = TPoint{37, 3};
    m.left_bottom = TPoint{3, 37};
    m.right_bottom = TPoint{37, 37};
    return m;
}

std::vector<TMenuEntry> Items(int count, int text_width = 50) {
    return std::vector<TMenuEntry>(count, TMenuEntry{false, text_width});
}

TEST(MenuLevelSize, SkinnedAndBuiltInLevels) {
    // One item, as the update window's system menu: 20 + 6 high; the text's
    // width + 2, the glyph column and 19, plus 2 + 4 + 6 around it.
    const TMenuLevelSize one = SizeMenuLevel(Items(1, 100), Yellow(), 0, 0, 738);
    EXPECT_EQ(one.height, 26);
    EXPECT_EQ(one.width, 102 + 19 + 19 + 12);
    EXPECT_EQ(one.items_rect, (TRect{3, 3, one.width - 3, 23}));
    EXPECT_EQ(one.right_bottom, (TPoint{one.width - 3, 23}));
    EXPECT_FALSE(one.scrolls);

    // Separators take the divider's height; images widen the glyph column.
    const TMenuLevelSize mixed =
        SizeMenuLevel({{false, 40}, {true, 0}, {false, 60}}, Yellow(), 16, 0, 738);
    EXPECT_EQ(mixed.item_heights, (std::vector<int>{20, 6, 20}));
    EXPECT_EQ(mixed.height, 46 + 6);
    EXPECT_EQ(mixed.glyph_column, 21);
    EXPECT_EQ(mixed.width, 62 + 21 + 19 + 12);

    // The built-in look: separators 4, 4 around the items, 10 beside them.
    TMenuSkinMetrics plain;
    const TMenuLevelSize flat = SizeMenuLevel({{false, 40}, {true, 0}}, plain, 0, 0, 738);
    EXPECT_EQ(flat.height, 24 + 4);
    EXPECT_EQ(flat.width, 42 + 19 + 19 + 10);
    EXPECT_EQ(flat.items_rect, (TRect{2, 2, flat.width - 2, flat.height - 2}));
}

TEST(MenuLevelSize, AnItemLimitOrALowScreenMakesTheLevelScroll) {
    int visible = 0;
    const TMenuLevelSize limited = SizeMenuLevel(Items(50), Yellow(), 0, 10, 738);
    EXPECT_EQ(limited.height, 226);
    EXPECT_TRUE(limited.scrolls_for_limit);
    EXPECT_FALSE(limited.scrolls_for_height);
    std::vector<TMenuItemPlace> places = LayoutMenuItems(limited, 0, &visible);
    EXPECT_EQ(visible, 10);
    EXPECT_EQ(places[0].rect, (TRect{3, 13, limited.width - 3, 33}));
    EXPECT_TRUE(places[9].shown);
    EXPECT_FALSE(places[10].shown);
    // Scrolled to the end: the last ten.
    places = LayoutMenuItems(limited, 40, &visible);
    EXPECT_EQ(visible, 10);
    EXPECT_FALSE(places[39].shown);
    EXPECT_EQ(places[49].rect.bottom, 213);

    const TMenuLevelSize low = SizeMenuLevel(Items(50), Yellow(), 0, 0, 300);
    EXPECT_EQ(low.height, 300);
    EXPECT_TRUE(low.scrolls_for_height);
    LayoutMenuItems(low, 0, &visible);
    EXPECT_EQ(visible, (300 - 6 - 20) / 20);
}

TEST(MenuPlacement, LevelsOpenInsideTheWorkArea) {
    const TRect screen{0, 0, 1024, 738};
    const auto at = [](int x, int y) { return TRect{x, y, x, y}; };
    struct TCase {
        const char* name;
        TMenuPlacement placement;
        TPoint expected;
    };
    const TCase cases[] = {
        {"drop-down that fits", {at(100, 100), screen, 150, 26}, {100, 100}},
        {"near the bottom-right corner: pushed left, opens upwards",
         {at(1010, 730), screen, 150, 26},
         {874, 704}},
        {"lower half, no room below or above: to the top, then beside",
         {TRect{100, 700, 100, 710}, TRect{0, 0, 1024, 738}, 150, 720},
         {101, 0}},
        {"upper half, no room below: to the bottom, moved",
         {TRect{100, 200, 300, 220}, screen, 150, 600},
         {301, 138}},
        {"upwards with room above",
         {TRect{10, 500, 60, 520}, screen, 100, 80, 0, false, true},
         {10, 420}},
        {"upwards from the top half without room above: below it",
         {TRect{10, 20, 60, 40}, screen, 100, 80, 0, false, true},
         {10, 40}},
        {"submenu: first item level with its parent, to the right",
         {TRect{100, 100, 250, 120}, screen, 150, 46, 3, true},
         {251, 97}},
        {"submenu at the right edge: to the left",
         {TRect{900, 100, 1020, 120}, screen, 150, 46, 3, true},
         {749, 97}},
        {"submenu near the bottom, lower half: raised so its bottom item meets the parent",
         {TRect{100, 700, 250, 720}, screen, 150, 106, 3, true},
         {251, 617}},
        {"submenu too tall, upper half: at the bottom",
         {TRect{100, 300, 250, 320}, screen, 150, 500, 3, true},
         {251, 238}},
        {"submenu taller than the room above: raised to the top",
         {TRect{100, 500, 250, 520}, TRect{0, 0, 1024, 738}, 150, 700, 3, true},
         {251, 0}},
        {"a submenu that fits on neither side stays inside on the left",
         {TRect{0, 100, 950, 120}, screen, 150, 46, 3, true},
         {0, 97}},
        {"a level wider than the screen starts at its left edge",
         {at(500, 100), screen, 1100, 26},
         {0, 100}},
        {"a second monitor on the left",
         {at(-20, 100), TRect{-1280, 0, 0, 1024}, 150, 26},
         {-150, 100}},
        {"too tall for the screen: from its top, beside the point",
         {at(100, 100), screen, 150, 738, 0, false, false, true},
         {101, 0}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        const TPoint p = PlaceMenuLevel(c.placement);
        EXPECT_EQ(p.x, c.expected.x);
        EXPECT_EQ(p.y, c.expected.y);
    }
}

TEST(MenuKeys, ArrowsWrapAndSkipWhatCannotBeChosen) {
    const std::vector<TMenuKeyItem> items = {{true, false}, {true, true},  {false, false},
                                             {true, false}, {true, false}, {false, false}};
    struct TCase {
        int active;
        bool forward;
        int expected;
    };
    const TCase cases[] = {
        {-1, true, 0},  {0, true, 3},  {3, true, 4},  {4, true, 0},  // past the disabled last
        {-1, false, 4}, {0, false, 4}, {3, false, 0},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(NextMenuItem(items, c.active, c.forward), c.expected)
            << c.active << (c.forward ? " down" : " up");
    }
    // Nothing else to choose: the item stays; nothing at all: none.
    EXPECT_EQ(NextMenuItem({{true, false}, {false, false}}, 0, true), 0);
    EXPECT_EQ(NextMenuItem({{false, false}, {true, true}}, -1, true), -1);
    EXPECT_EQ(NextMenuItem({}, -1, false), -1);
}

TEST(MenuKeys, AScrollingLevelFollowsTheSelection) {
    EXPECT_EQ(FollowMenuSelection(0, 10, 50, 5), 0);
    EXPECT_EQ(FollowMenuSelection(0, 10, 50, 10), 1);
    EXPECT_EQ(FollowMenuSelection(5, 10, 50, 4), 4);
    // Wrapping to the other end takes the range with it.
    EXPECT_EQ(FollowMenuSelection(0, 10, 50, 49), 40);
    EXPECT_EQ(FollowMenuSelection(40, 10, 50, 0), 0);
}

}  // namespace
}  // namespace skin
