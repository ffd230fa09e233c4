// The system's DNS servers, read through the IP helper library, and the list
// the mail exchanger lookup makes of them. The machine's own servers are
// whatever they are: only the form of the lists is checked.

#include "exceptions/win32/dns_servers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <string>
#include <vector>

#include "exceptions/mx_lookup.h"

namespace exceptions {
namespace {

bool IsDottedAddressText(const std::string& text) {
    // At most "255.255.255.255": the system's field holds 15 characters.
    return !text.empty() && text.size() <= 15 && std::all_of(text.begin(), text.end(), [](char c) {
        return c == '.' || (c >= '0' && c <= '9');
    }) && std::count(text.begin(), text.end(), '.') == 3;
}

TEST(SystemDnsServersTest, TheSystemsListAndTheListAsked) {
    const std::vector<std::string> system = SystemDnsServers();
    for (const std::string& server : system) {
        EXPECT_TRUE(IsDottedAddressText(server)) << "'" << server << "'";
    }
    EXPECT_EQ(SystemDnsServers(), system) << "a second reading differs";

    const std::vector<std::string> asked = DnsServerList(system);
    ASSERT_FALSE(asked.empty());
    EXPECT_EQ(asked.back(), kFallbackDnsServer);
    for (const std::string& server : asked) {
        EXPECT_TRUE(IsDottedAddressText(server)) << "'" << server << "'";
        EXPECT_NE(server, "0.0.0.0");
        EXPECT_EQ(std::count(asked.begin(), asked.end(), server), 1) << server;
    }
    // Every usable server of the system is asked, in the system's order.
    std::vector<std::string> usable;
    for (const std::string& server : system) {
        if (server != "0.0.0.0" && server != kFallbackDnsServer &&
            std::find(usable.begin(), usable.end(), server) == usable.end()) {
            usable.push_back(server);
        }
    }
    EXPECT_EQ(std::vector<std::string>(asked.begin(), asked.end() - 1), usable);
    std::cout << "system DNS servers: " << ::testing::PrintToString(system) << "\n";
}

}  // namespace
}  // namespace exceptions
