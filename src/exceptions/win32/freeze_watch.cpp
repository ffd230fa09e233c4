#include "exceptions/win32/freeze_watch.h"

#include <algorithm>
#include <cstring>
#include <mutex>

#include "exceptions/win32/stack_memory.h"

namespace exceptions {

namespace {

constexpr DWORD kProbeMs = 50;
constexpr DWORD kAnsweredPauseMs = 250;

struct TMainWindowSearch {
    DWORD process_id;
    HWND found = nullptr;
};

BOOL CALLBACK TakeMainWindow(HWND window, LPARAM search_address) {
    auto& search = *reinterpret_cast<TMainWindowSearch*>(search_address);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != search.process_id || !IsWindowVisible(window)) {
        return TRUE;
    }
    const HWND owner = GetWindow(window, GW_OWNER);
    if (owner != nullptr && owner != GetDesktopWindow()) {
        return TRUE;
    }
    const LONG_PTR style = GetWindowLongPtrW(window, GWL_EXSTYLE);
    if ((style & WS_EX_TOOLWINDOW) != 0 && (style & WS_EX_APPWINDOW) == 0) {
        return TRUE;
    }
    search.found = window;
    return FALSE;
}

bool SendNullMessage(HWND window) {
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_BLOCK, kProbeMs, &result) != 0;
}

uintptr_t InstructionPointer(const CONTEXT& context) {
#if defined(__x86_64__)
    return context.Rip;
#else
    return context.Eip;
#endif
}

uintptr_t StackPointer(const CONTEXT& context) {
#if defined(__x86_64__)
    return context.Rsp;
#else
    return context.Esp;
#endif
}

// `settings` with a handle of its own to its main thread, and the period and
// text of `options`.
TFreezeWatchSettings WithOptions(TFreezeWatchSettings settings,
                                 const TVivavaModuleOptions& options) {
    settings.main_thread =
        OpenThread(THREAD_SUSPEND_RESUME | THREAD_GET_CONTEXT | THREAD_QUERY_INFORMATION, FALSE,
                   settings.main_thread_id);
    settings.period_ms = options.FreezeSeconds() * 1000;
    settings.text = options.FreezeText();
    return settings;
}

}  // namespace

TFreezeWatchSettings TFreezeWatchSettings::ForCurrentThread(const TVivavaModuleOptions& options) {
    TFreezeWatchSettings settings;
    settings.main_thread_id = GetCurrentThreadId();
    settings.main_stack_top = CurrentStackTop();
    return WithOptions(std::move(settings), options);
}

HWND FindMainWindow() {
    return FindMainWindow(GetCurrentProcessId());
}

HWND FindMainWindow(DWORD process_id) {
    TMainWindowSearch search{process_id};
    EnumWindows(&TakeMainWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

TFreezeThread::TFreezeThread(TFreezeWatchSettings settings)
    : settings_(std::move(settings)),
      wake_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      // The system's own ResumeThread: a replacement may wait for a lock the
      // suspended main thread holds.
      resume_(reinterpret_cast<DWORD(WINAPI*)(HANDLE)>(reinterpret_cast<void (*)()>(
          GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "ResumeThread")))),
      stack_(settings_.stack_limit) {
    if (settings_.probe == nullptr) {
        settings_.probe = &SendNullMessage;
    }
}

TFreezeThread::~TFreezeThread() {
    Stop(INFINITE);
    if (settings_.main_thread != nullptr) {
        CloseHandle(settings_.main_thread);
    }
    CloseHandle(wake_);
}

bool TFreezeThread::Stop(DWORD timeout_ms) {
    Terminate();
    SetEvent(wake_);
    Start();  // a watchdog that never ran returns at once
    return WaitForSingleObject(Handle(), timeout_ms) == WAIT_OBJECT_0;
}

void TFreezeThread::Pause(DWORD ms) {
    WaitForSingleObject(wake_, ms);
}

void TFreezeThread::Execute() {
    while (!Terminated()) {
        const HWND window = FindMainWindow();
        if (window == nullptr) {
            Pause(kProbeMs);
        } else {
            Watch(window);
        }
    }
}

// Probes `window` until the watchdog ends or the window is gone. The silence
// is measured in elapsed time, not in probes, so a probe that fails at once
// cannot make up a period early.
void TFreezeThread::Watch(HWND window) {
    ULONGLONG silent_since = GetTickCount64();
    while (!Terminated()) {
        const ULONGLONG before = GetTickCount64();
        if (settings_.probe(window)) {
            Pause(kAnsweredPauseMs);
            silent_since = GetTickCount64();
            continue;
        }
        if (!IsWindow(window)) {
            return;
        }
        const ULONGLONG now = GetTickCount64();
        if (now - silent_since >= settings_.period_ms) {
            ReportFreeze();
            silent_since = GetTickCount64();
        } else if (now - before < kProbeMs) {
            Pause(static_cast<DWORD>(kProbeMs - (now - before)));
        }
    }
}

void TFreezeThread::ReportFreeze() {
    const HANDLE main = settings_.main_thread;
    if (main == nullptr || SuspendThread(main) == static_cast<DWORD>(-1)) {
        return;
    }
    // While the main thread is stopped: no allocation, no lock.
    CONTEXT context;
    std::memset(&context, 0, sizeof context);
    context.ContextFlags = CONTEXT_FULL;
    const bool read = GetThreadContext(main, &context) != 0;
    const uintptr_t address = read ? InstructionPointer(context) : 0;
    const uintptr_t stack_pointer = read ? StackPointer(context) : 0;
    const uintptr_t top = settings_.main_stack_top;
    size_t copied = 0;
    if (stack_pointer != 0 && stack_pointer < top) {
        copied = ReadableLength(reinterpret_cast<const void*>(stack_pointer),
                                std::min<uintptr_t>(top - stack_pointer, stack_.size()));
        std::memcpy(stack_.data(), reinterpret_cast<const void*>(stack_pointer), copied);
    }
    resume_(main);
    if (address == 0 || stack_pointer == 0 || !settings_.report) {
        return;
    }
    try {
        const EFrozenApplication frozen(settings_.text);
        settings_.report(TFrozenReport{frozen, settings_.main_thread_id, context, address,
                                       stack_pointer, top, stack_.data(), copied});
    } catch (...) {
        // A report that fails ends neither the watchdog nor the program.
    }
}

namespace {

std::mutex watchLock;
TFreezeThread* watch = nullptr;

}  // namespace

void StartFreezeWatch(TFreezeWatchSettings settings) {
    const std::lock_guard<std::mutex> guard(watchLock);
    if (watch == nullptr) {
        watch = new TFreezeThread(std::move(settings));
        watch->Start();
    } else if (settings.main_thread != nullptr) {
        CloseHandle(settings.main_thread);
    }
}

bool StopFreezeWatch(DWORD timeout_ms) {
    const std::lock_guard<std::mutex> guard(watchLock);
    if (watch == nullptr) {
        return true;
    }
    const bool ended = watch->Stop(timeout_ms);
    if (ended) {
        delete watch;
    }
    // A watchdog still reporting keeps its object: its thread uses it.
    watch = nullptr;
    return ended;
}

bool FreezeWatchRunning() {
    const std::lock_guard<std::mutex> guard(watchLock);
    return watch != nullptr;
}

void FollowFreezeWatch(TVivavaModuleOptionsEx& options, const TFreezeWatchSettings& settings) {
    TFreezeWatchSettings base = settings;
    base.main_thread = nullptr;
    options.OnWatchdog = [&options, base](bool run) {
        if (run) {
            StartFreezeWatch(WithOptions(base, options));
        } else {
            StopFreezeWatch();
        }
    };
    options.SyncWatchdog();
}

}  // namespace exceptions
