#pragma once

// Test fixtures: options streams of every format version, written here from
// the layout of the format, and the stored options of an object by name.

#include <map>
#include <string>
#include <string_view>

#include "base/streams.h"
#include "exceptions/options.h"
#include "exceptions/options_text.h"
#include "exceptions/scramble.h"

namespace exceptions::testing {

enum class Kind { kByte, kWord, kLong, kText };

// One field of the stream, in stream order: present in formats `from` and
// later, with a value of this fixture that differs from the default.
struct Slot {
    const char* name;
    Kind kind;
    int from;
    uint32_t number;
    const char* text;
};

inline const Slot kLayout[] = {
    {"ReservedSwitch", Kind::kByte, 0, 0, nullptr},
    {"FilterActive", Kind::kByte, 0, 0, nullptr},
    {"ReportFlags", Kind::kByte, 0, 3, nullptr},
    {"ShowReport", Kind::kByte, 0, 0, nullptr},
    {"LogInBody", Kind::kByte, 0, 1, nullptr},
    {"SendWholeLog", Kind::kByte, 450, 1, nullptr},
    {"AttachScreenshot", Kind::kByte, 450, 1, nullptr},
    {"ShowMailProgress", Kind::kByte, 450, 0, nullptr},
    {"KeepLogFile", Kind::kByte, 401, 0, nullptr},
    {"StartTab", Kind::kByte, 401, 2, nullptr},
    {"FancyLook", Kind::kByte, 403, 0, nullptr},
    {"FreezeWatch", Kind::kByte, 420, 1, nullptr},
    {"FreezeSeconds", Kind::kLong, 420, 75, nullptr},
    {"FreezeText", Kind::kText, 420, 0, "程序没有响应。"},
    {"MailSender", Kind::kText, 450, 0, "from@example.net"},
    {"MailServer", Kind::kText, 420, 0, "mx.example.net"},
    {"MailPort", Kind::kWord, 450, 0xA55A, nullptr},
    {"MailUser", Kind::kText, 421, 0, "who"},
    {"MailPassword", Kind::kText, 421, 0,
     "pass\xA7"
     "x"},  // the key byte itself
    {"QuitRestarts", Kind::kByte, 421, 0, nullptr},
    {"ShowQuitButton", Kind::kByte, 0, 0, nullptr},
    {"LogCapacity", Kind::kLong, 0, 0x80000001u, nullptr},
    {"QuitButtonAfter", Kind::kLong, 0, 0xFFFFFFFEu, nullptr},
    {"MailRecipients", Kind::kText, 0, 0, "to@example.net;cc@example.net"},
    {"MailSubject", Kind::kText, 0, 0, "升级程序错误"},
    {"DeliveryMode", Kind::kByte, 0, 3, nullptr},
    {"LogFieldMask", Kind::kLong, 0, 0x00400001, nullptr},
    {"LogLocation", Kind::kText, 0, 0, "D:/logs/"},
};

inline const char* const kFilters[][2] = {{"EAbort", ""}, {"EFrozenApplication", "冻结"}};
inline const char kMailBody[] = "body text";

inline bool TextInFormat(int i, int version) {
    const bool missing_before_450 = (i >= 8 && i <= 11) || (i >= 16 && i <= 18) || i == 23 ||
                                    i == 37 || i == 45 || i == 47 || i == 48 || i > 52;
    return !(version < 450 && missing_before_450) && !(version < 420 && i == 15) &&
           !(version <= 420 && i == 14);
}

inline std::string FixtureText(int i) {
    return "文本 " + std::to_string(i);
}

// The stream of format `version` holding the fixture's values. `raw` gives
// a slot's bytes instead (no conversion for the format); `huge_length` names
// the string (or "FilterPairs": the count) stored with length 0xFFFFFFFF.
inline std::string LegacyStream(int version, const std::map<std::string, uint32_t>& raw = {},
                                const std::string& huge_length = "") {
    std::string out;
    auto put = [&out](uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) {
            out += static_cast<char>(v >> (8 * i));
        }
    };
    auto text = [&](const std::string& name, std::string s) {
        put(name == huge_length ? 0xFFFFFFFFu : static_cast<uint32_t>(s.size()), 4);
        Scramble(s);
        out += s;
    };
    for (const Slot& slot : kLayout) {
        const std::string name = slot.name;
        if (version < slot.from) {
            continue;
        }
        uint32_t number = slot.number;
        if (name == "ShowReport" && version < 450) {
            number = !number;  // stored inverted
        }
        if (name == "FreezeSeconds" && version < 422) {
            number *= 1000;  // stored in milliseconds
        }
        number = raw.contains(name) ? raw.at(name) : number;
        if (slot.kind == Kind::kText) {
            text(name, slot.text);
        } else {
            put(number, slot.kind == Kind::kByte ? 1 : slot.kind == Kind::kWord ? 2 : 4);
        }
        if (name == "LogFieldMask" && version < 450) {
            put(0xEE, 1);  // a byte of no meaning
        }
    }
    put(huge_length == "FilterPairs" ? 0xFFFFFFFFu : 2, 4);
    for (const auto& pair : kFilters) {
        text("FilterClasses", pair[0]);
        text("FilterMessages", pair[1]);
    }
    text("MailBody", kMailBody);
    for (int i = 0; i < kTextCount; ++i) {
        if (TextInFormat(i, version)) {
            text("Texts", FixtureText(i));
        }
    }
    return out;
}

inline void Load(TVivavaModuleOptions& o, std::string_view bytes, uint16_t version = 454) {
    base::TMemoryStream stream;
    stream.Assign(bytes);
    o.LoadFromStream(stream, version);
}

// Every stored field away from its default.
inline void SetEveryField(TVivavaModuleOptions& o) {
    Load(o, LegacyStream(454));
}

// Name -> value (as the text form writes it) of every stored field.
inline std::map<std::string, std::string> StoredFields(const TVivavaModuleOptions& o) {
    std::map<std::string, std::string> fields;
    const std::string text = WriteOptionsText(o);
    for (size_t at = 0; at < text.size();) {
        const size_t equals = text.find('=', at), end = text.find("\r\n", at);
        fields[text.substr(at, equals - at)] = text.substr(equals + 1, end - equals - 1);
        at = end + 2;
    }
    return fields;
}

}  // namespace exceptions::testing
