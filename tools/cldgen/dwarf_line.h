#pragma once

// A reader of DWARF line-number programs (.debug_line, versions 2 to 5):
// runs each unit's program and returns its rows, with the file table
// resolved to paths. Version 5 directory and file entries are read through
// their entry formats (strings inline, in .debug_line_str or in .debug_str).
// A damaged program raises TFormatError.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace cldgen {

struct TLineRow {
    uint64_t address = 0;
    uint32_t file = 0;  // index into TLineProgram::files
    uint32_t line = 0;
    bool is_stmt = false;
    bool end_sequence = false;  // the first address after a sequence
};

struct TLineProgram {
    uint16_t version = 0;
    // The compilation folder (directory 0 of a version 5 table; empty for
    // older versions, whose tables do not hold it).
    std::string comp_dir;
    // Paths as the table composes them (directory + "/" + name, relative
    // directories prefixed by comp_dir), indexed by the file register:
    // entry 0 of an older version is empty (its files count from 1).
    std::vector<std::string> files;
    std::vector<TLineRow> rows;
};

struct TDwarfSections {
    std::string_view line;      // .debug_line
    std::string_view line_str;  // .debug_line_str
    std::string_view str;       // .debug_str
};

std::vector<TLineProgram> ReadLinePrograms(const TDwarfSections& sections);

}  // namespace cldgen
