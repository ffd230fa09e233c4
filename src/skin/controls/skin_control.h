#pragma once

// The base of every skinned windowed control.
//
// TbsSkinControl ties a control to a skin data and the name of a control
// object in it, and paints through one off-screen bitmap per paint, in the
// skinned look when it has a skin object and in its plain look (system
// colours, the default font) otherwise. A control without a skin object has
// DataIndex -1. TbsSkinCustomControl adds what controls drawn from a
// custom-control object share: the copied geometry and the sizing mode that
// decides how the control may be resized, the size adaptation, the look
// drawn at any size, the window region from a mask picture, and the font and
// size of the plain look.
//
// The skin data announces a skin change to the forms; whoever relays it to
// the controls (skin/form/skin_relay.h) calls PrepareSkinChange before the
// skin data frees its objects and ApplySkinChange once the new skin is
// there. The controls keep values, not pointers into the skin data, and
// look their object up again on every paint.
//
// Erase-background messages never paint the background (no flicker); the
// controls that must not show stale pixels paint themselves completely into
// the erase device context instead, when the erase does not come from inside
// their own paint.

#include <cstdint>
#include <memory>
#include <string>

#include "framework/controls.h"
#include "framework/graphics.h"
#include "skin/controls/core/control_geometry.h"
#include "skin/data/skin_data.h"

namespace skin {

using framework::TBitmap;
using framework::TBitmapData;
using framework::TComponent;
using framework::TFont;
using framework::TMessage;
using framework::TNotifyEvent;

class TbsSkinControl : public framework::TCustomControl {
  public:
    explicit TbsSkinControl(TComponent* owner);
    ~TbsSkinControl() override;

    // The skin data to draw from; null: the plain look. Cleared (without a
    // repaint) when the skin data is freed.
    TbsSkinData* SkinData() const { return binding_.SkinData(); }
    // The control object's name in the skin; each class sets its default.
    const std::string& SkinDataName() const { return binding_.Name(); }

    // Index of the control's object in the skin, -1 for the plain look.
    int DataIndex() const { return binding_.DataIndex(); }

    // Raised after the mouse entered or left the control.
    TNotifyEvent OnMouseEnter;
    TNotifyEvent OnMouseLeave;

    bool InPaintMessage() const { return inPaintMessage_; }

    // The operations every skinned control has, in this order.

    // Looks the control's object up again; sets DataIndex.
    virtual void FindSkinObject();
    // Stores the name; it takes effect at the next paint, resize or skin
    // change.
    virtual void SetSkinDataName(std::string name);
    // Stores the reference; a skin data with a loaded skin is applied at once.
    virtual void SetSkinData(TbsSkinData* value);

  protected:
    // Draw the whole control into `target` (already of the control's size).
    virtual void PaintDefault(TBitmap& target);
    virtual void PaintSkinned(TBitmap& target);

  public:
    // The skin data has a new skin: find the object and show it.
    virtual void ApplySkinChange();
    // The skin data is about to free its objects: drop the object.
    virtual void PrepareSkinChange();
    virtual void FinishSkinChange();

    // Shows a change of what the control displays. The control repaints at
    // once, without waiting for the message loop (progress is shown while
    // the window thread is busy with a transfer), but at most once per
    // kRepaintInterval milliseconds: fast transfers report progress thousands
    // of times a second, and painting each report would cost more than the
    // transfer. A change that comes sooner is held back and painted by the
    // first of: the control's next change once the interval is over, the
    // next change of any paced control once the interval is over (the window
    // thread is back in the program), the pace timer at the end of the
    // interval (when the thread dispatches messages), FlushRepaint, or the
    // message loop. While the thread is blocked in a transfer none of them
    // can run; the next progress event is the earliest chance.
    void ShowChange();
    // Paints a change that ShowChange held back, now (and gives the window
    // the text it shows, see SetShownText).
    void FlushRepaint();
    static constexpr int kRepaintInterval = 25;
    // The clock of the pace in milliseconds (a steady clock); tests put one
    // of their own in its place.
    static int64_t (*PaceClock)();
    // Pacing on (the default) or off: off, every change paints at once
    // (benchmarks measure the paint cost this way).
    static void SetRepaintPacing(bool on) { pacing_ = on; }
    static bool RepaintPacing() { return pacing_; }

    // Paints the held-back changes of every control (but `except`) whose
    // interval is over. The window thread calls it while it waits on a
    // silent server, so that what is shown is never older than one interval.
    static void PaintDueChanges(const TbsSkinControl* except = nullptr);

  protected:
    // Paints the control into an off-screen bitmap and shows it on `canvas`.
    // A skinned paint that fails (a skin whose pictures cannot be drawn) is
    // replaced by the plain look, so that a bad skin cannot make every paint
    // raise an error.
    void PaintThrough(framework::TCanvas& canvas);
    void Paint() override;
    // The whole control into a device context (used for the erase message
    // by the controls that fill their background themselves).
    void PaintTo(HDC dc);
    // True for the controls that paint themselves into the erase device
    // context (button, gauge, label, scroll bar).
    virtual bool PaintsOnErase() const { return false; }

    void WndProc(TMessage& message) override;
    void WMEraseBkgnd(TMessage& message) override;
    void MouseEnter() override;
    void MouseLeave() override;
    void Notification(TComponent* component, framework::TOperation operation) override;
    void CreateParams(framework::TCreateParams& params) override;
    void CreateHandleDone() override;

    // The skin data, the object name and what was copied from the object.
    TSkinBinding binding_;

    // Whether a change now is due for painting (and then takes the slot).
    bool RepaintDue();
    // Holds a change back until the pace allows it (see ShowChange); the
    // control's window must exist.
    void HoldBackRepaint();
    // Paints the control onto its window now.
    virtual void ShowNow();
    // The text the control shows, for programs that read its window
    // (WM_GETTEXT, accessibility tools). WM_GETTEXT answers with it at once;
    // the system's copy of the window text follows at most once per
    // kRepaintInterval (setting it costs more than a paint).
    void SetShownText(std::wstring text);
    // For a left press on a control that takes the focus and has not got
    // it: takes the focus; false when it stayed elsewhere (the press is then
    // dropped).
    bool TakeFocusOnPress();
    // Assigns `wanted` to `font` unless it is that font already.
    static void AssignFont(framework::TFont& font, const framework::TFont& wanted);
    // The font of a text drawn from a skin font: the skin's name, height
    // and style when `useSkinFont`, else `fallback`'s; the skin's colour;
    // the character set of the skin data's string table when it has one,
    // else `fallback`'s.
    void SkinTextFont(framework::TFont& font, const TSkinFont& skin, bool useSkinFont,
                      const framework::TFont& fallback) const;

  private:
    void ClearHeldBack();
    // Joins the held-back controls and sets the pace timer.
    void HoldBack();
    // Leaves the held-back controls when nothing is held back any more.
    void ReleaseIfDone();
    void FlushText();

    static inline bool pacing_ = true;

    bool inPaintMessage_ = false;
    bool repaintPending_ = false;
    int64_t lastRepaint_ = 0;  // milliseconds of a steady clock
    std::unique_ptr<TBitmap> buffer_;
    std::wstring shownText_;
    bool textKnown_ = false;  // SetShownText was called
    bool textPending_ = false;
    int64_t lastText_ = 0;
};

class TbsSkinCustomControl : public TbsSkinControl {
  public:
    explicit TbsSkinCustomControl(TComponent* owner);

    // The font of the plain look (and of the skinned one when UseSkinFont is
    // off): Arial, height 14, no style, unless set.
    TFont& DefaultFont() { return defaultFont_; }
    // Size applied when the control has no skin object; 0 keeps the size.
    int DefaultWidth() const { return defaultWidth_; }
    void SetDefaultWidth(int value);
    int DefaultHeight() const { return defaultHeight_; }
    void SetDefaultHeight(int value);
    bool UseSkinFont() const { return useSkinFont_; }
    void SetUseSkinFont(bool value);

    // What was copied from the object and the geometry at the current size.
    const TControlGeometry& Geometry() const { return binding_.Geometry(); }
    const TAdaptedGeometry& Adapted() const { return binding_.Adapted(); }
    TSizingMode SizingMode() const { return binding_.SizingMode(); }
    // The object's picture and mask, or null.
    const TBitmapData* SkinPicture() const { return binding_.Picture(); }
    const TBitmapData* SkinMask() const { return binding_.Mask(); }

    // Also copies the object's geometry and pictures.
    void FindSkinObject() override;
    // Adapts the size to the object (or applies DefaultWidth and
    // DefaultHeight without one), rebuilds the region and repaints.
    void ApplySkinChange() override;
    // Resizes within what the object allows.
    void SetBounds(int left, int top, int width, int height) override;

  protected:
    // Fills the control with the button face.
    void PaintDefault(TBitmap& target) override;
    // The look of S at the control's size.
    void PaintSkinned(TBitmap& target) override;

    // Called after any change of DefaultFont.
    virtual void DefaultFontChanged() {}
    // Corrects a requested size to what the object allows and moves the
    // geometry to it.
    virtual void AdaptSize(int& width, int& height);
    // Gives the window the shape of the object's mask at the current size,
    // or no shape without a mask.
    virtual void RebuildRegion();

    // Draws the look `look` (a rectangle of the picture, of S's size) at
    // the control's size by the sizing mode.
    void DrawSkinLook(TBitmapData& target, const TRect& look);

    void CreateHandleDone() override;

  private:
    TFont defaultFont_;
    int defaultWidth_ = 0;
    int defaultHeight_ = 0;
    bool useSkinFont_ = true;
    // Whether the window has a region of ours. The system owns a region
    // once it is given to the window, so no handle is kept.
    bool hasRegion_ = false;
};

}  // namespace skin
