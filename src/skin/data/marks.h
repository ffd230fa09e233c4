#pragma once

// The small line-drawn marks that skinned controls paint when a skin gives no
// picture for them: arrows, the check mark, caption button symbols and the
// 3-D frame.
//
// Pixel convention (that of a 1-pixel pen on a Windows device context):
// - A line from (x1, y1) to (x2, y2) draws its start point and every point up
//   to, but not including, its end point. A line whose end is its start draws
//   nothing. Horizontal, vertical and 45-degree lines are exact; other slopes
//   step along the longer axis, one pixel per step.
// - A polyline draws its segments in order, each without its end point, so
//   the last point of the polyline is not drawn.
// - An outlined rectangle (left, top, right, bottom) has right and bottom
//   exclusive: its outline is the columns left and right - 1 and the rows top
//   and bottom - 1; it draws nothing when it is empty. Its inside is not
//   touched (a clear brush).
// - A filled rectangle in the pen's colour covers left .. right - 1 and
//   top .. bottom - 1.
// Pixels outside the picture are left out.
//
// Marks placed at x, y have that point as their top-left; marks placed in a
// rectangle are centred on (cx, cy) = (left + width div 2, top + height
// div 2), div rounding down.

#include <initializer_list>

#include "framework/bitmap.h"
#include "framework/geometry.h"

namespace skin {

using framework::TBitmapData;
using framework::TColor;
using framework::TPoint;
using framework::TRect;

void DrawLine(TBitmapData& canvas, int x1, int y1, int x2, int y2, TColor color);
void DrawPolyline(TBitmapData& canvas, std::initializer_list<TPoint> points, TColor color);
void DrawRectangleOutline(TBitmapData& canvas, const TRect& rect, TColor color);

// Triangles of 4 lines pointing left, right, up and down, each 7 pixels
// across at its base.
//   left:  column cx - 2 + i, rows cy - i .. cy + i,    i = 0..3
//   right: column cx + 2 - n, rows cy - n .. cy + n,    n = 0..3
//   up:    row cy - 2 + i,    columns cx - i .. cx + i, i = 0..3
//   down:  row cy + 2 - n,    columns cx - n .. cx + n, n = 0..3
void DrawArrowLeft(TBitmapData& canvas, const TRect& rect, TColor color);
void DrawArrowRight(TBitmapData& canvas, const TRect& rect, TColor color);
void DrawArrowUp(TBitmapData& canvas, const TRect& rect, TColor color);
void DrawArrowDown(TBitmapData& canvas, const TRect& rect, TColor color);

// Three polylines (x, y+5-i) -> (x+2, y+7-i) -> (x+7, y+2-i), i = 0..2.
void DrawCheckMark(TBitmapData& canvas, int x, int y, TColor color);

// A raised (or sunken) 1-pixel frame just inside `rect`: the left column and
// the top row in `top_left`, the right column (right - 1) and the bottom row
// (bottom - 1) in `bottom_right`, which also takes both the top-right and the
// bottom-left corner pixels.
void DrawFrame3D(TBitmapData& canvas, const TRect& rect, TColor top_left, TColor bottom_right);

// Caption button symbols, about 11 x 10 pixels from x, y.
//   close:        two crossing diagonals, each two pixels thick
//   minimize:     outlined rectangle (x+1, y+3)-(x+9, y+6)
//   minimize bar: rows y+8 and y+9, columns x+1 .. x+8
//   maximize:     outlined (x, y)-(x+11, y+10) with a 2-row top edge
//   restore:      two overlapping window outlines with 2-row top edges
//   roll up:      rows y+2 .. y+5 narrowing downwards (8, 6, 4, 2 pixels)
//   roll down:    rows y+3 .. y+6 widening downwards (2, 4, 6, 8 pixels)
//   square:       a filled 5 x 5 square at (x+2, y+2)
void DrawCloseMark(TBitmapData& canvas, int x, int y, TColor color);
void DrawMinimizeMark(TBitmapData& canvas, int x, int y, TColor color);
void DrawMinimizeBarMark(TBitmapData& canvas, int x, int y, TColor color);
void DrawMaximizeMark(TBitmapData& canvas, int x, int y, TColor color);
void DrawRestoreMark(TBitmapData& canvas, int x, int y, TColor color);
void DrawRollUpMark(TBitmapData& canvas, int x, int y, TColor color);
void DrawRollDownMark(TBitmapData& canvas, int x, int y, TColor color);
void DrawSquareMark(TBitmapData& canvas, int x, int y, TColor color);

}  // namespace skin
