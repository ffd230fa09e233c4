#pragma once

// Menus as data: a tree of menu items (caption, short cut, check marks,
// image, enabled and visible flags, a click handler) and the popup menu
// component that holds one. Showing a menu is left to whoever shows it (the
// skin's menu engine); this part is portable and has no windows.
//
// Captions mark their accelerator with "&" ("关闭(&C)" has 'C'); "&&" is a
// literal "&". A caption of "-" makes the item a separator.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "framework/bitmap.h"
#include "framework/component.h"
#include "framework/geometry.h"

namespace framework {

class TCanvas;

// A key with its modifiers: the virtual-key code in the low byte and the
// modifier bits below.
using TShortCut = uint16_t;
inline constexpr TShortCut scShift = 0x2000;
inline constexpr TShortCut scCtrl = 0x4000;
inline constexpr TShortCut scAlt = 0x8000;
inline constexpr TShortCut scNone = 0;

// The text of a short cut as menus show it: the modifiers "Shift+", "Ctrl+",
// "Alt+" in that order, then the key's name ("A", "0", "F4", "Enter", "Esc",
// "Del", "Ins", "Tab", "Space", "BkSp", "Home", "End", "PgUp", "PgDn",
// "Left", "Up", "Right", "Down", "Num 0"…); "" for scNone or a key without a
// name.
std::string ShortCutToText(TShortCut short_cut);
// The reverse, case-insensitive; scNone for a text it does not know.
TShortCut TextToShortCut(std::string_view text);
// Makes a short cut from a virtual-key code and modifier bits.
constexpr TShortCut ShortCut(uint16_t key, TShortCut modifiers) {
    return static_cast<TShortCut>((key & 0xFF) | modifiers);
}

// The accelerator character of a caption (the character after the first
// single "&"), upper-cased when it is an ASCII letter; 0 when there is none
// or when a double-byte character follows the "&". Captions are GBK text: a
// byte 0x81-0xFE and the byte after it are one character, never an "&".
char AcceleratorOf(std::string_view caption);
// Whether `key` (a character, either case) is the accelerator of `caption`.
bool IsAccelerator(unsigned key, std::string_view caption);
// The caption without its "&" marks ("&&" becomes "&").
std::string StripAccelerator(std::string_view caption);

class TMenuItem;
using TMenuNotifyEvent = std::function<void(TComponent* sender)>;
// Draws the item itself into `rect` of `canvas`; `selected`: its active look.
using TMenuDrawItemEvent =
    std::function<void(TMenuItem& item, TCanvas& canvas, const TRect& rect, bool selected)>;

// One item of a menu, and the list of its own items (a submenu). An item
// frees its children with it and leaves its parent when it is freed. An item
// may also have an owner; whichever of owner and parent frees it first, the
// other forgets it. Items in a submenu are freed with `delete`, so they must
// come from `new`.
class TMenuItem : public TComponent {
  public:
    explicit TMenuItem(TComponent* owner);
    ~TMenuItem() override;

    const std::string& Caption() const { return caption_; }
    void SetCaption(std::string value) { caption_ = std::move(value); }
    bool IsLine() const { return caption_ == "-"; }

    TShortCut ShortCut() const { return shortCut_; }
    void SetShortCut(TShortCut value) { shortCut_ = value; }
    bool Checked() const { return checked_; }
    void SetChecked(bool value) { checked_ = value; }
    bool RadioItem() const { return radioItem_; }
    void SetRadioItem(bool value) { radioItem_ = value; }
    int ImageIndex() const { return imageIndex_; }
    void SetImageIndex(int value) { imageIndex_ = value; }
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool value) { enabled_ = value; }
    bool Visible() const { return visible_; }
    void SetVisible(bool value) { visible_ = value; }

    TMenuNotifyEvent OnClick;
    TMenuDrawItemEvent OnDrawItem;

    // Runs OnClick (with this item as sender) when enabled.
    void Click();

    // The submenu.
    int Count() const { return static_cast<int>(items_.size()); }
    // Out of 0..Count()-1: EComponentError "List index out of bounds (N)".
    TMenuItem* Items(int index) const;
    TMenuItem* Parent() const { return parent_; }
    // Adds `item` at the end, or before the item now at `index` (0..Count(),
    // else EComponentError "List index out of bounds (N)"); an item that has
    // a parent leaves it first. Adding an item to itself or to one of its own
    // items: EComponentError "Menu inserted twice"; null: EComponentError.
    void Add(TMenuItem* item);
    void Insert(int index, TMenuItem* item);
    // Takes `item` out of the submenu without freeing it (nothing when it
    // is not there).
    void Remove(TMenuItem* item);
    // Index of `item` in the submenu, or -1.
    int IndexOf(const TMenuItem* item) const;
    // The first item of the submenu with that name (ASCII letters in any
    // case), or null.
    TMenuItem* Find(std::string_view name) const;
    // Frees every item of the submenu.
    void Clear();

  private:
    std::string caption_;
    TShortCut shortCut_ = scNone;
    bool checked_ = false;
    bool radioItem_ = false;
    int imageIndex_ = -1;
    bool enabled_ = true;
    bool visible_ = true;
    TMenuItem* parent_ = nullptr;
    std::vector<TMenuItem*> items_;
};

// A menu shown on request: its root item holds the items.
class TPopupMenu : public TComponent {
  public:
    explicit TPopupMenu(TComponent* owner);
    ~TPopupMenu() override;

    // The root: its items are the menu's items. Owned by the menu.
    TMenuItem& Items() const { return *items_; }

    // The menu's pictures, which items show by their ImageIndex; all of the
    // same size. ImageWidth is their width (0 without pictures).
    const std::vector<TBitmapData>& Images() const { return images_; }
    void SetImages(std::vector<TBitmapData> images) {
        images_ = std::move(images);
        imageWidth_ = images_.empty() ? 0 : images_.front().Width();
    }
    int ImageWidth() const { return imageWidth_; }

    // Runs before the menu is shown.
    TMenuNotifyEvent OnPopup;

    // Runs OnPopup. A menu class that can show itself (the skinned popup
    // menu) shows the items at the screen point (x, y) after that.
    virtual void Popup(int x, int y);

  private:
    TMenuItem* items_;
    std::vector<TBitmapData> images_;
    int imageWidth_ = 0;
};

}  // namespace framework
