#include "base/regional_datetime.h"

#include <cstddef>
#include <cstdint>

namespace base {

namespace {

constexpr char kBlank = ' ';

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

char FoldAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// A GBK lead byte: the byte after it belongs to the same character and may
// lie in the ASCII range (letters included), so it must not be read alone.
bool IsGbkLeadByte(char c) {
    const auto b = static_cast<unsigned char>(c);
    return b >= 0x81 && b <= 0xFE;
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && text.front() == kBlank) {
        text.remove_prefix(1);
    }
    while (!text.empty() && text.back() == kBlank) {
        text.remove_suffix(1);
    }
    return text;
}

// Whether `text` starts with `word`, ASCII letters in any case. Double-byte
// characters of `word` must match byte for byte, so a trail byte that happens
// to be a letter is never folded.
bool StartsWithFolded(std::string_view text, std::string_view word) {
    if (text.size() < word.size()) {
        return false;
    }
    for (size_t i = 0; i < word.size(); ++i) {
        if (IsGbkLeadByte(word[i]) && i + 1 < word.size()) {
            if (text[i] != word[i] || text[i + 1] != word[i + 1]) {
                return false;
            }
            ++i;
        } else if (FoldAscii(text[i]) != FoldAscii(word[i])) {
            return false;
        }
    }
    return true;
}

enum class DateOrder { kDayMonthYear, kMonthDayYear, kYearMonthDay };

// The order of the date fields: decided by the first of d, m, y or e (an era
// year) in the format. Quoted literal text and double-byte characters are
// skipped. A format without any of them reads year-month-day.
DateOrder OrderOf(std::string_view format) {
    bool quoted = false;
    for (size_t i = 0; i < format.size(); ++i) {
        const char c = format[i];
        if (c == '\'') {
            quoted = !quoted;
        } else if (IsGbkLeadByte(c)) {
            ++i;
        } else if (!quoted) {
            switch (FoldAscii(c)) {
                case 'd':
                    return DateOrder::kDayMonthYear;
                case 'm':
                    return DateOrder::kMonthDayYear;
                case 'y':
                case 'e':
                    return DateOrder::kYearMonthDay;
                default:
                    break;
            }
        }
    }
    return DateOrder::kYearMonthDay;
}

// A read position in a text.
class Cursor {
  public:
    explicit Cursor(std::string_view text) : text_(text) {}

    bool AtEnd() const { return pos_ == text_.size(); }
    bool AtDigit() const { return !AtEnd() && IsDigit(text_[pos_]); }

    bool Take(char c) {
        if (!AtEnd() && text_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }

    void SkipBlanks() {
        while (Take(kBlank)) {
        }
    }

    // Reads the whole run of digits at the position: false when there is none
    // or it is longer than max_digits. `digits` is the length as written,
    // leading zeros included.
    bool Number(int max_digits, int& value, int& digits) {
        value = 0;
        digits = 0;
        while (AtDigit()) {
            if (++digits > max_digits) {
                return false;
            }
            value = value * 10 + (text_[pos_++] - '0');
        }
        return digits > 0;
    }

    bool Number(int max_digits, int& value) {
        int digits = 0;
        return Number(max_digits, value, digits);
    }

    // Reads exactly `count` digits.
    bool Fixed(int count, int& value) {
        value = 0;
        for (int i = 0; i < count; ++i) {
            if (!AtDigit()) {
                return false;
            }
            value = value * 10 + (text_[pos_++] - '0');
        }
        return true;
    }

    // Whether a run of digits followed by `separator` starts here.
    bool DigitsThen(char separator) const {
        size_t i = pos_;
        while (i < text_.size() && IsDigit(text_[i])) {
            ++i;
        }
        return i > pos_ && i < text_.size() && text_[i] == separator;
    }

    // Reads an AM/PM designator: the settings' strings or "AM"/"PM", in any
    // ASCII case; the longest that matches wins.
    bool Designator(const TFormatSettings& settings, bool& pm) {
        struct Candidate {
            std::string_view word;
            bool pm;
        };
        const Candidate candidates[] = {
            {settings.time_am_string, false},
            {settings.time_pm_string, true},
            {"AM", false},
            {"PM", true},
        };
        const std::string_view rest = text_.substr(pos_);
        size_t best = 0;
        for (const Candidate& c : candidates) {
            if (c.word.size() > best && StartsWithFolded(rest, c.word)) {
                best = c.word.size();
                pm = c.pm;
            }
        }
        pos_ += best;
        return best > 0;
    }

  private:
    std::string_view text_;
    size_t pos_ = 0;
};

struct Date {
    int year = 0;
    int month = 0;
    int day = 0;
};

struct Time {
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
};

// Places a year written with one or two digits: the current century is
// added, then a hundred more when the result lies further than the window
// below the current year. Computed in 64 bits so that no settings can
// overflow it; the calendar check rejects what falls outside 1..9999.
int64_t PlaceShortYear(int year, const TFormatSettings& settings) {
    int64_t placed = year + int64_t{settings.current_year} / 100 * 100;
    const int window = settings.two_digit_year_century_window;
    if (window > 0 && placed < int64_t{settings.current_year} - window) {
        placed += 100;
    }
    return placed;
}

bool ParseRegionalDate(Cursor& cursor, const TFormatSettings& settings, Date& date) {
    constexpr int kMaxDigits = 4;
    int n[3] = {};
    int digits[3] = {};
    int count = 0;
    do {
        if (!cursor.Number(kMaxDigits, n[count], digits[count])) {
            return false;
        }
        ++count;
    } while (count < 3 && cursor.Take(settings.date_separator));
    if (count < 2) {
        return false;
    }

    const DateOrder order = OrderOf(settings.short_date_format);
    int year_index = -1;
    if (count == 2) {
        date.year = settings.current_year;
        if (order == DateOrder::kDayMonthYear) {
            date.day = n[0];
            date.month = n[1];
        } else {
            date.month = n[0];
            date.day = n[1];
        }
    } else if (order == DateOrder::kDayMonthYear) {
        date = {n[2], n[1], n[0]};
        year_index = 2;
    } else if (order == DateOrder::kMonthDayYear) {
        date = {n[2], n[0], n[1]};
        year_index = 2;
    } else {
        date = {n[0], n[1], n[2]};
        year_index = 0;
    }
    if (year_index >= 0 && digits[year_index] <= 2) {
        const int64_t placed = PlaceShortYear(date.year, settings);
        if (placed < 1 || placed > 9999) {
            return false;
        }
        date.year = static_cast<int>(placed);
    }
    return true;
}

// Hours and minutes, optionally seconds, and after the seconds optionally the
// decimal separator and a count of milliseconds.
bool ParseRegionalTime(Cursor& cursor, const TFormatSettings& settings, Time& time) {
    if (!cursor.Number(2, time.hour) || !cursor.Take(settings.time_separator) ||
        !cursor.Number(2, time.minute)) {
        return false;
    }
    if (cursor.Take(settings.time_separator)) {
        if (!cursor.Number(2, time.second)) {
            return false;
        }
        if (cursor.Take(settings.decimal_separator) && !cursor.Number(3, time.millisecond)) {
            return false;
        }
    }
    return true;
}

// Combines the parts as a date-time value: the time of day is added to the
// day number, or subtracted from it before day 0.
bool Combine(const Date* date, const Time& time, TDateTime& out) {
    TDateTime day = 0;
    TDateTime fraction = 0;
    if (date != nullptr && !TryEncodeDate(date->year, date->month, date->day, day)) {
        return false;
    }
    if (!TryEncodeTime(time.hour, time.minute, time.second, time.millisecond, fraction)) {
        return false;
    }
    out = day >= 0 ? day + fraction : day - fraction;
    return true;
}

}  // namespace

TFormatSettings ChinesePrcSettings(int current_year) {
    TFormatSettings settings;
    settings.date_separator = '-';
    settings.time_separator = ':';
    settings.short_date_format = "yyyy-MM-dd";
    settings.time_am_string = "上午";
    settings.time_pm_string = "下午";
    settings.decimal_separator = '.';
    settings.two_digit_year_century_window = 50;
    settings.current_year = current_year;
    return settings;
}

bool TryParseRegionalDateTime(std::string_view text, const TFormatSettings& settings,
                              TDateTime& out) {
    Cursor cursor(TrimBlanks(text));

    Date date;
    bool has_date = false;
    if (cursor.DigitsThen(settings.date_separator)) {
        if (!ParseRegionalDate(cursor, settings, date)) {
            return false;
        }
        has_date = true;
        cursor.SkipBlanks();
    }

    bool pm = false;
    bool has_designator = cursor.Designator(settings, pm);
    cursor.SkipBlanks();

    Time time;
    bool has_time = false;
    if (cursor.AtDigit()) {
        if (!ParseRegionalTime(cursor, settings, time)) {
            return false;
        }
        has_time = true;
        cursor.SkipBlanks();
        if (!has_designator) {
            has_designator = cursor.Designator(settings, pm);
            cursor.SkipBlanks();
        }
    }

    if (!cursor.AtEnd() || (!has_date && !has_time) || (has_designator && !has_time)) {
        return false;
    }
    if (has_designator) {
        if (time.hour > 12) {
            return false;
        }
        if (pm && time.hour < 12) {
            time.hour += 12;
        } else if (!pm && time.hour == 12) {
            time.hour = 0;
        }
    }
    return Combine(has_date ? &date : nullptr, time, out);
}

bool TryParseIsoDateTime(std::string_view text, TDateTime& out) {
    Cursor cursor(TrimBlanks(text));
    Date date;
    if (!cursor.Fixed(4, date.year) || !cursor.Take('-') || !cursor.Fixed(2, date.month) ||
        !cursor.Take('-') || !cursor.Fixed(2, date.day)) {
        return false;
    }
    Time time;
    if (cursor.Take(' ') || cursor.Take('T')) {
        if (!cursor.Fixed(2, time.hour) || !cursor.Take(':') || !cursor.Fixed(2, time.minute) ||
            !cursor.Take(':') || !cursor.Fixed(2, time.second)) {
            return false;
        }
        if (cursor.Take('.') && !cursor.Number(3, time.millisecond)) {
            return false;
        }
    }
    return cursor.AtEnd() && Combine(&date, time, out);
}

bool TryParseStamp(std::string_view text, const TFormatSettings& settings, TDateTime& out) {
    return TryParseRegionalDateTime(text, settings, out) || TryParseIsoDateTime(text, out);
}

}  // namespace base
