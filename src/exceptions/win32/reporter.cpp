#include "exceptions/win32/reporter.h"

#include <shellapi.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <stdexcept>

#include "base/exception.h"
#include "exceptions/exception_info.h"
#include "exceptions/log_file.h"
#include "exceptions/log_item.h"
#include "exceptions/report_text.h"
#include "exceptions/trace.h"
#include "exceptions/win32/code_hooks.h"
#include "exceptions/win32/freeze_watch.h"
#include "exceptions/win32/log_writer.h"
#include "exceptions/win32/modules.h"
#include "exceptions/win32/raise_record.h"
#include "exceptions/win32/stack_memory.h"
#include "exceptions/win32/system_info.h"
#include "exceptions/win32/thread_tracking.h"
#include "framework/forms.h"
#include "framework/graphics.h"
#include "framework/threads.h"
#include "platform/file_stream.h"

namespace exceptions {

namespace {

constexpr char kHandleExceptionName[] = "Forms.TApplication.HandleException";

struct TReporterState {
    bool installed = false;
    DWORD main_thread_id = 0;
    TLogTime start_time{};
    TVivavaModulesList modules;
    TVivavaModuleInfo* self = nullptr;
    std::recursive_mutex lock;
};

// Made once and never destroyed: reports may run while the process ends.
TReporterState& State() {
    static auto* state = new TReporterState;
    return *state;
}

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

using THandleException = void (*)(framework::TApplication*, const std::exception_ptr*);
THandleException handleException = nullptr;  // the framework's own, through its trampoline

std::string Gbk(std::wstring_view text) {
    return framework::GbkText(text);
}

std::wstring Wide(const std::u16string& text) {
    return std::wstring(text.begin(), text.end());
}

std::string FileNameOf(const std::u16string& path) {
    const size_t slash = path.find_last_of(u"\\/");
    return Gbk(Wide(slash == std::u16string::npos ? path : path.substr(slash + 1)));
}

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

// Takes the report for this thread, waiting while another thread that still
// lives holds it (a holder that died leaves it to the next).
void Claim() {
    const DWORD me = GetCurrentThreadId();
    for (;;) {
        DWORD holder = 0;
        if (owner.compare_exchange_strong(holder, me)) {
            return;
        }
        if (!ThreadAlive(holder) && owner.compare_exchange_strong(holder, me)) {
            return;
        }
        Sleep(10);
    }
}

// The window texts of section 3: the foreground window, and the control with
// the focus in the main thread. Read without sending messages (the main
// thread may be busy or stopped).
void CollectActiveControls(TReportFields& fields, DWORD main_thread) {
    const auto texts = [](HWND window, std::string& class_name, std::string& text) {
        wchar_t buffer[257];
        const int class_length = GetClassNameW(window, buffer, 257);
        class_name = Gbk(std::wstring_view(buffer, class_length > 0 ? class_length : 0));
        const int text_length = InternalGetWindowText(window, buffer, 257);
        text = Gbk(std::wstring_view(buffer, text_length > 0 ? text_length : 0));
    };
    if (const HWND foreground = GetForegroundWindow()) {
        std::string text;
        texts(foreground, fields.form_class, text);
        fields.form_text = LogWindowText(text);
    }
    GUITHREADINFO gui{};
    gui.cbSize = sizeof gui;
    if (GetGUIThreadInfo(main_thread, &gui) && gui.hwndFocus != nullptr) {
        std::string text;
        texts(gui.hwndFocus, fields.control_class, text);
        const auto style = static_cast<uint32_t>(GetWindowLongW(gui.hwndFocus, GWL_STYLE));
        fields.control_text = LogWindowText(ActiveControlText(fields.control_class, style, text));
    }
}

uintptr_t ContextStackPointer(const CONTEXT& context) {
#if defined(__x86_64__)
    return context.Rsp;
#else
    return context.Esp;
#endif
}

// The report itself: the options of the module the exception belongs to,
// the filter, the call stack (with where the thread was started), the texts,
// the duplicate test and the log. True when nothing was reported.
bool ReportException(const TExceptionReport& report);

bool InternalExceptNotify(const TExceptionReport& report) {
    Trace().Enter("InternalExceptNotify",
                  {TTraceArg::Address(report.address), static_cast<uint64_t>(report.thread_id)});
    bool result = false;
    try {
        result = ReportException(report);
    } catch (const std::exception& error) {
        Trace().Error("InternalExceptNotify", error.what());
    } catch (...) {
        Trace().Error("InternalExceptNotify", kGeneralInternalError);
    }
    Trace().Leave("InternalExceptNotify", result);
    Trace().Save();
    return result;
}

bool ReportException(const TExceptionReport& report) {
    TReporterState& state = State();
    const std::lock_guard<std::recursive_mutex> guard(state.lock);
    const TLogTime date = NowLogTime();
    TExceptionTexts texts = report.error ? ExceptionTextsOf(report.error) : TExceptionTexts{};
    if (!report.type.empty() || !report.error) {
        texts.type = report.type.empty() ? "Unknown exception type." : report.type;
        texts.message = report.message.empty() ? "Unknown error message." : report.message;
    }

    // The options of the module that holds the address when it carries debug
    // data, else this program's.
    TVivavaModuleInfo* module =
        report.address != 0 ? state.modules.ModuleOfAddress(report.address) : nullptr;
    TVivavaModuleInfo* source = module != nullptr && module->Debug ? module : state.self;
    TVivavaModuleOptions options("", false);
    options.Assign(*source->Options);
    options.SetModuleName(Gbk(Wide(source->FileName)));

    if (texts.type_info != nullptr) {
        if (const auto entry =
                FilterEntryFor(options, ExceptionClassAndAncestors(*texts.type_info))) {
            const std::string message =
                *entry < static_cast<size_t>(options.FilterMessages().Count())
                    ? options.FilterMessages()[static_cast<int>(*entry)]
                    : std::string();
            if (!message.empty()) {
                MessageBoxW(nullptr, framework::WideText(message).c_str(),
                            framework::WideText(options.Texts(0)).c_str(), 0x242040);
            }
            return false;
        }
    }

    // The call stack: from the copy taken at the throw, or the live stack.
    const TLiveMemory live;
    const TImageReader copy(
        report.stack_pointer,
        std::string_view(reinterpret_cast<const char*>(report.stack.data()), report.stack.size()),
        &live);
    const TMemoryReader& memory =
        report.stack.empty() ? static_cast<const TMemoryReader&>(live) : copy;
    const uintptr_t last_word = report.stack.empty()
                                    ? report.stack_top - sizeof(void*)
                                    : report.stack_pointer + report.stack.size() - sizeof(void*);
    size_t omitted = 0;
    std::vector<TVivavaDebugInfo> entries = state.modules.WalkStack(
        memory, report.address != 0 ? std::optional<uint64_t>(report.address) : std::nullopt,
        report.stack_pointer, last_word, &omitted);
    // Where the thread was started.
    std::string snapshot;
    uintptr_t snapshot_at = 0;
    WithThreadRecord(report.thread_id, [&](const TThreadRecord& record) {
        if (record.SnapshotSize > 0) {
            snapshot.assign(reinterpret_cast<const char*>(record.SnapshotData.get()),
                            record.SnapshotSize);
            snapshot_at = record.SnapshotAddress;
        }
    });
    if (!snapshot.empty()) {
        const TImageReader creator(snapshot_at, snapshot, &live);
        const std::vector<TVivavaDebugInfo> more = state.modules.WalkStack(
            creator, std::nullopt, snapshot_at, snapshot_at + snapshot.size() - sizeof(void*));
        entries.insert(entries.end(), more.begin(), more.end());
    }
    if (entries.size() > 1 && entries[0].Address == entries[1].Address) {
        entries.erase(entries.begin());
    }

    state.modules.Refresh();
    TReportFields fields;
    CollectSystemFields(fields);
    fields.start_date = LogDateText(state.start_time);
    fields.date = LogDateText(date);
    fields.address = report.address != 0 ? HexText(report.address, AddressDigits(kHostCpu)) : "";
    fields.module = module != nullptr ? FileNameOf(module->FileName) : "";
    fields.type = texts.type;
    fields.message = LogMessageText(texts.message);
    CollectActiveControls(fields, state.main_thread_id);

    const std::string general = GeneralSections(options, fields);
    const std::string tables =
        CallStackAndModulesText(options, kHostCpu, entries, state.modules.Rows(), omitted);
    const TCpuRegisters registers = RegistersOf(report.context);
    const std::string cpu =
        CpuText(options, kHostCpu, report.has_context ? &registers : nullptr,
                report.has_context ? ContextStackPointer(report.context) : report.stack_pointer,
                report.address, memory);

    const std::u16string log = WritableLogPath(LogFilePath(options, source->FileName));
    bool duplicate = false;
    if ((options.ReportFlags() & kReportSkipDuplicates) != 0) {
        try {
            const std::optional<uint64_t> base =
                module != nullptr
                    ? std::optional<uint64_t>(reinterpret_cast<uintptr_t>(module->Handle))
                    : std::nullopt;
            duplicate =
                ReadLog(log).IsDuplicate(report.address, fields.address, fields.module, fields.type,
                                         fields.message, base, options.Texts(9));
        } catch (const std::exception&) {
            // An unreadable log holds no duplicate.
        }
    }
    ++reportCount;

    if (options.ShowReport()) {
        // The report window comes later; until then the message shows.
        std::string text = texts.message;
        if (!text.empty() && text.back() != '.') {
            text += '.';
        }
        MessageBoxW(nullptr, framework::WideText(text).c_str(),
                    framework::WideText(options.Texts(2)).c_str(), 0x242010);
    }
    if (options.KeepLogFile()) {
        try {
            AppendToLog(options, log,
                        LogItemText(options, general, tables, cpu, std::string_view()), duplicate,
                        true);
        } catch (const std::exception& error) {
            // The report goes on without its log item.
            const std::string message = error.what();
            Trace().Warning(TInternalError::eeLogError, HandlerWarningMessage("Log", &message));
        }
    }
    return false;
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
            result = InternalExceptNotify(report_);
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
        return InternalExceptNotify(report);  // no thread to be had: report here
    }
    worker = thread->ThreadID();
    thread->Start();
    const HANDLE handle = thread->Handle();
    for (;;) {
        const DWORD woken = MsgWaitForMultipleObjectsEx(
            1, &handle, INFINITE, QS_PAINT | QS_INPUT | QS_SENDMESSAGE, MWMO_INPUTAVAILABLE);
        if (woken != WAIT_OBJECT_0 + 1) {
            break;
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

DWORD WINAPI HandleFaults(LPVOID) {
    if (WaitForSingleObject(faultReady, INFINITE) != WAIT_OBJECT_0) {
        return 0;
    }
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

// Makes the handler thread and puts the filter in place.
void InstallFaultHandling() {
    faultReady = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    faultDone = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    const HANDLE thread = CreateThread(nullptr, 0, &HandleFaults, nullptr, 0, &faultThreadId);
    if (faultReady == nullptr || faultDone == nullptr || thread == nullptr) {
        throw std::runtime_error("no thread to report faults on");
    }
    CloseHandle(thread);
    previousFilter = SetUnhandledExceptionFilter(&OnUnhandledException);
}

}  // namespace

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
    if (!state.installed || IsReportingThread() || IsAbort(report.error)) {
        return true;
    }
    if (!report.wait_for_claim) {
        DWORD free = 0;
        if (!owner.compare_exchange_strong(free, GetCurrentThreadId())) {
            return true;
        }
    } else {
        Claim();
    }
    bool result = true;
    try {
        result = GetCurrentThreadId() == state.main_thread_id ? ReportOnWorker(report)
                                                              : InternalExceptNotify(report);
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
        Trace().Line("Options and debug data of " + Gbk(Wide(state.self->FileName)));
        state.main_thread_id = GetCurrentThreadId();
        state.start_time = NowLogTime();
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
