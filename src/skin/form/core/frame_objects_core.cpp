#include "skin/form/core/frame_objects_core.h"

#include <algorithm>

namespace skin {

bool MorphPending(bool morphing, bool active, double factor) {
    return morphing && ((active && factor < 1) || (!active && factor > 0));
}

double MorphStep(double factor, bool active) {
    // Counted in fifths, so five steps land exactly on 0 or 1.
    const int fifths = static_cast<int>(factor * 5 + 0.5);
    return std::clamp(fifths + (active ? 1 : -1), 0, 5) / 5.0;
}

bool AnimationStep(TAnimationState& s) {
    const int count = std::max(s.count, 1);
    if (s.waited < std::max(s.interval, kAnimationTick)) {
        s.waited += kAnimationTick;
        return false;
    }
    if (s.forward) {
        s.frame = s.frame + 1 > count ? 1 : s.frame + 1;
        if (!s.cycle && s.frame == count) {
            s.active = false;
        }
    } else {
        s.frame = s.frame - 1 < 1 ? count : s.frame - 1;
        if (s.frame == 1) {
            s.active = false;
        }
    }
    s.waited = kAnimationTick;
    return true;
}

}  // namespace skin
