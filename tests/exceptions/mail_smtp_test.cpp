// Mailing a report over SMTP against scripted servers on 127.0.0.1: the
// exchange line by line, the message read back, and the recipients that
// fail while the others are still served.

#include "exceptions/mail_smtp.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "mail_testing.h"
#include "support/scripted_server.h"

namespace exceptions {
namespace {

using test_support::Script;
using test_support::ScriptedServer;

using test::AcceptingSmtp;

TMailMessage Report() {
    TMailMessage message;
    message.date = "Thu, 10 Dec 2026 07:00:00 +0100";
    message.sender = "game@publisher.test";
    message.subject = "Crash report";
    message.body = "The updater stopped.\r\n.\r\nA line with a dot.";
    message.attachments = {{"Screenshot.png", std::string("\x89PNG\r\n\x1a\n\0\xff", 10)},
                           {"updater.log", "line 1\r\n.line 2\r\n"}};
    return message;
}

TSmtpSettings Settings(const ScriptedServer& server) {
    TSmtpSettings settings;
    settings.sender = "game@publisher.test";
    settings.server = "127.0.0.1";
    settings.port = server.Port();
    settings.local_host = "player-pc";
    settings.timeout_ms = 2000;
    return settings;
}

struct Recorded {
    std::vector<std::tuple<int, int, TSmtpStep>> steps;
    std::vector<int> percents;
    std::vector<std::string> warnings;

    TSmtpEvents Events() {
        return {[this](int recipient, int count, TSmtpStep step) {
                    steps.emplace_back(recipient, count, step);
                },
                [this](int percent) { percents.push_back(percent); },
                [this](const std::string& message) { warnings.push_back(message); }};
    }
};

TEST(SmtpRoad, SendsOneMessagePerRecipientEachNamingOnlyItsOwn) {
    ScriptedServer server({AcceptingSmtp(false), AcceptingSmtp(false)});
    Recorded recorded;
    const TSmtpOutcome outcome =
        SendBySmtp({"a@x.test", "b@y.test"}, Report(), Settings(server), recorded.Events());
    EXPECT_TRUE(outcome.Succeeded());
    EXPECT_EQ(outcome.delivered, (std::vector<std::string>{"a@x.test", "b@y.test"}));
    EXPECT_TRUE(outcome.undelivered.empty());
    EXPECT_TRUE(recorded.warnings.empty());
    ASSERT_TRUE(server.WaitForFinished(2, 5000));
    EXPECT_EQ(server.Error(), "");

    const char* recipients[] = {"a@x.test", "b@y.test"};
    for (int connection = 0; connection < 2; ++connection) {
        const std::vector<std::string> got = server.Received(connection);
        ASSERT_EQ(got.size(), 7u);
        const std::vector<std::string> commands(got.begin(), got.begin() + 5);
        EXPECT_EQ(commands,
                  (std::vector<std::string>{
                      "HELO player-pc\r\n", "RSET\r\n", "MAIL FROM:<game@publisher.test>\r\n",
                      "RCPT TO:<" + std::string(recipients[connection]) + ">\r\n", "DATA\r\n"}));
        const test::MimeMessage mail = test::ReadMimeData(got[5]);
        EXPECT_TRUE(mail.well_formed);
        EXPECT_EQ(test::HeaderValue(mail.headers, "To"),
                  "<" + std::string(recipients[connection]) + ">");
        EXPECT_EQ(test::HeaderValue(mail.headers, "From"), "<game@publisher.test>");
        EXPECT_EQ(test::HeaderValue(mail.headers, "Date"), Report().date);
        ASSERT_EQ(mail.parts.size(), 3u);
        EXPECT_EQ(mail.parts[0].body, Report().body + "\r\n");
        EXPECT_NE(mail.parts[1].headers.find("image/png"), std::string::npos);
        EXPECT_EQ(mail.parts[1].body, Report().attachments[0].content);
        EXPECT_EQ(mail.parts[2].body, Report().attachments[1].content);
    }
    using S = TSmtpStep;
    EXPECT_EQ(recorded.steps, (std::vector<std::tuple<int, int, S>>{{1, 2, S::kConnecting},
                                                                    {1, 2, S::kConnected},
                                                                    {1, 2, S::kSending},
                                                                    {2, 2, S::kConnecting},
                                                                    {2, 2, S::kConnected},
                                                                    {2, 2, S::kSending}}));
    ASSERT_FALSE(recorded.percents.empty());
    EXPECT_EQ(recorded.percents.front(), 0);
    EXPECT_EQ(recorded.percents.back(), 100);
}

TEST(SmtpRoad, LogsInOnOneLineEachAndNeverShowsThePassword) {
    // Longer than one 76-column line in Base64.
    const std::string password(70, 'p');
    const std::string password64 = Base64(password);
    Script refusing = Script()
                          .Send("220 ready\r\n")
                          .ReadLine()
                          .Send("250 hello\r\n")
                          .ReadLine()
                          .Send("250 reset\r\n")
                          .ReadLine()
                          .Send("334 VXNlcm5hbWU6\r\n")
                          .ReadLine()
                          .Send("334 UGFzc3dvcmQ6\r\n")
                          .ReadLine()
                          .Send("535 not " + password + " nor " + password64 + "\r\n")
                          .WaitForPeerClose(5000);
    ScriptedServer server({AcceptingSmtp(true), refusing});
    TSmtpSettings settings = Settings(server);
    settings.user = "publisher";
    settings.password = password;
    Recorded recorded;
    const TSmtpOutcome outcome =
        SendBySmtp({"a@x.test", "b@y.test"}, Report(), settings, recorded.Events());
    EXPECT_EQ(outcome.delivered, std::vector<std::string>{"a@x.test"});
    EXPECT_EQ(outcome.undelivered, std::vector<std::string>{"b@y.test"});
    ASSERT_TRUE(server.WaitForFinished(2, 5000));
    const std::vector<std::string> got = server.Received(0);
    ASSERT_GE(got.size(), 5u);
    EXPECT_EQ(std::vector<std::string>(got.begin(), got.begin() + 5),
              (std::vector<std::string>{"EHLO player-pc\r\n", "RSET\r\n", "AUTH LOGIN\r\n",
                                        Base64("publisher") + "\r\n", password64 + "\r\n"}));
    ASSERT_EQ(recorded.warnings.size(), 1u);
    const std::string& warning = recorded.warnings[0];
    EXPECT_NE(warning.find("535 not *** nor ***"), std::string::npos) << warning;
    EXPECT_EQ(warning.find(Base64("publisher")), std::string::npos) << warning;
    EXPECT_EQ(warning.find(password.substr(0, 10)), std::string::npos) << warning;
}

TEST(SmtpRoad, ARecipientThatFailsLeavesTheOthersServed) {
    // The first server refuses at its greeting: nothing is sent to it.
    ScriptedServer server(
        {Script().Send("421 too busy\r\n").WaitForPeerClose(5000), AcceptingSmtp(false)});
    Recorded recorded;
    const TSmtpOutcome outcome =
        SendBySmtp({"a@x.test", "b@y.test"}, Report(), Settings(server), recorded.Events());
    EXPECT_TRUE(outcome.Succeeded());
    EXPECT_EQ(outcome.delivered, std::vector<std::string>{"b@y.test"});
    EXPECT_EQ(outcome.undelivered, std::vector<std::string>{"a@x.test"});
    ASSERT_TRUE(server.WaitForFinished(2, 5000));
    EXPECT_EQ(server.Received(0), std::vector<std::string>{""});
    ASSERT_EQ(recorded.warnings.size(), 1u);
    EXPECT_NE(recorded.warnings[0].find("421 too busy"), std::string::npos);
}

TEST(SmtpRoad, AnAddressThatWouldBreakTheExchangeIsNotUsed) {
    ScriptedServer server({});
    TSmtpSettings settings = Settings(server);
    Recorded recorded;
    TSmtpOutcome outcome =
        SendBySmtp({"a@x.test>\r\nRCPT TO:<b@y.test"}, Report(), settings, recorded.Events());
    settings.sender = "me@x.test\r\nDATA";
    const TSmtpOutcome bad_sender = SendBySmtp({"a@x.test"}, Report(), settings, recorded.Events());
    EXPECT_FALSE(outcome.Succeeded());
    EXPECT_FALSE(bad_sender.Succeeded());
    EXPECT_EQ(server.Connections(), 0);
    EXPECT_EQ(recorded.warnings.size(), 2u);
}

TEST(SmtpRoad, DirectlyAFailedLookupEndsTheRoad) {
    ScriptedServer server({AcceptingSmtp(false)});
    TSmtpSettings settings = Settings(server);
    settings.direct = true;
    settings.server = "unused.invalid";
    std::vector<std::string> asked;
    settings.mx_host = [&](std::string_view address) -> std::string {
        asked.emplace_back(address);
        if (address == "b@y.test") {
            throw EVivavaSocketError("Cannot resolve the \"y.test\" MX record.");
        }
        return "127.0.0.1";
    };
    Recorded recorded;
    const TSmtpOutcome outcome =
        SendBySmtp({"a@x.test", "b@y.test", "c@z.test"}, Report(), settings, recorded.Events());
    EXPECT_FALSE(outcome.Succeeded());
    EXPECT_TRUE(outcome.lookup_failed);
    EXPECT_EQ(outcome.delivered, std::vector<std::string>{"a@x.test"});
    EXPECT_EQ(outcome.undelivered, (std::vector<std::string>{"b@y.test", "c@z.test"}));
    EXPECT_EQ(asked, (std::vector<std::string>{"a@x.test", "b@y.test"}));
    EXPECT_EQ(recorded.warnings,
              std::vector<std::string>{"Cannot resolve the \"y.test\" MX record."});
    EXPECT_EQ(std::get<2>(recorded.steps.front()), TSmtpStep::kResolving);
}

}  // namespace
}  // namespace exceptions
