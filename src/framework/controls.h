#pragma once

// Controls: TControl (bounds, visibility, caption, font, mouse), the
// windowed TWinControl (a real child window with message dispatch, focus and
// tab order), TCustomControl (a windowed control that paints itself on a
// canvas), TGraphicControl (drawn on its parent's window), TImage and the
// labels (TCustomLabel, TLabel).
//
// Every message of a control goes through its WindowProc slot first, which
// by default is the virtual WndProc. WndProc turns the messages a control
// cares about into virtual handlers and passes the rest to DefaultHandler.
// An exception that escapes while a message is dispatched is handed to the
// application's HandleException; the window procedure itself never throws.

#include "framework/win32_api.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/component.h"
#include "framework/geometry.h"
#include "framework/graphics.h"

namespace framework {

// The framework's own notifications between controls.
// CM_DIALOGKEY (wParam: VK_RETURN or VK_ESCAPE): a dialog key that the
// focused control did not want; a control that acts on it sets Result to 1.
// CM_FOCUSCHANGED (lParam: the TWinControl* that took the focus): sent to
// every control of a form whenever the focus moves inside it.
// CM_DIALOGCHAR (wParam: the UTF-16 character): a possible accelerator,
// offered to every control of the form: each Alt+key (WM_SYSCHAR) that
// reaches a control or the form, and each plain character (WM_CHAR) that
// the focused control does not take itself (see WantsChars). A control that
// acts on it sets Result to 1, which ends the offer and keeps the character
// from going on (an Alt+key that nobody takes goes on to the system).
constexpr UINT CM_BASE = 0xB000;
constexpr UINT CM_DIALOGKEY = CM_BASE + 1;
constexpr UINT CM_FOCUSCHANGED = CM_BASE + 2;
constexpr UINT CM_DIALOGCHAR = CM_BASE + 3;

struct TMessage {
    UINT Msg = 0;
    WPARAM WParam = 0;
    LPARAM LParam = 0;
    LRESULT Result = 0;
};

using TWndMethod = std::function<void(TMessage&)>;
using TNotifyEvent = std::function<void(TComponent* sender)>;

enum TMouseButton { mbLeft, mbRight, mbMiddle };

// Modifier keys and mouse buttons held during an input message.
enum TShiftFlag : uint32_t {
    ssShift = 1,
    ssAlt = 2,
    ssCtrl = 4,
    ssLeft = 8,
    ssRight = 16,
    ssMiddle = 32,
};
using TShiftState = uint32_t;

// Shift state from the MK_ flags of a mouse message, or from the keyboard.
TShiftState ShiftStateFromMouse(WPARAM flags);
TShiftState ShiftStateFromKeyboard();

// Mouse events; x and y are in the control's client coordinates.
using TMouseEvent =
    std::function<void(TComponent* sender, TMouseButton button, TShiftState shift, int x, int y)>;
using TMouseMoveEvent = std::function<void(TComponent* sender, TShiftState shift, int x, int y)>;

class TWinControl;

class TControl : public TComponent {
  public:
    explicit TControl(TComponent* owner);
    ~TControl() override;

    TWinControl* Parent() const { return parent_; }
    // Moves the control into `parent`'s list of controls (and, for a windowed
    // control whose new parent has a window, makes its window a child of it).
    virtual void SetParent(TWinControl* parent);
    void SetParentComponent(TComponent* parent) override;

    int Left() const { return left_; }
    int Top() const { return top_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    void SetLeft(int value) { SetBounds(value, top_, width_, height_); }
    void SetTop(int value) { SetBounds(left_, value, width_, height_); }
    void SetWidth(int value) { SetBounds(left_, top_, value, height_); }
    void SetHeight(int value) { SetBounds(left_, top_, width_, value); }
    // Every change of position or size comes here; subclasses that adapt
    // their size override it and call the inherited one with the result.
    virtual void SetBounds(int left, int top, int width, int height);
    RECT BoundsRect() const { return Rect(left_, top_, left_ + width_, top_ + height_); }
    virtual int ClientWidth() const { return width_; }
    virtual int ClientHeight() const { return height_; }
    RECT ClientRect() const { return Rect(0, 0, ClientWidth(), ClientHeight()); }

    bool Visible() const { return visible_; }
    virtual void SetVisible(bool value);
    void Show() { SetVisible(true); }
    void Hide() { SetVisible(false); }
    // Visible, and every parent visible too.
    bool Showing() const;

    bool Enabled() const { return enabled_; }
    virtual void SetEnabled(bool value);

    // GBK text.
    const std::string& Caption() const { return caption_; }
    void SetCaption(std::string text);

    TColor Color() const { return color_; }
    void SetColor(TColor color);
    TFont& Font() { return *font_; }
    const TFont& Font() const { return *font_; }

    // Schedules a repaint; Repaint paints at once (without waiting for the
    // message loop, as a control that shows progress during a blocking
    // transfer needs).
    virtual void Invalidate();
    virtual void Repaint();

    // Sends a message through WindowProc and returns its result.
    LRESULT Perform(UINT msg, WPARAM wParam, LPARAM lParam);

    // The message procedure slot: replaceable, so that another component can
    // see every message first and pass it on to the procedure it replaced.
    TWndMethod WindowProc;

    TNotifyEvent OnClick;
    // Raised by the default MouseDown, MouseUp and MouseMove; a subclass
    // that overrides them calls the inherited one where it wants the event.
    TMouseEvent OnMouseDown;
    TMouseEvent OnMouseUp;
    TMouseMoveEvent OnMouseMove;

    // Called by the window procedure; catches everything a handler throws
    // and hands it to the application.
    void MainWndProc(TMessage& message);

    // Screen position of a client point.
    POINT ClientToScreen(POINT p) const;

    // For the window-definition reader: Left, Top, Width and Height arrive
    // one by one.
    void Loaded() override;

  protected:
    virtual void WndProc(TMessage& message);
    // What happens to a message no handler took: nothing for a control
    // without a window, the system's default for a windowed control.
    virtual void DefaultHandler(TMessage& message);

    // Handlers of the input and state messages.
    virtual void Click();
    virtual void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
    virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
    virtual void MouseMove(TShiftState shift, int x, int y);
    // The mouse entered or left the control.
    virtual void MouseEnter();
    virtual void MouseLeave();
    virtual void EnabledChanged();
    virtual void TextChanged();
    virtual void FontChanged();
    virtual void ColorChanged();
    virtual void VisibleChanged();
    // The size changed (after SetBounds has stored it).
    virtual void Resize();

    // For a control without a window: whether a mouse message at (x, y) of
    // the parent's client area is this control's.
    bool HitTest(int x, int y) const;

    bool MouseInControl() const { return mouseInControl_; }
    void SetMouseInControl(bool value);

    int left_ = 0;
    int top_ = 0;
    int width_ = 0;
    int height_ = 0;

  private:
    friend class TWinControl;

    TWinControl* parent_ = nullptr;
    bool visible_ = true;
    bool enabled_ = true;
    std::string caption_;
    TColor color_ = clBtnFace;
    std::unique_ptr<TFont> font_;
    bool mouseInControl_ = false;
    bool clicking_ = false;
};

// The parameters a windowed control's window is created with.
struct TCreateParams {
    std::wstring caption;
    DWORD style = 0;
    DWORD exStyle = 0;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    HWND parent = nullptr;
    std::wstring windowClass;
    UINT classStyle = CS_DBLCLKS;
    // The window class is one of the system's (LISTBOX, ...): the window is
    // made with it and then subclassed, and the class's own procedure is
    // what DefaultHandler calls.
    bool systemClass = false;
};

class TWinControl : public TControl {
  public:
    explicit TWinControl(TComponent* owner);
    ~TWinControl() override;

    // The window, created on first use (the parent's first).
    HWND Handle();
    bool HandleAllocated() const { return handle_ != nullptr; }
    void HandleNeeded() { Handle(); }
    // Destroys the window and creates it again with fresh CreateParams.
    void RecreateWnd();

    void SetParent(TWinControl* parent) override;
    void SetBounds(int left, int top, int width, int height) override;
    void SetVisible(bool value) override;
    void SetEnabled(bool value) override;
    int ClientWidth() const override;
    int ClientHeight() const override;
    void Invalidate() override;
    void Repaint() override;

    // The controls whose parent this is, in the order they joined.
    int ControlCount() const { return static_cast<int>(controls_.size()); }
    TControl* Controls(int index) const { return controls_.at(static_cast<size_t>(index)); }

    // Position in the parent's tab order (0 first); -1 without a parent.
    // Setting it moves the control there (clamped to the list).
    int TabOrder() const;
    void SetTabOrder(int order);
    bool TabStop() const { return tabStop_; }
    void SetTabStop(bool value);
    // The windowed children in tab order.
    std::vector<TWinControl*> TabList() const;

    bool CanFocus() const;
    bool Focused() const;
    void SetFocus();

    // The control whose window is `hwnd`, or null.
    static TWinControl* FindControl(HWND hwnd);

  protected:
    virtual void CreateParams(TCreateParams& params);
    virtual void CreateWnd();
    virtual void DestroyWnd();
    // Called once the window exists (its children are made after).
    virtual void CreateHandleDone() {}

    void WndProc(TMessage& message) override;
    void DefaultHandler(TMessage& message) override;

    // WM_PAINT: BeginPaint, PaintWindow, the controls without windows,
    // EndPaint.
    virtual void WMPaint(TMessage& message);
    virtual void PaintWindow(HDC dc);
    // WM_ERASEBKGND: fills the client area with Color; return without
    // calling it to keep the background.
    virtual void WMEraseBkgnd(TMessage& message);
    virtual void KeyDown(WORD key, TShiftState shift);
    virtual void KeyUp(WORD key, TShiftState shift);
    virtual void KeyPress(char16_t ch);
    // Focus arrived (true) or left.
    virtual void FocusChanged(bool focused);
    // Whether the control handles this key itself when it has the focus
    // (Enter and Esc are otherwise offered to the form's controls as dialog
    // keys).
    virtual bool WantsKey(WORD /*key*/) const { return false; }
    // Whether the control takes plain characters itself when it has the
    // focus (a text entry does); otherwise they are offered to the form's
    // controls as CM_DIALOGCHAR first.
    virtual bool WantsChars() const { return false; }
    // Whether a left press captures the mouse until the release, so that the
    // release reaches this control wherever it happens (true but for forms).
    virtual bool CapturesMouse() const { return true; }

    void PaintControls(HDC dc);

    void TextChanged() override;

  private:
    friend class TControl;
    friend class TApplication;

    static LRESULT CALLBACK StandardWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    void CreateHandle();
    // Offers a character message's character to the controls of this
    // control's form as CM_DIALOGCHAR; true when one took it.
    bool OfferDialogChar(TMessage& message);
    void InsertControl(TControl* control);
    void RemoveControl(TControl* control);
    // The control without a window under a point of the client area.
    TControl* GraphicControlAt(int x, int y) const;
    void DispatchMouseToGraphic(TMessage& message);

    HWND handle_ = nullptr;
    WNDPROC defaultProc_ = nullptr;
    bool destroyingHandle_ = false;
    bool tabStop_ = false;
    std::vector<TControl*> controls_;
    std::vector<TWinControl*> tabList_;
    TControl* mouseCapture_ = nullptr;
    TControl* mouseOver_ = nullptr;
};

// A windowed control that paints itself on its Canvas in Paint.
class TCustomControl : public TWinControl {
  public:
    explicit TCustomControl(TComponent* owner);

    TCanvas& Canvas() { return canvas_; }

  protected:
    virtual void Paint() {}
    void PaintWindow(HDC dc) override;

  private:
    TCanvas canvas_;
};

// A control without a window of its own, drawn on its parent's window.
class TGraphicControl : public TControl {
  public:
    explicit TGraphicControl(TComponent* owner);

    // Valid during Paint only: the parent's device context, moved so that
    // (0, 0) is this control's top-left corner and clipped to it.
    TCanvas& Canvas() { return canvas_; }

    void Invalidate() override;
    void Repaint() override;

    // Called by the parent's paint.
    void PaintOn(HDC dc);

  protected:
    virtual void Paint() {}

  private:
    TCanvas canvas_;
};

// Shows a bitmap; with AutoSize it takes the bitmap's size.
class TImage : public TGraphicControl {
  public:
    explicit TImage(TComponent* owner);

    TBitmap& Picture() { return picture_; }
    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool value);
    bool Stretch() const { return stretch_; }
    void SetStretch(bool value);
    bool Center() const { return center_; }
    void SetCenter(bool value);

  protected:
    void Paint() override;

  private:
    void PictureChanged();

    TBitmap picture_;
    bool autoSize_ = false;
    bool stretch_ = false;
    bool center_ = false;
};

// Where a label puts its text vertically.
enum TTextLayout { tlTop, tlCenter, tlBottom };

// Text without a window of its own. With AutoSize (the default) the label
// takes the size its caption needs, keeping its right edge when it is
// right-aligned. Transparent (the default) lets the parent show through;
// otherwise the label fills itself with Color first. With ShowAccelChar an
// "&" marks the next character as the accelerator (drawn underlined; "&&" is
// a literal "&"), and that character (Alt+character, or the character alone
// when the focused control does not take it) moves the focus to
// FocusControl.
class TCustomLabel : public TGraphicControl {
  public:
    explicit TCustomLabel(TComponent* owner);

    TAlignment Alignment() const { return alignment_; }
    void SetAlignment(TAlignment value);
    TTextLayout Layout() const { return layout_; }
    void SetLayout(TTextLayout value);
    bool WordWrap() const { return wordWrap_; }
    void SetWordWrap(bool value);
    bool ShowAccelChar() const { return showAccelChar_; }
    void SetShowAccelChar(bool value);
    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool value);
    bool Transparent() const { return transparent_; }
    void SetTransparent(bool value);
    // Cleared when that control is freed.
    TWinControl* FocusControl() const { return focusControl_; }
    void SetFocusControl(TWinControl* control);

    // DT_EXPANDTABS, the alignment, DT_WORDBREAK with WordWrap, DT_NOPREFIX
    // without ShowAccelChar.
    UINT TextFlags() const;
    // With AutoSize, and not while loading: resizes the label to what its
    // caption needs (measured through DoDrawText).
    void AdjustBounds();

    void Loaded() override;

  protected:
    // With DT_CALCRECT in `flags`: measures the caption into `r` (an empty
    // caption, or a lone "&" with ShowAccelChar, measures one blank, so an
    // empty label keeps one line's height). Otherwise draws it in `r`: in
    // the font's colour, or, disabled, embossed: once offset by (1, 1) in
    // clBtnHighlight, then in place in clBtnShadow.
    virtual void DoDrawText(TCanvas& canvas, RECT& r, UINT flags);
    // DoDrawText in the canvas's font and colour as they are.
    void DrawCaptionText(TCanvas& canvas, RECT& r, UINT flags);
    void Paint() override;

    void WndProc(TMessage& message) override;
    void Notification(TComponent* component, TOperation operation) override;
    void TextChanged() override;
    void FontChanged() override;

    // Whether `ch` is the caption's accelerator character.
    bool IsAccelerator(char16_t ch) const;

  private:
    void Changed();

    TAlignment alignment_ = taLeftJustify;
    TTextLayout layout_ = tlTop;
    bool wordWrap_ = false;
    bool showAccelChar_ = true;
    bool autoSize_ = true;
    bool transparent_ = true;
    TWinControl* focusControl_ = nullptr;
};

class TLabel : public TCustomLabel {
  public:
    using TCustomLabel::TCustomLabel;
};

// Puts a handler in front of a control's WindowProc slot: the handler gets
// every message and the procedure it replaced, which it calls or not.
// Removing the hook (or destroying it) puts the replaced procedure back when
// the slot still holds this hook. When a later hook has wrapped it meanwhile,
// this one stays in the chain as a plain forwarder, so the later hook keeps
// working and the removed handler is never called again. A hook may be
// removed from inside its own handler; a control that is gone first leaves
// nothing to restore.
class TWindowProcHook {
  public:
    using THandler = std::function<void(TMessage& m, const TWndMethod& previous)>;

    TWindowProcHook() = default;
    TWindowProcHook(TControl& control, THandler handler) { Install(control, std::move(handler)); }
    ~TWindowProcHook() { Remove(); }
    TWindowProcHook(const TWindowProcHook&) = delete;
    TWindowProcHook& operator=(const TWindowProcHook&) = delete;

    // Removes a hook installed before, then hooks `control`.
    void Install(TControl& control, THandler handler);
    void Remove();
    bool Installed() const { return state_ != nullptr; }

  private:
    struct State {
        THandler handler;
        TWndMethod previous;
        bool removed = false;
    };
    struct Thunk {
        std::shared_ptr<State> state;
        void operator()(TMessage& m) const;
    };

    TControl* control_ = nullptr;
    std::weak_ptr<const bool> alive_;
    std::shared_ptr<State> state_;
};

}  // namespace framework
