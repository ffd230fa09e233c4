#include "exceptions/report_dialog_core.h"

#include <algorithm>
#include <cctype>

namespace exceptions {

TReportBoxes ReportBoxes(int delivery_mode, bool duplicate, bool attach_screenshot) {
    TReportBoxes b;
    const bool mailed = delivery_mode != 0;
    b.send_visible = mailed && !duplicate;
    b.screenshot_visible = b.send_visible && attach_screenshot;
    b.send_ticked = mailed;
    b.screenshot_ticked = attach_screenshot;
    b.screenshot_enabled = mailed;
    return b;
}

int CheckBoxArea(const TReportBoxes& boxes) {
    return boxes.send_visible && boxes.screenshot_visible ? 34 : 20;
}

bool QuitButtonVisible(bool show_quit_button, uint32_t exception_count, uint32_t after) {
    return show_quit_button && exception_count > after;
}

int CompactWidth(const TCompactMeasures& m) {
    const int width = m.text_width + 16 + 2 * m.frame_width + 58;
    return std::clamp(width, kCompactMinWidth, kCompactMaxWidth);
}

int CompactHeight(const TCompactMeasures& m, int text_height) {
    return std::max(text_height - 39, 0) + 2 * m.frame_height + m.small_caption_height + 86 +
           m.check_box_area;
}

TDialogRect DetailedBounds(const TRememberedPlace& place, int check_box_area, int screen_width,
                           int screen_height) {
    TDialogRect r;
    // A size from a damaged file is taken as the default one, and no window
    // is larger than the screen.
    const int width = place.width > 0 ? place.width : 640;
    const int height = place.height > 0 ? place.height : 385;
    r.width = std::clamp(width, 1, std::max(screen_width, 1));
    r.height = std::clamp(height + check_box_area, 1, std::max(screen_height, 1));
    r.left = place.left >= 0 ? place.left : (screen_width - r.width) / 2;
    r.top = place.top >= 0 ? place.top : (screen_height - r.height) / 2;
    r.left = std::clamp(r.left, 0, std::max(screen_width - r.width, 0));
    r.top = std::clamp(r.top, 0, std::max(screen_height - r.height, 0));
    return r;
}

TReportDialogLayout LayoutReportDialog(int width, int height, int check_box_area, bool detailed) {
    TReportDialogLayout l;
    const int y = height - check_box_area - 32;
    l.quit = {5, y, 75, 25};
    l.ok = {width / 2 - 75 / 2, y, 75, 25};
    l.details = {width - 80, y, 75, 25};
    const int half = width / 2 - 4;
    l.send = {4, y + 34, half, 16};
    l.clipboard = {width - 4 - half, y + 34, half, 16};
    l.screenshot = {23, y + 50, width - 23, 16};
    l.tabs = {4, 52, width - 8, std::max(y - 52, 0)};
    // Compact, the text has the room above the buttons.
    l.error_text = {48, 8, width - 56, detailed ? 42 : std::max(y - 8, 0)};
    return l;
}

std::string ModuleVersionText(std::string_view version) {
    const size_t first = version.find('.');
    const size_t second = first == std::string_view::npos ? first : version.find('.', first + 1);
    if (second == std::string_view::npos) {
        return std::string(version);
    }
    return std::string(version.substr(0, second + 1)) + "x";
}

std::string ModuleSizeText(uint64_t bytes) {
    uint64_t kb = bytes / 1024;
    const uint64_t rest = bytes % 1024;
    if (rest > 512 || (rest == 512 && kb % 2 == 1)) {
        ++kb;
    }
    return std::to_string(kb) + " Kb";
}

bool ShownOnCallStackPage(const TVivavaDebugInfo& entry, bool in_executable) {
    if (!Shown(entry.Kind)) {
        return false;
    }
    return !(entry.Kind == TEntryKind::kDecoratedExport && in_executable);
}

TRowIcon ModuleRowIcon(std::string_view file_name) {
    const size_t dot = file_name.rfind('.');
    std::string extension;
    if (dot != std::string_view::npos) {
        for (char c : file_name.substr(dot)) {
            extension += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        }
    }
    if (extension == ".BPL" || extension == ".DPL") {
        return TRowIcon::kPackage;
    }
    return extension == ".EXE" ? TRowIcon::kExecutable : TRowIcon::kLibrary;
}

}  // namespace exceptions
