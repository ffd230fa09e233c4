#include "skin/controls/core/scroll_bar_core.h"

#include <algorithm>
#include <limits>

#include "base/rounding.h"

namespace skin {

namespace {

int Saturated(int64_t v) {
    return static_cast<int>(
        std::clamp<int64_t>(v, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

int Rounded(double v) {
    return Saturated(base::RoundHalfEven(std::clamp(v, -2e9, 2e9)));
}

// Places the thumb on `g.track`: its length along the track is `thumb`
// without a page, or the page's share of the track (at least `thumb`); a
// track shorter than that gets a thumb as long as the track, never one
// that reaches over the buttons. Across the track it spans `across_from`
// .. `across_to`.
void PlaceThumb(TScrollGeometry& g, TScrollBarKind kind, const TScrollRange& r, int thumb,
                int across_from, int across_to) {
    const bool vertical = kind == sbVertical;
    const int begin = vertical ? g.track.top : g.track.left;
    const int finish = vertical ? g.track.bottom : g.track.right;
    const int64_t length_of_track = std::max<int64_t>(int64_t{finish} - begin, 0);
    int64_t length = thumb;
    if (r.page_size > 0) {
        const int64_t values = int64_t{r.max} - r.min + 1;
        if (values > 0) {
            length = std::max<int64_t>(
                Rounded(static_cast<double>(length_of_track) * r.page_size / values), thumb);
        }
    }
    length = std::clamp<int64_t>(length, 0, length_of_track);
    const int half = static_cast<int>(length / 2);
    g.track_start = begin + half;
    g.track_end = finish - half;
    double share = 0;
    int span = 0;
    if (r.page_size > 0) {
        const int64_t steps = int64_t{r.max} - r.page_size - r.min + 1;
        share = steps > 0 ? static_cast<double>(int64_t{r.position} - r.min) / steps
                          : (vertical ? 0.0 : 1.0);
        span = g.track_end - g.track_start;
    } else {
        const int64_t values = int64_t{r.max} - r.min;
        share = values != 0 ? static_cast<double>(int64_t{r.position} - r.min) / values : 0.0;
        span = static_cast<int>(length_of_track - length);
    }
    g.offset = Rounded(std::clamp(share, 0.0, 1.0) * std::max(span, 0));
    const int along = r.page_size > 0 ? 2 * half : static_cast<int>(length);
    const int from = begin + g.offset;
    g.thumb = vertical ? TRect{across_from, from, across_to, from + along}
                       : TRect{from, across_from, from + along, across_to};
}

TRect Moved(const TRect& r, int dx, int dy) {
    return TRect{Saturated(int64_t{r.left} + dx), Saturated(int64_t{r.top} + dy),
                 Saturated(int64_t{r.right} + dx), Saturated(int64_t{r.bottom} + dy)};
}

}  // namespace

int TScrollRange::Highest() const {
    return page_size > 0 ? Saturated(int64_t{max} - page_size + 1) : max;
}

int TScrollRange::Clamp(int value) const {
    return std::max(std::min(value, Highest()), min);
}

bool TScrollRange::SetPosition(int value) {
    const int clamped = Clamp(value);
    if (clamped == position) {
        return false;
    }
    position = clamped;
    return true;
}

void TScrollRange::SetMax(int value) {
    max = value;
    if (page_size > 0) {
        if (int64_t{max} - min < int64_t{page_size} + position) {
            position = Saturated(int64_t{max} - min - page_size + 1);
        }
        position = std::max(position, min);
    } else if (position > max) {
        position = max;
    }
}

void TScrollRange::SetMin(int value) {
    min = value;
    position = std::max(position, min);
}

bool TScrollRange::SetPageSize(int value) {
    if (int64_t{max} - min + 1 < int64_t{value} + position) {
        return false;
    }
    page_size = value;
    return true;
}

void TScrollRange::Set(int min_value, int max_value, int page, int position_value) {
    min = min_value;
    max = max_value;
    page_size = page;
    position = Clamp(position_value);
}

TScrollGeometry PlainScrollGeometry(TScrollBarKind kind, int w, int h, bool both, int both_marker,
                                    const TScrollRange& range) {
    TScrollGeometry g;
    if (kind == sbVertical) {
        g.start_button = {1, 1, w - 1, 17};
        g.end_button = {1, h - 17, w - 1, h - 1};
        g.track = {1, 17, w - 1, h - 17};
        PlaceThumb(g, kind, range, 16, g.track.left, g.track.right);
    } else {
        const int right = both ? w - both_marker : w;
        g.start_button = {1, 1, 17, h - 1};
        g.end_button = {right - 17, 1, right - 1, h - 1};
        g.track = {17, 1, right - 17, h - 1};
        PlaceThumb(g, kind, range, 16, g.track.top, g.track.bottom);
    }
    return g;
}

TScrollGeometry SkinnedScrollGeometry(TScrollBarKind kind, int w, int h, const TScrollSkin& s,
                                      const TScrollRange& range) {
    TScrollGeometry g;
    g.track = s.track_area;
    g.start_button = s.start_button;
    g.end_button = s.end_button;
    if (kind == sbVertical) {
        const int dh = Saturated(int64_t{h} - s.sh);
        g.track.bottom = Saturated(int64_t{g.track.bottom} + dh);
        for (TRect* b : {&g.start_button, &g.end_button}) {
            if (b->top > s.left_bottom.y) {
                *b = Moved(*b, 0, dh);
            }
        }
        const int left = g.track.left + g.track.Width() / 2 - s.thumb_width / 2;
        PlaceThumb(g, kind, range, s.thumb_height, left, left + s.thumb_width);
    } else {
        const int dw = Saturated(int64_t{w} - s.sw);
        g.track.right = Saturated(int64_t{g.track.right} + dw);
        for (TRect* b : {&g.start_button, &g.end_button}) {
            if (b->left > s.right_top.x) {
                *b = Moved(*b, dw, 0);
            }
        }
        const int top = g.track.top + g.track.Height() / 2 - s.thumb_height / 2;
        PlaceThumb(g, kind, range, s.thumb_width, top, top + s.thumb_height);
    }
    return g;
}

TScrollHit ScrollHitTest(TScrollBarKind kind, const TScrollGeometry& g, int x, int y) {
    if (g.thumb.Contains(x, y)) {
        return shThumb;
    }
    if (g.end_button.Contains(x, y)) {
        return shEndButton;
    }
    if (g.start_button.Contains(x, y)) {
        return shStartButton;
    }
    if (!g.track.Contains(x, y)) {
        return shNothing;
    }
    const bool before = kind == sbVertical ? y < g.thumb.top : x < g.thumb.left;
    return before ? shPageBack : shPageForward;
}

int DragPosition(const TScrollRange& r, const TScrollGeometry& g, int offset_at_press,
                 int mouse_at_press, int mouse) {
    const int64_t offset = int64_t{offset_at_press} + mouse - mouse_at_press;
    const int64_t span = int64_t{g.track_end} - g.track_start;
    const double share =
        span > 0 ? std::clamp(static_cast<double>(offset) / static_cast<double>(span), 0.0, 1.0)
                 : 0.0;
    const int64_t values =
        r.page_size > 0 ? int64_t{r.max} - r.min - r.page_size + 1 : int64_t{r.max} - r.min;
    return Saturated(int64_t{r.min} + Rounded(static_cast<double>(values) * share));
}

TScrollStep TScrollRepeat::Start(TScrollRepeatMode mode, int small_change, int large_change) {
    mode_ = mode;
    first_ = true;
    small_ = small_change;
    large_ = large_change;
    switch (mode) {
        case srStartButton:
            return {-small_, false, kFirstDelay};
        case srEndButton:
            return {small_, false, kFirstDelay};
        case srPageBack:
            return {-large_, false, kFirstDelay};
        case srPageForward:
            return {large_, false, kFirstDelay};
        case srNone:
            break;
    }
    return {0, true, 0};
}

TScrollStep TScrollRepeat::Tick(TScrollBarKind kind, const TScrollGeometry& g, int mouse) {
    if (mode_ == srNone) {
        return {0, true, 0};
    }
    if (first_) {
        first_ = false;  // the first tick only quickens the repeat
        return {0, false, kPeriod};
    }
    const int thumbStart = kind == sbVertical ? g.thumb.top : g.thumb.left;
    const int thumbEnd = kind == sbVertical ? g.thumb.bottom : g.thumb.right;
    switch (mode_) {
        case srStartButton:
            return {-small_, false, kPeriod};
        case srEndButton:
            return {small_, false, kPeriod};
        case srPageBack:
            if (mouse < thumbStart) {
                return {-large_, false, kPeriod};
            }
            break;
        case srPageForward:
            if (mouse >= thumbEnd) {
                return {large_, false, kPeriod};
            }
            break;
        case srNone:
            break;
    }
    mode_ = srNone;
    return {0, true, 0};
}

}  // namespace skin
