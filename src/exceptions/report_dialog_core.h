#pragma once

// The report dialog's rules without windows: which check boxes it shows,
// how large the compact view is, where the detailed view may open, where
// each control goes for a client size, and how the pages write module
// versions and sizes. The dialog (win32/report_dialog.h) measures texts and
// frames and places what these compute.

#include <cstdint>
#include <string>
#include <string_view>

#include "exceptions/stack_info.h"

namespace exceptions {

struct TDialogRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;

    bool operator==(const TDialogRect&) const = default;
};

// The check boxes of a report: send and screenshot only when reports are
// mailed and the error is new (the screenshot also only when screenshots
// are attached); the clipboard box always.
struct TReportBoxes {
    bool send_visible = false;
    bool screenshot_visible = false;
    bool send_ticked = false;
    bool screenshot_ticked = false;
    bool screenshot_enabled = false;
};
TReportBoxes ReportBoxes(int delivery_mode, bool duplicate, bool attach_screenshot);
// The height of the check-box area under the buttons: 34 with both the send
// and the screenshot box, else 20.
int CheckBoxArea(const TReportBoxes& boxes);

// The quit button shows when it is wanted and this report's number is above
// `after`.
bool QuitButtonVisible(bool show_quit_button, uint32_t exception_count, uint32_t after);

// The compact view's window size. `text_width` is the widest line of the
// error text (or of the check-box line) and `text_height` the height of the
// text wrapped at the width that results; the frame measures are the
// system's. The width stays within 250..640.
struct TCompactMeasures {
    int text_width = 0;
    int frame_width = 0;
    int frame_height = 0;
    int small_caption_height = 0;
    int check_box_area = 0;
};
inline constexpr int kCompactMinWidth = 250;
inline constexpr int kCompactMaxWidth = 640;
int CompactWidth(const TCompactMeasures& m);
int CompactHeight(const TCompactMeasures& m, int text_height);

// The detailed view's window rectangle from the remembered values (a value
// < 0: none remembered, so the default size or a centred place), kept
// inside the screen and never at a negative place. The remembered height
// leaves out the check-box area, which is added.
struct TRememberedPlace {
    int width = 640;
    int height = 385;
    int left = -1;
    int top = -1;
};
TDialogRect DetailedBounds(const TRememberedPlace& place, int check_box_area, int screen_width,
                           int screen_height);

// The controls for a client area of width x height: a row of buttons above
// the check-box area, the pages (detailed view only) between the text and
// the buttons.
struct TReportDialogLayout {
    TDialogRect quit, ok, details;
    TDialogRect send, clipboard, screenshot;
    TDialogRect tabs;
    TDialogRect error_text;
};
TReportDialogLayout LayoutReportDialog(int width, int height, int check_box_area, bool detailed);

// The modules page: a version with two dots or more is cut after the second
// and ends in "x" ("1.2.3.4" -> "1.2.x"); a size is whole kilobytes,
// rounded to the nearest (ties to even), with " Kb".
std::string ModuleVersionText(std::string_view version);
std::string ModuleSizeText(uint64_t bytes);

// The call-stack page lists the entries with a procedure (an export,
// decorated or not, or debug data), but not the decorated exports of an
// executable.
bool ShownOnCallStackPage(const TVivavaDebugInfo& entry, bool in_executable);

// What a list row's icon shows.
enum class TRowIcon { kLibrary, kPackage, kExecutable, kSource };
TRowIcon ModuleRowIcon(std::string_view file_name);

}  // namespace exceptions
