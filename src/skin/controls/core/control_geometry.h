#pragma once

// What a skinned control takes from its control object, without windows:
// the geometry copied from the object, the sizing mode it implies, the
// geometry moved to the control's size, the look drawn at that size, and the
// mask geometry of the control's window region.
//
// TSkinBinding ties a control to a skin data and an object name. It keeps
// values, never pointers into the skin data that could outlive a skin: the
// pictures are found again by index, and only while the skin that the
// object was found in is still loaded (the skin data's generation).

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "skin/data/mask.h"
#include "skin/data/picture.h"
#include "skin/data/skin_data.h"

namespace skin {

// How a control is drawn and may be resized.
enum TSizingMode {
    smNone = -1,       // no look: the size is kept, nothing is drawn from the skin
    smFixed = 0,       // the size of "skinrect", copied 1:1
    smNinePart = 1,    // both directions, nine parts
    smWidthOnly = 2,   // three parts along the width; the height is the skin's
    smHeightOnly = 3,  // three parts along the height; the width is the skin's
};

// Copied from a TbsDataSkinCustomControl: the corner points, "skinrect" (S)
// and "clientrect" (C). Points and C are relative to S's top-left corner.
struct TControlGeometry {
    TPoint lt;
    TPoint rt;
    TPoint lb;
    TPoint rb;
    TRect s;
    TRect c;

    int SW() const { return s.Width(); }
    int SH() const { return s.Height(); }
    // The source geometry of the nine-part builders.
    TPartGeometry Part() const { return TPartGeometry{lt, rt, lb, rb, c}; }
};

// The geometry moved to the control's current size: NLT, NRT, NLB, NRB, NC.
struct TAdaptedGeometry {
    TPoint nlt;
    TPoint nrt;
    TPoint nlb;
    TPoint nrb;
    TRect nc;

    TPartGeometry Part() const { return TPartGeometry{nlt, nrt, nlb, nrb, nc}; }
};

// -1 when S is empty; 1 when RB has both coordinates; else 2 when RT has
// either; else 3 when LB has either; else 0.
TSizingMode SizingModeOf(const TControlGeometry& g);

// Moves the geometry to a requested size and corrects the size where the
// mode fixes it (mode 0: S's size; mode 2: S's height; mode 3: S's width).
// Mode -1 changes nothing. Differences of size are computed in 64 bits and
// the results saturated, so no size overflows.
void AdaptGeometry(TSizingMode mode, const TControlGeometry& g, int& width, int& height,
                   TAdaptedGeometry& adapted);

// Draws the look `look` (a rectangle of `picture` of S's size) at
// width x height into `target` by the mode: 0 copies it 1:1 at S's size, 1
// builds nine parts, 2 three parts along the width (left LT.x, right
// SW - RT.x columns), 3 three parts along the height (top LT.y, bottom
// SH - LB.y rows). Mode -1 or no picture leaves the target as it is.
void DrawSkinLook(TSizingMode mode, const TControlGeometry& g, const TAdaptedGeometry& adapted,
                  const TBitmapData* picture, const TRect& look, int width, int height,
                  TBitmapData& target);

// The mask geometry of a control's window region for modes 1 to 3 (from
// the copied geometry to the adapted one at width x height): mode 2 keeps
// the top band only (RB := RT, LB := LT), mode 3 the left band only.
// Nothing for modes -1 and 0 (mode 0 takes the whole mask at 0, 0).
struct TMaskGeometry {
    TPartGeometry from;
    TPartGeometry to;
};
std::optional<TMaskGeometry> ControlMaskGeometry(TSizingMode mode, const TControlGeometry& g,
                                                 const TAdaptedGeometry& adapted, int width,
                                                 int height);

// The runs of a control's window region (the portable half of the region
// code): the mask's black runs at 0, 0 in mode 0, the runs that follow the
// resize in modes 1 to 3, nothing in mode -1 or when there is no mask.
std::optional<std::vector<TMaskRuns>> ControlMaskRuns(TSizingMode mode, const TControlGeometry& g,
                                                      const TAdaptedGeometry& adapted,
                                                      const TBitmapData* mask, int width,
                                                      int height);

// The skin data and object name of a control, and what it copied from the
// object. DataIndex is -1 while the control draws its plain look.
class TSkinBinding {
  public:
    TbsSkinData* SkinData() const { return skin_data_; }
    // Stores the reference only (the control decides what follows).
    void SetSkinData(TbsSkinData* value) { skin_data_ = value; }
    const std::string& Name() const { return name_; }
    void SetName(std::string name) { name_ = std::move(name); }

    int DataIndex() const { return data_index_; }
    // The object found, while the skin it was found in is loaded; else null.
    TbsDataSkinControl* Object() const;
    // Typed access to Object() (null for an object of another class).
    template <typename T>
    T* ObjectAs() const {
        return dynamic_cast<T*>(Object());
    }

    // Looks the name up: DataIndex := the object's index, or -1 without
    // skin data, with an empty skin, or for an unknown name.
    void FindIndex();
    // FindIndex, then what a custom control copies: the geometry, the
    // pictures' indexes and the sizing mode. An object that is not a
    // custom control's has no geometry to give: the control keeps its size
    // (mode -1) and has no pictures.
    void FindObject();
    // Before the skin data discards its objects: back to the plain look.
    void Drop();

    const TControlGeometry& Geometry() const { return geometry_; }
    TAdaptedGeometry& Adapted() { return adapted_; }
    const TAdaptedGeometry& Adapted() const { return adapted_; }
    TSizingMode SizingMode() const { return sizing_mode_; }
    // The object's picture and mask from the skin's picture list, or null
    // (no object, an index outside the list, or a skin changed since).
    const TBitmapData* Picture() const { return PictureAt(picture_index_); }
    const TBitmapData* Mask() const { return PictureAt(mask_index_); }

    // AdaptGeometry with the binding's mode and geometry; without an object
    // nothing changes.
    void Adapt(int& width, int& height);

  private:
    bool Current() const;
    const TBitmapData* PictureAt(int index) const;

    TbsSkinData* skin_data_ = nullptr;
    std::string name_;
    int data_index_ = -1;
    uint64_t generation_ = 0;  // the skin data's generation at the last find
    TControlGeometry geometry_;
    TAdaptedGeometry adapted_;
    TSizingMode sizing_mode_ = smNone;
    int picture_index_ = -1;
    int mask_index_ = -1;
};

}  // namespace skin
