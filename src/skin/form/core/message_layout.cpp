#include "skin/form/core/message_layout.h"

#include <algorithm>
#include <initializer_list>

namespace skin {

namespace {

constexpr TMessageKindInfo kKinds[] = {
    {"MSG_CAP_WARNING", "警告"}, {"MSG_CAP_ERROR", "错误"}, {"MSG_CAP_INFORMATION", "信息"},
    {"MSG_CAP_CONFIRM", "确认"}, {nullptr, nullptr},
};

constexpr TMessageButtonInfo kButtons[kMessageButtonKinds] = {
    {"Yes", "MSG_BTN_YES", "是(&Y)", 6},
    {"No", "MSG_BTN_NO", "否(&N)", 7},
    {"OK", "MSG_BTN_OK", "确定", 1},
    {"Cancel", "MSG_BTN_CANCEL", "取消", 2},
    {"Abort", "MSG_BTN_ABORT", "终止(&A)", 3},
    {"Retry", "MSG_BTN_RETRY", "重试(&R)", 4},
    {"Ignore", "MSG_BTN_IGNORE", "忽略(&I)", 5},
    {"All", "MSG_BTN_ALL", "全部(&A)", 8},
    {"NoToAll", "MSG_BTN_NOTOALL", "全部否(&O)", 9},
    {"YesToAll", "MSG_BTN_YESTOALL", "全部是(&Y)", 10},
    {"Help", "MSG_BTN_HELP", "帮助(&H)", 0},
};

bool Has(TMsgDlgButtons buttons, TMsgDlgBtn button) {
    return (buttons & MessageButtonBit(button)) != 0;
}

// The first of `order` that the set holds, or -1.
int FirstOf(TMsgDlgButtons buttons, std::initializer_list<TMsgDlgBtn> order) {
    for (const TMsgDlgBtn b : order) {
        if (Has(buttons, b)) {
            return b;
        }
    }
    return -1;
}

}  // namespace

const TMessageKindInfo& MessageKindInfo(TMsgDlgType kind) {
    const int k = kind >= mtWarning && kind <= mtCustom ? kind : mtCustom;
    return kKinds[k];
}

const TMessageButtonInfo& MessageButtonInfo(TMsgDlgBtn button) {
    return kButtons[std::clamp<int>(button, 0, kMessageButtonKinds - 1)];
}

int MessageDefaultButton(TMsgDlgButtons buttons) {
    return FirstOf(buttons, {mbOK, mbYes, mbRetry});
}

int MessageCancelButton(TMsgDlgButtons buttons) {
    return FirstOf(buttons, {mbCancel, mbNo, mbOK});
}

TMessageLayout LayoutMessage(const TMessageLayoutInput& in) {
    TMessageLayout out;
    out.label = framework::TRect::Bounds(kMessageLabelLeft, kMessageLabelTop, in.label_width,
                                         in.label_height);
    if (in.icon) {
        const int top = std::max(kMessageIconMinTop,
                                 out.label.top + in.label_height / 2 - kMessageIconSize / 2);
        out.icon =
            framework::TRect::Bounds(kMessageIconLeft, top, kMessageIconSize, kMessageIconSize);
    }

    int count = 0;
    for (int b = 0; b < kMessageButtonKinds; ++b) {
        count += Has(in.buttons, static_cast<TMsgDlgBtn>(b)) ? 1 : 0;
    }
    out.buttons_width =
        count == 0 ? 0 : count * (kMessageButtonWidth + kMessageButtonGap) - kMessageButtonGap;

    const int right = out.label.right;
    const int client_width = out.buttons_width < right ? right + 40 : out.buttons_width + 40;
    out.client_height = in.button_height + in.label_height + 50;

    int window = client_width + in.frame_width;
    if (in.max_window_width > 0 && in.max_window_width < window) {
        window = in.max_window_width;
    } else if (window < in.min_window_width) {
        window = in.min_window_width;
    }
    out.window_width = window;
    out.client_width = window - in.frame_width;

    out.default_button = MessageDefaultButton(in.buttons);
    out.cancel_button = MessageCancelButton(in.buttons);
    int x = (out.client_width - out.buttons_width) / 2;
    const int y = out.client_height - in.button_height - 10;
    for (int b = 0; b < kMessageButtonKinds; ++b) {
        const auto kind = static_cast<TMsgDlgBtn>(b);
        if (!Has(in.buttons, kind)) {
            continue;
        }
        out.buttons.push_back(TMessageButtonPlace{
            kind, framework::TRect::Bounds(x, y, kMessageButtonWidth, in.button_height),
            b == out.default_button, b == out.cancel_button});
        x += kMessageButtonWidth + kMessageButtonGap;
    }
    return out;
}

}  // namespace skin
