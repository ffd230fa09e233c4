#pragma once

// Dispatching the application's messages in Windows tests, for a bounded
// time.

#include <windows.h>

#include <chrono>
#include <functional>

#include "framework/forms.h"

namespace test_support {

// Dispatches messages until `done` holds (checked every 5 ms), for at most
// `ms` milliseconds; returns `done()`.
inline bool PumpUntil(const std::function<bool()>& done, int ms = 3000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
        framework::Application().ProcessMessages();
        if (done()) {
            return true;
        }
        Sleep(5);
    }
    return done();
}

// Dispatches messages for `ms` milliseconds.
inline void Pump(int ms) {
    PumpUntil([] { return false; }, ms);
}

}  // namespace test_support
