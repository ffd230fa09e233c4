#include "skin/data/effect.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

namespace skin {

using framework::EInvalidGraphicOperation;
using framework::MakeColor;

namespace {

// Nearest integer, halves to the even neighbour; NaN gives 0. The value is
// first kept within +-1e9, enough for any count of columns.
int RoundHalfEven(double value) {
    if (std::isnan(value)) {
        return 0;
    }
    value = std::clamp(value, -1e9, 1e9);
    const double floor = std::floor(value);
    const double fraction = value - floor;
    int result = static_cast<int>(floor);
    if (fraction > 0.5 || (fraction == 0.5 && (result & 1) != 0)) {
        ++result;
    }
    return result;
}

uint8_t Channel(double value) {
    return static_cast<uint8_t>(std::clamp(RoundHalfEven(value), 0, 255));
}

// The three channels of a pixel as w * a + (1 - w) * b.
void Mix(uint8_t* a, const uint8_t* b, double w) {
    for (int i = 0; i < 3; ++i) {
        a[i] = Channel(w * a[i] + (1.0 - w) * b[i]);
    }
}

void MixColumn(TbsEffectBmp& a, const TbsEffectBmp& b, int column, double w) {
    for (int y = 0; y < a.Height(); ++y) {
        Mix(a.Row(y) + column * 3, b.Row(y) + column * 3, w);
    }
}

void MixRow(TbsEffectBmp& a, const TbsEffectBmp& b, int row, double w) {
    uint8_t* pa = a.Row(row);
    const uint8_t* pb = b.Row(row);
    for (int x = 0; x < a.Width(); ++x) {
        Mix(pa + x * 3, pb + x * 3, w);
    }
}

// Copies `count` columns of b from `from` to a at `to`, on every row.
void CopyColumns(TbsEffectBmp& a, const TbsEffectBmp& b, int to, int from, int count) {
    for (int y = 0; y < a.Height(); ++y) {
        std::memcpy(a.Row(y) + to * 3, b.Row(y) + from * 3, static_cast<size_t>(count) * 3);
    }
}

void BlendDefault(TbsEffectBmp& a, const TbsEffectBmp& b, double k) {
    k = std::clamp(k, 0.0, 1.0);
    for (int y = 0; y < a.Height(); ++y) {
        uint8_t* pa = a.Row(y);
        const uint8_t* pb = b.Row(y);
        for (int i = 0; i < a.Width() * 3; ++i) {
            pa[i] = Channel((1.0 - k) * pa[i] + k * pb[i]);
        }
    }
}

// The middle band from b, mixing outwards; along columns, or along rows when
// the picture is taller than wide.
void BlendGradient(TbsEffectBmp& a, const TbsEffectBmp& b, double k) {
    const bool rows = a.Height() > a.Width();
    const int length = rows ? a.Height() : a.Width();
    const int band = std::clamp(RoundHalfEven(k * length), 0, length);
    const int start = length / 2 - band / 2;
    const int end = start + band;
    const int half = (length - band) / 2;
    const double step = half > 0 ? 1.0 / half : 1.0;
    for (int i = 0; i < length; ++i) {
        double w = 0.0;  // inside the band: all of b
        if (i < start) {
            w = std::min(1.0, (start - 1 - i) * step);
        } else if (i >= end) {
            w = std::min(1.0, (i - end) * step);
        }
        if (rows) {
            MixRow(a, b, i, w);
        } else {
            MixColumn(a, b, i, w);
        }
    }
}

}  // namespace

// --- TbsFBitmap ----------------------------------------------------------------

void TbsFBitmap::Allocate(int width, int height) {
    width = std::max(width, 0);
    height = std::max(height, 0);
    if (width > TBitmapData::kMaxSide || height > TBitmapData::kMaxSide) {
        throw EInvalidGraphicOperation("Bitmap size is out of range");
    }
    width_ = width;
    height_ = height;
    memory_.assign(static_cast<size_t>(RowIncrement()) * static_cast<size_t>(height), 0);
    PointRows();
}

void TbsFBitmap::PointRows() {
    const size_t increment = static_cast<size_t>(RowIncrement());
    rows_.resize(static_cast<size_t>(height_));
    for (int y = 0; y < height_; ++y) {
        rows_[static_cast<size_t>(y)] = memory_.data() + increment * static_cast<size_t>(y);
    }
}

TbsFBitmap::TbsFBitmap(int width, int height) {
    Allocate(width, height);
}

TbsFBitmap::TbsFBitmap(const TBitmapData& bitmap) {
    Allocate(bitmap.Width(), bitmap.Height());
    for (int y = 0; y < height_; ++y) {
        uint8_t* row = Row(y);
        if (bitmap.PixelFormat() == framework::pf24bit) {
            std::memcpy(row, bitmap.ScanLine(y), static_cast<size_t>(width_) * 3);
            continue;
        }
        for (int x = 0; x < width_; ++x) {
            const TColor c = bitmap.Pixel(x, y);
            row[x * 3] = framework::ColorBlue(c);
            row[x * 3 + 1] = framework::ColorGreen(c);
            row[x * 3 + 2] = framework::ColorRed(c);
        }
    }
}

TbsFBitmap::TbsFBitmap(const TbsFBitmap& other) {
    *this = other;
}

TbsFBitmap& TbsFBitmap::operator=(const TbsFBitmap& other) {
    if (this != &other) {
        width_ = other.width_;
        height_ = other.height_;
        memory_ = other.memory_;
        PointRows();
    }
    return *this;
}

TbsFBitmap::TbsFBitmap(TbsFBitmap&& other) noexcept {
    *this = std::move(other);
}

TbsFBitmap& TbsFBitmap::operator=(TbsFBitmap&& other) noexcept {
    if (this != &other) {
        width_ = std::exchange(other.width_, 0);
        height_ = std::exchange(other.height_, 0);
        memory_ = std::move(other.memory_);
        rows_ = std::move(other.rows_);
        other.memory_.clear();
        other.rows_.clear();
    }
    return *this;
}

TColor TbsFBitmap::Pixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) {
        return framework::kInvalidColor;
    }
    const uint8_t* p = Row(y) + x * 3;
    return MakeColor(p[2], p[1], p[0]);
}

void TbsFBitmap::SetPixel(int x, int y, TColor color) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) {
        return;
    }
    uint8_t* p = Row(y) + x * 3;
    p[0] = framework::ColorBlue(color);
    p[1] = framework::ColorGreen(color);
    p[2] = framework::ColorRed(color);
}

TBitmapData TbsFBitmap::ToBitmap() const {
    TBitmapData result(width_, height_, framework::pf24bit);
    for (int y = 0; y < height_; ++y) {
        std::memcpy(result.ScanLine(y), Row(y), static_cast<size_t>(width_) * 3);
    }
    return result;
}

// --- TbsEffectBmp --------------------------------------------------------------

void TbsEffectBmp::Draw(TBitmapData& target, int x, int y) const {
    // Clip in 64 bits: the position may be anything.
    const int64_t x0 = std::max<int64_t>(x, 0);
    const int64_t y0 = std::max<int64_t>(y, 0);
    const int64_t x1 = std::min<int64_t>(int64_t{x} + Width(), target.Width());
    const int64_t y1 = std::min<int64_t>(int64_t{y} + Height(), target.Height());
    if (x1 <= x0 || y1 <= y0) {
        return;
    }
    const bool direct = target.PixelFormat() == framework::pf24bit;
    for (int64_t ty = y0; ty < y1; ++ty) {
        const uint8_t* s = Row(static_cast<int>(ty - y)) + (x0 - x) * 3;
        if (direct) {
            std::memcpy(target.ScanLine(static_cast<int>(ty)) + x0 * 3, s,
                        static_cast<size_t>(x1 - x0) * 3);
            continue;
        }
        for (int64_t tx = x0; tx < x1; ++tx, s += 3) {
            target.SetPixel(static_cast<int>(tx), static_cast<int>(ty),
                            MakeColor(s[2], s[1], s[0]));
        }
    }
}

// --- Blend -----------------------------------------------------------------------

void Blend(TbsEffectBmp& a, const TbsEffectBmp& b, TMorphKind kind, double k) {
    if (a.Width() != b.Width() || a.Height() != b.Height() || a.Width() < 1 || a.Height() < 1) {
        return;
    }
    if (&a == &b) {
        // Blending a picture with itself: read from a copy.
        const TbsEffectBmp copy = b;
        Blend(a, copy, kind, k);
        return;
    }
    if (std::isnan(k)) {
        k = 0.0;
    }
    const int w = a.Width();
    const int kw = RoundHalfEven(k * w);
    switch (kind) {
        case mkDefault:
            BlendDefault(a, b, k);
            return;
        case mkGradient:
            BlendGradient(a, b, k);
            return;
        case mkLeftGradient: {
            if (w < 2) {
                return;
            }
            const int n = std::clamp(kw, 1, w - 1);
            for (int column = 0; column < n; ++column) {
                MixColumn(a, b, column, static_cast<double>(column) / n);
            }
            return;
        }
        case mkRightGradient: {
            const int n = std::clamp(w - kw, 0, w - 1);
            for (int column = w - 1; column >= n; --column) {
                MixColumn(a, b, column, static_cast<double>(w - 1 - column) / (w - n));
            }
            return;
        }
        case mkLeftSlide:
        case mkRightSlide: {
            if (w < 2) {
                return;
            }
            const int n = std::clamp(kw, 1, w - 1);
            if (kind == mkLeftSlide) {
                CopyColumns(a, b, 0, w - n, n);
            } else {
                CopyColumns(a, b, w - n, 0, n);
            }
            return;
        }
        case mkPush: {
            const int n = std::clamp(kw, 0, w - 1);
            const int moved = n + 1;
            for (int y = 0; y < a.Height(); ++y) {
                uint8_t* row = a.Row(y);
                std::memmove(row + moved * 3, row, static_cast<size_t>(w - moved) * 3);
                std::memcpy(row, b.Row(y) + (w - moved) * 3, static_cast<size_t>(moved) * 3);
            }
            return;
        }
    }
}

}  // namespace skin
