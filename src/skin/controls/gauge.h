#pragma once

// TbsSkinGauge: a progress bar whose value is kept between its limits, with
// a centred text made of a progress text and a percentage. Skinned, it draws
// its frame from the "gauge" object and a bar built from the object's bar
// picture (fixed ends, a repeated middle). Every change repaints it at once,
// so it shows progress while the window thread is busy with a transfer and
// dispatches no messages.

#include <memory>
#include <string>

#include "skin/controls/core/gauge_core.h"
#include "skin/controls/skin_control.h"

namespace skin {

class TbsSkinGauge : public TbsSkinCustomControl {
  public:
    explicit TbsSkinGauge(TComponent* owner);

    int MinValue() const { return minValue_; }
    void SetMinValue(int value);
    int MaxValue() const { return maxValue_; }
    void SetMaxValue(int value);
    int Value() const { return value_; }
    // Kept within MinValue..MaxValue.
    void SetValue(int value);
    const std::string& ProgressText() const { return progressText_; }
    void SetProgressText(std::string text);
    bool ShowProgressText() const { return showProgressText_; }
    void SetShowProgressText(bool value);
    bool ShowPercent() const { return showPercent_; }
    void SetShowPercent(bool value);
    bool Vertical() const { return vertical_; }
    // Replaced by the object's "vertical" whenever a skin object is found.
    void SetVertical(bool value) { vertical_ = value; }
    bool UseSkinSize() const { return useSkinSize_; }
    void SetUseSkinSize(bool value);

    // The share of the range the value covers (0 when the limits are equal),
    // the percentage shown (rounded, halves to even), and the whole text.
    double Fraction() const;
    int Percent() const;
    std::string Text() const;

    void FindSkinObject() override;

  protected:
    void PaintDefault(TBitmap& target) override;
    void PaintSkinned(TBitmap& target) override;
    bool PaintsOnErase() const override { return true; }
    void AdaptSize(int& width, int& height) override;
    void RebuildRegion() override;

    void DrawProgressText(framework::TCanvas& canvas, int width, int height);

  private:
    void Changed();
    // The bar's length in pixels at the current value and size.
    int BarLength();
    // Frame and bar at the object's size for the gauge (width x height
    // after adaptation) into `target`.
    // False when the bar picture has no middle: the paint ends there.
    bool DrawSkinnedGauge(TBitmap& target, int width, int height);

    TBitmapData barScratch_;
    std::string measuredText_;
    std::unique_ptr<TFont> measuredFont_;
    SIZE measuredSize_{};

    // Copied from the object.
    TRect progressArea_;
    TRect progressRect_;
    int beginOffset_ = 0;
    int endOffset_ = 0;
    TSkinFont skinFont_;
    bool progressTransparent_ = false;
    framework::TColor progressTransparentColor_ = 0;

    // What the gauge was last asked to show.
    struct Shown {
        int bar = 0;
        std::string text;
        bool operator==(const Shown&) const = default;
    };
    Shown shown_;
    bool shownValid_ = false;
    int minValue_ = 0;
    int maxValue_ = 100;
    int value_ = 50;
    std::string progressText_;
    bool showProgressText_ = false;
    bool showPercent_ = false;
    bool vertical_ = false;
    bool useSkinSize_ = true;
};

}  // namespace skin
