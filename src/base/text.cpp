#include "base/text.h"

#include "base/exception.h"

namespace base {

namespace {
bool IsTrimmed(unsigned char c) {
    return c <= 0x20;
}
}  // namespace

std::string Trim(std::string_view text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && IsTrimmed(static_cast<unsigned char>(text[begin]))) {
        ++begin;
    }
    while (end > begin && IsTrimmed(static_cast<unsigned char>(text[end - 1]))) {
        --end;
    }
    return std::string(text.substr(begin, end - begin));
}

std::vector<std::string> SplitBytes(std::string_view text, char separator) {
    std::vector<std::string> parts;
    if (text.empty()) {
        return parts;
    }
    size_t start = 0;
    for (;;) {
        size_t pos = text.find(separator, start);
        if (pos == std::string_view::npos) {
            parts.emplace_back(text.substr(start));
            return parts;
        }
        parts.emplace_back(text.substr(start, pos - start));
        start = pos + 1;
    }
}

std::u16string Utf8ToUtf16(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        const size_t extra = lead < 0x80           ? 0
                             : (lead >> 5) == 0x06 ? 1
                             : (lead >> 4) == 0x0e ? 2
                             : (lead >> 3) == 0x1e ? 3
                                                   : 4;
        if (extra == 4 || i + extra >= utf8.size() + (extra == 0 ? 1 : 0)) {
            throw EEncodingError("Text is not valid UTF-8");
        }
        uint32_t c = extra == 0 ? lead : lead & (0x3fu >> extra);
        for (size_t k = 1; k <= extra; ++k) {
            const auto trail = static_cast<unsigned char>(utf8[i + k]);
            if ((trail & 0xc0) != 0x80) {
                throw EEncodingError("Text is not valid UTF-8");
            }
            c = (c << 6) | (trail & 0x3fu);
        }
        i += extra + 1;
        if (c >= 0x10000) {
            c -= 0x10000;
            out += static_cast<char16_t>(0xd800 + (c >> 10));
            out += static_cast<char16_t>(0xdc00 + (c & 0x3ff));
        } else {
            out += static_cast<char16_t>(c);
        }
    }
    return out;
}

std::string Utf16ToUtf8(std::u16string_view utf16) {
    std::string out;
    out.reserve(utf16.size());
    for (size_t i = 0; i < utf16.size(); ++i) {
        uint32_t c = utf16[i];
        if (c >= 0xd800 && c <= 0xdbff && i + 1 < utf16.size() && utf16[i + 1] >= 0xdc00 &&
            utf16[i + 1] <= 0xdfff) {
            c = 0x10000 + ((c - 0xd800) << 10) + (utf16[++i] - 0xdc00u);
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xc0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3f));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xe0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3f));
            out += static_cast<char>(0x80 | (c & 0x3f));
        } else {
            out += static_cast<char>(0xf0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3f));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3f));
            out += static_cast<char>(0x80 | (c & 0x3f));
        }
    }
    return out;
}

std::string Utf16ToGbkForDisplay(std::u16string_view utf16) {
    try {
        return Utf16ToGbk(utf16);
    } catch (const EEncodingError&) {
        // Character by character, so that only what GBK lacks is replaced.
    }
    std::string out;
    for (size_t i = 0; i < utf16.size();) {
        size_t length = 1;
        if (utf16[i] >= 0xd800 && utf16[i] <= 0xdbff && i + 1 < utf16.size() &&
            utf16[i + 1] >= 0xdc00 && utf16[i + 1] <= 0xdfff) {
            length = 2;
        }
        try {
            out += Utf16ToGbk(utf16.substr(i, length));
        } catch (const EEncodingError&) {
            out += '?';
        }
        i += length;
    }
    return out;
}

bool IsGbkPair(std::string_view text, size_t i) {
    if (i + 1 >= text.size()) {
        return false;
    }
    const auto lead = static_cast<unsigned char>(text[i]);
    const auto trail = static_cast<unsigned char>(text[i + 1]);
    return lead >= 0x81 && lead <= 0xFE && trail >= 0x40 && trail <= 0xFE && trail != 0x7F;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

}  // namespace base
