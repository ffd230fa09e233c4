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
#include <string>
#include <vector>

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

// The log file of this process's reports.
std::u16string ReporterLogPath();

// Reports made since installation.
int ReportCount();

}  // namespace exceptions
