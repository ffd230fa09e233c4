#pragma once

// Reading date-time stamps written in the player's regional format, with a
// fixed ISO 8601 form ("2026-12-09 10:30:00") as the fallback, so that one
// manifest serves players of every locale.
//
// Texts are 8-bit GBK bytes. The regional reading takes its separators, the
// order of the date fields and the AM/PM designators from a TFormatSettings
// record; the program reads the user's record once at start-up
// (platform::ReadUserFormatSettings) and hands it to every parse.

#include <string>
#include <string_view>

#include "base/datetime.h"

namespace base {

// Regional date-time conventions, as GBK bytes. The member defaults are the
// neutral settings (year-month-day with '-', 24-hour clock with ':', "AM" and
// "PM", '.' before milliseconds); current_year has no sensible default and
// must be set by whoever builds the record.
struct TFormatSettings {
    char date_separator = '-';
    char time_separator = ':';
    // Only the order of the fields matters for reading: the first of the
    // letters d, m and y (e counts as y) outside single-quoted text, in any
    // case, says which field comes first.
    std::string short_date_format = "yyyy-MM-dd";
    std::string time_am_string = "AM";
    std::string time_pm_string = "PM";
    char decimal_separator = '.';
    // A year written with one or two digits is placed near current_year, see
    // TryParseRegionalDateTime. 0 turns the window off.
    int two_digit_year_century_window = 50;
    // The year taken for dates written without one, and the anchor of the
    // century window. Given explicitly so that reading never depends on the
    // clock behind the caller's back.
    int current_year = 0;
};

// The settings that Windows documents for Chinese (PRC): "yyyy-MM-dd", '-',
// ':', "上午" and "下午" (GBK), '.'. Current Windows releases (and Wine) give
// "yyyy/M/d" and '/' instead, which platform::ReadUserFormatSettings reports
// as it finds it.
TFormatSettings ChinesePrcSettings(int current_year);

// Reads a date, a time, or a date followed by a time in the regional format.
//
// - Blanks (spaces) may lead and trail.
// - Date: two or three unsigned numbers of 1-4 digits separated by the date
//   separator, in the order of the short date format: day-month-year,
//   month-day-year or year-month-day. With two numbers they are the day and
//   the month in that order (month then day for year-first formats) and the
//   year is current_year. A year of one or two digits gets current_year's
//   century added, and another hundred years when the window is on and the
//   result lies more than the window below current_year; three or four
//   digits are taken as written ("0026" is the year 26).
// - Time, after optional blanks: hours, minutes and optional seconds of 1-2
//   digits separated by the time separator, then optionally the decimal
//   separator and 1-3 digits counting milliseconds (".5" is 5 ms). An AM/PM
//   designator (the settings' strings or "AM"/"PM", in any ASCII case) may
//   stand before or after the time, with optional blanks between; it needs
//   an hour of 0-12, 12 AM is hour 0 and PM adds 12 to hours below 12.
// - A time alone is that time on 30 December 1899 (day 0); a date alone is
//   midnight. When the date and the time separators are the same byte, a
//   first number followed by it starts a date.
//
// Anything else (empty text, stray bytes, a wrong separator, a field out of
// range, too many digits, a designator without a time) gives false and leaves
// `out` alone. The value is the day number with the time of day added (or,
// before day 0, subtracted).
bool TryParseRegionalDateTime(std::string_view text, const TFormatSettings& settings,
                              TDateTime& out);

// Reads "yyyy-mm-dd", "yyyy-mm-dd hh:nn:ss" or "yyyy-mm-ddThh:nn:ss", the time
// optionally followed by '.' and 1-3 digits counting milliseconds (the same
// reading as the regional parse, so a stamp means the same instant whichever
// parse accepts it). Field widths are fixed (4-2-2 and 2:2:2); blanks may
// lead and trail. Returns false and leaves `out` alone otherwise.
bool TryParseIsoDateTime(std::string_view text, TDateTime& out);

// The regional reading when it accepts the text, the ISO reading otherwise.
bool TryParseStamp(std::string_view text, const TFormatSettings& settings, TDateTime& out);

}  // namespace base
