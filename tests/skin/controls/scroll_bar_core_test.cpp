// The scroll bar's portable rules: the range setters, the plain and skinned
// geometry (with the numbers of yellow's "vscrollbar"), hit testing, the
// thumb drag and the repeat of a held button or page.

#include <gtest/gtest.h>

#include "support/skins.h"

#include <climits>
#include <memory>
#include <string>

#include "skin/controls/core/scroll_bar_core.h"
#include "skin/data/skin_data.h"
#include "skin/data/stored_skin.h"

namespace skin {
namespace {

TEST(ScrollRangeTest, SettersKeepThePositionInRange) {
    TScrollRange r;
    EXPECT_TRUE(r.SetPosition(150));
    EXPECT_EQ(r.position, 100);
    EXPECT_FALSE(r.SetPosition(100)) << "no change, no event";
    EXPECT_TRUE(r.SetPosition(-5));
    EXPECT_EQ(r.position, 0);

    r.SetPosition(95);
    EXPECT_FALSE(r.SetPageSize(10)) << "95 + 10 > 101";
    EXPECT_EQ(r.page_size, 0);
    r.SetPosition(80);
    EXPECT_TRUE(r.SetPageSize(10));
    r.SetPosition(1000);
    EXPECT_EQ(r.position, 91);

    r.SetMax(50);  // 50 - 0 < 10 + 91: back to 50 - 0 - 10 + 1
    EXPECT_EQ(r.position, 41);
    r.SetMin(45);
    EXPECT_EQ(r.position, 45);
    r.Set(0, 20, 0, 30);
    EXPECT_EQ(r.position, 20);
    // Limits the wrong way round or far apart: no overflow, Min wins.
    r.Set(INT_MAX, INT_MIN, 0, 0);
    EXPECT_EQ(r.position, INT_MAX);
    r.Set(INT_MIN, INT_MAX, INT_MAX, 0);
    EXPECT_EQ(r.Highest(), 1);
}

TEST(ScrollGeometryTest, PlainBarsPlaceTheirThumbOnTheTrack) {
    TScrollRange r;
    r.SetPosition(50);
    TScrollGeometry g = PlainScrollGeometry(sbVertical, 19, 100, false, 19, r);
    EXPECT_EQ(g.track, (TRect{1, 17, 18, 83}));
    EXPECT_EQ(g.offset, 25);
    EXPECT_EQ(g.thumb, (TRect{1, 42, 18, 58}));
    EXPECT_EQ(g.end_button, (TRect{1, 83, 18, 99}));

    // Horizontal beside its vertical partner: the marker square stays free.
    g = PlainScrollGeometry(sbHorizontal, 200, 19, true, 19, r);
    EXPECT_EQ(g.end_button, (TRect{164, 1, 180, 18}));
    EXPECT_EQ(g.track, (TRect{17, 1, 164, 18}));

    // With a page and no room for it (Max < Min): the fall-backs, no
    // division by zero.
    r.Set(10, 5, 3, 0);
    g = PlainScrollGeometry(sbVertical, 19, 100, false, 19, r);
    EXPECT_EQ(g.offset, 0) << "a vertical bar stays at its start";
    g = PlainScrollGeometry(sbHorizontal, 100, 19, false, 19, r);
    EXPECT_EQ(g.thumb.right, g.track.right) << "a horizontal one at its end";

    // A track shorter than a thumb: the thumb keeps within the track.
    r.Set(0, 100, 0, 100);
    g = PlainScrollGeometry(sbVertical, 19, 40, false, 19, r);
    EXPECT_EQ(g.track, (TRect{1, 17, 18, 23}));
    EXPECT_GE(g.thumb.top, 17);
    EXPECT_LE(g.thumb.bottom, 23);
    EXPECT_EQ(ScrollHitTest(sbVertical, g, 5, 5), shStartButton);
    EXPECT_EQ(ScrollHitTest(sbVertical, g, 5, 30), shEndButton);
}

class YellowScrollBarTest : public ::testing::Test {
  protected:
    void SetUp() override {
        root_ = std::make_unique<framework::TComponent>(nullptr);
        data_ = test_support::SkinDataOf(root_.get(), "yellow");
        const auto* o = dynamic_cast<const TbsDataSkinScrollBarControl*>(
            data_->ControlObject(data_->IndexOfControlObject("vscrollbar")));
        ASSERT_NE(o, nullptr);
        skin_ = TScrollSkin{o->track_area,         o->down_button_rect,   o->up_button_rect,
                            o->right_top_point,    o->left_bottom_point,  o->skin_rect.Width(),
                            o->skin_rect.Height(), o->thumb_rect.Width(), o->thumb_rect.Height()};
    }
    std::unique_ptr<framework::TComponent> root_;
    TbsSkinData* data_ = nullptr;
    TScrollSkin skin_;
};

TEST_F(YellowScrollBarTest, TheListsBarAtAnyItemCount) {
    struct Case {
        int items, position;
        TRect thumb;
    } cases[] = {
        {9, 0, {1, 16, 15, 140}},    {9, 1, {1, 32, 15, 156}},      {30, 0, {1, 16, 15, 52}},
        {30, 22, {1, 120, 15, 156}}, {200, 192, {1, 132, 15, 156}},
    };
    for (const Case& c : cases) {
        TScrollRange r;
        r.Set(0, c.items - 1, 8, c.position);
        const TScrollGeometry g = SkinnedScrollGeometry(sbVertical, 16, 172, skin_, r);
        EXPECT_EQ(g.start_button, (TRect{0, 0, 16, 16}));
        EXPECT_EQ(g.end_button, (TRect{0, 156, 16, 172}));
        EXPECT_EQ(g.track, (TRect{0, 16, 16, 156}));
        EXPECT_EQ(g.thumb, c.thumb) << c.items << " items at " << c.position;
    }
}

TEST_F(YellowScrollBarTest, DraggingTheThumbCoversTheWholeRange) {
    TScrollRange r;
    r.Set(0, 29, 8, 0);
    const TScrollGeometry g = SkinnedScrollGeometry(sbVertical, 16, 172, skin_, r);
    EXPECT_EQ(ScrollHitTest(sbVertical, g, 8, 20), shThumb);
    EXPECT_EQ(ScrollHitTest(sbVertical, g, 8, 100), shPageForward);
    const int press = 30;
    EXPECT_EQ(DragPosition(r, g, g.offset, press, press), 0);
    EXPECT_EQ(DragPosition(r, g, g.offset, press, press + 52), 11);  // half the span of 104
    EXPECT_EQ(DragPosition(r, g, g.offset, press, press + 5000), 22) << "Max - Page + 1";
    EXPECT_EQ(DragPosition(r, g, g.offset, press, press - 5000), 0);
}

TEST(ScrollRepeatTest, AHeldButtonStepsAtOnceThenAfter500ThenEvery50) {
    TScrollRange r;
    TScrollGeometry g = PlainScrollGeometry(sbVertical, 19, 200, false, 19, r);
    TScrollRepeat repeat;
    TScrollStep s = repeat.Start(srEndButton, 3, 10);
    EXPECT_EQ(s.delta, 3);
    EXPECT_EQ(s.next_delay, 500);
    s = repeat.Tick(sbVertical, g, 0);
    EXPECT_EQ(s.delta, 0) << "the first tick only quickens the repeat";
    EXPECT_EQ(s.next_delay, 50);
    for (int i = 0; i < 3; ++i) {
        s = repeat.Tick(sbVertical, g, 0);
        EXPECT_EQ(s.delta, 3);
        EXPECT_EQ(s.next_delay, 50);
    }

    // Paging forward stops once the thumb has passed the mouse.
    const int mouse = 120;
    s = repeat.Start(srPageForward, 1, 25);
    int steps = 0;
    for (int i = 0; i < 20 && !s.stop; ++i) {
        r.SetPosition(r.position + s.delta);
        g = PlainScrollGeometry(sbVertical, 19, 200, false, 19, r);
        s = repeat.Tick(sbVertical, g, mouse);
        steps += s.delta != 0;
    }
    EXPECT_TRUE(s.stop);
    EXPECT_GE(g.thumb.bottom, mouse);
    EXPECT_LT(steps, 5);
    EXPECT_EQ(repeat.Mode(), srNone);
}

}  // namespace
}  // namespace skin
