// The report pipeline: one exception that the capture side found unhandled
// becomes what the user sees and what the log keeps. The steps carry the
// numbers that the reporter's own failures name in the trace
// ("InternalExceptNotify.7").

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>

#include "exceptions/exception_info.h"
#include "exceptions/log_file.h"
#include "exceptions/log_item.h"
#include "exceptions/report_text.h"
#include "exceptions/win32/freeze_watch.h"
#include "exceptions/win32/log_writer.h"
#include "exceptions/win32/mail_sending.h"
#include "exceptions/win32/raise_record.h"
#include "exceptions/win32/report_dialog.h"
#include "exceptions/win32/reporter_internal.h"
#include "exceptions/win32/screenshot.h"
#include "exceptions/win32/stack_memory.h"
#include "exceptions/win32/system_info.h"
#include "exceptions/win32/thread_tracking.h"
#include "framework/graphics.h"

namespace exceptions {

namespace {

std::mutex callbacksLock;
TReportCallbacks callbacks;

TReportCallbacks Callbacks() {
    const std::lock_guard<std::mutex> guard(callbacksLock);
    return callbacks;
}

// The "EXCEPT" data of this program, kept in the process: texts that replace
// the exception's own in the report under way. Its first byte is 0 while it
// holds nothing new.
std::mutex exceptLock;
std::string exceptBlock(1, '\0');

// Takes the texts the EXCEPT data holds, and marks them taken.
std::optional<TExceptBlock> TakeExceptTexts() {
    const std::lock_guard<std::mutex> guard(exceptLock);
    std::optional<TExceptBlock> texts = DecodeExceptBlock(exceptBlock);
    exceptBlock.assign(1, '\0');
    return texts;
}

std::atomic<bool> quitRequested{false};

// The window texts of section 3: the foreground window, and the control with
// the focus in the main thread. Read without sending messages (the main
// thread may be busy or stopped).
void CollectActiveControls(TReportFields& fields, DWORD main_thread) {
    const auto texts = [](HWND window, std::string& class_name, std::string& text) {
        wchar_t buffer[257];
        const int class_length = GetClassNameW(window, buffer, 257);
        class_name = detail::Gbk(std::wstring_view(buffer, class_length > 0 ? class_length : 0));
        const int text_length = InternalGetWindowText(window, buffer, 257);
        text = detail::Gbk(std::wstring_view(buffer, text_length > 0 ? text_length : 0));
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

// A console program reports on its standard output; any other in a window.
bool IsConsoleProgram() {
    const auto* image = reinterpret_cast<const uint8_t*>(GetModuleHandleW(nullptr));
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(image + dos->e_lfanew);
    return nt->OptionalHeader.Subsystem == IMAGE_SUBSYSTEM_WINDOWS_CUI;
}

// The message as the user reads it: line breaks kept, ended by a ".".
std::string ErrorMessageText(std::string message) {
    if (!message.empty() && message.back() != '.') {
        message += '.';
    }
    return message;
}

// Shows the report on the program's own channel; false when it could not.
bool ShowReportOnChannel(const TVivavaModuleOptions& options, const std::string& error_message,
                         const std::string& report_text) {
    if (IsConsoleProgram()) {
        const std::string text = options.Texts(3) + "\r\n\r\n" + report_text + "\r\n";
        DWORD written = 0;
        if (!WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text.data(),
                       static_cast<DWORD>(text.size()), &written, nullptr) ||
            written != text.size()) {
            detail::Trace().Warning(TInternalError::eeShowError, "Console");
            return false;
        }
        return true;
    }
    // The report window comes later; until then the message shows.
    if (MessageBoxW(nullptr, framework::WideText(error_message).c_str(),
                    framework::WideText(options.Texts(2)).c_str(), 0x242010) == 0) {
        detail::Trace().Warning(TInternalError::eeShowError, "GUI");
        return false;
    }
    return true;
}

// Starts the program again as it was started: its own command line and
// start-up information, from the folder it was started in, in a process
// group of its own, inheriting no handles. The program file is named
// exactly, so a command line naming it relatively cannot start another file
// found from the start folder.
void Restart() {
    const detail::TReporterState& state = detail::State();
    wchar_t program[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, program, MAX_PATH);
    std::wstring command = GetCommandLineW();
    STARTUPINFOW startup{};
    GetStartupInfoW(&startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (CreateProcessW(length > 0 && length < MAX_PATH ? program : nullptr, command.data(), nullptr,
                       nullptr, FALSE, CREATE_NEW_PROCESS_GROUP | NORMAL_PRIORITY_CLASS, nullptr,
                       state.start_directory.empty() ? nullptr : state.start_directory.c_str(),
                       &startup, &process)) {
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    } else {
        detail::Trace().Line("Restart failed: " + std::to_string(GetLastError()));
    }
}

// One report, from the options to the quit. `step` is the number of the step
// under way, for the internal error when a step fails.
class TReportRun {
  public:
    TReportRun(const TExceptionReport& report, int& step) : report_(report), step_(step) {}

    bool Run();

  private:
    void ComposeTexts();
    // Runs a callback where the report's callbacks run, then takes texts it
    // set for the exception.
    void Notify(const std::function<void()>& callback);
    bool Action(TReportAction action);
    // Shows the report on the program's channel: for a GUI program the
    // report dialog (again while the quit notification declines a quit)
    // and then, when wanted, the request window.
    void ShowReport(const std::string& error_message);
    void SendMail(TReportFiles& files, const std::optional<std::u16string>& screenshot);
    void WriteLog();

    detail::TReporterState& state_ = detail::State();
    const TExceptionReport& report_;
    int& step_;
    TReportCallbacks callbacks_ = Callbacks();
    TVivavaModuleOptions options_{"", false};
    TVivavaModuleInfo* module_ = nullptr;
    TExceptionTexts texts_;
    TReportFields fields_;
    std::vector<TVivavaDebugInfo> stack_;
    size_t omitted_ = 0;
    std::string general_, tables_, cpu_;
    TVivavaExceptionRecord record_;
    std::u16string log_;
    bool duplicate_ = false;
    // The report dialog's boxes, preset before it shows.
    bool send_ = false;
    bool screenshot_ = false;
    bool clipboard_ = false;
    std::string request_;  // what the user typed in the request window
    std::string text_to_send_;
};

void TReportRun::ComposeTexts() {
    fields_.type = texts_.type;
    fields_.message = LogMessageText(texts_.message);
    general_ = GeneralSections(options_, fields_);
    record_.ReportText = LogItemText(options_, general_, tables_, cpu_, std::string_view());
    text_to_send_ = record_.ReportText;
}

void TReportRun::Notify(const std::function<void()>& callback) {
    detail::RunForReport(callback);
    if (const std::optional<TExceptBlock> texts = TakeExceptTexts()) {
        texts_.type = texts->type;
        texts_.message = texts->message;
        ComposeTexts();
    }
}

bool TReportRun::Action(TReportAction action) {
    bool go_ahead = true;
    if (callbacks_.action_notify) {
        Notify([&] { callbacks_.action_notify(record_, action, go_ahead); });
    }
    return go_ahead;
}

void TReportRun::ShowReport(const std::string& error_message) {
    if (IsConsoleProgram()) {
        ShowReportOnChannel(options_, error_message, record_.ReportText);
        return;
    }
    TReportDialogInput in;
    in.options = &options_;
    in.error_message = error_message;
    in.general_text = general_;
    in.cpu_text = cpu_;
    for (const TVivavaDebugInfo& entry : stack_) {
        const TVivavaModuleInfo* module = state_.modules.ModuleOfAddress(entry.Address);
        in.stack.push_back(TReportStackRow{
            entry, module != nullptr && module->Kind == TVivavaModuleInfo::kExecutable});
    }
    in.modules = state_.modules.Rows();
    in.duplicate = duplicate_;
    in.exception_count = static_cast<uint32_t>(ReportCount());
    in.settings_file = ReportDialogSettingsFile();
    // A declined quit shows the dialog again; a callback that keeps
    // declining gets the report closed after a while.
    for (int round = 0; round < 100; ++round) {
        const TReportDialogResult shown = ShowReportDialog(in);
        if (!shown.shown) {
            return;
        }
        send_ = shown.send;
        screenshot_ = shown.screenshot;
        clipboard_ = shown.clipboard;
        if (shown.quit && !Action(TReportAction::Quit)) {
            continue;
        }
        if (shown.quit) {
            quitRequested = true;
        }
        break;
    }
    if ((options_.ReportFlags() & kReportAskSteps) != 0 && !duplicate_ &&
        (options_.DeliveryMode() != kDeliveryNone || options_.KeepLogFile())) {
        request_ = AskReproductionSteps(options_);
        record_.ReportText = LogItemText(options_, general_, tables_, cpu_, request_);
        text_to_send_ = record_.ReportText;
    }
}

void TReportRun::WriteLog() {
    // A callback may retry a failed write; a few times at most.
    for (int attempt = 0; attempt < 10; ++attempt) {
        try {
            text_to_send_ = AppendToLog(options_, log_,
                                        LogItemText(options_, general_, tables_, cpu_, request_),
                                        duplicate_, true);
            return;
        } catch (const std::exception& error) {
            const std::string message = error.what();
            detail::Trace().Warning(TInternalError::eeLogError,
                                    HandlerWarningMessage("Log", &message));
        }
        bool retry = false;
        if (callbacks_.error_notify) {
            Notify([&] { callbacks_.error_notify(record_, TReportAction::AfterLog, retry); });
        }
        if (!retry) {
            return;
        }
    }
}

void TReportRun::SendMail(TReportFiles& files, const std::optional<std::u16string>& screenshot) {
    TReportMail mail;
    mail.options = &options_;
    mail.text = text_to_send_;
    mail.reproduction = request_;
    const size_t slash = log_.find_last_of(u"\\/");
    mail.log_name = slash == std::u16string::npos ? log_ : log_.substr(slash + 1);
    if (screenshot_) {
        mail.screenshot = screenshot;
    }
    mail.files = &files;
    mail.gui = !IsConsoleProgram();
    mail.action = [this](TReportAction action) { return Action(action); };
    mail.retry = [this] {
        bool retry = false;
        if (callbacks_.error_notify) {
            Notify([&] { callbacks_.error_notify(record_, TReportAction::AfterSend, retry); });
        }
        return retry;
    };
    SendReportMail(mail);
}

bool TReportRun::Run() {
    step_ = 1;
    detail::Trace().Save();
    const TLogTime date = NowLogTime();
    texts_ = report_.error ? ExceptionTextsOf(report_.error) : TExceptionTexts{};
    if (!report_.type.empty() || !report_.error) {
        texts_.type = report_.type.empty() ? kUnknownExceptionType : report_.type;
        texts_.message = report_.message.empty() ? kUnknownErrorMessage : report_.message;
    }
    if (const std::optional<TExceptBlock> texts = TakeExceptTexts()) {
        texts_.type = texts->type;
        texts_.message = texts->message;
    }
    // The options of the module that holds the address when it carries
    // debug data, else this program's.
    module_ = report_.address != 0 ? state_.modules.ModuleOfAddress(report_.address) : nullptr;
    TVivavaModuleInfo* source = module_ != nullptr && module_->Debug ? module_ : state_.self;
    options_.Assign(*source->Options);
    options_.SetModuleName(detail::FileNameOf(source->FileName));

    step_ = 2;
    if (texts_.type_info != nullptr) {
        if (const auto entry =
                FilterEntryFor(options_, ExceptionClassAndAncestors(*texts_.type_info))) {
            const std::string message =
                *entry < static_cast<size_t>(options_.FilterMessages().Count())
                    ? options_.FilterMessages()[static_cast<int>(*entry)]
                    : std::string();
            if (!message.empty()) {
                MessageBoxW(nullptr, framework::WideText(message).c_str(),
                            framework::WideText(options_.Texts(0)).c_str(), 0x242040);
            }
            step_ = 18;
            return false;
        }
    }

    // The call stack: from the copy taken at the throw, or the live stack.
    step_ = 3;
    const TLiveMemory live;
    const TImageReader copy(
        report_.stack_pointer,
        std::string_view(reinterpret_cast<const char*>(report_.stack.data()), report_.stack.size()),
        &live);
    const TMemoryReader& memory =
        report_.stack.empty() ? static_cast<const TMemoryReader&>(live) : copy;
    const uintptr_t last_word = report_.stack.empty()
                                    ? report_.stack_top - sizeof(void*)
                                    : report_.stack_pointer + report_.stack.size() - sizeof(void*);
    step_ = 4;
    stack_ = state_.modules.WalkStack(
        memory, report_.address != 0 ? std::optional<uint64_t>(report_.address) : std::nullopt,
        report_.stack_pointer, last_word, &omitted_);
    // Where the thread was started.
    step_ = 5;
    std::string snapshot;
    uintptr_t snapshot_at = 0;
    WithThreadRecord(report_.thread_id, [&](const TThreadRecord& record) {
        if (record.SnapshotSize > 0) {
            snapshot.assign(reinterpret_cast<const char*>(record.SnapshotData.get()),
                            record.SnapshotSize);
            snapshot_at = record.SnapshotAddress;
        }
    });
    if (!snapshot.empty()) {
        const TImageReader creator(snapshot_at, snapshot, &live);
        const std::vector<TVivavaDebugInfo> more = state_.modules.WalkStack(
            creator, std::nullopt, snapshot_at, snapshot_at + snapshot.size() - sizeof(void*));
        stack_.insert(stack_.end(), more.begin(), more.end());
    }
    // The place itself, found again on the stack, is listed once.
    step_ = 6;
    if (stack_.size() > 1 && stack_[0].Address == stack_[1].Address) {
        stack_.erase(stack_.begin());
    } else if (report_.error && !stack_.empty() &&
               std::any_of(stack_.begin() + 1, stack_.end(), [&](const TVivavaDebugInfo& entry) {
                   return entry.Address == stack_[0].Address;
               })) {
        stack_.erase(stack_.begin());
    }

    step_ = 7;
    state_.modules.Refresh();
    CollectSystemFields(fields_);
    fields_.start_date = LogDateText(state_.start_time);
    fields_.date = LogDateText(date);
    fields_.address = report_.address != 0 ? HexText(report_.address, AddressDigits(kHostCpu)) : "";
    fields_.module = module_ != nullptr ? detail::FileNameOf(module_->FileName) : "";
    CollectActiveControls(fields_, state_.main_thread_id);
    tables_ = CallStackAndModulesText(options_, kHostCpu, stack_, state_.modules.Rows(), omitted_);
    const TCpuRegisters registers = RegistersOf(report_.context);
    cpu_ = CpuText(
        options_, kHostCpu, report_.has_context ? &registers : nullptr,
        report_.has_context ? detail::ContextStackPointer(report_.context) : report_.stack_pointer,
        report_.address, memory);
    record_.ExceptionObject = report_.error ? ExceptionObjectOf(report_.error) : nullptr;
    record_.ExceptionAddress = report_.address;
    record_.ThreadId = report_.thread_id;
    record_.ModulesList = &state_.modules;
    record_.CallStack = &stack_;
    record_.ModuleOptions = &options_;
    ComposeTexts();
    log_ = WritableLogPath(LogFilePath(options_, source->FileName));
    if ((options_.ReportFlags() & kReportSkipDuplicates) != 0) {
        try {
            const std::optional<uint64_t> base =
                module_ != nullptr
                    ? std::optional<uint64_t>(reinterpret_cast<uintptr_t>(module_->Handle))
                    : std::nullopt;
            duplicate_ =
                ReadLog(log_).IsDuplicate(report_.address, fields_.address, fields_.module,
                                          fields_.type, fields_.message, base, options_.Texts(9));
        } catch (const std::exception&) {
            // An unreadable log holds no duplicate.
        }
    }
    detail::Trace().ClearLastError();
    bool handle = true;
    if (callbacks_.exception_notify) {
        Notify([&] { callbacks_.exception_notify(record_, handle); });
    }
    step_ = 8;
    if (!handle) {
        step_ = 17;
        return true;
    }

    step_ = 9;
    detail::CountReport();

    step_ = 10;
    const std::string error_message = ErrorMessageText(texts_.message);
    send_ = options_.DeliveryMode() != kDeliveryNone;
    screenshot_ = options_.AttachScreenshot();
    // The screen as it was, before any report window covers it. A capture
    // that fails leaves the report without a screenshot; the files of the
    // report go when it is done, whatever happens.
    TReportFiles files;
    std::optional<std::u16string> screenshot;
    if (options_.AttachScreenshot()) {
        std::string error = "Screenshot not written: no temporary folder";
        const std::u16string path = files.PathOf(kScreenshotFileName);
        if (!path.empty() && WriteScreenshotFile(path, &error)) {
            screenshot = path;
        } else {
            detail::Trace().Line("Screenshot: " + error);
        }
    }

    if (options_.ShowReport()) {
        step_ = 12;
        detail::Trace().ClearLastError();
        if (Action(TReportAction::BeforeShow)) {
            step_ = 13;
            ShowReport(error_message);
            step_ = 14;
            Action(TReportAction::AfterShow);
        }
    }

    step_ = 15;
    if (options_.KeepLogFile() && Action(TReportAction::BeforeLog)) {
        WriteLog();
        Action(TReportAction::AfterLog);
    }
    if (clipboard_ && !CopyTextToClipboard(nullptr, record_.ReportText)) {
        detail::Trace().Warning(TInternalError::eeShowError, "Clipboard");
    }

    step_ = 16;
    if (options_.DeliveryMode() != kDeliveryNone && !duplicate_ && send_) {
        SendMail(files, screenshot);
    }

    step_ = 18;
    if (quitRequested) {
        step_ = 19;
        if (options_.QuitRestarts() == 1) {
            Restart();
        }
        detail::Trace().Line("Quit");
        detail::Trace().Save();
        TerminateProcess(GetCurrentProcess(), 1);
    }
    return false;
}

}  // namespace

namespace detail {

bool InternalExceptNotify(const TExceptionReport& report) {
    Trace().Enter("InternalExceptNotify",
                  {TTraceArg::Address(report.address), static_cast<uint64_t>(report.thread_id)});
    bool result = false;
    int step = 0;
    const auto failed = [&](std::string_view message) {
        // The bytes at the place of the exception, when they can be read.
        uint8_t bytes[32];
        std::optional<std::span<const uint8_t>> dump;
        const auto* at = reinterpret_cast<const uint8_t*>(report.address);
        if (report.address != 0 && ReadableLength(at, sizeof bytes) == sizeof bytes) {
            std::copy(at, at + sizeof bytes, bytes);
            dump = std::span<const uint8_t>(bytes);
        }
        Trace().Error("InternalExceptNotify." + std::to_string(step), message, dump);
    };
    try {
        TReportRun run(report, step);
        result = run.Run();
    } catch (const std::exception& error) {
        failed(error.what());
    } catch (...) {
        failed(kGeneralInternalError);
    }
    quitRequested = false;
    Trace().Leave("InternalExceptNotify", result);
    Trace().Save();
    return result;
}

}  // namespace detail

void SetReportCallbacks(TReportCallbacks value) {
    const std::lock_guard<std::mutex> guard(callbacksLock);
    callbacks = std::move(value);
}

void SetExceptionTexts(std::string_view type, std::string_view message) {
    const std::lock_guard<std::mutex> guard(exceptLock);
    exceptBlock = EncodeExceptBlock(type, message);
}

void RequestQuit() {
    quitRequested = true;
}

TReporterTrace::TLastError LastInternalError() {
    return detail::Trace().LastError();
}

bool CopyTextToClipboard(HWND owner, std::string_view text) {
    const std::wstring wide = framework::WideText(text);
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (attempt > 0) {
            Sleep(50);
        }
        if (!OpenClipboard(owner)) {
            continue;
        }
        bool done = false;
        const size_t bytes = (wide.size() + 1) * sizeof(wchar_t);
        if (EmptyClipboard()) {
            if (const HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, bytes)) {
                if (void* place = GlobalLock(memory)) {
                    std::memcpy(place, wide.c_str(), bytes);
                    GlobalUnlock(memory);
                    done = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
                }
                if (!done) {
                    GlobalFree(memory);
                }
            }
        }
        CloseClipboard();
        return done;
    }
    return false;
}

}  // namespace exceptions
