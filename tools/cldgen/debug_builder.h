#pragma once

// Builds the debug data of a linked executable from its COFF symbol table
// (the functions) and its DWARF line tables (file and line of every code
// byte).
//
// Every function becomes one unit record per run of rows whose lines
// strictly increase within one source file; the first entry of each record
// names the function ("Class.Procedure"). A function without line rows gets
// one record with line 0, named after the source of its object file. Code
// offsets count from the image base + 0x1000.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "dwarf_line.h"
#include "exceptions/debug_data.h"
#include "pe_image.h"
#include "symbol_names.h"

namespace cldgen {

// How source paths become unit names.
struct TSourcePaths {
    // The repository: paths inside it are given relative to it
    // ("src/framework/forms.cpp").
    std::string root;
    // The folder the compiler ran in for this build. An object compiled in
    // another tree of the same layout (a compiler cache hands out objects
    // made elsewhere) names that tree's folder; its relative paths are taken
    // from this folder instead.
    std::string build_dir;
};

// Unit name of a source path: relative to the repository when inside it;
// otherwise the part after the first "/include/" (system headers), else the
// file name. `comp_dir` is the folder the path's compiler ran in (may be
// empty). At most 255 bytes (the front is cut).
std::string UnitName(const std::string& path, const std::string& comp_dir,
                     const TSourcePaths& paths);

// "a/./b/../c" -> "a/c"; backslashes become slashes.
std::string NormalPath(std::string_view path);

struct TFunction {
    uint32_t rva = 0;
    uint32_t size = 0;
    TSymbolName name;
    std::string unit;   // of its first code byte
    uint32_t line = 0;  // of its first code byte (0: no line rows)
    bool ours = false;  // its source lies in the repository
};

struct TDebugTables {
    std::vector<TFunction> functions;
    std::vector<exceptions::TDebugName> names;  // the aliases first
    size_t alias_count = 0;
    std::vector<exceptions::TDebugUnit> units;
};

struct TBuildOptions {
    TSourcePaths paths;
    // Name-table entries that other code looks up by a fixed name:
    // stored name -> C++ name of the function ("framework::TApplication::
    // HandleException"). An alias whose function the image lacks is left out.
    std::map<std::string, std::string> aliases;
};

TDebugTables BuildDebugTables(const TPeImage& image, const std::vector<TLineProgram>& programs,
                              const TBuildOptions& options);

// "Class.Procedure", or "Procedure" without a class, within 255 bytes.
std::string EntryName(const TSymbolName& name);

}  // namespace cldgen
