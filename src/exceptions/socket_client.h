#pragma once

// The reporter's own network client for mailing reports: a line-oriented TCP
// client with deadlines and a transcript, the SMTP exchange on top of it, and
// the error both raise (also raised by the mail exchanger lookup).

#include "base/exception.h"

namespace exceptions {

// A network failure while mailing a report: the message says what failed
// (with the system's text for a socket error, or the exchange with the
// server, passwords left out).
class EVivavaSocketError : public base::Exception {
  public:
    using Exception::Exception;
};

}  // namespace exceptions
