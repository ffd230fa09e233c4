#pragma once

// Checks shared by the skin fuzz targets: what any reader of a TbsSkinData may
// rely on, whatever the skin it was given, and what the picture builders do
// with its geometry.

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "framework/bitmap.h"
#include "framework/ini.h"
#include "fuzz_check.h"
#include "skin/data/control_objects.h"
#include "skin/data/frame_objects.h"
#include "skin/data/mask.h"
#include "skin/data/picture.h"
#include "skin/data/skin_data.h"

namespace skin::fuzz {

// Keys that hold a rectangle or a point.
inline bool IsGeometryKey(std::string_view key) {
    return key.ends_with("rect") || key.ends_with("rsect") || key.ends_with("point") ||
           key.ends_with("area");
}

// No coordinate written for `section` is negative.
inline void CheckGeometry(const framework::TMemIniFile& ini, const std::string& section) {
    for (const std::string& key : ini.ReadSection(section)) {
        if (IsGeometryKey(key)) {
            FUZZ_CHECK(ini.ReadString(section, key, "").find('-') == std::string::npos);
        }
    }
}

// Save, Load into a new object of the same class, Save: the same text.
template <typename Object, typename Create, typename TypeWord>
void CheckRoundTrip(const Object& object, Create create, TypeWord type_word) {
    framework::TMemIniFile first;
    object.Save(first);
    CheckGeometry(first, object.name);
    auto copy = create(type_word(object), object.name);
    FUZZ_CHECK(copy != nullptr);
    copy->Load(first);
    framework::TMemIniFile second;
    copy->Save(second);
    FUZZ_CHECK(first.ToText() == second.ToText());
}

inline void CheckSkinData(const TbsSkinData& data) {
    const int count = static_cast<int>(data.PictureList().size());
    for (int i = 0; i < count; ++i) {
        FUZZ_CHECK(data.PictureList()[static_cast<size_t>(i)] != nullptr);
        FUZZ_CHECK(!data.PictureList()[static_cast<size_t>(i)]->Empty());
        FUZZ_CHECK(data.Picture(i) == data.PictureList()[static_cast<size_t>(i)].get());
    }
    FUZZ_CHECK(data.Picture(-1) == nullptr && data.Picture(count) == nullptr);

    framework::TMemIniFile windows;
    data.FormInfo().Save(windows);
    data.PopupWindow().Save(windows);
    data.HintWindow().Save(windows);
    for (const char* section : {"FORMINFO", "POPUPWINDOW", "HINTWINDOW"}) {
        CheckGeometry(windows, section);
    }

    for (size_t i = 0; i < data.FrameObjects().size(); ++i) {
        const TbsDataSkinObject& object = *data.FrameObjects()[i];
        const int found = data.IndexOfFrameObject(object.name);
        FUZZ_CHECK(found >= 0 && found <= static_cast<int>(i));
        FUZZ_CHECK(data.FrameObject(found)->name == object.name);
        CheckRoundTrip(object, CreateFrameObject, FrameObjectTypeWord);
    }
    for (size_t i = 0; i < data.ControlObjects().size(); ++i) {
        const TbsDataSkinControl& object = *data.ControlObjects()[i];
        const int found = data.IndexOfControlObject(object.name);
        FUZZ_CHECK(found >= 0 && found <= static_cast<int>(i));
        FUZZ_CHECK(data.ControlObject(found)->name == object.name);
        CheckRoundTrip(object, CreateControlObject, ControlObjectTypeWord);
    }
}

// A small picture whose pixels differ, 24-bit or 8-bit: the stand-in for the
// pictures a skin does not have.
inline framework::TBitmapData StandInPicture(bool indexed) {
    framework::TBitmapData picture(23, 17, framework::pf24bit);
    for (int y = 0; y < picture.Height(); ++y) {
        for (int x = 0; x < picture.Width(); ++x) {
            picture.SetPixel(x, y,
                             framework::MakeColor(static_cast<uint8_t>(x * 11),
                                                  static_cast<uint8_t>(y * 15), 0x40));
        }
    }
    if (indexed) {
        picture.ConvertTo(framework::pf8bit);
    }
    return picture;
}

// x + d without overflow (the program's own geometry code must not overflow
// either; here only the builders are under test).
inline int Plus(int x, int64_t d) {
    return static_cast<int>(std::clamp<int64_t>(x + d, INT_MIN, INT_MAX));
}

// The geometry of a piece of sw x sh moved to a target of w x h, as the
// controls and the frame move it: the right and bottom parts follow the
// target's right and bottom edges.
inline TPartGeometry MovedGeometry(const TPartGeometry& g, int sw, int sh, int w, int h) {
    const int64_t dx = int64_t{w} - sw;
    const int64_t dy = int64_t{h} - sh;
    return TPartGeometry{
        g.left_top,
        {Plus(g.right_top.x, dx), g.right_top.y},
        {g.left_bottom.x, Plus(g.left_bottom.y, dy)},
        {Plus(g.right_bottom.x, dx), Plus(g.right_bottom.y, dy)},
        {g.client.left, g.client.top, Plus(g.client.right, dx), Plus(g.client.bottom, dy)}};
}

// The picture builders with the skin's own geometry, as the controls and the
// frame use them at the sizes the updater's window gives them: whatever the
// skin holds, they raise nothing, a side taken from the geometry is no longer
// than the picture it is cut from, and a side asked for is what was asked.
// `fallback` stands in for every missing picture (a description alone has
// none).
inline void CheckBuilders(const TbsSkinData& data, const framework::TBitmapData& fallback) {
    auto or_fallback = [&](const framework::TBitmapData* p) -> const framework::TBitmapData& {
        return p != nullptr && !p->Empty() ? *p : fallback;
    };
    framework::TBitmapData target, top, bottom, left, right;
    for (const auto& object : data.ControlObjects()) {
        const auto* control = dynamic_cast<const TbsDataSkinCustomControl*>(object.get());
        if (control == nullptr) {
            continue;
        }
        const framework::TBitmapData& source = or_fallback(data.Picture(control->picture_index));
        const TRect& piece = control->skin_rect;
        const TPartGeometry g{control->left_top_point, control->right_top_point,
                              control->left_bottom_point, control->right_bottom_point,
                              control->client_rect};
        constexpr int kWidth = 75, kHeight = 25;
        const int right_width = static_cast<int>(
            std::clamp<int64_t>(int64_t{piece.Width()} - g.right_top.x, INT_MIN, INT_MAX));
        BuildPartImage3H(source, piece, g.left_top.x, right_width, kWidth, target);
        FUZZ_CHECK(target.Width() == kWidth && target.Height() <= source.Height());
        const int bottom_height = static_cast<int>(
            std::clamp<int64_t>(int64_t{piece.Height()} - g.left_bottom.y, INT_MIN, INT_MAX));
        BuildPartImage3V(source, piece, g.left_top.y, bottom_height, kHeight, target);
        FUZZ_CHECK(target.Height() == kHeight && target.Width() <= source.Width());
        const TPartGeometry n = MovedGeometry(g, piece.Width(), piece.Height(), kWidth, kHeight);
        BuildPartImage9(source, piece, g, n, kWidth, kHeight, true, target);
        FUZZ_CHECK(target.Width() == kWidth && target.Height() == kHeight);
        MaskRuns9(or_fallback(data.Picture(control->mask_picture_index)), g, n, kWidth, kHeight);
    }

    // The frame of a window of 486 x 288 from the main picture, and its mask.
    const TSkinFormInfo& form = data.FormInfo();
    const framework::TBitmapData& main = or_fallback(&data.MainPicture());
    const TPartGeometry g{form.left_top_point, form.right_top_point, form.left_bottom_point,
                          form.right_bottom_point, form.client_rect};
    constexpr int kWindowWidth = 486, kWindowHeight = 288;
    const TPartGeometry n =
        MovedGeometry(g, main.Width(), main.Height(), kWindowWidth, kWindowHeight);
    BuildFrameBands(
        main, TRect{0, 0, main.Width(), main.Height()}, g, n, kWindowWidth, kWindowHeight,
        TBandStretch{form.left_stretch, form.right_stretch, form.top_stretch, form.bottom_stretch},
        top, bottom, left, right);
    FUZZ_CHECK(top.Height() <= main.Height() && bottom.Height() <= main.Height());
    FUZZ_CHECK(left.Width() <= main.Width() && right.Width() <= main.Width());
    const framework::TBitmapData& mask = or_fallback(&data.MaskPicture());
    TPartGeometry mask_geometry = g;
    mask_geometry.client = form.mask_rect_area;
    const TPartGeometry mask_moved =
        MovedGeometry(mask_geometry, mask.Width(), mask.Height(), kWindowWidth, kWindowHeight);
    BuildMaskBands(mask, mask_geometry, mask_moved, kWindowWidth, kWindowHeight, top, bottom, left,
                   right);
    FUZZ_CHECK(top.Height() <= mask.Height() && left.Width() <= mask.Width());
}

}  // namespace skin::fuzz
