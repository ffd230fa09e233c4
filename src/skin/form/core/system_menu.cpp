#include "skin/form/core/system_menu.h"

#include <array>

#include "framework/names.h"

namespace skin {

namespace {

using framework::TComponent;
using framework::TMenuItem;

bool Normal(const TSystemMenuState& s) {
    return !s.minimized && !s.maximized;
}

constexpr TSystemMenuEntry kEntries[] = {
    {"BSF_MINITEM", "MI_MINCAPTION",
     "\xD7\xEE\xD0\xA1\xBB\xAF(&N)",  // 最小化(&N)
     [](const TSystemMenuState& s) { return !s.minimized && (s.border_icons & bsbiMinimize) != 0; },
     [](const TSystemMenuState& s) {
         return s.always_minimize_to_tray ? fcMinimizeToTray : fcMinimize;
     }},
    {"BSF_MAXITEM", "MI_MAXCAPTION",
     "\xD7\xEE\xB4\xF3\xBB\xAF(&X)",  // 最大化(&X)
     [](const TSystemMenuState& s) { return !s.maximized && (s.border_icons & bsbiMaximize) != 0; },
     [](const TSystemMenuState&) { return fcMaximize; }},
    {"BSF_RESTORE", "MI_RESTORECAPTION",
     "\xBB\xD6\xB8\xB4(&R)",  // 恢复(&R)
     [](const TSystemMenuState& s) { return !Normal(s) || s.rolled_up; },
     // A window rolled up in the normal state, or rolled up while
     // maximized, is rolled down; any other comes back to its bounds.
     [](const TSystemMenuState& s) {
         const bool roll_down =
             s.rolled_up && (Normal(s) || (s.maximized && s.rolled_up_maximized));
         return roll_down ? fcRollDown : fcRestore;
     }},
    {"BSF_ROLLUP", "MI_ROLLUPCAPTION",
     "\xBE\xED\xC6\xF0(&L)",  // 卷起(&L)
     [](const TSystemMenuState& s) {
         return !(s.mdi_child && s.maximized) && !s.rolled_up && !s.minimized &&
                (s.border_icons & bsbiRollUp) != 0;
     },
     [](const TSystemMenuState&) { return fcRollUp; }},
    {"BSF_MINTOTRAY", "MI_MINTOTRAYCAPTION",
     // 最小化到系统托盘区(&T)
     "\xD7\xEE\xD0\xA1\xBB\xAF\xB5\xBD\xCF\xB5\xCD\xB3\xCD\xD0\xC5\xCC\xC7\xF8(&T)",
     [](const TSystemMenuState& s) { return (s.border_icons & bsbiMinimizeToTray) != 0; },
     [](const TSystemMenuState&) { return fcMinimizeToTray; }},
    {"BSF_CLOSE", "MI_CLOSECAPTION",
     "\xB9\xD8\xB1\xD5(&C)",  // 关闭(&C)
     [](const TSystemMenuState&) { return true; }, [](const TSystemMenuState&) { return fcClose; }},
};
static_assert(std::size(kEntries) == kSystemMenuClose + 1);

// Indices into kEntries.
constexpr int kMinimize = 0;
constexpr int kMaximize = 1;
constexpr int kRestore = 2;
constexpr int kRollUp = 3;
constexpr int kMinimizeToTray = 4;

// The order in which a merge puts the standard items at the top of a user's
// menu.
constexpr std::array<int, 5> kMergeOrder = {kMinimize, kRestore, kMaximize, kRollUp,
                                            kMinimizeToTray};

constexpr uint16_t kVkF4 = 0x73;

framework::TShortCut CloseShortCut(bool mdi_child) {
    return framework::ShortCut(kVkF4, mdi_child ? framework::scCtrl : framework::scAlt);
}

// A new item owned by `owner` and called `name`. The frame's items of an
// earlier menu that `owner` still holds (in a menu that was dropped rather
// than freed) give their name up first.
TMenuItem* NewItem(TComponent* owner, const std::string& name, const std::string& caption) {
    if (owner != nullptr && !name.empty()) {
        if (auto* old = dynamic_cast<TMenuItem*>(owner->FindComponent(name))) {
            delete old;
        }
    }
    auto* item = new TMenuItem(owner);
    try {
        item->SetName(name);
    } catch (...) {
        delete item;
        throw;
    }
    item->SetCaption(caption);
    return item;
}

std::string CaptionOf(const TMenuCaptionOf& caption_of, const char* key, const char* built_in) {
    if (caption_of) {
        std::string text = caption_of(key);
        if (!text.empty()) {
            return text;
        }
    }
    return built_in;
}

TMenuItem* NewCommandItem(TComponent* owner, const char* name, const char* key,
                          const char* built_in, const TMenuCaptionOf& caption_of,
                          const TFrameCommandRun& run, TFrameCommand command) {
    TMenuItem* item = NewItem(owner, name, CaptionOf(caption_of, key, built_in));
    item->OnClick = [run, command](TComponent*) {
        if (run) {
            run(command);
        }
    };
    return item;
}

TMenuItem* NewEntryItem(const TSystemMenuEntry& e, const TSystemMenuState& state, TComponent* owner,
                        const TMenuCaptionOf& caption_of, const TFrameCommandRun& run) {
    TMenuItem* item =
        NewCommandItem(owner, e.name, e.key, e.caption, caption_of, run, e.command(state));
    if (&e == &kEntries[kSystemMenuClose]) {
        item->SetShortCut(CloseShortCut(state.mdi_child));
    }
    return item;
}

TMenuItem* NewSeparator(TComponent* owner) {
    return NewItem(owner, {}, "-");
}

// The first item of `root` named like a standard item, or null.
TMenuItem* FindStandardItem(const TMenuItem& root) {
    for (int i = 0; i < root.Count(); ++i) {
        TMenuItem* item = root.Items(i);
        for (const TSystemMenuEntry& e : kEntries) {
            if (framework::SameName(item->Name(), e.name)) {
                return item;
            }
        }
    }
    return nullptr;
}

}  // namespace

std::span<const TSystemMenuEntry> SystemMenuEntries() {
    return kEntries;
}

void BuildSystemMenu(TMenuItem& root, const TSystemMenuState& state, TComponent* owner,
                     const TMenuCaptionOf& caption_of, const TFrameCommandRun& run) {
    root.Clear();
    for (int i = 0; i < kSystemMenuClose; ++i) {
        if (kEntries[i].shown(state)) {
            root.Add(NewEntryItem(kEntries[i], state, owner, caption_of, run));
        }
    }
    if (root.Count() > 0) {
        root.Add(NewSeparator(owner));
    }
    root.Add(NewEntryItem(kEntries[kSystemMenuClose], state, owner, caption_of, run));
}

void MergeSystemMenu(TMenuItem& root, const TSystemMenuState& state, TComponent* owner,
                     const TMenuCaptionOf& caption_of, const TFrameCommandRun& run) {
    while (TMenuItem* item = FindStandardItem(root)) {
        delete item;
    }
    int top = 0;
    for (int i : kMergeOrder) {
        if (kEntries[i].shown(state)) {
            root.Insert(top++, NewEntryItem(kEntries[i], state, owner, caption_of, run));
        }
    }
    root.Add(NewEntryItem(kEntries[kSystemMenuClose], state, owner, caption_of, run));
}

void BuildTrayMenu(TMenuItem& root, TComponent* owner, const TMenuCaptionOf& caption_of,
                   const TFrameCommandRun& run, bool mdi_child) {
    root.Clear();
    const TSystemMenuEntry& restore = kEntries[kRestore];
    const TSystemMenuEntry& close = kEntries[kSystemMenuClose];
    root.Add(NewCommandItem(owner, "TRAY_BSF_RESTORE", restore.key, restore.caption, caption_of,
                            run, fcRestoreFromTray));
    root.Add(NewSeparator(owner));
    TMenuItem* item =
        NewCommandItem(owner, "TRAY_BSF_CLOSE", close.key, close.caption, caption_of, run, fcClose);
    item->SetShortCut(CloseShortCut(mdi_child));
    root.Add(item);
}

}  // namespace skin
