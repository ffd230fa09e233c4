#include "skin/controls/core/label_core.h"

#include <algorithm>
#include <limits>

namespace skin {

namespace {

int Saturated(int64_t v) {
    return static_cast<int>(
        std::clamp<int64_t>(v, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

// The geometry of a label that keeps its height: only the width moves it.
void FollowWidth(const TControlGeometry& g, int width, TAdaptedGeometry& a) {
    a.nlt = g.lt;
    a.nrt = TPoint{Saturated(int64_t{width} + g.rt.x - g.SW()), g.rt.y};
    a.nlb = g.lb;
    a.nrb = g.rb;
    a.nc = g.c;
    a.nc.right = Saturated(int64_t{width} + g.c.right - g.SW());
}

}  // namespace

int LabelTextOverflow(bool has_object, TSizingMode mode, int text_width, int label_width,
                      const TRect& nc) {
    if (!has_object) {
        return Saturated(int64_t{text_width} + 4 - label_width);
    }
    if (mode == smFixed) {
        return 0;
    }
    return Saturated(int64_t{text_width} - nc.Width());
}

void AdaptLabelSize(const TLabelSizing& sizing, TSizingMode mode, const TControlGeometry& g,
                    int& width, int& height, TAdaptedGeometry& a) {
    const bool base_rules = sizing.use_skin_size || mode == smNinePart;
    auto adapt = [&](int& w, int& h) {
        if (base_rules) {
            AdaptGeometry(mode, g, w, h, a);
        } else {
            FollowWidth(g, w, a);
        }
    };
    adapt(width, height);
    if (sizing.auto_size) {
        const int overflow = LabelTextOverflow(true, mode, sizing.text_width, width, a.nc);
        if (overflow > 0) {
            width = Saturated(int64_t{width} + overflow);
            adapt(width, height);
        }
    }
}

TPoint LabelCaptionOrigin(TAlignment alignment, const TRect& r, int tw, int th) {
    const int y = r.top + r.Height() / 2 - th / 2;
    switch (alignment) {
        case taRightJustify:
            return TPoint{r.right - tw, y};
        case taCenter:
            return TPoint{r.left + r.Width() / 2 - tw / 2, y};
        case taLeftJustify:
            break;
    }
    return TPoint{r.left, y};
}

}  // namespace skin
