// The inactive effects of the skinned frame. Every effect is a ratio of
// integers, so it is computed exactly and rounded half to even without any
// floating-point doubt at the halves.

#include <algorithm>
#include <cstdint>

#include "skin/form/core/frame_core.h"

namespace skin {

namespace {

// numerator / denominator (both >= 0, denominator > 0) to the nearest
// integer, halves to the even one.
int64_t RoundRatio(int64_t numerator, int64_t denominator) {
    const int64_t q = numerator / denominator;
    const int64_t twice_r = (numerator % denominator) * 2;
    if (twice_r > denominator || (twice_r == denominator && (q & 1) != 0)) {
        return q + 1;
    }
    return q;
}

uint8_t Channel(int64_t v) {
    return static_cast<uint8_t>(std::clamp<int64_t>(v, 0, 255));
}

// Applies `f` to the three channels (B, G, R in memory) of every pixel.
template <typename F>
void EachPixel(TbsEffectBmp& picture, F f) {
    for (int y = 0; y < picture.Height(); ++y) {
        uint8_t* p = picture.Row(y);
        for (int x = 0; x < picture.Width(); ++x, p += 3) {
            f(p);
        }
    }
}

void SplitBlur(TbsEffectBmp& picture) {
    const int w = picture.Width();
    const int h = picture.Height();
    for (int i = 0; i < h; ++i) {
        const int up = i > 0 ? i - 1 : i;
        const int down = i + 1 < h ? i + 1 : i;
        for (int j = 0; j < w; ++j) {
            const int left = j > 0 ? j - 1 : j;
            const int right = j + 1 < w ? j + 1 : j;
            const uint8_t* n[] = {picture.Row(up) + left * 3, picture.Row(up) + right * 3,
                                  picture.Row(down) + left * 3, picture.Row(down) + right * 3};
            uint8_t sum[3];
            for (int c = 0; c < 3; ++c) {
                sum[c] = static_cast<uint8_t>((n[0][c] + n[1][c] + n[2][c] + n[3][c]) / 4);
            }
            uint8_t* p = picture.Row(i) + j * 3;
            std::copy(sum, sum + 3, p);
        }
    }
}

}  // namespace

void ApplyInactiveEffect(TbsEffectBmp& picture, TInactiveEffect effect, const TRandom& random) {
    switch (effect) {
        case ieBrightness:  // (1 - 0.5) v + 0.5 * 255
            EachPixel(picture, [](uint8_t* p) {
                for (int c = 0; c < 3; ++c) {
                    p[c] = Channel(RoundRatio(int64_t{p[c]} + 255, 2));
                }
            });
            break;
        case ieDarkness:  // (1 - 0.3) v
            EachPixel(picture, [](uint8_t* p) {
                for (int c = 0; c < 3; ++c) {
                    p[c] = Channel(RoundRatio(int64_t{p[c]} * 7, 10));
                }
            });
            break;
        case ieGrayScale:  // 0.3 R + 0.59 G + 0.11 B
            EachPixel(picture, [](uint8_t* p) {
                const uint8_t gray =
                    Channel(RoundRatio(int64_t{p[2]} * 30 + int64_t{p[1]} * 59 + p[0] * 11, 100));
                p[0] = p[1] = p[2] = gray;
            });
            break;
        case ieNoise:
            EachPixel(picture, [&random](uint8_t* p) {
                // A generator that answers outside the range is held to it.
                const int n = random ? std::clamp(random(50), 0, 49) - 25 : 0;
                for (int c = 0; c < 3; ++c) {
                    p[c] = Channel(int64_t{p[c]} + n);
                }
            });
            break;
        case ieSplitBlur:
            SplitBlur(picture);
            break;
        case ieInvert:
            EachPixel(picture, [](uint8_t* p) {
                for (int c = 0; c < 3; ++c) {
                    p[c] = static_cast<uint8_t>(255 - p[c]);
                }
            });
            break;
    }
}

}  // namespace skin
