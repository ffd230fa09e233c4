#include "skin/data/skin_values.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "base/exception.h"
#include "framework/ini.h"

namespace skin {
namespace {

std::string RectText(const TRect& r) {
    return FormatSkinRect(r);
}

std::string ConvertErrorOf(std::string_view text, int fields) {
    try {
        if (fields == 4) {
            ParseSkinRect(text);
        } else {
            ParseSkinPoint(text);
        }
    } catch (const base::EConvertError& e) {
        return e.Message();
    }
    return "(no error)";
}

TEST(SkinValuesTest, RectanglesKeepOnlyDigits) {
    const TRect r = ParseSkinRect("1,1,50,26");
    EXPECT_EQ(r.left, 1);
    EXPECT_EQ(r.top, 1);
    EXPECT_EQ(r.right, 50);
    EXPECT_EQ(r.bottom, 26);
    EXPECT_EQ(r.Width(), 49);
    EXPECT_EQ(r.Height(), 25);
    EXPECT_EQ(RectText(ParseSkinRect(" 1 , 1 ,\t50,  26 ")), "1,1,50,26");
    // A minus sign vanishes: no coordinate is ever negative.
    EXPECT_EQ(RectText(ParseSkinRect("-5,2,-3,4")), "5,2,3,4");
    // Everything that is not a digit goes, wherever it is.
    EXPECT_EQ(RectText(ParseSkinRect("$1F,0x10,1e3,+7")), "1,10,13,7");
    EXPECT_EQ(RectText(ParseSkinRect("007,0,0,2147483647")), "7,0,0,2147483647");
    // Fields after the fourth are not looked at.
    EXPECT_EQ(RectText(ParseSkinRect("1,2,3,4,x,,")), "1,2,3,4");
    // Right below left is kept as read; such a rectangle is empty.
    const TRect backwards = ParseSkinRect("50,0,10,30");
    EXPECT_EQ(backwards.right, 10);
    EXPECT_TRUE(backwards.IsEmpty());
    EXPECT_TRUE(ParseSkinRect("0,0,0,0").IsEmpty());
    EXPECT_TRUE(ParseSkinRect("3,3,4,3").IsEmpty());
    EXPECT_FALSE(ParseSkinRect("3,3,4,4").IsEmpty());

    const TPoint p = ParseSkinPoint(" 8 , -10");
    EXPECT_EQ(p.x, 8);
    EXPECT_EQ(p.y, 10);
    EXPECT_EQ(FormatSkinPoint(ParseSkinPoint("39,10,99")), "39,10");
}

TEST(SkinValuesTest, MalformedRectanglesAndPointsRaiseTheConversionError) {
    // Too few fields: the missing field has no digits.
    EXPECT_EQ(ConvertErrorOf("1,2,3", 4), "'' is not a valid integer value");
    EXPECT_EQ(ConvertErrorOf("", 4), "'' is not a valid integer value");
    EXPECT_EQ(ConvertErrorOf("7", 2), "'' is not a valid integer value");
    // A field without digits.
    EXPECT_EQ(ConvertErrorOf("1,,3,4", 4), "'' is not a valid integer value");
    EXPECT_EQ(ConvertErrorOf("1,2,3, - ", 4), "'' is not a valid integer value");
    EXPECT_EQ(ConvertErrorOf("x,5", 2), "'' is not a valid integer value");
    // Digits too large for an integer: the message holds the digits kept.
    EXPECT_EQ(ConvertErrorOf("1,2,3,2147483648", 4), "'2147483648' is not a valid integer value");
    EXPECT_EQ(ConvertErrorOf("-99 999 999 999,1", 2), "'99999999999' is not a valid integer value");
    EXPECT_EQ(ConvertErrorOf("1,2", 2), "(no error)");
}

TEST(SkinValuesTest, FontStylesAreCaseSensitiveContainment) {
    EXPECT_EQ(ParseFontStyle("fsbold"), fsBold);
    EXPECT_EQ(ParseFontStyle("fsBold"), 0);
    EXPECT_EQ(ParseFontStyle("fsbold,fsunderline"), fsBold | fsUnderline);
    EXPECT_EQ(ParseFontStyle("[fsitalic fsstrikeout]"), fsItalic | fsStrikeOut);
    EXPECT_EQ(ParseFontStyle("xfsboldx;fsitalic"), fsBold | fsItalic);
    EXPECT_EQ(ParseFontStyle(""), 0);
    EXPECT_EQ(FormatFontStyle(fsStrikeOut | fsBold | fsUnderline | fsItalic),
              "fsbold,fsitalic,fsunderline,fsstrikeout");
    EXPECT_EQ(FormatFontStyle(fsUnderline | fsBold), "fsbold,fsunderline");
    EXPECT_EQ(FormatFontStyle(0), "");
    for (int style = 0; style < 16; ++style) {
        EXPECT_EQ(ParseFontStyle(FormatFontStyle(static_cast<TFontStyles>(style))), style);
    }
}

TEST(SkinValuesTest, EnumerationWords) {
    EXPECT_EQ(ParseAlignment("tacenter"), taCenter);
    EXPECT_EQ(ParseAlignment("taleftjustify"), taLeftJustify);
    EXPECT_EQ(ParseAlignment("tarightjustify"), taRightJustify);
    // Everything else is right: "center" and a capital letter included.
    EXPECT_EQ(ParseAlignment("center"), taRightJustify);
    EXPECT_EQ(ParseAlignment("taCenter"), taRightJustify);
    EXPECT_EQ(ParseAlignment(""), taRightJustify);

    EXPECT_EQ(ParseCommand("cmclose"), cmClose);
    EXPECT_EQ(ParseCommand("cmClose"), cmMinimizeToTray);
    EXPECT_EQ(ParseCommand("cmrollup"), cmRollUp);
    EXPECT_EQ(ParseCommand("cmdefault"), cmDefault);
    EXPECT_EQ(ParseCommand("cmminimizetotray"), cmMinimizeToTray);
    EXPECT_EQ(ParseCommand(""), cmMinimizeToTray);

    EXPECT_EQ(ParseMorphKind("mkpush"), mkPush);
    EXPECT_EQ(ParseMorphKind("mkrightslide"), mkRightSlide);
    EXPECT_EQ(ParseMorphKind("mkPush"), mkDefault);
    EXPECT_EQ(ParseMorphKind("gradient"), mkDefault);

    EXPECT_EQ(ParseInactiveEffect("iebrightness"), ieBrightness);
    EXPECT_EQ(ParseInactiveEffect("ieinvert"), ieInvert);
    EXPECT_EQ(ParseInactiveEffect("iesplitblur"), ieSplitBlur);
    EXPECT_EQ(ParseInactiveEffect("ieBrightness"), ieGrayScale);
    EXPECT_EQ(ParseInactiveEffect(""), ieGrayScale);

    // Every value is written as a word that reads back as that value.
    for (TAlignment a : {taLeftJustify, taRightJustify, taCenter}) {
        EXPECT_EQ(ParseAlignment(AlignmentWord(a)), a);
    }
    for (int c = cmClose; c <= cmMinimizeToTray; ++c) {
        EXPECT_EQ(ParseCommand(CommandWord(static_cast<TStdCommand>(c))), c);
    }
    for (int m = mkDefault; m <= mkPush; ++m) {
        EXPECT_EQ(ParseMorphKind(MorphKindWord(static_cast<TMorphKind>(m))), m);
    }
    for (int e = ieBrightness; e <= ieInvert; ++e) {
        EXPECT_EQ(ParseInactiveEffect(InactiveEffectWord(static_cast<TInactiveEffect>(e))), e);
    }
    EXPECT_EQ(CommandWord(cmMinimizeToTray), "cmminimizetotray");
}

TEST(SkinValuesTest, ReaderAppliesDefaultsAndFlagRule) {
    framework::TMemIniFile ini;
    ini.LoadFromText(
        "[obj]\n"
        "one=1\ntwo=2\nword=true\nminus=-1\nhex=$10\ncolor=0x00FF8000\n"
        "align=center\nrect= 2 , 3 ,4 ,5\nempty=\nbad=12a\n");
    TSkinValueReader r(ini, "OBJ");
    bool flag = true;
    r.Flag("one", flag);
    EXPECT_TRUE(flag);
    r.Flag("two", flag);
    EXPECT_FALSE(flag);
    flag = true;
    r.Flag("word", flag);
    EXPECT_FALSE(flag);
    flag = true;
    r.Flag("minus", flag);
    EXPECT_FALSE(flag);
    flag = true;
    r.Flag("missing", flag);
    EXPECT_FALSE(flag);

    int n = 0;
    r.Integer("hex", n, -1);
    EXPECT_EQ(n, 16);
    r.Integer("bad", n, -1);
    EXPECT_EQ(n, -1);
    r.Integer("empty", n, 7);
    EXPECT_EQ(n, 7);
    r.Integer("MINUS", n, 0);
    EXPECT_EQ(n, -1);

    TColor color = 1;
    r.Color("color", color);
    EXPECT_EQ(color, 0x00FF8000u);
    r.Color("nocolor", color, 0xFF0000);
    EXPECT_EQ(color, 0xFF0000u);

    TAlignment alignment = taLeftJustify;
    r.Alignment("align", alignment);
    EXPECT_EQ(alignment, taRightJustify);
    r.Alignment("noalign", alignment);
    EXPECT_EQ(alignment, taCenter);

    TInactiveEffect effect = ieInvert;
    r.Effect("noeffect", effect);
    EXPECT_EQ(effect, ieBrightness);
    r.Effect("align", effect);
    EXPECT_EQ(effect, ieGrayScale);

    TStdCommand command = cmClose;
    r.Command("nocommand", command);
    EXPECT_EQ(command, cmDefault);

    TRect rect = MakeRect(9, 9, 9, 9);
    r.Rect("rect", rect);
    EXPECT_EQ(RectText(rect), "2,3,4,5");
    r.Rect("norect", rect);
    EXPECT_EQ(RectText(rect), "0,0,0,0");
    // A key that is present but empty is a malformed rectangle.
    EXPECT_THROW(r.Rect("empty", rect), base::EConvertError);

    TSkinFont font;
    font.name = "x";
    font.height = 1;
    font.style = fsBold;
    font.color = 5;
    r.Font("caption", font);
    EXPECT_EQ(font.name, "Arial");
    EXPECT_EQ(font.height, 14);
    EXPECT_EQ(font.style, 0);
    EXPECT_EQ(font.color, 0u);
}

TEST(SkinValuesTest, WriterWritesWhatTheReaderReadsBack) {
    framework::TMemIniFile ini;
    TSkinValueWriter w(ini, "o");
    w.Flag("f", true);
    w.Flag("g", false);
    w.Color("c", 0xFFFFFFFFu);
    w.Rect("r", MakeRect(0, 7, INT_MAX, 3));
    w.Point("p", MakePoint(4, 0));
    w.FontStyle("s", fsItalic | fsStrikeOut);
    w.Command("cmd", cmMinimizeToTray);
    TSkinFont font;
    font.name = "\xCB\xCE\xCC\xE5";  // GBK
    font.height = -12;
    font.style = fsBold;
    font.color = 0x123456;
    w.Font("fixed", font);

    EXPECT_EQ(ini.ToText(),
              "[o]\r\nf=1\r\ng=0\r\nc=-1\r\nr=0,7,2147483647,3\r\np=4,0\r\n"
              "s=fsitalic,fsstrikeout\r\ncmd=cmminimizetotray\r\n"
              "fixedfontname=\xCB\xCE\xCC\xE5\r\nfixedfontheight=-12\r\n"
              "fixedfontstyle=fsbold\r\nfixedfontcolor=1193046\r\n");

    framework::TMemIniFile back;
    back.LoadFromText(ini.ToText());
    TSkinValueReader r(back, "o");
    TColor c = 0;
    r.Color("c", c);
    EXPECT_EQ(c, 0xFFFFFFFFu);
    TSkinFont read;
    r.Font("fixed", read);
    EXPECT_EQ(read.name, font.name);
    EXPECT_EQ(read.height, -12);
    EXPECT_EQ(read.style, fsBold);
    EXPECT_EQ(read.color, 0x123456u);
}

}  // namespace
}  // namespace skin
