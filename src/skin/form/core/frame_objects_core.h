#pragma once

// The timed steps of frame objects: a button fading between its normal and
// its active look, and an animation stepping through the frames of its
// strip. Portable, so the step tables are checked without a screen.

namespace skin {

// Whether a fading object still has a step to take: towards its active look
// (active and below 1) or back (not active and above 0).
bool MorphPending(bool morphing, bool active, double factor);
// One step of a fade: 0.2 towards 1 (active) or 0 (not active), ending
// exactly on the end value.
double MorphStep(double factor, bool active);

// The state of an animation: frame 1 .. count, the direction, and the time
// waited on the current frame (in the animation timer's 25 ms ticks).
struct TAnimationState {
    int frame = 1;
    int count = 1;  // raised to 1: a strip of no frames still ends
    bool cycle = false;
    bool forward = true;
    int interval = 25;  // ms per frame, raised to 25
    int waited = 25;
    bool active = false;
};
// The animation timer's period.
inline constexpr int kAnimationTick = 25;
// One tick of an active animation; true when the frame changed (repaint).
// Forward it wraps to 1 after the count and, not cycling, stops on the
// count; backward it wraps to the count below 1 and stops on 1.
bool AnimationStep(TAnimationState& state);

}  // namespace skin
