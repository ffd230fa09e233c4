#include "skin/controls/label.h"

#include <algorithm>

namespace skin {

using namespace framework;

namespace {

// A one-pixel 3-D frame around `r` shrunk by one pixel on the right and
// bottom: bottom-left, top-left, top-right in `topLeft`, then top-right,
// bottom-right and one pixel left of bottom-left in `bottomRight`.
void Frame3D(TCanvas& c, RECT r, TColor topLeft, TColor bottomRight) {
    --r.right;
    --r.bottom;
    const POINT first[] = {{r.left, r.bottom}, {r.left, r.top}, {r.right, r.top}};
    const POINT second[] = {{r.right, r.top}, {r.right, r.bottom}, {r.left - 1, r.bottom}};
    c.Pen().SetColor(topLeft);
    c.Polyline(first, 3);
    c.Pen().SetColor(bottomRight);
    c.Polyline(second, 3);
}

}  // namespace

TbsSkinLabel::TbsSkinLabel(TComponent* owner) : TbsSkinCustomControl(owner) {
    SetShownText(L"");
    SetSkinDataName("label");
    SetBounds(0, 0, 75, 21);
}

void TbsSkinLabel::SetAlignment(TAlignment value) {
    if (value != alignment_) {
        alignment_ = value;
        Invalidate();
    }
}

void TbsSkinLabel::SetBorderStyle(TBevelStyle value) {
    borderStyle_ = value;
    if (DataIndex() < 0) {
        Invalidate();
    }
}

void TbsSkinLabel::SetAutoSize(bool value) {
    autoSize_ = value;
    FitText();
}

void TbsSkinLabel::SetUseSkinSize(bool value) {
    if (value != useSkinSize_) {
        useSkinSize_ = value;
        RebuildRegion();
        Invalidate();
    }
}

void TbsSkinLabel::FindSkinObject() {
    TbsSkinCustomControl::FindSkinObject();
    if (const auto* object = binding_.ObjectAs<TbsDataSkinLabelControl>()) {
        skinFont_ = object->font;
        if (SizingMode() == smFixed) {
            autoSize_ = false;  // a label of a fixed size never fits its text
        }
    }
}

void TbsSkinLabel::CaptionFont(TFont& font) const {
    if (DataIndex() >= 0) {
        SkinTextFont(font, skinFont_, UseSkinFont(),
                     const_cast<TbsSkinLabel*>(this)->DefaultFont());
    } else {
        font.Assign(const_cast<TbsSkinLabel*>(this)->DefaultFont());
    }
}

int TbsSkinLabel::CaptionWidth() const {
    if (Caption().empty()) {
        return 0;
    }
    TBitmap measure(1, 1);
    CaptionFont(measure.Canvas().Font());
    return measure.Canvas().TextWidth(Caption());
}

int TbsSkinLabel::TextOverflow() {
    FindSkinObject();
    if (DataIndex() < 0) {
        return LabelTextOverflow(false, smNone, CaptionWidth(), Width(), TRect{});
    }
    // The text rectangle at the current width, not grown for the text.
    int w = Width();
    int h = Height();
    AdaptLabelSize(TLabelSizing{useSkinSize_, false, 0}, SizingMode(), Geometry(), w, h,
                   binding_.Adapted());
    return LabelTextOverflow(true, SizingMode(), CaptionWidth(), Width(), Adapted().nc);
}

void TbsSkinLabel::AdaptSize(int& width, int& height) {
    if (DataIndex() < 0) {
        return;
    }
    TLabelSizing sizing{useSkinSize_, autoSize_, autoSize_ ? CaptionWidth() : 0};
    AdaptLabelSize(sizing, SizingMode(), Geometry(), width, height, binding_.Adapted());
}

void TbsSkinLabel::FitText() {
    if (!autoSize_) {
        return;
    }
    const int overflow = TextOverflow();
    if (overflow != 0 && autoSize_) {
        SetWidth(std::max(Width() + overflow, 0));
    }
}

void TbsSkinLabel::RebuildRegion() {
    if (useSkinSize_) {
        TbsSkinCustomControl::RebuildRegion();
    }
}

void TbsSkinLabel::TextChanged() {
    // Not the inherited handling, which sets the window text and invalidates
    // the window at once: a label that shows progress changes its caption
    // for every piece of a transfer.
    SetShownText(WideText(Caption()));
    FitText();
    ShowChange();
}

int TbsSkinLabel::TextHeight(TCanvas& c) {
    if (!heightFont_ || !heightFont_->SameAs(c.Font())) {
        heightFont_ = std::make_unique<TFont>(c.Font());
        textHeight_ = c.TextExtent("W").cy;
    }
    return textHeight_;
}

void TbsSkinLabel::DrawCaption(TCanvas& c, const RECT& r) {
    if (Caption().empty()) {
        return;
    }
    CaptionFont(c.Font());
    // A caption changes with every piece of a transfer: it is measured only
    // when its width places it (centred); a right-aligned one is drawn from
    // its right edge, and one line is as high as the font.
    const TRect rect{r.left, r.top, r.right, r.bottom};
    const int th = TextHeight(c);
    UINT align = TA_LEFT;
    TPoint at;
    if (alignment_ == taCenter) {
        at = LabelCaptionOrigin(taCenter, rect, c.TextWidth(Caption()), th);
    } else if (alignment_ == taRightJustify) {
        at = LabelCaptionOrigin(taRightJustify, rect, 0, th);
        align = TA_RIGHT;
    } else {
        at = LabelCaptionOrigin(taLeftJustify, rect, 0, th);
    }
    HRGN clip = CreateRectRgn(r.left, r.top, r.right, r.bottom);
    c.SetClipRegion(clip);
    DeleteObject(clip);
    c.Brush().SetStyle(bsClear);
    HDC dc = c.Handle();
    const UINT previous = SetTextAlign(dc, align | TA_TOP | TA_NOUPDATECP);
    c.TextOut(at.x, at.y, Caption());
    SetTextAlign(dc, previous);
    c.SetClipRegion(nullptr);
}

void TbsSkinLabel::PaintSkinned(TBitmap& target) {
    const TControlGeometry& g = Geometry();
    int w = Width();
    int h = Height();
    AdaptLabelSize(TLabelSizing{useSkinSize_, false, 0}, SizingMode(), g, w, h, binding_.Adapted());
    TRect nc = Adapted().nc;
    if (useSkinSize_ || SizingMode() == smNinePart) {
        TbsSkinCustomControl::PaintSkinned(target);
    } else if (const TBitmapData* picture = SkinPicture()) {
        // The strip at the skin's height, stretched over the label.
        TBitmapData strip;
        BuildPartImage3H(*picture, g.s, g.lt.x, g.SW() - g.rt.x, Width(), strip);
        target.Canvas().StretchDraw(Rect(0, 0, target.Width(), target.Height()), strip);
        nc.bottom += Height() - g.SH();
    }
    DrawCaption(target.Canvas(), Rect(nc.left, nc.top, nc.right, nc.bottom));
}

void TbsSkinLabel::PaintDefault(TBitmap& target) {
    TbsSkinCustomControl::PaintDefault(target);
    TCanvas& c = target.Canvas();
    const RECT all = Rect(0, 0, target.Width(), target.Height());
    switch (borderStyle_) {
        case bvFrame:
            Frame3D(c, all, clBtnShadow, clBtnShadow);
            break;
        case bvRaised:
            Frame3D(c, all, clBtnHighlight, clBtnShadow);
            break;
        case bvLowered:
            Frame3D(c, all, clBtnShadow, clBtnHighlight);
            break;
        case bvNone:
            break;
    }
    DrawCaption(c, Rect(3, 3, target.Width() - 3, target.Height() - 3));
}

}  // namespace skin
