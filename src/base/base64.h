#pragma once

// Base64 with the standard alphabet and "=" filling the last group: one
// encoder for every place that needs it (data in window definitions, HTTP
// basic authentication, mail attachments and the mail server's AUTH LOGIN).

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace base {

// Base64 of `bytes`. line_length 0: one line without line breaks; otherwise
// lines of line_length characters (the last one may be shorter), each of
// them, the last one too, ending with CR LF. No bytes give an empty text
// (no line at all).
std::string Base64(std::string_view bytes, size_t line_length = 0);

// The bytes of one line of Base64 exactly as Base64(bytes) writes it: a
// length that is a multiple of four, "=" only at the end of the last group,
// and the bits that the padding drops zero, so that one text stands for one
// byte sequence. Anything else (a line break or a blank too) gives nullopt.
std::optional<std::string> Base64Decode(std::string_view text);

}  // namespace base
