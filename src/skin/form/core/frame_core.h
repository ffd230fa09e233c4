#pragma once

// The skinned window frame without windows: the frame's geometry for a
// window size, the non-client insets, hit testing (against the four mask
// bands a shaped window was cut from), tracking sizes, the inactive effects,
// the layout of the frame objects and of the built-in caption, and where a
// caption text goes. Portable, so that it is tested natively; the Win32
// frame (skin_form.h) feeds it the platform's numbers.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "skin/data/effect.h"
#include "skin/data/form_info.h"
#include "skin/data/picture.h"
#include "skin/data/skin_values.h"
#include "skin/data/text_fit.h"

namespace skin {

// Which caption buttons the frame shows (besides close, which always is).
enum TbsBorderIcon : uint32_t {
    bsbiSystemMenu = 1,
    bsbiMinimize = 2,
    bsbiMaximize = 4,
    bsbiRollUp = 8,
    bsbiMinimizeToTray = 16,
};
using TbsBorderIcons = uint32_t;

// Hit-test results, with the platform's values.
enum THitCode : int {
    htNowhere = 0,
    htClient = 1,
    htCaption = 2,
    htLeft = 10,
    htRight = 11,
    htTop = 12,
    htTopLeft = 13,
    htTopRight = 14,
    htBottom = 15,
    htBottomLeft = 16,
    htBottomRight = 17,
    // Frame area that is neither client, caption nor a sizing zone: the
    // platform does nothing with it, the frame starts hover tracking.
    htObject = 19,
};

// The caption height of the built-in frame: 15 for tool windows, else 19.
int BuiltInCaptionHeight(bool tool_window);

// The frame's geometry for a window of width x height, from the form info
// of a main picture of picture_width x picture_height (dx = width -
// picture_width, dy = height - picture_height):
//   corner points: left-top as is, right-top + (dx, 0), left-bottom + (0, dy),
//     right-bottom + (dx, dy); the hit-test points the same way;
//   client and mask area: Right + dx, Bottom + dy;
//   caption: Right + dx unless empty;
//   buttons: moved right by dx when not empty and Left > picture_width / 2.
struct TFrameGeometry {
    TPoint left_top;
    TPoint right_top;
    TPoint left_bottom;
    TPoint right_bottom;
    TRect client;
    TRect caption;
    TRect buttons;
    int buttons_offset = 0;
    bool buttons_in_left = false;
    TRect mask_area;
    TPoint hit_left_top;
    TPoint hit_right_top;
    TPoint hit_left_bottom;
    TPoint hit_right_bottom;
};
TFrameGeometry CurrentGeometry(const TSkinFormInfo& info, int picture_width, int picture_height,
                               int width, int height);

// The part geometries that BuildFrameBands and the mask functions take:
// the picture's corner points with `clientrect` (from) and the current ones
// (to); for the mask, `maskrectarea` and the current mask area instead of
// the client rectangles.
TPartGeometry PictureFrameParts(const TSkinFormInfo& info);
TPartGeometry WindowFrameParts(const TFrameGeometry& g);
TPartGeometry PictureMaskParts(const TSkinFormInfo& info);
TPartGeometry WindowMaskParts(const TFrameGeometry& g);

// How far the client area lies inside the window on each side.
struct TFrameInsets {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};
// Skinned: clientrect.Left, clientrect.Top, picture_width - clientrect.Right,
// picture_height - clientrect.Bottom, each at least 0 (a clientrect reaching
// outside the picture).
TFrameInsets SkinnedInsets(const TSkinFormInfo& info, int picture_width, int picture_height);
// Built-in: 3, caption height + 3, 3, 3.
TFrameInsets BuiltInInsets(bool tool_window);
// The client rectangle of a proposed window rectangle: the window shrunk by
// the insets, with Right raised to Left and Bottom to Top when they fall
// below (never a negative size).
TRect InsetClientRect(const TRect& window, const TFrameInsets& insets);

// Screen point of a non-client message's lParam: both words signed, so that
// monitors left of or above the primary one work.
TPoint PointFromLParam(intptr_t lparam);

// The four mask band pictures a shaped window's region was built from
// (BuildMaskBands with WindowMaskParts), any of them possibly empty.
struct TMaskBands {
    TBitmapData top;
    TBitmapData bottom;
    TBitmapData left;
    TBitmapData right;
};
// Whether window point p lies on a black mask pixel: inside the mask area it
// always does; above it the top band is read at p, below it the bottom band
// at p - (0, mask_area.Bottom), left of it the left band at p - (0,
// mask_area.Top), right of it the right band at p - (mask_area.Right,
// mask_area.Top). A point outside the band it falls in is not black.
bool MaskIsBlackAt(const TMaskBands& bands, const TRect& mask_area, TPoint p);

// Hit testing of the skinned frame, window coordinates.
struct TSkinHitTest {
    int width = 0;
    int height = 0;
    const TFrameGeometry* geometry = nullptr;
    // Null without a mask: then the sizing zones are where a probe point
    // leaves the window rectangle.
    const TMaskBands* mask = nullptr;
    int border_width = 0;
    bool sizeable = false;
    bool maximized = false;
    bool rolled_up_or_minimized = false;
    bool object_active = false;  // a frame object is under the mouse
    bool in_size_move = false;
    // The rectangles of the caption objects.
    std::vector<TRect> captions;
};
int HitTestSkinned(const TSkinHitTest& t, TPoint p);

// Hit testing of the built-in frame, window coordinates.
struct TBuiltInHitTest {
    int width = 0;
    int height = 0;
    int caption_height = 19;
    TRect caption;  // the built-in caption rectangle
    bool sizeable = false;
    bool maximized = false;
    bool rolled_up = false;
    bool minimized = false;
    bool object_active = false;
};
int HitTestBuiltIn(const TBuiltInHitTest& t, TPoint p);

// Tracking sizes. The minimum is never below 1 x 1.
struct TTrackSizeInput {
    bool skinned = false;
    int picture_width = 0;
    int picture_height = 0;
    TRect client_rect;        // `clientrect` of the form info
    int caption_height = 19;  // built-in frame
    int min_width = 0;
    int min_height = 0;
    int max_width = 0;
    int max_height = 0;
    bool minimized = false;
    bool rolled_up = false;
    int monitor_width = 0;  // work area (or whole monitor) holding the form
    int monitor_height = 0;
};
TPoint MinTrackSize(const TTrackSizeInput& in);
// Never below MinTrackSize: a MaxWidth or MaxHeight under the minimum (or a
// monitor of no size) gives the minimum.
TPoint MaxTrackSize(const TTrackSizeInput& in);

// How many copies of a tile_width x tile_height piece cover a client area
// when tiled from its left-top corner: (client width / tile width + 1) x
// (client height / tile height + 1); none (0 x 0) when any side is below 1,
// so an empty piece is never divided by and the caller fills instead.
struct TClientTiling {
    int columns = 0;
    int rows = 0;
};
TClientTiling ClientTiling(int client_width, int client_height, int tile_width, int tile_height);

// The inactive effects on every pixel of a picture: brightness (k 0.5),
// darkness (k 0.3), grayscale (0.3 R + 0.59 G + 0.11 B), noise (a value
// from `random`, uniform in 0..49, minus 25, added to all three channels),
// split blur, invert. Values are rounded half to even and kept in 0..255.
// Split blur: rows from the top, pixels left to right, each channel becomes
// the sum of its four diagonal neighbours div 4; a neighbour row above the
// first or below the last row is the pixel's own row, a neighbour column left
// of the first or right of the last column its own column; visited
// neighbours give their new values. Noise without a `random` adds nothing.
using TRandom = std::function<int(int range)>;
void ApplyInactiveEffect(TbsEffectBmp& picture, TInactiveEffect effect, const TRandom& random);

// A frame object as the layout sees it.
enum TFrameObjectKind { fokCaption, fokStdButton, fokButton, fokAnimate, fokUser };
struct TFrameObjectPlace {
    TFrameObjectKind kind = fokUser;
    TStdCommand command = cmDefault;  // standard buttons and animations
    bool button_style = false;        // animations
    bool in_picture = false;          // its looks lie in an active picture, not the frame's
    bool visible = true;
    TRect normal;       // `skinrect`
    TPoint size;        // placement size (x = width, y = height); the normal size unless a
                        // system-menu button shows the icon; (0, 0) stands for the normal size
    TRect object_rect;  // the result
};
// Corner anchoring of objects that are not in a picture, then caption-button
// placement of the visible ones that are (in the caption or buttons
// rectangle, close, maximize, minimize, roll-up, tray, then the default
// buttons; the system-menu button at the caption's other end), with the
// caption object's ends following the buttons. An in-picture object that
// is not a caption object and gets no place (hidden, a second button with a
// command already placed, no caption or buttons rectangle) gets an empty
// object_rect, so that it is neither drawn nor hit. With the buttons on
// the right the caption object ends at the left edge of the row's last
// button; on the left it starts at the right edge of the row's last button
// (the mirror image of the right-hand row). The system-menu button
// is placed only when the caption rectangle is not empty. A caption
// object's Right never falls below its Left.
void LayoutFrameObjects(std::vector<TFrameObjectPlace>& objects, const TSkinFormInfo& info,
                        int picture_width, int picture_height, const TFrameGeometry& g);

// The built-in caption: caption rectangle (3, 3, width - 3, caption height),
// the visible default buttons (`button_sizes`: 17 or 13 square) placed from
// width - 3 leftwards at top 4 in the order close, maximize, minimize,
// roll-up, tray, then the system-menu button from the caption's left edge;
// the caption shrinks to the space between (never to a negative width).
// `visible` says which of the six are shown, indexed by TStdCommand; the
// system-menu button is system_menu_size large (a side of 0 or less: the
// button size) and sits at top 4 as well.
struct TBuiltInCaption {
    TRect caption;
    TRect buttons[7];  // by TStdCommand; empty when not shown
};
TBuiltInCaption LayoutBuiltInCaption(int width, bool tool_window, const bool visible[7],
                                     TPoint system_menu_size);

// Where a caption text of text_width x text_height goes in `area`: y =
// top + height / 2 - text_height / 2; x by the alignment (left, right - width,
// or left + area width / 2 - text width / 2), integer halving.
TPoint CaptionTextOrigin(const TRect& area, TAlignment alignment, int text_width, int text_height);

// The text area of a caption object of object_width: `textrect` with its
// Right stretched with the object, then moved into the text frame when
// `framerect` is not empty. Right and Bottom are raised to Left and Top
// when they fall below (a caption too narrow for its text frame).
TRect CaptionTextArea(const TRect& text_rect, const TRect& skin_rect, const TRect& frame_rect,
                      const TRect& frame_text_rect, int object_width);

}  // namespace skin
