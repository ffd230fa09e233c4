#include "base/regional_datetime.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "base/datetime.h"

namespace base {
namespace {

constexpr int kYear = 2026;

DateTimeFields At(int y, int m, int d, int h = 0, int mi = 0, int s = 0, int ms = 0) {
    return {y, m, d, h, mi, s, ms};
}

// The fields of a time on day 0 (30 December 1899), which a text without a
// date gives.
DateTimeFields TimeOnly(int h, int mi, int s = 0, int ms = 0) {
    return At(1899, 12, 30, h, mi, s, ms);
}

struct Accepted {
    std::string text;
    DateTimeFields expected;
};

// Each text must parse to exactly the value EncodeDateTime gives its fields.
void ExpectAccepted(const TFormatSettings& settings, const std::vector<Accepted>& cases) {
    for (const Accepted& c : cases) {
        TDateTime got = -123456;
        ASSERT_TRUE(TryParseRegionalDateTime(c.text, settings, got)) << '"' << c.text << '"';
        EXPECT_EQ(got, EncodeDateTime(c.expected)) << '"' << c.text << '"';
    }
}

// Each text must be refused, and the output must stay as it was.
void ExpectRejected(const TFormatSettings& settings, const std::vector<std::string>& texts) {
    for (const std::string& text : texts) {
        TDateTime out = 4242.5;
        EXPECT_FALSE(TryParseRegionalDateTime(text, settings, out)) << '"' << text << '"';
        EXPECT_EQ(out, 4242.5) << '"' << text << '"';
    }
}

// What current Windows releases and Wine report for Chinese (PRC).
TFormatSettings WindowsChinesePrc() {
    TFormatSettings s = ChinesePrcSettings(kYear);
    s.short_date_format = "yyyy/M/d";
    s.date_separator = '/';
    return s;
}

// A day-month-year locale with a 24-hour clock and the English designators.
TFormatSettings DayMonthYear() {
    TFormatSettings s;
    s.short_date_format = "dd/MM/yyyy";
    s.date_separator = '/';
    s.current_year = kYear;
    return s;
}

// A month-day-year locale that writes times with AM/PM.
TFormatSettings MonthDayYear() {
    TFormatSettings s;
    s.short_date_format = "M/d/yyyy";
    s.date_separator = '/';
    s.time_am_string = "AM";
    s.time_pm_string = "PM";
    s.current_year = kYear;
    return s;
}

TEST(ChinesePrcSettings, AreTheDocumentedOnes) {
    const TFormatSettings s = ChinesePrcSettings(1999);
    EXPECT_EQ(s.short_date_format, "yyyy-MM-dd");
    EXPECT_EQ(s.date_separator, '-');
    EXPECT_EQ(s.time_separator, ':');
    EXPECT_EQ(s.time_am_string, "\xC9\xCF\xCE\xE7");  // 上午 in GBK
    EXPECT_EQ(s.time_pm_string, "\xCF\xC2\xCE\xE7");  // 下午 in GBK
    EXPECT_EQ(s.decimal_separator, '.');
    EXPECT_EQ(s.two_digit_year_century_window, 50);
    EXPECT_EQ(s.current_year, 1999);
}

TEST(RegionalDateTime, DocumentedChinesePrcDatesAndTimes) {
    ExpectAccepted(ChinesePrcSettings(kYear),
                   {
                       {"2026-12-09 10:30:00", At(2026, 12, 9, 10, 30)},
                       {"  2026-12-09 10:30:00   ", At(2026, 12, 9, 10, 30)},
                       {"2026-12-09    10:30:00", At(2026, 12, 9, 10, 30)},
                       {"2026-12-09 10:30", At(2026, 12, 9, 10, 30)},
                       {"2026-1-5 7:08:09", At(2026, 1, 5, 7, 8, 9)},
                       {"2026-12-09", At(2026, 12, 9)},
                       {"2024-02-29 23:59:59", At(2024, 2, 29, 23, 59, 59)},
                       {"2026-0012-0009", At(2026, 12, 9)},
                   });
}

TEST(RegionalDateTime, MillisecondsAreACount) {
    ExpectAccepted(ChinesePrcSettings(kYear),
                   {
                       {"2026-12-09 10:30:00.123", At(2026, 12, 9, 10, 30, 0, 123)},
                       {"2026-12-09 23:59:59.999", At(2026, 12, 9, 23, 59, 59, 999)},
                       {"2026-12-09 10:30:00.5", At(2026, 12, 9, 10, 30, 0, 5)},
                       {"2026-12-09 10:30:00.05", At(2026, 12, 9, 10, 30, 0, 5)},
                       {"2026-12-09 10:30:00.000", At(2026, 12, 9, 10, 30)},
                   });
    // One millisecond apart must give two different values, in order.
    TDateTime a = 0;
    TDateTime b = 0;
    ASSERT_TRUE(TryParseRegionalDateTime("2026-12-09 10:30:00.001", ChinesePrcSettings(kYear), a));
    ASSERT_TRUE(TryParseRegionalDateTime("2026-12-09 10:30:00.002", ChinesePrcSettings(kYear), b));
    EXPECT_LT(a, b);
    EXPECT_EQ(DecodeDateTime(b), At(2026, 12, 9, 10, 30, 0, 2));
}

TEST(RegionalDateTime, ChineseDesignatorsBeforeOrAfterTheTime) {
    ExpectAccepted(ChinesePrcSettings(kYear),
                   {
                       {"2026-12-09 下午 3:05", At(2026, 12, 9, 15, 5)},
                       {"2026-12-09 下午3:05:07", At(2026, 12, 9, 15, 5, 7)},
                       {"2026-12-09下午 3:05", At(2026, 12, 9, 15, 5)},
                       {"2026-12-09 3:05 下午", At(2026, 12, 9, 15, 5)},
                       {"2026-12-09 3:05:07.250下午", At(2026, 12, 9, 15, 5, 7, 250)},
                       {"2026-12-09 上午 9:15", At(2026, 12, 9, 9, 15)},
                       {"2026-12-09 上午 12:00", At(2026, 12, 9, 0, 0)},
                       {"2026-12-09 上午 0:40", At(2026, 12, 9, 0, 40)},
                       {"2026-12-09 下午 12:00", At(2026, 12, 9, 12, 0)},
                       {"2026-12-09 下午 11:59:59", At(2026, 12, 9, 23, 59, 59)},
                       // The English designators are read in any case as well.
                       {"2026-12-09 10:30 PM", At(2026, 12, 9, 22, 30)},
                       {"2026-12-09 pm 10:30", At(2026, 12, 9, 22, 30)},
                       {"2026-12-09 1:02:03 Am", At(2026, 12, 9, 1, 2, 3)},
                   });
}

TEST(RegionalDateTime, TimeAloneIsOnDayZero) {
    const TFormatSettings s = ChinesePrcSettings(kYear);
    ExpectAccepted(s, {
                          {"10:30:00", TimeOnly(10, 30)},
                          {"10:30", TimeOnly(10, 30)},
                          {" 0:00 ", TimeOnly(0, 0)},
                          {"23:59:59.999", TimeOnly(23, 59, 59, 999)},
                          {"下午 3:05", TimeOnly(15, 5)},
                          {"3:05 下午", TimeOnly(15, 5)},
                      });
    TDateTime noon = -1;
    ASSERT_TRUE(TryParseRegionalDateTime("12:00", s, noon));
    EXPECT_EQ(noon, 0.5);
}

TEST(RegionalDateTime, TwoNumbersTakeTheCurrentYear) {
    ExpectAccepted(ChinesePrcSettings(kYear), {
                                                  {"12-09", At(kYear, 12, 9)},
                                                  {"1-2 3:04", At(kYear, 1, 2, 3, 4)},
                                              });
    ExpectAccepted(ChinesePrcSettings(2024), {{"2-29", At(2024, 2, 29)}});
    ExpectRejected(ChinesePrcSettings(2025), {"2-29"});
    ExpectAccepted(DayMonthYear(), {{"09/12 10:30", At(kYear, 12, 9, 10, 30)}});
    ExpectAccepted(MonthDayYear(), {{"12/9 3:00 PM", At(kYear, 12, 9, 15, 0)}});
}

TEST(RegionalDateTime, ShortYearsArePlacedByTheCenturyWindow) {
    ExpectAccepted(ChinesePrcSettings(kYear), {
                                                  {"26-12-09", At(2026, 12, 9)},
                                                  {"6-1-5", At(2006, 1, 5)},
                                                  {"00-01-01", At(2000, 1, 1)},
                                                  {"99-12-31", At(2099, 12, 31)},
                                                  // Three or four digits stand as written.
                                                  {"026-12-09", At(26, 12, 9)},
                                                  {"0026-12-09", At(26, 12, 9)},
                                                  {"0001-01-01", At(1, 1, 1)},
                                              });
    // Years that would lie more than the window below the current year move a
    // century on; the window itself is the boundary.
    ExpectAccepted(ChinesePrcSettings(2060), {
                                                 {"09-01-01", At(2109, 1, 1)},
                                                 {"10-01-01", At(2010, 1, 1)},
                                                 {"99-01-01", At(2099, 1, 1)},
                                             });
    ExpectAccepted(ChinesePrcSettings(1990), {
                                                 {"39-01-01", At(2039, 1, 1)},
                                                 {"40-01-01", At(1940, 1, 1)},
                                                 {"99-01-01", At(1999, 1, 1)},
                                             });
    TFormatSettings no_window = ChinesePrcSettings(2060);
    no_window.two_digit_year_century_window = 0;
    ExpectAccepted(no_window, {{"09-01-01", At(2009, 1, 1)}});
    TFormatSettings narrow = ChinesePrcSettings(2060);
    narrow.two_digit_year_century_window = 20;
    ExpectAccepted(narrow, {{"39-01-01", At(2139, 1, 1)}, {"40-01-01", At(2040, 1, 1)}});
    // A short year whose century would leave the calendar is refused.
    ExpectRejected(ChinesePrcSettings(9999), {"01-01-01"});

    ExpectAccepted(DayMonthYear(), {{"9/12/26", At(2026, 12, 9)}});
    ExpectAccepted(MonthDayYear(), {{"12/9/99", At(2099, 12, 9)}});
}

TEST(RegionalDateTime, BeforeDayZeroTheTimeIsSubtracted) {
    const TFormatSettings s = ChinesePrcSettings(kYear);
    ExpectAccepted(s, {
                          {"1899-12-29 06:00:00", At(1899, 12, 29, 6)},
                          {"1601-01-01 12:00:00.001", At(1601, 1, 1, 12, 0, 0, 1)},
                          {"1899-12-30 06:00:00", At(1899, 12, 30, 6)},
                      });
    TDateTime v = 0;
    ASSERT_TRUE(TryParseRegionalDateTime("1899-12-29 06:00:00", s, v));
    EXPECT_EQ(v, -1.25);  // day -1, then a quarter of a day further from day 0
    ASSERT_TRUE(TryParseRegionalDateTime("1601-01-01 12:00:00.001", s, v));
    EXPECT_EQ(DecodeDateTime(v), At(1601, 1, 1, 12, 0, 0, 1));
    ASSERT_TRUE(TryParseRegionalDateTime("9999-12-31 23:59:59.999", s, v));
    EXPECT_EQ(DecodeDateTime(v), At(9999, 12, 31, 23, 59, 59, 999));
}

TEST(RegionalDateTime, DocumentedChinesePrcRejections) {
    ExpectRejected(ChinesePrcSettings(kYear),
                   {
                       // nothing, or not a date-time at all
                       "",
                       "   ",
                       "2026",
                       "abc",
                       "-",
                       ":",
                       // stray or missing parts around the date
                       "2026-",
                       "2026-12-",
                       "2026-12-09-",
                       "-2026-12-09",
                       "+2026-12-09",
                       "x2026-12-09",
                       "2026 -12-09",
                       "2026-12 -09",
                       "2026--12-09",
                       // wrong separators
                       "2026/12/09",
                       "2026.12.09",
                       "2026-12-09 10.30",
                       "2026-12-09 10:30:00,5",
                       "2026-12-09T10:30:00",
                       "2026-12-09\t10:30",
                       // too many digits
                       "20260-12-09",
                       "2026-12-00009",
                       "2026-12-09 100:30",
                       "2026-12-09 10:300",
                       "2026-12-09 10:30:000",
                       "2026-12-09 10:30:00.1234",
                       "2026-12-09 10:30:00.0001",
                       // fields outside the calendar or the clock
                       "2026-13-01",
                       "2026-00-10",
                       "2026-12-00",
                       "2026-02-30",
                       "2025-02-29",
                       "2026-04-31",
                       "0000-01-01",
                       "2026-12-09 24:00",
                       "2026-12-09 10:60",
                       "2026-12-09 10:30:60",
                       "24:00:00",
                       // incomplete or trailing time parts
                       "2026-12-09 10",
                       "2026-12-09 10:",
                       "2026-12-09 10:30:",
                       "2026-12-09 10:30:00.",
                       "10:30.5",
                       "2026-12-09 10:30x",
                       "2026-12-09 10:30:00 +08",
                       "10:30:00 2026-12-09",
                       "2026-12-09 10:30 11:30",
                       // designators: without a time, twice, or with a 24-hour hour
                       "下午",
                       "2026-12-09 下午",
                       "2026-12-09下午",
                       "2026-12-09 下午 3:05 下午",
                       "上午 3:05 PM",
                       "2026-12-09 下午 13:00",
                       "2026-12-09 13:00 PM",
                       "2026-12-09 10:30 P",
                       "2026-12-09 10:30 PMX",
                       "2026-12-09 10:30 下",
                   });
}

TEST(RegionalDateTime, WindowsChinesePrcSettings) {
    const TFormatSettings s = WindowsChinesePrc();
    ExpectAccepted(s, {
                          {"2026/12/9 10:30:00", At(2026, 12, 9, 10, 30)},
                          {"2026/12/09 10:30:00", At(2026, 12, 9, 10, 30)},
                          {"2026/12/9 下午 3:05:00", At(2026, 12, 9, 15, 5)},
                          {"2026/12/9", At(2026, 12, 9)},
                          {"12/9", At(kYear, 12, 9)},
                      });
    ExpectRejected(s, {"2026-12-09 10:30:00", "2026-12-09", "2026/12-09"});
}

TEST(RegionalDateTime, DayMonthYearLocale) {
    const TFormatSettings s = DayMonthYear();
    ExpectAccepted(s, {
                          {"09/12/2026 10:30:00", At(2026, 12, 9, 10, 30)},
                          {"9/1/2026", At(2026, 1, 9)},
                          {"31/12/2026 11:00 PM", At(2026, 12, 31, 23, 0)},
                          {"29/02/2024", At(2024, 2, 29)},
                      });
    ExpectRejected(s, {"12/31/2026", "2026/12/09", "29/02/2026", "09-12-2026", "32/01/2026"});
}

TEST(RegionalDateTime, MonthDayYearLocaleWithAmPm) {
    const TFormatSettings s = MonthDayYear();
    ExpectAccepted(s, {
                          {"12/9/2026 3:05:07 PM", At(2026, 12, 9, 15, 5, 7)},
                          {"12/9/2026 3:05:07 pm", At(2026, 12, 9, 15, 5, 7)},
                          {"12/9/2026 PM 3:05", At(2026, 12, 9, 15, 5)},
                          {"12/9/2026 12:00:00 AM", At(2026, 12, 9, 0, 0)},
                          {"12/9/2026 12:30 PM", At(2026, 12, 9, 12, 30)},
                          {"12/9/2026 0:15 AM", At(2026, 12, 9, 0, 15)},
                          {"12/9/2026 0:15 PM", At(2026, 12, 9, 12, 15)},
                          {"1/31/2026 23:00", At(2026, 1, 31, 23, 0)},
                          {"7:45 PM", TimeOnly(19, 45)},
                      });
    ExpectRejected(s, {"13/9/2026", "9/31/2026", "31/1/2026", "12/9/2026 13:00 PM", "12/9/2026 PM",
                       "12/9/2026 3:05 AM PM"});
}

TEST(RegionalDateTime, FieldOrderComesFromTheFirstDateLetter) {
    struct Order {
        const char* format;
        DateTimeFields expected;  // of "01/02/03"
    };
    const Order orders[] = {
        {"d.M.yyyy", At(2003, 2, 1)},
        {"D/M/Y", At(2003, 2, 1)},
        {"MM/dd/yy", At(2003, 1, 2)},
        {"m-d-y", At(2003, 1, 2)},
        {"yy/MM/dd", At(2001, 2, 3)},
        {"ee/M/d", At(2001, 2, 3)},
        {"gg y/M/d", At(2001, 2, 3)},
        // Quoted literal text and double-byte characters are not format letters.
        {"'day' M/d/yyyy", At(2003, 1, 2)},
        {"\x81\x79 d/M/yyyy", At(2003, 2, 1)},  // a character whose second byte is 'y'
        {"", At(2001, 2, 3)},
    };
    for (const Order& o : orders) {
        TFormatSettings s;
        s.short_date_format = o.format;
        s.date_separator = '/';
        s.current_year = kYear;
        TDateTime got = 0;
        ASSERT_TRUE(TryParseRegionalDateTime("01/02/03", s, got)) << o.format;
        EXPECT_EQ(got, EncodeDateTime(o.expected)) << o.format;
    }
}

TEST(RegionalDateTime, DesignatorsFromTheSettings) {
    TFormatSettings s = MonthDayYear();
    s.time_am_string = "a.m.";
    s.time_pm_string = "p.m.";
    ExpectAccepted(s, {
                          {"1/2/2026 3:04 p.m.", At(2026, 1, 2, 15, 4)},
                          {"1/2/2026 3:04 P.M.", At(2026, 1, 2, 15, 4)},
                          {"1/2/2026 a.m. 12:04", At(2026, 1, 2, 0, 4)},
                          {"1/2/2026 3:04 PM", At(2026, 1, 2, 15, 4)},
                      });
    ExpectRejected(s, {"1/2/2026 3:04 p.", "1/2/2026 3:04 pm."});

    // A 24-hour locale without designators still reads "AM"/"PM".
    s.time_am_string.clear();
    s.time_pm_string.clear();
    ExpectAccepted(s, {{"1/2/2026 3:04 PM", At(2026, 1, 2, 15, 4)}});

    // Double-byte characters are compared whole: the second byte of 0x81 0x41
    // is 'A', which must not match the 'a' of 0x81 0x61.
    s.time_pm_string = "\x81\x41";
    ExpectAccepted(s, {{"1/2/2026 3:04 \x81\x41", At(2026, 1, 2, 15, 4)}});
    ExpectRejected(s, {"1/2/2026 3:04 \x81\x61"});
}

TEST(RegionalDateTime, OtherSeparators) {
    TFormatSettings s;
    s.short_date_format = "dd.MM.yyyy";
    s.date_separator = '.';
    s.time_separator = '.';
    s.decimal_separator = ',';
    s.current_year = kYear;
    ExpectAccepted(s, {
                          {"09.12.2026 10.30.15,250", At(2026, 12, 9, 10, 30, 15, 250)},
                          {"09.12.2026", At(2026, 12, 9)},
                      });
    ExpectRejected(s, {"09.12.2026 10:30", "09.12.2026 10.30.15.250"});
}

TEST(IsoDateTime, AcceptsTheFixedForms) {
    const std::vector<Accepted> cases = {
        {"2026-12-09", At(2026, 12, 9)},
        {" 2026-12-09 ", At(2026, 12, 9)},
        {"2026-12-09 10:30:00", At(2026, 12, 9, 10, 30)},
        {"2026-12-09T10:30:00", At(2026, 12, 9, 10, 30)},
        {"  2026-12-09T10:30:00  ", At(2026, 12, 9, 10, 30)},
        {"2026-12-09 10:30:00.123", At(2026, 12, 9, 10, 30, 0, 123)},
        {"2026-12-09 10:30:00.5", At(2026, 12, 9, 10, 30, 0, 5)},
        {"1899-12-29 06:00:00", At(1899, 12, 29, 6)},
        {"0001-01-01 00:00:00", At(1, 1, 1)},
        {"9999-12-31 23:59:59.999", At(9999, 12, 31, 23, 59, 59, 999)},
    };
    for (const Accepted& c : cases) {
        TDateTime got = -123456;
        ASSERT_TRUE(TryParseIsoDateTime(c.text, got)) << '"' << c.text << '"';
        EXPECT_EQ(got, EncodeDateTime(c.expected)) << '"' << c.text << '"';
    }
}

TEST(IsoDateTime, RejectsEverythingElse) {
    const char* const texts[] = {
        "",
        "2026-12-9",
        "26-12-09",
        "02026-12-09",
        "2026/12/09",
        "2026-12-09 10:30",
        "2026-12-09 1:30:00",
        "2026-12-09  10:30:00",
        "2026-12-09t10:30:00",
        "2026-12-09T",
        "2026-12-09 10:30:00.",
        "2026-12-09 10:30:00.1234",
        "2026-12-09 10:30:00.0001",
        "2026-12-09 10:30:00Z",
        "2026-12-09 10:30:00+08:00",
        "2026-12-09 下午 3:05:00",
        "2026-02-30",
        "0000-01-01",
        "2026-12-09 24:00:00",
        "2026-12-09 10:60:00",
        "10:30:00",
    };
    for (const char* text : texts) {
        TDateTime out = 4242.5;
        EXPECT_FALSE(TryParseIsoDateTime(text, out)) << '"' << text << '"';
        EXPECT_EQ(out, 4242.5) << '"' << text << '"';
    }
}

std::optional<TDateTime> Stamp(const char* text, const TFormatSettings& s) {
    TDateTime out = 0;
    if (!TryParseStamp(text, s, out)) {
        return std::nullopt;
    }
    return out;
}

TEST(Stamp, IsoFallbackServesEveryLocale) {
    const TDateTime expected = EncodeDateTime(At(2026, 12, 9, 10, 30));
    const TFormatSettings locales[] = {ChinesePrcSettings(kYear), WindowsChinesePrc(),
                                       DayMonthYear(), MonthDayYear()};
    for (const TFormatSettings& s : locales) {
        EXPECT_EQ(Stamp("2026-12-09 10:30:00", s), expected) << s.short_date_format;
        EXPECT_EQ(Stamp("2026-12-09T10:30:00", s), expected) << s.short_date_format;
        EXPECT_EQ(Stamp("2026-12-09 10:30:00.007", s),
                  EncodeDateTime(At(2026, 12, 9, 10, 30, 0, 7)))
            << s.short_date_format;
        EXPECT_EQ(Stamp("not a time", s), std::nullopt) << s.short_date_format;
        EXPECT_EQ(Stamp("2026-12-09 10:30:00 junk", s), std::nullopt) << s.short_date_format;
    }
    // The Windows settings refuse the ISO form themselves; the stamp reads it.
    TDateTime regional = 0;
    EXPECT_FALSE(TryParseRegionalDateTime("2026-12-09 10:30:00", WindowsChinesePrc(), regional));
}

TEST(Stamp, RegionalReadingComesFirst) {
    // Texts that only the regional parse reads.
    EXPECT_EQ(Stamp("2026/12/9 下午 3:05", WindowsChinesePrc()),
              EncodeDateTime(At(2026, 12, 9, 15, 5)));
    EXPECT_EQ(Stamp("09/12/26 10:30", DayMonthYear()), EncodeDateTime(At(2026, 12, 9, 10, 30)));
    EXPECT_EQ(Stamp("10:30", WindowsChinesePrc()), EncodeDateTime(TimeOnly(10, 30)));

    // A day-month-year locale with '-' reads "0012-11-10" as 12 November 2010
    // (a two-digit year); the ISO reading, 10 November of the year 12, is not
    // used.
    TFormatSettings dash_day_first = DayMonthYear();
    dash_day_first.short_date_format = "d-M-yyyy";
    dash_day_first.date_separator = '-';
    EXPECT_EQ(Stamp("0012-11-10", dash_day_first), EncodeDateTime(At(2010, 11, 12)));
    TDateTime iso_reading = 0;
    ASSERT_TRUE(TryParseIsoDateTime("0012-11-10", iso_reading));
    EXPECT_EQ(iso_reading, EncodeDateTime(At(12, 11, 10)));

    // Where both parses read a text they agree, so a manifest means the same
    // instant whichever of them a player's settings pick.
    const char* const both[] = {"2026-12-09", "2026-12-09 10:30:00", "1899-12-29 06:00:00",
                                "2026-12-09 10:30:00.5", "2026-12-09 10:30:00.120"};
    for (const char* text : both) {
        TDateTime regional = 0;
        TDateTime iso = 1;
        ASSERT_TRUE(TryParseRegionalDateTime(text, ChinesePrcSettings(kYear), regional)) << text;
        ASSERT_TRUE(TryParseIsoDateTime(text, iso)) << text;
        EXPECT_EQ(regional, iso) << text;
    }

    TDateTime out = 77;
    EXPECT_FALSE(TryParseStamp("2026-12-09 下午", WindowsChinesePrc(), out));
    EXPECT_EQ(out, 77);
}

}  // namespace
}  // namespace base
