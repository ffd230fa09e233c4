#include "skin/data/skin_values.h"

#include <climits>
#include <cstdint>

#include "base/exception.h"

namespace skin {

namespace {

// Reads the fields of a rectangle or point: `count` fields separated by ",",
// each reduced to its decimal digits.
void ParseFields(std::string_view text, int* out, int count) {
    size_t start = 0;
    for (int i = 0; i < count; ++i) {
        if (start > text.size()) {
            ThrowInvalidInteger({});  // fewer fields than needed
        }
        size_t end = text.find(',', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        std::string digits;
        int64_t value = 0;
        bool tooLarge = false;
        for (size_t k = start; k < end; ++k) {
            const char c = text[k];
            if (c >= '0' && c <= '9') {
                digits += c;
                value = value * 10 + (c - '0');
                if (value > INT_MAX) {
                    tooLarge = true;
                    value = INT_MAX;  // keeps collecting digits for the message
                }
            }
        }
        if (digits.empty() || tooLarge) {
            ThrowInvalidInteger(digits);
        }
        out[i] = static_cast<int>(value);
        start = end + 1;
    }
}

bool Contains(std::string_view text, std::string_view word) {
    return text.find(word) != std::string_view::npos;
}

constexpr std::string_view kMorphWords[] = {"mkdefault",       "mkgradient",  "mkleftgradient",
                                            "mkrightgradient", "mkleftslide", "mkrightslide",
                                            "mkpush"};
constexpr std::string_view kCommandWords[] = {"cmclose",         "cmmaximize", "cmminimize",
                                              "cmsysmenu",       "cmdefault",  "cmrollup",
                                              "cmminimizetotray"};
constexpr std::string_view kEffectWords[] = {"iebrightness", "iedarkness",  "iegrayscale",
                                             "ienoise",      "iesplitblur", "ieinvert"};

}  // namespace

framework::TRect MakeRect(int left, int top, int right, int bottom) {
    framework::TRect r;
    r.left = left;
    r.top = top;
    r.right = right;
    r.bottom = bottom;
    return r;
}

framework::TPoint MakePoint(int x, int y) {
    framework::TPoint p;
    p.x = x;
    p.y = y;
    return p;
}

void ThrowInvalidInteger(std::string_view text) {
    throw base::EConvertError("'" + std::string(text) + "' is not a valid integer value");
}

framework::TRect ParseSkinRect(std::string_view text) {
    int v[4];
    ParseFields(text, v, 4);
    return MakeRect(v[0], v[1], v[2], v[3]);
}

framework::TPoint ParseSkinPoint(std::string_view text) {
    int v[2];
    ParseFields(text, v, 2);
    return MakePoint(v[0], v[1]);
}

TFontStyles ParseFontStyle(std::string_view text) {
    TFontStyles style = 0;
    if (Contains(text, "fsbold")) {
        style |= fsBold;
    }
    if (Contains(text, "fsitalic")) {
        style |= fsItalic;
    }
    if (Contains(text, "fsunderline")) {
        style |= fsUnderline;
    }
    if (Contains(text, "fsstrikeout")) {
        style |= fsStrikeOut;
    }
    return style;
}

TAlignment ParseAlignment(std::string_view text) {
    if (text == "tacenter") {
        return taCenter;
    }
    if (text == "taleftjustify") {
        return taLeftJustify;
    }
    return taRightJustify;
}

TMorphKind ParseMorphKind(std::string_view text) {
    for (size_t i = 0; i < std::size(kMorphWords); ++i) {
        if (text == kMorphWords[i]) {
            return static_cast<TMorphKind>(i);
        }
    }
    return mkDefault;
}

TStdCommand ParseCommand(std::string_view text) {
    // The tray word is what every unknown word selects anyway.
    for (size_t i = 0; i + 1 < std::size(kCommandWords); ++i) {
        if (text == kCommandWords[i]) {
            return static_cast<TStdCommand>(i);
        }
    }
    return cmMinimizeToTray;
}

TInactiveEffect ParseInactiveEffect(std::string_view text) {
    for (size_t i = 0; i < std::size(kEffectWords); ++i) {
        if (text == kEffectWords[i]) {
            return static_cast<TInactiveEffect>(i);
        }
    }
    return ieGrayScale;
}

std::string FormatSkinRect(const framework::TRect& r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) +
           "," + std::to_string(r.bottom);
}

std::string FormatSkinPoint(const framework::TPoint& p) {
    return std::to_string(p.x) + "," + std::to_string(p.y);
}

std::string FormatFontStyle(TFontStyles style) {
    std::string text;
    auto add = [&](TFontStyle bit, const char* word) {
        if ((style & bit) != 0) {
            if (!text.empty()) {
                text += ',';
            }
            text += word;
        }
    };
    add(fsBold, "fsbold");
    add(fsItalic, "fsitalic");
    add(fsUnderline, "fsunderline");
    add(fsStrikeOut, "fsstrikeout");
    return text;
}

std::string_view AlignmentWord(TAlignment value) {
    switch (value) {
        case taLeftJustify:
            return "taleftjustify";
        case taRightJustify:
            return "tarightjustify";
        case taCenter:
            break;
    }
    return "tacenter";
}

std::string_view MorphKindWord(TMorphKind value) {
    const auto i = static_cast<size_t>(value);
    return i < std::size(kMorphWords) ? kMorphWords[i] : kMorphWords[0];
}

std::string_view CommandWord(TStdCommand value) {
    const auto i = static_cast<size_t>(value);
    return i < std::size(kCommandWords) ? kCommandWords[i] : kCommandWords[cmMinimizeToTray];
}

std::string_view InactiveEffectWord(TInactiveEffect value) {
    const auto i = static_cast<size_t>(value);
    return i < std::size(kEffectWords) ? kEffectWords[i] : kEffectWords[0];
}

// --- reading ----------------------------------------------------------------

void TSkinValueReader::Integer(std::string_view key, int& field, int defaultValue) {
    field = ini_.ReadInteger(section_, key, defaultValue);
}

void TSkinValueReader::Color(std::string_view key, TColor& field, TColor defaultValue) {
    field = static_cast<TColor>(ini_.ReadInteger(section_, key, static_cast<int>(defaultValue)));
}

void TSkinValueReader::Flag(std::string_view key, bool& field) {
    field = ini_.ReadInteger(section_, key, 0) == 1;
}

void TSkinValueReader::Rect(std::string_view key, framework::TRect& field) {
    field = ParseSkinRect(ini_.ReadString(section_, key, "0,0,0,0"));
}

void TSkinValueReader::Point(std::string_view key, framework::TPoint& field) {
    field = ParseSkinPoint(ini_.ReadString(section_, key, "0,0"));
}

void TSkinValueReader::String(std::string_view key, std::string& field,
                              std::string_view defaultValue) {
    field = ini_.ReadString(section_, key, defaultValue);
}

void TSkinValueReader::FontStyle(std::string_view key, TFontStyles& field) {
    field = ParseFontStyle(ini_.ReadString(section_, key, ""));
}

void TSkinValueReader::Alignment(std::string_view key, TAlignment& field) {
    field = ParseAlignment(ini_.ReadString(section_, key, "tacenter"));
}

void TSkinValueReader::MorphKind(std::string_view key, TMorphKind& field) {
    field = ParseMorphKind(ini_.ReadString(section_, key, "mkdefault"));
}

void TSkinValueReader::Command(std::string_view key, TStdCommand& field) {
    field = ParseCommand(ini_.ReadString(section_, key, "cmdefault"));
}

void TSkinValueReader::Effect(std::string_view key, TInactiveEffect& field) {
    field = ParseInactiveEffect(ini_.ReadString(section_, key, "iebrightness"));
}

void TSkinValueReader::Font(std::string_view prefix, TSkinFont& font) {
    const std::string p(prefix);
    String(p + "fontname", font.name, "Arial");
    Integer(p + "fontheight", font.height, 14);
    FontStyle(p + "fontstyle", font.style);
    Color(p + "fontcolor", font.color);
}

// --- writing ----------------------------------------------------------------

void TSkinValueWriter::Integer(std::string_view key, int field, int) {
    ini_.WriteInteger(section_, key, field);
}

void TSkinValueWriter::Color(std::string_view key, TColor field, TColor) {
    ini_.WriteInteger(section_, key, static_cast<int>(field));
}

void TSkinValueWriter::Flag(std::string_view key, bool field) {
    ini_.WriteInteger(section_, key, field ? 1 : 0);
}

void TSkinValueWriter::Rect(std::string_view key, const framework::TRect& field) {
    ini_.WriteString(section_, key, FormatSkinRect(field));
}

void TSkinValueWriter::Point(std::string_view key, const framework::TPoint& field) {
    ini_.WriteString(section_, key, FormatSkinPoint(field));
}

void TSkinValueWriter::String(std::string_view key, const std::string& field, std::string_view) {
    ini_.WriteString(section_, key, field);
}

void TSkinValueWriter::FontStyle(std::string_view key, TFontStyles field) {
    ini_.WriteString(section_, key, FormatFontStyle(field));
}

void TSkinValueWriter::Alignment(std::string_view key, TAlignment field) {
    ini_.WriteString(section_, key, AlignmentWord(field));
}

void TSkinValueWriter::MorphKind(std::string_view key, TMorphKind field) {
    ini_.WriteString(section_, key, MorphKindWord(field));
}

void TSkinValueWriter::Command(std::string_view key, TStdCommand field) {
    ini_.WriteString(section_, key, CommandWord(field));
}

void TSkinValueWriter::Effect(std::string_view key, TInactiveEffect field) {
    ini_.WriteString(section_, key, InactiveEffectWord(field));
}

void TSkinValueWriter::Font(std::string_view prefix, const TSkinFont& font) {
    const std::string p(prefix);
    String(p + "fontname", font.name);
    Integer(p + "fontheight", font.height);
    FontStyle(p + "fontstyle", font.style);
    Color(p + "fontcolor", font.color);
}

}  // namespace skin
