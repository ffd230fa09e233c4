#include "skin/form/tray_icon.h"

#include <shellapi.h>

#include <algorithm>

#include "framework/forms.h"
#include "framework/graphics.h"
#include "skin/form/skin_menu.h"

namespace skin {

namespace {

constexpr wchar_t kClass[] = L"TbsTrayIconWindow";
constexpr UINT_PTR kClickTimer = 1;
constexpr UINT kIconId = 1;

}  // namespace

TbsTrayIcon::TbsTrayIcon(framework::TComponent* owner) : TComponent(owner) {
    static const ATOM atom = [] {
        WNDCLASSW window_class{};
        window_class.lpfnWndProc = &TbsTrayIcon::WndProc;
        window_class.hInstance = GetModuleHandleW(nullptr);
        window_class.lpszClassName = kClass;
        return RegisterClassW(&window_class);
    }();
    // A hidden top-level window: message-only windows miss the shell's
    // broadcast when it starts again.
    window_ = CreateWindowExW(WS_EX_TOOLWINDOW, MAKEINTATOM(atom), L"", WS_POPUP, 0, 0, 0, 0,
                              nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (window_ != nullptr) {
        SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    taskbarCreated_ = RegisterWindowMessageW(L"TaskbarCreated");
}

TbsTrayIcon::~TbsTrayIcon() {
    if (added_) {
        Notify(NIM_DELETE);
    }
    if (window_ != nullptr) {
        SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
        DestroyWindow(window_);
    }
}

void TbsTrayIcon::SetIcon(HICON value) {
    icon_ = value;
    if (added_) {
        Notify(NIM_MODIFY);
    }
}

void TbsTrayIcon::SetHint(std::string value) {
    hint_ = std::move(value);
    if (added_) {
        Notify(NIM_MODIFY);
    }
}

void TbsTrayIcon::SetIconVisible(bool value) {
    visible_ = value;
    if (value && !added_) {
        added_ = Notify(NIM_ADD);
    } else if (!value && added_) {
        Notify(NIM_DELETE);
        added_ = false;
    }
}

void TbsTrayIcon::SetMinimizeToTray(bool value) {
    minimizeToTray_ = value;
    if (!value) {
        return;
    }
    // Only the icon stays: the program's windows go out of sight.
    framework::TApplication& app = framework::Application();
    if (framework::TForm* main = app.MainForm(); main != nullptr && main->HandleAllocated()) {
        ShowWindow(main->Handle(), SW_HIDE);
    }
    if (app.Handle() != nullptr) {
        ShowWindow(app.Handle(), SW_HIDE);
    }
    SetIconVisible(true);
}

void TbsTrayIcon::SetPopupMenu(TbsSkinPopupMenu* value) {
    if (popupMenu_ != nullptr) {
        RemoveFreeNotification(popupMenu_);
    }
    popupMenu_ = value;
    if (value != nullptr) {
        FreeNotification(value);
    }
}

void TbsTrayIcon::Notification(framework::TComponent* component, framework::TOperation operation) {
    TComponent::Notification(component, operation);
    if (operation == framework::opRemove && component == popupMenu_) {
        popupMenu_ = nullptr;
    }
}

bool TbsTrayIcon::Notify(DWORD message) {
    if (window_ == nullptr) {
        return false;
    }
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = window_;
    data.uID = kIconId;
    if (message != NIM_DELETE) {
        data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
        data.uCallbackMessage = kCallbackMessage;
        HICON icon =
            icon_ != nullptr ? icon_ : LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1));
        data.hIcon = icon != nullptr ? icon : LoadIconW(nullptr, IDI_APPLICATION);
        const std::wstring tip = framework::WideText(hint_);
        const size_t length = std::min(tip.size(), std::size(data.szTip) - 1);
        std::copy(tip.begin(), tip.begin() + static_cast<std::ptrdiff_t>(length), data.szTip);
    }
    return Shell_NotifyIconW(message, &data) != FALSE;
}

void TbsTrayIcon::ShowMenu() {
    if (popupMenu_ == nullptr) {
        return;
    }
    POINT cursor;
    GetCursorPos(&cursor);
    popupMenu_->Popup(cursor.x, cursor.y);
}

LRESULT CALLBACK TbsTrayIcon::WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* icon = reinterpret_cast<TbsTrayIcon*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    return icon != nullptr ? icon->Handle(msg, wParam, lParam)
                           : DefWindowProcW(hwnd, msg, wParam, lParam);
}

LRESULT TbsTrayIcon::Handle(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == taskbarCreated_ && taskbarCreated_ != 0) {
        // The shell started again with an empty notification area.
        if (added_) {
            added_ = Notify(NIM_ADD);
        }
        return 0;
    }
    if (msg == WM_TIMER && wParam == kClickTimer) {
        KillTimer(window_, kClickTimer);
        clickPending_ = false;
        if (OnClick) {
            OnClick(this);
        }
        return 0;
    }
    if (msg != kCallbackMessage) {
        return DefWindowProcW(window_, msg, wParam, lParam);
    }
    switch (static_cast<UINT>(lParam)) {
        case WM_RBUTTONUP:
            if (!popupByLeftButton_) {
                ShowMenu();
            }
            break;
        case WM_LBUTTONUP:
            if (popupByLeftButton_) {
                ShowMenu();
            } else if (!clickPending_) {
                // A click, unless a second one makes it a double click.
                clickPending_ = true;
                SetTimer(window_, kClickTimer, GetDoubleClickTime(), nullptr);
            }
            break;
        case WM_LBUTTONDBLCLK:
            KillTimer(window_, kClickTimer);
            clickPending_ = false;
            if (OnDblClick) {
                OnDblClick(this);
            }
            break;
        default:
            break;
    }
    return 0;
}

}  // namespace skin
