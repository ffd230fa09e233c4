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

// The settings file of the report dialog: "Crashlore.ini" in the system's
// folder for such files when it can be written there, else in the user's
// local application data under the program's name.
std::wstring ReportDialogSettingsFile();

}  // namespace exceptions
