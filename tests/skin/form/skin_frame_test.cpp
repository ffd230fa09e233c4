// The skinned frame on real forms on the virtual display: the client area
// under the skin's borders, the window's shape, hit testing through the
// window, tracking sizes, the built-in frame, activation, skin changes while
// the form runs (with poisoned deletion), and leaving the window procedure.

#include <gtest/gtest.h>

#include "support/skins.h"

#include "support/input.h"
#include "support/message_pump.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "framework/forms.h"
#include "skin/data/frame_objects.h"
#include "skin/data/skin_data.h"
#include "skin/data/stored_skin.h"
#include "skin/data/win32/work_area.h"
#include "skin/form/skin_broadcast.h"
#include "skin/form/skin_form.h"

namespace skin {
namespace {

using namespace framework;
using test_support::Pump;
using test_support::PumpUntil;

// Where the client area lies in window coordinates, and its size.
RECT ClientInWindow(HWND h) {
    RECT window;
    RECT client;
    GetWindowRect(h, &window);
    GetClientRect(h, &client);
    POINT origin{0, 0};
    ClientToScreen(h, &origin);
    return RECT{origin.x - window.left, origin.y - window.top,
                origin.x - window.left + client.right, origin.y - window.top + client.bottom};
}

std::string Describe(const RECT& r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) +
           "," + std::to_string(r.bottom);
}

// The hit-test answer of the window at a point in window coordinates.
LRESULT HitAt(HWND h, int x, int y) {
    RECT window;
    GetWindowRect(h, &window);
    return SendMessageW(h, WM_NCHITTEST, 0, MAKELPARAM(window.left + x, window.top + y));
}

// A pixel of the window as the screen shows it, window coordinates.
TColor ScreenPixel(HWND h, int x, int y) {
    RECT window;
    GetWindowRect(h, &window);
    HDC screen = GetDC(nullptr);
    const COLORREF c = GetPixel(screen, window.left + x, window.top + y);
    ReleaseDC(nullptr, screen);
    return static_cast<TColor>(c);
}

class FrameTest : public ::testing::Test {
  protected:
    void SetUp() override {
        SetCursorPos(1, 1);
        InstallSkinBroadcast();
        form_ = std::make_unique<TForm>(nullptr);
        form_->SetCaption("皮肤窗口");
        form_->SetBorderStyle(bsSizeable);
        form_->SetBounds(100, 100, 486, 288);
        yellow_ = Stored("yellow");
        silver_ = Stored("silver");
        data_ = new TbsSkinData(form_.get());
        data_->SetCompressedStoredSkin(yellow_);
        frame_ = new TbsSkinForm(form_.get());
    }
    void TearDown() override {
        form_.reset();
        Pump(10);
    }
    TbsCompressedStoredSkin* Stored(const std::string& name) {
        auto* stored = test_support::StoredSkin(form_.get(), name);
        EXPECT_FALSE(stored->IsStoreEmpty()) << name;
        return stored;
    }
    HWND Show() {
        form_->Show();
        Pump(50);
        return form_->Handle();
    }

    std::unique_ptr<TForm> form_;
    TbsCompressedStoredSkin* yellow_ = nullptr;
    TbsCompressedStoredSkin* silver_ = nullptr;
    TbsSkinData* data_ = nullptr;
    TbsSkinForm* frame_ = nullptr;
};

// Yellow on a sizeable 486 x 288 window: borders 7 / 30 / 8 / 8, the corners
// cut by the mask (also after a resize), sizing zones where the mask ends.
TEST_F(FrameTest, YellowShapesTheWindowAndItsClientArea) {
    frame_->SetSkinData(data_);
    HWND h = Show();
    ASSERT_TRUE(frame_->Skinned());
    EXPECT_EQ(Describe(ClientInWindow(h)), "7,30,478,280");
    EXPECT_EQ(GetWindowLongW(h, GWL_STYLE) & WS_CAPTION, 0);

    for (const int width : {486, 600}) {
        form_->SetBounds(100, 100, width, 288);
        Pump(20);
        const int w = width;
        const int H = 288;
        HRGN region = CreateRectRgn(0, 0, 0, 0);
        ASSERT_NE(GetWindowRgn(h, region), ERROR) << w;
        const struct {
            int x, y;
            bool in;
        } points[] = {{0, 0, false},    {4, 0, false},     {5, 0, true},     {w - 5, 0, false},
                      {w - 6, 0, true}, {2, 1, false},     {3, 1, true},     {0, H - 2, false},
                      {1, H - 2, true}, {1, H - 1, false}, {2, H - 1, true}, {w / 2, H / 2, true}};
        for (const auto& p : points) {
            EXPECT_EQ(PtInRegion(region, p.x, p.y) != FALSE, p.in)
                << "(" << p.x << "," << p.y << ") at width " << w;
        }
        DeleteObject(region);
    }

    form_->SetBounds(100, 100, 486, 288);
    Pump(20);
    const struct {
        int x, y;
        LRESULT hit;
    } hits[] = {{1, 150, HTLEFT},  {484, 150, HTRIGHT},  {100, 1, HTTOP},      {100, 286, HTBOTTOM},
                {3, 1, HTTOPLEFT}, {100, 15, HTCAPTION}, {300, 150, HTCLIENT}, {4, 150, htObject}};
    for (const auto& t : hits) {
        EXPECT_EQ(HitAt(h, t.x, t.y), t.hit) << "(" << t.x << "," << t.y << ")";
    }

    MINMAXINFO info{};
    SendMessageW(h, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    EXPECT_EQ(info.ptMinTrackSize.x, 161);
    EXPECT_EQ(info.ptMinTrackSize.y, 38);
    EXPECT_EQ(info.ptMaxTrackSize.x, GetSystemMetrics(SM_CXSCREEN));
}

// No skin: the built-in frame, 3 pixels of bevel and a 19-pixel caption.
TEST_F(FrameTest, WithoutASkinTheBuiltInFrameIsDrawn) {
    form_->SetBounds(100, 100, 300, 200);
    HWND h = Show();
    ASSERT_FALSE(frame_->Skinned());
    EXPECT_EQ(Describe(ClientInWindow(h)), "3,22,297,197");
    EXPECT_EQ(ScreenPixel(h, 0, 0), ColorToRGB(cl3DLight));
    EXPECT_EQ(ScreenPixel(h, 299, 199), ColorToRGB(cl3DDkShadow));
    HRGN region = CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(GetWindowRgn(h, region), ERROR) << "no shape";
    DeleteObject(region);
    EXPECT_EQ(HitAt(h, 2, 100), HTLEFT);
    EXPECT_EQ(HitAt(h, 298, 100), HTRIGHT);
    EXPECT_EQ(HitAt(h, 100, 10), HTCAPTION);
    // The default close button, drawn and found at the right of the caption.
    EXPECT_EQ(HitAt(h, 290, 10), htObject);
    MINMAXINFO info{};
    SendMessageW(h, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    EXPECT_EQ(info.ptMinTrackSize.x, 120);
    EXPECT_EQ(info.ptMinTrackSize.y, 25);
}

// Active, the bands come from the main picture; inactive, from the inactive
// one. The events fire on every recomputation.
TEST_F(FrameTest, TheFrameShowsWhetherTheFormIsActive) {
    frame_->SetSkinData(data_);
    int activations = 0;
    int deactivations = 0;
    frame_->OnActivate = [&](TComponent*) { ++activations; };
    frame_->OnDeActivate = [&](TComponent*) { ++deactivations; };
    HWND h = Show();
    SetForegroundWindow(h);
    ASSERT_TRUE(PumpUntil([&] { return frame_->FrameActive(); }));
    // Column 3, row 100 of the left band is row 100 of the picture.
    const TColor active = data_->MainPicture().Pixel(3, 100);
    const TColor inactive = data_->InactivePicture().Pixel(3, 100);
    ASSERT_NE(active, inactive) << "the test needs two different pictures there";
    EXPECT_TRUE(PumpUntil([&] { return ScreenPixel(h, 3, 100) == active; }));

    TForm other(nullptr);
    other.SetBounds(700, 500, 200, 150);
    other.Show();
    SetForegroundWindow(other.Handle());
    ASSERT_TRUE(PumpUntil([&] { return !frame_->FrameActive(); }));
    EXPECT_TRUE(PumpUntil([&] { return ScreenPixel(h, 3, 100) == inactive; }));
    EXPECT_GT(activations, 0);
    EXPECT_GT(deactivations, 0);
}

// A caption with an active look of its own fades to it when the form is
// activated and back to its normal look when another window takes over.
// Yellow's caption has no active look, so the test gives it one: a red strip
// at the bottom of its active picture.
TEST_F(FrameTest, ACaptionWithAnActiveLookFadesBetweenItsLooks) {
    auto* caption = dynamic_cast<TbsDataSkinCaption*>(
        data_->FrameObject(data_->IndexOfFrameObject("caption1")));
    ASSERT_NE(caption, nullptr);
    framework::TBitmapData* picture = data_->Picture(caption->active_picture_index);
    ASSERT_NE(picture, nullptr);
    const TColor red = RGB(255, 0, 0);
    caption->active_skin_rect = TRect{0, picture->Height() - caption->skin_rect.Height(),
                                      picture->Width(), picture->Height()};
    for (int y = caption->active_skin_rect.top; y < picture->Height(); ++y) {
        for (int x = 0; x < picture->Width(); ++x) {
            picture->SetPixel(x, y, red);
        }
    }
    caption->morphing = true;
    frame_->SetSkinData(data_);
    const TbsFrameObject& object = frame_->Objects().at(0);
    ASSERT_EQ(object.id_name, "caption1");
    ASSERT_TRUE(object.morphing);

    // The fade is seen on the way: factors between the ends, then the end.
    const auto fade_to = [&](double end) {
        bool between = false;
        const bool reached = PumpUntil([&] {
            between = between || (object.morph > 0 && object.morph < 1);
            return object.morph == end;
        });
        return reached && between;
    };
    // Right of the caption text, in the repeated middle of the caption.
    const int x = object.place.object_rect.right - 20;
    const int y = object.place.object_rect.top + object.place.object_rect.Height() / 2;
    HWND h = Show();
    SetForegroundWindow(h);
    ASSERT_TRUE(PumpUntil([&] { return frame_->FrameActive(); }));
    EXPECT_TRUE(fade_to(1));
    EXPECT_TRUE(PumpUntil([&] { return ScreenPixel(h, x, y) == red; }));

    TForm other(nullptr);
    other.SetBounds(700, 500, 200, 150);
    other.Show();
    SetForegroundWindow(other.Handle());
    ASSERT_TRUE(PumpUntil([&] { return !frame_->FrameActive(); }));
    EXPECT_TRUE(fade_to(0));
    Pump(50);
    EXPECT_NE(ScreenPixel(h, x, y), red);
}

// Skins change under a running form: the client area, the shape and the
// relayed controls follow; an empty skin gives the built-in frame.
TEST_F(FrameTest, TheFrameFollowsSkinChangesOfARunningForm) {
    frame_->SetSkinData(data_);
    HWND h = Show();
    auto shaped = [&] {
        HRGN region = CreateRectRgn(0, 0, 0, 0);
        const bool has = GetWindowRgn(h, region) != ERROR;
        DeleteObject(region);
        return has;
    };
    auto* empty = new TbsSkinData(form_.get());
    const struct {
        const char* what;
        std::function<void()> change;
        const char* client;
        bool shape;
    } steps[] = {
        {"yellow", [] {}, "7,30,478,280", true},
        {"silver", [&] { data_->SetCompressedStoredSkin(silver_); }, "5,27,481,282", true},
        {"empty", [&] { frame_->SetSkinData(empty); }, "3,22,483,285", false},
        {"yellow again",
         [&] {
             frame_->SetSkinData(data_);
             data_->SetCompressedStoredSkin(yellow_);
         },
         "7,30,478,280", true},
    };
    for (const auto& s : steps) {
        s.change();
        Pump(20);
        EXPECT_EQ(Describe(ClientInWindow(h)), s.client) << s.what;
        EXPECT_EQ(shaped(), s.shape) << s.what;
    }
}

// A designed client size survives the skin's borders: the update window's
// 480 x 263 client in a 495 x 301 window.
TEST_F(FrameTest, ADesignedClientSizeIsKeptUnderTheSkin) {
    form_->SetBorderStyle(bsDialog);
    form_->SetClientWidth(480);
    form_->SetClientHeight(263);
    frame_->SetClientWidth(480);
    frame_->SetClientHeight(263);
    frame_->SetSkinData(data_);
    HWND h = Show();
    EXPECT_EQ(Describe(ClientInWindow(h)), "7,30,487,293");
    RECT window;
    GetWindowRect(h, &window);
    EXPECT_EQ(window.right - window.left, 495);
    EXPECT_EQ(window.bottom - window.top, 301);
}

// Freed while the form lives, the frame leaves the window procedure; a hook
// installed after it keeps working and the system's frame comes back.
TEST_F(FrameTest, AFreedFrameLeavesTheFormToTheSystem) {
    frame_->SetSkinData(data_);
    HWND h = Show();
    int seen = 0;
    TWindowProcHook later(*form_, [&](TMessage& m, const TWndMethod& previous) {
        if (m.Msg == WM_USER + 300) {
            ++seen;
        }
        previous(m);
    });
    delete frame_;
    frame_ = nullptr;
    SendMessageW(h, WM_USER + 300, 0, 0);
    EXPECT_EQ(seen, 1);
    EXPECT_NE(Describe(ClientInWindow(h)), "7,30,478,280");
    HRGN region = CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(GetWindowRgn(h, region), ERROR);
    DeleteObject(region);
    // The system paints its own frame again, and nothing calls the freed one.
    RedrawWindow(h, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_UPDATENOW);
    Pump(20);
}

// The frame keeps the system's keyboard close (Alt+F4) while it swallows the
// menu key.
TEST_F(FrameTest, AltF4StillClosesTheForm) {
    frame_->SetSkinData(data_);
    HWND h = Show();
    SendMessageW(h, WM_SYSCOMMAND, SC_KEYMENU, 0);
    EXPECT_TRUE(form_->Visible());
    PostMessageW(h, WM_SYSKEYDOWN, VK_F4, 1 << 29);
    EXPECT_TRUE(PumpUntil([&] { return !form_->Visible(); }));
}

// Yellow gives one caption object and the six standard buttons (the menu
// bar's buttons, derived from the standard button, are not taken); the
// border icons decide which buttons take part, and the buttons carry the
// built-in hints.
TEST_F(FrameTest, YellowGivesACaptionAndSixButtonsWithTheirHints) {
    frame_->SetSkinData(data_);
    const std::vector<TbsFrameObject>& objects = frame_->Objects();
    ASSERT_EQ(objects.size(), 7u);
    EXPECT_EQ(objects[0].place.kind, fokCaption);
    struct TExpected {
        const char* name;
        bool shown;  // by the default icons: all but the tray
        const wchar_t* hint;
    };
    const TExpected expected[] = {
        {"closebutton", true, L"关闭"},  {"maxbutton", true, L"最大化"},
        {"minbutton", true, L"最小化"},  {"sysmenubutton", true, L"系统菜单"},
        {"rollupbutton", true, L"卷起"}, {"traybutton", false, L"最小化到系统托盘区"}};
    for (const TExpected& e : expected) {
        SCOPED_TRACE(e.name);
        const auto it = std::find_if(objects.begin(), objects.end(),
                                     [&](const TbsFrameObject& o) { return o.id_name == e.name; });
        ASSERT_NE(it, objects.end());
        EXPECT_EQ(it->place.kind, fokStdButton);
        EXPECT_EQ(it->enabled, e.shown);
        EXPECT_EQ(it->place.visible, e.shown);
        EXPECT_EQ(it->hint, framework::GbkText(e.hint));
    }
}

// With ShowIcon the system-menu button shows the form's icon in the small
// icon size, at the caption's left end.
TEST_F(FrameTest, TheSystemMenuButtonMayShowTheIcon) {
    frame_->SetShowIcon(true);
    frame_->SetSkinData(data_);
    HWND h = Show();
    const TbsFrameObject* button = nullptr;
    for (const TbsFrameObject& o : frame_->Objects()) {
        if (o.id_name == "sysmenubutton") {
            button = &o;
        }
    }
    ASSERT_NE(button, nullptr);
    const TRect r = button->place.object_rect;
    EXPECT_EQ(r.Width(), GetSystemMetrics(SM_CXSMICON));
    EXPECT_EQ(r.Height(), GetSystemMetrics(SM_CYSMICON));
    // The icon, not the skin's look, is on the screen there.
    const TColor skin_look = button->picture->Pixel(button->data->skin_rect.left + r.Width() / 2,
                                                    button->data->skin_rect.top + r.Height() / 2);
    bool differs = false;
    for (int dy = 2; dy < r.Height() - 2 && !differs; ++dy) {
        differs = ScreenPixel(h, r.left + r.Width() / 2, r.top + dy) != skin_look;
    }
    EXPECT_TRUE(differs);
}

// Minimizing to the notification area hides the program's window behind
// its icon; a double click on the icon brings it back, a single click is a
// click, and the right button opens the frame's tray menu.
TEST_F(FrameTest, TheTrayIconTakesTheWindowAndGivesItBack) {
    frame_->SetSkinData(data_);
    Show();
    TForm* main = Application().MainForm();
    Application().SetMainForm(form_.get());
    auto* icon = new TbsTrayIcon(form_.get());
    frame_->SetTrayIcon(icon);
    EXPECT_FALSE(icon->IconVisible());
    ASSERT_NE(icon->PopupMenu(), nullptr);
    EXPECT_EQ(icon->PopupMenu()->Items().Count(), 3);
    int restored = 0;
    int clicks = 0;
    frame_->OnRestoreFromTray = [&](TComponent*) { ++restored; };
    icon->OnClick = [&](TComponent*) { ++clicks; };

    frame_->MinimizeToTray();
    EXPECT_TRUE(icon->MinimizeToTray());
    EXPECT_FALSE(IsWindowVisible(form_->Handle()));
    const auto notify = [&](UINT mouse) {
        SendMessageW(icon->Handle(), TbsTrayIcon::kCallbackMessage, 1, mouse);
    };
    notify(WM_LBUTTONDBLCLK);
    EXPECT_EQ(restored, 1);
    EXPECT_TRUE(IsWindowVisible(form_->Handle()));
    EXPECT_FALSE(icon->MinimizeToTray());
    EXPECT_EQ(clicks, 0);

    // A click waits out the double-click time; a second one makes it a
    // double click instead.
    notify(WM_LBUTTONUP);
    EXPECT_TRUE(PumpUntil([&] { return clicks == 1; }, 3000));
    notify(WM_LBUTTONUP);
    notify(WM_LBUTTONDBLCLK);
    Pump(GetDoubleClickTime() + 100);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(restored, 2);

    notify(WM_RBUTTONUP);
    ASSERT_TRUE(PumpUntil([&] { return frame_->Menu().LevelCount() == 1; }));
    RECT level;
    GetWindowRect(frame_->Menu().LevelHandle(0), &level);
    EXPECT_EQ(level.bottom - level.top, 20 + 6 + 20 + 6);
    frame_->CloseSkinMenus();
    Application().SetMainForm(main);
}

// The frame's own states: maximized to the work area (a pixel in where it is
// the whole screen) and back, parked when minimized, rolled up to its frame
// by a double click on the caption, and snapping while it moves.
TEST_F(FrameTest, TheFrameMaximizesParksRollsUpAndSnaps) {
    frame_->SetSkinData(data_);
    // The skin's buttons stay when the icons change.
    frame_->SetBorderIcons(bsbiMinimize | bsbiMaximize | bsbiRollUp);
    ASSERT_EQ(frame_->Objects().size(), 7u);
    HWND h = Show();
    SetForegroundWindow(h);
    ASSERT_TRUE(PumpUntil([&] { return frame_->FrameActive(); }));
    RECT before;
    GetWindowRect(h, &before);
    const TRect work = WorkAreaOf(h, true);
    // The maximize button shows its restore look while the window is
    // maximized.
    const auto max_button =
        std::find_if(frame_->Objects().begin(), frame_->Objects().end(),
                     [](const TbsFrameObject& o) { return o.id_name == "maxbutton"; });
    ASSERT_NE(max_button, frame_->Objects().end());
    const auto* max_data = dynamic_cast<const TbsDataSkinStdButton*>(max_button->data);
    ASSERT_NE(max_data, nullptr);
    // A pixel where the two looks differ.
    TPoint d{-1, -1};
    const TRect& normal = max_data->skin_rect;
    const TRect& restore = max_data->restore_rect;
    for (int y = 0; y < normal.Height() && d.x < 0; ++y) {
        for (int x = 0; x < normal.Width() && d.x < 0; ++x) {
            if (max_button->picture->Pixel(normal.left + x, normal.top + y) !=
                max_button->picture->Pixel(restore.left + x, restore.top + y)) {
                d = TPoint{x, y};
            }
        }
    }
    ASSERT_GE(d.x, 0) << "the test needs two different looks";
    const auto max_look = [&] {
        const TRect& o = max_button->place.object_rect;
        return ScreenPixel(h, o.left + d.x, o.top + d.y);
    };
    const auto in_picture = [&](const TRect& look) {
        return max_button->picture->Pixel(look.left + d.x, look.top + d.y);
    };
    EXPECT_TRUE(PumpUntil([&] { return max_look() == in_picture(max_data->skin_rect); }));
    frame_->SetWindowState(fwsMaximized);
    EXPECT_TRUE(PumpUntil([&] { return max_look() == in_picture(max_data->restore_rect); }))
        << std::hex << max_look();
    RECT r;
    GetWindowRect(h, &r);
    const bool whole = work.Width() == GetSystemMetrics(SM_CXSCREEN) &&
                       work.Height() == GetSystemMetrics(SM_CYSCREEN);
    EXPECT_EQ(r.left, work.left + (whole ? 1 : 0));
    EXPECT_EQ(r.bottom, work.bottom - (whole ? 1 : 0));
    // A maximized window does not move.
    RECT moving{r.left + 50, r.top + 50, r.right + 50, r.bottom + 50};
    SendMessageW(h, WM_MOVING, 0, reinterpret_cast<LPARAM>(&moving));
    EXPECT_EQ(moving.left, r.left);
    frame_->SetWindowState(fwsNormal);
    GetWindowRect(h, &r);
    EXPECT_EQ(r.left, before.left);
    EXPECT_EQ(r.bottom, before.bottom);
    EXPECT_TRUE(PumpUntil([&] { return max_look() == in_picture(max_data->skin_rect); }));

    // Two other skinned forms minimized: side by side on the bottom row.
    TForm* main = Application().MainForm();
    Application().SetMainForm(nullptr);
    TForm second(nullptr);
    second.SetBounds(50, 50, 486, 288);
    auto* second_frame = new TbsSkinForm(&second);
    second_frame->SetSkinData(test_support::SkinDataOf(&second, "yellow"));
    second.Show();
    frame_->SetWindowState(fwsMinimized);
    second_frame->SetWindowState(fwsMinimized);
    RECT first_place, second_place;
    GetWindowRect(h, &first_place);
    GetWindowRect(second.Handle(), &second_place);
    const TPoint min = frame_->MinTrackSize();
    EXPECT_EQ(first_place.left, work.left);
    EXPECT_EQ(first_place.top, work.bottom - min.y);
    EXPECT_EQ(second_place.left, work.left + min.x);
    EXPECT_EQ(second_place.top, first_place.top);
    frame_->SetWindowState(fwsNormal);
    Application().SetMainForm(main);

    // A double click on the caption of a dialog frame rolls it up, another
    // rolls it down.
    form_->SetBorderStyle(bsDialog);
    Pump(50);
    h = form_->Handle();  // made again for the new border
    GetWindowRect(h, &before);
    int changes = 0;
    frame_->OnChangeRollUpState = [&](TComponent*) { ++changes; };
    const LPARAM caption = MAKELPARAM(before.left + 100, before.top + 12);
    SendMessageW(h, WM_NCLBUTTONDBLCLK, HTCAPTION, caption);
    EXPECT_TRUE(frame_->RolledUp());
    GetWindowRect(h, &r);
    EXPECT_EQ(r.bottom - r.top, frame_->MinTrackSize().y);
    EXPECT_LT(r.bottom - r.top, before.bottom - before.top);
    SendMessageW(h, WM_NCLBUTTONDBLCLK, HTCAPTION, caption);
    GetWindowRect(h, &r);
    EXPECT_EQ(r.bottom - r.top, before.bottom - before.top);
    EXPECT_EQ(changes, 2);

    // Snapping while moving, within five pixels of the work area's edge.
    frame_->SetMagnetic(true);
    const int w = before.right - before.left;
    const int hgt = before.bottom - before.top;
    RECT close_to{work.left + 4, work.top + 100, work.left + 4 + w, work.top + 100 + hgt};
    SendMessageW(h, WM_MOVING, 0, reinterpret_cast<LPARAM>(&close_to));
    EXPECT_EQ(close_to.left, work.left);
    RECT further{work.left + 5, work.top + 100, work.left + 5 + w, work.top + 100 + hgt};
    SendMessageW(h, WM_MOVING, 0, reinterpret_cast<LPARAM>(&further));
    EXPECT_EQ(further.left, work.left + 5);
}

// The close button with real input: it takes its active look under the
// pointer (after its fade), its inactive look when another window is active,
// and closes the form only when the button goes up over it.
TEST_F(FrameTest, TheCloseButtonLightsUpAndClosesOnlyWhenReleasedOverIt) {
    frame_->SetSkinData(data_);
    HWND h = Show();
    SetForegroundWindow(h);
    Pump(50);
    const TbsFrameObject* close = nullptr;
    for (const TbsFrameObject& o : frame_->Objects()) {
        if (o.id_name == "closebutton") {
            close = &o;
        }
    }
    ASSERT_NE(close, nullptr);
    ASSERT_NE(close->picture, nullptr);
    const TRect r = close->place.object_rect;
    const auto look = [&](const TRect& in_picture) {
        return close->picture->Pixel(in_picture.left + 4, in_picture.top + 4);
    };
    const TColor normal = look(close->data->skin_rect);
    const TColor active = look(close->data->active_skin_rect);
    const TColor inactive = look(close->data->inactive_skin_rect);
    ASSERT_NE(normal, active);
    ASSERT_NE(normal, inactive);
    const auto shown = [&] { return ScreenPixel(h, r.left + 4, r.top + 4); };
    EXPECT_EQ(shown(), normal);
    RECT window;
    GetWindowRect(h, &window);
    const POINT centre{window.left + (r.left + r.right) / 2, window.top + (r.top + r.bottom) / 2};
    const POINT away{window.left + 200, window.top + 150};

    test_support::MoveTo(centre);
    EXPECT_TRUE(PumpUntil([&] { return shown() == active; })) << std::hex << shown();
    // Pressed, dragged away and released there: the form stays.
    test_support::PressAt(centre);
    Pump(50);
    test_support::MoveTo(away);
    Pump(30);
    test_support::ReleaseAt(away);
    Pump(100);
    EXPECT_TRUE(form_->Visible());
    EXPECT_TRUE(PumpUntil([&] { return shown() == normal; }));
    EXPECT_EQ(frame_->CaptureObject(), -1);
    // The right button does nothing.
    test_support::RightClickAt(centre);
    Pump(100);
    EXPECT_TRUE(form_->Visible());
    if (frame_->Menu().Visible()) {
        frame_->CloseSkinMenus();
    }
    // Another window active: the inactive look.
    test_support::MoveTo(away);
    HWND other = CreateWindowExW(0, L"STATIC", L"other", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50,
                                 nullptr, nullptr, nullptr, nullptr);
    SetForegroundWindow(other);
    EXPECT_TRUE(PumpUntil([&] { return shown() == inactive; })) << std::hex << shown();
    DestroyWindow(other);
    SetForegroundWindow(h);
    ASSERT_TRUE(PumpUntil([&] { return frame_->FrameActive(); }));
    // A click on it closes the form.
    test_support::MoveTo(centre);
    Pump(100);
    test_support::ClickAt(centre);
    EXPECT_TRUE(PumpUntil([&] { return !form_->Visible(); }));
}

// With ShowObjectHint, the hint of the object under the pointer shows below
// the pointer, drawn with the skin's hint picture or, without a skin, in the
// tool-tip colours; it goes when the pointer leaves the object. A hint
// component that is freed is forgotten by the frame.
TEST_F(FrameTest, AnObjectsHintShowsWhileThePointerIsOverIt) {
    frame_->SetSkinData(data_);
    auto* hint = new TbsSkinHint(form_.get());
    frame_->SetSkinHint(hint);
    frame_->SetShowObjectHint(true);
    HWND h = Show();
    SetForegroundWindow(h);
    Pump(50);
    const auto it =
        std::find_if(frame_->Objects().begin(), frame_->Objects().end(),
                     [](const TbsFrameObject& o) { return o.id_name == "closebutton"; });
    ASSERT_NE(it, frame_->Objects().end());
    const TRect r = it->place.object_rect;
    RECT window;
    GetWindowRect(h, &window);
    const POINT centre{window.left + (r.left + r.right) / 2, window.top + (r.top + r.bottom) / 2};
    const POINT away{window.left + 200, window.top + 150};
    const framework::TBitmapData* picture =
        data_->Picture(data_->HintWindow().window_picture_index);
    ASSERT_NE(picture, nullptr);
    const struct {
        const char* look;
        TbsSkinData* skin;
        TColor corner;
    } looks[] = {{"skinned", data_, picture->Pixel(0, 0)},
                 {"plain", nullptr, ColorToRGB(framework::kSystemColorFlag | COLOR_INFOTEXT)}};
    ASSERT_NE(looks[0].corner, looks[1].corner);
    for (const auto& l : looks) {
        SCOPED_TRACE(l.look);
        hint->SetSkinData(l.skin);
        test_support::MoveTo(away);
        Pump(100);
        test_support::MoveTo(centre);
        ASSERT_TRUE(PumpUntil([&] { return hint->Showing(); }));
        wchar_t text[32] = {};
        GetWindowTextW(hint->Handle(), text, 32);
        EXPECT_STREQ(text, L"关闭");
        RECT box;
        GetWindowRect(hint->Handle(), &box);
        EXPECT_EQ(box.left, centre.x);
        EXPECT_GT(box.top, centre.y);
        EXPECT_TRUE(PumpUntil([&] { return ScreenPixel(hint->Handle(), 0, 0) == l.corner; }))
            << std::hex << ScreenPixel(hint->Handle(), 0, 0);
        EXPECT_EQ(WindowFromPoint(centre), h);  // the hint lets the mouse through
        test_support::MoveTo(away);
        EXPECT_TRUE(PumpUntil([&] { return !hint->Showing(); }));
    }
    // A skin change under the pointer takes the hint with the old objects.
    test_support::MoveTo(centre);
    ASSERT_TRUE(PumpUntil([&] { return hint->Showing(); }));
    data_->SetCompressedStoredSkin(silver_);
    EXPECT_FALSE(hint->Showing());
    EXPECT_TRUE(PumpUntil([&] { return hint->Showing(); }));  // silver's close button
    delete hint;
    EXPECT_EQ(frame_->SkinHint(), nullptr);
    test_support::MoveTo(centre);
    Pump(100);
    EXPECT_EQ(frame_->ActiveObject(), it - frame_->Objects().begin());
}

// A form that closes itself (and is freed) while its fade-in lets pending
// messages run: the fade touches nothing of it afterwards.
TEST(FrameFade, AFormFreedDuringItsFadeIsLeftAlone) {
    InstallSkinBroadcast();
    SetLayeredWindowsTest([] { return true; });
    auto* form = new TForm(nullptr);
    form->SetBounds(100, 100, 300, 200);
    auto* frame = new TbsSkinForm(form);
    frame->SetAlphaBlend(true);
    frame->SetAlphaBlendAnimation(true);
    frame->SetAlphaBlendValue(230);
    form->OnClose = [](TComponent*, TCloseAction& action) { action = caFree; };
    const std::weak_ptr<const bool> alive = form->Liveness();
    // The close arrives just as the fade's timer does.
    HWND window = nullptr;
    const int filter = Application().AddMessageFilter([&](MSG& msg, bool&) {
        if (msg.message == WM_TIMER && msg.hwnd == window && msg.wParam == 1) {
            PostMessageW(window, WM_CLOSE, 0, 0);
        }
    });
    form->Show();
    window = form->Handle();
    EXPECT_TRUE(PumpUntil([&] { return alive.expired(); }));
    Application().RemoveMessageFilter(filter);
    SetLayeredWindowsTest(nullptr);
    EXPECT_FALSE(IsWindow(window));
}

TEST(Frame, BelongsToAForm) {
    TComponent owner(nullptr);
    EXPECT_THROW(TbsSkinForm frame(&owner), EInvalidCast);
}

}  // namespace
}  // namespace skin
