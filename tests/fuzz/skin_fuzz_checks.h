#pragma once

// Checks shared by the skin fuzz targets: what any reader of a TbsSkinData may
// rely on, whatever the skin it was given.

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "framework/ini.h"
#include "skin/data/control_objects.h"
#include "skin/data/frame_objects.h"
#include "skin/data/skin_data.h"

// A broken promise: stop here so that libFuzzer keeps the input.
#define FUZZ_CHECK(condition)                                                           \
    do {                                                                                \
        if (!(condition)) {                                                             \
            std::fprintf(stderr, "check failed: %s (line %d)\n", #condition, __LINE__); \
            std::abort();                                                               \
        }                                                                               \
    } while (0)

namespace skin::fuzz {

// Keys that hold a rectangle or a point.
inline bool IsGeometryKey(std::string_view key) {
    return key.ends_with("rect") || key.ends_with("rsect") || key.ends_with("point") ||
           key.ends_with("area");
}

// No coordinate written for `section` is negative.
inline void CheckGeometry(const framework::TMemIniFile& ini, const std::string& section) {
    for (const std::string& key : ini.ReadSection(section)) {
        if (IsGeometryKey(key)) {
            FUZZ_CHECK(ini.ReadString(section, key, "").find('-') == std::string::npos);
        }
    }
}

// Save, Load into a new object of the same class, Save: the same text.
template <typename Object, typename Create, typename TypeWord>
void CheckRoundTrip(const Object& object, Create create, TypeWord type_word) {
    framework::TMemIniFile first;
    object.Save(first);
    CheckGeometry(first, object.name);
    auto copy = create(type_word(object), object.name);
    FUZZ_CHECK(copy != nullptr);
    copy->Load(first);
    framework::TMemIniFile second;
    copy->Save(second);
    FUZZ_CHECK(first.ToText() == second.ToText());
}

inline void CheckSkinData(const TbsSkinData& data) {
    const int count = static_cast<int>(data.PictureList().size());
    for (int i = 0; i < count; ++i) {
        FUZZ_CHECK(data.PictureList()[static_cast<size_t>(i)] != nullptr);
        FUZZ_CHECK(!data.PictureList()[static_cast<size_t>(i)]->Empty());
        FUZZ_CHECK(data.Picture(i) == data.PictureList()[static_cast<size_t>(i)].get());
    }
    FUZZ_CHECK(data.Picture(-1) == nullptr && data.Picture(count) == nullptr);

    framework::TMemIniFile windows;
    data.FormInfo().Save(windows);
    data.PopupWindow().Save(windows);
    data.HintWindow().Save(windows);
    for (const char* section : {"FORMINFO", "POPUPWINDOW", "HINTWINDOW"}) {
        CheckGeometry(windows, section);
    }

    for (size_t i = 0; i < data.FrameObjects().size(); ++i) {
        const TbsDataSkinObject& object = *data.FrameObjects()[i];
        const int found = data.IndexOfFrameObject(object.name);
        FUZZ_CHECK(found >= 0 && found <= static_cast<int>(i));
        FUZZ_CHECK(data.FrameObject(found)->name == object.name);
        CheckRoundTrip(object, CreateFrameObject, FrameObjectTypeWord);
    }
    for (size_t i = 0; i < data.ControlObjects().size(); ++i) {
        const TbsDataSkinControl& object = *data.ControlObjects()[i];
        const int found = data.IndexOfControlObject(object.name);
        FUZZ_CHECK(found >= 0 && found <= static_cast<int>(i));
        FUZZ_CHECK(data.ControlObject(found)->name == object.name);
        CheckRoundTrip(object, CreateControlObject, ControlObjectTypeWord);
    }
}

}  // namespace skin::fuzz
