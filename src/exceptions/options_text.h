#pragma once

// The text form of reporting options, for the options a program ships with:
// one "Key=Value" per line. Keys are the names of the stored options
// ("ShowReport", "MailPort", ...), "Texts[i]" (i = 0..70), and
// "FilterClasses[i]" / "FilterMessages[i]" (i = an existing entry or the next
// one). Lines that are empty or start with '#' are skipped; blanks around
// keys and values do not count. Values:
//   switches   0, 1, false or true;
//   numbers    decimal, or hexadecimal after "0x", within the option's range;
//   texts      GBK bytes, with the escapes \r, \n, \t, \\ and \xHH (the
//              second byte of a double-byte character is never taken for a
//              backslash).
// Options the text does not name keep their values.

#include <string_view>

#include "exceptions/options.h"

namespace exceptions {

// Applies `text` to `options` as one change. An unknown key or a bad value
// raises base::EConvertError naming the line, and `options` stays as it was.
void ReadOptionsText(std::string_view text, TVivavaModuleOptions& options);

// Every stored option of `options` in the text form, one line each (CR LF):
// the options in stream order, the filter entries, then the 71 texts.
// ReadOptionsText of the result gives the same options.
std::string WriteOptionsText(const TVivavaModuleOptions& options);

}  // namespace exceptions
