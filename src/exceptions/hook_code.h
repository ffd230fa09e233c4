#pragma once

// The machine code the hooks read and write, over plain bytes so that both
// processor forms can be checked on any host:
//  - i686: a hook patch is E9 rel32 (five bytes); a procedure can take one
//    when it begins with five NOPs or the hot-patch prologue 8B FF 55 8B EC;
//    an import jump stub is FF 25 and the slot's absolute address.
//  - x86_64: a hook patch is FF 25 00000000 and the 64-bit address (fourteen
//    bytes, no distance limit); a procedure can take one when it begins with
//    fourteen NOPs; an import jump stub is FF 25 and the slot's distance from
//    the end of the instruction.
// Either stub form is followed by 90 90 or 8B C0.

#include <cstddef>
#include <cstdint>
#include <optional>

namespace exceptions {

enum class THookCpu { kI686, kX8664 };

#if defined(__x86_64__)
constexpr THookCpu kHostHookCpu = THookCpu::kX8664;
#else
constexpr THookCpu kHostHookCpu = THookCpu::kI686;
#endif

constexpr size_t kMaxHookPatchSize = 14;

// The bytes a hook patch covers at a procedure's entry.
constexpr size_t HookPatchSize(THookCpu cpu) {
    return cpu == THookCpu::kX8664 ? 14 : 5;
}

// True when the HookPatchSize(cpu) bytes at `entry` may be replaced by a
// patch and run elsewhere unchanged.
bool HookableEntry(THookCpu cpu, const uint8_t* entry);

// Writes to `out` the jump that, placed at address `from`, continues at `to`;
// returns its length. i686 addresses must fit 32 bits.
size_t EncodeHookJump(THookCpu cpu, uint64_t from, uint64_t to, uint8_t* out);

// The slot address of the import jump stub whose 8 bytes are `bytes`, placed
// at `address`; nothing when the bytes are not such a stub.
std::optional<uint64_t> ImportStubSlot(THookCpu cpu, const uint8_t* bytes, uint64_t address);

}  // namespace exceptions
