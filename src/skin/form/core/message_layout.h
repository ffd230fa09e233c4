#pragma once

// The skinned message box without windows: its kinds and buttons (names,
// built-in captions, string keys, results), which button answers Enter and
// which answers Esc, and where the label, the icon and the buttons go in a
// dialog of which size. Portable, so that the rules are tested natively;
// the dialog itself (skin/form/message.h) only measures the text and the
// frame and places what this computes.

#include <cstdint>
#include <vector>

#include "framework/geometry.h"

namespace skin {

// The kind of a message: its caption and icon. Any other value counts as
// custom.
enum TMsgDlgType : int { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };

// Button kinds; bit n of a button set is kind n, and the buttons are laid
// out in this order.
enum TMsgDlgBtn : int {
    mbYes,
    mbNo,
    mbOK,
    mbCancel,
    mbAbort,
    mbRetry,
    mbIgnore,
    mbAll,
    mbNoToAll,
    mbYesToAll,
    mbHelp,
};
inline constexpr int kMessageButtonKinds = 11;
using TMsgDlgButtons = uint16_t;

constexpr TMsgDlgButtons MessageButtonBit(TMsgDlgBtn button) {
    return static_cast<TMsgDlgButtons>(1u << button);
}

// The kind's caption: a resource-string key and the built-in text (GBK).
// The custom kind has neither: its caption is the application's title.
struct TMessageKindInfo {
    const char* key;
    const char* caption;
};
// A kind outside 0..4 is treated as custom.
const TMessageKindInfo& MessageKindInfo(TMsgDlgType kind);

// A button kind: its component name, resource-string key, built-in caption
// (GBK) and the dialog result it gives (0: it shows help and closes
// nothing).
struct TMessageButtonInfo {
    const char* name;
    const char* key;
    const char* caption;
    int result;
};
const TMessageButtonInfo& MessageButtonInfo(TMsgDlgBtn button);

// The button that Enter presses: OK, else Yes, else Retry; -1 when the set
// has none of them.
int MessageDefaultButton(TMsgDlgButtons buttons);
// The button that Esc presses: Cancel, else No, else OK; -1 when none.
int MessageCancelButton(TMsgDlgButtons buttons);

// The fixed measures of the dialog.
inline constexpr int kMessageButtonWidth = 70;
inline constexpr int kMessageButtonHeight = 25;  // without a skin button
inline constexpr int kMessageButtonGap = 10;
inline constexpr int kMessageLabelLeft = 50;
inline constexpr int kMessageLabelTop = 15;
inline constexpr int kMessageIconLeft = 5;
inline constexpr int kMessageIconMinTop = 10;
inline constexpr int kMessageIconSize = 32;

struct TMessageLayoutInput {
    // The measured message text (one line per line of text, never wrapped).
    int label_width = 0;
    int label_height = 0;
    // Bits above the last kind are ignored.
    TMsgDlgButtons buttons = 0;
    int button_height = kMessageButtonHeight;
    bool icon = true;
    // The window's frame: window width minus client width.
    int frame_width = 0;
    // The frame's tracking limits for the window's width (a maximum of 0:
    // none).
    int min_window_width = 0;
    int max_window_width = 0;
};

struct TMessageButtonPlace {
    TMsgDlgBtn kind = mbYes;
    framework::TRect bounds;  // client coordinates
    bool is_default = false;
    bool is_cancel = false;
};

struct TMessageLayout {
    framework::TRect label;
    framework::TRect icon;  // empty without an icon
    // Width of the row of buttons (0 without buttons).
    int buttons_width = 0;
    // The window's width after the frame's limits, and the client area the
    // window then has.
    int window_width = 0;
    int client_width = 0;
    int client_height = 0;
    // In bit order.
    std::vector<TMessageButtonPlace> buttons;
    int default_button = -1;  // a TMsgDlgBtn or -1
    int cancel_button = -1;
};

// The client area is as high as the buttons and the label plus 50, and 40
// wider than the label's right edge or the row of buttons, whichever
// reaches further. The window is then kept within the frame's limits (the
// maximum first) and the row of buttons centred in the client area that
// results, 10 above its bottom. The icon's middle is level with the
// label's, but the icon never starts above 10.
TMessageLayout LayoutMessage(const TMessageLayoutInput& in);

}  // namespace skin
