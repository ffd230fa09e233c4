// Mouse events, accelerator characters and labels on a real display.

#include <gtest/gtest.h>

#include "support/input.h"
#include "support/message_pump.h"

#include <algorithm>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "framework/classes.h"
#include "framework/forms.h"

namespace {

using namespace framework;
using test_support::Pump;
using test_support::PumpUntil;

constexpr TColor kGreen = 0x008000;

// A windowed control that takes the focus and records the characters it
// gets; as a text entry it wants them itself.
class TTestBox : public TCustomControl {
  public:
    explicit TTestBox(TComponent* owner) : TCustomControl(owner) { SetTabStop(true); }
    bool wantsChars = false;
    std::u16string typed;

  protected:
    bool WantsChars() const override { return wantsChars; }
    void KeyPress(char16_t ch) override { typed += ch; }
};

// Records every character offered as an accelerator and takes one of them.
class TClaimer : public TGraphicControl {
  public:
    TClaimer(TComponent* owner, char16_t claims) : TGraphicControl(owner), claims_(claims) {}
    std::u16string offered;

  protected:
    void WndProc(TMessage& m) override {
        if (m.Msg == CM_DIALOGCHAR) {
            offered += static_cast<char16_t>(m.WParam);
            m.Result = m.WParam == claims_ ? 1 : 0;
            return;
        }
        TGraphicControl::WndProc(m);
    }

  private:
    char16_t claims_;
};

// A borderless form at a fixed place on the screen.
std::unique_ptr<TForm> MakeForm() {
    auto form = std::make_unique<TForm>(nullptr);
    form->SetBorderStyle(bsNone);
    form->SetBounds(100, 100, 320, 200);
    form->SetColor(kGreen);
    return form;
}

template <typename T, typename... Args>
T* Add(TForm& form, int left, int top, int width, int height, Args... args) {
    auto* c = new T(&form, args...);
    c->SetParent(&form);
    c->SetBounds(left, top, width, height);
    return c;
}

// --- mouse events ------------------------------------------------------------

struct MouseRecord {
    std::string kind;  // "down", "up", "move"
    TMouseButton button = mbLeft;
    TShiftState shift = 0;
    int x = 0;
    int y = 0;
    bool operator==(const MouseRecord&) const = default;
};

void PrintTo(const MouseRecord& r, std::ostream* os) {
    *os << r.kind << " button " << r.button << " shift " << r.shift << " at " << r.x << "," << r.y;
}

void RecordMouse(TControl& c, std::vector<MouseRecord>& log) {
    c.OnMouseDown = [&log](TComponent*, TMouseButton b, TShiftState s, int x, int y) {
        log.push_back({"down", b, s, x, y});
    };
    c.OnMouseUp = [&log](TComponent*, TMouseButton b, TShiftState s, int x, int y) {
        log.push_back({"up", b, s, x, y});
    };
    c.OnMouseMove = [&log](TComponent*, TShiftState s, int x, int y) {
        log.push_back({"move", mbLeft, s, x, y});
    };
}

TEST(MouseEvents, ControlsRaiseThemWithButtonShiftAndLocalCoordinates) {
    auto form = MakeForm();
    auto* box = Add<TTestBox>(*form, 10, 10, 100, 60);
    auto* label = Add<TLabel>(*form, 150, 20, 80, 40);
    label->SetAutoSize(false);
    form->Show();
    Pump(50);

    struct Case {
        UINT msg;
        WPARAM flags;
        int x;
        int y;
        MouseRecord expected;
    };
    const Case cases[] = {
        {WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT, 7, 9, {"down", mbLeft, ssLeft | ssShift, 7, 9}},
        {WM_MOUSEMOVE, MK_LBUTTON | MK_CONTROL, 20, 5, {"move", mbLeft, ssLeft | ssCtrl, 20, 5}},
        {WM_LBUTTONUP, MK_SHIFT, 21, 6, {"up", mbLeft, ssShift, 21, 6}},
        {WM_RBUTTONDOWN, MK_RBUTTON, 3, 4, {"down", mbRight, ssRight, 3, 4}},
        {WM_RBUTTONUP, 0, 3, 4, {"up", mbRight, 0, 3, 4}},
        {WM_MBUTTONDOWN,
         MK_MBUTTON | MK_CONTROL,
         30,
         30,
         {"down", mbMiddle, ssMiddle | ssCtrl, 30, 30}},
        {WM_MBUTTONUP, 0, 30, 30, {"up", mbMiddle, 0, 30, 30}},
        {WM_LBUTTONDBLCLK, MK_LBUTTON, 1, 2, {"down", mbLeft, ssLeft, 1, 2}},
        {WM_LBUTTONUP, 0, 1, 2, {"up", mbLeft, 0, 1, 2}},
    };
    // The windowed control gets its own messages; the label its parent's,
    // in the parent's coordinates.
    struct Target {
        const char* name;
        TControl* control;
        HWND hwnd;
        int dx;
        int dy;
    };
    const Target targets[] = {{"box", box, box->Handle(), 0, 0},
                              {"label", label, form->Handle(), 150, 20}};
    for (const Target& t : targets) {
        std::vector<MouseRecord> log;
        RecordMouse(*t.control, log);
        for (const Case& c : cases) {
            log.clear();
            SendMessageW(t.hwnd, c.msg, c.flags, MAKELPARAM(c.x + t.dx, c.y + t.dy));
            ASSERT_EQ(log.size(), 1u) << t.name << " message " << c.msg;
            EXPECT_EQ(log[0], c.expected) << t.name;
        }
        t.control->OnMouseDown = nullptr;
        t.control->OnMouseUp = nullptr;
        t.control->OnMouseMove = nullptr;
    }

    // Real input: a click on the box, a drag over the label that ends
    // outside it (the label keeps the mouse until the release).
    std::vector<MouseRecord> boxLog;
    std::vector<MouseRecord> labelLog;
    RecordMouse(*box, boxLog);
    RecordMouse(*label, labelLog);
    test_support::ClickAt(box->ClientToScreen(POINT{12, 8}));
    ASSERT_TRUE(PumpUntil([&] { return !boxLog.empty() && boxLog.back().kind == "up"; }));
    std::erase_if(boxLog, [](const MouseRecord& r) { return r.kind == "move"; });
    const std::vector<MouseRecord> click = {{"down", mbLeft, ssLeft, 12, 8},
                                            {"up", mbLeft, 0, 12, 8}};
    EXPECT_EQ(boxLog, click);

    test_support::DragFromTo(label->ClientToScreen(POINT{5, 5}),
                             label->ClientToScreen(POINT{100, 30}), 4);
    ASSERT_TRUE(PumpUntil([&] { return !labelLog.empty() && labelLog.back().kind == "up"; }));
    // The cursor passed over the label on its way to the press.
    while (!labelLog.empty() && labelLog.front().kind == "move") {
        labelLog.erase(labelLog.begin());
    }
    ASSERT_GE(labelLog.size(), 3u);
    EXPECT_EQ(labelLog.front(), (MouseRecord{"down", mbLeft, ssLeft, 5, 5}));
    EXPECT_EQ(labelLog[labelLog.size() - 2], (MouseRecord{"move", mbLeft, ssLeft, 100, 30}));
    EXPECT_EQ(labelLog.back(), (MouseRecord{"up", mbLeft, 0, 100, 30}));
}

TEST(MouseEvents, AHandlerMayFreeItsControl) {
    auto form = MakeForm();
    form->Show();
    struct Case {
        const char* name;
        bool windowed;
        bool inMouseUp;  // else in OnClick
    };
    const Case cases[] = {
        {"label freed on mouse up", false, true},
        {"box freed on mouse up", true, true},
        {"label freed on click", false, false},
    };
    for (const Case& k : cases) {
        TControl* c = k.windowed ? static_cast<TControl*>(Add<TTestBox>(*form, 10, 10, 50, 20))
                                 : Add<TLabel>(*form, 10, 10, 50, 20);
        if (!k.windowed) {
            static_cast<TLabel*>(c)->SetAutoSize(false);
        }
        int clicks = 0;
        // The handler lives in the control: it touches nothing of its own
        // after the delete.
        auto free = [&c](TComponent*) {
            TControl* doomed = c;
            c = nullptr;
            delete doomed;
        };
        if (k.inMouseUp) {
            c->OnMouseUp = [free](TComponent* s, TMouseButton, TShiftState, int, int) { free(s); };
            c->OnClick = [&clicks](TComponent*) { ++clicks; };
        } else {
            c->OnClick = free;
        }
        HWND hwnd = k.windowed ? static_cast<TWinControl*>(c)->Handle() : form->Handle();
        const int offset = k.windowed ? 0 : 10;
        SendMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5 + offset, 5 + offset));
        SendMessageW(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(5 + offset, 5 + offset));
        EXPECT_EQ(c, nullptr) << k.name;
        EXPECT_EQ(clicks, 0) << k.name;
        EXPECT_EQ(form->ControlCount(), 0) << k.name;
    }
}

// --- accelerator characters --------------------------------------------------

int keyMenus = 0;

LRESULT CALLBACK CountKeyMenus(int code, WPARAM wParam, LPARAM lParam) {
    const auto* msg = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && msg->message == WM_SYSCOMMAND &&
        (msg->wParam & 0xFFF0) == SC_KEYMENU) {
        ++keyMenus;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST(DialogChars, CharactersReachTheControlThatClaimsThem) {
    auto form = MakeForm();
    auto* claimer = Add<TClaimer>(*form, 0, 0, 1, 1, u'q');
    auto* label = Add<TLabel>(*form, 10, 10, 60, 20);
    label->SetCaption("&Yes");
    auto* plain = Add<TTestBox>(*form, 10, 40, 60, 20);
    auto* typist = Add<TTestBox>(*form, 10, 70, 60, 20);
    typist->wantsChars = true;
    auto* target = Add<TTestBox>(*form, 10, 100, 60, 20);
    label->SetFocusControl(target);
    form->Show();
    Pump(50);
    HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, CountKeyMenus, nullptr, GetCurrentThreadId());
    ASSERT_NE(hook, nullptr);

    enum Focus { kPlain, kTypist, kForm };
    struct Case {
        const char* name;
        Focus focus;
        bool alt;
        WORD key;
        bool targetFocused;  // the label's accelerator acted
        std::u16string plainTyped;
        std::u16string typistTyped;
        bool toSystem;  // an Alt+key nobody took goes on to the window menu
    };
    const Case cases[] = {
        {"Alt+Y, a control focused", kPlain, true, 'Y', true, u"", u"", false},
        {"y, a control focused", kPlain, false, 'Y', true, u"", u"", false},
        {"Alt+Y, a text entry focused", kTypist, true, 'Y', true, u"", u"", false},
        {"y, a text entry focused", kTypist, false, 'Y', false, u"", u"y", false},
        {"Alt+Y, the form focused", kForm, true, 'Y', true, u"", u"", false},
        {"y, the form focused", kForm, false, 'Y', true, u"", u"", false},
        {"q, taken by another control", kPlain, false, 'Q', false, u"", u"", false},
        {"z, taken by nobody", kPlain, false, 'Z', false, u"z", u"", false},
        {"Alt+Z, taken by nobody", kPlain, true, 'Z', false, u"", u"", true},
    };
    for (const Case& k : cases) {
        switch (k.focus) {
            case kPlain:
                plain->SetFocus();
                break;
            case kTypist:
                typist->SetFocus();
                break;
            case kForm:
                ::SetFocus(form->Handle());
                break;
        }
        Pump(20);
        plain->typed.clear();
        typist->typed.clear();
        claimer->offered.clear();
        keyMenus = 0;
        if (k.alt) {
            test_support::KeyDownUp({VK_MENU, k.key});
        } else {
            test_support::KeyPress(k.key);
        }
        PumpUntil(
            [&] {
                return target->Focused() || !claimer->offered.empty() || !plain->typed.empty() ||
                       !typist->typed.empty();
            },
            1000);
        Pump(50);
        EXPECT_EQ(target->Focused(), k.targetFocused) << k.name;
        EXPECT_EQ(plain->typed, k.plainTyped) << k.name;
        EXPECT_EQ(typist->typed, k.typistTyped) << k.name;
        EXPECT_EQ(keyMenus > 0, k.toSystem) << k.name;
        const char16_t lower = static_cast<char16_t>(k.key + ('a' - 'A'));
        if (k.focus == kTypist && !k.alt) {
            EXPECT_EQ(claimer->offered, u"") << k.name << ": kept by the text entry";
        } else {
            // The claimer comes first on the form, so it hears every offer.
            EXPECT_EQ(claimer->offered, std::u16string(1, lower)) << k.name;
        }
    }
    UnhookWindowsHookEx(hook);
}

// --- labels ------------------------------------------------------------------

TLabel* AddLabel(TForm& form, int left, int top, const std::string& caption) {
    auto* label = Add<TLabel>(form, left, top, 10, 10);
    label->Font().SetName("Arial");
    label->Font().SetHeight(-16);
    label->Font().SetStyle(fsBold);
    label->SetCaption(caption);
    return label;
}

// What the screen shows of a control.
void Capture(TControl& c, TBitmap& out) {
    const POINT p = c.ClientToScreen(POINT{0, 0});
    CaptureScreen(Rect(p.x, p.y, p.x + c.Width(), p.y + c.Height()), out);
}

// The pixels of one colour in a picture: how many, and their extent.
struct Ink {
    int count = 0;
    int left = 1 << 30;
    int right = -1;  // inclusive
    int top = 1 << 30;
    int bottom = -1;
    double meanX = 0;
    double meanY = 0;
};

Ink InkOf(const TBitmap& b, TColor color, bool notEqual = false) {
    Ink ink;
    for (int y = 0; y < b.Height(); ++y) {
        for (int x = 0; x < b.Width(); ++x) {
            if ((b.Pixel(x, y) == color) != notEqual) {
                ++ink.count;
                ink.left = std::min(ink.left, x);
                ink.right = std::max(ink.right, x);
                ink.top = std::min(ink.top, y);
                ink.bottom = std::max(ink.bottom, y);
                ink.meanX += x;
                ink.meanY += y;
            }
        }
    }
    if (ink.count > 0) {
        ink.meanX /= ink.count;
        ink.meanY /= ink.count;
    }
    return ink;
}

class LabelTest : public ::testing::Test {
  protected:
    void SetUp() override { form_ = MakeForm(); }
    void ShowAndPaint() {
        form_->Show();
        form_->Repaint();
        Pump(100);
    }
    TForm& F() { return *form_; }
    std::unique_ptr<TForm> form_;
};

TEST_F(LabelTest, TransparentShowsTheParentOtherwiseTheColourFills) {
    auto* clear = AddLabel(F(), 10, 10, "ab");
    auto* filled = AddLabel(F(), 10, 50, "ab");
    filled->SetTransparent(false);
    filled->SetColor(clYellow);
    EXPECT_TRUE(clear->Transparent()) << "from creation";
    ShowAndPaint();
    TBitmap a;
    TBitmap b;
    Capture(*clear, a);
    Capture(*filled, b);
    // The bottom-right corner is beyond the text.
    EXPECT_EQ(a.Pixel(a.Width() - 1, a.Height() - 1), kGreen);
    EXPECT_EQ(b.Pixel(b.Width() - 1, b.Height() - 1), clYellow);
}

TEST_F(LabelTest, DisabledTextIsDrawnTwiceOffsetInTheButtonColours) {
    const TColor highlight = ColorToRGB(clBtnHighlight);
    const TColor shadow = ColorToRGB(clBtnShadow);
    auto* enabled = AddLabel(F(), 10, 10, "WHW");
    auto* disabled = AddLabel(F(), 10, 50, "WHW");
    for (TLabel* l : {enabled, disabled}) {
        l->Font().SetColor(clRed);
    }
    disabled->SetEnabled(false);
    ShowAndPaint();
    TBitmap on;
    TBitmap off;
    Capture(*enabled, on);
    Capture(*disabled, off);
    EXPECT_GT(InkOf(on, clRed).count, 20);
    EXPECT_EQ(InkOf(on, highlight).count, 0);
    EXPECT_EQ(InkOf(off, clRed).count, 0);
    const Ink light = InkOf(off, highlight);
    const Ink dark = InkOf(off, shadow);
    EXPECT_GT(light.count, 5);
    EXPECT_GT(dark.count, 20);
    // The shadow lies on top; what shows of the highlight is its lower right
    // fringe.
    EXPECT_GT(light.meanX, dark.meanX);
    EXPECT_GT(light.meanY, dark.meanY);
}

TEST_F(LabelTest, AutoSizeMeasuresAnEmptyCaptionAsOneLine) {
    auto* reference = AddLabel(F(), 10, 10, "Xg");
    const int lineHeight = reference->Height();
    EXPECT_GT(lineHeight, 10);
    struct Case {
        const char* caption;
        bool showAccelChar;
    };
    const Case cases[] = {{"", true}, {"&", true}, {"", false}};
    for (const Case& k : cases) {
        auto* label = AddLabel(F(), 10, 40, "x");
        label->SetShowAccelChar(k.showAccelChar);
        label->SetCaption(k.caption);
        EXPECT_EQ(label->Height(), lineHeight) << '"' << k.caption << '"';
        EXPECT_GT(label->Width(), 0) << '"' << k.caption << '"';
        EXPECT_LT(label->Width(), reference->Width()) << '"' << k.caption << "\": one blank";
    }
    // A right-aligned label keeps its right edge as it grows.
    auto* right = AddLabel(F(), 100, 70, "a");
    right->SetAlignment(taRightJustify);
    const int edge = right->Left() + right->Width();
    right->SetCaption("abcdef");
    EXPECT_GT(right->Width(), reference->Width());
    EXPECT_EQ(right->Left() + right->Width(), edge);
    // Without AutoSize nothing moves.
    right->SetAutoSize(false);
    right->SetCaption("a");
    EXPECT_EQ(right->Left() + right->Width(), edge);
    EXPECT_GT(right->Width(), reference->Width());
}

TEST_F(LabelTest, WithoutShowAccelCharTheAmpersandIsDrawn) {
    auto* ab = AddLabel(F(), 10, 10, "ab");
    auto* prefixed = AddLabel(F(), 10, 40, "a&b");
    auto* literal = AddLabel(F(), 10, 70, "a&b");
    literal->SetShowAccelChar(false);
    EXPECT_EQ(prefixed->Width(), ab->Width());
    EXPECT_GT(literal->Width(), ab->Width() + 4);
    EXPECT_EQ(literal->TextFlags() & DT_NOPREFIX, static_cast<UINT>(DT_NOPREFIX));
    // Drawn: the literal one's ink reaches further right.
    for (TLabel* l : {ab, prefixed, literal}) {
        l->SetAutoSize(false);
        l->SetWidth(80);
    }
    ShowAndPaint();
    TBitmap a;
    TBitmap b;
    Capture(*ab, a);
    Capture(*literal, b);
    const int abRight = InkOf(a, kGreen, true).right;
    EXPECT_GT(abRight, 5);
    EXPECT_GT(InkOf(b, kGreen, true).right, abRight + 4);
}

TEST_F(LabelTest, LayoutPlacesTheTextVertically) {
    struct Case {
        TTextLayout layout;
        int minTop;
        int maxBottom;
    };
    // A 90-pixel high label; the text is about 18 high.
    const Case cases[] = {{tlTop, 0, 30}, {tlCenter, 30, 60}, {tlBottom, 60, 90}};
    int left = 10;
    std::vector<std::pair<TLabel*, const Case*>> labels;
    for (const Case& k : cases) {
        auto* l = AddLabel(F(), left, 10, "WW");
        l->SetAutoSize(false);
        l->SetHeight(90);
        l->SetLayout(k.layout);
        labels.emplace_back(l, &k);
        left += 80;
    }
    ShowAndPaint();
    for (const auto& [l, k] : labels) {
        TBitmap shot;
        Capture(*l, shot);
        const Ink ink = InkOf(shot, kGreen, true);
        EXPECT_GE(ink.top, k->minTop) << "layout " << k->layout;
        EXPECT_LT(ink.bottom, k->maxBottom) << "layout " << k->layout;
    }
}

// --- window definitions ------------------------------------------------------

class TDefinedForm : public TForm, public TMethodProvider {
  public:
    explicit TDefinedForm(TComponent* owner) : TForm(owner) {
        methods_.Add<void(TComponent*, TMouseButton, TShiftState, int, int)>(
            "LabelDown", [this](TComponent*, TMouseButton b, TShiftState, int x, int y) {
                events.push_back("down " + std::to_string(b) + " " + std::to_string(x) + "," +
                                 std::to_string(y));
            });
        methods_.Add<void(TComponent*, TMouseButton, TShiftState, int, int)>(
            "LabelUp", [this](TComponent*, TMouseButton b, TShiftState, int, int) {
                events.push_back("up " + std::to_string(b));
            });
        methods_.Add<void(TComponent*, TShiftState, int, int)>(
            "LabelMove", [this](TComponent*, TShiftState, int x, int y) {
                events.push_back("move " + std::to_string(x) + "," + std::to_string(y));
            });
    }
    const TMethodTable& Methods() const override { return methods_; }
    std::vector<std::string> events;

  private:
    TMethodTable methods_;
};

TEST(LabelDefinition, ALabelAndTheMouseEventsAreReadFromADefinition) {
    TClassRegistry registry;
    RegisterFrameworkClasses(registry);
    registry.RegisterClass<TTestBox>("TTestBox", "TCustomControl");
    const char* text = R"(object DefinedForm: TForm
  BorderStyle = bsNone
  object Name1: TLabel
    Left = 10
    Top = 20
    Width = 70
    Height = 30
    Caption = "&Name"
    Alignment = taRightJustify
    Layout = tlBottom
    WordWrap = true
    ShowAccelChar = false
    AutoSize = false
    Transparent = false
    FocusControl = Box1
    OnMouseDown = LabelDown
    OnMouseUp = LabelUp
    OnMouseMove = LabelMove
  end
  object Box1: TTestBox
    Left = 100
  end
end
)";
    TDefinedForm form(nullptr);
    ReadDefinition(text, registry, form);
    auto* label = dynamic_cast<TLabel*>(form.FindComponent("Name1"));
    auto* box = dynamic_cast<TTestBox*>(form.FindComponent("Box1"));
    ASSERT_NE(label, nullptr);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(label->Caption(), "&Name");
    EXPECT_EQ(label->Alignment(), taRightJustify);
    EXPECT_EQ(label->Layout(), tlBottom);
    EXPECT_TRUE(label->WordWrap());
    EXPECT_FALSE(label->ShowAccelChar());
    EXPECT_FALSE(label->AutoSize());
    EXPECT_FALSE(label->Transparent());
    EXPECT_EQ(label->FocusControl(), box);
    EXPECT_EQ(label->Width(), 70) << "no AutoSize: the size stays";
    EXPECT_EQ(label->TextFlags(),
              static_cast<UINT>(DT_EXPANDTABS | DT_RIGHT | DT_WORDBREAK | DT_NOPREFIX));

    label->Perform(WM_MOUSEMOVE, 0, MAKELPARAM(4, 5));
    label->Perform(WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(6, 7));
    label->Perform(WM_RBUTTONUP, 0, MAKELPARAM(6, 7));
    const std::vector<std::string> expected = {"move 4,5", "down 1 6,7", "up 1"};
    EXPECT_EQ(form.events, expected);

    // The focus control is forgotten when it goes.
    delete box;
    EXPECT_EQ(label->FocusControl(), nullptr);
}

}  // namespace
