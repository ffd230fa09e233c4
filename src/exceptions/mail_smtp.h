#pragma once

// Mailing a report over SMTP, to a configured server or straight to the mail
// exchanger of each recipient's domain: one connection and one message per
// recipient, each message naming only its own recipient.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "exceptions/mail_message.h"
#include "exceptions/socket_client.h"

namespace exceptions {

struct TSmtpSettings {
    // Straight to each recipient's mail exchanger instead of `server`.
    bool direct = false;
    std::string sender;
    std::string server;
    uint16_t port = 25;
    // With a user or a password the client logs in (AUTH LOGIN).
    std::string user;
    std::string password;
    // This machine's name for HELO and EHLO.
    std::string local_host;
    int timeout_ms = kSocketTimeoutMs;
    // The host that takes mail for an address; asked only when `direct`.
    // Raises EVivavaSocketError when it cannot be found.
    std::function<std::string(std::string_view address)> mx_host;
};

// The steps shown while mailing; the values are the numbers of their texts.
enum class TSmtpStep {
    kResolving = 55,   // "Resolving MX record..."
    kConnecting = 56,  // "Connecting with SMTP server..."
    kConnected = 57,   // "Connected with SMTP server."
    kSending = 58,     // "Sending message..."
};

struct TSmtpEvents {
    // Recipient numbers count from 1.
    std::function<void(int recipient, int count, TSmtpStep step)> step;
    // The share of the message sent so far, 0 to 100; 0 for each recipient.
    std::function<void(int percent)> percent;
    // Each failure: what failed, with the exchange for a refused command.
    // Neither the password nor the AUTH lines appear in it.
    std::function<void(const std::string& message)> warning;
};

struct TSmtpOutcome {
    std::vector<std::string> delivered;
    // Those that failed and those never tried (after a failed lookup).
    std::vector<std::string> undelivered;
    // The mail exchanger of a recipient could not be found, which ends the
    // road: the road has failed even when some were delivered.
    bool lookup_failed = false;

    bool Succeeded() const { return !lookup_failed && !delivered.empty(); }
};

// Mails `message` (its recipient set for each in turn) to each of
// `recipients`. A recipient whose exchange fails (a refused command, a
// socket error, a time-out, an address that cannot be used in a command)
// is reported and the next one is served; the connection is closed after
// each message without QUIT.
TSmtpOutcome SendBySmtp(const std::vector<std::string>& recipients, TMailMessage message,
                        const TSmtpSettings& settings, const TSmtpEvents& events = {});

// The name for HELO and EHLO: `name` when it is made of letters, digits,
// "-" and "." only, else "localhost".
std::string HeloName(std::string_view name);

}  // namespace exceptions
