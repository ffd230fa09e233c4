#pragma once

// The mailto URL of a report and the command line that hands it to the
// user's mail program.
//
// The URL goes into a command line, so nothing of the report may reach it
// as it is: every part is converted from GBK to UTF-8 and every byte other
// than the unreserved characters (A-Z a-z 0-9 - . _ ~) is written as %XX
// (upper-case digits). A quote, a blank, "&", "#", "?" or "%" in a report
// can then neither end the argument nor cut the message short.

#include <cstddef>
#include <string>
#include <string_view>

namespace exceptions {

// The longest URL a mail program is commonly given.
inline constexpr size_t kMailtoMaxLength = 2000;

// The percent-encoded UTF-8 form of the GBK `text`. With `address` set, "@"
// and "," stay as they are (the recipient part of the URL). Bytes that are
// not GBK (a lone lead byte, a pair without a character) each become U+FFFD.
std::string MailtoEncode(std::string_view text, bool address = false);

// "mailto:<recipients>?Subject=<subject>&Body=<body>", each part encoded by
// MailtoEncode. The body is `mail_body`, three CR LF and `report_text`, and
// when `reproduction` is not empty three more CR LF and `reproduction`.
// When the URL would be longer than `max_length`, the body is cut after its
// last whole character that still fits; a URL whose recipients and subject
// alone are too long keeps them whole and gets an empty body.
std::string MailtoUrl(std::string_view recipients, std::string_view subject,
                      std::string_view mail_body, std::string_view report_text,
                      std::string_view reproduction, size_t max_length = kMailtoMaxLength);

// `command` with every "%1" replaced by `url`, in one pass: a "%1" that the
// url itself holds stays as it is.
std::string MailtoCommand(std::string_view command, std::string_view url);

}  // namespace exceptions
