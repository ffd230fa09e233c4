#pragma once

// The skinned controls' pace clock, moved by the test for its lifetime: the
// pacing cases do not depend on how busy the machine is.

#include <cstdint>

#include "skin/controls/skin_control.h"

namespace skin::test {

class PaceClockGuard {
  public:
    PaceClockGuard() : saved_(TbsSkinControl::PaceClock) {
        now_ = 1'000'000;
        TbsSkinControl::PaceClock = [] { return now_; };
    }
    ~PaceClockGuard() { TbsSkinControl::PaceClock = saved_; }
    PaceClockGuard(const PaceClockGuard&) = delete;
    PaceClockGuard& operator=(const PaceClockGuard&) = delete;
    void Advance(int64_t ms) { now_ += ms; }

  private:
    static inline int64_t now_ = 0;
    int64_t (*saved_)();
};

}  // namespace skin::test
