#pragma once

// What the skinned frame does in place of the system's frame, as plain
// rules: when translucent windows are used and how a window fades in,
// snapping to the screen's edges while it moves, where it goes when it is
// maximized or parked minimized, and the frame's own window state with
// rolling up to the caption.

#include <vector>

#include "framework/geometry.h"
#include "skin/form/core/frame_core.h"

namespace skin {

using framework::TPoint;
using framework::TRect;

// Translucent (layered) windows are used on the versions 5.0 to 5.2 only.
bool LayeredVersionUsable(int major, int minor);

// The fade of a window being shown.
struct TFadePlan {
    bool layered_on_show = false;  // made layered (opacity 0) when shown
    std::vector<int> opacities;    // set in this order at the first timer tick
    bool unlayer_at_end = false;   // opaque in the end: the layering goes
};
TFadePlan PlanFade(bool alpha_blend, bool animation, int value);

// Snapping the proposed rectangle of a moving window to the edges of `area`
// within `magnetic_size` pixels (strictly closer); right and bottom win.
TRect SnapToArea(const TRect& proposed, const TRect& area, int magnetic_size);

// The bounds of a maximized window: the monitor with `full_screen`, else the
// work area, one pixel smaller on every side when the work area is the whole
// monitor and the monitor the whole screen (a hidden task bar stays
// reachable).
TRect MaximizeTarget(const TRect& monitor, const TRect& work_area, const TRect& screen,
                     bool full_screen);

// Where a minimized (not main) window is parked: the first free cell of
// rows of min_width x min_height cells from the work area's bottom-left,
// each row one cell higher; `taken` are the left-tops of windows parked
// already. When the rows run out, the bottom-left cell.
TPoint ParkingSlot(const TRect& work_area, int min_width, int min_height,
                   const std::vector<TPoint>& taken);

// A hint window for a text of text_width x text_height: its size and the
// nine-part geometry of its picture (from) and of the window (to). Skinned
// (`picture` set, the hint window's data in `skin`), the picture's frame
// around `clientrect` is kept around the text, and the window is never
// smaller than the picture's corners; plain, a one-pixel border and a margin
// of 3 on the sides and 1 above and below.
struct THintLayout {
    int width = 0;
    int height = 0;
    TPartGeometry from;
    TPartGeometry to;
};
struct THintPicture {
    int width = 0;
    int height = 0;
    TPoint left_top;
    TPoint right_top;
    TPoint left_bottom;
    TPoint right_bottom;
    TRect client;
};
THintLayout LayoutHint(int text_width, int text_height, const THintPicture* picture);

// Where a hint window of width x height opens for a pointer at `cursor`:
// below the pointer's `cursor_height`, above the pointer when it does not fit
// below, and moved inside `area`.
TPoint PlaceHint(TPoint cursor, int cursor_height, int width, int height, const TRect& area);

// The frame's own window state and roll-up.
enum TFrameWindowState { fwsNormal = 0, fwsMinimized = 1, fwsMaximized = 2 };

// What the frame does on a double click on its caption.
enum TCaptionDoubleClick { cdcNothing, cdcRestore, cdcMaximize, cdcRollUp, cdcRollDown };

class TFrameStates {
  public:
    TFrameWindowState State() const { return state_; }
    bool RolledUp() const { return rolledUp_; }
    bool RolledUpMaximized() const { return rolledUpMaximized_; }
    // The bounds before minimizing or maximizing; empty when none.
    const TRect& Remembered() const { return remembered_; }

    // The result of a change of state.
    struct TChange {
        bool changed = false;
        bool minimize_application = false;  // the main form minimizes the program
        bool set_bounds = false;
        TRect bounds;
    };
    // `current`: the window's bounds now; `target`: the maximized bounds;
    // `slot`: the parking place (left-top) and `min_size` the minimum size
    // for a minimized window.
    TChange SetState(TFrameWindowState state, bool main_form, const TRect& current,
                     const TRect& target, TPoint slot, TPoint min_size);

    // Rolling up (true) or down. Nothing (false) without roll-up among the
    // icons, when minimized, or when rolled up maximized without having
    // been rolled up while maximized. Else `height` receives the new height.
    bool RollUp(bool up, TbsBorderIcons icons, int current_height, int rolled_height, int* height);

    TCaptionDoubleClick DoubleClick(bool sizeable, TbsBorderIcons icons) const;

  private:
    TFrameWindowState state_ = fwsNormal;
    bool rolledUp_ = false;
    bool rolledUpMaximized_ = false;
    int rememberedHeight_ = 0;
    TRect remembered_;
};

}  // namespace skin
