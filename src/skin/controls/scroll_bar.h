#pragma once

// TbsSkinScrollBar: a horizontal or vertical scroll bar drawn from a
// "scrollbar" object of a skin, or in a plain look. Its buttons step by
// SmallChange (repeating while held: once at the press, again after 500 ms,
// then every 50 ms), the track pages by LargeChange, and the thumb is
// dragged with the mouse captured. Programs that read scroll bars get its
// range and position through SBM_GETSCROLLINFO and SBM_GETPOS.

#include <memory>
#include <string>

#include "framework/forms.h"
#include "skin/controls/core/scroll_bar_core.h"
#include "skin/controls/skin_control.h"

namespace skin {

class TbsSkinScrollBar : public TbsSkinCustomControl {
  public:
    explicit TbsSkinScrollBar(TComponent* owner);
    ~TbsSkinScrollBar() override;

    TScrollBarKind Kind() const { return kind_; }
    void SetKind(TScrollBarKind value);
    int Min() const { return range_.min; }
    void SetMin(int value);
    int Max() const { return range_.max; }
    void SetMax(int value);
    int Position() const { return range_.position; }
    // Clamped to Min .. Max - PageSize + 1 (Max without a page); OnChange
    // when it changed.
    void SetPosition(int value);
    int PageSize() const { return range_.page_size; }
    // Taken only when the page fits beside the position.
    void SetPageSize(int value);
    // For a container: all four, clamped, without an event.
    void SetRange(int min, int max, int pageSize, int position);
    int SmallChange() const { return smallChange_; }
    void SetSmallChange(int value);
    int LargeChange() const { return largeChange_; }
    void SetLargeChange(int value);
    // The horizontal bar of a pair: it leaves a square at its right end.
    bool Both() const { return both_; }
    void SetBoth(bool value);
    int BothMarkerWidth() const { return bothMarkerWidth_; }
    void SetBothMarkerWidth(int value);
    const std::string& BothSkinDataName() const { return bothSkinDataName_; }
    void SetBothSkinDataName(std::string value) { bothSkinDataName_ = std::move(value); }
    // Takes the focus, the arrow keys and the wheel (and the tab stop).
    bool CanFocused() const { return canFocused_; }
    void SetCanFocused(bool value);

    TNotifyEvent OnChange;
    TNotifyEvent OnLastChange;
    TNotifyEvent OnUpButtonClick;
    TNotifyEvent OnDownButtonClick;
    TNotifyEvent OnPageUp;
    TNotifyEvent OnPageDown;

    // Where the parts are now.
    TScrollGeometry Parts();
    TScrollPart PressedPart() const { return pressed_; }
    TScrollPart HoveredPart() const { return hovered_; }

    void FindSkinObject() override;

  protected:
    void PaintDefault(TBitmap& target) override;
    void PaintSkinned(TBitmap& target) override;
    bool PaintsOnErase() const override { return true; }

    void WndProc(TMessage& message) override;
    void MouseDown(framework::TMouseButton button, framework::TShiftState shift, int x,
                   int y) override;
    void MouseUp(framework::TMouseButton button, framework::TShiftState shift, int x,
                 int y) override;
    void MouseMove(framework::TShiftState shift, int x, int y) override;
    void MouseLeave() override;
    void KeyDown(WORD key, framework::TShiftState shift) override;
    void FocusChanged(bool focused) override;
    void EnabledChanged() override;
    bool WantsKey(WORD key) const override;

  private:
    // Steps the position (through the setter) or raises the button's event.
    void Step(TScrollRepeatMode mode, const TScrollStep& step);
    void StartRepeat(int delay);
    void StopRepeat();
    void RepeatTick();
    TScrollPart PartAt(int x, int y);
    int Along(int x, int y) const { return kind_ == sbVertical ? y : x; }
    void Changed();

    TScrollBarKind kind_ = sbHorizontal;
    TScrollRange range_;
    int smallChange_ = 1;
    int largeChange_ = 1;
    bool both_ = false;
    int bothMarkerWidth_ = 19;
    std::string bothSkinDataName_ = "bothhscrollbar";
    std::string singleSkinDataName_;
    bool canFocused_ = false;

    // Copied from the object.
    TScrollSkin skin_;
    TRect thumbLook_, activeThumbLook_, downThumbLook_;
    TRect glyphLook_, activeGlyphLook_, downGlyphLook_;
    TRect activeStartLook_, downStartLook_, activeEndLook_, downEndLook_;
    int thumbOffset1_ = 0;
    int thumbOffset2_ = 0;
    bool thumbTransparent_ = false;
    framework::TColor thumbTransparentColor_ = 0;

    TScrollPart pressed_ = spNone;
    TScrollPart hovered_ = spNone;
    bool dragging_ = false;
    int mouseAtPress_ = 0;
    int offsetAtPress_ = 0;
    int lastMouse_ = 0;  // along the bar
    bool paused_ = false;
    TScrollRepeat repeat_;
    // Released, never deleted: a tick's handler may stop the repeat.
    framework::TOwnedTimer timer_;
};

}  // namespace skin
