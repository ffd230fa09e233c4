#pragma once

// Skins for tests: the skin folders under assets/skins packed the way a
// window definition stores them. The test's target defines UPDATER_ASSETS
// (the assets folder).

#include <string>

#include "skin/data/skin_data.h"
#include "skin/data/stored_skin.h"

namespace test_support {

// The stored skin of assets/skins/<name>, owned by `owner`.
inline skin::TbsCompressedStoredSkin* StoredSkin(framework::TComponent* owner,
                                                 const std::string& name) {
    auto* stored = new skin::TbsCompressedStoredSkin(owner);
    stored->PackSkinFolder(std::string(UPDATER_ASSETS) + "/skins/" + name + "/skin.ini");
    return stored;
}

// Skin data owned by `owner` that holds that skin.
inline skin::TbsSkinData* SkinDataOf(framework::TComponent* owner, const std::string& name) {
    auto* data = new skin::TbsSkinData(owner);
    data->SetCompressedStoredSkin(StoredSkin(owner, name));
    return data;
}

}  // namespace test_support
