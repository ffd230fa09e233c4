#pragma once

// The mail message of an error report as the reporter's own mail client sends
// it: the recipients of the MailRecipients option and the data of one message
// (headers, a text part and the attachments in Base64), ready for the DATA
// command. Pure functions on bytes; texts are 8-bit GBK.
//
// The message is safe to send whatever the texts hold: every line that
// begins with "." gets one more "." (a line "." would otherwise end the data
// and make the rest SMTP commands); a line break in the subject or an
// attachment name cannot start a header; 8-bit texts are declared, as
// GB18030, and sent in Base64 so that no server cuts or changes them.
//
// The sender and the recipient are put in as they are: the caller refuses
// unsafe ones with IsSafeMailAddress before composing, since the same
// addresses go into its MAIL FROM and RCPT TO commands.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "base/base64.h"

namespace exceptions {

// Standard Base64; line_length 0 for one line (AUTH LOGIN), 76 for the lines
// of a message part, each line then ending with CR LF.
using base::Base64;

// The recipients of MailRecipients: split at "," and ";", each trimmed;
// empty ones left out (an empty recipient would only give a pointless
// "RCPT TO:<>").
std::vector<std::string> SplitRecipients(std::string_view list);

// Whether `address` may go into a header or an SMTP command: not empty, no
// CR, LF, NUL, other control characters (DEL too), "<" or ">".
bool IsSafeMailAddress(std::string_view address);

struct TMailAttachment {
    std::string name;     // the file name without folder (GBK)
    std::string content;  // the file's bytes
};

struct TMailMessage {
    std::string date;       // "Date: " value, already formatted by the caller
    std::string sender;     // checked by the caller (IsSafeMailAddress)
    std::string recipient;  // the one recipient of this message, checked likewise
    std::string subject;    // GBK
    std::string body;       // GBK
    std::vector<TMailAttachment> attachments;
};

// The DATA of the message: headers, MIME parts and the closing boundary
// line, every line ending in CR LF, dot-stuffed, followed by the terminating
// ".\r\n" - ready to be sent after the server's 354.
//
// The subject and the attachment names: a line break becomes a blank; a text
// with 8-bit bytes (or a subject too long for one header line) becomes
// "=?GB18030?B?...?=" encoded words of at most 75 characters, cut between
// whole characters, one per line. The body: bare CR and bare LF become CR LF;
// a body of 7-bit ASCII (no NUL) whose lines hold at most 998 bytes and
// that does not hold the boundary goes as "7bit" text, any other one as
// "charset=GB18030" in Base64 lines of 76. The attachments go in Base64 lines
// of 76, as "image/png" when the name ends with ".png" in any case.
std::string ComposeMailData(const TMailMessage& message);

}  // namespace exceptions
