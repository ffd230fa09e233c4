// The call-stack and modules tables and the CPU text, against golden texts
// for both processors.

#include "exceptions/report_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace exceptions {
namespace {

TVivavaDebugInfo Entry(TEntryKind kind, uint64_t address, std::string module, std::string unit,
                       std::string class_name, std::string procedure, uint32_t line) {
    TVivavaDebugInfo entry;
    entry.Kind = kind;
    entry.Address = address;
    entry.ModuleName = std::move(module);
    entry.UnitName = std::move(unit);
    entry.ClassName = std::move(class_name);
    entry.ProcedureName = std::move(procedure);
    entry.Line = line;
    return entry;
}

TEST(ReportText, CallStackAndModulesI686) {
    const TVivavaModuleOptions options("updater.exe", false);
    const std::vector<TVivavaDebugInfo> stack = {
        Entry(TEntryKind::kDebugData, 0x00401A2C, "updater.exe", "main.cpp", "", "Run", 42),
        Entry(TEntryKind::kNoModule, 0x12345678, "", "", "", "", 0),
        Entry(TEntryKind::kExport, 0x7C801D7B, "kernel32.dll", "", "", "LoadLibraryA", 0),
        Entry(TEntryKind::kModule, 0x10001000, "a-module-with-a-long-name.dll", "", "", "", 0),
        Entry(TEntryKind::kDecoratedExport, 0x10002345, "x.dll", "Forms.pas", "TCustomForm",
              "ShowModal", 0),
    };
    const std::vector<TModuleRow> modules = {
        {0x00400000, "updater.exe", "Game updater", "1.2.3.4", 1048576, "C:\\Games\\Demo"},
        {0x10000000, "x.dll", "", "", 512, "C:\\"},
    };
    // Address is as wide as its values (8), Procedure/Method and Line as
    // their titles, Module, Unit and Class as their longest values.
    const std::string expected =
        "Call Stack Information:\r\n"
        "-------------------------------------------------------------------\r\n"
        "|Address |Module      |Unit     |Class      |Procedure/Method|Line|\r\n"
        "-------------------------------------------------------------------\r\n"
        "|00401A2C|updater.exe |main.cpp |           |Run             |42  |\r\n"
        "|7C801D7B|kernel32.dll|         |           |LoadLibraryA    |    |\r\n"
        "|10002345|x.dll       |Forms.pas|TCustomForm|ShowModal       |    |\r\n"
        "-------------------------------------------------------------------\r\n"
        "\r\n"
        "Modules Information:\r\n"
        "-----------------------------------------------------------------\r\n"
        "|Handle  |Name       |Description |Version|Size   |Path         |\r\n"
        "-----------------------------------------------------------------\r\n"
        "|00400000|updater.exe|Game updater|1.2.3.4|1048576|C:\\Games\\Demo|\r\n"
        "|10000000|x.dll      |            |       |512    |C:\\          |\r\n"
        "-----------------------------------------------------------------";
    EXPECT_EQ(CallStackAndModulesText(options, TCpu::kI686, stack, modules), expected);
}

TEST(ReportText, CallStackAndModulesX8664WithOwnTexts) {
    TVivavaModuleOptions options("updater.exe", false);
    options.SetTexts(7, "Stack");
    options.SetTexts(9, "Mods");
    options.SetTexts(48, "Ein Modulname");  // wider than its values
    options.SetTexts(62, "H");
    const std::vector<TVivavaDebugInfo> stack = {
        Entry(TEntryKind::kModule, 0x00007FFA00001000, "a-module-with-a-long-name.dll", "", "", "",
              0),
        Entry(TEntryKind::kDebugData, 0x00007FF6A1B21234, "updater.exe", "main.cpp", "TApp", "Run",
              7),
    };
    const std::vector<TModuleRow> modules = {
        {0x00007FF6A1B20000, "updater.exe", "Game updater", "1.2.3.4", 2097152, "C:\\Games"},
    };
    const std::string expected =
        "Stack:\r\n"
        "---------------------------------------------------------------------\r\n"
        "|Address         |Ein Modulname|Unit    |Class|Procedure/Method|Line|\r\n"
        "---------------------------------------------------------------------\r\n"
        "|00007FF6A1B21234|updater.exe  |main.cpp|TApp |Run             |7   |\r\n"
        "---------------------------------------------------------------------\r\n"
        "\r\n"
        "Mods:\r\n"
        "--------------------------------------------------------------------\r\n"
        "|H               |Name       |Description |Version|Size   |Path    |\r\n"
        "--------------------------------------------------------------------\r\n"
        "|00007FF6A1B20000|updater.exe|Game updater|1.2.3.4|2097152|C:\\Games|\r\n"
        "--------------------------------------------------------------------";
    EXPECT_EQ(CallStackAndModulesText(options, TCpu::kX8664, stack, modules), expected);
}

TEST(ReportText, EmptyTablesKeepTheirTitles) {
    const TVivavaModuleOptions options("updater.exe", false);
    const std::string expected =
        "Call Stack Information:\r\n"
        "--------------------------------------------------\r\n"
        "|Address |Module|Unit|Class|Procedure/Method|Line|\r\n"
        "--------------------------------------------------\r\n"
        "--------------------------------------------------\r\n"
        "\r\n"
        "Modules Information:\r\n"
        "---------------------------------------------\r\n"
        "|Handle  |Name|Description|Version|Size|Path|\r\n"
        "---------------------------------------------\r\n"
        "---------------------------------------------";
    EXPECT_EQ(CallStackAndModulesText(options, TCpu::kI686, {}, {}), expected);

    // Entries left out by the walk are counted in a last row.
    const std::string capped = CallStackAndModulesText(options, TCpu::kI686, {}, {}, 300);
    EXPECT_NE(capped.find("--\r\n|...     |      |    |     |300 more        |    |\r\n--"),
              std::string::npos);
}

// A stack of 16 words and 256 code bytes 00..FF, read through images.
std::string StackImage(uint64_t first, uint64_t step, size_t word_size) {
    std::string bytes;
    for (uint64_t i = 0; i < 16; ++i) {
        const uint64_t word = first + step * i;
        for (size_t b = 0; b < word_size; ++b) {
            bytes.push_back(static_cast<char>(word >> (8 * b)));
        }
    }
    return bytes;
}

std::string CodeImage() {
    std::string bytes;
    for (int i = 0; i < 256; ++i) {
        bytes.push_back(static_cast<char>(i));
    }
    return bytes;
}

const std::string kCpu32 =
    "Registers:\r\n"
    "-----------------------------\r\n"
    "EAX: 00000001   EDI: 0012FF80\r\n"
    "EBX: 7FFDF000   ESI: DEADBEEF\r\n"
    "ECX: 00000000   ESP: 0012FF00\r\n"
    "EDX: FFFFFFFF   EIP: 00401000\r\n"
    "\r\n"
    "Stack:               Memory Dump:\r\n"
    "------------------   "
    "---------------------------------------------------------------------------\r\n"
    "0012FF00: 00401000   "
    "00401000: 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F  ................\r\n"
    "0012FF04: 00401111   "
    "00401010: 10 11 12 13 14 15 16 17 18 19 1A 1B 1C 1D 1E 1F  ................\r\n"
    "0012FF08: 00401222   "
    "00401020: 20 21 22 23 24 25 26 27 28 29 2A 2B 2C 2D 2E 2F   !\"#$%&'()*+,-./\r\n"
    "0012FF0C: 00401333   "
    "00401030: 30 31 32 33 34 35 36 37 38 39 3A 3B 3C 3D 3E 3F  0123456789:;<=>?\r\n"
    "0012FF10: 00401444   "
    "00401040: 40 41 42 43 44 45 46 47 48 49 4A 4B 4C 4D 4E 4F  @ABCDEFGHIJKLMNO\r\n"
    "0012FF14: 00401555   "
    "00401050: 50 51 52 53 54 55 56 57 58 59 5A 5B 5C 5D 5E 5F  PQRSTUVWXYZ[\\]^_\r\n"
    "0012FF18: 00401666   "
    "00401060: 60 61 62 63 64 65 66 67 68 69 6A 6B 6C 6D 6E 6F  `abcdefghijklmno\r\n"
    "0012FF1C: 00401777   "
    "00401070: 70 71 72 73 74 75 76 77 78 79 7A 7B 7C 7D 7E 7F  pqrstuvwxyz{|}~.\r\n"
    "0012FF20: 00401888   "
    "00401080: 80 81 82 83 84 85 86 87 88 89 8A 8B 8C 8D 8E 8F  ................\r\n"
    "0012FF24: 00401999   "
    "00401090: 90 91 92 93 94 95 96 97 98 99 9A 9B 9C 9D 9E 9F  ................\r\n"
    "0012FF28: 00401AAA   "
    "004010A0: A0 A1 A2 A3 A4 A5 A6 A7 A8 A9 AA AB AC AD AE AF  ................\r\n"
    "0012FF2C: 00401BBB   "
    "004010B0: B0 B1 B2 B3 B4 B5 B6 B7 B8 B9 BA BB BC BD BE BF  ................\r\n"
    "0012FF30: 00401CCC   "
    "004010C0: C0 C1 C2 C3 C4 C5 C6 C7 C8 C9 CA CB CC CD CE CF  ................\r\n"
    "0012FF34: 00401DDD   "
    "004010D0: D0 D1 D2 D3 D4 D5 D6 D7 D8 D9 DA DB DC DD DE DF  ................\r\n"
    "0012FF38: 00401EEE   "
    "004010E0: E0 E1 E2 E3 E4 E5 E6 E7 E8 E9 EA EB EC ED EE EF  ................\r\n"
    "0012FF3C: 00401FFF   "
    "004010F0: F0 F1 F2 F3 F4 F5 F6 F7 F8 F9 FA FB FC FD FE FF  ................\r\n";
const std::string kCpu32NoRegisters =
    "Registers:\r\n"
    "-----------------------------\r\n"
    "EAX: ????   EDI: ????\r\n"
    "EBX: ????   ESI: ????\r\n"
    "ECX: ????   ESP: ????\r\n"
    "EDX: ????   EIP: ????\r\n"
    "\r\n"
    "Stack:               Memory Dump:\r\n"
    "------------------   "
    "---------------------------------------------------------------------------\r\n";
const std::string kCpu64 =
    "Registers:\r\n"
    "---------------------------------------------\r\n"
    "RAX: 0000000000000001   RDI: 0101010101010102\r\n"
    "RBX: 0202020202020203   RSI: 0303030303030304\r\n"
    "RCX: 0404040404040405   RSP: 0505050505050506\r\n"
    "RDX: 0606060606060607   RIP: 0707070707070708\r\n"
    "R8:  0808080808080809   R9:  090909090909090A\r\n"
    "R10: 0A0A0A0A0A0A0A0B   R11: 0B0B0B0B0B0B0B0C\r\n"
    "R12: 0C0C0C0C0C0C0C0D   R13: 0D0D0D0D0D0D0D0E\r\n"
    "R14: 0E0E0E0E0E0E0E0F   R15: 0F0F0F0F0F0F0F10\r\n"
    "RBP: 00000000002FF9A0   EFL: 0000000000000246\r\n"
    "\r\n"
    "Stack:                               Memory Dump:\r\n"
    "----------------------------------   "
    "-----------------------------------------------------------------------------------\r\n"
    "00000000002FF900: 00007FF6A1B21000   "
    "00007FF6A1B21000: 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F  ................\r\n"
    "00000000002FF908: 00007FF6A1B31001   "
    "00007FF6A1B21010: 10 11 12 13 14 15 16 17 18 19 1A 1B 1C 1D 1E 1F  ................\r\n"
    "00000000002FF910: 00007FF6A1B41002   "
    "00007FF6A1B21020: 20 21 22 23 24 25 26 27 28 29 2A 2B 2C 2D 2E 2F   !\"#$%&'()*+,-./\r\n"
    "00000000002FF918: 00007FF6A1B51003   "
    "00007FF6A1B21030: 30 31 32 33 34 35 36 37 38 39 3A 3B 3C 3D 3E 3F  0123456789:;<=>?\r\n"
    "00000000002FF920: 00007FF6A1B61004   "
    "00007FF6A1B21040: 40 41 42 43 44 45 46 47 48 49 4A 4B 4C 4D 4E 4F  @ABCDEFGHIJKLMNO\r\n"
    "00000000002FF928: 00007FF6A1B71005   "
    "00007FF6A1B21050: 50 51 52 53 54 55 56 57 58 59 5A 5B 5C 5D 5E 5F  PQRSTUVWXYZ[\\]^_\r\n"
    "00000000002FF930: 00007FF6A1B81006   "
    "00007FF6A1B21060: 60 61 62 63 64 65 66 67 68 69 6A 6B 6C 6D 6E 6F  `abcdefghijklmno\r\n"
    "00000000002FF938: 00007FF6A1B91007   "
    "00007FF6A1B21070: 70 71 72 73 74 75 76 77 78 79 7A 7B 7C 7D 7E 7F  pqrstuvwxyz{|}~.\r\n"
    "00000000002FF940: 00007FF6A1BA1008   "
    "00007FF6A1B21080: 80 81 82 83 84 85 86 87 88 89 8A 8B 8C 8D 8E 8F  ................\r\n"
    "00000000002FF948: 00007FF6A1BB1009   "
    "00007FF6A1B21090: 90 91 92 93 94 95 96 97 98 99 9A 9B 9C 9D 9E 9F  ................\r\n"
    "00000000002FF950: 00007FF6A1BC100A   "
    "00007FF6A1B210A0: A0 A1 A2 A3 A4 A5 A6 A7 A8 A9 AA AB AC AD AE AF  ................\r\n"
    "00000000002FF958: 00007FF6A1BD100B   "
    "00007FF6A1B210B0: B0 B1 B2 B3 B4 B5 B6 B7 B8 B9 BA BB BC BD BE BF  ................\r\n"
    "00000000002FF960: 00007FF6A1BE100C   "
    "00007FF6A1B210C0: C0 C1 C2 C3 C4 C5 C6 C7 C8 C9 CA CB CC CD CE CF  ................\r\n"
    "00000000002FF968: 00007FF6A1BF100D   "
    "00007FF6A1B210D0: D0 D1 D2 D3 D4 D5 D6 D7 D8 D9 DA DB DC DD DE DF  ................\r\n"
    "00000000002FF970: 00007FF6A1C0100E   "
    "00007FF6A1B210E0: E0 E1 E2 E3 E4 E5 E6 E7 E8 E9 EA EB EC ED EE EF  ................\r\n"
    "00000000002FF978: 00007FF6A1C1100F   "
    "00007FF6A1B210F0: F0 F1 F2 F3 F4 F5 F6 F7 F8 F9 FA FB FC FD FE FF  ................\r\n";
const std::string kCpu64NoRegisters =
    "Registers:\r\n"
    "---------------------------------------------\r\n"
    "RAX: ????   RDI: ????\r\n"
    "RBX: ????   RSI: ????\r\n"
    "RCX: ????   RSP: ????\r\n"
    "RDX: ????   RIP: ????\r\n"
    "R8:  ????   R9:  ????\r\n"
    "R10: ????   R11: ????\r\n"
    "R12: ????   R13: ????\r\n"
    "R14: ????   R15: ????\r\n"
    "RBP: ????   EFL: ????\r\n"
    "\r\n"
    "Stack:                               Memory Dump:\r\n"
    "----------------------------------   "
    "-----------------------------------------------------------------------------------\r\n";

const TCpuRegisters kRegisters32 = {{0x00000001, 0x0012FF80, 0x7FFDF000, 0xDEADBEEF, 0x00000000,
                                     0x0012FF00, 0xFFFFFFFF, 0x00401000}};
const TCpuRegisters kRegisters64 = {{0x0000000000000001, 0x0101010101010102, 0x0202020202020203,
                                     0x0303030303030304, 0x0404040404040405, 0x0505050505050506,
                                     0x0606060606060607, 0x0707070707070708, 0x0808080808080809,
                                     0x090909090909090A, 0x0A0A0A0A0A0A0A0B, 0x0B0B0B0B0B0B0B0C,
                                     0x0C0C0C0C0C0C0C0D, 0x0D0D0D0D0D0D0D0E, 0x0E0E0E0E0E0E0E0F,
                                     0x0F0F0F0F0F0F0F10, 0x00000000002FF9A0, 0x0000000000000246}};

// The text up to the dump: the line after the "Memory Dump:" heading.
std::string WithoutDump(const std::string& text) {
    const size_t heading = text.find("Memory Dump:\r\n");
    return text.substr(0, text.find("\r\n", heading + 14) + 2);
}

// The CPU text with and without registers; the dump only when both the stack
// words and the code bytes can be read in full.
TEST(ReportText, CpuText) {
    const TVivavaModuleOptions options("updater.exe", false);
    const std::string code = CodeImage();
    const std::string stack32 = StackImage(0x00401000, 0x111, 4);
    const std::string stack64 = StackImage(0x00007FF6A1B21000, 0x10001, 8);
    const TImageReader code32(0x00401000, code);
    const TImageReader memory32(0x0012FF00, stack32, &code32);
    const TImageReader code64(0x00007FF6A1B21000, code);
    const TImageReader memory64(0x00000000002FF900, stack64, &code64);
    const std::string registers32 = WithoutDump(kCpu32);
    const std::string registers64 = WithoutDump(kCpu64);

    const struct {
        const char* what;
        TCpu cpu;
        const TCpuRegisters* registers;
        uint64_t stack_pointer;
        uint64_t address;
        const TMemoryReader& memory;
        const std::string& expected;
    } cases[] = {
        {"i686", TCpu::kI686, &kRegisters32, 0x0012FF00, 0x00401000, memory32, kCpu32},
        {"i686, no registers", TCpu::kI686, nullptr, 0x0012FF00, 0x00500000, memory32,
         kCpu32NoRegisters},
        {"i686, code unreadable", TCpu::kI686, &kRegisters32, 0x0012FF00, 0x00500000, memory32,
         registers32},
        {"i686, code short by a byte", TCpu::kI686, &kRegisters32, 0x0012FF00, 0x00401001, memory32,
         registers32},
        {"i686, stack short by a byte", TCpu::kI686, &kRegisters32, 0x0012FF01, 0x00401000,
         memory32, registers32},
        {"x86_64", TCpu::kX8664, &kRegisters64, 0x2FF900, 0x00007FF6A1B21000, memory64, kCpu64},
        {"x86_64, no registers", TCpu::kX8664, nullptr, 0x2FF900, 0x1000, memory64,
         kCpu64NoRegisters},
        {"x86_64, stack short by a byte", TCpu::kX8664, &kRegisters64, 0x2FF901, 0x00007FF6A1B21000,
         memory64, registers64},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CpuText(options, c.cpu, c.registers, c.stack_pointer, c.address, c.memory),
                  c.expected)
            << c.what;
    }
}

TEST(ReportText, CpuTextOwnTitlesAndMissingRegisters) {
    TVivavaModuleOptions options("updater.exe", false);
    options.SetTexts(68, "Regs");
    options.SetTexts(69, "A stack title longer than its column");
    options.SetTexts(70, "Dump");
    const TCpuRegisters three = {{0xA, 0xB, 0xC}};
    const TImageReader nothing(0, "");
    const std::string expected =
        "Regs:\r\n"
        "-----------------------------\r\n"
        "EAX: 0000000A   EDI: 0000000B\r\n"
        "EBX: 0000000C   ESI: ????\r\n"
        "ECX: ????   ESP: ????\r\n"
        "EDX: ????   EIP: ????\r\n"
        "\r\n"
        "A stack title longer than its column:Dump:\r\n"
        "------------------   "
        "---------------------------------------------------------------------------\r\n";
    EXPECT_EQ(CpuText(options, TCpu::kI686, &three, 0, 0, nothing), expected);
}

}  // namespace
}  // namespace exceptions
