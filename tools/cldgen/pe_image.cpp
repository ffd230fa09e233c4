#include "pe_image.h"

#include <algorithm>
#include <cctype>

#include "byte_reader.h"

namespace cldgen {

namespace {

constexpr size_t kSymbolSize = 18;
constexpr uint16_t kMagicPe32 = 0x10B;
constexpr uint16_t kMagicPe32Plus = 0x20B;

std::string TrimmedName(std::string_view raw) {
    const size_t end = raw.find('\0');
    return std::string(raw.substr(0, end));
}

}  // namespace

TPeImage::TPeImage(std::string_view file) : file_(file) {
    TByteReader dos(file);
    if (dos.U16() != 0x5A4D) {
        throw TFormatError("not an executable: no MZ header");
    }
    dos.Seek(0x3C);
    const uint32_t pe_offset = dos.U32();
    if (dos.Failed()) {
        throw TFormatError("truncated DOS header");
    }
    TByteReader pe(file, pe_offset);
    if (pe.Failed() || pe.U32() != 0x00004550) {
        throw TFormatError("no PE signature");
    }
    machine_ = pe.U16();
    const uint16_t section_count = pe.U16();
    time_date_stamp_ = pe.U32();
    const uint32_t symbol_table = pe.U32();
    const uint32_t symbol_count = pe.U32();
    const uint16_t optional_size = pe.U16();
    pe.U16();  // characteristics
    const size_t optional_start = pe.Position();
    const std::string_view optional = pe.Bytes(optional_size);
    if (pe.Failed()) {
        throw TFormatError("truncated file header");
    }

    TByteReader header(optional);
    const uint16_t magic = header.U16();
    if (magic != kMagicPe32 && magic != kMagicPe32Plus) {
        throw TFormatError("unknown optional header magic");
    }
    is64_ = magic == kMagicPe32Plus;
    header.Seek(16);
    entry_point_ = header.U32();
    if (is64_) {
        header.Seek(24);
        image_base_ = header.U64();
    } else {
        header.Seek(28);
        image_base_ = header.U32();
    }
    section_alignment_ = header.U32();
    header.Seek(64);
    check_sum_ = header.U32();
    subsystem_ = header.U16();
    dll_characteristics_ = header.U16();
    header.Seek(is64_ ? 108 : 92);
    const uint32_t directory_count = header.U32();
    if (header.Failed()) {
        throw TFormatError("truncated optional header");
    }
    for (uint32_t i = 0; i < std::min<uint32_t>(directory_count, 16); ++i) {
        TDataDirectory directory;
        directory.rva = header.U32();
        directory.size = header.U32();
        if (header.Failed()) {
            throw TFormatError("truncated data directories");
        }
        directories_.push_back(directory);
    }

    // The string table follows the symbol table; long section names and
    // symbol names point into it.
    if (symbol_table != 0) {
        const uint64_t strings = symbol_table + uint64_t{symbol_count} * kSymbolSize;
        TByteReader table(file);
        table.Skip(strings);
        const uint32_t size = table.U32();
        if (table.Failed() || size < 4 || size - 4 > table.Remaining()) {
            throw TFormatError("truncated COFF string table");
        }
        string_table_ = file.substr(static_cast<size_t>(strings), size);
    }

    TByteReader sections(file, optional_start + optional_size);
    for (uint16_t i = 0; i < section_count; ++i) {
        const std::string_view raw_name = sections.Bytes(8);
        TPeSection section;
        section.virtual_size = sections.U32();
        section.virtual_address = sections.U32();
        section.raw_size = sections.U32();
        section.raw_offset = sections.U32();
        sections.Skip(12);
        section.characteristics = sections.U32();
        if (sections.Failed()) {
            throw TFormatError("truncated section table");
        }
        section.name = TrimmedName(raw_name);
        if (section.name.size() > 1 && section.name[0] == '/') {
            uint64_t offset = 0;
            for (char c : std::string_view(section.name).substr(1)) {
                if (c < '0' || c > '9' || offset > 0xFFFFFFFFu) {
                    throw TFormatError("bad long section name " + section.name);
                }
                offset = offset * 10 + static_cast<uint64_t>(c - '0');
            }
            section.name = LongName(offset);
        }
        if ((section.characteristics & kSectionUninitialized) == 0 &&
            std::min(section.raw_size, section.virtual_size) > 0 &&
            (section.raw_offset > file.size() ||
             std::min(section.raw_size, section.virtual_size) > file.size() - section.raw_offset)) {
            throw TFormatError("section " + section.name + " extends beyond the file");
        }
        sections_.push_back(std::move(section));
    }

    if (symbol_table != 0) {
        ReadSymbols(symbol_table, symbol_count);
    }
}

std::string TPeImage::LongName(uint64_t offset) const {
    bool ok = true;
    const std::string_view name = StringAt(string_table_, offset, ok);
    if (!ok || offset < 4) {
        throw TFormatError("name offset outside the COFF string table");
    }
    return std::string(name);
}

void TPeImage::ReadSymbols(uint32_t table, uint32_t count) {
    TByteReader reader(file_, table);
    for (uint32_t i = 0; i < count; ++i) {
        const std::string_view raw_name = reader.Bytes(8);
        TCoffSymbol symbol;
        symbol.value = reader.U32();
        symbol.section = static_cast<int16_t>(reader.U16());
        symbol.type = reader.U16();
        symbol.storage_class = reader.U8();
        const uint8_t aux_count = reader.U8();
        symbol.aux = reader.Bytes(uint64_t{aux_count} * kSymbolSize);
        if (reader.Failed() || aux_count > count - 1 - i) {
            throw TFormatError("truncated COFF symbol table");
        }
        i += aux_count;
        TByteReader name(raw_name);
        if (name.U32() == 0) {
            symbol.name = LongName(name.U32());
        } else {
            symbol.name = TrimmedName(raw_name);
        }
        symbols_.push_back(std::move(symbol));
    }
}

const TPeSection* TPeImage::FindSection(std::string_view name) const {
    for (const TPeSection& section : sections_) {
        if (section.name == name) {
            return &section;
        }
    }
    return nullptr;
}

const TPeSection* TPeImage::SectionOfRva(uint32_t rva) const {
    for (const TPeSection& section : sections_) {
        if (rva >= section.virtual_address &&
            rva - section.virtual_address < section.virtual_size) {
            return &section;
        }
    }
    return nullptr;
}

std::string_view TPeImage::SectionData(const TPeSection& section) const {
    if (section.characteristics & kSectionUninitialized) {
        return {};
    }
    // Checked against the file when the section table was read.
    return file_.substr(section.raw_offset, std::min(section.raw_size, section.virtual_size));
}

std::string_view TPeImage::SectionData(std::string_view name) const {
    const TPeSection* section = FindSection(name);
    return section != nullptr ? SectionData(*section) : std::string_view();
}

std::optional<std::string_view> TPeImage::BytesAt(uint32_t rva, uint32_t size) const {
    const TPeSection* section = SectionOfRva(rva);
    if (section == nullptr) {
        return std::nullopt;
    }
    const std::string_view data = SectionData(*section);
    const uint32_t offset = rva - section->virtual_address;
    if (offset > data.size() || size > data.size() - offset) {
        return std::nullopt;
    }
    return data.substr(offset, size);
}

namespace {

// One level of the resource tree: the entry matching `id`, or (for names)
// `name`, or the first entry when both are empty. Returns the entry's
// offset field, or nullopt when there is none.
std::optional<uint32_t> ResourceEntry(std::string_view tree, uint32_t directory,
                                      std::optional<uint16_t> id, std::string_view name,
                                      bool first) {
    TByteReader reader(tree, directory);
    reader.Skip(12);
    const uint16_t named = reader.U16();
    const uint16_t numbered = reader.U16();
    if (reader.Failed()) {
        throw TFormatError("truncated resource directory");
    }
    for (uint32_t i = 0; i < uint32_t{named} + numbered; ++i) {
        const uint32_t key = reader.U32();
        const uint32_t offset = reader.U32();
        if (reader.Failed()) {
            throw TFormatError("truncated resource directory");
        }
        if (first) {
            return offset;
        }
        const bool is_name = (key & 0x80000000u) != 0;
        if (!is_name) {
            if (id && *id == key) {
                return offset;
            }
            continue;
        }
        if (id) {
            continue;
        }
        TByteReader text(tree, key & 0x7FFFFFFFu);
        const uint16_t length = text.U16();
        if (text.Failed() || length != name.size()) {
            continue;
        }
        bool same = true;
        for (char wanted : name) {
            const uint16_t c = text.U16();
            same = same && c < 0x80 &&
                   std::toupper(static_cast<unsigned char>(c)) ==
                       std::toupper(static_cast<unsigned char>(wanted));
        }
        if (text.Failed()) {
            throw TFormatError("truncated resource name");
        }
        if (same) {
            return offset;
        }
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string_view> FindResource(const TPeImage& image, uint16_t type,
                                             std::string_view name) {
    if (image.DataDirectories().size() <= kDirectoryResource) {
        return std::nullopt;
    }
    const TDataDirectory& directory = image.DataDirectories()[kDirectoryResource];
    if (directory.rva == 0 || directory.size == 0) {
        return std::nullopt;
    }
    const auto tree = image.BytesAt(directory.rva, directory.size);
    if (!tree) {
        throw TFormatError("the resource directory lies outside the sections");
    }
    constexpr uint32_t kSubdirectory = 0x80000000u;
    const auto by_type = ResourceEntry(*tree, 0, type, {}, false);
    if (!by_type) {
        return std::nullopt;
    }
    if (!(*by_type & kSubdirectory)) {
        throw TFormatError("damaged resource tree");
    }
    const auto by_name = ResourceEntry(*tree, *by_type & ~kSubdirectory, std::nullopt, name, false);
    if (!by_name) {
        return std::nullopt;
    }
    if (!(*by_name & kSubdirectory)) {
        throw TFormatError("damaged resource tree");
    }
    const auto by_language =
        ResourceEntry(*tree, *by_name & ~kSubdirectory, std::nullopt, {}, true);
    if (!by_language || (*by_language & kSubdirectory)) {
        throw TFormatError("damaged resource tree");
    }
    TByteReader entry(*tree, *by_language);
    const uint32_t rva = entry.U32();
    const uint32_t size = entry.U32();
    if (entry.Failed()) {
        throw TFormatError("truncated resource data entry");
    }
    const auto data = image.BytesAt(rva, size);
    if (!data) {
        throw TFormatError("resource data outside the sections");
    }
    return data;
}

}  // namespace cldgen
