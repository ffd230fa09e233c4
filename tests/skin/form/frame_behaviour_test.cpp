// The frame's window behaviours as rules: fades, snapping, the maximized
// and parked bounds, the frame's own window state with roll-up, and the
// caption's double click.

#include "skin/form/core/frame_behaviour.h"

#include <gtest/gtest.h>

#include <vector>

namespace skin {
namespace {

TEST(FrameBehaviour, LayeredWindowsAndFades) {
    EXPECT_TRUE(LayeredVersionUsable(5, 0));
    EXPECT_TRUE(LayeredVersionUsable(5, 2));
    EXPECT_FALSE(LayeredVersionUsable(4, 0));
    EXPECT_FALSE(LayeredVersionUsable(6, 1));
    EXPECT_FALSE(LayeredVersionUsable(10, 0));

    // The update window: 5, 10, ... 225, 230, and it stays layered.
    TFadePlan plan = PlanFade(true, true, 230);
    ASSERT_EQ(plan.opacities.size(), 46u);
    EXPECT_EQ(plan.opacities.front(), 5);
    EXPECT_EQ(plan.opacities.back(), 230);
    EXPECT_TRUE(plan.layered_on_show);
    EXPECT_FALSE(plan.unlayer_at_end);
    // A value between the steps ends on it.
    EXPECT_EQ(PlanFade(true, true, 12).opacities, (std::vector<int>{5, 10, 12}));
    // Fading without translucency goes to opaque and drops the layering.
    plan = PlanFade(false, true, 100);
    EXPECT_EQ(plan.opacities.size(), 51u);
    EXPECT_EQ(plan.opacities.back(), 255);
    EXPECT_TRUE(plan.unlayer_at_end);
    // Translucent without a fade: the value at once; 255 needs no call.
    EXPECT_EQ(PlanFade(true, false, 200).opacities, (std::vector<int>{200}));
    plan = PlanFade(true, false, 255);
    EXPECT_TRUE(plan.layered_on_show);
    EXPECT_TRUE(plan.opacities.empty());
    EXPECT_TRUE(plan.unlayer_at_end);
    EXPECT_FALSE(PlanFade(false, false, 200).layered_on_show);
}

TEST(FrameBehaviour, MovingWindowsSnapToTheWorkAreaEdges) {
    const TRect area{0, 0, 1024, 738};
    struct TCase {
        TRect proposed;
        TPoint expected;
    };
    const TCase cases[] = {
        {TRect::Bounds(4, 100, 300, 200), {0, 100}},
        {TRect::Bounds(5, 100, 300, 200), {5, 100}},  // strictly closer only
        {TRect::Bounds(-4, 100, 300, 200), {0, 100}},
        {TRect::Bounds(100, 535, 300, 200), {100, 538}},
        {TRect::Bounds(100, 3, 300, 200), {100, 0}},
        {TRect::Bounds(2, 100, 1020, 200), {4, 100}},  // the right edge wins
        {TRect::Bounds(-1277, 100, 300, 200), {-1277, 100}},
    };
    for (const TCase& c : cases) {
        const TRect r = SnapToArea(c.proposed, area, 5);
        EXPECT_EQ(r.left, c.expected.x) << c.proposed.left;
        EXPECT_EQ(r.top, c.expected.y) << c.proposed.top;
        EXPECT_EQ(r.Width(), c.proposed.Width());
    }
    // A second monitor on the left has edges of its own.
    EXPECT_EQ(SnapToArea(TRect::Bounds(-1277, 0, 300, 200), TRect{-1280, 0, 0, 1024}, 5).left,
              -1280);
}

TEST(FrameBehaviour, MaximizedAndParkedBounds) {
    const TRect screen{0, 0, 1024, 768};
    EXPECT_EQ(MaximizeTarget(screen, TRect{0, 0, 1024, 738}, screen, false),
              (TRect{0, 0, 1024, 738}));
    // A hidden task bar: one pixel in on every side.
    EXPECT_EQ(MaximizeTarget(screen, screen, screen, false), (TRect{1, 1, 1023, 767}));
    EXPECT_EQ(MaximizeTarget(screen, TRect{0, 0, 1024, 738}, screen, true), screen);

    std::vector<TPoint> taken;
    for (int i = 0; i < 7; ++i) {
        taken.push_back(ParkingSlot(screen, 161, 38, taken));
    }
    EXPECT_EQ(taken[0], (TPoint{0, 730}));
    EXPECT_EQ(taken[1], (TPoint{161, 730}));
    EXPECT_EQ(taken[5], (TPoint{805, 730}));  // six to a row
    EXPECT_EQ(taken[6], (TPoint{0, 692}));
    // No room left: the bottom-left cell; a minimum of no size still ends.
    const TRect small{0, 0, 100, 50};
    EXPECT_EQ(ParkingSlot(small, 100, 50, {TPoint{0, 0}}), (TPoint{0, 0}));
    EXPECT_EQ(ParkingSlot(small, 0, 0, {}), (TPoint{0, 49}));
}

// Yellow's hint picture: 40 x 40, corners at 8 and 32, client 3,3,37,37.
TEST(FrameBehaviour, HintWindowsFitTheirTextAndStayOnTheScreen) {
    const THintPicture yellow{40, 40, {8, 8}, {32, 8}, {8, 32}, {32, 32}, {3, 3, 37, 37}};
    const THintLayout wide = LayoutHint(100, 16, &yellow);
    EXPECT_EQ(wide.width, 106);
    EXPECT_EQ(wide.height, 22);
    EXPECT_EQ(wide.from.right_top, (TPoint{32, 8}));
    EXPECT_EQ(wide.to.right_top, (TPoint{98, 8}));
    EXPECT_EQ(wide.to.left_bottom, (TPoint{8, 14}));
    EXPECT_EQ(wide.to.right_bottom, (TPoint{98, 14}));
    EXPECT_EQ(wide.to.client, (TRect{3, 3, 103, 19}));
    // A tiny text still gets the picture's corners.
    const THintLayout tiny = LayoutHint(2, 2, &yellow);
    EXPECT_EQ(tiny.width, 16);
    EXPECT_EQ(tiny.height, 16);
    const THintLayout plain = LayoutHint(100, 16, nullptr);
    EXPECT_EQ(plain.width, 108);
    EXPECT_EQ(plain.height, 20);
    EXPECT_EQ(plain.to.client, (TRect{4, 2, 104, 18}));

    const TRect area{0, 0, 1024, 738};
    const struct {
        TPoint cursor;
        int width;
        TPoint expected;
    } cases[] = {
        {{500, 300}, 100, {500, 320}},   // below the pointer
        {{500, 730}, 100, {500, 708}},   // no room below: above it
        {{1000, 300}, 100, {924, 320}},  // moved in from the right
        {{-50, 300}, 100, {0, 320}},
        {{500, 300}, 2000, {0, 320}},  // wider than the area: its left in
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PlaceHint(c.cursor, 20, c.width, 22, area), c.expected) << c.cursor.x;
    }
}

TEST(FrameBehaviour, TheFramesOwnStatesFollowTheirTable) {
    const TRect normal = TRect::Bounds(100, 100, 400, 300);
    const TRect target{0, 0, 1024, 738};
    TFrameStates s;
    // Maximize, minimize (remembered bounds kept), restore.
    TFrameStates::TChange c = s.SetState(fwsMaximized, false, normal, target, {}, {});
    EXPECT_TRUE(c.set_bounds);
    EXPECT_EQ(c.bounds, target);
    c = s.SetState(fwsMinimized, false, target, target, TPoint{0, 730}, TPoint{161, 38});
    EXPECT_EQ(c.bounds, (TRect{0, 730, 161, 768}));
    EXPECT_EQ(s.Remembered(), normal);
    c = s.SetState(fwsNormal, false, c.bounds, target, {}, {});
    EXPECT_EQ(c.bounds, normal);
    EXPECT_TRUE(s.Remembered().IsEmpty());
    EXPECT_FALSE(s.SetState(fwsNormal, false, normal, target, {}, {}).changed);
    // The main form minimizes the program and keeps its state.
    c = s.SetState(fwsMinimized, true, normal, target, {}, {});
    EXPECT_TRUE(c.minimize_application);
    EXPECT_FALSE(c.set_bounds);
    EXPECT_EQ(s.State(), fwsNormal);

    // Roll-up: the height goes and comes back; refused without the icon,
    // when minimized, or twice.
    const TbsBorderIcons all = bsbiMinimize | bsbiMaximize | bsbiRollUp;
    int height = 0;
    EXPECT_FALSE(s.RollUp(true, bsbiMaximize, 300, 38, &height));
    ASSERT_TRUE(s.RollUp(true, all, 300, 38, &height));
    EXPECT_EQ(height, 38);
    EXPECT_FALSE(s.RollUp(true, all, 38, 38, &height));
    ASSERT_TRUE(s.RollUp(false, all, 38, 38, &height));
    EXPECT_EQ(height, 300);
    // Maximized, then rolled up: rolled up while maximized.
    s.SetState(fwsMaximized, false, normal, target, {}, {});
    ASSERT_TRUE(s.RollUp(true, all, 738, 38, &height));
    EXPECT_TRUE(s.RolledUpMaximized());
    ASSERT_TRUE(s.RollUp(false, all, 38, 38, &height));
    EXPECT_EQ(height, 738);
    // Restored while rolled up maximized: back at the size from before,
    // not rolled up any more.
    ASSERT_TRUE(s.RollUp(true, all, 738, 38, &height));
    s.SetState(fwsNormal, false, target, target, {}, {});
    EXPECT_FALSE(s.RolledUp());
    TFrameStates minimized;
    minimized.SetState(fwsMinimized, false, normal, target, {}, TPoint{161, 38});
    EXPECT_FALSE(minimized.RollUp(true, all, 38, 38, &height));
}

TEST(FrameBehaviour, ACaptionDoubleClickFollowsTheFirstRuleThatApplies) {
    const TbsBorderIcons all = bsbiMinimize | bsbiMaximize | bsbiRollUp;
    const TRect any = TRect::Bounds(0, 0, 10, 10);
    TFrameStates normal;
    EXPECT_EQ(normal.DoubleClick(true, all), cdcMaximize);
    EXPECT_EQ(normal.DoubleClick(true, bsbiRollUp), cdcRollUp);
    EXPECT_EQ(normal.DoubleClick(false, all), cdcRollUp);
    // The update window: a dialog frame without icons.
    EXPECT_EQ(normal.DoubleClick(false, 0), cdcNothing);
    TFrameStates maximized;
    maximized.SetState(fwsMaximized, false, any, any, {}, {});
    EXPECT_EQ(maximized.DoubleClick(true, all), cdcRestore);
    EXPECT_EQ(maximized.DoubleClick(false, all), cdcRollUp);
    TFrameStates minimized;
    minimized.SetState(fwsMinimized, false, any, any, {}, TPoint{1, 1});
    EXPECT_EQ(minimized.DoubleClick(true, all), cdcRestore);
    EXPECT_EQ(minimized.DoubleClick(false, all), cdcNothing);
    int height = 0;
    normal.RollUp(true, all, 300, 38, &height);
    EXPECT_EQ(normal.DoubleClick(true, all), cdcRollDown);
}

}  // namespace
}  // namespace skin
