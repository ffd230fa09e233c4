#include "base/base64.h"

#include <cstdint>

namespace base {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int DigitValue(char c) {
    if (c >= 'A' && c <= 'Z') {
        return c - 'A';
    }
    if (c >= 'a' && c <= 'z') {
        return c - 'a' + 26;
    }
    if (c >= '0' && c <= '9') {
        return c - '0' + 52;
    }
    if (c == '+') {
        return 62;
    }
    if (c == '/') {
        return 63;
    }
    return -1;
}

}  // namespace

std::string Base64(std::string_view bytes, size_t line_length) {
    const size_t digits = (bytes.size() + 2) / 3 * 4;
    std::string out;
    out.reserve(line_length == 0 ? digits : digits + (digits / line_length + 1) * 2);
    size_t in_line = 0;
    const auto put = [&](char c) {
        out += c;
        if (line_length != 0 && ++in_line == line_length) {
            out += "\r\n";
            in_line = 0;
        }
    };
    for (size_t i = 0; i < bytes.size(); i += 3) {
        const size_t n = bytes.size() - i < 3 ? bytes.size() - i : 3;
        uint32_t group = 0;
        for (size_t k = 0; k < 3; ++k) {
            group = group << 8 | (k < n ? static_cast<uint8_t>(bytes[i + k]) : 0u);
        }
        for (size_t k = 0; k < 4; ++k) {
            put(k <= n ? kAlphabet[(group >> (18 - 6 * k)) & 63] : '=');
        }
    }
    if (in_line != 0) {
        out += "\r\n";
    }
    return out;
}

std::optional<std::string> Base64Decode(std::string_view text) {
    if (text.size() % 4 != 0) {
        return std::nullopt;
    }
    std::string out;
    out.reserve(text.size() / 4 * 3);
    for (size_t i = 0; i < text.size(); i += 4) {
        const bool last = i + 4 == text.size();
        uint32_t group = 0;
        int padding = 0;
        for (size_t k = 0; k < 4; ++k) {
            const char c = text[i + k];
            int value = 0;
            if (c == '=' && last && k >= 2) {
                ++padding;
            } else {
                value = padding > 0 ? -1 : DigitValue(c);
                if (value < 0) {
                    return std::nullopt;
                }
            }
            group = group << 6 | static_cast<uint32_t>(value);
        }
        if ((padding == 1 && (group & 0xFF) != 0) || (padding == 2 && (group & 0xFFFF) != 0)) {
            return std::nullopt;
        }
        out += static_cast<char>(group >> 16);
        if (padding < 2) {
            out += static_cast<char>((group >> 8) & 0xFF);
        }
        if (padding < 1) {
            out += static_cast<char>(group & 0xFF);
        }
    }
    return out;
}

}  // namespace base
