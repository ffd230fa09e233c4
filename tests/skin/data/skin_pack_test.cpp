// Packing a skin folder into a stored skin, compressed skin files, and the
// skin components in window definitions.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "base/base64.h"
#include "base/exception.h"
#include "base/zstreams.h"
#include "framework/bitmap.h"
#include "framework/component.h"
#include "framework/definition.h"
#include "framework/ini.h"
#include "skin/data/skin_archive.h"
#include "skin/data/skin_classes.h"
#include "skin/data/skin_data.h"
#include "skin/data/stored_skin.h"
#include "skin_test_support.h"

namespace skin {
namespace {

namespace fs = std::filesystem;
using framework::TBitmapData;
using test::MakePicture;

void WriteFile(const fs::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << path;
}

// A folder of its own under the temporary folder, removed afterwards.
class TempFolder {
  public:
    TempFolder() {
        std::random_device random;
        path_ = fs::temp_directory_path() / ("skin_data_test_" + std::to_string(random()));
        fs::create_directories(path_);
    }
    ~TempFolder() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    const fs::path& Path() const { return path_; }
    // The path of a file in the folder as the program's 8-bit text.
    std::string File(const std::string& name) const { return (path_ / name).string(); }

  private:
    fs::path path_;
};

// The description of the packed test skin. Every value is in the form Save
// writes, so the objects write back exactly these lines.
constexpr const char* kSkinIni =
    "[VERSION]\r\n"
    "skinname=pack test\r\n"
    "skinauthor=tests\r\n"
    "\r\n"
    "[PICTURES]\r\n"
    "picture=\xD6\xF7\xCD\xBC.bmp\r\n"  // GBK file name
    "inactivepicture=\r\n"
    "mask=mask.bmp\r\n"
    "activepicturescount=3\r\n"
    "0=buttons.bmp\r\n"
    "1=sub\\gauge.bmp\r\n"
    "2=rle.bmp\r\n"
    "\r\n"
    "[FORMINFO]\r\n"
    "lefttoppoint=7,30\r\n"
    "righttoppoint=153,30\r\n"
    "leftbottompoint=7,151\r\n"
    "rightbottompoint=153,151\r\n"
    "clientrect=7,30,153,151\r\n"
    "bgpictureindex=-1\r\n"
    "mdibgpictureindex=-1\r\n"
    "leftstretch=0\r\n"
    "rightstretch=0\r\n"
    "topstretch=1\r\n"
    "bottomstretch=0\r\n"
    "maskrectarea=0,0,161,159\r\n"
    "hittestlefttoppoint=7,30\r\n"
    "hittestrighttoppoint=153,30\r\n"
    "hittestleftbottompoint=7,151\r\n"
    "hittestrightbottompoint=153,151\r\n"
    "buttonsrect=120,5,155,25\r\n"
    "captionrect=5,5,120,25\r\n"
    "buttonsoffset=2\r\n"
    "buttonsinleft=0\r\n"
    "mainmenupopupup=0\r\n"
    "borderwidth=3\r\n"
    "autorenderinginactiveimage=1\r\n"
    "inactiveeffect=iedarkness\r\n"
    "\r\n"
    "[SKINOBJECTS]\r\n"
    "count=1\r\n"
    "0=close:stdbutton\r\n"
    "\r\n"
    "[close]\r\n"
    "hint=\xB9\xD8\xB1\xD5\r\n"
    "activepictureindex=0\r\n"
    "skinrectinapicture=0\r\n"
    "skinrect=135,8,151,24\r\n"
    "activeskinrect=0,0,16,16\r\n"
    "inactiveskinrect=0,0,0,0\r\n"
    "morphing=1\r\n"
    "morphkind=mkgradient\r\n"
    "downrect=16,0,32,16\r\n"
    "disableskinrsect=0,0,0,0\r\n"
    "command=cmclose\r\n"
    "restorerect=0,0,0,0\r\n"
    "restoreactiverect=0,0,0,0\r\n"
    "restoredownrect=0,0,0,0\r\n"
    "restoreinactiverect=0,0,0,0\r\n"
    "\r\n"
    "[SKINCONTROLS]\r\n"
    "count=2\r\n"
    "0=button:button\r\n"
    "1=gauge:gauge\r\n"
    "\r\n"
    "[button]\r\n"
    "pictureindex=0\r\n"
    "maskpictureindex=-1\r\n"
    "skinrect=1,1,50,26\r\n"
    "lefttoppoint=8,10\r\n"
    "righttoppoint=39,10\r\n"
    "leftbottompoint=0,0\r\n"
    "rightbottompoint=0,0\r\n"
    "clientrect=4,4,45,21\r\n"
    "fontname=Arial\r\n"
    "fontheight=14\r\n"
    "fontstyle=fsbold\r\n"
    "fontcolor=0\r\n"
    "activefontcolor=16777215\r\n"
    "downfontcolor=255\r\n"
    "disabledfontcolor=8421504\r\n"
    "activeskinrect=1,27,50,52\r\n"
    "downskinrect=1,53,50,78\r\n"
    "disabledskinrect=0,0,0,0\r\n"
    "morphing=0\r\n"
    "morphkind=mkdefault\r\n"
    "\r\n"
    "[gauge]\r\n"
    "pictureindex=1\r\n"
    "maskpictureindex=-1\r\n"
    "skinrect=28,32,65,51\r\n"
    "lefttoppoint=5,6\r\n"
    "righttoppoint=32,9\r\n"
    "leftbottompoint=0,0\r\n"
    "rightbottompoint=0,0\r\n"
    "clientrect=0,0,0,0\r\n"
    "progressarea=2,2,34,16\r\n"
    "progressrect=2,32,23,46\r\n"
    "beginoffset=5\r\n"
    "endoffset=5\r\n"
    "vertical=0\r\n"
    "fontname=Arial\r\n"
    "fontheight=14\r\n"
    "fontstyle=\r\n"
    "fontcolor=0\r\n"
    "progresstransparent=0\r\n"
    "progresstransparentcolor=0\r\n";

// The section `name` of `ini` as text.
std::string SectionText(const framework::TMemIniFile& ini, const std::string& name) {
    framework::TMemIniFile one;
    for (const std::string& key : ini.ReadSection(name)) {
        one.WriteString(name, key, ini.ReadString(name, key, ""));
    }
    return one.ToText();
}

class SkinPackTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::create_directories(folder.Path() / "sub");
        WriteFile(folder.Path() / fs::path(u8"主图.bmp"), main.SaveToBytes());
        WriteFile(folder.Path() / "mask.bmp", mask.SaveToBytes());
        WriteFile(folder.Path() / "buttons.bmp", buttons.SaveToBytes());
        WriteFile(folder.Path() / "sub" / "gauge.bmp", gauge.SaveToBytes());
        WriteFile(folder.Path() / "rle.bmp", rle.SaveToBytes(framework::bcRle8));
        WriteFile(folder.Path() / "skin.ini", kSkinIni);
    }

    TempFolder folder;
    TBitmapData main = MakePicture(161, 159, framework::pf24bit, 1);
    TBitmapData mask = MakePicture(161, 159, framework::pf1bit, 0);
    TBitmapData buttons = MakePicture(51, 80, framework::pf8bit, 3);
    TBitmapData gauge = MakePicture(66, 52, framework::pf24bit, 4);
    TBitmapData rle = MakePicture(20, 10, framework::pf8bit, 5);
};

TEST_F(SkinPackTest, PackLoadAndSaveGiveBackTheDescription) {
    TbsCompressedStoredSkin skin(nullptr);
    skin.PackSkinFolder(folder.File("skin.ini"));
    ASSERT_FALSE(skin.IsStoreEmpty());

    // One zlib stream at level 9 (header 0x78 0xDA) holding a version-3
    // archive whose text is the description's lines, each ended by CR LF.
    const std::string_view packed = skin.CompressedData();
    EXPECT_EQ(static_cast<unsigned char>(packed[0]), 0x78);
    EXPECT_EQ(static_cast<unsigned char>(packed[1]), 0xDA);
    const std::string archive = base::ZDecompress(packed);
    EXPECT_EQ(archive.substr(0, 4), std::string("\x03\x00\x00\x00", 4));
    EXPECT_TRUE(archive.ends_with(kSkinIni));

    TbsSkinData data(nullptr);
    data.LoadStoredSkin(skin);
    ASSERT_FALSE(data.SkinEmpty());
    EXPECT_TRUE(data.MainPicture() == main);
    EXPECT_TRUE(data.InactivePicture().Empty());
    EXPECT_TRUE(data.MaskPicture() == mask);
    ASSERT_EQ(data.PictureList().size(), 3u);
    EXPECT_TRUE(*data.Picture(0) == buttons);
    EXPECT_TRUE(*data.Picture(1) == gauge);
    EXPECT_TRUE(*data.Picture(2) == rle);
    EXPECT_EQ(data.VersionInfo().skin_name, "pack test");
    EXPECT_EQ(data.PictureName(), "\xD6\xF7\xCD\xBC.bmp");
    EXPECT_EQ(data.ActivePictureNames(),
              (std::vector<std::string>{"buttons.bmp", "sub\\gauge.bmp", "rle.bmp"}));

    // Every object writes back its section as the description has it.
    framework::TMemIniFile original;
    original.LoadFromText(kSkinIni);
    framework::TMemIniFile saved;
    data.FormInfo().Save(saved);
    EXPECT_EQ(SectionText(saved, "FORMINFO"), SectionText(original, "FORMINFO"));
    for (const auto& object : data.FrameObjects()) {
        object->Save(saved);
        EXPECT_EQ(SectionText(saved, object->name), SectionText(original, object->name));
    }
    ASSERT_EQ(data.ControlObjects().size(), 2u);
    for (const auto& object : data.ControlObjects()) {
        object->Save(saved);
        EXPECT_EQ(SectionText(saved, object->name), SectionText(original, object->name));
    }
}

TEST_F(SkinPackTest, AFolderThatCannotBePackedKeepsTheOldSkin) {
    TbsCompressedStoredSkin skin(nullptr);
    skin.SetCompressedData("old bytes");

    // A description without one of the five sections: nothing happens.
    for (const char* section :
         {"[VERSION]", "[PICTURES]", "[FORMINFO]", "[SKINOBJECTS]", "[SKINCONTROLS]"}) {
        std::string text = kSkinIni;
        text.replace(text.find(section), 2, "[x");
        WriteFile(folder.Path() / "partial.ini", text);
        skin.PackSkinFolder(folder.File("partial.ini"));
        EXPECT_EQ(skin.CompressedData(), "old bytes") << section;
    }

    // A picture that is missing or not a bitmap raises; the old bytes stay.
    std::string text = kSkinIni;
    text.replace(text.find("rle.bmp"), 7, "nope.bmp");
    WriteFile(folder.Path() / "missing.ini", text);
    EXPECT_THROW(skin.PackSkinFolder(folder.File("missing.ini")), base::EStreamError);
    EXPECT_EQ(skin.CompressedData(), "old bytes");

    // A list entry without a name.
    text = kSkinIni;
    text.replace(text.find("activepicturescount=3"), 21, "activepicturescount=4");
    WriteFile(folder.Path() / "short.ini", text);
    EXPECT_THROW(skin.PackSkinFolder(folder.File("short.ini")), base::EStreamError);
    EXPECT_EQ(skin.CompressedData(), "old bytes");

    WriteFile(folder.Path() / "rle.bmp", "not a bitmap");
    EXPECT_THROW(skin.PackSkinFolder(folder.File("skin.ini")), framework::EInvalidGraphic);
    EXPECT_EQ(skin.CompressedData(), "old bytes");

    EXPECT_THROW(skin.PackSkinFolder(folder.File("no such.ini")), base::EStreamError);
    EXPECT_THROW(skin.PackSkinFolder(folder.Path().string()), base::EStreamError);
    EXPECT_EQ(skin.CompressedData(), "old bytes");
}

TEST_F(SkinPackTest, FileNamePacksOnlyWhileDesigning) {
    TbsCompressedStoredSkin skin(nullptr);
    const std::string path = folder.File("skin.ini");
    skin.SetFileName(path);
    EXPECT_EQ(skin.FileName(), path);
    EXPECT_TRUE(skin.IsStoreEmpty());

    skin.SetDesigning(true);
    skin.SetLoading(true);
    skin.SetFileName(path);
    EXPECT_TRUE(skin.IsStoreEmpty());
    skin.SetLoading(false);

    skin.SetFileName(path);
    EXPECT_EQ(skin.FileName(), "skin.ini");
    EXPECT_FALSE(skin.IsStoreEmpty());
}

TEST_F(SkinPackTest, CompressedSkinFiles) {
    const std::string packed = base::ZCompress("archive bytes", 9);
    auto file = [&](int32_t version, int32_t length, std::string_view bytes) {
        return test::Int32Bytes(version) + test::Int32Bytes(length) + std::string(bytes);
    };
    TbsCompressedStoredSkin skin(nullptr);

    WriteFile(folder.Path() / "a.skn", file(3, static_cast<int32_t>(packed.size()), packed) + "x");
    skin.LoadCompressedFile(folder.File("a.skn"));
    EXPECT_EQ(skin.CompressedData(), packed);

    // Version above 3: cleared, nothing read.
    WriteFile(folder.Path() / "b.skn", file(4, static_cast<int32_t>(packed.size()), packed));
    skin.LoadCompressedFile(folder.File("b.skn"));
    EXPECT_TRUE(skin.IsStoreEmpty());

    // Shorter than its length, or too short for the fields: an error, and
    // the stream stays cleared.
    for (const std::string& bytes :
         {file(3, 1000, packed), std::string("\x03\x00", 2), file(2, 0, "").substr(0, 6)}) {
        skin.SetCompressedData(packed);
        WriteFile(folder.Path() / "c.skn", bytes);
        EXPECT_THROW(skin.LoadCompressedFile(folder.File("c.skn")), base::EStreamError);
        EXPECT_TRUE(skin.IsStoreEmpty());
    }
    skin.SetCompressedData(packed);
    WriteFile(folder.Path() / "d.skn", file(1, -5, packed));
    skin.LoadCompressedFile(folder.File("d.skn"));
    EXPECT_TRUE(skin.IsStoreEmpty());

    // The property loads only while designing and keeps the file-name part.
    skin.SetCompressedFileName(folder.File("a.skn"));
    EXPECT_TRUE(skin.IsStoreEmpty());
    skin.SetDesigning(true);
    skin.SetCompressedFileName(folder.File("a.skn"));
    EXPECT_EQ(skin.CompressedFileName(), "a.skn");
    EXPECT_EQ(skin.CompressedData(), packed);
}

TEST(SkinFilePathTest, FileNameAndFolderParts) {
    EXPECT_EQ(ExtractSkinFileName("C:\\skins\\yellow\\skin.ini"), "skin.ini");
    EXPECT_EQ(ExtractSkinFilePath("C:\\skins\\yellow\\skin.ini"), "C:\\skins\\yellow\\");
    EXPECT_EQ(ExtractSkinFilePath("/tmp/a/skin.ini"), "/tmp/a/");
    EXPECT_EQ(ExtractSkinFileName("C:skin.ini"), "skin.ini");
    EXPECT_EQ(ExtractSkinFilePath("skin.ini"), "");
    // A GBK character whose second byte is "\" does not end a folder name.
    EXPECT_EQ(ExtractSkinFileName("d\\\x95\x5C.ini"), "\x95\x5C.ini");
    EXPECT_EQ(ExtractSkinFilePath("d\\\x95\x5C\\x.ini"), "d\\\x95\x5C\\");
}

// --- window definitions -------------------------------------------------------------------

class TTestRoot : public framework::TComponent {
  public:
    using TComponent::TComponent;
};

framework::TClassRegistry Registry() {
    framework::TClassRegistry registry;
    registry.RegisterClass<TTestRoot>("TTestRoot", "");
    RegisterSkinDataClasses(registry);
    return registry;
}

TEST(SkinDefinitionTest, TheSkinDataUnpacksTheStoredSkinItNames) {
    TSkinArchiveWriter archive;
    archive.WriteInt32(3);
    archive.WriteBytes("\x01\x01\x01");
    archive.WriteInt32(0);
    archive.WriteBytes(
        "[SKINCONTROLS]\r\ncount=1\r\n0=gauge:gauge\r\n[gauge]\r\nskinrect=0,0,37,19\r\n");
    const std::string data64 = base::Base64(base::ZCompress(archive.Bytes(), 9));
    // The skin data comes before the stored skin it names: the reference is
    // set once every object is read.
    const std::string text =
        "object Form1: TTestRoot\n"
        "  object bsSkinData1: TbsSkinData\n"
        "    CompressedStoredSkin = yellow\n"
        "    ResourceStrData = strings1\n"
        "  end\n"
        "  object yellow: TbsCompressedStoredSkin\n"
        "    Description = \"the skin in use\"\n"
        "    FileName = \"skin.ini\"\n"
        "    CompressedFileName = \"C:\\\\nowhere\\\\yellow.skn\"\n"
        "    CompressedData = data(\"" +
        data64 +
        "\")\n"
        "  end\n"
        "  object strings1: TbsResourceStrData\n"
        "    ResStrings = (\"MSG_BTN_OK=\xE5\xA5\xBD\", \"X=y\")\n"
        "    CharSet = GB2312_CHARSET\n"
        "  end\n"
        "end\n";
    test::TRecordingHook hook;
    std::unique_ptr<framework::TComponent> root(
        framework::CreateFromDefinition(text, Registry(), nullptr));
    auto* data = dynamic_cast<TbsSkinData*>(root->FindComponent("bsSkinData1"));
    auto* yellow = dynamic_cast<TbsCompressedStoredSkin*>(root->FindComponent("yellow"));
    auto* strings = dynamic_cast<TbsResourceStrData*>(root->FindComponent("strings1"));
    ASSERT_NE(data, nullptr);
    ASSERT_NE(yellow, nullptr);
    ASSERT_NE(strings, nullptr);
    EXPECT_EQ(data->CompressedStoredSkin(), yellow);
    EXPECT_EQ(data->ResourceStrData(), strings);
    EXPECT_FALSE(data->SkinEmpty());
    EXPECT_EQ(data->IndexOfControlObject("gauge"), 0);
    EXPECT_EQ(yellow->Description(), "the skin in use");
    EXPECT_EQ(yellow->FileName(), "skin.ini");
    EXPECT_EQ(yellow->CompressedFileName(), "C:\\nowhere\\yellow.skn");
    EXPECT_EQ(strings->Lookup("msg_btn_ok"), "\xBA\xC3");  // UTF-8 in, GBK out
    EXPECT_EQ(strings->ResStrings().Count(), 2);
    EXPECT_EQ(strings->CharSet(), 134);
    ASSERT_EQ(hook.Messages(),
              (std::vector<uint32_t>{WM_SKINDATA_CHANGING, WM_SKINDATA_CHANGED,
                                     WM_SKINDATA_CHANGED_MDI, WM_SKIN_STRINGS_CHANGED}));
    EXPECT_EQ(hook.notices[1].owner, root.get());
}

TEST(SkinDefinitionTest, ACorruptStoredSkinFailsTheDefinition) {
    const std::string text =
        "object Form1: TTestRoot\n"
        "  object yellow: TbsCompressedStoredSkin\n"
        "    CompressedData = data(\"" +
        base::Base64("not zlib") +
        "\")\n"
        "  end\n"
        "  object bsSkinData1: TbsSkinData\n"
        "    CompressedStoredSkin = yellow\n"
        "  end\n"
        "end\n";
    try {
        delete framework::CreateFromDefinition(text, Registry(), nullptr);
        FAIL() << "no error";
    } catch (const framework::EDefinitionError& e) {
        EXPECT_EQ(
            e.Message(),
            "line 6: object bsSkinData1: property \"CompressedStoredSkin\": compression error");
    }
    // A reference to a component of another class.
    const std::string wrong =
        "object Form1: TTestRoot\n"
        "  object strings1: TbsResourceStrData\n"
        "  end\n"
        "  object bsSkinData1: TbsSkinData\n"
        "    CompressedStoredSkin = strings1\n"
        "  end\n"
        "end\n";
    EXPECT_THROW(delete framework::CreateFromDefinition(wrong, Registry(), nullptr),
                 framework::EDefinitionError);
}

}  // namespace
}  // namespace skin
