#include "dwarf_line.h"

#include "byte_reader.h"
#include "pe_image.h"

namespace cldgen {

namespace {

// Line-program opcodes.
constexpr uint8_t kLnsCopy = 1;
constexpr uint8_t kLnsAdvancePc = 2;
constexpr uint8_t kLnsAdvanceLine = 3;
constexpr uint8_t kLnsSetFile = 4;
constexpr uint8_t kLnsSetColumn = 5;
constexpr uint8_t kLnsNegateStmt = 6;
constexpr uint8_t kLnsSetBasicBlock = 7;
constexpr uint8_t kLnsConstAddPc = 8;
constexpr uint8_t kLnsFixedAdvancePc = 9;
constexpr uint8_t kLneEndSequence = 1;
constexpr uint8_t kLneSetAddress = 2;
constexpr uint8_t kLneDefineFile = 3;

// Entry-format content types and forms (version 5).
constexpr uint64_t kLnctPath = 1;
constexpr uint64_t kLnctDirectoryIndex = 2;
constexpr uint64_t kFormBlock = 0x09;
constexpr uint64_t kFormData1 = 0x0B;
constexpr uint64_t kFormData2 = 0x05;
constexpr uint64_t kFormData4 = 0x06;
constexpr uint64_t kFormData8 = 0x07;
constexpr uint64_t kFormData16 = 0x1E;
constexpr uint64_t kFormString = 0x08;
constexpr uint64_t kFormStrp = 0x0E;
constexpr uint64_t kFormLineStrp = 0x1F;
constexpr uint64_t kFormUdata = 0x0F;
constexpr uint64_t kFormSdata = 0x0D;

bool IsAbsolute(std::string_view path) {
    return (!path.empty() && (path[0] == '/' || path[0] == '\\')) ||
           (path.size() >= 2 && path[1] == ':');
}

std::string Join(std::string_view folder, std::string_view name) {
    if (folder.empty() || IsAbsolute(name)) {
        return std::string(name);
    }
    std::string path(folder);
    if (path.back() != '/' && path.back() != '\\') {
        path += '/';
    }
    path += name;
    return path;
}

struct TEntryField {
    uint64_t content = 0;
    uint64_t form = 0;
};

struct TEntry {
    std::string path;
    uint64_t directory = 0;
};

class TProgramReader {
  public:
    TProgramReader(const TDwarfSections& sections, TByteReader& unit, bool offset64)
        : sections_(sections), unit_(unit), offset64_(offset64) {}

    // One field of a version 5 entry; strings and numbers land in `entry`.
    void ReadField(const TEntryField& field, TEntry& entry) {
        std::string_view text;
        bool is_text = false;
        uint64_t number = 0;
        switch (field.form) {
            case kFormString:
                text = unit_.CString();
                is_text = true;
                break;
            case kFormLineStrp:
            case kFormStrp: {
                const uint64_t offset = unit_.Unsigned(offset64_ ? 8 : 4);
                bool ok = true;
                text = StringAt(field.form == kFormStrp ? sections_.str : sections_.line_str,
                                offset, ok);
                if (!ok && !unit_.Failed()) {
                    throw TFormatError("line table string offset outside its section");
                }
                is_text = true;
                break;
            }
            case kFormUdata:
                number = unit_.Uleb();
                break;
            case kFormSdata:
                number = static_cast<uint64_t>(unit_.Sleb());
                break;
            case kFormData1:
                number = unit_.U8();
                break;
            case kFormData2:
                number = unit_.U16();
                break;
            case kFormData4:
                number = unit_.U32();
                break;
            case kFormData8:
                number = unit_.U64();
                break;
            case kFormData16:
                unit_.Skip(16);
                break;
            case kFormBlock:
                unit_.Skip(unit_.Uleb());
                break;
            default:
                throw TFormatError("unsupported form " + std::to_string(field.form) +
                                   " in a line table entry");
        }
        if (field.content == kLnctPath) {
            if (!is_text) {
                throw TFormatError("a line table path is not a string");
            }
            entry.path = std::string(text);
        } else if (field.content == kLnctDirectoryIndex) {
            if (is_text) {
                throw TFormatError("a line table directory index is a string");
            }
            entry.directory = number;
        }
    }

    std::vector<TEntry> ReadEntries() {
        const uint8_t format_count = unit_.U8();
        std::vector<TEntryField> format;
        for (uint8_t i = 0; i < format_count && !unit_.Failed(); ++i) {
            TEntryField field;
            field.content = unit_.Uleb();
            field.form = unit_.Uleb();
            format.push_back(field);
        }
        const uint64_t count = unit_.Uleb();
        // Every entry takes at least one byte when it has fields.
        if (unit_.Failed() || (!format.empty() && count > unit_.Remaining())) {
            throw TFormatError("truncated line table header");
        }
        if (format.empty() && count > 0) {
            throw TFormatError("line table entries without a format");
        }
        std::vector<TEntry> entries;
        for (uint64_t i = 0; i < count; ++i) {
            TEntry entry;
            for (const TEntryField& field : format) {
                ReadField(field, entry);
            }
            if (unit_.Failed()) {
                throw TFormatError("truncated line table header");
            }
            entries.push_back(std::move(entry));
        }
        return entries;
    }

  private:
    const TDwarfSections& sections_;
    TByteReader& unit_;
    bool offset64_;
};

TLineProgram ReadProgram(const TDwarfSections& sections, std::string_view unit_bytes,
                         bool offset64) {
    TByteReader unit(unit_bytes);
    TLineProgram program;
    program.version = unit.U16();
    if (program.version < 2 || program.version > 5) {
        throw TFormatError("unsupported line table version " + std::to_string(program.version));
    }
    if (program.version >= 5) {
        unit.U8();  // address size: set_address carries its own length
        unit.U8();  // segment selector size
    }
    const uint64_t header_length = unit.Unsigned(offset64 ? 8 : 4);
    const size_t program_start = unit.Position();
    if (unit.Failed() || header_length > unit.Remaining()) {
        throw TFormatError("truncated line table header");
    }
    const uint8_t min_instruction_length = unit.U8();
    if (program.version >= 4) {
        unit.U8();  // operations per instruction: 1 on the targets read here
    }
    const bool default_is_stmt = unit.U8() != 0;
    const int8_t line_base = unit.S8();
    const uint8_t line_range = unit.U8();
    const uint8_t opcode_base = unit.U8();
    if (unit.Failed()) {
        throw TFormatError("truncated line table header");
    }
    if (line_range == 0 || opcode_base == 0) {
        throw TFormatError("line table header with a zero line range or opcode base");
    }
    std::vector<uint8_t> argument_counts(opcode_base, 0);
    for (uint8_t i = 1; i < opcode_base; ++i) {
        argument_counts[i] = unit.U8();
    }

    TProgramReader reader(sections, unit, offset64);
    std::vector<std::string> folders;
    if (program.version >= 5) {
        for (TEntry& entry : reader.ReadEntries()) {
            folders.push_back(std::move(entry.path));
        }
        if (!folders.empty()) {
            program.comp_dir = folders[0];
        }
        for (const TEntry& entry : reader.ReadEntries()) {
            if (entry.directory >= folders.size()) {
                throw TFormatError("line table file names a missing directory");
            }
            const std::string& folder =
                entry.directory == 0 ? folders[0] : folders[static_cast<size_t>(entry.directory)];
            program.files.push_back(
                Join(entry.directory == 0 ? folder : Join(program.comp_dir, folder), entry.path));
        }
    } else {
        folders.emplace_back();  // directory 0: the compilation folder, unknown here
        for (;;) {
            const std::string_view folder = unit.CString();
            if (unit.Failed()) {
                throw TFormatError("truncated line table header");
            }
            if (folder.empty()) {
                break;
            }
            folders.emplace_back(folder);
        }
        program.files.emplace_back();
        for (;;) {
            const std::string_view name = unit.CString();
            if (unit.Failed()) {
                throw TFormatError("truncated line table header");
            }
            if (name.empty()) {
                break;
            }
            const uint64_t directory = unit.Uleb();
            unit.Uleb();  // modification time
            unit.Uleb();  // length
            if (unit.Failed() || directory >= folders.size()) {
                throw TFormatError("bad line table file entry");
            }
            program.files.push_back(Join(folders[static_cast<size_t>(directory)], name));
        }
    }
    unit.Seek(program_start + static_cast<size_t>(header_length));

    // The state machine. Rows are appended on copy, special opcodes and the
    // end of a sequence.
    TLineRow state;
    auto reset = [&] {
        state = TLineRow{};
        state.file = 1;
        state.line = 1;
        state.is_stmt = default_is_stmt;
    };
    reset();
    auto emit = [&] {
        if (state.file >= program.files.size()) {
            throw TFormatError("line table row names a missing file");
        }
        program.rows.push_back(state);
    };
    auto advance_line = [&](int64_t delta) {
        state.line = static_cast<uint32_t>(state.line + delta);
    };
    while (!unit.AtEnd()) {
        const uint8_t opcode = unit.U8();
        if (opcode >= opcode_base) {
            const uint8_t adjusted = static_cast<uint8_t>(opcode - opcode_base);
            state.address += uint64_t{min_instruction_length} * (adjusted / line_range);
            advance_line(line_base + adjusted % line_range);
            emit();
            continue;
        }
        switch (opcode) {
            case 0: {
                const uint64_t length = unit.Uleb();
                const std::string_view body = unit.Bytes(length);
                if (unit.Failed() || length == 0) {
                    throw TFormatError("truncated extended line opcode");
                }
                TByteReader operands(body.substr(1));
                switch (static_cast<uint8_t>(body[0])) {
                    case kLneEndSequence:
                        state.end_sequence = true;
                        emit();
                        reset();
                        break;
                    case kLneSetAddress:
                        state.address = operands.Unsigned(body.size() - 1);
                        break;
                    case kLneDefineFile: {
                        const std::string_view name = operands.CString();
                        const uint64_t directory = operands.Uleb();
                        if (directory >= folders.size()) {
                            throw TFormatError("bad line table file entry");
                        }
                        program.files.push_back(
                            Join(folders[static_cast<size_t>(directory)], name));
                        break;
                    }
                    default:
                        break;  // discriminators and vendor opcodes: skipped by length
                }
                if (operands.Failed()) {
                    throw TFormatError("truncated extended line opcode");
                }
                break;
            }
            case kLnsCopy:
                emit();
                break;
            case kLnsAdvancePc:
                state.address += min_instruction_length * unit.Uleb();
                break;
            case kLnsAdvanceLine:
                advance_line(unit.Sleb());
                break;
            case kLnsSetFile:
                state.file = static_cast<uint32_t>(unit.Uleb());
                break;
            case kLnsSetColumn:
                unit.Uleb();
                break;
            case kLnsNegateStmt:
                state.is_stmt = !state.is_stmt;
                break;
            case kLnsSetBasicBlock:
                break;
            case kLnsConstAddPc:
                state.address +=
                    uint64_t{min_instruction_length} * ((255 - opcode_base) / line_range);
                break;
            case kLnsFixedAdvancePc:
                state.address += unit.U16();
                break;
            default:
                // Opcodes this reader does not know are skipped by the
                // argument counts the header gives.
                for (uint8_t i = 0; i < argument_counts[opcode]; ++i) {
                    unit.Uleb();
                }
                break;
        }
        if (unit.Failed()) {
            throw TFormatError("truncated line program");
        }
    }
    return program;
}

}  // namespace

std::vector<TLineProgram> ReadLinePrograms(const TDwarfSections& sections) {
    std::vector<TLineProgram> programs;
    TByteReader reader(sections.line);
    while (!reader.AtEnd()) {
        uint64_t length = reader.U32();
        bool offset64 = false;
        if (length == 0xFFFFFFFFu) {
            length = reader.U64();
            offset64 = true;
        }
        const std::string_view unit = reader.Bytes(length);
        if (reader.Failed()) {
            throw TFormatError("truncated .debug_line unit");
        }
        programs.push_back(ReadProgram(sections, unit, offset64));
    }
    return programs;
}

}  // namespace cldgen
