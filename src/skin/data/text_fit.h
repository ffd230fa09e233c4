#pragma once

// Shortening a caption to a width with a trailing "...".

#include <functional>
#include <string>
#include <string_view>

namespace skin {

// The width of a text when drawn, in pixels.
using TTextWidth = std::function<int(std::string_view)>;

// Leaves `text` alone when width(text) <= max_width. Otherwise removes
// characters from its end, one at a time, until the rest followed by "..."
// fits or nothing is left, and makes the text that rest followed by "...".
// The text is GBK: a byte 0x81-0xFE followed by a trail byte (0x40-0x7E or
// 0x80-0xFE) is one character and is removed whole; any other byte is one
// character on its own.
void FitTextWithEllipsis(std::string& text, int max_width, const TTextWidth& width);

}  // namespace skin
