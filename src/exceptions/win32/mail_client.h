#pragma once

// Handing a report to the user's own mail program: through the Simple MAPI
// library of the default mail client, or, when that fails, through the
// system's mailto command.
//
// Both record their failures as warnings in the given trace (the reporter
// passes its own) and return false; neither throws.

#include <string>
#include <string_view>
#include <vector>

#include "exceptions/trace.h"

namespace exceptions {

// The warning texts of the mail client road.
inline constexpr char kMapiOpenError[] = "Cannot open the MAPI dll.";
inline constexpr char kMapiFunctionsError[] = "Cannot found the MAPI functions.";
inline constexpr char kMapiLogOnError[] = "Cannot LogOn into the MAPI service.";
inline constexpr char kMapiSendError[] = "Cannot send the MAPI message.";

// Sends the message through the default mail client's Simple MAPI library
// (HKLM "SOFTWARE\Clients\Mail": the default value names the client, its
// "DLLPath" is the library; an absolute path only). When there is no such
// library or it cannot be loaded, the system folder's mapi32.dll is used.
// Logs on with the client's logon dialog allowed, resolves every recipient
// without a dialog, and sends with subject, body and one attachment per file
// of `attachments` that exists. Texts are GBK and reach the library in the
// system's ANSI code page; an attachment whose path that code page cannot
// hold goes by its short path. Empty recipients are left out. Records
// eeEmailMAPIError with one of the texts above on failure. The library is
// logged off and unloaded in every case.
bool SendByMailClient(TReporterTrace& trace, const std::vector<std::string>& recipients,
                      const std::string& subject, const std::string& body,
                      const std::vector<std::u16string>& attachments);

// Starts the system's mailto command (the default value of
// "mailto\shell\open\command" of the classes root, environment variables
// expanded) with every "%1" replaced by `url` (see MailtoUrl: encoded, so
// it is one argument however the command quotes it). Waits until the new
// program is idle (at most 10 s) and 2 s more, then makes its main window,
// when it has one, top-most and maximized. Records eeEmailShellError with
// the system's text for the error when the command cannot be read or
// started.
bool SendByMailto(TReporterTrace& trace, std::string_view url);

}  // namespace exceptions
