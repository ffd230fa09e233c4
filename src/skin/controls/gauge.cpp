#include "skin/controls/gauge.h"

namespace skin {

using namespace framework;

TbsSkinGauge::TbsSkinGauge(TComponent* owner) : TbsSkinCustomControl(owner) {
    SetSkinDataName("gauge");
    SetBounds(0, 0, 100, 20);
}

void TbsSkinGauge::Changed() {
    // The window text is what the gauge shows, for programs that read the
    // window (automation, accessibility tools).
    SetShownText(WideText(Text()));
    if (!HandleAllocated()) {
        return;
    }
    // Fast transfers change the value far more often than the bar grows by
    // a pixel or the percentage by one: what looks the same is not painted
    // again.
    const Shown now{BarLength(), Text()};
    if (shownValid_ && now == shown_) {
        return;
    }
    shown_ = now;
    shownValid_ = true;
    ShowChange();
}

int TbsSkinGauge::BarLength() {
    int width = Width();
    int height = Height();
    TRect area{1, 1, width - 1, height - 1};
    if (DataIndex() >= 0) {
        binding_.Adapt(width, height);
        area = AdaptProgressArea(progressArea_, SizingMode(), vertical_, width, height, Geometry());
    }
    const TRect bar = GaugeBarRect(area, Fraction(), vertical_);
    return vertical_ ? bar.Height() : bar.Width();
}

void TbsSkinGauge::SetMinValue(int value) {
    minValue_ = value;
    if (value_ < value) {
        value_ = value;
    }
    Changed();
}

void TbsSkinGauge::SetMaxValue(int value) {
    maxValue_ = value;
    if (value_ > value) {
        value_ = value;
    }
    Changed();
}

void TbsSkinGauge::SetValue(int value) {
    if (value > maxValue_) {
        value = maxValue_;
    } else if (value < minValue_) {
        value = minValue_;
    }
    if (value != value_) {
        value_ = value;
        Changed();
    }
}

void TbsSkinGauge::SetProgressText(std::string text) {
    progressText_ = std::move(text);
    Changed();
}

void TbsSkinGauge::SetShowProgressText(bool value) {
    showProgressText_ = value;
    Changed();
}

void TbsSkinGauge::SetShowPercent(bool value) {
    showPercent_ = value;
    Changed();
}

void TbsSkinGauge::SetUseSkinSize(bool value) {
    useSkinSize_ = value;
    Changed();
}

double TbsSkinGauge::Fraction() const {
    return GaugeFraction(minValue_, maxValue_, value_);
}

int TbsSkinGauge::Percent() const {
    return GaugePercent(Fraction());
}

std::string TbsSkinGauge::Text() const {
    return GaugeText(showProgressText_, progressText_, showPercent_, Percent());
}

void TbsSkinGauge::FindSkinObject() {
    TbsSkinCustomControl::FindSkinObject();
    if (const auto* object = binding_.ObjectAs<TbsDataSkinGaugeControl>()) {
        progressArea_ = object->progress_area;
        progressRect_ = object->progress_rect;
        beginOffset_ = object->begin_offset;
        endOffset_ = object->end_offset;
        vertical_ = object->vertical;
        skinFont_ = object->font;
        progressTransparent_ = object->progress_transparent;
        progressTransparentColor_ = object->progress_transparent_color;
    }
}

void TbsSkinGauge::AdaptSize(int& width, int& height) {
    const int requestedWidth = width;
    const int requestedHeight = height;
    TbsSkinCustomControl::AdaptSize(width, height);
    if (!useSkinSize_) {
        width = requestedWidth;
        height = requestedHeight;
    }
}

void TbsSkinGauge::RebuildRegion() {
    if (useSkinSize_) {
        TbsSkinCustomControl::RebuildRegion();
    }
}

bool TbsSkinGauge::DrawSkinnedGauge(TBitmap& target, int width, int height) {
    const int w = target.Width();
    const int h = target.Height();
    skin::DrawSkinLook(SizingMode(), Geometry(), Adapted(), SkinPicture(), Geometry().s, width,
                       height, target);
    if (target.Width() != w || target.Height() != h) {
        // A fixed-size look: the rest of the gauge keeps the button face.
        TBitmap look;
        look.Assign(target);
        target.SetSize(w, h);
        target.Canvas().Brush().SetColor(clBtnFace);
        target.Canvas().FillRect(Rect(0, 0, w, h));
        target.Canvas().Draw(0, 0, look);
    }
    const TBitmapData* picture = SkinPicture();
    const TRect area =
        AdaptProgressArea(progressArea_, SizingMode(), vertical_, width, height, Geometry());
    const TRect bar = GaugeBarRect(area, Fraction(), vertical_);
    if (picture == nullptr || bar.IsEmpty()) {
        return true;
    }
    TBitmapData& scratch = barScratch_;
    if (!ComposeGaugeBar(*picture, progressRect_, beginOffset_, endOffset_, vertical_, bar.Width(),
                         bar.Height(), scratch)) {
        return false;  // a bar picture without a middle: no bar, no text
    }
    const TRect all{0, 0, scratch.Width(), scratch.Height()};
    if (progressTransparent_) {
        target.Canvas().DrawTransparent(bar.left, bar.top, scratch,
                                        Rect(0, 0, all.right, all.bottom),
                                        progressTransparentColor_);
    } else {
        GdiFlush();  // GDI's drawing into the bitmap is done before its pixels change
        TilePiece(target, all.Offset(bar.left, bar.top), scratch, all, false, false);
    }
    return true;
}

void TbsSkinGauge::PaintSkinned(TBitmap& target) {
    // The geometry at the size the object gives the gauge; without
    // UseSkinSize that image is stretched over the gauge's own size.
    int width = Width();
    int height = Height();
    binding_.Adapt(width, height);
    bool complete = true;
    if (useSkinSize_ || (width == target.Width() && height == target.Height())) {
        complete = DrawSkinnedGauge(target, width, height);
    } else {
        TBitmap natural(std::max(width, 1), std::max(height, 1));
        complete = DrawSkinnedGauge(natural, width, height);
        target.Canvas().StretchDraw(Rect(0, 0, target.Width(), target.Height()), natural);
    }
    if (complete) {
        DrawProgressText(target.Canvas(), target.Width(), target.Height());
    }
}

void TbsSkinGauge::DrawProgressText(TCanvas& canvas, int width, int height) {
    const std::string text = Text();
    if (text.empty()) {
        return;
    }
    if (DataIndex() >= 0) {
        SkinTextFont(canvas.Font(), skinFont_, UseSkinFont(), DefaultFont());
    } else {
        AssignFont(canvas.Font(), DefaultFont());
    }
    canvas.Brush().SetStyle(bsClear);
    // The text changes with the percentage only: its size is kept for it.
    if (text != measuredText_ || !measuredFont_ || !measuredFont_->SameAs(canvas.Font())) {
        measuredText_ = text;
        measuredFont_ = std::make_unique<TFont>(canvas.Font());
        measuredSize_ = canvas.TextExtent(text);
    }
    const SIZE size = measuredSize_;
    const TPoint at = GaugeTextOrigin(vertical_, width, height, size.cx, size.cy);
    if (vertical_) {
        canvas.Font().SetOrientation(900);
    }
    canvas.TextOut(at.x, at.y, text);
    canvas.Font().SetOrientation(0);
}

void TbsSkinGauge::PaintDefault(TBitmap& target) {
    TCanvas& c = target.Canvas();
    const int w = target.Width();
    const int h = target.Height();
    c.Brush().SetColor(clWindow);
    c.FillRect(Rect(0, 0, w, h));
    c.Brush().SetColor(clBtnShadow);
    c.FrameRect(Rect(0, 0, w, h));
    const TRect bar = GaugeBarRect(TRect{1, 1, w - 1, h - 1}, Fraction(), vertical_);
    if (!bar.IsEmpty()) {
        c.Brush().SetColor(MakeColor(182, 189, 210));
        c.FillRect(Rect(bar.left, bar.top, bar.right, bar.bottom));
    }
    DrawProgressText(c, w, h);
}

}  // namespace skin
