#include "skin/controls/label.h"

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
    if (dataIndex_ < 0) {
        Invalidate();
    }
}

void TbsSkinLabel::SetAutoSize(bool value) {
    autoSize_ = value;
    FitText();
}

int TbsSkinLabel::TextOverflow() {
    TBitmap measure(1, 1);
    measure.Canvas().Font().Assign(DefaultFont());
    return measure.Canvas().TextWidth(Caption()) + 4 - Width();
}

void TbsSkinLabel::FitText() {
    if (autoSize_) {
        const int overflow = TextOverflow();
        if (overflow > 0) {
            SetWidth(Width() + overflow);
        }
    }
}

void TbsSkinLabel::TextChanged() {
    TbsSkinCustomControl::TextChanged();
    FitText();
    ShowChange();
}

void TbsSkinLabel::DrawCaption(TCanvas& c, const RECT& r) {
    if (Caption().empty()) {
        return;
    }
    const SIZE size = c.TextExtent(Caption());
    const int y = r.top + (r.bottom - r.top) / 2 - size.cy / 2;
    int x = r.left;
    if (alignment_ == taRightJustify) {
        x = r.right - size.cx;
    } else if (alignment_ == taCenter) {
        x = r.left + (r.right - r.left) / 2 - size.cx / 2;
    }
    HRGN clip = CreateRectRgn(r.left, r.top, r.right, r.bottom);
    c.SetClipRegion(clip);
    c.Brush().SetStyle(bsClear);
    c.TextOut(x, y, Caption());
    c.SetClipRegion(nullptr);
    DeleteObject(clip);
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
    c.Font().Assign(DefaultFont());
    DrawCaption(c, Rect(3, 3, target.Width() - 3, target.Height() - 3));
}

}  // namespace skin
