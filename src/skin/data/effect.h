#pragma once

// 24-bit top-down pixel copies for pixel loops (scans and blends), and the
// blend that morphs one look of a control into another.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "framework/bitmap.h"

namespace skin {

using framework::TBitmapData;
using framework::TColor;

// A 24-bit copy of a picture with the top row first: each row is blue,
// green, red per pixel, padded to a multiple of 4 bytes (RowIncrement =
// width * 3 + Gap, Gap = width mod 4), and has a row pointer of its own.
class TbsFBitmap {
  public:
    TbsFBitmap() = default;
    // Black pixels of the size (negative sides count as 0). Sides above
    // TBitmapData::kMaxSide raise framework::EInvalidGraphicOperation.
    TbsFBitmap(int width, int height);
    // A copy of `bitmap`, of any pixel format.
    explicit TbsFBitmap(const TBitmapData& bitmap);
    TbsFBitmap(const TbsFBitmap& other);
    TbsFBitmap& operator=(const TbsFBitmap& other);
    // Moving keeps the pixel memory, so the row pointers stay valid; the
    // moved-from picture is left empty.
    TbsFBitmap(TbsFBitmap&& other) noexcept;
    TbsFBitmap& operator=(TbsFBitmap&& other) noexcept;
    virtual ~TbsFBitmap() = default;

    int Width() const { return width_; }
    int Height() const { return height_; }
    int RowIncrement() const { return width_ * 3 + Gap(); }
    int Gap() const { return width_ % 4; }
    size_t Size() const { return memory_.size(); }

    // Row y (0 = top); y must be 0..Height()-1.
    uint8_t* Row(int y) { return rows_[static_cast<size_t>(y)]; }
    const uint8_t* Row(int y) const { return rows_[static_cast<size_t>(y)]; }

    // The colour at (x, y), framework::kInvalidColor outside the picture.
    TColor Pixel(int x, int y) const;
    // Outside the picture nothing happens.
    void SetPixel(int x, int y, TColor color);

    // Back to a 24-bit TBitmapData of the same size and pixels.
    TBitmapData ToBitmap() const;

  private:
    void Allocate(int width, int height);
    void PointRows();

    int width_ = 0;
    int height_ = 0;
    std::vector<uint8_t> memory_;
    std::vector<uint8_t*> rows_;
};

// The 24-bit picture the blends work on.
class TbsEffectBmp : public TbsFBitmap {
  public:
    using TbsFBitmap::TbsFBitmap;

    // Copies the picture into `target` (any pixel format) with its top-left
    // corner at (x, y), clipped to the target.
    void Draw(TBitmapData& target, int x, int y) const;
};

// The kinds of morphing between two looks, in the order of their skin words
// "mkdefault", "mkgradient", "mkleftgradient", "mkrightgradient",
// "mkleftslide", "mkrightslide", "mkpush".
enum TMorphKind {
    mkDefault,
    mkGradient,
    mkLeftGradient,
    mkRightGradient,
    mkLeftSlide,
    mkRightSlide,
    mkPush,
};

// Turns `a` (the normal look, changed in place) part of the way, `k` from 0
// to 1, into `b` (the active look). Nothing happens when the sizes differ.
// Mixed channels are w * a + (1 - w) * b (or (1 - k) * a + k * b) rounded to
// the nearest integer, halves to the even one, and kept within 0..255.
//
//   mkDefault        every pixel (1 - k) * a + k * b, k clamped to 0..1
//   mkGradient       a band of round(k * W) columns centred on W div 2 is
//                    taken from b; the columns beside it mix with a weight w
//                    of a that is 0 next to the band and grows by
//                    1 / ((W - band) div 2) per column outwards, up to 1.
//                    A picture taller than wide does the same with rows.
//   mkLeftGradient   n = round(k * W) within 1..W-1: columns 0..n-1 mix with
//                    w = column / n
//   mkRightGradient  n = W - round(k * W) within 0..W-1: columns W-1 down to
//                    n mix with w = (W - 1 - column) / (W - n)
//   mkLeftSlide      n = round(k * W) within 1..W-1: the last n columns of b
//                    replace the first n columns of a
//   mkRightSlide     the same n: the first n columns of b replace the last n
//                    columns of a
//   mkPush           n = round(k * W) within 0..W-1: a moves right by n + 1
//                    columns and its first n + 1 columns take the last n + 1
//                    columns of b
// A k that is not a number counts as 0. When W is too small for a kind's
// range of n (a picture one column wide), nothing happens.
void Blend(TbsEffectBmp& a, const TbsEffectBmp& b, TMorphKind kind, double k);

}  // namespace skin
