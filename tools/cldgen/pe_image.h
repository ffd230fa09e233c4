#pragma once

// A reader of linked Windows executables (PE32 and PE32+) held in memory:
// the headers, the section table (long "/nn" names resolved through the
// COFF string table), the COFF symbol table and the resource tree. Every
// offset the file names is checked against the file; a malformed image
// raises TFormatError naming what is wrong.

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace cldgen {

class TFormatError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

constexpr uint16_t kMachineI386 = 0x014C;
constexpr uint16_t kMachineAmd64 = 0x8664;

constexpr uint32_t kSectionCode = 0x00000020;
constexpr uint32_t kSectionUninitialized = 0x00000080;
constexpr uint32_t kSectionDiscardable = 0x02000000;
constexpr uint32_t kSectionExecute = 0x20000000;

constexpr uint16_t kSymbolTypeFunction = 0x20;
constexpr uint8_t kStorageExternal = 2;
constexpr uint8_t kStorageStatic = 3;
constexpr uint8_t kStorageFile = 103;

constexpr size_t kDirectoryResource = 2;

struct TPeSection {
    std::string name;
    uint32_t virtual_address = 0;
    uint32_t virtual_size = 0;
    uint32_t raw_offset = 0;
    uint32_t raw_size = 0;
    uint32_t characteristics = 0;
};

struct TCoffSymbol {
    std::string name;
    uint32_t value = 0;
    int16_t section = 0;  // 1-based section number; 0 and below: none
    uint16_t type = 0;
    uint8_t storage_class = 0;
    std::string_view aux;  // the auxiliary records, 18 bytes each
};

struct TDataDirectory {
    uint32_t rva = 0;
    uint32_t size = 0;
};

class TPeImage {
  public:
    // Keeps a view of `file`, which must outlive the image.
    explicit TPeImage(std::string_view file);

    bool Is64() const { return is64_; }
    uint16_t Machine() const { return machine_; }
    uint32_t TimeDateStamp() const { return time_date_stamp_; }
    uint64_t ImageBase() const { return image_base_; }
    uint32_t EntryPoint() const { return entry_point_; }
    uint32_t CheckSum() const { return check_sum_; }
    uint16_t Subsystem() const { return subsystem_; }
    uint16_t DllCharacteristics() const { return dll_characteristics_; }
    uint32_t SectionAlignment() const { return section_alignment_; }
    const std::vector<TDataDirectory>& DataDirectories() const { return directories_; }
    const std::vector<TPeSection>& Sections() const { return sections_; }

    const TPeSection* FindSection(std::string_view name) const;
    // The section containing `rva` (within its virtual size), or null.
    const TPeSection* SectionOfRva(uint32_t rva) const;
    // The bytes the file stores for a section: at most its virtual size; the
    // rest of the section, up to the virtual size, is zero when loaded.
    std::string_view SectionData(const TPeSection& section) const;
    // The contents of the named section, empty when absent.
    std::string_view SectionData(std::string_view name) const;
    // `size` bytes at `rva`, when they lie inside one section's stored data.
    std::optional<std::string_view> BytesAt(uint32_t rva, uint32_t size) const;

    // The COFF symbol table (empty when the image has none).
    const std::vector<TCoffSymbol>& Symbols() const { return symbols_; }

  private:
    void ReadSymbols(uint32_t table, uint32_t count);
    std::string LongName(uint64_t offset) const;

    std::string_view file_;
    bool is64_ = false;
    uint16_t machine_ = 0;
    uint32_t time_date_stamp_ = 0;
    uint64_t image_base_ = 0;
    uint32_t entry_point_ = 0;
    uint32_t check_sum_ = 0;
    uint16_t subsystem_ = 0;
    uint16_t dll_characteristics_ = 0;
    uint32_t section_alignment_ = 0;
    std::string_view string_table_;
    std::vector<TDataDirectory> directories_;
    std::vector<TPeSection> sections_;
    std::vector<TCoffSymbol> symbols_;
};

// The data of the resource of `type` (a numeric type such as 10, RCDATA)
// named `name` (compared without regard to ASCII case), first language;
// nullopt when the image has no such resource. A damaged resource tree
// raises TFormatError.
std::optional<std::string_view> FindResource(const TPeImage& image, uint16_t type,
                                             std::string_view name);

}  // namespace cldgen
