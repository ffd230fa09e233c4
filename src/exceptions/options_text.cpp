#include "exceptions/options_text.h"

#include <cstdint>
#include <string>

#include "base/exception.h"
#include "base/text.h"

namespace exceptions {

namespace {

using TOptions = TVivavaModuleOptions;

enum class TKind { kSwitch, kByte, kWord, kNumber, kText };

struct TKey {
    std::string_view name;
    TKind kind;
    uint32_t (*getNumber)(const TOptions&);
    void (*setNumber)(TOptions&, uint32_t);
    const std::string& (*getText)(const TOptions&);
    void (*setText)(TOptions&, std::string);
};

// clang-format off
// The entry of option Name, with its getter and setter.
#define NUMBER_KEY(kind, Name, type) \
    {#Name, kind, \
     [](const TOptions& o) { return static_cast<uint32_t>(o.Name()); }, \
     [](TOptions& o, uint32_t v) { o.Set##Name(static_cast<type>(v)); }, \
     nullptr, nullptr}
#define SWITCH_KEY(Name) NUMBER_KEY(TKind::kSwitch, Name, bool)
#define BYTE_KEY(Name) NUMBER_KEY(TKind::kByte, Name, uint8_t)
#define WORD_KEY(Name) NUMBER_KEY(TKind::kWord, Name, uint16_t)
#define LONG_KEY(Name) NUMBER_KEY(TKind::kNumber, Name, uint32_t)
#define TEXT_KEY(Name) \
    {#Name, TKind::kText, nullptr, nullptr, \
     [](const TOptions& o) -> const std::string& { return o.Name(); }, \
     [](TOptions& o, std::string v) { o.Set##Name(std::move(v)); }}

// Every option the stream stores, in stream order.
const TKey kKeys[] = {
    SWITCH_KEY(ReservedSwitch),
    SWITCH_KEY(FilterActive),
    BYTE_KEY(ReportFlags),
    SWITCH_KEY(ShowReport),
    SWITCH_KEY(LogInBody),
    SWITCH_KEY(SendWholeLog),
    SWITCH_KEY(AttachScreenshot),
    SWITCH_KEY(ShowMailProgress),
    SWITCH_KEY(KeepLogFile),
    BYTE_KEY(StartTab),
    SWITCH_KEY(FancyLook),
    SWITCH_KEY(FreezeWatch),
    LONG_KEY(FreezeSeconds),
    TEXT_KEY(FreezeText),
    TEXT_KEY(MailSender),
    TEXT_KEY(MailServer),
    WORD_KEY(MailPort),
    TEXT_KEY(MailUser),
    TEXT_KEY(MailPassword),
    BYTE_KEY(QuitRestarts),
    SWITCH_KEY(ShowQuitButton),
    LONG_KEY(LogCapacity),
    LONG_KEY(QuitButtonAfter),
    TEXT_KEY(MailRecipients),
    TEXT_KEY(MailSubject),
    BYTE_KEY(DeliveryMode),
    LONG_KEY(LogFieldMask),
    TEXT_KEY(LogLocation),
    TEXT_KEY(MailBody),
};
// clang-format on

#undef NUMBER_KEY
#undef SWITCH_KEY
#undef BYTE_KEY
#undef WORD_KEY
#undef LONG_KEY
#undef TEXT_KEY

// Raised with the line's number and what is wrong with it.
class TLineError {
  public:
    explicit TLineError(std::string what) : what_(std::move(what)) {}
    const std::string& What() const { return what_; }

  private:
    std::string what_;
};

uint32_t ParseNumber(std::string_view value, TKind kind) {
    if (kind == TKind::kSwitch) {
        if (value == "1" || value == "true") {
            return 1;
        }
        if (value == "0" || value == "false") {
            return 0;
        }
        throw TLineError("\"" + std::string(value) + "\" is not 0, 1, false or true");
    }
    const uint64_t limit = kind == TKind::kByte ? 0xFF : kind == TKind::kWord ? 0xFFFF : 0xFFFFFFFF;
    std::string_view digits = value;
    unsigned base = 10;
    if (digits.starts_with("0x") || digits.starts_with("0X")) {
        digits.remove_prefix(2);
        base = 16;
    }
    if (digits.empty()) {
        throw TLineError("\"" + std::string(value) + "\" is not a number");
    }
    uint64_t number = 0;
    for (const char c : digits) {
        const int digit = base::HexDigit(c);
        if (digit < 0 || static_cast<unsigned>(digit) >= base) {
            throw TLineError("\"" + std::string(value) + "\" is not a number");
        }
        number = number * base + static_cast<unsigned>(digit);
        if (number > limit) {
            throw TLineError(std::string(value) + " is above " + std::to_string(limit));
        }
    }
    return static_cast<uint32_t>(number);
}

std::string Unescape(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    for (size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (base::IsGbkPair(value, i)) {
            out += c;
            out += value[++i];
            continue;
        }
        if (c != '\\') {
            out += c;
            continue;
        }
        if (i + 1 == value.size()) {
            throw TLineError("the text ends in a lone \"\\\"");
        }
        switch (value[++i]) {
            case 'r':
                out += '\r';
                break;
            case 'n':
                out += '\n';
                break;
            case 't':
                out += '\t';
                break;
            case '\\':
                out += '\\';
                break;
            case 'x': {
                const int high = i + 2 < value.size() ? base::HexDigit(value[i + 1]) : -1;
                const int low = high >= 0 ? base::HexDigit(value[i + 2]) : -1;
                if (low < 0) {
                    throw TLineError("\"\\x\" needs two hexadecimal digits");
                }
                out += static_cast<char>(high * 16 + low);
                i += 2;
                break;
            }
            default:
                throw TLineError("unknown escape \"\\" + std::string(1, value[i]) + "\"");
        }
    }
    return out;
}

// "Name[index]": the name and the index, or false when `key` has no index.
bool SplitIndex(std::string_view key, std::string_view& name, int& index) {
    const size_t open = key.find('[');
    if (open == std::string_view::npos || !key.ends_with(']')) {
        return false;
    }
    name = key.substr(0, open);
    const std::string_view digits = key.substr(open + 1, key.size() - open - 2);
    if (digits.empty() || digits.size() > 6) {
        throw TLineError("bad index in \"" + std::string(key) + "\"");
    }
    index = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') {
            throw TLineError("bad index in \"" + std::string(key) + "\"");
        }
        index = index * 10 + (c - '0');
    }
    return true;
}

void SetListEntry(base::TStringList& list, std::string_view key, int index, std::string value) {
    if (index < list.Count()) {
        list.Put(index, std::move(value));
    } else if (index == list.Count()) {
        list.Add(std::move(value));
    } else {
        throw TLineError("\"" + std::string(key) + "\" comes before entry " +
                         std::to_string(list.Count()));
    }
}

void ApplyLine(std::string_view key, std::string_view value, TOptions& options) {
    std::string_view name;
    int index = 0;
    if (SplitIndex(key, name, index)) {
        std::string text = Unescape(value);
        if (name == "Texts") {
            if (index >= kTextCount) {
                throw TLineError("\"" + std::string(key) + "\": texts go up to " +
                                 std::to_string(kTextCount - 1));
            }
            options.SetTexts(index, std::move(text));
        } else if (name == "FilterClasses") {
            SetListEntry(options.FilterClasses(), key, index, std::move(text));
        } else if (name == "FilterMessages") {
            SetListEntry(options.FilterMessages(), key, index, std::move(text));
        } else {
            throw TLineError("unknown key \"" + std::string(key) + "\"");
        }
        return;
    }
    for (const TKey& k : kKeys) {
        if (k.name == key) {
            if (k.kind == TKind::kText) {
                k.setText(options, Unescape(value));
            } else {
                k.setNumber(options, ParseNumber(value, k.kind));
            }
            return;
        }
    }
    throw TLineError("unknown key \"" + std::string(key) + "\"");
}

// The value as the text form writes it: line breaks, tabs and backslashes
// escaped; other control bytes, blanks at either end and lead bytes without
// a second byte as \xHH.
std::string Escape(std::string_view value) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        const auto b = static_cast<unsigned char>(c);
        if (base::IsGbkPair(value, i)) {
            out += c;
            out += value[++i];
        } else if (c == '\r' || c == '\n' || c == '\t' || c == '\\') {
            out += '\\';
            out += c == '\r' ? 'r' : c == '\n' ? 'n' : c == '\t' ? 't' : '\\';
        } else if (b < 0x20 || b == 0x7F || (b >= 0x81 && b <= 0xFE) ||
                   (c == ' ' && (i == 0 || i + 1 == value.size()))) {
            // A lead byte without its second byte too: before an escape it
            // would make a pair with the backslash.
            out += "\\x";
            out += kHex[b >> 4];
            out += kHex[b & 0xF];
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace

std::string WriteOptionsText(const TVivavaModuleOptions& options) {
    std::string text;
    auto line = [&text](std::string_view key, std::string_view value) {
        text.append(key).append("=").append(value).append("\r\n");
    };
    for (const TKey& k : kKeys) {
        line(k.name, k.kind == TKind::kText ? Escape(k.getText(options))
                                            : std::to_string(k.getNumber(options)));
    }
    const base::TStringList* lists[] = {&options.FilterClasses(), &options.FilterMessages()};
    const char* names[] = {"FilterClasses[", "FilterMessages["};
    for (int l = 0; l < 2; ++l) {
        for (int i = 0; i < lists[l]->Count(); ++i) {
            line(names[l] + std::to_string(i) + "]", Escape((*lists[l])[i]));
        }
    }
    for (int i = 0; i < kTextCount; ++i) {
        line("Texts[" + std::to_string(i) + "]", Escape(options.Texts(i)));
    }
    return text;
}

void ReadOptionsText(std::string_view text, TVivavaModuleOptions& options) {
    // Applied to a copy first: a bad line changes nothing.
    TVivavaModuleOptions read(options.ModuleName(), false);
    read.Assign(options);
    int number = 0;
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        const std::string line = base::Trim(text.substr(start, end - start));
        start = end + 1;
        ++number;
        if (line.empty() || line[0] == '#') {
            continue;
        }
        try {
            const size_t equals = line.find('=');
            if (equals == std::string::npos) {
                throw TLineError("expected Key=Value");
            }
            const std::string key = base::Trim(std::string_view(line).substr(0, equals));
            const std::string value = base::Trim(std::string_view(line).substr(equals + 1));
            ApplyLine(key, value, read);
        } catch (const TLineError& e) {
            throw base::EConvertError("Options text, line " + std::to_string(number) + ": " +
                                      e.What());
        }
    }
    options.Assign(read);
}

}  // namespace exceptions
