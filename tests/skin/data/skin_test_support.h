#pragma once

// Helpers shared by the skin data tests: small pictures, archives built field
// by field, stored skins, and a hook that records the skin notifications.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/zstreams.h"
#include "framework/bitmap.h"
#include "framework/component.h"
#include "skin/data/skin_archive.h"
#include "skin/data/skin_data.h"
#include "skin/data/stored_skin.h"

namespace skin::test {

// A picture whose pixels depend on `seed`, so two pictures of the same size
// differ. Indexed formats get a palette of their size.
inline framework::TBitmapData MakePicture(int width, int height,
                                          framework::TPixelFormat format = framework::pf24bit,
                                          int seed = 0) {
    framework::TBitmapData picture(width, height, format);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            if (framework::IsIndexed(format)) {
                picture.SetPixelIndex(x, y, x + y * 3 + seed);
            } else {
                picture.SetPixel(x, y,
                                 framework::MakeColor(static_cast<uint8_t>(x * 40 + seed),
                                                      static_cast<uint8_t>(y * 40),
                                                      static_cast<uint8_t>(seed * 7)));
            }
        }
    }
    return picture;
}

inline std::string Int32Bytes(int32_t value) {
    TSkinArchiveWriter w;
    w.WriteInt32(value);
    return w.Take();
}

// A stored skin component (owned by `owner`) holding `archive` compressed.
inline TbsCompressedStoredSkin* StoredSkinOf(framework::TComponent* owner,
                                             std::string_view archive) {
    auto* skin = new TbsCompressedStoredSkin(owner);
    skin->SetCompressedData(base::ZCompress(archive, 9));
    return skin;
}

// One delivered notification.
struct TNotice {
    framework::TComponent* owner;
    uint32_t message;
    TbsSkinData* sender;
    // What the sender looked like when the notice arrived.
    bool skin_empty;
    size_t control_objects;
    size_t pictures;
};

// Installs a recording hook for its lifetime and restores the previous one.
class TRecordingHook {
  public:
    TRecordingHook() {
        previous_ = SetSkinBroadcastHook(
            [this](framework::TComponent* owner, uint32_t message, TbsSkinData* sender) {
                notices.push_back(TNotice{owner, message, sender, sender->SkinEmpty(),
                                          sender->ControlObjects().size(),
                                          sender->PictureList().size()});
                if (on_notice) {
                    on_notice(notices.back());
                }
            });
    }
    ~TRecordingHook() { SetSkinBroadcastHook(std::move(previous_)); }
    TRecordingHook(const TRecordingHook&) = delete;
    TRecordingHook& operator=(const TRecordingHook&) = delete;

    std::vector<uint32_t> Messages() const {
        std::vector<uint32_t> m;
        for (const TNotice& n : notices) {
            m.push_back(n.message);
        }
        return m;
    }

    std::vector<TNotice> notices;
    std::function<void(const TNotice&)> on_notice;

  private:
    TSkinBroadcastHook previous_;
};

}  // namespace skin::test
