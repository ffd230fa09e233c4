#pragma once

// TbsSkinData: one loaded skin. It unpacks a stored skin (stored_skin.h)
// into its pictures and its description objects, and announces every change
// to the forms with the skin notification messages (skin_messages.h).
//
// What a reader may rely on:
//   - MainPicture, InactivePicture and MaskPicture always exist; each may be
//     empty (Width() or Height() 0).
//   - Picture(index) is null or a non-empty bitmap of the picture list; any
//     int may be passed. Bitmaps in PictureList are never null or empty.
//   - Rectangles and points of the description are 0..INT_MAX, kept as read
//     and never clamped to a picture (skin_values.h); pixel code intersects
//     with its picture before it copies.
//   - Objects, pictures and indexes stay valid until the next
//     WM_SKINDATA_CHANGING (sent before ClearSkin frees them) or the
//     destruction of the skin data.
//   - While SkinEmpty is true, only the pictures and lists are meaningful
//     (all empty); the form-information values may hold leftovers of a load
//     that failed and are not to be used.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "framework/bitmap.h"
#include "framework/component.h"
#include "framework/ini.h"
#include "skin/data/control_objects.h"
#include "skin/data/form_info.h"
#include "skin/data/frame_objects.h"
#include "skin/data/resource_strings.h"
#include "skin/data/skin_messages.h"
#include "skin/data/stored_skin.h"

namespace skin {

class TbsSkinData;

// Delivers a skin notification: `owner` is the skin data's owner (the form
// that holds it, or null), `message` one of skin_messages.h, `sender` the
// skin data (the wParam; the lParam is kSkinMessageLParam). The Win32 build
// installs a hook that sends the message to the owner form first (when the
// owner is a form, creating its window if needed) and then to every other
// form in the application's order. Without a hook nothing is sent.
using TSkinBroadcastHook =
    std::function<void(framework::TComponent* owner, uint32_t message, TbsSkinData* sender)>;

// Installs the process-wide hook (null: none) and returns the previous one.
TSkinBroadcastHook SetSkinBroadcastHook(TSkinBroadcastHook hook);

// The [VERSION] strings, kept as read.
struct TSkinVersionInfo {
    std::string skin_name;
    std::string skin_author;
    std::string author_email;
    std::string author_url;
    std::string skin_comments;
};

class TbsSkinData : public framework::TComponent {
  public:
    explicit TbsSkinData(framework::TComponent* owner);
    ~TbsSkinData() override;

    // --- published -----------------------------------------------------------

    TbsCompressedStoredSkin* CompressedStoredSkin() const { return stored_skin_; }
    // Stores the reference; outside design time a non-null skin is loaded at
    // once (LoadStoredSkin), and its errors propagate to the caller.
    void SetCompressedStoredSkin(TbsCompressedStoredSkin* value);

    TbsResourceStrData* ResourceStrData() const { return resource_str_data_; }
    // Stores the reference; outside design time WM_SKIN_STRINGS_CHANGED is
    // broadcast, also for null.
    void SetResourceStrData(TbsResourceStrData* value);

    // --- loading ---------------------------------------------------------------

    // Unpacks `skin`:
    //   - an empty store changes nothing and sends nothing;
    //   - otherwise SkinEmpty is set, WM_SKINDATA_CHANGING broadcast and the
    //     old skin cleared; then the archive is inflated and read;
    //   - an archive of a version above 3 leaves the skin data empty and
    //     sends nothing more;
    //   - an archive whose data ends before its description (too short for
    //     the version, cut inside a picture, or with no description bytes)
    //     is damaged: base::EReadError "Skin archive ends before its
    //     description", with the skin data empty;
    //   - a description that is cut short is read as far as it goes: missing
    //     values take their defaults, and the load completes;
    //   - when it completes, SkinEmpty is cleared and WM_SKINDATA_CHANGED and
    //     WM_SKINDATA_CHANGED_MDI are broadcast.
    // Whatever a receiver of a notification throws propagates. From CHANGING
    // it abandons the load before anything is discarded: the old skin stays
    // whole and SkinEmpty is what it was (receivers that heard CHANGING take
    // their objects again on the next CHANGED). From CHANGED the new skin is
    // already complete.
    // Errors in the skin propagate with the skin data cleared and empty, and
    // no CHANGED message: base::EDecompressionError "compression error" for a
    // stream that is not one complete zlib stream, base::EReadError for an
    // archive that ends before its description, framework::EInvalidGraphic
    // for an image that is not a BMP, base::EConvertError for a malformed
    // rectangle or point in the description.
    void LoadStoredSkin(TbsCompressedStoredSkin& skin);

    // Frees every frame and control object and every picture-list bitmap,
    // resets the popup and hint windows' picture indexes to -1, clears the
    // picture file names and the picture-list names, empties the three
    // pictures and sets SkinEmpty. Sends nothing.
    void ClearSkin();

    // Reads a description into a cleared skin data, in this order: [VERSION],
    // [PICTURES], the form information, the popup window, the hint window,
    // the frame objects and the control objects. (LoadStoredSkin's last step;
    // it neither clears nor announces anything.)
    void ReadDescription(const framework::TMemIniFile& ini);

    // Sends `message` through the broadcast hook, with this skin data as the
    // sender.
    void BroadcastToForms(uint32_t message);

    // True from creation until a skin has been loaded, and again while a skin
    // is being replaced or after a load failed.
    bool SkinEmpty() const { return skin_empty_; }
    // Counts the skins discarded (ClearSkin): a reader that remembers an
    // index or a picture with the generation it came from can tell whether
    // it still belongs to the loaded skin.
    uint64_t Generation() const { return generation_; }

    // --- pictures ---------------------------------------------------------------

    framework::TBitmapData& MainPicture() { return main_picture_; }
    const framework::TBitmapData& MainPicture() const { return main_picture_; }
    framework::TBitmapData& InactivePicture() { return inactive_picture_; }
    const framework::TBitmapData& InactivePicture() const { return inactive_picture_; }
    framework::TBitmapData& MaskPicture() { return mask_picture_; }
    const framework::TBitmapData& MaskPicture() const { return mask_picture_; }

    const std::vector<std::unique_ptr<framework::TBitmapData>>& PictureList() const {
        return pictures_;
    }
    // The picture-list bitmap at `index`; null outside 0..count-1.
    framework::TBitmapData* Picture(int index);
    const framework::TBitmapData* Picture(int index) const;

    // --- description --------------------------------------------------------------

    const TSkinVersionInfo& VersionInfo() const { return version_info_; }
    // The [PICTURES] names, kept as read. A non-empty mask name switches on
    // the mask handling of the form information.
    const std::string& PictureName() const { return picture_name_; }
    const std::string& InactivePictureName() const { return inactive_picture_name_; }
    const std::string& MaskPictureName() const { return mask_picture_name_; }
    // "activepictures": the entries 0..count-1, up to the first key that is
    // missing.
    const std::vector<std::string>& ActivePictureNames() const { return active_picture_names_; }

    const TSkinFormInfo& FormInfo() const { return form_info_; }
    // Created with the skin data and kept across skin changes.
    const TbsDataSkinPopupWindow& PopupWindow() const { return popup_window_; }
    const TbsDataSkinHintWindow& HintWindow() const { return hint_window_; }

    // In the order of their entries.
    const std::vector<std::unique_ptr<TbsDataSkinObject>>& FrameObjects() const {
        return frame_objects_;
    }
    const std::vector<std::unique_ptr<TbsDataSkinControl>>& ControlObjects() const {
        return control_objects_;
    }
    // Index of the first object whose name equals `name` byte for byte
    // (case-sensitive), or -1.
    int IndexOfFrameObject(std::string_view name) const;
    int IndexOfControlObject(std::string_view name) const;
    // The object at an index, or null outside the list.
    TbsDataSkinObject* FrameObject(int index) const;
    TbsDataSkinControl* ControlObject(int index) const;

  protected:
    void Notification(framework::TComponent* component, framework::TOperation operation) override;

  private:
    bool skin_empty_ = true;
    uint64_t generation_ = 0;
    TbsCompressedStoredSkin* stored_skin_ = nullptr;
    TbsResourceStrData* resource_str_data_ = nullptr;

    framework::TBitmapData main_picture_;
    framework::TBitmapData inactive_picture_;
    framework::TBitmapData mask_picture_;
    std::vector<std::unique_ptr<framework::TBitmapData>> pictures_;

    TSkinVersionInfo version_info_;
    std::string picture_name_;
    std::string inactive_picture_name_;
    std::string mask_picture_name_;
    std::vector<std::string> active_picture_names_;

    TSkinFormInfo form_info_;
    TbsDataSkinPopupWindow popup_window_;
    TbsDataSkinHintWindow hint_window_;
    std::vector<std::unique_ptr<TbsDataSkinObject>> frame_objects_;
    std::vector<std::unique_ptr<TbsDataSkinControl>> control_objects_;
};

}  // namespace skin
