#include "platform/locale.h"

#ifdef _WIN32
#include <windows.h>
#endif

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "base/datetime.h"
#include "base/regional_datetime.h"

namespace platform {
namespace {

std::string Hex(std::string_view bytes) {
    std::string text;
    char part[4];
    for (const char c : bytes) {
        std::snprintf(part, sizeof part, "%02X ", static_cast<unsigned char>(c));
        text += part;
    }
    if (!text.empty()) {
        text.pop_back();
    }
    return text;
}

// Shows the settings the system gives in the test output, as bytes: the
// console of a test run need not be able to show GBK.
void PrintSettings(const base::TFormatSettings& s) {
    std::printf("user format settings:\n");
    std::printf("  date_separator    %s\n", Hex({&s.date_separator, 1}).c_str());
    std::printf("  time_separator    %s\n", Hex({&s.time_separator, 1}).c_str());
    std::printf("  short_date_format %s\n", Hex(s.short_date_format).c_str());
    std::printf("  time_am_string    %s\n", Hex(s.time_am_string).c_str());
    std::printf("  time_pm_string    %s\n", Hex(s.time_pm_string).c_str());
    std::printf("  decimal_separator %s\n", Hex({&s.decimal_separator, 1}).c_str());
    std::printf("  century window    %d\n", s.two_digit_year_century_window);
    std::printf("  current_year      %d\n", s.current_year);
    std::fflush(stdout);
}

char FirstLetter(std::string_view format) {
    for (const char c : format) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) {
            return c;
        }
    }
    return '\0';
}

// Appends a number with at least `width` digits.
void AppendNumber(std::string& text, int value, int width) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%0*d", width, value);
    text += digits;
}

// Writes the date the way the short date format lays it out: runs of y, M and
// d become the fields (one or two digits of padding as the run is long, a
// two-digit year for "yy"), everything else is copied as it stands, so the
// format's own separators are what the parse must accept.
std::string FormatDate(std::string_view format, const base::DateTimeFields& f) {
    std::string text;
    for (size_t i = 0; i < format.size();) {
        const char c = format[i];
        size_t run = 1;
        while (i + run < format.size() && format[i + run] == c) {
            ++run;
        }
        switch (c) {
            case 'y':
            case 'Y':
                AppendNumber(text, run <= 2 ? f.year % 100 : f.year, run <= 2 ? 2 : 4);
                break;
            case 'M':
            case 'm':
                AppendNumber(text, f.month, static_cast<int>(run));
                break;
            case 'd':
            case 'D':
                AppendNumber(text, f.day, static_cast<int>(run));
                break;
            default:
                text.append(run, c);
                break;
        }
        i += run;
    }
    return text;
}

// "h<sep>mm<sep>ss<dec>zzz" for the given hour.
std::string FormatTime(const base::TFormatSettings& s, int hour, const base::DateTimeFields& f) {
    std::string text;
    AppendNumber(text, hour, 1);
    text += s.time_separator;
    AppendNumber(text, f.minute, 2);
    text += s.time_separator;
    AppendNumber(text, f.second, 2);
    text += s.decimal_separator;
    AppendNumber(text, f.millisecond, 3);
    return text;
}

TEST(UserFormatSettings, AreUsableForReading) {
    const base::TFormatSettings s = ReadUserFormatSettings();
    PrintSettings(s);

    EXPECT_TRUE(detail::IsSeparatorByte(s.date_separator));
    EXPECT_TRUE(detail::IsSeparatorByte(s.time_separator));
    EXPECT_TRUE(detail::IsSeparatorByte(s.decimal_separator));
    EXPECT_NE(s.date_separator, s.time_separator);
    EXPECT_EQ(FirstLetter(s.short_date_format), 'y') << s.short_date_format;
    EXPECT_EQ(s.two_digit_year_century_window, 50);
    EXPECT_EQ(s.current_year, CurrentLocalYear());
    EXPECT_GE(s.current_year, 1970);
}

// A stamp written with the settings reads back as the same value, with and
// without a designator before and after the time.
TEST(UserFormatSettings, StampsWrittenWithThemReadBack) {
    const base::TFormatSettings s = ReadUserFormatSettings();
    const base::DateTimeFields f = {s.current_year, 12, 9, 15, 5, 7, 250};
    const base::TDateTime expected = base::EncodeDateTime(f);
    const std::string date = FormatDate(s.short_date_format, f);

    std::vector<std::string> texts = {date + " " + FormatTime(s, 15, f)};
    for (const std::string& pm : {s.time_pm_string, std::string("PM")}) {
        if (!pm.empty()) {
            texts.push_back(date + " " + pm + " " + FormatTime(s, 3, f));
            texts.push_back(date + " " + FormatTime(s, 3, f) + " " + pm);
        }
    }
    for (const std::string& text : texts) {
        base::TDateTime got = 0;
        EXPECT_TRUE(base::TryParseStamp(text, s, got)) << Hex(text);
        EXPECT_EQ(got, expected) << Hex(text);
        // The regional reading alone must accept it: the ISO fallback plays no
        // part in a stamp written the regional way.
        got = 0;
        EXPECT_TRUE(base::TryParseRegionalDateTime(text, s, got)) << Hex(text);
    }
    base::TDateTime iso = 0;
    EXPECT_TRUE(base::TryParseStamp("2026-12-09 10:30:00", s, iso));
    EXPECT_EQ(iso, base::EncodeDateTime({2026, 12, 9, 10, 30, 0, 0}));
}

#ifdef _WIN32

// The Wine runner starts every test with LC_ALL=zh_CN.UTF-8.
TEST(UserFormatSettings, WineGivesChinesePrc) {
    EXPECT_EQ(GetUserDefaultLCID(),
              MAKELCID(MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED), SORT_DEFAULT));
    EXPECT_EQ(GetACP(), 936u);

    const base::TFormatSettings s = ReadUserFormatSettings();
    EXPECT_EQ(s.date_separator, detail::SeparatorFromFormat(s.short_date_format));
    EXPECT_EQ(s.time_am_string, "上午");
    EXPECT_EQ(s.time_pm_string, "下午");

    base::TDateTime got = 0;
    ASSERT_TRUE(base::TryParseRegionalDateTime(
        FormatDate(s.short_date_format, {2026, 1, 2}) + " 下午 3:04", s, got));
    EXPECT_EQ(got, base::EncodeDateTime({2026, 1, 2, 15, 4, 0, 0}));
}

#else

TEST(UserFormatSettings, NativeBuildHasTheNeutralSettings) {
    const base::TFormatSettings s = ReadUserFormatSettings();
    EXPECT_EQ(s.short_date_format, "yyyy-MM-dd");
    EXPECT_EQ(s.date_separator, '-');
    EXPECT_EQ(s.time_separator, ':');
    EXPECT_EQ(s.time_am_string, "AM");
    EXPECT_EQ(s.time_pm_string, "PM");
    EXPECT_EQ(s.decimal_separator, '.');
}

#endif

TEST(LocaleDetail, SeparatorFromText) {
    EXPECT_EQ(detail::SeparatorFromText("/"), '/');
    EXPECT_EQ(detail::SeparatorFromText("-"), '-');
    EXPECT_EQ(detail::SeparatorFromText(""), '\0');
    EXPECT_EQ(detail::SeparatorFromText(". "), '\0');
    EXPECT_EQ(detail::SeparatorFromText("//"), '\0');
    EXPECT_EQ(detail::SeparatorFromText(" "), '\0');
    EXPECT_EQ(detail::SeparatorFromText("h"), '\0');
    EXPECT_EQ(detail::SeparatorFromText("7"), '\0');
    EXPECT_EQ(detail::SeparatorFromText("'"), '\0');
    EXPECT_EQ(detail::SeparatorFromText("\xA1"), '\0');
}

TEST(LocaleDetail, SeparatorFromFormat) {
    EXPECT_EQ(detail::SeparatorFromFormat("yyyy/M/d"), '/');
    EXPECT_EQ(detail::SeparatorFromFormat("yyyy-MM-dd"), '-');
    EXPECT_EQ(detail::SeparatorFromFormat("dd.MM.yyyy"), '.');
    EXPECT_EQ(detail::SeparatorFromFormat("yyyy. MM. dd."), '.');
    EXPECT_EQ(detail::SeparatorFromFormat("H:mm:ss"), ':');
    EXPECT_EQ(detail::SeparatorFromFormat("tt h:mm:ss"), ':');
    // Quoted literal text is not a separator.
    EXPECT_EQ(detail::SeparatorFromFormat("'Date:' d/M/yyyy"), '/');
    EXPECT_EQ(detail::SeparatorFromFormat("HH'h'mm"), '\0');
    // Double-byte characters are passed over whole: the second byte of
    // 0x81 0x5C is a backslash, not a separator.
    EXPECT_EQ(detail::SeparatorFromFormat("yyyy\x81\x5CM-d"), '-');
    EXPECT_EQ(detail::SeparatorFromFormat("yyyy年M月d日"), '\0');
    EXPECT_EQ(detail::SeparatorFromFormat(""), '\0');
}

}  // namespace
}  // namespace platform
