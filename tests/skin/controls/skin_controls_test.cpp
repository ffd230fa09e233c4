// The skinned controls in their plain look on the virtual display: the
// button's mouse and keyboard rules, the gauge's range and text, the label,
// the list box read through the standard list-box messages, the message box.

#include <gtest/gtest.h>

#include "support/message_pump.h"

#include "pace_clock.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "framework/forms.h"
#include "skin/controls/button.h"
#include "skin/controls/gauge.h"
#include "skin/controls/label.h"
#include "skin/controls/list_box.h"

namespace skin {
namespace {

using namespace framework;

using test_support::Pump;
using test_support::PumpUntil;

std::wstring Text(HWND hwnd) {
    wchar_t buffer[256] = {};
    SendMessageW(hwnd, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(buffer));
    return buffer;
}

class ControlsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // The real cursor away from the form: no control starts hot.
        SetCursorPos(1, 1);
        form_ = std::make_unique<TForm>(nullptr);
        form_->SetBorderStyle(bsNone);
        form_->SetBounds(200, 200, 400, 200);
        form_->Show();
    }
    void TearDown() override {
        Application().OnMessage = nullptr;
        form_.reset();
        Pump(10);
    }
    template <typename T>
    T* Make(int left, int top, int width, int height) {
        auto* c = new T(form_.get());
        c->SetParent(form_.get());
        c->SetBounds(left, top, width, height);
        return c;
    }
    // What the screen shows at a client point of the form.
    TColor ScreenPixel(int x, int y) {
        Pump(30);
        TBitmap shot;
        const POINT p = form_->ClientToScreen(POINT{x, y});
        CaptureScreen(Rect(p.x, p.y, p.x + 1, p.y + 1), shot);
        return shot.Pixel(0, 0);
    }

    std::unique_ptr<TForm> form_;
};

LPARAM At(int x, int y) {
    return MAKELPARAM(x, y);
}

TEST_F(ControlsTest, AButtonClicksOnAReleaseOverItOnly) {
    auto* b = Make<TbsSkinButton>(10, 10, 75, 25);
    b->SetCaption("开始升级");
    int clicks = 0;
    b->OnClick = [&](TComponent* sender) {
        EXPECT_EQ(sender, b);
        ++clicks;
    };
    HWND h = b->Handle();
    EXPECT_EQ(Text(h), L"开始升级");
    SendMessageW(h, WM_MOUSEMOVE, 0, At(5, 5));
    SendMessageW(h, WM_LBUTTONDOWN, MK_LBUTTON, At(5, 5));
    EXPECT_TRUE(b->Down());
    EXPECT_TRUE(b->Focused()) << "a press gives the button the focus";
    SendMessageW(h, WM_LBUTTONUP, 0, At(5, 5));
    EXPECT_EQ(clicks, 1);
    EXPECT_FALSE(b->Down());

    // Pressed, then the mouse leaves: the release elsewhere does not click.
    SendMessageW(h, WM_LBUTTONDOWN, MK_LBUTTON, At(5, 5));
    SendMessageW(h, WM_MOUSELEAVE, 0, 0);
    SendMessageW(h, WM_LBUTTONUP, 0, At(200, 5));
    EXPECT_EQ(clicks, 1);
    EXPECT_FALSE(b->Down());
}

TEST_F(ControlsTest, ButtonKeysAndTheDefaultAndCancelButtons) {
    auto* ok = Make<TbsSkinButton>(10, 10, 75, 25);
    auto* cancel = Make<TbsSkinButton>(100, 10, 75, 25);
    auto* other = Make<TbsSkinGauge>(10, 50, 100, 20);
    ok->SetDefault(true);
    ok->SetModalResult(mrOk);
    cancel->SetCancel(true);
    cancel->SetModalResult(mrCancel);
    int okClicks = 0;
    int cancelClicks = 0;
    ok->OnClick = [&](TComponent*) { ++okClicks; };
    cancel->OnClick = [&](TComponent*) { ++cancelClicks; };

    // Space clicks on its release; Enter at once.
    cancel->SetFocus();
    SendMessageW(cancel->Handle(), WM_KEYDOWN, VK_SPACE, 0);
    EXPECT_TRUE(cancel->Down());
    SendMessageW(cancel->Handle(), WM_KEYUP, VK_SPACE, 0);
    EXPECT_EQ(cancelClicks, 1);
    EXPECT_EQ(form_->ModalResult(), mrCancel) << "the button's modal result goes to the form";

    // With the focus on a control that is not a button, Enter goes to the
    // default button and Esc to the cancel button.
    other->SetTabStop(true);
    other->SetFocus();
    EXPECT_TRUE(ok->IsDefaultNow());
    EXPECT_TRUE(ok->Hot()) << "the default button lights up";
    PostMessageW(other->Handle(), WM_KEYDOWN, VK_RETURN, 0);
    PostMessageW(other->Handle(), WM_KEYDOWN, VK_ESCAPE, 0);
    ASSERT_TRUE(PumpUntil([&] { return okClicks == 1 && cancelClicks == 2; }));
    // With the focus on another button, that one answers Enter.
    cancel->SetFocus();
    EXPECT_FALSE(ok->IsDefaultNow());
    PostMessageW(cancel->Handle(), WM_KEYDOWN, VK_RETURN, 0);
    ASSERT_TRUE(PumpUntil([&] { return cancelClicks == 3; }));
    EXPECT_EQ(okClicks, 1);
}

TEST_F(ControlsTest, GroupButtonsClickOnThePressAndReleaseEachOther) {
    auto* a = Make<TbsSkinButton>(10, 10, 75, 25);
    auto* b = Make<TbsSkinButton>(100, 10, 75, 25);
    a->SetGroupIndex(1);
    b->SetGroupIndex(1);
    EXPECT_FALSE(a->CanFocused());
    int clicks = 0;
    a->OnClick = [&](TComponent*) { ++clicks; };
    SendMessageW(a->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, At(5, 5));
    EXPECT_EQ(clicks, 1);
    SendMessageW(a->Handle(), WM_LBUTTONUP, 0, At(5, 5));
    EXPECT_EQ(clicks, 1);
    EXPECT_TRUE(a->Down());
    SendMessageW(b->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, At(5, 5));
    SendMessageW(b->Handle(), WM_LBUTTONUP, 0, At(5, 5));
    EXPECT_TRUE(b->Down());
    EXPECT_FALSE(a->Down());
}

TEST_F(ControlsTest, ARepeatButtonClicksWhileHeld) {
    auto* b = Make<TbsSkinButton>(10, 10, 75, 25);
    // The real cursor over the button, so the system does not report that
    // the mouse left it.
    const POINT over = b->ClientToScreen(POINT{30, 12});
    SetCursorPos(over.x, over.y);
    b->SetRepeatMode(true);
    b->SetRepeatInterval(30);
    int clicks = 0;
    b->OnClick = [&](TComponent*) { ++clicks; };
    SendMessageW(b->Handle(), WM_MOUSEMOVE, 0, At(5, 5));
    SendMessageW(b->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, At(5, 5));
    EXPECT_EQ(clicks, 0) << "the first repetition comes one interval later";
    ASSERT_TRUE(PumpUntil([&] { return clicks >= 3; }));
    SendMessageW(b->Handle(), WM_MOUSELEAVE, 0, 0);
    const int held = clicks;
    Pump(150);
    EXPECT_LE(clicks, held + 1) << "leaving stops the repetition";
    SendMessageW(b->Handle(), WM_LBUTTONUP, 0, At(200, 5));
}

TEST_F(ControlsTest, ARepeatStoppedByItsOwnClickKeepsItsTimerUntilTheTickEnds) {
    auto* b = Make<TbsSkinButton>(10, 10, 75, 25);
    auto* other = Make<TbsSkinGauge>(10, 50, 100, 20);
    other->SetTabStop(true);
    const POINT over = b->ClientToScreen(POINT{30, 12});
    SetCursorPos(over.x, over.y);
    b->SetRepeatMode(true);
    b->SetRepeatInterval(20);
    // The window of the timer whose tick is being dispatched.
    HWND ticking = nullptr;
    Application().OnMessage = [&](MSG& m, bool&) {
        wchar_t cls[32] = {};
        if (m.message == WM_TIMER && GetClassNameW(m.hwnd, cls, 32) > 0 &&
            std::wstring(cls) == L"UpdaterTimer") {
            ticking = m.hwnd;
        }
    };
    int clicks = 0;
    bool aliveInItsTick = false;
    b->OnClick = [&](TComponent*) {
        ++clicks;
        other->SetFocus();  // the focus leaves: the repetition stops
        aliveInItsTick = IsWindow(ticking) != FALSE;
    };
    SendMessageW(b->Handle(), WM_MOUSEMOVE, 0, At(5, 5));
    SendMessageW(b->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, At(5, 5));
    const bool clicked = PumpUntil([&] { return clicks > 0; });
    Pump(100);
    Application().OnMessage = nullptr;
    ASSERT_TRUE(clicked);
    EXPECT_TRUE(aliveInItsTick) << "the timer was destroyed inside its own tick";
    EXPECT_EQ(clicks, 1) << "no repetition once the focus left";
    EXPECT_FALSE(IsWindow(ticking)) << "the timer is freed once its tick is done";
    SendMessageW(b->Handle(), WM_LBUTTONUP, 0, At(200, 5));
}

TEST_F(ControlsTest, ThePlainButtonLooks) {
    auto* b = Make<TbsSkinButton>(10, 10, 75, 25);
    auto* focus = Make<TbsSkinGauge>(10, 100, 50, 20);
    focus->SetTabStop(true);
    focus->SetFocus();
    b->Repaint();
    EXPECT_EQ(ScreenPixel(10, 10), ColorToRGB(clBtnShadow)) << "frame";
    EXPECT_EQ(ScreenPixel(12, 12), ColorToRGB(clBtnFace)) << "fill";
    const POINT over = b->ClientToScreen(POINT{30, 12});
    SetCursorPos(over.x, over.y);
    SendMessageW(b->Handle(), WM_MOUSEMOVE, 0, At(5, 5));
    EXPECT_EQ(ScreenPixel(10, 10), MakeColor(0, 0, 128));
    EXPECT_EQ(ScreenPixel(12, 12), MakeColor(182, 189, 210));
    SendMessageW(b->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, At(5, 5));
    EXPECT_EQ(ScreenPixel(12, 12), MakeColor(133, 147, 181));
    SendMessageW(b->Handle(), WM_LBUTTONUP, 0, At(200, 5));
}

TEST_F(ControlsTest, TheGaugeKeepsItsValueInRangeAndShowsTextAndPercent) {
    auto* g = Make<TbsSkinGauge>(10, 10, 200, 20);
    EXPECT_EQ(g->Value(), 50);
    g->SetShowProgressText(true);
    g->SetShowPercent(true);
    g->SetProgressText("abc");
    g->SetValue(45);
    EXPECT_EQ(g->Text(), "abc45%");
    EXPECT_EQ(Text(g->Handle()), L"abc45%");
    g->SetValue(500);
    EXPECT_EQ(g->Value(), 100);
    g->SetMaxValue(40);
    EXPECT_EQ(g->Value(), 40);
    g->SetMinValue(60);
    EXPECT_EQ(g->Value(), 60);
    EXPECT_EQ(g->Percent(), 0) << "no range: no fraction";
    g->SetMinValue(0);
    g->SetMaxValue(8);
    g->SetValue(1);
    EXPECT_EQ(g->Percent(), 12) << "12.5 rounds to the even neighbour";
    g->SetShowPercent(false);
    g->SetProgressText("");
    EXPECT_EQ(g->Text(), "");

    // The bar fills its share of the area inside the frame.
    g->SetValue(4);
    g->Repaint();
    EXPECT_EQ(ScreenPixel(10 + 1, 20), MakeColor(182, 189, 210));
    EXPECT_EQ(ScreenPixel(10 + 1 + 98, 20), MakeColor(182, 189, 210));
    EXPECT_EQ(ScreenPixel(10 + 1 + 100, 20), ColorToRGB(clWindow));
    EXPECT_EQ(ScreenPixel(10, 20), ColorToRGB(clBtnShadow));
}

TEST_F(ControlsTest, LabelsRepaintTheirCaptionAtOnceAndAlignIt) {
    auto* left = Make<TbsSkinLabel>(10, 10, 150, 22);
    auto* right = Make<TbsSkinLabel>(10, 40, 150, 22);
    left->SetBorderStyle(bvNone);
    right->SetBorderStyle(bvNone);
    right->SetAlignment(taRightJustify);
    left->DefaultFont().SetColor(clBlack);
    right->DefaultFont().SetColor(clBlack);
    left->SetCaption("97KB/S");
    right->SetCaption("97KB/S");
    EXPECT_EQ(Text(left->Handle()), L"97KB/S");
    Pump(30);
    // Ink near the left end of one and near the right end of the other.
    auto inkIn = [&](int x0, int x1, int y0) {
        TBitmap shot;
        const POINT p = form_->ClientToScreen(POINT{x0, y0});
        CaptureScreen(Rect(p.x, p.y, p.x + (x1 - x0), p.y + 22), shot);
        int ink = 0;
        for (int y = 0; y < shot.Height(); ++y) {
            for (int x = 0; x < shot.Width(); ++x) {
                const TColor c = shot.Pixel(x, y);
                ink += ColorRed(c) + ColorGreen(c) + ColorBlue(c) < 300;
            }
        }
        return ink;
    };
    EXPECT_GT(inkIn(10, 60, 10), 10);
    EXPECT_EQ(inkIn(110, 160, 10), 0);
    EXPECT_EQ(inkIn(10, 60, 40), 0);
    EXPECT_GT(inkIn(110, 160, 40), 10);

    auto* grow = Make<TbsSkinLabel>(10, 70, 20, 22);
    grow->SetAutoSize(true);
    grow->SetCaption("a much longer caption");
    EXPECT_GT(grow->Width(), 100);
}

// A label that counts its paints.
class TCountingLabel : public TbsSkinLabel {
  public:
    using TbsSkinLabel::TbsSkinLabel;
    int paints = 0;

  protected:
    void PaintDefault(TBitmap& target) override {
        ++paints;
        TbsSkinLabel::PaintDefault(target);
    }
};

using test::PaceClockGuard;

TEST_F(ControlsTest, ChangesPaintAtOnceButNoFasterThanThePace) {
    PaceClockGuard clock;
    auto* label = Make<TCountingLabel>(10, 10, 200, 22);
    Pump(50);
    label->paints = 0;
    clock.Advance(TbsSkinControl::kRepaintInterval);
    label->SetCaption("1KB");
    EXPECT_EQ(label->paints, 1) << "painted at once, without the message loop";
    clock.Advance(TbsSkinControl::kRepaintInterval - 1);
    label->SetCaption("2KB");
    label->SetCaption("3KB");
    EXPECT_EQ(label->paints, 1) << "changes within the pace are held back";
    EXPECT_EQ(Text(label->Handle()), L"3KB") << "but the window text is current";
    label->FlushRepaint();
    EXPECT_EQ(label->paints, 2);
    label->FlushRepaint();
    EXPECT_EQ(label->paints, 2) << "nothing more to flush";
    label->SetCaption("4KB");
    Pump(50);
    EXPECT_EQ(label->paints, 3) << "the message loop paints what was held back";
    clock.Advance(TbsSkinControl::kRepaintInterval);
    label->SetCaption("5KB");
    EXPECT_EQ(label->paints, 4);
}

TEST_F(ControlsTest, AHeldBackChangeIsPaintedWithinOnePace) {
    PaceClockGuard clock;
    auto* label = Make<TCountingLabel>(10, 10, 200, 22);
    auto* other = Make<TCountingLabel>(10, 40, 200, 22);
    Pump(50);
    // Two changes in a row: the first is painted, the second held back.
    int step = 0;
    const auto holdBack = [&] {
        clock.Advance(TbsSkinControl::kRepaintInterval);
        const int before = label->paints;
        label->SetCaption(std::to_string(++step) + "KB");
        label->SetCaption(std::to_string(++step) + "KB");
        EXPECT_EQ(label->paints, before + 1) << "the second change is held back";
        return label->paints;
    };

    // The window thread comes back through another control's change (a
    // transfer's next progress event): what this one held back is painted
    // once its pace is over, and not before.
    int painted = holdBack();
    clock.Advance(TbsSkinControl::kRepaintInterval - 1);
    other->SetCaption("speed");
    EXPECT_EQ(label->paints, painted) << "its pace is not over yet";
    clock.Advance(1);
    other->SetCaption("speed 2");
    EXPECT_EQ(label->paints, painted + 1);

    // The window thread waiting on a silent server paints what is due.
    painted = holdBack();
    clock.Advance(TbsSkinControl::kRepaintInterval - 1);
    TbsSkinControl::PaintDueChanges();
    EXPECT_EQ(label->paints, painted) << "its pace is not over yet";
    clock.Advance(1);
    TbsSkinControl::PaintDueChanges();
    EXPECT_EQ(label->paints, painted + 1);

    // A wait that dispatches timer messages only: the pace timer paints it.
    painted = holdBack();
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(2000);
    while (label->paints == painted && std::chrono::steady_clock::now() < end) {
        MSG m;
        while (PeekMessageW(&m, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE)) {
            DispatchMessageW(&m);
        }
        Sleep(2);
    }
    EXPECT_EQ(label->paints, painted + 1);
}

TEST_F(ControlsTest, SelectionsWithinThePaceReachTheSystemListWithTheHeldBackRepaint) {
    PaceClockGuard clock;
    auto* list = Make<TbsSkinListBox>(10, 10, 300, 100);
    for (int i = 0; i < 30; ++i) {
        list->AddItem("item " + std::to_string(i));
    }
    HWND inner = list->ListBox().Handle();
    Pump(50);
    const auto top = [&] { return SendMessageW(inner, LB_GETTOPINDEX, 0, 0); };
    const auto systemSelection = [&] {
        // Past the control's own answer: what the system list holds.
        return CallWindowProcW(reinterpret_cast<WNDPROC>(GetClassLongPtrW(inner, GCLP_WNDPROC)),
                               inner, LB_GETCURSEL, 0, 0);
    };
    clock.Advance(TbsSkinControl::kRepaintInterval);
    list->SetItemIndex(1);
    EXPECT_EQ(systemSelection(), 1) << "the first selection is given at once";
    // One way each for the held selection to reach the system list: the
    // held-back repaint, the message loop, a message that depends on it,
    // and an insertion in a sorted list, which moves it.
    const struct {
        const char* how;
        std::function<void()> release;
        int expected;
    } cases[] = {
        {"flushed", [&] { list->FlushRepaint(); }, 20},
        {"message loop", [&] { Pump(100); }, 21},
        {"LB_GETTOPINDEX", [&] { EXPECT_GT(top(), 0) << "scrolled into view"; }, 22},
        {"a selection once the pace is over",
         [&] {
             clock.Advance(TbsSkinControl::kRepaintInterval);
             list->SetItemIndex(24);
         },
         24},
    };
    for (const auto& c : cases) {
        clock.Advance(TbsSkinControl::kRepaintInterval);
        list->SetItemIndex(0);
        list->SetItemIndex(c.expected - 1);
        list->SetItemIndex(c.expected);
        EXPECT_NE(systemSelection(), c.expected) << c.how << ": held back";
        EXPECT_EQ(list->ItemIndex(), c.expected) << c.how;
        EXPECT_EQ(SendMessageW(inner, LB_GETCURSEL, 0, 0), c.expected) << c.how;
        EXPECT_EQ(SendMessageW(inner, LB_GETCOUNT, 0, 0), 30) << c.how;
        EXPECT_NE(systemSelection(), c.expected) << c.how << ": reading does not give it";
        c.release();
        EXPECT_EQ(systemSelection(), c.expected) << c.how;
        EXPECT_EQ(list->ItemIndex(), c.expected) << c.how;
    }
    // A held selection moves with an item sorted in before it.
    list->ClearItems();
    list->SetSorted(true);
    for (const char* item : {"b", "d", "f"}) {
        list->AddItem(item);
    }
    clock.Advance(TbsSkinControl::kRepaintInterval);
    list->SetItemIndex(0);
    list->SetItemIndex(2);  // "f", held
    list->AddItem("a");
    EXPECT_EQ(list->ItemIndex(), 3);
    EXPECT_EQ(systemSelection(), 3);
    EXPECT_EQ(list->Item(list->ItemIndex()), "f");
}

TEST_F(ControlsTest, ASortedListBoxKeepsItsItemsInTheOrderItShows) {
    const std::vector<std::string> sorted = {"alpha", "Bravo", "charlie", "delta"};
    const auto expectOrder = [&](TbsSkinListBox& list, const char* when) {
        HWND inner = list.ListBox().Handle();
        ASSERT_EQ(list.ItemCount(), 4) << when;
        ASSERT_EQ(SendMessageW(inner, LB_GETCOUNT, 0, 0), 4) << when;
        for (int i = 0; i < 4; ++i) {
            wchar_t text[32] = {};
            SendMessageW(inner, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
            EXPECT_EQ(list.Item(i), sorted[static_cast<size_t>(i)]) << when;
            EXPECT_EQ(GbkText(text), sorted[static_cast<size_t>(i)]) << when;
        }
    };
    const char* const added[] = {"delta", "Bravo", "alpha", "charlie"};
    for (const bool windowFirst : {false, true}) {
        auto* list = Make<TbsSkinListBox>(10, 10, 300, 100);
        list->SetSorted(true);
        if (windowFirst) {
            list->ListBox().HandleNeeded();
        }
        for (const char* item : added) {
            list->AddItem(item);
        }
        expectOrder(*list, windowFirst ? "added to the window" : "added before the window");
        list->SetItemIndex(1);
        EXPECT_EQ(list->Item(list->ItemIndex()), "Bravo");
        delete list;
    }
    // Sorting a filled list keeps the selected item selected.
    auto* list = Make<TbsSkinListBox>(10, 10, 300, 100);
    for (const char* item : added) {
        list->AddItem(item);
    }
    list->ListBox().HandleNeeded();
    list->SetItemIndex(0);  // "delta"
    list->SetSorted(true);
    expectOrder(*list, "sorted afterwards");
    EXPECT_EQ(list->ItemIndex(), 3);
}

TEST_F(ControlsTest, TheListBoxIsReadableThroughListBoxMessages) {
    auto* list = Make<TbsSkinListBox>(10, 10, 300, 100);
    list->AddItem("第一项");
    list->AddItem("second");
    for (int i = 0; i < 20; ++i) {
        list->AddItem("item " + std::to_string(i));
    }
    HWND inner = list->ListBox().Handle();
    wchar_t cls[32] = {};
    GetClassNameW(inner, cls, 32);
    EXPECT_EQ(std::wstring(cls), L"ListBox") << "a system list box";
    EXPECT_EQ(SendMessageW(inner, LB_GETCOUNT, 0, 0), 22);
    wchar_t text[64] = {};
    SendMessageW(inner, LB_GETTEXT, 0, reinterpret_cast<LPARAM>(text));
    EXPECT_EQ(std::wstring(text), L"第一项");
    EXPECT_EQ(SendMessageW(inner, LB_GETITEMHEIGHT, 0, 0), 20);
    EXPECT_EQ(list->ItemIndex(), -1);
    list->SetItemIndex(21);
    EXPECT_EQ(SendMessageW(inner, LB_GETCURSEL, 0, 0), 21);
    EXPECT_GT(SendMessageW(inner, LB_GETTOPINDEX, 0, 0), 0) << "scrolled into view";
    list->ClearItems();
    EXPECT_EQ(SendMessageW(inner, LB_GETCOUNT, 0, 0), 0);
    EXPECT_EQ(list->ItemIndex(), -1);

    // A disabled list takes no clicks.
    list->AddItem("a");
    list->AddItem("b");
    list->SetEnabled(false);
    EXPECT_FALSE(IsWindowEnabled(list->Handle()));
}

}  // namespace
}  // namespace skin
