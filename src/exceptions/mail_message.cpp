#include "exceptions/mail_message.h"

#include <cstdint>
#include <utility>

#include "base/text.h"

namespace exceptions {

namespace {

constexpr std::string_view kBoundary = "=_xcjvnxkbhvfkxzhfdbvzldjhfv";
constexpr std::string_view kLibraryVersion = "4.5.4";
// Base64 lines of a message part.
constexpr size_t kPartLine = 76;
// The longest line that SMTP carries, without its CR LF.
constexpr size_t kMaxLine = 998;

// An encoded word: "=?GB18030?B?" + Base64 + "?=", at most 75 characters,
// so it holds kWordBytes bytes (whole groups of three).
constexpr std::string_view kWordStart = "=?GB18030?B?";
constexpr std::string_view kWordEnd = "?=";
constexpr size_t kMaxEncodedWord = 75;
constexpr size_t kWordBytes = (kMaxEncodedWord - kWordStart.size() - kWordEnd.size()) / 4 * 3;

bool InRange(std::string_view text, size_t i, uint8_t low, uint8_t high) {
    if (i >= text.size()) {
        return false;
    }
    const auto b = static_cast<uint8_t>(text[i]);
    return b >= low && b <= high;
}

// The number of bytes of the character at text[i]: four for a four-byte
// GB18030 sequence, two for a GBK double-byte character, else one.
size_t CharLength(std::string_view text, size_t i) {
    if (InRange(text, i, 0x81, 0xFE) && InRange(text, i + 1, 0x30, 0x39) &&
        InRange(text, i + 2, 0x81, 0xFE) && InRange(text, i + 3, 0x30, 0x39)) {
        return 4;
    }
    return base::IsGbkPair(text, i) ? 2 : 1;
}

bool HasEightBitByte(std::string_view text) {
    for (const char c : text) {
        if (static_cast<uint8_t>(c) >= 0x80) {
            return true;
        }
    }
    return false;
}

// Every line break (CR LF, a bare CR, a bare LF) as CR LF.
std::string WithCrLf(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 32);
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            out += "\r\n";
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
        } else {
            out += text[i];
        }
    }
    return out;
}

// Every line break as one blank.
std::string OneLine(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            out += ' ';
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
        } else {
            out += text[i];
        }
    }
    return out;
}

// `text` as encoded words, each on a line of its own (CR LF and a blank
// between them), never cutting a character in two.
std::string EncodedWords(std::string_view text) {
    std::string out;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = start;
        while (end < text.size()) {
            const size_t next = end + CharLength(text, end);
            if (next - start > kWordBytes) {
                break;
            }
            end = next;
        }
        if (!out.empty()) {
            out += "\r\n ";
        }
        out += kWordStart;
        out += base::Base64(text.substr(start, end - start));
        out += kWordEnd;
        start = end;
    }
    return out;
}

// The subject or an attachment name as it goes into a header line that has
// `room` bytes for it: on one line; ASCII as it is (quoted_pairs: with "\"
// before each double quote and backslash); encoded words when it has 8-bit
// bytes or does not fit.
std::string HeaderText(std::string_view text, size_t room, bool quoted_pairs) {
    const std::string line = OneLine(text);
    if (HasEightBitByte(line)) {
        return EncodedWords(line);
    }
    std::string escaped;
    for (const char c : line) {
        if (quoted_pairs && (c == '"' || c == '\\')) {
            escaped += '\\';
        }
        escaped += c;
    }
    return escaped.size() > room ? EncodedWords(line) : escaped;
}

// Whether a body with CR LF line breaks can go as "7bit": ASCII without NUL,
// no line longer than kMaxLine, and not holding the boundary (which would end
// the text part there; Base64 has neither "-" nor "_").
bool FitsSevenBit(std::string_view body) {
    if (body.find(kBoundary) != std::string_view::npos) {
        return false;
    }
    size_t line = 0;
    for (size_t i = 0; i < body.size(); ++i) {
        const auto b = static_cast<uint8_t>(body[i]);
        if (b == 0 || b >= 0x80) {
            return false;
        }
        if (body.substr(i, 2) == "\r\n") {
            line = 0;
            ++i;
        } else if (++line > kMaxLine) {
            return false;
        }
    }
    return true;
}

bool EndsWithPng(std::string_view name) {
    constexpr std::string_view kPng = ".png";
    if (name.size() < kPng.size()) {
        return false;
    }
    const std::string_view tail = name.substr(name.size() - kPng.size());
    for (size_t i = 0; i < kPng.size(); ++i) {
        const char c = tail[i];
        if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) != kPng[i]) {
            return false;
        }
    }
    return true;
}

// The message as SMTP data: every line break as CR LF, one more "." before
// each line that begins with ".", and the terminating line ".". `text` ends
// with a line break.
std::string SmtpData(std::string_view text) {
    const std::string lines = WithCrLf(text);
    std::string out;
    out.reserve(lines.size() + lines.size() / 64 + 3);
    bool line_start = true;
    for (const char c : lines) {
        if (line_start && c == '.') {
            out += '.';
        }
        out += c;
        line_start = c == '\n';
    }
    out += ".\r\n";
    return out;
}

}  // namespace

std::vector<std::string> SplitRecipients(std::string_view list) {
    std::vector<std::string> recipients;
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find_first_of(",;", start);
        if (end == std::string_view::npos) {
            end = list.size();
        }
        std::string recipient = base::Trim(list.substr(start, end - start));
        if (!recipient.empty()) {
            recipients.push_back(std::move(recipient));
        }
        start = end + 1;
    }
    return recipients;
}

bool IsSafeMailAddress(std::string_view address) {
    if (address.empty()) {
        return false;
    }
    for (const char c : address) {
        const auto b = static_cast<uint8_t>(c);
        if (b < 0x20 || b == 0x7F || c == '<' || c == '>') {
            return false;
        }
    }
    return true;
}

std::string ComposeMailData(const TMailMessage& message) {
    const std::string boundary(kBoundary);
    std::string text;
    text += "Date: " + message.date + "\r\n";
    text += "From: <" + message.sender + ">\r\n";
    constexpr std::string_view kSubject = "Subject: ";
    text += std::string(kSubject) + HeaderText(message.subject, kMaxLine - kSubject.size(), false) +
            "\r\n";
    text += "To: <" + message.recipient + ">\r\n";
    text += "Content-Type: multipart/mixed; boundary=\"" + boundary +
            "\";\r\nMIME-Version: 1.0\r\nX-Priority: 1\r\n";
    text += "X-Library: Crashlore " + std::string(kLibraryVersion) + "\r\n\r\n";
    text += "This is a multi-part message in MIME format\r\n\r\n--" + boundary + "\r\n";

    const std::string body = WithCrLf(message.body);
    if (FitsSevenBit(body)) {
        text += "Content-Type: text/plain\r\nContent-Transfer-Encoding: 7bit\r\n\r\n";
        text += body + "\r\n";
    } else {
        text +=
            "Content-Type: text/plain; charset=GB18030\r\n"
            "Content-Transfer-Encoding: base64\r\n\r\n";
        text += base::Base64(body, kPartLine);
    }

    // The longer of the two lines that carry the name: eight blanks,
    // filename=", the name and the closing quote.
    constexpr size_t kNameRoom = kMaxLine - 8 - 10 - 1;
    for (const TMailAttachment& attachment : message.attachments) {
        const std::string name = HeaderText(attachment.name, kNameRoom, true);
        text += "\r\n--" + boundary + "\r\nContent-Type: ";
        text += EndsWithPng(attachment.name) ? "image/png" : "application/octet-stream";
        text += ";\r\n        name=\"" + name + "\"\r\n";
        text += "Content-Transfer-Encoding: base64\r\nContent-Disposition: attachment;\r\n";
        text += "        filename=\"" + name + "\"\r\n\r\n";
        text += base::Base64(attachment.content, kPartLine);
    }
    text += "--" + boundary + "--\r\n";
    return SmtpData(text);
}

}  // namespace exceptions
