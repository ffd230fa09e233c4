#pragma once

// The reporter's internal trace and its own error and warning lines.
//
// The trace is a diagnostic log of the reporter itself: traced procedures
// write a line when they start, with their arguments, and one with their
// result when they end, indented by their nesting. It is off unless the
// program was started with "DEBUG" (or "DEBUGSAVE") as its last argument or a
// debugger was attached; it is kept in memory and saved as one text through
// an injected writer (the Windows side writes it beside the executable).
//
// Every text here is built by concatenation: a message is never used as a
// format, so "%" or quotes in it come out as they are.

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <typeinfo>
#include <vector>

#include "base/datetime.h"

namespace exceptions {

// The reporter's own failures, in this order.
enum class TInternalError {
    eeNone,
    eeShowError,
    eeLogError,
    eeEmailMAPIError,
    eeEmailShellError,
    eeEmailSMTPError,
};

// "eeNone", "eeShowError", ...; "" for a value outside the enumeration.
std::string_view InternalErrorName(TInternalError code);

// The message of an internal error whose object is not a std::exception.
inline constexpr char kGeneralInternalError[] = "General internal error.";

// [WARNING] - Code: eeLogError - Message: "..."
std::string WarningLine(TInternalError code, std::string_view message);
// [ERROR] - Section: InternalExceptNotify.7 - Message: "..."
std::string ErrorLine(std::string_view section, std::string_view message);
// The message of a warning raised from a handler: "[section] message" when
// the handler caught an exception with a message (`message` not null),
// "General 'section' error." otherwise.
std::string HandlerWarningMessage(std::string_view section, const std::string* message);
// "Memory Dump: " and, for each of the first 32 bytes, "$", two upper-case
// hexadecimal digits and a blank.
std::string MemoryDumpLine(std::span<const uint8_t> bytes);

// Whether the trace is on, as the last command-line argument asks.
struct TTraceSwitch {
    bool on = false;
    bool save_each_line = false;

    bool operator==(const TTraceSwitch&) const = default;
};

// Exactly "DEBUG" (any letter case) turns the trace on; exactly "DEBUGSAVE"
// also saves it after every line. Anything else leaves it off: the updater's
// one argument is a URL, which may well contain "debug".
TTraceSwitch TraceSwitchFromArgument(std::string_view last_argument);

// An argument or result of a traced procedure, rendered as the trace shows
// it: integers in decimal, booleans as True/False, strings in single quotes,
// pointers as "$" and 8 upper-case hexadecimal digits (16 for a value that
// does not fit 32 bits) or "nil", objects by their class name or "nil".
class TTraceArg {
  public:
    template <typename T>
    requires std::is_integral_v<T> &&(!std::is_same_v<T, bool>)TTraceArg(T value)
        : text_(std::to_string(value)) {}
    TTraceArg(bool value) : text_(value ? "True" : "False") {}
    TTraceArg(std::string_view value);
    TTraceArg(const char* value) : TTraceArg(std::string_view(value ? value : "")) {}
    TTraceArg(const std::string& value) : TTraceArg(std::string_view(value)) {}
    TTraceArg(const void* value) : TTraceArg(Address(reinterpret_cast<uintptr_t>(value))) {}
    TTraceArg(std::nullptr_t) : text_("nil") {}

    // A pointer given as a number.
    static TTraceArg Address(uint64_t value);
    // An object by its dynamic type; "nil" for none.
    static TTraceArg Object(const std::type_info* type);
    // A value that has no rendering.
    static TTraceArg Unknown();

    const std::string& Text() const { return text_; }

  private:
    struct Raw {};
    TTraceArg(Raw, std::string text) : text_(std::move(text)) {}

    std::string text_;
};

// The trace. Lines are "dd/mm/yy hh:nn:ss", two blanks, the indentation and
// the text; Text() joins them with CR LF after each. While the trace is off
// nothing is kept and nothing is saved, but Warning still records the last
// internal error and every warning and error line still goes to the debug
// output. Registered secrets are replaced by "***" in every line, those
// written before the registration included. All members may be called from
// any thread; one lock serialises them.
//
// The clock, the writer and the debug output run under that lock. A writer
// that writes trace lines itself gets them kept, but not saved again.
class TReporterTrace {
  public:
    // The local time for a line.
    using TClock = std::function<base::DateTimeFields()>;
    // Stores the whole trace text; false (or an exception) when it could not.
    using TWriter = std::function<bool(std::string_view text)>;
    // Receives every warning and error line (the debugger's output).
    using TDebugOutput = std::function<void(std::string_view line)>;

    TReporterTrace(TClock clock, TWriter writer, TDebugOutput debug_output = {});
    TReporterTrace(const TReporterTrace&) = delete;
    TReporterTrace& operator=(const TReporterTrace&) = delete;

    // Turns the trace on or off. Turning it on keeps what is there; lines
    // written while it was off are lost.
    void Switch(TTraceSwitch value);
    bool On() const;

    // One line with `text`.
    void Line(std::string_view text);
    // "name(a, b)", then two more blanks of indentation.
    void Enter(std::string_view name, std::initializer_list<TTraceArg> args = {});
    // Two blanks less indentation (never below none), then "name = result".
    void Leave(std::string_view name, const TTraceArg& result);
    // The same without a result: "name".
    void Leave(std::string_view name);

    // Records `code` and `message` as the last internal error and writes the
    // WarningLine.
    void Warning(TInternalError code, std::string_view message);
    // Writes the ErrorLine, then, when `memory` is given, its MemoryDumpLine,
    // and saves the trace.
    void Error(std::string_view section, std::string_view message,
               std::optional<std::span<const uint8_t>> memory = std::nullopt);

    struct TLastError {
        TInternalError code = TInternalError::eeNone;
        std::string message;

        bool operator==(const TLastError&) const = default;
    };
    TLastError LastError() const;
    // Back to eeNone and no message.
    void ClearLastError();

    // From now on, and in the lines already kept, `secret` is shown as
    // "***". An empty secret is ignored.
    void Redact(std::string secret);

    // The lines kept, each followed by CR LF.
    std::string Text() const;
    // Hands Text() to the writer while the trace is on; true when the writer
    // stored it. Never throws.
    bool Save();

  private:
    struct TLine {
        std::string prefix;  // time, two blanks, indentation
        std::string text;
    };

    void AddLine(std::string_view text);
    void Emit(std::string_view line);
    std::string Redacted(std::string text) const;
    bool SaveLocked();

    mutable std::recursive_mutex mutex_;
    TClock clock_;
    TWriter writer_;
    TDebugOutput debugOutput_;
    TTraceSwitch switch_;
    std::vector<TLine> lines_;
    std::vector<std::string> secrets_;  // longest first
    size_t indent_ = 0;
    bool saving_ = false;
    TLastError lastError_;
};

}  // namespace exceptions
