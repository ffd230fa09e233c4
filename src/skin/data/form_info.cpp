#include "skin/data/form_info.h"

#include <algorithm>

namespace skin {

namespace {

// One list of keys for reading and writing each object.
template <typename O, typename V>
void FormInfoFields(O& o, V& v) {
    v.Point("lefttoppoint", o.left_top_point);
    v.Point("righttoppoint", o.right_top_point);
    v.Point("leftbottompoint", o.left_bottom_point);
    v.Point("rightbottompoint", o.right_bottom_point);
    v.Rect("clientrect", o.client_rect);
    v.Integer("bgpictureindex", o.bg_picture_index, -1);
    v.Integer("mdibgpictureindex", o.mdi_bg_picture_index, -1);
    v.Flag("leftstretch", o.left_stretch);
    v.Flag("rightstretch", o.right_stretch);
    v.Flag("topstretch", o.top_stretch);
    v.Flag("bottomstretch", o.bottom_stretch);
    v.Rect("maskrectarea", o.mask_rect_area);
    v.Point("hittestlefttoppoint", o.hittest_left_top_point);
    v.Point("hittestrighttoppoint", o.hittest_right_top_point);
    v.Point("hittestleftbottompoint", o.hittest_left_bottom_point);
    v.Point("hittestrightbottompoint", o.hittest_right_bottom_point);
    v.Rect("buttonsrect", o.buttons_rect);
    v.Rect("captionrect", o.caption_rect);
    v.Integer("buttonsoffset", o.buttons_offset, 0);
    v.Flag("buttonsinleft", o.buttons_in_left);
    v.Flag("mainmenupopupup", o.main_menu_popup_up);
    v.Integer("borderwidth", o.border_width, 0);
    v.Flag("autorenderinginactiveimage", o.auto_rendering_inactive_image);
    v.Effect("inactiveeffect", o.inactive_effect);
}

template <typename O, typename V>
void CornerFields(O& o, V& v) {
    v.Point("lefttoppoint", o.left_top_point);
    v.Point("righttoppoint", o.right_top_point);
    v.Point("leftbottompoint", o.left_bottom_point);
    v.Point("rightbottompoint", o.right_bottom_point);
}

template <typename O, typename V>
void StretchFields(O& o, V& v) {
    v.Flag("leftstretch", o.left_stretch);
    v.Flag("rightstretch", o.right_stretch);
    v.Flag("topstretch", o.top_stretch);
    v.Flag("bottomstretch", o.bottom_stretch);
}

template <typename O, typename V>
void PopupWindowFields(O& o, V& v) {
    v.Integer("windowpictureindex", o.window_picture_index, -1);
    v.Integer("maskpictureindex", o.mask_picture_index, -1);
    CornerFields(o, v);
    v.Rect("itemsrect", o.items_rect);
    v.Color("scrollmarkercolor", o.scroll_marker_color);
    v.Color("scrollmarkeractivecolor", o.scroll_marker_active_color);
    StretchFields(o, v);
}

template <typename O, typename V>
void HintWindowFields(O& o, V& v) {
    v.Integer("windowpictureindex", o.window_picture_index, -1);
    v.Integer("maskpictureindex", o.mask_picture_index, -1);
    CornerFields(o, v);
    v.Rect("clientrect", o.client_rect);
    v.Font("", o.font);
    StretchFields(o, v);
}

void ReplaceZeroPoint(TPoint& hit, const TPoint& frame) {
    if (hit.x == 0 || hit.y == 0) {
        hit = frame;
    }
}

constexpr std::string_view kFormInfo = "FORMINFO";
constexpr std::string_view kPopupWindow = "POPUPWINDOW";
constexpr std::string_view kHintWindow = "HINTWINDOW";

}  // namespace

void TSkinFormInfo::Load(const framework::TMemIniFile& ini, bool has_mask) {
    TSkinValueReader reader(ini, kFormInfo);
    FormInfoFields(*this, reader);

    const TRect& c = client_rect;
    if (has_mask) {
        if (mask_rect_area.IsEmpty()) {
            mask_rect_area = c;
        } else {
            mask_rect_area.left = std::min(mask_rect_area.left, c.left);
            mask_rect_area.top = std::min(mask_rect_area.top, c.top);
            mask_rect_area.right = std::max(mask_rect_area.right, c.right);
            mask_rect_area.bottom = std::max(mask_rect_area.bottom, c.bottom);
        }
        ReplaceZeroPoint(hittest_left_top_point, left_top_point);
        ReplaceZeroPoint(hittest_right_top_point, right_top_point);
        ReplaceZeroPoint(hittest_left_bottom_point, left_bottom_point);
        ReplaceZeroPoint(hittest_right_bottom_point, right_bottom_point);
    }

    if (right_bottom_point.x == left_top_point.x || right_bottom_point.y == left_top_point.y) {
        return;
    }
    left_top_point.x = std::max(left_top_point.x, c.left);
    left_top_point.y = std::max(left_top_point.y, c.top);
    right_top_point.x = std::min(right_top_point.x, c.right);
    right_top_point.y = std::max(right_top_point.y, c.top);
    left_bottom_point.x = std::max(left_bottom_point.x, c.left);
    left_bottom_point.y = std::min(left_bottom_point.y, c.bottom);
    right_bottom_point.x = std::min(right_bottom_point.x, c.right);
    right_bottom_point.y = std::min(right_bottom_point.y, c.bottom);
}

void TSkinFormInfo::Save(framework::TMemIniFile& ini) const {
    ini.EraseSection(kFormInfo);
    TSkinValueWriter writer(ini, kFormInfo);
    FormInfoFields(*this, writer);
}

void TbsDataSkinPopupWindow::Load(const framework::TMemIniFile& ini) {
    TSkinValueReader reader(ini, kPopupWindow);
    PopupWindowFields(*this, reader);
}

void TbsDataSkinPopupWindow::Save(framework::TMemIniFile& ini) const {
    ini.EraseSection(kPopupWindow);
    TSkinValueWriter writer(ini, kPopupWindow);
    PopupWindowFields(*this, writer);
}

void TbsDataSkinHintWindow::Load(const framework::TMemIniFile& ini) {
    TSkinValueReader reader(ini, kHintWindow);
    HintWindowFields(*this, reader);
}

void TbsDataSkinHintWindow::Save(framework::TMemIniFile& ini) const {
    ini.EraseSection(kHintWindow);
    TSkinValueWriter writer(ini, kHintWindow);
    HintWindowFields(*this, writer);
}

}  // namespace skin
