#include "framework/ini.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/streams.h"

namespace framework {
namespace {

using Keys = std::vector<std::string>;

TEST(MemIniFileTest, LineRules) {
    TMemIniFile ini;
    ini.LoadFromText(
        "orphan=before any section\r\n"
        "  [ Main ]  \r\n"
        "\t name = value with = signs \x01\r\n"
        "; a comment=not a key\n"
        "   ;indented comment=no\n"
        "\n"
        "no equals sign here\n"
        "empty=\n"
        "=no key\n"
        "[unclosed=section line\r"
        "[Second]\r"
        "x=1\r\n"
        "[]\n"
        "blank section=yes");

    EXPECT_EQ(ini.ReadSections(), (Keys{"Main", "Second", ""}));
    EXPECT_EQ(ini.ReadSection("main"), (Keys{"name", "empty", "", "[unclosed"}));
    EXPECT_EQ(ini.ReadString("Main", "name", "-"), "value with = signs");
    EXPECT_EQ(ini.ReadString("Main", "empty", "-"), "");
    EXPECT_TRUE(ini.ValueExists("Main", "empty"));
    EXPECT_EQ(ini.ReadString("Main", "", "-"), "no key");
    EXPECT_EQ(ini.ReadString("Main", "[unclosed", "-"), "section line");
    EXPECT_FALSE(ini.ValueExists("Main", "no equals sign here"));
    EXPECT_FALSE(ini.ValueExists("Main", "; a comment"));
    EXPECT_FALSE(ini.ValueExists("Main", "orphan"));
    EXPECT_EQ(ini.ReadString("Second", "x", "-"), "1");
    EXPECT_EQ(ini.ReadString("", "blank section", "-"), "yes");
    EXPECT_EQ(ini.ReadString("Missing", "x", "fallback"), "fallback");
    EXPECT_EQ(ini.ReadString("Second", "y", "fallback"), "fallback");
}

TEST(MemIniFileTest, NamesIgnoreAsciiCaseAndFirstDuplicateWins) {
    TMemIniFile ini;
    ini.LoadFromText(
        "[Skin]\n"
        "Width=10\n"
        "WIDTH=20\n"
        "[skin]\n"
        "width=30\n"
        "Height=5\n"
        "[\xC9\xFD\xBC\xB6]\n"  // GBK section name
        "\x81\x61=lower trail byte\n"
        "\x81\x41=upper trail byte\n");
    EXPECT_EQ(ini.ReadSections(), (Keys{"Skin", "\xC9\xFD\xBC\xB6"}));
    EXPECT_EQ(ini.ReadInteger("SKIN", "width", 0), 10);
    EXPECT_EQ(ini.ReadSection("Skin"), (Keys{"Width", "Height"}));
    EXPECT_EQ(ini.ReadInteger("skin", "height", 0), 5);
    // The trail byte of a double-byte character is not folded.
    EXPECT_EQ(ini.ReadString("\xC9\xFD\xBC\xB6", "\x81\x61", ""), "lower trail byte");
    EXPECT_EQ(ini.ReadString("\xC9\xFD\xBC\xB6", "\x81\x41", ""), "upper trail byte");
}

TEST(MemIniFileTest, ReadIntegerAndBool) {
    TMemIniFile ini;
    ini.LoadFromText(
        "[n]\n"
        "dec=42\nplus=+7\nneg=-13\nmin=-2147483648\nmax=2147483647\n"
        "over=2147483648\nunder=-2147483649\nhuge=99999999999999999999\n"
        "dollar=$1F\nhex=0x7fffffff\nupper=0XAB\nallf=$FFFFFFFF\nnine=$123456789\n"
        "bad=12a\nspace=1 2\nsign=-\nprefix=$\nzx=0x\nnegdollar=-$10\nempty=\n"
        "one=1\nzero=0\ntwo=2\nword=yes\n");
    EXPECT_EQ(ini.ReadInteger("n", "dec", -1), 42);
    EXPECT_EQ(ini.ReadInteger("n", "plus", -1), 7);
    EXPECT_EQ(ini.ReadInteger("n", "neg", -1), -13);
    EXPECT_EQ(ini.ReadInteger("n", "min", -1), INT32_MIN);
    EXPECT_EQ(ini.ReadInteger("n", "max", -1), INT32_MAX);
    EXPECT_EQ(ini.ReadInteger("n", "dollar", -1), 31);
    EXPECT_EQ(ini.ReadInteger("n", "hex", -1), INT32_MAX);
    EXPECT_EQ(ini.ReadInteger("n", "upper", -1), 171);
    EXPECT_EQ(ini.ReadInteger("n", "allf", 0), -1);
    for (const char* key : {"over", "under", "huge", "nine", "bad", "space", "sign", "prefix", "zx",
                            "negdollar", "empty", "word", "missing"}) {
        EXPECT_EQ(ini.ReadInteger("n", key, 555), 555) << key;
    }
    EXPECT_TRUE(ini.ReadBool("n", "one", false));
    EXPECT_TRUE(ini.ReadBool("n", "two", false));
    EXPECT_FALSE(ini.ReadBool("n", "zero", true));
    EXPECT_TRUE(ini.ReadBool("n", "word", true));
    EXPECT_FALSE(ini.ReadBool("n", "word", false));
    EXPECT_TRUE(ini.ReadBool("n", "missing", true));
}

TEST(MemIniFileTest, WritingAndText) {
    TMemIniFile ini;
    ini.LoadFromText("[A]\nk1=v1\nk2=v2\n[B]\nx=y\n");
    ini.WriteString("a", "K1", "changed");  // keeps the stored spelling of the key
    ini.WriteInteger("A", "n", -5);
    ini.WriteBool("C", "flag", true);
    ini.WriteBool("C", "off", false);
    EXPECT_EQ(ini.ToText(),
              "[A]\r\nk1=changed\r\nk2=v2\r\nn=-5\r\n"
              "\r\n[B]\r\nx=y\r\n"
              "\r\n[C]\r\nflag=1\r\noff=0\r\n");
    EXPECT_EQ(ini.ReadInteger("A", "n", 0), -5);

    ini.DeleteKey("A", "K2");
    ini.DeleteKey("A", "absent");
    ini.DeleteKey("Absent", "k1");
    ini.EraseSection("b");
    ini.EraseSection("absent");
    EXPECT_FALSE(ini.SectionExists("B"));
    EXPECT_TRUE(ini.SectionExists("c"));
    EXPECT_EQ(ini.ToText(), "[A]\r\nk1=changed\r\nn=-5\r\n\r\n[C]\r\nflag=1\r\noff=0\r\n");

    // What ToText writes reads back the same.
    TMemIniFile copy;
    copy.LoadFromText(ini.ToText());
    EXPECT_EQ(copy.ToText(), ini.ToText());

    ini.Clear();
    EXPECT_EQ(ini.ToText(), "");
    EXPECT_TRUE(ini.ReadSections().empty());
}

TEST(MemIniFileTest, StreamsReadFromThePositionToTheEnd) {
    base::TMemoryStream stream;
    stream.Assign("junk[S]\nkey = value\n");
    stream.SetPosition(4);
    TMemIniFile ini;
    ini.LoadFromStream(stream);
    EXPECT_EQ(ini.ReadString("S", "key", ""), "value");
    EXPECT_EQ(stream.Position(), stream.Size());

    base::TMemoryStream out;
    out.WriteBuffer("prefix:");
    ini.SaveToStream(out);
    EXPECT_EQ(out.ToString(), "prefix:[S]\r\nkey=value\r\n");

    // A stream at its end gives an empty file.
    ini.LoadFromStream(stream);
    EXPECT_TRUE(ini.ReadSections().empty());
}

}  // namespace
}  // namespace framework
