#include "skin/data/text_fit.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace skin {
namespace {

// One pixel per byte; the calls are recorded.
struct ByteWidth {
    std::vector<std::string> asked;
    TTextWidth Function() {
        return [this](std::string_view text) {
            asked.emplace_back(text);
            return static_cast<int>(text.size());
        };
    }
};

std::string Fit(std::string text, int max_width) {
    ByteWidth width;
    FitTextWithEllipsis(text, max_width, width.Function());
    return text;
}

TEST(FitTextWithEllipsis, LeavesATextThatFitsAlone) {
    ByteWidth width;
    std::string text = "abcdef";
    FitTextWithEllipsis(text, 6, width.Function());
    EXPECT_EQ(text, "abcdef");
    EXPECT_EQ(width.asked, std::vector<std::string>{"abcdef"});
    EXPECT_EQ(Fit("", 0), "");
}

TEST(FitTextWithEllipsis, RemovesCharactersFromTheEndUntilTheRestWithDotsFits) {
    ByteWidth width;
    std::string text = "abcdef";
    FitTextWithEllipsis(text, 5, width.Function());
    EXPECT_EQ(text, "ab...");
    EXPECT_EQ(width.asked,
              (std::vector<std::string>{"abcdef", "abcde...", "abcd...", "abc...", "ab..."}));
    // Nothing fits: the dots alone.
    EXPECT_EQ(Fit("abcdef", 2), "...");
    EXPECT_EQ(Fit("abcdef", -1), "...");
}

TEST(FitTextWithEllipsis, RemovesDoubleByteCharactersWhole) {
    // "中文字" and a 'z' in GBK: D6 D0, CE C4, D7 D6, 7A.
    const std::string text = "\xD6\xD0\xCE\xC4\xD7\xD6z";
    EXPECT_EQ(Fit(text, 7), text);
    // Byte by byte, "\xD6\xD0\xCE..." (6) would fit with half a character.
    EXPECT_EQ(Fit(text, 6), "\xD6\xD0...");
    EXPECT_EQ(Fit(text, 4), "...");
    EXPECT_EQ(Fit(text + "z", 7), "\xD6\xD0\xCE\xC4...");
    EXPECT_EQ(Fit("a\xD6\xD0"
                  "bcd",
                  5),
              "a...");
}

// The texts tried, in order.
std::vector<std::string> Steps(std::string text, int max_width) {
    ByteWidth width;
    FitTextWithEllipsis(text, max_width, width.Function());
    return width.asked;
}

TEST(FitTextWithEllipsis, FindsCharactersFromTheFront) {
    // a | B0 A1 | A1: read from the back, the last two bytes would look like
    // one character; the last character is the lone A1.
    EXPECT_EQ(Steps("a\xB0\xA1\xA1", 2),
              (std::vector<std::string>{"a\xB0\xA1\xA1", "a\xB0\xA1...", "a...", "..."}));
    // A trail byte may be an ASCII letter: 81 41 is one character.
    EXPECT_EQ(Steps("x\x81\x41", 2), (std::vector<std::string>{"x\x81\x41", "x...", "..."}));
    // A lead byte followed by a byte that is no trail byte is a character on
    // its own, and so is a lead byte at the end.
    EXPECT_EQ(Steps("ab\x81\x7F"
                    "c",
                    2),
              (std::vector<std::string>{"ab\x81\x7F"
                                        "c",
                                        "ab\x81\x7F...", "ab\x81...", "ab...", "a...", "..."}));
    EXPECT_EQ(Steps("a\x81", 1), (std::vector<std::string>{"a\x81", "a...", "..."}));
    // 0x80 and 0xFF are never lead bytes.
    EXPECT_EQ(Steps("\x80\x40\xFF\x40", 2),
              (std::vector<std::string>{"\x80\x40\xFF\x40", "\x80\x40\xFF...", "\x80\x40...",
                                        "\x80...", "..."}));
}

}  // namespace
}  // namespace skin
