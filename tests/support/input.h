#pragma once

// Real mouse and keyboard input for Windows tests, through SendInput: the
// system routes it like a person's input (to the window under the cursor,
// to the focused window), captures and key states included. Mouse helpers
// put the cursor at a screen point first. The input is queued; pump messages
// (support/message_pump.h) before looking at what it did.

#include <windows.h>

#include <initializer_list>
#include <vector>

namespace test_support {

namespace detail {

inline void SendMouse(DWORD flags) {
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dwFlags = flags;
    SendInput(1, &in, sizeof(INPUT));
}

inline void SendKey(WORD vk, bool up) {
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
    in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    SendInput(1, &in, sizeof(INPUT));
}

}  // namespace detail

// Moves the cursor to `screen` (a mouse move, with whatever buttons are down).
inline void MoveTo(POINT screen) {
    SetCursorPos(screen.x, screen.y);
}

// Left button down (PressAt) or up (ReleaseAt) at `screen`.
inline void PressAt(POINT screen) {
    MoveTo(screen);
    detail::SendMouse(MOUSEEVENTF_LEFTDOWN);
}

inline void ReleaseAt(POINT screen) {
    MoveTo(screen);
    detail::SendMouse(MOUSEEVENTF_LEFTUP);
}

// A left click: press and release at `screen`.
inline void ClickAt(POINT screen) {
    PressAt(screen);
    detail::SendMouse(MOUSEEVENTF_LEFTUP);
}

inline void RightClickAt(POINT screen) {
    MoveTo(screen);
    detail::SendMouse(MOUSEEVENTF_RIGHTDOWN);
    detail::SendMouse(MOUSEEVENTF_RIGHTUP);
}

// Presses at `from`, moves in `steps` equal steps (at least one) to `to` and
// releases there.
inline void DragFromTo(POINT from, POINT to, int steps) {
    if (steps < 1) {
        steps = 1;
    }
    PressAt(from);
    for (int i = 1; i <= steps; ++i) {
        MoveTo(POINT{from.x + (to.x - from.x) * i / steps, from.y + (to.y - from.y) * i / steps});
    }
    ReleaseAt(to);
}

// Presses the keys in order and releases them in reverse order: a chord such
// as KeyDownUp({VK_MENU, 'Y'}) for Alt+Y.
inline void KeyDownUp(std::initializer_list<WORD> keys) {
    const std::vector<WORD> order(keys);
    for (WORD vk : order) {
        detail::SendKey(vk, false);
    }
    for (auto it = order.rbegin(); it != order.rend(); ++it) {
        detail::SendKey(*it, true);
    }
}

// One key pressed and released ('A'..'Z' and '0'..'9' are their own codes).
inline void KeyPress(WORD vk) {
    KeyDownUp({vk});
}

}  // namespace test_support
