#include "skin/controls/button.h"

#include <algorithm>

namespace skin {

using namespace framework;

namespace {

constexpr TColor kNavy = MakeColor(0, 0, 128);
constexpr TColor kPressedFill = MakeColor(133, 147, 181);
constexpr TColor kHotFill = MakeColor(182, 189, 210);

TForm* ParentForm(TControl* control) {
    for (TControl* c = control->Parent(); c != nullptr; c = c->Parent()) {
        if (auto* form = dynamic_cast<TForm*>(c)) {
            return form;
        }
    }
    return nullptr;
}

}  // namespace

TbsSkinButton::TbsSkinButton(TComponent* owner) : TbsSkinCustomControl(owner) {
    SetSkinDataName("button");
    SetBounds(0, 0, 75, 25);
    SetTabStop(true);
    glyph_.OnChange = [this](TBitmap&) { Invalidate(); };
}

TbsSkinButton::~TbsSkinButton() = default;

void TbsSkinButton::SetNumGlyphs(int value) {
    value = std::clamp(value, 1, 4);
    if (value != numGlyphs_) {
        numGlyphs_ = value;
        Invalidate();
    }
}

void TbsSkinButton::SetLayout(TButtonLayout value) {
    if (value != layout_) {
        layout_ = value;
        Invalidate();
    }
}

void TbsSkinButton::SetMargin(int value) {
    if (value != margin_ && value >= -1) {
        margin_ = value;
        Invalidate();
    }
}

void TbsSkinButton::SetSpacing(int value) {
    if (value != spacing_) {
        spacing_ = value;
        Invalidate();
    }
}

void TbsSkinButton::SetRepeatInterval(int value) {
    repeatInterval_ = std::max(value, 1);
    if (repeatTimer_) {
        repeatTimer_->SetInterval(static_cast<unsigned>(repeatInterval_));
    }
}

void TbsSkinButton::SetCanFocused(bool value) {
    canFocused_ = value;
    SetTabStop(value);
}

void TbsSkinButton::SetGroupIndex(int value) {
    groupIndex_ = value;
    if (value != 0) {
        SetCanFocused(false);
    }
}

void TbsSkinButton::SetDefault(bool value) {
    default_ = value;
    isDefaultNow_ = value;
    if (HandleAllocated() && canFocused_) {
        if (TForm* form = ParentForm(this)) {
            form->BroadcastFocusChanged(form->ActiveControl());
        }
    }
}

void TbsSkinButton::SetDown(bool value) {
    if (value == down_) {
        return;
    }
    down_ = value;
    Refresh();
    if (groupIndex_ != 0 && down_ && !allowAllUp_ && Parent() != nullptr) {
        for (int i = 0; i < Parent()->ControlCount(); ++i) {
            auto* other = dynamic_cast<TbsSkinButton*>(Parent()->Controls(i));
            if (other != nullptr && other != this && other->groupIndex_ == groupIndex_ &&
                other->down_) {
                other->SetDown(false);
            }
        }
    }
}

void TbsSkinButton::Refresh() {
    if (HandleAllocated()) {
        Repaint();
    }
}

void TbsSkinButton::ButtonClick() {
    if (canFocused_) {
        if (TForm* form = ParentForm(this)) {
            form->SetModalResult(modalResult_);
        }
    }
    if (OnClick) {
        OnClick(this);
    }
}

void TbsSkinButton::StartRepeat() {
    if (!repeatTimer_) {
        repeatTimer_.reset(new TTimer(nullptr));
        repeatTimer_->SetEnabled(false);
        repeatTimer_->OnTimer = [this](TComponent*) { ButtonClick(); };
    }
    repeatTimer_->SetInterval(static_cast<unsigned>(repeatInterval_));
    repeatTimer_->SetEnabled(true);
}

void TbsSkinButton::StopRepeat() {
    repeatTimer_.reset();
}

bool TbsSkinButton::ShowsPressed() const {
    return down_ && (groupIndex_ != 0 || hot_ || (Focused() && canFocused_ && !mousePressed_));
}

int TbsSkinButton::GlyphNumber(bool active, bool down) const {
    if (active && down && numGlyphs_ > 2) {
        return 3;
    }
    if (active && numGlyphs_ > 3) {
        return 4;
    }
    if (Enabled() || numGlyphs_ < 2) {
        return 1;
    }
    return 2;
}

void TbsSkinButton::DrawGlyphAndCaption(TCanvas& canvas, const RECT& r, int glyphNumber,
                                        bool offset) {
    const int gw = glyph_.Empty() ? 0 : glyph_.Width() / numGlyphs_;
    const int gh = glyph_.Empty() ? 0 : glyph_.Height();
    RECT measure = Rect(0, 0, 0, 0);
    int tw = 0;
    int th = 0;
    if (!Caption().empty()) {
        canvas.DrawText(Caption(), measure, DT_CALCRECT);
        tw = measure.right - measure.left;
        th = measure.bottom - measure.top;
    }
    const int cx = r.left + (r.right - r.left) / 2;
    const int cy = r.top + (r.bottom - r.top) / 2;
    int gx = 0;
    int gy = 0;
    int tx = 0;
    int ty = 0;
    const int s = spacing_;
    if (margin_ == -1) {
        const int hw = (tw + gw + s) / 2;
        const int hh = (th + gh + s) / 2;
        switch (layout_) {
            case blGlyphLeft:
                gx = cx - hw, gy = cy - gh / 2, tx = cx + hw - tw, ty = cy - th / 2;
                break;
            case blGlyphRight:
                tx = cx - hw, ty = cy - th / 2, gx = cx + hw - gw, gy = cy - gh / 2;
                break;
            case blGlyphTop:
                gx = cx - gw / 2, gy = cy - hh, tx = cx - tw / 2, ty = cy + hh - th;
                break;
            case blGlyphBottom:
                gx = cx - gw / 2, gy = cy + hh - gh, tx = cx - tw / 2, ty = cy - hh;
                break;
        }
    } else {
        const int m = margin_;
        switch (layout_) {
            case blGlyphLeft:
                gx = r.left + m, gy = cy - gh / 2, tx = gx + gw + s, ty = cy - th / 2;
                break;
            case blGlyphRight:
                gx = r.right - gw - m, gy = cy - gh / 2, tx = gx - s - tw, ty = cy - th / 2;
                break;
            case blGlyphTop:
                gx = cx - gw / 2, gy = r.top + m, tx = cx - tw / 2, ty = gy + gh + s;
                break;
            case blGlyphBottom:
                gx = cx - gw / 2, gy = r.bottom - gh - m, tx = cx - tw / 2, ty = gy - s - th;
                break;
        }
    }
    if (offset) {
        ++gx, ++gy, ++tx, ++ty;
    }
    if (!Caption().empty()) {
        RECT text = Rect(tx, ty, tx + tw + 2, ty + th);
        canvas.Brush().SetStyle(bsClear);
        canvas.DrawText(Caption(), text, DT_CENTER);
    }
    if (gw > 0 && gh > 0) {
        const int n = std::clamp(glyphNumber, 1, numGlyphs_);
        const RECT piece = Rect((n - 1) * gw, 0, n * gw, gh);
        canvas.DrawTransparent(gx, gy, glyph_, piece, glyph_.Pixel(piece.left, gh - 1));
    }
}

void TbsSkinButton::PaintDefault(TBitmap& target) {
    TCanvas& c = target.Canvas();
    const RECT all = Rect(0, 0, target.Width(), target.Height());
    const bool pressed = ShowsPressed();
    TColor frame = clBtnShadow;
    TColor fill = clBtnFace;
    if (pressed) {
        frame = kNavy;
        fill = kPressedFill;
    } else if (hot_ || (Focused() && canFocused_)) {
        frame = kNavy;
        fill = kHotFill;
    }
    c.Brush().SetColor(fill);
    c.FillRect(all);
    c.Brush().SetColor(frame);
    c.FrameRect(all);
    c.Font().Assign(DefaultFont());
    if (!Enabled()) {
        c.Font().SetColor(clBtnShadow);
    }
    DrawGlyphAndCaption(c, all, GlyphNumber(hot_, down_), pressed);
}

void TbsSkinButton::WndProc(TMessage& m) {
    switch (m.Msg) {
        case CM_DIALOGKEY: {
            const bool enter = m.WParam == VK_RETURN && isDefaultNow_ && Enabled();
            const bool escape = m.WParam == VK_ESCAPE && cancel_ && canFocused_ &&
                                (ShiftStateFromKeyboard() & ssShift) == 0 && CanFocus();
            if (enter || escape) {
                ButtonClick();
                m.Result = 1;
            }
            return;
        }
        case CM_FOCUSCHANGED: {
            auto* button = dynamic_cast<TbsSkinButton*>(reinterpret_cast<TWinControl*>(m.LParam));
            isDefaultNow_ = button != nullptr ? button == this : default_;
            if (default_ && canFocused_) {
                // A default button lights up while the focus is on a control
                // that does not answer Enter itself.
                if (button == nullptr) {
                    hot_ = true;
                    Refresh();
                } else if (button != this) {
                    hot_ = false;
                    Refresh();
                }
            }
            return;
        }
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            if (!Designing() && canFocused_ && !Focused()) {
                inSetFocus_ = true;
                SetFocus();
                inSetFocus_ = false;
                if (!Focused()) {
                    return;  // the focus stayed elsewhere: the press is ignored
                }
            }
            break;
        default:
            break;
    }
    TbsSkinCustomControl::WndProc(m);
}

void TbsSkinButton::MouseDown(TMouseButton button, TShiftState, int, int) {
    if (button != mbLeft) {
        return;
    }
    mousePressed_ = true;
    if (!down_) {
        hot_ = true;
        SetDown(true);
        if (repeatMode_ && groupIndex_ == 0) {
            StartRepeat();
        } else if (groupIndex_ != 0) {
            ButtonClick();
        }
        pressedOnDown_ = false;
    } else if (groupIndex_ != 0) {
        pressedOnDown_ = true;
    }
}

void TbsSkinButton::MouseUp(TMouseButton button, TShiftState, int, int) {
    if (button != mbLeft) {
        return;
    }
    mousePressed_ = false;
    if (groupIndex_ == 0) {
        if (hot_) {
            SetDown(false);
            StopRepeat();
            ButtonClick();
        } else {
            down_ = false;
            StopRepeat();
        }
    } else if (down_ && allowAllUp_ && pressedOnDown_ && hot_) {
        SetDown(false);
        ButtonClick();
    }
}

void TbsSkinButton::MouseEnter() {
    TbsSkinCustomControl::MouseEnter();
    if (Designing()) {
        return;
    }
    hot_ = true;
    if ((groupIndex_ != 0 && !down_) || (groupIndex_ == 0 && (!Focused() || down_))) {
        Refresh();
    }
    if (down_ && repeatMode_ && groupIndex_ == 0) {
        StartRepeat();
    }
}

void TbsSkinButton::MouseLeave() {
    TbsSkinCustomControl::MouseLeave();
    if (Designing()) {
        return;
    }
    if (!(canFocused_ && default_ && isDefaultNow_ && !Focused())) {
        hot_ = false;
    }
    if ((groupIndex_ != 0 && !down_) || (groupIndex_ == 0 && (!Focused() || down_))) {
        Refresh();
    }
    if (down_ && repeatMode_ && repeatTimer_ && groupIndex_ == 0) {
        StopRepeat();
    }
}

void TbsSkinButton::KeyDown(WORD key, TShiftState) {
    if (!canFocused_) {
        return;
    }
    if (key == VK_SPACE) {
        SetDown(true);
        if (repeatMode_) {
            ButtonClick();
        }
    } else if (key == VK_RETURN) {
        ButtonClick();
    }
}

void TbsSkinButton::KeyUp(WORD key, TShiftState) {
    if (canFocused_ && key == VK_SPACE && down_) {
        SetDown(false);
        ButtonClick();
    }
}

void TbsSkinButton::FocusChanged(bool focused) {
    if (!focused) {
        if (repeatMode_) {
            StopRepeat();
        }
        if (groupIndex_ == 0) {
            down_ = false;
        }
    }
    Refresh();
}

void TbsSkinButton::EnabledChanged() {
    hot_ = false;
    Refresh();
}

}  // namespace skin
