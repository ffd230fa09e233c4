#include "skin/data/skin_data.h"

#include <algorithm>
#include <climits>
#include <utility>

#include "base/exception.h"
#include "base/streams.h"
#include "skin/data/skin_archive.h"

namespace skin {

namespace {

TSkinBroadcastHook& BroadcastHook() {
    static TSkinBroadcastHook hook;
    return hook;
}

// The index a list key names: the decimal text of a number 0..INT_MAX as a
// list writes it ("0", "17"; no sign, blank or leading zero). -1 for any
// other key.
int ListIndexOf(std::string_view key) {
    if (key.empty() || key.size() > 10 || (key.size() > 1 && key[0] == '0')) {
        return -1;
    }
    int64_t value = 0;
    for (char c : key) {
        if (c < '0' || c > '9') {
            return -1;
        }
        value = value * 10 + (c - '0');
    }
    return value <= INT_MAX ? static_cast<int>(value) : -1;
}

// The values of the keys "0" to count - 1 of a section that are present, in
// index order. A missing key reads as the empty text, which no list reader
// uses, so the section's own keys are walked instead of every index up to a
// count that may be huge.
std::vector<std::pair<int, std::string>> ListEntries(const framework::TMemIniFile& ini,
                                                     std::string_view section, int count) {
    std::vector<std::pair<int, std::string>> entries;
    if (count < 1) {
        return entries;
    }
    for (const std::string& key : ini.ReadSection(section)) {
        const int index = ListIndexOf(key);
        if (index >= 0 && index < count) {
            entries.emplace_back(index, ini.ReadString(section, key, ""));
        }
    }
    // Keys are unique in a section, so no two entries share an index.
    std::sort(entries.begin(), entries.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    return entries;
}

// Reads [SKINOBJECTS] or [SKINCONTROLS]: each entry "name:type" whose type
// word names a class becomes an object of that class, appended and loaded
// before the next entry is read. An entry without ":" or with an unknown
// type adds nothing.
template <typename T, typename Create>
void ReadObjectList(const framework::TMemIniFile& ini, std::string_view section, Create create,
                    std::vector<std::unique_ptr<T>>& list) {
    const int count = ini.ReadInteger(section, "count", 0);
    for (auto& [index, value] : ListEntries(ini, section, count)) {
        const size_t colon = value.find(':');
        if (colon == std::string::npos) {
            continue;
        }
        std::unique_ptr<T> object =
            create(std::string_view(value).substr(colon + 1), value.substr(0, colon));
        if (object == nullptr) {
            continue;
        }
        list.push_back(std::move(object));
        // An entry without a name has no section to read: every value is its
        // default, even when the text has a "[]" section.
        static const framework::TMemIniFile kNothing;
        list.back()->Load(list.back()->name.empty() ? kNothing : ini);
    }
}

template <typename T>
int IndexOfName(const std::vector<std::unique_ptr<T>>& list, std::string_view name) {
    for (size_t i = 0; i < list.size(); ++i) {
        if (list[i]->name == name) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

template <typename T>
T* At(const std::vector<std::unique_ptr<T>>& list, int index) {
    return index >= 0 && static_cast<size_t>(index) < list.size() ? list[index].get() : nullptr;
}

}  // namespace

TSkinBroadcastHook SetSkinBroadcastHook(TSkinBroadcastHook hook) {
    return std::exchange(BroadcastHook(), std::move(hook));
}

TbsSkinData::TbsSkinData(framework::TComponent* owner) : TComponent(owner) {}

TbsSkinData::~TbsSkinData() = default;

void TbsSkinData::SetCompressedStoredSkin(TbsCompressedStoredSkin* value) {
    if (stored_skin_ != value) {
        if (stored_skin_ != nullptr) {
            RemoveFreeNotification(stored_skin_);
        }
        stored_skin_ = value;
        if (value != nullptr) {
            FreeNotification(value);
        }
    }
    if (!Designing() && value != nullptr) {
        LoadStoredSkin(*value);
    }
}

void TbsSkinData::SetResourceStrData(TbsResourceStrData* value) {
    if (resource_str_data_ != value) {
        if (resource_str_data_ != nullptr) {
            RemoveFreeNotification(resource_str_data_);
        }
        resource_str_data_ = value;
        if (value != nullptr) {
            FreeNotification(value);
        }
    }
    if (!Designing()) {
        BroadcastToForms(WM_SKIN_STRINGS_CHANGED);
    }
}

void TbsSkinData::Notification(framework::TComponent* component, framework::TOperation operation) {
    TComponent::Notification(component, operation);
    if (operation != framework::opRemove) {
        return;
    }
    // The loaded skin stays; only the references go.
    if (component == stored_skin_) {
        stored_skin_ = nullptr;
    }
    if (component == resource_str_data_) {
        resource_str_data_ = nullptr;
    }
}

void TbsSkinData::BroadcastToForms(uint32_t message) {
    // A copy: a receiver may install another hook while it runs.
    const TSkinBroadcastHook hook = BroadcastHook();
    if (hook) {
        hook(Owner(), message, this);
    }
}

void TbsSkinData::LoadStoredSkin(TbsCompressedStoredSkin& skin) {
    if (skin.IsStoreEmpty()) {
        return;
    }
    // A receiver of CHANGING may throw. Nothing has been discarded then, and
    // the receivers after it still hold references into the skin, so the
    // load is abandoned with the skin whole and SkinEmpty as it was.
    const bool was_empty = skin_empty_;
    skin_empty_ = true;
    try {
        BroadcastToForms(WM_SKINDATA_CHANGING);
    } catch (...) {
        skin_empty_ = was_empty;
        throw;
    }
    ClearSkin();
    try {
        base::TMemoryStream archive;
        skin.Decompress(archive);
        TSkinArchiveContent content;
        const bool taken = ReadSkinArchive(archive, content);
        // Without its description a skin has no geometry, no objects and no
        // names: the archive is damaged, as a damaged zlib stream is.
        if (content.ended_early || (taken && content.description.empty())) {
            throw base::EReadError("Skin archive ends before its description");
        }
        if (!taken) {
            return;  // a version above 3: not a skin this reader takes; stays empty
        }
        main_picture_ = std::move(content.main_picture);
        inactive_picture_ = std::move(content.inactive_picture);
        mask_picture_ = std::move(content.mask_picture);
        pictures_ = std::move(content.pictures);
        framework::TMemIniFile ini;
        ini.LoadFromText(content.description);
        ReadDescription(ini);
    } catch (...) {
        ClearSkin();
        throw;
    }
    skin_empty_ = false;
    BroadcastToForms(WM_SKINDATA_CHANGED);
    BroadcastToForms(WM_SKINDATA_CHANGED_MDI);
}

void TbsSkinData::ClearSkin() {
    ++generation_;
    frame_objects_.clear();
    control_objects_.clear();
    pictures_.clear();
    popup_window_.window_picture_index = -1;
    hint_window_.window_picture_index = -1;
    active_picture_names_.clear();
    main_picture_ = framework::TBitmapData();
    mask_picture_ = framework::TBitmapData();
    inactive_picture_ = framework::TBitmapData();
    picture_name_.clear();
    inactive_picture_name_.clear();
    mask_picture_name_.clear();
    skin_empty_ = true;
}

void TbsSkinData::ReadDescription(const framework::TMemIniFile& ini) {
    version_info_.skin_name = ini.ReadString("VERSION", "skinname", "");
    version_info_.skin_author = ini.ReadString("VERSION", "skinauthor", "");
    version_info_.author_email = ini.ReadString("VERSION", "authoremail", "");
    version_info_.author_url = ini.ReadString("VERSION", "authorurl", "");
    version_info_.skin_comments = ini.ReadString("VERSION", "skincomments", "");

    picture_name_ = ini.ReadString("PICTURES", "picture", "");
    inactive_picture_name_ = ini.ReadString("PICTURES", "inactivepicture", "");
    mask_picture_name_ = ini.ReadString("PICTURES", "mask", "");
    active_picture_names_.clear();
    const auto names =
        ListEntries(ini, "PICTURES", ini.ReadInteger("PICTURES", "activepicturescount", 0));
    // Up to the first missing key: a huge count with one far key must not
    // make a list of millions of empty names.
    for (const auto& [index, name] : names) {
        if (static_cast<size_t>(index) != active_picture_names_.size()) {
            break;
        }
        active_picture_names_.push_back(name);
    }

    form_info_.Load(ini, !mask_picture_name_.empty());
    popup_window_.Load(ini);
    hint_window_.Load(ini);
    ReadObjectList(ini, "SKINOBJECTS", CreateFrameObject, frame_objects_);
    ReadObjectList(ini, "SKINCONTROLS", CreateControlObject, control_objects_);
}

framework::TBitmapData* TbsSkinData::Picture(int index) {
    return At(pictures_, index);
}

const framework::TBitmapData* TbsSkinData::Picture(int index) const {
    return At(pictures_, index);
}

int TbsSkinData::IndexOfFrameObject(std::string_view name) const {
    return IndexOfName(frame_objects_, name);
}

int TbsSkinData::IndexOfControlObject(std::string_view name) const {
    return IndexOfName(control_objects_, name);
}

TbsDataSkinObject* TbsSkinData::FrameObject(int index) const {
    return At(frame_objects_, index);
}

TbsDataSkinControl* TbsSkinData::ControlObject(int index) const {
    return At(control_objects_, index);
}

}  // namespace skin
