#include "exceptions/stack_scan.h"

#include <algorithm>
#include <array>

namespace exceptions {

namespace {

size_t WordSize(TCpu cpu) {
    return cpu == TCpu::kI686 ? 4 : 8;
}

uint64_t ReadWord(const uint8_t* bytes, size_t size) {
    uint64_t value = 0;
    for (size_t i = size; i-- > 0;) {
        value = value << 8 | bytes[i];
    }
    return value;
}

int32_t ReadInt32(const uint8_t* bytes) {
    return static_cast<int32_t>(static_cast<uint32_t>(ReadWord(bytes, 4)));
}

bool Readable(const TMemoryReader& memory, uint64_t address, size_t size) {
    std::array<uint8_t, 16> scratch;
    return size <= scratch.size() && memory.Read(address, scratch.data(), size);
}

bool InRange(uint8_t b, uint8_t low, uint8_t high) {
    return b >= low && b <= high;
}

// A register-indirect form's ModRM byte names a register other than esp
// (which needs a SIB byte) and ebp (which means an absolute address).
bool PlainBase(uint8_t modrm_low) {
    return modrm_low != 4 && modrm_low != 5;
}

// Where a stub "FF 25 slot" at `procedure` jumps to; the procedure itself
// when it is no such stub.
uint64_t FollowStub(TCpu cpu, const TMemoryReader& memory, uint64_t procedure) {
    uint8_t code[6];
    if (!memory.Read(procedure, code, sizeof code) || code[0] != 0xFF || code[1] != 0x25) {
        return procedure;
    }
    const int32_t displacement = ReadInt32(code + 2);
    const uint64_t slot = cpu == TCpu::kI686 ? static_cast<uint32_t>(displacement)
                                             : procedure + 6 + static_cast<int64_t>(displacement);
    uint8_t target[8];
    const size_t word = WordSize(cpu);
    if (!memory.Read(slot, target, word)) {
        return procedure;
    }
    return ReadWord(target, word);
}

}  // namespace

std::optional<TCallSite> CallBefore(TCpu cpu, const TMemoryReader& memory, uint64_t v) {
    constexpr size_t kBack = 7;
    if (v < kBack + 1 || !memory.IsCode(v - 1)) {
        return std::nullopt;
    }
    uint8_t before[kBack];
    if (!memory.Read(v - kBack, before, kBack)) {
        return std::nullopt;
    }
    // b(n): the n-th byte before v.
    const auto b = [&](size_t n) { return before[kBack - n]; };
    const bool x64 = cpu == TCpu::kX8664;
    // On x86_64 a call through r8..r15 carries a REX prefix with the B bit
    // (41, 43, ... 4F) before its FF; the call starts there.
    const auto at = [&](size_t length) -> std::optional<TCallSite> {
        size_t start = length;
        if (x64 && length < kBack) {
            const uint8_t prefix = b(length + 1);
            if (InRange(prefix, 0x41, 0x4F) && (prefix & 1) != 0) {
                ++start;
            }
        }
        return TCallSite{v - start, std::nullopt};
    };

    if (b(5) == 0xE8) {
        TCallSite site{v - 5, std::nullopt};
        const uint64_t callee =
            FollowStub(cpu, memory, v + static_cast<int64_t>(ReadInt32(&before[kBack - 4])));
        uint8_t entry[5];
        if (memory.Read(callee, entry, sizeof entry) && entry[0] != 0xE8) {
            site.callee = callee;
        }
        return site;
    }
    if (b(2) == 0xFF && InRange(b(1), 0xD0, 0xD7)) {
        return at(2);  // call register
    }
    if (b(2) == 0xFF && InRange(b(1), 0x10, 0x17) && PlainBase(b(1) & 7)) {
        return at(2);  // call [register]
    }
    if (b(3) == 0xFF && InRange(b(2), 0x50, 0x57) && b(2) != 0x54) {
        return at(3);  // call [register + disp8]
    }
    if (b(6) == 0xFF && InRange(b(5), 0x90, 0x97) && b(5) != 0x94) {
        return at(6);  // call [register + disp32]
    }
    if (b(3) == 0xFF && b(2) == 0x14 && b(1) == 0x24) {
        return at(3);  // call [esp]
    }
    if (b(4) == 0xFF && b(3) == 0x54 && b(2) == 0x24) {
        return at(4);  // call [esp + disp8]
    }
    if (b(7) == 0xFF && b(6) == 0x94 && b(5) == 0x24) {
        return at(7);  // call [esp + disp32]
    }
    if (b(6) == 0xFF && b(5) == 0x15) {
        // call [absolute] on i686, call [rip + disp32] on x86_64: the slot
        // must be readable.
        const int32_t displacement = ReadInt32(&before[kBack - 4]);
        const uint64_t slot =
            x64 ? v + static_cast<int64_t>(displacement) : static_cast<uint32_t>(displacement);
        if (Readable(memory, slot, WordSize(cpu))) {
            return TCallSite{v - 6, std::nullopt};
        }
    }
    return std::nullopt;
}

TStackScan ScanStack(TCpu cpu, const TMemoryReader& memory, uint64_t stack_pointer,
                     uint64_t stack_top, std::optional<uint64_t> first, size_t limit) {
    TStackScan scan;
    const auto add = [&](uint64_t address) {
        if (scan.addresses.size() < limit) {
            scan.addresses.push_back(address);
        } else {
            ++scan.omitted;
        }
    };
    if (first) {
        add(*first);
    }
    const size_t word = WordSize(cpu);
    constexpr size_t kWindow = 400;
    std::array<uint8_t, kWindow> window;
    uint64_t window_start = 0;
    size_t window_size = 0;  // nothing read yet
    for (uint64_t p = stack_pointer; p <= stack_top && p >= stack_pointer; p += word) {
        if (p < window_start || p + word > window_start + window_size) {
            const uint64_t left = stack_top - p + word;
            const size_t want = static_cast<size_t>(std::min<uint64_t>(kWindow, left));
            window_start = p;
            if (memory.Read(p, window.data(), want)) {
                window_size = want;
            } else if (memory.Read(p, window.data(), word)) {
                window_size = word;
            } else {
                window_size = 0;
                continue;
            }
        }
        const uint64_t v = ReadWord(window.data() + (p - window_start), word);
        if (const auto site = CallBefore(cpu, memory, v)) {
            if (site->callee) {
                add(*site->callee);
            }
            add(site->call);
        }
    }
    return scan;
}

}  // namespace exceptions
