#pragma once

// A skin: its description text and its pictures, built from a SkinDesign.

#include <string>
#include <utility>
#include <vector>

#include "raster.h"
#include "widgets.h"

namespace skingen {

// A rectangle of whole pixels, right and bottom exclusive, as the skin
// description writes it.
struct IRect {
    int l = 0;
    int t = 0;
    int r = 0;
    int b = 0;

    int W() const { return r - l; }
    int H() const { return b - t; }
    Box ToBox() const {
        return {static_cast<double>(l), static_cast<double>(t), static_cast<double>(r),
                static_cast<double>(b)};
    }
    IRect Moved(int dx, int dy) const { return {l + dx, t + dy, r + dx, b + dy}; }
};

struct IPoint {
    int x = 0;
    int y = 0;
};

// Everything that differs between two skins: colours, the window frame's
// geometry and the sizes of the controls. The pictures and the description
// follow from it.
struct SkinDesign {
    std::string name;
    std::string comments;
    Palette palette;

    // The main picture and its frame.
    int width = 0;
    int height = 0;
    IRect client;       // "clientrect"
    int radiusTop = 0;  // the window's rounded corners (its mask)
    int radiusBottom = 0;
    IPoint leftTop;  // corner points of the frame bands
    IPoint rightTop;
    IPoint leftBottom;
    IPoint rightBottom;
    IRect captionRect;  // where the caption buttons go
    int buttonsOffset = 0;
    IRect captionObject;  // "skinrect" of the caption object
    IRect captionText;    // its "textrect"
    int captionButtonW = 0;
    int captionButtonH = 0;

    // Picture 0: the frame objects.
    IPoint plateAt;  // the text plate behind the caption ("framerect")
    int plateW = 0;
    int plateH = 0;
    int plateEnds = 0;  // its fixed left and right parts
    IRect plateText;    // "frametextrect"
    IPoint buttonGrid;  // the caption button looks start here

    // Picture 2: menu items.
    int menuItemW = 0;
    int menuItemH = 0;
    IPoint menuItemAt;
    int menuDividerH = 0;
    IPoint menuDividerAt;
    int menuColumn = 0;  // the glyph column of an item
    int popupSize = 0;   // picture 1: the popup window
    int popupBorder = 0;

    // Picture 3: push button, gauge, label.
    int buttonW = 0;
    int buttonH = 0;
    int buttonRadius = 0;
    IPoint buttonLT;
    IPoint buttonRT;
    IRect buttonClient;
    int gaugeW = 0;
    int gaugeH = 0;
    IPoint gaugeLT;
    IPoint gaugeRT;
    IRect progressArea;
    int barW = 0;
    int barEnds = 0;  // "beginoffset" and "endoffset"
    int labelW = 0;
    int labelH = 0;
    IPoint labelLT;
    IPoint labelRT;
    IRect labelClient;
    int fieldRadius = 0;

    // Picture 4: the list box.
    int listW = 0;
    int listH = 0;
    IRect listClient;
    int itemW = 0;
    int itemH = 0;

    // Picture 5: scroll bars.
    int scrollW = 0;       // thickness of a bar
    int scrollLength = 0;  // length of the bar's look
    int thumbLength = 0;
};

SkinDesign YellowDesign();
SkinDesign SilverDesign();

struct SkinFiles {
    std::string description;                               // skin.ini
    std::vector<std::pair<std::string, Canvas>> pictures;  // file name, picture
};

SkinFiles BuildSkin(const SkinDesign& design);

// The side picture of the update window.
Canvas BuildSidePicture();

}  // namespace skingen
