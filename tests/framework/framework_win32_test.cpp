// The Win32 framework on a real display: a window built from its definition,
// painting, input through window messages, exceptions, modal forms, the
// window-procedure slot, timers, and GDI drawing into bitmaps.

#include <gtest/gtest.h>

#include "support/message_pump.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "base/exception.h"
#include "sample_window.h"

namespace {

using namespace framework;
using sample::TSampleButton;
using sample::TSampleWindow;

using test_support::Pump;
using test_support::PumpUntil;

LPARAM Point(int x, int y) {
    return MAKELPARAM(x, y);
}

void PostClick(TWinControl& control) {
    PostMessageW(control.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, Point(5, 5));
    PostMessageW(control.Handle(), WM_LBUTTONUP, 0, Point(5, 5));
}

std::wstring WindowText(HWND hwnd) {
    wchar_t buffer[256] = {};
    SendMessageW(hwnd, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(buffer));
    return buffer;
}

bool HasEvent(const TSampleWindow& w, const std::string& name) {
    for (const auto& e : w.events) {
        if (e == name) {
            return true;
        }
    }
    return false;
}

class SampleWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        window_.reset(new TSampleWindow(nullptr));
        window_->DoCreate();
    }
    void TearDown() override {
        Application().OnException = nullptr;
        window_.reset();
        Pump(20);
    }
    TSampleWindow& W() { return *window_; }

    std::unique_ptr<TSampleWindow> window_;
};

TEST_F(SampleWindowTest, IsBuiltFromItsDefinition) {
    ASSERT_NE(W().Image1, nullptr);
    ASSERT_NE(W().Swatch1, nullptr);
    ASSERT_NE(W().Button3, nullptr);
    ASSERT_NE(W().Timer1, nullptr);
    EXPECT_EQ(W().events, std::vector<std::string>{"create"});

    HWND hwnd = W().Handle();
    EXPECT_EQ(WindowText(hwnd), L"框架示例");
    RECT client;
    GetClientRect(hwnd, &client);
    EXPECT_EQ(client.right, 320);
    EXPECT_EQ(client.bottom, 200);
    const LONG exStyle = GetWindowLongW(hwnd, GWL_EXSTYLE);
    const LONG style = GetWindowLongW(hwnd, GWL_STYLE);
    EXPECT_NE(exStyle & WS_EX_TOPMOST, 0);
    EXPECT_NE(exStyle & WS_EX_DLGMODALFRAME, 0);
    EXPECT_EQ(style & WS_SYSMENU, 0) << "no border icons were asked for";
    EXPECT_EQ(style & WS_THICKFRAME, 0);
    EXPECT_EQ(GetWindow(hwnd, GW_OWNER), Application().Handle());

    // The picture sized the image to itself.
    EXPECT_EQ(W().Image1->Left(), 0);
    EXPECT_EQ(W().Image1->Top(), -5);
    EXPECT_EQ(W().Image1->Width(), 48);
    EXPECT_EQ(W().Image1->Height(), 64);

    // Windowed controls are child windows at their bounds, with their
    // captions readable by other programs.
    RECT r;
    GetWindowRect(W().Button1->Handle(), &r);
    MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.left, 230);
    EXPECT_EQ(r.top, 165);
    EXPECT_EQ(r.right - r.left, 75);
    EXPECT_EQ(r.bottom - r.top, 25);
    EXPECT_EQ(GetParent(W().Button1->Handle()), hwnd);
    EXPECT_EQ(WindowText(W().Button1->Handle()), L"关闭");
    EXPECT_FALSE(IsWindowEnabled(W().Button3->Handle()));

    // Tab order as the definition gives it, not creation order.
    const std::vector<TWinControl*> expected = {W().Swatch1, W().Button2, W().Button1, W().Button3};
    EXPECT_EQ(W().TabList(), expected);
    EXPECT_EQ(W().Button1->TabOrder(), 2);
}

TEST_F(SampleWindowTest, ShowsCentredAndPaintsItsControls) {
    W().Show();
    ASSERT_TRUE(PumpUntil([&] { return W().Swatch1->paints > 0; }));
    Pump(100);
    EXPECT_TRUE(HasEvent(W(), "show"));

    RECT window;
    GetWindowRect(W().Handle(), &window);
    EXPECT_EQ(window.left, (GetSystemMetrics(SM_CXSCREEN) - (window.right - window.left)) / 2);
    EXPECT_EQ(window.top, (GetSystemMetrics(SM_CYSCREEN) - (window.bottom - window.top)) / 2);

    RECT client = W().ClientRect();
    MapWindowPoints(W().Handle(), nullptr, reinterpret_cast<POINT*>(&client), 2);
    TBitmap shot;
    CaptureScreen(window, shot);
    shot.SaveToBytes();  // must be a valid picture
    {
        base::TMemoryStream out;
        shot.SaveToStream(out);
        FILE* f = std::fopen(UPDATER_TEST_OUTPUT "/framework_sample_window.bmp", "wb");
        ASSERT_NE(f, nullptr);
        std::fwrite(out.Memory(), 1, static_cast<size_t>(out.Size()), f);
        std::fclose(f);
    }
    TBitmap area;
    CaptureScreen(client, area);
    ASSERT_EQ(area.Width(), 320);
    // The swatch: its colour inside, a black frame, white text in the middle.
    EXPECT_EQ(area.Pixel(70, 20), 0x00C08040u);
    EXPECT_EQ(area.Pixel(60, 50), clBlack);
    EXPECT_EQ(area.Pixel(309, 129), clBlack);
    int white = 0;
    for (int y = 10; y < 130; ++y) {
        for (int x = 60; x < 310; ++x) {
            white += area.Pixel(x, y) == clWhite;
        }
    }
    EXPECT_GT(white, 60) << "the caption was not drawn";
    // The picture, 5 rows above the client area: its yellow disc at (24, 16)
    // shows at (24, 11).
    EXPECT_EQ(area.Pixel(24, 11), MakeColor(250, 200, 40));
    EXPECT_EQ(area.Pixel(2, 0), MakeColor(20, 82, 255 - 2 * 5));
    // The background is the button face.
    EXPECT_EQ(area.Pixel(52, 150), ColorToRGB(clBtnFace));
}

TEST_F(SampleWindowTest, ClicksReachTheirHandlersButNotThroughADisabledButton) {
    W().Show();
    PostClick(*W().Button2);
    ASSERT_TRUE(PumpUntil([&] { return HasEvent(W(), "click2"); }));
    EXPECT_FALSE(W().Button2->pressed);

    // Real mouse input: the system does not give it to a disabled window.
    Pump(50);
    auto clickAt = [](TControl& c) {
        const POINT p = c.ClientToScreen(POINT{10, 10});
        SetCursorPos(p.x, p.y);
        INPUT in[2] = {};
        in[0].type = in[1].type = INPUT_MOUSE;
        in[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
        in[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
        SendInput(2, in, sizeof(INPUT));
    };
    W().events.clear();
    clickAt(*W().Button3);
    Pump(200);
    clickAt(*W().Button2);
    ASSERT_TRUE(PumpUntil([&] { return HasEvent(W(), "click2"); }));
    EXPECT_EQ(W().events, std::vector<std::string>{"click2"});
    EXPECT_GE(W().Button2->enters, 1) << "the mouse came over the button";
}

TEST_F(SampleWindowTest, MouseEnterAndLeaveAreNotified) {
    W().Show();
    SendMessageW(W().Button1->Handle(), WM_MOUSEMOVE, 0, Point(3, 3));
    SendMessageW(W().Button1->Handle(), WM_MOUSEMOVE, 0, Point(4, 3));
    EXPECT_EQ(W().Button1->enters, 1);
    SendMessageW(W().Button1->Handle(), WM_MOUSELEAVE, 0, 0);
    EXPECT_EQ(W().Button1->leaves, 1);
    SendMessageW(W().Button1->Handle(), WM_MOUSEMOVE, 0, Point(3, 3));
    EXPECT_EQ(W().Button1->enters, 2);
}

TEST_F(SampleWindowTest, TabMovesTheFocusInTabOrderSkippingWhatCannotTakeIt) {
    W().Show();
    Pump(50);
    // On activation the first control that takes the focus has it: the
    // swatch is no tab stop, so the start button (tab order 1).
    EXPECT_TRUE(PumpUntil([&] { return W().Button2->Focused(); }, 1000));
    W().Button2->SetFocus();
    EXPECT_EQ(W().ActiveControl(), W().Button2);
    PostMessageW(W().Button2->Handle(), WM_KEYDOWN, VK_TAB, 0);
    ASSERT_TRUE(PumpUntil([&] { return W().Button1->Focused(); }, 1000));
    // Button3 is disabled: from Button1 the focus goes round to Button2.
    PostMessageW(W().Button1->Handle(), WM_KEYDOWN, VK_TAB, 0);
    ASSERT_TRUE(PumpUntil([&] { return W().Button2->Focused(); }, 1000));
    EXPECT_GE(W().Button2->focusGained, 2);
    // Keys reach the focused control's handler.
    PostMessageW(W().Button2->Handle(), WM_KEYDOWN, VK_SPACE, 0);
    EXPECT_TRUE(PumpUntil([&] { return HasEvent(W(), "click2"); }, 1000));
}

TEST_F(SampleWindowTest, AnExceptionInAHandlerReachesHandleException) {
    W().Show();
    W().onButton2 = [] { throw base::Exception("处理失败"); };
    std::vector<std::string> seen;
    Application().OnException = [&](TComponent* sender, std::exception_ptr error) {
        EXPECT_EQ(sender, &Application());
        seen.push_back(TApplication::ExceptionMessage(error));
    };
    PostClick(*W().Button2);
    ASSERT_TRUE(PumpUntil([&] { return !seen.empty(); }));
    EXPECT_EQ(seen, std::vector<std::string>{"处理失败"});
    // The loop goes on: the next click is handled too.
    W().onButton2 = nullptr;
    W().events.clear();
    PostClick(*W().Button2);
    EXPECT_TRUE(PumpUntil([&] { return HasEvent(W(), "click2"); }));
}

TEST_F(SampleWindowTest, WithoutAReplacementTheExceptionIsShownInAMessageBox) {
    Application().SetTitle("框架测试");
    W().Show();
    W().onButton2 = [] { throw base::Exception("文件无法写入"); };
    // Another thread finds the box, reads its text and presses OK.
    std::atomic<bool> found{false};
    std::wstring text;
    std::thread closer([&] {
        for (int i = 0; i < 500 && !found; ++i) {
            HWND box = FindWindowW(L"#32770", L"框架测试");
            if (box != nullptr) {
                wchar_t buffer[256] = {};
                GetDlgItemTextW(box, 0xFFFF, buffer, 256);
                text = buffer;
                found = true;
                PostMessageW(box, WM_COMMAND, IDOK, 0);
            }
            Sleep(10);
        }
    });
    PostClick(*W().Button2);
    PumpUntil([&] { return found.load(); }, 6000);
    closer.join();
    Pump(50);
    ASSERT_TRUE(found);
    EXPECT_EQ(text, L"文件无法写入.");
}

TEST_F(SampleWindowTest, AModalFormReturnsItsModalResultWithTheOtherFormsDisabled) {
    W().Show();
    auto dialog = std::make_unique<TForm>(nullptr);
    dialog->SetBorderStyle(bsDialog);
    dialog->SetClientWidth(200);
    dialog->SetClientHeight(80);
    dialog->SetPosition(poScreenCenter);
    auto* ok = new TSampleButton(dialog.get());
    ok->SetParent(dialog.get());
    ok->SetBounds(60, 30, 75, 25);
    ok->SetCaption("确定");
    bool ownerEnabledDuringModal = true;
    ok->OnClick = [&](TComponent*) {
        ownerEnabledDuringModal = IsWindowEnabled(W().Handle()) != 0;
        dialog->SetModalResult(mrOk);
    };
    std::vector<TCloseAction> closes;
    dialog->OnClose = [&](TComponent*, TCloseAction& action) { closes.push_back(action); };
    dialog->OnShow = [&](TComponent*) { PostClick(*ok); };
    // The application's message hook sees the modal loop's messages too.
    int hookedClicks = 0;
    Application().OnMessage = [&](MSG& msg, bool&) {
        hookedClicks += msg.hwnd == ok->Handle() && msg.message == WM_LBUTTONUP;
    };

    EXPECT_EQ(dialog->ShowModal(), mrOk);
    Application().OnMessage = nullptr;
    EXPECT_EQ(hookedClicks, 1);
    EXPECT_FALSE(ownerEnabledDuringModal);
    EXPECT_TRUE(IsWindowEnabled(W().Handle()));
    EXPECT_FALSE(dialog->Visible());
    EXPECT_FALSE(IsWindowVisible(dialog->Handle()));
    EXPECT_EQ(closes, std::vector<TCloseAction>{caHide});

    // Closing a modal form (its close box, Alt+F4) answers mrCancel; a
    // close handler may refuse once.
    int refusals = 1;
    dialog->OnClose = [&](TComponent*, TCloseAction& action) {
        if (refusals-- > 0) {
            action = caNone;
            PostMessageW(dialog->Handle(), WM_CLOSE, 0, 0);
        }
    };
    dialog->OnShow = [&](TComponent*) { PostMessageW(dialog->Handle(), WM_CLOSE, 0, 0); };
    EXPECT_EQ(dialog->ShowModal(), mrCancel);
    EXPECT_EQ(refusals, -1);
}

// A component that takes over its owner form's window procedure, as the
// skinned frame does: it sees each message first and passes on the rest.
class TMessageSpy : public TComponent {
  public:
    explicit TMessageSpy(TForm* form, LRESULT answer = 1000)
        : TComponent(form), form_(form), answer_(answer) {
        hook_.Install(*form, [this](TMessage& m, const TWndMethod& previous) { Spy(m, previous); });
    }

    std::vector<UINT> seen;
    std::string captionSeenFirst;

  private:
    void Spy(TMessage& m, const TWndMethod& previous) {
        seen.push_back(m.Msg);
        if (m.Msg == WM_USER + 201) {
            m.Result = answer_ + static_cast<LRESULT>(m.LParam);
            return;
        }
        if (m.Msg == WM_USER + 202) {
            hook_.Remove();  // from inside its own handler
        }
        if (m.Msg == WM_SETTEXT) {
            captionSeenFirst = form_->Caption();
        }
        previous(m);
    }

    TForm* form_;
    LRESULT answer_;
    TWindowProcHook hook_;
};

TEST_F(SampleWindowTest, AComponentCanTakeOverTheWindowProcedure) {
    HWND hwnd = W().Handle();
    auto* spy = new TMessageSpy(&W());
    EXPECT_EQ(SendMessageW(hwnd, WM_USER + 201, 0, 5), 1005);
    EXPECT_EQ(W().Perform(WM_USER + 201, 0, 7), 1007);
    // Passed on: the form still closes when asked, and window text still
    // changes.
    SendMessageW(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"新标题"));
    EXPECT_EQ(WindowText(hwnd), L"新标题");
    EXPECT_EQ(spy->captionSeenFirst, "框架示例");
    SendMessageW(hwnd, WM_CLOSE, 0, 0);
    EXPECT_TRUE(HasEvent(W(), "close"));
    const size_t count = spy->seen.size();
    EXPECT_GE(count, 4u);
    delete spy;
    SendMessageW(hwnd, WM_USER + 201, 0, 5);
    EXPECT_EQ(SendMessageW(hwnd, WM_USER + 201, 0, 5), 0) << "the form's own procedure again";
}

// Hooks come and go in any order: a hook that goes while a later one wraps it
// is skipped from then on, and the later one keeps working.
TEST_F(SampleWindowTest, WindowProcedureHooksLeaveTheChainInAnyOrder) {
    HWND hwnd = W().Handle();
    auto answer = [&] { return SendMessageW(hwnd, WM_USER + 201, 0, 5); };
    const struct {
        const char* what;
        bool firstGoesFirst;
    } orders[] = {{"first installed goes first", true}, {"last installed goes first", false}};
    for (const auto& o : orders) {
        auto* first = new TMessageSpy(&W(), 1000);
        auto* second = new TMessageSpy(&W(), 2000);
        EXPECT_EQ(answer(), 2005) << o.what;
        TMessageSpy* goes = o.firstGoesFirst ? first : second;
        TMessageSpy* stays = o.firstGoesFirst ? second : first;
        delete goes;
        EXPECT_EQ(answer(), stays == first ? 1005 : 2005) << o.what;
        delete stays;
        EXPECT_EQ(answer(), 0) << o.what << ": the form's own procedure again";
    }
    // A hook that removes itself while it handles a message passes that
    // message on and is gone for the next one.
    auto* spy = new TMessageSpy(&W());
    SendMessageW(hwnd, WM_USER + 202, 0, 0);
    EXPECT_EQ(answer(), 0);
    EXPECT_EQ(spy->seen.size(), 1u);
    delete spy;
}

TEST(Forms, AComponentMayChangeTheStyleEveryTimeTheWindowIsMade) {
    TForm form(nullptr);
    form.SetBorderStyle(bsSingle);
    form.OnCreateParams = [](TCreateParams& p) { p.style &= ~static_cast<DWORD>(WS_CAPTION); };
    auto style = [&] { return static_cast<DWORD>(GetWindowLongW(form.Handle(), GWL_STYLE)); };
    EXPECT_EQ(style() & WS_CAPTION, 0u);
    form.SetBorderStyle(bsSizeable);  // made again
    EXPECT_EQ(style() & WS_CAPTION, 0u);
    EXPECT_NE(style() & WS_THICKFRAME, 0u);
    form.OnCreateParams = nullptr;
    form.SetBorderStyle(bsSingle);
    EXPECT_EQ(style() & WS_CAPTION, WS_CAPTION);
}

TEST_F(SampleWindowTest, TimersFireFromTheMessageLoop) {
    W().Show();
    W().Timer1->SetEnabled(true);
    ASSERT_TRUE(PumpUntil([&] { return W().timerTicks > 0; }));
    Pump(100);
    EXPECT_EQ(W().timerTicks, 1) << "the handler switched the timer off";
}

TEST_F(SampleWindowTest, ClosingAFormThatIsNotTheMainFormHidesIt) {
    W().Show();
    ASSERT_NE(Application().MainForm(), &W());
    PostClick(*W().Button1);  // its handler closes the window
    ASSERT_TRUE(PumpUntil([&] { return HasEvent(W(), "close"); }));
    EXPECT_FALSE(W().Visible());
    EXPECT_FALSE(IsWindowVisible(W().Handle()));
    EXPECT_FALSE(Application().Terminated());
}

// A thread held by a long operation answers what another thread sends (a
// query at once), but nothing from its queue runs, and an action that was
// sent (a close, a click on a button) waits until the loop is back.
TEST_F(SampleWindowTest, WhileBusyTheThreadAnswersQueriesAndKeepsActionsForTheLoop) {
    W().Show();
    HWND form = W().Handle();
    HWND button = W().Button2->Handle();
    PostClick(*W().Button2);
    W().Timer1->SetEnabled(true);
    std::wstring text;
    LRESULT closeAnswered = -1;
    std::atomic<bool> done{false};
    std::thread other([&] {
        DWORD_PTR result = 0;
        wchar_t buffer[64] = {};
        if (SendMessageTimeoutW(form, WM_GETTEXT, 64, reinterpret_cast<LPARAM>(buffer), SMTO_NORMAL,
                                2000, &result) != 0) {
            text = buffer;
        }
        if (SendMessageTimeoutW(form, WM_CLOSE, 0, 0, SMTO_NORMAL, 2000, &result) != 0) {
            closeAnswered = static_cast<LRESULT>(result);
        }
        SendMessageTimeoutW(button, WM_LBUTTONDOWN, MK_LBUTTON, Point(5, 5), SMTO_NORMAL, 2000,
                            &result);
        SendMessageTimeoutW(button, WM_LBUTTONUP, 0, Point(5, 5), SMTO_NORMAL, 2000, &result);
        done = true;
    });
    // The long operation: 3 s at most, answering every millisecond or so.
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (!done && std::chrono::steady_clock::now() < end) {
        Application().AnswerSentMessages();
        Sleep(1);
    }
    other.join();
    EXPECT_TRUE(done);
    EXPECT_EQ(text, L"框架示例");
    EXPECT_EQ(closeAnswered, 0);
    EXPECT_EQ(W().events, (std::vector<std::string>{"create", "show"}))
        << "nothing ran inside the operation";
    EXPECT_TRUE(W().Visible());

    // Back in the loop: the posted click, the timer, and then the close and
    // the click that were sent.
    ASSERT_TRUE(PumpUntil([&] { return HasEvent(W(), "close") && W().timerTicks > 0; }));
    Pump(50);
    EXPECT_EQ(std::count(W().events.begin(), W().events.end(), "click2"), 2);
    EXPECT_FALSE(W().Visible());
}

// A control that keeps its background: it answers the erase message without
// drawing, and paints nothing either.
class TKeepBackground : public TCustomControl {
  public:
    using TCustomControl::TCustomControl;
    int erases = 0;

  protected:
    void WMEraseBkgnd(TMessage& m) override {
        ++erases;
        m.Result = 1;
    }
};

TEST(Controls, AControlMayKeepItsBackgroundFromBeingErased) {
    TForm form(nullptr);
    form.SetBorderStyle(bsNone);
    form.SetBounds(100, 100, 120, 60);
    form.SetColor(clBlue);
    auto* plain = new TCustomControl(&form);
    plain->SetParent(&form);
    plain->SetBounds(0, 0, 60, 60);
    plain->SetColor(clRed);
    auto* keep = new TKeepBackground(&form);
    keep->SetParent(&form);
    keep->SetBounds(60, 0, 60, 60);
    keep->SetColor(clRed);
    form.Show();
    ASSERT_TRUE(PumpUntil([&] { return keep->erases > 0; }));
    Pump(50);
    TBitmap shot;
    CaptureScreen(Rect(100, 100, 220, 160), shot);
    // Erased with its colour by default; the other shows no red at all.
    EXPECT_EQ(shot.Pixel(30, 30), clRed);
    EXPECT_NE(shot.Pixel(90, 30), clRed);
}

TEST(Graphics, RegionsCombineAndLeaveTheirHandleOnRelease) {
    TRegion a = TRegion::FromRect(0, 0, 10, 10);
    EXPECT_FALSE(a.Empty());
    TRegion none;
    EXPECT_TRUE(none.Empty());
    none.Union(TRegion::FromRect(20, 0, 30, 5));
    EXPECT_FALSE(none.Empty());
    a.Union(none);
    a.Offset(5, 5);
    RECT box;
    GetRgnBox(a.Handle(), &box);
    EXPECT_EQ(box.left, 5);
    EXPECT_EQ(box.right, 35);
    EXPECT_EQ(box.bottom, 15);
    EXPECT_TRUE(PtInRegion(a.Handle(), 10, 10));
    EXPECT_FALSE(PtInRegion(a.Handle(), 20, 12)) << "the gap between the two";
    HRGN taken = a.Release();
    EXPECT_EQ(a.Handle(), nullptr);
    EXPECT_TRUE(DeleteObject(taken)) << "the handle was still alive";
}

TEST(Forms, TheApplicationKnowsItsFormsAndShowsItsTitleOnTheTaskBar) {
    const int before = Application().FormCount();
    {
        TForm a(nullptr);
        TForm b(nullptr);
        EXPECT_EQ(Application().FormCount(), before + 2);
        EXPECT_EQ(Application().Forms(before + 1), &b);
    }
    EXPECT_EQ(Application().FormCount(), before);
    Application().SetTitle("升级");
    wchar_t title[32] = {};
    GetWindowTextW(Application().Handle(), title, 32);
    EXPECT_EQ(std::wstring(title), L"升级");
}

TEST(Forms, BorderStylesGiveTheirFrames) {
    struct Case {
        TBorderStyle style;
        LONG present;
        LONG absent;
    };
    const Case cases[] = {
        {bsNone, static_cast<LONG>(WS_POPUP), WS_CAPTION | WS_THICKFRAME},
        {bsSingle, WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, WS_THICKFRAME},
        {bsSizeable, WS_CAPTION | WS_THICKFRAME | WS_MAXIMIZEBOX, 0},
        {bsDialog, WS_CAPTION | WS_SYSMENU, WS_THICKFRAME | WS_MINIMIZEBOX},
    };
    for (const Case& c : cases) {
        TForm form(nullptr);
        form.SetBorderStyle(c.style);
        form.SetClientWidth(300);
        form.SetClientHeight(50);
        const LONG style = GetWindowLongW(form.Handle(), GWL_STYLE);
        EXPECT_EQ(style & c.present, c.present) << "style " << c.style;
        EXPECT_EQ(style & c.absent, 0) << "style " << c.style;
        EXPECT_EQ(form.ClientWidth(), 300) << "style " << c.style;
        EXPECT_EQ(form.ClientHeight(), 50) << "style " << c.style;
    }
}

TEST(Bitmap, GdiDrawsIntoThePixelsThePortableCodeReads) {
    TBitmap b(20, 10);
    b.Canvas().Brush().SetColor(clRed);
    b.Canvas().FillRect(Rect(2, 2, 5, 5));
    EXPECT_EQ(b.Pixel(2, 2), clRed);
    EXPECT_EQ(b.Pixel(4, 4), clRed);
    EXPECT_EQ(b.Pixel(5, 5), clBlack);
    // Pixels written directly are what GDI copies.
    b.SetPixel(10, 3, clYellow);
    TBitmap copy(20, 10);
    copy.Canvas().Draw(0, 0, b);
    EXPECT_EQ(copy.Pixel(10, 3), clYellow);
    EXPECT_EQ(copy.Pixel(3, 3), clRed);
    // A new size gives new pixels, and the canvas draws into them.
    b.SetSize(30, 30);
    b.Canvas().Brush().SetColor(clBlue);
    b.Canvas().FillRect(Rect(25, 25, 30, 30));
    EXPECT_EQ(b.Pixel(29, 29), clBlue);
    EXPECT_EQ(b.Pixel(2, 2), clBlack);
    // Setting a colour makes a clear brush fill again, also the same colour.
    b.Canvas().Brush().SetStyle(bsClear);
    b.Canvas().FillRect(Rect(0, 0, 3, 3));
    EXPECT_EQ(b.Pixel(1, 1), clBlack);
    b.Canvas().Brush().SetColor(clBlue);
    b.Canvas().FillRect(Rect(0, 0, 3, 3));
    EXPECT_EQ(b.Pixel(1, 1), clBlue);
    // Lines end before their end point.
    b.Canvas().Pen().SetColor(clWhite);
    b.Canvas().MoveTo(0, 20);
    b.Canvas().LineTo(5, 20);
    EXPECT_EQ(b.Pixel(4, 20), clWhite);
    EXPECT_EQ(b.Pixel(5, 20), clBlack);
}

TEST(Bitmap, IndexedBitmapsDrawThroughTheirPalette) {
    TBitmapData indexed(4, 2, pf8bit);
    indexed.SetPalette({TPaletteEntry::FromColor(clBlack), TPaletteEntry::FromColor(clYellow),
                        TPaletteEntry::FromColor(MakeColor(10, 20, 30))});
    indexed.SetPixelIndex(1, 0, 1);
    indexed.SetPixelIndex(2, 1, 2);
    TBitmap target(4, 2);
    target.Canvas().Draw(0, 0, indexed);
    EXPECT_EQ(target.Pixel(1, 0), clYellow);
    EXPECT_EQ(target.Pixel(2, 1), MakeColor(10, 20, 30));
    EXPECT_EQ(target.Pixel(0, 0), clBlack);
}

TEST(Bitmap, TransparentAndStretchedDrawing) {
    TBitmap glyph(4, 4);
    glyph.Canvas().Brush().SetColor(MakeColor(255, 0, 255));
    glyph.Canvas().FillRect(Rect(0, 0, 4, 4));
    glyph.Canvas().Brush().SetColor(clBlue);
    glyph.Canvas().FillRect(Rect(1, 1, 3, 3));
    glyph.SetTransparent(true);  // automatic: the bottom-left pixel's colour
    EXPECT_EQ(glyph.TransparentColor(), MakeColor(255, 0, 255));

    TBitmap target(8, 8);
    target.Canvas().Brush().SetColor(clWhite);
    target.Canvas().FillRect(Rect(0, 0, 8, 8));
    target.Canvas().Draw(2, 2, glyph);
    EXPECT_EQ(target.Pixel(2, 2), clWhite);
    EXPECT_EQ(target.Pixel(3, 3), clBlue);
    EXPECT_EQ(target.Pixel(4, 4), clBlue);
    EXPECT_EQ(target.Pixel(5, 5), clWhite);

    target.Canvas().StretchDraw(Rect(0, 0, 8, 8), glyph);
    EXPECT_EQ(target.Pixel(0, 0), MakeColor(255, 0, 255));
    EXPECT_EQ(target.Pixel(2, 2), clBlue);
    EXPECT_EQ(target.Pixel(5, 5), clBlue);
    EXPECT_EQ(target.Pixel(6, 6), MakeColor(255, 0, 255));

    // A copy keeps pixels and transparency; the original stays drawable.
    TBitmap copy(glyph);
    EXPECT_TRUE(copy.Transparent());
    EXPECT_EQ(copy.Pixel(1, 1), clBlue);
    copy.Canvas().Brush().SetColor(clRed);
    copy.Canvas().FillRect(Rect(0, 0, 1, 1));
    EXPECT_EQ(glyph.Pixel(0, 0), MakeColor(255, 0, 255));
}

TEST(Graphics, FontsAnnounceChangesAndTextIsMeasured) {
    TFont font;
    int changes = 0;
    font.OnChange = [&](TFont&) { ++changes; };
    font.SetName("Arial");
    font.SetHeight(-14);
    font.SetHeight(-14);
    font.SetStyle(fsBold);
    EXPECT_EQ(changes, 3);
    TFont other;
    other.Assign(font);
    EXPECT_TRUE(other.SameAs(font));
    font.Assign(other);
    EXPECT_EQ(changes, 3) << "assigning the same attributes changes nothing";

    TBitmap b(200, 40);
    b.Canvas().Font().Assign(font);
    const SIZE one = b.Canvas().TextExtent("升级");
    const SIZE two = b.Canvas().TextExtent("升级升级");
    EXPECT_GT(one.cx, 10);
    EXPECT_GE(one.cy, 12);
    EXPECT_NEAR(two.cx, 2 * one.cx, 2);
    b.Canvas().Font().SetHeight(-28);
    EXPECT_GT(b.Canvas().TextExtent("升级").cx, one.cx * 3 / 2);
}

TEST(Graphics, ACanvasLetsGoOfAnObjectBeforeItIsFreed) {
    // GDI must not delete a pen, brush or font that is selected into a device
    // context: the canvas puts the previous one back first.
    struct Case {
        const char* name;
        UINT type;
        std::function<void(TCanvas&)> draw;
        std::function<void(TCanvas&)> change;
    };
    const Case cases[] = {
        {"pen", OBJ_PEN, [](TCanvas& c) { c.LineTo(10, 10); },
         [](TCanvas& c) { c.Pen().SetColor(clRed); }},
        {"brush", OBJ_BRUSH, [](TCanvas& c) { c.Rectangle(0, 0, 10, 10); },
         [](TCanvas& c) { c.Brush().SetColor(clRed); }},
        {"font", OBJ_FONT, [](TCanvas& c) { c.TextOut(0, 0, "a"); },
         [](TCanvas& c) { c.Font().SetHeight(-20); }},
    };
    for (const Case& k : cases) {
        TBitmap b(20, 20);
        TCanvas& canvas = b.Canvas();
        k.draw(canvas);
        HDC dc = canvas.Handle();
        HGDIOBJ used = GetCurrentObject(dc, k.type);
        ASSERT_NE(used, nullptr) << k.name;
        k.change(canvas);
        EXPECT_NE(GetCurrentObject(dc, k.type), used) << k.name << " still selected";
        EXPECT_EQ(GetObjectType(used), 0u) << k.name << " not freed";
        k.draw(canvas);  // and the canvas draws on with the new one
        EXPECT_NE(GetObjectType(GetCurrentObject(dc, k.type)), 0u) << k.name;
    }
}

// Adds controls to its parent while its window is made, as a list box adds
// its scroll bar, and deletes the sibling it was given.
class TSpawner : public TWinControl {
  public:
    using TWinControl::TWinControl;
    TWinControl* doomed = nullptr;

  protected:
    void CreateHandleDone() override {
        for (int i = 0; i < 8; ++i) {
            auto* c = new TWinControl(Owner());
            c->SetParent(Parent());
        }
        delete doomed;
    }
};

TEST(Controls, ChildrenMayComeAndGoWhileTheirParentMakesTheirWindows) {
    TForm form(nullptr);
    form.SetBorderStyle(bsNone);
    auto* spawner = new TSpawner(&form);
    spawner->SetParent(&form);
    spawner->doomed = new TWinControl(&form);
    spawner->doomed->SetParent(&form);
    auto* last = new TWinControl(&form);
    last->SetParent(&form);
    form.HandleNeeded();
    ASSERT_EQ(form.ControlCount(), 10);
    for (int i = 0; i < form.ControlCount(); ++i) {
        auto* c = static_cast<TWinControl*>(form.Controls(i));
        ASSERT_TRUE(c->HandleAllocated()) << i;
        EXPECT_EQ(GetParent(c->Handle()), form.Handle()) << i;
    }
}

// A control over a window of a system class, taken over by the framework.
class TSystemEdit : public TWinControl {
  public:
    using TWinControl::TWinControl;

  protected:
    void CreateParams(TCreateParams& p) override {
        TWinControl::CreateParams(p);
        p.windowClass = L"EDIT";
        p.systemClass = true;
    }
};

TEST(Controls, EachWindowLeadsToItsControlUntilItIsDestroyed) {
    TForm form(nullptr);
    form.SetBorderStyle(bsNone);
    auto* own = new TWinControl(&form);
    own->SetParent(&form);
    auto* edit = new TSystemEdit(&form);
    edit->SetParent(&form);
    form.HandleNeeded();
    HWND foreign = CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 0, 0, 10, 10, form.Handle(),
                                   nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(foreign, nullptr);
    EXPECT_EQ(TWinControl::FindControl(form.Handle()), &form);
    EXPECT_EQ(TWinControl::FindControl(own->Handle()), own);
    EXPECT_EQ(TWinControl::FindControl(edit->Handle()), edit);
    EXPECT_EQ(TWinControl::FindControl(foreign), nullptr);
    EXPECT_EQ(TWinControl::FindControl(nullptr), nullptr);
    // Messages reach the control through the lookup: the system window
    // answers with its own text.
    SetWindowTextW(edit->Handle(), L"abc");
    EXPECT_EQ(SendMessageW(edit->Handle(), WM_GETTEXTLENGTH, 0, 0), 3);

    const HWND oldOwn = own->Handle();
    const HWND oldEdit = edit->Handle();
    own->RecreateWnd();
    edit->RecreateWnd();
    EXPECT_EQ(TWinControl::FindControl(own->Handle()), own);
    EXPECT_EQ(TWinControl::FindControl(edit->Handle()), edit);
    // A destroyed window leads nowhere (unless the system gave its handle
    // to the new window).
    EXPECT_EQ(TWinControl::FindControl(oldOwn), oldOwn == own->Handle() ? own : nullptr);
    EXPECT_EQ(TWinControl::FindControl(oldEdit), oldEdit == edit->Handle() ? edit : nullptr);
    DestroyWindow(foreign);
    const HWND ownWindow = own->Handle();
    delete own;
    EXPECT_EQ(TWinControl::FindControl(ownWindow), nullptr);
}

// A form that frees itself when closed, and counts its deletions.
class TFreeOnClose : public TForm {
  public:
    TFreeOnClose(TComponent* owner, int& deletions) : TForm(owner), deletions_(deletions) {
        OnClose = [](TComponent*, TCloseAction& action) { action = caFree; };
    }
    ~TFreeOnClose() override { ++deletions_; }

  private:
    int& deletions_;
};

TEST(Forms, AFormClosedWithCaFreeIsDeletedExactlyOnce) {
    struct Case {
        const char* name;
        // Closes the form with caFree and whatever else happens before the
        // message loop runs.
        std::function<void(TForm*, TComponent* owner)> act;
    };
    const Case cases[] = {
        {"closed once", [](TForm* f, TComponent*) { f->Close(); }},
        {"closed twice",
         [](TForm* f, TComponent*) {
             f->Close();
             f->Close();
         }},
        {"deleted after the close",
         [](TForm* f, TComponent*) {
             f->Close();
             delete f;
         }},
        {"freed by its owner after the close",
         [](TForm* f, TComponent* owner) {
             f->Close();
             delete owner;
         }},
    };
    for (const Case& c : cases) {
        int deletions = 0;
        auto* owner = new TComponent(nullptr);
        auto* form = new TFreeOnClose(owner, deletions);
        form->Show();
        c.act(form, owner);
        Pump(50);
        EXPECT_EQ(deletions, 1) << c.name;
        if (std::string(c.name).find("owner") == std::string::npos) {
            delete owner;
        }
    }
}

TEST(Forms, MessageFiltersFormAChainThatEachMemberLeavesAlone) {
    const HWND window =
        CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 1, 1, HWND_MESSAGE, nullptr, nullptr, nullptr);
    std::vector<std::string> seen;
    auto watch = [&](std::string name, bool swallow) {
        return [&seen, name, swallow](MSG& msg, bool& handled) {
            if (msg.message == WM_APP + 3) {
                seen.push_back(name);
                handled = swallow;
            }
        };
    };
    TApplication& app = Application();
    app.OnMessage = watch("slot", false);
    const int first = app.AddMessageFilter(watch("first", false));
    int second = 0;
    // A filter that removes itself, as a menu does when a key closes it.
    second = app.AddMessageFilter([&](MSG& msg, bool& handled) {
        if (msg.message == WM_APP + 3) {
            seen.push_back("second");
            app.RemoveMessageFilter(second);
        }
        (void)handled;
    });
    const int third = app.AddMessageFilter(watch("third", false));
    const auto post = [&] {
        seen.clear();
        PostMessageW(window, WM_APP + 3, 0, 0);
        app.ProcessMessages();
        return seen;
    };
    EXPECT_EQ(post(), (std::vector<std::string>{"third", "second", "first", "slot"}));
    // The second is gone, the others stay, whatever order they leave in.
    EXPECT_EQ(post(), (std::vector<std::string>{"third", "first", "slot"}));
    app.RemoveMessageFilter(third);
    const int swallowing = app.AddMessageFilter(watch("swallowing", true));
    EXPECT_EQ(post(), (std::vector<std::string>{"swallowing"}));
    app.RemoveMessageFilter(swallowing);
    app.RemoveMessageFilter(first);
    EXPECT_EQ(post(), (std::vector<std::string>{"slot"}));
    app.OnMessage = nullptr;
    DestroyWindow(window);
}

TEST(Timers, ATimerMayBeFreedFromItsOwnEvent) {
    // Deleted from its own handler: the handler runs to its end with what it
    // holds intact.
    {
        auto* timer = new TTimer(nullptr);
        timer->SetInterval(10);
        std::string seen;
        const std::string label(40, 'x');  // held on the heap by the handler
        timer->OnTimer = [&seen, &timer, label](TComponent*) {
            delete timer;
            timer = nullptr;
            seen = label;
        };
        ASSERT_TRUE(PumpUntil([&] { return timer == nullptr; }));
        EXPECT_EQ(seen, std::string(40, 'x'));
    }
    // Released from its own handler: stopped at once, freed once the handler
    // is done; released elsewhere: freed at once.
    {
        TComponent owner(nullptr);
        auto* timer = new TTimer(&owner);
        timer->SetInterval(10);
        int ticks = 0;
        bool aliveAfterRelease = false;
        timer->OnTimer = [&](TComponent*) {
            ++ticks;
            timer->Release();
            aliveAfterRelease = owner.ComponentCount() == 1;
        };
        ASSERT_TRUE(PumpUntil([&] { return ticks > 0; }));
        EXPECT_TRUE(aliveAfterRelease);
        EXPECT_EQ(owner.ComponentCount(), 0);
        Pump(50);
        EXPECT_EQ(ticks, 1);
        auto* idle = new TTimer(&owner);
        idle->Release();
        EXPECT_EQ(owner.ComponentCount(), 0);
    }
}

}  // namespace
