#pragma once

// The user's regional date-time settings, for reading manifest time stamps.
//
// The program reads them once, at start-up, and keeps the record for every
// parse: a change in the Control Panel while it runs is not picked up, and
// the stamps of one check are all read the same way.

#include <cstddef>
#include <string_view>

#include "base/regional_datetime.h"

namespace platform {

// The year of the local clock.
int CurrentLocalYear();

// Windows: the user's regional settings (GetLocaleInfoW for LOCALE_USER_DEFAULT)
// in GBK; a designator that GBK cannot hold is left empty, a separator that is
// not one usable byte is taken from the matching format or falls back to the
// neutral one. Other systems: the neutral settings of base::TFormatSettings.
// Both use a century window of 50 and the current local year.
base::TFormatSettings ReadUserFormatSettings();

namespace detail {

// Whether a byte can separate date or time fields: visible ASCII that is not
// a letter, a digit or a quote.
inline bool IsSeparatorByte(char c) {
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    const bool digit = c >= '0' && c <= '9';
    return c > ' ' && c < 0x7F && !letter && !digit && c != '\'';
}

// The separator a locale gives as a text of its own (GBK): its one byte when
// that byte can separate fields, 0 otherwise (empty, longer, or a letter).
inline char SeparatorFromText(std::string_view text) {
    return text.size() == 1 && IsSeparatorByte(text[0]) ? text[0] : '\0';
}

// The separator a date or time format (GBK) uses: its first byte outside
// single-quoted literal text that can separate fields; double-byte characters
// are passed over whole. 0 when there is none.
inline char SeparatorFromFormat(std::string_view format) {
    bool quoted = false;
    for (size_t i = 0; i < format.size(); ++i) {
        const auto b = static_cast<unsigned char>(format[i]);
        if (format[i] == '\'') {
            quoted = !quoted;
        } else if (b >= 0x81 && b <= 0xFE) {
            ++i;
        } else if (!quoted && IsSeparatorByte(format[i])) {
            return format[i];
        }
    }
    return '\0';
}

}  // namespace detail

}  // namespace platform
