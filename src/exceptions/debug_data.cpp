#include "exceptions/debug_data.h"

#include <algorithm>

#include "base/exception.h"
#include "exceptions/scramble.h"

namespace exceptions {

namespace {

// The 32-bit form's C value that, above version 422, announces the extended
// form; and its length field that means "zero bytes".
constexpr uint32_t kExtendedMark = 0x0FFEFFFE;
constexpr uint32_t kZeroLength = 0xFFF;
constexpr uint16_t kNameTableAbove = 404;
constexpr uint16_t kExtendedAbove = 422;
// The largest length and advance of any form (the extended one).
constexpr uint32_t kLargest = 0x10000;
// The smallest unit: an empty name and four 32-bit fields.
constexpr size_t kSmallestUnit = 1 + 16;
constexpr char kScrambledDot = static_cast<char>('.' ^ kScrambleKey);

// ---- writing

void Put16(std::string& out, uint32_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}

void Put32(std::string& out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

void PutName(std::string& out, std::string_view name) {
    if (name.size() > 255) {
        throw base::EConvertError("Debug data: the name \"" + std::string(name.substr(0, 40)) +
                                  "...\" is longer than 255 bytes");
    }
    std::string bytes(name);
    Scramble(bytes);
    out += static_cast<char>(name.size());
    out += bytes;
}

// One entry in the smallest form that holds it; `length` 0..kLargest,
// `advance` 1..kLargest.
void PutEntry(std::string& out, uint32_t length, uint32_t advance, const std::string* name) {
    const uint32_t named = name ? 4 : 0;
    if (length >= 1 && !name && length <= 32 && advance <= 4) {
        out += static_cast<char>(((advance - 1) << 6) | ((length - 1) << 1));
    } else if (length >= 1 && name && length <= 8 && advance <= 8) {
        out += static_cast<char>(((advance - 1) << 5) | ((length - 1) << 2) | 1);
    } else if (length >= 1 && length <= 128 && advance <= 32) {
        Put16(out, ((advance - 1) << 11) | ((length - 1) << 4) | named | 3);
    } else {
        // Length 4095 with advance 65535 gives exactly the mark, so it goes
        // the extended way too.
        uint32_t c = kExtendedMark;
        if (length == 0) {
            c = (kZeroLength << 16) | (advance - 1);
        } else if (length <= kZeroLength) {
            c = ((length - 1) << 16) | (advance - 1);
        }
        Put32(out, (c << 4) | 8 | named | 3);
        if (c == kExtendedMark) {
            Put16(out, advance - 1);
            Put16(out, length - 1);
        }
    }
    if (name) {
        PutName(out, *name);
    }
}

struct TOutUnit {
    const std::string* name;
    uint32_t first_line;
    uint64_t begin;  // the code offset; past 32 bits only in a record that holds no code
    uint32_t code_size;
    std::string table;
};

// The class and procedure names of a unit as the reader tracks them.
struct TNameState {
    std::string class_name;
    std::string procedure;
    bool have_procedure = false;
};

// Encodes one unit into `out`, as several unit records when an entry is
// longer than kLargest bytes.
//
// How entries too large for any form are written:
//   - an advance above kLargest: the entry with advance kLargest, then
//     zero-length entries (no name) that add the rest of the advance;
//   - a length above kLargest: every entry advances the line by one at least,
//     so a unit cannot hold two ranges with the same line. The entry's first
//     kLargest bytes end the unit record (its code size is cut there), and
//     every further kLargest bytes, and the rest, go into a new record of the
//     same unit that starts where the previous one ended, one line before the
//     entry's line. Such a record begins with a zero-length entry, advance 1,
//     that names the class and procedure the reader shows in the entry's
//     range (a unit's names start empty, so that name is current at once);
//     the entry's own name, when it was still to become current, rides on its
//     last piece. The following entries continue in the last record.
void EncodeUnit(const TDebugUnit& unit, std::vector<TOutUnit>& out) {
    // Offsets are 32-bit: no record reaches past 4 GiB.
    const uint64_t end = std::min(uint64_t{unit.code_offset} + unit.code_size, uint64_t{1} << 32);
    TOutUnit current{&unit.name, unit.first_line, unit.code_offset, unit.code_size, {}};
    TNameState state;
    uint32_t line = unit.first_line;
    uint64_t start = unit.code_offset;
    for (const TLineEntry& entry : unit.entries) {
        if (entry.line_advance == 0) {
            throw base::EConvertError("Debug data: a line entry of \"" + unit.name +
                                      "\" does not advance the line");
        }
        // The class changes at once; the procedure at once only when none is
        // current, else after the entry's range (`pending`).
        std::string procedure;
        bool pending = false;
        if (entry.has_name) {
            const std::string_view name = entry.name;
            const size_t dot = name.find('.');
            if (dot == 0) {
                procedure = name.substr(1);
            } else if (dot != std::string_view::npos) {
                state.class_name = name.substr(0, dot);
                procedure = name.substr(dot + 1);
            } else {
                state.class_name.clear();
                procedure = name;
            }
            if (state.have_procedure) {
                pending = true;
            } else {
                state.procedure = procedure;
                state.have_procedure = true;
            }
        }

        const std::string* name = entry.has_name ? &entry.name : nullptr;
        uint64_t left = entry.code_length;
        bool split = false;
        while (left > kLargest) {
            PutEntry(current.table, kLargest, 1, split ? nullptr : name);
            split = true;
            start += kLargest;
            left -= kLargest;
            current.code_size =
                static_cast<uint32_t>(std::min(start, end) - std::min(current.begin, end));
            out.push_back(std::move(current));
            current = TOutUnit{&unit.name, line, start, 0, {}};
            if (state.have_procedure) {
                const std::string carried =
                    (state.class_name.empty() ? "." : state.class_name + ".") + state.procedure;
                current.first_line = line - 1;
                PutEntry(current.table, 0, 1, &carried);
            }
        }
        if (split && !pending) {
            name = nullptr;
        }
        uint32_t advance = entry.line_advance;
        PutEntry(current.table, static_cast<uint32_t>(left), std::min(advance, kLargest), name);
        while (advance > kLargest) {
            advance -= kLargest;
            PutEntry(current.table, 0, std::min(advance, kLargest), nullptr);
        }
        if (pending) {
            state.procedure = std::move(procedure);
        }
        line += entry.line_advance;
        start += left;
    }
    if (current.begin != unit.code_offset) {
        current.code_size = static_cast<uint32_t>(end - std::min(current.begin, end));
    }
    out.push_back(std::move(current));
}

// ---- reading

// A bounded reader over a view; every read says whether the bytes were there.
class TCursor {
  public:
    explicit TCursor(std::string_view bytes) : bytes_(bytes) {}

    size_t Left() const { return bytes_.size() - pos_; }
    size_t Pos() const { return pos_; }

    bool Skip(size_t n) {
        if (n > Left()) {
            return false;
        }
        pos_ += n;
        return true;
    }
    bool Take(size_t n, std::string_view& out) {
        if (n > Left()) {
            return false;
        }
        out = bytes_.substr(pos_, n);
        pos_ += n;
        return true;
    }
    bool Get16(uint32_t& v) {
        std::string_view b;
        if (!Take(2, b)) {
            return false;
        }
        v = Byte(b, 0) | Byte(b, 1) << 8;
        return true;
    }
    bool Get32(uint32_t& v) {
        std::string_view b;
        if (!Take(4, b)) {
            return false;
        }
        v = Byte(b, 0) | Byte(b, 1) << 8 | Byte(b, 2) << 16 | Byte(b, 3) << 24;
        return true;
    }
    // A short string, still scrambled.
    bool GetName(std::string_view& name) {
        std::string_view length;
        return Take(1, length) && Take(Byte(length, 0), name);
    }

  private:
    static uint32_t Byte(std::string_view b, size_t i) { return static_cast<uint8_t>(b[i]); }

    std::string_view bytes_;
    size_t pos_ = 0;
};

std::string Unscrambled(std::string_view bytes) {
    std::string text(bytes);
    Scramble(text);
    return text;
}

struct TRawEntry {
    uint32_t length = 0;
    uint32_t advance = 0;
    bool has_name = false;
    std::string_view name;  // scrambled
};

bool ReadEntry(TCursor& table, uint16_t version, TRawEntry& entry) {
    std::string_view first;
    if (!table.Take(1, first)) {
        return false;
    }
    const uint32_t f = static_cast<uint8_t>(first[0]);
    entry = {};
    if ((f & 1) == 0) {
        entry.length = ((f >> 1) & 31) + 1;
        entry.advance = (f >> 6) + 1;
        return true;
    }
    if ((f & 2) == 0) {
        entry.length = ((f >> 2) & 7) + 1;
        entry.advance = (f >> 5) + 1;
        entry.has_name = true;
        return table.GetName(entry.name);
    }
    std::string_view more;
    if ((f & 8) == 0) {
        if (!table.Take(1, more)) {
            return false;
        }
        const uint32_t w = f | static_cast<uint32_t>(static_cast<uint8_t>(more[0])) << 8;
        entry.length = ((w >> 4) & 127) + 1;
        entry.advance = (w >> 11) + 1;
    } else {
        if (!table.Take(3, more)) {
            return false;
        }
        uint32_t d = f;
        for (size_t i = 0; i < 3; ++i) {
            d |= static_cast<uint32_t>(static_cast<uint8_t>(more[i])) << (8 * (i + 1));
        }
        const uint32_t c = d >> 4;
        if (c == kExtendedMark && version > kExtendedAbove) {
            uint32_t a = 0;
            uint32_t b = 0;
            if (!table.Get16(a) || !table.Get16(b)) {
                return false;
            }
            entry.length = b + 1;
            entry.advance = a + 1;
        } else {
            entry.length = (c >> 16) == kZeroLength ? 0 : (c >> 16) + 1;
            entry.advance = (c & 0xFFFF) + 1;
        }
    }
    entry.has_name = (f & 4) != 0;
    return !entry.has_name || table.GetName(entry.name);
}

// The header of a unit record and its line table.
struct TRawUnit {
    std::string_view name;  // scrambled
    uint32_t first_line = 0;
    uint32_t code_offset = 0;
    uint32_t code_size = 0;
    std::string_view table;

    bool Contains(uint32_t offset) const {
        return offset >= code_offset && offset - code_offset < code_size;
    }
};

bool ReadUnit(TCursor& block, TRawUnit& unit) {
    uint32_t table_length = 0;
    return block.GetName(unit.name) && block.Get32(unit.first_line) &&
           block.Get32(unit.code_offset) && block.Get32(unit.code_size) &&
           block.Get32(table_length) && block.Take(table_length, unit.table);
}

// The unit count, refused when not even that many of the smallest units fit.
bool ReadUnitCount(TCursor& block, uint32_t& count) {
    return block.Get32(count) && count <= block.Left() / kSmallestUnit;
}

bool ReadName(TCursor& table, TDebugName& name) {
    std::string_view scrambled;
    if (!table.GetName(scrambled) || !table.Get32(name.offset) || !table.Skip(4)) {
        return false;
    }
    name.name = Unscrambled(scrambled);
    return true;
}

// The unit, class and procedure names while a line table is walked: class
// and procedure are views of the stored (scrambled) names.
class TNameWalk {
  public:
    // The entry's name: the class changes at once, the procedure at once only
    // when none is current yet, otherwise after the entry's range (Passed).
    void Named(std::string_view name) {
        const size_t dot = name.find(kScrambledDot);
        std::string_view procedure = name;
        if (dot == 0) {
            procedure = name.substr(1);
        } else if (dot != std::string_view::npos) {
            class_name_ = name.substr(0, dot);
            procedure = name.substr(dot + 1);
        } else {
            class_name_ = {};
        }
        if (have_procedure_) {
            pending_ = procedure;
            have_pending_ = true;
        } else {
            procedure_ = procedure;
            have_procedure_ = true;
        }
    }
    void Passed() {
        if (have_pending_) {
            procedure_ = pending_;
            have_pending_ = false;
        }
    }
    TDebugLocation Location(std::string_view unit, uint32_t line) const {
        TDebugLocation location;
        location.unit = Unscrambled(unit);
        if (location.unit.find('.') == std::string::npos) {
            location.unit += ".pas";
        }
        location.class_name = Unscrambled(class_name_);
        location.procedure = Unscrambled(procedure_);
        if (!location.procedure.empty() && location.procedure[0] == '@') {
            location.procedure[0] = '_';
        }
        location.line = line;
        return location;
    }

  private:
    std::string_view class_name_;
    std::string_view procedure_;
    std::string_view pending_;
    bool have_procedure_ = false;
    bool have_pending_ = false;
};

}  // namespace

std::string EncodeDebugData(const std::vector<TDebugName>& names,
                            const std::vector<TDebugUnit>& units) {
    std::string table;
    for (const TDebugName& name : names) {
        PutName(table, name.name);
        Put32(table, name.offset);
        Put32(table, 0);
    }
    std::vector<TOutUnit> out;
    for (const TDebugUnit& unit : units) {
        EncodeUnit(unit, out);
    }
    std::string block;
    Put32(block, static_cast<uint32_t>(table.size()));
    block += table;
    Put32(block, static_cast<uint32_t>(out.size()));
    for (const TOutUnit& unit : out) {
        PutName(block, *unit.name);
        Put32(block, unit.first_line);
        Put32(block, static_cast<uint32_t>(unit.begin));
        Put32(block, unit.code_size);
        Put32(block, static_cast<uint32_t>(unit.table.size()));
        block += unit.table;
    }
    return block;
}

TDebugDataReader::TDebugDataReader(std::string_view bytes, uint16_t debug_version)
    : bytes_(bytes), version_(debug_version) {
    TCursor block(bytes_);
    if (version_ > kNameTableAbove) {
        uint32_t length = 0;
        if (!block.Get32(length) || !block.Take(length, names_)) {
            return;
        }
        TCursor table(names_);
        while (table.Left() > 0) {
            std::string_view name;
            if (!table.GetName(name) || !table.Skip(8)) {
                return;
            }
        }
    }
    units_at_ = block.Pos();
    uint32_t count = 0;
    if (!ReadUnitCount(block, count)) {
        return;
    }
    for (uint32_t i = 0; i < count; ++i) {
        TRawUnit unit;
        if (!ReadUnit(block, unit)) {
            return;
        }
        TCursor table(unit.table);
        TRawEntry entry;
        while (table.Left() > 0) {
            if (!ReadEntry(table, version_, entry)) {
                return;
            }
        }
    }
    valid_ = true;
}

std::optional<TDebugLocation> TDebugDataReader::Find(uint32_t offset) const {
    if (!valid_) {
        return std::nullopt;
    }
    TCursor block(bytes_);
    uint32_t count = 0;
    if (!block.Skip(units_at_) || !ReadUnitCount(block, count)) {
        return std::nullopt;
    }
    for (uint32_t i = 0; i < count; ++i) {
        TRawUnit unit;
        if (!ReadUnit(block, unit)) {
            return std::nullopt;
        }
        if (!unit.Contains(offset)) {
            continue;
        }
        TNameWalk names;
        TCursor table(unit.table);
        uint32_t line = unit.first_line;
        uint64_t start = unit.code_offset;
        while (table.Left() > 0) {
            TRawEntry entry;
            if (!ReadEntry(table, version_, entry)) {
                return std::nullopt;
            }
            if (entry.has_name) {
                names.Named(entry.name);
            }
            if (offset >= start && offset - start < entry.length) {
                return names.Location(unit.name, line);
            }
            names.Passed();
            line += entry.advance;
            start += entry.length;
        }
        // Code after the last entry has the line reached after it.
        return names.Location(unit.name, line);
    }
    return std::nullopt;
}

std::optional<uint32_t> TDebugDataReader::ProcedureOffset(std::string_view qualified_name) const {
    if (!valid_) {
        return std::nullopt;
    }
    TCursor table(names_);
    while (table.Left() > 0) {
        std::string_view name;
        uint32_t offset = 0;
        if (!table.GetName(name) || !table.Get32(offset) || !table.Skip(4)) {
            return std::nullopt;
        }
        if (name.size() == qualified_name.size() &&
            std::equal(name.begin(), name.end(), qualified_name.begin(),
                       [](char s, char c) { return static_cast<char>(s ^ kScrambleKey) == c; })) {
            return offset;
        }
    }
    return std::nullopt;
}

std::optional<std::vector<TDebugUnit>> TDebugDataReader::Units() const {
    if (!valid_) {
        return std::nullopt;
    }
    TCursor block(bytes_);
    uint32_t count = 0;
    if (!block.Skip(units_at_) || !ReadUnitCount(block, count)) {
        return std::nullopt;
    }
    std::vector<TDebugUnit> units;
    units.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        TRawUnit raw;
        if (!ReadUnit(block, raw)) {
            return std::nullopt;
        }
        TDebugUnit& unit = units.emplace_back();
        unit.name = Unscrambled(raw.name);
        unit.first_line = raw.first_line;
        unit.code_offset = raw.code_offset;
        unit.code_size = raw.code_size;
        TCursor table(raw.table);
        while (table.Left() > 0) {
            TRawEntry entry;
            if (!ReadEntry(table, version_, entry)) {
                return std::nullopt;
            }
            unit.entries.push_back(
                {entry.length, entry.advance, entry.has_name, Unscrambled(entry.name)});
        }
    }
    return units;
}

std::optional<std::vector<TDebugName>> TDebugDataReader::Names() const {
    if (!valid_) {
        return std::nullopt;
    }
    std::vector<TDebugName> names;
    TCursor table(names_);
    while (table.Left() > 0) {
        if (!ReadName(table, names.emplace_back())) {
            return std::nullopt;
        }
    }
    return names;
}

}  // namespace exceptions
