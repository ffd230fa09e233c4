#pragma once

// Small geometry values shared by the framework and the skin code, and the
// horizontal alignment of text.
//
// A rectangle is left, top, right, bottom in pixels with right and bottom
// exclusive: (0, 0, 2, 1) covers the two pixels (0, 0) and (1, 0). It is empty
// when its width or its height is less than 1, whichever way round it is.

#include <algorithm>
#include <cstdint>
#include <limits>

namespace framework {

// Horizontal placement of text in its rectangle.
enum TAlignment { taLeftJustify, taRightJustify, taCenter };

struct TPoint {
    int x = 0;
    int y = 0;

    // Skin geometry counts a point as not given when either coordinate is 0.
    bool IsUnset() const { return x == 0 || y == 0; }
    bool operator==(const TPoint&) const = default;
};

struct TRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    static constexpr TRect Bounds(int left, int top, int width, int height) {
        return TRect{left, top, left + width, top + height};
    }

    // Saturated at the limits of int, so that any four coordinates are safe.
    constexpr int Width() const { return Span(left, right); }
    constexpr int Height() const { return Span(top, bottom); }
    constexpr bool IsEmpty() const { return Width() < 1 || Height() < 1; }
    constexpr bool Contains(int x, int y) const {
        return x >= left && x < right && y >= top && y < bottom;
    }
    // The coordinates must stay within the range of int.
    constexpr TRect Offset(int dx, int dy) const {
        return TRect{left + dx, top + dy, right + dx, bottom + dy};
    }
    // The common part; empty (possibly with right < left) when there is none.
    constexpr TRect Intersect(const TRect& other) const {
        return TRect{std::max(left, other.left), std::max(top, other.top),
                     std::min(right, other.right), std::min(bottom, other.bottom)};
    }
    bool operator==(const TRect&) const = default;

  private:
    static constexpr int Span(int from, int to) {
        return static_cast<int>(std::clamp<int64_t>(
            int64_t{to} - from, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
    }
};

}  // namespace framework
