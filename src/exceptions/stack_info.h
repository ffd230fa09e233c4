#pragma once

// The call-stack entries and module rows of a report, the names they are
// given, and the texts made of them: the call-stack table, the modules table
// and the CPU text that the log item and the mail carry.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "exceptions/memory_reader.h"
#include "exceptions/options.h"

namespace exceptions {

// The processor a report comes from: it decides how wide addresses are
// printed (8 or 16 hexadecimal digits) and which registers there are.
enum class TCpu { kI686, kX8664 };

inline constexpr int AddressDigits(TCpu cpu) {
    return cpu == TCpu::kI686 ? 8 : 16;
}

enum class TEntryKind : uint8_t {
    kNoModule = 0,         // the address lies in no module
    kModule = 1,           // the module is known, the procedure not
    kExport = 2,           // a plain exported name
    kDecoratedExport = 3,  // unit, class and procedure read from an export name
    kDebugData = 4,        // found in the module's debug data
};

// Only entries of these kinds appear in the text tables.
inline constexpr bool Shown(TEntryKind kind) {
    return kind >= TEntryKind::kExport;
}

// An exported function of a module.
struct TVivavaFunctionInfo {
    std::string Name;
    uint64_t Address = 0;
    uint32_t Size = 0;
};

// One call-stack entry. ModuleName is the module's file name without its
// folder (8-bit text), empty for kNoModule.
struct TVivavaDebugInfo {
    TEntryKind Kind = TEntryKind::kNoModule;
    uint64_t ModuleHandle = 0;
    std::string ModuleName;
    uint64_t Address = 0;
    std::string UnitName;
    std::string ClassName;
    std::string ProcedureName;
    uint32_t Line = 0;
};

// One row of the modules table (8-bit texts).
struct TModuleRow {
    uint64_t Handle = 0;
    std::string Name;         // file name without folder
    std::string Description;  // from the version information
    std::string Version;      // "a.b.c.d", empty when none
    uint32_t Size = 0;        // file size in bytes
    std::string Path;         // the folder, without a final "\" unless after "X:"
};

}  // namespace exceptions
