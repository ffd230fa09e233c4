#pragma once

// The button's rules that need no window: where glyph and caption go, which
// glyph and which look a state shows, and the steps of the fade between the
// normal and the active look.

#include "skin/controls/core/control_geometry.h"

namespace skin {

enum TButtonLayout { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };

struct TGlyphCaptionPlace {
    TPoint glyph;
    TPoint caption;
};

// Places a glyph of gw x gh and a caption of tw x th in `r`. A margin of -1
// centres both together, `spacing` apart; a margin of 0 or more puts the
// glyph that far from the layout's edge and the caption beside it. The press
// offset moves both one pixel right and down. Halves truncate towards zero.
TGlyphCaptionPlace PlaceGlyphAndCaption(const TRect& r, int margin, int spacing,
                                        TButtonLayout layout, int gw, int gh, int tw, int th,
                                        bool press_offset);

// The glyph of a strip of `count` shown: 3 active and down (count > 2), 4
// active (count > 3), 1 enabled or count < 2, else 2 (disabled).
int ButtonGlyphNumber(bool active, bool down, bool enabled, int count);

enum TButtonLook { blkNormal, blkActive, blkPressed, blkDisabled };

struct TButtonState {
    bool enabled = true;
    bool has_disabled_look = false;
    bool down = false;
    bool grouped = false;  // GroupIndex != 0
    bool hot = false;
    bool focused = false;  // has the focus and may take it (CanFocused)
    bool mouse_pressed = false;
    bool morphing = false;
    double morph_factor = 0;
};

// Whether the pressed look applies: down, and grouped, hot, or focused by
// the keyboard rather than held by the mouse.
bool ButtonShowsPressed(const TButtonState& s);
// The look of a state that is not between two looks (first rule that
// applies: disabled look, pressed, focused, hot, a finished fade, normal).
TButtonLook ChooseButtonLook(const TButtonState& s);
// Whether the state shows a blend of the normal and the active look.
bool ButtonShowsMorph(const TButtonState& s);

// One tick of the fade: towards 1 while `lit` (hot or focused), towards 0
// otherwise, 0.2 a tick; `stop` once it has arrived (or at once when the
// button cannot fade, with the factor set to where it belongs).
struct TMorphStep {
    double factor;
    bool stop;
};
TMorphStep MorphTick(double factor, bool lit, bool can_fade);

// The position of the accelerator character in a GBK caption: the byte after
// a single "&" ("&&" is a literal ampersand), or -1. GBK trail bytes are
// never "&", so the bytes can be scanned as they are.
int AcceleratorIndex(const std::string& caption);
// Whether `ch` (a UTF-16 character) is the caption's accelerator: ASCII
// letters match in either case, other characters exactly.
bool IsAccelerator(char16_t ch, const std::string& caption);

}  // namespace skin
