#pragma once

// The skinned label's sizes and text placement, without windows.

#include "skin/controls/core/control_geometry.h"
#include "skin/data/skin_values.h"

namespace skin {

// How many pixels a caption of `text_width` needs beyond the space for it
// (negative when it is narrower): without a skin object the label's width
// less a 2-pixel border each side; with one the adapted client rectangle,
// except in mode 0 (fixed size), where a label never resizes to its text.
int LabelTextOverflow(bool has_object, TSizingMode mode, int text_width, int label_width,
                      const TRect& nc);

struct TLabelSizing {
    bool use_skin_size = true;
    bool auto_size = false;
    int text_width = 0;  // the caption in the caption font
};

// Adapts a label with a skin object to a requested size. With UseSkinSize
// (or in mode 1) the control base's rules apply; otherwise the height stays
// as requested and the geometry follows the width. With AutoSize a caption
// wider than the adapted client rectangle widens the label by the
// difference, and the geometry follows the new width.
void AdaptLabelSize(const TLabelSizing& sizing, TSizingMode mode, const TControlGeometry& g,
                    int& width, int& height, TAdaptedGeometry& adapted);

// The caption's top-left corner in `r` for a text of tw x th: vertically
// centred, placed by the alignment.
TPoint LabelCaptionOrigin(TAlignment alignment, const TRect& r, int tw, int th);

}  // namespace skin
