// Skinned popup menus on a skinned form, on the virtual display, with real
// mouse and keys: the level window (never activated, the skin's looks), the
// keyboard while a menu is open, submenus opened by a pause, levels that
// scroll, the system menu from a right click on the caption, and commands
// that free the form (with poisoned deletion).

#include <gtest/gtest.h>

#include "support/input.h"
#include "support/message_pump.h"
#include "support/skins.h"

#include <memory>
#include <string>
#include <vector>

#include "framework/forms.h"
#include "skin/data/frame_objects.h"
#include "skin/form/skin_broadcast.h"
#include "skin/form/skin_form.h"
#include "skin/form/skin_menu.h"

namespace skin {
namespace {

using namespace framework;
using test_support::KeyPress;
using test_support::Pump;
using test_support::PumpUntil;

TColor ScreenPixel(int x, int y) {
    HDC screen = GetDC(nullptr);
    const COLORREF c = GetPixel(screen, x, y);
    ReleaseDC(nullptr, screen);
    return static_cast<TColor>(c);
}

// A focusable control of the form that counts the keys it gets.
class TKeyCounter : public TWinControl {
  public:
    using TWinControl::TWinControl;
    int keys = 0;

  protected:
    void WndProc(TMessage& m) override {
        if (m.Msg == WM_KEYDOWN) {
            ++keys;
        }
        TWinControl::WndProc(m);
    }
    void CreateParams(TCreateParams& params) override {
        TWinControl::CreateParams(params);
        params.style |= WS_TABSTOP;
    }
};

class MenuTest : public ::testing::Test {
  protected:
    void SetUp() override {
        SetCursorPos(1, 1);
        InstallSkinBroadcast();
        form_ = std::make_unique<TForm>(nullptr);
        form_->SetCaption("菜单");
        form_->SetBorderStyle(bsSizeable);
        form_->SetBounds(200, 150, 400, 300);
        data_ = test_support::SkinDataOf(form_.get(), "yellow");
        frame_ = new TbsSkinForm(form_.get());
        frame_->SetSkinData(data_);
        keys_ = new TKeyCounter(form_.get());
        keys_->SetParent(form_.get());
        keys_->SetBounds(10, 10, 50, 20);
        menu_ = new TbsSkinPopupMenu(form_.get());
        form_->Show();
        SetForegroundWindow(form_->Handle());
        keys_->SetFocus();
        Pump(50);
    }
    void TearDown() override {
        form_.reset();
        Pump(20);
    }

    TMenuItem* Add(TMenuItem& parent, const std::string& caption, int* clicks = nullptr) {
        auto* item = new TMenuItem(form_.get());
        item->SetCaption(caption);
        if (clicks != nullptr) {
            item->OnClick = [clicks](TComponent*) { ++*clicks; };
        }
        parent.Add(item);
        return item;
    }
    TbsSkinMenu& Engine() { return frame_->Menu(); }
    RECT LevelRect(int level) {
        RECT r{};
        GetWindowRect(Engine().LevelHandle(level), &r);
        return r;
    }

    std::unique_ptr<TForm> form_;
    TbsSkinData* data_ = nullptr;
    TbsSkinForm* frame_ = nullptr;
    TKeyCounter* keys_ = nullptr;
    TbsSkinPopupMenu* menu_ = nullptr;
};

TEST_F(MenuTest, APopupIsASkinnedToolWindowThatLeavesTheFormActive) {
    Add(menu_->Items(), "打开(&O)");
    menu_->Popup(300, 300);
    Pump(30);
    ASSERT_EQ(Engine().LevelCount(), 1);
    const HWND level = Engine().LevelHandle(0);
    EXPECT_TRUE(IsWindowVisible(level));
    EXPECT_EQ(GetForegroundWindow(), form_->Handle());
    const LONG_PTR ex_style = GetWindowLongPtrW(level, GWL_EXSTYLE);
    EXPECT_NE(ex_style & WS_EX_TOOLWINDOW, 0);
    EXPECT_NE(ex_style & WS_EX_TOPMOST, 0);
    const RECT r = LevelRect(0);
    EXPECT_EQ(r.left, 300);
    EXPECT_EQ(r.top, 300);
    EXPECT_EQ(r.bottom - r.top, 26);  // one item of 20 and the window's 6
    // The first item is lit at once: its right end shows the skin's active
    // item look, which lies 6 pixels in from the right of "activeskinrect".
    const TBitmapData* picture = nullptr;
    const TbsDataSkinMenuItem* look = nullptr;
    for (const auto& object : data_->FrameObjects()) {
        if ((look = dynamic_cast<const TbsDataSkinMenuItem*>(object.get())) != nullptr) {
            picture = data_->Picture(look->active_picture_index);
            break;
        }
    }
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(Engine().ActiveItem(0), 0);
    const int dx = look->item_right_offset - 1;
    EXPECT_EQ(
        ScreenPixel(r.right - 3 - dx - 1, r.top + 3 + 10),
        picture->Pixel(look->active_skin_rect.right - dx - 1, look->active_skin_rect.top + 10))
        << "the first item is not lit";
    EXPECT_NE(
        picture->Pixel(look->active_skin_rect.right - dx - 1, look->active_skin_rect.top + 10),
        picture->Pixel(look->skin_rect.right - dx - 1, look->skin_rect.top + 10));
}

TEST_F(MenuTest, ItemsShowTheirPicturesInAWiderGlyphColumn) {
    TBitmapData red(16, 16, pf24bit);
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            red.SetPixel(x, y, 0x0000FF);
        }
    }
    menu_->SetImages({red});
    Add(menu_->Items(), "图片")->SetImageIndex(0);
    Add(menu_->Items(), "没有图片");
    menu_->Popup(300, 300);
    Pump(30);
    const RECT r = LevelRect(0);
    // The picture's centre: the items start 3 in, the text area 2 more, the
    // picture 2 more; the item's middle is 10 down.
    EXPECT_EQ(ScreenPixel(r.left + 3 + 2 + 2 + 8, r.top + 3 + 10), 0x0000FFu);
    EXPECT_NE(ScreenPixel(r.left + 3 + 2 + 2 + 8, r.top + 3 + 20 + 10), 0x0000FFu);
}

TEST_F(MenuTest, WhereLayeredWindowsAreUsableMenusAreTranslucent) {
    TMenuItem* more = Add(menu_->Items(), "更多(&M)");
    Add(*more, "子项");
    Engine().alpha_blend = true;
    Engine().alpha_blend_animation = true;
    Engine().alpha_blend_value = 200;
    const auto alpha = [](HWND h) {
        BYTE value = 0;
        DWORD flags = 0;
        const bool layered = (GetWindowLongPtrW(h, GWL_EXSTYLE) & WS_EX_LAYERED) != 0 &&
                             GetLayeredWindowAttributes(h, nullptr, &value, &flags) &&
                             (flags & LWA_ALPHA) != 0;
        return layered ? static_cast<int>(value) : -1;
    };
    SetLayeredWindowsTest([] { return false; });
    menu_->Popup(300, 300);
    Pump(20);
    EXPECT_EQ(alpha(Engine().LevelHandle(0)), -1);
    KeyPress(VK_ESCAPE);
    ASSERT_TRUE(PumpUntil([&] { return Engine().LevelCount() == 0; }));
    // The first level fades in to the value; a submenu shows at it at once.
    SetLayeredWindowsTest([] { return true; });
    menu_->Popup(300, 300);
    Pump(20);
    EXPECT_EQ(alpha(Engine().LevelHandle(0)), 200);
    KeyPress(VK_RIGHT);
    ASSERT_TRUE(PumpUntil([&] { return Engine().LevelCount() == 2; }));
    EXPECT_EQ(alpha(Engine().LevelHandle(1)), 200);
    SetLayeredWindowsTest(nullptr);
}

TEST_F(MenuTest, KeysBelongToTheOpenMenu) {
    int opened = 0;
    int saved = 0;
    int closed = 0;
    Add(menu_->Items(), "打开(&O)", &opened);
    Add(menu_->Items(), "-");
    TMenuItem* disabled = Add(menu_->Items(), "灰色(&G)");
    disabled->SetEnabled(false);
    Add(menu_->Items(), "保存(&S)", &saved);
    Add(menu_->Items(), "关闭(&C)", &closed);

    // Down skips the separator and the disabled item and wraps; Up wraps
    // back; keys do not reach the form's controls; Enter runs the item.
    menu_->Popup(300, 300);
    Pump(30);
    const int before = keys_->keys;
    const struct {
        WORD key;
        int active;
    } steps[] = {{VK_DOWN, 3}, {VK_DOWN, 4}, {VK_DOWN, 0}, {VK_UP, 4}, {VK_UP, 3}};
    for (const auto& step : steps) {
        KeyPress(step.key);
        ASSERT_TRUE(PumpUntil([&] { return Engine().ActiveItem(0) == step.active; }, 2000))
            << step.key << " gave " << Engine().ActiveItem(0);
    }
    EXPECT_EQ(keys_->keys, before);
    KeyPress(VK_RETURN);
    ASSERT_TRUE(PumpUntil([&] { return saved == 1; }));
    EXPECT_EQ(Engine().LevelCount(), 0);
    EXPECT_FALSE(frame_->InMenuMode());

    // An accelerator runs its item at once, in either case.
    menu_->Popup(300, 300);
    Pump(30);
    KeyPress('C');
    ASSERT_TRUE(PumpUntil([&] { return closed == 1; }));
    EXPECT_EQ(opened, 0);

    // Esc closes the menu only; the next key reaches the focused control.
    menu_->Popup(300, 300);
    Pump(30);
    KeyPress(VK_ESCAPE);
    ASSERT_TRUE(PumpUntil([&] { return Engine().LevelCount() == 0; }));
    EXPECT_TRUE(form_->Visible());
    EXPECT_FALSE(frame_->InMenuMode());
    KeyPress(VK_DOWN);
    EXPECT_TRUE(PumpUntil([&] { return keys_->keys == before + 1; }));
}

TEST_F(MenuTest, SubmenusOpenByKeyOrAfterAPauseAndCloseOneLevelAtATime) {
    int runs = 0;
    Add(menu_->Items(), "第一");
    TMenuItem* more = Add(menu_->Items(), "更多(&M)");
    Add(*more, "子项(&A)", &runs);
    Add(*more, "子项(&B)");

    menu_->Popup(300, 300);
    Pump(30);
    KeyPress(VK_DOWN);
    KeyPress(VK_RIGHT);
    ASSERT_TRUE(PumpUntil([&] { return Engine().LevelCount() == 2; }));
    // Just right of its item (which ends 3 pixels inside the level), its
    // first item level with it.
    const RECT top = LevelRect(0);
    const RECT sub = LevelRect(1);
    EXPECT_EQ(sub.left, top.right - 3 + 1);
    EXPECT_EQ(sub.top, top.top + 20);
    EXPECT_EQ(Engine().ActiveItem(1), 0);
    KeyPress(VK_LEFT);
    ASSERT_TRUE(PumpUntil([&] { return Engine().LevelCount() == 1; }));
    KeyPress(VK_RIGHT);
    ASSERT_TRUE(PumpUntil([&] { return Engine().LevelCount() == 2; }));
    KeyPress(VK_ESCAPE);
    ASSERT_TRUE(PumpUntil([&] { return Engine().LevelCount() == 1; }));
    EXPECT_TRUE(frame_->InMenuMode());

    // The pointer resting on the item opens its submenu; moving on to
    // another item first cancels that.
    const RECT r = LevelRect(0);
    SetCursorPos(r.left + 30, r.top + 3 + 30);
    Pump(200);
    SetCursorPos(r.left + 30, r.top + 3 + 10);
    Pump(700);
    EXPECT_EQ(Engine().LevelCount(), 1);
    SetCursorPos(r.left + 30, r.top + 3 + 30);
    EXPECT_TRUE(PumpUntil([&] { return Engine().LevelCount() == 2; }, 3000));
    // A click on a submenu item runs it and closes every level.
    const RECT s = LevelRect(1);
    test_support::ClickAt(POINT{s.left + 30, s.top + 3 + 10});
    EXPECT_TRUE(PumpUntil([&] { return runs == 1 && Engine().LevelCount() == 0; }));
}

TEST_F(MenuTest, ALongMenuScrollsInItsLevel) {
    std::vector<int> clicks(50);
    for (int i = 0; i < 50; ++i) {
        Add(menu_->Items(), "项目 " + std::to_string(i), &clicks[i]);
    }
    Engine().max_items_in_window = 10;
    menu_->Popup(300, 100);
    Pump(30);
    const RECT r = LevelRect(0);
    EXPECT_EQ(r.bottom - r.top, 226);
    // Up from the first item wraps to the last, and the level follows it.
    KeyPress(VK_UP);
    ASSERT_TRUE(PumpUntil([&] { return Engine().ActiveItem(0) == 49; }));
    KeyPress(VK_RETURN);
    EXPECT_TRUE(PumpUntil([&] { return clicks[49] == 1; }));
    // Hovering the bottom marker scrolls down to the end.
    menu_->Popup(300, 100);
    Pump(30);
    const RECT again = LevelRect(0);
    SetCursorPos(again.left + 40, again.bottom - 3 - 5);
    Pump(100);
    SetCursorPos(again.left + 41, again.bottom - 3 - 5);
    Pump(4500);
    // The last item now lies just above the bottom marker.
    test_support::ClickAt(POINT{again.left + 40, again.bottom - 3 - 10 - 10});
    EXPECT_TRUE(PumpUntil([&] { return clicks[49] == 2; }));
}

TEST_F(MenuTest, ARightClickOnTheCaptionOrAltSpaceOpensTheSystemMenu) {
    RECT window;
    GetWindowRect(form_->Handle(), &window);
    // Alt+Space: under the caption's left end.
    test_support::KeyDownUp({VK_MENU, VK_SPACE});
    ASSERT_TRUE(PumpUntil([&] { return Engine().LevelCount() == 1; }));
    EXPECT_EQ(LevelRect(0).left, window.left);
    EXPECT_EQ(LevelRect(0).top, window.top + 30);  // yellow's caption band
    KeyPress(VK_ESCAPE);
    ASSERT_TRUE(PumpUntil([&] { return Engine().LevelCount() == 0; }));

    const POINT caption{window.left + 100, window.top + 12};
    ASSERT_EQ(SendMessageW(form_->Handle(), WM_NCHITTEST, 0, MAKELPARAM(caption.x, caption.y)),
              HTCAPTION);
    test_support::RightClickAt(caption);
    ASSERT_TRUE(PumpUntil([&] { return Engine().LevelCount() == 1; }));
    EXPECT_EQ(GetForegroundWindow(), form_->Handle());
    const RECT r = LevelRect(0);
    EXPECT_EQ(r.left, caption.x);
    EXPECT_EQ(r.top, caption.y);
    // A sizeable form with the default icons: minimize, maximize, roll-up,
    // a separator and close (20 + 20 + 20 + 6 + 20, and 6 for the window).
    EXPECT_EQ(r.bottom - r.top, 92);
    // Up wraps from the first item to close; Enter closes the form.
    KeyPress(VK_UP);
    ASSERT_TRUE(PumpUntil([&] { return Engine().ActiveItem(0) == 4; }));
    KeyPress(VK_RETURN);
    EXPECT_TRUE(PumpUntil([&] { return !form_->Visible(); }));
}

TEST_F(MenuTest, ACommandMayFreeTheFormAndAFormMayDieWithItsMenuOpen) {
    // The command deletes the form: nothing of the menu touches it after.
    int other_filter = 0;
    const int filter = Application().AddMessageFilter(
        [&](MSG& msg, bool&) { other_filter += msg.message == WM_APP + 9; });
    TMenuItem* item = Add(menu_->Items(), "删除窗口(&D)");
    item->OnClick = [this](TComponent*) { form_.reset(); };
    menu_->Popup(300, 300);
    Pump(30);
    KeyPress(VK_RETURN);
    ASSERT_TRUE(PumpUntil([&] { return form_ == nullptr; }));
    Pump(50);

    // A form freed while its menu is open takes the menu's key filter with
    // it; a filter installed before stays.
    SetUp();
    Add(menu_->Items(), "一");
    menu_->Popup(300, 300);
    Pump(30);
    ASSERT_TRUE(frame_->InMenuMode());
    form_.reset();
    Pump(50);
    const HWND other = CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, 10, 10,
                                       nullptr, nullptr, nullptr, nullptr);
    PostMessageW(other, WM_APP + 9, 0, 0);
    Pump(30);
    EXPECT_EQ(other_filter, 1);
    // Keys reach the program's own message slot, which runs after every
    // filter: no filter of the dead frame swallows them.
    int seen = 0;
    Application().OnMessage = [&](MSG& msg, bool&) {
        seen += msg.message == WM_KEYDOWN && msg.hwnd == other;
    };
    PostMessageW(other, WM_KEYDOWN, 'X', 0);
    Pump(30);
    Application().OnMessage = nullptr;
    EXPECT_EQ(seen, 1);
    Application().RemoveMessageFilter(filter);
    DestroyWindow(other);
}

}  // namespace
}  // namespace skin
