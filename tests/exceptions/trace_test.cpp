// The reporter's warning and error lines, the trace switch and the trace:
// line layout, indentation, argument rendering, redaction and saving.

#include "exceptions/trace.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace exceptions {
namespace {

TEST(TraceLines, InternalErrorNames) {
    const struct {
        TInternalError code;
        const char* name;
    } cases[] = {
        {TInternalError::eeNone, "eeNone"},
        {TInternalError::eeShowError, "eeShowError"},
        {TInternalError::eeLogError, "eeLogError"},
        {TInternalError::eeEmailMAPIError, "eeEmailMAPIError"},
        {TInternalError::eeEmailShellError, "eeEmailShellError"},
        {TInternalError::eeEmailSMTPError, "eeEmailSMTPError"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(InternalErrorName(c.code), c.name);
}

TEST(TraceLines, MessagesArePrintedLiterally) {
    const struct {
        std::string message;
        std::string warning;
        std::string error;
    } cases[] = {
        {"disk full", "[WARNING] - Code: eeLogError - Message: \"disk full\"",
         "[ERROR] - Section: InternalExceptNotify.7 - Message: \"disk full\""},
        {"%s %d %n%%", "[WARNING] - Code: eeLogError - Message: \"%s %d %n%%\"",
         "[ERROR] - Section: InternalExceptNotify.7 - Message: \"%s %d %n%%\""},
        {"say \"hi\" 'x'", "[WARNING] - Code: eeLogError - Message: \"say \"hi\" 'x'\"",
         "[ERROR] - Section: InternalExceptNotify.7 - Message: \"say \"hi\" 'x'\""},
        {"a\r\nb\\n", "[WARNING] - Code: eeLogError - Message: \"a\r\nb\\n\"",
         "[ERROR] - Section: InternalExceptNotify.7 - Message: \"a\r\nb\\n\""},
        {"", "[WARNING] - Code: eeLogError - Message: \"\"",
         "[ERROR] - Section: InternalExceptNotify.7 - Message: \"\""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(WarningLine(TInternalError::eeLogError, c.message), c.warning);
        EXPECT_EQ(ErrorLine("InternalExceptNotify.7", c.message), c.error);
    }
}

TEST(TraceLines, HandlerWarningMessage) {
    const std::string message = "Access denied %s";
    EXPECT_EQ(HandlerWarningMessage("Log", &message), "[Log] Access denied %s");
    EXPECT_EQ(HandlerWarningMessage("Log", nullptr), "General 'Log' error.");
    const std::string empty;
    EXPECT_EQ(HandlerWarningMessage("GUI", &empty), "[GUI] ");
}

TEST(TraceLines, MemoryDump) {
    std::vector<uint8_t> forty(40);
    for (size_t i = 0; i < forty.size(); ++i)
        forty[i] = static_cast<uint8_t>(i);
    std::string first32 = "Memory Dump: ";
    for (int i = 0; i < 32; ++i) {
        first32 += '$';
        first32 += "0123456789ABCDEF"[i / 16];
        first32 += "0123456789ABCDEF"[i % 16];
        first32 += ' ';
    }
    const struct {
        std::vector<uint8_t> bytes;
        std::string expected;
    } cases[] = {
        {{0x4D, 0x5A}, "Memory Dump: $4D $5A "},
        {{0x00, 0x0F, 0xAB, 0xFF}, "Memory Dump: $00 $0F $AB $FF "},
        {{}, "Memory Dump: "},
        {forty, first32},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MemoryDumpLine(c.bytes), c.expected);
}

TEST(TraceSwitch, FromLastArgument) {
    const struct {
        const char* argument;
        TTraceSwitch expected;
    } cases[] = {
        {"debug", {true, false}},
        {"DEBUG", {true, false}},
        {"DebugSave", {true, true}},
        {"DEBUGSAVE", {true, true}},
        {"http://x/debug/list.txt", {}},
        {"xdebug", {}},
        {"x-debug", {}},
        {"debug ", {}},
        {"DEBUGSAVEX", {}},
        {"SAVE", {}},
        {"", {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TraceSwitchFromArgument(c.argument), c.expected) << c.argument;
    }
}

TEST(TraceArg, Rendering) {
    const std::string text = "txt";
    const char* no_text = nullptr;
    const struct {
        TTraceArg arg;
        const char* expected;
    } cases[] = {
        {42, "42"},
        {-7, "-7"},
        {uint64_t{18446744073709551615u}, "18446744073709551615"},
        {true, "True"},
        {false, "False"},
        {"abc", "'abc'"},
        {text, "'txt'"},
        {std::string_view("a'b"), "'a'b'"},
        {no_text, "''"},
        {nullptr, "nil"},
        {reinterpret_cast<const void*>(uintptr_t{0x1234}), "$00001234"},
        {TTraceArg::Address(0), "nil"},
        {TTraceArg::Address(0xFFFFFFFFu), "$FFFFFFFF"},
        {TTraceArg::Address(0x123456789ABull), "$00000123456789AB"},
        {TTraceArg::Object(&typeid(std::range_error)), "std::range_error"},
        {TTraceArg::Object(nullptr), "nil"},
        {TTraceArg::Unknown(), "Unknown"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.arg.Text(), c.expected);
}

// A trace with a fixed clock whose saves and debug output are recorded.
struct Recorder {
    explicit Recorder(TTraceSwitch on = {true, false}) { trace.Switch(on); }

    std::vector<std::string> saves;
    std::vector<std::string> debug;
    bool store = true;
    TReporterTrace trace{[] { return base::DateTimeFields{2024, 3, 5, 7, 8, 9, 999}; },
                         [this](std::string_view text) {
                             saves.emplace_back(text);
                             return store;
                         },
                         [this](std::string_view line) { debug.emplace_back(line); }};
};

constexpr char kTime[] = "05/03/24 07:08:09  ";

TEST(ReporterTrace, IndentationAndLayout) {
    TReporterTrace trace([] { return base::DateTimeFields{1999, 12, 31, 23, 59, 58, 0}; }, {});
    trace.Switch({true, false});
    trace.Enter("InternalExceptNotify", {TTraceArg::Address(0x401000), true, "E"});
    trace.Enter("BuildStack");
    trace.Line("walking");
    trace.Leave("BuildStack", 12);
    trace.Leave("InternalExceptNotify", false);
    trace.Leave("Unbalanced");
    trace.Line("level");
    EXPECT_EQ(trace.Text(),
              "31/12/99 23:59:58  InternalExceptNotify($00401000, True, 'E')\r\n"
              "31/12/99 23:59:58    BuildStack()\r\n"
              "31/12/99 23:59:58      walking\r\n"
              "31/12/99 23:59:58    BuildStack = 12\r\n"
              "31/12/99 23:59:58  InternalExceptNotify = False\r\n"
              "31/12/99 23:59:58  Unbalanced\r\n"
              "31/12/99 23:59:58  level\r\n");
}

TEST(ReporterTrace, OffKeepsNothingButRecordsWarnings) {
    Recorder r({false, true});
    TReporterTrace& trace = r.trace;
    trace.Enter("Install", {1});
    trace.Line("text");
    trace.Warning(TInternalError::eeShowError, "no window");
    EXPECT_EQ(trace.Text(), "");
    EXPECT_FALSE(trace.Save());
    EXPECT_TRUE(r.saves.empty());
    EXPECT_EQ(r.debug,
              std::vector<std::string>{"[WARNING] - Code: eeShowError - Message: \"no window\""});
    EXPECT_EQ(trace.LastError(),
              (TReporterTrace::TLastError{TInternalError::eeShowError, "no window"}));
    trace.ClearLastError();
    EXPECT_EQ(trace.LastError(), TReporterTrace::TLastError{});
    // Turned on later, nothing of the earlier lines appears, and the
    // indentation of Enter while off did not count.
    trace.Switch({true, false});
    trace.Line("now");
    EXPECT_EQ(trace.Text(), std::string(kTime) + "now\r\n");
}

TEST(ReporterTrace, Redaction) {
    Recorder r;
    TReporterTrace& trace = r.trace;
    trace.Line("password is s3cret!");
    trace.Redact("s3cret");
    trace.Redact("");
    trace.Enter("Login", {"user", "s3cret"});
    trace.Warning(TInternalError::eeEmailSMTPError, "535 bad s3cret");
    trace.Redact("ab");
    trace.Redact("abc");
    trace.Line("abcd ab");
    EXPECT_EQ(trace.Text(),
              std::string(kTime) + "password is ***!\r\n" + kTime + "Login('user', '***')\r\n" +
                  kTime + "  [WARNING] - Code: eeEmailSMTPError - Message: \"535 bad ***\"\r\n" +
                  kTime + "  ***d ***\r\n");
    EXPECT_EQ(r.debug.at(0), "[WARNING] - Code: eeEmailSMTPError - Message: \"535 bad ***\"");
}

TEST(ReporterTrace, Saving) {
    const struct {
        const char* label;
        bool each_line;
        size_t saves_after_three_lines;
    } cases[] = {
        {"on demand", false, 0},
        {"each line", true, 3},
    };
    for (const auto& c : cases) {
        Recorder r({true, c.each_line});
        TReporterTrace& trace = r.trace;
        trace.Line("1");
        trace.Line("2");
        trace.Line("3");
        ASSERT_EQ(r.saves.size(), c.saves_after_three_lines) << c.label;
        if (!r.saves.empty()) {
            EXPECT_EQ(r.saves.front(), std::string(kTime) + "1\r\n") << c.label;
            EXPECT_EQ(r.saves.back(), trace.Text()) << c.label;
        }
        EXPECT_TRUE(trace.Save()) << c.label;
        EXPECT_EQ(r.saves.back(), trace.Text()) << c.label;
        r.store = false;
        EXPECT_FALSE(trace.Save()) << c.label;
    }
}

TEST(ReporterTrace, ErrorWritesDumpAndSaves) {
    const uint8_t code[] = {0x55, 0x8B, 0xEC};
    const struct {
        const char* label;
        std::optional<std::span<const uint8_t>> memory;
        std::string expected;
    } cases[] = {
        {"with memory", std::span<const uint8_t>(code),
         std::string(kTime) + "[ERROR] - Section: InternalExceptNotify.15 - Message: \"%s\"\r\n" +
             kTime + "Memory Dump: $55 $8B $EC \r\n"},
        {"unreadable memory", std::nullopt,
         std::string(kTime) + "[ERROR] - Section: InternalExceptNotify.15 - Message: \"%s\"\r\n"},
    };
    for (const auto& c : cases) {
        Recorder r;
        TReporterTrace& trace = r.trace;
        trace.Error("InternalExceptNotify.15", "%s", c.memory);
        EXPECT_EQ(trace.Text(), c.expected) << c.label;
        EXPECT_EQ(r.saves, std::vector<std::string>{c.expected}) << c.label;
        EXPECT_EQ(r.debug,
                  std::vector<std::string>{
                      "[ERROR] - Section: InternalExceptNotify.15 - Message: \"%s\""})
            << c.label;
        EXPECT_EQ(trace.LastError(), TReporterTrace::TLastError{}) << c.label;
    }
}

TEST(ReporterTrace, FailingCallbacksDoNotEscape) {
    int writes = 0;
    TReporterTrace* self = nullptr;
    TReporterTrace trace([]() -> base::DateTimeFields { throw std::runtime_error("no clock"); },
                         [&](std::string_view) -> bool {
                             ++writes;
                             self->Line("from the writer");  // kept, not saved again
                             throw std::runtime_error("disk full");
                         },
                         [](std::string_view) { throw std::runtime_error("no debugger"); });
    self = &trace;
    trace.Switch({true, true});
    EXPECT_NO_THROW(trace.Line("x"));
    EXPECT_NO_THROW(trace.Warning(TInternalError::eeLogError, "w"));
    EXPECT_FALSE(trace.Save());
    EXPECT_EQ(writes, 3);
    EXPECT_EQ(trace.Text(),
              "00/00/00 00:00:00  x\r\n"
              "00/00/00 00:00:00  from the writer\r\n"
              "00/00/00 00:00:00  [WARNING] - Code: eeLogError - Message: \"w\"\r\n"
              "00/00/00 00:00:00  from the writer\r\n"
              "00/00/00 00:00:00  from the writer\r\n");
}

TEST(ReporterTrace, ThreadsLoseNoLines) {
    Recorder r;
    TReporterTrace& trace = r.trace;
    constexpr int kThreads = 4;
    constexpr int kLines = 200;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&trace, t] {
            for (int i = 0; i < kLines; ++i) {
                trace.Enter("T" + std::to_string(t), {i});
                trace.Leave("T" + std::to_string(t), i);
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    const std::string text = trace.Text();
    size_t lines = 0;
    for (size_t pos = 0; (pos = text.find("\r\n", pos)) != std::string::npos; pos += 2)
        ++lines;
    EXPECT_EQ(lines, size_t{2 * kThreads * kLines});
    // Balanced enters and leaves leave no indentation behind.
    trace.Line("end");
    EXPECT_EQ(trace.Text().substr(text.size()), std::string(kTime) + "end\r\n");
}

}  // namespace
}  // namespace exceptions
