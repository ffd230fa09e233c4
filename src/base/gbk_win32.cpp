// Code page 936 conversion for Windows, through the system's own tables. The
// code page is always named explicitly: the ANSI code page of the machine
// plays no part, so Chinese texts come out right on any Windows language.

#include <windows.h>

#include <climits>

#include "base/exception.h"
#include "base/text.h"
#include "base/text_messages.h"

namespace base {

namespace {
constexpr UINT kCodePage = 936;

int CheckedLength(size_t size) {
    if (size > static_cast<size_t>(INT_MAX)) {
        throw EEncodingError("Text is too long to convert");
    }
    return static_cast<int>(size);
}
}  // namespace

std::u16string GbkToUtf16(std::string_view gbk) {
    if (gbk.empty()) {
        return {};
    }
    const int in_size = CheckedLength(gbk.size());
    const int needed =
        MultiByteToWideChar(kCodePage, MB_ERR_INVALID_CHARS, gbk.data(), in_size, nullptr, 0);
    if (needed <= 0) {
        throw EEncodingError(kNotGbkMessage);
    }
    std::u16string result(static_cast<size_t>(needed), u'\0');
    const int written = MultiByteToWideChar(kCodePage, MB_ERR_INVALID_CHARS, gbk.data(), in_size,
                                            reinterpret_cast<wchar_t*>(result.data()), needed);
    if (written != needed) {
        throw EEncodingError(kNotGbkMessage);
    }
    return result;
}

std::string Utf16ToGbk(std::u16string_view utf16) {
    if (utf16.empty()) {
        return {};
    }
    const int in_size = CheckedLength(utf16.size());
    const auto* in = reinterpret_cast<const wchar_t*>(utf16.data());
    BOOL used_default = FALSE;
    const int needed = WideCharToMultiByte(kCodePage, WC_NO_BEST_FIT_CHARS, in, in_size, nullptr, 0,
                                           nullptr, &used_default);
    if (needed <= 0 || used_default) {
        throw EEncodingError(kNotRepresentableMessage);
    }
    std::string result(static_cast<size_t>(needed), '\0');
    const int written = WideCharToMultiByte(kCodePage, WC_NO_BEST_FIT_CHARS, in, in_size,
                                            result.data(), needed, nullptr, &used_default);
    if (written != needed || used_default) {
        throw EEncodingError(kNotRepresentableMessage);
    }
    return result;
}

}  // namespace base
