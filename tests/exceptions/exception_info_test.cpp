// Class names and ancestors of exception objects, their texts, the filter,
// the masking of a focused password control and the "EXCEPT" data.

#include "exceptions/exception_info.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace exceptions_probe {

// A class of the program with two bases, one of them not an exception.
struct Reason {
    virtual ~Reason() = default;
};
struct EUpdateError : std::runtime_error {
    using std::runtime_error::runtime_error;
};
struct TwoBases : EUpdateError, Reason {
    TwoBases() : EUpdateError("two bases") {}
};

// A diamond: the shared base is reached twice but listed once.
struct Shared : std::exception {};
struct Left : virtual Shared {};
struct Right : virtual Shared {};
struct Diamond : Left, Right {};

struct Plain {};

}  // namespace exceptions_probe

namespace exceptions {
namespace {

using namespace exceptions_probe;
using Names = std::vector<std::string>;

TEST(ExceptionInfo, ClassAndAncestors) {
    const struct {
        const std::type_info& type;
        Names expected;
    } cases[] = {
        {typeid(std::range_error), {"std::range_error", "std::runtime_error", "std::exception"}},
        {typeid(std::exception), {"std::exception"}},
        {typeid(TwoBases),
         {"exceptions_probe::TwoBases", "exceptions_probe::EUpdateError",
          "exceptions_probe::Reason", "std::runtime_error", "std::exception"}},
        {typeid(Diamond),
         {"exceptions_probe::Diamond", "exceptions_probe::Left", "exceptions_probe::Right",
          "exceptions_probe::Shared", "std::exception"}},
        {typeid(int), {"int"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ExceptionClassAndAncestors(c.type), c.expected) << c.expected.front();
        EXPECT_EQ(ExceptionClassName(c.type), c.expected.front());
    }
}

TEST(ExceptionInfo, TextsOfExceptionObjects) {
    const struct {
        const char* label;
        std::exception_ptr error;
        std::string type, message;
        const std::type_info* type_info;
    } cases[] = {
        {"range_error", std::make_exception_ptr(std::range_error("out of range")),
         "std::range_error", "out of range", &typeid(std::range_error)},
        {"own class", std::make_exception_ptr(TwoBases()), "exceptions_probe::TwoBases",
         "two bases", &typeid(TwoBases)},
        {"int", std::make_exception_ptr(7), kUnknownExceptionType, kUnknownErrorMessage, nullptr},
        {"struct", std::make_exception_ptr(Plain{}), kUnknownExceptionType, kUnknownErrorMessage,
         nullptr},
        {"null", std::exception_ptr(), kUnknownExceptionType, kUnknownErrorMessage, nullptr},
    };
    for (const auto& c : cases) {
        const TExceptionTexts texts = ExceptionTextsOf(c.error);
        EXPECT_EQ(texts.type, c.type) << c.label;
        EXPECT_EQ(texts.message, c.message) << c.label;
        EXPECT_EQ(texts.type_info, c.type_info) << c.label;
    }
}

TEST(ExceptionInfo, FilterEntry) {
    const Names range_error = ExceptionClassAndAncestors(typeid(std::range_error));
    const Names two_bases = ExceptionClassAndAncestors(typeid(TwoBases));
    const struct {
        const char* label;
        std::vector<std::string> entries;
        bool active;
        Names classes;
        std::optional<size_t> expected;
    } cases[] = {
        {"ancestor, case, blanks", {"  STD::RUNTIME_ERROR "}, true, range_error, 0},
        {"first matching entry",
         {"std::logic_error", "std::exception", "std::range_error"},
         true,
         range_error,
         1},
        {"empty entries skipped", {"", "   ", "std::range_error"}, true, range_error, 2},
        {"filter off", {"std::range_error"}, false, range_error, std::nullopt},
        {"prefix only", {"std::range"}, true, range_error, std::nullopt},
        {"longer name", {"std::range_errors"}, true, range_error, std::nullopt},
        {"second base", {"EXCEPTIONS_PROBE::REASON"}, true, two_bases, 0},
        {"empty never matches empty", {"", " "}, true, {""}, std::nullopt},
        {"no entries", {}, true, range_error, std::nullopt},
        // The trail byte of a double-byte character is not a letter.
        {"GBK trail byte kept",
         {"E\x81"
          "a"},
         true,
         {"e\x81"
          "A"},
         std::nullopt},
        {"GBK equal",
         {"E\x81"
          "a"},
         true,
         {"e\x81"
          "a"},
         0},
    };
    for (const auto& c : cases) {
        TVivavaModuleOptions options("updater.exe", false);
        options.SetFilterActive(c.active);
        for (const std::string& entry : c.entries)
            options.FilterClasses().Add(entry);
        EXPECT_EQ(FilterEntryFor(options, c.classes), c.expected) << c.label;
    }
}

TEST(ExceptionInfo, ActiveControlText) {
    const struct {
        const char* class_name;
        uint32_t style;
        std::string text;
        std::string expected;
    } cases[] = {
        {"Edit", 0x20, "abc", "***"},
        {"Edit", 0x20,
         "a\xC4\xE3"
         "b",
         "***"},                        // one double-byte character
        {"Edit", 0x20, "a\xC4", "**"},  // a lead byte at the end is one
        {"Edit", 0x20, "", ""},
        {"TEDIT", 0x00, "visible", "visible"},
        {"TEDIT", 0x1F, "visible", "visible"},
        {"RichEdit20W", 0x20, "pw", "**"},
        {"  tedit\t", 0x20 | 0x80, "pw", "**"},
        {"Button", 0x20, "OK", "OK"},
        {"ED IT", 0x20, "pw", "pw"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ActiveControlText(c.class_name, c.style, c.text), c.expected)
            << c.class_name << " " << c.style;
    }
}

TEST(ExceptBlock, Layout) {
    using namespace std::string_literals;
    EXPECT_EQ(EncodeExceptBlock("AB", "c"), "\x01\x02\0\0\0AB\x01\0\0\0c"s);
    const std::string long_message(0x10203, 'm');
    const std::string block = EncodeExceptBlock("", long_message);
    EXPECT_EQ(block.substr(0, 9), "\x01\0\0\0\0\x03\x02\x01\0"s);
    EXPECT_EQ(block.size(), 9 + long_message.size());
}

TEST(ExceptBlock, RoundTripAndLineBreakRule) {
    using namespace std::string_literals;
    const struct {
        std::string type, message;
        TExceptBlock expected;
    } cases[] = {
        {"std::range_error", "bad index", {"std::range_error", "bad index"}},
        {"", "", {"", ""}},
        {"E", "one\r\ntwo", {"E", "one\r\ntwo"}},
        {"E", "with \0 zero"s, {"E", "with \0 zero"s}},
        {"\xD6\xD0", "\xCE\xC4", {"\xD6\xD0", "\xCE\xC4"}},
        {"E", "message\r\n", {"E", "message"}},
        {"E\r\n", "m", {"E", "m"}},
        {"E", "\r\n", {"E", ""}},
        {"E", "one\r\ntwo\r\n", {"E", "one\r\ntwo\r\n"}},
        {"E", "message\r\n\r\n", {"E", "message\r\n\r\n"}},
        {"E", "message\n", {"E", "message\n"}},
    };
    for (const auto& c : cases) {
        const auto decoded = DecodeExceptBlock(EncodeExceptBlock(c.type, c.message));
        ASSERT_TRUE(decoded.has_value()) << c.message;
        EXPECT_EQ(*decoded, c.expected) << c.message;
    }
}

TEST(ExceptBlock, MalformedIsRefused) {
    using namespace std::string_literals;
    const std::string valid = EncodeExceptBlock("std::runtime_error", "disk full");
    for (size_t size = 0; size < valid.size(); ++size) {
        // A copy of exactly `size` bytes, so that a read past it is caught.
        const std::string cut = valid.substr(0, size);
        EXPECT_FALSE(DecodeExceptBlock(cut).has_value()) << size;
    }
    const std::string cases[] = {
        valid + "x",
        "\x00"s + valid.substr(1),
        "\x02"s + valid.substr(1),
        "\x01\xFF\xFF\xFF\xFF"s,
        "\x01\x00\x00\x00\x00\xFF\xFF\xFF\xFF"s,
        "\x01\x05\x00\x00\x00"
        "abcd"s,
    };
    for (const std::string& bytes : cases) {
        EXPECT_FALSE(DecodeExceptBlock(bytes).has_value()) << bytes.size();
    }
}

}  // namespace
}  // namespace exceptions
