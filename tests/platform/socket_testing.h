#pragma once

// What the socket tests share.

#include <gtest/gtest.h>

#include "platform/socket.h"

namespace platform::test {

inline constexpr Ipv4 kLoopback = 0x7f000001;
// Generous bound for any single wait in these tests; only reached when
// something is broken.
inline constexpr int kWaitMs = 10000;

// The code of the ESocketError that f raises; 0 (and a test failure) when it
// raises none.
template <typename F>
int ErrorCode(F&& f) {
    try {
        f();
    } catch (const ESocketError& e) {
        return e.Code();
    }
    ADD_FAILURE() << "no ESocketError raised";
    return 0;
}

}  // namespace platform::test
