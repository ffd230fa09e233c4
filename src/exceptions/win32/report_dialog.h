#pragma once

// The report dialog of a GUI program: a top-most window that states the
// error and, in its detailed view, shows four pages (the report's general
// text, the call stack, the modules and the CPU). It offers to mail the
// report with a screenshot and to copy it to the clipboard, and lets the user
// go on or end the program. After it, the request window may ask what led to
// the error.
//
// Both are plain dialogs of system controls, made from templates built in
// memory: a crash may come from the program's own window code or its skin,
// so nothing of those is used. They run modally on the calling thread (the
// report's thread) without an owner. Texts are the options' 8-bit texts.

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "exceptions/options.h"
#include "exceptions/stack_info.h"

namespace exceptions {

// One call-stack row, with whether its module is the program itself.
struct TReportStackRow {
    TVivavaDebugInfo entry;
    bool in_executable = false;
};

struct TReportDialogInput {
    const TVivavaModuleOptions* options = nullptr;
    std::string error_message;  // the compact view's text
    std::string general_text;   // the general page: the report's header sections
    std::string cpu_text;       // the CPU page
    std::vector<TReportStackRow> stack;
    std::vector<TModuleRow> modules;
    bool duplicate = false;
    uint32_t exception_count = 0;  // this report's number in the process
    // Where the detailed view's place and the column widths are kept.
    std::wstring settings_file;
    // Times out a dialog that never painted (the system could not show it).
    DWORD paint_timeout_ms = 3000;
};

struct TReportDialogResult {
    bool shown = false;  // false: it could not be shown (the message box was)
    bool send = false;
    bool screenshot = false;
    bool clipboard = false;
    bool quit = false;
};

// Shows the dialog and returns when the user closed it. When it cannot be
// shown, the error message appears in a message box instead and
// `shown` is false.
TReportDialogResult ShowReportDialog(const TReportDialogInput& input);

// The request window: the text typed (trimmed) however the window closed.
std::string AskReproductionSteps(const TVivavaModuleOptions& options);

// The small window that accompanies the mailing of a report: it runs on a
// thread of its own while the report's thread talks to the mail servers,
// and shows the recipient being served, the step and the share of the
// message sent so far.
class TMailProgressWindow {
  public:
    // Opens the window (caption: text 53).
    explicit TMailProgressWindow(const TVivavaModuleOptions& options);
    // Closes it (with kCloseMailProgress) and waits for its thread.
    ~TMailProgressWindow();
    TMailProgressWindow(const TMailProgressWindow&) = delete;
    TMailProgressWindow& operator=(const TMailProgressWindow&) = delete;

    static constexpr UINT kCloseMailProgress = WM_USER + 1234;

    // Waits in steps of 50 ms, at most `ms`, until the window has the
    // focus; false when it did not get it (or could not be made).
    bool WaitForFocus(int ms) const;
    // Text 54, the recipient counter and the step: "%s %d/%d: <step>".
    void ShowStep(int recipient, int count, const std::string& step);
    // The bar, 0 to 100.
    void ShowPercent(int percent);
    // Null when the window could not be made.
    HWND Handle() const { return window_; }

  private:
    static DWORD WINAPI Thread(void* self);
    static INT_PTR CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    const TVivavaModuleOptions& options_;
    HANDLE thread_ = nullptr;
    HANDLE ready_ = nullptr;
    std::atomic<HWND> window_{nullptr};
    std::atomic<bool> focused_{false};
};

// The settings file of the report dialog: "Crashlore.ini" in the system's
// folder for such files when it can be written there, else in the user's
// local application data under the program's name.
std::wstring ReportDialogSettingsFile();

}  // namespace exceptions
