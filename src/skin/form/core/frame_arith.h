#pragma once

// Integer helpers of the frame core: skin coordinates are any int, so sums
// and differences saturate instead of overflowing.

#include <algorithm>
#include <cstdint>
#include <limits>

namespace skin {

inline int Saturated(int64_t v) {
    return static_cast<int>(
        std::clamp<int64_t>(v, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

inline int AddClamped(int a, int b) {
    return Saturated(int64_t{a} + b);
}

inline int SubClamped(int a, int b) {
    return Saturated(int64_t{a} - b);
}

}  // namespace skin
