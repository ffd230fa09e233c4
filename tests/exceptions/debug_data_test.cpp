#include "exceptions/debug_data.h"

#include <gtest/gtest.h>

#include <random>

#include "base/exception.h"
#include "exceptions/scramble.h"

namespace exceptions {
namespace {

// Blocks assembled byte by byte from the layout, independently of the encoder.
std::string Byte(uint32_t b) {
    return std::string(1, static_cast<char>(b));
}
std::string Le16(uint32_t v) {
    return Byte(v & 0xFF) + Byte((v >> 8) & 0xFF);
}
std::string Le32(uint32_t v) {
    return Le16(v & 0xFFFF) + Le16(v >> 16);
}
std::string Short(std::string text) {
    Scramble(text);
    return Byte(static_cast<uint32_t>(text.size())) + text;
}
std::string Unit(std::string name, uint32_t first_line, uint32_t offset, uint32_t size,
                 const std::string& table) {
    return Short(std::move(name)) + Le32(first_line) + Le32(offset) + Le32(size) +
           Le32(static_cast<uint32_t>(table.size())) + table;
}
std::string Block(uint16_t version, const std::string& names,
                  const std::vector<std::string>& units) {
    std::string block = version > 404 ? Le32(static_cast<uint32_t>(names.size())) + names : "";
    block += Le32(static_cast<uint32_t>(units.size()));
    for (const std::string& unit : units) {
        block += unit;
    }
    return block;
}
TLineEntry E(uint32_t length, uint32_t advance, const char* name = nullptr) {
    return {length, advance, name != nullptr, name ? name : ""};
}

TEST(DebugDataTest, EntryFormsDecode) {
    const std::string a = Short("A.b");
    struct Case {
        const char* what;
        uint16_t version;
        std::string table;
        std::vector<TLineEntry> entries;
    } cases[] = {
        {"1 byte", 454, Byte((2 << 6) | (3 << 1)), {E(4, 3)}},
        {"1 byte, largest", 454, Byte(0xFE), {E(32, 4)}},
        {"1 byte named", 454, Byte((7 << 5) | (4 << 2) | 1) + a, {E(5, 8, "A.b")}},
        {"16-bit", 454, Le16(0xFFF3), {E(128, 32)}},
        {"16-bit named", 454, Le16((4 << 11) | (9 << 4) | 7) + a, {E(10, 5, "A.b")}},
        {"32-bit", 454, Le32(((3999u << 16 | 0xFFFF) << 4) | 0xB), {E(4000, 65536)}},
        {"32-bit named", 454, Le32(((1u << 16 | 2) << 4) | 0xF) + a, {E(2, 3, "A.b")}},
        {"zero length", 454, Le32(((0xFFFu << 16 | 4) << 4) | 0xF) + a, {E(0, 5, "A.b")}},
        {"extended", 423, Le32(0xFFEFFFEF) + Le16(0x0204) + Le16(0x0006) + a, {E(7, 0x205, "A.b")}},
        // Below 423 the mark is a plain entry and A, B are four 1-byte ones.
        {"no extended at 422",
         422,
         Le32(0xFFEFFFEB) + Le16(0x0204) + Le16(0x0006),
         {E(4095, 65535), E(3, 1), E(2, 1), E(4, 1), E(1, 1)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string block = Block(c.version, "", {Unit("u.c", 0, 0, 0, c.table)});
        const auto units = TDebugDataReader(block, c.version).Units();
        ASSERT_TRUE(units);
        ASSERT_EQ(units->size(), 1u);
        EXPECT_EQ((*units)[0].entries, c.entries);
    }
}

TEST(DebugDataTest, NameTableOnlyAbove404) {
    const std::string names = Short("F.T.Run") + Le32(0x1234) + Le32(77) + Short("F.T.Handle") +
                              Le32(0x2000) + Le32(0) + Short("F.T.Run") + Le32(1) + Le32(0);
    const std::string unit = Unit("Forms", 7, 0x10, 4, Byte(0x06));
    const std::string block = Block(405, names, {unit});
    const TDebugDataReader with(block, 405);
    EXPECT_EQ(with.ProcedureOffset("F.T.Handle"), 0x2000u);
    EXPECT_EQ(with.ProcedureOffset("F.T.Run"), 0x1234u);  // the first
    EXPECT_EQ(with.ProcedureOffset("f.T.Run"), std::nullopt);
    EXPECT_EQ(with.ProcedureOffset("F.T.Ru"), std::nullopt);
    EXPECT_EQ(with.Names(), (std::vector<TDebugName>{
                                {"F.T.Run", 0x1234}, {"F.T.Handle", 0x2000}, {"F.T.Run", 1}}));
    EXPECT_EQ(with.Find(0x12), (TDebugLocation{"Forms.pas", "", "", 7}));

    const std::string old = Block(404, names, {unit});  // straight to the unit count
    const TDebugDataReader without(old, 404);
    EXPECT_EQ(without.Names(), std::vector<TDebugName>{});
    EXPECT_EQ(without.Find(0x13), (TDebugLocation{"Forms.pas", "", "", 7}));
}

// Two units; the first walks through every name rule.
const std::string kWalk =
    Block(454, "",
          {Unit("Forms", 10, 0x100, 0x40,
                Byte((1 << 6) | (3 << 1)) +                                  // 4 bytes, +2
                    Byte((0 << 5) | (7 << 2) | 1) + Short("TForm.Create") +  // 8 bytes, +1
                    Byte((2 << 5) | (3 << 2) | 1) + Short(".Paint") +        // 4 bytes, +3
                    Le32(((0xFFFu << 16) << 4) | 0xF) + Short("Helper") +    // 0 bytes, +1
                    Byte((4 << 5) | (1 << 2) | 1) + Short("@Init") +         // 2 bytes, +5
                    Le16((0 << 11) | (0 << 4) | 7) + Short("A.b.c")),        // 1 byte, +1
           Unit("app/main.cpp", 50, 0x200, 0x10, Byte(0x02))});

TEST(DebugDataTest, FindWalksTheLines) {
    const TDebugDataReader reader(kWalk, 454);
    const std::pair<uint32_t, std::optional<TDebugLocation>> cases[] = {
        {0xFF, std::nullopt},
        {0x100, TDebugLocation{"Forms.pas", "", "", 10}},
        {0x103, TDebugLocation{"Forms.pas", "", "", 10}},
        // No procedure yet: the first name is current at once.
        {0x104, TDebugLocation{"Forms.pas", "TForm", "Create", 12}},
        {0x10B, TDebugLocation{"Forms.pas", "TForm", "Create", 12}},
        // ".Paint" keeps the class; it is current only after its own range.
        {0x10C, TDebugLocation{"Forms.pas", "TForm", "Create", 13}},
        // After the zero-length "Helper" (no class): "@Init" waits its range.
        {0x110, TDebugLocation{"Forms.pas", "", "Helper", 17}},
        {0x111, TDebugLocation{"Forms.pas", "", "Helper", 17}},
        // "A.b.c": the class at once, the rest is the procedure.
        {0x112, TDebugLocation{"Forms.pas", "A", "_Init", 22}},
        // Code after the last entry: the line and names reached after it.
        {0x113, TDebugLocation{"Forms.pas", "A", "b.c", 23}},
        {0x13F, TDebugLocation{"Forms.pas", "A", "b.c", 23}},
        {0x140, std::nullopt},
        {0x201, TDebugLocation{"app/main.cpp", "", "", 50}},
        {0x202, TDebugLocation{"app/main.cpp", "", "", 51}},
        {0x210, std::nullopt},
    };
    for (const auto& [offset, expected] : cases) {
        SCOPED_TRACE(offset);
        EXPECT_EQ(reader.Find(offset), expected);
    }
}

// A block whose every byte is needed: each shorter prefix is damaged.
TEST(DebugDataTest, DamagedBlocksFindNothing) {
    const std::string names = Short("U.C.P") + Le32(0x100) + Le32(0);
    const std::string block =
        Block(454, names,
              {Unit("U", 1, 0x100, 0x10, Le32(0xFFEFFFEF) + Le32(0) + Short("C.P")),
               Unit("V", 1, 0x200, 0x10, Byte(0x00))});
    ASSERT_TRUE(TDebugDataReader(block, 454).Find(0x100));
    for (size_t n = 0; n < block.size(); ++n) {
        SCOPED_TRACE(n);
        // Exactly n bytes on the heap, so that a read past them is caught.
        const std::vector<char> bytes(block.begin(), block.begin() + static_cast<ptrdiff_t>(n));
        const TDebugDataReader reader(std::string_view(bytes.data(), n), 454);
        EXPECT_EQ(reader.Find(0x100), std::nullopt);
        EXPECT_EQ(reader.ProcedureOffset("U.C.P"), std::nullopt);
        EXPECT_EQ(reader.Units(), std::nullopt);
    }

    const std::string unit = Unit("U", 1, 0, 0x10, Byte(0));
    const std::string huge = Le32(0xFFFFFFFF);
    const std::string bad[] = {
        huge + Le32(1) + unit,     // name table length
        Le32(0) + huge + unit,     // unit count
        Le32(0) + Le32(2) + unit,  // more units than bytes left
        Le32(0) + Le32(1) + Short("U") + Le32(1) + Le32(0) + Le32(0x10) + huge + Byte(0),
        Le32(0) + Le32(1) + Unit("U", 1, 0, 0x10, Byte(0x01) + Byte(5)) + "12345",  // name
        Le32(0) + Le32(1) + Unit("U", 1, 0, 0x10, Byte(0x0B)),  // 32-bit form cut short
        Le32(2) + Short("x") + Le32(0),                         // name table entry cut
    };
    for (const std::string& b : bad) {
        SCOPED_TRACE(testing::PrintToString(b));
        const TDebugDataReader reader(b, 454);
        EXPECT_EQ(reader.Find(0), std::nullopt);
        EXPECT_EQ(reader.Units(), std::nullopt);
    }
}

// The encoded size of one entry tells the form chosen.
TEST(DebugDataTest, EncoderPicksTheSmallestForm) {
    const struct {
        TLineEntry entry;
        size_t bytes;
    } cases[] = {
        {E(1, 1), 1},        {E(32, 4), 1},     {E(33, 1), 2},
        {E(1, 5), 2},        {E(8, 8, "x"), 3}, {E(9, 1, "x"), 4},
        {E(1, 9, "x"), 4},   {E(128, 32), 2},   {E(129, 1), 4},
        {E(1, 33), 4},       {E(0, 1), 4},      {E(4095, 65536), 4},
        {E(4095, 65535), 8}, {E(4096, 1), 8},   {E(65536, 65536, "x"), 10},
    };
    const size_t overhead = Block(454, "", {Unit("u", 0, 0, 0, "")}).size();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.entry.code_length * 100000ull + c.entry.line_advance);
        const std::vector<TDebugUnit> units = {{"u", 0, 0, 0, {c.entry}}};
        const std::string block = EncodeDebugData({}, units);
        EXPECT_EQ(block.size(), overhead + c.bytes);
        EXPECT_EQ(TDebugDataReader(block, 454).Units(), units);
    }
    EXPECT_THROW(EncodeDebugData({}, {{"u", 0, 0, 0, {E(1, 0)}}}), base::EConvertError);
    EXPECT_THROW(EncodeDebugData({{std::string(256, 'n'), 0}}, {}), base::EConvertError);
    EXPECT_THROW(EncodeDebugData({}, {{"u", 0, 0, 0, {{1, 1, true, std::string(256, 'n')}}}}),
                 base::EConvertError);
}

// Entries beyond every form come back as several, and Find answers as if
// they had fitted.
TEST(DebugDataTest, EncoderSplitsHugeEntries) {
    const std::vector<TLineEntry> entries = {E(16, 1, "C.first"), E(150000, 200000, "D.second"),
                                             E(4, 1), E(70000, 1, "third")};
    const std::string block = EncodeDebugData(
        {}, {{"big.cpp", 100, 0, 400000, entries}, {"next.cpp", 5, 400000, 8, {E(8, 1)}}});
    const TDebugDataReader reader(block, 454);
    ASSERT_TRUE(reader.Units());
    EXPECT_GT(reader.Units()->size(), 2u);
    const uint32_t after = 16 + 150000;  // the end of the second entry
    const std::pair<uint32_t, TDebugLocation> cases[] = {
        {16, {"big.cpp", "D", "first", 101}},
        {16 + 65536, {"big.cpp", "D", "first", 101}},
        {16 + 131072, {"big.cpp", "D", "first", 101}},
        {after - 1, {"big.cpp", "D", "first", 101}},
        {after, {"big.cpp", "D", "second", 200101}},
        {after + 4 + 69999, {"big.cpp", "", "second", 200102}},
        {after + 4 + 70000, {"big.cpp", "", "third", 200103}},
        {399999, {"big.cpp", "", "third", 200103}},
        {400000, {"next.cpp", "", "", 5}},
    };
    for (const auto& [offset, expected] : cases) {
        SCOPED_TRACE(offset);
        EXPECT_EQ(reader.Find(offset), expected);
    }
}

// Random units with sizes around every form's limits.
TEST(DebugDataTest, EncoderRoundTrip) {
    std::mt19937 gen(20240611);
    auto pick = [&gen](uint32_t lo, uint32_t hi) {
        return std::uniform_int_distribution<uint32_t>(lo, hi)(gen);
    };
    const char* const names[] = {"TForm.Create", ".Paint", "Helper", "@Init", "A.b.c", ""};
    const uint32_t limits[] = {8, 32, 128, 4096, 65536};
    for (int round = 0; round < 200; ++round) {
        SCOPED_TRACE(round);
        std::vector<TDebugName> table(pick(0, 3), {"U.C.p" + std::to_string(round), pick(0, ~0u)});
        std::vector<TDebugUnit> units(pick(0, 4));
        uint32_t offset = pick(0, 1000);
        for (TDebugUnit& unit : units) {
            unit = {"unit" + std::string(pick(0, 1) ? ".cpp" : ""), pick(0, 1000), offset, 0, {}};
            for (uint32_t e = pick(0, 20); e > 0; --e) {
                const uint32_t limit = limits[pick(0, 4)];
                const bool named = pick(0, 2) == 0;
                unit.entries.push_back(
                    {pick(0, limit), pick(1, limit), named, named ? names[pick(0, 5)] : ""});
                unit.code_size += unit.entries.back().code_length;
            }
            unit.code_size += pick(0, 3);
            offset += unit.code_size + pick(0, 3);
        }
        const std::string block = EncodeDebugData(table, units);
        const TDebugDataReader reader(block, 454);
        EXPECT_EQ(reader.Units(), units);
        EXPECT_EQ(reader.Names(), table);
        // The line at the first byte of every range and after the last entry.
        auto line_at = [&reader](uint32_t at) {
            const auto found = reader.Find(at);
            return found ? std::optional(found->line) : std::nullopt;
        };
        for (const TDebugUnit& unit : units) {
            uint32_t line = unit.first_line;
            uint32_t start = unit.code_offset;
            for (const TLineEntry& entry : unit.entries) {
                if (entry.code_length > 0) {
                    EXPECT_EQ(line_at(start), line);
                }
                line += entry.line_advance;
                start += entry.code_length;
            }
            if (start < unit.code_offset + unit.code_size) {
                EXPECT_EQ(line_at(start), line);
            }
        }
    }
}

}  // namespace
}  // namespace exceptions
