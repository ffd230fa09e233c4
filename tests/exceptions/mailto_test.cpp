// The mailto URL of a report: its encoding, the cut to the length cap, and
// the command line it is put into.

#include "exceptions/mailto.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "base/exception.h"
#include "base/text.h"

namespace exceptions {
namespace {

// "中" and "文" in GBK, and in UTF-8 percent-encoded.
constexpr std::string_view kZhong = "\xD6\xD0";
constexpr std::string_view kWen = "\xCE\xC4";
constexpr std::string_view kZhongEncoded = "%E4%B8%AD";
constexpr std::string_view kWenEncoded = "%E6%96%87";

TEST(MailtoTest, EncodesEverythingButUnreservedCharacters) {
    struct Case {
        std::string text;
        bool address;
        std::string expected;
    };
    const Case cases[] = {
        {"Az09-._~", false, "Az09-._~"},
        {"\"&%#?", false, "%22%26%25%23%3F"},
        {"a b\r\nc\t", false, "a%20b%0D%0Ac%09"},
        {"x@y.org,z;=+/", false, "x%40y.org%2Cz%3B%3D%2B%2F"},
        {"x@y.org,z;=+/", true, "x@y.org,z%3B%3D%2B%2F"},
        {"\"a\" <b@c>", true, "%22a%22%20%3Cb@c%3E"},
        {std::string(kZhong) + "!" + std::string(kWen), false,
         std::string(kZhongEncoded) + "%21" + std::string(kWenEncoded)},
        // A GBK pair whose second byte is a letter stays one character.
        {"\x81\x61", false, "%E4%B9%A4"},
        // A byte that starts no character, and a lead byte at the end.
        {"a\xFF"
         "b\x81",
         false, "a%EF%BF%BDb%EF%BF%BD"},
        {"\x7F", false, "%7F"},
        {"", false, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MailtoEncode(c.text, c.address), c.expected) << c.text;
    }
}

TEST(MailtoTest, UrlJoinsTheParts) {
    EXPECT_EQ(MailtoUrl("a@x.org,b@y.org", "Crash in 1.2", "Hello", "Report", ""),
              "mailto:a@x.org,b@y.org?Subject=Crash%20in%201.2&Body=Hello%0D%0A%0D%0A%0D%0AReport");
    EXPECT_EQ(MailtoUrl("a@x.org", "S&Body=x", "B", "R", "Steps"),
              "mailto:a@x.org?Subject=S%26Body%3Dx&Body=B%0D%0A%0D%0A%0D%0AR"
              "%0D%0A%0D%0A%0D%0ASteps");
}

// A report that tries to end the quoted argument, add a switch, start a
// fragment or a second query keeps every one of those bytes encoded.
TEST(MailtoTest, UrlHoldsOnlyUrlCharacters) {
    const std::string url =
        MailtoUrl("a@x.org", "\"quoted\" & more", "\" /attach C:\\secret.txt \"",
                  "#frag ?q=1 %1 %20", std::string(kZhong) + "\r\n");
    const std::string_view allowed =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-._~%:?=&@,";
    EXPECT_EQ(url.find_first_not_of(allowed), std::string::npos) << url;
    EXPECT_NE(url.find("%22%20%2Fattach%20C%3A%5Csecret.txt%20%22"), std::string::npos) << url;
    EXPECT_NE(url.find("%23frag%20%3Fq%3D1%20%251%20%2520"), std::string::npos) << url;
}

// The length of the encoded character that `rest` starts with: 1 for an
// unreserved character, 3 per byte of its UTF-8 form otherwise.
size_t EncodedSize(std::string_view rest) {
    if (rest[0] != '%') {
        return 1;
    }
    const int lead = base::HexDigit(rest[1]);
    return lead >= 0xF ? 12 : lead >= 0xE ? 9 : lead >= 0xC ? 6 : 3;
}

// Every cap from "no body at all" to "the whole URL" gives a prefix of the
// uncut URL that fits, ends on a whole character and leaves out no more than
// the character that did not fit.
TEST(MailtoTest, CapCutsTheBodyOnAWholeCharacter) {
    const std::string body = "a " + std::string(kZhong) + "\"" + std::string(kWen) +
                             "b\xFF"
                             "c";
    const std::string full = MailtoUrl("a@x.org", "S", body, "", "", 100000);
    const std::string head = "mailto:a@x.org?Subject=S&Body=";
    ASSERT_EQ(full.substr(0, head.size()), head);
    for (size_t cap = head.size(); cap <= full.size(); ++cap) {
        const std::string url = MailtoUrl("a@x.org", "S", body, "", "", cap);
        ASSERT_LE(url.size(), cap);
        ASSERT_EQ(full.substr(0, url.size()), url) << cap;
        // What was left out starts with a whole encoded character longer
        // than the room that was left.
        if (url.size() < full.size()) {
            EXPECT_GT(EncodedSize(std::string_view(full).substr(url.size())), cap - url.size())
                << cap;
        }
        // The body decodes to complete UTF-8.
        std::string decoded;
        const std::string encoded = url.substr(head.size());
        for (size_t i = 0; i < encoded.size(); ++i) {
            if (encoded[i] == '%') {
                ASSERT_LE(i + 3, encoded.size()) << cap;
                decoded += static_cast<char>(base::HexDigit(encoded[i + 1]) * 16 +
                                             base::HexDigit(encoded[i + 2]));
                i += 2;
            } else {
                decoded += encoded[i];
            }
        }
        EXPECT_NO_THROW(base::Utf8ToUtf16(decoded)) << cap;
    }
    // One byte short of a GBK character leaves out all nine of its bytes.
    const std::string report = "x" + std::string(kZhong);
    const std::string ends_in_zhong = MailtoUrl("a@x.org", "S", "", report, "");
    EXPECT_EQ(MailtoUrl("a@x.org", "S", "", report, "", ends_in_zhong.size() - 1),
              ends_in_zhong.substr(0, ends_in_zhong.size() - 9));
}

TEST(MailtoTest, TooLongHeadKeepsRecipientsAndSubject) {
    EXPECT_EQ(MailtoUrl("a@x.org", "Subject", "Body", "Report", "", 10),
              "mailto:a@x.org?Subject=Subject&Body=");
}

TEST(MailtoTest, CommandTakesTheUrlForEveryPlaceholder) {
    struct Case {
        std::string command;
        std::string url;
        std::string expected;
    };
    const Case cases[] = {
        {"\"C:\\Mail\\mail.exe\" /compose \"%1\"", "mailto:a@b",
         "\"C:\\Mail\\mail.exe\" /compose \"mailto:a@b\""},
        {"m.exe %1 -again %1", "mailto:x", "m.exe mailto:x -again mailto:x"},
        {"m.exe %2 %% 100%", "mailto:x", "m.exe %2 %% 100%"},
        // The URL's own "%1F" is not taken for a placeholder.
        {"m.exe %1", "mailto:a?Body=%1F%1", "m.exe mailto:a?Body=%1F%1"},
        {"%1%1", "u", "uu"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MailtoCommand(c.command, c.url), c.expected) << c.command;
    }
}

}  // namespace
}  // namespace exceptions
