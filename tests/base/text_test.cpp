#include "base/text.h"

#include <gtest/gtest.h>

#include "base/exception.h"

namespace base {
namespace {

using Parts = std::vector<std::string>;

TEST(Trim, RemovesBlanksAndEveryControlByteAtBothEnds) {
    EXPECT_EQ(Trim(" \t\r\nabc\r\n"), "abc");
    EXPECT_EQ(Trim(std::string("\x00\x01\x1f a b \x20\x00", 10)), "a b");
    EXPECT_EQ(Trim("   "), "");
    EXPECT_EQ(Trim(""), "");
    // 0x21 and bytes above 0x7f are kept: a GBK character is never cut.
    EXPECT_EQ(Trim("!x!"), "!x!");
    EXPECT_EQ(Trim("\x7f\x80\xff"), "\x7f\x80\xff");
    EXPECT_EQ(Trim(" 升级 "), "升级");
}

TEST(SplitBytes, FollowsTheSeparatorCountExactly) {
    EXPECT_EQ(SplitBytes("", '*'), Parts{});
    EXPECT_EQ(SplitBytes("a", '*'), Parts{"a"});
    EXPECT_EQ(SplitBytes("a*b", '*'), (Parts{"a", "b"}));
    EXPECT_EQ(SplitBytes("a*", '*'), (Parts{"a", ""}));
    EXPECT_EQ(SplitBytes("*a", '*'), (Parts{"", "a"}));
    EXPECT_EQ(SplitBytes("*", '*'), (Parts{"", ""}));
    EXPECT_EQ(SplitBytes("a**b", '*'), (Parts{"a", "", "b"}));
    EXPECT_EQ(SplitBytes("a@b@c@d@e", '@'), (Parts{"a", "b", "c", "d", "e"}));
}

TEST(SplitBytes, WorksOnBytesNotCharacters) {
    // "\x81\x40" is one GBK character whose second byte is "@": it is split.
    EXPECT_EQ(SplitBytes("x\x81\x40y", '@'), (Parts{"x\x81", "y"}));
    // Line breaks have no meaning of their own.
    EXPECT_EQ(SplitBytes("a\r\n*b", '*'), (Parts{"a\r\n", "b"}));
    // A zero byte is an ordinary byte here.
    EXPECT_EQ(SplitBytes(std::string_view("a\0*b", 4), '*'), (Parts{std::string("a\0", 2), "b"}));
}

TEST(Gbk, LiteralsAreStoredAsGbkBytes) {
    // The compiler turns the UTF-8 source into code page 936 bytes.
    EXPECT_EQ(std::string("升级"), "\xc9\xfd\xbc\xb6");
    EXPECT_EQ(std::string("启动程序"), "\xc6\xf4\xb6\xaf\xb3\xcc\xd0\xf2");
}

TEST(Gbk, ConvertsBothWays) {
    EXPECT_EQ(GbkToUtf16("升级完成"), u"升级完成");
    EXPECT_EQ(GbkToUtf16("abc 123"), u"abc 123");
    EXPECT_EQ(GbkToUtf16("下载 2/3 data\\a.pak"), u"下载 2/3 data\\a.pak");
    EXPECT_EQ(GbkToUtf16(""), u"");
    EXPECT_EQ(Utf16ToGbk(u"开始下载... "), "开始下载... ");
    EXPECT_EQ(Utf16ToGbk(u""), "");
    // The single byte 0x80 of code page 936 is the euro sign.
    EXPECT_EQ(GbkToUtf16("\x80"), u"\u20ac");
    // Round trip of every character of the first level of GB2312 (rows 16-54).
    std::string all;
    for (int lead = 0xb0; lead <= 0xd6; ++lead) {
        for (int trail = 0xa1; trail <= 0xfe; ++trail) {
            all += static_cast<char>(lead);
            all += static_cast<char>(trail);
        }
    }
    const std::u16string wide = GbkToUtf16(all);
    EXPECT_EQ(wide.size(), all.size() / 2);
    EXPECT_EQ(Utf16ToGbk(wide), all);
}

TEST(Gbk, RejectsBytesThatAreNotGbk) {
    EXPECT_THROW(GbkToUtf16("abc\x81"), EEncodingError);     // lead byte at the end
    EXPECT_THROW(GbkToUtf16("\x81\x20xy"), EEncodingError);  // trail byte out of range
    EXPECT_THROW(GbkToUtf16("\xff"), EEncodingError);
    try {
        GbkToUtf16("\x81");
        FAIL() << "no error";
    } catch (const EEncodingError& e) {
        EXPECT_EQ(e.Message(), "Text is not valid GBK (code page 936)");
    }
}

TEST(Gbk, RejectsCharactersThatGbkCannotHold) {
    EXPECT_THROW(Utf16ToGbk(u"\u0e01"), EEncodingError);  // Thai
    EXPECT_THROW(Utf16ToGbk(u"a\xd800"
                            u"b"),
                 EEncodingError);  // unpaired surrogate
    EXPECT_THROW(Utf16ToGbk(u"\U0001F600"), EEncodingError);
}

TEST(Gbk, ForDisplayEachCharacterGbkLacksBecomesAQuestionMark) {
    EXPECT_EQ(Utf16ToGbkForDisplay(u"D:\\게임 游戏\\\U0001F3AE.txt"), "D:\\?? 游戏\\?.txt");
    EXPECT_EQ(Utf16ToGbkForDisplay(u"a\xd800"
                                   u"b"),
              "a?b");
}

TEST(Utf8, ConvertsBothWaysAndRejectsBadBytes) {
    const std::u16string wide = u"a\u00e9\u5347\U0001F600";
    const std::string utf8 = "a\xc3\xa9\xe5\x8d\x87\xf0\x9f\x98\x80";
    EXPECT_EQ(Utf16ToUtf8(wide), utf8);
    EXPECT_EQ(Utf8ToUtf16(utf8), wide);
    EXPECT_EQ(Utf8ToUtf16(""), u"");
    EXPECT_THROW(Utf8ToUtf16("\xc3"), EEncodingError);          // cut short
    EXPECT_THROW(Utf8ToUtf16("\xe5\x41\x87"), EEncodingError);  // bad continuation
    EXPECT_THROW(Utf8ToUtf16("\xff"), EEncodingError);
    // GBK text reaches a UTF-8 terminal through UTF-16.
    EXPECT_EQ(Utf16ToUtf8(GbkToUtf16("升级")), "\xe5\x8d\x87\xe7\xba\xa7");
}

}  // namespace
}  // namespace base
