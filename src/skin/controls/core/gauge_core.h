#pragma once

// The arithmetic and the bar picture of the skinned gauge, without windows.

#include <string>

#include "skin/controls/core/control_geometry.h"

namespace skin {

// The share of the range that `value` covers, in floating point (limits far
// apart cannot overflow); 0 when the limits are equal.
double GaugeFraction(int min_value, int max_value, int value);
// The percentage shown: f * 100 rounded to the nearest integer, halves to
// the even one.
int GaugePercent(double fraction);
// The progress text followed by the percentage and "%", as the flags say.
std::string GaugeText(bool show_progress_text, const std::string& progress_text, bool show_percent,
                      int percent);

// The bar of `area` for a fraction: horizontal from the left edge,
// vertical from the bottom edge upwards.
TRect GaugeBarRect(const TRect& area, double fraction, bool vertical);

// The bar area at the gauge's size: "progressarea" widened (or lengthened,
// for a vertical gauge) with the control in sizing modes 1 and up.
TRect AdaptProgressArea(const TRect& progress_area, TSizingMode mode, bool vertical, int width,
                        int height, const TControlGeometry& g);

// Builds a bar of width x height from the full bar `bar` of `picture` into
// `scratch`: `begin` and `end` pixels at its ends are copied as they are and
// the middle between them is repeated, from the left (horizontal) or from
// the bottom upwards (vertical), the last copy cut. The end part is drawn
// last, over the begin part of a bar shorter than both. Returns false when
// the bar has room for a middle but the picture's middle is empty: the
// gauge then shows no bar and no text.
bool ComposeGaugeBar(const TBitmapData& picture, const TRect& bar, int begin, int end,
                     bool vertical, int width, int height, TBitmapData& scratch);

// Where the progress text starts for a text of tw x th on a gauge of
// width x height: centred; for a vertical gauge the text runs upwards (a
// font turned by 90 degrees), so its origin is at its bottom.
TPoint GaugeTextOrigin(bool vertical, int width, int height, int tw, int th);

}  // namespace skin
