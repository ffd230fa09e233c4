#pragma once

// The contact sheet of the documentation: every picture of each skin,
// labelled with its file name, its place in the skin description and its
// size.

#include <filesystem>
#include <string>
#include <vector>

#include "framework/bitmap.h"

namespace skingen {

struct SheetPicture {
    std::string file;  // the file name in the skin folder
    std::string role;  // "picture", "inactivepicture", "mask", "index N"
    framework::TBitmapData picture;
};

struct SheetSkin {
    std::string name;  // [VERSION] skinname, else the folder's name
    std::vector<SheetPicture> pictures;
};

// The pictures a skin folder's skin.ini names in [PICTURES], in the order of
// a stored skin: "picture", "inactivepicture", "mask" (those not empty), then
// the picture list. Throws std::runtime_error for a file that is missing or
// not a BMP.
SheetSkin ReadSkinFolder(const std::filesystem::path& dir);

// One column per skin, side by side: the skin's name, then its pictures in
// order, placed left to right on rows, each under its labels and inside a
// one-pixel frame, at its natural size.
framework::TBitmapData BuildContactSheet(const std::vector<SheetSkin>& skins);

}  // namespace skingen
