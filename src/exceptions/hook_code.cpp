#include "exceptions/hook_code.h"

#include <algorithm>
#include <cstring>

namespace exceptions {

bool HookableEntry(THookCpu cpu, const uint8_t* entry) {
    const size_t size = HookPatchSize(cpu);
    if (std::all_of(entry, entry + size, [](uint8_t b) { return b == 0x90; })) {
        return true;
    }
    // mov edi,edi / push ebp / mov ebp,esp: no operand depends on where it
    // runs, so a trampoline can run it.
    static constexpr uint8_t kHotPatch[5] = {0x8B, 0xFF, 0x55, 0x8B, 0xEC};
    return cpu == THookCpu::kI686 && std::memcmp(entry, kHotPatch, 5) == 0;
}

size_t EncodeHookJump(THookCpu cpu, uint64_t from, uint64_t to, uint8_t* out) {
    if (cpu == THookCpu::kX8664) {
        const uint8_t head[6] = {0xFF, 0x25, 0, 0, 0, 0};
        std::memcpy(out, head, 6);
        std::memcpy(out + 6, &to, 8);
        return 14;
    }
    out[0] = 0xE9;
    const auto rel = static_cast<uint32_t>(to - (from + 5));
    std::memcpy(out + 1, &rel, 4);
    return 5;
}

std::optional<uint64_t> ImportStubSlot(THookCpu cpu, const uint8_t* bytes, uint64_t address) {
    const bool tail =
        (bytes[6] == 0x90 && bytes[7] == 0x90) || (bytes[6] == 0x8B && bytes[7] == 0xC0);
    if (bytes[0] != 0xFF || bytes[1] != 0x25 || !tail) {
        return std::nullopt;
    }
    uint32_t operand = 0;
    std::memcpy(&operand, bytes + 2, 4);
    if (cpu == THookCpu::kX8664) {
        return address + 6 +
               static_cast<uint64_t>(static_cast<int64_t>(static_cast<int32_t>(operand)));
    }
    return operand;
}

}  // namespace exceptions
