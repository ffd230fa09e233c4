#pragma once

// TbsSkinLabel: a one-line text in a frame, repainted at once when its
// caption changes.

#include <string>

#include "skin/controls/skin_control.h"
#include "skin/data/skin_values.h"

namespace skin {

enum TBevelStyle { bvFrame, bvRaised, bvLowered, bvNone };

class TbsSkinLabel : public TbsSkinCustomControl {
  public:
    explicit TbsSkinLabel(TComponent* owner);

    TAlignment Alignment() const { return alignment_; }
    void SetAlignment(TAlignment value);
    // The border of the plain look.
    TBevelStyle BorderStyle() const { return borderStyle_; }
    void SetBorderStyle(TBevelStyle value);
    // Widens the label to its text when the text does not fit.
    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool value);
    bool UseSkinSize() const { return useSkinSize_; }
    void SetUseSkinSize(bool value) { useSkinSize_ = value; }

    // How many pixels the caption needs beyond the label's width (negative
    // when it fits).
    int TextOverflow();

  protected:
    void PaintDefault(TBitmap& target) override;
    bool PaintsOnErase() const override { return true; }
    void TextChanged() override;

    // The caption in `r`, aligned, vertically centred, clipped to `r`.
    void DrawCaption(framework::TCanvas& canvas, const RECT& r);

  private:
    void FitText();

    TAlignment alignment_ = taLeftJustify;
    TBevelStyle borderStyle_ = bvFrame;
    bool autoSize_ = false;
    bool useSkinSize_ = true;
};

}  // namespace skin
