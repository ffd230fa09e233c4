// The reporter installed in this test program (built with crash data and
// the test options: nothing shown, every report in the log, repeats
// recognised, std::logic_error filtered): which exceptions become log items,
// and what an item says about where the exception came from.

#include "exceptions/win32/reporter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <thread>

#include "base/exception.h"
#include "child_process.h"
#include "exceptions/options.h"
#include "exceptions/win32/log_writer.h"
#include "framework/forms.h"
#include "framework/threads.h"

namespace exceptions {
namespace {

constexpr char kThisFile[] = "tests/exceptions/reporter_test.cpp";

size_t LogItems() {
    return ReadLog(ReporterLogPath()).Items().size();
}

std::string LastItem() {
    const TLogFile log = ReadLog(ReporterLogPath());
    return log.Items().empty() ? std::string() : log.Items().back();
}

// A call-stack row of this file at `line`.
bool NamesLine(const std::string& item, uint32_t line) {
    const std::string file = std::string("|") + kThisFile;
    for (size_t at = item.find(file); at != std::string::npos; at = item.find(file, at + 1)) {
        const size_t end = item.find("\r\n", at);
        const std::string row = item.substr(at, end - at);
        if (row.find("|" + std::to_string(line) + " ") != std::string::npos) {
            return true;
        }
    }
    return false;
}

class Reporter : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(InstallReporter());
        // Each run starts with an empty log, so that no report of an earlier
        // run counts as a repeat (a child shares its parent's log).
        if (GetEnvironmentVariableW(L"UPDATER_REPORTER_CHILD", nullptr, 0) == 0) {
            DeleteFileW(reinterpret_cast<const wchar_t*>(ReporterLogPath().c_str()));
        }
    }
    void SetUp() override {
        shown_ = 0;
        framework::Application().OnException = [this](framework::TComponent*, std::exception_ptr) {
            ++shown_;
        };
    }
    void TearDown() override { framework::Application().OnException = nullptr; }

    int shown_ = 0;
};

uint32_t throwLine = 0;

[[gnu::noinline, gnu::noipa]] void ThrowFromHandler(const std::string& message) {
    throwLine = __LINE__ + 1;
    throw std::runtime_error(message);
}

// What the framework does with an exception that escapes a window handler.
void EscapeToTheFramework(const std::function<void()>& handler) {
    try {
        handler();
    } catch (...) {
        framework::Application().HandleException(std::current_exception());
    }
}

TEST_F(Reporter, OnlyExceptionsThatReachTheFrameworksHandlerAreReportedOnce) {
    const size_t before = LogItems();
    try {
        ThrowFromHandler("caught by the program");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(LogItems(), before);

    EscapeToTheFramework([] { ThrowFromHandler("escaped a handler"); });
    ASSERT_EQ(LogItems(), before + 1);
    const std::string item = LastItem();
    EXPECT_NE(item.find("escaped a handler."), std::string::npos);
    EXPECT_NE(item.find("std::runtime_error"), std::string::npos);
    EXPECT_TRUE(NamesLine(item, throwLine)) << item;
    // Reported, so the framework's own handling does not run as well.
    EXPECT_EQ(shown_, 0);

    // The same error again is a repeat; another message is a new error.
    EscapeToTheFramework([] { ThrowFromHandler("escaped a handler"); });
    EXPECT_EQ(LogItems(), before + 1);
    EscapeToTheFramework([] { ThrowFromHandler("escaped once more"); });
    EXPECT_EQ(LogItems(), before + 2);

    // An abort is never reported; the framework's handling (which keeps it
    // quiet) gets it.
    EscapeToTheFramework([] { throw base::EAbort("quiet"); });
    EXPECT_EQ(LogItems(), before + 2);
    EXPECT_EQ(shown_, 1);
    shown_ = 0;

    // A filtered class (a descendant of std::logic_error) is not reported,
    // and nothing is shown.
    EscapeToTheFramework([] { throw std::invalid_argument("filtered"); });
    EXPECT_EQ(LogItems(), before + 2);
    EXPECT_EQ(shown_, 0);
}

uint32_t threadThrowLine = 0;
uint32_t createLine = 0;

DWORD WINAPI ThrowInThread(LPVOID) {
    threadThrowLine = __LINE__ + 1;
    throw std::runtime_error("out of a thread");
}

TEST_F(Reporter, AnExceptionEscapingARawThreadIsReportedWithWhereTheThreadStarted) {
    const size_t before = LogItems();
    createLine = __LINE__ + 1;
    const HANDLE thread = CreateThread(nullptr, 0, &ThrowInThread, nullptr, 0, nullptr);
    ASSERT_EQ(WaitForSingleObject(thread, 30000), WAIT_OBJECT_0);
    DWORD code = 0;
    GetExitCodeThread(thread, &code);
    CloseHandle(thread);
    EXPECT_EQ(code, 1u);
    ASSERT_EQ(LogItems(), before + 1);
    const std::string item = LastItem();
    EXPECT_NE(item.find("out of a thread."), std::string::npos);
    EXPECT_TRUE(NamesLine(item, threadThrowLine)) << item;
    EXPECT_TRUE(NamesLine(item, createLine)) << item;
}

// Run by the test below as a second process, with "DEBUG" as its last
// argument.
TEST_F(Reporter, TracedChild) {
    if (GetEnvironmentVariableW(L"UPDATER_REPORTER_CHILD", nullptr, 0) == 0) {
        GTEST_SKIP() << "run by DebugAsTheLastArgumentTracesTheReporter";
    }
    EscapeToTheFramework([] { ThrowFromHandler("traced"); });
}

TEST_F(Reporter, DebugAsTheLastArgumentTracesTheReporter) {
    wchar_t exe[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring trace(exe, length);
    trace.replace(trace.size() - 4, 4, L".log");
    DeleteFileW(trace.c_str());
    EXPECT_EQ(RunChildTest(L"Reporter.TracedChild", L"UPDATER_REPORTER_CHILD", L"1", L"debug"), 0);
    const HANDLE file = CreateFileW(trace.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    std::string text(1 << 16, '\0');
    DWORD read = 0;
    ReadFile(file, text.data(), static_cast<DWORD>(text.size()), &read, nullptr);
    CloseHandle(file);
    text.resize(read);
    EXPECT_NE(text.find("  InstallReporter()\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("InstallReporter = True"), std::string::npos) << text;
    EXPECT_NE(text.find("InternalExceptNotify($"), std::string::npos) << text;
    // Without the argument there is no trace.
    DeleteFileW(trace.c_str());
    EXPECT_EQ(RunChildTest(L"Reporter.TracedChild", L"UPDATER_REPORTER_CHILD", L"1"), 0);
    EXPECT_EQ(GetFileAttributesW(trace.c_str()), INVALID_FILE_ATTRIBUTES);
}

// Keeps the main thread busy without reading its messages.
[[gnu::noinline, gnu::noipa]] void SpinWithoutPumping(DWORD ms) {
    const ULONGLONG end = GetTickCount64() + ms;
    while (GetTickCount64() < end) {
    }
}

// Run by the test below as a second process: a window that stops answering
// while the watchdog runs.
TEST_F(Reporter, FrozenChild) {
    if (GetEnvironmentVariableW(L"UPDATER_REPORTER_CHILD", nullptr, 0) == 0) {
        GTEST_SKIP() << "run by AFrozenWindowIsReportedWhenTheOptionsAskForIt";
    }
    const HWND window = CreateWindowExW(0, L"STATIC", L"frozen", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                        10, 10, 200, 100, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    TVivavaModuleOptionsEx& options = *ReporterOptions();
    options.SetFreezeSeconds(1);
    options.SetFreezeWatch(true);
    SpinWithoutPumping(2500);
    options.SetFreezeWatch(false);
    DestroyWindow(window);
}

TEST_F(Reporter, AFrozenWindowIsReportedWhenTheOptionsAskForIt) {
    const size_t before = LogItems();
    EXPECT_EQ(RunChildTest(L"Reporter.FrozenChild", L"UPDATER_REPORTER_CHILD", L"1"), 0);
    const TLogFile log = ReadLog(ReporterLogPath());
    ASSERT_GT(log.Items().size(), before);
    const std::string& item = log.Items()[before];
    EXPECT_NE(item.find("2.4 Type   : EFrozenApplication"), std::string::npos) << item;
    EXPECT_NE(item.find("The application seems to be frozen."), std::string::npos) << item;
    EXPECT_NE(item.find("|SpinWithoutPumping"), std::string::npos) << item;
}

uint32_t executeLine = 0;
uint32_t startLine = 0;

class FailingThread : public framework::TThread {
  public:
    ~FailingThread() override { TerminateAndWait(); }

  protected:
    void Execute() override {
        executeLine = __LINE__ + 1;
        throw std::runtime_error("out of Execute");
    }
};

TEST_F(Reporter, AnExceptionEscapingExecuteIsReportedWithWhereTheThreadStarted) {
    const size_t before = LogItems();
    FailingThread thread;
    startLine = __LINE__ + 1;
    thread.Start();
    EXPECT_EQ(thread.WaitFor(), 0);
    EXPECT_TRUE(thread.FatalException() != nullptr);
    ASSERT_EQ(LogItems(), before + 1);
    const std::string item = LastItem();
    EXPECT_NE(item.find("out of Execute."), std::string::npos);
    EXPECT_TRUE(NamesLine(item, executeLine)) << item;
    EXPECT_TRUE(NamesLine(item, startLine)) << item;
}

DWORD WINAPI ThrowItsNumber(LPVOID number) {
    throw std::runtime_error("thread " + std::to_string(reinterpret_cast<uintptr_t>(number)));
}

TEST_F(Reporter, ExceptionsOfEightThreadsAtOnceAreReportedOneAfterAnother) {
    const size_t before = LogItems();
    HANDLE threads[8];
    for (uintptr_t i = 0; i < 8; ++i) {
        threads[i] =
            CreateThread(nullptr, 0, &ThrowItsNumber, reinterpret_cast<void*>(i), 0, nullptr);
    }
    ASSERT_EQ(WaitForMultipleObjects(8, threads, TRUE, 60000), WAIT_OBJECT_0);
    for (HANDLE thread : threads) {
        CloseHandle(thread);
    }
    const TLogFile log = ReadLog(ReporterLogPath());
    ASSERT_EQ(log.Items().size(), before + 8);
    for (int i = 0; i < 8; ++i) {
        const std::string message = "2.5 Message: thread " + std::to_string(i) + ".\r\n";
        EXPECT_EQ(std::count_if(log.Items().end() - 8, log.Items().end(),
                                [&](const std::string& item) {
                                    return item.find(message) != std::string::npos;
                                }),
                  1)
            << message;
    }
}

// Run by the test below as a second process.
TEST_F(Reporter, Child) {
    if (GetEnvironmentVariableW(L"UPDATER_REPORTER_CHILD", nullptr, 0) == 0) {
        GTEST_SKIP() << "run by AnExceptionNothingCatchesIsReportedAndEndsTheProgram";
    }
    std::thread([] { throw std::runtime_error("nobody catches this"); }).join();
}

TEST_F(Reporter, AnExceptionNothingCatchesIsReportedAndEndsTheProgram) {
    const size_t before = LogItems();
    EXPECT_EQ(RunChildTest(L"Reporter.Child", L"UPDATER_REPORTER_CHILD", L"1"), 1);
    ASSERT_EQ(LogItems(), before + 1);
    EXPECT_NE(LastItem().find("nobody catches this."), std::string::npos);
}

volatile int* volatile nowhere = nullptr;

constexpr uint32_t kFaultLine = __LINE__ + 3;
[[gnu::noinline, gnu::noipa]] void WriteNowhere() {
    // The fault:
    *nowhere = 1;
}

// Run by the test below as a second process.
TEST_F(Reporter, FaultingChild) {
    if (GetEnvironmentVariableW(L"UPDATER_REPORTER_CHILD", nullptr, 0) == 0) {
        GTEST_SKIP() << "run by AFaultIsReportedWithItsPlaceAndEndsTheProgram";
    }
    WriteNowhere();
}

TEST_F(Reporter, AFaultIsReportedWithItsPlaceAndEndsTheProgram) {
    const size_t before = LogItems();
    EXPECT_EQ(RunChildTest(L"Reporter.FaultingChild", L"UPDATER_REPORTER_CHILD", L"1"), 1);
    ASSERT_EQ(LogItems(), before + 1);
    const std::string item = LastItem();
    EXPECT_NE(item.find("2.4 Type   : EAccessViolation"), std::string::npos) << item;
    EXPECT_NE(item.find("Write of address " + std::string(sizeof(void*) * 2, '0')),
              std::string::npos)
        << item;
    EXPECT_TRUE(NamesLine(item, kFaultLine)) << item;
}

}  // namespace
}  // namespace exceptions
