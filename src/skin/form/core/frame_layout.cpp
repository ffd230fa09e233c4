// Where the frame objects, the built-in caption and its buttons, and a
// caption text go.

#include <algorithm>
#include <array>
#include <vector>

#include "skin/form/core/frame_arith.h"
#include "skin/form/core/frame_core.h"

namespace skin {

namespace {

// The caption buttons in the order they are placed from the caption's end.
constexpr std::array<TStdCommand, 5> kButtonOrder = {cmClose, cmMaximize, cmMinimize, cmRollUp,
                                                     cmMinimizeToTray};

TRect Shifted(const TRect& r, int dx, int dy) {
    return TRect{AddClamped(r.left, dx), AddClamped(r.top, dy), AddClamped(r.right, dx),
                 AddClamped(r.bottom, dy)};
}

// The corner zones of the main picture; an object's rectangle follows the
// corners its own two corners lie in.
struct TCornerZones {
    TRect left_top;
    TRect right_top;
    TRect left_bottom;
    TRect right_bottom;
    int dx = 0;
    int dy = 0;

    TRect Anchored(const TRect& r) const {
        const auto in = [](const TRect& zone, int x, int y) { return zone.Contains(x, y); };
        const bool a_lt = in(left_top, r.left, r.top);
        const bool a_rt = in(right_top, r.left, r.top);
        const bool a_lb = in(left_bottom, r.left, r.top);
        const bool a_rb = in(right_bottom, r.left, r.top);
        const bool b_lt = in(left_top, r.right, r.bottom);
        const bool b_rt = in(right_top, r.right, r.bottom);
        const bool b_lb = in(left_bottom, r.right, r.bottom);
        const bool b_rb = in(right_bottom, r.right, r.bottom);
        const int right = AddClamped(r.right, dx);
        const int bottom = AddClamped(r.bottom, dy);
        if (a_lt && b_lt) {
            return r;
        }
        if (a_rt && b_rt) {
            return Shifted(r, dx, 0);
        }
        if (a_lb && b_lb) {
            return Shifted(r, 0, dy);
        }
        if (a_rb && b_rb) {
            return Shifted(r, dx, dy);
        }
        if (a_lt && b_rb) {
            return TRect{r.left, r.top, right, bottom};
        }
        if (a_lt && b_rt) {
            return TRect{r.left, r.top, right, r.bottom};
        }
        if (a_lb && b_rb) {
            return TRect{r.left, AddClamped(r.top, dy), right, bottom};
        }
        if (a_lt && b_lb) {
            return TRect{r.left, r.top, r.right, bottom};
        }
        if (a_rt && b_rb) {
            return TRect{AddClamped(r.left, dx), r.top, right, bottom};
        }
        return r;
    }
};

TPoint PlacementSize(const TFrameObjectPlace& o) {
    const TPoint size =
        (o.size.x == 0 && o.size.y == 0) ? TPoint{o.normal.Width(), o.normal.Height()} : o.size;
    return TPoint{std::max(size.x, 0), std::max(size.y, 0)};
}

// A caption button the placement may put in the caption: a standard button
// or an animation that acts as one, shown, with its looks in a picture.
bool IsPlaceable(const TFrameObjectPlace& o) {
    return o.in_picture && o.visible &&
           (o.kind == fokStdButton || (o.kind == fokAnimate && o.button_style));
}

// The caption-button placement: a row of buttons from one end of the
// placement rectangle, the caption object's end following the row.
class TButtonRow {
  public:
    TButtonRow(std::vector<TFrameObjectPlace>& objects, const TFrameGeometry& g, const TRect& area,
               bool from_left)
        : objects_(objects),
          g_(g),
          from_left_(from_left),
          x_(from_left ? area.left : area.right),
          top_(area.top),
          placed_(objects.size(), false) {}

    void Run(bool in_buttons_rect) {
        for (TStdCommand command : kButtonOrder) {
            if (TFrameObjectPlace* o = First(command)) {
                PlaceInRow(*o);
            }
        }
        for (size_t i = 0; i < objects_.size(); ++i) {
            if (IsPlaceable(objects_[i]) && objects_[i].command == cmDefault) {
                PlaceInRow(objects_[i]);
            }
        }
        TFrameObjectPlace* caption = Caption();
        TFrameObjectPlace* system_menu = First(cmSysMenu);
        const int offset = g_.buttons_offset;
        if (from_left_) {
            if (!in_buttons_rect && system_menu != nullptr) {
                PlaceInRow(*system_menu);
            }
            // The caption starts one gap after the place the next button
            // would take.
            if (!in_buttons_rect && caption != nullptr) {
                caption->object_rect.left = AddClamped(x_, offset);
            }
        } else {
            if (!in_buttons_rect && caption != nullptr) {
                caption->object_rect.right = AddClamped(x_, offset);
            }
            if (system_menu != nullptr && !g_.caption.IsEmpty()) {
                const TPoint size = PlacementSize(*system_menu);
                const int top = g_.caption.top + g_.caption.Height() / 2 - size.y / 2;
                Place(*system_menu, TRect{g_.caption.left, top, AddClamped(g_.caption.left, size.x),
                                          AddClamped(top, size.y)});
                if (caption != nullptr) {
                    caption->object_rect.left = system_menu->object_rect.right;
                }
            }
        }
    }

    // In-picture objects without a place have no place in the window.
    void ClearUnplaced() {
        for (size_t i = 0; i < objects_.size(); ++i) {
            TFrameObjectPlace& o = objects_[i];
            if (o.in_picture && o.kind != fokCaption && !placed_[i]) {
                o.object_rect = TRect{};
            }
        }
    }

  private:
    TFrameObjectPlace* First(TStdCommand command) {
        for (size_t i = 0; i < objects_.size(); ++i) {
            if (!placed_[i] && IsPlaceable(objects_[i]) && objects_[i].command == command) {
                return &objects_[i];
            }
        }
        return nullptr;
    }

    TFrameObjectPlace* Caption() {
        for (TFrameObjectPlace& o : objects_) {
            if (o.kind == fokCaption) {
                return &o;
            }
        }
        return nullptr;
    }

    void Place(TFrameObjectPlace& o, const TRect& r) {
        o.object_rect = r;
        placed_[static_cast<size_t>(&o - objects_.data())] = true;
    }

    void PlaceInRow(TFrameObjectPlace& o) {
        const TPoint size = PlacementSize(o);
        const int step = AddClamped(size.x, g_.buttons_offset);
        if (from_left_) {
            Place(o, TRect{x_, top_, AddClamped(x_, size.x), AddClamped(top_, size.y)});
            x_ = AddClamped(x_, step);
        } else {
            Place(o, TRect{SubClamped(x_, size.x), top_, x_, AddClamped(top_, size.y)});
            x_ = SubClamped(x_, step);
        }
    }

    std::vector<TFrameObjectPlace>& objects_;
    const TFrameGeometry& g_;
    bool from_left_;
    int x_;
    int top_;
    std::vector<bool> placed_;
};

}  // namespace

void LayoutFrameObjects(std::vector<TFrameObjectPlace>& objects, const TSkinFormInfo& info,
                        int picture_width, int picture_height, const TFrameGeometry& g) {
    TCornerZones zones;
    zones.left_top = TRect{0, 0, info.left_top_point.x, info.left_top_point.y};
    zones.right_top = TRect{info.right_top_point.x, 0, picture_width, info.right_top_point.y};
    zones.left_bottom =
        TRect{0, info.left_bottom_point.y, info.left_bottom_point.x, picture_height};
    zones.right_bottom =
        TRect{info.right_bottom_point.x, info.right_bottom_point.y, picture_width, picture_height};
    zones.dx = SubClamped(g.right_bottom.x, info.right_bottom_point.x);
    zones.dy = SubClamped(g.right_bottom.y, info.right_bottom_point.y);
    for (TFrameObjectPlace& o : objects) {
        if (!o.in_picture) {
            o.object_rect = zones.Anchored(o.normal);
        }
    }

    const bool has_buttons_rect = !info.buttons_rect.IsEmpty();
    const bool has_caption_rect = !info.caption_rect.IsEmpty();
    TButtonRow row(objects, g, has_buttons_rect ? g.buttons : g.caption, g.buttons_in_left);
    if (has_buttons_rect || has_caption_rect) {
        row.Run(has_buttons_rect);
    }
    row.ClearUnplaced();
    for (TFrameObjectPlace& o : objects) {
        if (o.kind == fokCaption) {
            o.object_rect.right = std::max(o.object_rect.right, o.object_rect.left);
        }
    }
}

TBuiltInCaption LayoutBuiltInCaption(int width, bool tool_window, const bool visible[7],
                                     TPoint system_menu_size) {
    const int size = tool_window ? 13 : 17;
    const int top = 4;
    const auto shown = [visible](TStdCommand c) { return visible != nullptr && visible[c]; };
    TBuiltInCaption result;
    result.caption = TRect{3, 3, SubClamped(width, 3), BuiltInCaptionHeight(tool_window)};
    int x = result.caption.right;
    for (TStdCommand command : kButtonOrder) {
        if (shown(command)) {
            result.buttons[command] = TRect{SubClamped(x, size), top, x, top + size};
            x = SubClamped(x, size);
        }
    }
    result.caption.right = x;
    if (shown(cmSysMenu)) {
        const int w = system_menu_size.x > 0 ? system_menu_size.x : size;
        const int h = system_menu_size.y > 0 ? system_menu_size.y : size;
        const int left = result.caption.left;
        result.buttons[cmSysMenu] = TRect{left, top, AddClamped(left, w), AddClamped(top, h)};
        result.caption.left = result.buttons[cmSysMenu].right;
    }
    result.caption.right = std::max(result.caption.right, result.caption.left);
    return result;
}

TPoint CaptionTextOrigin(const TRect& area, TAlignment alignment, int text_width, int text_height) {
    const int y = Saturated(int64_t{area.top} + area.Height() / 2 - text_height / 2);
    switch (alignment) {
        case taRightJustify:
            return TPoint{SubClamped(area.right, text_width), y};
        case taCenter:
            return TPoint{Saturated(int64_t{area.left} + area.Width() / 2 - text_width / 2), y};
        case taLeftJustify:
            break;
    }
    return TPoint{area.left, y};
}

TRect CaptionTextArea(const TRect& text_rect, const TRect& skin_rect, const TRect& frame_rect,
                      const TRect& frame_text_rect, int object_width) {
    TRect r = text_rect;
    if (!r.IsEmpty()) {
        r.right = Saturated(int64_t{object_width} + text_rect.right - skin_rect.Width());
    }
    if (!frame_rect.IsEmpty()) {
        r.left = AddClamped(r.left, frame_text_rect.left);
        r.top = AddClamped(r.top, frame_text_rect.top);
        r.right = Saturated(int64_t{r.right} + frame_text_rect.right - frame_rect.Width());
    }
    r.right = std::max(r.right, r.left);
    r.bottom = std::max(r.bottom, r.top);
    return r;
}

}  // namespace skin
