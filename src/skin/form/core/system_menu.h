#pragma once

// The skinned frame's system menu and tray menu as menu items: which of the
// standard items a frame in a given state offers, their names, captions and
// short cuts, and what each one does. Portable: the frame shows the items
// through its menu engine and carries out the commands.

#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "framework/menus.h"
#include "skin/form/core/frame_core.h"

namespace skin {

// What the frame looks like when its menu opens.
struct TSystemMenuState {
    bool minimized = false;
    bool maximized = false;
    bool rolled_up = false;
    // Rolled up while maximized (rolling down then gives the maximized height).
    bool rolled_up_maximized = false;
    bool mdi_child = false;
    TbsBorderIcons border_icons = 0;
    bool always_minimize_to_tray = false;
};

// What a standard item asks the frame to do.
enum TFrameCommand {
    fcMinimize,
    fcMinimizeToTray,
    fcMaximize,
    fcRestore,
    fcRollDown,
    fcRollUp,
    fcClose,
    fcRestoreFromTray,
};

// One standard item of the system menu.
struct TSystemMenuEntry {
    const char* name;     // the item's component name, "BSF_MINITEM"...
    const char* key;      // the resource-string key of its caption
    const char* caption;  // the built-in caption (GBK)
    // Whether a frame in that state offers the item.
    bool (*shown)(const TSystemMenuState& state);
    // What clicking it does in that state.
    TFrameCommand (*command)(const TSystemMenuState& state);
};

// The standard items in menu order: minimize, maximize, restore, roll up,
// minimize to tray, close. Close is always shown.
std::span<const TSystemMenuEntry> SystemMenuEntries();
// The index of close in SystemMenuEntries(); it is the last.
inline constexpr int kSystemMenuClose = 5;

// The caption of a resource-string key; "" means none, and the built-in
// caption is used. Null: always the built-in caption.
using TMenuCaptionOf = std::function<std::string(std::string_view key)>;
// Carries out a frame command chosen from a menu.
using TFrameCommandRun = std::function<void(TFrameCommand command)>;

// Empties `root` (freeing its items) and fills it with the frame's own
// system menu: the shown standard items in table order, then a separator
// "-" when any item precedes it, then close with the short cut Alt+F4
// (Ctrl+F4 for an MDI child). The items are owned by `owner`, named as in the
// table, and each one's OnClick calls `run` with the command the table gives
// for `state`. Before an item is named, an item of the same name that
// `owner` still owns from an earlier menu is freed.
void BuildSystemMenu(framework::TMenuItem& root, const TSystemMenuState& state,
                     framework::TComponent* owner, const TMenuCaptionOf& caption_of,
                     const TFrameCommandRun& run);

// Adds the standard items to a user's system menu: every item of `root`
// named like a standard item is freed, until none is left; then minimize,
// restore, maximize, roll up and minimize to tray (those shown for `state`)
// go to the top in that order, close to the end, with no separator. The
// user's items stay in between. Items as in BuildSystemMenu.
void MergeSystemMenu(framework::TMenuItem& root, const TSystemMenuState& state,
                     framework::TComponent* owner, const TMenuCaptionOf& caption_of,
                     const TFrameCommandRun& run);

// Empties `root` and fills it with the tray icon's menu: "TRAY_BSF_RESTORE"
// (restore from the tray), a separator, "TRAY_BSF_CLOSE" (close; Alt+F4, or
// Ctrl+F4 for an MDI child). Captions and ownership as in BuildSystemMenu.
void BuildTrayMenu(framework::TMenuItem& root, framework::TComponent* owner,
                   const TMenuCaptionOf& caption_of, const TFrameCommandRun& run, bool mdi_child);

}  // namespace skin
