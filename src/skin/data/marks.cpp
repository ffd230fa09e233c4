#include "skin/data/marks.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "framework/bitmap_ops.h"

namespace skin {

namespace {

int64_t FloorDiv(int64_t a, int64_t b) {
    const int64_t q = a / b;
    return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}

TPoint Centre(const TRect& r) {
    const int64_t cx = r.left + FloorDiv(int64_t{r.right} - r.left, 2);
    const int64_t cy = r.top + FloorDiv(int64_t{r.bottom} - r.top, 2);
    return TPoint{static_cast<int>(cx), static_cast<int>(cy)};
}

}  // namespace

void DrawLine(TBitmapData& canvas, int x1, int y1, int x2, int y2, TColor color) {
    // Far-away ends are brought within +-2^24 so the products below fit.
    constexpr int kLimit = 1 << 24;
    x1 = std::clamp(x1, -kLimit, kLimit);
    y1 = std::clamp(y1, -kLimit, kLimit);
    x2 = std::clamp(x2, -kLimit, kLimit);
    y2 = std::clamp(y2, -kLimit, kLimit);
    const int64_t dx = int64_t{x2} - x1;
    const int64_t dy = int64_t{y2} - y1;
    const int64_t steps = std::max(std::llabs(dx), std::llabs(dy));
    if (steps == 0) {
        return;
    }
    // Step i = 0 .. steps - 1 along the longer axis; only the steps whose
    // coordinate on that axis falls inside the picture are walked.
    const bool along_x = std::llabs(dx) >= std::llabs(dy);
    const int64_t start = along_x ? x1 : y1;
    const int64_t sign = (along_x ? dx : dy) > 0 ? 1 : -1;
    const int64_t size = along_x ? canvas.Width() : canvas.Height();
    int64_t lo = 0;
    int64_t hi = steps;  // exclusive
    if (sign > 0) {
        lo = std::max(lo, -start);
        hi = std::min(hi, size - start);
    } else {
        lo = std::max(lo, start - size + 1);
        hi = std::min(hi, start + 1);
    }
    for (int64_t i = lo; i < hi; ++i) {
        // The other coordinate, rounded to the nearest pixel.
        const int64_t x = x1 + FloorDiv(2 * i * dx + steps, 2 * steps);
        const int64_t y = y1 + FloorDiv(2 * i * dy + steps, 2 * steps);
        canvas.SetPixel(static_cast<int>(x), static_cast<int>(y), color);
    }
}

void DrawPolyline(TBitmapData& canvas, std::initializer_list<TPoint> points, TColor color) {
    const TPoint* previous = nullptr;
    for (const TPoint& p : points) {
        if (previous != nullptr) {
            DrawLine(canvas, previous->x, previous->y, p.x, p.y, color);
        }
        previous = &p;
    }
}

void DrawRectangleOutline(TBitmapData& canvas, const TRect& r, TColor color) {
    if (r.IsEmpty()) {
        return;
    }
    framework::FillRect(canvas, TRect{r.left, r.top, r.right, r.top + 1}, color);
    framework::FillRect(canvas, TRect{r.left, r.bottom - 1, r.right, r.bottom}, color);
    framework::FillRect(canvas, TRect{r.left, r.top, r.left + 1, r.bottom}, color);
    framework::FillRect(canvas, TRect{r.right - 1, r.top, r.right, r.bottom}, color);
}

void DrawArrowLeft(TBitmapData& canvas, const TRect& rect, TColor color) {
    const TPoint c = Centre(rect);
    for (int i = 0; i <= 3; ++i) {
        DrawLine(canvas, c.x - 2 + i, c.y - i, c.x - 2 + i, c.y + i + 1, color);
    }
}

void DrawArrowRight(TBitmapData& canvas, const TRect& rect, TColor color) {
    const TPoint c = Centre(rect);
    for (int n = 3; n >= 0; --n) {
        DrawLine(canvas, c.x - n + 2, c.y + n, c.x - n + 2, c.y - n - 1, color);
    }
}

void DrawArrowUp(TBitmapData& canvas, const TRect& rect, TColor color) {
    const TPoint c = Centre(rect);
    for (int i = 0; i <= 3; ++i) {
        DrawLine(canvas, c.x - i, c.y + i - 2, c.x + i + 1, c.y + i - 2, color);
    }
}

void DrawArrowDown(TBitmapData& canvas, const TRect& rect, TColor color) {
    const TPoint c = Centre(rect);
    for (int n = 3; n >= 0; --n) {
        DrawLine(canvas, c.x - n, c.y - n + 2, c.x + n + 1, c.y - n + 2, color);
    }
}

void DrawCheckMark(TBitmapData& canvas, int x, int y, TColor color) {
    for (int i = 0; i <= 2; ++i) {
        DrawPolyline(canvas, {{x, y + 5 - i}, {x + 2, y + 7 - i}, {x + 7, y + 2 - i}}, color);
    }
}

void DrawFrame3D(TBitmapData& canvas, const TRect& rect, TColor top_left, TColor bottom_right) {
    const int right = rect.right - 1;
    const int bottom = rect.bottom - 1;
    DrawPolyline(canvas, {{rect.left, bottom}, {rect.left, rect.top}, {right, rect.top}}, top_left);
    DrawPolyline(canvas, {{right, rect.top}, {right, bottom}, {rect.left - 1, bottom}},
                 bottom_right);
}

void DrawCloseMark(TBitmapData& canvas, int x, int y, TColor color) {
    DrawLine(canvas, x + 1, y + 1, x + 9, y + 9, color);
    DrawLine(canvas, x + 9, y + 1, x + 1, y + 9, color);
    DrawLine(canvas, x + 2, y + 1, x + 10, y + 9, color);
    DrawLine(canvas, x + 8, y + 1, x, y + 9, color);
}

void DrawMinimizeMark(TBitmapData& canvas, int x, int y, TColor color) {
    DrawRectangleOutline(canvas, TRect{x + 1, y + 3, x + 9, y + 6}, color);
}

void DrawMinimizeBarMark(TBitmapData& canvas, int x, int y, TColor color) {
    DrawLine(canvas, x + 1, y + 8, x + 9, y + 8, color);
    DrawLine(canvas, x + 1, y + 9, x + 9, y + 9, color);
}

void DrawMaximizeMark(TBitmapData& canvas, int x, int y, TColor color) {
    DrawRectangleOutline(canvas, TRect{x, y, x + 11, y + 10}, color);
    DrawRectangleOutline(canvas, TRect{x, y, x + 11, y + 2}, color);
}

void DrawRestoreMark(TBitmapData& canvas, int x, int y, TColor color) {
    DrawRectangleOutline(canvas, TRect{x + 2, y, x + 10, y + 6}, color);
    DrawRectangleOutline(canvas, TRect{x + 2, y, x + 10, y + 2}, color);
    DrawRectangleOutline(canvas, TRect{x, y + 4, x + 7, y + 10}, color);
    DrawRectangleOutline(canvas, TRect{x, y + 4, x + 7, y + 6}, color);
}

void DrawRollUpMark(TBitmapData& canvas, int x, int y, TColor color) {
    for (int i = 0; i <= 4; ++i) {
        DrawLine(canvas, x + 5 - i, y + 6 - i, x + 5 + i, y + 6 - i, color);
    }
}

void DrawRollDownMark(TBitmapData& canvas, int x, int y, TColor color) {
    for (int i = 0; i <= 4; ++i) {
        DrawLine(canvas, x + i + 1, y + 6 - i, x + 9 - i, y + 6 - i, color);
    }
}

void DrawSquareMark(TBitmapData& canvas, int x, int y, TColor color) {
    framework::FillRect(canvas, TRect{x + 2, y + 2, x + 7, y + 7}, color);
}

}  // namespace skin
