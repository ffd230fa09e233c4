#include "framework/forms.h"

#include <algorithm>
#include <utility>

#include "base/exception.h"

namespace framework {

namespace {

HINSTANCE Instance() {
    return GetModuleHandleW(nullptr);
}

// Posted to the application's window by a form closed with caFree (wParam:
// the form's release ticket, lParam: the form).
constexpr UINT kReleaseForm = WM_APP;

TForm* ParentForm(TControl* control) {
    for (TControl* c = control; c != nullptr; c = c->Parent()) {
        if (auto* form = dynamic_cast<TForm*>(c)) {
            return form;
        }
    }
    return nullptr;
}

// The windowed controls below `parent` in tab order, depth first.
void CollectTabOrder(const TWinControl& parent, std::vector<TWinControl*>& out) {
    for (TWinControl* c : parent.TabList()) {
        out.push_back(c);
        CollectTabOrder(*c, out);
    }
}

}  // namespace

// --- TForm -------------------------------------------------------------------

TForm::TForm(TComponent* owner) : TWinControl(owner) {
    TControl::SetVisible(false);
    Application().forms_.push_back(this);
}

TForm::~TForm() {
    DestroyComponents();
    DestroyWnd();
    TApplication& app = Application();
    app.forms_.erase(std::remove(app.forms_.begin(), app.forms_.end(), this), app.forms_.end());
    if (app.mainForm_ == this) {
        app.mainForm_ = nullptr;
    }
}

void TForm::SetBorderStyle(TBorderStyle style) {
    if (style != borderStyle_) {
        borderStyle_ = style;
        RecreateWnd();
    }
}

void TForm::SetBorderIcons(TBorderIcons icons) {
    if (icons != borderIcons_) {
        borderIcons_ = icons;
        RecreateWnd();
    }
}

void TForm::SetFormStyle(TFormStyle style) {
    if (style == formStyle_) {
        return;
    }
    formStyle_ = style;
    if (HandleAllocated()) {
        SetWindowPos(Handle(), style == fsStayOnTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
}

void TForm::CreateParams(TCreateParams& p) {
    TWinControl::CreateParams(p);
    p.style = WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
    p.exStyle = 0;
    switch (borderStyle_) {
        case bsNone:
            p.style |= WS_POPUP;
            break;
        case bsSingle:
        case bsToolWindow:
            p.style |= WS_CAPTION | WS_BORDER;
            break;
        case bsSizeable:
        case bsSizeToolWin:
            p.style |= WS_CAPTION | WS_THICKFRAME;
            break;
        case bsDialog:
            p.style |= WS_POPUP | WS_CAPTION;
            p.exStyle |= WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE;
            break;
    }
    if (borderStyle_ == bsToolWindow || borderStyle_ == bsSizeToolWin) {
        p.exStyle |= WS_EX_TOOLWINDOW;
    }
    if (borderStyle_ != bsNone && (borderIcons_ & biSystemMenu) != 0) {
        p.style |= WS_SYSMENU;
        if (borderStyle_ == bsSingle || borderStyle_ == bsSizeable) {
            if ((borderIcons_ & biMinimize) != 0) {
                p.style |= WS_MINIMIZEBOX;
            }
            if ((borderIcons_ & biMaximize) != 0) {
                p.style |= WS_MAXIMIZEBOX;
            }
        }
        if (borderStyle_ == bsDialog && (borderIcons_ & biHelp) != 0) {
            p.exStyle |= WS_EX_CONTEXTHELP;
        }
    }
    if (formStyle_ == fsStayOnTop) {
        p.exStyle |= WS_EX_TOPMOST;
    }
    if (!Enabled()) {
        p.style |= WS_DISABLED;
    }
    if (OnCreateParams) {
        OnCreateParams(p);
    }
    if (clientWidth_ >= 0 || clientHeight_ >= 0) {
        RECT r = Rect(0, 0, clientWidth_ >= 0 ? clientWidth_ : 0,
                      clientHeight_ >= 0 ? clientHeight_ : 0);
        AdjustWindowRectEx(&r, p.style, FALSE, p.exStyle);
        if (clientWidth_ >= 0) {
            p.width = r.right - r.left;
        }
        if (clientHeight_ >= 0) {
            p.height = r.bottom - r.top;
        }
    }
    // Owned by the application's window: the task bar shows the
    // application's title, not one button per form.
    p.parent = Application().Handle();
    p.windowClass = L"UpdaterForm";
}

void TForm::CreateHandleDone() {
    // The system gives every top-level window that is not a popup a caption;
    // a form made without one (its frame drawn by a component) loses it
    // again here.
    TCreateParams p;
    CreateParams(p);
    const auto style = static_cast<DWORD>(GetWindowLongW(Handle(), GWL_STYLE));
    const DWORD added = style & WS_CAPTION & ~p.style;
    if (added != 0) {
        SetWindowLongW(Handle(), GWL_STYLE, static_cast<LONG>(style & ~added));
        SetWindowPos(Handle(), nullptr, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    }
    ApplyClientSize();
}

void TForm::ApplyClientSize() {
    if (!HandleAllocated() || (clientWidth_ < 0 && clientHeight_ < 0)) {
        return;
    }
    RECT c;
    GetClientRect(Handle(), &c);
    const int dw = clientWidth_ >= 0 ? clientWidth_ - (c.right - c.left) : 0;
    const int dh = clientHeight_ >= 0 ? clientHeight_ - (c.bottom - c.top) : 0;
    clientWidth_ = -1;
    clientHeight_ = -1;
    if (dw != 0 || dh != 0) {
        SetBounds(left_, top_, width_ + dw, height_ + dh);
    }
}

int TForm::ClientWidth() const {
    if (!HandleAllocated() && clientWidth_ >= 0) {
        return clientWidth_;
    }
    return TWinControl::ClientWidth();
}

int TForm::ClientHeight() const {
    if (!HandleAllocated() && clientHeight_ >= 0) {
        return clientHeight_;
    }
    return TWinControl::ClientHeight();
}

void TForm::SetClientWidth(int width) {
    clientWidth_ = std::max(width, 0);
    ApplyClientSize();
}

void TForm::SetClientHeight(int height) {
    clientHeight_ = std::max(height, 0);
    ApplyClientSize();
}

void TForm::PlaceOnScreen() {
    if (placed_) {
        return;
    }
    placed_ = true;
    if (position_ == poDesigned) {
        return;
    }
    int areaLeft = 0;
    int areaTop = 0;
    int areaWidth = GetSystemMetrics(SM_CXSCREEN);
    int areaHeight = GetSystemMetrics(SM_CYSCREEN);
    if (position_ == poDesktopCenter) {
        areaLeft = GetSystemMetrics(SM_XVIRTUALSCREEN);
        areaTop = GetSystemMetrics(SM_YVIRTUALSCREEN);
        areaWidth = GetSystemMetrics(SM_CXVIRTUALSCREEN);
        areaHeight = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    }
    SetBounds(areaLeft + (areaWidth - width_) / 2, areaTop + (areaHeight - height_) / 2, width_,
              height_);
}

void TForm::SetVisible(bool value) {
    if (value == Visible()) {
        return;
    }
    if (!value) {
        TControl::SetVisible(false);
        if (HandleAllocated()) {
            ShowWindow(Handle(), SW_HIDE);
        }
        return;
    }
    HWND hwnd = Handle();
    PlaceOnScreen();
    TControl::SetVisible(true);
    ShowWindow(hwnd, SW_SHOWNORMAL);
    SetForegroundWindow(hwnd);
    UpdateWindow(hwnd);
    try {
        DoShow();
    } catch (...) {
        Application().HandleException(std::current_exception());
    }
}

void TForm::DoShow() {
    if (OnShow) {
        OnShow(this);
    }
}

void TForm::DoCreate() {
    if (OnCreate) {
        OnCreate(this);
    }
}

void TForm::Close() {
    if (releaseTicket_ != 0) {
        return;  // closed with caFree already: it goes once that is done
    }
    if (inModalLoop_) {
        modalResult_ = mrCancel;
        return;
    }
    TCloseAction action = caHide;
    if (OnClose) {
        OnClose(this, action);
    }
    if (action == caNone) {
        return;
    }
    TApplication& app = Application();
    if (app.MainForm() == this) {
        app.Terminate();
        return;
    }
    switch (action) {
        case caHide:
            Hide();
            break;
        case caMinimize:
            if (HandleAllocated()) {
                ShowWindow(Handle(), SW_MINIMIZE);
            }
            break;
        case caFree:
            Hide();
            // Deleted once the message that asked for the close is done. The
            // ticket tells this request from any other: if the form is freed
            // another way first, and another form takes its address, the
            // message finds no form with its ticket and does nothing.
            if (++app.releaseTickets_ == 0) {
                ++app.releaseTickets_;  // 0 means "not closed"
            }
            releaseTicket_ = app.releaseTickets_;
            PostMessageW(app.Handle(), kReleaseForm, releaseTicket_,
                         reinterpret_cast<LPARAM>(this));
            break;
        case caNone:
            break;
    }
}

TModalResult TForm::ShowModal() {
    if (Visible() || inModalLoop_) {
        throw EComponentError("Cannot make a visible window modal");
    }
    TApplication& app = Application();
    modalResult_ = mrNone;
    inModalLoop_ = true;
    std::vector<HWND> disabled;
    for (TForm* form : app.forms_) {
        if (form != this && form->HandleAllocated() && IsWindowVisible(form->Handle()) &&
            IsWindowEnabled(form->Handle())) {
            EnableWindow(form->Handle(), FALSE);
            disabled.push_back(form->Handle());
        }
    }
    auto restore = [&] {
        for (HWND h : disabled) {
            if (IsWindow(h)) {
                EnableWindow(h, TRUE);
            }
        }
        inModalLoop_ = false;
        Hide();
    };
    try {
        Show();
        while (!app.Terminated()) {
            app.HandleMessage();
            if (modalResult_ == mrNone) {
                continue;
            }
            TCloseAction action = caHide;
            if (OnClose) {
                OnClose(this, action);
            }
            if (action != caNone) {
                break;
            }
            modalResult_ = mrNone;
        }
    } catch (...) {
        restore();
        throw;
    }
    restore();
    return modalResult_;
}

void TForm::SetActiveControl(TWinControl* control) {
    activeControl_ = control;
    if (control != nullptr && HandleAllocated() && Visible()) {
        control->SetFocus();
    }
}

void TForm::SelectNext(TWinControl* current, bool forward) {
    std::vector<TWinControl*> order;
    CollectTabOrder(*this, order);
    if (order.empty()) {
        return;
    }
    const int n = static_cast<int>(order.size());
    int start = -1;
    if (current != nullptr) {
        const auto it = std::find(order.begin(), order.end(), current);
        if (it != order.end()) {
            start = static_cast<int>(it - order.begin());
        }
    }
    if (start < 0) {
        start = forward ? n - 1 : 0;
    }
    for (int step = 1; step <= n; ++step) {
        const int i = ((forward ? start + step : start - step) % n + n) % n;
        TWinControl* c = order[static_cast<size_t>(i)];
        if (c->TabStop() && c->CanFocus()) {
            activeControl_ = c;
            c->SetFocus();
            return;
        }
    }
}

namespace {

LRESULT BroadcastTo(const TWinControl& parent, UINT msg, WPARAM wParam, LPARAM lParam) {
    for (int i = 0; i < parent.ControlCount(); ++i) {
        TControl* c = parent.Controls(i);
        if (const LRESULT r = c->Perform(msg, wParam, lParam); r != 0) {
            return r;
        }
        if (auto* win = dynamic_cast<TWinControl*>(c)) {
            if (const LRESULT r = BroadcastTo(*win, msg, wParam, lParam); r != 0) {
                return r;
            }
        }
    }
    return 0;
}

}  // namespace

LRESULT TForm::Broadcast(UINT msg, WPARAM wParam, LPARAM lParam) {
    return BroadcastTo(*this, msg, wParam, lParam);
}

void TForm::BroadcastFocusChanged(TWinControl* focused) {
    Broadcast(CM_FOCUSCHANGED, 0, reinterpret_cast<LPARAM>(focused));
}

void TForm::Notification(TComponent* component, TOperation operation) {
    TWinControl::Notification(component, operation);
    if (operation == opRemove && component == activeControl_) {
        activeControl_ = nullptr;
    }
}

void TForm::WndProc(TMessage& m) {
    switch (m.Msg) {
        case WM_CLOSE:
            Close();
            m.Result = 0;
            return;
        case WM_ACTIVATE:
            TWinControl::WndProc(m);
            if (LOWORD(m.WParam) != WA_INACTIVE && !IsIconic(Handle())) {
                if (activeControl_ != nullptr && activeControl_->CanFocus()) {
                    activeControl_->SetFocus();
                } else {
                    SelectNext(nullptr, true);
                }
            }
            return;
        default:
            break;
    }
    TWinControl::WndProc(m);
}

// --- TApplication ------------------------------------------------------------

TApplication& Application() {
    // Never deleted: forms and their windows end with the process.
    static TApplication* application = new TApplication();
    return *application;
}

TApplication::TApplication() : TComponent(nullptr) {}

TApplication::~TApplication() {
    DestroyComponents();
    if (handle_ != nullptr) {
        DestroyWindow(handle_);
    }
}

HWND TApplication::Handle() {
    if (handle_ != nullptr) {
        return handle_;
    }
    static bool registered = false;
    if (!registered) {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = AppWndProc;
        wc.hInstance = Instance();
        wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        wc.lpszClassName = L"UpdaterApplication";
        RegisterClassExW(&wc);
        registered = true;
    }
    // A window without size that is "visible" only on the task bar.
    const int x = GetSystemMetrics(SM_CXSCREEN) / 2;
    const int y = GetSystemMetrics(SM_CYSCREEN) / 2;
    handle_ = CreateWindowExW(0, L"UpdaterApplication", WideText(title_).c_str(),
                              WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU | WS_MINIMIZEBOX,
                              x, y, 0, 0, nullptr, nullptr, Instance(), nullptr);
    if (handle_ != nullptr) {
        SetPropW(handle_, L"UpdaterApplication", this);
        ShowWindow(handle_, SW_SHOWNOACTIVATE);
    }
    return handle_;
}

LRESULT CALLBACK TApplication::AppWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* app = static_cast<TApplication*>(GetPropW(hwnd, L"UpdaterApplication"));
    if (app != nullptr) {
        if (app->PostBackIfDeferred(hwnd, msg, wParam, lParam)) {
            return 0;
        }
        try {
            switch (msg) {
                case kReleaseForm:
                    // A form closed with caFree, unless it is gone already.
                    for (TForm* form : app->forms_) {
                        if (reinterpret_cast<LPARAM>(form) == lParam &&
                            form->releaseTicket_ == wParam) {
                            delete form;
                            break;
                        }
                    }
                    return 0;
                case WM_CLOSE:
                    if (app->mainForm_ != nullptr) {
                        app->mainForm_->Close();
                    }
                    return 0;
                case WM_SETFOCUS:
                case WM_ACTIVATE:
                    // The task-bar button brings the main form forward.
                    if ((msg == WM_SETFOCUS || LOWORD(wParam) != WA_INACTIVE) &&
                        app->mainForm_ != nullptr && app->mainForm_->HandleAllocated() &&
                        IsWindowVisible(app->mainForm_->Handle()) &&
                        IsWindowEnabled(app->mainForm_->Handle())) {
                        SetActiveWindow(app->mainForm_->Handle());
                        return 0;
                    }
                    break;
                default:
                    break;
            }
        } catch (...) {
            app->HandleException(std::current_exception());
            return 0;
        }
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

void TApplication::SetTitle(std::string title) {
    title_ = std::move(title);
    if (handle_ != nullptr) {
        SetWindowTextW(handle_, WideText(title_).c_str());
    }
}

void TApplication::AdoptForm(TForm* form) {
    if (mainForm_ == nullptr) {
        mainForm_ = form;
    }
    form->DoCreate();
}

void TApplication::Run() {
    if (mainForm_ != nullptr && !mainForm_->Visible()) {
        try {
            mainForm_->Show();
        } catch (...) {
            HandleException(std::current_exception());
        }
    }
    while (!terminated_) {
        HandleMessage();
    }
}

bool TApplication::ProcessMessage(MSG& msg) {
    if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        return false;
    }
    if (msg.message == WM_QUIT) {
        terminated_ = true;
        return true;
    }
    bool handled = false;
    try {
        if (!filters_.empty()) {
            // A filter may add or remove filters: the ones present now run,
            // each unless it was removed meanwhile.
            const std::vector<TMessageFilter> filters = filters_;
            for (auto it = filters.rbegin(); it != filters.rend() && !handled; ++it) {
                const int id = it->id;
                if (std::any_of(filters_.begin(), filters_.end(),
                                [id](const TMessageFilter& f) { return f.id == id; })) {
                    (*it->filter)(msg, handled);
                }
            }
        }
        if (!handled && OnMessage) {
            OnMessage(msg, handled);
        }
    } catch (...) {
        HandleException(std::current_exception());
        handled = true;
    }
    if (!handled && !IsDialogKey(msg)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return true;
}

int TApplication::AddMessageFilter(TMessageEvent filter) {
    filters_.push_back(
        TMessageFilter{++lastFilterId_, std::make_shared<TMessageEvent>(std::move(filter))});
    return lastFilterId_;
}

void TApplication::RemoveMessageFilter(int id) {
    std::erase_if(filters_, [id](const TMessageFilter& f) { return f.id == id; });
}

bool TApplication::IsDialogKey(const MSG& msg) {
    if (msg.message != WM_KEYDOWN ||
        (msg.wParam != VK_TAB && msg.wParam != VK_RETURN && msg.wParam != VK_ESCAPE) ||
        (ShiftStateFromKeyboard() & (ssCtrl | ssAlt)) != 0) {
        return false;
    }
    TWinControl* control = nullptr;
    for (HWND h = msg.hwnd; h != nullptr && control == nullptr; h = GetParent(h)) {
        control = TWinControl::FindControl(h);
    }
    TForm* form = ParentForm(control);
    if (form == nullptr) {
        return false;
    }
    if (msg.wParam == VK_TAB) {
        const bool backwards = (ShiftStateFromKeyboard() & ssShift) != 0;
        form->SelectNext(form->ActiveControl(), !backwards);
        return true;
    }
    if (control != nullptr && control->WantsKey(static_cast<WORD>(msg.wParam))) {
        return false;
    }
    return form->Broadcast(CM_DIALOGKEY, msg.wParam, 0) != 0;
}

void TApplication::HandleMessage() {
    MSG msg;
    if (!ProcessMessage(msg) && !terminated_) {
        WaitMessage();
    }
}

void TApplication::ProcessMessages() {
    MSG msg;
    while (ProcessMessage(msg)) {
    }
}

void TApplication::AnswerSentMessages() {
    struct Answering {
        int& depth;
        explicit Answering(int& d) : depth(d) { ++depth; }
        ~Answering() { --depth; }
    } answering{answering_};
    // Only the sent-message part of the queue: the call delivers what other
    // threads sent and leaves everything else where it is.
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
}

bool TApplication::PostBackIfDeferred(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (answering_ == 0) {
        return false;
    }
    const bool action = msg == WM_CLOSE || msg == WM_SYSCOMMAND || msg == WM_COMMAND ||
                        msg == BM_CLICK || msg == WM_CONTEXTMENU || msg == WM_HSCROLL ||
                        msg == WM_VSCROLL || (msg >= WM_KEYFIRST && msg <= WM_KEYLAST) ||
                        (msg >= WM_MOUSEFIRST && msg <= WM_MOUSELAST) ||
                        (msg >= WM_NCLBUTTONDOWN && msg <= WM_NCXBUTTONDBLCLK);
    if (!action) {
        return false;
    }
    // All of these carry plain values, so they keep their meaning when
    // posted.
    PostMessageW(hwnd, msg, wParam, lParam);
    return true;
}

void TApplication::Terminate() {
    if (!terminated_) {
        terminated_ = true;
        PostQuitMessage(0);
    }
}

std::string TApplication::ExceptionMessage(std::exception_ptr error) {
    try {
        if (error) {
            std::rethrow_exception(error);
        }
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
    }
    return "Unknown exception";
}

void TApplication::HandleException(std::exception_ptr error) {
    detail::HandleExceptionEntry(this, &error);
}

void detail::HandleExceptionEntry(TApplication* application, const std::exception_ptr* error) {
    if (application->OnException) {
        try {
            application->OnException(application, *error);
        } catch (...) {
            // The handler of last resort must not throw out of the loop.
        }
        return;
    }
    application->ShowException(*error);
}

void TApplication::ShowException(std::exception_ptr error) {
    try {
        if (error) {
            std::rethrow_exception(error);
        }
    } catch (const base::EAbort&) {
        return;  // quiet by design
    } catch (...) {
    }
    std::string text = ExceptionMessage(error);
    if (!text.empty() && text.back() != '.') {
        text += '.';
    }
    HWND owner = GetActiveWindow();
    MessageBoxW(owner, WideText(text).c_str(), WideText(title_).c_str(),
                MB_OK | MB_ICONSTOP | (owner == nullptr ? MB_TASKMODAL : 0));
}

// --- TTimer ------------------------------------------------------------------

TTimer::TTimer(TComponent* owner) : TComponent(owner) {}

TTimer::~TTimer() {
    if (window_ != nullptr) {
        KillTimer(window_, 1);
        RemovePropW(window_, L"UpdaterTimer");
        DestroyWindow(window_);
    }
}

void TTimer::SetEnabled(bool value) {
    if (value != enabled_) {
        enabled_ = value;
        Update();
    }
}

void TTimer::SetInterval(unsigned value) {
    if (value != interval_) {
        interval_ = value;
        Update();
    }
}

void TTimer::Loaded() {
    TComponent::Loaded();
    Update();
}

void TTimer::Update() {
    if (Loading()) {
        return;
    }
    if (window_ == nullptr) {
        if (!enabled_ || interval_ == 0) {
            return;
        }
        static bool registered = false;
        if (!registered) {
            WNDCLASSEXW wc{};
            wc.cbSize = sizeof wc;
            wc.lpfnWndProc = TimerWndProc;
            wc.hInstance = Instance();
            wc.lpszClassName = L"UpdaterTimer";
            RegisterClassExW(&wc);
            registered = true;
        }
        window_ = CreateWindowExW(0, L"UpdaterTimer", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  Instance(), nullptr);
        if (window_ == nullptr) {
            throw EComponentError("Not enough timers available");
        }
        SetPropW(window_, L"UpdaterTimer", this);
    }
    KillTimer(window_, 1);
    if (enabled_ && interval_ > 0 && SetTimer(window_, 1, interval_, nullptr) == 0) {
        throw EComponentError("Not enough timers available");
    }
}

void TTimer::Release() {
    enabled_ = false;
    if (window_ != nullptr) {
        KillTimer(window_, 1);
    }
    if (ticking_ > 0) {
        released_ = true;  // TimerWndProc deletes it when OnTimer returns
    } else {
        delete this;
    }
}

LRESULT CALLBACK TTimer::TimerWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_TIMER) {
        auto* timer = static_cast<TTimer*>(GetPropW(hwnd, L"UpdaterTimer"));
        if (timer != nullptr && timer->OnTimer) {
            // The handler runs from a copy: it may delete the timer, and with
            // it OnTimer, while it runs.
            const TNotifyEvent handler = timer->OnTimer;
            ++timer->ticking_;
            try {
                handler(timer);
            } catch (...) {
                Application().HandleException(std::current_exception());
            }
            // A deleted timer has taken its property off its window.
            if (GetPropW(hwnd, L"UpdaterTimer") == timer && --timer->ticking_ == 0 &&
                timer->released_) {
                delete timer;
            }
        }
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

}  // namespace framework
