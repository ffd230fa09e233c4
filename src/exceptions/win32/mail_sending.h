#pragma once

// Mailing a report: by the user's mail client (with a mailto command when
// that fails), or over SMTP to the configured server or to each recipient's
// mail exchanger, as DeliveryMode says.

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "exceptions/options.h"
#include "exceptions/win32/reporter.h"

namespace exceptions {

// A folder of the report's own in the user's temporary folder: the files
// mailed with a report keep their names there ("Screenshot.png", the log's
// name) while two programs reporting at the same time never touch each
// other's files. It is removed, with what it holds, by the destructor.
class TReportFiles {
  public:
    TReportFiles();
    ~TReportFiles();
    TReportFiles(const TReportFiles&) = delete;
    TReportFiles& operator=(const TReportFiles&) = delete;

    // The path of `name` in the folder, made when first asked for; empty
    // when no folder could be made.
    std::u16string PathOf(std::u16string_view name);
    // Writes `bytes` as `name`; the path, or nothing when it failed.
    std::optional<std::u16string> Write(std::u16string_view name, std::string_view bytes);

  private:
    std::u16string folder_;
    bool tried_ = false;
    std::vector<std::u16string> files_;
};

struct TReportMail {
    const TVivavaModuleOptions* options = nullptr;
    std::string text;          // the text to send (GBK)
    std::string reproduction;  // what the user typed about the error
    std::u16string log_name;   // the log file's name, without folder
    // The screenshot to attach (its box ticked and the capture made).
    std::optional<std::u16string> screenshot;
    TReportFiles* files = nullptr;
    // A window program shows the progress of an SMTP delivery.
    bool gui = false;
    // The action callback: false to skip the sending (BeforeSend).
    std::function<bool(TReportAction)> action;
    // The error callback after a failed delivery: true to try again.
    std::function<bool()> retry;
};

// Sends the report as `mail.options` say; true when it was delivered (to at
// least one recipient). Every failure is recorded as the reporter's warning
// of its road. A retry sends only to those not served yet.
bool SendReportMail(const TReportMail& mail);

}  // namespace exceptions
