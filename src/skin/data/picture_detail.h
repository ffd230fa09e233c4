#pragma once

// The copy core shared by the picture builders and the mask regions. Not for
// use outside src/skin/data.

#include <cstddef>
#include <cstdint>
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

// The source of one build: the source itself, or a copy (of the same size
// and format) when it is one of the targets, which are resized before they
// are drawn.
class Source {
  public:
    Source(const TBitmapData& source, std::initializer_list<const TBitmapData*> targets);
    Source(const Source&) = delete;
    Source& operator=(const Source&) = delete;

    const TBitmapData& get() const { return *source_; }

  private:
    const TBitmapData* source_ = nullptr;
    TBitmapData copy_;
};

// A target size within the caps of picture.h: each side 0..kMaxTargetSide
// (negative sides count as 0), then the height cut so that the target holds
// at most kMaxTargetPixels pixels.
struct TTargetSize {
    int width = 0;
    int height = 0;
};
TTargetSize TargetSize(int width, int height);

// Tiled pieces narrower than this many pixels are repeated by doubling
// within the target row; wider ones are copied from the source each time
// (reading back freshly written bytes stalls the processor, which only pays
// off when it saves many short copies).
inline constexpr int kDoublingBelow = 16;

// Copies n bytes between two ranges that do not overlap.
void CopyBytes(uint8_t* to, const uint8_t* from, size_t n);

// Fills span bytes from `start` with the pattern of the first `filled`
// bytes, repeated: each copy doubles what is there.
void FillByDoubling(uint8_t* start, size_t filled, size_t span);

// The rows of a picture by pointer arithmetic: ScanLine once, then steps.
class Rows {
  public:
    explicit Rows(const TBitmapData& bitmap);
    // Row y, which must be inside the picture.
    uint8_t* Row(int y) const { return first_ + static_cast<ptrdiff_t>(y) * step_; }

  private:
    uint8_t* first_ = nullptr;
    ptrdiff_t step_ = 0;
};

// Makes `target` a black 24-bit picture of TargetSize(width, height).
void Prepare(TBitmapData& target, int width, int height);

// TilePiece for a 24-bit target, a source of any format that is another
// picture, and sane coordinates.
void Tile24(TBitmapData& target, const TRect& to, const TBitmapData& source, const TRect& piece,
            bool across, bool down);

// A 1:1 copy of `piece` into `to`, cut at whichever ends first.
void Copy24(TBitmapData& target, const TRect& to, const TBitmapData& source, const TRect& piece);

}  // namespace skin::detail
