#include "exceptions/trace.h"

#include <algorithm>

#include "exceptions/exception_info.h"

namespace exceptions {
namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

std::string Hex(uint64_t value, int digits) {
    std::string text(static_cast<size_t>(digits), '0');
    for (int i = digits - 1; i >= 0; --i) {
        text[static_cast<size_t>(i)] = kHexDigits[value & 0xF];
        value >>= 4;
    }
    return text;
}

void AppendTwoDigits(std::string& out, int value) {
    value = value < 0 ? 0 : value % 100;
    out.push_back(static_cast<char>('0' + value / 10));
    out.push_back(static_cast<char>('0' + value % 10));
}

// "dd/mm/yy hh:nn:ss"
std::string TimeText(const base::DateTimeFields& t) {
    std::string out;
    AppendTwoDigits(out, t.day);
    out.push_back('/');
    AppendTwoDigits(out, t.month);
    out.push_back('/');
    AppendTwoDigits(out, t.year);
    out.push_back(' ');
    AppendTwoDigits(out, t.hour);
    out.push_back(':');
    AppendTwoDigits(out, t.minute);
    out.push_back(':');
    AppendTwoDigits(out, t.second);
    return out;
}

bool EqualsIgnoringAsciiCase(std::string_view text, std::string_view upper) {
    if (text.size() != upper.size())
        return false;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
        if (c != upper[i])
            return false;
    }
    return true;
}

void ReplaceAll(std::string& text, std::string_view what, std::string_view with) {
    size_t pos = 0;
    while ((pos = text.find(what, pos)) != std::string::npos) {
        text.replace(pos, what.size(), with);
        pos += with.size();
    }
}

}  // namespace

std::string_view InternalErrorName(TInternalError code) {
    switch (code) {
        case TInternalError::eeNone:
            return "eeNone";
        case TInternalError::eeShowError:
            return "eeShowError";
        case TInternalError::eeLogError:
            return "eeLogError";
        case TInternalError::eeEmailMAPIError:
            return "eeEmailMAPIError";
        case TInternalError::eeEmailShellError:
            return "eeEmailShellError";
        case TInternalError::eeEmailSMTPError:
            return "eeEmailSMTPError";
    }
    return "";
}

std::string WarningLine(TInternalError code, std::string_view message) {
    std::string line = "[WARNING] - Code: ";
    line += InternalErrorName(code);
    line += " - Message: \"";
    line += message;
    line += '"';
    return line;
}

std::string ErrorLine(std::string_view section, std::string_view message) {
    std::string line = "[ERROR] - Section: ";
    line += section;
    line += " - Message: \"";
    line += message;
    line += '"';
    return line;
}

std::string HandlerWarningMessage(std::string_view section, const std::string* message) {
    std::string text;
    if (message) {
        text = "[";
        text += section;
        text += "] ";
        text += *message;
    } else {
        text = "General '";
        text += section;
        text += "' error.";
    }
    return text;
}

std::string MemoryDumpLine(std::span<const uint8_t> bytes) {
    std::string line = "Memory Dump: ";
    for (uint8_t byte : bytes.first(std::min<size_t>(bytes.size(), 32))) {
        line += '$';
        line += Hex(byte, 2);
        line += ' ';
    }
    return line;
}

TTraceSwitch TraceSwitchFromArgument(std::string_view last_argument) {
    if (EqualsIgnoringAsciiCase(last_argument, "DEBUG"))
        return {true, false};
    if (EqualsIgnoringAsciiCase(last_argument, "DEBUGSAVE"))
        return {true, true};
    return {};
}

TTraceArg::TTraceArg(std::string_view value) {
    text_.reserve(value.size() + 2);
    text_ += '\'';
    text_ += value;
    text_ += '\'';
}

TTraceArg TTraceArg::Address(uint64_t value) {
    if (value == 0)
        return TTraceArg(Raw{}, "nil");
    return TTraceArg(Raw{}, "$" + Hex(value, value > 0xFFFFFFFFu ? 16 : 8));
}

TTraceArg TTraceArg::Object(const std::type_info* type) {
    if (!type)
        return TTraceArg(Raw{}, "nil");
    return TTraceArg(Raw{}, ExceptionClassName(*type));
}

TTraceArg TTraceArg::Unknown() {
    return TTraceArg(Raw{}, "Unknown");
}

TReporterTrace::TReporterTrace(TClock clock, TWriter writer, TDebugOutput debug_output)
    : clock_(std::move(clock)), writer_(std::move(writer)), debugOutput_(std::move(debug_output)) {}

void TReporterTrace::Switch(TTraceSwitch value) {
    std::lock_guard lock(mutex_);
    switch_ = value;
}

bool TReporterTrace::On() const {
    std::lock_guard lock(mutex_);
    return switch_.on;
}

void TReporterTrace::Line(std::string_view text) {
    std::lock_guard lock(mutex_);
    AddLine(text);
}

void TReporterTrace::Enter(std::string_view name, std::initializer_list<TTraceArg> args) {
    std::lock_guard lock(mutex_);
    if (!switch_.on)
        return;
    std::string text(name);
    text += '(';
    bool first = true;
    for (const TTraceArg& arg : args) {
        if (!first)
            text += ", ";
        first = false;
        text += arg.Text();
    }
    text += ')';
    AddLine(text);
    indent_ += 2;
}

void TReporterTrace::Leave(std::string_view name, const TTraceArg& result) {
    std::lock_guard lock(mutex_);
    if (!switch_.on)
        return;
    indent_ = indent_ >= 2 ? indent_ - 2 : 0;
    std::string text(name);
    text += " = ";
    text += result.Text();
    AddLine(text);
}

void TReporterTrace::Leave(std::string_view name) {
    std::lock_guard lock(mutex_);
    if (!switch_.on)
        return;
    indent_ = indent_ >= 2 ? indent_ - 2 : 0;
    AddLine(name);
}

void TReporterTrace::Warning(TInternalError code, std::string_view message) {
    std::lock_guard lock(mutex_);
    lastError_ = {code, std::string(message)};
    Emit(WarningLine(code, message));
}

void TReporterTrace::Error(std::string_view section, std::string_view message,
                           std::optional<std::span<const uint8_t>> memory) {
    std::lock_guard lock(mutex_);
    Emit(ErrorLine(section, message));
    if (memory)
        AddLine(MemoryDumpLine(*memory));
    SaveLocked();
}

TReporterTrace::TLastError TReporterTrace::LastError() const {
    std::lock_guard lock(mutex_);
    return lastError_;
}

void TReporterTrace::ClearLastError() {
    std::lock_guard lock(mutex_);
    lastError_ = {};
}

void TReporterTrace::Redact(std::string secret) {
    if (secret.empty())
        return;
    std::lock_guard lock(mutex_);
    if (std::find(secrets_.begin(), secrets_.end(), secret) != secrets_.end())
        return;
    // Longest first, so that a secret containing another is hidden whole.
    const auto place = std::find_if(secrets_.begin(), secrets_.end(),
                                    [&](const std::string& s) { return s.size() < secret.size(); });
    secrets_.insert(place, std::move(secret));
    for (TLine& line : lines_)
        line.text = Redacted(std::move(line.text));
}

std::string TReporterTrace::Text() const {
    std::lock_guard lock(mutex_);
    std::string text;
    for (const TLine& line : lines_) {
        text += line.prefix;
        text += line.text;
        text += "\r\n";
    }
    return text;
}

bool TReporterTrace::Save() {
    std::lock_guard lock(mutex_);
    return SaveLocked();
}

void TReporterTrace::AddLine(std::string_view text) {
    if (!switch_.on)
        return;
    std::string prefix;
    try {
        prefix = TimeText(clock_ ? clock_() : base::DateTimeFields{});
    } catch (...) {
        prefix = TimeText(base::DateTimeFields{});
    }
    prefix.append(2 + indent_, ' ');
    lines_.push_back({std::move(prefix), Redacted(std::string(text))});
    if (switch_.save_each_line)
        SaveLocked();
}

void TReporterTrace::Emit(std::string_view line) {
    std::string redacted = Redacted(std::string(line));
    if (debugOutput_) {
        try {
            debugOutput_(redacted);
        } catch (...) {
            // The debugger's output is a courtesy; a failure there changes nothing.
        }
    }
    AddLine(redacted);
}

std::string TReporterTrace::Redacted(std::string text) const {
    for (const std::string& secret : secrets_)
        ReplaceAll(text, secret, "***");
    return text;
}

bool TReporterTrace::SaveLocked() {
    if (!switch_.on || saving_ || !writer_)
        return false;
    saving_ = true;
    bool stored = false;
    try {
        stored = writer_(Text());
    } catch (...) {
        stored = false;
    }
    saving_ = false;
    return stored;
}

}  // namespace exceptions
