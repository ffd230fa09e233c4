#pragma once

// Pieces shared by the POSIX and the Windows socket code.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/socket.h"

namespace platform::detail {

// What is left of a wait of timeout_ms that ends at `deadline`, in whole
// milliseconds (0 once the deadline has passed); -1, no limit, when
// timeout_ms is negative.
inline int WaitLeft(int timeout_ms, std::chrono::steady_clock::time_point deadline) {
    if (timeout_ms < 0) {
        return -1;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

#ifndef _WIN32
// The Windows Sockets number for an errno value (posix/socket.cpp).
int WsaFromErrno(int error);
#endif

// Host names that never go to the system resolver: "localhost" in any case,
// and a dotted address of four decimal parts 0-255 (one to three digits each).
// Returns the address for those. A name that is empty or made only of digits
// and dots without being such an address cannot name a host: it raises
// ESocketError 11001 here, so that the system resolvers (which read "1.2.3"
// or "" each their own way) play no part. Returns nothing for every other
// name, which then goes to the resolver.
inline std::optional<Ipv4> ResolveWithoutResolver(const std::string& host) {
    static constexpr char kLocalhost[] = "localhost";
    if (host.size() == sizeof(kLocalhost) - 1) {
        bool same = true;
        for (size_t i = 0; i < host.size() && same; ++i) {
            char c = host[i];
            if (c >= 'A' && c <= 'Z') {
                c = static_cast<char>(c - 'A' + 'a');
            }
            same = c == kLocalhost[i];
        }
        if (same) {
            return Ipv4{0x7f000001};
        }
    }

    bool digits_and_dots = true;
    for (char c : host) {
        if (c != '.' && (c < '0' || c > '9')) {
            digits_and_dots = false;
            break;
        }
    }
    if (host.empty()) {
        throw ESocketError(kWsaHostNotFound);
    }
    if (!digits_and_dots) {
        return std::nullopt;
    }

    Ipv4 address = 0;
    int parts = 0;
    size_t pos = 0;
    while (parts < 4) {
        const size_t start = pos;
        uint32_t value = 0;
        while (pos < host.size() && host[pos] != '.' && pos - start < 3) {
            value = value * 10 + static_cast<uint32_t>(host[pos] - '0');
            ++pos;
        }
        const bool part_ok = pos > start && value <= 255;
        const bool end_ok =
            parts < 3 ? (pos < host.size() && host[pos] == '.') : pos == host.size();
        if (!part_ok || !end_ok) {
            throw ESocketError(kWsaHostNotFound);
        }
        address = (address << 8) | value;
        ++parts;
        ++pos;  // past the dot (or the end, after the last part)
    }
    return address;
}

}  // namespace platform::detail
