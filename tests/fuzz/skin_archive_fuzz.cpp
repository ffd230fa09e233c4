// libFuzzer target: arbitrary bytes as a skin archive inside a stored skin.
//
// The first byte chooses how the rest reaches TbsSkinData::LoadStoredSkin:
//   mode & 3 == 0: compressed at level 0 (stored blocks: the archive bytes
//                  pass through zlib unchanged)
//              1: compressed at level 6
//              2: compressed, with the bytes "xyz" after the zlib stream
//              3: compressed, with the last (mode >> 2) + 1 bytes cut off
// Errors the loading raises (base::Exception) are expected; anything else
// escapes and is reported. Besides memory errors and undefined behaviour, the
// target checks:
//   - the notifications are none (empty store), CHANGING alone (not a skin,
//     or an error), or CHANGING, CHANGED, CHANGED_MDI (loaded);
//   - after an error or without CHANGED the skin data is empty: no pictures,
//     no objects, SkinEmpty set; trailing bytes never cause an error;
//   - picture-list bitmaps are non-null and non-empty; Picture(i) is null
//     exactly outside the list;
//   - every coordinate of every object is non-negative;
//   - the lookups find each object's name at or before its index;
//   - "xyz" after the zlib stream gives the result the stream alone gives;
//   - every object's Save, loaded into a new object of the same class and
//     saved again, gives the same text;
//   - a skin that loads had a description: its archive did not end before
//     it;
//   - a receiver that throws on CHANGING leaves a loaded skin whole;
//   - the picture builders take the skin's geometry and pictures without an
//     error or a side beyond its picture.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "base/exception.h"
#include "base/zstreams.h"
#include "framework/bitmap.h"
#include "framework/ini.h"
#include "skin/data/skin_archive.h"
#include "skin/data/skin_data.h"
#include "skin/data/skin_messages.h"
#include "skin/data/stored_skin.h"
#include "skin_fuzz_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace skin;
    if (size < 1) {
        return 0;
    }
    const unsigned mode = data[0];
    const std::string_view archive(reinterpret_cast<const char*>(data) + 1, size - 1);

    std::string compressed = base::ZCompress(archive, (mode & 3) == 0 ? 0 : 6);
    bool damaged = false;
    if ((mode & 3) == 2) {
        compressed += "xyz";
    } else if ((mode & 3) == 3) {
        compressed.resize(compressed.size() - std::min<size_t>(compressed.size(), (mode >> 2) + 1));
        damaged = true;
    }

    std::vector<uint32_t> messages;
    const TSkinBroadcastHook previous =
        SetSkinBroadcastHook([&](framework::TComponent*, uint32_t message, TbsSkinData*) {
            messages.push_back(message);
        });

    framework::TComponent owner(nullptr);
    auto* skin = new TbsCompressedStoredSkin(&owner);
    skin->SetCompressedData(compressed);
    auto* skin_data = new TbsSkinData(&owner);
    bool failed = false;
    try {
        skin_data->LoadStoredSkin(*skin);
    } catch (const base::Exception&) {
        failed = true;
    }
    SetSkinBroadcastHook(previous);

    if (compressed.empty()) {
        FUZZ_CHECK(messages.empty());
    } else if (failed || messages.size() == 1) {
        FUZZ_CHECK(messages == std::vector<uint32_t>{WM_SKINDATA_CHANGING});
        FUZZ_CHECK(skin_data->SkinEmpty());
        FUZZ_CHECK(skin_data->PictureList().empty());
        FUZZ_CHECK(skin_data->FrameObjects().empty());
        FUZZ_CHECK(skin_data->ControlObjects().empty());
        FUZZ_CHECK(skin_data->MainPicture().Empty() && skin_data->MaskPicture().Empty() &&
                   skin_data->InactivePicture().Empty());
    } else {
        FUZZ_CHECK((messages == std::vector<uint32_t>{WM_SKINDATA_CHANGING, WM_SKINDATA_CHANGED,
                                                      WM_SKINDATA_CHANGED_MDI}));
        FUZZ_CHECK(!skin_data->SkinEmpty());
    }
    // A zlib stream that is cut short is never a skin.
    if (damaged && !compressed.empty()) {
        FUZZ_CHECK(failed);
    }
    skin::fuzz::CheckSkinData(*skin_data);
    static const framework::TBitmapData kStandIn = skin::fuzz::StandInPicture(false);
    skin::fuzz::CheckBuilders(*skin_data, kStandIn);

    const bool loaded = messages.size() == 3;
    if (loaded) {
        // It had a description.
        base::TMemoryStream inflated;
        skin->Decompress(inflated);
        TSkinArchiveContent content;
        FUZZ_CHECK(ReadSkinArchive(inflated, content));
        FUZZ_CHECK(!content.ended_early && !content.description.empty());

        // A receiver that throws before anything is discarded.
        const size_t pictures = skin_data->PictureList().size();
        const size_t controls = skin_data->ControlObjects().size();
        const size_t frames = skin_data->FrameObjects().size();
        const TSkinBroadcastHook before =
            SetSkinBroadcastHook([](framework::TComponent*, uint32_t message, TbsSkinData*) {
                if (message == WM_SKINDATA_CHANGING) {
                    throw std::runtime_error("receiver");
                }
            });
        bool thrown = false;
        try {
            skin_data->LoadStoredSkin(*skin);
        } catch (const std::runtime_error&) {
            thrown = true;
        }
        SetSkinBroadcastHook(before);
        FUZZ_CHECK(thrown);
        FUZZ_CHECK(!skin_data->SkinEmpty());
        FUZZ_CHECK(skin_data->PictureList().size() == pictures);
        FUZZ_CHECK(skin_data->ControlObjects().size() == controls);
        FUZZ_CHECK(skin_data->FrameObjects().size() == frames);
    }

    // Bytes after the zlib stream change nothing.
    if ((mode & 3) == 2) {
        TbsCompressedStoredSkin clean(nullptr);
        clean.SetCompressedData(std::string_view(compressed).substr(0, compressed.size() - 3));
        TbsSkinData again(nullptr);
        bool clean_failed = false;
        try {
            again.LoadStoredSkin(clean);
        } catch (const base::Exception&) {
            clean_failed = true;
        }
        FUZZ_CHECK(clean_failed == failed);
        FUZZ_CHECK(again.SkinEmpty() == skin_data->SkinEmpty());
        FUZZ_CHECK(again.PictureList().size() == skin_data->PictureList().size());
        FUZZ_CHECK(again.ControlObjects().size() == skin_data->ControlObjects().size());
        FUZZ_CHECK(again.FrameObjects().size() == skin_data->FrameObjects().size());
    }
    return 0;
}
