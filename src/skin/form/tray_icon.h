#pragma once

// TbsTrayIcon: one icon of the program in the notification area. It shows a
// skinned popup menu on the right button (or the left one), tells clicks
// from double clicks by the system's double-click time, puts itself back
// when the shell restarts ("TaskbarCreated"), and, with MinimizeToTray,
// hides the program's windows while the program is minimized, leaving only
// the icon.

#include <windows.h>

#include <string>

#include "framework/component.h"
#include "framework/controls.h"

namespace skin {

class TbsSkinPopupMenu;

class TbsTrayIcon : public framework::TComponent {
  public:
    explicit TbsTrayIcon(framework::TComponent* owner);
    ~TbsTrayIcon() override;

    // Null: the program's own icon.
    HICON Icon() const { return icon_; }
    void SetIcon(HICON value);
    const std::string& Hint() const { return hint_; }
    void SetHint(std::string value);
    // In the notification area now.
    bool IconVisible() const { return visible_; }
    void SetIconVisible(bool value);
    // Hide the program's windows while it is minimized.
    bool MinimizeToTray() const { return minimizeToTray_; }
    void SetMinimizeToTray(bool value);

    TbsSkinPopupMenu* PopupMenu() const { return popupMenu_; }
    void SetPopupMenu(TbsSkinPopupMenu* value);
    bool PopupByLeftButton() const { return popupByLeftButton_; }
    void SetPopupByLeftButton(bool value) { popupByLeftButton_ = value; }

    framework::TNotifyEvent OnClick;
    framework::TNotifyEvent OnDblClick;

    // The window that receives the icon's notifications (for tests).
    HWND Handle() const { return window_; }
    // The message the icon's notifications arrive with.
    static constexpr UINT kCallbackMessage = WM_APP + 0x7A;

  protected:
    void Notification(framework::TComponent* component, framework::TOperation operation) override;

  private:
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT Handle(UINT msg, WPARAM wParam, LPARAM lParam);
    // Adds, changes or deletes the icon; false when the shell refused.
    bool Notify(DWORD message);
    void ShowMenu();

    HWND window_ = nullptr;
    HICON icon_ = nullptr;
    std::string hint_;
    bool visible_ = false;
    bool added_ = false;
    bool minimizeToTray_ = false;
    bool popupByLeftButton_ = false;
    TbsSkinPopupMenu* popupMenu_ = nullptr;
    UINT taskbarCreated_ = 0;
    bool clickPending_ = false;
};

}  // namespace skin
