#include "exceptions/mx_lookup.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <optional>
#include <span>

#include "base/text.h"
#include "exceptions/dns_mx.h"
#include "exceptions/socket_client.h"
#include "platform/random.h"
#include "platform/socket.h"

namespace exceptions {

namespace {

using Clock = std::chrono::steady_clock;

// Replies without extensions are at most 512 bytes; a longer datagram is cut
// here and then read as a broken reply.
constexpr size_t kReplyBufferSize = 4096;
// Bounds the datagrams one server's wait takes, besides its time.
constexpr int kMaxDatagramsPerServer = 1000;

// "a.b.c.d" with four decimal parts 0-255 of one to three digits.
std::optional<platform::Ipv4> DottedAddress(std::string_view text) {
    platform::Ipv4 address = 0;
    size_t pos = 0;
    for (int part = 0; part < 4; ++part) {
        if (part > 0) {
            if (pos >= text.size() || text[pos] != '.') {
                return std::nullopt;
            }
            ++pos;
        }
        const size_t start = pos;
        uint32_t value = 0;
        while (pos < text.size() && pos - start < 3 && text[pos] >= '0' && text[pos] <= '9') {
            value = value * 10 + static_cast<uint32_t>(text[pos] - '0');
            ++pos;
        }
        if (pos == start || value > 255) {
            return std::nullopt;
        }
        address = (address << 8) | value;
    }
    if (pos != text.size()) {
        return std::nullopt;
    }
    return address;
}

uint16_t NewId(const TMxLookup& lookup) {
    if (lookup.random_id) {
        return lookup.random_id();
    }
    std::array<uint8_t, 2> bytes{};
    platform::RandomBytes(bytes.data(), bytes.size());
    return static_cast<uint16_t>((bytes[0] << 8) | bytes[1]);
}

// What one server said: a reply that settles the lookup, or nothing (no
// answer in time, an error, a broken reply).
std::optional<TMxReply> AskServer(std::string_view domain, platform::Ipv4 server,
                                  const TMxLookup& lookup) {
    const uint16_t id = NewId(lookup);
    const std::vector<uint8_t> query = MxQuery(domain, id);
    platform::UdpSocket socket = platform::UdpSocket::Open();
    socket.SendTo(server, lookup.port, query.data(), query.size());

    // One deadline for the whole wait: datagrams that are passed over do not
    // give the server more time.
    const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(lookup.timeout_ms, 0));
    std::vector<uint8_t> buffer(kReplyBufferSize);
    for (int datagram = 0; datagram < kMaxDatagramsPerServer; ++datagram) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            return std::nullopt;
        }
        platform::Ipv4 from = 0;
        uint16_t from_port = 0;
        const std::optional<size_t> size = socket.ReceiveFrom(
            buffer.data(), buffer.size(), static_cast<int>(left), &from, &from_port);
        if (!size) {
            return std::nullopt;
        }
        if (from != server || from_port != lookup.port) {
            continue;  // not the server asked
        }
        TMxReply reply = ParseMxReply(std::span<const uint8_t>(buffer.data(), *size), id, domain);
        switch (reply.status) {
            case TMxStatus::kNotOurs:
                continue;  // a late reply to an earlier query, or forged
            case TMxStatus::kFound:
            case TMxStatus::kNoMx:
            case TMxStatus::kNoMail:
                return reply;
            case TMxStatus::kServerError:
            case TMxStatus::kMalformed:
                return std::nullopt;
        }
    }
    return std::nullopt;
}

}  // namespace

std::string MxHostOf(std::string_view address, const TMxLookup& lookup) {
    const std::string domain = MailDomainOf(address);
    const std::string failure = "Cannot resolve the \"" + domain + "\" MX record.";
    try {
        MxQuery(domain, 0);  // only to refuse a domain that cannot be asked for
    } catch (const EDnsError&) {
        throw EVivavaSocketError(failure);
    }

    for (const std::string& server : lookup.servers) {
        const std::optional<platform::Ipv4> server_address = DottedAddress(server);
        if (!server_address) {
            continue;
        }
        std::optional<TMxReply> reply;
        try {
            reply = AskServer(domain, *server_address, lookup);
        } catch (const platform::ESocketError&) {
            continue;  // this server cannot be reached; the next one may
        }
        if (!reply) {
            continue;
        }
        switch (reply->status) {
            case TMxStatus::kFound:
                return reply->host;
            case TMxStatus::kNoMx: {
                std::string host = domain;
                if (!host.empty() && host.back() == '.') {
                    host.pop_back();
                }
                return host;
            }
            default:  // kNoMail: the domain's own word, the same from every server
                throw EVivavaSocketError(failure);
        }
    }
    throw EVivavaSocketError(failure);
}

std::vector<std::string> DnsServerList(const std::vector<std::string>& system_servers) {
    std::vector<std::string> servers;
    for (const std::string& entry : system_servers) {
        std::string server = base::Trim(entry);
        if (server.empty() || server == "0.0.0.0" || server == kFallbackDnsServer ||
            std::find(servers.begin(), servers.end(), server) != servers.end()) {
            continue;
        }
        servers.push_back(std::move(server));
    }
    servers.emplace_back(kFallbackDnsServer);
    return servers;
}

}  // namespace exceptions
