// Mailing a report from a window program: the progress window that follows
// each recipient, and the log text in the body instead of an attachment.

#include "exceptions/win32/mail_sending.h"

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <string>
#include <thread>

#include "framework/graphics.h"
#include "mail_testing.h"

namespace exceptions {
namespace {

TEST(ReportMail, AWindowProgramShowsEachRecipientsStepsWhileMailing) {
    test_support::ScriptedServer server(
        {test::AcceptingSmtp(false, 400), test::AcceptingSmtp(false, 400)});
    TVivavaModuleOptions options("mail", false);
    options.SetDeliveryMode(kDeliverySmtpServer);
    options.SetMailServer("127.0.0.1");
    options.SetMailPort(server.Port());
    options.SetMailRecipients("a@x.test;b@y.test");
    options.SetMailBody("Body");
    options.SetShowMailProgress(true);
    options.SetLogInBody(true);

    // What the progress window says, read while the mail goes out.
    std::atomic<bool> done{false};
    std::set<std::wstring> seen;
    std::thread watcher([&] {
        const std::wstring caption = framework::WideText(options.Texts(53));
        for (int round = 0; round < 500 && !done; ++round) {
            if (HWND window = FindWindowW(L"#32770", caption.c_str())) {
                wchar_t text[256] = L"";
                GetDlgItemTextW(window, 100, text, 256);
                seen.insert(text);
            }
            Sleep(10);
        }
    });
    TReportMail mail;
    mail.options = &options;
    mail.text = "The report.";
    mail.log_name = u"updater.log";
    mail.gui = true;
    const bool delivered = SendReportMail(mail);
    done = true;
    watcher.join();

    EXPECT_TRUE(delivered);
    const std::wstring prefix = framework::WideText(options.Texts(54));
    for (const wchar_t* step : {L" 1/2: ", L" 2/2: "}) {
        EXPECT_EQ(seen.count(prefix + step + framework::WideText(options.Texts(56))), 1u) << step;
    }
    EXPECT_EQ(FindWindowW(L"#32770", framework::WideText(options.Texts(53)).c_str()), nullptr);
    ASSERT_TRUE(server.WaitForFinished(2, 5000));
    const test::MimeMessage message = test::ReadMimeData(server.Received(1)[5]);
    ASSERT_EQ(message.parts.size(), 1u);
    // The line break before the closing boundary is the boundary's own.
    EXPECT_EQ(message.parts[0].body, "Body\r\n\r\n\r\nThe report.");
}

}  // namespace
}  // namespace exceptions
