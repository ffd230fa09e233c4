#pragma once

#include "framework/definition.h"

namespace skin {

// Registers the skinned controls and their properties for window
// definitions (needs the framework's classes registered first).
void RegisterSkinControlClasses(framework::TClassRegistry& registry);

}  // namespace skin
