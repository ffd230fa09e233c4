#include "skin/controls/skin_control.h"

#include <algorithm>
#include <chrono>
#include <vector>

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
    skinDataName_ = std::move(name);
}

void TbsSkinControl::FindSkinObject() {
    // Without skin data every control draws its plain look.
    dataIndex_ = -1;
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
        ClearHeldBack();
        Repaint();
    } else {
        HoldBackRepaint();
    }
}

void TbsSkinControl::HoldBackRepaint() {
    if (repaintPending_) {
        return;
    }
    repaintPending_ = true;
    HeldBack().push_back(this);
    Invalidate();
    const int64_t left = kRepaintInterval - (PaceClock() - lastRepaint_);
    SetTimer(Handle(), kPaceTimer,
             static_cast<UINT>(std::clamp<int64_t>(left, 1, kRepaintInterval)), nullptr);
}

void TbsSkinControl::ClearHeldBack() {
    if (!repaintPending_) {
        return;
    }
    repaintPending_ = false;
    auto& list = HeldBack();
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    if (HandleAllocated()) {
        KillTimer(Handle(), kPaceTimer);
    }
}

void TbsSkinControl::PaintDueChanges(const TbsSkinControl* except) {
    const int64_t now = PaceClock();
    // A copy: painting one control takes it off the list.
    const std::vector<TbsSkinControl*> waiting = HeldBack();
    for (TbsSkinControl* c : waiting) {
        const auto& list = HeldBack();
        if (c != except && std::find(list.begin(), list.end(), c) != list.end() &&
            now - c->lastRepaint_ >= kRepaintInterval) {
            c->FlushRepaint();
        }
    }
}

void TbsSkinControl::FlushRepaint() {
    if (!repaintPending_) {
        return;
    }
    ClearHeldBack();
    if (HandleAllocated()) {
        lastRepaint_ = PaceClock();
        Repaint();
    }
}

void TbsSkinControl::PaintDefault(TBitmap&) {}
void TbsSkinControl::PaintSkinned(TBitmap&) {}

void TbsSkinControl::PaintThrough(TCanvas& canvas) {
    if (Width() <= 0 || Height() <= 0) {
        return;
    }
    FindSkinObject();
    TBitmap buffer(Width(), Height());
    if (dataIndex_ < 0) {
        PaintDefault(buffer);
    } else {
        PaintSkinned(buffer);
    }
    canvas.Draw(0, 0, buffer);
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
    if (m.Msg == WM_PAINT) {
        ClearHeldBack();
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
        if (dataIndex_ < 0) {
            Invalidate();
        }
    };
}

void TbsSkinCustomControl::SetDefaultWidth(int value) {
    defaultWidth_ = value;
    if (dataIndex_ < 0 && value > 0) {
        SetWidth(value);
    }
}

void TbsSkinCustomControl::SetDefaultHeight(int value) {
    defaultHeight_ = value;
    if (dataIndex_ < 0 && value > 0) {
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

}  // namespace skin
