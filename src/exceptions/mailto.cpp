#include "exceptions/mailto.h"

#include "base/exception.h"
#include "base/text.h"

namespace exceptions {

namespace {

constexpr std::string_view kLineBreaks = "\r\n\r\n\r\n";
constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD in UTF-8

bool Unreserved(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~';
}

// Walks GBK text one character at a time (a byte below 0x80, a GBK pair, or
// a lone byte that is neither) and gives each one encoded.
class TEncoder {
  public:
    TEncoder(std::string_view text, bool address) : text_(text), address_(address) {}

    bool Done() const { return at_ >= text_.size(); }

    // The encoded form of the next character; moves past it.
    std::string Next() {
        const size_t size = base::IsGbkPair(text_, at_) ? 2 : 1;
        const std::string_view character = text_.substr(at_, size);
        at_ += size;
        std::string encoded;
        for (const char byte : Utf8Of(character)) {
            Append(encoded, static_cast<unsigned char>(byte));
        }
        return encoded;
    }

  private:
    static std::string Utf8Of(std::string_view character) {
        if (static_cast<unsigned char>(character[0]) < 0x80) {
            return std::string(character);
        }
        try {
            return base::Utf16ToUtf8(base::GbkToUtf16(character));
        } catch (const base::EEncodingError&) {
            return std::string(kReplacement);
        }
    }

    void Append(std::string& out, unsigned char byte) const {
        if (Unreserved(byte) || (address_ && (byte == '@' || byte == ','))) {
            out += static_cast<char>(byte);
            return;
        }
        static constexpr char kDigits[] = "0123456789ABCDEF";
        out += '%';
        out += kDigits[byte >> 4];
        out += kDigits[byte & 0x0F];
    }

    std::string_view text_;
    bool address_;
    size_t at_ = 0;
};

}  // namespace

std::string MailtoEncode(std::string_view text, bool address) {
    std::string out;
    out.reserve(text.size());
    for (TEncoder encoder(text, address); !encoder.Done();) {
        out += encoder.Next();
    }
    return out;
}

std::string MailtoUrl(std::string_view recipients, std::string_view subject,
                      std::string_view mail_body, std::string_view report_text,
                      std::string_view reproduction, size_t max_length) {
    std::string url =
        "mailto:" + MailtoEncode(recipients, true) + "?Subject=" + MailtoEncode(subject) + "&Body=";

    std::string body;
    body.reserve(mail_body.size() + report_text.size() + reproduction.size() +
                 2 * kLineBreaks.size());
    body.append(mail_body).append(kLineBreaks).append(report_text);
    if (!reproduction.empty()) {
        body.append(kLineBreaks).append(reproduction);
    }

    for (TEncoder encoder(body, false); !encoder.Done();) {
        const std::string character = encoder.Next();
        if (url.size() + character.size() > max_length) {
            break;
        }
        url += character;
    }
    return url;
}

std::string MailtoCommand(std::string_view command, std::string_view url) {
    std::string out;
    out.reserve(command.size() + url.size());
    for (size_t i = 0; i < command.size(); ++i) {
        if (command[i] == '%' && i + 1 < command.size() && command[i + 1] == '1') {
            out += url;
            ++i;
        } else {
            out += command[i];
        }
    }
    return out;
}

}  // namespace exceptions
