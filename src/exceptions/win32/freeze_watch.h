#pragma once

// The freeze watchdog: a thread that probes the process's main window with
// WM_NULL and, when the window has not answered for a whole period, reports
// the main thread as frozen: where it stands (its registers) and what its
// stack holds. The main thread is suspended only for as long as its context
// and stack are copied (into memory set aside beforehand, so that nothing is
// allocated while it is stopped, since it may hold the heap's lock); the
// report runs on the watchdog's thread from that copy while the main thread
// goes on. A window that stays frozen is reported again after each further
// period.

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/exception.h"
#include "exceptions/options.h"
#include "framework/threads.h"

namespace exceptions {

// What a freeze report carries as its exception.
class EFrozenApplication : public base::Exception {
  public:
    using Exception::Exception;
};

struct TFrozenReport {
    const EFrozenApplication& exception;
    DWORD thread_id;  // the main thread's
    const CONTEXT& context;
    uintptr_t address;        // its instruction pointer
    uintptr_t stack_pointer;  // its stack pointer
    uintptr_t stack_top;      // the end of its stack
    // A copy of its stack from stack_pointer on (at most stack_limit bytes).
    const uint8_t* stack;
    size_t stack_size;
};

struct TFreezeWatchSettings {
    // The main thread: an open handle (the watchdog takes it over and closes
    // it) with suspend, context and query rights, its id and its stack's end.
    HANDLE main_thread = nullptr;
    DWORD main_thread_id = 0;
    uintptr_t main_stack_top = 0;
    // How long the window may stay silent before a report.
    uint32_t period_ms = 60000;
    std::string text = kDefaultFreezeText;
    // Makes the report, on the watchdog's thread. It serialises itself with
    // other reports.
    std::function<void(const TFrozenReport&)> report;
    // Asks the window whether it answers; null: WM_NULL, sent with a 50 ms
    // time-out.
    bool (*probe)(HWND window) = nullptr;
    // The most bytes of the main thread's stack a report copies.
    size_t stack_limit = 256 * 1024;

    // The main-thread fields for the calling thread, with the options'
    // period and text.
    static TFreezeWatchSettings ForCurrentThread(const TVivavaModuleOptions& options);
};

// The process's main window: the first top-level window of this process
// that is visible, has no owner but the desktop, and is not a tool window
// unless it also asks for a taskbar button. Null when there is none.
HWND FindMainWindow();
// The same for the process `process_id`.
HWND FindMainWindow(DWORD process_id);

class TFreezeThread : public framework::TThread {
  public:
    // Made suspended, like every TThread; Start runs it.
    explicit TFreezeThread(TFreezeWatchSettings settings);
    ~TFreezeThread() override;

    // Asks the watchdog to end and waits at most `timeout_ms` for it. False
    // when it is still busy (a report still running): then it ends on its
    // own later, and the object must outlive it.
    bool Stop(DWORD timeout_ms);

  protected:
    void Execute() override;

  private:
    void Pause(DWORD ms);
    void Watch(HWND window);
    void ReportFreeze();

    TFreezeWatchSettings settings_;
    HANDLE wake_;
    DWORD(WINAPI* resume_)(HANDLE);
    std::vector<uint8_t> stack_;
};

// The watchdog of the process, as the options turn it on and off. Starting a
// running watchdog does nothing. Stopping waits at most `timeout_ms`; a
// watchdog still busy after that is left to end on its own (false).
void StartFreezeWatch(TFreezeWatchSettings settings);
bool StopFreezeWatch(DWORD timeout_ms = 5000);
bool FreezeWatchRunning();

// Lets this module's own options steer the process's watchdog: it runs while
// ReporterActive and FreezeWatch are both on, each start with the period and
// text the options hold then and the main thread of `settings` (opened anew
// by its id, so `settings.main_thread` is not used). Brings the watchdog to
// the options' state at once.
void FollowFreezeWatch(TVivavaModuleOptionsEx& options, const TFreezeWatchSettings& settings);

}  // namespace exceptions
