#include "exceptions/log_file.h"

#include <algorithm>

#include "base/text.h"
#include "exceptions/log_item.h"

namespace exceptions {
namespace {

constexpr std::string_view kLineBreak = "\r\n";
constexpr std::string_view kItemEnd = "\r\n\r\n\r\n\r\n";

// Finds, in increasing order of starting points, the next run of four CR LF.
// Remembers the last answer: the first run at or after `from` is also the
// first at or after any later start up to it, so damaged items that share
// one far end do not scan to it again and again.
class TEndFinder {
  public:
    explicit TEndFinder(std::string_view bytes) : bytes_(bytes) {}

    size_t Next(size_t from) {
        if (searched_ && from >= from_ && (found_ == std::string_view::npos || from <= found_)) {
            return found_;
        }
        searched_ = true;
        from_ = from;
        found_ = bytes_.find(kItemEnd, from);
        return found_;
    }

  private:
    std::string_view bytes_;
    bool searched_ = false;
    size_t from_ = 0;
    size_t found_ = std::string_view::npos;
};

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && text.front() == ' ') {
        text.remove_prefix(1);
    }
    while (!text.empty() && text.back() == ' ') {
        text.remove_suffix(1);
    }
    return text;
}

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    const auto lower = [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char x, char y) { return lower(x) == lower(y); });
}

// 1 to 16 hexadecimal digits, nothing else.
std::optional<uint64_t> ParseHex(std::string_view text) {
    if (text.empty() || text.size() > 16) {
        return std::nullopt;
    }
    uint64_t value = 0;
    for (char c : text) {
        const int digit = base::HexDigit(c);
        if (digit < 0) {
            return std::nullopt;
        }
        value = value << 4 | static_cast<uint64_t>(digit);
    }
    return value;
}

// The value of the field line "CR LF, two blanks, key, blank ...": what
// follows the line's first ": ", to the end of the line.
std::optional<std::string_view> FieldValue(std::string_view item, std::string_view key) {
    std::string needle = "\r\n  ";
    needle += key;
    needle += ' ';
    const size_t at = item.find(needle);
    if (at == std::string_view::npos) {
        return std::nullopt;
    }
    const size_t start = at + kLineBreak.size();
    const size_t end = std::min(item.find(kLineBreak, start), item.size());
    const std::string_view line = item.substr(start, end - start);
    const size_t colon = line.find(": ");
    if (colon == std::string_view::npos) {
        return std::nullopt;
    }
    return line.substr(colon + 2);
}

// The handle of `module` in the item's modules table: the table lines
// ("|" rows and "-" separators) after the line `heading` ":".
std::optional<uint64_t> ModuleHandle(std::string_view item, std::string_view heading,
                                     std::string_view module) {
    std::string needle(kLineBreak);
    needle += heading;
    needle += ':';
    needle += kLineBreak;
    const size_t at = item.find(needle);
    if (at == std::string_view::npos) {
        return std::nullopt;
    }
    size_t start = at + needle.size();
    while (start < item.size()) {
        const size_t end = std::min(item.find(kLineBreak, start), item.size());
        const std::string_view line = item.substr(start, end - start);
        if (line.empty() || (line.front() != '|' && line.front() != '-')) {
            break;
        }
        if (line.front() == '|') {
            const size_t second = line.find('|', 1);
            const size_t third =
                second == std::string_view::npos ? second : line.find('|', second + 1);
            if (third != std::string_view::npos) {
                const auto handle = ParseHex(TrimBlanks(line.substr(1, second - 1)));
                const std::string_view name =
                    TrimBlanks(line.substr(second + 1, third - second - 1));
                if (handle && EqualsIgnoringAsciiCase(name, module)) {
                    return handle;
                }
            }
        }
        start = end + kLineBreak.size();
    }
    return std::nullopt;
}

}  // namespace

TLogFile TLogFile::Parse(std::string_view bytes) {
    const std::string header = std::string(kLogHeader) + std::string(kLineBreak);
    const size_t window = bytes.size() > kLogReadLimit ? bytes.size() - kLogReadLimit : 0;
    const auto next_header = [&](size_t from) {
        for (;;) {
            const size_t at = bytes.find(header, from);
            if (at == std::string_view::npos || at == 0 ||
                (at >= kLineBreak.size() &&
                 bytes.substr(at - kLineBreak.size(), kLineBreak.size()) == kLineBreak)) {
                return at;
            }
            from = at + 1;
        }
    };
    TEndFinder ends(bytes);
    TLogFile log;
    size_t at = next_header(window);
    while (at != std::string_view::npos) {
        // The header's own CR LF may begin the run that ends the item.
        const size_t end = ends.Next(at + header.size() - kLineBreak.size());
        const size_t next = next_header(at + header.size());
        if (end != std::string_view::npos && (next == std::string_view::npos || end < next)) {
            log.items_.emplace_back(bytes.substr(at, end + 3 * kLineBreak.size() - at));
        }
        at = next;
    }
    return log;
}

void TLogFile::AddItem(std::string_view text, uint32_t capacity) {
    const size_t keep = std::max<uint32_t>(capacity, 1) - 1;
    if (items_.size() > keep) {
        items_.erase(items_.begin(), items_.end() - static_cast<std::ptrdiff_t>(keep));
    }
    std::string item(text);
    item += kItemEnd;
    items_.push_back(std::move(item));
}

bool TLogFile::IsDuplicate(uint64_t address, std::string_view address_text, std::string_view module,
                           std::string_view type, std::string_view message,
                           std::optional<uint64_t> module_base,
                           std::string_view modules_heading) const {
    for (const std::string& item : items_) {
        const auto item_address = FieldValue(item, "2.2");
        const auto item_module = FieldValue(item, "2.3");
        const auto item_type = FieldValue(item, "2.4");
        const auto item_message = FieldValue(item, "2.5");
        if (!item_address || !item_module || !item_type || !item_message ||
            *item_module != module || *item_type != type || *item_message != message) {
            continue;
        }
        std::optional<uint64_t> handle;
        std::optional<uint64_t> item_value;
        if (module_base) {
            handle = ModuleHandle(item, modules_heading, module);
            item_value = ParseHex(*item_address);
        }
        const bool same_address = handle && item_value
                                      ? *item_value - *handle == address - *module_base
                                      : *item_address == address_text;
        if (same_address) {
            return true;
        }
    }
    return false;
}

std::string TLogFile::WholeText() const {
    std::string text;
    for (const std::string& item : items_) {
        text += item;
        text += kLineBreak;
    }
    return text;
}

}  // namespace exceptions
