// The skinned frame's portable core against the numbers of the skin
// "yellow" (main picture 161 x 159, clientrect 7,30,153,151, a mask black up
// to the window edge): geometry and insets, hit testing through the mask
// bands (run under the sanitizers, so no probe may read outside a band),
// tracking sizes, the inactive effects and the layout of the caption.

#include <gtest/gtest.h>

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
        auto* stored = new TbsCompressedStoredSkin(root_.get());
        stored->PackSkinFolder(std::string(UPDATER_ASSETS) + "/skins/yellow/skin.ini");
        data_ = new TbsSkinData(root_.get());
        data_->SetCompressedStoredSkin(stored);
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
    // The skin's frame objects as the layout sees them, with the caption
    // buttons of `shown` visible (the hidden ones have their looks in a
    // picture, so they are not drawn either).
    std::vector<TFrameObjectPlace> Places(const std::vector<TStdCommand>& shown) const {
        std::vector<TFrameObjectPlace> places;
        for (const auto& object : data_->FrameObjects()) {
            TFrameObjectPlace p;
            p.normal = object->skin_rect;
            p.in_picture = object->skin_rect_in_a_picture;
            if (dynamic_cast<const TbsDataSkinMenuItem*>(object.get()) ||
                dynamic_cast<const TbsDataSkinMainMenuItem*>(object.get()) ||
                dynamic_cast<const TbsDataSkinMainMenuBarButton*>(object.get())) {
                continue;
            }
            if (const auto* b = dynamic_cast<const TbsDataSkinStdButton*>(object.get())) {
                p.kind = fokStdButton;
                p.command = b->command;
                p.visible = std::find(shown.begin(), shown.end(), b->command) != shown.end();
            } else if (dynamic_cast<const TbsDataSkinCaption*>(object.get())) {
                p.kind = fokCaption;
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
    EXPECT_EQ(g.mask_area, g.client);
    EXPECT_EQ(g.caption, (TRect{4, 6, 479, 23}));
    EXPECT_EQ(g.right_top, (TPoint{462, 30}));
    EXPECT_EQ(g.left_bottom, (TPoint{24, 280}));
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
    EXPECT_EQ(yellow.right, 8);
    EXPECT_EQ(yellow.bottom, 8);
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
    const int w = 486;
    const int h = 288;
    const TFrameGeometry g = Geometry(w, h);
    const TMaskBands bands = Bands(g, w, h);
    TSkinHitTest base;
    base.width = w;
    base.height = h;
    base.geometry = &g;
    base.mask = &bands;
    base.border_width = Info().border_width;
    base.sizeable = true;
    base.captions = {TRect{5, 4, 462, 25}};
    TSkinHitTest fixed = base, no_mask = base, maximized = base, rolled = base, active = base,
                 moving = base, no_bands = base;
    fixed.sizeable = false;
    no_mask.mask = nullptr;
    maximized.maximized = true;
    rolled.rolled_up_or_minimized = true;
    active.object_active = true;
    moving.object_active = moving.in_size_move = true;
    const TMaskBands empty;
    no_bands.mask = &empty;
    struct Case {
        const TSkinHitTest* t;
        int x, y, code;
    } cases[] = {
        {&base, 0, 150, htLeft},        {&base, 2, 150, htLeft},
        {&base, 3, 150, htObject},      {&base, 483, 150, htRight},
        {&base, 485, 150, htRight},     {&base, 482, 150, htObject},
        {&base, 100, 0, htTop},         {&base, 100, 2, htTop},
        {&base, 100, 285, htBottom},    {&base, 100, 287, htBottom},
        {&base, 3, 1, htTopLeft},       {&base, 484, 1, htTopRight},
        {&base, 1, 286, htBottomLeft},  {&base, 484, 286, htBottomRight},
        {&base, 100, 15, htCaption},    {&base, 300, 150, htClient},
        {&base, 470, 15, htObject},     {&fixed, 1, 150, htObject},
        {&fixed, 100, 1, htObject},     {&fixed, 100, 15, htCaption},
        {&no_mask, 2, 150, htLeft},     {&no_mask, 3, 150, htObject},
        {&no_mask, 483, 150, htRight},  {&no_mask, 100, 287, htBottom},
        {&maximized, 1, 150, htObject}, {&maximized, 300, 150, htClient},
        {&rolled, 100, 15, htCaption},  {&rolled, 300, 150, htObject},
        {&active, 1, 150, htObject},    {&active, 100, 15, htCaption},
        {&active, 300, 150, htClient},  {&moving, 1, 150, htLeft},
        {&no_bands, 6, 150, htLeft},    {&no_bands, 300, 150, htClient},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(HitTestSkinned(*c.t, TPoint{c.x, c.y}), c.code)
            << c.x << "," << c.y << " case " << (&c - cases);
    }
    TSkinHitTest none;
    EXPECT_EQ(HitTestSkinned(none, TPoint{1, 1}), htNowhere);
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
    TTrackSizeInput yellow;
    yellow.skinned = true;
    yellow.picture_width = 161;
    yellow.picture_height = 159;
    yellow.client_rect = TRect{7, 30, 153, 151};
    yellow.monitor_width = 1024;
    yellow.monitor_height = 768;
    TTrackSizeInput built_in;
    built_in.monitor_width = 1024;
    built_in.monitor_height = 768;
    struct Case {
        TTrackSizeInput in;
        TPoint min, max;
    } cases[] = {
        {yellow, {161, 38}, {1024, 768}},
        {built_in, {120, 25}, {1024, 768}},
    };
    std::vector<Case> all(std::begin(cases), std::end(cases));
    const auto with = [&](TTrackSizeInput in, auto change, TPoint min, TPoint max) {
        change(in);
        all.push_back(Case{in, min, max});
    };
    using In = TTrackSizeInput&;
    with(yellow, [](In i) { i.min_width = 300, i.min_height = 100; }, {300, 100}, {1024, 768});
    with(yellow, [](In i) { i.min_width = 300, i.min_height = 100, i.minimized = true; }, {161, 38},
         {1024, 768});
    with(yellow, [](In i) { i.min_height = 100, i.rolled_up = true; }, {161, 38}, {1024, 768});
    with(yellow, [](In i) { i.max_width = 800, i.max_height = 20; }, {161, 38}, {800, 38});
    with(yellow, [](In i) { i.picture_width = i.picture_height = 0; }, {1, 1}, {1024, 768});
    with(yellow, [](In i) { i.client_rect = TRect{0, 0, 161, 159}; }, {161, 1}, {1024, 768});
    with(yellow, [](In i) { i.monitor_width = i.monitor_height = 0; }, {161, 38}, {161, 38});
    with(built_in, [](In i) { i.min_width = -5, i.caption_height = 15; }, {120, 21}, {1024, 768});
    with(built_in, [](In i) { i.min_width = 200; }, {200, 25}, {1024, 768});
    for (const Case& c : all) {
        SCOPED_TRACE(&c - all.data());
        EXPECT_EQ(MinTrackSize(c.in), c.min);
        EXPECT_EQ(MaxTrackSize(c.in), c.max);
    }
}

TEST(FrameCoreTest, ClientTiling) {
    EXPECT_EQ(ClientTiling(471, 250, 146, 121).columns, 4);
    EXPECT_EQ(ClientTiling(471, 250, 146, 121).rows, 3);
    EXPECT_EQ(ClientTiling(471, 250, 0, 121).columns, 0);
    EXPECT_EQ(ClientTiling(0, 250, 146, 121).rows, 0);
}

TEST(FrameCoreTest, InactiveEffects) {
    const auto one = [](TColor c, TInactiveEffect e) {
        TbsEffectBmp p(1, 1);
        p.SetPixel(0, 0, c);
        ApplyInactiveEffect(p, e, nullptr);
        return p.Pixel(0, 0);
    };
    const auto gray = [](int v) {
        const auto c = static_cast<uint8_t>(v);
        return MakeColor(c, c, c);
    };
    struct Case {
        TColor in;
        TInactiveEffect effect;
        TColor out;
    } cases[] = {
        {gray(100), ieBrightness, gray(178)},
        {gray(102), ieBrightness, gray(178)},
        {gray(255), ieBrightness, gray(255)},
        {gray(100), ieDarkness, gray(70)},
        {gray(5), ieDarkness, gray(4)},
        {gray(15), ieDarkness, gray(10)},
        {MakeColor(255, 0, 0), ieGrayScale, gray(76)},
        {MakeColor(0, 0, 255), ieGrayScale, gray(28)},
        {gray(100), ieInvert, gray(155)},
        {gray(100), ieNoise, gray(100)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(one(c.in, c.effect), c.out) << c.effect << " " << c.in;
    }

    TbsEffectBmp noisy(3, 1);
    const int values[] = {10, 250, 100};
    for (int x = 0; x < 3; ++x) {
        noisy.SetPixel(x, 0, gray(values[x]));
    }
    std::vector<int> draws = {0, 49, 30};
    size_t calls = 0;
    ApplyInactiveEffect(noisy, ieNoise, [&](int range) {
        EXPECT_EQ(range, 50);
        return draws[calls++ % draws.size()];
    });
    EXPECT_EQ(calls, 3u);
    EXPECT_EQ(noisy.Pixel(0, 0), gray(0));    // 10 - 25
    EXPECT_EQ(noisy.Pixel(1, 0), gray(255));  // 250 + 24
    EXPECT_EQ(noisy.Pixel(2, 0), gray(105));

    // Rows 0 / 100 / 200 and 40 / 80 / 120, blurred in place; worked out by
    // hand from the visiting order.
    TbsEffectBmp blur(3, 2);
    const int before[2][3] = {{0, 100, 200}, {40, 80, 120}};
    const int after[2][3] = {{55, 103, 125}, {69, 92, 110}};
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 3; ++x) {
            blur.SetPixel(x, y, gray(before[y][x]));
        }
    }
    ApplyInactiveEffect(blur, ieSplitBlur, nullptr);
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 3; ++x) {
            EXPECT_EQ(blur.Pixel(x, y), gray(after[y][x])) << x << "," << y;
        }
    }
    TbsEffectBmp none;
    for (TInactiveEffect e : {ieBrightness, ieSplitBlur, ieNoise}) {
        ApplyInactiveEffect(none, e, nullptr);
    }
    EXPECT_EQ(none.Width(), 0);
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
    info.client_rect = TRect{5, 20, 95, 95};
    info.caption_rect = TRect{2, 2, 98, 18};
    info.buttons_offset = 1;
    info.buttons_in_left = true;
    const TFrameGeometry g = CurrentGeometry(info, 100, 100, 150, 130);
    const auto object = [](TFrameObjectKind kind, TRect normal, bool in_picture,
                           TStdCommand command = cmDefault) {
        TFrameObjectPlace p;
        p.kind = kind, p.normal = normal, p.in_picture = in_picture, p.command = command;
        return p;
    };
    std::vector<TFrameObjectPlace> places = {
        object(fokUser, {2, 2, 10, 10}, false),
        object(fokUser, {85, 2, 95, 10}, false),
        object(fokUser, {2, 85, 10, 95}, false),
        object(fokUser, {85, 85, 95, 95}, false),
        object(fokUser, {2, 2, 95, 95}, false),
        object(fokUser, {2, 85, 95, 95}, false),
        object(fokUser, {2, 2, 10, 95}, false),
        object(fokUser, {85, 2, 95, 95}, false),
        object(fokUser, {30, 30, 50, 50}, false),
        object(fokCaption, {2, 2, 95, 18}, false),
        object(fokStdButton, {0, 0, 10, 12}, true, cmMaximize),
        object(fokStdButton, {0, 0, 14, 12}, true, cmClose),
        object(fokStdButton, {0, 0, 14, 12}, true, cmClose),  // second close: no place
        object(fokStdButton, {0, 0, 9, 9}, true, cmSysMenu),
    };
    LayoutFrameObjects(places, info, 100, 100, g);
    const TRect want[] = {
        {2, 2, 10, 10},
        {135, 2, 145, 10},
        {2, 115, 10, 125},
        {135, 115, 145, 125},
        {2, 2, 145, 125},
        {2, 115, 145, 125},
        {2, 2, 10, 125},
        {135, 2, 145, 125},
        {30, 30, 50, 50},
        {37, 2, 145, 18},
        {17, 2, 27, 14},
        {2, 2, 16, 14},
        {},
        {28, 2, 37, 11},
    };
    for (size_t i = 0; i < places.size(); ++i) {
        EXPECT_EQ(places[i].object_rect, want[i]) << i;
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
        {229, 4, 246, 21}, {212, 4, 229, 21}};
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
