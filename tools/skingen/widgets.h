#pragma once

// The looks the skins are made of, drawn onto a canvas at a given place.
//
// Every look is drawn over what lies behind it when the skin is in use (the
// window's client colour behind a push button, the caption behind a caption
// button, the list field behind a scroll bar), so its anti-aliased edges
// blend into the right colour: the program copies the looks as opaque
// rectangles.

#include "raster.h"

namespace skingen {

// The colours of one skin.
struct Palette {
    // Window frame.
    Color outline;     // outermost line of the window and of controls
    Color captionTop;  // caption gradient, top and bottom
    Color captionMid;
    Color captionBottom;
    Color frameBody;   // side borders (continues the caption's bottom)
    Color frameShade;  // the darker line inside the outer edge
    Color frameInner;  // the line around the client area
    Color frameEtch;   // the light line outside it (right and bottom)
    Color client;      // client area background
    // Inactive window.
    Color inactiveTop;
    Color inactiveBottom;
    Color inactiveBody;
    Color inactiveOutline;
    // Caption text plate.
    Color plateTop;
    Color plateBottom;
    Color plateEdge;
    // Caption buttons.
    Color glyph;  // glyph on a caption button
    Color glyphInactive;
    Color glyphHot;  // glyph on a hovered button
    Color hotTop;    // hovered caption button
    Color hotBottom;
    Color hotEdge;
    Color closeTop;  // hovered close button
    Color closeBottom;
    Color closeEdge;
    // Push buttons.
    Color buttonTop;
    Color buttonBottom;
    Color buttonEdge;
    Color buttonHotTop;
    Color buttonHotBottom;
    Color buttonHotEdge;
    Color buttonDownTop;
    Color buttonDownBottom;
    Color buttonOffTop;
    Color buttonOffBottom;
    Color buttonOffEdge;
    Color buttonText;
    Color buttonHotText;
    Color buttonDownText;
    Color buttonOffText;
    // Fields (list, label, gauge track, edit).
    Color fieldTop;    // just below the top edge
    Color field;       // flat fill
    Color fieldEdge;   // outline of a field
    Color fieldLight;  // catch light outside the bottom and right edges
    Color fieldText;
    Color fieldOffText;
    // Bars and selections.
    Color barTop;
    Color barBottom;
    Color barEdge;
    Color selectText;
    // Menus.
    Color menu;
    Color menuColumn;
    Color menuEdge;
    Color menuLight;
    Color menuText;
    Color menuHotTop;
    Color menuHotBottom;
    Color menuHotEdge;
    Color menuHotText;
    Color menuOffText;
    Color menuMarker;
    Color menuMarkerHot;
    // Text on the client background (message boxes) and its highlight.
    Color clientText;
    Color clientHotText;
};

enum class Look { Normal, Hot, Down, Disabled, Inactive };

enum class Glyph {
    None,
    Close,
    Maximize,
    Restore,
    Minimize,
    RollUp,
    RollDown,
    Tray,
    Menu,
    ArrowUp,
    ArrowDown,
    ArrowLeft,
    ArrowRight,
    Check,
    Dots,
    Grip,
    GripH,
};

// A glyph centred in `box`, in colour c.
void DrawGlyph(Canvas& canvas, Box box, Glyph glyph, Color c);

// A caption button (close, maximize, ...) of the look, over the caption.
void DrawCaptionButton(Canvas& canvas, Box box, Glyph glyph, Look look, const Palette& p);

// A glossy push button; `radius` rounds its corners.
void DrawPushButton(Canvas& canvas, Box box, double radius, Look look, const Palette& p);

// A flat tool button: nothing but the background when normal, a raised
// plate when hovered, a pressed one when down.
void DrawToolButton(Canvas& canvas, Box box, Look look, const Palette& p);

// A small square button (scroll bar arrows, spin buttons, drop-down
// buttons), with a glyph.
void DrawSmallButton(Canvas& canvas, Box box, Glyph glyph, Look look, const Palette& p);

// A field sunk into the surface it lies on: a dark outline with a soft inner
// shadow at the top, the flat fill, and a catch light one pixel outside the
// bottom and right edges. `box` includes that catch light. `focused` draws
// an amber ring inside the outline.
void DrawField(Canvas& canvas, Box box, double radius, const Palette& p, bool focused = false,
               bool disabled = false);

// A glossy bar (gauge bar, selected item); `vertical` turns the gloss.
void DrawBar(Canvas& canvas, Box box, double radius, const Palette& p, bool vertical = false);

// A raised or sunk flat panel with one-pixel bevels.
void DrawPanel(Canvas& canvas, Box box, bool raised, Color fill, const Palette& p);

// A check box (square) or radio button (round) image.
void DrawCheckBox(Canvas& canvas, Box box, bool checked, Look look, const Palette& p);
void DrawRadio(Canvas& canvas, Box box, bool checked, Look look, const Palette& p);

// A scroll bar thumb.
void DrawThumb(Canvas& canvas, Box box, bool vertical, Look look, const Palette& p);

}  // namespace skingen
