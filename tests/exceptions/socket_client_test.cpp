// The reporter's SMTP client against scripted servers on 127.0.0.1: the
// replies it takes as complete, the codes it accepts, and the deadlines of
// every wait.

#include "exceptions/socket_client.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/scripted_server.h"

namespace exceptions {
namespace {

using test_support::Script;
using test_support::ScriptedServer;

TEST(SmtpReply, EndsWithItsFirstLineThatDoesNotContinueIt) {
    struct Case {
        const char* buffer;
        bool complete;
        size_t end;  // when complete
        int code;
    };
    const Case cases[] = {
        {"220 ready\r\n", true, 11, 220},
        {"250-one\r\n250-two\r\n250 three\r\n", true, 29, 250},
        {"250-one\r\n250 two\r\n354 early\r\n", true, 18, 250},
        {"250-one\r\n", false, 0, 250},
        {"250 no line end", false, 0, 250},
        {"250 bare\n", true, 9, 250},
        {"250\r\n", true, 5, 250},
        {"xyz\r\n", true, 5, -1},
        {"-250 x\r\n", true, 8, -1},
        {"", false, 0, -1},
    };
    for (const Case& c : cases) {
        size_t end = 0;
        EXPECT_EQ(SmtpReplyComplete(c.buffer, &end), c.complete) << c.buffer;
        if (c.complete) {
            EXPECT_EQ(end, c.end) << c.buffer;
        }
        EXPECT_EQ(SmtpReplyCode(c.buffer), c.code) << c.buffer;
    }
}

// A fresh client for the server, with a short time-out.
TVivavaClientSMTP Client(const ScriptedServer& server, int timeout_ms = 2000) {
    return TVivavaClientSMTP("127.0.0.1", timeout_ms, server.Port());
}

std::string ErrorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const EVivavaSocketError& error) {
        return error.Message();
    }
    return "(no error)";
}

TEST(SmtpClient, SendsEachCommandOnceWithOneLineEndAndTakesAWholeReply) {
    ScriptedServer server({Script()
                               .Send("220 hello\r\n")
                               .ReadLine()
                               .Send("250-mail.test\r\n250-SIZE 100\r\n250 AUTH LOGIN\r\n")
                               .ReadLine()
                               .Send("250 ok\r\n")
                               .ReadLine()
                               .Send("251 forwarded\r\n")
                               .WaitForPeerClose(5000)});
    auto smtp = Client(server);
    smtp.Connect();
    smtp.Command("EHLO me", {250});
    smtp.Command("RSET\r\n", {250});
    smtp.Command("RCPT TO:<a@b>", {250, 251});
    const std::string expected = "Connected to 127.0.0.1 port " + std::to_string(server.Port()) +
                                 "\r\n220 hello\r\nEHLO me\r\n250-mail.test\r\n250-SIZE "
                                 "100\r\n250 AUTH LOGIN\r\nRSET\r\n250 ok\r\nRCPT TO:<a@b>\r\n251 "
                                 "forwarded\r\n";
    EXPECT_EQ(smtp.Transcript(), expected);
    smtp.Close();
    ASSERT_TRUE(server.WaitForFinished(1, 5000));
    EXPECT_EQ(server.Error(), "");
    EXPECT_EQ(server.Received(0),
              (std::vector<std::string>{"EHLO me\r\n", "RSET\r\n", "RCPT TO:<a@b>\r\n", ""}));
}

TEST(SmtpClient, KeepsSecretsAndDataOutOfTheTranscript) {
    ScriptedServer server({Script()
                               .Send("220 hello\r\n")
                               .ReadLine()
                               .Send("334 go\r\n")
                               .ReadThrough("\r\n.\r\n")
                               .Send("250 queued\r\n")
                               .WaitForPeerClose(5000)});
    auto smtp = Client(server);
    smtp.Connect();
    smtp.Command("c2VjcmV0", {334}, TTranscriptAs::kSecret);
    smtp.Command("line\r\n.\r\n", {250}, TTranscriptAs::kData);
    EXPECT_EQ(smtp.Transcript().find("c2VjcmV0"), std::string::npos);
    EXPECT_NE(smtp.Transcript().find("***\r\n334 go\r\n<message of 9 bytes>\r\n250 queued"),
              std::string::npos)
        << smtp.Transcript();
    smtp.Close();
    ASSERT_TRUE(server.WaitForFinished(1, 5000));
    EXPECT_EQ(server.Received(0)[1], "line\r\n.\r\n");
}

// Each failure ends within its deadline with its own message; a reply shown
// in an error is never read as a format.
TEST(SmtpClient, EveryFailureEndsWithItsMessage) {
    struct Case {
        const char* name;
        Script script;
        const char* command;  // null: only the connection
        std::string expected;
    };
    std::vector<Case> cases;
    cases.push_back({"greeting refused", Script().Send("421 busy %s%n%x\r\n").Close(), nullptr,
                     "421 busy %s%n%x"});
    cases.push_back({"reply not a number",
                     Script().Send("220 hi\r\n").ReadLine().Send("xyz\r\n").Close(), "NOOP",
                     "NOOP\r\nxyz\r\n"});
    cases.push_back({"reply refused",
                     Script().Send("220 hi\r\n").ReadLine().Send("550 no %s\r\n").Close(), "NOOP",
                     "NOOP\r\n550 no %s\r\n"});
    cases.push_back(
        {"silence", Script().Send("220 hi\r\n").ReadLine().Pause(3000), "NOOP", "Socket timeout."});
    cases.push_back({"a reply that trickles past the deadline",
                     Script().Send("220 hi\r\n").ReadLine().SendSlowly("250 ok\r\n", 1, 200),
                     "NOOP", "Socket timeout."});
    cases.push_back({"closed without a reply", Script().Send("220 hi\r\n").ReadLine().Close(),
                     "NOOP", "Error into \"recv\": \""});
    for (Case& c : cases) {
        ScriptedServer server({c.script});
        auto smtp = Client(server, 600);
        const std::string message = ErrorOf([&] {
            smtp.Connect();
            smtp.Command(c.command, {250});
        });
        EXPECT_NE(message.find(c.expected), std::string::npos) << c.name << ": " << message;
    }
}

TEST(SmtpClient, ConnectionErrorsCarryTheSystemText) {
    uint16_t closed_port = 0;
    {
        platform::TcpSocket listener = platform::TcpSocket::Listen(0x7f000001, 0);
        closed_port = listener.LocalPort();
    }
    TVivavaClientSMTP refused("127.0.0.1", 2000, closed_port);
    EXPECT_EQ(ErrorOf([&] { refused.Connect(); }),
              "Connection error: \"" + platform::SocketErrorText(platform::kWsaConnRefused) + "\"");
    // A name that cannot name a host fails before any connection is tried.
    TVivavaClientSMTP nowhere("1.2.3", 2000, closed_port);
    EXPECT_EQ(
        ErrorOf([&] { nowhere.Connect(); }),
        "Connection error: \"" + platform::SocketErrorText(platform::kWsaHostNotFound) + "\"");
    EXPECT_FALSE(nowhere.Connected());
}

TEST(SmtpClient, AServerThatStopsTakingDataEndsTheSend) {
    ScriptedServer server({Script().Send("220 hi\r\n").Pause(4000)});
    auto smtp = Client(server, 300);
    smtp.Connect();
    // More than the system buffers of both ends hold.
    const std::string data(32 << 20, 'x');
    size_t progress = 0;
    smtp.onProgress = [&](size_t position, size_t total) {
        EXPECT_EQ(total, data.size());
        progress = position;
    };
    const std::string message = ErrorOf([&] { smtp.SendText(data); });
    EXPECT_EQ(message.rfind("Error into \"send\": \"", 0), 0u) << message;
    EXPECT_LT(progress, data.size());
    EXPECT_EQ(progress % kSendPiece, 0u);
    EXPECT_FALSE(smtp.Connected());
}

TEST(SmtpClient, TheTranscriptKeepsItsStartAndItsLatestPart) {
    Script script;
    script.Send("220 hi\r\n");
    for (int i = 0; i < 40; ++i) {
        script.ReadLine().Send("250 " + std::string(200, static_cast<char>('a' + i % 26)) + "\r\n");
    }
    ScriptedServer server({script.WaitForPeerClose(5000)});
    auto smtp = Client(server);
    smtp.Connect();
    for (int i = 0; i < 40; ++i) {
        smtp.Command("NOOP " + std::to_string(i), {250});
    }
    const std::string& transcript = smtp.Transcript();
    EXPECT_LE(transcript.size(), kTranscriptLimit);
    EXPECT_EQ(transcript.rfind("Connected to 127.0.0.1", 0), 0u);
    EXPECT_NE(transcript.find("...\r\n"), std::string::npos);
    EXPECT_NE(transcript.find("NOOP 39\r\n250 " + std::string(200, 'n') + "\r\n"),
              std::string::npos);
    EXPECT_EQ(transcript.find("NOOP 20\r\n"), std::string::npos);
}

}  // namespace
}  // namespace exceptions
