// libFuzzer target: arbitrary bytes as a skin description text.
//
// The text is read into an in-memory INI and then by TbsSkinData's
// description reader, as the last step of a skin load does. Conversion errors
// (base::Exception) are expected. Whatever was read before an error, and
// everything after a successful read, must keep the promises checked in
// skin_fuzz_checks.h (non-negative coordinates, consistent lookups, Save and
// Load of every object agreeing).

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "base/exception.h"
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
    return 0;
}
