#pragma once

// The copy core shared by the picture builders and the mask regions. Not for
// use outside src/skin/data.

#include <initializer_list>

#include "skin/data/picture.h"

namespace skin::detail {

// Skin coordinates are clamped to this range before any arithmetic, so that
// sums of a few of them cannot overflow; no picture comes near it.
inline constexpr int kCoordinateLimit = 1 << 24;

int Sane(int value);
TPoint Sane(const TPoint& p);
TRect Sane(const TRect& r);
TPartGeometry Sane(const TPartGeometry& g);

// The source of one build as a 24-bit picture: the source itself, or a
// converted copy when it has another format or is one of the targets (which
// are resized before they are drawn).
class Source24 {
  public:
    Source24(const TBitmapData& source, std::initializer_list<const TBitmapData*> targets);
    Source24(const Source24&) = delete;
    Source24& operator=(const Source24&) = delete;

    const TBitmapData& get() const { return *source_; }

  private:
    const TBitmapData* source_ = nullptr;
    TBitmapData copy_;
};

// Makes `target` a black 24-bit picture of the size (negative sides count as
// 0).
void Prepare(TBitmapData& target, int width, int height);

// TilePiece for a 24-bit source and target that are different pictures and
// sane coordinates.
void Tile24(TBitmapData& target, const TRect& to, const TBitmapData& source, const TRect& piece,
            bool across, bool down);

// A 1:1 copy of `piece` into `to`, cut at whichever ends first.
void Copy24(TBitmapData& target, const TRect& to, const TBitmapData& source, const TRect& piece);

}  // namespace skin::detail
