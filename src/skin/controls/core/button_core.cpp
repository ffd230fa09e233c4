#include "skin/controls/core/button_core.h"

#include <algorithm>

namespace skin {

TGlyphCaptionPlace PlaceGlyphAndCaption(const TRect& r, int m, int s, TButtonLayout layout, int gw,
                                        int gh, int tw, int th, bool press_offset) {
    const int cx = r.left + r.Width() / 2;
    const int cy = r.top + r.Height() / 2;
    TPoint g;
    TPoint t;
    if (m == -1) {
        const int hw = (tw + gw + s) / 2;
        const int hh = (th + gh + s) / 2;
        switch (layout) {
            case blGlyphLeft:
                g = {cx - hw, cy - gh / 2}, t = {cx + hw - tw, cy - th / 2};
                break;
            case blGlyphRight:
                t = {cx - hw, cy - th / 2}, g = {cx + hw - gw, cy - gh / 2};
                break;
            case blGlyphTop:
                g = {cx - gw / 2, cy - hh}, t = {cx - tw / 2, cy + hh - th};
                break;
            case blGlyphBottom:
                g = {cx - gw / 2, cy + hh - gh}, t = {cx - tw / 2, cy - hh};
                break;
        }
    } else {
        switch (layout) {
            case blGlyphLeft:
                g = {r.left + m, cy - gh / 2}, t = {g.x + gw + s, cy - th / 2};
                break;
            case blGlyphRight:
                g = {r.right - gw - m, cy - gh / 2}, t = {g.x - s - tw, cy - th / 2};
                break;
            case blGlyphTop:
                g = {cx - gw / 2, r.top + m}, t = {cx - tw / 2, g.y + gh + s};
                break;
            case blGlyphBottom:
                g = {cx - gw / 2, r.bottom - gh - m}, t = {cx - tw / 2, g.y - s - th};
                break;
        }
    }
    if (press_offset) {
        ++g.x, ++g.y, ++t.x, ++t.y;
    }
    return TGlyphCaptionPlace{g, t};
}

int ButtonGlyphNumber(bool active, bool down, bool enabled, int count) {
    if (active && down && count > 2) {
        return 3;
    }
    if (active && count > 3) {
        return 4;
    }
    if (enabled || count < 2) {
        return 1;
    }
    return 2;
}

bool ButtonShowsPressed(const TButtonState& s) {
    return s.down && (s.grouped || s.hot || (s.focused && !s.mouse_pressed));
}

TButtonLook ChooseButtonLook(const TButtonState& s) {
    if (!s.enabled && s.has_disabled_look) {
        return blkDisabled;
    }
    if (ButtonShowsPressed(s)) {
        return blkPressed;
    }
    if (s.focused || s.hot || (s.morphing && s.morph_factor >= 1)) {
        return blkActive;
    }
    return blkNormal;
}

bool ButtonShowsMorph(const TButtonState& s) {
    return s.morphing && s.enabled && s.morph_factor > 0 && s.morph_factor < 1;
}

TMorphStep MorphTick(double factor, bool lit, bool can_fade) {
    const double target = lit ? 1.0 : 0.0;
    if (!can_fade) {
        return {target, true};
    }
    if (lit && factor < 1) {
        return {std::min(factor + 0.2, 1.0), false};
    }
    if (!lit && factor > 0) {
        return {std::max(factor - 0.2, 0.0), false};
    }
    return {target, true};
}

int AcceleratorIndex(const std::string& caption) {
    for (size_t i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != '&') {
            continue;
        }
        if (caption[i + 1] != '&') {
            return static_cast<int>(i + 1);
        }
        ++i;  // "&&": a literal ampersand
    }
    return -1;
}

bool IsAccelerator(char16_t ch, const std::string& caption) {
    const int i = AcceleratorIndex(caption);
    if (i < 0) {
        return false;
    }
    const auto c = static_cast<unsigned char>(caption[static_cast<size_t>(i)]);
    if (c >= 0x80) {
        return false;  // a Chinese accelerator cannot be typed as one character here
    }
    auto lower = [](char16_t x) -> char16_t { return x >= 'A' && x <= 'Z' ? x + 32 : x; };
    return lower(ch) == lower(static_cast<char16_t>(c));
}

}  // namespace skin
