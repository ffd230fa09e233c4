#pragma once

// Rounding as the updater shows figures to the user: to the nearest whole
// number, with exact halves going to the even neighbour.

#include <cstdint>
#include <string>

namespace base {

// 0.5 -> 0, 1.5 -> 2, 2.5 -> 2, -0.5 -> 0, -1.5 -> -2. Raises EConvertError
// for NaN and for results outside the range of int64_t.
int64_t RoundHalfEven(double value);

// bytes / 1024 rounded half to even, computed exactly in integers:
// 512 -> 0, 1535 -> 1, 1536 -> 2, 2560 -> 2; negative counts are symmetric.
int64_t KiloBytes(int64_t bytes);

// KiloBytes as plain decimal digits (with a leading '-' when negative), no
// thousands separators.
std::string KiloBytesText(int64_t bytes);

}  // namespace base
