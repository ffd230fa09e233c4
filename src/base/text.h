#pragma once

// Byte-oriented text helpers. Text is held as 8-bit bytes (GBK for the
// updater's own texts); trimming and splitting never look at characters, so a
// double-byte character whose second byte equals a separator is split there.

#include <string>
#include <string_view>
#include <vector>

namespace base {

// Removes the bytes 0x00-0x20 (blank and every control byte) at both ends.
std::string Trim(std::string_view text);

// Splits at every occurrence of a one-byte separator. An empty text gives no
// parts at all; otherwise n separators give n + 1 parts, so a leading or a
// trailing separator gives an empty first or last part.
std::vector<std::string> SplitBytes(std::string_view text, char separator);

// Whether text[i] and text[i + 1] are one GBK double-byte character: a lead
// byte 0x81-0xFE and a trail byte 0x40-0xFE other than 0x7F. The trail byte
// may be a backslash or a letter, and then is neither.
bool IsGbkPair(std::string_view text, size_t i);

// The value of a hexadecimal digit (either case); -1 for any other byte.
int HexDigit(char c);

// Code page 936 (GBK) <-> UTF-16. Both directions raise EEncodingError on
// input that has no counterpart (bytes that are not GBK, unpaired surrogates
// or characters that GBK cannot hold); nothing is silently replaced.
std::u16string GbkToUtf16(std::string_view gbk);
std::string Utf16ToGbk(std::u16string_view utf16);

// UTF-16 -> GBK for what is shown to a person: each character that GBK
// cannot hold (an unpaired surrogate too) becomes one "?". Never for a name
// that must reach a file.
std::string Utf16ToGbkForDisplay(std::u16string_view utf16);

// UTF-8 <-> UTF-16, for the host's file names and terminals. Utf8ToUtf16
// raises EEncodingError on bytes that are not UTF-8; an unpaired surrogate
// is written as the character it codes.
std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);

}  // namespace base
