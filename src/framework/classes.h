#pragma once

// The framework's classes in a window-definition registry, and the readers
// of colour and font values that other components' properties share.

#include <functional>
#include <string>
#include <string_view>

#include "framework/definition.h"
#include "framework/graphics.h"

namespace framework {

// Registers TControl, TWinControl, TCustomControl, TGraphicControl,
// TCustomLabel (property carriers without factory), TImage, TLabel, TForm and
// TTimer with their properties.
void RegisterFrameworkClasses(TClassRegistry& registry);

// A colour: an integer (0x00BBGGRR, or a system colour with the high bit)
// or a name: clBtnFace, clWindowText, clBlack, clWhite and the other cl
// constants of graphics.h.
TColor ReadColor(const TDefinitionValue& value);

// Adds PREFIX.Name, .Height, .Style, .Color and .Charset to `className` for
// the font that `font` finds in a component of that class.
void RegisterFontProperties(TClassRegistry& registry, std::string_view className,
                            const std::string& prefix, std::function<TFont&(TComponent&)> font);

}  // namespace framework
