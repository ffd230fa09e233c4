#include "base/datetime.h"

#include <cmath>
#include <cstdio>
#include <string>

#include "base/exception.h"

namespace base {

namespace {

constexpr int kDaysPer400Years = 146'097;
constexpr int kDaysPer100Years = 36'524;
constexpr int kDaysPer4Years = 1'461;

bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

// Days before the first of each month, for common and for leap years.
constexpr int kDaysBeforeMonth[2][13] = {
    {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334, 365},
    {0, 31, 60, 91, 121, 152, 182, 213, 244, 274, 305, 335, 366},
};

std::string Describe(const char* what, const DateTimeFields& f) {
    char text[160];
    std::snprintf(text, sizeof text, "Invalid %s: %04d-%02d-%02d %02d:%02d:%02d.%03d", what, f.year,
                  f.month, f.day, f.hour, f.minute, f.second, f.millisecond);
    return text;
}

[[noreturn]] void ThrowOutOfRange(TDateTime value) {
    char text[96];
    std::snprintf(text, sizeof text, "Date-time value out of range: %.17g", value);
    throw EConvertError(text);
}

}  // namespace

bool TryEncodeDate(int year, int month, int day, TDateTime& out) {
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1) {
        return false;
    }
    const int* before = kDaysBeforeMonth[IsLeapYear(year) ? 1 : 0];
    if (day > before[month] - before[month - 1]) {
        return false;
    }
    const int y = year - 1;
    const int sinceYearOne = y * 365 + y / 4 - y / 100 + y / 400 + before[month - 1] + day - 1;
    out = sinceYearOne + kMinDateDay;
    return true;
}

bool TryEncodeTime(int hour, int minute, int second, int millisecond, TDateTime& out) {
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 ||
        millisecond < 0 || millisecond > 999) {
        return false;
    }
    const int64_t ms = ((hour * 60 + minute) * 60 + second) * int64_t{1000} + millisecond;
    out = static_cast<TDateTime>(ms) / kMillisecondsPerDay;
    return true;
}

TDateTime EncodeDateTime(const DateTimeFields& f) {
    TDateTime date = 0;
    TDateTime time = 0;
    if (!TryEncodeDate(f.year, f.month, f.day, date)) {
        throw EConvertError(Describe("date", f));
    }
    if (!TryEncodeTime(f.hour, f.minute, f.second, f.millisecond, time)) {
        throw EConvertError(Describe("time", f));
    }
    return date >= 0 ? date + time : date - time;
}

DateTimeFields DecodeDateTime(TDateTime value) {
    // The bounds leave room for the last millisecond of the extreme days; the
    // day check after rounding catches what lies between them and a whole day.
    if (!(value > kMinDateDay - 1.0 && value < kMaxDateDay + 1.0)) {
        ThrowOutOfRange(value);
    }
    // Both parts are exact: the integer part of a double in this range and the
    // difference between the two are representable without rounding.
    const double whole = std::trunc(value);
    int64_t day = static_cast<int64_t>(whole);
    int64_t ms = std::llround(std::fabs(value - whole) * kMillisecondsPerDay);
    if (ms == kMillisecondsPerDay) {
        ms = 0;
        day += value < 0 ? -1 : 1;
    }
    if (day < kMinDateDay || day > kMaxDateDay) {
        ThrowOutOfRange(value);
    }

    DateTimeFields f;
    int n = static_cast<int>(day - kMinDateDay);  // days since 1 January 0001
    const int n400 = n / kDaysPer400Years;
    n %= kDaysPer400Years;
    int n100 = n / kDaysPer100Years;
    if (n100 == 4) {  // 31 December of a year divisible by 400
        n100 = 3;
    }
    n -= n100 * kDaysPer100Years;
    const int n4 = n / kDaysPer4Years;
    n %= kDaysPer4Years;
    int n1 = n / 365;
    if (n1 == 4) {  // 31 December of a leap year
        n1 = 3;
    }
    n -= n1 * 365;
    f.year = n400 * 400 + n100 * 100 + n4 * 4 + n1 + 1;
    const int* before = kDaysBeforeMonth[IsLeapYear(f.year) ? 1 : 0];
    f.month = 1;
    while (n >= before[f.month]) {
        ++f.month;
    }
    f.day = n - before[f.month - 1] + 1;

    const int msOfDay = static_cast<int>(ms);
    f.millisecond = msOfDay % 1000;
    f.second = msOfDay / 1000 % 60;
    f.minute = msOfDay / 60'000 % 60;
    f.hour = msOfDay / 3'600'000;
    return f;
}

}  // namespace base
