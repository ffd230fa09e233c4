#include "framework/names.h"

namespace framework {

namespace {

char UpperAscii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool IsLeadByte(char c) {
    const auto b = static_cast<unsigned char>(c);
    return b >= 0x81 && b <= 0xFE;
}

}  // namespace

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (IsLeadByte(a[i])) {
            // A double-byte character: both bytes must match exactly.
            if (a[i] != b[i]) {
                return false;
            }
            if (i + 1 < a.size()) {
                ++i;
                if (a[i] != b[i]) {
                    return false;
                }
            }
            continue;
        }
        if (UpperAscii(a[i]) != UpperAscii(b[i])) {
            return false;
        }
    }
    return true;
}

}  // namespace framework
