#pragma once

// The arithmetic of skinned popup menus: how big a menu level is, where its
// items lie, where the level opens on the screen, and which item the arrow
// keys select. The windows that show the levels use these; keeping them
// here lets them be checked without a screen.

#include <vector>

#include "framework/geometry.h"

namespace skin {

using framework::TPoint;
using framework::TRect;

// The height of the scroll marker zones at both ends of a scrolling level.
inline constexpr int kMenuScrollZone = 10;

// What sizing a level needs of the skin. `skinned` false: the built-in flat
// look (item height `item_height`, separators 4).
struct TMenuSkinMetrics {
    bool skinned = false;
    int item_height = 20;    // skinned: the height of the item look
    int divider_height = 4;  // skinned: the height of the separator look
    TRect text_rect;         // skinned: where the text lies in the item look
    int item_width = 0;      // skinned: the width of the item look
    // Skinned: the window picture, the items' area in it, and its corners.
    int picture_width = 0;
    int picture_height = 0;
    TRect items_rect;
    TPoint left_top, right_top, left_bottom, right_bottom;
};

// One item of a level as sizing sees it.
struct TMenuEntry {
    bool separator = false;
    // The measured width of the caption, or of caption, two blanks and the
    // short-cut text.
    int text_width = 0;
};

struct TMenuLevelSize {
    int width = 0;
    int height = 0;
    bool scrolls = false;                                   // shows part of its items at a time
    bool scrolls_for_limit = false;                         // ... because of the item limit
    bool scrolls_for_height = false;                        // ... because the screen is too low
    int glyph_column = 19;                                  // the room left of the captions
    TRect items_rect;                                       // where the items lie in the window
    TPoint left_top, right_top, left_bottom, right_bottom;  // corners for this size
    std::vector<int> item_heights;
};

// The size of a level of `entries`. `image_width` is the menu's image width
// (0: no images); `item_limit` > 0 limits the items shown at a time;
// `work_area_height` caps the height.
TMenuLevelSize SizeMenuLevel(const std::vector<TMenuEntry>& entries,
                             const TMenuSkinMetrics& metrics, int image_width, int item_limit,
                             int work_area_height);

struct TMenuItemPlace {
    TRect rect;
    bool shown = false;
};

// Where each item lies when the level shows its items from `first_visible`
// on; `visible_count` receives how many are shown.
std::vector<TMenuItemPlace> LayoutMenuItems(const TMenuLevelSize& level, int first_visible,
                                            int* visible_count);

// Where a level opens, in screen coordinates.
struct TMenuPlacement {
    TRect anchor;     // the point (top level) or the parent item (submenu)
    TRect work_area;  // of the monitor the menu belongs to
    int width = 0;
    int height = 0;
    int items_top = 0;  // the first item's top inside the level
    bool submenu = false;
    bool upwards = false;
    bool scrolls_for_height = false;
};

TPoint PlaceMenuLevel(const TMenuPlacement& placement);

// An item as the keyboard sees it.
struct TMenuKeyItem {
    bool enabled = true;
    bool separator = false;
};

// The item Down (`forward`) or Up selects after `active` (-1: none): the
// next enabled item that is not a separator, going round the end of the
// list; `active` itself when no other qualifies (-1 when none does).
int NextMenuItem(const std::vector<TMenuKeyItem>& items, int active, bool forward);

// The first visible item of a scrolling level after `selected` became the
// selection: the range moves just enough to show it.
int FollowMenuSelection(int first_visible, int visible_count, int count, int selected);

}  // namespace skin
