// The frame's system menu and tray menu as menu items: which standard items
// each frame state offers, in which order, with which captions and short
// cuts, what clicking them asks for, and the merge into a user's menu.

#include "skin/form/core/system_menu.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace skin {
namespace {

using framework::TComponent;
using framework::TMenuItem;

// The built-in captions (GBK).
constexpr const char* kMinCaption = "\xD7\xEE\xD0\xA1\xBB\xAF(&N)";  // 最小化(&N)
constexpr const char* kMaxCaption = "\xD7\xEE\xB4\xF3\xBB\xAF(&X)";  // 最大化(&X)
constexpr const char* kRestoreCaption = "\xBB\xD6\xB8\xB4(&R)";      // 恢复(&R)
constexpr const char* kRollUpCaption = "\xBE\xED\xC6\xF0(&L)";       // 卷起(&L)
// 最小化到系统托盘区(&T)
constexpr const char* kTrayCaption =
    "\xD7\xEE\xD0\xA1\xBB\xAF\xB5\xBD\xCF\xB5\xCD\xB3\xCD\xD0\xC5\xCC\xC7\xF8(&T)";
constexpr const char* kCloseCaption = "\xB9\xD8\xB1\xD5(&C)";  // 关闭(&C)

constexpr TbsBorderIcons kAllIcons =
    bsbiSystemMenu | bsbiMinimize | bsbiMaximize | bsbiRollUp | bsbiMinimizeToTray;

// Short names of the commands, by TFrameCommand.
constexpr const char* kCommandNames[] = {"min",      "tray",   "max",   "restore",
                                         "rolldown", "rollup", "close", "fromtray"};

// Builds menus with a recording `run` and describes them.
class MenuFixture : public ::testing::Test {
  protected:
    TFrameCommandRun Run() {
        return [this](TFrameCommand c) { commands_.push_back(c); };
    }

    // Each item as NAME/command[/short cut]; a separator as "-". Clicking
    // every item tells its command.
    std::string Describe(TMenuItem& root) {
        std::string s;
        for (int i = 0; i < root.Count(); ++i) {
            TMenuItem* item = root.Items(i);
            s += i ? " " : "";
            if (item->IsLine()) {
                EXPECT_TRUE(item->Name().empty());
                s += "-";
                continue;
            }
            s += item->Name();
            commands_.clear();
            item->Click();
            if (commands_.size() == 1) {
                s += std::string("/") + kCommandNames[commands_[0]];
            } else if (!commands_.empty()) {
                s += "/several";
            }
            const std::string sc = framework::ShortCutToText(item->ShortCut());
            if (!sc.empty()) {
                s += "/" + sc;
            }
        }
        return s;
    }

    TComponent owner_{nullptr};
    std::vector<TFrameCommand> commands_;
};

TEST(SystemMenuEntriesTest, NamesKeysAndBuiltInCaptions) {
    struct Row {
        const char* name;
        const char* key;
        const char* caption;
    };
    const Row rows[] = {{"BSF_MINITEM", "MI_MINCAPTION", kMinCaption},
                        {"BSF_MAXITEM", "MI_MAXCAPTION", kMaxCaption},
                        {"BSF_RESTORE", "MI_RESTORECAPTION", kRestoreCaption},
                        {"BSF_ROLLUP", "MI_ROLLUPCAPTION", kRollUpCaption},
                        {"BSF_MINTOTRAY", "MI_MINTOTRAYCAPTION", kTrayCaption},
                        {"BSF_CLOSE", "MI_CLOSECAPTION", kCloseCaption}};
    const auto entries = SystemMenuEntries();
    ASSERT_EQ(entries.size(), std::size(rows));
    for (size_t i = 0; i < entries.size(); ++i) {
        EXPECT_STREQ(entries[i].name, rows[i].name);
        EXPECT_STREQ(entries[i].key, rows[i].key);
        EXPECT_STREQ(entries[i].caption, rows[i].caption) << rows[i].name;
    }
    EXPECT_STREQ(entries[kSystemMenuClose].name, "BSF_CLOSE");
}

class SystemMenuTest : public MenuFixture {};

TEST_F(SystemMenuTest, ItemsForEachFrameState) {
    struct Case {
        const char* what;
        TSystemMenuState state;
        const char* items;
    };
    const Case cases[] = {
        {"no icons, normal (the update window)", {}, "BSF_CLOSE/close/Alt+F4"},
        {"all icons, normal",
         {.border_icons = kAllIcons},
         "BSF_MINITEM/min BSF_MAXITEM/max BSF_ROLLUP/rollup BSF_MINTOTRAY/tray - "
         "BSF_CLOSE/close/Alt+F4"},
        {"all icons, maximized",
         {.maximized = true, .border_icons = kAllIcons},
         "BSF_MINITEM/min BSF_RESTORE/restore BSF_ROLLUP/rollup BSF_MINTOTRAY/tray - "
         "BSF_CLOSE/close/Alt+F4"},
        {"all icons, rolled up",
         {.rolled_up = true, .border_icons = kAllIcons},
         "BSF_MINITEM/min BSF_MAXITEM/max BSF_RESTORE/rolldown BSF_MINTOTRAY/tray - "
         "BSF_CLOSE/close/Alt+F4"},
        {"all icons, minimized",
         {.minimized = true, .border_icons = kAllIcons},
         "BSF_MAXITEM/max BSF_RESTORE/restore BSF_MINTOTRAY/tray - BSF_CLOSE/close/Alt+F4"},
        {"minimized while rolled up: restore, not roll down",
         {.minimized = true, .rolled_up = true, .border_icons = kAllIcons},
         "BSF_MAXITEM/max BSF_RESTORE/restore BSF_MINTOTRAY/tray - BSF_CLOSE/close/Alt+F4"},
        {"rolled up while maximized",
         {.maximized = true,
          .rolled_up = true,
          .rolled_up_maximized = true,
          .border_icons = kAllIcons},
         "BSF_MINITEM/min BSF_RESTORE/rolldown BSF_MINTOTRAY/tray - BSF_CLOSE/close/Alt+F4"},
        {"maximized after rolling up",
         {.maximized = true, .rolled_up = true, .border_icons = kAllIcons},
         "BSF_MINITEM/min BSF_RESTORE/restore BSF_MINTOTRAY/tray - BSF_CLOSE/close/Alt+F4"},
        {"always to the tray",
         {.border_icons = bsbiMinimize, .always_minimize_to_tray = true},
         "BSF_MINITEM/tray - BSF_CLOSE/close/Alt+F4"},
        {"MDI child, normal",
         {.mdi_child = true, .border_icons = bsbiRollUp},
         "BSF_ROLLUP/rollup - BSF_CLOSE/close/Ctrl+F4"},
        {"MDI child, maximized: no roll-up",
         {.maximized = true, .mdi_child = true, .border_icons = bsbiRollUp},
         "BSF_RESTORE/restore - BSF_CLOSE/close/Ctrl+F4"},
        {"tray icon only",
         {.border_icons = bsbiMinimizeToTray},
         "BSF_MINTOTRAY/tray - BSF_CLOSE/close/Alt+F4"},
        {"system menu icon alone adds nothing",
         {.border_icons = bsbiSystemMenu},
         "BSF_CLOSE/close/Alt+F4"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TMenuItem root(nullptr);
        BuildSystemMenu(root, c.state, &owner_, nullptr, Run());
        EXPECT_EQ(Describe(root), c.items);
        // Every item, the separator too, is the owner's.
        for (int i = 0; i < root.Count(); ++i) {
            EXPECT_EQ(root.Items(i)->Owner(), &owner_);
        }
        EXPECT_EQ(owner_.ComponentCount(), root.Count());
    }
}

TEST_F(SystemMenuTest, BuiltInCaptionsUnlessTheSkinHasTexts) {
    const TSystemMenuState all{.rolled_up = true, .border_icons = kAllIcons};
    TMenuItem root(nullptr);
    BuildSystemMenu(root, all, &owner_, nullptr, Run());
    const std::map<std::string, std::string> built_in = {{"BSF_MINITEM", kMinCaption},
                                                         {"BSF_MAXITEM", kMaxCaption},
                                                         {"BSF_RESTORE", kRestoreCaption},
                                                         {"BSF_MINTOTRAY", kTrayCaption},
                                                         {"BSF_CLOSE", kCloseCaption}};
    ASSERT_EQ(root.Count(), 6);
    for (const auto& [name, caption] : built_in) {
        ASSERT_NE(root.Find(name), nullptr) << name;
        EXPECT_EQ(root.Find(name)->Caption(), caption) << name;
    }

    // A skin's texts replace those it has; an empty text keeps the built-in.
    std::vector<std::string> asked;
    const TMenuCaptionOf caption_of = [&](std::string_view key) -> std::string {
        asked.emplace_back(key);
        if (key == "MI_CLOSECAPTION") {
            return "&Close";
        }
        if (key == "MI_RESTORECAPTION") {
            return "&Restore";
        }
        return "";
    };
    BuildSystemMenu(root, all, &owner_, caption_of, Run());
    EXPECT_EQ(root.Find("BSF_CLOSE")->Caption(), "&Close");
    EXPECT_EQ(root.Find("BSF_RESTORE")->Caption(), "&Restore");
    EXPECT_EQ(root.Find("BSF_MAXITEM")->Caption(), kMaxCaption);
    EXPECT_EQ(root.Items(4)->Caption(), "-");
    EXPECT_EQ(asked,
              (std::vector<std::string>{"MI_MINCAPTION", "MI_MAXCAPTION", "MI_RESTORECAPTION",
                                        "MI_MINTOTRAYCAPTION", "MI_CLOSECAPTION"}));
}

TEST_F(SystemMenuTest, RebuildingReplacesTheItemsAndTakesTheirNames) {
    TMenuItem first(nullptr);
    TMenuItem second(nullptr);
    const TSystemMenuState all{.border_icons = kAllIcons};
    BuildSystemMenu(first, all, &owner_, nullptr, Run());
    const auto old_close = first.Find("BSF_CLOSE")->Liveness();
    BuildSystemMenu(first, all, &owner_, nullptr, Run());
    EXPECT_TRUE(old_close.expired());
    EXPECT_EQ(owner_.ComponentCount(), 6);

    // The same owner's items in another menu give their names up.
    BuildSystemMenu(second, {}, &owner_, nullptr, Run());
    EXPECT_EQ(Describe(second), "BSF_CLOSE/close/Alt+F4");
    EXPECT_EQ(Describe(first),
              "BSF_MINITEM/min BSF_MAXITEM/max BSF_ROLLUP/rollup "
              "BSF_MINTOTRAY/tray -");
    EXPECT_EQ(owner_.FindComponent("BSF_CLOSE"), second.Items(0));
}

TEST_F(SystemMenuTest, MergeReplacesStandardItemsAroundTheUsersOwn) {
    struct Case {
        const char* what;
        TSystemMenuState state;
        const char* items;
    };
    const Case cases[] = {
        {"no icons", {}, "Mine1 Mine2 - Mine3 BSF_CLOSE/close/Alt+F4"},
        {"all icons, rolled up: restore before maximize",
         {.rolled_up = true, .border_icons = kAllIcons},
         "BSF_MINITEM/min BSF_RESTORE/rolldown BSF_MAXITEM/max BSF_MINTOTRAY/tray Mine1 Mine2 - "
         "Mine3 BSF_CLOSE/close/Alt+F4"},
        {"all icons, normal",
         {.border_icons = kAllIcons},
         "BSF_MINITEM/min BSF_MAXITEM/max BSF_ROLLUP/rollup BSF_MINTOTRAY/tray Mine1 Mine2 - "
         "Mine3 BSF_CLOSE/close/Alt+F4"},
        {"MDI child, minimized",
         {.minimized = true, .mdi_child = true, .border_icons = kAllIcons},
         "BSF_RESTORE/restore BSF_MAXITEM/max BSF_MINTOTRAY/tray Mine1 Mine2 - Mine3 "
         "BSF_CLOSE/close/Ctrl+F4"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TComponent form(nullptr);
        TMenuItem root(nullptr);
        // The user's menu, with items named like standard ones (twice, in
        // another case, next to each other) that must all be freed.
        std::vector<std::weak_ptr<const bool>> dropped;
        const char* names[] = {"BSF_CLOSE", "bsf_close", "Mine1",      "BSF_MINITEM",
                               "Mine2",     "",          "BSF_ROLLUP", "Mine3"};
        for (const char* name : names) {
            // A second "BSF_CLOSE" cannot be the form's; it has no owner.
            auto* item = new TMenuItem(std::string_view(name) == "bsf_close" ? nullptr : &form);
            item->SetName(name);
            item->SetCaption(*name ? name : "-");
            if (std::string_view(name).starts_with("B") ||
                std::string_view(name).starts_with("b")) {
                dropped.push_back(item->Liveness());
            }
            root.Add(item);
        }
        // Shown twice: the second merge replaces the items of the first.
        MergeSystemMenu(root, c.state, &owner_, nullptr, Run());
        MergeSystemMenu(root, c.state, &owner_, nullptr, Run());
        EXPECT_EQ(Describe(root), c.items);
        for (const auto& d : dropped) {
            EXPECT_TRUE(d.expired());
        }
        EXPECT_EQ(form.ComponentCount(), 4);  // Mine1, Mine2, the line, Mine3
        // Only the merged items are the owner's.
        int owned = 0;
        for (int i = 0; i < root.Count(); ++i) {
            owned += root.Items(i)->Owner() == &owner_ ? 1 : 0;
        }
        EXPECT_EQ(owned, owner_.ComponentCount());
        EXPECT_EQ(owned, root.Count() - 4);
    }
}

TEST_F(SystemMenuTest, TrayMenu) {
    struct Case {
        bool mdi_child;
        const char* items;
    };
    const Case cases[] = {{false, "TRAY_BSF_RESTORE/fromtray - TRAY_BSF_CLOSE/close/Alt+F4"},
                          {true, "TRAY_BSF_RESTORE/fromtray - TRAY_BSF_CLOSE/close/Ctrl+F4"}};
    for (const Case& c : cases) {
        TMenuItem root(nullptr);
        root.Add(new TMenuItem(nullptr));  // emptied first
        BuildTrayMenu(root, &owner_, nullptr, Run(), c.mdi_child);
        EXPECT_EQ(Describe(root), c.items);
        EXPECT_EQ(root.Items(0)->Caption(), kRestoreCaption);
        EXPECT_EQ(root.Items(2)->Caption(), kCloseCaption);
        EXPECT_EQ(root.Items(2)->Owner(), &owner_);
    }
    TMenuItem root(nullptr);
    BuildTrayMenu(
        root, &owner_,
        [](std::string_view key) { return key == "MI_RESTORECAPTION" ? "Show" : "Quit"; }, Run(),
        false);
    EXPECT_EQ(root.Items(0)->Caption(), "Show");
    EXPECT_EQ(root.Items(2)->Caption(), "Quit");
}

TEST_F(SystemMenuTest, AnItemWithoutARunnerDoesNothing) {
    TMenuItem root(nullptr);
    BuildSystemMenu(root, {}, &owner_, nullptr, nullptr);
    ASSERT_EQ(root.Count(), 1);
    root.Items(0)->Click();
    EXPECT_TRUE(commands_.empty());
}

}  // namespace
}  // namespace skin
