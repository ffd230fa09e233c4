#include "exceptions/exception_info.h"

#include <cxxabi.h>

#include <algorithm>
#include <cstdlib>
#include <deque>
#include <memory>

#include "base/text.h"

namespace exceptions {
namespace {

char UpperAscii(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// Equal when the bytes are equal with ASCII letters folded to upper case;
// the second byte of a GBK double-byte character is compared as it is.
bool SameTextIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (base::IsGbkPair(a, i)) {
            if (a[i] != b[i] || a[i + 1] != b[i + 1])
                return false;
            ++i;
            continue;
        }
        if (UpperAscii(a[i]) != UpperAscii(b[i]))
            return false;
    }
    return true;
}

std::string UpperCase(std::string_view text) {
    std::string result(text);
    for (size_t i = 0; i < result.size(); ++i) {
        if (base::IsGbkPair(result, i)) {
            ++i;
            continue;
        }
        result[i] = UpperAscii(result[i]);
    }
    return result;
}

// The direct bases of a class, in declaration order.
std::vector<const std::type_info*> DirectBases(const std::type_info& type) {
    std::vector<const std::type_info*> bases;
    if (const auto* single = dynamic_cast<const abi::__si_class_type_info*>(&type)) {
        bases.push_back(single->__base_type);
    } else if (const auto* multiple = dynamic_cast<const abi::__vmi_class_type_info*>(&type)) {
        for (unsigned i = 0; i < multiple->__base_count; ++i) {
            bases.push_back(multiple->__base_info[i].__base_type);
        }
    }
    return bases;
}

// The text without a trailing CR LF when that CR LF is its first one.
std::string_view WithoutFinalLineBreak(std::string_view text) {
    const size_t first = text.find("\r\n");
    if (first != std::string_view::npos && first + 2 == text.size()) {
        return text.substr(0, first);
    }
    return text;
}

// A text longer than a 32-bit length can say is cut to that length.
void AppendText(std::string& out, std::string_view text) {
    text = text.substr(0, std::min<size_t>(text.size(), UINT32_MAX));
    const auto size = static_cast<uint32_t>(text.size());
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<char>((size >> shift) & 0xFF));
    }
    out.append(text);
}

// Reads a length and its bytes at `pos`; false when either reaches past the
// end.
bool ReadText(std::string_view bytes, size_t& pos, std::string& out) {
    if (bytes.size() - pos < 4)
        return false;
    uint32_t size = 0;
    for (int i = 0; i < 4; ++i) {
        size |= static_cast<uint32_t>(static_cast<uint8_t>(bytes[pos + i])) << (8 * i);
    }
    pos += 4;
    if (bytes.size() - pos < size)
        return false;
    out.assign(bytes.substr(pos, size));
    pos += size;
    return true;
}

}  // namespace

std::string ExceptionClassName(const std::type_info& type) {
    const char* raw = type.name();
    int status = 0;
    std::unique_ptr<char, decltype(&std::free)> demangled(
        abi::__cxa_demangle(raw, nullptr, nullptr, &status), &std::free);
    if (status == 0 && demangled)
        return std::string(demangled.get());
    return std::string(raw);
}

std::vector<std::string> ExceptionClassAndAncestors(const std::type_info& type) {
    std::vector<std::string> names;
    std::deque<const std::type_info*> queue{&type};
    while (!queue.empty()) {
        const std::type_info* current = queue.front();
        queue.pop_front();
        std::string name = ExceptionClassName(*current);
        if (std::find(names.begin(), names.end(), name) != names.end())
            continue;
        names.push_back(std::move(name));
        for (const std::type_info* base : DirectBases(*current))
            queue.push_back(base);
    }
    return names;
}

TExceptionTexts ExceptionTextsOf(const std::exception_ptr& error) noexcept {
    TExceptionTexts texts{kUnknownExceptionType, kUnknownErrorMessage, nullptr};
    if (!error)
        return texts;
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        try {
            texts.type_info = &typeid(e);
            texts.type = ExceptionClassName(typeid(e));
            texts.message = e.what();
        } catch (...) {
            texts.message = kUnknownErrorMessage;
        }
    } catch (...) {
    }
    return texts;
}

std::optional<size_t> FilterEntryFor(const TVivavaModuleOptions& options,
                                     const std::vector<std::string>& class_and_ancestors) {
    if (!options.FilterActive())
        return std::nullopt;
    const base::TStringList& classes = options.FilterClasses();
    for (int i = 0; i < classes.Count(); ++i) {
        const std::string entry = base::Trim(classes[i]);
        if (entry.empty())
            continue;
        for (const std::string& name : class_and_ancestors) {
            if (SameTextIgnoringCase(entry, base::Trim(name)))
                return static_cast<size_t>(i);
        }
    }
    return std::nullopt;
}

std::string ActiveControlText(std::string_view class_name, uint32_t style, std::string_view text) {
    const bool password = (style & kPasswordStyle) != 0 &&
                          UpperCase(base::Trim(class_name)).find("EDIT") != std::string::npos;
    if (!password)
        return std::string(text);
    std::string masked;
    for (size_t i = 0; i < text.size(); ++i) {
        if (base::IsGbkPair(text, i))
            ++i;
        masked.push_back('*');
    }
    return masked;
}

std::string EncodeExceptBlock(std::string_view type, std::string_view message) {
    std::string out(1, '\x01');
    AppendText(out, WithoutFinalLineBreak(type));
    AppendText(out, WithoutFinalLineBreak(message));
    return out;
}

std::optional<TExceptBlock> DecodeExceptBlock(std::string_view bytes) {
    if (bytes.empty() || bytes[0] != '\x01')
        return std::nullopt;
    size_t pos = 1;
    TExceptBlock block;
    if (!ReadText(bytes, pos, block.type) || !ReadText(bytes, pos, block.message)) {
        return std::nullopt;
    }
    if (pos != bytes.size())
        return std::nullopt;
    return block;
}

}  // namespace exceptions
