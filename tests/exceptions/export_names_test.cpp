// Export names as the call-stack table shows them, and the size estimate of
// an exported procedure from its code bytes.

#include "exceptions/export_names.h"

#include <gtest/gtest.h>

#include <vector>

namespace exceptions {
namespace {

constexpr auto kPlain = TEntryKind::kExport;
constexpr auto kSplit = TEntryKind::kDecoratedExport;

TEST(ExportNames, NamesSplitIntoUnitClassAndProcedure) {
    const struct {
        const char* name;
        TEntryKind kind;
        const char* unit;
        const char* class_name;
        const char* procedure;
    } cases[] = {
        // Decorated names.
        {"@Unit@Class@Proc$qqrv", kSplit, "Unit.pas", "Class", "Proc"},
        {"@Unit@@Proc", kSplit, "Unit.pas", "", "_Proc"},
        {"@Unit@Proc$qqrv", kSplit, "Unit.pas", "", "Proc"},
        {"@Unit@Class@$bctr$qqrv", kSplit, "Unit.pas", "", "Class"},  // final "@" dropped
        {"@Unit@@Class@Proc$qqrv", kSplit, "Unit.pas", "_Class", "Proc"},
        {"@A@B@C@D$qqrv", kSplit, "A.B.pas", "C", "D"},
        {"@Proc$qqrv", kPlain, "", "", "Proc"},
        // "$" as second character: not decorated; "@" shown as "_".
        {"@$xp$5Forms", kPlain, "", "", "_$xp$5Forms"},
        {"@", kPlain, "", "", "_"},
        // Dotted names, read up to a first "@".
        {"Unit.Proc", kSplit, "Unit.pas", "", "Proc"},
        {"A.B.C", kSplit, "A.pas", "B", "C"},
        {"Vcl.Forms.TForm.Show", kSplit, "Vcl.Forms.pas", "TForm", "Show"},
        {"Unit.Proc@8", kSplit, "Unit.pas", "", "Proc"},
        {".Proc", kSplit, "", "", "Proc"},
        // Plain names.
        {"Proc", kPlain, "", "", "Proc"},
        {"_Func@8", kPlain, "", "", "_Func@8"},
        {"Func@8.x", kPlain, "", "", "Func@8.x"},
    };
    for (const auto& c : cases) {
        const std::optional<TExportName> shown = SplitExportName(c.name);
        ASSERT_TRUE(shown.has_value()) << c.name;
        EXPECT_EQ(shown->Kind, c.kind) << c.name;
        EXPECT_EQ(shown->UnitName, c.unit) << c.name;
        EXPECT_EQ(shown->ClassName, c.class_name) << c.name;
        EXPECT_EQ(shown->ProcedureName, c.procedure) << c.name;
    }
}

TEST(ExportNames, CompilerMangledAndEmptyNamesAreNotShown) {
    for (const char* name : {"?x@@YAXXZ", "?", "??0Class@@QAE@XZ", ""}) {
        EXPECT_FALSE(SplitExportName(name).has_value()) << name;
    }
}

TEST(ExportNames, ProcedureSizeReachesTheReturnByte) {
    const uint64_t kFar = 1000;
    const struct {
        const char* what;
        std::vector<uint8_t> code;
        uint64_t limit;
        uint32_t size;
    } cases[] = {
        {"frame, pop ebp, ret", {0x55, 0x8B, 0xEC, 0x5D, 0xC3, 0x90}, kFar, 5},
        {"frame, leave, ret imm16", {0x55, 0x89, 0xE5, 0xC9, 0xC2, 0x08, 0x00}, kFar, 5},
        {"frame, pop ebp, retf", {0x55, 0x5D, 0xCB}, kFar, 3},
        {"frame, leave, retf imm16", {0x55, 0xC9, 0xCA, 0x04, 0x00}, kFar, 3},
        {"frame skips a ret not after pop", {0x55, 0x8B, 0xEC, 0xC3, 0x90, 0x5D, 0xC3}, kFar, 7},
        {"frame without pop before ret", {0x55, 0x8B, 0xEC, 0xC3, 0x90}, kFar, 1},
        {"no frame: first ret", {0x8B, 0xFF, 0xC3, 0x5D, 0xC3}, kFar, 3},
        {"no frame: retf first", {0x90, 0xCB, 0x90, 0xC3}, kFar, 2},
        {"no frame: ret imm16", {0x90, 0x90, 0xC2, 0x04, 0x00}, kFar, 3},
        {"no frame: ret at the start", {0xC3, 0x90}, kFar, 1},
        {"no ret up to the end", {0x90, 0x90, 0x90}, kFar, 1},
        {"empty code", {}, kFar, 1},
        {"clamped to the next export", {0x55, 0x8B, 0xEC, 0x90, 0x90, 0x5D, 0xC3}, 4, 4},
        {"ends right before the next export", {0x90, 0xC3, 0x90}, 2, 2},
        {"clamped by one byte", {0x90, 0xC3}, 1, 1},
        {"same address as the next export", {0x90, 0xC3}, 0, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(EstimateProcedureSize(c.code, c.limit), c.size) << c.what;
    }
}

TEST(ExportNames, ProcedureSizeOfALongProcedure) {
    // 70000 bytes of frame code before the epilogue: wider than 16 bits.
    std::vector<uint8_t> code(70000, 0x90);
    code[0] = 0x55;
    code.push_back(0xC9);
    code.push_back(0xC3);
    EXPECT_EQ(EstimateProcedureSize(code, UINT64_MAX), 70002u);
    EXPECT_EQ(EstimateProcedureSize(code, 65536), 65536u);
}

}  // namespace
}  // namespace exceptions
