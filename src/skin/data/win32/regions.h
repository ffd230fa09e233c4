#pragma once

// Window regions from mask pictures (see skin/data/mask.h for the shapes).
// Every region returned belongs to the caller (DeleteObject, or hand it to
// SetWindowRgn).

#include <windows.h>

#include "skin/data/mask.h"

namespace skin {

// A region that is the union of the rectangles, made with one
// ExtCreateRegion call. Whole masks give their bounding rectangle; no
// rectangles give an empty region.
HRGN RegionFromRuns(const TMaskRuns& runs);

// The black pixels of `mask` placed at (x, y).
HRGN MaskToRegion(const TBitmapData& mask, int x, int y);

// The region of a mask that follows a picture resized to width x height
// (MaskRuns9); nullptr when there is no region.
HRGN MaskToRegion9(const TBitmapData& mask, const TPartGeometry& from, const TPartGeometry& to,
                   int width, int height);

}  // namespace skin
