#include "skin/controls/skin_control.h"

#include <algorithm>
#include <chrono>
#include <vector>

#include "skin/data/win32/regions.h"

namespace skin {

using framework::TCanvas;

namespace {

int64_t SteadyMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// The window timer that paints a held-back change at the end of its pace.
constexpr UINT_PTR kPaceTimer = 0x5041;

// The controls with a held-back change (all on the window thread).
std::vector<TbsSkinControl*>& HeldBack() {
    static std::vector<TbsSkinControl*> controls;
    return controls;
}

}  // namespace

int64_t (*TbsSkinControl::PaceClock)() = &SteadyMs;

TbsSkinControl::TbsSkinControl(TComponent* owner) : TCustomControl(owner) {}

TbsSkinControl::~TbsSkinControl() {
    ClearHeldBack();
}

void TbsSkinControl::SetSkinDataName(std::string name) {
    binding_.SetName(std::move(name));
}

void TbsSkinControl::SetSkinData(TbsSkinData* value) {
    TbsSkinData* previous = binding_.SkinData();
    if (previous != value) {
        if (previous != nullptr) {
            RemoveFreeNotification(previous);
        }
        binding_.SetSkinData(value);
        if (value != nullptr) {
            FreeNotification(value);
        }
    }
    if (value != nullptr && !value->SkinEmpty() && !Designing()) {
        ApplySkinChange();
    }
}

void TbsSkinControl::Notification(TComponent* component, framework::TOperation operation) {
    TCustomControl::Notification(component, operation);
    if (operation == framework::opRemove && component == binding_.SkinData()) {
        binding_.SetSkinData(nullptr);
        binding_.Drop();
    }
}

void TbsSkinControl::FindSkinObject() {
    binding_.FindIndex();
}

void TbsSkinControl::ApplySkinChange() {
    FindSkinObject();
    Invalidate();
}

void TbsSkinControl::PrepareSkinChange() {
    binding_.Drop();
}

void TbsSkinControl::FinishSkinChange() {}

void TbsSkinControl::SkinTextFont(framework::TFont& font, const TSkinFont& skin, bool useSkinFont,
                                  const framework::TFont& fallback) const {
    framework::TFont wanted(fallback);
    if (useSkinFont) {
        wanted.SetName(skin.name);
        wanted.SetHeight(skin.height);
        wanted.SetStyle(skin.style);
    }
    wanted.SetColor(skin.color);
    const TbsSkinData* data = binding_.SkinData();
    if (data != nullptr && data->ResourceStrData() != nullptr) {
        wanted.SetCharset(data->ResourceStrData()->CharSet());
    }
    AssignFont(font, wanted);
}

bool TbsSkinControl::TakeFocusOnPress() {
    if (Designing() || Focused()) {
        return true;
    }
    SetFocus();
    return Focused();
}

void TbsSkinControl::AssignFont(framework::TFont& font, const framework::TFont& wanted) {
    // The same font again keeps its system font instead of making a new one.
    if (!font.SameAs(wanted)) {
        font.Assign(wanted);
    }
}

bool TbsSkinControl::RepaintDue() {
    const int64_t now = PaceClock();
    if (pacing_ && now - lastRepaint_ < kRepaintInterval) {
        return false;
    }
    lastRepaint_ = now;
    return true;
}

void TbsSkinControl::ShowChange() {
    if (!HandleAllocated()) {
        return;
    }
    PaintDueChanges(this);
    if (RepaintDue()) {
        repaintPending_ = false;
        ReleaseIfDone();
        ShowNow();
    } else {
        HoldBackRepaint();
    }
}

void TbsSkinControl::ShowNow() {
    HWND h = Handle();
    if (!IsWindowVisible(h)) {
        return;  // painted when it is shown
    }
    // Straight onto the window: cheaper than invalidating it and waiting
    // for its paint message, and the result on screen is the same.
    HDC dc = GetDC(h);
    if (dc == nullptr) {
        Repaint();
        return;
    }
    struct Release {
        HWND h;
        HDC dc;
        ~Release() { ReleaseDC(h, dc); }
    } release{h, dc};
    PaintTo(dc);
}

void TbsSkinControl::HoldBack() {
    if (!repaintPending_ && !textPending_) {
        HeldBack().push_back(this);
    }
    const int64_t left = kRepaintInterval - (PaceClock() - std::max(lastRepaint_, lastText_));
    SetTimer(Handle(), kPaceTimer,
             static_cast<UINT>(std::clamp<int64_t>(left, 1, kRepaintInterval)), nullptr);
}

void TbsSkinControl::HoldBackRepaint() {
    if (repaintPending_) {
        return;
    }
    HoldBack();
    repaintPending_ = true;
    Invalidate();
}

void TbsSkinControl::ReleaseIfDone() {
    if (repaintPending_ || textPending_) {
        return;
    }
    auto& list = HeldBack();
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    if (HandleAllocated()) {
        KillTimer(Handle(), kPaceTimer);
    }
}

void TbsSkinControl::ClearHeldBack() {
    repaintPending_ = false;
    textPending_ = false;
    ReleaseIfDone();
}

void TbsSkinControl::SetShownText(std::wstring text) {
    textKnown_ = true;
    if (text == shownText_) {
        return;
    }
    shownText_ = std::move(text);
    if (!HandleAllocated()) {
        textPending_ = true;  // given to the window when it is made
        return;
    }
    if (PaceClock() - lastText_ >= kRepaintInterval) {
        textPending_ = true;
        FlushText();
    } else if (!textPending_) {
        HoldBack();
        textPending_ = true;
    }
}

void TbsSkinControl::CreateParams(framework::TCreateParams& params) {
    TCustomControl::CreateParams(params);
    // A device context of its own: a control that paints every piece of a
    // transfer gets it back at once instead of having one made each time.
    params.classStyle |= CS_OWNDC;
}

void TbsSkinControl::CreateHandleDone() {
    TCustomControl::CreateHandleDone();
    FlushText();
}

void TbsSkinControl::FlushText() {
    if (!textPending_) {
        return;
    }
    textPending_ = false;
    ReleaseIfDone();
    if (HandleAllocated()) {
        lastText_ = PaceClock();
        SetWindowTextW(Handle(), shownText_.c_str());
    }
}

void TbsSkinControl::PaintDueChanges(const TbsSkinControl* except) {
    const int64_t now = PaceClock();
    // A copy: painting one control takes it off the list.
    const std::vector<TbsSkinControl*> waiting = HeldBack();
    for (TbsSkinControl* c : waiting) {
        const auto& list = HeldBack();
        if (c == except || std::find(list.begin(), list.end(), c) == list.end()) {
            continue;
        }
        if (now - c->lastText_ >= kRepaintInterval) {
            c->FlushText();
        }
        if (c->repaintPending_ && now - c->lastRepaint_ >= kRepaintInterval) {
            c->FlushRepaint();
        }
    }
}

void TbsSkinControl::FlushRepaint() {
    FlushText();
    if (!repaintPending_) {
        return;
    }
    repaintPending_ = false;
    ReleaseIfDone();
    if (HandleAllocated()) {
        lastRepaint_ = PaceClock();
        ShowNow();
    }
}

void TbsSkinControl::PaintDefault(TBitmap&) {}
void TbsSkinControl::PaintSkinned(TBitmap&) {}

void TbsSkinControl::PaintThrough(TCanvas& canvas) {
    const int w = Width();
    const int h = Height();
    if (w <= 0 || h <= 0) {
        return;
    }
    FindSkinObject();
    // One off-screen bitmap per control, kept between paints while its size
    // stays (making one costs more than most paints).
    if (!buffer_ || buffer_->Width() != w || buffer_->Height() != h) {
        buffer_ = std::make_unique<TBitmap>(w, h);
    }
    TBitmap& buffer = *buffer_;
    if (DataIndex() < 0) {
        PaintDefault(buffer);
    } else {
        try {
            // What the skin leaves undrawn shows the button face, not black.
            buffer.Canvas().Brush().SetColor(framework::clBtnFace);
            buffer.Canvas().FillRect(framework::Rect(0, 0, w, h));
            PaintSkinned(buffer);
        } catch (const std::exception&) {
            buffer.SetSize(w, h);
            PaintDefault(buffer);
        }
    }
    canvas.Draw(0, 0, buffer);
    // A look of a fixed size may be smaller than the control.
    canvas.Brush().SetColor(framework::clBtnFace);
    if (buffer.Width() < w) {
        canvas.FillRect(framework::Rect(buffer.Width(), 0, w, h));
    }
    if (buffer.Height() < h) {
        canvas.FillRect(framework::Rect(0, buffer.Height(), std::min(buffer.Width(), w), h));
    }
    if (buffer.Width() != w || buffer.Height() != h) {
        buffer_.reset();  // a look of another size took it over
    }
}

void TbsSkinControl::Paint() {
    PaintThrough(Canvas());
}

void TbsSkinControl::PaintTo(HDC dc) {
    TCanvas canvas(dc);
    PaintThrough(canvas);
}

void TbsSkinControl::WndProc(TMessage& m) {
    if (m.Msg == WM_TIMER && m.WParam == kPaceTimer) {
        FlushRepaint();
        return;
    }
    if ((m.Msg == WM_GETTEXT || m.Msg == WM_GETTEXTLENGTH) && textKnown_) {
        // What the control shows now, also while the system's copy waits
        // for its pace.
        if (m.Msg == WM_GETTEXTLENGTH) {
            m.Result = static_cast<LRESULT>(shownText_.size());
        } else if (m.WParam > 0 && m.LParam != 0) {
            const size_t n = std::min<size_t>(shownText_.size(), m.WParam - 1);
            auto* out = reinterpret_cast<wchar_t*>(m.LParam);
            std::copy_n(shownText_.data(), n, out);
            out[n] = L'\0';
            m.Result = static_cast<LRESULT>(n);
        }
        return;
    }
    if (m.Msg == WM_PAINT) {
        repaintPending_ = false;
        FlushText();
        ReleaseIfDone();
        inPaintMessage_ = true;
        try {
            TCustomControl::WndProc(m);
        } catch (...) {
            inPaintMessage_ = false;
            throw;
        }
        inPaintMessage_ = false;
        return;
    }
    TCustomControl::WndProc(m);
}

void TbsSkinControl::WMEraseBkgnd(TMessage& m) {
    if (PaintsOnErase() && !inPaintMessage_) {
        PaintTo(reinterpret_cast<HDC>(m.WParam));
    }
    m.Result = 1;
}

void TbsSkinControl::MouseEnter() {
    if (!Designing() && OnMouseEnter) {
        OnMouseEnter(this);
    }
}

void TbsSkinControl::MouseLeave() {
    if (!Designing() && OnMouseLeave) {
        OnMouseLeave(this);
    }
}

TbsSkinCustomControl::TbsSkinCustomControl(TComponent* owner) : TbsSkinControl(owner) {
    defaultFont_.SetName("Arial");
    defaultFont_.SetHeight(14);
    defaultFont_.SetColor(framework::clWindowText);
    defaultFont_.OnChange = [this](TFont&) {
        DefaultFontChanged();
        if (DataIndex() < 0) {
            Invalidate();
        }
    };
}

void TbsSkinCustomControl::SetDefaultWidth(int value) {
    defaultWidth_ = value;
    if (DataIndex() < 0 && value > 0) {
        SetWidth(value);
    }
}

void TbsSkinCustomControl::SetDefaultHeight(int value) {
    defaultHeight_ = value;
    if (DataIndex() < 0 && value > 0) {
        SetHeight(value);
    }
}

void TbsSkinCustomControl::SetUseSkinFont(bool value) {
    if (value != useSkinFont_) {
        useSkinFont_ = value;
        Invalidate();
    }
}

void TbsSkinCustomControl::PaintDefault(TBitmap& target) {
    target.Canvas().Brush().SetColor(framework::clBtnFace);
    target.Canvas().FillRect(framework::Rect(0, 0, target.Width(), target.Height()));
}

void TbsSkinCustomControl::FindSkinObject() {
    binding_.FindObject();
}

void TbsSkinCustomControl::PaintSkinned(TBitmap& target) {
    DrawSkinLook(target, Geometry().s);
}

void TbsSkinCustomControl::DrawSkinLook(TBitmapData& target, const TRect& look) {
    int w = Width();
    int h = Height();
    binding_.Adapt(w, h);  // the geometry at the current size, wherever it came from
    skin::DrawSkinLook(SizingMode(), Geometry(), Adapted(), SkinPicture(), look, Width(), Height(),
                       target);
}

void TbsSkinCustomControl::AdaptSize(int& width, int& height) {
    binding_.Adapt(width, height);
}

void TbsSkinCustomControl::SetBounds(int left, int top, int width, int height) {
    FindSkinObject();
    const bool skinned = DataIndex() >= 0 && (width != Width() || height != Height());
    if (skinned) {
        AdaptSize(width, height);
    }
    TbsSkinControl::SetBounds(left, top, width, height);
    if (skinned) {
        RebuildRegion();
        Invalidate();
    }
}

void TbsSkinCustomControl::ApplySkinChange() {
    FindSkinObject();
    if (DataIndex() < 0) {
        if (defaultWidth_ > 0) {
            SetWidth(defaultWidth_);
        }
        if (defaultHeight_ > 0) {
            SetHeight(defaultHeight_);
        }
        RebuildRegion();
        Invalidate();
        return;
    }
    int w = Width();
    int h = Height();
    AdaptSize(w, h);
    const bool resize = w != Width() || h != Height();
    if (w != Width()) {
        SetWidth(w);
    }
    if (h != Height()) {
        SetHeight(h);
    }
    if (!resize) {
        RebuildRegion();
        Invalidate();
    }
}

void TbsSkinCustomControl::RebuildRegion() {
    if (!HandleAllocated()) {
        return;  // made when the window is (CreateHandleDone)
    }
    HRGN region = nullptr;
    const TBitmapData* mask = DataIndex() >= 0 ? SkinMask() : nullptr;
    if (mask != nullptr) {
        int w = Width();
        int h = Height();
        binding_.Adapt(w, h);
        if (SizingMode() == smFixed) {
            region = MaskToRegion(*mask, 0, 0);
        } else if (const auto g = ControlMaskGeometry(SizingMode(), Geometry(), Adapted(), Width(),
                                                      Height())) {
            region = MaskToRegion9(*mask, g->from, g->to, Width(), Height());
        }
    }
    if (region != nullptr) {
        // The window owns the region from here on, and frees the previous one.
        SetWindowRgn(Handle(), region, TRUE);
        hasRegion_ = true;
    } else if (hasRegion_) {
        SetWindowRgn(Handle(), nullptr, TRUE);
        hasRegion_ = false;
    }
}

void TbsSkinCustomControl::CreateHandleDone() {
    TbsSkinControl::CreateHandleDone();
    hasRegion_ = false;  // a new window has no region
    RebuildRegion();
}

}  // namespace skin
