// The skinned frame's portable core against the numbers of the skin
// "yellow" (main picture 161 x 159, clientrect 7,30,153,151, a mask black up
// to the window edge): geometry and insets, hit testing through the mask
// bands (run under the sanitizers, so no probe may read outside a band),
// tracking sizes, the inactive effects and the layout of the caption.

#include <gtest/gtest.h>

#include "support/skins.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "skin/data/mask.h"
#include "skin/data/skin_data.h"
#include "skin/data/stored_skin.h"
#include "skin/form/core/frame_core.h"

namespace skin {
namespace {

using framework::MakeColor;

class YellowFrame : public ::testing::Test {
  protected:
    void SetUp() override {
        root_ = std::make_unique<framework::TComponent>(nullptr);
        data_ = test_support::SkinDataOf(root_.get(), "yellow");
        ASSERT_FALSE(data_->SkinEmpty());
        ASSERT_EQ(Pw(), 161);
        ASSERT_EQ(Ph(), 159);
    }
    const TSkinFormInfo& Info() const { return data_->FormInfo(); }
    int Pw() const { return data_->MainPicture().Width(); }
    int Ph() const { return data_->MainPicture().Height(); }
    TFrameGeometry Geometry(int w, int h) const {
        return CurrentGeometry(Info(), Pw(), Ph(), w, h);
    }
    TMaskBands Bands(const TFrameGeometry& g, int w, int h) const {
        TMaskBands b;
        BuildMaskBands(data_->MaskPicture(), PictureMaskParts(Info()), WindowMaskParts(g), w, h,
                       b.top, b.bottom, b.left, b.right);
        return b;
    }
    // The skin's caption and caption buttons as the layout sees them, the
    // buttons of `shown` visible.
    std::vector<TFrameObjectPlace> Places(const std::vector<TStdCommand>& shown) const {
        std::vector<TFrameObjectPlace> places;
        for (const auto& object : data_->FrameObjects()) {
            TFrameObjectPlace p;
            p.normal = object->skin_rect;
            p.in_picture = object->skin_rect_in_a_picture;
            const auto* b = dynamic_cast<const TbsDataSkinStdButton*>(object.get());
            if (b != nullptr && !dynamic_cast<const TbsDataSkinMainMenuBarButton*>(b)) {
                p.kind = fokStdButton, p.command = b->command;
                p.visible = std::find(shown.begin(), shown.end(), b->command) != shown.end();
            } else if (dynamic_cast<const TbsDataSkinCaption*>(object.get())) {
                p.kind = fokCaption;
            } else {
                continue;
            }
            places.push_back(p);
        }
        return places;
    }

    std::unique_ptr<framework::TComponent> root_;
    TbsSkinData* data_ = nullptr;
};

TEST_F(YellowFrame, GeometryFollowsTheWindowSize) {
    const TFrameGeometry g = Geometry(486, 288);
    EXPECT_EQ(g.client, (TRect{7, 30, 478, 280}));
    EXPECT_EQ(g.caption, (TRect{4, 6, 479, 23}));
    EXPECT_EQ(g.right_top, (TPoint{462, 30}));
    EXPECT_EQ(g.hit_right_bottom, (TPoint{462, 280}));
    EXPECT_TRUE(g.buttons.IsEmpty());

    // A buttons rectangle in the right half follows the right edge.
    TSkinFormInfo info = Info();
    info.buttons_rect = TRect{81, 2, 150, 20};
    EXPECT_EQ(CurrentGeometry(info, 161, 159, 261, 159).buttons, (TRect{181, 2, 250, 20}));
    info.buttons_rect = TRect{80, 2, 150, 20};
    EXPECT_EQ(CurrentGeometry(info, 161, 159, 261, 159).buttons, info.buttons_rect);
}

TEST_F(YellowFrame, ClientRectangleOfAProposedWindow) {
    const TFrameInsets yellow = SkinnedInsets(Info(), Pw(), Ph());
    TSkinFormInfo beyond = Info();
    beyond.client_rect = TRect{7, 30, 400, 500};  // reaches outside the picture
    struct Case {
        TFrameInsets insets;
        TRect window, client;
    } cases[] = {
        {yellow, {0, 0, 486, 288}, {7, 30, 478, 280}},
        {yellow, {-600, 40, -114, 328}, {-593, 70, -122, 320}},
        {yellow, {50, 60, 60, 70}, {57, 90, 57, 90}},          // 10 x 10: nothing left
        {TFrameInsets{}, {0, 0, 486, 288}, {0, 0, 486, 288}},  // bsNone
        {BuiltInInsets(false), {0, 0, 300, 200}, {3, 22, 297, 197}},
        {BuiltInInsets(true), {0, 0, 300, 200}, {3, 18, 297, 197}},
        {SkinnedInsets(beyond, 161, 159), {0, 0, 100, 100}, {7, 30, 100, 100}},
        {SkinnedInsets(Info(), 0, 0), {0, 0, 100, 100}, {7, 30, 100, 100}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(InsetClientRect(c.window, c.insets), c.client) << c.window.left;
    }
}

TEST(FrameCoreTest, LParamWordsAreSigned) {
    struct Case {
        uint32_t words;
        TPoint p;
    } cases[] = {
        {0x00280064u, {100, 40}},
        {0xFFECFFF6u, {-10, -20}},
        {0x0005FB00u, {-1280, 5}},
        {0x8000FFFFu, {-1, -32768}},
    };
    for (const Case& c : cases) {
        // Zero- and sign-extended words give the same point.
        EXPECT_EQ(PointFromLParam(static_cast<intptr_t>(c.words)), c.p);
        EXPECT_EQ(PointFromLParam(static_cast<intptr_t>(static_cast<int32_t>(c.words))), c.p);
    }
}

TEST_F(YellowFrame, MaskCutsTheCorners) {
    const int w = 486;
    const int h = 288;
    const TFrameGeometry g = Geometry(w, h);
    const TMaskBands bands = Bands(g, w, h);
    struct Case {
        int x, y;
        bool black;
    } cases[] = {
        {0, 0, false},      {4, 0, false},     {5, 0, true},     {w - 5, 0, false},
        {w - 6, 0, true},   {2, 1, false},     {3, 1, true},     {0, h - 2, false},
        {1, h - 2, true},   {1, h - 1, false}, {2, h - 1, true}, {0, 150, true},
        {w - 1, 150, true}, {300, 150, true},  {-1, 150, false}, {w, 150, false},
        {100, -3, false},   {100, h, false},   {-5, -5, false},  {w + 9, h + 9, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MaskIsBlackAt(bands, g.mask_area, TPoint{c.x, c.y}), c.black)
            << c.x << "," << c.y;
    }
    // No bands at all: only the mask area is inside.
    EXPECT_FALSE(MaskIsBlackAt(TMaskBands{}, g.mask_area, TPoint{0, 150}));
    EXPECT_TRUE(MaskIsBlackAt(TMaskBands{}, g.mask_area, TPoint{7, 30}));
}

TEST_F(YellowFrame, HitTestOfASkinnedWindow) {
    const TFrameGeometry g = Geometry(486, 288);
    const TMaskBands bands = Bands(g, 486, 288);
    const TMaskBands no_bands;
    enum { kFixed = 1, kNoMask = 2, kMax = 4, kRolled = 8, kActive = 16, kMoving = 32, kBare = 64 };
    struct Case {
        int flags, x_from, x_to, y, code;
    } cases[] = {
        {0, 0, 2, 150, htLeft},
        {0, 3, 3, 150, htObject},
        {0, 483, 485, 150, htRight},
        {0, 482, 482, 150, htObject},
        {0, 100, 100, 0, htTop},
        {0, 100, 100, 2, htTop},
        {0, 100, 100, 285, htBottom},
        {0, 100, 100, 287, htBottom},
        {0, 3, 3, 1, htTopLeft},
        {0, 484, 484, 1, htTopRight},
        {0, 1, 1, 286, htBottomLeft},
        {0, 484, 484, 286, htBottomRight},
        {0, 100, 100, 15, htCaption},
        {0, 300, 300, 150, htClient},
        {0, 470, 470, 15, htObject},
        {kFixed, 1, 1, 150, htObject},
        {kFixed, 100, 100, 1, htObject},
        {kFixed, 100, 100, 15, htCaption},
        {kNoMask, 0, 2, 150, htLeft},
        {kNoMask, 3, 3, 150, htObject},
        {kNoMask, 483, 485, 150, htRight},
        {kMax, 1, 1, 150, htObject},
        {kRolled, 100, 100, 15, htCaption},
        {kRolled, 300, 300, 150, htObject},
        {kActive, 1, 1, 150, htObject},
        {kActive, 100, 100, 15, htCaption},
        {kActive, 300, 300, 150, htClient},
        {kMoving, 1, 1, 150, htLeft},
        {kBare, 6, 6, 150, htLeft},
        {kBare, 300, 300, 150, htClient},
    };
    for (const Case& c : cases) {
        TSkinHitTest t;
        t.width = 486, t.height = 288, t.geometry = &g, t.border_width = Info().border_width;
        t.mask = (c.flags & kNoMask) ? nullptr : (c.flags & kBare) ? &no_bands : &bands;
        t.sizeable = !(c.flags & kFixed), t.maximized = c.flags & kMax;
        t.rolled_up_or_minimized = c.flags & kRolled;
        t.object_active = c.flags & (kActive | kMoving), t.in_size_move = c.flags & kMoving;
        t.captions = {
            TRect{5, 4, 462, 25},
        };
        for (int x = c.x_from; x <= c.x_to; ++x) {
            EXPECT_EQ(HitTestSkinned(t, TPoint{x, c.y}), c.code)
                << x << "," << c.y << " " << c.flags;
        }
    }
    EXPECT_EQ(HitTestSkinned(TSkinHitTest{}, TPoint{1, 1}), htNowhere);  // no geometry
}

TEST(FrameCoreTest, HitTestOfTheBuiltInFrame) {
    const bool close_only[7] = {true};
    TBuiltInHitTest t;
    t.width = 300;
    t.height = 200;
    t.caption = LayoutBuiltInCaption(300, false, close_only, TPoint{}).caption;
    t.sizeable = true;
    TBuiltInHitTest fixed = t;
    fixed.sizeable = false;
    TBuiltInHitTest active = t;
    active.object_active = true;
    struct Case {
        const TBuiltInHitTest* t;
        int x, y, code;
    } cases[] = {
        {&t, 2, 100, htLeft},        {&t, 3, 100, htClient},     {&t, 3, 10, htCaption},
        {&t, 298, 100, htRight},     {&t, 297, 100, htObject},   {&t, 296, 100, htClient},
        {&t, 100, 2, htTop},         {&t, 100, 198, htBottom},   {&t, 1, 1, htTopLeft},
        {&t, 299, 0, htTopRight},    {&t, 0, 199, htBottomLeft}, {&t, 299, 199, htBottomRight},
        {&t, 285, 10, htObject},     {&fixed, 2, 100, htObject}, {&fixed, 3, 10, htCaption},
        {&active, 2, 100, htObject},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(HitTestBuiltIn(*c.t, TPoint{c.x, c.y}), c.code) << c.x << "," << c.y;
    }
}

TEST(FrameCoreTest, TrackSizes) {
    enum { kNormal, kMinimized, kRolledUp };
    struct Case {
        bool skinned;
        int frame_height;  // skinned: the picture's height less the client's
        int min_w, min_h, max_w, max_h, state, monitor;
        TPoint min, max;
    } cases[] = {
        {true, 38, 0, 0, 0, 0, kNormal, 1024, {161, 38}, {1024, 1024}},
        {true, 38, 300, 100, 0, 0, kNormal, 1024, {300, 100}, {1024, 1024}},
        {true, 38, 300, 100, 0, 0, kMinimized, 1024, {161, 38}, {1024, 1024}},
        {true, 38, 0, 100, 0, 0, kRolledUp, 1024, {161, 38}, {1024, 1024}},
        {true, 38, 0, 0, 800, 20, kNormal, 1024, {161, 38}, {800, 38}},
        {true, 0, 0, 0, 0, 0, kNormal, 1024, {161, 1}, {1024, 1024}},
        {true, -5, 0, 0, 0, 0, kNormal, 0, {161, 1}, {161, 1}},
        {false, 0, 0, 0, 0, 0, kNormal, 768, {120, 25}, {768, 768}},
        {false, 0, -5, 0, 0, 0, kNormal, 768, {120, 25}, {768, 768}},
        {false, 0, 200, 30, 0, 0, kNormal, 768, {200, 30}, {768, 768}},
    };
    for (const Case& c : cases) {
        TTrackSizeInput in;
        in.skinned = c.skinned;
        in.picture_width = 161;
        in.picture_height = 159;
        in.client_rect = TRect{7, 0, 153, 159 - c.frame_height};
        in.min_width = c.min_w, in.min_height = c.min_h;
        in.max_width = c.max_w, in.max_height = c.max_h;
        in.minimized = c.state == kMinimized, in.rolled_up = c.state == kRolledUp;
        in.monitor_width = in.monitor_height = c.monitor;
        EXPECT_EQ(MinTrackSize(in), c.min) << &c - cases;
        EXPECT_EQ(MaxTrackSize(in), c.max) << &c - cases;
    }
    TTrackSizeInput empty;
    empty.skinned = true;  // a picture of 0 x 0
    EXPECT_EQ(MinTrackSize(empty), (TPoint{1, 1}));
    EXPECT_EQ(ClientTiling(471, 250, 146, 121).columns, 4);
    EXPECT_EQ(ClientTiling(471, 250, 146, 121).rows, 3);
    EXPECT_EQ(ClientTiling(471, 250, 0, 121).columns, 0);
}

// Gray pictures as rows of values.
using TGray = std::vector<std::vector<int>>;

TEST(FrameCoreTest, InactiveEffects) {
    const auto gray = [](int v) {
        const auto c = static_cast<uint8_t>(v);
        return MakeColor(c, c, c);
    };
    const int draws[] = {0, 49, 30};
    size_t calls = 0;
    const TRandom random = [&](int range) {
        EXPECT_EQ(range, 50);
        return draws[calls++ % 3];
    };
    struct Case {
        TInactiveEffect effect;
        TGray before, after;
    } cases[] = {
        {ieBrightness, {{100, 102, 255}}, {{178, 178, 255}}},  // halves to even
        {ieDarkness, {{100, 5, 15}}, {{70, 4, 10}}},
        {ieInvert, {{100, 0}}, {{155, 255}}},
        {ieNoise, {{10, 250, 100}}, {{0, 255, 105}}},  // -25, +24, +5
        // Worked out by hand in the visiting order: new values above and left.
        {ieSplitBlur, {{0, 100, 200}, {40, 80, 120}}, {{55, 103, 125}, {69, 92, 110}}},
        {ieSplitBlur, {}, {}},
    };
    for (const Case& c : cases) {
        const int h = static_cast<int>(c.before.size());
        const int w = h > 0 ? static_cast<int>(c.before[0].size()) : 0;
        TbsEffectBmp p(w, h);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                p.SetPixel(x, y, gray(c.before[y][x]));
            }
        }
        ApplyInactiveEffect(p, c.effect, random);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                EXPECT_EQ(p.Pixel(x, y), gray(c.after[y][x])) << c.effect << " " << x << "," << y;
            }
        }
    }
    EXPECT_EQ(calls, 3u);
    TbsEffectBmp red(2, 1);
    red.SetPixel(0, 0, MakeColor(255, 0, 0));
    red.SetPixel(1, 0, MakeColor(0, 0, 255));
    ApplyInactiveEffect(red, ieGrayScale, nullptr);
    EXPECT_EQ(red.Pixel(0, 0), gray(76));
    EXPECT_EQ(red.Pixel(1, 0), gray(28));
}

TEST_F(YellowFrame, CaptionButtonsAndCaptionObjectFollowTheWidth) {
    const auto layout = [&](int w, const std::vector<TStdCommand>& shown) {
        std::vector<TFrameObjectPlace> places = Places(shown);
        LayoutFrameObjects(places, Info(), Pw(), Ph(), Geometry(w, 301));
        return places;
    };
    const auto find = [](const std::vector<TFrameObjectPlace>& places, TFrameObjectKind kind,
                         TStdCommand command) {
        for (const TFrameObjectPlace& p : places) {
            if (p.kind == kind && (kind != fokStdButton || p.command == command)) {
                return p.object_rect;
            }
        }
        return TRect{-1, -1, -1, -1};
    };
    const auto update_window = layout(495, {cmClose});
    ASSERT_EQ(update_window.size(), 7u);
    EXPECT_EQ(find(update_window, fokStdButton, cmClose), (TRect{471, 6, 488, 23}));
    EXPECT_EQ(find(update_window, fokCaption, cmDefault), (TRect{5, 4, 471, 25}));
    EXPECT_TRUE(find(update_window, fokStdButton, cmMaximize).IsEmpty());

    const auto all =
        layout(486, {cmClose, cmMaximize, cmMinimize, cmSysMenu, cmRollUp, cmMinimizeToTray});
    struct Case {
        TStdCommand command;
        TRect r;
    } cases[] = {
        {cmClose, {462, 6, 479, 23}},          {cmMaximize, {443, 6, 460, 23}},
        {cmMinimize, {424, 6, 441, 23}},       {cmRollUp, {405, 6, 422, 23}},
        {cmMinimizeToTray, {386, 6, 403, 23}}, {cmSysMenu, {4, 6, 21, 23}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(find(all, fokStdButton, c.command), c.r) << c.command;
    }
    EXPECT_EQ(find(all, fokCaption, cmDefault), (TRect{21, 4, 386, 25}));

    // Narrower than its buttons: the caption object is empty, never negative.
    const TRect narrow = find(layout(40, {cmClose, cmMaximize}), fokCaption, cmDefault);
    EXPECT_TRUE(narrow.IsEmpty());
    EXPECT_EQ(narrow.Width(), 0);
}

TEST(FrameCoreTest, ButtonsOnTheLeftAndCornerAnchoring) {
    // A 100 x 100 picture with corner points (20, 20) and (80, 80), drawn at
    // 150 x 130 (dx 50, dy 30).
    TSkinFormInfo info;
    info.left_top_point = {20, 20};
    info.right_top_point = {80, 20};
    info.left_bottom_point = {20, 80};
    info.right_bottom_point = {80, 80};
    info.caption_rect = TRect{2, 2, 98, 18};
    info.buttons_offset = 1;
    info.buttons_in_left = true;
    struct Case {
        TFrameObjectKind kind;
        TRect normal;
        TStdCommand command;
        TRect want;
    } cases[] = {
        {fokUser, {2, 2, 10, 10}, cmDefault, {2, 2, 10, 10}},
        {fokUser, {85, 2, 95, 10}, cmDefault, {135, 2, 145, 10}},
        {fokUser, {2, 85, 10, 95}, cmDefault, {2, 115, 10, 125}},
        {fokUser, {85, 85, 95, 95}, cmDefault, {135, 115, 145, 125}},
        {fokUser, {2, 2, 95, 95}, cmDefault, {2, 2, 145, 125}},
        {fokUser, {2, 85, 95, 95}, cmDefault, {2, 115, 145, 125}},
        {fokUser, {2, 2, 10, 95}, cmDefault, {2, 2, 10, 125}},
        {fokUser, {85, 2, 95, 95}, cmDefault, {135, 2, 145, 125}},
        {fokUser, {30, 30, 50, 50}, cmDefault, {30, 30, 50, 50}},
        {fokCaption, {2, 2, 95, 18}, cmDefault, {39, 2, 145, 18}},  // 37 + two gaps
        // In a picture: placed from the left, close first, system menu last.
        {fokStdButton, {0, 0, 10, 12}, cmMaximize, {17, 2, 27, 14}},
        {fokStdButton, {0, 0, 14, 12}, cmClose, {2, 2, 16, 14}},
        {fokStdButton, {0, 0, 14, 12}, cmClose, {}},  // a second close: no place
        {fokStdButton, {0, 0, 9, 9}, cmSysMenu, {28, 2, 37, 11}},
    };
    std::vector<TFrameObjectPlace> places;
    for (const Case& c : cases) {
        TFrameObjectPlace p;
        p.kind = c.kind, p.normal = c.normal, p.command = c.command;
        p.in_picture = c.kind == fokStdButton;
        places.push_back(p);
    }
    LayoutFrameObjects(places, info, 100, 100, CurrentGeometry(info, 100, 100, 150, 130));
    for (size_t i = 0; i < places.size(); ++i) {
        EXPECT_EQ(places[i].object_rect, cases[i].want) << i;
    }
}

TEST(FrameCoreTest, BuiltInCaption) {
    const bool close_only[7] = {true};
    const bool all[7] = {true, true, true, true, false, true, true};
    TBuiltInCaption c = LayoutBuiltInCaption(300, false, close_only, TPoint{});
    EXPECT_EQ(c.caption, (TRect{3, 3, 280, 19}));
    EXPECT_EQ(c.buttons[cmClose], (TRect{280, 4, 297, 21}));
    EXPECT_TRUE(c.buttons[cmMaximize].IsEmpty());

    c = LayoutBuiltInCaption(300, false, all, TPoint{16, 16});
    const TRect want[7] = {
        {280, 4, 297, 21}, {263, 4, 280, 21}, {246, 4, 263, 21}, {3, 4, 19, 20}, {},
        {229, 4, 246, 21}, {212, 4, 229, 21},
    };
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(c.buttons[i], want[i]) << i;
    }
    EXPECT_EQ(c.caption, (TRect{19, 3, 212, 19}));

    c = LayoutBuiltInCaption(100, true, close_only, TPoint{});
    EXPECT_EQ(c.caption, (TRect{3, 3, 84, 15}));
    EXPECT_EQ(c.buttons[cmClose], (TRect{84, 4, 97, 17}));
    c = LayoutBuiltInCaption(10, false, all, TPoint{});
    EXPECT_EQ(c.caption.Width(), 0);
}

TEST(FrameCoreTest, CaptionText) {
    const TRect area{10, 20, 111, 40};
    EXPECT_EQ(CaptionTextOrigin(area, taLeftJustify, 30, 11), (TPoint{10, 25}));
    EXPECT_EQ(CaptionTextOrigin(area, taRightJustify, 30, 11), (TPoint{81, 25}));
    EXPECT_EQ(CaptionTextOrigin(area, taCenter, 30, 11), (TPoint{45, 25}));

    // Yellow's caption object, 466 wide in a 495-wide window.
    const TRect text{2, 0, 146, 17}, skin{5, 4, 153, 25}, frame{4, 92, 48, 113},
        frame_text{8, 3, 36, 18};
    EXPECT_EQ(CaptionTextArea(text, skin, frame, frame_text, 466), (TRect{10, 3, 456, 17}));
    EXPECT_EQ(CaptionTextArea(text, skin, TRect{}, frame_text, 466), (TRect{2, 0, 464, 17}));
    EXPECT_EQ(CaptionTextArea(TRect{}, skin, TRect{}, frame_text, 466), TRect{});
    EXPECT_EQ(CaptionTextArea(text, skin, frame, frame_text, 10), (TRect{10, 3, 10, 17}));
}

}  // namespace
}  // namespace skin
