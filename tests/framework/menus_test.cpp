// The menu model: short-cut texts, accelerators, the item tree with its two
// kinds of ownership (owner and parent), clicks and popup menus. Run under
// the sanitizers natively, so a double free or a use after free fails.

#include "framework/menus.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace framework {
namespace {

constexpr uint16_t kF4 = 0x73;

// --- short cuts ------------------------------------------------------------------

// The text of each kind of key, written and read back.
TEST(ShortCutTest, TextsOfEveryKindOfKey) {
    struct Case {
        TShortCut short_cut;
        const char* text;
    };
    const Case cases[] = {{ShortCut(kF4, scAlt), "Alt+F4"},
                          {ShortCut(kF4, scCtrl), "Ctrl+F4"},
                          {ShortCut('A', scShift | scCtrl | scAlt), "Shift+Ctrl+Alt+A"},
                          {ShortCut('Z', 0), "Z"},
                          {ShortCut('0', 0), "0"},
                          {ShortCut('9', scShift), "Shift+9"},
                          {ShortCut(0x70, 0), "F1"},
                          {ShortCut(0x87, scAlt), "Alt+F24"},
                          {ShortCut(8, 0), "BkSp"},
                          {ShortCut(9, 0), "Tab"},
                          {ShortCut(13, 0), "Enter"},
                          {ShortCut(27, 0), "Esc"},
                          {ShortCut(32, 0), "Space"},
                          {ShortCut(33, 0), "PgUp"},
                          {ShortCut(34, 0), "PgDn"},
                          {ShortCut(35, 0), "End"},
                          {ShortCut(36, 0), "Home"},
                          {ShortCut(37, 0), "Left"},
                          {ShortCut(38, 0), "Up"},
                          {ShortCut(39, 0), "Right"},
                          {ShortCut(40, 0), "Down"},
                          {ShortCut(45, 0), "Ins"},
                          {ShortCut(46, scCtrl | scAlt), "Ctrl+Alt+Del"},
                          {ShortCut(0x60, 0), "Num 0"},
                          {ShortCut(0x69, scCtrl), "Ctrl+Num 9"},
                          {ShortCut(0x6A, 0), "Num *"},
                          {ShortCut(0x6B, scCtrl), "Ctrl+Num +"},
                          {ShortCut(0x6D, 0), "Num -"},
                          {ShortCut(0x6E, 0), "Num ."},
                          {ShortCut(0x6F, 0), "Num /"}};
    for (const Case& c : cases) {
        EXPECT_EQ(ShortCutToText(c.short_cut), c.text);
        EXPECT_EQ(TextToShortCut(c.text), c.short_cut) << c.text;
    }
}

// Reading ignores case and the order of the modifiers; anything else it
// does not know gives scNone.
TEST(ShortCutTest, ReadingTexts) {
    struct Case {
        const char* text;
        TShortCut short_cut;
    };
    const Case cases[] = {{"alt+f4", ShortCut(kF4, scAlt)},
                          {"ALT+F4", ShortCut(kF4, scAlt)},
                          {"ctrl+shift+a", ShortCut('A', scShift | scCtrl)},
                          {"Alt+Ctrl+Shift+Del", ShortCut(46, scShift | scCtrl | scAlt)},
                          {"num +", ShortCut(0x6B, 0)},
                          {"Shift+Num +", ShortCut(0x6B, scShift)},
                          {"bksp", ShortCut(8, 0)}};
    for (const Case& c : cases) {
        EXPECT_EQ(TextToShortCut(c.text), c.short_cut) << c.text;
    }
    const char* unknown[] = {"",       "Ctrl+",   "Alt",       "+",        "F0",
                             "F25",    "Num 10",  "Num+",      "Alt+Foo",  "Ctrl+Ctrl+A",
                             "Ctrl-A", " Alt+F4", "Alt+F4 ",   "Alt++F4",  "AltF4",
                             "Meta+A", "Del+Alt", "Backspace", "\xB9\xD8", "Ctrl+Num *x"};
    for (const char* text : unknown) {
        EXPECT_EQ(TextToShortCut(text), scNone) << "\"" << text << "\"";
    }
}

TEST(ShortCutTest, EveryNamedKeyRoundTripsWithEveryModifierSet) {
    int named = 0;
    for (uint16_t key = 0; key <= 0xFF; ++key) {
        const bool has_name = !ShortCutToText(ShortCut(key, 0)).empty();
        named += has_name ? 1 : 0;
        for (unsigned bits = 0; bits < 8; ++bits) {  // Shift, Ctrl and Alt in every set
            const TShortCut sc = ShortCut(key, static_cast<TShortCut>(bits << 13));
            const std::string text = ShortCutToText(sc);
            EXPECT_EQ(text.empty(), !has_name) << key;
            if (has_name) {
                EXPECT_EQ(TextToShortCut(text), sc) << text;
            }
        }
    }
    // Letters, digits, F1-F24, the ten numeric-pad digits and twenty others;
    // key 0 (scNone, or modifiers alone) has no name.
    EXPECT_EQ(named, 26 + 10 + 24 + 10 + 20);
}

// --- accelerators ----------------------------------------------------------------

TEST(AcceleratorTest, CaptionsWithAndWithoutAMark) {
    struct Case {
        const char* caption;
        char accelerator;
        const char* stripped;
    };
    const Case cases[] = {{"&Close", 'C', "Close"},
                          {"Mi&nimize", 'N', "Minimize"},
                          {"\xB9\xD8\xB1\xD5(&C)", 'C', "\xB9\xD8\xB1\xD5(C)"},  // 关闭(&C)
                          {"\xB9\xD8\xB1\xD5(&c)", 'C', "\xB9\xD8\xB1\xD5(c)"},
                          {"Save &1", '1', "Save 1"},
                          {"a&&b", 0, "a&b"},
                          {"a&&&b", 'B', "a&b"},
                          {"&&&x", 'X', "&x"},
                          {"&&", 0, "&"},
                          {"x&y&z", 'Y', "xyz"},
                          {"end&", 0, "end"},
                          {"No mark", 0, "No mark"},
                          {"", 0, ""},
                          {"-", 0, "-"},
                          // A lead byte takes the next byte with it, "&" or not.
                          {"\x81&X", 0, "\x81&X"},
                          {"\xFE&&Y", 'Y', "\xFE&Y"},
                          // A double-byte character after "&" is no key; its trail byte is
                          // not a letter to fold.
                          {"&\x81\x61", 0, "\x81\x61"},
                          // A lone lead byte at the end is kept.
                          {"ab\x81", 0, "ab\x81"},
                          {"&a\x81", 'A', "a\x81"},
                          // 0x80 and 0xFF lead nothing.
                          {"\x80&Q", 'Q', "\x80Q"},
                          {"\xFF&Q", 'Q', "\xFFQ"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.caption);
        EXPECT_EQ(AcceleratorOf(c.caption), c.accelerator);
        EXPECT_EQ(StripAccelerator(c.caption), c.stripped);
    }
}

TEST(AcceleratorTest, KeysMatchInEitherCase) {
    struct Case {
        unsigned key;
        const char* caption;
        bool match;
    };
    const Case cases[] = {{'c', "\xB9\xD8\xB1\xD5(&C)", true},
                          {'C', "\xB9\xD8\xB1\xD5(&C)", true},
                          {'x', "\xB9\xD8\xB1\xD5(&C)", false},
                          {'n', "Mi&nimize", true},
                          {'1', "Save &1", true},
                          {'&', "a&&b", false},
                          {'b', "a&&b", false},
                          {0, "No mark", false},
                          {'C' + 0x100, "&Close", false},
                          {0xC3, "&\xC3", false},
                          {'X', "\x81&X", false}};
    for (const Case& c : cases) {
        EXPECT_EQ(IsAccelerator(c.key, c.caption), c.match) << c.key << " " << c.caption;
    }
}

// --- the item tree ---------------------------------------------------------------

// Names of the items of `menu`, space separated.
std::string Names(const TMenuItem& menu) {
    std::string s;
    for (int i = 0; i < menu.Count(); ++i) {
        s += (i ? " " : "") + menu.Items(i)->Name();
    }
    return s;
}

TMenuItem* Item(TComponent* owner, const std::string& name) {
    auto* item = new TMenuItem(owner);
    item->SetName(name);
    return item;
}

std::string ErrorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const EComponentError& e) {
        return e.Message();
    }
    return "no error";
}

TEST(MenuItemTest, AddInsertRemoveAndFind) {
    TMenuItem root(nullptr);
    TMenuItem* a = Item(nullptr, "a");
    TMenuItem* b = Item(nullptr, "b");
    TMenuItem* c = Item(nullptr, "c");
    TMenuItem* d = Item(nullptr, "d");
    root.Add(a);
    root.Add(c);
    root.Insert(1, b);
    root.Insert(0, d);
    root.Insert(4, Item(nullptr, "e"));
    EXPECT_EQ(Names(root), "d a b c e");
    EXPECT_EQ(b->Parent(), &root);
    EXPECT_EQ(root.Parent(), nullptr);
    EXPECT_EQ(root.IndexOf(c), 3);
    EXPECT_EQ(root.IndexOf(&root), -1);
    EXPECT_EQ(root.Items(0), d);
    EXPECT_EQ(root.Find("B"), b);
    EXPECT_EQ(root.Find("x"), nullptr);
    EXPECT_EQ(root.Find(""), nullptr);

    root.Remove(a);
    EXPECT_EQ(Names(root), "d b c e");
    EXPECT_EQ(a->Parent(), nullptr);
    root.Remove(a);  // not there: nothing
    EXPECT_EQ(root.Count(), 4);
    delete a;

    EXPECT_EQ(ErrorOf([&] { root.Items(4); }), "List index out of bounds (4)");
    EXPECT_EQ(ErrorOf([&] { root.Items(-1); }), "List index out of bounds (-1)");
    auto* f = Item(nullptr, "f");
    EXPECT_EQ(ErrorOf([&] { root.Insert(5, f); }), "List index out of bounds (5)");
    EXPECT_EQ(ErrorOf([&] { root.Insert(-1, f); }), "List index out of bounds (-1)");
    EXPECT_EQ(f->Parent(), nullptr);
    delete f;
    EXPECT_NE(ErrorOf([&] { root.Add(nullptr); }), "no error");
    EXPECT_EQ(root.Count(), 4);
}

TEST(MenuItemTest, MovingAnItemPutsItBeforeTheItemAtTheIndex) {
    struct Case {
        const char* moved;
        int index;
        const char* after;
    };
    const Case cases[] = {{"a", 0, "a b c d"}, {"a", 1, "a b c d"}, {"a", 2, "b a c d"},
                          {"a", 4, "b c d a"}, {"d", 0, "d a b c"}, {"c", 1, "a c b d"},
                          {"b", 3, "a c b d"}, {"d", 4, "a b c d"}};
    for (const Case& c : cases) {
        TMenuItem root(nullptr);
        for (const char* n : {"a", "b", "c", "d"}) {
            root.Add(Item(nullptr, n));
        }
        root.Insert(c.index, root.Find(c.moved));
        EXPECT_EQ(Names(root), c.after) << c.moved << " to " << c.index;
    }
}

TEST(MenuItemTest, AnItemChangesParentsAndNeverContainsItself) {
    TMenuItem one(nullptr);
    TMenuItem two(nullptr);
    TMenuItem* x = Item(nullptr, "x");
    TMenuItem* sub = Item(nullptr, "sub");
    TMenuItem* leaf = Item(nullptr, "leaf");
    one.Add(x);
    one.Add(sub);
    sub->Add(leaf);
    two.Add(x);
    EXPECT_EQ(Names(one), "sub");
    EXPECT_EQ(Names(two), "x");
    EXPECT_EQ(x->Parent(), &two);

    // Checked first and fatal: a loop in the tree would make the rest hang.
    ASSERT_EQ(ErrorOf([&] { sub->Add(sub); }), "Menu inserted twice");
    EXPECT_EQ(ErrorOf([&] { leaf->Add(sub); }), "Menu inserted twice");
    EXPECT_EQ(ErrorOf([&] { leaf->Insert(0, &one); }), "Menu inserted twice");
    EXPECT_EQ(Names(one), "sub");
    EXPECT_EQ(Names(*sub), "leaf");
    EXPECT_EQ(sub->Parent(), &one);
}

TEST(MenuItemTest, FreeingAnItemFreesItsSubmenuAndLeavesItsParent) {
    TMenuItem root(nullptr);
    TMenuItem* sub = Item(nullptr, "sub");
    TMenuItem* leaf = Item(nullptr, "leaf");
    TMenuItem* deep = Item(nullptr, "deep");
    TMenuItem* other = Item(nullptr, "other");
    root.Add(sub);
    root.Add(other);
    sub->Add(leaf);
    leaf->Add(deep);
    const auto sub_alive = sub->Liveness();
    const auto leaf_alive = leaf->Liveness();
    const auto deep_alive = deep->Liveness();
    const auto other_alive = other->Liveness();

    delete sub;
    EXPECT_TRUE(sub_alive.expired());
    EXPECT_TRUE(leaf_alive.expired());
    EXPECT_TRUE(deep_alive.expired());
    EXPECT_FALSE(other_alive.expired());
    EXPECT_EQ(Names(root), "other");

    root.Clear();
    EXPECT_TRUE(other_alive.expired());
    EXPECT_EQ(root.Count(), 0);
}

// An item with an owner and a parent menu is freed once, by whichever goes
// first (or directly), and the other one forgets it; owner and menu distinct,
// the owner holding the menu too (made before or after the item), or the
// menu owning its item.
TEST(MenuItemTest, OwnerAndParentEachFreeTheItemOnce) {
    enum Layout { kSeparate, kOwnerHoldsMenuFirst, kOwnerHoldsMenuLast, kParentIsOwner };
    enum First { kOwnerGoes, kParentGoes, kItemGoes };
    struct Case {
        const char* name;
        Layout layout;
        First first;
    };
    const Case cases[] = {{"separate, owner first", kSeparate, kOwnerGoes},
                          {"separate, parent first", kSeparate, kParentGoes},
                          {"separate, item first", kSeparate, kItemGoes},
                          {"owner made the menu before the item", kOwnerHoldsMenuFirst, kOwnerGoes},
                          {"owner made the menu after the item", kOwnerHoldsMenuLast, kOwnerGoes},
                          {"menu owns its item, item first", kParentIsOwner, kItemGoes},
                          {"menu owns its item, menu first", kParentIsOwner, kParentGoes}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto* owner = new TComponent(nullptr);
        TMenuItem* menu = nullptr;
        TMenuItem* item = nullptr;
        switch (c.layout) {
            case kSeparate:
                menu = new TMenuItem(nullptr);
                item = new TMenuItem(owner);
                break;
            case kOwnerHoldsMenuFirst:
                menu = new TMenuItem(owner);
                item = new TMenuItem(owner);
                break;
            case kOwnerHoldsMenuLast:
                item = new TMenuItem(owner);
                menu = new TMenuItem(owner);
                break;
            case kParentIsOwner:
                menu = new TMenuItem(owner);
                item = new TMenuItem(menu);
                break;
        }
        item->SetName("x");
        menu->Add(item);
        const auto owner_alive = owner->Liveness();
        const auto menu_alive = menu->Liveness();
        const auto item_alive = item->Liveness();
        TComponent* item_owner = item->Owner();
        const auto item_owner_alive = item_owner->Liveness();

        switch (c.first) {
            case kOwnerGoes:
                delete owner;
                break;
            case kParentGoes:
                delete menu;
                break;
            case kItemGoes:
                delete item;
                break;
        }
        EXPECT_TRUE(item_alive.expired());
        // Neither list still holds the item.
        if (!menu_alive.expired()) {
            EXPECT_EQ(menu->Count(), 0);
        }
        if (!item_owner_alive.expired()) {
            EXPECT_EQ(item_owner->FindComponent("x"), nullptr);
        }
        // Whatever is left goes too; the sanitizers report a second free.
        if (!menu_alive.expired() && menu->Owner() == nullptr) {
            delete menu;
        }
        if (!owner_alive.expired()) {
            delete owner;
        }
        EXPECT_TRUE(menu_alive.expired());
    }
}

TEST(MenuItemTest, ClickRunsOnlyEnabledItemsAndSurvivesItsOwnDeletion) {
    TMenuItem root(nullptr);
    TMenuItem* item = Item(nullptr, "item");
    root.Add(item);
    std::vector<TComponent*> senders;
    item->OnClick = [&](TComponent* sender) { senders.push_back(sender); };
    item->Click();
    item->SetEnabled(false);
    item->Click();
    ASSERT_EQ(senders.size(), 1u);
    EXPECT_EQ(senders[0], item);

    TMenuItem no_handler(nullptr);
    no_handler.Click();  // nothing to run, no failure

    // A handler that frees its own item, with state in its capture that it
    // reads after the item is gone.
    item->SetEnabled(true);
    auto counter = std::make_shared<int>(0);
    item->OnClick = [counter, &root](TComponent* sender) {
        delete sender;
        ++*counter;
        EXPECT_EQ(root.Count(), 0);
    };
    item->Click();
    EXPECT_EQ(*counter, 1);
}

// --- popup menus -----------------------------------------------------------------

class ShowingMenu : public TPopupMenu {
  public:
    using TPopupMenu::TPopupMenu;
    void Popup(int x, int y) override {
        TPopupMenu::Popup(x, y);
        shown.push_back(std::to_string(x) + "," + std::to_string(y) + ":" +
                        std::to_string(Items().Count()));
    }
    std::vector<std::string> shown;
};

TEST(PopupMenuTest, PopupRunsOnPopupBeforeTheMenuShows) {
    TComponent form(nullptr);
    auto* menu = new ShowingMenu(&form);
    std::vector<TComponent*> senders;
    // OnPopup fills the menu; the derived Popup sees the item it added.
    menu->OnPopup = [&](TComponent* sender) {
        senders.push_back(sender);
        menu->Items().Add(Item(&form, "added" + std::to_string(senders.size())));
    };
    TPopupMenu* as_base = menu;
    as_base->Popup(10, 20);
    as_base->Popup(-5, 7);
    EXPECT_EQ(senders, (std::vector<TComponent*>{menu, menu}));
    EXPECT_EQ(menu->shown, (std::vector<std::string>{"10,20:1", "-5,7:2"}));
    EXPECT_EQ(menu->Items().Owner(), nullptr);
    EXPECT_EQ(menu->Items().Parent(), nullptr);

    TPopupMenu plain(nullptr);
    plain.Popup(0, 0);  // no handler: nothing happens
    EXPECT_EQ(plain.Items().Count(), 0);
}

TEST(PopupMenuTest, FreeingTheMenuFreesItsItemsAndTellsTheirOwner) {
    TComponent form(nullptr);
    auto* menu = new TPopupMenu(&form);
    TMenuItem* a = Item(&form, "a");
    TMenuItem* b = Item(&form, "b");
    menu->Items().Add(a);
    menu->Items().Add(b);
    b->Add(Item(&form, "b1"));
    const auto a_alive = a->Liveness();
    ASSERT_EQ(form.ComponentCount(), 4);
    delete menu;
    EXPECT_TRUE(a_alive.expired());
    EXPECT_EQ(form.ComponentCount(), 0);
    EXPECT_EQ(form.FindComponent("b1"), nullptr);
}

}  // namespace
}  // namespace framework
