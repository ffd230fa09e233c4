#pragma once

// The raw scan of a stack: every pointer-sized word from the stack pointer
// up to the stack top is taken for a return address when the bytes before it
// form a call instruction and it points into code. No frame chain is needed,
// so code without frame pointers is walked too; stale return addresses left
// in the stack are listed as well. The entries are the calls, never the
// return addresses: a call at the very end of a procedure returns into the
// next one.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "exceptions/memory_reader.h"
#include "exceptions/stack_info.h"

namespace exceptions {

// The most entries a scan gives (a garbage-filled stack must not make a
// report of megabytes).
inline constexpr size_t kStackScanLimit = 256;

// The call whose return address is `v`, when the bytes before `v` form one
// (the forms are tried in a fixed order, the first match decides), and, for
// a direct call, the procedure it calls (followed through an import jump
// stub) when that is readable and does not itself begin with a direct call.
struct TCallSite {
    uint64_t call = 0;
    std::optional<uint64_t> callee;
};
std::optional<TCallSite> CallBefore(TCpu cpu, const TMemoryReader& memory, uint64_t v);

struct TStackScan {
    std::vector<uint64_t> addresses;  // in stack order, a callee before its call
    size_t omitted = 0;               // entries past kStackScanLimit
};

// Scans the words from `stack_pointer` up to and including `stack_top`.
// Readability is asked in windows of 400 bytes, else word by word; an
// unreadable word is skipped. A `first` address, when given, leads.
TStackScan ScanStack(TCpu cpu, const TMemoryReader& memory, uint64_t stack_pointer,
                     uint64_t stack_top, std::optional<uint64_t> first = std::nullopt,
                     size_t limit = kStackScanLimit);

}  // namespace exceptions
