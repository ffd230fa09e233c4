#pragma once

// The DNS servers the system is set to use, for the mail exchanger lookup.

#include <string>
#include <vector>

namespace exceptions {

// The system's DNS servers as it names them (dotted IPv4 addresses, in its
// order), from the network parameters of the IP helper library. Empty when
// the library or its function is missing or the call fails; the caller
// cleans the list (DnsServerList).
std::vector<std::string> SystemDnsServers();

}  // namespace exceptions
