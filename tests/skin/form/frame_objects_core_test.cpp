// The timed steps of frame objects: fades of five 20 ms ticks that end on
// their end values, and animations over a strip of frames.

#include "skin/form/core/frame_objects_core.h"

#include <gtest/gtest.h>

#include <vector>

namespace skin {
namespace {

TEST(FrameObjectSteps, AFadeTakesFiveStepsAndTurnsBackMidway) {
    double f = 0;
    int steps = 0;
    while (MorphPending(true, true, f) && steps < 10) {
        f = MorphStep(f, true);
        ++steps;
    }
    EXPECT_EQ(steps, 5);
    EXPECT_EQ(f, 1.0);
    // Left after two steps back: two steps forward again reach 1.
    f = MorphStep(MorphStep(f, false), false);
    EXPECT_DOUBLE_EQ(f, 0.6);
    EXPECT_TRUE(MorphPending(true, false, f));
    f = MorphStep(MorphStep(f, true), true);
    EXPECT_EQ(f, 1.0);
    EXPECT_FALSE(MorphPending(true, true, f));
    EXPECT_FALSE(MorphPending(false, true, 0.5));
    EXPECT_EQ(MorphStep(0, false), 0.0);
}

// The frames shown by successive ticks until the animation stops (at most
// 40 ticks).
std::vector<int> Animate(TAnimationState s) {
    std::vector<int> frames;
    s.active = true;
    for (int tick = 0; tick < 40 && s.active; ++tick) {
        if (AnimationStep(s)) {
            frames.push_back(s.frame);
        }
    }
    if (s.active) {
        frames.push_back(-1);  // still running
    }
    return frames;
}

TEST(FrameObjectSteps, AnimationsStepThroughTheirFramesAndStop) {
    struct TCase {
        const char* name;
        TAnimationState state;
        std::vector<int> frames;
    };
    const TCase cases[] = {
        {"forward to the last frame", {1, 4}, {2, 3, 4}},
        {"back to the first", {4, 4, false, false}, {3, 2, 1}},
        {"no frames at all still stops", {1, 0}, {1}},
        {"a negative count likewise", {1, -3, false, false}, {1}},
        {"cycling runs on", {1, 3, true}, {}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<int> frames = Animate(c.state);
        if (c.state.cycle) {
            ASSERT_EQ(frames.back(), -1);
            EXPECT_EQ(std::vector<int>(frames.begin(), frames.begin() + 5),
                      (std::vector<int>{2, 3, 1, 2, 3}));
        } else {
            EXPECT_EQ(frames, c.frames);
        }
    }
    // An interval of 30 ms shows each frame for two ticks (50 ms).
    TAnimationState slow{1, 3};
    slow.interval = 30;
    slow.active = true;
    std::vector<bool> changed;
    for (int tick = 0; tick < 4; ++tick) {
        changed.push_back(AnimationStep(slow));
    }
    EXPECT_EQ(changed, (std::vector<bool>{false, true, false, true}));
}

}  // namespace
}  // namespace skin
