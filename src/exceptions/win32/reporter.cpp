#include "exceptions/win32/reporter.h"

#include <shellapi.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>

#include "base/exception.h"
#include "exceptions/exception_info.h"
#include "exceptions/log_item.h"
#include "exceptions/trace.h"
#include "exceptions/win32/code_hooks.h"
#include "exceptions/win32/freeze_watch.h"
#include "exceptions/win32/log_writer.h"
#include "exceptions/win32/modules.h"
#include "exceptions/win32/raise_record.h"
#include "exceptions/win32/reporter_internal.h"
#include "exceptions/win32/stack_memory.h"
#include "exceptions/win32/system_info.h"
#include "exceptions/win32/thread_tracking.h"
#include "framework/forms.h"
#include "framework/graphics.h"
#include "framework/threads.h"
#include "platform/file_stream.h"

namespace exceptions {

namespace detail {

TReporterState& State() {
    static auto* state = new TReporterState;
    return *state;
}

namespace {

// The reporter's internal trace: on when a debugger is attached at
// installation or the last command-line argument is "DEBUG" ("DEBUGSAVE":
// saved after every line); kept as <program>.log beside the program (or in
// the per-user folder).
std::u16string TracePath() {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::u16string file(path, path + length);
    const size_t dot = file.rfind(u'.');
    const size_t slash = file.find_last_of(u"\\/");
    if (dot != std::u16string::npos && (slash == std::u16string::npos || dot > slash)) {
        file.resize(dot);
    }
    return WritableLogPath(file + u".log");
}

}  // namespace

TReporterTrace& Trace() {
    static auto* trace = new TReporterTrace(
        [] {
            SYSTEMTIME now{};
            GetLocalTime(&now);
            return base::DateTimeFields{now.wYear,   now.wMonth,  now.wDay,         now.wHour,
                                        now.wMinute, now.wSecond, now.wMilliseconds};
        },
        [](std::string_view text) {
            platform::WriteFileAtomically(TracePath(), text);
            return true;
        },
        [](std::string_view line) {
            OutputDebugStringW((framework::WideText(line) + L"\n").c_str());
        });
    return *trace;
}

std::string Gbk(std::wstring_view text) {
    return framework::GbkText(text);
}

std::string FileNameOf(const std::u16string& path) {
    const size_t slash = path.find_last_of(u"\\/");
    const std::u16string name = slash == std::u16string::npos ? path : path.substr(slash + 1);
    return Gbk(std::wstring(name.begin(), name.end()));
}

uintptr_t ContextStackPointer(const CONTEXT& context) {
#if defined(__x86_64__)
    return context.Rsp;
#else
    return context.Esp;
#endif
}

}  // namespace detail

namespace {

using detail::ContextStackPointer;
using detail::FileNameOf;
using detail::State;
using detail::Trace;
using detail::TReporterState;

constexpr char kHandleExceptionName[] = "Forms.TApplication.HandleException";

// The last command-line argument (8-bit), or nothing.
std::string LastArgument() {
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    std::string last = arguments != nullptr && count > 1 ? framework::GbkText(arguments[count - 1])
                                                         : std::string();
    LocalFree(arguments);
    return last;
}

// The thread that holds the report, and the worker reporting for the main
// thread: exceptions of either are not reported again.
std::atomic<DWORD> owner{0};
std::atomic<DWORD> worker{0};
std::atomic<int> reportCount{0};

// The one procedure that a report running on the worker hands to the main
// thread, which runs it from its wait loop.
struct TCallbackQueue {
    std::mutex lock;
    const std::function<void()>* pending = nullptr;
    HANDLE ready = nullptr;  // auto-reset: a procedure waits
    HANDLE done = nullptr;   // auto-reset: it ran
};

TCallbackQueue& Queue() {
    static auto* queue = new TCallbackQueue;
    return *queue;
}

void RunPendingCallback() {
    TCallbackQueue& queue = Queue();
    const std::function<void()>* procedure = nullptr;
    {
        const std::lock_guard<std::mutex> guard(queue.lock);
        std::swap(procedure, queue.pending);
    }
    if (procedure != nullptr) {
        try {
            (*procedure)();
        } catch (...) {
        }
        SetEvent(queue.done);
    }
}

using THandleException = void (*)(framework::TApplication*, const std::exception_ptr*);
THandleException handleException = nullptr;  // the framework's own, through its trampoline

// An abort ends an operation quietly: it is never reported.
bool IsAbort(const std::exception_ptr& error) {
    if (!error) {
        return false;
    }
    try {
        std::rethrow_exception(error);
    } catch (const base::EAbort&) {
        return true;
    } catch (...) {
    }
    return false;
}

bool IsReportingThread() {
    const DWORD me = GetCurrentThreadId();
    return owner == me || worker == me;
}

bool ThreadAlive(DWORD id) {
    const HANDLE thread = OpenThread(SYNCHRONIZE, FALSE, id);
    if (thread == nullptr) {
        return false;
    }
    const bool alive = WaitForSingleObject(thread, 0) == WAIT_TIMEOUT;
    CloseHandle(thread);
    return alive;
}

// The longest a report waits for another one to end.
constexpr ULONGLONG kClaimWaitMs = 10 * 60 * 1000;

// Takes the report for this thread, waiting while another thread that still
// lives holds it (a holder that died leaves it to the next). False when the
// holder kept it past kClaimWaitMs.
bool Claim() {
    const DWORD me = GetCurrentThreadId();
    const ULONGLONG deadline = GetTickCount64() + kClaimWaitMs;
    for (;;) {
        DWORD holder = 0;
        if (owner.compare_exchange_strong(holder, me)) {
            return true;
        }
        if (!ThreadAlive(holder) && owner.compare_exchange_strong(holder, me)) {
            return true;
        }
        if (GetTickCount64() > deadline) {
            return false;
        }
        Sleep(10);
    }
}

// Reports for the main thread on a thread of its own, while the main thread
// paints its windows and refuses input; posted messages stay in the queue
// for the program's own loop.
class TExceptionThread : public framework::TThread {
  public:
    explicit TExceptionThread(const TExceptionReport& report) : report_(report) {}
    ~TExceptionThread() override { TerminateAndWait(); }
    bool result = true;

  protected:
    void Execute() override {
        try {
            result = detail::InternalExceptNotify(report_);
        } catch (...) {
            result = false;
        }
    }

  private:
    const TExceptionReport& report_;
};

bool ReportOnWorker(const TExceptionReport& report) {
    std::unique_ptr<TExceptionThread> thread;
    try {
        thread = std::make_unique<TExceptionThread>(report);
    } catch (const std::exception&) {
        return detail::InternalExceptNotify(report);  // no thread to be had: report here
    }
    worker = thread->ThreadID();
    thread->Start();
    const HANDLE handles[] = {thread->Handle(), Queue().ready};
    for (;;) {
        const DWORD woken = MsgWaitForMultipleObjectsEx(
            2, handles, INFINITE, QS_PAINT | QS_INPUT | QS_SENDMESSAGE, MWMO_INPUTAVAILABLE);
        if (woken != WAIT_OBJECT_0 + 1 && woken != WAIT_OBJECT_0 + 2) {
            break;  // the worker is done (or the wait failed: nothing to wait for)
        }
        MSG message;
        // Sent messages are delivered by the peek itself.
        PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE | PM_QS_PAINT)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE | PM_QS_INPUT)) {
            if (message.message == WM_CHAR || message.message == WM_LBUTTONDOWN ||
                message.message == WM_RBUTTONDOWN || message.message == WM_MBUTTONDOWN) {
                MessageBeep(0);
            }
        }
        // Painted first: a callback run now sees the windows drawn.
        RunPendingCallback();
    }
    thread->WaitFor();
    worker = 0;
    return thread->result;
}

void HookedHandleException(framework::TApplication* application, const std::exception_ptr* error) {
    // A window's exception while its own thread reports (a paint during the
    // report) is neither reported nor shown.
    if (IsReportingThread()) {
        return;
    }
    if (ExceptNotify(ReportOf(*error))) {
        handleException(application, error);
    }
}

using TThreadFatal = void (*)(framework::TThread*, const std::exception_ptr*);
TThreadFatal threadFatal = nullptr;  // the framework's own, through its trampoline

// An exception that escaped a TThread's Execute: reported on that thread,
// with where the thread was started.
void HookedThreadFatal(framework::TThread* thread, const std::exception_ptr* error) {
    if (!IsReportingThread()) {
        ExceptNotify(ReportOf(*error));
    }
    threadFatal(thread, error);
}

// A main window silent for a whole period: reported with the main thread's
// place and stack, as the watchdog copied them.
void OnFrozen(const TFrozenReport& frozen) {
    TExceptionReport report;
    report.type = "EFrozenApplication";
    report.message = frozen.exception.Message();
    report.address = frozen.address;
    report.thread_id = frozen.thread_id;
    report.has_context = true;
    report.context = frozen.context;
    report.stack_pointer = frozen.stack_pointer;
    report.stack_top = frozen.stack_top;
    report.stack.assign(frozen.stack, frozen.stack + frozen.stack_size);
    report.wait_for_claim = false;
    ExceptNotify(report);
}

void OnEscapedException(std::exception_ptr error, DWORD) {
    ExceptNotify(ReportOf(error));
}

// An exception nothing catches: reported, then the process ends with exit
// code 1 (destructors would run on a broken state).
[[noreturn]] void OnTerminate() {
    if (const std::exception_ptr error = std::current_exception()) {
        ExceptNotify(ReportOf(error));
    }
    TerminateProcess(GetCurrentProcess(), 1);
    std::abort();
}

// --- Hardware faults ---
//
// A fault nothing handles reaches the unhandled-exception filter on the
// faulting thread, with its registers. That thread may hold any lock (the
// heap's among them), so the filter allocates nothing and locks nothing: it
// hands the fault to a thread started at installation, which reports it
// while the faulting thread waits; then the process ends with exit code 1.

struct TFaultRequest {
    EXCEPTION_POINTERS* pointers = nullptr;
    DWORD thread_id = 0;
    uintptr_t stack_top = 0;
};

TFaultRequest faultRequest;
HANDLE faultReady = nullptr;  // a fault waits for the handler (auto-reset)
HANDLE faultDone = nullptr;   // the handler is done (manual-reset)
DWORD faultThreadId = 0;
std::atomic<bool> faulting{false};
LPTOP_LEVEL_EXCEPTION_FILTER previousFilter = nullptr;

struct TFaultName {
    DWORD code;
    const char* type;
    const char* message;  // null: built from the code
};

const TFaultName kFaults[] = {
    {EXCEPTION_ACCESS_VIOLATION, "EAccessViolation", nullptr},
    {EXCEPTION_IN_PAGE_ERROR, "EInOutError", "In-page error"},
    {EXCEPTION_STACK_OVERFLOW, "EStackOverflow", "Stack overflow"},
    {EXCEPTION_INT_DIVIDE_BY_ZERO, "EDivByZero", "Division by zero"},
    {EXCEPTION_INT_OVERFLOW, "EIntOverflow", "Integer overflow"},
    {EXCEPTION_PRIV_INSTRUCTION, "EPrivilege", "Privileged instruction"},
    {EXCEPTION_ILLEGAL_INSTRUCTION, "EExternalException", "Illegal instruction"},
    {EXCEPTION_ARRAY_BOUNDS_EXCEEDED, "ERangeError", "Array bounds exceeded"},
    {EXCEPTION_DATATYPE_MISALIGNMENT, "EExternalException", "Datatype misalignment"},
    {EXCEPTION_FLT_DIVIDE_BY_ZERO, "EZeroDivide", "Floating point division by zero"},
    {EXCEPTION_FLT_INVALID_OPERATION, "EInvalidOp", "Invalid floating point operation"},
    {EXCEPTION_FLT_OVERFLOW, "EOverflow", "Floating point overflow"},
    {EXCEPTION_FLT_UNDERFLOW, "EUnderflow", "Floating point underflow"},
    {EXCEPTION_FLT_INEXACT_RESULT, "EInvalidOp", "Inexact floating point result"},
    {EXCEPTION_FLT_DENORMAL_OPERAND, "EInvalidOp", "Denormal floating point operand"},
    {EXCEPTION_FLT_STACK_CHECK, "EInvalidOp", "Floating point stack check"},
};

const TFaultName* FaultNamed(DWORD code) {
    for (const TFaultName& fault : kFaults) {
        if (fault.code == code) {
            return &fault;
        }
    }
    return nullptr;
}

// The type and message a fault is reported with.
void NameFault(const EXCEPTION_RECORD& record, TExceptionReport& report) {
    const TFaultName* fault = FaultNamed(record.ExceptionCode);
    report.type = fault->type;
    if (fault->message != nullptr) {
        report.message = fault->message;
        return;
    }
    const int digits = AddressDigits(kHostCpu);
    const auto address = reinterpret_cast<uintptr_t>(record.ExceptionAddress);
    TVivavaModuleInfo* module = State().modules.ModuleOfAddress(address);
    const bool write = record.NumberParameters >= 2 && record.ExceptionInformation[0] == 1;
    const uint64_t target = record.NumberParameters >= 2 ? record.ExceptionInformation[1] : 0;
    report.message = "Access violation at address " + HexText(address, digits) + " in module '" +
                     (module != nullptr ? FileNameOf(module->FileName) : std::string()) + "'. " +
                     (write ? "Write" : "Read") + " of address " + HexText(target, digits);
}

// Memory set aside at installation and given back before a fault's report:
// a fault may come from memory running out.
char* faultReserve = nullptr;

DWORD WINAPI HandleFaults(LPVOID) {
    if (WaitForSingleObject(faultReady, INFINITE) != WAIT_OBJECT_0) {
        return 0;
    }
    delete[] faultReserve;
    faultReserve = nullptr;
    try {
        const EXCEPTION_RECORD& record = *faultRequest.pointers->ExceptionRecord;
        TExceptionReport report;
        NameFault(record, report);
        report.address = reinterpret_cast<uintptr_t>(record.ExceptionAddress);
        report.thread_id = faultRequest.thread_id;
        report.has_context = true;
        report.context = *faultRequest.pointers->ContextRecord;
        // The faulting thread waits in the filter, below the place of the
        // fault: its stack from there up is as it was.
        report.stack_pointer = ContextStackPointer(report.context);
        report.stack_top = faultRequest.stack_top;
        ExceptNotify(report);
    } catch (...) {
    }
    SetEvent(faultDone);
    return 0;
}

LONG WINAPI OnUnhandledException(EXCEPTION_POINTERS* pointers) {
    if (FaultNamed(pointers->ExceptionRecord->ExceptionCode) == nullptr) {
        return previousFilter != nullptr ? previousFilter(pointers) : EXCEPTION_CONTINUE_SEARCH;
    }
    // A fault of the reporter itself cannot be reported: end at once.
    if (IsReportingThread() || GetCurrentThreadId() == faultThreadId) {
        TerminateProcess(GetCurrentProcess(), 1);
    }
    // One fault is reported; another thread faulting meanwhile waits for the
    // end that the first one brings.
    if (!faulting.exchange(true)) {
        faultRequest = TFaultRequest{pointers, GetCurrentThreadId(), CurrentStackTop()};
        SetEvent(faultReady);
    }
    WaitForSingleObject(faultDone, 10 * 60 * 1000);
    TerminateProcess(GetCurrentProcess(), 1);
    return EXCEPTION_EXECUTE_HANDLER;
}

// A stack overflow is taken as soon as it is raised: the search for a
// handler that would bring it to the filter needs stack it may not have.
LONG WINAPI OnFirstChance(EXCEPTION_POINTERS* pointers) {
    if (pointers->ExceptionRecord->ExceptionCode == EXCEPTION_STACK_OVERFLOW) {
        return OnUnhandledException(pointers);
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

// Makes the handler thread and puts the filters in place.
void InstallFaultHandling() {
    faultReserve = new char[1 << 20];
    // Room on the main thread's stack for the overflow's handler (not every
    // system offers it).
    using TStackGuarantee = BOOL(WINAPI*)(PULONG);
    if (const auto guarantee = reinterpret_cast<TStackGuarantee>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetThreadStackGuarantee")))) {
        ULONG size = 64 * 1024;
        guarantee(&size);
    }
    faultReady = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    faultDone = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    const HANDLE thread = CreateThread(nullptr, 0, &HandleFaults, nullptr, 0, &faultThreadId);
    if (faultReady == nullptr || faultDone == nullptr || thread == nullptr) {
        throw std::runtime_error("no thread to report faults on");
    }
    CloseHandle(thread);
    previousFilter = SetUnhandledExceptionFilter(&OnUnhandledException);
    AddVectoredExceptionHandler(1, &OnFirstChance);
}

}  // namespace

namespace detail {

void RunForReport(const std::function<void()>& procedure) {
    const DWORD me = GetCurrentThreadId();
    if (me != worker || State().main_thread == nullptr) {
        try {
            procedure();
        } catch (...) {
        }
        return;
    }
    TCallbackQueue& queue = Queue();
    {
        const std::lock_guard<std::mutex> guard(queue.lock);
        queue.pending = &procedure;
    }
    SetEvent(queue.ready);
    // The main thread waits in its loop for this worker; should it end
    // inside the callback, nobody would run what is left.
    const HANDLE handles[] = {queue.done, State().main_thread};
    if (WaitForMultipleObjects(2, handles, FALSE, INFINITE) != WAIT_OBJECT_0) {
        const std::lock_guard<std::mutex> guard(queue.lock);
        queue.pending = nullptr;
    }
}

void CountReport() {
    ++reportCount;
}

}  // namespace detail

TExceptionReport ReportOf(const std::exception_ptr& error) {
    TExceptionReport report;
    report.error = error;
    TRaiseRecord record;
    if (error && FindRaiseRecord(ExceptionObjectOf(error), record)) {
        report.address = record.address;
        report.thread_id = record.thread_id;
        report.has_context = true;
        report.context = record.context;
        report.stack_pointer = record.stack_pointer;
        report.stack_top = record.stack_top;
        report.stack = std::move(record.stack);
        return report;
    }
    // Made without a throw, or thrown before recording: the reporting
    // thread's own stack, copied now, stands in.
    report.thread_id = GetCurrentThreadId();
    report.stack_pointer = reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
    report.stack_top = CurrentStackTop();
    const size_t size =
        ReadableLength(reinterpret_cast<const void*>(report.stack_pointer),
                       std::min<size_t>(report.stack_top - report.stack_pointer, kRaiseStackLimit));
    const auto* bytes = reinterpret_cast<const uint8_t*>(report.stack_pointer);
    report.stack.assign(bytes, bytes + size);
    return report;
}

bool ExceptNotify(const TExceptionReport& report) {
    TReporterState& state = State();
    if (!state.installed || !state.self->Options->ReporterActive() || IsReportingThread() ||
        IsAbort(report.error)) {
        return true;
    }
    if (!report.wait_for_claim) {
        DWORD free = 0;
        if (!owner.compare_exchange_strong(free, GetCurrentThreadId())) {
            return true;
        }
    } else if (!Claim()) {
        Trace().Line("Another report held on too long; this one is dropped");
        return true;
    }
    bool result = true;
    try {
        result = GetCurrentThreadId() == state.main_thread_id
                     ? ReportOnWorker(report)
                     : detail::InternalExceptNotify(report);
    } catch (...) {
        result = false;
    }
    owner = 0;
    return result;
}

bool InstallReporter() {
    TReporterState& state = State();
    if (state.installed) {
        return true;
    }
    TTraceSwitch trace = TraceSwitchFromArgument(LastArgument());
    trace.on = trace.on || IsDebuggerPresent();
    Trace().Switch(trace);
    Trace().Enter("InstallReporter");
    try {
        state.self = state.modules.ModuleOfHandle(GetModuleHandleW(nullptr));
        if (state.self == nullptr || !state.self->Debug) {
            Trace().Leave("InstallReporter", false);
            Trace().Save();
            return false;
        }
        Trace().Line("Options and debug data of " + FileNameOf(state.self->FileName));
        state.main_thread_id = GetCurrentThreadId();
        DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(),
                        &state.main_thread, SYNCHRONIZE | THREAD_QUERY_INFORMATION, FALSE, 0);
        state.start_time = NowLogTime();
        wchar_t directory[MAX_PATH];
        const DWORD length = GetCurrentDirectoryW(MAX_PATH, directory);
        if (length > 0 && length < MAX_PATH) {
            state.start_directory.assign(directory, length);
        }
        TCallbackQueue& queue = Queue();
        queue.ready = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        queue.done = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        if (queue.ready == nullptr || queue.done == nullptr) {
            throw std::runtime_error("no events for the report's callbacks");
        }
        // The program's own options (named by its file name) start and stop
        // the watchdog.
        SetThisModuleName(FileNameOf(state.self->FileName));
        InstallThreadTracking();
        SetEscapedExceptionSink(&OnEscapedException);
        if (void* entry = ProcedureAddressOfName(state.modules, kHandleExceptionName)) {
            handleException = reinterpret_cast<THandleException>(HookCode(
                entry, reinterpret_cast<void*>(&HookedHandleException), kHandleExceptionName));
        }
        threadFatal = reinterpret_cast<TThreadFatal>(
            HookCode(reinterpret_cast<void*>(&framework::detail::ThreadFatalEntry),
                     reinterpret_cast<void*>(&HookedThreadFatal), "framework::TThread"));
        std::set_terminate(&OnTerminate);
        InstallFaultHandling();
        EnableRaiseRecords(true);
        state.installed = true;
        TFreezeWatchSettings watch;
        watch.main_thread_id = state.main_thread_id;
        watch.main_stack_top = CurrentStackTop();
        watch.report = &OnFrozen;
        FollowFreezeWatch(*state.self->Options, watch);
    } catch (const std::exception& error) {
        // Without its hooks the reporter stays out of the way.
        Trace().Error("InstallReporter", error.what());
        Trace().Leave("InstallReporter", false);
        return false;
    }
    Trace().Leave("InstallReporter", true);
    Trace().Save();
    return true;
}

void UninstallReporter() {
    TReporterState& state = State();
    if (!state.installed) {
        return;
    }
    Trace().Enter("UninstallReporter");
    StopFreezeWatch();
    state.installed = false;
    Trace().Leave("UninstallReporter");
    Trace().Save();
}

TVivavaModuleOptionsEx* ReporterOptions() {
    TReporterState& state = State();
    return state.installed ? state.self->Options.get() : nullptr;
}

bool ReporterInstalled() {
    return State().installed;
}

std::u16string ReporterLogPath() {
    TReporterState& state = State();
    if (state.self == nullptr) {
        return {};
    }
    return WritableLogPath(LogFilePath(*state.self->Options, state.self->FileName));
}

int ReportCount() {
    return reportCount;
}

}  // namespace exceptions
