#include "base/rounding.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <utility>

#include "base/exception.h"

namespace base {
namespace {

constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
constexpr int64_t kMin = std::numeric_limits<int64_t>::min();

TEST(RoundingTest, RoundHalfEven) {
    // Beside the halves: the double just below 0.5, where adding 0.5 and
    // flooring goes wrong, and values from 2^52 up, which are whole already.
    const std::pair<double, int64_t> cases[] = {{0.5, 0},
                                                {1.5, 2},
                                                {2.5, 2},
                                                {-0.5, 0},
                                                {-1.5, -2},
                                                {-2.5, -2},
                                                {-3.5, -4},
                                                {-0.0, 0},
                                                {2.4, 2},
                                                {2.6, 3},
                                                {-2.6, -3},
                                                {1e15 + 0.5, 1'000'000'000'000'000},
                                                {std::nextafter(0.5, 0.0), 0},
                                                {std::nextafter(-2.5, -3.0), -3},
                                                {4503599627370497.0, 4503599627370497},
                                                {4503599627370495.5, 4503599627370496},
                                                {-9223372036854775808.0, kMin}};
    for (auto [value, expected] : cases) {
        EXPECT_EQ(RoundHalfEven(value), expected) << value;
    }
    for (double value : {std::numeric_limits<double>::quiet_NaN(),
                         std::numeric_limits<double>::infinity(), 9223372036854775808.0, -1e19}) {
        EXPECT_THROW(RoundHalfEven(value), EConvertError) << value;
    }
}

TEST(RoundingTest, KiloBytes) {
    const std::pair<int64_t, int64_t> cases[] = {
        {0, 0},
        {512, 0},
        {513, 1},
        {1535, 1},
        {1536, 2},
        {2560, 2},
        {2561, 3},
        {3584, 4},
        {99000, 97},
        {100000, 98},
        {-512, 0},
        {-1536, -2},
        {-2560, -2},
        {kMax, int64_t{1} << 53},
        {kMin, -(int64_t{1} << 53)},
        {kMax - 1023, (int64_t{1} << 53) - 1},
    };
    for (auto [bytes, expected] : cases) {
        EXPECT_EQ(KiloBytes(bytes), expected) << bytes;
    }
    // Small counts divide exactly in floating point: an independent way to
    // the same answers.
    for (int64_t bytes = -300'000; bytes <= 300'000; ++bytes) {
        ASSERT_EQ(KiloBytes(bytes), RoundHalfEven(static_cast<double>(bytes) / 1024)) << bytes;
    }
    EXPECT_EQ(KiloBytesText(-1536), "-2");
    EXPECT_EQ(KiloBytesText(10'000'000'000), "9765625");
    EXPECT_EQ(KiloBytesText(kMax), "9007199254740992");
}

}  // namespace
}  // namespace base
