#pragma once

// TbsSkinListBox: a frame around an inner system list box that holds the
// items. The inner list box draws its items itself (owner-drawn, each
// through an off-screen bitmap, in the skin's look or the plain one) but
// keeps their texts, so the standard list-box messages (LB_GETCOUNT,
// LB_GETTEXT, LB_GETCURSEL, ...) sent to it read the list from any process.
// When the items do not fit, a skinned vertical scroll bar stands at the
// list's right; the inner list's own scroll bar is never shown. A disabled
// list looks like an enabled one and takes no input, but the program still
// moves its selection.

#include <memory>
#include <string>
#include <vector>

#include "skin/controls/scroll_bar.h"
#include "skin/controls/skin_control.h"

namespace skin {

class TbsSkinListBox;

// The inner list box window.
class TbsListBoxWindow : public framework::TWinControl {
  public:
    explicit TbsListBoxWindow(TbsSkinListBox& owner);

  protected:
    void CreateParams(framework::TCreateParams& params) override;
    void CreateHandleDone() override;
    void WndProc(framework::TMessage& message) override;
    bool CapturesMouse() const override { return false; }

  private:
    TbsSkinListBox& list_;
};

class TbsSkinListBox : public TbsSkinCustomControl {
  public:
    explicit TbsSkinListBox(TComponent* owner);
    ~TbsSkinListBox() override;

    // The items (GBK texts), in the order the list shows them.
    int ItemCount() const { return static_cast<int>(items_.size()); }
    const std::string& Item(int index) const { return items_.at(static_cast<size_t>(index)); }
    void ClearItems();
    // Appends the item, or, in a sorted list, inserts it after the items that
    // do not sort after it.
    void AddItem(const std::string& text);
    void SetItems(const std::vector<std::string>& items);

    // The selected item, -1 for none; setting it scrolls the item into view
    // (at the repaint pace, like every change of a skinned control).
    int ItemIndex() const;
    void SetItemIndex(int index);

    // Keeps the items sorted as the system sorts list boxes (by the user's
    // locale, ignoring case; equal items in the order they came). The list
    // box sorts its own copy of the items and gives the system list the same
    // order, so Item(i) is always what row i shows. Switching it on sorts the
    // items at once; the selected item stays selected.
    bool Sorted() const { return sorted_; }
    void SetSorted(bool value);
    bool MultiSelect() const { return multiSelect_; }
    void SetMultiSelect(bool value) { multiSelect_ = value; }
    bool CaptionMode() const { return captionMode_; }
    void SetCaptionMode(bool value);
    bool UseSkinItemHeight() const { return useSkinItemHeight_; }
    void SetUseSkinItemHeight(bool value) { useSkinItemHeight_ = value; }
    int DefaultItemHeight() const { return defaultItemHeight_; }
    void SetDefaultItemHeight(int value);
    int DefaultCaptionHeight() const { return defaultCaptionHeight_; }
    void SetDefaultCaptionHeight(int value);
    // The items' font.
    TFont& ListBoxFont() { return listBoxFont_; }

    TbsListBoxWindow& ListBox() { return *listBox_; }
    // The vertical scroll bar while the items do not fit, else null.
    TbsSkinScrollBar* VScrollBar() const { return vScrollBar_; }
    // The height of a row: the skin's item look, or DefaultItemHeight.
    int ItemHeight() const { return itemHeight_; }

    void FindSkinObject() override;
    void ApplySkinChange() override;

    // Also paints the items at once.
    void Repaint() override;
    // The inner list paints itself: a paced change gives the system list
    // the selection held back for the pace and repaints both windows.
    void ShowNow() override;

  protected:
    void PaintDefault(TBitmap& target) override;
    void Resize() override;
    void WndProc(TMessage& message) override;
    void CreateHandleDone() override;

    // Draws one item of the inner list box.
    virtual void DrawItem(const DRAWITEMSTRUCT& item);

  private:
    friend class TbsListBoxWindow;
    // Places the inner list box (and the scroll bar) in the frame.
    void Layout();
    // Fills the inner list box from the items.
    void LoadItems();
    // Shows the vertical scroll bar while the items do not fit, and gives it
    // the list's rows and top row.
    void UpdateScrollBar();
    // The background of the inner list (below the last item).
    void EraseList(HDC dc);
    void ApplyItemHeight();
    // Gives the system list the selection that SetItemIndex held back.
    void ApplyHeldSelection();

    std::vector<std::string> items_;
    int itemIndex_ = -1;
    // The off-screen bitmap of a skinned row, kept between rows.
    std::unique_ptr<TBitmap> itemBuffer_;
    // itemIndex_ is not yet the system list's selection (see SetItemIndex).
    bool selectionHeld_ = false;
    bool sorted_ = false;
    bool multiSelect_ = false;
    bool captionMode_ = false;
    bool useSkinItemHeight_ = true;
    int defaultItemHeight_ = 20;
    int defaultCaptionHeight_ = 20;
    TFont listBoxFont_;
    TbsListBoxWindow* listBox_ = nullptr;
    TbsSkinScrollBar* vScrollBar_ = nullptr;
    int itemHeight_ = 20;
    bool updatingBar_ = false;

    // Copied from the object.
    TRect itemLook_, activeItemLook_, focusItemLook_, itemTextRect_;
    int itemLeftOffset_ = 0;
    int itemRightOffset_ = 0;
    TSkinFont itemFont_;
    framework::TColor activeFontColor_ = 0;
    framework::TColor focusFontColor_ = 0;
    std::string vScrollBarName_ = "vscrollbar";
};

}  // namespace skin
