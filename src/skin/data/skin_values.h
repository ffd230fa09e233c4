#pragma once

// The value encodings of a skin description and the readers and writers that
// the description objects use for their keys.
//
// A description is INI text held in a framework::TMemIniFile (its text rules:
// lines end at CR LF, CR or LF and are trimmed, ";" starts a comment,
// "[section]", "key=value", names match without regard to ASCII case; of two
// equal keys in a section the first wins, and a section that occurs twice is
// read as one). On top of it:
//
//   integer    decimal with an optional sign, or hexadecimal after "$" or
//              "0x"; anything else gives the key's default
//   colour     an integer holding 0x00BBGGRR
//   flag       true only for the integer 1 (2, "true", text: false)
//   rectangle  "left,top,right,bottom": split at every ","; every character of
//              a field that is not a decimal digit is dropped, so blanks and
//              minus signs vanish and no field is ever negative. Fewer than
//              four fields, a field without a digit or a field too large for
//              an int raise base::EConvertError
//              "'DIGITS' is not a valid integer value" (DIGITS: the digits kept
//              from the failing field, empty for a missing field). Fields after
//              the fourth are ignored.
//   point      "x,y", read like a rectangle with two fields
//   font style containment of "fsbold", "fsitalic", "fsunderline" and
//              "fsstrikeout" (case-sensitive; separators do not matter)
//   words      alignment, morph kind, command, effect: exact, case-sensitive
//              words; see each parser for what an unknown word gives
//
// What a reader of the decoded values may rely on:
//   - rectangle and point coordinates are 0..INT_MAX as read, never clamped:
//     right may be below left (the rectangle is then empty), and any value may
//     lie outside every picture, so code that copies pixels intersects with
//     its picture first. Width() and Height() of such a rectangle cannot
//     overflow;
//   - integers (picture indexes, offsets, font heights, counts) are any int;
//   - colours are any 32-bit pattern.

#include <cstdint>
#include <string>
#include <string_view>

#include "framework/bitmap.h"
#include "framework/geometry.h"
#include "framework/ini.h"
#include "skin/data/effect.h"

namespace skin {

using framework::TColor;
using framework::TPoint;
using framework::TRect;

framework::TRect MakeRect(int left, int top, int right, int bottom);
framework::TPoint MakePoint(int x, int y);

// Font styles as a set of bits.
using TFontStyles = uint8_t;
enum TFontStyle : uint8_t {
    fsBold = 1 << 0,
    fsItalic = 1 << 1,
    fsUnderline = 1 << 2,
    fsStrikeOut = 1 << 3,
};

using framework::TAlignment;
using enum framework::TAlignment;

// What a caption button or an animation does when clicked.
enum TStdCommand {
    cmClose,
    cmMaximize,
    cmMinimize,
    cmSysMenu,
    cmDefault,
    cmRollUp,
    cmMinimizeToTray
};

// The effect that derives the inactive frame picture from the active one.
enum TInactiveEffect { ieBrightness, ieDarkness, ieGrayScale, ieNoise, ieSplitBlur, ieInvert };

// A font as the skin describes it; the Win32 side makes a platform font of it.
struct TSkinFont {
    std::string name = "Arial";
    int height = 14;
    TFontStyles style = 0;
    TColor color = 0;  // 0x00BBGGRR
    // The platform character set; the skin does not give one, so it is the
    // default set (1) unless a string table supplies another.
    uint8_t charset = 1;
};

// The conversion error of the description: "'TEXT' is not a valid integer value".
[[noreturn]] void ThrowInvalidInteger(std::string_view text);

// Value parsers (see the table above).
framework::TRect ParseSkinRect(std::string_view text);
framework::TPoint ParseSkinPoint(std::string_view text);
TFontStyles ParseFontStyle(std::string_view text);
// "tacenter": centre; "taleftjustify": left; any other text: right.
TAlignment ParseAlignment(std::string_view text);
// An unknown word gives mkDefault.
TMorphKind ParseMorphKind(std::string_view text);
// An unknown word gives cmMinimizeToTray.
TStdCommand ParseCommand(std::string_view text);
// An unknown word gives ieGrayScale.
TInactiveEffect ParseInactiveEffect(std::string_view text);

// Writers: the text that the parsers read back to the same value.
std::string FormatSkinRect(const framework::TRect& r);
std::string FormatSkinPoint(const framework::TPoint& p);
// The words joined by "," in the order fsbold, fsitalic, fsunderline,
// fsstrikeout; empty for no style.
std::string FormatFontStyle(TFontStyles style);
std::string_view AlignmentWord(TAlignment value);
std::string_view MorphKindWord(TMorphKind value);
// cmMinimizeToTray is written "cmminimizetotray".
std::string_view CommandWord(TStdCommand value);
std::string_view InactiveEffectWord(TInactiveEffect value);

// Reads keys of one section into fields; a missing key gives the default.
// Every method has a twin of the same name in TSkinValueWriter, so that one
// list of keys serves both the Load and the Save of an object.
class TSkinValueReader {
  public:
    TSkinValueReader(const framework::TMemIniFile& ini, std::string_view section)
        : ini_(ini), section_(section) {}

    void Integer(std::string_view key, int& field, int defaultValue);
    void Color(std::string_view key, TColor& field, TColor defaultValue = 0);
    void Flag(std::string_view key, bool& field);
    void Rect(std::string_view key, framework::TRect& field);
    void Point(std::string_view key, framework::TPoint& field);
    void String(std::string_view key, std::string& field, std::string_view defaultValue);
    void FontStyle(std::string_view key, TFontStyles& field);
    void Alignment(std::string_view key, TAlignment& field);
    void MorphKind(std::string_view key, TMorphKind& field);
    void Command(std::string_view key, TStdCommand& field);
    void Effect(std::string_view key, TInactiveEffect& field);
    // PREFIX + "fontname" ("Arial"), "fontheight" (14), "fontstyle" and
    // "fontcolor" (0), in this order. The character set is left alone.
    void Font(std::string_view prefix, TSkinFont& font);

  private:
    const framework::TMemIniFile& ini_;
    std::string_view section_;
};

// Writes fields as keys of one section, in the encodings the reader reads.
class TSkinValueWriter {
  public:
    TSkinValueWriter(framework::TMemIniFile& ini, std::string_view section)
        : ini_(ini), section_(section) {}

    void Integer(std::string_view key, int field, int defaultValue = 0);
    void Color(std::string_view key, TColor field, TColor defaultValue = 0);
    void Flag(std::string_view key, bool field);
    void Rect(std::string_view key, const framework::TRect& field);
    void Point(std::string_view key, const framework::TPoint& field);
    void String(std::string_view key, const std::string& field, std::string_view defaultValue = {});
    void FontStyle(std::string_view key, TFontStyles field);
    void Alignment(std::string_view key, TAlignment field);
    void MorphKind(std::string_view key, TMorphKind field);
    void Command(std::string_view key, TStdCommand field);
    void Effect(std::string_view key, TInactiveEffect field);
    void Font(std::string_view prefix, const TSkinFont& font);

  private:
    framework::TMemIniFile& ini_;
    std::string_view section_;
};

}  // namespace skin
