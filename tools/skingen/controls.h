#pragma once

// Helpers shared by the files that build control objects.

#include <functional>
#include <string>
#include <vector>

#include "context.h"

namespace skingen {

inline Box BoxOf(int w, int h) {
    return {0, 0, static_cast<double>(w), static_cast<double>(h)};
}

// Puts a piece on the next free place of a sheet.
IRect PutNext(Sheet& sheet, const Canvas& piece);

// Draws `count` looks of w x h, each on a canvas filled with `background`,
// by draw(canvas, index), and puts them on the sheet one after the other.
std::vector<IRect> DrawLooks(Sheet& sheet, int w, int h, Color background, int count,
                             const std::function<void(Canvas&, int)>& draw);

// The keys of every control drawn from a picture at any size.
void CustomKeys(Section& o, int picture, IRect skin, IPoint lt, IPoint rt, IPoint lb, IPoint rb,
                IRect client);
// CustomKeys for a look repeated along its width: fixed ends `left` and
// `right` pixels wide.
void WidthKeys(Section& o, int picture, IRect skin, int left, int right, IRect client);
// CustomKeys for a look repeated along its height.
void HeightKeys(Section& o, int picture, IRect skin, int top, int bottom, IRect client);
// CustomKeys for a look repeated in both directions, corners `corner`
// pixels into the client rectangle.
void NineKeys(Section& o, int picture, IRect skin, IRect client, int corner = 3);
// The keys of a control drawn from no picture.
void NoPictureKeys(Section& o);

// List item looks: normal, selected, selected with the focus.
struct ItemLooks {
    IRect normal;
    IRect active;
    IRect focus;
};
ItemLooks DrawItems(SkinContext& ctx, Sheet& sheet, int w, int h);
// The item keys of a list; item text starts `textLeft` pixels into an item.
void ItemKeys(SkinContext& ctx, Section& o, const ItemLooks& items, int textLeft);
// The keys of a list box without a caption bar.
void NoCaptionKeys(SkinContext& ctx, Section& o);
void ScrollBarNames(Section& o, const std::string& prefix);

// Builds the rest of the control objects (everything beyond the push
// button, gauge, label, list box and scroll bars).
void BuildMoreControls(SkinContext& ctx, const ItemLooks& items);

}  // namespace skingen
