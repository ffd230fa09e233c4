#pragma once

// TbsSkinLabel: one line of text in a skinned strip (the "label" object:
// three parts along the width, a client rectangle for the text), or in a
// frame of the button face without a skin. The caption is aligned left,
// right or centred, vertically centred and cut at the text rectangle's
// edges; AutoSize fits the width to the caption. A caption change repaints
// at once (see ShowChange).

#include <memory>
#include <string>

#include "skin/controls/core/label_core.h"
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
    // Fits the width to the caption (grows and shrinks).
    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool value);
    // True: the skin's height; false: any size, the skinned strip stretched.
    bool UseSkinSize() const { return useSkinSize_; }
    void SetUseSkinSize(bool value);

    void FindSkinObject() override;

    // How many pixels the caption needs beyond the space for it (negative
    // when it is narrower).
    virtual int TextOverflow();

  protected:
    void PaintDefault(TBitmap& target) override;
    void PaintSkinned(TBitmap& target) override;
    bool PaintsOnErase() const override { return true; }
    void AdaptSize(int& width, int& height) override;
    void RebuildRegion() override;
    void TextChanged() override;

    // The caption in `r` with the caption font, aligned, vertically
    // centred, clipped to `r`.
    void DrawCaption(framework::TCanvas& canvas, const RECT& r);
    // The font of the caption: the skin's or DefaultFont, as UseSkinFont
    // and the skin object say.
    void CaptionFont(framework::TFont& font) const;

  private:
    // The height of one line in the canvas's font (kept for that font).
    int TextHeight(framework::TCanvas& c);
    // With AutoSize, the width grows or shrinks by the overflow.
    void FitText();
    int CaptionWidth() const;

    TAlignment alignment_ = taLeftJustify;
    TBevelStyle borderStyle_ = bvFrame;
    bool autoSize_ = false;
    bool useSkinSize_ = true;
    TSkinFont skinFont_;  // copied from the object
    std::unique_ptr<TFont> heightFont_;
    int textHeight_ = 0;
};

}  // namespace skin
