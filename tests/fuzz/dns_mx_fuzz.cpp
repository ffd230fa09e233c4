// libFuzzer target: arbitrary bytes as the reply of a DNS server to the mail
// exchanger query, and as a domain to ask for.
//
// Input: a mode byte, then the bytes. Mode bit 0: the reply's question must
// be "example.com"; bit 1: the id expected is the reply's own (otherwise
// 0x5A17), so that the reading goes past the id check. Besides memory errors,
// undefined behaviour and hangs the target checks:
//   - a host found is a host name (labels of letters, digits, "-" and "_",
//     none empty or longer than 63, at most 255 bytes encoded) that a query
//     can be made for, and the same host is found without the question
//     check;
//   - a reason is given for every result but a host or no exchanger, and a
//     server error carries the reply's code;
//   - another id is never taken for this query's reply;
//   - a name read from any place ends after that place and within the bytes;
//   - the bytes as a domain: when a query can be made, its question reads
//     back as that domain, and the query turned into an empty reply is read
//     as the reply to itself, without an exchanger.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "exceptions/dns_mx.h"
#include "fuzz_check.h"

namespace {

using exceptions::EDnsError;
using exceptions::MxQuery;
using exceptions::ParseMxReply;
using exceptions::TMxReply;
using exceptions::TMxStatus;

constexpr uint16_t kFixedId = 0x5A17;

bool IsHostName(const std::string& host) {
    if (host.empty()) {
        return false;
    }
    size_t encoded = 1;
    size_t start = 0;
    while (start <= host.size()) {
        size_t dot = host.find('.', start);
        if (dot == std::string::npos) {
            dot = host.size();
        }
        const size_t length = dot - start;
        if (length == 0 || length > exceptions::kDnsMaxLabel) {
            return false;
        }
        for (size_t i = start; i < dot; ++i) {
            const char c = host[i];
            const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                            (c >= '0' && c <= '9') || c == '-' || c == '_';
            if (!ok) {
                return false;
            }
        }
        encoded += length + 1;
        start = dot + 1;
    }
    return encoded <= exceptions::kDnsMaxName;
}

void CheckReply(std::span<const uint8_t> reply, uint16_t id, bool with_domain) {
    const TMxReply result = ParseMxReply(reply, id, with_domain ? "example.com" : "");
    const bool explained = result.status != TMxStatus::kFound && result.status != TMxStatus::kNoMx;
    FUZZ_CHECK(result.reason.empty() != explained);
    if (result.status == TMxStatus::kFound) {
        FUZZ_CHECK(IsHostName(result.host));
        const std::vector<uint8_t> query = MxQuery(result.host, id);
        FUZZ_CHECK(query.size() <= exceptions::kDnsHeaderSize + exceptions::kDnsMaxName + 4);
        if (with_domain) {
            const TMxReply unchecked = ParseMxReply(reply, id);
            FUZZ_CHECK(unchecked.status == TMxStatus::kFound);
            FUZZ_CHECK(unchecked.host == result.host);
            FUZZ_CHECK(unchecked.preference == result.preference);
        }
    } else {
        FUZZ_CHECK(result.host.empty());
    }
    if (result.status == TMxStatus::kServerError) {
        FUZZ_CHECK(result.rcode != 0 && result.rcode == (reply[3] & 0x0F));
    }
    if (reply.size() >= 2) {
        // An id that is surely not the reply's.
        const uint16_t other = static_cast<uint16_t>((reply[0] << 8 | reply[1]) ^ 0x8001);
        FUZZ_CHECK(ParseMxReply(reply, other).status == TMxStatus::kNotOurs);
    }
}

void CheckNames(std::span<const uint8_t> bytes) {
    // A bounded number of places: the start of every label a reply may
    // hold is among the first few hundred bytes.
    const size_t places = std::min<size_t>(bytes.size(), 600);
    for (size_t at = 0; at < places; ++at) {
        size_t next = 0;
        try {
            const std::string name = exceptions::ReadDnsName(bytes, at, next);
            FUZZ_CHECK(next > at && next <= bytes.size());
            FUZZ_CHECK(name.size() < exceptions::kDnsMaxName);
        } catch (const EDnsError&) {
        }
    }
}

void CheckDomain(std::string_view domain) {
    std::vector<uint8_t> query;
    try {
        query = MxQuery(domain, kFixedId);
    } catch (const EDnsError& error) {
        FUZZ_CHECK(!error.Message().empty());
        return;
    }
    std::string_view plain = domain;
    if (plain.ends_with('.')) {
        plain.remove_suffix(1);
    }
    size_t next = 0;
    FUZZ_CHECK(exceptions::ReadDnsName(query, exceptions::kDnsHeaderSize, next) == plain);
    FUZZ_CHECK(next + 4 == query.size());
    // The server's copy of the query, with no answer.
    query[2] |= 0x80;
    const TMxReply reply = ParseMxReply(query, kFixedId, domain);
    FUZZ_CHECK(reply.status == TMxStatus::kNoMx);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) {
        return 0;
    }
    const uint8_t mode = data[0];
    // A vector of exactly the bytes, so that AddressSanitizer sees any read
    // past them.
    const std::vector<uint8_t> bytes(data + 1, data + size);
    uint16_t id = kFixedId;
    if ((mode & 2) != 0 && bytes.size() >= 2) {
        id = static_cast<uint16_t>(bytes[0] << 8 | bytes[1]);
    }
    CheckReply(bytes, id, (mode & 1) != 0);
    CheckNames(bytes);
    CheckDomain(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    return 0;
}
