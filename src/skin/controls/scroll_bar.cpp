#include "skin/controls/scroll_bar.h"

#include <algorithm>

#include "skin/data/marks.h"

namespace skin {

using namespace framework;

namespace {

constexpr TColor kNavy = MakeColor(0, 0, 128);
constexpr TColor kPressedFill = MakeColor(133, 147, 181);
constexpr TColor kHotFill = MakeColor(182, 189, 210);

// A piece of a picture copied 1:1 to `at` of `target`.
void CopyPiece(TBitmapData& target, TPoint at, const TBitmapData& picture, const TRect& piece) {
    TilePiece(target, TRect::Bounds(at.x, at.y, piece.Width(), piece.Height()), picture, piece,
              false, false);
}

}  // namespace

TbsSkinScrollBar::TbsSkinScrollBar(TComponent* owner) : TbsSkinCustomControl(owner) {
    SetSkinDataName("hscrollbar");
    SetBounds(0, 0, 200, 19);
    SetDefaultHeight(19);
    SetTabStop(false);
}

TbsSkinScrollBar::~TbsSkinScrollBar() = default;

void TbsSkinScrollBar::Changed() {
    if (HandleAllocated()) {
        ShowChange();
    }
}

void TbsSkinScrollBar::SetKind(TScrollBarKind value) {
    if (value != kind_) {
        // The size without a skin object is the bar's thickness: across a
        // vertical bar it is its width (a height of 19 would fold it up).
        const int thickness = std::max(DefaultWidth(), DefaultHeight());
        SetDefaultWidth(value == sbVertical ? thickness : 0);
        SetDefaultHeight(value == sbVertical ? 0 : thickness);
    }
    kind_ = value;
    Invalidate();
}

void TbsSkinScrollBar::SetMin(int value) {
    range_.SetMin(value);
    Changed();
}

void TbsSkinScrollBar::SetMax(int value) {
    range_.SetMax(value);
    Changed();
}

void TbsSkinScrollBar::SetPosition(int value) {
    if (range_.SetPosition(value)) {
        Changed();
        if (OnChange) {
            const TNotifyEvent handler = OnChange;  // it may free the bar
            handler(this);
        }
    }
}

void TbsSkinScrollBar::SetPageSize(int value) {
    range_.SetPageSize(value);
    Changed();
}

void TbsSkinScrollBar::SetRange(int min, int max, int pageSize, int position) {
    range_.Set(min, max, pageSize, position);
    Changed();
}

void TbsSkinScrollBar::SetSmallChange(int value) {
    smallChange_ = value;
    Invalidate();
}

void TbsSkinScrollBar::SetLargeChange(int value) {
    if (value == largeChange_) {
        return;  // the list sets it again with every change of its range
    }
    largeChange_ = value;
    Invalidate();
}

void TbsSkinScrollBar::SetBoth(bool value) {
    if (value == both_) {
        return;
    }
    both_ = value;
    if (value) {
        singleSkinDataName_ = SkinDataName();
        SetSkinDataName(bothSkinDataName_);
    } else {
        SetSkinDataName(singleSkinDataName_);
    }
    FindSkinObject();
    if (DataIndex() < 0) {
        Invalidate();
    } else {
        ApplySkinChange();
    }
}

void TbsSkinScrollBar::SetBothMarkerWidth(int value) {
    if (value >= 0) {
        bothMarkerWidth_ = value;
        Invalidate();
    }
}

void TbsSkinScrollBar::SetCanFocused(bool value) {
    canFocused_ = value;
    SetTabStop(value);
}

void TbsSkinScrollBar::FindSkinObject() {
    TbsSkinCustomControl::FindSkinObject();
    const auto* o = binding_.ObjectAs<TbsDataSkinScrollBarControl>();
    if (o == nullptr) {
        return;
    }
    skin_ = TScrollSkin{o->track_area,         o->down_button_rect,   o->up_button_rect,
                        o->right_top_point,    o->left_bottom_point,  o->skin_rect.Width(),
                        o->skin_rect.Height(), o->thumb_rect.Width(), o->thumb_rect.Height()};
    auto orElse = [](const TRect& r, const TRect& fallback) { return r.IsEmpty() ? fallback : r; };
    thumbLook_ = o->thumb_rect;
    activeThumbLook_ = orElse(o->active_thumb_rect, thumbLook_);
    downThumbLook_ = orElse(o->down_thumb_rect, activeThumbLook_);
    glyphLook_ = o->glyph_rect;
    activeGlyphLook_ = orElse(o->active_glyph_rect, glyphLook_);
    downGlyphLook_ = orElse(o->down_glyph_rect, activeGlyphLook_);
    activeStartLook_ = o->active_down_button_rect;
    downStartLook_ = orElse(o->down_down_button_rect, activeStartLook_);
    activeEndLook_ = o->active_up_button_rect;
    downEndLook_ = orElse(o->down_up_button_rect, activeEndLook_);
    thumbOffset1_ = o->thumb_offset1;
    thumbOffset2_ = o->thumb_offset2;
    thumbTransparent_ = o->thumb_transparent;
    thumbTransparentColor_ = o->thumb_transparent_color;
}

TScrollGeometry TbsSkinScrollBar::Parts() {
    FindSkinObject();
    if (DataIndex() >= 0 && binding_.ObjectAs<TbsDataSkinScrollBarControl>() != nullptr) {
        return SkinnedScrollGeometry(kind_, Width(), Height(), skin_, range_);
    }
    return PlainScrollGeometry(kind_, Width(), Height(), both_, bothMarkerWidth_, range_);
}

void TbsSkinScrollBar::PaintDefault(TBitmap& target) {
    TCanvas& c = target.Canvas();
    c.Brush().SetColor(clBtnFace);
    c.FillRect(Rect(0, 0, target.Width(), target.Height()));
    const TScrollGeometry g = Parts();
    const bool focusedThumb = canFocused_ && Focused();
    auto part = [&](const TRect& r, TScrollPart which) {
        TColor frame = clBtnShadow;
        TColor fill = clBtnFace;
        const bool pressed =
            pressed_ == which && (hovered_ == which || (which == spThumb && dragging_));
        if (pressed || (which == spThumb && focusedThumb)) {
            frame = kNavy;
            fill = kPressedFill;
        } else if (hovered_ == which) {
            frame = kNavy;
            fill = kHotFill;
        }
        c.Brush().SetColor(fill);
        c.FillRect(Rect(r.left, r.top, r.right, r.bottom));
        GdiFlush();
        const TColor rgb = ColorToRGB(frame);
        DrawFrame3D(target, r, rgb, rgb);
    };
    part(g.start_button, spStartButton);
    part(g.end_button, spEndButton);
    if (kind_ == sbVertical) {
        DrawArrowUp(target, g.start_button, 0);
        DrawArrowDown(target, g.end_button, 0);
    } else {
        DrawArrowLeft(target, g.start_button, 0);
        DrawArrowRight(target, g.end_button, 0);
    }
    if (Enabled()) {
        part(g.thumb, spThumb);
    }
}

void TbsSkinScrollBar::PaintSkinned(TBitmap& target) {
    TbsSkinCustomControl::PaintSkinned(target);
    const TBitmapData* picture = SkinPicture();
    if (picture == nullptr || binding_.ObjectAs<TbsDataSkinScrollBarControl>() == nullptr) {
        return;
    }
    const TScrollGeometry g = Parts();
    GdiFlush();
    auto button = [&](const TRect& place, TScrollPart which, const TRect& down,
                      const TRect& active) {
        const TRect* look = nullptr;
        if (pressed_ == which && hovered_ == which) {
            look = &down;
        } else if (hovered_ == which) {
            look = &active;
        }
        if (look != nullptr && !look->IsEmpty()) {
            CopyPiece(target, {place.left, place.top}, *picture, *look);
        }
    };
    button(g.start_button, spStartButton, downStartLook_, activeStartLook_);
    button(g.end_button, spEndButton, downEndLook_, activeEndLook_);
    if (!Enabled() || g.thumb.IsEmpty()) {
        return;
    }
    const bool down = dragging_ || (canFocused_ && Focused());
    const bool active = hovered_ == spThumb;
    const TRect& look = down ? downThumbLook_ : active ? activeThumbLook_ : thumbLook_;
    const TRect& glyph = down ? downGlyphLook_ : active ? activeGlyphLook_ : glyphLook_;
    TBitmapData thumb;
    if (range_.page_size > 0) {
        if (kind_ == sbVertical) {
            BuildPartImage3V(*picture, look, thumbOffset1_, thumbOffset2_, g.thumb.Height(), thumb);
        } else {
            BuildPartImage3H(*picture, look, thumbOffset1_, thumbOffset2_, g.thumb.Width(), thumb);
        }
    } else {
        BuildTiledImage(*picture, look, look.Width(), look.Height(), thumb);
    }
    if (!glyph.IsEmpty()) {
        CopyPiece(thumb,
                  {(thumb.Width() - glyph.Width()) / 2, (thumb.Height() - glyph.Height()) / 2},
                  *picture, glyph);
    }
    if (thumbTransparent_) {
        target.Canvas().DrawTransparent(g.thumb.left, g.thumb.top, thumb,
                                        Rect(0, 0, thumb.Width(), thumb.Height()),
                                        thumbTransparentColor_);
    } else {
        CopyPiece(target, {g.thumb.left, g.thumb.top}, thumb,
                  TRect{0, 0, thumb.Width(), thumb.Height()});
    }
}

TScrollPart TbsSkinScrollBar::PartAt(int x, int y) {
    switch (ScrollHitTest(kind_, Parts(), x, y)) {
        case shThumb:
            return spThumb;
        case shEndButton:
            return spEndButton;
        case shStartButton:
            return spStartButton;
        default:
            return spNone;
    }
}

void TbsSkinScrollBar::Step(TScrollRepeatMode mode, const TScrollStep& step) {
    if (step.delta == 0) {
        return;
    }
    TNotifyEvent handler;
    if (mode == srEndButton) {
        handler = OnUpButtonClick;
    } else if (mode == srStartButton) {
        handler = OnDownButtonClick;
    }
    if (handler) {
        handler(this);  // a copy: it may free the bar
        return;
    }
    const auto alive = Liveness();
    SetPosition(range_.position + step.delta);
    if (alive.expired()) {
        return;
    }
    handler = mode == srPageBack ? OnPageUp : mode == srPageForward ? OnPageDown : nullptr;
    if (handler) {
        handler(this);
    }
}

void TbsSkinScrollBar::StartRepeat(int delay) {
    if (!timer_) {
        timer_.reset(new TTimer(nullptr));
        timer_->SetEnabled(false);
        timer_->OnTimer = [this](TComponent*) { RepeatTick(); };
    }
    timer_->SetInterval(static_cast<unsigned>(delay));
    timer_->SetEnabled(true);
    paused_ = false;
}

void TbsSkinScrollBar::StopRepeat() {
    repeat_.Stop();
    paused_ = false;
    if (timer_) {
        timer_->SetEnabled(false);  // not freed: this may run inside its tick
    }
}

void TbsSkinScrollBar::RepeatTick() {
    const TScrollRepeatMode mode = repeat_.Mode();
    const TScrollStep step = repeat_.Tick(kind_, Parts(), lastMouse_);
    if (step.stop) {
        StopRepeat();
        return;
    }
    timer_->SetInterval(static_cast<unsigned>(step.next_delay));
    Step(mode, step);
}

void TbsSkinScrollBar::WndProc(TMessage& m) {
    switch (m.Msg) {
        case SBM_GETPOS:
            m.Result = range_.position;
            return;
        case SBM_GETSCROLLINFO: {
            auto* info = reinterpret_cast<SCROLLINFO*>(m.LParam);
            if (info == nullptr) {
                m.Result = FALSE;
                return;
            }
            if ((info->fMask & SIF_RANGE) != 0) {
                info->nMin = range_.min;
                info->nMax = range_.max;
            }
            if ((info->fMask & SIF_PAGE) != 0) {
                info->nPage = static_cast<UINT>(std::max(range_.page_size, 0));
            }
            if ((info->fMask & SIF_POS) != 0) {
                info->nPos = range_.position;
            }
            if ((info->fMask & SIF_TRACKPOS) != 0) {
                info->nTrackPos = range_.position;
            }
            m.Result = TRUE;
            return;
        }
        case WM_MOUSEWHEEL:
            if (canFocused_ && Focused()) {
                const int turn = GET_WHEEL_DELTA_WPARAM(m.WParam);
                SetPosition(range_.position + (turn > 0 ? -smallChange_ : smallChange_));
            }
            return;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            if (canFocused_ && !TakeFocusOnPress()) {
                return;
            }
            break;
        default:
            break;
    }
    TbsSkinCustomControl::WndProc(m);
}

void TbsSkinScrollBar::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    const auto alive = Liveness();
    TbsSkinCustomControl::MouseDown(button, shift, x, y);
    if (alive.expired() || button != mbLeft) {
        return;
    }
    const TScrollGeometry g = Parts();
    lastMouse_ = Along(x, y);
    TScrollRepeatMode mode = srNone;
    switch (ScrollHitTest(kind_, g, x, y)) {
        case shThumb:
            mouseAtPress_ = lastMouse_;
            offsetAtPress_ = g.offset;
            dragging_ = true;
            pressed_ = hovered_ = spThumb;
            Repaint();
            return;
        case shEndButton:
            pressed_ = hovered_ = spEndButton;
            mode = srEndButton;
            break;
        case shStartButton:
            pressed_ = hovered_ = spStartButton;
            mode = srStartButton;
            break;
        case shPageBack:
            mode = srPageBack;
            break;
        case shPageForward:
            mode = srPageForward;
            break;
        case shNothing:
            return;
    }
    const TScrollStep step = repeat_.Start(mode, smallChange_, largeChange_);
    StartRepeat(step.next_delay);
    Repaint();
    Step(mode, step);  // last: a handler may free the bar
}

void TbsSkinScrollBar::MouseMove(TShiftState shift, int x, int y) {
    TbsSkinCustomControl::MouseMove(shift, x, y);
    lastMouse_ = Along(x, y);
    if (dragging_) {
        SetPosition(DragPosition(range_, Parts(), offsetAtPress_, mouseAtPress_, lastMouse_));
        return;
    }
    TScrollPart over = PartAt(x, y);
    if (pressed_ != spNone && over != pressed_) {
        over = spNone;  // while held, only the pressed part lights up
    }
    if (over != hovered_) {
        hovered_ = over;
        Repaint();
    }
    const bool buttonRepeat = repeat_.Mode() == srStartButton || repeat_.Mode() == srEndButton;
    const bool inside = x >= 0 && y >= 0 && x < Width() && y < Height();
    // A held button repeats while the mouse is on it, a page while the
    // mouse is on the bar; back on it, the repeat goes on at its period.
    const bool on = buttonRepeat ? hovered_ == pressed_ : inside;
    if (repeat_.Mode() != srNone && timer_) {
        if (!on && !paused_) {
            timer_->SetEnabled(false);
            paused_ = true;
        } else if (on && paused_) {
            StartRepeat(TScrollRepeat::kPeriod);
        }
    }
}

void TbsSkinScrollBar::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    if (button != mbLeft) {
        TbsSkinCustomControl::MouseUp(button, shift, x, y);
        return;
    }
    const bool thumb = pressed_ == spThumb;
    StopRepeat();
    dragging_ = false;
    const TScrollPart over = PartAt(x, y);
    hovered_ = pressed_ != spNone && over == pressed_ ? pressed_ : spNone;
    pressed_ = spNone;
    Repaint();
    const auto alive = Liveness();
    TbsSkinCustomControl::MouseUp(button, shift, x, y);
    if (!alive.expired() && thumb && OnLastChange) {
        const TNotifyEvent handler = OnLastChange;
        handler(this);
    }
}

void TbsSkinScrollBar::MouseLeave() {
    TbsSkinCustomControl::MouseLeave();
    if (pressed_ == spNone && !dragging_ && hovered_ != spNone) {
        hovered_ = spNone;
        Repaint();
    }
}

void TbsSkinScrollBar::KeyDown(WORD key, TShiftState) {
    if (!canFocused_) {
        return;
    }
    if (key == VK_LEFT || key == VK_UP) {
        SetPosition(range_.position - smallChange_);
    } else if (key == VK_RIGHT || key == VK_DOWN) {
        SetPosition(range_.position + smallChange_);
    }
}

bool TbsSkinScrollBar::WantsKey(WORD key) const {
    return canFocused_ && (key == VK_LEFT || key == VK_RIGHT || key == VK_UP || key == VK_DOWN);
}

void TbsSkinScrollBar::FocusChanged(bool) {
    if (canFocused_) {
        Invalidate();
    }
}

void TbsSkinScrollBar::EnabledChanged() {
    StopRepeat();
    dragging_ = false;
    pressed_ = hovered_ = spNone;
    Invalidate();
}

}  // namespace skin
