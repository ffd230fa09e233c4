#include "exceptions/win32/mail_sending.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <utility>

#include "base/text.h"
#include "exceptions/mail_message.h"
#include "exceptions/mail_smtp.h"
#include "exceptions/mailto.h"
#include "exceptions/mx_lookup.h"
#include "exceptions/trace.h"
#include "exceptions/win32/dns_servers.h"
#include "exceptions/win32/mail_client.h"
#include "exceptions/win32/report_dialog.h"
#include "exceptions/win32/reporter_internal.h"
#include "exceptions/win32/screenshot.h"
#include "exceptions/win32/system_info.h"
#include "platform/file_stream.h"

namespace exceptions {

namespace {

// How long the sender waits for the progress window to take the focus: a
// window that cannot get it (another program keeps the foreground) must
// not hold the report.
constexpr int kFocusWaitMs = 2000;
// A callback that keeps asking to try again gets a few rounds.
constexpr int kMaxSendRounds = 10;

// The user's temporary folder with its final "\"; empty when the system
// names none.
std::u16string TempFolder() {
    std::wstring folder(MAX_PATH + 1, L'\0');
    // The size asked for may change between the calls; two rounds suffice
    // unless the folder keeps growing, which ends as no folder.
    for (int round = 0; round < 3; ++round) {
        const DWORD length = GetTempPathW(static_cast<DWORD>(folder.size()), folder.data());
        if (length == 0) {
            return {};
        }
        if (length < folder.size()) {
            folder.resize(length);
            if (folder.back() != L'\\' && folder.back() != L'/') {
                folder += L'\\';
            }
            return std::u16string(folder.begin(), folder.end());
        }
        folder.assign(length, L'\0');
    }
    return {};
}

const wchar_t* Wide(const std::u16string& text) {
    return reinterpret_cast<const wchar_t*>(text.c_str());
}

bool FileExists(const std::u16string& path) {
    const DWORD attributes = GetFileAttributesW(Wide(path));
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::string LocalHostName() {
    char name[256];
    DWORD size = sizeof name;
    if (GetComputerNameExA(ComputerNameDnsHostname, name, &size)) {
        return std::string(name, size);
    }
    return {};
}

std::string HostOfMail(std::string_view address) {
    TMxLookup lookup;
    lookup.servers = DnsServerList(SystemDnsServers());
    return MxHostOf(address, lookup);
}

void SmtpWarning(const std::string& message) {
    detail::Trace().Warning(TInternalError::eeEmailSMTPError,
                            HandlerWarningMessage("SMTP", &message));
}

// One delivery over SMTP to `recipients`; those not served stay in it.
bool SendOverSmtp(const TReportMail& mail, const TMailMessage& message,
                  std::vector<std::string>& recipients) {
    const TVivavaModuleOptions& options = *mail.options;
    TSmtpSettings settings;
    settings.direct = options.DeliveryMode() == kDeliverySmtpDirect;
    settings.sender = options.MailSender();
    settings.server = options.MailServer();
    settings.port = options.MailPort();
    settings.user = options.MailUser();
    settings.password = options.MailPassword();
    settings.local_host = LocalHostName();
    settings.mx_host = HostOfMail;

    std::unique_ptr<TMailProgressWindow> progress;
    if (options.ShowMailProgress() && mail.gui) {
        progress = std::make_unique<TMailProgressWindow>(options);
        progress->WaitForFocus(kFocusWaitMs);
    }
    TSmtpEvents events;
    events.warning = SmtpWarning;
    if (progress) {
        events.step = [&](int recipient, int count, TSmtpStep step) {
            progress->ShowStep(recipient, count, options.Texts(static_cast<int>(step)));
        };
        events.percent = [&](int percent) { progress->ShowPercent(percent); };
    }
    const TSmtpOutcome outcome = SendBySmtp(recipients, message, settings, events);
    recipients = outcome.undelivered;
    return outcome.Succeeded();
}

bool SendByClientOrMailto(const TReportMail& mail, const std::string& body,
                          const std::vector<std::string>& recipients,
                          const std::vector<std::u16string>& attachments) {
    const TVivavaModuleOptions& options = *mail.options;
    if (SendByMailClient(detail::Trace(), recipients, options.MailSubject(), body, attachments)) {
        return true;
    }
    std::string list;
    for (const std::string& recipient : recipients) {
        list += (list.empty() ? "" : ",") + recipient;
    }
    return SendByMailto(detail::Trace(), MailtoUrl(list, options.MailSubject(), options.MailBody(),
                                                   mail.text, mail.reproduction));
}

}  // namespace

TReportFiles::TReportFiles() = default;

TReportFiles::~TReportFiles() {
    for (const std::u16string& file : files_) {
        DeleteFileW(Wide(file));
    }
    if (!folder_.empty()) {
        RemoveDirectoryW(Wide(folder_));
    }
}

std::u16string TReportFiles::PathOf(std::u16string_view name) {
    if (!tried_) {
        tried_ = true;
        static std::atomic<unsigned> counter{0};
        const std::u16string temp = TempFolder();
        for (int attempt = 0; attempt < 100 && !temp.empty(); ++attempt) {
            const std::string unique = "Crashlore-" + std::to_string(GetCurrentProcessId()) + "-" +
                                       std::to_string(counter.fetch_add(1)) + "-" +
                                       std::to_string(GetTickCount());
            const std::u16string folder = temp + std::u16string(unique.begin(), unique.end());
            if (CreateDirectoryW(Wide(folder), nullptr)) {
                folder_ = folder + u"\\";
                break;
            }
            if (GetLastError() != ERROR_ALREADY_EXISTS) {
                break;
            }
        }
    }
    if (folder_.empty()) {
        return {};
    }
    std::u16string path = folder_ + std::u16string(name);
    if (std::find(files_.begin(), files_.end(), path) == files_.end()) {
        files_.push_back(path);
    }
    return path;
}

std::optional<std::u16string> TReportFiles::Write(std::u16string_view name,
                                                  std::string_view bytes) {
    const std::u16string path = PathOf(name);
    if (path.empty()) {
        return std::nullopt;
    }
    try {
        platform::WriteFileAtomically(path, bytes);
    } catch (const std::exception&) {
        return std::nullopt;
    }
    return path;
}

bool SendReportMail(const TReportMail& mail) {
    const TVivavaModuleOptions& options = *mail.options;
    detail::Trace().ClearLastError();
    detail::Trace().Redact(options.MailPassword());
    detail::Trace().Redact(Base64(options.MailPassword()));

    std::string body = options.MailBody();
    if (options.LogInBody()) {
        body += "\r\n\r\n\r\n" + mail.text;
    }
    // The attachments: a copy of the log text, then the screenshot.
    std::vector<std::u16string> files;
    TMailMessage message;
    if (!options.LogInBody() && !mail.log_name.empty()) {
        if (options.DeliveryMode() == kDeliveryMailClient && mail.files != nullptr) {
            if (const auto copy = mail.files->Write(mail.log_name, mail.text)) {
                files.push_back(*copy);
            }
        }
        message.attachments.push_back({base::Utf16ToGbkForDisplay(mail.log_name), mail.text});
    }
    if (mail.screenshot && FileExists(*mail.screenshot)) {
        files.push_back(*mail.screenshot);
        try {
            message.attachments.push_back(
                {base::Utf16ToGbkForDisplay(std::u16string(kScreenshotFileName)),
                 platform::ReadWholeFile(*mail.screenshot)});
        } catch (const std::exception& error) {
            detail::Trace().Line(std::string("Screenshot not attached: ") + error.what());
        }
    }
    if (mail.action && !mail.action(TReportAction::BeforeSend)) {
        return false;
    }

    message.date = LogDateText(NowLogTime());
    message.sender = options.MailSender();
    message.subject = options.MailSubject();
    message.body = body;
    std::vector<std::string> recipients = SplitRecipients(options.MailRecipients());
    bool delivered = false;
    for (int round = 0; round < kMaxSendRounds; ++round) {
        if (options.DeliveryMode() == kDeliverySmtpServer ||
            options.DeliveryMode() == kDeliverySmtpDirect) {
            delivered = SendOverSmtp(mail, message, recipients) || delivered;
        } else {
            delivered = SendByClientOrMailto(mail, body, recipients, files);
        }
        if (delivered || !mail.retry || !mail.retry()) {
            break;
        }
    }
    if (mail.action) {
        mail.action(TReportAction::AfterSend);
    }
    return delivered;
}

}  // namespace exceptions
