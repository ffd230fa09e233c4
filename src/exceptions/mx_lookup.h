#pragma once

// The host that takes a mail address's mail: the domain's mail exchanger,
// asked of DNS servers over UDP one after the other.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace exceptions {

// The public recursive server asked after the system's own ones.
inline constexpr const char* kFallbackDnsServer = "8.8.8.8";

struct TMxLookup {
    // Dotted IPv4 addresses, asked in this order; anything else is passed
    // over.
    std::vector<std::string> servers;
    uint16_t port = 53;
    // How long each server has for its answer, all datagrams together.
    int timeout_ms = 30000;
    // The id of each query; empty: two bytes of the system's random bytes.
    std::function<uint16_t()> random_id;
};

// The host that takes mail for `address` (the domain after its first "@",
// the whole text without one; a final "." is left off the result): the
// exchanger of the lowest preference, or the domain itself when the domain
// has no MX record.
//
// Each server gets a fresh socket and a fresh id and is waited for until its
// time is up; datagrams from any other address or port, and replies to some
// other query, are passed over. A server that fails, answers with an error or
// with a broken reply is passed over for the next one. A domain whose
// exchanger is the root name ("null MX") states that it takes no mail: that
// answer ends the lookup at once, since every other server would give it too.
//
// Throws EVivavaSocketError "Cannot resolve the \"<domain>\" MX record." when
// no server gives a host, when the domain states that it takes no mail, and
// for a domain that cannot be asked for.
std::string MxHostOf(std::string_view address, const TMxLookup& lookup);

// The servers to ask: the system's list with each entry trimmed, empty ones,
// "0.0.0.0" and repeats left out, then kFallbackDnsServer, which is always
// there and always last (once).
std::vector<std::string> DnsServerList(const std::vector<std::string>& system_servers);

}  // namespace exceptions
