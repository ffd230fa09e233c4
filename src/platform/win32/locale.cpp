// The user's regional settings from the Windows locale functions, converted
// to GBK with code page 936 whatever the system's ANSI code page is.
//
// LOCALE_SDATE and LOCALE_STIME are deprecated since Windows Vista: a custom
// format need not have one uniform separator, and the system derives these
// values from the formats. Each is used when it is one usable byte; otherwise
// the separator is taken from LOCALE_SSHORTDATE or LOCALE_STIMEFORMAT, and
// failing that the neutral one stays.

#include <windows.h>

#include <string>
#include <string_view>

#include "base/exception.h"
#include "base/text.h"
#include "platform/locale.h"

namespace platform {

namespace {

// A locale value as UTF-16, without the terminating null; empty when the
// system has none.
std::u16string LocaleText(LCTYPE type) {
    const int needed = GetLocaleInfoW(LOCALE_USER_DEFAULT, type, nullptr, 0);
    if (needed <= 1) {
        return {};
    }
    std::u16string text(static_cast<size_t>(needed), u'\0');
    const int written =
        GetLocaleInfoW(LOCALE_USER_DEFAULT, type, reinterpret_cast<wchar_t*>(text.data()), needed);
    if (written <= 1) {
        return {};
    }
    text.resize(static_cast<size_t>(written - 1));
    return text;
}

// The whole text in GBK, or empty when GBK cannot hold all of it.
std::string WholeGbk(std::u16string_view text) {
    try {
        return base::Utf16ToGbk(text);
    } catch (const base::EEncodingError&) {
        return {};
    }
}

// A format in GBK with the characters GBK cannot hold left out (marks such
// as U+200F that some locales put in their formats); the letters and the
// separators, which are what the reading uses, are all ASCII.
std::string FormatGbk(std::u16string_view text) {
    std::string result;
    for (size_t i = 0; i < text.size();) {
        const bool pair = i + 1 < text.size() && text[i] >= 0xD800 && text[i] <= 0xDBFF &&
                          text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF;
        const size_t length = pair ? 2 : 1;
        result += WholeGbk(text.substr(i, length));
        i += length;
    }
    return result;
}

// The separator given by its own locale value, else the one of the format,
// else `fallback`.
char PickSeparator(LCTYPE own, std::string_view format, char fallback) {
    if (const char c = detail::SeparatorFromText(WholeGbk(LocaleText(own)))) {
        return c;
    }
    if (const char c = detail::SeparatorFromFormat(format)) {
        return c;
    }
    return fallback;
}

}  // namespace

int CurrentLocalYear() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return now.wYear;
}

base::TFormatSettings ReadUserFormatSettings() {
    base::TFormatSettings settings;  // the neutral values stand where Windows gives none
    const std::string short_date = FormatGbk(LocaleText(LOCALE_SSHORTDATE));
    if (!short_date.empty()) {
        settings.short_date_format = short_date;
    }
    settings.date_separator =
        PickSeparator(LOCALE_SDATE, settings.short_date_format, settings.date_separator);
    settings.time_separator = PickSeparator(LOCALE_STIME, FormatGbk(LocaleText(LOCALE_STIMEFORMAT)),
                                            settings.time_separator);
    settings.time_am_string = WholeGbk(LocaleText(LOCALE_S1159));
    settings.time_pm_string = WholeGbk(LocaleText(LOCALE_S2359));
    if (const char c = detail::SeparatorFromText(WholeGbk(LocaleText(LOCALE_SDECIMAL)))) {
        settings.decimal_separator = c;
    }
    settings.two_digit_year_century_window = 50;
    settings.current_year = CurrentLocalYear();
    return settings;
}

}  // namespace platform
