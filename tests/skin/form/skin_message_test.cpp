// The skinned message box on the virtual display: its layout with the
// stored skin "yellow", the keys that close it and the results they give,
// the text that other programs read from it, and its lifetime. Modal boxes
// are driven from a timer inside their own modal loop.

#include <gtest/gtest.h>

#include "support/input.h"
#include "support/message_pump.h"
#include "support/skins.h"

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/forms.h"
#include "skin/controls/button.h"
#include "skin/data/resource_strings.h"
#include "skin/data/skin_data.h"
#include "skin/form/message.h"
#include "skin/form/skin_broadcast.h"
#include "skin/form/skin_form.h"

namespace skin {
namespace {

using namespace framework;

std::wstring Text(HWND hwnd) {
    wchar_t text[512] = {};
    GetWindowTextW(hwnd, text, 512);
    return text;
}

// A child window's bounds in its parent's client coordinates.
RECT ChildRect(HWND child) {
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

std::string Describe(const RECT& r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + " " +
           std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top);
}

std::string Describe(const TControl& c) {
    return Describe(RECT{c.Left(), c.Top(), c.Left() + c.Width(), c.Top() + c.Height()});
}

// The button of the box whose window shows `caption`, or null.
HWND ButtonWindow(HWND box, const std::wstring& caption) {
    HWND child = nullptr;
    for (int i = 0; i < 20 && (child = FindWindowExW(box, child, L"UpdaterControl", nullptr));
         ++i) {
        if (Text(child) == caption) {
            return child;
        }
    }
    return nullptr;
}

// The message box on the screen in a modal loop, or null.
TbsMessageForm* OpenBox() {
    for (int i = 0; i < Application().FormCount(); ++i) {
        auto* box = dynamic_cast<TbsMessageForm*>(Application().Forms(i));
        if (box != nullptr && box->Modal() && box->HandleAllocated() &&
            IsWindowVisible(box->Handle())) {
            return box;
        }
    }
    return nullptr;
}

void PostKey(HWND target, WPARAM key) {
    PostMessageW(target, WM_KEYDOWN, key, 0);
    PostMessageW(target, WM_KEYUP, key, 0xC0000000);
}

class MessageBoxTest : public ::testing::Test {
  protected:
    void SetUp() override {
        SetCursorPos(1, 1);
        InstallSkinBroadcast();
        owner_ = std::make_unique<TComponent>(nullptr);
        yellow_ = test_support::SkinDataOf(owner_.get(), "yellow");
        ASSERT_FALSE(yellow_->SkinEmpty());
        box_ = new TbsSkinMessage(owner_.get());
        box_->SetSkinData(yellow_);
        box_->SetCtrlSkinData(yellow_);
        box_->SetUseSkinFont(false);
        formsBefore_ = Application().FormCount();
    }
    void TearDown() override {
        owner_.reset();
        test_support::Pump(10);
        EXPECT_EQ(Application().FormCount(), formsBefore_) << "every box is freed";
    }

    using Step = std::function<void(TbsMessageForm&)>;

    // Shows a box and, once it is on the screen, calls the steps with it
    // one per tick of a timer inside the box's modal loop. A box still open
    // about three seconds after its last step is closed, and the test fails.
    int Run(const std::string& text, int kind, int buttons, const std::vector<Step>& steps,
            int helpContext = 0) {
        size_t next = 0;
        int ticks = 0;
        TTimer timer(nullptr);
        timer.SetInterval(20);
        timer.OnTimer = [&](TComponent*) {
            TbsMessageForm* box = OpenBox();
            if (box != nullptr && next < steps.size()) {
                steps[next++](*box);
                return;
            }
            if (++ticks == 150) {
                ADD_FAILURE() << "the box of \"" << text << "\" stayed open";
                for (int i = 0; i < Application().FormCount(); ++i) {
                    if (Application().Forms(i)->Modal()) {
                        Application().Forms(i)->SetModalResult(mrAbort);
                    }
                }
            }
        };
        const int result = box_->ShowMessageDialog(text, kind, buttons, helpContext);
        timer.SetEnabled(false);
        EXPECT_EQ(next, steps.size()) << text << ": the box closed before every step ran";
        return result;
    }
    int Run(const std::string& text, int kind, int buttons, const Step& step) {
        return Run(text, kind, buttons, std::vector<Step>{step});
    }

    std::unique_ptr<TComponent> owner_;
    TbsSkinData* yellow_ = nullptr;
    TbsSkinMessage* box_ = nullptr;
    int formsBefore_ = 0;
};

constexpr int kYes = 1 << mbYes;
constexpr int kNo = 1 << mbNo;

// An error with the Yes button alone, as the updater shows them: the
// caption, the text in a STATIC child at (50,15) drawn in white over the
// skin's background, the icon at (5,10), one 70 x 25 Yes button centred
// 10 above the bottom and focused; Enter gives 6.
TEST_F(MessageBoxTest, AnErrorWithYesIsLaidOutAndEnterGivesYes) {
    const int result = Run("升级完成.", 1, kYes, [&](TbsMessageForm& box) {
        HWND h = box.Handle();
        EXPECT_EQ(Text(h), L"错误");
        HWND message = FindWindowExW(h, nullptr, L"STATIC", nullptr);
        HWND yes = ButtonWindow(h, L"是(&Y)");
        const auto* icon = dynamic_cast<TControl*>(box.FindComponent("Image"));
        ASSERT_TRUE(message != nullptr && yes != nullptr && icon != nullptr);
        EXPECT_EQ(Text(message), L"升级完成.");
        EXPECT_NE(GetWindowLongW(message, GWL_STYLE) & SS_NOPREFIX, 0);
        const RECT label = ChildRect(message);
        EXPECT_EQ(label.left, 50);
        EXPECT_EQ(label.top, 15);
        EXPECT_EQ(Describe(*icon), "5,10 32x32");
        RECT client, window;
        GetClientRect(h, &client);
        GetWindowRect(h, &window);
        const int cw = client.right;
        const int ch = client.bottom;
        EXPECT_EQ(Describe(ChildRect(yes)),
                  Describe(RECT{(cw - 70) / 2, ch - 35, (cw + 70) / 2, ch - 10}));
        // One line: 25 + lh + 50 high; 40 wider than the label's right edge,
        // unless that is narrower than the skin picture (161).
        EXPECT_EQ(ch, 25 + (label.bottom - label.top) + 50);
        const int ww = window.right - window.left;
        EXPECT_EQ(ww, std::max<int>(label.right + 40 + ww - cw, 161));
        EXPECT_EQ(GetFocus(), yes) << "the default button has the focus";

        TFont font;
        box.MessageLabel()->TextFont(font);
        EXPECT_EQ(font.Color(), 0xFFFFFFu) << "the skin's label colour";
        EXPECT_EQ(font.Name(), "Arial");
        EXPECT_EQ(font.Height(), 14);
        // The label as it paints itself against the form's background under
        // it: the text differs from it, the rest is the background.
        const int w = label.right - label.left;
        const int lh = label.bottom - label.top;
        TBitmap painted(w, lh);
        TBitmap background(w, lh);
        SendMessageW(message, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(painted.Canvas().Handle()),
                     PRF_CLIENT);
        HDC dc = background.Canvas().Handle();
        SetViewportOrgEx(dc, -label.left, -label.top, nullptr);
        SendMessageW(h, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
        SetViewportOrgEx(dc, 0, 0, nullptr);
        int same = 0, differing = 0, white = 0;
        for (int y = 0; y < lh; ++y) {
            for (int x = 0; x < w; ++x) {
                const TColor p = painted.Canvas().Pixel(x, y);
                const bool text = p != background.Canvas().Pixel(x, y);
                (text ? differing : same) += 1;
                white += text && p == 0xFFFFFF ? 1 : 0;
            }
        }
        EXPECT_GT(white, 0) << "the text is drawn in white";
        EXPECT_GT(same, differing) << "over the dialog's own background";
        PostKey(GetFocus(), VK_RETURN);
    });
    EXPECT_EQ(result, mrYes);
}

// Esc and the frame's close: results without a button press.
TEST_F(MessageBoxTest, EscAndCloseGiveTheCancelResult) {
    const struct {
        const char* what;
        int buttons;
        std::function<void(HWND)> close;
        int result;
    } cases[] = {
        {"Esc without a cancel button", kYes, [](HWND h) { PostKey(h, VK_ESCAPE); }, mrCancel},
        {"Esc on the focused Yes", kYes, [](HWND) { PostKey(GetFocus(), VK_ESCAPE); }, mrCancel},
        {"Alt+F4 / close", kYes, [](HWND h) { PostMessageW(h, WM_CLOSE, 0, 0); }, mrCancel},
        {"Esc with No as cancel button", kYes | kNo, [](HWND h) { PostKey(h, VK_ESCAPE); }, mrNo},
        {"Enter with Yes as default", kYes | kNo, [](HWND h) { PostKey(h, VK_RETURN); }, mrYes},
        {"Esc with Cancel", (1 << mbOK) | (1 << mbCancel), [](HWND h) { PostKey(h, VK_ESCAPE); },
         mrCancel},
        {"Enter on Abort Retry Ignore", (1 << mbAbort) | (1 << mbRetry) | (1 << mbIgnore),
         [](HWND h) { PostKey(h, VK_RETURN); }, mrRetry},
        {"no buttons, closed", 0, [](HWND h) { PostMessageW(h, WM_CLOSE, 0, 0); }, mrCancel},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Run(c.what, 3, c.buttons, [&](TbsMessageForm& box) { c.close(box.Handle()); }),
                  c.result)
            << c.what;
    }
}

// The frame shows its close button alone, and a real click on it gives 2.
TEST_F(MessageBoxTest, TheFramesCloseButtonGivesTwo) {
    POINT centre{};
    int shown = 0;
    const int result = Run("关闭", 1, kYes,
                           {[&](TbsMessageForm& box) {
                                RECT window;
                                GetWindowRect(box.Handle(), &window);
                                for (const TbsFrameObject& o : box.SkinForm()->Objects()) {
                                    if (o.place.kind == fokStdButton && o.place.visible &&
                                        !o.place.object_rect.IsEmpty()) {
                                        ++shown;
                                        const TRect& r = o.place.object_rect;
                                        centre = POINT{window.left + (r.left + r.right) / 2,
                                                       window.top + (r.top + r.bottom) / 2};
                                    }
                                }
                                test_support::MoveTo(centre);
                            },
                            [&](TbsMessageForm&) { test_support::ClickAt(centre); }});
    SetCursorPos(1, 1);
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(result, mrCancel);
}

// Two buttons side by side, 80 apart and centred; Tab moves the focus from
// Yes to No, and Enter then presses No.
TEST_F(MessageBoxTest, YesAndNoStandSideBySide) {
    RECT client{}, yes{}, no{};
    std::wstring first, second;
    const int result = Run("确认?", 3, kYes | kNo,
                           {[&](TbsMessageForm& box) {
                                GetClientRect(box.Handle(), &client);
                                yes = ChildRect(ButtonWindow(box.Handle(), L"是(&Y)"));
                                no = ChildRect(ButtonWindow(box.Handle(), L"否(&N)"));
                                first = Text(GetFocus());
                                PostKey(GetFocus(), VK_TAB);
                            },
                            [&](TbsMessageForm&) {
                                second = Text(GetFocus());
                                PostKey(GetFocus(), VK_RETURN);
                            }});
    EXPECT_EQ(result, mrNo);
    EXPECT_EQ(first, L"是(&Y)");
    EXPECT_EQ(second, L"否(&N)");
    const int x = (client.right - 150) / 2;
    EXPECT_EQ(Describe(yes), Describe(RECT{x, client.bottom - 35, x + 70, client.bottom - 10}));
    EXPECT_EQ(Describe(no),
              Describe(RECT{x + 80, client.bottom - 35, x + 150, client.bottom - 10}));
}

// What the text does to the box: "&" stays as it is, lines stack, a text
// wider than the work area is cut to it, the custom kind has no icon.
TEST_F(MessageBoxTest, TheTextShapesTheBox) {
    Application().SetTitle("升级");
    const auto one = box_->CreateMessageDialog("一", mtError, kYes, 0);
    const int lh = one->MessageLabel()->Height();
    ASSERT_GT(lh, 0);

    // "&" is no accelerator: shown, measured and read back as it is.
    const auto amp = box_->CreateMessageDialog("a&b", mtWarning, kYes, 0);
    HWND text = FindWindowExW(amp->Handle(), nullptr, L"STATIC", nullptr);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(Text(text), L"a&b");
    const auto ab = box_->CreateMessageDialog("ab", mtWarning, kYes, 0);
    EXPECT_GT(amp->MessageLabel()->Width(), ab->MessageLabel()->Width())
        << "the \"&\" takes room of its own";

    const auto three = box_->CreateMessageDialog("一\n二\n三", mtInformation, kYes, 0);
    EXPECT_EQ(three->MessageLabel()->Height(), 3 * lh);
    EXPECT_EQ(three->ClientHeight(), 25 + 3 * lh + 50);
    const auto* image = dynamic_cast<TControl*>(three->FindComponent("Image"));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(Describe(*image), "5," + std::to_string(15 + 3 * lh / 2 - 16) + " 32x32");

    const auto custom = box_->CreateMessageDialog("自定义", mtCustom, kYes, 0);
    EXPECT_EQ(custom->Caption(), "升级");
    EXPECT_EQ(custom->FindComponent("Image"), nullptr);
    EXPECT_EQ(custom->MessageLabel()->Left(), 50);
    EXPECT_EQ(custom->MessageLabel()->Top(), 15);

    RECT area;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    const auto wide = box_->CreateMessageDialog(std::string(400, 'W'), mtError, kYes, 0);
    EXPECT_GT(wide->MessageLabel()->Width(), area.right - area.left) << "not wrapped";
    EXPECT_EQ(wide->Width(), area.right - area.left);
    EXPECT_EQ(wide->MessageLabel()->Height(), lh);

    // A short text: the box keeps the skin picture's width (161).
    const auto narrow = box_->CreateMessageDialog("", mtCustom, 0, 0);
    EXPECT_EQ(narrow->Width(), yellow_->MainPicture().Width());
    EXPECT_EQ(narrow->ComponentCount(), 2) << "the frame and the label, no button, no icon";
}

// The buttons take the skin button's height; the texts come from the skin's
// string table when it has one.
TEST_F(MessageBoxTest, ButtonsFollowTheControlSkin) {
    EXPECT_EQ(box_->ButtonHeight(), 25) << "yellow's button is 25 high";
    auto* silver = test_support::SkinDataOf(owner_.get(), "silver");
    box_->SetCtrlSkinData(silver);
    EXPECT_EQ(box_->ButtonHeight(), 23);
    {
        const auto box = box_->CreateMessageDialog("银色", mtError, kYes | kNo, 0);
        for (const char* name : {"Yes", "No"}) {
            const auto* b = dynamic_cast<TbsSkinButton*>(box->FindComponent(name));
            ASSERT_NE(b, nullptr) << name;
            EXPECT_EQ(b->Width(), 70) << name;
            EXPECT_EQ(b->Height(), 23) << name;
            EXPECT_EQ(b->Top(), box->ClientHeight() - 33) << name;
            EXPECT_GE(b->DataIndex(), 0) << name << " is skinned";
        }
        EXPECT_EQ(box->ClientHeight(), 23 + box->MessageLabel()->Height() + 50);
    }
    for (const char* name : {"gauge", "stdlabel", "nothing"}) {
        box_->SetButtonSkinDataName(name);
        EXPECT_EQ(box_->ButtonHeight(), 25) << name << " is no button";
    }
    box_->SetButtonSkinDataName("button");

    auto* strings = new TbsResourceStrData(owner_.get());
    base::TStringList lines;
    lines.Add("MSG_BTN_YES=Oui");
    lines.Add("MSG_CAP_ERROR=Erreur");
    strings->SetResStrings(lines);
    silver->SetResourceStrData(strings);
    EXPECT_EQ(box_->ButtonCaption(mbNo), "否(&N)") << "a key the table lacks";
    EXPECT_EQ(box_->KindCaption(mtWarning), "警告");
    const auto box = box_->CreateMessageDialog("x", mtError, kYes, 0);
    EXPECT_EQ(box->Caption(), "Erreur");
    const auto* yes = dynamic_cast<TControl*>(box->FindComponent("Yes"));
    ASSERT_NE(yes, nullptr);
    EXPECT_EQ(yes->Caption(), "Oui");
}

// The dialog takes the component's settings: the frame's skin and
// translucency, the label's skin object; without skins it is plain.
TEST_F(MessageBoxTest, TheDialogTakesTheComponentsSettings) {
    box_->SetAlphaBlend(true);
    box_->SetAlphaBlendAnimation(true);
    box_->SetAlphaBlendValue(300);
    EXPECT_EQ(box_->AlphaBlendValue(), 255);
    box_->SetAlphaBlendValue(230);
    box_->DefaultButtonFont().SetHeight(16);
    box_->SetMessageLabelSkinDataName("button");
    const auto box = box_->CreateMessageDialog("设置", mtInformation, kYes, 7);
    TbsSkinForm* frame = box->SkinForm();
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->SkinData(), yellow_);
    EXPECT_EQ(frame->MenusSkinData(), yellow_);
    EXPECT_TRUE(frame->Skinned());
    EXPECT_EQ(frame->BorderIcons(), 0u);
    EXPECT_TRUE(frame->AlphaBlend() && frame->AlphaBlendAnimation());
    EXPECT_EQ(frame->AlphaBlendValue(), 230);
    EXPECT_EQ(box->BorderStyle(), bsDialog);
    EXPECT_EQ(box->Position(), poScreenCenter);
    EXPECT_EQ(box->HelpContext(), 7);
    EXPECT_EQ(box->Owner(), &Application());
    // "button" is no label object: the label draws in its own font.
    EXPECT_EQ(box->MessageLabel()->Name(), "Message");
    EXPECT_EQ(box->MessageLabel()->DataIndex(), -1);
    auto* yes = dynamic_cast<TbsSkinButton*>(box->FindComponent("Yes"));
    ASSERT_NE(yes, nullptr);
    EXPECT_EQ(yes->DefaultFont().Height(), 16);
    EXPECT_FALSE(yes->UseSkinFont());

    // Without any skin: the built-in frame and plain buttons 25 high.
    box_->SetSkinData(nullptr);
    box_->SetCtrlSkinData(nullptr);
    const auto plain = box_->CreateMessageDialog("无皮肤", mtError, kYes, 0);
    EXPECT_FALSE(plain->SkinForm()->Skinned());
    const auto* plainYes = dynamic_cast<TbsSkinButton*>(plain->FindComponent("Yes"));
    ASSERT_NE(plainYes, nullptr);
    EXPECT_EQ(plainYes->DataIndex(), -1);
    EXPECT_EQ(plainYes->Height(), 25);
}

// Freed skin data leaves no reference behind, also when both properties
// held the same one and one of them let go first.
TEST_F(MessageBoxTest, FreedSkinDataIsForgotten) {
    auto* other = test_support::SkinDataOf(owner_.get(), "silver");
    box_->SetSkinData(other);
    delete other;
    EXPECT_EQ(box_->SkinData(), nullptr);
    EXPECT_EQ(box_->CtrlSkinData(), yellow_);

    box_->SetSkinData(yellow_);
    box_->SetCtrlSkinData(nullptr);
    delete yellow_;
    yellow_ = nullptr;
    EXPECT_EQ(box_->SkinData(), nullptr);
    EXPECT_EQ(box_->CtrlSkinData(), nullptr);
}

// Help calls the handler with the box's help context and leaves the box
// open; every box is freed, twenty in a row included.
TEST_F(MessageBoxTest, HelpKeepsTheBoxOpenAndBoxesAreFreed) {
    std::vector<int> topics;
    box_->OnHelp = [&](int topic) { topics.push_back(topic); };
    int stillOpen = 0;
    const int result = Run("帮助", 2, (1 << mbOK) | (1 << mbHelp),
                           {[&](TbsMessageForm& box) {
                                HWND help = ButtonWindow(box.Handle(), L"帮助(&H)");
                                PostMessageW(help, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
                                PostMessageW(help, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
                            },
                            [&](TbsMessageForm&) { ++stillOpen; },
                            // The focus is on Help now, so Enter would press it
                            // again; OK is the cancel button.
                            [&](TbsMessageForm& box) { PostKey(box.Handle(), VK_ESCAPE); }},
                           42);
    EXPECT_EQ(result, mrOk);
    EXPECT_EQ(topics, std::vector<int>{42});
    EXPECT_EQ(stillOpen, 1);

    for (int i = 0; i < 20; ++i) {
        ASSERT_EQ(Run("第" + std::to_string(i) + "个", 1, kYes,
                      [](TbsMessageForm& box) { PostKey(box.Handle(), VK_RETURN); }),
                  mrYes)
            << i;
        ASSERT_EQ(Application().FormCount(), formsBefore_) << i;
    }
}

}  // namespace
}  // namespace skin
