#include "skin/controls/button.h"

#include <algorithm>

#include "skin/data/effect.h"

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
    if (Morphing()) {
        morphFactor_ = 1;
        if (value) {
            StopMorph();
        } else {
            StartMorphOrRepaint();  // fades back from the active look
        }
    }
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
        // From a copy: the handler may free the button, and with it OnClick.
        const TNotifyEvent handler = OnClick;
        handler(this);
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

TButtonState TbsSkinButton::State() const {
    TButtonState st;
    st.enabled = Enabled();
    st.has_disabled_look = DataIndex() >= 0 && !disabledLook_.IsEmpty();
    st.down = down_;
    st.grouped = groupIndex_ != 0;
    st.hot = hot_;
    st.focused = Focused() && canFocused_;
    st.mouse_pressed = mousePressed_;
    st.morphing = Morphing();
    st.morph_factor = morphFactor_;
    return st;
}

bool TbsSkinButton::ShowsPressed() const {
    return ButtonShowsPressed(State());
}

int TbsSkinButton::GlyphNumber(bool active, bool down) const {
    return ButtonGlyphNumber(active, down, Enabled(), numGlyphs_);
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
    const TGlyphCaptionPlace at =
        PlaceGlyphAndCaption(TRect{r.left, r.top, r.right, r.bottom}, margin_, spacing_, layout_,
                             gw, gh, tw, th, offset);
    if (!Caption().empty()) {
        RECT text = Rect(at.caption.x, at.caption.y, at.caption.x + tw + 2, at.caption.y + th);
        canvas.Brush().SetStyle(bsClear);
        canvas.DrawText(Caption(), text, DT_CENTER);
    }
    if (gw > 0 && gh > 0) {
        const int n = std::clamp(glyphNumber, 1, numGlyphs_);
        const RECT piece = Rect((n - 1) * gw, 0, n * gw, gh);
        canvas.DrawTransparent(at.glyph.x, at.glyph.y, glyph_, piece,
                               glyph_.Pixel(piece.left, gh - 1));
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

void TbsSkinButton::FindSkinObject() {
    TbsSkinCustomControl::FindSkinObject();
    if (const auto* object = binding_.ObjectAs<TbsDataSkinButtonControl>()) {
        skinFont_ = object->font;
        activeFontColor_ = object->active_font_color;
        downFontColor_ = object->down_font_color;
        disabledFontColor_ = object->disabled_font_color;
        activeLook_ =
            object->active_skin_rect.IsEmpty() ? object->skin_rect : object->active_skin_rect;
        downLook_ = object->down_skin_rect.IsEmpty() ? activeLook_ : object->down_skin_rect;
        disabledLook_ = object->disabled_skin_rect;
        morphing_ = object->morphing;
        morphKind_ = object->morph_kind;
    } else {
        // Another class's object: the skin's looks without a button's states.
        activeLook_ = downLook_ = Geometry().s;
        disabledLook_ = TRect{};
        morphing_ = false;
    }
}

void TbsSkinButton::DrawState(TBitmap& target, const TRect& look, bool active, bool down) {
    DrawSkinLook(target, look);
    TCanvas& c = target.Canvas();
    SkinTextFont(c.Font(), skinFont_, UseSkinFont(), DefaultFont());
    if (!Enabled()) {
        c.Font().SetColor(disabledFontColor_);
    } else if (active && down) {
        c.Font().SetColor(downFontColor_);
    } else if (active) {
        c.Font().SetColor(activeFontColor_);
    }
    const TRect& nc = Adapted().nc;
    DrawGlyphAndCaption(c, Rect(nc.left, nc.top, nc.right, nc.bottom), GlyphNumber(active, down),
                        active && down);
}

void TbsSkinButton::PaintSkinned(TBitmap& target) {
    const TButtonState st = State();
    if (ButtonShowsMorph(st)) {
        TBitmap normal(target.Width(), target.Height());
        TBitmap active(target.Width(), target.Height());
        DrawState(normal, Geometry().s, false, false);
        DrawState(active, activeLook_, true, false);
        TbsEffectBmp blended(normal);
        Blend(blended, TbsEffectBmp(active), morphKind_, morphFactor_);
        blended.Draw(target, 0, 0);
        return;
    }
    switch (ChooseButtonLook(st)) {
        case blkDisabled:
            DrawState(target, disabledLook_, false, false);
            break;
        case blkPressed:
            DrawState(target, downLook_, true, true);
            break;
        case blkActive:
            DrawState(target, activeLook_, true, false);
            break;
        case blkNormal:
            DrawState(target, Geometry().s, false, false);
            break;
    }
}

void TbsSkinButton::StartMorphOrRepaint() {
    if (!Morphing()) {
        Refresh();
        return;
    }
    if (!morphTimer_) {
        morphTimer_.reset(new TTimer(nullptr));
        morphTimer_->SetEnabled(false);
        morphTimer_->SetInterval(20);
        morphTimer_->OnTimer = [this](TComponent*) { MorphTimerTick(); };
    }
    morphTimer_->SetEnabled(true);
}

void TbsSkinButton::StopMorph() {
    // Disabled, not freed: this may run inside the timer's own tick.
    if (morphTimer_) {
        morphTimer_->SetEnabled(false);
    }
}

void TbsSkinButton::MorphTimerTick() {
    const bool lit = hot_ || Focused();
    const TMorphStep step = MorphTick(morphFactor_, lit, Morphing());
    morphFactor_ = step.factor;
    if (step.stop) {
        StopMorph();
    }
    Refresh();
}

void TbsSkinButton::ApplySkinChange() {
    StopMorph();
    morphFactor_ = 0;
    TbsSkinCustomControl::ApplySkinChange();
    if (Morphing() && (Focused() || hot_)) {
        morphFactor_ = 1;
    }
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
                    if (Morphing()) {
                        morphFactor_ = 1;
                    }
                    Refresh();
                } else if (button != this) {
                    hot_ = false;
                    Refresh();
                }
            }
            return;
        }
        case CM_DIALOGCHAR:
            if (canFocused_ && CanFocus() &&
                IsAccelerator(static_cast<char16_t>(m.WParam), Caption())) {
                SetFocus();
                m.Result = 1;
                ButtonClick();  // last: the handler may free the button
            }
            return;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            if (canFocused_) {
                inSetFocus_ = true;
                const bool taken = TakeFocusOnPress();
                inSetFocus_ = false;
                if (!taken) {
                    return;
                }
            }
            break;
        default:
            break;
    }
    TbsSkinCustomControl::WndProc(m);
}

void TbsSkinButton::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    TbsSkinCustomControl::MouseDown(button, shift, x, y);
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

void TbsSkinButton::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    if (button != mbLeft) {
        TbsSkinCustomControl::MouseUp(button, shift, x, y);
        return;
    }
    mousePressed_ = false;
    // The click handler may free the button: nothing of it is read after
    // the click unless it is still there.
    const auto alive = Liveness();
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
    if (!alive.expired() && HandleAllocated() && Visible()) {
        TbsSkinCustomControl::MouseUp(button, shift, x, y);
    }
}

void TbsSkinButton::MouseEnter() {
    TbsSkinCustomControl::MouseEnter();
    if (Designing()) {
        return;
    }
    hot_ = true;
    if ((groupIndex_ != 0 && !down_) || (groupIndex_ == 0 && (!Focused() || down_))) {
        if (down_) {
            if (Morphing()) {
                morphFactor_ = 1;
            }
            Refresh();
        } else {
            StartMorphOrRepaint();
        }
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
        StartMorphOrRepaint();
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
    StartMorphOrRepaint();
}

void TbsSkinButton::EnabledChanged() {
    StopMorph();
    morphFactor_ = 0;
    hot_ = false;
    Refresh();
}

}  // namespace skin
