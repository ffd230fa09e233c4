#pragma once

// Building pictures of any size from pieces of skin pictures.
//
// A piece is a rectangle S of a source picture. The builders keep the
// piece's corners and edges at their natural size and repeat (tile) or
// stretch the parts in between, so that a button, a list box or a window
// frame can be as large as the application makes it.
//
// Tiling: a span of length N is filled from a piece of length P with copies
// of the piece placed at 0, P, 2P, ... from the start of the span; the last
// copy is cut at the far end of the span. Copies are 1:1, so a remainder
// shorter than P shows the beginning of the piece. Across the tiled
// direction the piece is copied 1:1 as well, cut at whichever of the piece
// and the target area ends first.
//
// Skin geometry comes from skin files and is taken as it is: parts that
// reach outside the source picture are drawn as far as the picture goes
// (pixels outside it are not read and the target keeps its colour there),
// parts of length 0 or less (band pieces, an empty client rectangle) are
// not drawn, and nothing is written outside the target. Coordinates are
// limited to +-2^24 before use.
//
// Every builder gives a 24-bit target, sized first (which makes it black),
// whatever the target was before. Sources of any pixel format are read where
// they are, through their palette when indexed; nothing converts them.
//
// The builders run while controls paint, so no geometry may make them fail
// or allocate without bound. Target sizes are capped:
//   - a side that comes from the skin's geometry (the height of a three-part
//     image along the width, the thickness of a frame or mask band) is at
//     most the side of the picture it is cut from: rows and columns beyond
//     the picture could only be black (white in a mask band);
//   - every side is at most kMaxTargetSide, and a target has at most
//     kMaxTargetPixels pixels, its height giving way: more than a screen
//     shows. Parts placed beyond a cut target are not drawn.
// With these caps no builder raises for any geometry or size.

#include <cstdint>

#include "framework/bitmap.h"
#include "framework/geometry.h"

namespace skin {

// Wider than a desktop of several monitors side by side.
inline constexpr int kMaxTargetSide = 16384;
// An 8K screen (7680 x 4320) and a little more: 96 MiB at 24 bits.
inline constexpr int64_t kMaxTargetPixels = int64_t{1} << 25;

using framework::TBitmapData;
using framework::TColor;
using framework::TPoint;
using framework::TRect;

// The geometry that divides a nine-part piece: corner points and the client
// rectangle. For a source piece they are relative to the piece's top-left
// corner; for the target (the geometry moved to the new size) relative to the
// target picture.
//
// left_top.x and right_top.x bound the top band's repeatable middle,
// left_bottom.x and right_bottom.x the bottom band's, left_top.y and
// left_bottom.y the left band's, right_top.y and right_bottom.y the right
// band's; the client rectangle is the part inside the four bands.
struct TPartGeometry {
    TPoint left_top;
    TPoint right_top;
    TPoint left_bottom;
    TPoint right_bottom;
    TRect client;
};

// Which bands of a nine-part image are stretched instead of tiled.
struct TBandStretch {
    bool left = false;
    bool right = false;
    bool top = false;
    bool bottom = false;
};

// Draws `piece` of `source` into the area `to` of `target`: the target pixel
// (u, v) from to's top-left corner takes the piece's pixel (u mod P, v) when
// tiling across, else (u, v) and only while u is inside the piece; the same
// for v down. A target that is not 24-bit is converted to 24 bits first.
void TilePiece(TBitmapData& target, const TRect& to, const TBitmapData& source, const TRect& piece,
               bool tile_across, bool tile_down);

// A target of `width` x piece height (no more than the source's height; the
// caps above apply to every size): the piece's `left` columns at the left,
// its `right` columns at the right, the columns between tiled in between.
// When width < left + right the right part is drawn over the left one and no
// middle shows.
void BuildPartImage3H(const TBitmapData& source, const TRect& piece, int left, int right, int width,
                      TBitmapData& target);

// BuildPartImage3H along the height: piece width (no more than the
// source's) x `height`.
void BuildPartImage3V(const TBitmapData& source, const TRect& piece, int top, int bottom,
                      int height, TBitmapData& target);

// BuildPartImage3H without the right part: the piece without its `left` and
// `right` columns is tiled from column `left` to the target's right edge.
void BuildPartImageLeft(const TBitmapData& source, const TRect& piece, int left, int right,
                        int width, TBitmapData& target);

// A width x height image from a nine-part piece, in this order: the top,
// bottom, left and right bands tiled along their length between the moved
// corner points; the eight fixed corner blocks 1:1; the client part tiled
// over the moved client rectangle when `draw_centre` is set. Nothing is drawn
// when the source picture or the piece is empty, or when right_bottom and
// left_top of `from` share an x or a y.
void BuildPartImage9(const TBitmapData& source, const TRect& piece, const TPartGeometry& from,
                     const TPartGeometry& to, int width, int height, bool draw_centre,
                     TBitmapData& target);

// BuildPartImage9 with the chosen bands stretched (framework::StretchCopy)
// over their whole target area instead of tiled.
void BuildPartImage9Stretch(const TBitmapData& source, const TRect& piece,
                            const TPartGeometry& from, const TPartGeometry& to, int width,
                            int height, bool draw_centre, const TBandStretch& stretch,
                            TBitmapData& target);

// The four bands of a window frame of width x height as separate images:
//   top    width x to.client.top,            from the piece's rows above client.top
//   bottom width x (height - to.client.bottom), from the rows below client.bottom
//   left   to.client.left x band height,     from the columns left of client.left
//   right  (width - to.client.right) x band height, from the columns right of client.right
// where the band height is to.client's height; a band is no thicker than the
// source picture (top and bottom no higher, left and right no wider). In
// each band the middle piece
// (between the two corner points of that side) fills the band, tiled from its
// start or, when stretched, stretched between the moved corner points; then
// the two end pieces are copied 1:1 at the ends. A band whose width, height
// or middle piece would be less than one pixel comes back empty (0 x 0).
void BuildFrameBands(const TBitmapData& source, const TRect& piece, const TPartGeometry& from,
                     const TPartGeometry& to, int width, int height, const TBandStretch& stretch,
                     TBitmapData& top, TBitmapData& bottom, TBitmapData& left, TBitmapData& right);

// A width x height image covered with copies of `piece`, tiled from (0, 0).
void BuildTiledImage(const TBitmapData& source, const TRect& piece, int width, int height,
                     TBitmapData& target);

// Draws glyph n (counted from 1) of a strip of `count` glyphs of equal width
// (the strip's width divided by count) at (x, y) of `canvas`, leaving out the
// pixels of the glyph's bottom-left pixel's colour. An empty strip, a count
// below 1, an n outside 1..count or glyphs narrower than a pixel draw nothing.
void DrawStripGlyph(TBitmapData& canvas, int x, int y, int n, int count, const TBitmapData& strip);

}  // namespace skin
