// The hooks' machine code for both processor forms, over plain bytes.

#include "exceptions/hook_code.h"

#include <gtest/gtest.h>

#include <vector>

namespace exceptions {
namespace {

constexpr auto k32 = THookCpu::kI686;
constexpr auto k64 = THookCpu::kX8664;

TEST(HookCode, OnlyNopRunsAndTheHotPatchPrologueAreHookable) {
    const std::vector<uint8_t> nops(14, 0x90);
    std::vector<uint8_t> short_nops = nops;
    short_nops[13] = 0xC3;  // thirteen NOPs cannot take a fourteen-byte patch
    const std::vector<uint8_t> hot_patch = {0x8B, 0xFF, 0x55, 0x8B, 0xEC, 0x5D, 0xC3,
                                            0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC};
    const std::vector<uint8_t> frame = {0x55, 0x89, 0xE5, 0x83, 0xEC, 0x10, 0xC3,
                                        0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC};
    const struct {
        THookCpu cpu;
        const std::vector<uint8_t>& entry;
        bool hookable;
    } cases[] = {
        {k32, nops, true},        {k64, nops, true},      {k32, short_nops, true},
        {k64, short_nops, false}, {k32, hot_patch, true}, {k64, hot_patch, false},
        {k32, frame, false},      {k64, frame, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(HookableEntry(c.cpu, c.entry.data()), c.hookable)
            << (c.cpu == k32 ? "i686 " : "x86_64 ") << int(c.entry[0]) << " " << int(c.entry[13]);
    }
}

TEST(HookCode, JumpsLandOnTheirTarget) {
    uint8_t out[kMaxHookPatchSize] = {};
    ASSERT_EQ(EncodeHookJump(k32, 0x00401000, 0x00402000, out), 5u);
    EXPECT_EQ(std::vector<uint8_t>(out, out + 5), (std::vector<uint8_t>{0xE9, 0xFB, 0x0F, 0, 0}));
    ASSERT_EQ(EncodeHookJump(k32, 0x00402000, 0x00401000, out), 5u);  // backwards
    EXPECT_EQ(std::vector<uint8_t>(out, out + 5),
              (std::vector<uint8_t>{0xE9, 0xFB, 0xEF, 0xFF, 0xFF}));
    ASSERT_EQ(EncodeHookJump(k64, 0x140001000, 0x7FF612345678, out), 14u);
    EXPECT_EQ(
        std::vector<uint8_t>(out, out + 14),
        (std::vector<uint8_t>{0xFF, 0x25, 0, 0, 0, 0, 0x78, 0x56, 0x34, 0x12, 0xF6, 0x7F, 0, 0}));
}

TEST(HookCode, ImportStubsNameTheirSlot) {
    const uint8_t absolute[8] = {0xFF, 0x25, 0x60, 0x67, 0x15, 0x00, 0x90, 0x90};
    const uint8_t backwards[8] = {0xFF, 0x25, 0xFA, 0xFF, 0xFF, 0xFF, 0x8B, 0xC0};
    const uint8_t other_tail[8] = {0xFF, 0x25, 0x60, 0x67, 0x15, 0x00, 0xCC, 0xCC};
    const uint8_t call[8] = {0xFF, 0x15, 0x60, 0x67, 0x15, 0x00, 0x90, 0x90};
    EXPECT_EQ(ImportStubSlot(k32, absolute, 0x401000), 0x156760u);
    EXPECT_EQ(ImportStubSlot(k64, absolute, 0x140001000), 0x140001006u + 0x156760u);
    EXPECT_EQ(ImportStubSlot(k64, backwards, 0x140001000), 0x140001000u);
    EXPECT_EQ(ImportStubSlot(k32, other_tail, 0x401000), std::nullopt);
    EXPECT_EQ(ImportStubSlot(k64, call, 0x140001000), std::nullopt);
}

}  // namespace
}  // namespace exceptions
