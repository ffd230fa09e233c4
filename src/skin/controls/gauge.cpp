#include "skin/controls/gauge.h"

#include "base/rounding.h"

namespace skin {

using namespace framework;

TbsSkinGauge::TbsSkinGauge(TComponent* owner) : TbsSkinCustomControl(owner) {
    SetSkinDataName("gauge");
    SetBounds(0, 0, 100, 20);
}

void TbsSkinGauge::Changed() {
    if (HandleAllocated()) {
        // The window text is what the gauge shows, for programs that read
        // the window (automation, accessibility tools).
        std::wstring text = WideText(Text());
        if (text != shownText_) {
            shownText_ = std::move(text);
            SetWindowTextW(Handle(), shownText_.c_str());
        }
        ShowChange();
    }
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
    if (maxValue_ == minValue_) {
        return 0;
    }
    return (static_cast<double>(value_) - minValue_) / (static_cast<double>(maxValue_) - minValue_);
}

int TbsSkinGauge::Percent() const {
    return static_cast<int>(base::RoundHalfEven(Fraction() * 100));
}

std::string TbsSkinGauge::Text() const {
    std::string text;
    if (showProgressText_) {
        text = progressText_;
    }
    if (showPercent_) {
        text += std::to_string(Percent()) + "%";
    }
    return text;
}

RECT TbsSkinGauge::BarRect(const RECT& area) const {
    RECT bar = area;
    const double f = Fraction();
    if (vertical_) {
        bar.top = area.bottom - static_cast<int>(base::RoundHalfEven(f * (area.bottom - area.top)));
    } else {
        bar.right = area.left + static_cast<int>(base::RoundHalfEven(f * (area.right - area.left)));
    }
    return bar;
}

void TbsSkinGauge::DrawProgressText(TCanvas& canvas, int width, int height) {
    const std::string text = Text();
    if (text.empty()) {
        return;
    }
    canvas.Font().Assign(DefaultFont());
    canvas.Brush().SetStyle(bsClear);
    const SIZE size = canvas.TextExtent(text);
    canvas.TextOut(width / 2 - size.cx / 2, height / 2 - size.cy / 2, text);
}

void TbsSkinGauge::PaintDefault(TBitmap& target) {
    TCanvas& c = target.Canvas();
    const int w = target.Width();
    const int h = target.Height();
    c.Brush().SetColor(clWindow);
    c.FillRect(Rect(0, 0, w, h));
    c.Brush().SetColor(clBtnShadow);
    c.FrameRect(Rect(0, 0, w, h));
    const RECT bar = BarRect(Rect(1, 1, w - 1, h - 1));
    if (bar.right > bar.left && bar.bottom > bar.top) {
        c.Brush().SetColor(MakeColor(182, 189, 210));
        c.FillRect(bar);
    }
    DrawProgressText(c, w, h);
}

}  // namespace skin
