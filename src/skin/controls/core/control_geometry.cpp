#include "skin/controls/core/control_geometry.h"

#include <algorithm>
#include <limits>

namespace skin {

namespace {

// a + d, kept within the range of int.
int Moved(int a, int64_t d) {
    return static_cast<int>(std::clamp<int64_t>(int64_t{a} + d, std::numeric_limits<int>::min(),
                                                std::numeric_limits<int>::max()));
}

}  // namespace

TSizingMode SizingModeOf(const TControlGeometry& g) {
    if (g.s.IsEmpty()) {
        return smNone;
    }
    if (g.rb.x != 0 && g.rb.y != 0) {
        return smNinePart;
    }
    if (g.rt.x != 0 || g.rt.y != 0) {
        return smWidthOnly;
    }
    if (g.lb.x != 0 || g.lb.y != 0) {
        return smHeightOnly;
    }
    return smFixed;
}

void AdaptGeometry(TSizingMode mode, const TControlGeometry& g, int& width, int& height,
                   TAdaptedGeometry& a) {
    if (mode == smNone) {
        return;
    }
    a.nlt = g.lt;
    a.nrt = g.rt;
    a.nlb = g.lb;
    a.nrb = g.rb;
    a.nc = g.c;
    if (mode == smFixed) {
        width = g.SW();
        height = g.SH();
        return;
    }
    if (mode == smWidthOnly) {
        height = g.SH();
    } else if (mode == smHeightOnly) {
        width = g.SW();
    }
    const int64_t dw = int64_t{width} - g.SW();
    const int64_t dh = int64_t{height} - g.SH();
    if (mode == smNinePart || mode == smWidthOnly) {
        a.nrt = TPoint{Moved(g.rt.x, dw), g.rt.y};
        a.nc.right = Moved(g.c.right, dw);
    }
    if (mode == smNinePart || mode == smHeightOnly) {
        a.nlb = TPoint{g.lb.x, Moved(g.lb.y, dh)};
        a.nc.bottom = Moved(g.c.bottom, dh);
    }
    if (mode == smNinePart) {
        a.nrb = TPoint{Moved(g.rb.x, dw), Moved(g.rb.y, dh)};
    }
}

void DrawSkinLook(TSizingMode mode, const TControlGeometry& g, const TAdaptedGeometry& a,
                  const TBitmapData* picture, const TRect& look, int width, int height,
                  TBitmapData& target) {
    if (picture == nullptr || mode == smNone) {
        return;
    }
    switch (mode) {
        case smFixed:
            BuildTiledImage(*picture, look, g.SW(), g.SH(), target);
            break;
        case smNinePart:
            BuildPartImage9(*picture, look, g.Part(), a.Part(), width, height, true, target);
            break;
        case smWidthOnly:
            BuildPartImage3H(*picture, look, g.lt.x, Moved(g.SW(), -int64_t{g.rt.x}), width,
                             target);
            break;
        case smHeightOnly:
            BuildPartImage3V(*picture, look, g.lt.y, Moved(g.SH(), -int64_t{g.lb.y}), height,
                             target);
            break;
        case smNone:
            break;
    }
}

std::optional<TMaskGeometry> ControlMaskGeometry(TSizingMode mode, const TControlGeometry& g,
                                                 const TAdaptedGeometry& a, int width, int height) {
    switch (mode) {
        case smNinePart:
            return TMaskGeometry{g.Part(), a.Part()};
        case smWidthOnly: {
            const TPoint nrt{Moved(g.rt.x, int64_t{width} - g.SW()), g.rt.y};
            return TMaskGeometry{TPartGeometry{g.lt, g.rt, g.lt, g.rt, g.c},
                                 TPartGeometry{g.lt, nrt, g.lt, nrt, a.nc}};
        }
        case smHeightOnly: {
            const TPoint nlb{g.lb.x, Moved(g.lb.y, int64_t{height} - g.SH())};
            return TMaskGeometry{TPartGeometry{g.lt, g.lt, g.lb, g.lb, g.c},
                                 TPartGeometry{g.lt, g.lt, nlb, nlb, a.nc}};
        }
        case smNone:
        case smFixed:
            break;
    }
    return std::nullopt;
}

std::optional<std::vector<TMaskRuns>> ControlMaskRuns(TSizingMode mode, const TControlGeometry& g,
                                                      const TAdaptedGeometry& a,
                                                      const TBitmapData* mask, int width,
                                                      int height) {
    if (mask == nullptr || mode == smNone) {
        return std::nullopt;
    }
    if (mode == smFixed) {
        return std::vector<TMaskRuns>{MaskRuns(*mask, 0, 0)};
    }
    const auto geometry = ControlMaskGeometry(mode, g, a, width, height);
    if (!geometry) {
        return std::nullopt;
    }
    return MaskRuns9(*mask, geometry->from, geometry->to, width, height);
}

// --- TSkinBinding ------------------------------------------------------------

bool TSkinBinding::Current() const {
    return data_index_ >= 0 && skin_data_ != nullptr && !skin_data_->SkinEmpty() &&
           skin_data_->Generation() == generation_;
}

TbsDataSkinControl* TSkinBinding::Object() const {
    return Current() ? skin_data_->ControlObject(data_index_) : nullptr;
}

const TBitmapData* TSkinBinding::PictureAt(int index) const {
    return Current() ? skin_data_->Picture(index) : nullptr;
}

void TSkinBinding::FindIndex() {
    if (skin_data_ == nullptr || skin_data_->SkinEmpty()) {
        Drop();
        return;
    }
    data_index_ = skin_data_->IndexOfControlObject(name_);
    generation_ = skin_data_->Generation();
}

void TSkinBinding::FindObject() {
    FindIndex();
    if (data_index_ < 0) {
        return;  // the copied values stay as they were and are not used
    }
    const auto* object =
        dynamic_cast<const TbsDataSkinCustomControl*>(skin_data_->ControlObject(data_index_));
    if (object == nullptr) {
        sizing_mode_ = smNone;
        picture_index_ = -1;
        mask_index_ = -1;
        return;
    }
    geometry_ = TControlGeometry{object->left_top_point,    object->right_top_point,
                                 object->left_bottom_point, object->right_bottom_point,
                                 object->skin_rect,         object->client_rect};
    picture_index_ = object->picture_index;
    mask_index_ = object->mask_picture_index;
    sizing_mode_ = SizingModeOf(geometry_);
}

void TSkinBinding::Drop() {
    data_index_ = -1;
    picture_index_ = -1;
    mask_index_ = -1;
}

void TSkinBinding::Adapt(int& width, int& height) {
    if (data_index_ >= 0) {
        AdaptGeometry(sizing_mode_, geometry_, width, height, adapted_);
    }
}

}  // namespace skin
