#include "framework/ini.h"

#include <cstdint>
#include <optional>
#include <utility>

#include "base/text.h"
#include "framework/names.h"

namespace framework {

namespace {

// Each line of `text`, split at CR LF, a lone CR or a lone LF.
template <typename F>
void ForEachLine(std::string_view text, F&& f) {
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            f(text.substr(start));
            return;
        }
        f(text.substr(start, end - start));
        start = end + 1;
        if (text[end] == '\r' && start < text.size() && text[start] == '\n') {
            ++start;
        }
    }
}

std::optional<int> ParseInteger(std::string_view s) {
    const size_t prefix = s.starts_with('$')                             ? 1
                          : (s.starts_with("0x") || s.starts_with("0X")) ? 2
                                                                         : 0;
    if (prefix > 0) {
        std::string_view digits = s.substr(prefix);
        if (digits.empty() || digits.size() > 8) {
            return std::nullopt;
        }
        uint32_t value = 0;
        for (char c : digits) {
            int d = base::HexDigit(c);
            if (d < 0) {
                return std::nullopt;
            }
            value = (value << 4) | static_cast<uint32_t>(d);
        }
        return static_cast<int>(value);  // two's complement pattern
    }
    bool negative = false;
    if (!s.empty() && (s[0] == '+' || s[0] == '-')) {
        negative = s[0] == '-';
        s.remove_prefix(1);
    }
    if (s.empty()) {
        return std::nullopt;
    }
    int64_t value = 0;
    for (char c : s) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
        if (value > static_cast<int64_t>(INT32_MAX) + 1) {
            return std::nullopt;
        }
    }
    if (negative) {
        value = -value;
    }
    if (value > INT32_MAX || value < INT32_MIN) {
        return std::nullopt;
    }
    return static_cast<int>(value);
}

}  // namespace

void TMemIniFile::LoadFromText(std::string_view text) {
    std::vector<Section> sections;
    Section* current = nullptr;
    ForEachLine(text, [&](std::string_view raw) {
        std::string line = base::Trim(raw);
        if (line.empty() || line[0] == ';') {
            return;
        }
        if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
            std::string name = base::Trim(std::string_view(line).substr(1, line.size() - 2));
            current = nullptr;
            for (Section& s : sections) {
                if (SameName(s.name, name)) {
                    current = &s;
                    break;
                }
            }
            if (current == nullptr) {
                sections.push_back(Section{std::move(name), {}});
                current = &sections.back();
            }
            return;
        }
        if (current == nullptr) {
            return;
        }
        size_t eq = line.find('=');
        if (eq == std::string::npos) {
            return;
        }
        std::string key = base::Trim(std::string_view(line).substr(0, eq));
        if (FindEntry(*current, key) != nullptr) {
            return;  // the first occurrence wins
        }
        current->entries.push_back(
            Entry{std::move(key), base::Trim(std::string_view(line).substr(eq + 1))});
    });
    sections_ = std::move(sections);
}

void TMemIniFile::LoadFromStream(base::TStream& stream) {
    base::TMemoryStream buffer;
    int64_t remaining = stream.Size() - stream.Position();
    if (remaining > 0) {
        buffer.CopyFrom(stream, remaining);
    }
    LoadFromText(buffer.View());
}

std::string TMemIniFile::ToText() const {
    std::string text;
    for (size_t i = 0; i < sections_.size(); ++i) {
        if (i > 0) {
            text += "\r\n";
        }
        text += '[';
        text += sections_[i].name;
        text += "]\r\n";
        for (const Entry& e : sections_[i].entries) {
            text += e.key;
            text += '=';
            text += e.value;
            text += "\r\n";
        }
    }
    return text;
}

void TMemIniFile::SaveToStream(base::TStream& stream) const {
    stream.WriteBuffer(ToText());
}

const TMemIniFile::Section* TMemIniFile::FindSection(std::string_view name) const {
    for (const Section& s : sections_) {
        if (SameName(s.name, name)) {
            return &s;
        }
    }
    return nullptr;
}

TMemIniFile::Section* TMemIniFile::FindSection(std::string_view name) {
    return const_cast<Section*>(std::as_const(*this).FindSection(name));
}

const TMemIniFile::Entry* TMemIniFile::FindEntry(const Section& section, std::string_view key) {
    for (const Entry& e : section.entries) {
        if (SameName(e.key, key)) {
            return &e;
        }
    }
    return nullptr;
}

std::string TMemIniFile::ReadString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue) const {
    const Section* s = FindSection(section);
    const Entry* e = s != nullptr ? FindEntry(*s, key) : nullptr;
    return std::string(e != nullptr ? std::string_view(e->value) : defaultValue);
}

int TMemIniFile::ReadInteger(std::string_view section, std::string_view key,
                             int defaultValue) const {
    const Section* s = FindSection(section);
    const Entry* e = s != nullptr ? FindEntry(*s, key) : nullptr;
    if (e == nullptr) {
        return defaultValue;
    }
    return ParseInteger(e->value).value_or(defaultValue);
}

bool TMemIniFile::ReadBool(std::string_view section, std::string_view key,
                           bool defaultValue) const {
    return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

bool TMemIniFile::SectionExists(std::string_view section) const {
    return FindSection(section) != nullptr;
}

bool TMemIniFile::ValueExists(std::string_view section, std::string_view key) const {
    const Section* s = FindSection(section);
    return s != nullptr && FindEntry(*s, key) != nullptr;
}

std::vector<std::string> TMemIniFile::ReadSection(std::string_view section) const {
    std::vector<std::string> keys;
    if (const Section* s = FindSection(section)) {
        for (const Entry& e : s->entries) {
            keys.push_back(e.key);
        }
    }
    return keys;
}

std::vector<std::string> TMemIniFile::ReadSections() const {
    std::vector<std::string> names;
    for (const Section& s : sections_) {
        names.push_back(s.name);
    }
    return names;
}

void TMemIniFile::WriteString(std::string_view section, std::string_view key,
                              std::string_view value) {
    Section* s = FindSection(section);
    if (s == nullptr) {
        sections_.push_back(Section{std::string(section), {}});
        s = &sections_.back();
    }
    if (Entry* e = const_cast<Entry*>(FindEntry(*s, key))) {
        e->value = std::string(value);
        return;
    }
    s->entries.push_back(Entry{std::string(key), std::string(value)});
}

void TMemIniFile::WriteInteger(std::string_view section, std::string_view key, int value) {
    WriteString(section, key, std::to_string(value));
}

void TMemIniFile::WriteBool(std::string_view section, std::string_view key, bool value) {
    WriteString(section, key, value ? "1" : "0");
}

void TMemIniFile::EraseSection(std::string_view section) {
    for (auto it = sections_.begin(); it != sections_.end(); ++it) {
        if (SameName(it->name, section)) {
            sections_.erase(it);
            return;
        }
    }
}

void TMemIniFile::DeleteKey(std::string_view section, std::string_view key) {
    Section* s = FindSection(section);
    if (s == nullptr) {
        return;
    }
    for (auto it = s->entries.begin(); it != s->entries.end(); ++it) {
        if (SameName(it->key, key)) {
            s->entries.erase(it);
            return;
        }
    }
}

}  // namespace framework
