// The message box's rules without windows: the kinds and buttons, which
// button Enter and Esc press, and where everything goes for a measured text.

#include "skin/form/core/message_layout.h"

#include <gtest/gtest.h>

#include <string>

namespace skin {
namespace {

using framework::TRect;

std::string Describe(const TRect& r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + " " + std::to_string(r.Width()) +
           "x" + std::to_string(r.Height());
}

constexpr TMsgDlgButtons Set(std::initializer_list<TMsgDlgBtn> buttons) {
    TMsgDlgButtons set = 0;
    for (const TMsgDlgBtn b : buttons) {
        set |= MessageButtonBit(b);
    }
    return set;
}

// The custom kind, and anything outside the list, has no caption of its own:
// the dialog takes the application's title.
TEST(MessageKinds, OutsideTheListCountAsCustom) {
    EXPECT_NE(MessageKindInfo(mtError).caption, nullptr);
    for (const int kind : {4, 5, -1}) {
        EXPECT_EQ(MessageKindInfo(static_cast<TMsgDlgType>(kind)).caption, nullptr) << kind;
        EXPECT_EQ(MessageKindInfo(static_cast<TMsgDlgType>(kind)).key, nullptr) << kind;
    }
}

TEST(MessageButtons, EnterAndEscPressTheirButtons) {
    const struct {
        const char* what;
        TMsgDlgButtons set;
        int enter;
        int esc;
    } roles[] = {
        {"none", 0, -1, -1},
        {"Yes", Set({mbYes}), mbYes, -1},
        {"Yes No", Set({mbYes, mbNo}), mbYes, mbNo},
        {"OK Cancel", Set({mbOK, mbCancel}), mbOK, mbCancel},
        {"Abort Retry Ignore", Set({mbAbort, mbRetry, mbIgnore}), mbRetry, -1},
        {"Help", Set({mbHelp}), -1, -1},
        {"OK", Set({mbOK}), mbOK, mbOK},
        {"Yes No Cancel", Set({mbYes, mbNo, mbCancel}), mbYes, mbCancel},
        {"OK Yes No", Set({mbOK, mbYes, mbNo}), mbOK, mbNo},
        {"Retry Cancel", Set({mbRetry, mbCancel}), mbRetry, mbCancel},
        {"Yes Retry", Set({mbYes, mbRetry}), mbYes, -1},
    };
    for (const auto& r : roles) {
        EXPECT_EQ(MessageDefaultButton(r.set), r.enter) << r.what;
        EXPECT_EQ(MessageCancelButton(r.set), r.esc) << r.what;
        // The laid-out buttons carry the same roles.
        TMessageLayoutInput in;
        in.buttons = r.set;
        const TMessageLayout layout = LayoutMessage(in);
        EXPECT_EQ(layout.default_button, r.enter) << r.what;
        EXPECT_EQ(layout.cancel_button, r.esc) << r.what;
        for (const TMessageButtonPlace& b : layout.buttons) {
            EXPECT_EQ(b.is_default, b.kind == r.enter) << r.what << " " << b.kind;
            EXPECT_EQ(b.is_cancel, b.kind == r.esc) << r.what << " " << b.kind;
        }
    }
}

// Yellow's dialog frame: 15 wider than the client, the skin picture 161 wide.
constexpr int kFrame = 15;
constexpr int kMin = 161;
constexpr int kMax = 1024;
constexpr int kNoButtons = -100000;

TEST(MessageLayout, SizesTheDialogAndCentresTheButtons) {
    const struct {
        const char* what;
        int label_width, label_height;
        TMsgDlgButtons buttons;
        int button_height, frame, min, max;
        int buttons_width, window, client_width, client_height;
        int first_x;  // kNoButtons: none
    } cases[] = {
        // The label reaches further than the buttons: R + 40.
        {"Yes, one line", 60, 14, Set({mbYes}), 25, kFrame, kMin, kMax, 70, 165, 150, 89, 40},
        {"Abort Retry Ignore", 300, 14, Set({mbAbort, mbRetry, mbIgnore}), 25, kFrame, kMin, kMax,
         230, 405, 390, 89, 80},
        // The buttons reach further: B + 40.
        {"Yes No, short text", 10, 14, Set({mbYes, mbNo}), 25, kFrame, kMin, kMax, 150, 205, 190,
         89, 20},
        {"B equal to R", 100, 14, Set({mbYes, mbNo}), 25, kFrame, kMin, kMax, 150, 205, 190, 89,
         20},
        {"all eleven", 10, 14, 0x07FF, 25, kFrame, kMin, kMax, 870, 925, 910, 89, 20},
        {"bits above the kinds", 60, 14, static_cast<TMsgDlgButtons>(0xF800 | 1), 25, kFrame, kMin,
         kMax, 70, 165, 150, 89, 40},
        // Three lines and a taller skin button.
        {"three lines", 60, 42, Set({mbOK}), 25, kFrame, kMin, kMax, 70, 165, 150, 117, 40},
        {"skin button 30 high", 60, 14, Set({mbOK}), 30, kFrame, kMin, kMax, 70, 165, 150, 94, 40},
        // Raised to the frame's minimum; the buttons centred in what results,
        // halving rounded down.
        {"no buttons, narrow", 1, 14, 0, 25, kFrame, kMin, kMax, 0, 161, 146, 89, kNoButtons},
        {"odd client", 5, 14, Set({mbYes}), 25, 14, kMin, kMax, 70, 161, 147, 89, 38},
        // Cut to the maximum (the work area), which wins over the minimum.
        {"wider than the work area", 2000, 14, Set({mbOK}), 25, kFrame, kMin, kMax, 70, 1024, 1009,
         89, 469},
        {"maximum below minimum", 30, 14, Set({mbOK}), 25, kFrame, kMin, 100, 70, 100, 85, 89, 7},
        {"no maximum", 2000, 14, Set({mbOK}), 25, kFrame, kMin, 0, 70, 2105, 2090, 89, 1010},
        // Buttons wider than the cut client area start left of it.
        {"all eleven, cut", 10, 14, 0x07FF, 25, kFrame, kMin, 600, 870, 600, 585, 89, -142},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TMessageLayoutInput in;
        in.label_width = c.label_width;
        in.label_height = c.label_height;
        in.buttons = c.buttons;
        in.button_height = c.button_height;
        in.frame_width = c.frame;
        in.min_window_width = c.min;
        in.max_window_width = c.max;
        const TMessageLayout l = LayoutMessage(in);
        EXPECT_EQ(l.buttons_width, c.buttons_width);
        EXPECT_EQ(l.window_width, c.window);
        EXPECT_EQ(l.client_width, c.client_width);
        EXPECT_EQ(l.client_height, c.client_height);
        EXPECT_EQ(Describe(l.label),
                  "50,15 " + std::to_string(c.label_width) + "x" + std::to_string(c.label_height));
        if (c.first_x == kNoButtons) {
            EXPECT_TRUE(l.buttons.empty());
            continue;
        }
        // Side by side in bit order, 80 apart, 10 above the bottom.
        ASSERT_FALSE(l.buttons.empty());
        int x = c.first_x;
        int previous = -1;
        for (const TMessageButtonPlace& b : l.buttons) {
            EXPECT_GT(static_cast<int>(b.kind), previous);
            previous = b.kind;
            EXPECT_EQ(Describe(b.bounds),
                      std::to_string(x) + "," +
                          std::to_string(c.client_height - c.button_height - 10) + " 70x" +
                          std::to_string(c.button_height))
                << b.kind;
            x += 80;
        }
        EXPECT_EQ(l.buttons.back().bounds.right - l.buttons.front().bounds.left, c.buttons_width);
    }
}

TEST(MessageLayout, KeepsTheIconLevelWithTheLabelButNotAboveTen) {
    const struct {
        int label_height;
        int icon_top;
    } cases[] = {
        {14, 10},                       // 15 + 7 - 16 = 6
        {22, 10},                       // 15 + 11 - 16 = 10
        {24, 11}, {42, 20},  {43, 20},  // 43 / 2 = 21
        {0, 10},  {100, 49},
    };
    for (const auto& c : cases) {
        TMessageLayoutInput in;
        in.label_width = 80;
        in.label_height = c.label_height;
        in.buttons = Set({mbYes});
        EXPECT_EQ(Describe(LayoutMessage(in).icon),
                  std::to_string(5) + "," + std::to_string(c.icon_top) + " 32x32")
            << c.label_height;
    }
    TMessageLayoutInput custom;
    custom.label_width = 80;
    custom.label_height = 14;
    custom.icon = false;
    const TMessageLayout l = LayoutMessage(custom);
    EXPECT_TRUE(l.icon.IsEmpty());
    EXPECT_EQ(l.label.left, 50) << "the label stays where it is without an icon";
}

}  // namespace
}  // namespace skin
