#pragma once

// The error log: a text file of the most recent log items (log_item.h), oldest
// first, each followed by one CR LF. This is its content in memory: reading
// it from bytes, adding an item, the test for an error that is already
// logged, and the bytes to write back. Reading and writing the file itself is
// left to the caller.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace exceptions {

// At most this many bytes at the end of a log are read.
inline constexpr size_t kLogReadLimit = 4 * 1024 * 1024;

class TLogFile {
  public:
    // Reads a log's bytes. An item begins with the header line (kLogHeader
    // and CR LF) at the start of the bytes or right after a CR LF, and ends at
    // the first run of four CR LF after it; it is kept with the first three of
    // them. Text before the first header and between items is ignored. An
    // item whose end does not come before the next header line (or at all) is
    // damaged: it is dropped and reading goes on at that next header, so one
    // damaged item never takes newer ones with it.
    //
    // Only the last kLogReadLimit bytes are read; when that cuts the front,
    // the partial item there is dropped (a header right at the cut counts
    // only when a CR LF precedes it). A caller that reads a large file may
    // pass just its last kLogReadLimit + 2 bytes.
    //
    // Never throws on any input but for lack of memory; the items together
    // are never longer than the bytes.
    static TLogFile Parse(std::string_view bytes);

    // Drops the oldest items until capacity - 1 remain (a capacity of 0
    // counts as 1), then adds `text` (an item as LogItemText makes it) with
    // four CR LF appended.
    void AddItem(std::string_view text, uint32_t capacity);

    // True when some item has, for each of the fields 2.2, 2.3, 2.4 and 2.5,
    // a line "  KEY ..." whose value (what follows the line's first ": ")
    // equals the given one; an item that lacks one of them never matches.
    //
    // The address (2.2) is compared relative to its module when
    // `module_base` is given and the item's modules table (the rows after
    // the line `modules_heading` ":", as "|HANDLE|NAME|...") lists the item's
    // 2.3 module (letters in any case): the item's address minus that handle
    // must equal `address - module_base`, so the same error in a module that
    // was loaded elsewhere after a restart is still the same error. Otherwise
    // the item's 2.2 text must equal `address_text`.
    bool IsDuplicate(uint64_t address, std::string_view address_text, std::string_view module,
                     std::string_view type, std::string_view message,
                     std::optional<uint64_t> module_base, std::string_view modules_heading) const;

    // Every item followed by CR LF: the file's new content.
    std::string WholeText() const;

    const std::vector<std::string>& Items() const { return items_; }

  private:
    std::vector<std::string> items_;
};

}  // namespace exceptions
