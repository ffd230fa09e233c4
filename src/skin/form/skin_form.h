#pragma once

// TbsSkinForm: a component dropped on a form that draws the form's whole
// frame (border, caption, caption buttons) from a skin. It takes over the
// form's WindowProc slot, answers the non-client messages itself (size,
// painting, hit testing, activation, tracking sizes) and passes everything
// else on. The frame is the skin's main picture cut into four bands that
// follow the window's size; the window takes the shape of the skin's mask.
// Without a skin (none assigned, or an empty one) it draws a plain built-in
// frame, so the form never falls back to the system's. It also passes the
// skin notifications on to the form's skinned controls.

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "framework/controls.h"
#include "framework/definition.h"
#include "framework/forms.h"
#include "framework/graphics.h"
#include "framework/menus.h"
#include "skin/data/skin_data.h"
#include "skin/form/core/frame_behaviour.h"
#include "skin/form/core/frame_core.h"
#include "skin/form/core/frame_objects_core.h"
#include "skin/form/core/system_menu.h"
#include "skin/form/skin_hint.h"
#include "skin/form/skin_menu.h"
#include "skin/form/tray_icon.h"

namespace skin {

// Raised when a component that must belong to a form is given another owner.
class EInvalidCast : public base::Exception {
  public:
    EInvalidCast() : base::Exception("Invalid class typecast") {}
};

// One object of the frame: the caption, a caption button, an animation or a
// user area, placed by the layout and drawn on the frame's bands.
struct TbsFrameObject {
    TFrameObjectPlace place;
    // The skin's description of it; null for the built-in default buttons.
    const TbsDataSkinObject* data = nullptr;
    std::string id_name;
    bool enabled = true;
    // The caption object: whether it is drawn in its active look.
    bool active = false;
    // The picture its looks come from (the skin's active picture), or null.
    const TBitmapData* picture = nullptr;
    std::string hint;
    bool mouse_in = false;
    bool down = false;          // buttons: pressed
    bool morphing = false;      // fades between its normal and active look
    double morph = 0;           // 0: the normal look, 1: the active look
    TAnimationState animation;  // animate objects
};

// The events of frame objects: the object's IDName and the point in window
// coordinates.
using TbsMouseButtonEvent = std::function<void(const std::string& id, int x, int y,
                                               const TRect& object, framework::TMouseButton)>;
using TbsMouseMoveEvent =
    std::function<void(const std::string& id, int x, int y, const TRect& object)>;
using TbsMouseEnterEvent = std::function<void(const std::string& id)>;
using TbsPaintEvent =
    std::function<void(const std::string& id, framework::TCanvas& canvas, const TRect& object)>;
using TbsActivateCustomObjectEvent = std::function<void(const std::string& id, bool& visible)>;

class TbsSkinForm : public framework::TComponent {
  public:
    // `owner` must be a form (EInvalidCast otherwise).
    explicit TbsSkinForm(framework::TComponent* owner);
    ~TbsSkinForm() override;

    framework::TForm& Form() const { return *form_; }

    TbsSkinData* SkinData() const { return skinData_; }
    // Applies the skin at once.
    void SetSkinData(TbsSkinData* value);
    TbsSkinData* MenusSkinData() const { return menusSkinData_; }
    void SetMenusSkinData(TbsSkinData* value);

    // When above 0, the client area is set to this size at the end of every
    // skin application, whatever the skin's borders are.
    int ClientWidth() const { return clientWidth_; }
    void SetClientWidth(int value) { clientWidth_ = value; }
    int ClientHeight() const { return clientHeight_; }
    void SetClientHeight(int value) { clientHeight_ = value; }
    // Raise the minimum tracking size; 0 leaves the skin's.
    int MinWidth() const { return minWidth_; }
    void SetMinWidth(int value) { minWidth_ = value; }
    int MinHeight() const { return minHeight_; }
    void SetMinHeight(int value) { minHeight_ = value; }
    // Upper bounds for the tracking size; 0: the monitor's size.
    int MaxWidth() const { return maxWidth_; }
    void SetMaxWidth(int value) { maxWidth_ = value; }
    int MaxHeight() const { return maxHeight_; }
    void SetMaxHeight(int value) { maxHeight_ = value; }
    // The form's cursor over the caption and frame (the sizing cursors stay).
    bool UseFormCursorInNCArea() const { return useFormCursorInNCArea_; }
    void SetUseFormCursorInNCArea(bool value) { useFormCursorInNCArea_ = value; }
    // Drawn centred in the client area over the background.
    framework::TBitmap& LogoBitMap() { return logo_; }
    void SetLogoBitMap(const TBitmapData& picture);
    bool LogoBitMapTransparent() const { return logoTransparent_; }
    void SetLogoBitMapTransparent(bool value) { logoTransparent_ = value; }
    // The built-in frame's caption fonts, active and inactive.
    framework::TFont& DefCaptionFont() { return defCaptionFont_; }
    framework::TFont& DefInActiveCaptionFont() { return defInactiveCaptionFont_; }
    // The system-menu button shows the form's icon.
    bool ShowIcon() const { return showIcon_; }
    void SetShowIcon(bool value);
    // Which caption buttons are shown; setting it rebuilds the default ones.
    TbsBorderIcons BorderIcons() const { return borderIcons_; }
    void SetBorderIcons(TbsBorderIcons value);
    // Hides every caption button, close included, at the next skin
    // application.
    bool HideCaptionButtons() const { return hideCaptionButtons_; }
    void SetHideCaptionButtons(bool value) { hideCaptionButtons_ = value; }

    // Object hints: the built-in texts replace the skin's for the command
    // buttons.
    bool UseDefaultObjectHint() const { return useDefaultObjectHint_; }
    void SetUseDefaultObjectHint(bool value);
    // With ShowObjectHint, an object's hint shows in SkinHint while the mouse
    // is over the object.
    bool ShowObjectHint() const { return showObjectHint_; }
    void SetShowObjectHint(bool value) { showObjectHint_ = value; }
    TbsSkinHint* SkinHint() const { return skinHint_; }
    void SetSkinHint(TbsSkinHint* value);

    TbsMouseButtonEvent OnMouseDownEvent;
    TbsMouseButtonEvent OnMouseUpEvent;
    TbsMouseMoveEvent OnMouseMoveEvent;
    TbsMouseEnterEvent OnMouseEnterEvent;
    TbsMouseEnterEvent OnMouseLeaveEvent;
    TbsPaintEvent OnPaintEvent;
    TbsActivateCustomObjectEvent OnActivateCustomObject;

    framework::TNotifyEvent OnChangeSkinData;
    framework::TNotifyEvent OnActivate;
    framework::TNotifyEvent OnDeActivate;

    // --- Window states ---
    // The frame minimizes, maximizes, restores and rolls up the window
    // itself (the window has no system caption).
    TFrameWindowState WindowState() const { return states_.State(); }
    void SetWindowState(TFrameWindowState state);
    bool RolledUp() const { return states_.RolledUp(); }
    void RollUp(bool up);
    // Snap to the work area's edges while moving, within MagneticSize.
    bool Magnetic() const { return magnetic_; }
    void SetMagnetic(bool value) { magnetic_ = value; }
    int MagneticSize() const { return magneticSize_; }
    void SetMagneticSize(int value) { magneticSize_ = std::clamp(value, 0, 255); }
    // Maximize over the whole monitor instead of its work area.
    bool MaximizeOnFullScreen() const { return maximizeOnFullScreen_; }
    void SetMaximizeOnFullScreen(bool value) { maximizeOnFullScreen_ = value; }
    framework::TNotifyEvent OnChangeRollUpState;

    // --- The notification area ---
    // The icon that minimizing to the tray uses (nothing happens without
    // one). Assigning it hides it (unless AlwaysShowInTray), gives it the
    // frame's tray menu when it has no menu, and a double click on it
    // restores the program.
    TbsTrayIcon* TrayIcon() const { return trayIcon_; }
    void SetTrayIcon(TbsTrayIcon* value);
    bool AlwaysShowInTray() const { return alwaysShowInTray_; }
    void SetAlwaysShowInTray(bool value) { alwaysShowInTray_ = value; }
    bool AlwaysMinimizeToTray() const { return alwaysMinimizeToTray_; }
    void SetAlwaysMinimizeToTray(bool value) { alwaysMinimizeToTray_ = value; }
    void MinimizeToTray();
    void RestoreFromTray();
    framework::TNotifyEvent OnMinimizeToTray;
    framework::TNotifyEvent OnRestoreFromTray;

    // --- Translucency ---
    // Where layered windows are usable: the window is translucent with
    // AlphaBlendValue, and/or fades in when shown.
    bool AlphaBlend() const { return alphaBlend_; }
    void SetAlphaBlend(bool value);
    bool AlphaBlendAnimation() const { return alphaBlendAnimation_; }
    void SetAlphaBlendAnimation(bool value) { alphaBlendAnimation_ = value; }
    int AlphaBlendValue() const { return alphaBlendValue_; }
    void SetAlphaBlendValue(int value);

    // --- Menus ---
    // The frame of `form`: the first TbsSkinForm among its components.
    static TbsSkinForm* FrameOf(framework::TForm& form);
    // The engine that shows the form's skinned menus (made on first use);
    // its fields are the menus' settings.
    TbsSkinMenu& Menu();
    // A user-supplied system menu (null: the frame's own), and whether the
    // standard items are merged into it.
    framework::TPopupMenu* SystemMenu() const { return systemMenu_; }
    void SetSystemMenu(framework::TPopupMenu* value);
    bool UseDefaultSysMenu() const { return useDefaultSysMenu_; }
    void SetUseDefaultSysMenu(bool value) { useDefaultSysMenu_ = value; }
    // Shows `items` with the menu skin (`skin`, else MenusSkinData, else
    // SkinData) against `anchor` (screen coordinates), closing what was open
    // and taking the keyboard until the menu closes.
    void PopupSkinMenu(framework::TMenuItem& items, TbsSkinData* skin,
                       const framework::TRect& anchor, bool upwards,
                       const std::vector<framework::TBitmapData>* images, HWND control);
    // The system menu at a screen point (an empty rectangle) or under a
    // rectangle.
    void PopupSystemMenu(const framework::TRect& anchor);
    // Closes the open skin menu, if any, and gives the keyboard back.
    void CloseSkinMenus();
    bool InMenuMode() const { return menuFilter_ != 0; }
    framework::TNotifyEvent OnSkinMenuOpen;
    framework::TNotifyEvent OnSkinMenuClose;

    // True while a non-empty skin draws the frame.
    bool Skinned() const { return skinned_; }
    // Whether the frame shows its active look.
    bool FrameActive() const { return frameActive_; }
    // Runs when SkinData is set and when its skin changes.
    void ApplySkin();
    // Sends WM_NCPAINT to the form.
    void RepaintFrame();
    TPoint MinTrackSize() const;
    // The minimum size in a given state (minimized and rolled-up windows
    // keep only the frame).
    TPoint MinTrackSizeFor(bool minimized, bool rolled_up) const;
    TPoint MaxTrackSize() const;
    // The frame's current geometry (skinned), for the last size seen.
    const TFrameGeometry& Geometry() const { return geometry_; }
    const std::vector<TbsFrameObject>& Objects() const { return objects_; }
    // The object under the mouse and the one holding the mouse; -1: none.
    int ActiveObject() const { return activeObject_; }
    int CaptureObject() const { return captureObject_; }
    // The hit-test code of a point in window coordinates.
    int HitTest(TPoint p);
    // A screen point in window coordinates.
    TPoint WindowPoint(TPoint screen) const;

    void Loaded() override;

  protected:
    void Notification(framework::TComponent* component, framework::TOperation operation) override;

  private:
    void WndProc(framework::TMessage& m, const framework::TWndMethod& previous);
    bool HasBorder() const;
    bool Sizeable() const;
    bool ToolWindow() const;
    int CaptionHeight() const;
    void RememberSize();
    void UpdateGeometry();
    void LayoutObjects();
    void BuildObjects();
    void BuildDefaultButtons();
    void ApplyVisibility();
    void CalcClientRect(RECT& proposed);
    void PaintSkinnedFrame();
    void PaintBuiltInFrame();
    void DrawObject(const TbsFrameObject& o, framework::TBitmap& band, int dy);
    void DrawCaption(const TbsFrameObject& o, framework::TBitmap& band, int dy);
    // The caption text in its normal or active look, with (ox, oy) as the
    // object's left-top.
    void DrawCaptionText(const TbsFrameObject& o, bool active, framework::TCanvas& canvas, int ox,
                         int oy);
    // One look of the caption, background and text, as large as the object.
    void RenderCaptionLook(const TbsFrameObject& o, bool active, framework::TBitmap& look);
    void DrawDefaultButton(const TbsFrameObject& o, framework::TBitmap& target, int dx, int dy);
    void PaintClientBackground(HDC dc);
    void RegionAndLayout();
    void RemoveRegion();
    void SizeNudge();
    void FitToMinimum();
    void UpdateActive(bool repaint);
    void PrepareSkinChange();
    // --- Objects and the mouse ---
    void ClearObjects();
    void ReloadHints();
    // Finds the object under `p` (window coordinates) and moves the hover to
    // it (`allow` false: to none).
    void HoverTest(TPoint p, bool allow);
    void ObjectEnter(int index);
    // Shows (or hides) the object's hint, when the frame shows object hints.
    void ObjectHint(const TbsFrameObject& o, bool show);
    void ObjectLeave(int index);
    void ObjectDown(int index, framework::TMouseButton button, TPoint p);
    // May free the form (through its close command): the caller touches
    // nothing after it.
    void ObjectUp(int index, framework::TMouseButton button, TPoint p);
    void ObjectDoubleClick(int index);
    // Runs a button's command; false when the form may be gone.
    bool RunCommand(const TbsFrameObject& o);
    void StartObjectTimer(UINT_PTR id, UINT period);
    void StopObjectTimer(UINT_PTR id);
    void HoverTick();
    void MorphTick();
    void AnimationTick();
    void ResetObjects();
    void RepaintObject(int index);
    bool RestoreLook(const TbsFrameObject& o) const;
    // The form's icon in the small size, made once (the system-menu button
    // shows it with ShowIcon).
    HICON SmallIcon();
    bool ShowsIcon(const TbsFrameObject& o) const;
    void SetOpacity(int value);
    void SetLayered(bool on);
    void FadeIn();
    void EnterMenuMode();
    void LeaveMenuMode();
    // The system menu under an object of the frame.
    void PopupSystemMenuUnder(const TbsFrameObject& o);
    // Carries out a command chosen from the system menu.
    void RunFrameCommand(TFrameCommand command);
    // The caption text, its font set on `canvas`, cut to `width`.
    std::string FitCaption(framework::TCanvas& canvas, int width) const;

    framework::TForm* form_;
    framework::TWindowProcHook hook_;
    TbsSkinData* skinData_ = nullptr;
    TbsSkinData* menusSkinData_ = nullptr;
    int clientWidth_ = 0;
    int clientHeight_ = 0;
    int minWidth_ = 0;
    int minHeight_ = 0;
    int maxWidth_ = 0;
    int maxHeight_ = 0;
    bool useFormCursorInNCArea_ = false;
    framework::TBitmap logo_;
    bool logoTransparent_ = false;
    framework::TFont defCaptionFont_;
    framework::TFont defInactiveCaptionFont_;
    bool showIcon_ = false;
    TbsBorderIcons borderIcons_ = bsbiSystemMenu | bsbiMinimize | bsbiMaximize | bsbiRollUp;
    bool hideCaptionButtons_ = false;

    bool skinned_ = false;
    bool frameActive_ = false;
    bool formActiveFlag_ = false;
    bool inSizeMove_ = false;
    bool fullDrag_ = false;
    bool inSkinChange_ = false;
    int lastWidth_ = 0;
    int lastHeight_ = 0;
    TFrameGeometry geometry_;
    TRect builtInCaption_;
    HRGN region_ = nullptr;
    TMaskBands maskBands_;
    std::vector<TbsFrameObject> objects_;
    uint64_t objectsGeneration_ = 0;  // counts rebuilds of objects_
    int activeObject_ = -1;
    int captureObject_ = -1;
    bool useDefaultObjectHint_ = true;
    bool showObjectHint_ = false;
    bool timers_[5] = {};  // by timer id: running
    TFrameStates states_;
    bool magnetic_ = false;
    int magneticSize_ = 5;
    bool maximizeOnFullScreen_ = false;
    bool alphaBlend_ = false;
    bool alphaBlendAnimation_ = false;
    int alphaBlendValue_ = 200;
    bool fading_ = false;
    HICON smallIcon_ = nullptr;
    TbsTrayIcon* trayIcon_ = nullptr;
    TbsSkinHint* skinHint_ = nullptr;
    TbsSkinPopupMenu* trayMenu_ = nullptr;
    bool alwaysShowInTray_ = false;
    bool alwaysMinimizeToTray_ = false;

    std::unique_ptr<TbsSkinMenu> menu_;
    int menuFilter_ = 0;  // the application message filter while a menu is open
    bool menuOpenedOnce_ = false;
    framework::TPopupMenu* systemMenu_ = nullptr;
    bool useDefaultSysMenu_ = true;
    // The frame's own system menu, rebuilt each time it opens.
    framework::TMenuItem* ownSystemMenu_ = nullptr;
};

// Registers TbsSkinForm and its properties for window definitions.
void RegisterSkinFormClass(framework::TClassRegistry& registry);

}  // namespace skin
