// The error log's content: reading items back from bytes, trimming to the
// capacity, typed text that tries to frame items, and the duplicate test.

#include "exceptions/log_file.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "exceptions/log_item.h"
#include "exceptions/report_text.h"

namespace exceptions {
namespace {

const std::string kEnd = "\r\n\r\n\r\n";  // what an item keeps of its end

std::string Item(const std::string& body) {
    return "Crashlore 4.5.4\r\n\r\n" + body;
}

// The item as it is written: with its end and the CR LF that follows it.
std::string Written(const std::string& body) {
    return Item(body) + kEnd + "\r\n";
}

std::vector<std::string> Bodies(const TLogFile& log) {
    std::vector<std::string> bodies;
    for (const std::string& item : log.Items()) {
        const std::string head = Item("");
        if (item.size() >= head.size() + kEnd.size() && item.starts_with(head) &&
            item.ends_with(kEnd)) {
            bodies.push_back(item.substr(head.size(), item.size() - head.size() - kEnd.size()));
        } else {
            bodies.push_back("malformed: " + item);
        }
    }
    return bodies;
}

TEST(LogFileTest, ReadingKeepsWholeItemsOnly) {
    const std::string a = Written("A");
    const std::string b = Written("B");
    struct Case {
        const char* name;
        std::string bytes;
        std::vector<std::string> bodies;
    };
    const Case cases[] = {
        {"empty", "", {}},
        {"no header", "just text\r\n\r\n\r\n\r\n", {}},
        {"two items", a + b, {"A", "B"}},
        {"text before the first header", "edited by hand\r\n" + a, {"A"}},
        {"junk between items", a + "junk\r\n" + b, {"A", "B"}},
        {"header word within a line", "x " + a, {}},
        {"header after a lone LF", "x\n" + a, {}},
        {"header after a first lone LF", "\n" + a, {}},
        {"longer header word", "Crashlore 4.5.40\r\n\r\nA" + kEnd + "\r\n", {}},
        {"damaged item in the middle", a + Item("cut off\r\n") + b, {"A", "B"}},
        {"damaged item at the end", a + Item("cut off"), {"A"}},
        {"damaged first item", Item("x\r\n\r\n") + "\r\n" + b, {"B"}},
        {"more than four CR LF", Item("x") + "\r\n\r\n\r\n\r\n\r\n\r\n" + a, {"x", "A"}},
        {"header line only",
         "Crashlore 4.5.4\r\n\r\n\r\n\r\n",
         {"malformed: Crashlore 4.5.4" + kEnd}},
        {"CR before the end", Item("x\r") + kEnd + "\r\n", {"x\r"}},
        {"header text inside an item",
         Item("a Crashlore 4.5.4\r\nb") + kEnd + "\r\n",
         {"a Crashlore 4.5.4\r\nb"}},
    };
    for (const Case& c : cases) {
        const TLogFile log = TLogFile::Parse(c.bytes);
        EXPECT_EQ(Bodies(log), c.bodies) << c.name;
        // What is written reads back to the very same bytes.
        const std::string whole = log.WholeText();
        const TLogFile again = TLogFile::Parse(whole);
        EXPECT_EQ(again.Items(), log.Items()) << c.name;
        EXPECT_EQ(again.WholeText(), whole) << c.name;
    }
}

TEST(LogFileTest, OnlyTheTailOfALargeFileIsRead) {
    // `rest` is exactly kLogReadLimit bytes: item B, filler, item C.
    const std::string b = Written("B");
    const std::string c = Written("C");
    const std::string filler(kLogReadLimit - b.size() - c.size() - 2, 'f');
    const std::string rest = b + filler + "\r\n" + c;
    ASSERT_EQ(rest.size(), kLogReadLimit);
    struct Case {
        const char* name;
        std::string bytes;
        std::vector<std::string> bodies;
    };
    const Case cases[] = {
        {"header at the cut after a CR LF", Written("A") + rest, {"B", "C"}},
        {"header at the cut after other text", Written("A") + "x" + rest, {"C"}},
        {"header one byte before the cut", Written("A") + rest + "x", {"C"}},
        {"nothing cut", rest, {"B", "C"}},
    };
    for (const Case& k : cases) {
        EXPECT_EQ(Bodies(TLogFile::Parse(k.bytes)), k.bodies) << k.name;
    }
}

TEST(LogFileTest, AddingKeepsTheNewestItemsUpToTheCapacity) {
    struct Case {
        int existing;
        uint32_t capacity;
        std::vector<std::string> bodies;
    };
    std::vector<std::string> last32;
    for (int i = 1; i < 32; ++i) {
        last32.push_back(std::to_string(i));
    }
    last32.push_back("new");
    const Case cases[] = {
        {32, 32, last32}, {0, 32, {"new"}}, {2, 32, {"0", "1", "new"}},
        {5, 1, {"new"}},  {5, 0, {"new"}},  {5, 3, {"3", "4", "new"}},
    };
    for (const Case& c : cases) {
        std::string bytes;
        for (int i = 0; i < c.existing; ++i) {
            bytes += Written(std::to_string(i));
        }
        TLogFile log = TLogFile::Parse(bytes);
        ASSERT_EQ(log.Items().size(), static_cast<size_t>(c.existing));
        log.AddItem(Item("new"), c.capacity);
        EXPECT_EQ(log.Items().back(), Item("new") + "\r\n\r\n\r\n\r\n");
        EXPECT_EQ(Bodies(TLogFile::Parse(log.WholeText())), c.bodies)
            << c.existing << " " << c.capacity;
    }
}

TEST(LogFileTest, TypedTextMakesExactlyOneItem) {
    TVivavaModuleOptions options("updater.exe", false);
    options.SetReportFlags(kReportAskSteps);
    const std::string typed =
        "step one\r\n\r\n\r\n\r\n\r\n\r\nCrashlore 4.5.4\r\n\r\nstep two\n\n\n\n\n\nCrashlore "
        "4.5.4";
    const std::string general = GeneralSections(options, TReportFields{});
    const std::string tables = CallStackAndModulesText(options, TCpu::kI686, {}, {});
    const std::string item =
        LogItemText(options, general, tables, "Registers:\r\n", LogRequestText(typed));

    TLogFile log = TLogFile::Parse(Written("old"));
    log.AddItem(item, 32);
    const TLogFile read = TLogFile::Parse(log.WholeText());
    ASSERT_EQ(read.Items().size(), 2u);
    EXPECT_EQ(read.Items()[1], item + kEnd);
    EXPECT_NE(item.find("\r\nstep one\r\n\r\n Crashlore 4.5.4\r\n\r\nstep two\r\n\r\n Crashlore "
                        "4.5.4"),
              std::string::npos);
}

// An item of a report with the given exception fields, and a modules table
// that lists `listed` at `handle`.
std::string ReportItem(const TVivavaModuleOptions& options, const std::string& address,
                       const std::string& module, const std::string& type,
                       const std::string& message, const std::string& listed, uint64_t handle) {
    TReportFields fields;
    fields.date = "Wed, 9 Dec 2026 08:05:03 +0800";
    fields.address = address;
    fields.module = module;
    fields.type = type;
    fields.message = message;
    const std::vector<TModuleRow> modules = {
        {0x7C800000, "kernel32.dll", "Windows", "5.1.2600.0", 1000000, "C:\\WINDOWS\\system32"},
        {handle, listed, "", "", 4096, "C:\\Games"},
    };
    return LogItemText(options, GeneralSections(options, fields),
                       CallStackAndModulesText(options, TCpu::kI686, {}, modules), "", "");
}

TEST(LogFileTest, DuplicatesMatchTheExceptionFields) {
    TVivavaModuleOptions options("updater.exe", false);
    const std::string heading = options.Texts(9);
    TLogFile log;
    log.AddItem(ReportItem(options, "00401A2C", "updater.exe", "EInOutError", "File not found.",
                           "Updater.EXE", 0x00400000),
                32);
    log.AddItem(ReportItem(options, "10001234", "game.dll", "EConvertError", "Key: value.",
                           "other.dll", 0x10000000),
                32);
    TVivavaModuleOptions no_module("updater.exe", false);
    no_module.SetLogFieldMask(~(1u << 6));
    log.AddItem(
        ReportItem(no_module, "20000010", "lost.dll", "EAbort", "Gone.", "lost.dll", 0x20000000),
        32);
    log = TLogFile::Parse(log.WholeText());

    struct Case {
        const char* name;
        uint64_t address;
        const char* text;
        const char* module;
        const char* type;
        const char* message;
        std::optional<uint64_t> base;
        bool expected;
    };
    const Case cases[] = {
        {"same error", 0x00401A2C, "00401A2C", "updater.exe", "EInOutError", "File not found.",
         std::nullopt, true},
        {"same error, its module in place", 0x00401A2C, "00401A2C", "updater.exe", "EInOutError",
         "File not found.", 0x00400000, true},
        {"another message", 0x00401A2C, "00401A2C", "updater.exe", "EInOutError", "Disk full.",
         std::nullopt, false},
        {"another type", 0x00401A2C, "00401A2C", "updater.exe", "EOSError", "File not found.",
         std::nullopt, false},
        {"another module", 0x00401A2C, "00401A2C", "game.dll", "EInOutError", "File not found.",
         std::nullopt, false},
        {"another address", 0x00401A30, "00401A30", "updater.exe", "EInOutError", "File not found.",
         std::nullopt, false},
        {"module loaded elsewhere", 0x00501A2C, "00501A2C", "updater.exe", "EInOutError",
         "File not found.", 0x00500000, true},
        {"elsewhere, another offset", 0x00501A30, "00501A30", "updater.exe", "EInOutError",
         "File not found.", 0x00500000, false},
        {"module below the item's", 0x00301A2C, "00301A2C", "updater.exe", "EInOutError",
         "File not found.", 0x00300000, true},
        {"value with ': '", 0x10001234, "10001234", "game.dll", "EConvertError", "Key: value.",
         std::nullopt, true},
        {"only after the first ': '", 0x10001234, "10001234", "game.dll", "EConvertError", "value.",
         std::nullopt, false},
        // The table does not list game.dll: the texts are compared.
        {"unlisted module, same text", 0x20001234, "10001234", "game.dll", "EConvertError",
         "Key: value.", 0x20000000, true},
        {"unlisted module, other text", 0x20001234, "20001234", "game.dll", "EConvertError",
         "Key: value.", 0x20000000, false},
        {"item without 2.3", 0x20000010, "20000010", "lost.dll", "EAbort", "Gone.", std::nullopt,
         false},
        {"item without 2.3, empty module", 0x20000010, "20000010", "", "EAbort", "Gone.",
         std::nullopt, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(log.IsDuplicate(c.address, c.text, c.module, c.type, c.message, c.base, heading),
                  c.expected)
            << c.name;
    }
    EXPECT_FALSE(TLogFile().IsDuplicate(0x00401A2C, "00401A2C", "updater.exe", "EInOutError",
                                        "File not found.", std::nullopt, heading));
}

}  // namespace
}  // namespace exceptions
