#pragma once

// The skin data components in the window-definition class registry, so that
// a definition can hold them:
//
//   object yellow: TbsCompressedStoredSkin
//     FileName = "skin.ini"
//     CompressedData = data("...")
//   end
//   object bsSkinData1: TbsSkinData
//     CompressedStoredSkin = yellow
//   end
//
// The reference is set once every object is read, so the stored skin holds
// its data by then, and setting it unpacks the skin (outside design time).

#include "framework/definition.h"

namespace skin {

// Registers TbsCompressedStoredSkin (Description, FileName, CompressedFileName,
// CompressedData), TbsSkinData (CompressedStoredSkin, ResourceStrData) and
// TbsResourceStrData (ResStrings, CharSet). Raises framework::EDefinitionError
// when one of the classes is registered already.
void RegisterSkinDataClasses(framework::TClassRegistry& registry);

}  // namespace skin
