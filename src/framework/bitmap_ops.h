#pragma once

// Copy operations between TBitmapData pictures, the drawing that the skin code
// and the controls need before a picture reaches the screen.
//
// Every operation clips on both sides: the part of the source rectangle that
// lies outside the source picture is not read, and the part of the
// destination that lies outside the target picture is not written. Target
// pixels whose source pixel is not read keep their colour. Nothing is ever
// read or written outside a picture, whatever the rectangles are.
//
// All pixel formats are accepted. Between 24-bit (or between 32-bit)
// pictures rows are copied as blocks; other pairs go pixel by pixel: indexed
// sources are read through their palette, indexed targets take the nearest
// palette entry (SetPixel), 32-bit targets get 0 in the fourth byte.

#include "framework/bitmap.h"
#include "framework/geometry.h"

namespace framework {

// Copies `from` of `source` 1:1 to `target`, its top-left corner at (x, y).
void CopyRect(TBitmapData& target, int x, int y, const TBitmapData& source, const TRect& from);

// Like CopyRect, but pixels whose colour equals `transparent` (its low 24
// bits) are left out, so the target shows through them.
void TransparentCopy(TBitmapData& target, int x, int y, const TBitmapData& source,
                     const TRect& from, TColor transparent);

// Stretches (or shrinks) `from` of `source` over `to` of `target` by nearest
// neighbour: the target pixel u columns right of to.left takes the source
// column from.left + (2u + 1) * from.Width() / (2 * to.Width()) (integer
// division), the source pixel under the centre of the target pixel; rows
// likewise. Equal sizes give a 1:1 copy. Nothing happens when either
// rectangle is empty. Coordinates are first brought within +-2^24.
void StretchCopy(TBitmapData& target, const TRect& to, const TBitmapData& source,
                 const TRect& from);

// Paints `rect` (clipped to the picture) in one colour.
void FillRect(TBitmapData& target, const TRect& rect, TColor color);

}  // namespace framework
