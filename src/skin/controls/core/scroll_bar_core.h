#pragma once

// The scroll bar's rules that need no window: its range and position, where
// its buttons, track and thumb are (plain and skinned), which part a point
// hits, the position a thumb drag gives, and the steps of a held button or
// page.

#include <optional>

#include "skin/controls/core/control_geometry.h"

namespace skin {

enum TScrollBarKind { sbHorizontal, sbVertical };

// Min, Max, Position and PageSize, kept by the bar's setters' rules. Sums
// are computed in 64 bits, so any ints are safe.
struct TScrollRange {
    int min = 0;
    int max = 100;
    int position = 0;
    int page_size = 0;

    // The highest position: Max - PageSize + 1 with a page, else Max.
    int Highest() const;
    // A value clamped to Min .. Highest (Min wins when they cross).
    int Clamp(int value) const;
    // Stores the clamped value; whether the position changed.
    bool SetPosition(int value);
    // With a page, a position past the end moves back to
    // Max - Min - PageSize + 1 (at least Min); without one, above Max
    // becomes Max.
    void SetMax(int value);
    // A position below Min becomes Min.
    void SetMin(int value);
    // Taken only when Max - Min + 1 >= value + Position; whether it was.
    bool SetPageSize(int value);
    // All four for a container; the position clamped.
    void Set(int min_value, int max_value, int page, int position_value);
};

// The parts of a bar: 0 the thumb, 1 the end button (right or bottom), 2 the
// start button (left or top); the track between the buttons; the pixel span
// over which the thumb's centre moves and the thumb's offset from its first
// place.
enum TScrollPart { spNone = -1, spThumb = 0, spEndButton = 1, spStartButton = 2 };

struct TScrollGeometry {
    TRect thumb;
    TRect end_button;
    TRect start_button;
    TRect track;
    int track_start = 0;
    int track_end = 0;
    int offset = 0;
};

// What a "scrollbar" object gives the geometry (rectangles local to
// "skinrect": the track and the two buttons' normal places).
struct TScrollSkin {
    TRect track_area;
    TRect start_button;  // "downbuttonrect"
    TRect end_button;    // "upbuttonrect"
    TPoint right_top;
    TPoint left_bottom;
    int sw = 0;
    int sh = 0;
    // The thumb look's size.
    int thumb_width = 0;
    int thumb_height = 0;
};

// The plain look's geometry of a bar of width x height; with `both`, a
// horizontal bar leaves `both_marker` pixels at its right end.
TScrollGeometry PlainScrollGeometry(TScrollBarKind kind, int width, int height, bool both,
                                    int both_marker, const TScrollRange& range);
// The skinned geometry of a bar of width x height.
TScrollGeometry SkinnedScrollGeometry(TScrollBarKind kind, int width, int height,
                                      const TScrollSkin& skin, const TScrollRange& range);

// What a press at (x, y) hits, in the order thumb, end button, start button,
// then the track before or after the thumb.
enum TScrollHit { shNothing, shThumb, shEndButton, shStartButton, shPageBack, shPageForward };
TScrollHit ScrollHitTest(TScrollBarKind kind, const TScrollGeometry& g, int x, int y);

// The position while the thumb is dragged: the thumb's offset at the press
// moved by how far the mouse moved along the bar since, as a share of the
// thumb's span (0 .. 1), spread over the range.
int DragPosition(const TScrollRange& range, const TScrollGeometry& g, int offset_at_press,
                 int mouse_at_press, int mouse);

// A held button or page. Start gives the first step at once and the delay to
// the next tick; a tick gives the step (nothing when the page has reached
// the mouse, which ends the repeat) and the delay to the next. The first
// tick (500 ms after the press) only shortens the period to 50 ms.
enum TScrollRepeatMode { srNone, srStartButton, srEndButton, srPageBack, srPageForward };

struct TScrollStep {
    int delta = 0;       // position change (0: none)
    bool stop = false;   // the repeat is over
    int next_delay = 0;  // milliseconds to the next tick
};

class TScrollRepeat {
  public:
    static constexpr int kFirstDelay = 500;
    static constexpr int kPeriod = 50;

    TScrollRepeatMode Mode() const { return mode_; }
    // The press: the step it makes at once.
    TScrollStep Start(TScrollRepeatMode mode, int small_change, int large_change);
    // A tick; `mouse` is the remembered mouse position along the bar, `g`
    // the geometry now (a page repeat stops once the thumb reaches it).
    TScrollStep Tick(TScrollBarKind kind, const TScrollGeometry& g, int mouse);
    void Stop() { mode_ = srNone; }

  private:
    TScrollRepeatMode mode_ = srNone;
    bool first_ = true;
    int small_ = 1;
    int large_ = 1;
};

}  // namespace skin
