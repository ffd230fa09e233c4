#pragma once

// A small pixel font for the labels of the contact sheet: lower-case letters,
// digits and a little punctuation, each glyph 5 pixels wide in a cell of
// 6 x 9 (the baseline under row 6, descenders in rows 7 and 8). Upper-case
// letters are drawn as lower-case ones; any other character as a box.

#include <string_view>

#include "framework/bitmap.h"

namespace skingen {

// Width and height of `text` drawn at `scale` (each font pixel a square of
// scale x scale), without the space after the last glyph.
int LabelWidth(std::string_view text, int scale);
int LabelHeight(int scale);

// Draws `text` with its cell's top-left corner at (x, y), clipped to the
// picture.
void DrawLabel(framework::TBitmapData& picture, int x, int y, std::string_view text, int scale,
               framework::TColor color);

}  // namespace skingen
