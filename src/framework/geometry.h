#pragma once

// Plain geometry values shared by the portable skin code and the Win32
// framework.

namespace framework {

// A rectangle: right and bottom are exclusive, so the width is right - left.
// It is empty when its width or height is below 1.
struct TRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool IsEmpty() const { return Width() < 1 || Height() < 1; }
};

struct TPoint {
    int x = 0;
    int y = 0;
};

}  // namespace framework
