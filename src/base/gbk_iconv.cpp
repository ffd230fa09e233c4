// Code page 936 conversion for the native build, through iconv.

#include <errno.h>
#include <iconv.h>

#include <cstring>

#include "base/exception.h"
#include "base/text.h"
#include "base/text_messages.h"

namespace base {

namespace {

class Converter {
  public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {
        if (cd_ == reinterpret_cast<iconv_t>(-1)) {
            throw EEncodingError(std::string("No conversion from ") + from + " to " + to);
        }
    }
    ~Converter() { iconv_close(cd_); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts the whole input or returns false; never substitutes characters.
    bool Run(const char* in, size_t in_size, std::string& out) {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);  // a fresh start
        out.assign(in_size * 4 + 16, '\0');
        char* in_ptr = const_cast<char*>(in);
        char* out_ptr = out.data();
        size_t out_left = out.size();
        if (iconv(cd_, &in_ptr, &in_size, &out_ptr, &out_left) == static_cast<size_t>(-1)) {
            return false;
        }
        // Flush any shift state; a dangling partial character shows up here too.
        if (iconv(cd_, nullptr, nullptr, &out_ptr, &out_left) == static_cast<size_t>(-1)) {
            return false;
        }
        out.resize(out.size() - out_left);
        return true;
    }

  private:
    iconv_t cd_;
};

}  // namespace

std::u16string GbkToUtf16(std::string_view gbk) {
    if (gbk.empty()) {
        return {};
    }
    // Opening a converter costs more than most conversions: one per thread.
    thread_local Converter converter("UTF-16LE", "CP936");
    std::string bytes;
    if (!converter.Run(gbk.data(), gbk.size(), bytes)) {
        throw EEncodingError(kNotGbkMessage);
    }
    std::u16string result(bytes.size() / 2, u'\0');
    for (size_t i = 0; i < result.size(); ++i) {
        result[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                          (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
    }
    return result;
}

std::string Utf16ToGbk(std::u16string_view utf16) {
    if (utf16.empty()) {
        return {};
    }
    std::string bytes(utf16.size() * 2, '\0');
    for (size_t i = 0; i < utf16.size(); ++i) {
        bytes[2 * i] = static_cast<char>(utf16[i] & 0xFF);
        bytes[2 * i + 1] = static_cast<char>(utf16[i] >> 8);
    }
    thread_local Converter converter("CP936", "UTF-16LE");
    std::string result;
    if (!converter.Run(bytes.data(), bytes.size(), result)) {
        throw EEncodingError(kNotRepresentableMessage);
    }
    return result;
}

}  // namespace base
