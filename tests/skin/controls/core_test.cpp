// The skinned controls' portable rules: sizing and geometry against the
// numbers of the skin "yellow", the skin-change bracket (run under the
// sanitizers natively), looks drawn at any size checked against oracles
// computed from the skin picture, the gauge's bar and arithmetic, and the
// button's and label's placement rules.

#include <gtest/gtest.h>

#include "support/skins.h"

#include <climits>
#include <memory>
#include <string>
#include <vector>

#include "skin/controls/core/button_core.h"
#include "skin/controls/core/control_geometry.h"
#include "skin/controls/core/gauge_core.h"
#include "skin/controls/core/label_core.h"
#include "skin/data/skin_data.h"
#include "skin/data/skin_test_support.h"
#include "skin/data/stored_skin.h"

namespace skin {
namespace {

using framework::TBitmapData;
using framework::TComponent;

// A component tree holding the two skins of the update window.
class YellowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        root_ = std::make_unique<TComponent>(nullptr);
        yellow_ = Stored("yellow");
        silver_ = Stored("silver");
        data_ = new TbsSkinData(root_.get());
        data_->SetCompressedStoredSkin(yellow_);
        ASSERT_FALSE(data_->SkinEmpty());
    }
    TbsCompressedStoredSkin* Stored(const char* name) {
        auto* stored = test_support::StoredSkin(root_.get(), name);
        EXPECT_FALSE(stored->IsStoreEmpty()) << name;
        return stored;
    }
    TSkinBinding Bound(const char* name) {
        TSkinBinding b;
        b.SetSkinData(data_);
        b.SetName(name);
        b.FindObject();
        return b;
    }

    std::unique_ptr<TComponent> root_;
    TbsCompressedStoredSkin* yellow_ = nullptr;
    TbsCompressedStoredSkin* silver_ = nullptr;
    TbsSkinData* data_ = nullptr;
};

TEST(SizingModeTest, TheFirstGivenCornerDecides) {
    const TRect s{0, 0, 10, 10};
    struct Case {
        TPoint rt, lb, rb;
        TRect s;
        TSizingMode mode;
    } cases[] = {
        {{1, 1}, {1, 1}, {1, 1}, s, smNinePart},
        {{1, 0}, {0, 0}, {5, 0}, s, smWidthOnly},  // RB needs both coordinates
        {{0, 3}, {4, 4}, {0, 0}, s, smWidthOnly},
        {{0, 0}, {0, 4}, {3, 0}, s, smHeightOnly},
        {{0, 0}, {0, 0}, {0, 0}, s, smFixed},
        {{1, 1}, {1, 1}, {1, 1}, TRect{5, 5, 5, 9}, smNone},
    };
    for (const Case& c : cases) {
        TControlGeometry g;
        g.rt = c.rt, g.lb = c.lb, g.rb = c.rb, g.s = c.s;
        EXPECT_EQ(SizingModeOf(g), c.mode) << c.rt.x << "," << c.rt.y << " " << c.rb.x;
    }
}

TEST_F(YellowTest, ControlsTakeTheSizesTheirObjectsAllow) {
    struct Case {
        const char* name;
        int w, h;
        TSizingMode mode;
        int want_w, want_h;
        TPoint nrt, nlb, nrb;  // {0, 0}: not checked
        TRect nc;
    } cases[] = {
        {"button", 75, 25, smWidthOnly, 75, 25, {65, 10}, {}, {}, {3, 3, 71, 21}},
        {"button", 120, 40, smWidthOnly, 120, 25, {110, 10}, {}, {}, {3, 3, 116, 21}},
        {"gauge", 364, 20, smWidthOnly, 364, 19, {359, 9}, {}, {}, {2, 2, 361, 16}},
        {"label", 274, 22, smWidthOnly, 274, 18, {267, 7}, {}, {}, {3, 2, 271, 16}},
        {"label", 82, 22, smWidthOnly, 82, 18, {}, {}, {}, {3, 2, 79, 16}},
        {"listbox",
         365,
         177,
         smNinePart,
         365,
         177,
         {359, 5},
         {5, 171},
         {359, 171},
         {2, 2, 362, 174}},
        {"resizebutton", 100, 50, smNinePart, 100, 50, {94, 6}, {6, 44}, {94, 44}, {3, 3, 97, 47}},
        {"vscrollbar", 20, 100, smHeightOnly, 16, 100, {}, {}, {}, {}},
        {"vscrollbar", 16, 172, smHeightOnly, 16, 172, {}, {8, 155}, {}, {0, 16, 16, 156}},
        {"updown", 40, 9, smFixed, 15, 22, {}, {}, {}, {}},
        // Not a custom control's object: no geometry, the size stays.
        {"stdlabel", 75, 21, smNone, 75, 21, {}, {}, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " " + std::to_string(c.w) + "x" + std::to_string(c.h));
        TSkinBinding b = Bound(c.name);
        ASSERT_GE(b.DataIndex(), 0);
        EXPECT_EQ(b.SizingMode(), c.mode);
        int w = c.w;
        int h = c.h;
        b.Adapt(w, h);
        EXPECT_EQ(w, c.want_w);
        EXPECT_EQ(h, c.want_h);
        const TAdaptedGeometry& a = b.Adapted();
        if (c.nrt.x != 0) {
            EXPECT_EQ(a.nrt, c.nrt);
        }
        if (c.nlb.x != 0) {
            EXPECT_EQ(a.nlb, c.nlb);
        }
        if (c.nrb.x != 0) {
            EXPECT_EQ(a.nrb, c.nrb);
        }
        if (!c.nc.IsEmpty()) {
            EXPECT_EQ(a.nc, c.nc);
        }
        if (c.mode == smFixed) {
            const auto* object = b.ObjectAs<TbsDataSkinCustomControl>();
            ASSERT_NE(object, nullptr);
            EXPECT_EQ(a.nc, object->client_rect) << "a fixed-size object's client stays";
        }
        if (c.mode == smNone) {
            EXPECT_EQ(b.Picture(), nullptr);
            EXPECT_EQ(b.Mask(), nullptr);
        }
    }
}

TEST(AdaptGeometryTest, FarApartSizesSaturateInsteadOfOverflowing) {
    TControlGeometry g;
    g.lt = {2, 2};
    g.rt = {8, 2};
    g.lb = {2, 8};
    g.rb = {8, INT_MAX - 5};
    g.s = {0, 0, 10, 10};
    g.c = {1, 1, INT_MAX - 1, 9};
    int w = INT_MAX;
    int h = 1000;
    TAdaptedGeometry a;
    AdaptGeometry(smNinePart, g, w, h, a);
    EXPECT_EQ(a.nc.right, INT_MAX);
    EXPECT_EQ(a.nrb.y, INT_MAX);
    EXPECT_EQ(a.nrt.x, INT_MAX - 2);
}

TEST_F(YellowTest, TheSkinChangeBracketLeavesNothingOfTheOldSkin) {
    TSkinBinding button = Bound("button");
    TSkinBinding unprepared = Bound("button");  // its skin data is not the frame's own
    ASSERT_NE(button.Picture(), nullptr);

    test::TRecordingHook hook;
    int checked = 0;
    hook.on_notice = [&](const test::TNotice& n) {
        if (n.message == WM_SKINDATA_CHANGING) {
            button.Drop();
        } else if (n.message == WM_SKINDATA_CHANGED) {
            // Between the two messages the skin data freed the old skin; a
            // paint then finds nothing to draw from.
            EXPECT_EQ(unprepared.Picture(), nullptr) << "a picture of a discarded skin";
            EXPECT_EQ(unprepared.Object(), nullptr);
            button.FindObject();
            ++checked;
        }
    };
    data_->SetCompressedStoredSkin(silver_);
    ASSERT_EQ(checked, 1);
    EXPECT_GE(button.DataIndex(), 0);
    EXPECT_NE(button.Picture(), nullptr);
    const auto* object = button.ObjectAs<TbsDataSkinButtonControl>();
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(button.Geometry().s, object->skin_rect) << "silver's geometry";

    // Looked up again, the unprepared binding draws from silver.
    unprepared.FindObject();
    TBitmapData target;
    DrawSkinLook(unprepared.SizingMode(), unprepared.Geometry(), unprepared.Adapted(),
                 unprepared.Picture(), unprepared.Geometry().s, 75, 25, target);
    EXPECT_EQ(target.Width(), 75);

    // An empty skin data (a failed load) and an unknown name: plain look.
    data_->ClearSkin();
    button.FindObject();
    EXPECT_EQ(button.DataIndex(), -1);
    EXPECT_EQ(button.Picture(), nullptr);
    data_->SetCompressedStoredSkin(yellow_);
    button.SetName("no such object");
    button.FindObject();
    EXPECT_EQ(button.DataIndex(), -1);
    int w = 75;
    int h = 40;
    button.Adapt(w, h);
    EXPECT_EQ(h, 40) << "without an object the size stays";
}

// Pixel (x, y) of `target` is pixel (sx(x), sy(y)) of the picture.
template <typename SX, typename SY>
void ExpectDrawnFrom(const TBitmapData& target, const TBitmapData& picture, SX sx, SY sy) {
    int wrong = 0;
    for (int y = 0; y < target.Height(); ++y) {
        for (int x = 0; x < target.Width(); ++x) {
            if (target.Pixel(x, y) != picture.Pixel(sx(x), sy(y)) && ++wrong < 5) {
                ADD_FAILURE() << "pixel " << x << "," << y << " is not picture pixel " << sx(x)
                              << "," << sy(y);
            }
        }
    }
}

TEST_F(YellowTest, AButtonLookKeepsItsEndsAndRepeatsItsMiddle) {
    TSkinBinding b = Bound("button");
    const auto* object = b.ObjectAs<TbsDataSkinButtonControl>();
    ASSERT_NE(object, nullptr);
    for (int width : {75, 120, 49, 12}) {
        for (const TRect& look : {object->skin_rect, object->down_skin_rect}) {
            int w = width;
            int h = 25;
            b.Adapt(w, h);
            TBitmapData target;
            DrawSkinLook(b.SizingMode(), b.Geometry(), b.Adapted(), b.Picture(), look, w, h,
                         target);
            ASSERT_EQ(target.Width(), w);
            ASSERT_EQ(target.Height(), 25);
            // Left 8 columns, right 10 columns as they are; the 31 between
            // repeated. A narrow button shows its right end over its left.
            auto column = [&](int x) {
                if (x >= width - 10) {
                    return look.left + x - (width - 49);
                }
                if (x < 8) {
                    return look.left + x;
                }
                return look.left + 8 + (x - 8) % 31;
            };
            ExpectDrawnFrom(target, *b.Picture(), column, [&](int y) { return look.top + y; });
        }
    }
}

TEST(ControlMaskTest, AWidthOnlyMaskFollowsTheRightEdge) {
    // 10 x 3, corners cut: the top-left and top-right pixels are white.
    TBitmapData mask(10, 3, framework::pf24bit);
    mask.SetPixel(0, 0, framework::MakeColor(255, 255, 255));
    mask.SetPixel(9, 0, framework::MakeColor(255, 255, 255));
    TControlGeometry g;
    g.lt = {3, 1};
    g.rt = {7, 1};
    g.s = {0, 0, 10, 3};
    g.c = {0, 1, 10, 3};
    int w = 30;
    int h = 3;
    TAdaptedGeometry a;
    AdaptGeometry(smWidthOnly, g, w, h, a);
    const auto runs = ControlMaskRuns(smWidthOnly, g, a, &mask, w, h);
    ASSERT_TRUE(runs.has_value());
    auto inside = [&](int x, int y) {
        for (const TMaskRuns& part : *runs) {
            for (const TRect& r : part.Rectangles()) {
                if (r.Contains(x, y)) {
                    return true;
                }
            }
        }
        return false;
    };
    EXPECT_FALSE(inside(0, 0));
    EXPECT_TRUE(inside(1, 0));
    EXPECT_TRUE(inside(28, 0));
    EXPECT_FALSE(inside(29, 0)) << "the cut corner moved with the right edge";
    EXPECT_TRUE(inside(29, 2));
    EXPECT_FALSE(ControlMaskRuns(smNone, g, a, &mask, w, h).has_value());
    EXPECT_FALSE(ControlMaskRuns(smWidthOnly, g, a, nullptr, w, h).has_value());
}

TEST_F(YellowTest, TheGaugeBarIsBuiltFromItsEndsAndARepeatedMiddle) {
    TSkinBinding b = Bound("gauge");
    const auto* object = b.ObjectAs<TbsDataSkinGaugeControl>();
    ASSERT_NE(object, nullptr);
    const TRect pr = object->progress_rect;
    ASSERT_EQ(pr, (TRect{2, 32, 23, 46}));
    int w = 364;
    int h = 20;
    b.Adapt(w, h);
    const TRect apa =
        AdaptProgressArea(object->progress_area, b.SizingMode(), false, w, h, b.Geometry());
    EXPECT_EQ(apa, (TRect{2, 2, 361, 16}));
    EXPECT_EQ(GaugeBarRect(apa, GaugeFraction(0, 100, 50), false), (TRect{2, 2, 182, 16}));
    EXPECT_EQ(GaugeBarRect(apa, GaugeFraction(0, 100, 1), false).Width(), 4);

    for (int width : {180, 4, 11, 1}) {
        SCOPED_TRACE(width);
        TBitmapData scratch;
        ASSERT_TRUE(ComposeGaugeBar(*b.Picture(), pr, 5, 5, false, width, 14, scratch));
        ASSERT_EQ(scratch.Width(), width);
        auto column = [&](int x) {
            if (x >= width - 5) {
                return pr.right - 5 + (x - (width - 5));
            }
            if (x < 5) {
                return pr.left + x;
            }
            return pr.left + 5 + (x - 5) % 11;
        };
        ExpectDrawnFrom(scratch, *b.Picture(), column, [&](int y) { return pr.top + y; });
    }
    TBitmapData empty;
    EXPECT_TRUE(ComposeGaugeBar(*b.Picture(), pr, 5, 5, false, 0, 14, empty));
    EXPECT_EQ(empty.Width(), 0);
    // Ends that leave no middle in the picture: nothing is drawn.
    TBitmapData none;
    EXPECT_FALSE(ComposeGaugeBar(*b.Picture(), pr, 11, 10, false, 180, 14, none));
}

TEST(GaugeBarTest, AVerticalBarRepeatsItsMiddleFromTheBottomUp) {
    const TBitmapData picture = test::MakePicture(6, 20, framework::pf24bit, 3);
    const TRect pr{1, 2, 5, 17};  // rows 2..16: begin 2..4, middle 5..12 (8), end 13..16
    const int b = 3;
    const int e = 4;
    for (int height : {40, 7, 3}) {
        SCOPED_TRACE(height);
        TBitmapData scratch;
        ASSERT_TRUE(ComposeGaugeBar(picture, pr, b, e, true, 4, height, scratch));
        auto row = [&](int y) {
            if (y >= height - e) {
                return pr.bottom - e + (y - (height - e));
            }
            if (y < b) {
                return pr.top + y;
            }
            const int from_bottom = (height - e) - 1 - y;
            return pr.bottom - e - 1 - from_bottom % 8;
        };
        ExpectDrawnFrom(
            scratch, picture, [&](int x) { return pr.left + x; }, row);
    }
}

TEST(GaugeArithmeticTest, FractionsPercentsAndTexts) {
    struct Case {
        int min, max, value;
        int percent;
    } cases[] = {
        {0, 8, 1, 12},  // 12.5 goes to the even 12
        {0, 8, 3, 38},  // 37.5 goes to 38
        {0, 100, 50, 50},
        {5, 5, 5, 0},  // equal limits
        {INT_MIN, INT_MAX, 0, 50},
        {INT_MIN, INT_MAX, INT_MAX, 100},
        {INT_MIN, INT_MAX, INT_MIN, 0},
    };
    for (const Case& c : cases) {
        const double f = GaugeFraction(c.min, c.max, c.value);
        EXPECT_GE(f, 0.0);
        EXPECT_LE(f, 1.0);
        EXPECT_EQ(GaugePercent(f), c.percent) << c.min << ".." << c.max << " at " << c.value;
    }
    EXPECT_EQ(GaugeText(true, "abc", true, 45), "abc45%");
    EXPECT_EQ(GaugeText(false, "abc", true, 45), "45%");
    EXPECT_EQ(GaugeText(true, "abc", false, 45), "abc");
    EXPECT_EQ(GaugeText(false, "", false, 45), "");
    EXPECT_EQ(GaugeBarRect(TRect{2, 2, 16, 361}, 0.5, true), (TRect{2, 181, 16, 361}));
    EXPECT_EQ(GaugeTextOrigin(false, 364, 19, 40, 14), (TPoint{162, 2}));
    EXPECT_EQ(GaugeTextOrigin(true, 19, 364, 40, 14), (TPoint{2, 202}));
}

TEST(ButtonPlacementTest, GlyphAndCaptionByLayoutAndMargin) {
    const TRect r{3, 3, 71, 21};  // centre 37, 12
    struct Case {
        int margin;
        TButtonLayout layout;
        TPoint glyph, caption;
    } cases[] = {
        // glyph 16 x 16, caption 40 x 14, spacing 1
        {-1, blGlyphLeft, {9, 4}, {25, 5}},   {-1, blGlyphRight, {49, 4}, {9, 5}},
        {-1, blGlyphTop, {29, -3}, {17, 13}}, {-1, blGlyphBottom, {29, 11}, {17, -3}},
        {5, blGlyphLeft, {8, 4}, {25, 5}},    {5, blGlyphRight, {50, 4}, {9, 5}},
        {5, blGlyphTop, {29, 8}, {17, 25}},   {5, blGlyphBottom, {29, 0}, {17, -15}},
        {0, blGlyphLeft, {3, 4}, {20, 5}},
    };
    for (const Case& c : cases) {
        const auto p = PlaceGlyphAndCaption(r, c.margin, 1, c.layout, 16, 16, 40, 14, false);
        EXPECT_EQ(p.glyph, c.glyph) << c.margin << " " << c.layout;
        EXPECT_EQ(p.caption, c.caption) << c.margin << " " << c.layout;
        const auto pressed = PlaceGlyphAndCaption(r, c.margin, 1, c.layout, 16, 16, 40, 14, true);
        EXPECT_EQ(pressed.caption, (TPoint{c.caption.x + 1, c.caption.y + 1}));
    }
    // A caption alone, centred in the 75 x 25 button's client rectangle.
    EXPECT_EQ(PlaceGlyphAndCaption(r, -1, 1, blGlyphLeft, 0, 0, 24, 14, false).caption,
              (TPoint{25, 5}));
    // Halves truncate towards zero, also for a rectangle turned inside out.
    EXPECT_EQ(
        PlaceGlyphAndCaption(TRect{10, 0, 3, 5}, -1, 0, blGlyphLeft, 0, 0, 9, 3, false).caption,
        (TPoint{10 - 3 + 4 - 9, 2 - 1}));
}

TEST(ButtonStateTest, GlyphNumbersAndLooks) {
    // active, down, enabled, count -> glyph
    const int glyphs[][5] = {
        {1, 1, 1, 4, 3}, {1, 1, 1, 2, 1}, {1, 0, 1, 4, 4}, {1, 0, 1, 3, 1},
        {0, 0, 0, 2, 2}, {0, 0, 0, 1, 1}, {0, 1, 1, 4, 1}, {1, 1, 0, 3, 3},
    };
    for (const auto& g : glyphs) {
        EXPECT_EQ(ButtonGlyphNumber(g[0], g[1], g[2], g[3]), g[4])
            << g[0] << g[1] << g[2] << " of " << g[3];
    }
    struct Case {
        TButtonState s;
        TButtonLook look;
    } looks[] = {
        {{.enabled = false, .has_disabled_look = true, .hot = true}, blkDisabled},
        {{.enabled = false, .has_disabled_look = false}, blkNormal},
        {{.down = true, .hot = true}, blkPressed},
        {{.down = true, .grouped = true}, blkPressed},
        {{.down = true, .focused = true, .mouse_pressed = false}, blkPressed},
        // Held by the mouse outside the button: not pressed, but focused.
        {{.down = true, .focused = true, .mouse_pressed = true}, blkActive},
        {{.down = true}, blkNormal},
        {{.hot = true}, blkActive},
        {{.morphing = true, .morph_factor = 1}, blkActive},
        {{.morphing = true, .morph_factor = 0.6}, blkNormal},
    };
    for (const Case& c : looks) {
        EXPECT_EQ(ChooseButtonLook(c.s), c.look)
            << c.s.enabled << c.s.down << c.s.hot << c.s.focused << c.s.mouse_pressed;
    }
    EXPECT_TRUE(ButtonShowsMorph({.morphing = true, .morph_factor = 0.4}));
    EXPECT_FALSE(ButtonShowsMorph({.enabled = false, .morphing = true, .morph_factor = 0.4}));
    EXPECT_FALSE(ButtonShowsMorph({.morphing = true, .morph_factor = 1}));
}

TEST(ButtonStateTest, AFadeTakesFiveTicksAndTurnsBackFromWhereItIs) {
    double f = 0;
    int ticks = 0;
    for (TMorphStep s{0, false}; !s.stop && ticks < 20; ++ticks) {
        s = MorphTick(f, true, true);
        f = s.factor;
        if (ticks < 4) {
            EXPECT_LT(f, 1.0) << "tick " << ticks;
        }
    }
    EXPECT_EQ(f, 1.0);
    EXPECT_EQ(ticks, 6) << "five steps, then the tick that finds it done";
    f = MorphTick(MorphTick(f, false, true).factor, false, true).factor;
    EXPECT_NEAR(f, 0.6, 1e-9);
    f = MorphTick(f, true, true).factor;
    EXPECT_NEAR(f, 0.8, 1e-9) << "back towards the active look from 0.6";
    EXPECT_EQ(MorphTick(0.4, true, false).factor, 1.0);
    EXPECT_TRUE(MorphTick(0.4, false, false).stop);
}

TEST(ButtonStateTest, Accelerators) {
    struct Case {
        const char* caption;
        char16_t ch;
        bool match;
    } cases[] = {
        {"\xca\xc7(&Y)", u'y', true},  // GBK "是(&Y)"
        {"\xca\xc7(&Y)", u'Y', true}, {"\xca\xc7(&Y)", u'n', false},
        {"a&&b", u'b', false},        {"a&&&b", u'b', true},
        {"&", u'&', false},           {"", u'a', false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsAccelerator(c.ch, c.caption), c.match) << c.caption;
    }
}

TEST_F(YellowTest, LabelSizesFollowTheirText) {
    TSkinBinding b = Bound("label");
    const TControlGeometry& g = b.Geometry();
    struct Case {
        bool use_skin_size, auto_size;
        int text_width;
        int w, h;
        int want_w, want_h, nc_right;
    } cases[] = {
        {true, false, 500, 274, 22, 274, 18, 271},
        {false, false, 500, 274, 22, 274, 22, 271},  // any height, stretched
        {true, true, 268 + 30, 274, 22, 304, 18, 301},
        {true, true, 268 - 30, 274, 22, 274, 18, 271},  // adapting never shrinks
    };
    for (const Case& c : cases) {
        int w = c.w;
        int h = c.h;
        TAdaptedGeometry a;
        AdaptLabelSize({c.use_skin_size, c.auto_size, c.text_width}, b.SizingMode(), g, w, h, a);
        EXPECT_EQ(w, c.want_w) << c.use_skin_size << c.auto_size << c.text_width;
        EXPECT_EQ(h, c.want_h);
        EXPECT_EQ(a.nc.right, c.nc_right);
    }
    // The width adjustment grows and shrinks by the overflow.
    EXPECT_EQ(LabelTextOverflow(true, smWidthOnly, 298, 274, TRect{3, 2, 271, 16}), 30);
    EXPECT_EQ(LabelTextOverflow(true, smWidthOnly, 238, 274, TRect{3, 2, 271, 16}), -30);
    EXPECT_EQ(LabelTextOverflow(true, smFixed, 900, 274, TRect{3, 2, 271, 16}), 0);
    EXPECT_EQ(LabelTextOverflow(false, smNone, 100, 75, TRect{}), 29);

    const TRect nc{3, 2, 79, 16};
    EXPECT_EQ(LabelCaptionOrigin(taRightJustify, nc, 50, 14), (TPoint{29, 2}));
    EXPECT_EQ(LabelCaptionOrigin(taLeftJustify, nc, 50, 14), (TPoint{3, 2}));
    EXPECT_EQ(LabelCaptionOrigin(taCenter, nc, 50, 13), (TPoint{16, 3}));
}

}  // namespace
}  // namespace skin
