#include "skin/form/core/frame_core.h"

#include <algorithm>

#include "skin/form/core/frame_arith.h"

namespace skin {

namespace {

TPoint Moved(TPoint p, int dx, int dy) {
    return TPoint{AddClamped(p.x, dx), AddClamped(p.y, dy)};
}

// `r` with its right and bottom edges moved.
TRect Grown(const TRect& r, int dx, int dy) {
    return TRect{r.left, r.top, AddClamped(r.right, dx), AddClamped(r.bottom, dy)};
}

TRect Shifted(const TRect& r, int dx, int dy) {
    return TRect{AddClamped(r.left, dx), AddClamped(r.top, dy), AddClamped(r.right, dx),
                 AddClamped(r.bottom, dy)};
}

bool InAny(const std::vector<TRect>& rects, TPoint p) {
    return std::any_of(rects.begin(), rects.end(),
                       [p](const TRect& r) { return r.Contains(p.x, p.y); });
}

bool IsBlack(const TBitmapData& band, int x, int y) {
    if (x < 0 || y < 0 || x >= band.Width() || y >= band.Height()) {
        return false;
    }
    return band.Pixel(x, y) == 0;
}

}  // namespace

int BuiltInCaptionHeight(bool tool_window) {
    return tool_window ? 15 : 19;
}

TFrameGeometry CurrentGeometry(const TSkinFormInfo& info, int picture_width, int picture_height,
                               int width, int height) {
    const int dx = SubClamped(width, picture_width);
    const int dy = SubClamped(height, picture_height);
    TFrameGeometry g;
    g.left_top = info.left_top_point;
    g.right_top = Moved(info.right_top_point, dx, 0);
    g.left_bottom = Moved(info.left_bottom_point, 0, dy);
    g.right_bottom = Moved(info.right_bottom_point, dx, dy);
    g.client = Grown(info.client_rect, dx, dy);
    g.caption = info.caption_rect.IsEmpty() ? info.caption_rect : Grown(info.caption_rect, dx, 0);
    g.buttons = info.buttons_rect;
    if (!g.buttons.IsEmpty() && g.buttons.left > picture_width / 2) {
        g.buttons = Shifted(g.buttons, dx, 0);
    }
    g.buttons_offset = info.buttons_offset;
    g.buttons_in_left = info.buttons_in_left;
    g.mask_area = Grown(info.mask_rect_area, dx, dy);
    g.hit_left_top = info.hittest_left_top_point;
    g.hit_right_top = Moved(info.hittest_right_top_point, dx, 0);
    g.hit_left_bottom = Moved(info.hittest_left_bottom_point, 0, dy);
    g.hit_right_bottom = Moved(info.hittest_right_bottom_point, dx, dy);
    return g;
}

TPartGeometry PictureFrameParts(const TSkinFormInfo& info) {
    return TPartGeometry{info.left_top_point, info.right_top_point, info.left_bottom_point,
                         info.right_bottom_point, info.client_rect};
}

TPartGeometry WindowFrameParts(const TFrameGeometry& g) {
    return TPartGeometry{g.left_top, g.right_top, g.left_bottom, g.right_bottom, g.client};
}

TPartGeometry PictureMaskParts(const TSkinFormInfo& info) {
    TPartGeometry parts = PictureFrameParts(info);
    parts.client = info.mask_rect_area;
    return parts;
}

TPartGeometry WindowMaskParts(const TFrameGeometry& g) {
    TPartGeometry parts = WindowFrameParts(g);
    parts.client = g.mask_area;
    return parts;
}

TFrameInsets SkinnedInsets(const TSkinFormInfo& info, int picture_width, int picture_height) {
    const TRect& c = info.client_rect;
    return TFrameInsets{std::max(c.left, 0), std::max(c.top, 0),
                        std::max(SubClamped(picture_width, c.right), 0),
                        std::max(SubClamped(picture_height, c.bottom), 0)};
}

TFrameInsets BuiltInInsets(bool tool_window) {
    return TFrameInsets{3, BuiltInCaptionHeight(tool_window) + 3, 3, 3};
}

TRect InsetClientRect(const TRect& window, const TFrameInsets& insets) {
    TRect r{AddClamped(window.left, insets.left), AddClamped(window.top, insets.top),
            SubClamped(window.right, insets.right), SubClamped(window.bottom, insets.bottom)};
    r.right = std::max(r.right, r.left);
    r.bottom = std::max(r.bottom, r.top);
    return r;
}

TPoint PointFromLParam(intptr_t lparam) {
    const auto bits = static_cast<uint64_t>(lparam);
    return TPoint{static_cast<int16_t>(static_cast<uint16_t>(bits & 0xFFFF)),
                  static_cast<int16_t>(static_cast<uint16_t>((bits >> 16) & 0xFFFF))};
}

bool MaskIsBlackAt(const TMaskBands& bands, const TRect& mask_area, TPoint p) {
    if (p.y < mask_area.top) {
        return IsBlack(bands.top, p.x, p.y);
    }
    if (p.y >= mask_area.bottom) {
        return IsBlack(bands.bottom, p.x, SubClamped(p.y, mask_area.bottom));
    }
    if (p.x < mask_area.left) {
        return IsBlack(bands.left, p.x, SubClamped(p.y, mask_area.top));
    }
    if (p.x >= mask_area.right) {
        return IsBlack(bands.right, SubClamped(p.x, mask_area.right),
                       SubClamped(p.y, mask_area.top));
    }
    return true;
}

namespace {

// Whether p lies in the sizing zone of a skinned frame: one of the four
// probe points border_width away leaves the window (no mask) or falls on a
// pixel the mask cuts away.
bool NearSkinnedEdge(const TSkinHitTest& t, TPoint p) {
    const int b = t.border_width;
    const TPoint probes[] = {{SubClamped(p.x, b), p.y},
                             {p.x, SubClamped(p.y, b)},
                             {AddClamped(p.x, b), p.y},
                             {p.x, AddClamped(p.y, b)}};
    if (t.mask == nullptr) {
        const TRect window{0, 0, t.width, t.height};
        return std::any_of(std::begin(probes), std::end(probes),
                           [&](TPoint q) { return !window.Contains(q.x, q.y); });
    }
    const TRect& area = t.geometry->mask_area;
    if (area.Contains(p.x, p.y)) {
        return false;
    }
    return std::any_of(std::begin(probes), std::end(probes),
                       [&](TPoint q) { return !MaskIsBlackAt(*t.mask, area, q); });
}

int SizingZone(const TFrameGeometry& g, int width, int height, TPoint p) {
    const int x = p.x;
    const int y = p.y;
    if (x <= g.hit_left_top.x && y <= g.hit_left_top.y) {
        return htTopLeft;
    }
    if (x >= g.hit_right_top.x && y <= g.hit_right_top.y) {
        return htTopRight;
    }
    if (x <= g.hit_left_bottom.x && y >= g.hit_left_bottom.y) {
        return htBottomLeft;
    }
    if (x >= g.hit_right_bottom.x && y >= g.hit_right_bottom.y) {
        return htBottomRight;
    }
    if (TRect{g.hit_left_top.x, 0, g.hit_right_top.x, g.client.top}.Contains(x, y)) {
        return htTop;
    }
    if (TRect{g.hit_left_bottom.x, g.client.bottom, g.hit_right_bottom.x, height}.Contains(x, y)) {
        return htBottom;
    }
    if (TRect{0, g.hit_left_top.y, g.client.left, g.hit_left_bottom.y}.Contains(x, y)) {
        return htLeft;
    }
    if (TRect{g.client.right, g.hit_right_top.y, width, g.hit_right_bottom.y}.Contains(x, y)) {
        return htRight;
    }
    return htNowhere;
}

}  // namespace

int HitTestSkinned(const TSkinHitTest& t, TPoint p) {
    if (t.geometry == nullptr) {
        return htNowhere;
    }
    const TFrameGeometry& g = *t.geometry;
    const bool in_caption = InAny(t.captions, p);
    if (t.rolled_up_or_minimized) {
        return in_caption ? htCaption : htObject;
    }
    const bool in_client = g.client.Contains(p.x, p.y);
    if (t.object_active && !in_caption && !in_client && !t.in_size_move) {
        return htObject;
    }
    if (!t.maximized && t.sizeable && NearSkinnedEdge(t, p)) {
        const int zone = SizingZone(g, t.width, t.height, p);
        if (zone != htNowhere) {
            return zone;
        }
    }
    if (in_client) {
        return htClient;
    }
    return in_caption ? htCaption : htObject;
}

int HitTestBuiltIn(const TBuiltInHitTest& t, TPoint p) {
    if (!t.maximized && !t.rolled_up && !t.minimized && t.sizeable) {
        if (t.object_active) {
            return htObject;
        }
        const bool left = p.x <= 2;
        const bool top = p.y <= 2;
        const bool right = p.x >= SubClamped(t.width, 2);
        const bool bottom = p.y >= SubClamped(t.height, 2);
        if (left && top) {
            return htTopLeft;
        }
        if (right && top) {
            return htTopRight;
        }
        if (left && bottom) {
            return htBottomLeft;
        }
        if (right && bottom) {
            return htBottomRight;
        }
        if (left) {
            return htLeft;
        }
        if (top) {
            return htTop;
        }
        if (right) {
            return htRight;
        }
        if (bottom) {
            return htBottom;
        }
    }
    if (t.caption.Contains(p.x, p.y)) {
        return htCaption;
    }
    const TRect client{3, AddClamped(t.caption_height, 3), SubClamped(t.width, 3),
                       SubClamped(t.height, 3)};
    return client.Contains(p.x, p.y) ? htClient : htObject;
}

TPoint MinTrackSize(const TTrackSizeInput& in) {
    int width;
    int frame_height;
    if (in.skinned) {
        width = in.picture_width;
        if (in.min_width > width && !in.minimized) {
            width = in.min_width;
        }
        frame_height = SubClamped(in.picture_height, in.client_rect.Height());
    } else {
        width = in.min_width > 0 ? in.min_width : 120;
        frame_height = AddClamped(in.caption_height, 6);
    }
    int height = frame_height;
    if (frame_height < in.min_height && !in.rolled_up && !in.minimized) {
        height = in.min_height;
    }
    // A frame without height or width (an empty picture, a client as large as
    // the picture) would let a window shrink to nothing.
    return TPoint{std::max(width, 1), std::max(height, 1)};
}

TPoint MaxTrackSize(const TTrackSizeInput& in) {
    int width = in.monitor_width;
    int height = in.monitor_height;
    if (in.max_width != 0 && in.max_width < width) {
        width = in.max_width;
    }
    if (in.max_height != 0 && in.max_height < height) {
        height = in.max_height;
    }
    const TPoint min = MinTrackSize(in);
    return TPoint{std::max(width, min.x), std::max(height, min.y)};
}

TClientTiling ClientTiling(int client_width, int client_height, int tile_width, int tile_height) {
    if (client_width < 1 || client_height < 1 || tile_width < 1 || tile_height < 1) {
        return TClientTiling{};
    }
    return TClientTiling{client_width / tile_width + 1, client_height / tile_height + 1};
}

}  // namespace skin
