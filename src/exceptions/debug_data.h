#pragma once

// The debug-data block: what turns a code address of a module into unit,
// class, procedure and line. The build tool writes it (EncodeDebugData) from
// the program's line information, the reporter reads it (TDebugDataReader)
// from the module's CLDATA resource; both sides share this code.
//
// Layout (integers little-endian; every name is a short string - a length
// byte, then that many bytes - scrambled with Scramble):
//   - when the block's version is above 404, a name table: a 32-bit byte
//     length, then entries of a qualified name "Unit.Class.Procedure", its
//     32-bit code offset and a 32-bit value nobody reads;
//   - a 32-bit unit count, then per unit: its name, 32-bit first line, code
//     offset and code size, the 32-bit byte length of its line table, and the
//     line table. Every code offset counts from the module's base + 0x1000.
//   - a line-table entry covers the next code bytes of its unit with the
//     current line, then advances the line; its first byte F picks the form:
//       F bit 0 = 0           1 byte: advance (F >> 6) + 1, length ((F >> 1) & 31) + 1
//       F bits 0..1 = 1, 0    1 byte and a name: advance (F >> 5) + 1,
//                             length ((F >> 2) & 7) + 1
//       F bits 0..1 = 1, 1, bit 3 = 0
//                             16-bit W: advance (W >> 11) + 1, length ((W >> 4) & 127) + 1
//       F bits 0..1 = 1, 1, bit 3 = 1
//                             32-bit D, C = D >> 4: advance (C & 0xFFFF) + 1,
//                             length (C >> 16) + 1, or 0 when C >> 16 is 0xFFF;
//                             above version 422, C = 0x0FFEFFFE instead announces
//                             two 16-bit values A, B: advance A + 1, length B + 1
//     In the 16- and 32-bit forms bit 2 says whether a name follows.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace exceptions {

// The version EncodeDebugData writes.
constexpr uint16_t kDebugDataVersion = 454;

// One line-table entry as stored (the name as written, not yet split).
struct TLineEntry {
    uint32_t code_length = 1;   // bytes of code this entry covers (0 allowed: zero-length)
    uint32_t line_advance = 1;  // >= 1: added to the line after this entry
    bool has_name = false;      // the entry carries a name ("Class.Procedure", ".Proc", "Proc")
    std::string name;

    friend bool operator==(const TLineEntry&, const TLineEntry&) = default;
};

struct TDebugUnit {
    std::string name;  // source path, e.g. "framework/forms.cpp"
    uint32_t first_line = 0;
    uint32_t code_offset = 0;  // relative to image base + 0x1000
    uint32_t code_size = 0;
    std::vector<TLineEntry> entries;

    friend bool operator==(const TDebugUnit&, const TDebugUnit&) = default;
};

// A name-table entry.
struct TDebugName {
    std::string name;     // qualified "Unit.Class.Procedure"
    uint32_t offset = 0;  // relative to image base + 0x1000

    friend bool operator==(const TDebugName&, const TDebugName&) = default;
};

// Encodes the block at kDebugDataVersion: names scrambled, every entry in the
// smallest form that holds it. An entry too large for any form is written as
// several (see debug_data.cpp); then Units() gives back more entries or units
// than were passed in, but Find() answers the same. Throws
// base::EConvertError for a name longer than 255 bytes (including the
// "Class.Procedure" a split entry carries over) or a line advance of 0.
std::string EncodeDebugData(const std::vector<TDebugName>& names,
                            const std::vector<TDebugUnit>& units);

struct TDebugLocation {
    std::string unit;  // ".pas" appended when the name has no "."
    std::string class_name;
    std::string procedure;  // a leading "@" shown as "_"
    uint32_t line = 0;

    friend bool operator==(const TDebugLocation&, const TDebugLocation&) = default;
};

// Reads a block in place. The whole block is checked once on construction: a
// block that ends early or whose counts and lengths run past its end is
// damaged, and then every query answers "not found" (nullopt). Bytes after the
// last unit are ignored. Never reads outside `bytes`; keeps a view, not a
// copy, so the bytes must outlive the reader.
class TDebugDataReader {
  public:
    TDebugDataReader(std::string_view bytes, uint16_t debug_version);

    // False when the block is damaged.
    bool Valid() const { return valid_; }

    // The location of a code offset (from base + 0x1000): the first unit whose
    // range holds it, walked line by line.
    std::optional<TDebugLocation> Find(uint32_t offset) const;
    // The code offset of a qualified name in the name table (exact,
    // case-sensitive; the first of equal names).
    std::optional<uint32_t> ProcedureOffset(std::string_view qualified_name) const;
    // Every unit decoded (for tools and tests); nullopt when the block is damaged.
    std::optional<std::vector<TDebugUnit>> Units() const;
    // The name table decoded; empty at versions without one, nullopt when damaged.
    std::optional<std::vector<TDebugName>> Names() const;

  private:
    std::string_view bytes_;
    uint16_t version_;
    bool valid_ = false;
    std::string_view names_;  // the name table's entries
    size_t units_at_ = 0;     // where the unit count starts
};

}  // namespace exceptions
