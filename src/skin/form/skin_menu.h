#pragma once

// Skinned popup menus. A form's frame owns one menu engine (TbsSkinMenu):
// it shows a menu as one borderless popup window per level, drawn from the
// skin's popup-window and menu-item looks (or a built-in flat look), never
// activated, so the form keeps the focus. The mouse is followed by polling,
// a submenu opens after the pointer rests on its item, and the keyboard
// reaches the menu through the frame while a menu is open.
//
// Levels that close while their own handler runs are hidden at once and
// freed from a message posted to them, never inside that handler; a command
// run from a menu may free the form, the frame and the engine.

#include <windows.h>

#include <functional>
#include <memory>
#include <vector>

#include "framework/forms.h"
#include "framework/graphics.h"
#include "framework/menus.h"
#include "skin/data/skin_data.h"
#include "skin/form/core/menu_core.h"

namespace skin {

// Sent to the control that opened a menu after a command of it ran.
inline constexpr UINT WM_SKIN_MENU_DONE = WM_USER + 205;  // 1229

// Whether this system draws translucent (layered) windows well enough to
// fade them: the versions 5.0 to 5.2 only. Tests may replace the test.
bool LayeredWindowsUsable();
void SetLayeredWindowsTest(std::function<bool()> test);

class TbsSkinPopupWindow;

class TbsSkinMenu {
  public:
    explicit TbsSkinMenu(framework::TForm& form);
    ~TbsSkinMenu();
    TbsSkinMenu(const TbsSkinMenu&) = delete;
    TbsSkinMenu& operator=(const TbsSkinMenu&) = delete;

    // Items take the skin's menu-item font (else the default item font).
    bool use_skin_font = true;
    int default_item_height = 20;
    framework::TFont default_item_font;  // Arial 14
    bool alpha_blend = false;
    bool alpha_blend_animation = false;
    int alpha_blend_value = 150;
    // More items than this (when above 0) scroll in their level.
    int max_items_in_window = 0;

    // Opens the items of `items` from `first_index` on at `anchor` (screen
    // coordinates; a point is an empty rectangle), closing whatever was
    // open. `popup_control` (may be null) is told WM_CLOSE_SKIN_MENUS when
    // the menu closes and WM_SKIN_MENU_DONE after a command. `skin` may be
    // null or empty: the built-in look. Nothing opens for no visible items.
    // `images` (may be null) are the pictures the items show by ImageIndex.
    void Popup(HWND popup_control, TbsSkinData* skin, bool upwards, framework::TMenuItem& items,
               const framework::TRect& anchor,
               const std::vector<framework::TBitmapData>* images = nullptr, int first_index = 0);
    // Closes the levels from `n` on; from 0: the whole menu.
    void CloseLevelsFrom(int n);
    // Closes every level and tells the form and the control that opened it.
    void CloseAll();
    bool Visible() const { return visible_; }

    // A key pressed while the menu is open (the frame passes them on).
    void KeyDown(unsigned key);

    // Runs when the menu has closed (the frame leaves its menu mode).
    std::function<void()> OnClosed;

    // For tests: the open levels, the top one first.
    int LevelCount() const { return static_cast<int>(levels_.size()); }
    HWND LevelHandle(int index) const;
    // The active item of a level, or -1.
    int ActiveItem(int level) const;

  private:
    friend class TbsSkinPopupWindow;

    void OpenLevel(framework::TMenuItem& parent, const framework::TRect& anchor, bool upwards,
                   bool submenu, int first_index);
    // Runs the item `index` of `level` (a click, Enter, Right, an
    // accelerator, or the pause on an item with a submenu).
    void RunItem(TbsSkinPopupWindow& level, int index);
    void StartWait(TbsSkinPopupWindow& level, int index);
    void StopWait();
    void Closed();

    framework::TForm& form_;
    std::vector<TbsSkinPopupWindow*> levels_;
    TbsSkinData* skin_ = nullptr;
    HWND popupControl_ = nullptr;
    HWND doneControl_ = nullptr;
    framework::TRect workArea_;
    const std::vector<framework::TBitmapData>* images_ = nullptr;
    int imageWidth_ = 0;
    bool visible_ = false;
    bool first_ = false;
    // The item waiting to open its submenu: its level and index.
    TbsSkinPopupWindow* waitLevel_ = nullptr;
    int waitItem_ = -1;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

// A popup menu of a skinned form: shown by the frame's menu engine.
class TbsSkinPopupMenu : public framework::TPopupMenu {
  public:
    explicit TbsSkinPopupMenu(framework::TComponent* owner);
    ~TbsSkinPopupMenu() override;

    // The skin of the menu; null: the frame's menu skin, or its skin.
    TbsSkinData* SkinData() const { return skinData_; }
    void SetSkinData(TbsSkinData* value);
    // The form whose frame shows the menu; null: the owner (or its owner)
    // when it is a form.
    framework::TForm* ComponentForm() const { return componentForm_; }
    void SetComponentForm(framework::TForm* value) { componentForm_ = value; }

    // Shows the menu at a screen point, dropping down; nothing when its form
    // has no skinned frame.
    void Popup(int x, int y) override;
    // Shows it against a screen rectangle (a button's), upwards or down.
    void PopupUnder(const framework::TRect& anchor, bool upwards);

  protected:
    void Notification(framework::TComponent* component, framework::TOperation operation) override;

  private:
    TbsSkinData* skinData_ = nullptr;
    framework::TForm* componentForm_ = nullptr;
};

}  // namespace skin
