// libFuzzer target: arbitrary bytes as a skin description text.
//
// The text is read into an in-memory INI and then by TbsSkinData's
// description reader, as the last step of a skin load does. Conversion errors
// (base::Exception) are expected. Whatever was read before an error, and
// everything after a successful read, must keep the promises checked in
// skin_fuzz_checks.h (non-negative coordinates, consistent lookups, Save and
// Load of every object agreeing), and the picture builders must take every
// object's geometry without an error or a side beyond its picture.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "base/exception.h"
#include "framework/bitmap.h"
#include "framework/ini.h"
#include "skin/data/skin_data.h"
#include "skin_fuzz_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    framework::TMemIniFile ini;
    ini.LoadFromText(text);
    skin::TbsSkinData skin_data(nullptr);
    try {
        skin_data.ReadDescription(ini);
    } catch (const base::Exception&) {
    }
    skin::fuzz::CheckSkinData(skin_data);
    // The description has no pictures: a stand-in takes their place, 8-bit
    // for inputs of odd length.
    static const framework::TBitmapData kPictures[] = {skin::fuzz::StandInPicture(false),
                                                       skin::fuzz::StandInPicture(true)};
    skin::fuzz::CheckBuilders(skin_data, kPictures[size % 2]);
    return 0;
}
