// The raw stack scan over memory images: each call form found before a
// return address, the callee of a direct call, and the scan's walk through
// holes, its last word and its limit.

#include "exceptions/stack_scan.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace exceptions {
namespace {

// Regions of bytes at addresses, some of them code.
class FakeMemory : public TMemoryReader {
  public:
    void Map(uint64_t base, std::string bytes, bool code = false) {
        regions_[base] = {std::move(bytes), code};
    }
    bool Read(uint64_t address, void* out, size_t size) const override {
        const auto* region = Find(address);
        if (region == nullptr) {
            return false;
        }
        const uint64_t offset = address - region->first;
        if (offset + size > region->second.bytes.size()) {
            return false;
        }
        std::memcpy(out, region->second.bytes.data() + offset, size);
        return true;
    }
    bool IsCode(uint64_t address) const override {
        const auto* region = Find(address);
        return region != nullptr && region->second.code;
    }

  private:
    struct Region {
        std::string bytes;
        bool code;
    };
    const std::pair<const uint64_t, Region>* Find(uint64_t address) const {
        auto at = regions_.upper_bound(address);
        if (at == regions_.begin()) {
            return nullptr;
        }
        --at;
        return address - at->first < at->second.bytes.size() ? &*at : nullptr;
    }
    std::map<uint64_t, Region> regions_;
};

std::string Le(uint64_t value, size_t size) {
    std::string bytes;
    for (size_t i = 0; i < size; ++i) {
        bytes += static_cast<char>(value >> (8 * i));
    }
    return bytes;
}

constexpr uint64_t kCode = 0x401000;
constexpr uint64_t kCall = kCode + 0x100;  // where each tested instruction starts
constexpr uint64_t kSlot = 0x500000;       // a readable data word

// Code with `instruction` at kCall (NOPs around it), and data at kSlot.
FakeMemory WithInstruction(const std::string& instruction) {
    FakeMemory memory;
    std::string code(0x400, '\x90');
    code.replace(kCall - kCode, instruction.size(), instruction);
    // A procedure at kCode + 0x300 that does not begin with a direct call,
    // one at + 0x310 that does, and a jump stub at + 0x320 to + 0x300.
    code.replace(0x310, 5, "\xE8\x00\x00\x00\x00", 5);
    code.replace(0x320, 6, "\xFF\x25" + Le(kSlot, 4));
    memory.Map(kCode, code, true);
    memory.Map(kSlot, Le(kCode + 0x300, 8));
    return memory;
}

std::string Rel32(uint64_t target) {
    return Le(target - (kCall + 5), 4);
}

TEST(StackScan, EachCallFormNamesItsCallInstruction) {
    const struct {
        const char* form;
        TCpu cpu;
        std::string bytes;
        std::optional<uint64_t> call;  // nullopt: not a call
        std::optional<uint64_t> callee;
    } cases[] = {
        {"E8, callee", TCpu::kI686, "\xE8" + Rel32(kCode + 0x300), kCall, kCode + 0x300},
        {"E8, callee begins with E8", TCpu::kI686, "\xE8" + Rel32(kCode + 0x310), kCall,
         std::nullopt},
        {"E8 through a jump stub", TCpu::kI686, "\xE8" + Rel32(kCode + 0x320), kCall,
         kCode + 0x300},
        {"E8, callee unreadable", TCpu::kI686, "\xE8" + Rel32(0x10), kCall, std::nullopt},
        {"call register", TCpu::kI686, "\xFF\xD3", kCall, std::nullopt},
        {"call [register]", TCpu::kI686, "\xFF\x16", kCall, std::nullopt},
        {"call [register + disp8]", TCpu::kI686, "\xFF\x55\x08", kCall, std::nullopt},
        {"call [register + disp32]", TCpu::kI686, std::string("\xFF\x96") + Le(0x100, 4), kCall,
         std::nullopt},
        {"call [esp]", TCpu::kI686, "\xFF\x14\x24", kCall, std::nullopt},
        {"call [esp + disp8]", TCpu::kI686, "\xFF\x54\x24\x04", kCall, std::nullopt},
        {"call [esp + disp32]", TCpu::kI686, std::string("\xFF\x94\x24") + Le(0x100, 4), kCall,
         std::nullopt},
        {"call [absolute]", TCpu::kI686, "\xFF\x15" + Le(kSlot, 4), kCall, std::nullopt},
        {"call [absolute], slot unreadable", TCpu::kI686, "\xFF\x15" + Le(0x20, 4), std::nullopt,
         std::nullopt},
        {"FF 14 without a SIB byte is no call", TCpu::kI686, "\x90\xFF\x14", std::nullopt,
         std::nullopt},
        {"an E8 form wins over a later match", TCpu::kI686,
         "\xE8" + std::string("\x00\x00\xFF\xD0", 4), kCall, std::nullopt},
        {"x86_64: call [rip + disp32]", TCpu::kX8664, "\xFF\x15" + Le(kSlot - (kCall + 6), 4),
         kCall, std::nullopt},
        {"x86_64: call r8", TCpu::kX8664, "\x41\xFF\xD0", kCall, std::nullopt},
        {"x86_64: call rax", TCpu::kX8664, "\x90\xFF\xD0", kCall + 1, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.form);
        const FakeMemory memory = WithInstruction(c.bytes);
        const uint64_t v = kCall + c.bytes.size();
        const auto site = CallBefore(c.cpu, memory, v);
        ASSERT_EQ(site.has_value(), c.call.has_value());
        if (site) {
            EXPECT_EQ(site->call, *c.call);
            EXPECT_EQ(site->callee, c.callee);
        }
    }
}

TEST(StackScan, OnlyAddressesInCodeCount) {
    FakeMemory memory;
    // Data that looks like "call eax" followed by the candidate.
    memory.Map(0x600000, std::string("\x90\x90\x90\x90\x90\xFF\xD0\x00", 8));
    EXPECT_FALSE(CallBefore(TCpu::kI686, memory, 0x600007).has_value());
    memory.Map(0x600000, std::string("\x90\x90\x90\x90\x90\xFF\xD0\x00", 8), true);
    EXPECT_TRUE(CallBefore(TCpu::kI686, memory, 0x600007).has_value());
}

TEST(StackScan, WalksPastHolesToTheTopWordAndStopsAtTheLimit) {
    for (const TCpu cpu : {TCpu::kI686, TCpu::kX8664}) {
        SCOPED_TRACE(cpu == TCpu::kI686 ? "i686" : "x86_64");
        const size_t word = cpu == TCpu::kI686 ? 4 : 8;
        FakeMemory memory = WithInstruction("\xFF\xD3");
        const uint64_t ret = kCall + 2;
        // Stack: [ret][junk] | hole of one word | [junk][ret] ... [ret] at the top.
        constexpr uint64_t kStack = 0x700000;
        memory.Map(kStack, Le(ret, word) + Le(0x1234, word));
        const uint64_t after_hole = kStack + 3 * word;
        std::string rest = Le(0x1234, word) + Le(ret, word);
        rest += std::string(20 * word, '\0') + Le(ret, word);
        memory.Map(after_hole, rest);
        const uint64_t top = after_hole + rest.size() - word;

        const TStackScan scan = ScanStack(cpu, memory, kStack, top, 0x1111);
        EXPECT_EQ(scan.addresses, (std::vector<uint64_t>{0x1111, kCall, kCall, kCall}));
        EXPECT_EQ(scan.omitted, 0u);

        const TStackScan capped = ScanStack(cpu, memory, kStack, top, std::nullopt, 2);
        EXPECT_EQ(capped.addresses, (std::vector<uint64_t>{kCall, kCall}));
        EXPECT_EQ(capped.omitted, 1u);
    }
}

}  // namespace
}  // namespace exceptions
