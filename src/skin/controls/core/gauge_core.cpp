#include "skin/controls/core/gauge_core.h"

#include <algorithm>
#include <limits>

#include "base/rounding.h"

namespace skin {

namespace {

// Skin coordinates and offsets are any int; the bar is built from values
// kept within the builders' range, so that no sum overflows.
constexpr int kLimit = 1 << 24;

int Limited(int v) {
    return std::clamp(v, -kLimit, kLimit);
}

TRect Limited(const TRect& r) {
    return TRect{Limited(r.left), Limited(r.top), Limited(r.right), Limited(r.bottom)};
}

}  // namespace

double GaugeFraction(int min_value, int max_value, int value) {
    if (min_value == max_value) {
        return 0;
    }
    return (static_cast<double>(value) - min_value) / (static_cast<double>(max_value) - min_value);
}

int GaugePercent(double fraction) {
    return static_cast<int>(base::RoundHalfEven(fraction * 100));
}

std::string GaugeText(bool show_progress_text, const std::string& progress_text, bool show_percent,
                      int percent) {
    std::string text;
    if (show_progress_text) {
        text = progress_text;
    }
    if (show_percent) {
        text += std::to_string(percent) + "%";
    }
    return text;
}

TRect GaugeBarRect(const TRect& area, double fraction, bool vertical) {
    TRect bar = area;
    if (vertical) {
        const double length = fraction * (static_cast<double>(area.bottom) - area.top);
        bar.top = static_cast<int>(
            std::clamp<int64_t>(int64_t{area.bottom} - base::RoundHalfEven(length),
                                std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
    } else {
        const double length = fraction * (static_cast<double>(area.right) - area.left);
        bar.right = static_cast<int>(
            std::clamp<int64_t>(int64_t{area.left} + base::RoundHalfEven(length),
                                std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
    }
    return bar;
}

TRect AdaptProgressArea(const TRect& progress_area, TSizingMode mode, bool vertical, int width,
                        int height, const TControlGeometry& g) {
    TRect area = progress_area;
    if (mode >= smNinePart) {
        if (vertical) {
            area.bottom = static_cast<int>(std::clamp<int64_t>(
                int64_t{area.bottom} + height - g.SH(), std::numeric_limits<int>::min(),
                std::numeric_limits<int>::max()));
        } else {
            area.right = static_cast<int>(std::clamp<int64_t>(int64_t{area.right} + width - g.SW(),
                                                              std::numeric_limits<int>::min(),
                                                              std::numeric_limits<int>::max()));
        }
    }
    return area;
}

bool ComposeGaugeBar(const TBitmapData& picture, const TRect& bar_in, int begin, int end,
                     bool vertical, int width, int height, TBitmapData& scratch) {
    const TRect pr = Limited(bar_in);
    const int b = std::clamp(begin, 0, kLimit);
    const int e = std::clamp(end, 0, kLimit);
    width = std::clamp(width, 0, kMaxTargetSide);
    height = std::clamp(height, 0, kMaxTargetSide);
    if (scratch.PixelFormat() != framework::pf24bit) {
        scratch.SetPixelFormat(framework::pf24bit);
    }
    scratch.SetSize(width, height);
    if (!vertical) {
        if (width - b - e > 0) {
            const TRect middle{pr.left + b, pr.top, pr.right - e, pr.bottom};
            if (middle.Width() < 1) {
                return false;
            }
            TilePiece(scratch, TRect{b, 0, width - e, height}, picture, middle, true, false);
        }
        TilePiece(scratch, TRect{0, 0, b, height}, picture,
                  TRect{pr.left, pr.top, pr.left + b, pr.bottom}, false, false);
        TilePiece(scratch, TRect{width - e, 0, width, height}, picture,
                  TRect{pr.right - e, pr.top, pr.right, pr.bottom}, false, false);
        return true;
    }
    if (height - b - e > 0) {
        const TRect middle{pr.left, pr.top + b, pr.right, pr.bottom - e};
        const int p = middle.Height();
        if (p < 1) {
            return false;
        }
        // Copies from the bottom up; the topmost one keeps only its lower rows.
        for (int bottom = height - e; bottom > b; bottom -= p) {
            const int top = std::max(b, bottom - p);
            const TRect piece{middle.left, middle.bottom - (bottom - top), middle.right,
                              middle.bottom};
            TilePiece(scratch, TRect{0, top, width, bottom}, picture, piece, false, false);
        }
    }
    TilePiece(scratch, TRect{0, 0, width, b}, picture, TRect{pr.left, pr.top, pr.right, pr.top + b},
              false, false);
    TilePiece(scratch, TRect{0, height - e, width, height}, picture,
              TRect{pr.left, pr.bottom - e, pr.right, pr.bottom}, false, false);
    return true;
}

TPoint GaugeTextOrigin(bool vertical, int width, int height, int tw, int th) {
    if (vertical) {
        return TPoint{width / 2 - th / 2, tw / 2 + height / 2};
    }
    return TPoint{width / 2 - tw / 2, height / 2 - th / 2};
}

}  // namespace skin
