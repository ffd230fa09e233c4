#include "exceptions/mail_smtp.h"

#include <utility>

namespace exceptions {

namespace {

// Replaces every occurrence of each secret in `text` by "***": a server may
// repeat what it was sent in its reply. Secrets shorter than three bytes are
// left: replacing every such piece would make the text unreadable.
std::string WithoutSecrets(std::string text, const std::vector<std::string>& secrets) {
    for (const std::string& secret : secrets) {
        if (secret.size() < 3) {
            continue;
        }
        for (size_t at = text.find(secret); at != std::string::npos;
             at = text.find(secret, at + 3)) {
            text.replace(at, secret.size(), "***");
        }
    }
    return text;
}

// One recipient's exchange, from the connection to the end of the data.
void Deliver(const std::string& server, const std::string& recipient, const std::string& data,
             const TSmtpSettings& settings, const std::function<void(TSmtpStep)>& step,
             const TSmtpEvents& events) {
    TVivavaClientSMTP smtp(server, settings.timeout_ms, settings.port);
    step(TSmtpStep::kConnecting);
    smtp.Connect();
    step(TSmtpStep::kConnected);
    const std::string helo = HeloName(settings.local_host);
    if (!settings.user.empty() || !settings.password.empty()) {
        smtp.Command("EHLO " + helo, {250});
        smtp.Command("RSET", {250});
        smtp.Command("AUTH LOGIN", {334});
        smtp.Command(Base64(settings.user), {334}, TTranscriptAs::kSecret);
        smtp.Command(Base64(settings.password), {235}, TTranscriptAs::kSecret);
    } else {
        smtp.Command("HELO " + helo, {250});
        smtp.Command("RSET", {250});
    }
    smtp.Command("MAIL FROM:<" + settings.sender + ">", {250});
    step(TSmtpStep::kSending);
    if (events.percent) {
        events.percent(0);
    }
    smtp.Command("RCPT TO:<" + recipient + ">", {250, 251});
    smtp.Command("DATA", {354});
    if (events.percent) {
        smtp.onProgress = [&](size_t position, size_t total) {
            events.percent(static_cast<int>(position * 100 / total));
        };
    }
    smtp.Command(data, {250}, TTranscriptAs::kData);
    smtp.Close();
}

}  // namespace

std::string HeloName(std::string_view name) {
    bool usable = !name.empty() && name.size() <= 255;
    for (char c : name) {
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        usable = usable && (letter || (c >= '0' && c <= '9') || c == '-' || c == '.');
    }
    return usable ? std::string(name) : "localhost";
}

TSmtpOutcome SendBySmtp(const std::vector<std::string>& recipients, TMailMessage message,
                        const TSmtpSettings& settings, const TSmtpEvents& events) {
    TSmtpOutcome outcome;
    const std::vector<std::string> secrets = {settings.password, Base64(settings.password),
                                              Base64(settings.user)};
    const auto warn = [&](const std::string& text) {
        if (events.warning) {
            events.warning(WithoutSecrets(text, secrets));
        }
    };
    const int count = static_cast<int>(recipients.size());
    for (int i = 0; i < count; ++i) {
        const std::string& recipient = recipients[static_cast<size_t>(i)];
        const auto step = [&](TSmtpStep value) {
            if (events.step) {
                events.step(i + 1, count, value);
            }
        };
        if (!IsSafeMailAddress(settings.sender) || !IsSafeMailAddress(recipient)) {
            warn("The mail address \"" +
                 (IsSafeMailAddress(settings.sender) ? recipient : settings.sender) +
                 "\" cannot be used.");
            outcome.undelivered.push_back(recipient);
            continue;
        }
        std::string server = settings.server;
        if (settings.direct) {
            step(TSmtpStep::kResolving);
            try {
                if (!settings.mx_host) {
                    throw EVivavaSocketError("No way to find a mail exchanger.");
                }
                server = settings.mx_host(recipient);
            } catch (const std::exception& error) {
                warn(error.what());
                outcome.lookup_failed = true;
                outcome.undelivered.insert(outcome.undelivered.end(), recipients.begin() + i,
                                           recipients.end());
                return outcome;
            }
        }
        message.recipient = recipient;
        try {
            Deliver(server, recipient, ComposeMailData(message), settings, step, events);
            outcome.delivered.push_back(recipient);
        } catch (const std::exception& error) {
            warn(error.what());
            outcome.undelivered.push_back(recipient);
        }
    }
    return outcome;
}

}  // namespace exceptions
