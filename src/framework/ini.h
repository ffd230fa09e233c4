#pragma once

// TMemIniFile: an INI document held in memory.
//
// Text rules, applied line by line (lines end at CR LF, a lone CR or a lone LF):
// - a line is trimmed of the bytes 0x00-0x20 at both ends;
// - an empty line, or one starting with ';', is skipped;
// - a line "[...]" (starting with '[' and ending with ']') opens a section
//   named by the trimmed text between the brackets; a line that starts with
//   '[' but does not end with ']' is an ordinary line;
// - lines before the first section are ignored;
// - inside a section, "key=value" defines a key: the key is the trimmed text
//   before the first '=', the value the trimmed text after it (any further
//   '=' belong to the value); a line without '=' defines nothing.
// Section names and keys match with ASCII letters in any case (SameName).
// When a key occurs twice in a section, the first occurrence wins and the
// later ones are dropped. A section that occurs twice is one section: the
// later part adds the keys that the earlier part did not define.
//
// Comments and lines that define nothing are not kept, so ToText writes back
// the sections and keys only.

#include <string>
#include <string_view>
#include <vector>

#include "base/streams.h"

namespace framework {

class TMemIniFile {
  public:
    TMemIniFile() = default;

    // Replaces the content with what `text` defines.
    void LoadFromText(std::string_view text);
    // Reads the rest of `stream` (from its position to its end) as the text.
    void LoadFromStream(base::TStream& stream);
    // Every section as "[name]" followed by its "key=value" lines, sections
    // separated by an empty line; every line ends with CR LF.
    std::string ToText() const;
    void SaveToStream(base::TStream& stream) const;
    void Clear() { sections_.clear(); }

    std::string ReadString(std::string_view section, std::string_view key,
                           std::string_view defaultValue) const;
    // Decimal with an optional sign, or hexadecimal after "$" or "0x"/"0X"
    // (up to 8 digits, taken as a 32-bit pattern: "$FFFFFFFF" is -1). A value
    // that is absent, empty, malformed or out of range gives the default.
    int ReadInteger(std::string_view section, std::string_view key, int defaultValue) const;
    // ReadInteger's value != 0; the default when the value is not an integer.
    bool ReadBool(std::string_view section, std::string_view key, bool defaultValue) const;

    bool SectionExists(std::string_view section) const;
    bool ValueExists(std::string_view section, std::string_view key) const;
    // The keys of a section in their order; empty for a missing section.
    std::vector<std::string> ReadSection(std::string_view section) const;
    // The section names in their order.
    std::vector<std::string> ReadSections() const;

    // Sets the value of the key, adding the section and the key at the end
    // when they are missing. The value is stored as given: one with line
    // breaks or outer blanks does not read back the same after ToText.
    void WriteString(std::string_view section, std::string_view key, std::string_view value);
    void WriteInteger(std::string_view section, std::string_view key, int value);
    void WriteBool(std::string_view section, std::string_view key, bool value);
    void EraseSection(std::string_view section);
    void DeleteKey(std::string_view section, std::string_view key);

  private:
    struct Entry {
        std::string key;
        std::string value;
    };
    struct Section {
        std::string name;
        std::vector<Entry> entries;
    };

    const Section* FindSection(std::string_view name) const;
    Section* FindSection(std::string_view name);
    static const Entry* FindEntry(const Section& section, std::string_view key);

    std::vector<Section> sections_;
};

}  // namespace framework
