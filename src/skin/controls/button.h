#pragma once

// TbsSkinButton: the push button of the skinned user interface. Skinned, it
// shows one of the four looks of its "button" object (normal, active,
// pressed, disabled) at any width, and fades between the normal and the
// active look when the object asks for it. It tracks the mouse, the focus
// and the keyboard itself: it clicks on the release of a press that stayed
// over it (or at once for a group button), repeats its click while held
// when asked, answers Enter as the form's default button, Esc as its cancel
// button and its caption's "&" character as its accelerator, and copies its
// ModalResult to its form. Nothing of the button is read after its click
// handler ran: the handler may have freed it.

#include <memory>
#include <string>

#include "framework/forms.h"
#include "skin/controls/core/button_core.h"
#include "skin/controls/skin_control.h"

namespace skin {

class TbsSkinButton : public TbsSkinCustomControl {
  public:
    explicit TbsSkinButton(TComponent* owner);
    ~TbsSkinButton() override;

    // A horizontal strip of NumGlyphs equal glyphs: 1 normal, 2 disabled,
    // 3 pressed, 4 active. The colour of the strip's bottom-left pixel is
    // transparent.
    TBitmap& Glyph() { return glyph_; }
    int NumGlyphs() const { return numGlyphs_; }
    void SetNumGlyphs(int value);
    TButtonLayout Layout() const { return layout_; }
    void SetLayout(TButtonLayout value);
    // Distance of the glyph from the edge; -1 centres glyph and caption.
    int Margin() const { return margin_; }
    void SetMargin(int value);
    int Spacing() const { return spacing_; }
    void SetSpacing(int value);

    bool Down() const { return down_; }
    void SetDown(bool value);
    int GroupIndex() const { return groupIndex_; }
    void SetGroupIndex(int value);
    bool AllowAllUp() const { return allowAllUp_; }
    void SetAllowAllUp(bool value) { allowAllUp_ = value; }
    bool RepeatMode() const { return repeatMode_; }
    void SetRepeatMode(bool value) { repeatMode_ = value; }
    int RepeatInterval() const { return repeatInterval_; }
    void SetRepeatInterval(int value);
    // Whether the button takes the focus (also its tab stop).
    bool CanFocused() const { return canFocused_; }
    void SetCanFocused(bool value);
    bool Default() const { return default_; }
    void SetDefault(bool value);
    bool Cancel() const { return cancel_; }
    void SetCancel(bool value) { cancel_ = value; }
    framework::TModalResult ModalResult() const { return modalResult_; }
    void SetModalResult(framework::TModalResult value) { modalResult_ = value; }

    bool Hot() const { return hot_; }
    bool MousePressed() const { return mousePressed_; }
    bool IsDefaultNow() const { return isDefaultNow_; }
    // 0..1: how far the fade from the normal to the active look has come.
    double MorphFactor() const { return morphFactor_; }
    // Whether the object asks for the fade.
    bool Morphing() const { return morphing_ && DataIndex() >= 0; }

    void FindSkinObject() override;
    void ApplySkinChange() override;

    // Draws the look `look` as active and/or down: the look, then glyph and
    // caption in the state's colour.
    virtual void DrawState(TBitmap& target, const TRect& look, bool active, bool down);
    // Copies ModalResult to the form (when the button takes the focus) and
    // raises OnClick.
    virtual void ButtonClick();

  protected:
    void PaintDefault(TBitmap& target) override;
    void PaintSkinned(TBitmap& target) override;
    bool PaintsOnErase() const override { return true; }

    void WndProc(TMessage& message) override;
    // The generic click of a control is replaced by the button's own rules.
    void Click() override {}
    void MouseDown(framework::TMouseButton button, framework::TShiftState shift, int x,
                   int y) override;
    void MouseUp(framework::TMouseButton button, framework::TShiftState shift, int x,
                 int y) override;
    void MouseEnter() override;
    void MouseLeave() override;
    void KeyDown(WORD key, framework::TShiftState shift) override;
    void KeyUp(WORD key, framework::TShiftState shift) override;
    void FocusChanged(bool focused) override;
    void EnabledChanged() override;
    bool WantsKey(WORD key) const override { return key == VK_RETURN && canFocused_; }

    // Places the glyph and the caption in `r` as Layout, Margin and Spacing
    // say; `offset` moves both one pixel right and down (pressed look).
    void DrawGlyphAndCaption(framework::TCanvas& canvas, const RECT& r, int glyphNumber,
                             bool offset);
    int GlyphNumber(bool active, bool down) const;
    // Whether the pressed look applies.
    bool ShowsPressed() const;
    TButtonState State() const;

  private:
    void StartRepeat();
    void StopRepeat();
    void Refresh();
    // Starts the fade towards the state's look, or repaints when the button
    // does not fade.
    void StartMorphOrRepaint();
    void StopMorph();
    void MorphTimerTick();

    TBitmap glyph_;
    int numGlyphs_ = 1;
    TButtonLayout layout_ = blGlyphLeft;
    int margin_ = -1;
    int spacing_ = 1;
    bool down_ = false;
    int groupIndex_ = 0;
    bool allowAllUp_ = false;
    bool repeatMode_ = false;
    int repeatInterval_ = 100;
    bool canFocused_ = true;
    bool default_ = false;
    bool cancel_ = false;
    framework::TModalResult modalResult_ = framework::mrNone;

    bool hot_ = false;
    bool mousePressed_ = false;
    bool isDefaultNow_ = false;
    bool pressedOnDown_ = false;
    bool inSetFocus_ = false;
    // The repeat timer is released, never deleted: its own tick may stop it
    // (a click handler that moves the focus), and a timer must outlive the
    // tick that is running.
    framework::TOwnedTimer repeatTimer_;
    framework::TOwnedTimer morphTimer_;
    double morphFactor_ = 0;

    // Copied from the object.
    TSkinFont skinFont_;
    framework::TColor activeFontColor_ = 0;
    framework::TColor downFontColor_ = 0;
    framework::TColor disabledFontColor_ = 0;
    TRect activeLook_;
    TRect downLook_;
    TRect disabledLook_;
    bool morphing_ = false;
    TMorphKind morphKind_ = mkDefault;
};

}  // namespace skin
