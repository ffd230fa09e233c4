#pragma once

// The base of every skinned windowed control.
//
// TbsSkinControl names a control object of a skin and paints through one
// off-screen bitmap per paint, in the skinned look when it has a skin object
// and in its plain look (system colours, the default font) otherwise.
// TbsSkinCustomControl adds the fallback font and size that the plain look
// uses. A control without a skin object has DataIndex -1.
//
// Erase-background messages never paint the background (no flicker); the
// controls that must not show stale pixels paint themselves completely into
// the erase device context instead, when the erase does not come from inside
// their own paint.

#include <cstdint>
#include <string>

#include "framework/controls.h"
#include "framework/graphics.h"

namespace skin {

using framework::TBitmap;
using framework::TComponent;
using framework::TFont;
using framework::TMessage;
using framework::TNotifyEvent;

class TbsSkinControl : public framework::TCustomControl {
  public:
    explicit TbsSkinControl(TComponent* owner);
    ~TbsSkinControl() override;

    // The control object's name in the skin; each class sets its default.
    const std::string& SkinDataName() const { return skinDataName_; }
    virtual void SetSkinDataName(std::string name);

    // Index of the control's object in the skin, -1 for the plain look.
    int DataIndex() const { return dataIndex_; }

    // Raised after the mouse entered or left the control.
    TNotifyEvent OnMouseEnter;
    TNotifyEvent OnMouseLeave;

    bool InPaintMessage() const { return inPaintMessage_; }

    // Looks the control's object up again; sets DataIndex.
    virtual void FindSkinObject();

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
    // Paints a change that ShowChange held back, now.
    void FlushRepaint();
    static constexpr int kRepaintInterval = 25;
    // The clock of the pace in milliseconds (a steady clock); tests put one
    // of their own in its place.
    static int64_t (*PaceClock)();
    // Pacing on (the default) or off: off, every change paints at once
    // (benchmarks measure the paint cost this way).
    static void SetRepaintPacing(bool on) { pacing_ = on; }
    static bool RepaintPacing() { return pacing_; }

  protected:
    // Draw the whole control into `target` (already of the control's size).
    virtual void PaintDefault(TBitmap& target);
    virtual void PaintSkinned(TBitmap& target);

    // Paints the control into an off-screen bitmap and shows it on `canvas`.
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

    int dataIndex_ = -1;

    // Whether a change now is due for painting (and then takes the slot).
    bool RepaintDue();
    // Holds a change back until the pace allows it (see ShowChange); the
    // control's window must exist.
    void HoldBackRepaint();

  public:
    // Paints the held-back changes of every control (but `except`) whose
    // interval is over. The window thread calls it while it waits on a
    // silent server, so that what is shown is never older than one interval.
    static void PaintDueChanges(const TbsSkinControl* except = nullptr);

  private:
    void ClearHeldBack();

    static inline bool pacing_ = true;

    std::string skinDataName_;
    bool inPaintMessage_ = false;
    bool repaintPending_ = false;
    int64_t lastRepaint_ = 0;  // milliseconds of a steady clock
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

  protected:
    // Fills the control with the button face.
    void PaintDefault(TBitmap& target) override;
    // Called after any change of DefaultFont.
    virtual void DefaultFontChanged() {}

  private:
    TFont defaultFont_;
    int defaultWidth_ = 0;
    int defaultHeight_ = 0;
    bool useSkinFont_ = true;
};

}  // namespace skin
