#pragma once

// The exception reporter of the process. Installed first in start-up, it
// records every throw as it is raised and reports an exception where it
// turns out to be unhandled: when it reaches the framework's handler of last
// resort, escapes a raw thread's routine, or ends in std::terminate. A
// report composes the log item (the program, the exception, its call stack
// with files and lines, the modules, the registers, the computer) and keeps
// it in the error log; repeated errors and filtered classes are not
// reported again.
//
// One report runs at a time in the process: a thread that finds another
// thread reporting waits for it (while that thread lives); an exception
// raised by a report itself is not reported. A report of the main thread
// runs on a worker thread while the main thread keeps its windows painted
// and refuses input with a beep; its posted messages stay queued.

#include <windows.h>

#include <cstdint>
#include <exception>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "exceptions/stack_info.h"
#include "exceptions/trace.h"

namespace exceptions {

// What a report site knows of one exception.
struct TExceptionReport {
    std::exception_ptr error;  // the exception object, when there is one
    std::string type;          // explicit texts (faults); empty: from `error`
    std::string message;
    uintptr_t address = 0;  // the throwing call or the faulting instruction; 0: unknown
    DWORD thread_id = 0;    // the thread the exception belongs to
    bool has_context = false;
    CONTEXT context{};  // its registers, when has_context
    uintptr_t stack_pointer = 0;
    uintptr_t stack_top = 0;
    // A copy of its stack from stack_pointer on; empty: the live stack.
    std::vector<uint8_t> stack;
    // False: given up when another report is running (a freeze report of a
    // main thread that is itself reporting says nothing new).
    bool wait_for_claim = true;
};

// Installs the reporter when this executable carries crash data with debug
// data; otherwise (or when a hook cannot be installed) the program runs
// without it. True when it is active.
bool InstallReporter();
bool ReporterInstalled();
// At the program's end: stops the watchdog (waiting a bounded time) and
// saves the trace. The hooks stay in place.
void UninstallReporter();

// The report of `error`, found unhandled on the calling thread: the record
// of its throw gives the place, the registers and the stack; without one,
// the calling thread's own stack stands in.
TExceptionReport ReportOf(const std::exception_ptr& error);

// Reports unless the calling thread is already reporting (then nothing
// happens). True when nothing was reported (the reporter is inactive, the
// exception is an abort, its class is filtered, or a report is already
// running on this thread).
bool ExceptNotify(const TExceptionReport& report);

// The options of this program, as its reporter follows them: turning
// FreezeWatch (with ReporterActive) on starts the freeze watchdog, which
// reports a main window that stays silent for FreezeSeconds. Null while the
// reporter is not installed.
class TVivavaModuleOptionsEx;
TVivavaModuleOptionsEx* ReporterOptions();

// What the notification callbacks get of a report.
class TVivavaModulesList;
class TVivavaModuleOptions;
struct TVivavaExceptionRecord {
    const void* ExceptionObject = nullptr;  // null for a fault or a freeze
    uintptr_t ExceptionAddress = 0;
    DWORD ThreadId = 0;
    std::string ReportText;  // the report as the log item holds it (GBK)
    TVivavaModulesList* ModulesList = nullptr;
    const std::vector<TVivavaDebugInfo>* CallStack = nullptr;
    TVivavaModuleOptions* ModuleOptions = nullptr;  // the options this report follows
};

// The points of a report where the action callback is asked.
enum class TReportAction {
    BeforeShow = 0,
    AfterShow = 1,
    BeforeLog = 2,
    AfterLog = 3,
    BeforeSend = 4,
    AfterSend = 5,
    Quit = 6,
};

// Callbacks a host program may install. They run on the thread whose
// exception is reported, or on the main thread when its report runs on the
// worker; whatever they throw is ignored.
struct TReportCallbacks {
    // Once, when the report texts exist: clearing `handle` drops the report
    // and lets the program's own handling go on.
    std::function<void(TVivavaExceptionRecord&, bool& handle)> exception_notify;
    // At each action: clearing `go_ahead` before showing, logging or sending
    // skips that step.
    std::function<void(TVivavaExceptionRecord&, TReportAction, bool& go_ahead)> action_notify;
    // After a failed log write (AfterLog): setting `retry` writes again.
    std::function<void(TVivavaExceptionRecord&, TReportAction, bool& retry)> error_notify;
};
void SetReportCallbacks(TReportCallbacks callbacks);

// Replaces the class name and message the report under way shows and logs
// (a callback's way to reword an exception, whose own text is fixed). Taken
// by the report after the callback returns.
void SetExceptionTexts(std::string_view type, std::string_view message);

// Ends the program when the report under way is done: restarted first (with
// the same command line, from the folder it was started in) when QuitRestarts
// is 1, then ended with exit code 1.
void RequestQuit();

// The reporter's last own failure (eeNone after a clean step).
TReporterTrace::TLastError LastInternalError();

// Puts `text` (GBK) on the clipboard as Unicode text for `owner`, trying
// three times when another program holds the clipboard. False when it could
// not.
bool CopyTextToClipboard(HWND owner, std::string_view text);

// The log file of this process's reports.
std::u16string ReporterLogPath();

// Reports made since installation.
int ReportCount();

}  // namespace exceptions
