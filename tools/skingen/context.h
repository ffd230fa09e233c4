#pragma once

// What the parts of a skin are built into: the pictures of the picture list
// and the description objects that name looks in them.

#include <deque>
#include <string>

#include "sheet.h"
#include "skin.h"

namespace skingen {

// Positions in the picture list.
enum PictureIndex {
    kFramePicture = 0,
    kPopupPicture = 1,
    kMenuPicture = 2,
    kControlsPicture = 3,
    kListsPicture = 4,
    kScrollPicture = 5,
};

// One entry of [SKINOBJECTS] or [SKINCONTROLS] with its section.
struct SkinObject {
    std::string type;
    Section section;
};

struct SkinContext {
    const SkinDesign& design;
    const Palette& palette;
    const Canvas& main;  // the frame pictures, for backgrounds
    const Canvas& inactive;

    Sheet frame;
    Canvas popup;
    Sheet menu;
    Sheet controls;
    Sheet lists;
    Sheet scroll;

    // Looks other parts reuse.
    IRect menuBar;    // the main menu bar's strip, in picture 0
    IRect listFrame;  // the list box's frame, in picture 4

    Section popupWindow{"POPUPWINDOW", {}};
    Section hintWindow{"HINTWINDOW", {}};
    // Deques: the Add functions hand out references that stay valid.
    std::deque<SkinObject> frameObjects;
    std::deque<SkinObject> controlObjects;

    SkinContext(const SkinDesign& s, const Canvas& mainPicture, const Canvas& inactivePicture);

    Section& AddFrameObject(const std::string& name, const std::string& type);
    Section& AddControl(const std::string& name, const std::string& type);
};

// Picture 0, 1 and 2 with the frame objects, the popup and the hint window.
void BuildFrameObjects(SkinContext& ctx);
// Pictures 3, 4 and 5 with the control objects.
void BuildControlObjects(SkinContext& ctx);

}  // namespace skingen
