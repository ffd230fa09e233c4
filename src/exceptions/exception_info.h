#pragma once

// What a report says about the exception itself: the name of its class and
// of the classes it derives from (for the filter), its message, the text of
// the focused control as the report shows it, and the "EXCEPT" data that
// carries class name and message between the raise and the report.
//
// Class names come from the C++ run-time type information of the object
// (the Itanium ABI type_info classes that g++ uses natively and in
// mingw-w64), so the filter works for every class that derives from
// std::exception, the program's own included.

#include <cstddef>
#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <string_view>
#include <typeinfo>
#include <vector>

#include "exceptions/options.h"

namespace exceptions {

// The texts of an object that does not derive from std::exception.
inline constexpr char kUnknownExceptionType[] = "Unknown exception type.";
inline constexpr char kUnknownErrorMessage[] = "Unknown error message.";

// The exception's class as a report names it: the demangled name of the type
// ("std::runtime_error", "updater::EUpdateError"); the raw name when it
// cannot be demangled.
std::string ExceptionClassName(const std::type_info& type);

// The class, then its base classes, nearest first: breadth-first over single
// and multiple inheritance, each class once (a virtual base reached on two
// paths, or two distinct bases of one name, is listed at its first place).
std::vector<std::string> ExceptionClassAndAncestors(const std::type_info& type);

// Type and message texts of an exception object and its dynamic type.
struct TExceptionTexts {
    std::string type;
    std::string message;
    // The dynamic type for an object deriving from std::exception; null
    // otherwise.
    const std::type_info* type_info = nullptr;
};

// For an object deriving from std::exception: its class name and what();
// for anything else (and for a null pointer): kUnknownExceptionType and
// kUnknownErrorMessage. Never throws out (a what() that throws gives the
// unknown message).
TExceptionTexts ExceptionTextsOf(const std::exception_ptr& error) noexcept;

// The filter entry for an exception: the index of the first FilterClasses
// entry that equals, trimmed and with ASCII letters compared
// case-insensitively, the class name or one of its ancestors' names
// (`class_and_ancestors` as ExceptionClassAndAncestors gives it). Nothing
// when no entry matches, when FilterActive is off, and never for an entry
// that is empty after trimming.
std::optional<size_t> FilterEntryFor(const TVivavaModuleOptions& options,
                                     const std::vector<std::string>& class_and_ancestors);

// The window style bit of a password edit control.
inline constexpr uint32_t kPasswordStyle = 0x20;

// The text of the focused control as a report shows it: one "*" per
// character (a GBK double-byte character counts once) when the window class,
// trimmed and upper-cased, contains "EDIT" and the style has kPasswordStyle;
// otherwise the text as it is.
std::string ActiveControlText(std::string_view class_name, uint32_t style, std::string_view text);

// The "EXCEPT" data: the byte 1, then the class name and the message, each
// as a 32-bit little-endian length followed by its bytes. A text that ends
// with CR LF loses it when that CR LF is the text's first one; a text with
// an earlier CR LF is kept whole.
std::string EncodeExceptBlock(std::string_view type, std::string_view message);

struct TExceptBlock {
    std::string type;
    std::string message;

    bool operator==(const TExceptBlock&) const = default;
};

// The texts of "EXCEPT" data; nothing for anything malformed: empty input, a
// first byte other than 1, a length that reaches past the end, or bytes
// after the message. Reads only inside `bytes`.
std::optional<TExceptBlock> DecodeExceptBlock(std::string_view bytes);

}  // namespace exceptions
