#include "base/rounding.h"

#include <cmath>

#include "base/exception.h"

namespace base {

int64_t RoundHalfEven(double value) {
    // Doubles of magnitude 2^52 and above are whole numbers already; below
    // that, value - floor(value) is exact, so the half test is exact too.
    double rounded = std::floor(value);
    const double fraction = value - rounded;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(rounded, 2.0) != 0.0)) {
        rounded += 1.0;
    }
    // -2^63 is representable and in range; 2^63 is the first value that is not.
    if (!(rounded >= -9223372036854775808.0 && rounded < 9223372036854775808.0)) {
        throw EConvertError("Value out of integer range");
    }
    return static_cast<int64_t>(rounded);
}

int64_t KiloBytes(int64_t bytes) {
    // Work on the magnitude in unsigned arithmetic so that INT64_MIN needs no
    // special case; the quotient always fits back into int64_t.
    const bool negative = bytes < 0;
    const uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(bytes) : bytes;
    uint64_t quotient = magnitude >> 10;
    const uint64_t remainder = magnitude & 1023;
    if (remainder > 512 || (remainder == 512 && (quotient & 1) != 0)) {
        ++quotient;
    }
    const auto result = static_cast<int64_t>(quotient);
    return negative ? -result : result;
}

std::string KiloBytesText(int64_t bytes) {
    return std::to_string(KiloBytes(bytes));
}

}  // namespace base
