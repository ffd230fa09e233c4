// The skinned controls in the skin "yellow" on the virtual display: sizes
// applied through the window, pictures checked against oracles computed
// from the skin's own pictures, the erase path, window regions from a mask,
// the button's fade, and controls freed or reskinned under their own
// handlers (with poisoned deletion, see support/poison_delete.cpp).

#include <gtest/gtest.h>

#include "support/input.h"
#include "support/message_pump.h"

#include "pace_clock.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>

#include "framework/classes.h"
#include "framework/definition.h"
#include "framework/forms.h"
#include "skin/controls/button.h"
#include "skin/controls/classes.h"
#include "skin/controls/gauge.h"
#include "skin/controls/label.h"
#include "skin/controls/list_box.h"
#include "skin/controls/scroll_bar.h"
#include "skin/controls/std_label.h"
#include "skin/data/skin_data.h"
#include "skin/form/skin_broadcast.h"
#include "skin/form/skin_relay.h"

namespace skin {
namespace {

using namespace framework;
using test_support::Pump;
using test_support::PumpUntil;

const std::string kAssets = UPDATER_ASSETS;

// Yellow's caption and text colour, and its other caption colours.
constexpr TColor kTextColor = 8764;

class SkinnedTest : public ::testing::Test {
  protected:
    void SetUp() override {
        SetCursorPos(1, 1);
        InstallSkinBroadcast();
        form_ = std::make_unique<TForm>(nullptr);
        form_->SetBorderStyle(bsNone);
        form_->SetBounds(100, 100, 560, 260);
        InstallSkinRelay(*form_);
        yellow_ = Stored(kAssets + "/skins/yellow/skin.ini");
        data_ = new TbsSkinData(form_.get());
        data_->SetCompressedStoredSkin(yellow_);
        form_->Show();
    }
    void TearDown() override {
        Application().OnException = nullptr;
        form_.reset();
        Pump(10);
    }
    TbsCompressedStoredSkin* Stored(const std::string& ini) {
        auto* stored = new TbsCompressedStoredSkin(form_.get());
        stored->PackSkinFolder(ini);
        EXPECT_FALSE(stored->IsStoreEmpty()) << ini;
        return stored;
    }
    template <typename T>
    T* Make(int left, int top, int width, int height, const char* name = nullptr) {
        auto* c = new T(form_.get());
        c->SetParent(form_.get());
        if (name != nullptr) {
            c->SetSkinDataName(name);
        }
        c->SetBounds(left, top, width, height);
        c->SetSkinData(data_);
        return c;
    }
    // The control as it paints itself (through the erase path, which paints
    // the whole control outside a paint message).
    static TBitmap Picture(TbsSkinControl& c) {
        TBitmap shot(c.Width(), c.Height());
        shot.Canvas().Brush().SetColor(MakeColor(1, 2, 3));
        shot.Canvas().FillRect(Rect(0, 0, c.Width(), c.Height()));
        SendMessageW(c.Handle(), WM_ERASEBKGND, reinterpret_cast<WPARAM>(shot.Canvas().Handle()),
                     0);
        GdiFlush();
        return shot;
    }
    const TBitmapData& SkinPicture(int index) { return *data_->Picture(index); }

    std::unique_ptr<TForm> form_;
    TbsCompressedStoredSkin* yellow_ = nullptr;
    TbsSkinData* data_ = nullptr;
};

// The pixels of `shot` in `rows` x [x0, x1) that differ from the picture's
// pixel (column(x), row(y)).
template <typename Column, typename Row>
int Mismatches(const TBitmapData& shot, const TBitmapData& picture, int x0, int x1, int y0, int y1,
               Column column, Row row) {
    int wrong = 0;
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) {
            wrong += shot.Pixel(x, y) != picture.Pixel(column(x), row(y));
        }
    }
    return wrong;
}

// The bounding box of the pixels in which two pictures differ.
RECT DiffBox(const TBitmapData& a, const TBitmapData& b) {
    RECT box{a.Width(), a.Height(), -1, -1};
    for (int y = 0; y < a.Height(); ++y) {
        for (int x = 0; x < a.Width(); ++x) {
            if (a.Pixel(x, y) != b.Pixel(x, y)) {
                box.left = std::min<LONG>(box.left, x);
                box.top = std::min<LONG>(box.top, y);
                box.right = std::max<LONG>(box.right, x + 1);
                box.bottom = std::max<LONG>(box.bottom, y + 1);
            }
        }
    }
    return box;
}

// The bounding box of the pixels of one colour.
RECT ColorBox(const TBitmapData& shot, TColor color) {
    RECT box{shot.Width(), shot.Height(), -1, -1};
    for (int y = 0; y < shot.Height(); ++y) {
        for (int x = 0; x < shot.Width(); ++x) {
            if (shot.Pixel(x, y) == color) {
                box.left = std::min<LONG>(box.left, x);
                box.top = std::min<LONG>(box.top, y);
                box.right = std::max<LONG>(box.right, x + 1);
                box.bottom = std::max<LONG>(box.bottom, y + 1);
            }
        }
    }
    return box;
}

TEST_F(SkinnedTest, ButtonLooksAtAnyWidthWithTheStatesCaptionColour) {
    auto* b = Make<TbsSkinButton>(10, 10, 75, 25);
    b->SetCaption("OK");
    EXPECT_EQ(b->Height(), 25);
    b->SetBounds(10, 10, 120, 40);
    EXPECT_EQ(b->Width(), 120);
    EXPECT_EQ(b->Height(), 25) << "the skin fixes the height";
    RECT window;
    GetWindowRect(b->Handle(), &window);
    EXPECT_EQ(window.bottom - window.top, 25);

    const TBitmapData& controls = SkinPicture(3);
    struct Look {
        const char* state;
        std::function<void()> enter;
        TRect look;
        TColor caption;
    } looks[] = {
        {"normal", [] {}, {1, 1, 50, 26}, kTextColor},
        {"focused", [&] { b->SetFocus(); }, {52, 1, 101, 26}, 0},
        {"pressed",
         [&] {
             b->SetGroupIndex(1);
             b->SetDown(true);
         },
         {103, 1, 152, 26},
         5674},
        {"disabled",
         [&] {
             b->SetDown(false);
             b->SetEnabled(false);
         },
         {154, 1, 203, 26},
         6192012},
    };
    for (const Look& l : looks) {
        SCOPED_TRACE(l.state);
        l.enter();
        b->SetCaption("");
        const TBitmap bare = Picture(*b);
        b->SetCaption("OK");
        const TBitmap shot = Picture(*b);
        // Rows outside the caption's client rectangle (3..20) are the look:
        // 8 columns at the left, 10 at the right, the 31 between repeated.
        auto column = [&](int x) {
            if (x >= 120 - 10) {
                return l.look.left + x - (120 - 49);
            }
            return x < 8 ? l.look.left + x : l.look.left + 8 + (x - 8) % 31;
        };
        auto row = [&](int y) { return l.look.top + y; };
        EXPECT_EQ(Mismatches(shot, controls, 0, 120, 0, 3, column, row), 0);
        EXPECT_EQ(Mismatches(shot, controls, 0, 120, 22, 25, column, row), 0);
        EXPECT_GT(ColorBox(shot, l.caption).right, 0) << "no caption pixel in its colour";
        // Centred in the client rectangle 3,3,116,21 (centre 59.5, 12).
        const RECT text = DiffBox(shot, bare);
        EXPECT_NEAR((text.left + text.right) / 2.0, 59.5, 2.0);
        EXPECT_NEAR((text.top + text.bottom) / 2.0, 12.0, 2.0);
    }
}

TEST_F(SkinnedTest, TheGaugeBarFrameAndTextComeFromTheSkin) {
    auto* g = Make<TbsSkinGauge>(10, 10, 364, 20);
    ASSERT_EQ(g->Height(), 19);
    g->SetValue(50);
    const TBitmapData& controls = SkinPicture(3);
    const TRect s{28, 32, 65, 51};
    const TRect pr{2, 32, 23, 46};
    TBitmap shot = Picture(*g);
    auto frameColumn = [&](int x) {
        if (x >= 364 - 5) {
            return s.left + x - (364 - 37);
        }
        return x < 5 ? s.left + x : s.left + 5 + (x - 5) % 27;
    };
    auto frameRow = [&](int y) { return s.top + y; };
    // The bar: columns 2..181 (180 pixels) of rows 2..15.
    auto barColumn = [&](int x) {
        const int u = x - 2;
        if (u >= 180 - 5) {
            return pr.right - 5 + (u - 175);
        }
        return u < 5 ? pr.left + u : pr.left + 5 + (u - 5) % 11;
    };
    EXPECT_EQ(
        Mismatches(shot, controls, 2, 182, 2, 16, barColumn, [&](int y) { return pr.top + y - 2; }),
        0);
    // Beside the bar and around it: the frame.
    EXPECT_EQ(Mismatches(shot, controls, 182, 364, 0, 19, frameColumn, frameRow), 0);
    EXPECT_EQ(Mismatches(shot, controls, 0, 364, 0, 2, frameColumn, frameRow), 0);

    // The text, centred as one text, in the object's colour.
    g->SetValue(45);
    const TBitmap bare = Picture(*g);
    g->SetProgressText("abc");
    g->SetShowProgressText(true);
    g->SetShowPercent(true);
    shot = Picture(*g);
    EXPECT_GT(ColorBox(shot, kTextColor).right, 0) << "no text pixel in the object's colour";
    const RECT text = DiffBox(shot, bare);
    EXPECT_NEAR((text.left + text.right) / 2.0, 182.0, 2.0);
    EXPECT_NEAR((text.top + text.bottom) / 2.0, 9.5, 2.0);

    // Any height without UseSkinSize: stretched, no garbage in the last row.
    g->SetUseSkinSize(false);
    g->SetBounds(10, 10, 364, 30);
    EXPECT_EQ(g->Height(), 30);
    shot = Picture(*g);
    for (int x = 0; x < 364; x += 7) {
        EXPECT_NE(shot.Pixel(x, 29), MakeColor(1, 2, 3)) << x;
        EXPECT_EQ(shot.Pixel(x, 29), controls.Pixel(frameColumn(x), s.bottom - 1)) << x;
    }
    HRGN probe = CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(GetWindowRgn(g->Handle(), probe), ERROR) << "no shape for a stretched gauge";
    DeleteObject(probe);
}

TEST_F(SkinnedTest, AVerticalGaugeWritesUpwards) {
    auto* g = Make<TbsSkinGauge>(10, 10, 30, 200, "no object");
    g->SetVertical(true);
    g->SetValue(50);
    const TBitmap bare = Picture(*g);
    g->SetShowPercent(true);
    // "50%" turned by 90 degrees: taller than wide, centred.
    const RECT text = DiffBox(Picture(*g), bare);
    ASSERT_GT(text.right, text.left);
    EXPECT_GT(text.bottom - text.top, text.right - text.left);
    EXPECT_NEAR((text.left + text.right) / 2.0, 15.0, 3.0);
    EXPECT_NEAR((text.top + text.bottom) / 2.0, 100.0, 3.0);
}

TEST_F(SkinnedTest, LabelTextIsPlacedInTheClientRectangleAndCut) {
    auto* left = Make<TbsSkinLabel>(10, 10, 274, 22);
    auto* right = Make<TbsSkinLabel>(300, 10, 82, 22);
    right->SetAlignment(taRightJustify);
    EXPECT_EQ(left->Height(), 18);
    EXPECT_EQ(right->Height(), 18);
    const TBitmap blank = Picture(*right);
    right->SetCaption("99KB/S");
    RECT text = DiffBox(Picture(*right), blank);
    ASSERT_GT(text.right, text.left);
    EXPECT_LE(text.right, 79) << "right-aligned text ends at the client's edge";
    EXPECT_GE(text.right, 76);

    const TBitmap empty = Picture(*left);
    left->SetCaption(std::string(80, 'W'));
    wchar_t buffer[128] = {};
    SendMessageW(left->Handle(), WM_GETTEXT, 128, reinterpret_cast<LPARAM>(buffer));
    EXPECT_EQ(std::wstring(buffer), std::wstring(80, L'W'));
    const TBitmap full = Picture(*left);
    text = DiffBox(full, empty);
    EXPECT_EQ(text.right, 271) << "a long caption is cut at the client's edge";
    for (int y = 0; y < 18; ++y) {
        EXPECT_EQ(full.Pixel(272, y), empty.Pixel(272, y)) << y;
    }
}

TEST_F(SkinnedTest, WithoutAnObjectControlsKeepTheirPlainLookAndDefaultSizes) {
    int errors = 0;
    Application().OnException = [&](TComponent*, std::exception_ptr) { ++errors; };
    auto* b = Make<TbsSkinButton>(10, 10, 75, 30, "no such object");
    EXPECT_EQ(b->DataIndex(), -1);
    EXPECT_EQ(b->Height(), 30) << "an unknown name keeps the size";
    b->SetDefaultWidth(100);
    EXPECT_EQ(b->Width(), 100) << "applied at once without an object";
    b->SetDefaultHeight(0);
    EXPECT_EQ(b->Height(), 30);
    b->SetDefaultHeight(40);

    // A known name: the skin's size; the skin gone: the default sizes.
    b->SetSkinDataName("button");
    b->ApplySkinChange();
    EXPECT_EQ(b->Height(), 25);
    data_->ClearSkin();
    b->ApplySkinChange();
    EXPECT_EQ(b->DataIndex(), -1);
    EXPECT_EQ(b->Width(), 100);
    EXPECT_EQ(b->Height(), 40);

    // The skin data freed: no skin data, the plain look.
    data_->SetCompressedStoredSkin(yellow_);
    delete data_;
    data_ = nullptr;
    EXPECT_EQ(b->SkinData(), nullptr);
    EXPECT_EQ(Picture(*b).Pixel(50, 1), ColorToRGB(clBtnFace));

    // A control without width paints nothing and fails nothing.
    b->SetBounds(10, 10, 0, 25);
    b->Repaint();
    Pump(30);
    EXPECT_EQ(errors, 0);
}

TEST_F(SkinnedTest, EraseOutsidePaintDrawsWhatPaintDraws) {
    auto* g = Make<TbsSkinGauge>(10, 10, 364, 20);
    auto* l = Make<TbsSkinLabel>(10, 40, 274, 22);
    auto* b = Make<TbsSkinButton>(10, 70, 75, 25);
    g->SetValue(30);
    l->SetCaption("label");
    b->SetCaption("button");
    for (TbsSkinControl* c : {static_cast<TbsSkinControl*>(g), static_cast<TbsSkinControl*>(l),
                              static_cast<TbsSkinControl*>(b)}) {
        SCOPED_TRACE(c->Name());
        TBitmap printed(c->Width(), c->Height());
        SendMessageW(c->Handle(), WM_PRINTCLIENT,
                     reinterpret_cast<WPARAM>(printed.Canvas().Handle()), PRF_CLIENT);
        GdiFlush();
        const TBitmap erased = Picture(*c);
        EXPECT_TRUE(static_cast<const TBitmapData&>(printed) ==
                    static_cast<const TBitmapData&>(erased));
    }
}

// Yellow with one more control object whose mask cuts its corners.
std::string MaskedSkinFolder() {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / "masked_skin_test";
    fs::remove_all(dir);
    fs::create_directories(dir);
    for (const auto& entry : fs::directory_iterator(kAssets + "/skins/yellow")) {
        fs::copy_file(entry.path(), dir / entry.path().filename());
    }
    // 49 x 25: black inside, white in a 3-pixel triangle at each top corner.
    TBitmapData mask(49, 25, pf24bit);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 3 - y; ++x) {
            mask.SetPixel(x, y, MakeColor(255, 255, 255));
            mask.SetPixel(48 - x, y, MakeColor(255, 255, 255));
        }
    }
    {
        base::TMemoryStream out;
        mask.SaveToStream(out);
        std::ofstream(dir / "ctlmask.bmp", std::ios::binary) << out.ToString();
    }
    std::ifstream in(dir / "skin.ini", std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    std::string ini = text.str();
    auto replace = [&](const std::string& from, const std::string& to) {
        const size_t at = ini.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        ini.replace(at, from.size(), to);
    };
    replace("activepicturescount=6", "activepicturescount=7\n6=ctlmask.bmp");
    replace("count=63", "count=64\n63=maskbutton:button");
    ini +=
        "\n[maskbutton]\npictureindex=3\nmaskpictureindex=6\nskinrect=1,1,50,26\n"
        "lefttoppoint=8,10\nrighttoppoint=39,10\nleftbottompoint=0,0\nrightbottompoint=0,0\n"
        "clientrect=3,3,45,21\n";
    std::ofstream(dir / "skin.ini", std::ios::binary) << ini;
    return (dir / "skin.ini").string();
}

TEST_F(SkinnedTest, AMaskShapesTheWindowAndResizesWithIt) {
    data_->SetCompressedStoredSkin(Stored(MaskedSkinFolder()));
    ASSERT_GE(data_->IndexOfControlObject("maskbutton"), 0);
    auto* b = Make<TbsSkinButton>(10, 10, 75, 25, "maskbutton");
    auto inside = [&](int x, int y) {
        HRGN r = CreateRectRgn(0, 0, 0, 0);
        const int kind = GetWindowRgn(b->Handle(), r);
        const bool in = kind != ERROR && PtInRegion(r, x, y);
        DeleteObject(r);
        return kind == ERROR ? true : in;
    };
    EXPECT_FALSE(inside(0, 0));
    EXPECT_TRUE(inside(3, 0));
    EXPECT_FALSE(inside(74, 0));
    EXPECT_TRUE(inside(71, 0));
    b->SetBounds(10, 10, 120, 25);
    EXPECT_FALSE(inside(119, 0)) << "the cut corner follows the right edge";
    EXPECT_TRUE(inside(74, 0));

    // Many resizes: the window owns each region given to it. A region
    // handle deleted twice would take a later object's handle with it.
    for (int i = 0; i < 500; ++i) {
        b->SetBounds(10, 10, 80 + i % 40, 25);
        HBRUSH brush = CreateSolidBrush(RGB(i % 256, 0, 0));
        b->SetBounds(10, 10, 81 + i % 40, 25);
        ASSERT_NE(GetObjectType(brush), 0u) << "cycle " << i;
        DeleteObject(brush);
    }
    b->SetSkinDataName("button");
    b->ApplySkinChange();
    HRGN probe = CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(GetWindowRgn(b->Handle(), probe), ERROR) << "an object without a mask: no shape";
    DeleteObject(probe);
}

TEST_F(SkinnedTest, TheButtonFadesInFiveStepsAndBack) {
    auto* b = Make<TbsSkinButton>(10, 10, 75, 25);
    ASSERT_TRUE(b->Morphing());
    SendMessageW(b->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    EXPECT_TRUE(b->Hot());
    EXPECT_EQ(b->MorphFactor(), 0.0) << "the fade moves with its timer";
    double last = 0;
    int steps = 0;
    ASSERT_TRUE(PumpUntil(
        [&] {
            if (b->MorphFactor() != last) {
                last = b->MorphFactor();
                ++steps;
            }
            return last >= 1;
        },
        2000));
    EXPECT_GE(steps, 1);
    EXPECT_LE(steps, 5);
    // Leaving turns it back from where it is.
    SendMessageW(b->Handle(), WM_MOUSELEAVE, 0, 0);
    ASSERT_TRUE(PumpUntil([&] { return b->MorphFactor() < 1; }, 1000));
    ASSERT_TRUE(PumpUntil([&] { return b->MorphFactor() == 0; }, 2000));
    // Disabled halfway: the fade ends at once.
    SendMessageW(b->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    ASSERT_TRUE(PumpUntil([&] { return b->MorphFactor() > 0; }, 1000));
    b->SetEnabled(false);
    EXPECT_EQ(b->MorphFactor(), 0.0);
    Pump(100);
    EXPECT_EQ(b->MorphFactor(), 0.0) << "the timer stopped";
}

// A gauge that counts its skinned paints.
class TCountingGauge : public TbsSkinGauge {
  public:
    using TbsSkinGauge::TbsSkinGauge;
    int paints = 0;

  protected:
    void PaintSkinned(TBitmap& target) override {
        ++paints;
        TbsSkinGauge::PaintSkinned(target);
    }
};

TEST_F(SkinnedTest, ProgressIsShownOnlyWhenItLooksDifferentAndReadAtOnce) {
    auto* g = Make<TCountingGauge>(10, 10, 364, 20);
    auto* l = Make<TbsSkinLabel>(10, 40, 274, 22);
    g->SetShowPercent(true);
    g->SetMaxValue(1000000);
    Pump(50);
    TbsSkinControl::SetRepaintPacing(false);
    const int before = g->paints;
    // 1000 values within the first pixel of the bar and the first percent.
    for (int v = 1; v <= 1000; ++v) {
        g->SetValue(v);
    }
    EXPECT_EQ(g->paints, before) << "0 pixels and 0% all along";
    g->SetValue(500000);
    EXPECT_EQ(g->paints, before + 1) << "a longer bar is shown at once";
    TbsSkinControl::SetRepaintPacing(true);

    // The system's copy of the window text follows at the pace; WM_GETTEXT
    // answers with what is shown at once.
    test::PaceClockGuard clock;
    auto systemText = [&] {
        wchar_t buffer[64] = {};
        InternalGetWindowText(l->Handle(), buffer, 64);
        return std::wstring(buffer);
    };
    auto readText = [&] {
        wchar_t buffer[64] = {};
        SendMessageW(l->Handle(), WM_GETTEXT, 64, reinterpret_cast<LPARAM>(buffer));
        return std::wstring(buffer);
    };
    l->SetCaption("one");
    EXPECT_EQ(systemText(), L"one");
    l->SetCaption("two");
    EXPECT_EQ(readText(), L"two");
    EXPECT_EQ(SendMessageW(l->Handle(), WM_GETTEXTLENGTH, 0, 0), 3);
    EXPECT_EQ(systemText(), L"one") << "held back for the pace";
    clock.Advance(TbsSkinControl::kRepaintInterval);
    TbsSkinControl::PaintDueChanges();
    EXPECT_EQ(systemText(), L"two");
}

TEST_F(SkinnedTest, RealInputClicksOnlyOnAReleaseOverTheButton) {
    auto* b = Make<TbsSkinButton>(10, 10, 75, 25);
    b->SetCaption("\xca\xc7(&Y)");  // GBK "是(&Y)"
    auto* other = Make<TbsSkinButton>(100, 10, 75, 25);
    int clicks = 0;
    b->OnClick = [&](TComponent*) { ++clicks; };
    const TBitmap normal = Picture(*b);
    const POINT inside = b->ClientToScreen(POINT{30, 12});
    const POINT outside = b->ClientToScreen(POINT{30, 120});

    test_support::ClickAt(inside);
    ASSERT_TRUE(PumpUntil([&] { return clicks == 1; }, 2000));
    EXPECT_TRUE(b->Focused());

    // Pressed again at once (the system makes it a double click), dragged
    // off and released elsewhere: no click, and nothing of the pressed look
    // is left.
    test_support::PressAt(inside);
    ASSERT_TRUE(PumpUntil([&] { return b->Down(); }, 2000));
    test_support::MoveTo(outside);
    ASSERT_TRUE(PumpUntil([&] { return !b->Hot(); }, 2000));
    test_support::ReleaseAt(outside);
    ASSERT_TRUE(PumpUntil([&] { return !b->MousePressed(); }, 2000));
    EXPECT_EQ(clicks, 1);
    EXPECT_FALSE(b->Down());
    b->SetEnabled(false);
    b->SetEnabled(true);
    other->SetFocus();
    Pump(150);  // the fade back, if any
    EXPECT_TRUE(static_cast<const TBitmapData&>(Picture(*b)) ==
                static_cast<const TBitmapData&>(normal));

    // Its accelerator from the keyboard: focus and click.
    test_support::KeyPress('Y');
    ASSERT_TRUE(PumpUntil([&] { return clicks == 2; }, 2000));
    EXPECT_TRUE(b->Focused());
    // A disabled button takes no click.
    b->SetEnabled(false);
    test_support::ClickAt(inside);
    test_support::KeyPress('Y');
    Pump(100);
    EXPECT_EQ(clicks, 2);
}

TEST_F(SkinnedTest, AScrollBarStepsDragsAndTellsItsPosition) {
    auto* bar = Make<TbsSkinScrollBar>(10, 10, 19, 100, "no object");
    bar->SetKind(sbVertical);
    bar->SetBounds(10, 10, 19, 100);
    bar->ApplySkinChange();
    EXPECT_EQ(bar->Height(), 100) << "a vertical bar keeps its length without a skin object";
    int changes = 0;
    int lastChanges = 0;
    bar->OnChange = [&](TComponent*) { ++changes; };
    bar->OnLastChange = [&](TComponent*) { ++lastChanges; };
    HWND h = bar->Handle();
    auto at = [](int x, int y) { return MAKELPARAM(x, y); };

    // The end button: one step at once, the next only after the first delay.
    SendMessageW(h, WM_LBUTTONDOWN, MK_LBUTTON, at(9, 90));
    EXPECT_EQ(bar->Position(), 1);
    Pump(300);
    EXPECT_EQ(bar->Position(), 1);
    EXPECT_TRUE(PumpUntil([&] { return bar->Position() >= 3; }, 3000)) << "then repeating";
    SendMessageW(h, WM_LBUTTONUP, 0, at(9, 90));
    const int held = bar->Position();
    Pump(150);
    EXPECT_EQ(bar->Position(), held) << "the release stops it";
    EXPECT_EQ(lastChanges, 0) << "only the thumb's release is a last change";

    // The thumb dragged past the end (the mouse is captured): the maximum.
    const TScrollGeometry g = bar->Parts();
    const int y = (g.thumb.top + g.thumb.bottom) / 2;
    SendMessageW(h, WM_LBUTTONDOWN, MK_LBUTTON, at(9, y));
    SendMessageW(h, WM_MOUSEMOVE, MK_LBUTTON, at(9, y + 500));
    SendMessageW(h, WM_LBUTTONUP, 0, at(9, y + 500));
    EXPECT_EQ(bar->Position(), 100);
    EXPECT_EQ(lastChanges, 1);
    EXPECT_GT(changes, held) << "one event per change";
    SCROLLINFO info{sizeof info, SIF_ALL, 0, 0, 0, 0, 0};
    EXPECT_TRUE(SendMessageW(h, SBM_GETSCROLLINFO, 0, reinterpret_cast<LPARAM>(&info)));
    EXPECT_EQ(info.nPos, 100);
    EXPECT_EQ(info.nMax, 100);
    EXPECT_EQ(SendMessageW(h, SBM_GETPOS, 0, 0), 100);

    // Hovering a button lights it (navy frame), leaving puts it back.
    const TRect end = bar->Parts().end_button;
    EXPECT_EQ(Picture(*bar).Pixel(end.left, end.top), ColorToRGB(clBtnShadow));
    SendMessageW(h, WM_MOUSEMOVE, 0, at(end.left + 3, end.top + 3));
    EXPECT_EQ(bar->HoveredPart(), spEndButton);
    EXPECT_EQ(Picture(*bar).Pixel(end.left, end.top), MakeColor(0, 0, 128));
    SendMessageW(h, WM_MOUSELEAVE, 0, 0);
    EXPECT_EQ(Picture(*bar).Pixel(end.left, end.top), ColorToRGB(clBtnShadow));

    // Disabled: no thumb, only the track's face.
    bar->SetPosition(50);
    const int frameRow = bar->Parts().thumb.top;  // the thumb's frame
    EXPECT_EQ(Picture(*bar).Pixel(9, frameRow), ColorToRGB(clBtnShadow));
    bar->SetEnabled(false);
    EXPECT_EQ(Picture(*bar).Pixel(9, frameRow), ColorToRGB(clBtnFace));

    // Skinned: yellow's bar is 16 wide.
    auto* skinned = Make<TbsSkinScrollBar>(40, 10, 20, 100, "vscrollbar");
    skinned->SetKind(sbVertical);
    skinned->SetBounds(40, 10, 20, 100);
    EXPECT_EQ(skinned->Width(), 16);
    EXPECT_EQ(skinned->Parts().end_button, (TRect{0, 84, 16, 100}));

    // A button handler that frees its bar: the press returns cleanly.
    skinned->OnUpButtonClick = [&](TComponent*) { delete skinned; };
    HWND gone = skinned->Handle();
    SendMessageW(gone, WM_LBUTTONDOWN, MK_LBUTTON, at(8, 90));
    EXPECT_FALSE(IsWindow(gone));
    Pump(50);
}

TEST_F(SkinnedTest, TheListShowsItsSkinnedBarOnlyWhenItsItemsDoNotFit) {
    auto* list = Make<TbsSkinListBox>(10, 10, 365, 177);
    ASSERT_GE(list->DataIndex(), 0);
    EXPECT_EQ(list->ItemHeight(), 20);
    for (int i = 0; i < 8; ++i) {
        list->AddItem("item " + std::to_string(i));
    }
    EXPECT_EQ(list->VScrollBar(), nullptr) << "8 rows of 20 fit in 172";
    EXPECT_EQ(list->ListBox().BoundsRect().left, 2);
    EXPECT_EQ(list->ListBox().Width(), 360);
    list->AddItem("item 8");
    TbsSkinScrollBar* bar = list->VScrollBar();
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->BoundsRect().left, 346);
    EXPECT_EQ(bar->Width(), 16);
    EXPECT_EQ(bar->Height(), 172);
    EXPECT_EQ(bar->PageSize(), 8);
    EXPECT_EQ(bar->Max(), 8);
    EXPECT_EQ(list->ListBox().Width(), 344);

    // Selecting the last of 200 scrolls it into view; the bar follows.
    for (int i = 9; i < 200; ++i) {
        list->AddItem("item " + std::to_string(i));
    }
    list->SetItemIndex(199);
    HWND inner = list->ListBox().Handle();
    EXPECT_EQ(SendMessageW(inner, LB_GETTOPINDEX, 0, 0), 192);
    EXPECT_EQ(list->VScrollBar()->Position(), 192);
    // Moving the bar scrolls the list.
    list->VScrollBar()->SetPosition(10);
    EXPECT_EQ(SendMessageW(inner, LB_GETTOPINDEX, 0, 0), 10);

    // Disabled: input posted to the inner list is dropped, the program still
    // selects.
    list->SetEnabled(false);
    PostMessageW(inner, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 5));
    PostMessageW(inner, WM_LBUTTONUP, 0, MAKELPARAM(20, 5));
    PostMessageW(inner, WM_KEYDOWN, VK_HOME, 0);
    Pump(50);
    EXPECT_EQ(SendMessageW(inner, LB_GETCURSEL, 0, 0), 199);
    list->SetItemIndex(3);
    EXPECT_EQ(SendMessageW(inner, LB_GETCURSEL, 0, 0), 3);

    // Items added one at a time while the list paints: the bar's creation
    // re-lays the list out, which must not erase and update again and again.
    list->SetEnabled(true);
    list->ClearItems();
    int erases = 0;
    const TWndMethod inner_proc = list->ListBox().WindowProc;
    list->ListBox().WindowProc = [&](TMessage& m) {
        erases += m.Msg == WM_ERASEBKGND;
        inner_proc(m);
    };
    for (int i = 0; i < 12; ++i) {
        list->AddItem("row " + std::to_string(i));
        Pump(20);
    }
    Pump(200);
    EXPECT_NE(list->VScrollBar(), nullptr);
    EXPECT_LT(erases, 60) << "no erase loop";
    list->ListBox().WindowProc = inner_proc;

    // Back to a few items: the bar goes and the list takes its room again.
    list->ClearItems();
    list->AddItem("one");
    EXPECT_EQ(list->VScrollBar(), nullptr);
    EXPECT_EQ(list->ListBox().Width(), 360);
}

TEST(SkinnedDefinitionTest, ScrollBarsAndStdLabelsAreReadFromADefinition) {
    TClassRegistry registry;
    RegisterFrameworkClasses(registry);
    RegisterSkinControlClasses(registry);
    const char* text = R"(object Defined: TForm
  object Bar1: TbsSkinScrollBar
    Kind = sbVertical
    Left = 5
    Width = 19
    Height = 120
    Max = 40
    PageSize = 8
    Position = 50
    SmallChange = 2
    LargeChange = 8
    CanFocused = true
    BothSkinDataName = "both"
  end
  object Text1: TbsSkinStdLabel
    Caption = "message"
    SkinDataName = "stdlabel"
    UseSkinFont = false
  end
end
)";
    TForm form(nullptr);
    ReadDefinition(text, registry, form);
    auto* bar = dynamic_cast<TbsSkinScrollBar*>(form.FindComponent("Bar1"));
    auto* label = dynamic_cast<TbsSkinStdLabel*>(form.FindComponent("Text1"));
    ASSERT_NE(bar, nullptr);
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(bar->Kind(), sbVertical);
    EXPECT_EQ(bar->Height(), 120);
    EXPECT_EQ(bar->PageSize(), 8);
    EXPECT_EQ(bar->Position(), 33) << "clamped to Max - PageSize + 1";
    EXPECT_EQ(bar->SmallChange(), 2);
    EXPECT_TRUE(bar->CanFocused());
    EXPECT_TRUE(bar->TabStop());
    EXPECT_EQ(bar->BothSkinDataName(), "both");
    EXPECT_EQ(label->Caption(), "message");
    EXPECT_FALSE(label->UseSkinFont());
}

TEST_F(SkinnedTest, AStdLabelWritesInTheSkinsFontOverItsParent) {
    auto* l = new TbsSkinStdLabel(form_.get());
    l->SetParent(form_.get());
    l->SetBounds(20, 150, 10, 10);
    l->SetCaption("Wm");
    l->SetSkinData(data_);
    ASSERT_GE(l->DataIndex(), 0);
    // What the form shows where the label is, over a background of its own.
    auto shot = [&] {
        TBitmap print(form_->Width(), form_->Height());
        print.Canvas().Brush().SetColor(MakeColor(1, 2, 3));
        print.Canvas().FillRect(Rect(0, 0, print.Width(), print.Height()));
        SendMessageW(form_->Handle(), WM_PRINTCLIENT,
                     reinterpret_cast<WPARAM>(print.Canvas().Handle()), PRF_CLIENT);
        GdiFlush();
        TBitmap part(l->Width(), l->Height());
        part.Canvas().DrawPart(0, 0, print, Rect(20, 150, 20 + l->Width(), 150 + l->Height()));
        return part;
    };
    const TBitmap enabled = shot();
    EXPECT_GT(ColorBox(enabled, MakeColor(255, 255, 255)).right, 0) << "yellow's white text";
    EXPECT_EQ(enabled.Pixel(0, 0), MakeColor(1, 2, 3)) << "the parent shows through";
    EXPECT_GT(l->Height(), 10) << "AutoSize fits the skin's font";

    // Disabled: the text twice, the highlight one pixel right and down.
    l->SetEnabled(false);
    const TBitmap disabled = shot();
    TBitmap background(l->Width(), l->Height());
    background.Canvas().Brush().SetColor(MakeColor(1, 2, 3));
    background.Canvas().FillRect(Rect(0, 0, l->Width(), l->Height()));
    const RECT a = DiffBox(enabled, background);
    const RECT b = DiffBox(disabled, background);
    EXPECT_EQ(b.left, a.left);
    EXPECT_EQ(b.right, std::min<LONG>(a.right + 1, l->Width()));
    EXPECT_GT(ColorBox(disabled, ColorToRGB(clBtnShadow)).right, 0);

    // The form relays a skin change to it; a freed skin data leaves it none.
    data_->SetCompressedStoredSkin(Stored(kAssets + "/skins/silver/skin.ini"));
    EXPECT_GE(l->DataIndex(), 0);
    delete data_;
    data_ = nullptr;
    EXPECT_EQ(l->SkinData(), nullptr);
    EXPECT_EQ(l->DataIndex(), -1);
}

TEST_F(SkinnedTest, ControlsFreedOrReskinnedByTheirOwnHandlers) {
    // A click handler that frees its button: the release returns cleanly.
    auto* b = Make<TbsSkinButton>(10, 10, 75, 25);
    int ups = 0;
    bool freed = false;
    b->OnMouseUp = [&](TComponent*, TMouseButton, TShiftState, int, int) { ++ups; };
    b->OnClick = [&](TComponent*) {
        delete b;
        freed = true;
    };
    HWND h = b->Handle();
    SendMessageW(h, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    SendMessageW(h, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageW(h, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    EXPECT_TRUE(freed);
    EXPECT_EQ(ups, 0) << "no mouse-up event of a freed button";
    EXPECT_FALSE(IsWindow(h));

    // A skin change while a button fades: it reads nothing of the old skin.
    auto* hovered = Make<TbsSkinButton>(10, 40, 75, 25);
    SendMessageW(hovered->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    ASSERT_TRUE(PumpUntil([&] { return hovered->MorphFactor() > 0; }, 1000));
    data_->SetCompressedStoredSkin(Stored(kAssets + "/skins/silver/skin.ini"));
    EXPECT_GE(hovered->DataIndex(), 0);
    EXPECT_EQ(hovered->Height(), 23) << "silver's button";
    Pump(150);
    hovered->Repaint();
}

}  // namespace
}  // namespace skin
