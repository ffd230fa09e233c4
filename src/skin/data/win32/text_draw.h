#pragma once

// Caption text on a device context. Texts are GBK; they are converted with
// code page 936 and drawn with the W functions, so they show right on any
// Windows language.

#include <windows.h>

#include <string>
#include <string_view>

#include "framework/geometry.h"

namespace skin {

// The UTF-16 text to draw for a GBK text. Bytes that are not GBK do not stop
// the drawing: they are converted as the system converts them without
// checking (a replacement character).
std::wstring DrawingText(std::string_view gbk);

// The width of the text in the device context's current font.
int TextWidth(HDC dc, std::string_view gbk);

// FitTextWithEllipsis (skin/data/text_fit.h) measured in the device
// context's current font.
void FitTextWithEllipsis(HDC dc, std::string& text, int max_width);

// Draws the text on one line in the current font and text colour with a
// transparent background, clipped to the rectangle: its cell starts at
// x = rect.left + indent + 2 and y = rect.top + (rect height - text height)
// div 2, the text height being that of its extent (GetTextExtentPoint32W).
// The device context's background mode and text alignment are restored
// afterwards.
void DrawTextCentredV(HDC dc, std::string_view text, const framework::TRect& rect, int indent);

}  // namespace skin
