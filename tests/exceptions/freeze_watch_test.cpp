// The freeze watchdog against a real main window: silence for a whole period
// is reported with the main thread's place and stack while it runs on, a
// window that answers is never reported, and stopping is bounded.

#include "exceptions/win32/freeze_watch.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <vector>

#include "own_debug_data.h"

namespace exceptions {
namespace {

std::atomic<uint64_t> spins{0};

// Keeps the main thread busy without reading its messages.
[[gnu::noinline]] void SpinWithoutPumping(DWORD ms) {
    const ULONGLONG end = GetTickCount64() + ms;
    while (GetTickCount64() < end) {
        ++spins;
    }
}

void PumpFor(DWORD ms, DWORD every_ms) {
    const ULONGLONG end = GetTickCount64() + ms;
    while (GetTickCount64() < end) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageW(&message);
        }
        Sleep(every_ms);
    }
}

bool FailAtOnce(HWND) {
    return false;
}

// What a report carried, kept by the test's sink.
struct TSeen {
    DWORD thread_id;
    std::string text;
    bool spinning = false;  // the place or the stack names SpinWithoutPumping
    bool main_ran = false;  // the main thread went on during the report
    ULONGLONG at = 0;
};

class FreezeWatch : public ::testing::Test {
  protected:
    void SetUp() override {
        WNDCLASSW window_class{};
        window_class.lpfnWndProc = DefWindowProcW;
        window_class.hInstance = GetModuleHandleW(nullptr);
        window_class.lpszClassName = L"FreezeWatchTest";
        RegisterClassW(&window_class);
        main_ = Window(0, nullptr);
        ASSERT_NE(main_, nullptr);
    }
    void TearDown() override {
        for (HWND window : windows_) {
            DestroyWindow(window);
        }
    }

    HWND Window(DWORD ex_style, HWND owner, DWORD style = WS_OVERLAPPEDWINDOW | WS_VISIBLE) {
        const HWND window =
            CreateWindowExW(ex_style, L"FreezeWatchTest", L"main", style, 10, 10, 200, 100, owner,
                            nullptr, GetModuleHandleW(nullptr), nullptr);
        windows_.push_back(window);
        return window;
    }

    // Settings for this thread as the main one, reporting to `seen_`.
    TFreezeWatchSettings Settings(uint32_t period_ms) {
        TVivavaModuleOptions options("", false);
        options.SetFreezeText("frozen here");
        TFreezeWatchSettings settings = TFreezeWatchSettings::ForCurrentThread(options);
        settings.period_ms = period_ms;
        settings.report = [this](const TFrozenReport& report) { Keep(report); };
        return settings;
    }

    void Keep(const TFrozenReport& report) {
        TSeen seen{report.thread_id, report.exception.Message()};
        seen.at = GetTickCount64();
        const TOwnDebugData& debug = DebugData();
        auto spinning = [](const std::optional<TDebugLocation>& at) {
            return at && at->procedure == "SpinWithoutPumping";
        };
        seen.spinning = spinning(debug.At(report.address));
        for (const TDebugLocation& site : debug.CallSites(report.stack, report.stack_size)) {
            seen.spinning = seen.spinning || spinning(site);
        }
        // A spinning main thread must go on while the report runs.
        const uint64_t before = spins;
        for (int i = 0; seen.spinning && i < 200 && spins == before; ++i) {
            Sleep(10);
        }
        seen.main_ran = spins != before;
        const std::lock_guard<std::mutex> guard(lock_);
        seen_.push_back(seen);
    }

    std::vector<TSeen> Seen() {
        const std::lock_guard<std::mutex> guard(lock_);
        return seen_;
    }

    static const TOwnDebugData& DebugData() {
        static const TOwnDebugData data;
        return data;
    }

    HWND main_ = nullptr;
    std::vector<HWND> windows_;
    std::mutex lock_;
    std::vector<TSeen> seen_;
};

TEST_F(FreezeWatch, FindsTheVisibleUnownedApplicationWindow) {
    // Made after the main window, so above it: each must be passed over.
    Window(0, nullptr, WS_OVERLAPPEDWINDOW);  // hidden
    Window(WS_EX_TOOLWINDOW, nullptr);
    Window(0, main_);  // owned
    EXPECT_EQ(FindMainWindow(), main_);
    ShowWindow(main_, SW_HIDE);
    EXPECT_EQ(FindMainWindow(), nullptr);
}

TEST_F(FreezeWatch, AWindowThatAnswersIsNeverReported) {
    StartFreezeWatch(Settings(1000));
    PumpFor(2500, 100);
    EXPECT_TRUE(StopFreezeWatch());
    EXPECT_TRUE(Seen().empty());
}

TEST_F(FreezeWatch, ASilentWindowIsReportedOncePerPeriodWhileMainRunsOn) {
    ASSERT_TRUE(DebugData().Valid());
    StartFreezeWatch(Settings(500));
    PumpFor(300, 20);
    SpinWithoutPumping(2000);
    EXPECT_TRUE(StopFreezeWatch());
    const std::vector<TSeen> seen = Seen();
    EXPECT_GE(seen.size(), 2u);
    EXPECT_LE(seen.size(), 4u);
    for (const TSeen& report : seen) {
        EXPECT_EQ(report.thread_id, GetCurrentThreadId());
        EXPECT_EQ(report.text, "frozen here");
        EXPECT_TRUE(report.spinning);
        EXPECT_TRUE(report.main_ran);
    }
}

TEST_F(FreezeWatch, ProbesThatFailAtOnceDoNotShortenThePeriod) {
    const ULONGLONG start = GetTickCount64();
    TFreezeWatchSettings settings = Settings(600);
    settings.probe = &FailAtOnce;
    TFreezeThread watch(std::move(settings));
    watch.Start();
    for (int i = 0; i < 500 && Seen().empty(); ++i) {
        Sleep(10);
    }
    EXPECT_TRUE(watch.Stop(5000));
    const std::vector<TSeen> seen = Seen();
    ASSERT_FALSE(seen.empty());
    // The tick count moves in steps of up to 16 ms.
    EXPECT_GE(seen.front().at - start, 600u - 16u);
}

TEST_F(FreezeWatch, RunsWhileTheModulesOwnOptionsAskForIt) {
    SetThisModuleName("threads_test.exe");
    TVivavaModuleOptionsEx options("threads_test.exe", true);
    options.SetFreezeSeconds(1);
    options.SetFreezeText("told by the options");
    TFreezeWatchSettings settings = Settings(60000);
    settings.probe = &FailAtOnce;
    FollowFreezeWatch(options, settings);
    CloseHandle(settings.main_thread);
    EXPECT_FALSE(FreezeWatchRunning());
    options.SetFreezeWatch(true);
    EXPECT_TRUE(FreezeWatchRunning());
    for (int i = 0; i < 300 && Seen().empty(); ++i) {
        Sleep(10);
    }
    ASSERT_FALSE(Seen().empty());
    EXPECT_EQ(Seen().front().text, "told by the options");
    options.SetReporterActive(false);
    EXPECT_FALSE(FreezeWatchRunning());
    options.SetReporterActive(true);
    EXPECT_TRUE(FreezeWatchRunning());
    options.SetFreezeWatch(false);
    EXPECT_FALSE(FreezeWatchRunning());
    SetThisModuleName("");
}

TEST_F(FreezeWatch, StoppingDuringABlockedReportIsBounded) {
    const HANDLE entered = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    const HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    TFreezeWatchSettings settings = Settings(100);
    settings.probe = &FailAtOnce;
    settings.report = [&](const TFrozenReport&) {
        SetEvent(entered);
        WaitForSingleObject(release, 10000);
    };
    auto* watch = new TFreezeThread(std::move(settings));
    watch->Start();
    ASSERT_EQ(WaitForSingleObject(entered, 5000), WAIT_OBJECT_0);
    EXPECT_FALSE(watch->Stop(300));
    SetEvent(release);
    EXPECT_EQ(WaitForSingleObject(watch->Handle(), 5000), WAIT_OBJECT_0);
    delete watch;
    CloseHandle(entered);
    CloseHandle(release);
}

}  // namespace
}  // namespace exceptions
