// libFuzzer target: arbitrary bytes as an error log, and arbitrary typed
// reproduction steps and exception message in a new item added to it.
//
// Input: a capacity byte, a length byte n, then the log's bytes; the last n
// bytes (or all there are) are also the typed text and the message. Besides
// memory errors and undefined behaviour the target checks:
//   - every item read starts with the header line, ends with three CR LF and
//     holds neither a run of four CR LF nor another header line; together
//     the items are never longer than the bytes;
//   - the whole text reads back to the very same items;
//   - typed text made safe stays as it is when made safe again, and holds no
//     three line breaks in a row and no line that begins with the header
//     word;
//   - an item made of the typed text, added to the log, reads back as one
//     item after the kept older ones, whole but for line breaks at its end, and is a duplicate of
//     its own error, also with its module loaded elsewhere.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "exceptions/log_file.h"
#include "exceptions/log_item.h"
#include "exceptions/report_text.h"
#include "fuzz_check.h"

namespace {

using exceptions::TLogFile;

constexpr std::string_view kItemEnd = "\r\n\r\n\r\n\r\n";

void CheckItems(const TLogFile& log, size_t input_size) {
    const std::string header = std::string(exceptions::kLogHeader) + "\r\n";
    size_t total = 0;
    for (const std::string& item : log.Items()) {
        total += item.size();
        FUZZ_CHECK(item.starts_with(header));
        FUZZ_CHECK(item.ends_with("\r\n\r\n\r\n"));
        FUZZ_CHECK(item.find(kItemEnd) == std::string::npos);
        FUZZ_CHECK(item.find("\r\n" + header) == std::string::npos);
    }
    FUZZ_CHECK(total <= input_size);
}

void CheckRequest(std::string_view typed) {
    const std::string safe = exceptions::LogRequestText(typed);
    FUZZ_CHECK(exceptions::LogRequestText(safe) == safe);
    FUZZ_CHECK(safe.find("\r\n\r\n\r\n") == std::string::npos);
    FUZZ_CHECK(!safe.starts_with(exceptions::kLogHeaderWord));
    FUZZ_CHECK(safe.find(std::string("\r\n") + exceptions::kLogHeaderWord) == std::string::npos);
    for (size_t i = 0; i < safe.size(); ++i) {
        if (safe[i] == '\r') {
            FUZZ_CHECK(i + 1 < safe.size() && safe[i + 1] == '\n');
        } else if (safe[i] == '\n') {
            FUZZ_CHECK(i > 0 && safe[i - 1] == '\r');
        }
    }
}

std::string NewItem(const exceptions::TVivavaModuleOptions& options, std::string_view typed) {
    exceptions::TReportFields fields;
    fields.address = "00401000";
    fields.module = "m.dll";
    fields.type = "EFuzz";
    fields.message = exceptions::LogMessageText(typed);
    fields.parameters = exceptions::LogParametersText({std::string(typed)});
    fields.form_text = exceptions::LogWindowText(typed);
    fields.user = std::string(typed);
    const std::vector<exceptions::TModuleRow> modules = {
        {0x00400000, "m.dll", "", "", 4096, "C:\\"},
    };
    return exceptions::LogItemText(
        options, exceptions::GeneralSections(options, fields),
        exceptions::CallStackAndModulesText(options, exceptions::TCpu::kI686, {}, modules),
        "Registers:\r\n", typed);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) {
        return 0;
    }
    const uint32_t capacity = data[0] % 40;
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 2, size - 2);
    const std::string_view typed =
        bytes.substr(bytes.size() - std::min<size_t>(data[1], bytes.size()));

    TLogFile log = TLogFile::Parse(bytes);
    CheckItems(log, bytes.size());
    const std::string whole = log.WholeText();
    const TLogFile again = TLogFile::Parse(whole);
    FUZZ_CHECK(again.Items() == log.Items());
    FUZZ_CHECK(again.WholeText() == whole);

    CheckRequest(typed);

    exceptions::TVivavaModuleOptions options("m.dll", false);
    options.SetReportFlags(exceptions::kReportAskSteps);
    const std::string heading = options.Texts(9);
    // Arbitrary values against arbitrary items.
    (void)log.IsDuplicate(0x1234, typed, typed, typed, typed, 0x1000, heading);

    std::vector<std::string> expected = log.Items();
    const size_t keep = std::max<uint32_t>(capacity, 1) - 1;
    if (expected.size() > keep) {
        expected.erase(expected.begin(), expected.end() - static_cast<std::ptrdiff_t>(keep));
    }
    const std::string item = NewItem(options, typed);
    log.AddItem(item, capacity);
    const TLogFile read = TLogFile::Parse(log.WholeText());
    CheckItems(read, log.WholeText().size());
    // The item keeps what comes before its end: only line breaks of its own
    // text may go with the end.
    const std::string added = item + std::string(kItemEnd);
    const size_t end = added.find(kItemEnd);
    FUZZ_CHECK(added.find_first_not_of("\r\n", end) == std::string::npos);
    expected.push_back(added.substr(0, end + 6));
    FUZZ_CHECK(read.Items() == expected);

    const std::string message = exceptions::LogMessageText(typed);
    FUZZ_CHECK(
        read.IsDuplicate(0x00401000, "00401000", "m.dll", "EFuzz", message, std::nullopt, heading));
    FUZZ_CHECK(
        read.IsDuplicate(0x7FF01000, "7FF01000", "m.dll", "EFuzz", message, 0x7FF00000, heading));
    return 0;
}
