#pragma once

// Window shapes from mask pictures: the black pixels (red + green + blue = 0)
// of a mask are inside the window, every other colour is cut away.
//
// This part is portable: it finds the runs of black pixels, row by row, as
// rectangles one pixel high. The Win32 side (win32/regions.h) turns them into
// a region with one call to the platform.

#include <cstddef>
#include <optional>
#include <vector>

#include "skin/data/picture.h"

namespace skin {

// More runs than this make the region the whole mask rectangle: a shape with
// that many runs is noise rather than an outline, and a region of the whole
// rectangle keeps the window usable where a cut-off list of runs would not.
inline constexpr size_t kMaxMaskRuns = 10000;

// A region as rectangles whose union it is.
struct TMaskRuns {
    // One rectangle (x1, y, x2, y + 1) per maximal run of black pixels, x2
    // being the first pixel after the run; top row first, left to right.
    std::vector<TRect> runs;
    // The mask's rectangle at its offset.
    TRect bounds;
    // More than kMaxMaskRuns runs: the region is all of `bounds` and `runs`
    // is empty.
    bool whole = false;

    // The rectangles to unite: the runs, or the bounds when whole.
    std::vector<TRect> Rectangles() const { return whole ? std::vector<TRect>{bounds} : runs; }
};

// The black runs of `mask` (any pixel format), moved by (x, y).
TMaskRuns MaskRuns(const TBitmapData& mask, int x, int y);

// The four band pictures of a mask that follows a picture resized from the
// mask's size to width x height, `from` being the mask's corner points and
// mask rectangle area, `to` the same moved to the new size (as for
// BuildPartImage9):
//   top    width x from.client.top: columns left_top.x .. right_top.x tiled
//          from to.left_top.x to to.right_top.x, the corner columns 1:1 at 0
//          and at to.right_top.x;
//   bottom width x (mask height - from.client.bottom), the same with the
//          bottom corner points;
//   left   from.client.left x to.client height: rows left_top.y ..
//          left_bottom.y tiled from row 0, the rows from client.top to
//          left_top.y 1:1 at the top and from left_bottom.y to client.bottom
//          at the bottom;
//   right  (mask width - from.client.right) x to.client height, the same
//          with the right corner points.
// The bands start white, so pixels that no part of the mask reaches are
// outside the window. A band without pixels comes back empty. The top band
// is at most as high as the mask and the left band at most as wide (the
// rows and columns beyond would be white), and every band keeps within the
// target caps of picture.h.
void BuildMaskBands(const TBitmapData& mask, const TPartGeometry& from, const TPartGeometry& to,
                    int width, int height, TBitmapData& top, TBitmapData& bottom, TBitmapData& left,
                    TBitmapData& right);

// The region of a mask that follows a resized picture, as parts to unite:
// to.client as one rectangle, then the runs of the top band at (0, 0), the
// bottom band at (0, to.client.bottom), the left band at (0, to.client.top)
// and the right band at (to.client.right, to.client.top). No region (nullopt)
// when to.right_top.x < to.left_top.x, to.left_bottom.y < to.left_top.y, or
// to.client is empty.
std::optional<std::vector<TMaskRuns>> MaskRuns9(const TBitmapData& mask, const TPartGeometry& from,
                                                const TPartGeometry& to, int width, int height);

}  // namespace skin
