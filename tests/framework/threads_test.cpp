// TThread: Execute on a thread of its own, started at once or later, its
// result, an exception that escapes it, and ending it early.

#include "framework/threads.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <stdexcept>

namespace framework {
namespace {

class TProbeThread : public TThread {
  public:
    // Started at the end of the constructor unless `suspended`: Execute may
    // run only once the object is whole.
    TProbeThread(bool suspended, std::function<int(TProbeThread&)> body) : body_(std::move(body)) {
        if (!suspended) {
            Start();
        }
    }
    ~TProbeThread() override { TerminateAndWait(); }

    std::atomic<int> runs{0};
    std::atomic<DWORD> ranOn{0};
    bool Stopping() const { return Terminated(); }

  protected:
    void Execute() override {
        ++runs;
        ranOn = GetCurrentThreadId();
        SetReturnValue(body_(*this));
    }

  private:
    std::function<int(TProbeThread&)> body_;
};

DWORD ExitCode(const TThread& t) {
    DWORD code = 0;
    GetExitCodeThread(t.Handle(), &code);
    return code;
}

TEST(Threads, ExecuteRunsOnItsOwnThreadAtOnceOrWhenStarted) {
    for (const bool suspended : {false, true}) {
        TProbeThread t(suspended, [](TProbeThread&) { return 7; });
        if (suspended) {
            Sleep(50);
            EXPECT_EQ(t.runs, 0) << "a suspended thread waits for Start";
            t.Start();
        }
        EXPECT_EQ(t.WaitFor(), 7);
        EXPECT_TRUE(t.Finished());
        EXPECT_EQ(t.runs, 1);
        EXPECT_EQ(t.ranOn, t.ThreadID());
        EXPECT_NE(t.ThreadID(), GetCurrentThreadId());
        EXPECT_EQ(ExitCode(t), 7u);
        EXPECT_EQ(t.FatalException(), nullptr);
    }
}

TEST(Threads, AnEscapingExceptionIsKeptAndEndsTheThreadWithCodeOne) {
    TProbeThread t(false, [](TProbeThread&) -> int { throw std::runtime_error("broken"); });
    t.WaitFor();
    ASSERT_NE(t.FatalException(), nullptr);
    try {
        std::rethrow_exception(t.FatalException());
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "broken");
    }
    EXPECT_EQ(ExitCode(t), 1u);
}

TEST(Threads, TerminateEndsALoopAndANeverStartedThreadNeverRuns) {
    {
        TProbeThread t(false, [](TProbeThread& self) {
            // Bounded: ten seconds at most.
            for (int i = 0; i < 1000 && !self.Stopping(); ++i) {
                Sleep(10);
            }
            return self.Stopping() ? 1 : 0;
        });
        Sleep(30);
        t.Terminate();
        EXPECT_EQ(t.WaitFor(), 1);
    }
    std::atomic<int> calls{0};
    delete new TProbeThread(true, [&calls](TProbeThread&) { return ++calls; });
    EXPECT_EQ(calls, 0) << "a thread ended before it was started never runs Execute";
}

}  // namespace
}  // namespace framework
