#include "base/datetime.h"

#include <gtest/gtest.h>

#include <limits>
#include <ostream>
#include <utility>

#include "base/exception.h"

namespace base {

void PrintTo(const DateTimeFields& f, std::ostream* os) {
    *os << f.year << '-' << f.month << '-' << f.day << ' ' << f.hour << ':' << f.minute << ':'
        << f.second << '.' << f.millisecond;
}

namespace {

DateTimeFields Date(int y, int m, int d, int h = 0, int mi = 0, int s = 0, int ms = 0) {
    return {y, m, d, h, mi, s, ms};
}

TEST(DateTimeTest, WellKnownDayNumbers) {
    EXPECT_EQ(EncodeDateTime(Date(1899, 12, 30)), 0);
    EXPECT_EQ(EncodeDateTime(Date(1900, 1, 1)), 2);
    EXPECT_EQ(EncodeDateTime(Date(1970, 1, 1)), 25569);
    EXPECT_EQ(EncodeDateTime(Date(2000, 1, 1, 12)), 36526.5);
    EXPECT_EQ(EncodeDateTime(Date(1601, 1, 1)), -109205);
    EXPECT_EQ(EncodeDateTime(Date(1, 1, 1)), kMinDateDay);
    EXPECT_EQ(EncodeDateTime(Date(9999, 12, 31)), kMaxDateDay);
}

// Walks every day of the range: day n + 1 must be the calendar day after day
// n, which covers every month length and every leap year rule.
TEST(DateTimeTest, ConsecutiveDaysFollowTheCalendar) {
    auto daysIn = [](int y, int m) {
        static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
        const bool leap = y % 400 == 0 || (y % 4 == 0 && y % 100 != 0);
        return m == 2 && leap ? 29 : kDays[m - 1];
    };
    DateTimeFields expected = Date(1, 1, 1);
    for (int day = kMinDateDay; day <= kMaxDateDay; ++day) {
        const DateTimeFields got = DecodeDateTime(day);
        ASSERT_EQ(got, expected) << "day " << day;
        if (++expected.day > daysIn(expected.year, expected.month)) {
            expected.day = 1;
            if (++expected.month > 12) {
                expected.month = 1;
                ++expected.year;
            }
        }
    }
}

TEST(DateTimeTest, RejectsFieldsOutsideTheCalendar) {
    TDateTime out = 12345;
    EXPECT_TRUE(TryEncodeDate(2000, 2, 29, out));
    EXPECT_TRUE(TryEncodeTime(23, 59, 59, 999, out));
    EXPECT_LT(out, 1.0);
    out = 12345;
    const int badDates[][3] = {{1900, 2, 29}, {2100, 2, 29}, {2023, 2, 29}, {0, 1, 1},
                               {10000, 1, 1}, {2020, 0, 1},  {2020, 13, 1}, {2020, 1, 0},
                               {2020, 1, 32}, {2020, 4, 31}};
    for (const auto& d : badDates) {
        EXPECT_FALSE(TryEncodeDate(d[0], d[1], d[2], out)) << d[0] << '-' << d[1] << '-' << d[2];
    }
    const int badTimes[][4] = {{24, 0, 0, 0},   {0, 60, 0, 0}, {0, 0, 60, 0},
                               {0, 0, 0, 1000}, {-1, 0, 0, 0}, {0, 0, 0, -1}};
    for (const auto& t : badTimes) {
        EXPECT_FALSE(TryEncodeTime(t[0], t[1], t[2], t[3], out)) << t[0] << ':' << t[1];
    }
    EXPECT_EQ(out, 12345) << "a failed encode leaves the output alone";

    try {
        EncodeDateTime(Date(2023, 2, 29, 10));
        ADD_FAILURE() << "no exception";
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), "Invalid date: 2023-02-29 10:00:00.000");
    }
    try {
        EncodeDateTime(Date(2023, 2, 28, 24));
        ADD_FAILURE() << "no exception";
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), "Invalid time: 2023-02-28 24:00:00.000");
    }
}

TEST(DateTimeTest, NegativeDaysSubtractTheTime) {
    EXPECT_EQ(EncodeDateTime(Date(1899, 12, 29, 6)), -1.25);
    EXPECT_EQ(EncodeDateTime(Date(1899, 12, 28, 12)), -2.5);
    EXPECT_EQ(DecodeDateTime(-1.25), Date(1899, 12, 29, 6));
    // Between -1 and 0 the value is day 0 with the fraction as the time.
    EXPECT_EQ(DecodeDateTime(-0.25), Date(1899, 12, 30, 6));
}

TEST(DateTimeTest, DecodeRoundsToTheNearestMillisecond) {
    const TDateTime day = EncodeDateTime(Date(2020, 6, 15));
    const TDateTime ms = MillisecondInDays;
    EXPECT_EQ(DecodeDateTime(day + 1234.4 * ms), Date(2020, 6, 15, 0, 0, 1, 234));
    EXPECT_EQ(DecodeDateTime(day + 1234.6 * ms), Date(2020, 6, 15, 0, 0, 1, 235));
    // The last half millisecond of a day belongs to the next day, away from
    // day 0 on either side of it.
    EXPECT_EQ(DecodeDateTime(day + 1 - 0.3 * ms), Date(2020, 6, 16));
    EXPECT_EQ(DecodeDateTime(-(1 - 0.3 * ms)), Date(1899, 12, 29));
    EXPECT_EQ(DecodeDateTime(-1 - (1 - 0.3 * ms)), Date(1899, 12, 28));
    EXPECT_EQ(DecodeDateTime(-1 - (1 - 0.7 * ms)), Date(1899, 12, 29, 23, 59, 59, 999));
}

// Every millisecond of a day comes back through encode and decode. The first
// and last days of the range, one on each side of day 0, have the least
// precision to spare: their first and last quarter hours are checked in full,
// the rest of them and the other days at strides that still meet every value
// of every field.
TEST(DateTimeTest, EveryMillisecondRoundTrips) {
    constexpr int kQuarterHour = 15 * 60'000;
    struct Sample {
        DateTimeFields date;
        int stride;
        bool full_edges;
    };
    const Sample samples[] = {
        {Date(1, 1, 1), 97, true},        {Date(9999, 12, 31), 97, true},
        {Date(1, 12, 31), 997, false},    {Date(1000, 2, 28), 997, false},
        {Date(1600, 2, 29), 997, false},  {Date(1601, 1, 1), 997, false},
        {Date(1899, 12, 29), 997, false}, {Date(1899, 12, 30), 997, false},
        {Date(1899, 12, 31), 997, false}, {Date(2000, 2, 29), 997, false},
        {Date(5000, 7, 4), 997, false},   {Date(9999, 1, 1), 997, false},
    };
    for (const Sample& sample : samples) {
        for (int ms = 0; ms < kMillisecondsPerDay;) {
            DateTimeFields f = sample.date;
            f.millisecond = ms % 1000;
            f.second = ms / 1000 % 60;
            f.minute = ms / 60'000 % 60;
            f.hour = ms / 3'600'000;
            const DateTimeFields back = DecodeDateTime(EncodeDateTime(f));
            ASSERT_EQ(back, f);
            const bool edge = ms < kQuarterHour || ms >= kMillisecondsPerDay - kQuarterHour;
            ms += sample.full_edges && edge ? 1 : sample.stride;
        }
    }
}

TEST(DateTimeTest, ValuesOutsideTheRangeAreRejected) {
    const double almostADay = 1 - 0.3 * MillisecondInDays;
    for (double value : {std::numeric_limits<double>::quiet_NaN(),
                         std::numeric_limits<double>::infinity(), -1e300, kMinDateDay - 1.0,
                         kMaxDateDay + 1.0, kMinDateDay - almostADay, kMaxDateDay + almostADay}) {
        EXPECT_THROW(DecodeDateTime(value), EConvertError) << value;
    }
    const double lastMillisecond = 1 - 0.7 * MillisecondInDays;
    EXPECT_EQ(DecodeDateTime(kMinDateDay - lastMillisecond), Date(1, 1, 1, 23, 59, 59, 999));
    EXPECT_EQ(DecodeDateTime(kMaxDateDay + lastMillisecond), Date(9999, 12, 31, 23, 59, 59, 999));
}

}  // namespace
}  // namespace base
