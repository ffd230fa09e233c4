// The mail message of a report: the exact bytes of a whole message, SMTP
// transparency of the body, the subject and attachment names kept on their
// header lines and encoded when they hold GBK, the body's transfer encoding,
// and the recipient list and address checks.

#include "exceptions/mail_message.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/base64.h"
#include "base/text.h"

namespace exceptions {
namespace {

using namespace std::string_literals;

constexpr char kClosing[] = "--=_xcjvnxkbhvfkxzhfdbvzldjhfv--\r\n.\r\n";

TMailMessage Message(std::string subject, std::string body) {
    return TMailMessage{"Tue, 2 Jan 2024 10:00:00", "crash@game.example", "dev@game.example",
                        std::move(subject),         std::move(body),      {}};
}

// The text between `from` (its first occurrence) and the next `to`; a
// failure when either is missing.
std::string Between(const std::string& data, const std::string& from, const std::string& to) {
    const size_t start = data.find(from);
    const size_t end = start == std::string::npos ? start : data.find(to, start + from.size());
    if (end == std::string::npos) {
        ADD_FAILURE() << "no \"" << from << "\" ... \"" << to << "\" in:\n" << data;
        return {};
    }
    return data.substr(start + from.size(), end - start - from.size());
}

// The bytes of a header value made of encoded words (one per line); a
// failure for a word that is not "=?GB18030?B?...?=" of at most 75
// characters. `pieces` receives each word's bytes.
std::string DecodeWords(const std::string& value, std::vector<std::string>* pieces = nullptr) {
    const std::string start = "=?GB18030?B?", end = "?=";
    std::string bytes;
    const std::vector<std::string> lines = base::SplitBytes(value, '\n');
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string w = lines[i];
        if (i > 0) {
            EXPECT_EQ(w.substr(0, 1), " ") << value;  // a continuation line
            w.erase(0, 1);
        }
        if (i + 1 < lines.size()) {
            EXPECT_TRUE(w.ends_with('\r')) << value;
            w.pop_back();
        }
        EXPECT_LE(w.size(), 75u) << w;
        EXPECT_TRUE(w.starts_with(start) && w.ends_with(end)) << w;
        const auto piece = base::Base64Decode(w.substr(start.size(), w.size() - 14));
        EXPECT_TRUE(piece.has_value()) << w;
        bytes += piece.value_or("");
        if (pieces != nullptr) {
            pieces->push_back(piece.value_or(""));
        }
    }
    return bytes;
}

TEST(MailMessageTest, WholeMessageWithTwoAttachments) {
    TMailMessage message = Message("Report: Updater", "Hello,\r\nthe report follows.");
    message.attachments = {{"Screenshot.png", "\x89PNG\r\n\x1a\n"s +
                                                  [] {
                                                      std::string counting;
                                                      for (int i = 0; i < 50; ++i) {
                                                          counting += static_cast<char>(i);
                                                      }
                                                      return counting;
                                                  }()},
                           {"updater.log", "line 1\r\nline 2\r\n"}};
    EXPECT_EQ(ComposeMailData(message),
              "Date: Tue, 2 Jan 2024 10:00:00\r\n"
              "From: <crash@game.example>\r\n"
              "Subject: Report: Updater\r\n"
              "To: <dev@game.example>\r\n"
              "Content-Type: multipart/mixed; boundary=\"=_xcjvnxkbhvfkxzhfdbvzldjhfv\";\r\n"
              "MIME-Version: 1.0\r\n"
              "X-Priority: 1\r\n"
              "X-Library: Crashlore 4.5.4\r\n"
              "\r\n"
              "This is a multi-part message in MIME format\r\n"
              "\r\n"
              "--=_xcjvnxkbhvfkxzhfdbvzldjhfv\r\n"
              "Content-Type: text/plain\r\n"
              "Content-Transfer-Encoding: 7bit\r\n"
              "\r\n"
              "Hello,\r\n"
              "the report follows.\r\n"
              "\r\n"
              "--=_xcjvnxkbhvfkxzhfdbvzldjhfv\r\n"
              "Content-Type: image/png;\r\n"
              "        name=\"Screenshot.png\"\r\n"
              "Content-Transfer-Encoding: base64\r\n"
              "Content-Disposition: attachment;\r\n"
              "        filename=\"Screenshot.png\"\r\n"
              "\r\n"
              "iVBORw0KGgoAAQIDBAUGBwgJCgsMDQ4PEBESExQVFhcYGRobHB0eHyAhIiMkJSYnKCkqKywtLi8w\r\n"
              "MQ==\r\n"
              "\r\n"
              "--=_xcjvnxkbhvfkxzhfdbvzldjhfv\r\n"
              "Content-Type: application/octet-stream;\r\n"
              "        name=\"updater.log\"\r\n"
              "Content-Transfer-Encoding: base64\r\n"
              "Content-Disposition: attachment;\r\n"
              "        filename=\"updater.log\"\r\n"
              "\r\n"
              "bGluZSAxDQpsaW5lIDINCg==\r\n"
              "--=_xcjvnxkbhvfkxzhfdbvzldjhfv--\r\n"
              ".\r\n");
}

TEST(MailMessageTest, BodyLinesAreTransparentToSmtp) {
    const struct {
        std::string body;
        std::string sent;
    } cases[] = {
        {".", ".."},
        {"..x", "...x"},
        {".start\r\nnext", "..start\r\nnext"},
        {"a\r\n.\r\nMAIL FROM:<x>", "a\r\n..\r\nMAIL FROM:<x>"},
        {"a.b\r\n x.", "a.b\r\n x."},  // dots elsewhere stay single
        {"a\nb", "a\r\nb"},
        {"a\rb", "a\r\nb"},
        {"a\r\r\nb\n\r", "a\r\n\r\nb\r\n\r\n"},
        {".\n.", "..\r\n.."},
        {"", ""},
    };
    for (const auto& c : cases) {
        const std::string data = ComposeMailData(Message("s", c.body));
        EXPECT_EQ(Between(data, "7bit\r\n\r\n", "\r\n" + std::string(kClosing)), c.sent) << c.body;
        // Only the terminator ends the data, and no line break is bare.
        EXPECT_EQ(data.find("\r\n.\r\n"), data.size() - 5) << c.body;
        for (size_t i = 0; i < data.size(); ++i) {
            EXPECT_EQ(data[i] == '\r', data.substr(i, 2) == "\r\n") << c.body << " at " << i;
            EXPECT_EQ(data[i] == '\n', i > 0 && data[i - 1] == '\r') << c.body << " at " << i;
        }
    }
}

TEST(MailMessageTest, SubjectStaysOnItsHeaderLine) {
    const struct {
        std::string subject;
        std::string header;  // "" when it must be encoded words
    } cases[] = {
        {"Crash in Updater", "Crash in Updater"},
        {"a\r\nBcc: x@y", "a Bcc: x@y"},
        {"a\nb\rc\r\n", "a b c "},
        {"\r\n.\r\n", " . "},
        {std::string(989, 'a'), std::string(989, 'a')},  // "Subject: " and it: 998 bytes
        {std::string(990, 'a'), ""},
    };
    for (const auto& c : cases) {
        const std::string data = ComposeMailData(Message(c.subject, "body"));
        const std::string header = Between(data, "\r\nSubject: ", "\r\nTo: ");
        if (c.header.empty()) {
            EXPECT_EQ(DecodeWords(header), c.subject);
        } else {
            EXPECT_EQ(header, c.header);
        }
        // The eight header lines, none more.
        int headers = 0;
        for (const std::string& line : base::SplitBytes(Between(data, "", "\r\n\r\n"), '\n')) {
            headers += line.starts_with(" ") ? 0 : 1;
        }
        EXPECT_EQ(headers, 8) << c.subject;
    }
}

TEST(MailMessageTest, GbkTextsBecomeEncodedWordsOfWholeCharacters) {
    // "xy" and 40 double-byte characters: a word holds 45 bytes, and the
    // 45th byte would be the first half of a character.
    std::string pairs;
    for (int i = 0; i < 40; ++i) {
        pairs += "\xD6\xD0";
    }
    TMailMessage message = Message("xy" + pairs, "body");
    message.attachments = {{"\xB1\xA8\xB8\xE6.log", "x"}};
    const std::string data = ComposeMailData(message);

    std::vector<std::string> pieces;
    EXPECT_EQ(DecodeWords(Between(data, "\r\nSubject: ", "\r\nTo: "), &pieces), message.subject);
    EXPECT_EQ(pieces, (std::vector<std::string>{"xy" + pairs.substr(0, 42), pairs.substr(42)}));

    EXPECT_EQ(DecodeWords(Between(data, "        name=\"", "\"\r\n")), message.attachments[0].name);
    EXPECT_EQ(DecodeWords(Between(data, "        filename=\"", "\"\r\n")),
              message.attachments[0].name);
    EXPECT_NE(data.find("Content-Type: application/octet-stream;"), std::string::npos);
}

TEST(MailMessageTest, AttachmentTypeAndQuotedName) {
    const struct {
        std::string name;
        std::string type;
        std::string quoted;
    } cases[] = {
        {"shot.PNG", "image/png", "shot.PNG"},
        {"Shot.pNg", "image/png", "Shot.pNg"},
        {"shot.png.log", "application/octet-stream", "shot.png.log"},
        {"png", "application/octet-stream", "png"},
        {"a\"b\\c.log", "application/octet-stream", "a\\\"b\\\\c.log"},
        {"a\r\nb.log", "application/octet-stream", "a b.log"},
    };
    for (const auto& c : cases) {
        TMailMessage message = Message("s", "b");
        message.attachments = {{c.name, "z"}};
        const std::string data = ComposeMailData(message);
        const std::string part =
            Between(data, "--=_xcjvnxkbhvfkxzhfdbvzldjhfv\r\nContent-Type: " + c.type,
                    "\r\n\r\neg==\r\n--");
        EXPECT_EQ(part, ";\r\n        name=\"" + c.quoted +
                            "\"\r\nContent-Transfer-Encoding: base64\r\nContent-Disposition: "
                            "attachment;\r\n        filename=\"" +
                            c.quoted + "\"")
            << c.name;
    }
}

TEST(MailMessageTest, BodyThatIsNotPlainAsciiGoesInBase64) {
    const struct {
        std::string body;
        std::string decoded;  // "" when the body must go as 7bit
    } cases[] = {
        {std::string(998, 'a') + "\r\n" + std::string(998, 'b'), ""},
        {std::string(999, 'a'), std::string(999, 'a')},
        {"\xB1\xA8\n" + std::string(100, 'x') + "\r.",
         "\xB1\xA8\r\n" + std::string(100, 'x') + "\r\n."},
        {"a\0b"s, "a\0b"s},
        {"x\r\n--=_xcjvnxkbhvfkxzhfdbvzldjhfv--", "x\r\n--=_xcjvnxkbhvfkxzhfdbvzldjhfv--"},
    };
    for (const auto& c : cases) {
        const std::string data = ComposeMailData(Message("s", c.body));
        if (c.decoded.empty()) {
            EXPECT_EQ(Between(data, "7bit\r\n\r\n", "\r\n" + std::string(kClosing)), c.body);
            continue;
        }
        const std::string encoded =
            Between(data,
                    "Content-Type: text/plain; charset=GB18030\r\nContent-Transfer-Encoding: "
                    "base64\r\n\r\n",
                    kClosing);
        std::string joined;
        for (const std::string& line : base::SplitBytes(encoded, '\n')) {
            EXPECT_LE(line.size(), 77u);  // 76 and the CR
            joined += line.substr(0, line.size() - (line.ends_with('\r') ? 1 : 0));
        }
        EXPECT_EQ(base::Base64Decode(joined), c.decoded) << c.body.size();
    }
}

TEST(MailMessageTest, RecipientList) {
    const struct {
        std::string list;
        std::vector<std::string> recipients;
    } cases[] = {
        {"a@x, b@y;", {"a@x", "b@y"}},
        {"a,,b", {"a", "b"}},
        {"  ", {}},
        {";a;", {"a"}},
        {"", {}},
        {" one@x ;\ttwo@y\r\n,three@z", {"one@x", "two@y", "three@z"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SplitRecipients(c.list), c.recipients) << c.list;
    }
}

TEST(MailMessageTest, SafeMailAddress) {
    const std::pair<std::string, bool> cases[] = {
        {"dev@game.example", true},
        {"first.last+tag@sub.example", true},
        {"\xD6\xD0@example", true},
        {"", false},
        {"a@x\r\nRCPT TO:<b@y>", false},
        {"a@x\n", false},
        {"a\0@x"s, false},
        {"a\t@x", false},
        {"a\x7F@x", false},
        {"a@x>", false},
        {"<a@x", false},
    };
    for (const auto& [address, safe] : cases) {
        EXPECT_EQ(IsSafeMailAddress(address), safe) << address;
    }
}

}  // namespace
}  // namespace exceptions
