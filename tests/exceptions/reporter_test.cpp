// The reporter installed in this test program (built with crash data and
// the test options: nothing shown, every report in the log, repeats
// recognised, std::logic_error filtered): which exceptions become log items,
// and what an item says about where the exception came from.

#include "exceptions/win32/reporter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <thread>

#include "base/exception.h"
#include "child_process.h"
#include "exceptions/log_item.h"
#include "exceptions/options.h"
#include "exceptions/win32/log_writer.h"
#include "exceptions/win32/reporter_internal.h"
#include "framework/forms.h"
#include "framework/threads.h"
#include "mail_testing.h"

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

// Runs this program again for the child scenario `name` (see the Child test
// at the end); its exit code.
long RunChild(const wchar_t* name, const std::wstring& last_argument = L"") {
    return RunChildTest(L"Reporter.Child", L"UPDATER_REPORTER_CHILD", name, last_argument);
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
    void TearDown() override {
        framework::Application().OnException = nullptr;
        SetReportCallbacks({});
    }

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

TEST_F(Reporter, AFilteredClassWithAMessageShowsOnlyThatMessage) {
    // The message box blocks the report: another thread reads and closes it.
    std::wstring text;
    std::thread closer([&] {
        for (int i = 0; i < 200; ++i) {
            if (const HWND box = FindWindowW(L"#32770", L"Information.")) {
                wchar_t buffer[256] = L"";
                GetDlgItemTextW(box, 0xFFFF, buffer, 256);
                text = buffer;
                PostMessageW(box, WM_COMMAND, IDOK, 0);
                return;
            }
            Sleep(50);
        }
    });
    const size_t before = LogItems();
    EscapeToTheFramework([] { throw std::range_error("filtered, with a word"); });
    closer.join();
    EXPECT_EQ(text, L"Not worth a report");
    EXPECT_EQ(LogItems(), before);
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

TEST_F(Reporter, DebugAsTheLastArgumentTracesTheReporter) {
    wchar_t exe[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring trace(exe, length);
    trace.replace(trace.size() - 4, 4, L".log");
    DeleteFileW(trace.c_str());
    EXPECT_EQ(RunChild(L"traced", L"debug"), 0);
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
    EXPECT_EQ(RunChild(L"traced"), 0);
    EXPECT_EQ(GetFileAttributesW(trace.c_str()), INVALID_FILE_ATTRIBUTES);
}

// Keeps the main thread busy without reading its messages.
[[gnu::noinline, gnu::noipa]] void SpinWithoutPumping(DWORD ms) {
    const ULONGLONG end = GetTickCount64() + ms;
    while (GetTickCount64() < end) {
    }
}

// A window that stops answering while the watchdog runs.
void FreezeAWindow() {
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
    EXPECT_EQ(RunChild(L"frozen"), 0);
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

TEST_F(Reporter, AnExceptionNothingCatchesIsReportedAndEndsTheProgram) {
    const size_t before = LogItems();
    EXPECT_EQ(RunChild(L"uncaught"), 1);
    ASSERT_EQ(LogItems(), before + 1);
    EXPECT_NE(LastItem().find("nobody catches this."), std::string::npos);
}

volatile int* volatile nowhere = nullptr;

constexpr uint32_t kFaultLine = __LINE__ + 3;
[[gnu::noinline, gnu::noipa]] void WriteNowhere() {
    // The fault:
    *nowhere = 1;
}

TEST_F(Reporter, AFaultIsReportedWithItsPlaceAndEndsTheProgram) {
    const size_t before = LogItems();
    EXPECT_EQ(RunChild(L"fault"), 1);
    ASSERT_EQ(LogItems(), before + 1);
    const std::string item = LastItem();
    EXPECT_NE(item.find("2.4 Type   : EAccessViolation"), std::string::npos) << item;
    EXPECT_NE(item.find("Write of address " + std::string(sizeof(void*) * 2, '0')),
              std::string::npos)
        << item;
    EXPECT_TRUE(NamesLine(item, kFaultLine)) << item;
}

LRESULT CALLBACK FaultingWindowProc(HWND window, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_APP) {
        WriteNowhere();
    }
    return DefWindowProcW(window, message, w, l);
}

[[gnu::noinline, gnu::noipa]] void WriteNowhereFromAWindow() {
    static const ATOM atom = [] {
        WNDCLASSW window_class{};
        window_class.lpfnWndProc = &FaultingWindowProc;
        window_class.hInstance = GetModuleHandleW(nullptr);
        window_class.lpszClassName = L"FaultingWindow";
        return RegisterClassW(&window_class);
    }();
    const HWND window = CreateWindowExW(0, MAKEINTATOM(atom), L"", 0, 0, 0, 10, 10, HWND_MESSAGE,
                                        nullptr, GetModuleHandleW(nullptr), nullptr);
    PostMessageW(window, WM_APP, 0, 0);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        DispatchMessageW(&message);
    }
}

// Recursion without end (the depth never comes back to 0).
[[gnu::noinline, gnu::noipa]] int Deeper(int depth) {
    if (depth < 0) {
        return 0;
    }
    volatile char frame[512];
    frame[0] = static_cast<char>(depth);
    return Deeper(depth + 1) + frame[0];
}

TEST_F(Reporter, AStackOverflowIsReportedAndEndsTheProgram) {
    const size_t before = LogItems();
    EXPECT_EQ(RunChild(L"overflow"), 1);
    ASSERT_EQ(LogItems(), before + 1);
    const std::string item = LastItem();
    EXPECT_NE(item.find("2.4 Type   : EStackOverflow"), std::string::npos) << item;
    EXPECT_NE(item.find("|Deeper"), std::string::npos) << item;
}

TEST_F(Reporter, ARethrownExceptionIsReportedWhereItWasFirstThrown) {
    EscapeToTheFramework([] {
        try {
            ThrowFromHandler("thrown again");
        } catch (...) {
            throw;
        }
    });
    EXPECT_TRUE(NamesLine(LastItem(), throwLine)) << LastItem();

    std::exception_ptr stored;
    try {
        ThrowFromHandler("stored and thrown later");
    } catch (...) {
        stored = std::current_exception();
    }
    EscapeToTheFramework([&] { std::rethrow_exception(stored); });
    EXPECT_NE(LastItem().find("stored and thrown later."), std::string::npos);
    EXPECT_TRUE(NamesLine(LastItem(), throwLine)) << LastItem();
}

// A window that counts its paints.
int paints = 0;

LRESULT CALLBACK PaintCountingProc(HWND window, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_PAINT) {
        ++paints;
        PAINTSTRUCT paint;
        BeginPaint(window, &paint);
        EndPaint(window, &paint);
        return 0;
    }
    return DefWindowProcW(window, message, w, l);
}

HWND PaintCountingWindow() {
    static const ATOM atom = [] {
        WNDCLASSW window_class{};
        window_class.lpfnWndProc = &PaintCountingProc;
        window_class.hInstance = GetModuleHandleW(nullptr);
        window_class.lpszClassName = L"PaintCounter";
        return RegisterClassW(&window_class);
    }();
    return CreateWindowExW(0, MAKEINTATOM(atom), L"", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr,
                           nullptr, GetModuleHandleW(nullptr), nullptr);
}

TEST_F(Reporter, CallbacksOfAMainThreadReportRunOnTheMainThreadWhileItKeepsItsMessages) {
    const HWND window = PaintCountingWindow();
    ASSERT_NE(window, nullptr);
    UpdateWindow(window);
    const DWORD main_thread = GetCurrentThreadId();
    std::vector<DWORD> threads;
    std::vector<TReportAction> actions;
    std::string report_text;
    int paints_before_log = -1;
    TReportCallbacks callbacks;
    callbacks.exception_notify = [&](TVivavaExceptionRecord& record, bool&) {
        threads.push_back(GetCurrentThreadId());
        report_text = record.ReportText;
        // The main thread's own messages during the report: a repaint is
        // done while the report goes on; what was posted waits for the
        // program's loop.
        paints = 0;
        InvalidateRect(window, nullptr, TRUE);
        PostMessageW(window, WM_APP + 7, 0, 0);
        PostQuitMessage(0);
        SetExceptionTexts("EReworded", "said otherwise");
    };
    callbacks.action_notify = [&](TVivavaExceptionRecord&, TReportAction action, bool&) {
        threads.push_back(GetCurrentThreadId());
        actions.push_back(action);
        if (action == TReportAction::BeforeLog) {
            paints_before_log = paints;
        }
    };
    SetReportCallbacks(callbacks);
    const size_t before = LogItems();
    EscapeToTheFramework([] { ThrowFromHandler("said at first"); });
    SetReportCallbacks({});

    EXPECT_EQ(threads, std::vector<DWORD>(3, main_thread));
    EXPECT_EQ(actions,
              (std::vector<TReportAction>{TReportAction::BeforeLog, TReportAction::AfterLog}));
    EXPECT_NE(report_text.find("said at first."), std::string::npos);
    EXPECT_EQ(paints_before_log, 1);
    MSG message;
    EXPECT_TRUE(PeekMessageW(&message, window, WM_APP + 7, WM_APP + 7, PM_REMOVE));
    EXPECT_TRUE(PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    DestroyWindow(window);
    // The callback's texts are the ones logged.
    ASSERT_EQ(LogItems(), before + 1);
    EXPECT_NE(LastItem().find("2.4 Type   : EReworded"), std::string::npos) << LastItem();
    EXPECT_NE(LastItem().find("2.5 Message: said otherwise."), std::string::npos);
}

TEST_F(Reporter, CallbacksCanDropAReportOrItsLogAndTheirExceptionsAreIgnored) {
    struct TCase {
        const char* name;
        TReportCallbacks callbacks;
        size_t items;    // log items added
        bool framework;  // the framework's own handling ran
    };
    const TCase cases[] = {
        {"handle cleared",
         {[](TVivavaExceptionRecord&, bool& handle) { handle = false; }, {}, {}},
         0,
         true},
        {"no log",
         {{},
          [](TVivavaExceptionRecord&, TReportAction action, bool& go_ahead) {
              go_ahead = action != TReportAction::BeforeLog;
          },
          {}},
         0,
         false},
        {"throwing callbacks",
         {[](TVivavaExceptionRecord&, bool&) { throw std::runtime_error("callback"); },
          [](TVivavaExceptionRecord&, TReportAction, bool&) { throw 1; },
          {}},
         1,
         false},
    };
    int n = 0;
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        SetReportCallbacks(c.callbacks);
        const size_t before = LogItems();
        shown_ = 0;
        const std::string message = "callback case " + std::to_string(++n);
        EscapeToTheFramework([&] { ThrowFromHandler(message); });
        EXPECT_EQ(LogItems(), before + c.items);
        EXPECT_EQ(shown_, c.framework ? 1 : 0);
    }
}

// The files this process has in its report folders of the temporary folder.
std::vector<std::wstring> ReportFiles(const wchar_t* name) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring prefix =
        std::wstring(temp) + L"Crashlore-" + std::to_wstring(GetCurrentProcessId()) + L"-";
    std::vector<std::wstring> found;
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((prefix + L"*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) {
        return found;
    }
    do {
        const std::wstring folder = std::wstring(temp) + entry.cFileName + L"\\";
        found.push_back(folder);
        if (name != nullptr) {
            found.back() += name;
            if (GetFileAttributesW(found.back().c_str()) == INVALID_FILE_ATTRIBUTES) {
                found.pop_back();
            }
        }
    } while (FindNextFileW(search, &entry));
    FindClose(search);
    return found;
}

// With screenshots on, the screen is in the report's temporary folder while
// the report runs and gone with the folder after it; a screenshot that cannot
// be written costs the report nothing.
TEST_F(Reporter, AScreenshotLivesForTheReportAndItsFailureCostsNothing) {
    TVivavaModuleOptionsEx& options = *ReporterOptions();
    options.SetAttachScreenshot(true);
    size_t existed = 0;
    SetReportCallbacks({{},
                        [&](TVivavaExceptionRecord&, TReportAction action, bool&) {
                            if (action == TReportAction::BeforeLog) {
                                existed = ReportFiles(L"Screenshot.png").size();
                            }
                        },
                        {}});
    const size_t before = LogItems();
    EscapeToTheFramework([] { ThrowFromHandler("with a screenshot"); });
    EXPECT_EQ(existed, 1u);
    EXPECT_TRUE(ReportFiles(nullptr).empty());
    EXPECT_EQ(LogItems(), before + 1);

    // A temporary folder that does not exist: no screenshot, the same report.
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    wchar_t saved[MAX_PATH] = L"";
    const DWORD had = GetEnvironmentVariableW(L"TMP", saved, MAX_PATH);
    SetEnvironmentVariableW(L"TMP", (std::wstring(temp) + L"no such folder").c_str());
    EscapeToTheFramework([] { ThrowFromHandler("without a screenshot"); });
    SetEnvironmentVariableW(L"TMP", had > 0 ? saved : nullptr);
    options.SetAttachScreenshot(false);
    EXPECT_EQ(LogItems(), before + 2);
    EXPECT_NE(LastItem().find("without a screenshot."), std::string::npos);
}

// A report mailed over SMTP: refused by both servers at first, then, as the
// error callback asks, sent again: one message per recipient, the log text
// and the screenshot attached, and no file left behind.
TEST_F(Reporter, AReportIsMailedToEachRecipientAndSentAgainWhenTheCallbackAsks) {
    using test_support::Script;
    test_support::ScriptedServer server({Script().Send("421 busy\r\n"),
                                         Script().Send("421 busy\r\n"), test::AcceptingSmtp(),
                                         test::AcceptingSmtp()});
    TVivavaModuleOptionsEx& options = *ReporterOptions();
    TVivavaModuleOptions saved("saved", false);
    saved.Assign(options);
    options.SetDeliveryMode(kDeliverySmtpServer);
    options.SetMailServer("127.0.0.1");
    options.SetMailPort(server.Port());
    options.SetMailRecipients(" a@x.test, b@y.test;");
    options.SetMailBody("Please look at this.");
    options.SetAttachScreenshot(true);
    std::vector<TReportAction> errors;
    std::vector<TReportAction> actions;
    SetReportCallbacks(
        {{},
         [&](TVivavaExceptionRecord&, TReportAction action, bool&) { actions.push_back(action); },
         [&](TVivavaExceptionRecord&, TReportAction action, bool& retry) {
             errors.push_back(action);
             retry = errors.size() == 1;
         }});
    EscapeToTheFramework([] { ThrowFromHandler("mailed"); });
    options.Assign(saved);

    EXPECT_EQ(errors, std::vector<TReportAction>{TReportAction::AfterSend});
    EXPECT_EQ(std::count(actions.begin(), actions.end(), TReportAction::BeforeSend), 1);
    EXPECT_EQ(actions.back(), TReportAction::AfterSend);
    ASSERT_TRUE(server.WaitForFinished(4, 5000));
    EXPECT_EQ(server.Error(), "");
    const std::string log_name = detail::FileNameOf(ReporterLogPath());
    for (int connection = 2; connection < 4; ++connection) {
        const std::vector<std::string> got = server.Received(connection);
        ASSERT_EQ(got.size(), 7u);
        const test::MimeMessage mail = test::ReadMimeData(got[5]);
        EXPECT_EQ(test::HeaderValue(mail.headers, "To"),
                  connection == 2 ? "<a@x.test>" : "<b@y.test>");
        ASSERT_EQ(mail.parts.size(), 3u);
        EXPECT_EQ(mail.parts[0].body, "Please look at this.\r\n");
        EXPECT_NE(mail.parts[1].headers.find("filename=\"" + log_name + "\""), std::string::npos);
        EXPECT_NE(mail.parts[1].body.find("mailed."), std::string::npos);
        EXPECT_NE(mail.parts[2].headers.find("filename=\"Screenshot.png\""), std::string::npos);
        EXPECT_EQ(mail.parts[2].body.substr(0, 8), "\x89PNG\r\n\x1a\n");
    }
    EXPECT_TRUE(ReportFiles(nullptr).empty());
}

TEST_F(Reporter, AFailedLogWriteIsToldAndCanBeRetried) {
    const size_t before = LogItems();
    // The log held open without sharing: the item cannot be written.
    const std::u16string log = ReporterLogPath();
    const std::wstring path(log.begin(), log.end());
    HANDLE held = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    int told = 0;
    TInternalError error = TInternalError::eeNone;
    TReportCallbacks callbacks;
    callbacks.error_notify = [&](TVivavaExceptionRecord&, TReportAction action, bool& retry) {
        ++told;
        EXPECT_EQ(action, TReportAction::AfterLog);
        error = LastInternalError().code;
        CloseHandle(held);
        held = INVALID_HANDLE_VALUE;
        retry = true;
    };
    SetReportCallbacks(callbacks);
    EscapeToTheFramework([] { ThrowFromHandler("written on the second try"); });
    if (held != INVALID_HANDLE_VALUE) {
        CloseHandle(held);
    }
    EXPECT_EQ(told, 1);
    EXPECT_EQ(error, TInternalError::eeLogError);
    ASSERT_EQ(LogItems(), before + 1);
    EXPECT_NE(LastItem().find("written on the second try."), std::string::npos);
}

TEST_F(Reporter, AConsoleProgramShowsTheReportOnItsOutput) {
    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    const std::wstring path = std::wstring(folder) + L"reporter_console.txt";
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                    CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    SetStdHandle(STD_OUTPUT_HANDLE, file);
    ReporterOptions()->SetShowReport(true);
    EscapeToTheFramework([] { ThrowFromHandler("on the console"); });
    ReporterOptions()->SetShowReport(false);
    SetStdHandle(STD_OUTPUT_HANDLE, output);
    CloseHandle(file);
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    in.close();
    DeleteFileW(path.c_str());
    EXPECT_EQ(text.rfind(ReporterOptions()->Texts(3) + "\r\n\r\n" + kLogHeader, 0), 0u) << text;
    EXPECT_NE(text.find("2.5 Message: on the console."), std::string::npos) << text;
}

TEST_F(Reporter, TheReportTextGoesToTheClipboardAsUnicode) {
    const std::string text = "Call Stack\r\n\xb1\xa8\xb8\xe6";  // "报告" in GBK
    ASSERT_TRUE(CopyTextToClipboard(nullptr, text));
    ASSERT_TRUE(OpenClipboard(nullptr));
    const HANDLE data = GetClipboardData(CF_UNICODETEXT);
    const std::wstring read = data != nullptr ? static_cast<const wchar_t*>(GlobalLock(data)) : L"";
    if (data != nullptr) {
        GlobalUnlock(data);
    }
    CloseClipboard();
    EXPECT_EQ(read, L"Call Stack\r\n\u62a5\u544a");
}

std::atomic<int> inReport{0};
std::atomic<int> mostInReport{0};

TEST_F(Reporter, ReportsOfThreadsAtOnceNeverOverlap) {
    TReportCallbacks callbacks;
    callbacks.exception_notify = [](TVivavaExceptionRecord&, bool&) {
        const int now = ++inReport;
        mostInReport = std::max(mostInReport.load(), now);
        Sleep(20);
        --inReport;
    };
    SetReportCallbacks(callbacks);
    const size_t before = LogItems();
    HANDLE threads[4];
    for (uintptr_t i = 0; i < 4; ++i) {
        threads[i] =
            CreateThread(nullptr, 0, &ThrowItsNumber, reinterpret_cast<void*>(10 + i), 0, nullptr);
    }
    ASSERT_EQ(WaitForMultipleObjects(4, threads, TRUE, 60000), WAIT_OBJECT_0);
    for (HANDLE thread : threads) {
        CloseHandle(thread);
    }
    EXPECT_EQ(mostInReport, 1);
    EXPECT_EQ(LogItems(), before + 4);
}

std::wstring TempFile(const wchar_t* name) {
    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    return std::wstring(folder) + name;
}

void WriteText(const std::wstring& path, const std::wstring& text) {
    std::ofstream(std::filesystem::path(path), std::ios::binary)
        .write(reinterpret_cast<const char*>(text.data()),
               static_cast<std::streamsize>(text.size() * sizeof(wchar_t)));
}

std::wstring ReadText(const std::wstring& path) {
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()),
                        bytes.size() / sizeof(wchar_t));
}

// The restart scenario: the first process asks to quit from a callback after
// moving away from its start folder; the second one, started by the report,
// writes what it was started with.
void QuitAndRestart() {
    wchar_t directory[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, directory);
    const std::wstring what = std::wstring(GetCommandLineW()) + L"\n" + directory;
    if (GetEnvironmentVariableW(L"UPDATER_REPORTER_RESTARTED", nullptr, 0) != 0) {
        WriteText(TempFile(L"reporter_restarted.txt"), what);
        return;
    }
    WriteText(TempFile(L"reporter_first.txt"), what);
    SetEnvironmentVariableW(L"UPDATER_REPORTER_RESTARTED", L"1");
    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    SetCurrentDirectoryW(folder);
    TReportCallbacks callbacks;
    callbacks.exception_notify = [](TVivavaExceptionRecord&, bool&) { RequestQuit(); };
    SetReportCallbacks(callbacks);
    EscapeToTheFramework([] { ThrowFromHandler("quit and restart"); });
    ADD_FAILURE() << "still running after the quit";
}

TEST_F(Reporter, QuitWithRestartStartsTheProgramAgainAsItWasStarted) {
    const std::wstring first = TempFile(L"reporter_first.txt");
    const std::wstring restarted = TempFile(L"reporter_restarted.txt");
    DeleteFileW(first.c_str());
    DeleteFileW(restarted.c_str());
    EXPECT_EQ(RunChild(L"restart", L"--an-argument"), 1);
    for (int i = 0; i < 300 && GetFileAttributesW(restarted.c_str()) == INVALID_FILE_ATTRIBUTES;
         ++i) {
        Sleep(100);
    }
    Sleep(200);  // the file is complete once its writer is gone
    const std::wstring said = ReadText(first);
    EXPECT_NE(said.find(L"--an-argument"), std::wstring::npos);
    EXPECT_EQ(ReadText(restarted), said);
    DeleteFileW(first.c_str());
    DeleteFileW(restarted.c_str());
}

DWORD WINAPI ThrowAndDieInTheReport(LPVOID) {
    throw std::runtime_error("its reporter dies");
}

// The thread holding the report ends inside it: the next report still
// comes.
void DieWhileReporting() {
    TReportCallbacks callbacks;
    callbacks.exception_notify = [](TVivavaExceptionRecord& record, bool&) {
        if (record.ReportText.find("its reporter dies") != std::string::npos) {
            ExitThread(0);
        }
    };
    SetReportCallbacks(callbacks);
    const HANDLE dying = CreateThread(nullptr, 0, &ThrowAndDieInTheReport, nullptr, 0, nullptr);
    WaitForSingleObject(dying, 30000);
    CloseHandle(dying);
    const size_t before = LogItems();
    const HANDLE next =
        CreateThread(nullptr, 0, &ThrowItsNumber, reinterpret_cast<void*>(42), 0, nullptr);
    EXPECT_EQ(WaitForSingleObject(next, 30000), WAIT_OBJECT_0);
    CloseHandle(next);
    EXPECT_EQ(LogItems(), before + 1);
}

TEST_F(Reporter, AReportWhoseThreadDiedDoesNotBlockTheNext) {
    EXPECT_EQ(RunChild(L"dies"), 0);
}

// The scenarios run by the tests above as a second process.
TEST_F(Reporter, Child) {
    wchar_t name[32] = L"";
    if (GetEnvironmentVariableW(L"UPDATER_REPORTER_CHILD", name, 32) == 0) {
        GTEST_SKIP() << "run as a second process by the tests";
    }
    const struct {
        const wchar_t* name;
        void (*run)();
    } scenarios[] = {
        {L"traced", [] { EscapeToTheFramework([] { ThrowFromHandler("traced"); }); }},
        {L"frozen", &FreezeAWindow},
        {L"uncaught",
         [] { std::thread([] { throw std::runtime_error("nobody catches this"); }).join(); }},
        {L"fault", &WriteNowhereFromAWindow},
        {L"overflow", [] { Deeper(0); }},
        {L"restart", &QuitAndRestart},
        {L"dies", &DieWhileReporting},
    };
    for (const auto& scenario : scenarios) {
        if (std::wstring(name) == scenario.name) {
            scenario.run();
            return;
        }
    }
    FAIL() << "no such scenario";
}

}  // namespace
}  // namespace exceptions
