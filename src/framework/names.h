#pragma once

// Comparison of names (component names, INI sections and keys, class and
// property names): ASCII letters match regardless of case. The names are GBK
// text, so a byte 0x81-0xFE and the byte after it form one double-byte
// character that is compared as it is: its trail byte may be an ASCII letter
// and must not be folded.

#include <string_view>

namespace framework {

bool SameName(std::string_view a, std::string_view b);

}  // namespace framework
