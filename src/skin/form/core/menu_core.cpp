#include "skin/form/core/menu_core.h"

#include <algorithm>

namespace skin {

namespace {

// Built-in look: the separator's height and the frame around the items.
constexpr int kPlainSeparatorHeight = 4;
constexpr int kPlainMargin = 4;

}  // namespace

TMenuLevelSize SizeMenuLevel(const std::vector<TMenuEntry>& entries,
                             const TMenuSkinMetrics& metrics, int image_width, int item_limit,
                             int work_area_height) {
    TMenuLevelSize level;
    int widest = 0;
    int total = 0;
    for (const TMenuEntry& entry : entries) {
        widest = std::max(widest, entry.text_width + 2);
        const int height = entry.separator
                               ? (metrics.skinned ? metrics.divider_height : kPlainSeparatorHeight)
                               : metrics.item_height;
        level.item_heights.push_back(height);
        total += height;
    }
    level.glyph_column = image_width > 0 ? image_width + 5 : 19;
    widest += level.glyph_column + 19;
    // What the window adds around its items.
    const int extra_width =
        metrics.skinned ? metrics.text_rect.left + (metrics.item_width - metrics.text_rect.right) +
                              (metrics.picture_width - metrics.items_rect.Width())
                        : 10;
    const int extra_height =
        metrics.skinned ? metrics.picture_height - metrics.items_rect.Height() : kPlainMargin;
    level.width = widest + extra_width;
    level.height = total + extra_height;
    if (item_limit > 0 && static_cast<int>(entries.size()) > item_limit) {
        level.height = item_limit * metrics.item_height + extra_height + 2 * kMenuScrollZone;
        level.scrolls = level.scrolls_for_limit = true;
    }
    if (work_area_height > 0 && level.height > work_area_height) {
        level.height = work_area_height;
        level.scrolls = level.scrolls_for_height = true;
    }
    if (metrics.skinned) {
        const int dx = level.width - metrics.picture_width;
        const int dy = level.height - metrics.picture_height;
        level.items_rect = TRect{metrics.items_rect.left, metrics.items_rect.top,
                                 metrics.items_rect.right + dx, metrics.items_rect.bottom + dy};
        level.left_top = metrics.left_top;
        level.right_top = TPoint{metrics.right_top.x + dx, metrics.right_top.y};
        level.left_bottom = TPoint{metrics.left_bottom.x, metrics.left_bottom.y + dy};
        level.right_bottom = TPoint{metrics.right_bottom.x + dx, metrics.right_bottom.y + dy};
    } else {
        level.items_rect = TRect{2, 2, level.width - 2, level.height - 2};
    }
    return level;
}

std::vector<TMenuItemPlace> LayoutMenuItems(const TMenuLevelSize& level, int first_visible,
                                            int* visible_count) {
    const int count = static_cast<int>(level.item_heights.size());
    std::vector<TMenuItemPlace> places(count);
    const int zone = level.scrolls ? kMenuScrollZone : 0;
    const int bottom = level.items_rect.bottom - zone;
    int y = level.items_rect.top + zone;
    int shown = 0;
    for (int i = std::max(first_visible, 0); i < count; ++i) {
        const int next = y + level.item_heights[i];
        if (next > bottom) {
            break;
        }
        places[i] =
            TMenuItemPlace{TRect{level.items_rect.left, y, level.items_rect.right, next}, true};
        y = next;
        ++shown;
    }
    if (visible_count != nullptr) {
        *visible_count = shown;
    }
    return places;
}

TPoint PlaceMenuLevel(const TMenuPlacement& p) {
    const TRect& wa = p.work_area;
    const TRect& a = p.anchor;
    const bool upper_half = a.top < wa.top + wa.Height() / 2;
    bool moved = false;
    int y = 0;
    if (p.scrolls_for_height) {
        y = wa.top;
    } else if (p.submenu) {
        if (a.top + p.height - p.items_top <= wa.bottom) {
            y = a.top - p.items_top;
        } else if (upper_half) {
            y = wa.bottom - p.height;
        } else {
            y = std::max(a.bottom - p.height + p.items_top, wa.top);
        }
    } else if (p.upwards) {
        if (a.top - p.height >= wa.top) {
            y = a.top - p.height;
        } else if (upper_half) {
            if (a.bottom + p.height <= wa.bottom) {
                y = a.bottom;
            } else {
                y = wa.bottom - p.height;
                moved = true;
            }
        } else {
            y = wa.top;
            moved = true;
        }
    } else if (a.bottom + p.height <= wa.bottom) {
        y = a.bottom;
    } else if (upper_half) {
        y = wa.bottom - p.height;
        moved = true;
    } else if (a.top - p.height >= wa.top) {
        y = a.top - p.height;
    } else {
        y = wa.top;
        moved = true;
    }
    int x = 0;
    if (!p.submenu && !p.scrolls_for_height && !moved) {
        x = a.left;
        if (x + p.width > wa.right) {
            x = wa.right - p.width;
        }
    } else if (a.right + p.width + 1 <= wa.right) {
        x = a.right + 1;
    } else {
        x = a.left - p.width - 1;
    }
    // Never left of the work area: a submenu of a menu at the left edge, or
    // a level wider than the screen, starts at its left edge.
    return TPoint{std::max(x, wa.left), y};
}

int NextMenuItem(const std::vector<TMenuKeyItem>& items, int active, bool forward) {
    const int count = static_cast<int>(items.size());
    if (count == 0) {
        return active;
    }
    const int step = forward ? 1 : count - 1;
    int at = active < 0 || active >= count ? (forward ? count - 1 : 0) : active;
    for (int n = 0; n < count; ++n) {
        at = (at + step) % count;
        if (at == active) {
            break;
        }
        if (items[at].enabled && !items[at].separator) {
            return at;
        }
    }
    return active;
}

int FollowMenuSelection(int first_visible, int visible_count, int count, int selected) {
    if (visible_count <= 0 || selected < 0 || selected >= count) {
        return first_visible;
    }
    if (selected < first_visible) {
        return selected;
    }
    if (selected >= first_visible + visible_count) {
        return std::max(selected - visible_count + 1, 0);
    }
    return first_visible;
}

}  // namespace skin
