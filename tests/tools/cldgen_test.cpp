// cldgen's readers (PE images, COFF symbols, DWARF line programs), its name
// simplification and the debug tables it builds, on small hand-built
// images; and the tool's commands on such an image. Every truncation of an
// input is read from a buffer of its exact size, so that AddressSanitizer
// sees any read past the end.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "debug_builder.h"
#include "dwarf_line.h"
#include "exceptions/debug_data.h"
#include "pe_image.h"
#include "symbol_names.h"

namespace fs = std::filesystem;

namespace cldgen {

bool operator==(const TLineRow& a, const TLineRow& b) {
    return a.address == b.address && a.file == b.file && a.line == b.line &&
           a.is_stmt == b.is_stmt && a.end_sequence == b.end_sequence;
}

std::ostream& operator<<(std::ostream& os, const TLineRow& r) {
    return os << std::hex << r.address << std::dec << " f" << r.file << " l" << r.line
              << (r.is_stmt ? " stmt" : "") << (r.end_sequence ? " end" : "");
}

}  // namespace cldgen

using namespace cldgen;

namespace {

// ---- byte fixtures

struct TBytes {
    std::string data;
    TBytes& Int(uint64_t value, int size) {
        for (int i = 0; i < size; ++i) {
            data += static_cast<char>((value >> (8 * i)) & 0xFF);
        }
        return *this;
    }
    TBytes& U8(uint64_t v) { return Int(v, 1); }
    TBytes& U16(uint64_t v) { return Int(v, 2); }
    TBytes& U32(uint64_t v) { return Int(v, 4); }
    TBytes& Raw(std::string_view bytes) {
        data += bytes;
        return *this;
    }
    TBytes& Str(std::string_view text) { return Raw(text).U8(0); }
    TBytes& Uleb(uint64_t v) {
        do {
            U8((v & 0x7F) | (v > 0x7F ? 0x80 : 0));
            v >>= 7;
        } while (v);
        return *this;
    }
    TBytes& Sleb(int64_t v) {
        for (bool more = true; more;) {
            const uint8_t byte = v & 0x7F;
            v >>= 7;
            more = !((v == 0 && !(byte & 0x40)) || (v == -1 && (byte & 0x40)));
            U8(byte | (more ? 0x80 : 0));
        }
        return *this;
    }
};

struct TSection {
    std::string name;
    uint32_t rva = 0;
    std::string data;
    uint32_t characteristics = kSectionCode | kSectionExecute;
};

struct TSymbol {
    std::string name;
    uint32_t value = 0;
    int16_t section = 1;
    uint16_t type = kSymbolTypeFunction;
    uint8_t storage = kStorageExternal;
    std::string aux;  // 18 bytes per record
};

struct TImageLayout {
    bool is64 = false;
    uint64_t base = 0x400000;
    std::vector<TSection> sections;
    std::vector<TSymbol> symbols;
    uint32_t resource_rva = 0;
    uint32_t resource_size = 0;
    uint32_t time_stamp = 1;
    uint32_t check_sum = 2;
};

// A PE image: headers, section data one after another, then the symbol
// table and its string table (long names go there).
std::string MakeImage(const TImageLayout& layout) {
    TBytes strings;
    strings.U32(0);
    auto long_name = [&](const std::string& name) {
        const size_t offset = strings.data.size();
        strings.Str(name);
        return static_cast<uint32_t>(offset);
    };
    const uint32_t optional_size = layout.is64 ? 240 : 224;
    const uint32_t headers = 0x40 + 24 + optional_size + 40 * layout.sections.size();
    uint32_t raw = headers;
    TBytes section_table;
    for (const TSection& section : layout.sections) {
        std::string name = section.name;
        if (name.size() > 8) {
            name = "/" + std::to_string(long_name(section.name));
        }
        name.resize(8, '\0');
        section_table.Raw(name).U32(section.data.size()).U32(section.rva);
        section_table.U32(section.data.size()).U32(raw).U32(0).U32(0).U32(0);
        section_table.U32(section.characteristics);
        raw += section.data.size();
    }
    uint32_t symbol_count = 0;
    TBytes symbols;
    for (const TSymbol& symbol : layout.symbols) {
        if (symbol.name.size() > 8) {
            symbols.U32(0).U32(long_name(symbol.name));
        } else {
            std::string name = symbol.name;
            name.resize(8, '\0');
            symbols.Raw(name);
        }
        symbols.U32(symbol.value).U16(static_cast<uint16_t>(symbol.section)).U16(symbol.type);
        symbols.U8(symbol.storage).U8(symbol.aux.size() / 18).Raw(symbol.aux);
        symbol_count += 1 + symbol.aux.size() / 18;
    }
    strings.data.replace(0, 4, TBytes().U32(strings.data.size()).data);

    TBytes image;
    image.Raw("MZ").data.resize(0x3C, '\0');
    image.U32(0x40).Raw(std::string("PE\0\0", 4));
    image.U16(layout.is64 ? kMachineAmd64 : kMachineI386).U16(layout.sections.size());
    image.U32(layout.time_stamp).U32(layout.symbols.empty() ? 0 : raw).U32(symbol_count);
    image.U16(optional_size).U16(0x102);
    TBytes optional;
    optional.U16(layout.is64 ? 0x20B : 0x10B).U16(0).U32(0).U32(0).U32(0).U32(0x1010).U32(0x1000);
    if (layout.is64) {
        optional.Int(layout.base, 8);
    } else {
        optional.U32(0).U32(layout.base);
    }
    optional.U32(0x1000).U32(0x200);
    optional.data.resize(64, '\0');
    optional.U32(layout.check_sum).U16(2).U16(0x140);
    optional.data.resize(layout.is64 ? 108 : 92, '\0');
    optional.U32(16);
    for (int i = 0; i < 16; ++i) {
        optional.U32(i == 2 ? layout.resource_rva : 0).U32(i == 2 ? layout.resource_size : 0);
    }
    image.Raw(optional.data).Raw(section_table.data);
    for (const TSection& section : layout.sections) {
        image.Raw(section.data);
    }
    if (!layout.symbols.empty()) {
        image.Raw(symbols.data).Raw(strings.data);
    }
    return image.data;
}

std::string FileAux(std::string_view name) {
    std::string aux(name);
    aux.resize(18, '\0');
    return aux;
}

std::string SectionAux(uint32_t length) {
    std::string aux = TBytes().U32(length).data;
    aux.resize(18, '\0');
    return aux;
}

// A resource tree with one RCDATA resource named `name`, for a .rsrc
// section at `rva`.
std::string ResourceTree(uint32_t rva, std::string_view name, std::string_view data) {
    TBytes tree;
    auto directory = [&](int named, int numbered) {
        tree.U32(0).U32(0).U16(0).U16(0).U16(named).U16(numbered);
    };
    constexpr uint32_t kSub = 0x80000000u;
    directory(0, 2);                                      // 0x00: types
    tree.U32(3).U32(kSub | 0x20);                         //   an icon type, not asked for
    tree.U32(10).U32(kSub | 0x20);                        //   RCDATA
    directory(1, 0);                                      // 0x20: names
    tree.U32(kSub | 0x60).U32(kSub | 0x38);               //   the name at 0x60
    directory(0, 1);                                      // 0x38: languages
    tree.U32(0x804).U32(0x50);                            //
    tree.U32(rva + 0x80).U32(data.size()).U32(0).U32(0);  // 0x50: data entry
    tree.U16(name.size());                                // 0x60: the name
    for (char c : name) {
        tree.U16(static_cast<uint8_t>(c));
    }
    tree.data.resize(0x80, '\0');
    return tree.Raw(data).data;
}

// Bytes in a buffer of exactly their size.
struct TExact {
    explicit TExact(std::string_view bytes) : buffer(new char[bytes.size()]), size(bytes.size()) {
        std::copy(bytes.begin(), bytes.end(), buffer.get());
    }
    std::string_view View() const { return {buffer.get(), size}; }
    std::unique_ptr<char[]> buffer;
    size_t size;
};

// ---- DWARF line programs

constexpr uint8_t kOpcodeBase = 13;
constexpr int kLineBase = -5;
constexpr int kLineRange = 14;

struct TProgram {
    TBytes bytes;
    uint8_t opcode_base = kOpcodeBase;
    TProgram& SetAddress(uint64_t address, int size) {
        bytes.U8(0).Uleb(size + 1).U8(2).Int(address, size);
        return *this;
    }
    TProgram& Special(int address_delta, int line_delta) {
        bytes.U8(line_delta - kLineBase + kLineRange * address_delta + opcode_base);
        return *this;
    }
    TProgram& Copy() { return Op(1); }
    TProgram& AdvancePc(uint64_t v) { return Op(2).Uleb(v); }
    TProgram& AdvanceLine(int64_t v) {
        Op(3);
        bytes.Sleb(v);
        return *this;
    }
    TProgram& SetFile(uint64_t v) { return Op(4).Uleb(v); }
    TProgram& NegateStmt() { return Op(6); }
    TProgram& ConstAddPc() { return Op(8); }
    TProgram& FixedAdvancePc(uint16_t v) {
        Op(9);
        bytes.U16(v);
        return *this;
    }
    TProgram& EndSequence() {
        bytes.U8(0).Uleb(1).U8(1);
        return *this;
    }
    TProgram& Op(uint8_t opcode) {
        bytes.U8(opcode);
        return *this;
    }
    TProgram& Uleb(uint64_t v) {
        bytes.Uleb(v);
        return *this;
    }
};

constexpr uint64_t kFormString = 0x08;
constexpr uint64_t kFormLineStrp = 0x1F;
constexpr uint64_t kFormStrp = 0x0E;

struct TLineUnit {
    uint16_t version = 5;
    std::vector<std::string> folders;                     // v5: [0] is the compilation folder
    std::vector<std::pair<uint64_t, std::string>> files;  // directory, name
    uint64_t file_form = kFormString;                     // v5 file paths
    uint8_t extra_opcodes = 0;  // standard opcodes beyond 12, one argument each
};

// One unit of .debug_line; strings of the line_strp and strp forms go into
// `line_str` and `str`.
std::string LineUnit(const TLineUnit& unit, const TProgram& program, std::string& line_str,
                     std::string& str) {
    TBytes header;
    header.U8(1);  // minimum instruction length
    if (unit.version >= 4) {
        header.U8(1);
    }
    header.U8(1).U8(static_cast<uint8_t>(kLineBase)).U8(kLineRange);
    header.U8(kOpcodeBase + unit.extra_opcodes);
    for (int n : {0, 1, 1, 1, 1, 0, 0, 0, 1, 0, 0, 1}) {
        header.U8(n);
    }
    for (int i = 0; i < unit.extra_opcodes; ++i) {
        header.U8(1);
    }
    if (unit.version >= 5) {
        header.U8(1).Uleb(1).Uleb(kFormLineStrp).Uleb(unit.folders.size());
        for (const std::string& folder : unit.folders) {
            header.U32(line_str.size());
            line_str += folder + '\0';
        }
        header.U8(3).Uleb(1).Uleb(unit.file_form).Uleb(2).Uleb(0x0F).Uleb(5).Uleb(0x1E);
        header.Uleb(unit.files.size());
        for (const auto& [folder, name] : unit.files) {
            if (unit.file_form == kFormString) {
                header.Str(name);
            } else {
                std::string& target = unit.file_form == kFormStrp ? str : line_str;
                header.U32(target.size());
                target += name + '\0';
            }
            header.Uleb(folder).Raw(std::string(16, 'm'));
        }
    } else {
        for (const std::string& folder : unit.folders) {
            header.Str(folder);
        }
        header.U8(0);
        for (const auto& [folder, name] : unit.files) {
            header.Str(name).Uleb(folder).Uleb(0).Uleb(0);
        }
        header.U8(0);
    }
    TBytes body;
    body.U16(unit.version);
    if (unit.version >= 5) {
        body.U8(4).U8(0);
    }
    body.U32(header.data.size()).Raw(header.data).Raw(program.bytes.data);
    return TBytes().U32(body.data.size()).Raw(body.data).data;
}

TLineRow Row(uint64_t address, uint32_t file, uint32_t line, bool stmt = true, bool end = false) {
    return {address, file, line, stmt, end};
}

// ---- PE images

TImageLayout SampleImage(bool is64) {
    TImageLayout layout;
    layout.is64 = is64;
    layout.base = is64 ? 0x140000000 : 0x400000;
    layout.sections = {{".text", 0x1000, std::string(0x40, '\xCC')},
                       {".data", 0x2000, "data", 0xC0000040},
                       {".debug_line", 0x3000, "lines", 0x42000040}};
    layout.symbols = {{".file", 0, -2, 0, kStorageFile, FileAux("a.cpp")},
                      {"_short", 0x10, 1, 0x20, kStorageStatic, ""},
                      {"_a_rather_long_name", 0x20, 1, 0x20, kStorageExternal, ""},
                      {".text", 0, 1, 0, kStorageStatic, SectionAux(0x40)}};
    return layout;
}

TEST(PeImage, ReadsHeadersSectionsAndSymbolsOfBothFormats) {
    for (bool is64 : {false, true}) {
        SCOPED_TRACE(is64 ? "PE32+" : "PE32");
        const std::string file = MakeImage(SampleImage(is64));
        const TPeImage image(file);
        EXPECT_EQ(image.Is64(), is64);
        EXPECT_EQ(image.Machine(), is64 ? kMachineAmd64 : kMachineI386);
        EXPECT_EQ(image.ImageBase(), is64 ? 0x140000000u : 0x400000u);
        EXPECT_EQ(image.EntryPoint(), 0x1010u);
        EXPECT_EQ(image.CheckSum(), 2u);
        EXPECT_EQ(image.SectionAlignment(), 0x1000u);
        ASSERT_EQ(image.Sections().size(), 3u);
        EXPECT_EQ(image.Sections()[2].name, ".debug_line");  // through the string table
        EXPECT_EQ(image.SectionData(".data"), "data");
        EXPECT_EQ(image.SectionData(".debug_line"), "lines");
        EXPECT_EQ(image.SectionData(".none"), "");
        EXPECT_EQ(image.SectionOfRva(0x103F)->name, ".text");
        EXPECT_EQ(image.SectionOfRva(0x1040), nullptr);
        EXPECT_EQ(image.BytesAt(0x2001, 3), "ata");
        EXPECT_EQ(image.BytesAt(0x2001, 4), std::nullopt);
        ASSERT_EQ(image.Symbols().size(), 4u);
        EXPECT_EQ(image.Symbols()[0].aux.substr(0, 5), "a.cpp");
        EXPECT_EQ(image.Symbols()[1].name, "_short");
        EXPECT_EQ(image.Symbols()[2].name, "_a_rather_long_name");
        EXPECT_EQ(image.Symbols()[2].value, 0x20u);
        EXPECT_EQ(image.Symbols()[2].storage_class, kStorageExternal);
        EXPECT_EQ(image.Symbols()[3].section, 1);
        EXPECT_EQ(image.Symbols()[3].aux.size(), 18u);
    }
}

TEST(PeImage, RefusesDamagedImagesAndNeverReadsPastTheEnd) {
    const std::string good = MakeImage(SampleImage(false));
    // Every cut-off image: an error or, before the tables that lie at the
    // end, an image; never a read past the end.
    for (size_t size = 0; size < good.size(); ++size) {
        const TExact cut(std::string_view(good).substr(0, size));
        try {
            TPeImage image(cut.View());
        } catch (const TFormatError&) {
        }
    }
    auto patched = [&](size_t offset, std::string bytes) {
        std::string file = good;
        file.replace(offset, bytes.size(), bytes);
        return file;
    };
    const size_t pe = 0x40;
    const size_t sections = pe + 24 + 224;
    const std::vector<std::string> damaged = {
        patched(0, "ZM"),                                       // no MZ
        patched(0x3C, TBytes().U32(0xFFFFFFF0).data),           // PE header beyond the file
        patched(pe, "PX"),                                      // no PE signature
        patched(pe + 24, TBytes().U16(0x107).data),             // unknown optional header
        patched(pe + 12, TBytes().U32(0xFFFFFF00).data),        // symbol table beyond the file
        patched(sections + 40 * 2, "/99999\0\0"),               // long name outside the strings
        patched(sections + 40 * 2, "/x\0\0\0\0\0\0"),           // long name not a number
        patched(sections + 20, TBytes().U32(0x7FFFFFF0).data),  // data beyond the file
    };
    for (size_t i = 0; i < damaged.size(); ++i) {
        EXPECT_THROW(TPeImage{damaged[i]}, TFormatError) << "case " << i;
    }
}

TEST(PeImage, FindsANamedDataResource) {
    TImageLayout layout = SampleImage(false);
    layout.sections.push_back(
        {".rsrc", 0x4000, ResourceTree(0x4000, "CLDATA", "block"), 0x40000040});
    layout.resource_rva = 0x4000;
    layout.resource_size = layout.sections.back().data.size();
    const std::string file = MakeImage(layout);
    const TPeImage image(file);
    EXPECT_EQ(FindResource(image, 10, "CLDATA"), "block");
    EXPECT_EQ(FindResource(image, 10, "cldata"), "block");
    EXPECT_EQ(FindResource(image, 10, "CLDAT"), std::nullopt);
    EXPECT_EQ(FindResource(image, 6, "CLDATA"), std::nullopt);
    EXPECT_EQ(FindResource(TPeImage(MakeImage(SampleImage(false))), 10, "CLDATA"), std::nullopt);

    // A data entry that points outside the sections.
    layout.sections.back().data.replace(0x50, 4, TBytes().U32(0x9000).data);
    const std::string damaged = MakeImage(layout);
    EXPECT_THROW(FindResource(TPeImage(damaged), 10, "CLDATA"), TFormatError);
}

// ---- DWARF

TEST(DwarfLine, RunsVersion5ProgramsWithTheirEntryFormats) {
    for (uint64_t form : {kFormString, kFormLineStrp, kFormStrp}) {
        SCOPED_TRACE(form);
        TLineUnit unit;
        unit.folders = {"/comp", "inc", "/abs"};
        unit.files = {{0, "main.cpp"}, {0, "main.cpp"}, {1, "h.h"}, {2, "x.h"}};
        unit.file_form = form;
        unit.extra_opcodes = 1;
        TProgram program;
        program.opcode_base = kOpcodeBase + 1;
        program.SetAddress(0x401000, 4).AdvanceLine(9).Copy();  // line 10
        program.Special(3, 1);                                  // +3, line 11
        program.SetFile(2).Special(2, -3);                      // +2, line 8 in h.h
        program.NegateStmt().ConstAddPc().Special(0, 0);        // +17
        program.FixedAdvancePc(0x100).Op(13).Uleb(300).Copy();  // an unknown opcode skipped
        program.AdvancePc(4).EndSequence();
        program.SetAddress(0x402000, 4).SetFile(3).Copy().EndSequence();
        std::string line_str;
        std::string str;
        const std::string line = LineUnit(unit, program, line_str, str);
        const auto programs = ReadLinePrograms({line, line_str, str});
        ASSERT_EQ(programs.size(), 1u);
        EXPECT_EQ(programs[0].version, 5);
        EXPECT_EQ(programs[0].comp_dir, "/comp");
        EXPECT_EQ(programs[0].files, (std::vector<std::string>{"/comp/main.cpp", "/comp/main.cpp",
                                                               "/comp/inc/h.h", "/abs/x.h"}));
        EXPECT_EQ(
            programs[0].rows,
            (std::vector<TLineRow>{Row(0x401000, 1, 10), Row(0x401003, 1, 11), Row(0x401005, 2, 8),
                                   Row(0x401016, 2, 8, false), Row(0x401116, 2, 8, false),
                                   Row(0x40111A, 2, 8, false, true), Row(0x402000, 3, 1),
                                   Row(0x402000, 3, 1, true, true)}));
    }
}

TEST(DwarfLine, RunsOlderProgramsWithFilesCountedFromOne) {
    for (uint16_t version : {2, 3, 4}) {
        SCOPED_TRACE(version);
        TLineUnit unit;
        unit.version = version;
        unit.folders = {"inc", "/abs"};
        unit.files = {{0, "main.cpp"}, {1, "h.h"}, {2, "x.h"}};
        TProgram program;
        program.SetAddress(0x1000, 8).Special(0, 4).SetFile(2).Special(1, 1);
        program.bytes.U8(0).Uleb(10).U8(3).Str("new.h").Uleb(1).Uleb(0).Uleb(0);  // define a file
        program.SetFile(4).Special(1, 1).EndSequence();
        std::string line_str;
        std::string str;
        const auto programs = ReadLinePrograms({LineUnit(unit, program, line_str, str), {}, {}});
        ASSERT_EQ(programs.size(), 1u);
        EXPECT_EQ(programs[0].comp_dir, "");
        EXPECT_EQ(programs[0].files,
                  (std::vector<std::string>{"", "main.cpp", "inc/h.h", "/abs/x.h", "inc/new.h"}));
        EXPECT_EQ(programs[0].rows,
                  (std::vector<TLineRow>{Row(0x1000, 1, 5), Row(0x1001, 2, 6), Row(0x1002, 4, 7),
                                         Row(0x1002, 4, 7, true, true)}));
    }
}

TEST(DwarfLine, RefusesDamagedProgramsAndNeverReadsPastTheEnd) {
    TLineUnit unit;
    unit.folders = {"/comp", "inc"};
    unit.files = {{0, "a.cpp"}, {1, "b.h"}};
    unit.file_form = kFormLineStrp;
    TProgram program;
    program.SetAddress(0x401000, 4).Special(1, 1).AdvanceLine(-1).Copy().EndSequence();
    std::string line_str;
    std::string str;
    const std::string good = LineUnit(unit, program, line_str, str);
    ASSERT_EQ(ReadLinePrograms({good, line_str, str}).size(), 1u);

    // Every unit cut short (the length says so) and every section cut short.
    const std::string body = good.substr(4);
    for (size_t size = 0; size < body.size(); ++size) {
        const TExact unit_cut(TBytes().U32(size).Raw(body.substr(0, size)).data);
        const TExact section_cut(std::string_view(good).substr(0, size));
        const TExact strings(line_str);
        for (const TExact* cut : {&unit_cut, &section_cut}) {
            try {
                ReadLinePrograms({cut->View(), strings.View(), {}});
            } catch (const TFormatError&) {
            }
        }
    }

    auto damaged = [&](auto change) {
        TLineUnit copy = unit;
        TProgram steps = program;
        std::string strings;
        std::string others;
        change(copy, steps);
        return LineUnit(copy, steps, strings, others);
    };
    const std::vector<std::string> cases = {
        damaged([](TLineUnit& u, TProgram&) { u.version = 6; }),
        damaged([](TLineUnit& u, TProgram&) {
            u.files.push_back({7, "c.h"});
        }),                                                               // no folder 7
        damaged([](TLineUnit&, TProgram& p) { p.SetFile(9).Copy(); }),    // no file 9
        damaged([](TLineUnit&, TProgram& p) { p.bytes.U8(0).Uleb(0); }),  // empty extended op
        damaged([](TLineUnit&, TProgram& p) { p.bytes.U8(0).Uleb(12).U8(2).U32(0); }),
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        EXPECT_THROW(ReadLinePrograms({cases[i], line_str, {}}), TFormatError) << "case " << i;
    }
    // Strings outside their section, a line range of 0, a form it cannot read.
    EXPECT_THROW(ReadLinePrograms({good, line_str.substr(0, 3), {}}), TFormatError);
    std::string zero_range = good;
    zero_range[4 + 2 + 2 + 4 + 4] = 0;
    EXPECT_THROW(ReadLinePrograms({zero_range, line_str, {}}), TFormatError);
    TLineUnit indexed = unit;
    indexed.file_form = 0x25;  // a string index, which needs the unit's offsets table
    EXPECT_THROW(
        ReadLinePrograms({damaged([&](TLineUnit& u, TProgram&) { u = indexed; }), line_str, {}}),
        TFormatError);
}

// ---- names

TEST(SymbolNames, SplitsDemangledNamesIntoScopeAndProcedure) {
    struct Case {
        std::string symbol;
        bool decorated;
        std::string class_name;
        std::string procedure;
    };
    const std::vector<Case> cases = {
        {"__ZN9framework12TApplication15HandleExceptionENSt15__exception_ptr13exception_ptrE", true,
         "framework::TApplication", "HandleException"},
        {"_ZN9framework12TApplication15HandleExceptionEv", false, "framework::TApplication",
         "HandleException"},
        {"_WinMain@16", true, "", "WinMain"},
        {"@fast@8", true, "", "fast"},
        {"_plain", false, "", "_plain"},
        {"__ZN3foo3barIiEEvT_", true, "foo", "bar<>"},  // return type and arguments
        {"_ZNSt6vectorIiSaIiEE9push_backERKi", false, "std::vector<>", "push_back"},
        {"_ZZN1A1fEvENKUlvE_clEv", false, "A::f", "<lambda#1>"},
        {"_ZZN1A1fEvENKUlvE0_clEv", false, "A::f", "<lambda#2>"},
        {"_ZN12_GLOBAL__N_13fooEv", false, "(anonymous namespace)", "foo"},
        {"_ZN1AltERKS_", false, "A", "operator<"},
        {"_ZN1AlsEi", false, "A", "operator<<"},
        {"_ZN1AclEv", false, "A", "operator()"},
        {"_ZN1AcvbEv", false, "A", "operator bool"},
        {"_Znwj", false, "", "operator new"},
        {"_ZN1A1fB5cxx11Ev", false, "A", "f"},
        {"_ZN1A1fEv.cold", false, "A", "f"},
        {"_ZN1A1fEv.isra.0", false, "A", "f"},
        {"_ZThn4_N1A1fEv", false, "A", "f"},
        {"_ZN1AD1Ev", false, "A", "~A"},
        {"main.cold", false, "", "main"},
        {"_main.part.0", true, "", "main"},
        {"_Zgarbage", false, "", "_Zgarbage"},
    };
    for (const Case& c : cases) {
        const TSymbolName name = ParseSymbolName(c.symbol, c.decorated);
        EXPECT_EQ(name.class_name, c.class_name) << c.symbol;
        EXPECT_EQ(name.procedure, c.procedure) << c.symbol;
    }
    EXPECT_EQ(EntryName({"A::B", "f"}), "A::B.f");
    EXPECT_EQ(EntryName({"", "f"}), "f");
    const std::string long_entry = EntryName({std::string(300, 'c'), "proc"});
    EXPECT_EQ(long_entry.size(), 255u);
    EXPECT_EQ(long_entry.substr(long_entry.size() - 6), "c.proc");
}

TEST(SymbolNames, UnitNamesAreRelativeToTheRepository) {
    const TSourcePaths paths{"/repo", "/repo/build/win32"};
    struct Case {
        std::string path;
        std::string comp_dir;
        std::string unit;
    };
    const std::vector<Case> cases = {
        {"/repo/build/win32/../../src/a.cpp", "/repo/build/win32", "src/a.cpp"},
        {"/elsewhere/build/win32/../../src/a.cpp", "/elsewhere/build/win32", "src/a.cpp"},
        {"/build/./crt/crtexe.c", "/build", ".../crtexe.c"},
        {"/usr/lib/gcc/x/12/include/c++/bits/stl_vector.h", "/repo/build/win32",
         ".../c++/bits/stl_vector.h"},
        {"/usr/lib/gcc/x/12/include/c++/any", "", ".../c++/any"},
        {"/repo2/a.cpp", "", ".../a.cpp"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(UnitName(c.path, c.comp_dir, paths), c.unit) << c.path;
    }
    EXPECT_EQ(NormalPath("a/./b/../c\\d"), "a/c/d");
    EXPECT_EQ(NormalPath("/../a//b/"), "/a/b");
    EXPECT_EQ(NormalPath("../a"), "../a");
}

// ---- debug tables

// A 32-bit image: f (static, rows in src/f.cpp and a header), g (its rows
// start late), A::h (external, no rows), s (static, no rows), and a
// second unit that describes f's first bytes again.
struct TSample {
    std::string file;
    std::vector<TLineProgram> programs;
};

TSample MakeSample() {
    TLineUnit unit;
    unit.folders = {"/repo/build", "../src", "/usr/include"};
    unit.files = {{1, "f.cpp"}, {1, "f.cpp"}, {2, "c++/vector"}};
    TProgram program;
    program.SetAddress(0x401000, 4).AdvanceLine(9).Copy();   // 0x00: line 10
    program.Special(4, 2).Special(0, 1);                     // 0x04: 12, then 13 at once
    program.Special(4, -2);                                  // 0x08: 11
    program.SetFile(2).AdvanceLine(9).Special(4, 0);         // 0x0C: vector 20
    program.Special(4, 1).AdvancePc(0x30).EndSequence();     // 0x10: vector 21, end 0x40
    program.SetAddress(0x401048, 4).AdvanceLine(29).Copy();  // 0x48: f.cpp 30
    program.Special(8, 1).AdvancePc(0x10).EndSequence();     // 0x50: 31, end 0x60
    TLineUnit copy = unit;
    TProgram again;
    again.SetAddress(0x401000, 4).AdvanceLine(99).Copy().AdvancePc(8).EndSequence();
    std::string line_str;
    std::string str;
    const std::string line =
        LineUnit(unit, program, line_str, str) + LineUnit(copy, again, line_str, str);

    TImageLayout layout;
    layout.sections = {{".text", 0x1000, std::string(0x100, '\x90')}};
    layout.symbols = {{".file", 0, -2, 0, kStorageFile, FileAux("s.c")},
                      {"_f", 0x00, 1, 0x20, kStorageStatic, ""},
                      {"_g", 0x40, 1, 0x20, kStorageExternal, ""},
                      {"__ZN1A1hEv", 0x80, 1, 0x20, kStorageExternal, ""},
                      {"_s", 0xC0, 1, 0x20, kStorageStatic, ""},
                      {".text", 0, 1, 0, kStorageStatic, SectionAux(0xE0)}};
    TSample sample{MakeImage(layout), ReadLinePrograms({line, line_str, str})};
    return sample;
}

TEST(DebugTables, OneRecordPerRunOfRisingLinesOfOneFile) {
    const TSample sample = MakeSample();
    const TPeImage image(sample.file);
    TBuildOptions options;
    options.paths = {"/repo", "/repo/build"};
    options.aliases = {{"Forms.TApplication.HandleException", "A::h"}, {"Missing.X", "B::x"}};
    const TDebugTables tables = BuildDebugTables(image, sample.programs, options);

    using exceptions::TDebugUnit;
    const std::vector<TDebugUnit> units = {
        {"src/f.cpp", 10, 0x00, 8, {{4, 3, true, "f"}, {4, 1, false, ""}}},
        {"src/f.cpp", 11, 0x08, 4, {{4, 1, true, "f"}}},
        {".../c++/vector", 20, 0x0C, 0x34, {{4, 1, true, "f"}, {0x30, 1, false, ""}}},
        {"src/f.cpp", 0, 0x40, 0x20, {{8, 30, true, "g"}, {8, 1, false, ""}, {0x10, 1, false, ""}}},
        {".text", 0, 0x80, 0x40, {{0x40, 1, true, "A.h"}}},
        {"s.c", 0, 0xC0, 0x20, {{0x20, 1, true, "s"}}},
    };
    EXPECT_EQ(tables.units, units);
    EXPECT_EQ(tables.names,
              (std::vector<exceptions::TDebugName>{{"Forms.TApplication.HandleException", 0x80},
                                                   {"src/f.cpp.f", 0x00},
                                                   {"src/f.cpp.g", 0x40}}));
    EXPECT_EQ(tables.alias_count, 1u);
    ASSERT_EQ(tables.functions.size(), 4u);
    EXPECT_EQ(tables.functions[1].size, 0x40u);
    EXPECT_EQ(tables.functions[3].size, 0x20u);  // ends where the object's code ends

    // And the reporter's decoder reads it so.
    const std::string block = exceptions::EncodeDebugData(tables.names, tables.units);
    const exceptions::TDebugDataReader reader(block, exceptions::kDebugDataVersion);
    EXPECT_EQ(reader.Find(0x05)->line, 13u);
    EXPECT_EQ(reader.Find(0x3F)->unit, ".../c++/vector");
    EXPECT_EQ(reader.Find(0x42)->line, 0u);
    EXPECT_EQ(reader.Find(0x81)->class_name, "A");
    EXPECT_EQ(reader.Find(0x60), std::nullopt);  // g's padding has no line
    EXPECT_EQ(reader.ProcedureOffset("Forms.TApplication.HandleException"), 0x80u);
}

TEST(DebugTables, CodeBeyondTheLargestEntryContinuesInFurtherRecords) {
    TImageLayout layout;
    layout.sections = {{".text", 0x1000, std::string(0x18000, '\x90')}};
    layout.symbols = {{"_big", 0, 1, 0x20, kStorageExternal, ""}};
    const std::string file = MakeImage(layout);
    const TDebugTables tables = BuildDebugTables(TPeImage(file), {}, {});
    const std::vector<exceptions::TDebugUnit> units = {
        {".text", 0, 0x00000, 0x10000, {{0x10000, 1, true, "big"}}},
        {".text", 0, 0x10000, 0x08000, {{0x08000, 1, true, "big"}}},
    };
    EXPECT_EQ(tables.units, units);
    // Each record is one the encoder writes as it is.
    const std::string block = exceptions::EncodeDebugData(tables.names, tables.units);
    EXPECT_EQ(exceptions::TDebugDataReader(block, exceptions::kDebugDataVersion).Units(), units);
}

// ---- the tool

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

struct TRun {
    int status;
    std::string output;
};

TRun Cldgen(const std::string& arguments, const fs::path& dir) {
    const fs::path output = dir / "output.txt";
    const std::string command =
        std::string(CLDGEN) + " " + arguments + " >" + output.string() + " 2>&1";
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(output)};
}

TEST(CldgenTool, BuildsChecksDumpsAndLooksUp) {
    const fs::path dir = fs::path(UPDATER_TEST_OUTPUT) / "cldgen";
    fs::remove_all(dir);
    fs::create_directories(dir);
    // The same image with the line tables as sections.
    TImageLayout layout;
    layout.sections = {{".text", 0x1000, std::string(0x100, '\x90')}};
    {
        // Rebuild the line sections as the image carries them.
        TLineUnit unit;
        unit.folders = {"/repo/build", "../src"};
        unit.files = {{1, "f.cpp"}, {1, "f.cpp"}};
        TProgram program;
        program.SetAddress(0x401000, 4).AdvanceLine(9).Copy().Special(4, 2).AdvancePc(4);
        program.EndSequence();
        std::string line_str;
        std::string str;
        layout.sections.push_back(
            {".debug_line", 0x2000, LineUnit(unit, program, line_str, str), 0x42000040});
        layout.sections.push_back({".debug_line_str", 0x3000, line_str, 0x42000040});
    }
    layout.symbols = {{"_f", 0x00, 1, 0x20, kStorageExternal, ""},
                      {".text", 0, 1, 0, kStorageStatic, SectionAux(0x10)}};
    WriteFile(dir / "pass1.exe", MakeImage(layout));
    WriteFile(dir / "options.ini", "ShowReport=1\nMailPassword=s3cret\n");
    WriteFile(dir / "bad.ini", "NoSuchOption=1\n");
    WriteFile(dir / "cldata.bin", "kept");

    // Bad options: an error naming the file, and the old output stays.
    const std::string build_args = " --output " + (dir / "cldata.bin").string() +
                                   " --source-root /repo --build-dir /repo/build " +
                                   (dir / "pass1.exe").string();
    TRun run = Cldgen("build --options " + (dir / "bad.ini").string() + build_args, dir);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.output.find("bad.ini"), std::string::npos) << run.output;
    EXPECT_EQ(ReadFile(dir / "cldata.bin"), "kept");
    EXPECT_EQ(Cldgen("build " + (dir / "pass1.exe").string(), dir).status, 2);

    run = Cldgen("build --options " + (dir / "options.ini").string() + build_args, dir);
    ASSERT_EQ(run.status, 0) << run.output;
    const std::string block = ReadFile(dir / "cldata.bin");
    ASSERT_GT(block.size(), 14u);

    // Pass 2 carries the block as its CLDATA resource.
    TImageLayout second = layout;
    second.sections.push_back({".rsrc", 0x4000, ResourceTree(0x4000, "CLDATA", block), 0x40000040});
    second.resource_rva = 0x4000;
    second.resource_size = second.sections.back().data.size();
    second.time_stamp = 77;
    second.check_sum = 78;
    WriteFile(dir / "pass2.exe", MakeImage(second));
    const std::string pass1 = (dir / "pass1.exe").string();
    const std::string pass2 = (dir / "pass2.exe").string();

    run = Cldgen("lookup " + pass2 + " 401000 401005 401008 400000", dir);
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(run.output,
              "401000\tsrc/f.cpp\t10\t\tf\n401005\tsrc/f.cpp\t12\t\tf\n"
              "401008\t??\n400000\t??\n");
    run = Cldgen("dump " + pass2, dir);
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("version: 454"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("units: 1"), std::string::npos) << run.output;
    EXPECT_EQ(run.output.find("s3cret"), std::string::npos) << run.output;
    EXPECT_EQ(Cldgen("dump " + pass1, dir).status, 1);  // a placeholder-less pass 1

    // verify: time stamp, checksum and resources may differ, code may not.
    EXPECT_EQ(Cldgen("verify " + pass1 + " " + pass2, dir).status, 0);
    TImageLayout changed = second;
    changed.sections[0].data[0x20] = '\xC3';
    WriteFile(dir / "changed.exe", MakeImage(changed));
    run = Cldgen("verify " + pass1 + " " + (dir / "changed.exe").string(), dir);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.output.find("section .text: contents differ at 0x20"), std::string::npos)
        << run.output;
    WriteFile(dir / "broken.exe", "MZ");
    EXPECT_EQ(Cldgen("verify " + pass1 + " " + (dir / "broken.exe").string(), dir).status, 1);
}

}  // namespace
