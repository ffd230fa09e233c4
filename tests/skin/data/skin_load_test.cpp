// Unpacking stored skins: the archive layout and its damaged forms, the
// loading sequence of TbsSkinData and the notifications around it.

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/exception.h"
#include "base/zstreams.h"
#include "framework/bitmap.h"
#include "framework/component.h"
#include "skin/data/skin_archive.h"
#include "skin/data/skin_data.h"
#include "skin/data/skin_messages.h"
#include "skin/data/stored_skin.h"
#include "skin_test_support.h"

namespace skin {
namespace {

using framework::TBitmapData;
using test::MakePicture;
using test::TRecordingHook;

constexpr const char* kDescription =
    "[VERSION]\r\n"
    "skinname=test\r\n"
    "[PICTURES]\r\n"
    "picture=main.bmp\r\n"
    "[FORMINFO]\r\n"
    "clientrect=7,30,153,151\r\n"
    "[SKINOBJECTS]\r\n"
    "count=1\r\n"
    "0=close:stdbutton\r\n"
    "[close]\r\n"
    "command=cmclose\r\n"
    "[SKINCONTROLS]\r\n"
    "count=2\r\n"
    "0=button:button\r\n"
    "1=gauge:gauge\r\n"
    "[button]\r\n"
    "pictureindex=1\r\n"
    "skinrect=1,1,50,26\r\n";

// The pictures of a test skin: main, inactive and mask, and a list of three.
struct Pictures {
    TBitmapData main = MakePicture(16, 12, framework::pf24bit, 1);
    TBitmapData inactive = MakePicture(16, 12, framework::pf8bit, 2);
    TBitmapData mask = MakePicture(16, 12, framework::pf1bit, 0);
    std::vector<TBitmapData> list = {MakePicture(5, 3, framework::pf24bit, 3),
                                     MakePicture(9, 4, framework::pf8bit, 4),
                                     MakePicture(3, 7, framework::pf4bit, 5)};
};

// An archive of `version` with the test pictures; `extra` records go after
// the mask (the two of version 2), `count` is written as given.
std::string BuildArchive(int32_t version, const Pictures& p, std::string_view text,
                         int extra_records = 0, int32_t count = 3,
                         const TBitmapData* inactive = nullptr) {
    TSkinArchiveWriter w;
    w.WriteInt32(version);
    w.WritePictureRecord(&p.main);
    w.WritePictureRecord(inactive != nullptr ? inactive : &p.inactive);
    w.WritePictureRecord(&p.mask);
    for (int i = 0; i < extra_records; ++i) {
        const TBitmapData scratch = MakePicture(2, 2, framework::pf24bit, 9 + i);
        w.WritePictureRecord(&scratch);
    }
    w.WriteInt32(count);
    for (int i = 0; i < count && i < static_cast<int>(p.list.size()); ++i) {
        w.WriteImage(p.list[static_cast<size_t>(i)]);
    }
    w.WriteBytes(text);
    return w.Take();
}

class SkinLoadTest : public ::testing::Test {
  protected:
    // Loads `archive` into `data` through a fresh stored skin.
    void Load(std::string_view archive) {
        TbsCompressedStoredSkin* skin = test::StoredSkinOf(&owner, archive);
        data->LoadStoredSkin(*skin);
    }

    void ExpectTestPictures(const Pictures& p, size_t list = 3) {
        EXPECT_TRUE(data->MainPicture() == p.main);
        EXPECT_TRUE(data->InactivePicture() == p.inactive);
        EXPECT_TRUE(data->MaskPicture() == p.mask);
        ASSERT_EQ(data->PictureList().size(), list);
        for (size_t i = 0; i < list; ++i) {
            EXPECT_TRUE(*data->PictureList()[i] == p.list[i]) << i;
        }
    }

    void ExpectEmpty() {
        EXPECT_TRUE(data->SkinEmpty());
        EXPECT_TRUE(data->MainPicture().Empty());
        EXPECT_TRUE(data->InactivePicture().Empty());
        EXPECT_TRUE(data->MaskPicture().Empty());
        EXPECT_TRUE(data->PictureList().empty());
        EXPECT_TRUE(data->FrameObjects().empty());
        EXPECT_TRUE(data->ControlObjects().empty());
    }

    framework::TComponent owner{nullptr};
    TbsSkinData* data = new TbsSkinData(&owner);
    Pictures pictures;
};

TEST_F(SkinLoadTest, Version3ArchiveAndTheNotificationsAroundIt) {
    TRecordingHook hook;
    EXPECT_TRUE(data->SkinEmpty());
    Load(BuildArchive(3, pictures, kDescription));
    EXPECT_FALSE(data->SkinEmpty());
    ExpectTestPictures(pictures);
    EXPECT_EQ(data->VersionInfo().skin_name, "test");
    EXPECT_EQ(data->PictureName(), "main.bmp");
    EXPECT_EQ(data->IndexOfControlObject("gauge"), 1);
    EXPECT_EQ(data->IndexOfFrameObject("close"), 0);
    EXPECT_EQ(data->Picture(0), data->PictureList()[0].get());
    EXPECT_EQ(data->Picture(2), data->PictureList()[2].get());
    EXPECT_EQ(data->Picture(3), nullptr);
    EXPECT_EQ(data->Picture(-1), nullptr);

    EXPECT_EQ(hook.Messages(), (std::vector<uint32_t>{WM_SKINDATA_CHANGING, WM_SKINDATA_CHANGED,
                                                      WM_SKINDATA_CHANGED_MDI}));
    for (const test::TNotice& n : hook.notices) {
        EXPECT_EQ(n.owner, &owner);
        EXPECT_EQ(n.sender, data);
    }

    // A second skin replaces the first: CHANGING arrives while the old
    // objects still exist, CHANGED once the new ones are all there.
    hook.notices.clear();
    Pictures other;
    other.list.pop_back();
    Load(BuildArchive(3, other, "[SKINCONTROLS]\ncount=1\n0=only:label\n", 0, 2));
    ASSERT_EQ(hook.notices.size(), 3u);
    EXPECT_EQ(hook.notices[0].message, WM_SKINDATA_CHANGING);
    EXPECT_TRUE(hook.notices[0].skin_empty);
    EXPECT_EQ(hook.notices[0].control_objects, 2u);
    EXPECT_EQ(hook.notices[0].pictures, 3u);
    EXPECT_EQ(hook.notices[1].message, WM_SKINDATA_CHANGED);
    EXPECT_FALSE(hook.notices[1].skin_empty);
    EXPECT_EQ(hook.notices[1].control_objects, 1u);
    EXPECT_EQ(hook.notices[1].pictures, 2u);
    EXPECT_EQ(hook.notices[2].message, WM_SKINDATA_CHANGED_MDI);
    EXPECT_EQ(data->IndexOfControlObject("button"), -1);
    // The names of the old skin's pictures went with it.
    EXPECT_EQ(data->PictureName(), "");
}

TEST_F(SkinLoadTest, EmptyStoreChangesNothingAndSendsNothing) {
    TRecordingHook hook;
    TbsCompressedStoredSkin empty(nullptr);
    EXPECT_TRUE(empty.IsStoreEmpty());
    data->LoadStoredSkin(empty);
    EXPECT_TRUE(data->SkinEmpty());
    EXPECT_TRUE(hook.notices.empty());

    Load(BuildArchive(3, pictures, kDescription));
    hook.notices.clear();
    data->LoadStoredSkin(empty);
    EXPECT_FALSE(data->SkinEmpty());
    EXPECT_EQ(data->ControlObjects().size(), 2u);
    EXPECT_TRUE(hook.notices.empty());
}

TEST_F(SkinLoadTest, Version2ReadsTwoExtraRecordsLikeVersion3) {
    Load(BuildArchive(2, pictures, kDescription, 2));
    ExpectTestPictures(pictures);
    EXPECT_EQ(data->ControlObjects().size(), 2u);
    EXPECT_EQ(data->VersionInfo().skin_name, "test");

    // Older and negative versions are read like version 3.
    for (int32_t version : {1, 0, -7}) {
        Load(BuildArchive(version, pictures, kDescription));
        ExpectTestPictures(pictures);
        EXPECT_EQ(data->ControlObjects().size(), 2u) << version;
    }
    // The extra records of version 2 may be empty ones.
    TSkinArchiveWriter w;
    w.WriteInt32(2);
    w.WritePictureRecord(&pictures.main);
    w.WritePictureRecord(nullptr);
    w.WritePictureRecord(nullptr);
    w.WritePictureRecord(nullptr);
    w.WritePictureRecord(&pictures.mask);  // thrown away
    w.WriteInt32(1);
    w.WriteImage(pictures.list[0]);
    w.WriteBytes("[VERSION]\nskinname=v2\n");
    Load(w.Bytes());
    EXPECT_TRUE(data->MaskPicture().Empty());
    EXPECT_EQ(data->PictureList().size(), 1u);
    EXPECT_EQ(data->VersionInfo().skin_name, "v2");
}

TEST_F(SkinLoadTest, CountsOfZeroAndBelowGiveNoPictureList) {
    for (int32_t count : {0, -1, -2147483647 - 1}) {
        SCOPED_TRACE(count);
        Load(
            BuildArchive(3, pictures, "[VERSION]\r\nskinname=right after the count\r\n", 0, count));
        EXPECT_FALSE(data->SkinEmpty());
        EXPECT_TRUE(data->PictureList().empty());
        EXPECT_TRUE(data->MainPicture() == pictures.main);
        EXPECT_EQ(data->VersionInfo().skin_name, "right after the count");
    }
}

TEST_F(SkinLoadTest, AnEmptyRecordIsOneFlagByte) {
    // Flag 1 for the inactive picture: the mask record starts at the next byte.
    TSkinArchiveWriter w;
    w.WriteInt32(3);
    w.WritePictureRecord(&pictures.main);
    w.WriteBytes("\x01");
    w.WritePictureRecord(&pictures.mask);
    w.WriteInt32(0);
    w.WriteBytes(kDescription);
    Load(w.Bytes());
    EXPECT_TRUE(data->MainPicture() == pictures.main);
    EXPECT_TRUE(data->InactivePicture().Empty());
    EXPECT_TRUE(data->MaskPicture() == pictures.mask);
    EXPECT_EQ(data->ControlObjects().size(), 2u);

    // Every non-zero flag means the same; all three records may be empty.
    TSkinArchiveWriter all;
    all.WriteInt32(3);
    all.WriteBytes("\x02\xFF\x80");
    all.WriteInt32(1);
    all.WriteImage(pictures.list[1]);
    all.WriteBytes(kDescription);
    Load(all.Bytes());
    EXPECT_FALSE(data->SkinEmpty());
    EXPECT_TRUE(data->MainPicture().Empty());
    EXPECT_TRUE(data->InactivePicture().Empty());
    EXPECT_TRUE(data->MaskPicture().Empty());
    ASSERT_EQ(data->PictureList().size(), 1u);
    EXPECT_TRUE(*data->PictureList()[0] == pictures.list[1]);
}

TEST_F(SkinLoadTest, AVersionAbove3LeavesTheSkinDataEmpty) {
    Load(BuildArchive(3, pictures, kDescription));
    TRecordingHook hook;
    for (int32_t version : {4, 1000}) {
        hook.notices.clear();
        Load(BuildArchive(version, pictures, kDescription));
        ExpectEmpty();
        EXPECT_EQ(hook.Messages(), (std::vector<uint32_t>{WM_SKINDATA_CHANGING}));
    }
}

TEST_F(SkinLoadTest, DescriptionLinesEndInAnyOfTheThreeWays) {
    Load(BuildArchive(3, pictures,
                      "skinname=before any section\r\n"
                      "[VERSION]\rskinname= cr \r"
                      "skinauthor=lf\n"
                      "; authoremail=comment\r\n"
                      "\r\n"
                      "  [ SKINCONTROLS ]  \n"
                      "COUNT=1\r\n"
                      "0 = label1:label \r\n"
                      "[LABEL1]\n"
                      "FontHeight=\t20\n"
                      "fontheight=30\n"
                      "[version]\n"
                      "authorurl=last line without an end",
                      0, 0));
    EXPECT_EQ(data->VersionInfo().skin_name, "cr");
    EXPECT_EQ(data->VersionInfo().skin_author, "lf");
    EXPECT_EQ(data->VersionInfo().author_email, "");
    EXPECT_EQ(data->VersionInfo().author_url, "last line without an end");
    auto* label = dynamic_cast<TbsDataSkinLabelControl*>(data->ControlObject(0));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->name, "label1");
    EXPECT_EQ(label->font.height, 20);
}

TEST_F(SkinLoadTest, TrailingBytesAfterTheZlibStreamAreIgnored) {
    const std::string archive = BuildArchive(3, pictures, kDescription);
    TbsCompressedStoredSkin skin(nullptr);
    skin.SetCompressedData(base::ZCompress(archive, 9) + "trailing garbage");
    data->LoadStoredSkin(skin);
    ExpectTestPictures(pictures);
    EXPECT_EQ(data->ControlObjects().size(), 2u);

    base::TMemoryStream out;
    skin.Decompress(out);
    EXPECT_EQ(out.ToString(), archive);
    // Decompress appends.
    skin.Decompress(out);
    EXPECT_EQ(out.ToString(), archive + archive);
}

TEST_F(SkinLoadTest, CorruptCompressedDataRaisesAndLeavesTheSkinDataEmpty) {
    const std::string packed = base::ZCompress(BuildArchive(3, pictures, kDescription), 9);
    std::string flipped = packed;
    flipped[packed.size() / 2] = static_cast<char>(flipped[packed.size() / 2] ^ 0x55);
    const std::string inputs[] = {
        "not zlib at all",
        packed.substr(0, packed.size() / 2),  // ends inside the stream
        packed.substr(0, packed.size() - 1),  // one trailer byte short
        flipped,
    };
    for (const std::string& input : inputs) {
        Load(BuildArchive(3, pictures, kDescription));
        TRecordingHook hook;
        TbsCompressedStoredSkin skin(nullptr);
        skin.SetCompressedData(input);
        try {
            data->LoadStoredSkin(skin);
            ADD_FAILURE() << "no error";
        } catch (const base::EDecompressionError& e) {
            EXPECT_EQ(e.Message(), "compression error");
        }
        ExpectEmpty();
        EXPECT_EQ(hook.Messages(), (std::vector<uint32_t>{WM_SKINDATA_CHANGING}));
    }
}

TEST_F(SkinLoadTest, AnImageThatIsNotABitmapRaises) {
    Load(BuildArchive(3, pictures, kDescription));
    TSkinArchiveWriter w;
    w.WriteInt32(3);
    w.WritePictureRecord(&pictures.main);
    w.WriteBytes(std::string("\0XM", 3) + std::string(100, '\0'));
    TRecordingHook hook;
    EXPECT_THROW(Load(w.Bytes()), framework::EInvalidGraphic);
    ExpectEmpty();
    EXPECT_EQ(hook.Messages(), (std::vector<uint32_t>{WM_SKINDATA_CHANGING}));

    // In the picture list too, and for a "BM" whose headers are nonsense.
    std::string bad_header = pictures.list[0].SaveToBytes();
    bad_header[14] = 99;  // info header size
    TSkinArchiveWriter list;
    list.WriteInt32(3);
    list.WriteBytes("\x01\x01\x01");
    list.WriteInt32(2);
    list.WriteImage(pictures.list[0]);
    list.WriteBytes(bad_header);
    list.WriteBytes(kDescription);
    EXPECT_THROW(Load(list.Bytes()), framework::EInvalidGraphic);
    ExpectEmpty();
}

TEST_F(SkinLoadTest, AMalformedDescriptionValueRaisesAndLeavesTheSkinDataEmpty) {
    TRecordingHook hook;
    try {
        Load(BuildArchive(3, pictures, "[SKINCONTROLS]\ncount=1\n0=b:button\n[b]\nskinrect=1,2\n"));
        ADD_FAILURE() << "no error";
    } catch (const base::EConvertError& e) {
        EXPECT_EQ(e.Message(), "'' is not a valid integer value");
    }
    ExpectEmpty();
    EXPECT_EQ(hook.Messages(), (std::vector<uint32_t>{WM_SKINDATA_CHANGING}));
}

// Every way an archive can end before its description: cut a complete archive
// after each of its bytes. The reader reads nothing past the end (the
// sanitizers watch) and keeps only what was complete: each picture whole or
// absent, the list a prefix of the whole list.
TEST(SkinArchiveTest, AnArchiveThatEndsEarlyIsReadAsFarAsItIsComplete) {
    const Pictures pictures;
    const std::string full = BuildArchive(3, pictures, kDescription);
    const size_t description_start = full.size() - std::string_view(kDescription).size();
    for (size_t cut = 0; cut <= description_start; ++cut) {
        SCOPED_TRACE(cut);
        base::TMemoryStream archive;
        archive.Assign(std::string_view(full).substr(0, cut));
        TSkinArchiveContent content;
        EXPECT_EQ(ReadSkinArchive(archive, content), cut >= 4);
        // Cut right after the picture list, the data ends where the
        // description starts: nothing of it is there either.
        EXPECT_TRUE(content.ended_early || cut == description_start);
        EXPECT_TRUE(content.description.empty());
        const TBitmapData* whole[] = {&pictures.main, &pictures.inactive, &pictures.mask};
        const TBitmapData* got[] = {&content.main_picture, &content.inactive_picture,
                                    &content.mask_picture};
        bool absent_before = false;
        for (int i = 0; i < 3; ++i) {
            EXPECT_TRUE(got[i]->Empty() || *got[i] == *whole[i]) << i;
            EXPECT_FALSE(absent_before && !got[i]->Empty()) << i;
            absent_before = absent_before || got[i]->Empty();
        }
        ASSERT_LE(content.pictures.size(), pictures.list.size());
        for (size_t i = 0; i < content.pictures.size(); ++i) {
            EXPECT_TRUE(*content.pictures[i] == pictures.list[i]);
        }
    }
}

// A skin without its description would have no geometry at all: an archive
// whose data ends before the description is damaged, like a damaged zlib
// stream, and leaves the skin data empty with an error.
TEST_F(SkinLoadTest, AnArchiveThatEndsBeforeItsDescriptionRaisesAndLeavesTheSkinDataEmpty) {
    const std::string full = BuildArchive(3, pictures, kDescription);
    const size_t description_start = full.size() - std::string_view(kDescription).size();
    std::vector<std::string> archives;
    for (size_t cut = 0; cut <= description_start; ++cut) {
        archives.push_back(full.substr(0, cut));
    }
    // A count larger than the images that follow, and nothing after them.
    archives.push_back(BuildArchive(3, pictures, "", 0, 2147483647));
    for (const std::string& archive : archives) {
        SCOPED_TRACE(archive.size());
        Load(full);
        TRecordingHook hook;
        try {
            Load(archive);
            ADD_FAILURE() << "no error";
        } catch (const base::EReadError& e) {
            EXPECT_EQ(e.Message(), "Skin archive ends before its description");
        }
        ExpectEmpty();
        EXPECT_EQ(hook.Messages(), (std::vector<uint32_t>{WM_SKINDATA_CHANGING}));
    }
    // A cut inside the description reads the lines that are there.
    Load(std::string_view(full).substr(0, full.find("[SKINCONTROLS]")));
    EXPECT_FALSE(data->SkinEmpty());
    EXPECT_EQ(data->VersionInfo().skin_name, "test");
    EXPECT_EQ(data->FrameObjects().size(), 1u);
    EXPECT_TRUE(data->ControlObjects().empty());
}

TEST(SkinArchiveTest, AHugeCountReadsOnlyTheImagesThatAreThere) {
    const Pictures pictures;
    base::TMemoryStream archive;
    archive.Assign(BuildArchive(3, pictures, "", 0, 2147483647));
    TSkinArchiveContent content;
    ASSERT_TRUE(ReadSkinArchive(archive, content));
    EXPECT_TRUE(content.ended_early);
    ASSERT_EQ(content.pictures.size(), pictures.list.size());
    for (size_t i = 0; i < content.pictures.size(); ++i) {
        EXPECT_TRUE(*content.pictures[i] == pictures.list[i]);
    }
}

TEST_F(SkinLoadTest, ClearSkinEmptiesEverythingAndSendsNothing) {
    Load(BuildArchive(3, pictures, std::string(kDescription) + "[PICTURES]\r\nmask=m.bmp\r\n"));
    TRecordingHook hook;
    data->ClearSkin();
    ExpectEmpty();
    EXPECT_EQ(data->PictureName(), "");
    EXPECT_EQ(data->MaskPictureName(), "");
    EXPECT_TRUE(hook.notices.empty());
    // The form information is left for the next load to overwrite.
    EXPECT_EQ(data->FormInfo().client_rect.right, 153);
}

// A receiver of a notification may throw anything. CHANGING comes before
// anything is discarded: a throw there abandons the load and leaves the skin
// data as it was, whole, with SkinEmpty telling the truth about it (receivers
// after the thrower still hold references into it). A throw from CHANGED
// comes after the new skin is complete.
TEST_F(SkinLoadTest, AReceiverThatThrowsLeavesTheSkinDataConsistent) {
    struct Case {
        const char* name;
        bool loaded_before;
        uint32_t throws_on;
        bool rethrow_any;  // throw an int instead of a std::exception
    };
    const Case cases[] = {
        {"changing, over a loaded skin", true, WM_SKINDATA_CHANGING, false},
        {"changing, anything thrown", true, WM_SKINDATA_CHANGING, true},
        {"changing, first load", false, WM_SKINDATA_CHANGING, false},
        {"changed", true, WM_SKINDATA_CHANGED, false},
    };
    Pictures other;
    other.list.pop_back();
    const std::string second =
        BuildArchive(3, other, "[SKINCONTROLS]\ncount=1\n0=only:label\n", 0, 2);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        data = new TbsSkinData(&owner);
        if (c.loaded_before) {
            Load(BuildArchive(3, pictures, kDescription));
        }
        TRecordingHook hook;
        hook.on_notice = [&](const test::TNotice& n) {
            if (n.message == c.throws_on) {
                if (c.rethrow_any) {
                    throw 7;
                }
                throw std::runtime_error("receiver failed");
            }
        };
        EXPECT_ANY_THROW(Load(second));
        if (c.throws_on == WM_SKINDATA_CHANGED) {
            // The new skin is there and complete.
            EXPECT_FALSE(data->SkinEmpty());
            EXPECT_EQ(data->ControlObjects().size(), 1u);
            EXPECT_EQ(data->PictureList().size(), 2u);
            continue;
        }
        EXPECT_EQ(hook.Messages(), (std::vector<uint32_t>{WM_SKINDATA_CHANGING}));
        if (c.loaded_before) {
            EXPECT_FALSE(data->SkinEmpty());
            ExpectTestPictures(pictures);
            EXPECT_EQ(data->ControlObjects().size(), 2u);
            EXPECT_EQ(data->FrameObjects().size(), 1u);
        } else {
            ExpectEmpty();
        }
        // The next load goes through as usual.
        hook.on_notice = nullptr;
        hook.notices.clear();
        Load(second);
        EXPECT_FALSE(data->SkinEmpty());
        EXPECT_EQ(data->ControlObjects().size(), 1u);
        EXPECT_EQ(hook.Messages().size(), 3u);
    }
}

// --- the published references --------------------------------------------------------

TEST_F(SkinLoadTest, SettingTheStoredSkinLoadsItOutsideDesignTime) {
    TRecordingHook hook;
    auto* skin = test::StoredSkinOf(&owner, BuildArchive(3, pictures, kDescription));
    data->SetCompressedStoredSkin(skin);
    EXPECT_EQ(data->CompressedStoredSkin(), skin);
    EXPECT_FALSE(data->SkinEmpty());
    EXPECT_EQ(hook.notices.size(), 3u);

    // Setting the same skin again loads it again.
    data->SetCompressedStoredSkin(skin);
    EXPECT_EQ(hook.notices.size(), 6u);

    // Null: only the reference changes.
    data->SetCompressedStoredSkin(nullptr);
    EXPECT_EQ(data->CompressedStoredSkin(), nullptr);
    EXPECT_FALSE(data->SkinEmpty());
    EXPECT_EQ(hook.notices.size(), 6u);

    // While designing the reference is only stored.
    TbsSkinData designed(nullptr);
    designed.SetDesigning(true);
    designed.SetCompressedStoredSkin(skin);
    EXPECT_EQ(designed.CompressedStoredSkin(), skin);
    EXPECT_TRUE(designed.SkinEmpty());
    EXPECT_EQ(hook.notices.size(), 6u);
}

TEST_F(SkinLoadTest, DestroyedReferencesBecomeNullAndTheSkinStays) {
    auto* skin = test::StoredSkinOf(&owner, BuildArchive(3, pictures, kDescription));
    auto* strings = new TbsResourceStrData(&owner);
    data->SetCompressedStoredSkin(skin);
    data->SetResourceStrData(strings);
    delete skin;
    EXPECT_EQ(data->CompressedStoredSkin(), nullptr);
    EXPECT_FALSE(data->SkinEmpty());
    EXPECT_EQ(data->ControlObjects().size(), 2u);
    delete strings;
    EXPECT_EQ(data->ResourceStrData(), nullptr);

    // A replaced reference is no longer watched: deleting the old one leaves
    // the new one alone.
    auto* a = test::StoredSkinOf(&owner, BuildArchive(3, pictures, kDescription));
    auto* b = test::StoredSkinOf(&owner, BuildArchive(3, pictures, kDescription));
    data->SetCompressedStoredSkin(a);
    data->SetCompressedStoredSkin(b);
    delete a;
    EXPECT_EQ(data->CompressedStoredSkin(), b);
}

TEST_F(SkinLoadTest, SettingTheStringTableAnnouncesIt) {
    TRecordingHook hook;
    auto* strings = new TbsResourceStrData(&owner);
    data->SetResourceStrData(strings);
    EXPECT_EQ(data->ResourceStrData(), strings);
    data->SetResourceStrData(nullptr);
    EXPECT_EQ(hook.Messages(),
              (std::vector<uint32_t>{WM_SKIN_STRINGS_CHANGED, WM_SKIN_STRINGS_CHANGED}));
    EXPECT_EQ(hook.notices[1].sender, data);

    data->SetDesigning(true);
    data->SetResourceStrData(strings);
    EXPECT_EQ(hook.notices.size(), 2u);
    EXPECT_EQ(data->ResourceStrData(), strings);
}

TEST_F(SkinLoadTest, WithoutAHookNothingIsSent) {
    const TSkinBroadcastHook previous = SetSkinBroadcastHook(nullptr);
    Load(BuildArchive(3, pictures, kDescription));
    EXPECT_FALSE(data->SkinEmpty());
    SetSkinBroadcastHook(previous);

    // A receiver of CHANGING must be able to drop its references safely: the
    // objects it held are still alive during the call.
    TRecordingHook hook;
    const TbsDataSkinControl* held = data->ControlObject(0);
    std::string seen;
    hook.on_notice = [&](const test::TNotice& n) {
        if (n.message == WM_SKINDATA_CHANGING && held != nullptr) {
            seen = held->name;  // still valid here
            held = nullptr;
        }
    };
    Load(BuildArchive(3, pictures, kDescription));
    EXPECT_EQ(seen, "button");
}

}  // namespace
}  // namespace skin
