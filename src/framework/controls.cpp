#include "framework/controls.h"

#include <windowsx.h>

#include <algorithm>
#include <mutex>
#include <set>
#include <unordered_map>

#include "framework/forms.h"

namespace framework {

namespace {

// Which control each window of the process belongs to. Every message of
// every control looks its control up, so the table lives in the process: a
// window property would cost a call into the window system each time (under
// Wine a round trip to its server, tens of microseconds on a busy machine).
class TControlTable {
  public:
    void Set(HWND hwnd, TWinControl* control) {
        std::lock_guard lock(mutex_);
        controls_[hwnd] = control;
    }
    void Remove(HWND hwnd) {
        std::lock_guard lock(mutex_);
        controls_.erase(hwnd);
    }
    TWinControl* Find(HWND hwnd) {
        std::lock_guard lock(mutex_);
        const auto it = controls_.find(hwnd);
        return it != controls_.end() ? it->second : nullptr;
    }

  private:
    std::mutex mutex_;
    std::unordered_map<HWND, TWinControl*> controls_;
};

TControlTable& ControlTable() {
    // Never destroyed: windows may still get messages while the program's
    // static objects go.
    static auto* table = new TControlTable;
    return *table;
}

HINSTANCE Instance() {
    return GetModuleHandleW(nullptr);
}

// The form a control is on (the control itself when it is a form), or null.
TForm* FormOf(TControl* control) {
    for (TControl* c = control; c != nullptr; c = c->Parent()) {
        if (auto* form = dynamic_cast<TForm*>(c)) {
            return form;
        }
    }
    return nullptr;
}

}  // namespace

TShiftState ShiftStateFromMouse(WPARAM flags) {
    TShiftState s = 0;
    if ((flags & MK_SHIFT) != 0) {
        s |= ssShift;
    }
    if ((flags & MK_CONTROL) != 0) {
        s |= ssCtrl;
    }
    if ((flags & MK_LBUTTON) != 0) {
        s |= ssLeft;
    }
    if ((flags & MK_RBUTTON) != 0) {
        s |= ssRight;
    }
    if ((flags & MK_MBUTTON) != 0) {
        s |= ssMiddle;
    }
    if (GetKeyState(VK_MENU) < 0) {
        s |= ssAlt;
    }
    return s;
}

TShiftState ShiftStateFromKeyboard() {
    TShiftState s = 0;
    if (GetKeyState(VK_SHIFT) < 0) {
        s |= ssShift;
    }
    if (GetKeyState(VK_CONTROL) < 0) {
        s |= ssCtrl;
    }
    if (GetKeyState(VK_MENU) < 0) {
        s |= ssAlt;
    }
    return s;
}

// --- TControl ----------------------------------------------------------------

TControl::TControl(TComponent* owner) : TComponent(owner), font_(std::make_unique<TFont>()) {
    WindowProc = [this](TMessage& m) { WndProc(m); };
    font_->OnChange = [this](TFont&) { FontChanged(); };
}

TControl::~TControl() {
    font_->OnChange = nullptr;
    if (parent_ != nullptr) {
        parent_->RemoveControl(this);
        parent_ = nullptr;
    }
}

void TControl::SetParent(TWinControl* parent) {
    if (parent == parent_) {
        return;
    }
    if (parent == this) {
        throw EComponentError("A control cannot be its own parent");
    }
    if (parent_ != nullptr) {
        parent_->RemoveControl(this);
    }
    parent_ = parent;
    if (parent_ != nullptr) {
        parent_->InsertControl(this);
    }
}

void TControl::SetParentComponent(TComponent* parent) {
    if (auto* control = dynamic_cast<TWinControl*>(parent)) {
        SetParent(control);
    }
}

void TControl::SetBounds(int left, int top, int width, int height) {
    width = std::max(width, 0);
    height = std::max(height, 0);
    if (left == left_ && top == top_ && width == width_ && height == height_) {
        return;
    }
    const bool resized = width != width_ || height != height_;
    if (parent_ != nullptr && Visible()) {
        Invalidate();  // the old place
    }
    left_ = left;
    top_ = top;
    width_ = width;
    height_ = height;
    if (parent_ != nullptr && Visible()) {
        Invalidate();  // the new place
    }
    if (resized) {
        Resize();
    }
}

bool TControl::Showing() const {
    for (const TControl* c = this; c != nullptr; c = c->parent_) {
        if (!c->visible_) {
            return false;
        }
    }
    return true;
}

void TControl::SetVisible(bool value) {
    if (value == visible_) {
        return;
    }
    visible_ = value;
    if (parent_ != nullptr) {
        const RECT r = BoundsRect();
        if (parent_->HandleAllocated()) {
            InvalidateRect(parent_->Handle(), &r, TRUE);
        }
    }
    VisibleChanged();
}

void TControl::SetEnabled(bool value) {
    if (value != enabled_) {
        enabled_ = value;
        EnabledChanged();
    }
}

void TControl::SetCaption(std::string text) {
    if (text != caption_) {
        caption_ = std::move(text);
        TextChanged();
    }
}

void TControl::SetColor(TColor color) {
    if (color != color_) {
        color_ = color;
        ColorChanged();
    }
}

void TControl::Invalidate() {
    if (parent_ != nullptr && parent_->HandleAllocated() && Visible()) {
        const RECT r = BoundsRect();
        InvalidateRect(parent_->Handle(), &r, TRUE);
    }
}

void TControl::Repaint() {
    Invalidate();
    if (parent_ != nullptr && parent_->HandleAllocated()) {
        UpdateWindow(parent_->Handle());
    }
}

LRESULT TControl::Perform(UINT msg, WPARAM wParam, LPARAM lParam) {
    TMessage m{msg, wParam, lParam, 0};
    if (WindowProc) {
        WindowProc(m);
    } else {
        WndProc(m);
    }
    return m.Result;
}

void TControl::MainWndProc(TMessage& message) {
    try {
        if (WindowProc) {
            WindowProc(message);
        } else {
            WndProc(message);
        }
    } catch (...) {
        Application().HandleException(std::current_exception());
    }
}

POINT TControl::ClientToScreen(POINT p) const {
    for (const TControl* c = this; c != nullptr; c = c->parent_) {
        auto* win = dynamic_cast<const TWinControl*>(c);
        if (win != nullptr && win->HandleAllocated()) {
            ::ClientToScreen(win->handle_, &p);
            return p;
        }
        p.x += c->left_;
        p.y += c->top_;
    }
    return p;
}

void TControl::Loaded() {
    TComponent::Loaded();
}

bool TControl::HitTest(int x, int y) const {
    return x >= left_ && y >= top_ && x < left_ + width_ && y < top_ + height_;
}

void TControl::SetMouseInControl(bool value) {
    if (value == mouseInControl_) {
        return;
    }
    mouseInControl_ = value;
    if (value) {
        MouseEnter();
    } else {
        MouseLeave();
    }
}

void TControl::WndProc(TMessage& m) {
    const int x = GET_X_LPARAM(m.LParam);
    const int y = GET_Y_LPARAM(m.LParam);
    // A mouse event's handler may free the control: then nothing of it is
    // touched any more.
    const bool mouse = m.Msg >= WM_MOUSEFIRST && m.Msg <= WM_MOUSELAST;
    std::weak_ptr<const bool> alive;
    if (mouse) {
        alive = Liveness();
    }
    switch (m.Msg) {
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            clicking_ = true;
            MouseDown(mbLeft, ShiftStateFromMouse(m.WParam), x, y);
            break;
        case WM_RBUTTONDOWN:
        case WM_RBUTTONDBLCLK:
            MouseDown(mbRight, ShiftStateFromMouse(m.WParam), x, y);
            break;
        case WM_MBUTTONDOWN:
        case WM_MBUTTONDBLCLK:
            MouseDown(mbMiddle, ShiftStateFromMouse(m.WParam), x, y);
            break;
        case WM_LBUTTONUP: {
            const bool wasClicking = clicking_;
            clicking_ = false;
            MouseUp(mbLeft, ShiftStateFromMouse(m.WParam), x, y);
            if (alive.expired()) {
                return;
            }
            if (wasClicking && x >= 0 && y >= 0 && x < width_ && y < height_) {
                Click();
            }
            break;
        }
        case WM_RBUTTONUP:
            MouseUp(mbRight, ShiftStateFromMouse(m.WParam), x, y);
            break;
        case WM_MBUTTONUP:
            MouseUp(mbMiddle, ShiftStateFromMouse(m.WParam), x, y);
            break;
        case WM_MOUSEMOVE:
            // A control that holds the mouse captured also hears of moves
            // outside it: the mouse is in it only while over it.
            SetMouseInControl(x >= 0 && y >= 0 && x < width_ && y < height_);
            MouseMove(ShiftStateFromMouse(m.WParam), x, y);
            break;
        case WM_MOUSELEAVE:
            SetMouseInControl(false);
            break;
        case WM_CANCELMODE:
            clicking_ = false;
            break;
        default:
            break;
    }
    if (mouse && alive.expired()) {
        return;
    }
    DefaultHandler(m);
}

void TControl::DefaultHandler(TMessage&) {}

void TControl::Click() {
    if (OnClick) {
        OnClick(this);
    }
}

void TControl::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    if (OnMouseDown) {
        OnMouseDown(this, button, shift, x, y);
    }
}

void TControl::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    if (OnMouseUp) {
        OnMouseUp(this, button, shift, x, y);
    }
}

void TControl::MouseMove(TShiftState shift, int x, int y) {
    if (OnMouseMove) {
        OnMouseMove(this, shift, x, y);
    }
}

void TControl::MouseEnter() {}
void TControl::MouseLeave() {}
void TControl::EnabledChanged() {
    Invalidate();
}
void TControl::TextChanged() {
    Invalidate();
}
void TControl::FontChanged() {
    Invalidate();
}
void TControl::ColorChanged() {
    Invalidate();
}
void TControl::VisibleChanged() {}
void TControl::Resize() {}

// --- TWinControl -------------------------------------------------------------

TWinControl::TWinControl(TComponent* owner) : TControl(owner) {}

TWinControl::~TWinControl() {
    // Owned components (the controls on this one among them) go while this
    // control is whole; controls that others own only lose their parent.
    DestroyComponents();
    for (TControl* c : controls_) {
        c->parent_ = nullptr;
    }
    controls_.clear();
    tabList_.clear();
    DestroyWnd();
}

HWND TWinControl::Handle() {
    if (handle_ == nullptr) {
        CreateHandle();
    }
    return handle_;
}

TWinControl* TWinControl::FindControl(HWND hwnd) {
    if (hwnd == nullptr) {
        return nullptr;
    }
    return ControlTable().Find(hwnd);
}

void TWinControl::CreateParams(TCreateParams& p) {
    p.caption = WideText(Caption());
    p.style = WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
    if (Visible()) {
        p.style |= WS_VISIBLE;
    }
    if (!Enabled()) {
        p.style |= WS_DISABLED;
    }
    if (tabStop_) {
        p.style |= WS_TABSTOP;
    }
    p.x = left_;
    p.y = top_;
    p.width = width_;
    p.height = height_;
    p.parent = Parent() != nullptr ? Parent()->Handle() : nullptr;
    p.windowClass = L"UpdaterControl";
}

void TWinControl::CreateHandle() {
    if (handle_ != nullptr) {
        return;
    }
    if (Parent() != nullptr) {
        Parent()->HandleNeeded();
        if (handle_ != nullptr) {
            return;  // the parent made this window with its children
        }
    }
    CreateWnd();
    CreateHandleDone();
    // A child may add controls to this one or delete some while its window
    // is made (a list box adds its scroll bar): walk a copy, and skip what
    // has left meanwhile. Controls that join now get their windows as they
    // join.
    const std::vector<TControl*> children = controls_;
    for (TControl* c : children) {
        if (std::find(controls_.begin(), controls_.end(), c) == controls_.end()) {
            continue;
        }
        if (auto* win = dynamic_cast<TWinControl*>(c)) {
            win->CreateHandle();
        }
    }
}

void TWinControl::CreateWnd() {
    TCreateParams p;
    CreateParams(p);
    if (p.systemClass) {
        HWND hwnd =
            CreateWindowExW(p.exStyle, p.windowClass.c_str(), p.caption.c_str(), p.style, p.x, p.y,
                            p.width, p.height, p.parent, nullptr, Instance(), nullptr);
        if (hwnd == nullptr) {
            throw EComponentError("Cannot create the window of " +
                                  (Name().empty() ? std::string("a control") : Name()));
        }
        ControlTable().Set(hwnd, this);
        handle_ = hwnd;
        defaultProc_ = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&StandardWndProc)));
        return;
    }
    static std::set<std::wstring> registered;
    const std::wstring key = p.windowClass + L"/" + std::to_wstring(p.classStyle);
    if (registered.count(key) == 0) {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.style = p.classStyle;
        wc.lpfnWndProc = StandardWndProc;
        wc.hInstance = Instance();
        wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        wc.lpszClassName = p.windowClass.c_str();
        if (RegisterClassExW(&wc) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
            throw EComponentError("Cannot register the window class of " + Name());
        }
        registered.insert(key);
    }
    HWND hwnd = CreateWindowExW(p.exStyle, p.windowClass.c_str(), p.caption.c_str(), p.style, p.x,
                                p.y, p.width, p.height, p.parent, nullptr, Instance(), this);
    if (hwnd == nullptr) {
        throw EComponentError("Cannot create the window of " +
                              (Name().empty() ? std::string("a control") : Name()));
    }
    handle_ = hwnd;
}

void TWinControl::DestroyWnd() {
    if (handle_ == nullptr || destroyingHandle_) {
        return;
    }
    destroyingHandle_ = true;
    DestroyWindow(handle_);
    destroyingHandle_ = false;
    handle_ = nullptr;
}

void TWinControl::RecreateWnd() {
    if (handle_ == nullptr) {
        return;
    }
    DestroyWnd();
    CreateHandle();
}

LRESULT CALLBACK TWinControl::StandardWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    TWinControl* control = FindControl(hwnd);
    if (control == nullptr && msg == WM_NCCREATE) {
        const auto* cs = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        control = static_cast<TWinControl*>(cs->lpCreateParams);
        if (control != nullptr) {
            ControlTable().Set(hwnd, control);
            control->handle_ = hwnd;
        }
    }
    if (control == nullptr) {
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
    if (Application().PostBackIfDeferred(hwnd, msg, wParam, lParam)) {
        return 0;
    }
    TMessage m{msg, wParam, lParam, 0};
    control->MainWndProc(m);
    if (msg == WM_NCDESTROY) {
        ControlTable().Remove(hwnd);
        if (control->handle_ == hwnd) {
            control->handle_ = nullptr;
            control->defaultProc_ = nullptr;
        }
    }
    return m.Result;
}

void TWinControl::DefaultHandler(TMessage& m) {
    if (handle_ == nullptr) {
        return;
    }
    if (defaultProc_ != nullptr) {
        m.Result = CallWindowProcW(defaultProc_, handle_, m.Msg, m.WParam, m.LParam);
    } else {
        m.Result = DefWindowProcW(handle_, m.Msg, m.WParam, m.LParam);
    }
}

void TWinControl::InsertControl(TControl* control) {
    controls_.push_back(control);
    if (auto* win = dynamic_cast<TWinControl*>(control)) {
        tabList_.push_back(win);
        if (handle_ != nullptr) {
            if (win->handle_ != nullptr) {
                ::SetParent(win->handle_, handle_);
            } else {
                win->CreateHandle();
            }
        }
    } else if (control->Visible()) {
        control->Invalidate();
    }
}

void TWinControl::RemoveControl(TControl* control) {
    controls_.erase(std::remove(controls_.begin(), controls_.end(), control), controls_.end());
    tabList_.erase(std::remove(tabList_.begin(), tabList_.end(), control), tabList_.end());
    if (mouseCapture_ == control) {
        mouseCapture_ = nullptr;
    }
    if (mouseOver_ == control) {
        mouseOver_ = nullptr;
    }
    if (handle_ != nullptr && !destroyingHandle_) {
        const RECT r = control->BoundsRect();
        InvalidateRect(handle_, &r, TRUE);
    }
}

void TWinControl::SetParent(TWinControl* parent) {
    if (parent == Parent()) {
        return;
    }
    if (parent == nullptr) {
        DestroyWnd();
    }
    TControl::SetParent(parent);
}

void TWinControl::SetBounds(int left, int top, int width, int height) {
    width = std::max(width, 0);
    height = std::max(height, 0);
    if (left == left_ && top == top_ && width == width_ && height == height_) {
        return;
    }
    const bool resized = width != width_ || height != height_;
    left_ = left;
    top_ = top;
    width_ = width;
    height_ = height;
    if (handle_ != nullptr) {
        SetWindowPos(handle_, nullptr, left, top, width, height,
                     SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
    }
    if (resized) {
        Resize();
    }
}

void TWinControl::SetVisible(bool value) {
    if (value == Visible()) {
        return;
    }
    TControl::SetVisible(value);
    if (handle_ != nullptr) {
        ShowWindow(handle_, value ? SW_SHOWNA : SW_HIDE);
    }
}

void TWinControl::SetEnabled(bool value) {
    if (value == Enabled()) {
        return;
    }
    if (handle_ != nullptr) {
        EnableWindow(handle_, value);
    }
    TControl::SetEnabled(value);
}

int TWinControl::ClientWidth() const {
    if (handle_ != nullptr) {
        RECT r;
        GetClientRect(handle_, &r);
        return r.right - r.left;
    }
    return width_;
}

int TWinControl::ClientHeight() const {
    if (handle_ != nullptr) {
        RECT r;
        GetClientRect(handle_, &r);
        return r.bottom - r.top;
    }
    return height_;
}

void TWinControl::Invalidate() {
    if (handle_ != nullptr) {
        InvalidateRect(handle_, nullptr, TRUE);
    }
}

void TWinControl::Repaint() {
    if (handle_ != nullptr) {
        InvalidateRect(handle_, nullptr, TRUE);
        UpdateWindow(handle_);
    }
}

int TWinControl::TabOrder() const {
    if (Parent() == nullptr) {
        return -1;
    }
    const auto& list = Parent()->tabList_;
    const auto it = std::find(list.begin(), list.end(), this);
    return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

void TWinControl::SetTabOrder(int order) {
    if (Parent() == nullptr) {
        return;
    }
    auto& list = Parent()->tabList_;
    const auto it = std::find(list.begin(), list.end(), this);
    if (it == list.end()) {
        return;
    }
    list.erase(it);
    order = std::clamp(order, 0, static_cast<int>(list.size()));
    list.insert(list.begin() + order, this);
}

void TWinControl::SetTabStop(bool value) {
    tabStop_ = value;
    if (handle_ != nullptr) {
        LONG style = GetWindowLongW(handle_, GWL_STYLE);
        style = value ? (style | WS_TABSTOP) : (style & ~WS_TABSTOP);
        SetWindowLongW(handle_, GWL_STYLE, style);
    }
}

std::vector<TWinControl*> TWinControl::TabList() const {
    return tabList_;
}

bool TWinControl::CanFocus() const {
    for (const TControl* c = this; c != nullptr; c = c->Parent()) {
        if (!c->Visible() || !c->Enabled()) {
            return false;
        }
    }
    return true;
}

bool TWinControl::Focused() const {
    return handle_ != nullptr && GetFocus() == handle_;
}

void TWinControl::SetFocus() {
    if (CanFocus()) {
        ::SetFocus(Handle());
    }
}

void TWinControl::TextChanged() {
    if (handle_ != nullptr) {
        SetWindowTextW(handle_, WideText(Caption()).c_str());
    }
    TControl::TextChanged();
}

TControl* TWinControl::GraphicControlAt(int x, int y) const {
    for (auto it = controls_.rbegin(); it != controls_.rend(); ++it) {
        TControl* c = *it;
        if (dynamic_cast<TWinControl*>(c) == nullptr && c->Visible() && c->HitTest(x, y)) {
            return c;
        }
    }
    return nullptr;
}

void TWinControl::DispatchMouseToGraphic(TMessage& m) {
    const int x = GET_X_LPARAM(m.LParam);
    const int y = GET_Y_LPARAM(m.LParam);
    TControl* target = mouseCapture_ != nullptr ? mouseCapture_ : GraphicControlAt(x, y);
    if (m.Msg == WM_MOUSEMOVE || m.Msg == WM_MOUSELEAVE) {
        TControl* over = m.Msg == WM_MOUSELEAVE ? nullptr : GraphicControlAt(x, y);
        if (over != mouseOver_) {
            if (mouseOver_ != nullptr) {
                mouseOver_->Perform(WM_MOUSELEAVE, 0, 0);
            }
            mouseOver_ = over;
        }
    }
    if (target == nullptr || m.Msg == WM_MOUSELEAVE) {
        // A double click's second press is a press too: it captures.
        if ((m.Msg == WM_LBUTTONDOWN || m.Msg == WM_LBUTTONDBLCLK) && CapturesMouse()) {
            SetCapture(handle_);
        } else if (m.Msg == WM_LBUTTONUP && GetCapture() == handle_) {
            ReleaseCapture();
        }
        TControl::WndProc(m);
        return;
    }
    if (!target->Enabled()) {
        return;  // a disabled control swallows the mouse
    }
    const LPARAM local = MAKELPARAM(static_cast<WORD>(static_cast<SHORT>(x - target->Left())),
                                    static_cast<WORD>(static_cast<SHORT>(y - target->Top())));
    switch (m.Msg) {
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            mouseCapture_ = target;
            SetCapture(handle_);
            break;
        case WM_LBUTTONUP:
        case WM_RBUTTONUP:
        case WM_MBUTTONUP:
            if (mouseCapture_ != nullptr) {
                mouseCapture_ = nullptr;
                ReleaseCapture();
            }
            break;
        default:
            break;
    }
    m.Result = target->Perform(m.Msg, m.WParam, local);
}

void TWinControl::WndProc(TMessage& m) {
    if (defaultProc_ != nullptr &&
        (m.Msg == WM_PAINT || m.Msg == WM_ERASEBKGND || m.Msg == WM_PRINTCLIENT)) {
        // A system control paints itself.
        DefaultHandler(m);
        return;
    }
    switch (m.Msg) {
        case WM_PAINT:
            WMPaint(m);
            return;
        case WM_PRINTCLIENT:
            PaintWindow(reinterpret_cast<HDC>(m.WParam));
            PaintControls(reinterpret_cast<HDC>(m.WParam));
            return;
        case WM_ERASEBKGND:
            WMEraseBkgnd(m);
            return;
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
            KeyDown(static_cast<WORD>(m.WParam), ShiftStateFromKeyboard());
            break;
        case WM_KEYUP:
        case WM_SYSKEYUP:
            KeyUp(static_cast<WORD>(m.WParam), ShiftStateFromKeyboard());
            break;
        case WM_CHAR:
            if (!WantsChars() && OfferDialogChar(m)) {
                return;
            }
            KeyPress(static_cast<char16_t>(m.WParam));
            break;
        case WM_SYSCHAR:
            // Taken: the system neither beeps nor opens the window menu.
            if (OfferDialogChar(m)) {
                return;
            }
            break;
        case WM_SETFOCUS:
            FocusChanged(true);
            for (TControl* c = Parent(); c != nullptr; c = c->Parent()) {
                if (auto* form = dynamic_cast<TForm*>(c)) {
                    form->activeControl_ = this;
                    form->BroadcastFocusChanged(this);
                    break;
                }
            }
            break;
        case WM_KILLFOCUS:
            FocusChanged(false);
            break;
        case WM_SIZE:
        case WM_MOVE:
            if (handle_ != nullptr && !IsIconic(handle_)) {
                RECT r;
                GetWindowRect(handle_, &r);
                POINT origin{r.left, r.top};
                if (HWND parent = GetParent(handle_);
                    parent != nullptr && (GetWindowLongW(handle_, GWL_STYLE) & WS_CHILD) != 0) {
                    ScreenToClient(parent, &origin);
                }
                const int w = r.right - r.left;
                const int h = r.bottom - r.top;
                const bool resized = w != width_ || h != height_;
                left_ = origin.x;
                top_ = origin.y;
                width_ = w;
                height_ = h;
                if (resized) {
                    Resize();
                }
            }
            break;
        case WM_MOUSEMOVE:
            if (!MouseInControl() && handle_ != nullptr) {
                TRACKMOUSEEVENT track{sizeof(TRACKMOUSEEVENT), TME_LEAVE, handle_, 0};
                TrackMouseEvent(&track);
            }
            DispatchMouseToGraphic(m);
            return;
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
        case WM_RBUTTONDBLCLK:
        case WM_MBUTTONDBLCLK:
        case WM_LBUTTONUP:
        case WM_RBUTTONUP:
        case WM_MBUTTONUP:
        case WM_MOUSELEAVE:
            DispatchMouseToGraphic(m);
            return;
        default:
            break;
    }
    TControl::WndProc(m);
}

void TWinControl::WMPaint(TMessage& m) {
    if (m.WParam != 0) {
        HDC dc = reinterpret_cast<HDC>(m.WParam);
        PaintWindow(dc);
        PaintControls(dc);
        return;
    }
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(handle_, &ps);
    if (dc != nullptr) {
        try {
            PaintWindow(dc);
            PaintControls(dc);
        } catch (...) {
            EndPaint(handle_, &ps);
            throw;
        }
        EndPaint(handle_, &ps);
    }
}

void TWinControl::PaintWindow(HDC) {}

void TWinControl::WMEraseBkgnd(TMessage& m) {
    HDC dc = reinterpret_cast<HDC>(m.WParam);
    RECT r;
    GetClientRect(handle_, &r);
    HBRUSH brush = CreateSolidBrush(ColorToRGB(Color()));
    ::FillRect(dc, &r, brush);
    DeleteObject(brush);
    m.Result = 1;
}

void TWinControl::PaintControls(HDC dc) {
    for (TControl* c : controls_) {
        auto* graphic = dynamic_cast<TGraphicControl*>(c);
        if (graphic == nullptr || !graphic->Visible() || graphic->Width() <= 0 ||
            graphic->Height() <= 0) {
            continue;
        }
        const int saved = SaveDC(dc);
        POINT old;
        OffsetViewportOrgEx(dc, graphic->Left(), graphic->Top(), &old);
        IntersectClipRect(dc, 0, 0, graphic->Width(), graphic->Height());
        graphic->PaintOn(dc);
        RestoreDC(dc, saved);
    }
}

bool TWinControl::OfferDialogChar(TMessage& m) {
    TForm* form = FormOf(this);
    if (form == nullptr || form->Broadcast(CM_DIALOGCHAR, m.WParam, 0) == 0) {
        return false;
    }
    m.Result = 0;
    return true;
}

void TWinControl::KeyDown(WORD, TShiftState) {}
void TWinControl::KeyUp(WORD, TShiftState) {}
void TWinControl::KeyPress(char16_t) {}
void TWinControl::FocusChanged(bool) {}

// --- TCustomControl ----------------------------------------------------------

TCustomControl::TCustomControl(TComponent* owner) : TWinControl(owner) {}

namespace {

// Runs `paint` with `canvas` on `dc` in the control's font; the canvas lets
// go of the device context afterwards, also when `paint` throws.
template <typename Paint>
void PaintOnCanvas(TCanvas& canvas, HDC dc, const TFont& font, Paint paint) {
    struct Release {
        TCanvas& canvas;
        ~Release() { canvas.SetHandle(nullptr); }
    } release{canvas};
    canvas.SetHandle(dc);
    canvas.Font().Assign(font);
    paint();
}

}  // namespace

void TCustomControl::PaintWindow(HDC dc) {
    PaintOnCanvas(canvas_, dc, Font(), [this] { Paint(); });
}

// --- TGraphicControl, TImage -------------------------------------------------

TGraphicControl::TGraphicControl(TComponent* owner) : TControl(owner) {}

void TGraphicControl::Invalidate() {
    TControl::Invalidate();
}

void TGraphicControl::Repaint() {
    TControl::Repaint();
}

void TGraphicControl::PaintOn(HDC dc) {
    PaintOnCanvas(canvas_, dc, Font(), [this] { Paint(); });
}

TImage::TImage(TComponent* owner) : TGraphicControl(owner) {
    picture_.OnChange = [this](TBitmap&) { PictureChanged(); };
}

void TImage::SetAutoSize(bool value) {
    autoSize_ = value;
    PictureChanged();
}

void TImage::SetStretch(bool value) {
    stretch_ = value;
    Invalidate();
}

void TImage::SetCenter(bool value) {
    center_ = value;
    Invalidate();
}

void TImage::PictureChanged() {
    if (autoSize_ && !picture_.Empty()) {
        SetBounds(left_, top_, picture_.Width(), picture_.Height());
    }
    Invalidate();
}

void TImage::Paint() {
    if (picture_.Empty()) {
        return;
    }
    if (stretch_) {
        Canvas().StretchDraw(Rect(0, 0, Width(), Height()), picture_);
        return;
    }
    int x = 0;
    int y = 0;
    if (center_) {
        x = (Width() - picture_.Width()) / 2;
        y = (Height() - picture_.Height()) / 2;
    }
    Canvas().Draw(x, y, picture_);
}

// --- TCustomLabel ------------------------------------------------------------

TCustomLabel::TCustomLabel(TComponent* owner) : TGraphicControl(owner) {
    SetBounds(0, 0, 65, 17);
    AdjustBounds();
}

void TCustomLabel::SetAlignment(TAlignment value) {
    if (value != alignment_) {
        alignment_ = value;
        Invalidate();
    }
}

void TCustomLabel::SetLayout(TTextLayout value) {
    if (value != layout_) {
        layout_ = value;
        Invalidate();
    }
}

void TCustomLabel::SetWordWrap(bool value) {
    if (value != wordWrap_) {
        wordWrap_ = value;
        Changed();
    }
}

void TCustomLabel::SetShowAccelChar(bool value) {
    if (value != showAccelChar_) {
        showAccelChar_ = value;
        Changed();
    }
}

void TCustomLabel::SetAutoSize(bool value) {
    if (value != autoSize_) {
        autoSize_ = value;
        Changed();
    }
}

void TCustomLabel::SetTransparent(bool value) {
    if (value != transparent_) {
        transparent_ = value;
        Invalidate();
    }
}

void TCustomLabel::SetFocusControl(TWinControl* control) {
    if (control == focusControl_) {
        return;
    }
    if (focusControl_ != nullptr) {
        RemoveFreeNotification(focusControl_);
    }
    focusControl_ = control;
    if (control != nullptr) {
        FreeNotification(control);
    }
}

void TCustomLabel::Notification(TComponent* component, TOperation operation) {
    TGraphicControl::Notification(component, operation);
    if (operation == opRemove && component == focusControl_) {
        focusControl_ = nullptr;
    }
}

UINT TCustomLabel::TextFlags() const {
    UINT flags = DT_EXPANDTABS;
    if (alignment_ == taRightJustify) {
        flags |= DT_RIGHT;
    } else if (alignment_ == taCenter) {
        flags |= DT_CENTER;
    }
    if (wordWrap_) {
        flags |= DT_WORDBREAK;
    }
    if (!showAccelChar_) {
        flags |= DT_NOPREFIX;
    }
    return flags;
}

void TCustomLabel::AdjustBounds() {
    if (!autoSize_ || Loading()) {
        return;
    }
    // Measured on the screen's device context: the label may have no window
    // to measure on yet.
    struct ScreenDc {
        HDC dc = GetDC(nullptr);
        ~ScreenDc() { ReleaseDC(nullptr, dc); }
    } screen;
    RECT r = ClientRect();
    {
        TCanvas canvas(screen.dc);
        canvas.Font().Assign(Font());
        // Measured from the left edge whatever the alignment; a right-aligned
        // label then moves so that its right edge stays.
        DoDrawText(canvas, r, (TextFlags() & ~(DT_RIGHT | DT_CENTER)) | DT_CALCRECT);
    }
    const int width = r.right - r.left;
    const int height = r.bottom - r.top;
    int left = left_;
    if (alignment_ == taRightJustify) {
        left += width_ - width;
    }
    SetBounds(left, top_, width, height);
}

void TCustomLabel::Loaded() {
    TGraphicControl::Loaded();
    AdjustBounds();
}

void TCustomLabel::Changed() {
    AdjustBounds();
    Invalidate();
}

void TCustomLabel::TextChanged() {
    AdjustBounds();
    TGraphicControl::TextChanged();
}

void TCustomLabel::FontChanged() {
    AdjustBounds();
    TGraphicControl::FontChanged();
}

void TCustomLabel::DoDrawText(TCanvas& canvas, RECT& r, UINT flags) {
    canvas.Font().SetColor(Font().Color());
    DrawCaptionText(canvas, r, flags);
}

void TCustomLabel::DrawCaptionText(TCanvas& canvas, RECT& r, UINT flags) {
    std::string_view text = Caption();
    if ((flags & DT_CALCRECT) != 0) {
        if (text.empty() || (showAccelChar_ && text == "&")) {
            text = " ";
        }
        canvas.DrawText(text, r, flags);
        return;
    }
    canvas.Brush().SetStyle(bsClear);
    if (Enabled()) {
        canvas.DrawText(text, r, flags);
        return;
    }
    RECT shifted = r;
    OffsetRect(&shifted, 1, 1);
    canvas.Font().SetColor(clBtnHighlight);
    canvas.DrawText(text, shifted, flags);
    canvas.Font().SetColor(clBtnShadow);
    canvas.DrawText(text, r, flags);
}

void TCustomLabel::Paint() {
    TCanvas& canvas = Canvas();
    const RECT client = ClientRect();
    if (!transparent_) {
        canvas.Brush().SetColor(Color());
        canvas.FillRect(client);
    }
    canvas.Brush().SetStyle(bsClear);
    const UINT flags = TextFlags();
    RECT r = client;
    if (layout_ != tlTop) {
        RECT calc = client;
        DoDrawText(canvas, calc, flags | DT_CALCRECT);
        const int spare = Height() - (calc.bottom - calc.top);
        OffsetRect(&r, 0, layout_ == tlBottom ? spare : spare / 2);
    }
    DoDrawText(canvas, r, flags);
}

bool TCustomLabel::IsAccelerator(char16_t ch) const {
    const std::string& text = Caption();
    const auto lead = [](unsigned char b) { return b >= 0x81 && b <= 0xFE; };
    const auto lower = [](char16_t c) -> char16_t { return c >= 'A' && c <= 'Z' ? c + 32 : c; };
    for (size_t i = 0; i + 1 < text.size(); ++i) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (lead(b)) {
            ++i;  // a double-byte character: its trail byte is never '&'
            continue;
        }
        if (b != '&') {
            continue;
        }
        const auto next = static_cast<unsigned char>(text[i + 1]);
        if (next == '&') {
            ++i;  // "&&" is a literal "&"
            continue;
        }
        if (next < 0x80) {
            return ch < 0x80 && lower(ch) == lower(next);
        }
        const size_t length = lead(next) && i + 2 < text.size() ? 2 : 1;
        const std::wstring wide = WideText(std::string_view(text).substr(i + 1, length));
        return wide.size() == 1 && static_cast<char16_t>(wide[0]) == ch;
    }
    return false;
}

void TCustomLabel::WndProc(TMessage& m) {
    if (m.Msg == CM_DIALOGCHAR) {
        if (focusControl_ != nullptr && Enabled() && showAccelChar_ &&
            IsAccelerator(static_cast<char16_t>(m.WParam)) && focusControl_->CanFocus()) {
            focusControl_->SetFocus();
            m.Result = 1;
        }
        return;
    }
    TGraphicControl::WndProc(m);
}

void TWindowProcHook::Thunk::operator()(TMessage& m) const {
    // Held here: the handler may remove the hook, which can free this thunk.
    const std::shared_ptr<State> s = state;
    if (s->removed) {
        s->previous(m);
    } else {
        s->handler(m, s->previous);
    }
}

void TWindowProcHook::Install(TControl& control, THandler handler) {
    Remove();
    state_ = std::make_shared<State>();
    state_->handler = std::move(handler);
    state_->previous = control.WindowProc;
    control.WindowProc = Thunk{state_};
    control_ = &control;
    alive_ = control.Liveness();
}

void TWindowProcHook::Remove() {
    if (state_ == nullptr) {
        return;
    }
    state_->removed = true;
    if (!alive_.expired()) {
        const Thunk* current = control_->WindowProc.target<Thunk>();
        if (current != nullptr && current->state == state_) {
            control_->WindowProc = state_->previous;
        }
    }
    state_.reset();
    control_ = nullptr;
}

}  // namespace framework
