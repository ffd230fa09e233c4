#pragma once

// The window-wide parts of a skin description: the form information
// ([FORMINFO]), which describes the frame cut from the main picture, and the
// popup-window ([POPUPWINDOW]) and hint-window ([HINTWINDOW]) objects.
//
// Values are decoded as skin_values.h describes; coordinates are never
// negative and are not clamped to any picture. Picture indexes are kept as
// read: resolve them with TbsSkinData::Picture, which gives null for an index
// outside the picture list.

#include <string_view>

#include "framework/ini.h"
#include "skin/data/skin_values.h"

namespace skin {

struct TSkinFormInfo {
    // Inner corners of the four fixed corner blocks of the frame.
    TPoint left_top_point;
    TPoint right_top_point;
    TPoint left_bottom_point;
    TPoint right_bottom_point;
    TRect client_rect;  // the client area inside the main picture
    int bg_picture_index = -1;
    int mdi_bg_picture_index = -1;
    // The band on that side is stretched instead of tiled.
    bool left_stretch = false;
    bool right_stretch = false;
    bool top_stretch = false;
    bool bottom_stretch = false;
    TRect mask_rect_area;
    // Corner points for hit testing while a mask shapes the window.
    TPoint hittest_left_top_point;
    TPoint hittest_right_top_point;
    TPoint hittest_left_bottom_point;
    TPoint hittest_right_bottom_point;
    TRect buttons_rect;
    TRect caption_rect;
    int buttons_offset = 0;
    bool buttons_in_left = false;
    bool main_menu_popup_up = false;
    int border_width = 0;
    bool auto_rendering_inactive_image = false;
    TInactiveEffect inactive_effect = ieBrightness;

    // Reads every key of [FORMINFO] (missing keys: the defaults above), then
    // adjusts the geometry:
    // - when the skin has a mask (`has_mask`: the mask file name of
    //   [PICTURES] is not empty), an empty "maskrectarea" becomes a copy of
    //   "clientrect" and any other is widened to contain it, and every
    //   hit-test point with a zero coordinate becomes the frame corner point
    //   of the same corner;
    // - unless the right-bottom and the left-top point share an x or a y,
    //   the four corner points are pulled inside "clientrect".
    // Raises base::EConvertError for a malformed rectangle or point.
    void Load(const framework::TMemIniFile& ini, bool has_mask);
    // Replaces [FORMINFO] by the keys Load reads, with the values held now.
    void Save(framework::TMemIniFile& ini) const;
};

// The window of a skinned popup menu.
class TbsDataSkinPopupWindow {
  public:
    virtual ~TbsDataSkinPopupWindow() = default;

    // Reads [POPUPWINDOW]; missing keys give the defaults below.
    virtual void Load(const framework::TMemIniFile& ini);
    virtual void Save(framework::TMemIniFile& ini) const;

    int window_picture_index = -1;
    int mask_picture_index = -1;
    TPoint left_top_point;
    TPoint right_top_point;
    TPoint left_bottom_point;
    TPoint right_bottom_point;
    TRect items_rect;  // area of the menu items inside the window picture
    TColor scroll_marker_color = 0;
    TColor scroll_marker_active_color = 0;
    bool left_stretch = false;
    bool right_stretch = false;
    bool top_stretch = false;
    bool bottom_stretch = false;
};

// The window of a skinned hint.
class TbsDataSkinHintWindow {
  public:
    virtual ~TbsDataSkinHintWindow() = default;

    // Reads [HINTWINDOW]; missing keys give the defaults below.
    virtual void Load(const framework::TMemIniFile& ini);
    virtual void Save(framework::TMemIniFile& ini) const;

    int window_picture_index = -1;
    int mask_picture_index = -1;
    TPoint left_top_point;
    TPoint right_top_point;
    TPoint left_bottom_point;
    TPoint right_bottom_point;
    TRect client_rect;
    TSkinFont font;  // "fontname", "fontheight", "fontstyle", "fontcolor"
    bool left_stretch = false;
    bool right_stretch = false;
    bool top_stretch = false;
    bool bottom_stretch = false;
};

}  // namespace skin
