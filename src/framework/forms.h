#pragma once

// Forms (top-level windows), the application object with its message loop,
// and timers.

#include "framework/win32_api.h"

#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/hookable.h"
#include "framework/controls.h"

namespace framework {

enum TBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };

enum TBorderIcon : uint32_t {
    biSystemMenu = 1,
    biMinimize = 2,
    biMaximize = 4,
    biHelp = 8,
};
using TBorderIcons = uint32_t;

enum TFormStyle { fsNormal, fsStayOnTop };

enum TPosition { poDesigned, poScreenCenter, poDesktopCenter };

enum TCloseAction { caNone, caHide, caFree, caMinimize };

using TModalResult = int;
constexpr TModalResult mrNone = 0;
constexpr TModalResult mrOk = IDOK;
constexpr TModalResult mrCancel = IDCANCEL;
constexpr TModalResult mrAbort = IDABORT;
constexpr TModalResult mrRetry = IDRETRY;
constexpr TModalResult mrIgnore = IDIGNORE;
constexpr TModalResult mrYes = IDYES;
constexpr TModalResult mrNo = IDNO;

using TCloseEvent = std::function<void(TComponent* sender, TCloseAction& action)>;

class TForm : public TWinControl {
  public:
    // Joins the application's list of forms. A form is hidden until shown.
    explicit TForm(TComponent* owner);
    ~TForm() override;

    TBorderStyle BorderStyle() const { return borderStyle_; }
    void SetBorderStyle(TBorderStyle style);
    TBorderIcons BorderIcons() const { return borderIcons_; }
    void SetBorderIcons(TBorderIcons icons);
    TFormStyle FormStyle() const { return formStyle_; }
    void SetFormStyle(TFormStyle style);
    TPosition Position() const { return position_; }
    void SetPosition(TPosition position) { position_ = position; }

    // The size of the client area; setting it resizes the window around it
    // (for whatever frame the window has at that moment).
    int ClientWidth() const override;
    int ClientHeight() const override;
    void SetClientWidth(int width);
    void SetClientHeight(int height);

    void SetVisible(bool value) override;

    // Changes the window's style and extended style just before the window
    // is made, every time it is made: a component that draws the frame
    // itself drops the caption bits here.
    std::function<void(TCreateParams&)> OnCreateParams;

    // Runs OnClose; the action it leaves decides: caHide hides the form (and
    // ends the application for the main form), caFree hides and deletes it
    // after the current message, caMinimize minimizes, caNone keeps it. In a
    // modal loop closing sets ModalResult to mrCancel instead. A form already
    // closed with caFree ignores further closes; deleting it before the
    // message loop does cancels the deferred deletion.
    void Close();

    // Shows the form and runs a message loop, with the other forms disabled,
    // until ModalResult is set (or the application ends); returns it.
    TModalResult ShowModal();
    TModalResult ModalResult() const { return modalResult_; }
    void SetModalResult(TModalResult result) { modalResult_ = result; }
    bool Modal() const { return inModalLoop_; }

    // Runs OnCreate; the code that creates a form calls it once the form and
    // its components are read.
    void DoCreate();

    TNotifyEvent OnCreate;
    TNotifyEvent OnShow;
    TCloseEvent OnClose;

    // The windowed control that has (or last had) the focus in this form.
    TWinControl* ActiveControl() const { return activeControl_; }
    void SetActiveControl(TWinControl* control);
    // Moves the focus to the next (or previous) control in tab order that
    // can take it, from `current` (null: from the start).
    void SelectNext(TWinControl* current, bool forward);

    // Sends `msg` to every control on the form (nested ones included), in
    // creation order, until one sets a non-zero result; returns it.
    LRESULT Broadcast(UINT msg, WPARAM wParam, LPARAM lParam);
    void BroadcastFocusChanged(TWinControl* focused);

  protected:
    void CreateParams(TCreateParams& params) override;
    void CreateHandleDone() override;
    void WndProc(TMessage& message) override;
    void Notification(TComponent* component, TOperation operation) override;
    virtual void DoShow();

    bool CapturesMouse() const override { return false; }

  private:
    friend class TApplication;
    friend class TWinControl;
    void ApplyClientSize();
    void PlaceOnScreen();

    TBorderStyle borderStyle_ = bsSizeable;
    TBorderIcons borderIcons_ = biSystemMenu | biMinimize | biMaximize;
    TFormStyle formStyle_ = fsNormal;
    TPosition position_ = poDesigned;
    int clientWidth_ = -1;
    int clientHeight_ = -1;
    TModalResult modalResult_ = mrNone;
    bool inModalLoop_ = false;
    bool placed_ = false;
    TWinControl* activeControl_ = nullptr;
    // Not 0 once Close asked for the form to be freed (caFree).
    WPARAM releaseTicket_ = 0;
};

using TMessageEvent = std::function<void(MSG& message, bool& handled)>;
using TExceptionEvent = std::function<void(TComponent* sender, std::exception_ptr error)>;

class TApplication : public TComponent {
  public:
    TApplication();
    ~TApplication() override;

    // GBK; shown on the task bar (it is the caption of the application's own
    // window, which owns every form).
    const std::string& Title() const { return title_; }
    void SetTitle(std::string title);
    // The hidden window that carries the task-bar button.
    HWND Handle();

    // The first form made with CreateForm unless set.
    TForm* MainForm() const { return mainForm_; }
    void SetMainForm(TForm* form) { mainForm_ = form; }
    int FormCount() const { return static_cast<int>(forms_.size()); }
    TForm* Forms(int index) const { return forms_.at(static_cast<size_t>(index)); }

    // Makes a form owned by the application, makes it the main form when
    // there is none yet, and runs its OnCreate.
    template <typename T>
    T* CreateForm() {
        T* form = new T(this);
        AdoptForm(form);
        return form;
    }
    void AdoptForm(TForm* form);

    // Shows the main form and dispatches messages until Terminate.
    void Run();
    // Dispatches one message, waiting for one when the queue is empty.
    void HandleMessage();
    // Dispatches every waiting message, then returns.
    void ProcessMessages();
    // Ends Run (and every modal loop) once the current message is done.
    void Terminate();
    bool Terminated() const { return terminated_; }

    // Lets the window thread answer what other threads and programs send to
    // its windows (a query of a list's selection or a window's text, a
    // watchdog's probe) while a long operation holds it, without taking
    // anything from the queue: posted messages, input, timers and paint
    // requests stay there. A sent message that would start an action (a
    // close, a command, a click, a key) is not handled now: it is posted
    // back and handled once the thread is back in its loop, so no handler
    // runs inside the operation that called this.
    void AnswerSentMessages();
    // For the window procedures of the framework: while AnswerSentMessages
    // runs, posts a message that waits for the loop (see above) back to its
    // window and returns true; the message is then not handled now.
    bool PostBackIfDeferred(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

    // Sees every message the loops take from the queue before it is
    // dispatched; setting `handled` keeps it from being dispatched.
    TMessageEvent OnMessage;

    // Filters that see the messages before OnMessage, the newest first; one
    // that sets `handled` keeps the message from the others, from OnMessage
    // and from dispatch. Each is removed by the number AddMessageFilter gave
    // it, whenever its owner is done (also from inside the filter itself),
    // without disturbing the others.
    int AddMessageFilter(TMessageEvent filter);
    void RemoveMessageFilter(int id);

    // Where exceptions that escape a handler during message dispatch go.
    // With OnException set, that gets them; otherwise ShowException shows
    // the message in a message box. Every call passes through
    // detail::HandleExceptionEntry, which an error reporter may redirect.
    void HandleException(std::exception_ptr error);
    TExceptionEvent OnException;
    void ShowException(std::exception_ptr error);

    // The message of an exception as GBK text (what() of a standard
    // exception; "Unknown exception" for anything else).
    static std::string ExceptionMessage(std::exception_ptr error);

  private:
    friend class TForm;
    bool ProcessMessage(MSG& message);
    // Tab and shift-tab move the focus between a form's controls.
    bool IsDialogKey(const MSG& message);
    static LRESULT CALLBACK AppWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

    std::string title_;
    HWND handle_ = nullptr;
    TForm* mainForm_ = nullptr;
    std::vector<TForm*> forms_;
    struct TMessageFilter {
        int id;
        std::shared_ptr<TMessageEvent> filter;
    };
    std::vector<TMessageFilter> filters_;
    int lastFilterId_ = 0;
    bool terminated_ = false;
    WPARAM releaseTickets_ = 0;
    int answering_ = 0;
};

// The application object of the process, made on first use.
TApplication& Application();

// Calls OnTimer every Interval milliseconds while enabled. The calls come
// from the message loop of the thread that made the timer.
class TTimer : public TComponent {
  public:
    explicit TTimer(TComponent* owner);
    ~TTimer() override;

    bool Enabled() const { return enabled_; }
    void SetEnabled(bool value);
    // Milliseconds; 0 stops the timer.
    unsigned Interval() const { return interval_; }
    void SetInterval(unsigned value);

    TNotifyEvent OnTimer;

    // Stops the timer and deletes it: at once, or, when called from its own
    // OnTimer, as soon as that returns. (Plain `delete` from OnTimer is safe
    // too; Release also keeps the timer alive for the rest of the handler.)
    void Release();

    void Loaded() override;

  private:
    static LRESULT CALLBACK TimerWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    void Update();

    HWND window_ = nullptr;
    bool enabled_ = true;
    unsigned interval_ = 1000;
    int ticking_ = 0;  // OnTimer calls under way (a handler may run a modal loop)
    bool released_ = false;
};

// Owns a timer and frees it with Release, so that dropping it from inside
// the timer's own tick is safe.
struct TTimerRelease {
    void operator()(TTimer* timer) const { timer->Release(); }
};
using TOwnedTimer = std::unique_ptr<TTimer, TTimerRelease>;

namespace detail {
// The body of TApplication::HandleException, as a procedure of its own
// whose entry code hooks can redirect: the exception reporter finds it under
// the name "Forms.TApplication.HandleException" and reports the exception
// before (or instead of) the application's own handling.
UPDATER_HOOKABLE void HandleExceptionEntry(TApplication* application,
                                           const std::exception_ptr* error);
}  // namespace detail

}  // namespace framework
