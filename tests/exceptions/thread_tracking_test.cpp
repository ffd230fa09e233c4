// Thread tracking: every road that makes a thread leaves a record with the
// creator's routine and stack, every road that ends one removes it, and the
// records can come and go while threads are made.

#include "exceptions/win32/thread_tracking.h"

#include <gtest/gtest.h>
#include <process.h>

#include <atomic>
#include <cerrno>
#include <functional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "framework/threads.h"
#include "own_debug_data.h"

namespace exceptions {
namespace {

using TBeginThreadRoutine = unsigned(__stdcall*)(void*);

constexpr char kThisFile[] = "tests/exceptions/thread_tracking_test.cpp";

const TOwnDebugData& OwnDebugData() {
    static const TOwnDebugData data;
    return data;
}

class ThreadTracking : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { InstallThreadTracking(); }
    static void TearDownTestSuite() { UninstallThreadTracking(); }
    void SetUp() override {
        SetThreadTrackingActive(true);
        ClearThreadRecords();
    }
    void TearDown() override {
        SetEscapedExceptionSink(nullptr);
        ClearThreadRecords();
    }
};

// Holds the threads of a test until it opens.
class Gate {
  public:
    Gate() : event_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~Gate() { CloseHandle(event_); }
    void Open() { SetEvent(event_); }
    void Wait() { WaitForSingleObject(event_, 10000); }

  private:
    HANDLE event_;
};

DWORD WINAPI WaitAtGate(LPVOID gate) {
    static_cast<Gate*>(gate)->Wait();
    return 7;
}

unsigned __stdcall WaitAtGateEx(void* gate) {
    static_cast<Gate*>(gate)->Wait();
    return 8;
}

class GateThread : public framework::TThread {
  public:
    explicit GateThread(Gate& gate) : gate_(gate) {}
    ~GateThread() override { TerminateAndWait(); }

  protected:
    void Execute() override { gate_.Wait(); }

  private:
    Gate& gate_;
};

// A thread made by one road, and what its record must hold.
struct TMade {
    DWORD id = 0;
    uint32_t line = 0;  // of the call that started it; 0: see `procedure`
    const char* procedure = nullptr;
    void* start = nullptr;  // null: any
    void* parameter = nullptr;
    framework::TThread* object = nullptr;
    std::function<void()> join;  // waits for the end
};

void* Address(auto* procedure) {
    return reinterpret_cast<void*>(procedure);
}

std::function<void()> Joins(HANDLE handle) {
    return [handle] {
        EXPECT_EQ(WaitForSingleObject(handle, 10000), WAIT_OBJECT_0);
        CloseHandle(handle);
    };
}

// The record must hold what the creator asked for.
TMade Expecting(void* start, void* parameter) {
    TMade made;
    made.start = start;
    made.parameter = parameter;
    return made;
}

[[gnu::noinline]] TMade ByCreateThread(Gate& gate) {
    TMade made = Expecting(Address(&WaitAtGate), &gate);
    made.line = __LINE__ + 1;
    made.join = Joins(CreateThread(nullptr, 0, &WaitAtGate, &gate, 0, &made.id));
    return made;
}

// Made suspended, resumed through a duplicate of its handle: the record is
// found by thread id and the snapshot shows the resuming call.
[[gnu::noinline]] TMade ByCreateThreadSuspended(Gate& gate) {
    TMade made = Expecting(Address(&WaitAtGate), &gate);
    const HANDLE thread = CreateThread(nullptr, 0, &WaitAtGate, &gate, CREATE_SUSPENDED, &made.id);
    HANDLE duplicate = nullptr;
    DuplicateHandle(GetCurrentProcess(), thread, GetCurrentProcess(), &duplicate, 0, FALSE,
                    DUPLICATE_SAME_ACCESS);
    EXPECT_EQ(WaitForSingleObject(thread, 50), static_cast<DWORD>(WAIT_TIMEOUT));
    made.line = __LINE__ + 1;
    EXPECT_EQ(ResumeThread(duplicate), 1u);
    CloseHandle(duplicate);
    made.join = Joins(thread);
    return made;
}

[[gnu::noinline]] TMade ByBeginThreadEx(Gate& gate) {
    TMade made = Expecting(Address(&WaitAtGateEx), &gate);
    made.line = __LINE__ + 1;
    const uintptr_t thread = _beginthreadex(nullptr, 0, &WaitAtGateEx, &gate, 0, nullptr);
    made.id = GetThreadId(reinterpret_cast<HANDLE>(thread));
    made.join = Joins(reinterpret_cast<HANDLE>(thread));
    return made;
}

// The line of the constructor's call belongs to the library's inlined
// code; the creating procedure is this one.
[[gnu::noinline]] TMade ByStdThread(Gate& gate) {
    auto id = std::make_shared<std::atomic<DWORD>>(0);
    auto thread = std::make_shared<std::thread>([&gate, id] {
        *id = GetCurrentThreadId();
        gate.Wait();
    });
    for (int i = 0; i < 1000 && *id == 0; ++i) {
        Sleep(5);
    }
    TMade made;
    made.procedure = "ByStdThread";
    made.id = *id;
    made.join = [thread] { thread->join(); };
    return made;
}

[[gnu::noinline]] TMade ByTThread(Gate& gate) {
    auto thread = std::make_shared<GateThread>(gate);
    TMade made = Expecting(Address(framework::TThread::StartProcedure()), thread.get());
    made.id = thread->ThreadID();
    made.object = thread.get();
    made.line = __LINE__ + 1;
    thread->Start();
    made.join = [thread] { thread->WaitFor(); };
    return made;
}

bool ShowsCreator(const std::vector<TDebugLocation>& sites, const TMade& made) {
    for (const TDebugLocation& site : sites) {
        if (made.line != 0 ? site.unit == kThisFile && site.line == made.line
                           : site.procedure == made.procedure) {
            return true;
        }
    }
    return false;
}

TEST_F(ThreadTracking, EveryRoadRecordsTheThreadAndWhereItWasStarted) {
    ASSERT_TRUE(OwnDebugData().Valid());
    const std::pair<const char*, TMade (*)(Gate&)> roads[] = {
        {"CreateThread", &ByCreateThread},
        {"CreateThread suspended", &ByCreateThreadSuspended},
        {"_beginthreadex", &ByBeginThreadEx},
        {"std::thread", &ByStdThread},
        {"TThread", &ByTThread},
    };
    for (const auto& [road, make] : roads) {
        SCOPED_TRACE(road);
        Gate gate;
        TMade made = make(gate);
        ASSERT_NE(made.id, 0u);
        bool found = WithThreadRecord(made.id, [&](const TThreadRecord& record) {
            EXPECT_EQ(record.ThreadId, made.id);
            if (made.start != nullptr) {
                EXPECT_EQ(record.StartAddress, made.start);
                EXPECT_EQ(record.Parameter, made.parameter);
            }
            EXPECT_EQ(record.ThreadObject, made.object);
            EXPECT_TRUE(record.Started);
            EXPECT_GT(record.SnapshotSize, 0u);
            EXPECT_LE(record.SnapshotSize, kThreadSnapshotLimit);
            EXPECT_TRUE(ShowsCreator(
                OwnDebugData().CallSites(record.SnapshotData.get(), record.SnapshotSize), made));
        });
        EXPECT_TRUE(found);
        gate.Open();
        made.join();
        // (The test framework keeps a thread of its own that watches this
        // one, so the list need not be empty here.)
        EXPECT_FALSE(WithThreadRecord(made.id, [](const TThreadRecord&) {}));
    }
}

DWORD WINAPI EndByExitThread(LPVOID) {
    ExitThread(3);
    return 0;
}

// Ends where no replacement sees it: only thread detach can remove the
// record.
DWORD WINAPI EndBySystemExitThread(LPVOID) {
    const auto exit_thread = reinterpret_cast<void(WINAPI*)(DWORD)>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "ExitThread")));
    exit_thread(4);
    return 0;
}

DWORD WINAPI EndByThrowing(LPVOID) {
    throw std::runtime_error("escaped");
}

unsigned __stdcall EndByEndThreadEx(void*) {
    _endthreadex(5);
    return 0;
}

std::atomic<int> escapes{0};
std::atomic<DWORD> escapedFrom{0};

void CountEscape(std::exception_ptr error, DWORD thread_id) {
    try {
        std::rethrow_exception(error);
    } catch (const std::runtime_error& e) {
        if (std::string(e.what()) == "escaped") {
            ++escapes;
        }
    }
    escapedFrom = thread_id;
}

TEST_F(ThreadTracking, EveryEndingRemovesTheRecord) {
    SetEscapedExceptionSink(&CountEscape);
    const struct {
        const char* name;
        LPTHREAD_START_ROUTINE routine;  // or, when null, `routine_ex`
        TBeginThreadRoutine routine_ex;
        DWORD exit_code;
    } endings[] = {
        {"ExitThread", &EndByExitThread, nullptr, 3},
        {"the system's ExitThread", &EndBySystemExitThread, nullptr, 4},
        {"_endthreadex", nullptr, &EndByEndThreadEx, 5},
        // Reported once, and ends only that thread, as a failure.
        {"an escaping exception", &EndByThrowing, nullptr, 1},
    };
    for (const auto& ending : endings) {
        SCOPED_TRACE(ending.name);
        DWORD id = 0;
        unsigned id_ex = 0;
        const HANDLE thread = ending.routine != nullptr
                                  ? CreateThread(nullptr, 0, ending.routine, nullptr, 0, &id)
                                  : reinterpret_cast<HANDLE>(_beginthreadex(
                                        nullptr, 0, ending.routine_ex, nullptr, 0, &id_ex));
        ASSERT_NE(thread, nullptr);
        ASSERT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
        DWORD code = 0;
        GetExitCodeThread(thread, &code);
        CloseHandle(thread);
        EXPECT_EQ(code, ending.exit_code);
        EXPECT_EQ(ThreadRecordCount(), 0u);
        if (ending.routine == &EndByThrowing) {
            EXPECT_EQ(escapes, 1);
            EXPECT_EQ(escapedFrom, id);
        }
    }
}

TEST_F(ThreadTracking, FailedOrUntrackedCreationsLeaveNoRecord) {
    // A stack the address space cannot hold.
#if defined(__x86_64__)
    const SIZE_T huge = SIZE_T{1} << 44;
#else
    const SIZE_T huge = 0x7FFFFFFF;
#endif
    SetLastError(0);
    EXPECT_EQ(CreateThread(nullptr, huge, &WaitAtGate, nullptr, 0, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
    // No routine: refused by the runtime, not started in a wrapper.
    errno = 0;
    EXPECT_EQ(_beginthreadex(nullptr, 0, nullptr, nullptr, 0, nullptr), 0u);
    EXPECT_EQ(errno, EINVAL);
    EXPECT_EQ(ThreadRecordCount(), 0u);

    // Tracking off: the system's functions, unchanged.
    SetThreadTrackingActive(false);
    Gate gate;
    DWORD id = 0;
    const HANDLE thread = CreateThread(nullptr, 0, &WaitAtGate, &gate, CREATE_SUSPENDED, &id);
    EXPECT_EQ(ResumeThread(thread), 1u);
    EXPECT_EQ(ThreadRecordCount(), 0u);
    gate.Open();
    Joins(thread)();
}

// Each thread must run its own routine with its own parameter, also while
// another thread keeps dropping every record between creation and start.
struct TSlot {
    std::atomic<int> runs{0};
    std::atomic<void*> seen{nullptr};
};

DWORD WINAPI MarkSlot(LPVOID slot) {
    auto* s = static_cast<TSlot*>(slot);
    s->seen = slot;
    ++s->runs;
    return 0;
}

TEST_F(ThreadTracking, ThreadsStartRightWhileRecordsAreDropped) {
    constexpr int kCreators = 4;
    constexpr int kBatches = 15;
    constexpr int kBatch = 10;
    std::vector<TSlot> slots(kCreators * kBatches * kBatch);
    std::atomic<int> creating{kCreators};
    std::thread dropper([&] {
        for (int round = 0; creating > 0 && round < 1000000; ++round) {
            ClearThreadRecords();
            SwitchToThread();
        }
    });
    std::vector<std::thread> creators;
    for (int c = 0; c < kCreators; ++c) {
        creators.emplace_back([&, c] {
            for (int b = 0; b < kBatches; ++b) {
                HANDLE batch[kBatch];
                for (int i = 0; i < kBatch; ++i) {
                    TSlot& slot = slots[(c * kBatches + b) * kBatch + i];
                    const DWORD flags = i % 2 == 0 ? 0 : CREATE_SUSPENDED;
                    batch[i] = CreateThread(nullptr, 0, &MarkSlot, &slot, flags, nullptr);
                    if (flags != 0) {
                        ResumeThread(batch[i]);
                    }
                }
                WaitForMultipleObjects(kBatch, batch, TRUE, 10000);
                for (HANDLE thread : batch) {
                    CloseHandle(thread);
                }
            }
            --creating;
        });
    }
    for (std::thread& creator : creators) {
        creator.join();
    }
    dropper.join();
    for (TSlot& slot : slots) {
        EXPECT_EQ(slot.runs, 1);
        EXPECT_EQ(slot.seen, &slot);
    }
    EXPECT_EQ(ThreadRecordCount(), 0u);
}

}  // namespace
}  // namespace exceptions
