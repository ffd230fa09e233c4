#include "exceptions/dns_mx.h"

#include <optional>

namespace exceptions {

namespace {

constexpr uint8_t kPointerMark = 0xC0;

bool IsHostNameChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_';
}

char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameLabel(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i])) {
            return false;
        }
    }
    return true;
}

uint16_t Get16(std::span<const uint8_t> bytes, size_t at) {
    return static_cast<uint16_t>(bytes[at] << 8 | bytes[at + 1]);
}

void Put16(std::vector<uint8_t>& bytes, uint16_t value) {
    bytes.push_back(static_cast<uint8_t>(value >> 8));
    bytes.push_back(static_cast<uint8_t>(value));
}

// The labels of a domain to ask for, checked. One final "." (the root) may
// end it.
std::vector<std::string_view> DomainLabels(std::string_view domain) {
    const std::string quoted = "\"" + std::string(domain) + "\"";
    if (domain.ends_with('.')) {
        domain.remove_suffix(1);
    }
    if (domain.empty()) {
        throw EDnsError("Cannot ask for the mail exchanger of " + quoted +
                        ": the domain is empty.");
    }
    std::vector<std::string_view> labels;
    size_t encoded = 1;
    size_t start = 0;
    while (start <= domain.size()) {
        size_t dot = domain.find('.', start);
        if (dot == std::string_view::npos) {
            dot = domain.size();
        }
        const std::string_view label = domain.substr(start, dot - start);
        if (label.empty()) {
            throw EDnsError("Cannot ask for the mail exchanger of " + quoted +
                            ": the domain has an empty part.");
        }
        if (label.size() > kDnsMaxLabel) {
            throw EDnsError("Cannot ask for the mail exchanger of " + quoted +
                            ": a part of the domain is longer than 63 characters.");
        }
        for (char c : label) {
            if (!IsHostNameChar(c)) {
                throw EDnsError("Cannot ask for the mail exchanger of " + quoted +
                                ": the domain holds a character other than letters, digits, "
                                "\"-\" and \"_\".");
            }
        }
        encoded += label.size() + 1;
        if (encoded > kDnsMaxName) {
            throw EDnsError("Cannot ask for the mail exchanger of " + quoted +
                            ": the domain is longer than 255 bytes.");
        }
        labels.push_back(label);
        start = dot + 1;
    }
    return labels;
}

// The labels of the name at `at` in `message`. Every step either moves
// forward over a label inside the message or follows a pointer to an earlier
// place, at most kDnsMaxPointerHops times; the labels together stay within
// kDnsMaxName. So the walk ends, and never reads outside the message.
std::vector<std::string_view> ReadLabels(std::span<const uint8_t> message, size_t at,
                                         size_t& next) {
    std::vector<std::string_view> labels;
    std::optional<size_t> after;
    size_t encoded = 1;
    int hops = 0;
    size_t pos = at;
    for (;;) {
        if (pos >= message.size()) {
            throw EDnsError("A name runs past the end of the reply.");
        }
        const uint8_t length = message[pos];
        if ((length & kPointerMark) == kPointerMark) {
            if (pos + 1 >= message.size()) {
                throw EDnsError("A name runs past the end of the reply.");
            }
            const size_t target =
                static_cast<size_t>(length & ~kPointerMark) << 8 | message[pos + 1];
            if (target >= pos) {
                throw EDnsError("A name points to itself or to a later place of the reply.");
            }
            if (target < kDnsHeaderSize) {
                throw EDnsError("A name points into the header of the reply.");
            }
            if (++hops > kDnsMaxPointerHops) {
                throw EDnsError("A name is made of too many pieces.");
            }
            if (!after) {
                after = pos + 2;
            }
            pos = target;
            continue;
        }
        if ((length & kPointerMark) != 0) {
            throw EDnsError("A name holds a label of an unknown kind.");
        }
        if (length == 0) {
            next = after ? *after : pos + 1;
            return labels;
        }
        if (message.size() - pos - 1 < length) {
            throw EDnsError("A name runs past the end of the reply.");
        }
        encoded += length + 1u;
        if (encoded > kDnsMaxName) {
            throw EDnsError("A name is longer than 255 bytes.");
        }
        labels.emplace_back(reinterpret_cast<const char*>(message.data()) + pos + 1, length);
        pos += 1u + length;
    }
}

std::string Dotted(const std::vector<std::string_view>& labels) {
    std::string text;
    for (std::string_view label : labels) {
        if (!text.empty()) {
            text += '.';
        }
        text += label;
    }
    return text;
}

TMxReply Outcome(TMxStatus status, std::string reason) {
    TMxReply reply;
    reply.status = status;
    reply.reason = std::move(reason);
    return reply;
}

}  // namespace

std::string MailDomainOf(std::string_view address) {
    const size_t at = address.find('@');
    return std::string(at == std::string_view::npos ? address : address.substr(at + 1));
}

std::vector<uint8_t> MxQuery(std::string_view domain, uint16_t id) {
    const std::vector<std::string_view> labels = DomainLabels(domain);
    std::vector<uint8_t> query;
    query.reserve(kDnsHeaderSize + kDnsMaxName + 4);
    Put16(query, id);
    Put16(query, 0x0100);  // a standard query, recursion desired
    Put16(query, 1);       // one question
    Put16(query, 0);       // no answers,
    Put16(query, 0);       // authority records
    Put16(query, 0);       // or additional records
    for (std::string_view label : labels) {
        query.push_back(static_cast<uint8_t>(label.size()));
        query.insert(query.end(), label.begin(), label.end());
    }
    query.push_back(0);
    Put16(query, kDnsTypeMx);
    Put16(query, kDnsClassIn);
    return query;
}

std::string ReadDnsName(std::span<const uint8_t> message, size_t at, size_t& next) {
    return Dotted(ReadLabels(message, at, next));
}

TMxReply ParseMxReply(std::span<const uint8_t> reply, uint16_t id, std::string_view domain) {
    if (reply.size() < 2 || Get16(reply, 0) != id) {
        return Outcome(TMxStatus::kNotOurs, "The reply does not carry the id of the query.");
    }
    if (reply.size() < kDnsHeaderSize) {
        return Outcome(TMxStatus::kMalformed, "The reply is shorter than its header.");
    }
    const uint16_t flags = Get16(reply, 2);
    if ((flags & 0x8000) == 0) {
        return Outcome(TMxStatus::kNotOurs, "The message is a query, not a reply.");
    }
    if ((flags >> 11 & 0x0F) != 0) {
        return Outcome(TMxStatus::kNotOurs, "The reply is not one to a standard query.");
    }
    if ((flags & 0x0200) != 0) {
        return Outcome(TMxStatus::kMalformed, "The reply was cut short.");
    }
    const uint8_t rcode = static_cast<uint8_t>(flags & 0x0F);
    if (rcode != 0) {
        TMxReply failed = Outcome(
            TMxStatus::kServerError,
            rcode == 3 ? "The server knows no such domain."
                       : "The server could not answer (reply code " + std::to_string(rcode) + ").");
        failed.rcode = rcode;
        return failed;
    }
    const uint16_t questions = Get16(reply, 4);
    const uint16_t answers = Get16(reply, 6);

    std::vector<std::string_view> wanted;
    if (!domain.empty()) {
        try {
            wanted = DomainLabels(domain);
        } catch (const EDnsError& error) {
            return Outcome(TMxStatus::kNotOurs, error.Message());
        }
        if (questions != 1) {
            return Outcome(TMxStatus::kNotOurs, "The reply does not repeat the one question.");
        }
    }

    size_t pos = kDnsHeaderSize;
    try {
        for (uint32_t q = 0; q < questions; ++q) {
            const std::vector<std::string_view> name = ReadLabels(reply, pos, pos);
            if (reply.size() - pos < 4) {
                return Outcome(TMxStatus::kMalformed, "A question runs past the end of the reply.");
            }
            if (!wanted.empty()) {
                bool same = name.size() == wanted.size() && Get16(reply, pos) == kDnsTypeMx &&
                            Get16(reply, pos + 2) == kDnsClassIn;
                for (size_t i = 0; same && i < name.size(); ++i) {
                    same = SameLabel(name[i], wanted[i]);
                }
                if (!same) {
                    return Outcome(TMxStatus::kNotOurs,
                                   "The reply answers another question than the query's.");
                }
            }
            pos += 4;
        }

        std::optional<TMxReply> best;
        for (uint32_t a = 0; a < answers; ++a) {
            ReadLabels(reply, pos, pos);
            if (reply.size() - pos < 10) {
                return Outcome(TMxStatus::kMalformed, "An answer runs past the end of the reply.");
            }
            const uint16_t type = Get16(reply, pos);
            const uint16_t klass = Get16(reply, pos + 2);
            const size_t data = pos + 10;
            const size_t data_length = Get16(reply, pos + 8);
            if (reply.size() - data < data_length) {
                return Outcome(TMxStatus::kMalformed,
                               "The data of an answer runs past the end of the reply.");
            }
            pos = data + data_length;
            if (type != kDnsTypeMx || klass != kDnsClassIn) {
                continue;
            }
            if (data_length < 3) {
                return Outcome(TMxStatus::kMalformed, "A mail exchanger answer is too short.");
            }
            const uint16_t preference = Get16(reply, data);
            size_t end = 0;
            const std::vector<std::string_view> exchange = ReadLabels(reply, data + 2, end);
            if (end != pos) {
                return Outcome(TMxStatus::kMalformed,
                               "The name of a mail exchanger does not fill its answer.");
            }
            for (std::string_view label : exchange) {
                for (char c : label) {
                    if (!IsHostNameChar(c)) {
                        return Outcome(TMxStatus::kMalformed,
                                       "The name of a mail exchanger is not a host name.");
                    }
                }
            }
            if (!best || preference < best->preference) {
                best = TMxReply{};
                best->preference = preference;
                best->host = Dotted(exchange);
                if (exchange.empty()) {
                    best->status = TMxStatus::kNoMail;
                    best->reason = "The domain takes no mail.";
                } else {
                    best->status = TMxStatus::kFound;
                }
            }
        }
        if (!best) {
            TMxReply none;
            none.status = TMxStatus::kNoMx;
            return none;
        }
        if (best->status == TMxStatus::kNoMail) {
            best->preference = 0;
        }
        return *best;
    } catch (const EDnsError& error) {
        return Outcome(TMxStatus::kMalformed, error.Message());
    }
}

}  // namespace exceptions
