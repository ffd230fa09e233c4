#pragma once

// Date-time values as the updater stores and exchanges them: a double holding
// the number of days since 30 December 1899 (day 0), with the time of day as
// the fraction, in local time.
//
// For days before day 0 the time of day is subtracted rather than added, so
// -1.25 is 29 December 1899 06:00 (day -1, then 0.25 of a day). A value is
// therefore days + time when days >= 0 and days - time otherwise.

#include <cstdint>

namespace base {

using TDateTime = double;

inline constexpr int64_t kMillisecondsPerDay = 86'400'000;
inline constexpr TDateTime MillisecondInDays = 1.0 / kMillisecondsPerDay;

// Day numbers of 1 January 0001 and 31 December 9999, the supported range.
inline constexpr int kMinDateDay = -693'593;
inline constexpr int kMaxDateDay = 2'958'465;

struct DateTimeFields {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;

    bool operator==(const DateTimeFields&) const = default;
};

// Day number of a date of the proleptic Gregorian calendar, year 1..9999.
// Returns false (and leaves `out` alone) for a date that does not exist.
bool TryEncodeDate(int year, int month, int day, TDateTime& out);

// Fraction of a day in [0, 1) for hour 0..23, minute and second 0..59 and
// millisecond 0..999. Returns false (and leaves `out` alone) otherwise.
bool TryEncodeTime(int hour, int minute, int second, int millisecond, TDateTime& out);

// Combines a date and a time of day; raises EConvertError naming the fields
// when either is invalid.
TDateTime EncodeDateTime(const DateTimeFields& fields);

// Splits a value into its fields, rounded to the nearest millisecond; a time
// that rounds to a whole day moves on to the next day away from day 0 (so a
// hair below -1.0 is day -1 00:00). Raises EConvertError for NaN, infinities
// and values outside 1 January 0001 .. 31 December 9999.
DateTimeFields DecodeDateTime(TDateTime value);

}  // namespace base
