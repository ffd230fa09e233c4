#include "skin/data/resource_strings.h"

#include "framework/names.h"

namespace skin {

namespace {

// The default table: English texts, one "NAME=text" line each.
constexpr const char* kDefaultLines[] = {
    // Window menu and caption buttons.
    "MI_MINCAPTION=Mi&nimize",
    "MI_MAXCAPTION=Ma&ximize",
    "MI_CLOSECAPTION=&Close",
    "MI_RESTORECAPTION=&Restore",
    "MI_MINTOTRAYCAPTION=Minimize to &tray",
    "MI_ROLLUPCAPTION=Roll &up",
    "MINBUTTON_HINT=Minimize",
    "MAXBUTTON_HINT=Maximize",
    "CLOSEBUTTON_HINT=Close",
    "TRAYBUTTON_HINT=Minimize to tray",
    "ROLLUPBUTTON_HINT=Roll up",
    "MENUBUTTON_HINT=Window menu",
    // Edit menu.
    "EDIT_UNDO=&Undo",
    "EDIT_COPY=&Copy",
    "EDIT_CUT=Cu&t",
    "EDIT_PASTE=&Paste",
    "EDIT_DELETE=&Delete",
    "EDIT_SELECTALL=Select &all",
    // Message boxes and file dialogs.
    "MSG_BTN_YES=&Yes",
    "MSG_BTN_NO=&No",
    "MSG_BTN_OK=OK",
    "MSG_BTN_CANCEL=Cancel",
    "MSG_BTN_ABORT=&Abort",
    "MSG_BTN_RETRY=&Retry",
    "MSG_BTN_IGNORE=&Ignore",
    "MSG_BTN_ALL=&All",
    "MSG_BTN_NOTOALL=N&oToAll",
    "MSG_BTN_YESTOALL=&YesToAll",
    "MSG_BTN_HELP=&Help",
    "MSG_BTN_OPEN=&Open",
    "MSG_BTN_SAVE=&Save",
    "MSG_BTN_CLOSE=Close",
    "MSG_BTN_BACK_HINT=Back to the last folder",
    "MSG_BTN_UP_HINT=Up one level",
    "MSG_BTN_NEWFOLDER_HINT=Make a new folder",
    "MSG_BTN_VIEWMENU_HINT=View",
    "MSG_BTN_STRETCH_HINT=Fit the picture",
    "MSG_FILENAME=File name:",
    "MSG_FILETYPE=Files of type:",
    "MSG_NEWFOLDER=New folder",
    "MSG_LV_DETAILS=Details",
    "MSG_LV_ICON=Large icons",
    "MSG_LV_SMALLICON=Small icons",
    "MSG_LV_LIST=List",
    "MSG_PREVIEWSKIN=Preview",
    "MSG_PREVIEWBUTTON=Button",
    "MSG_CAP_WARNING=Warning",
    "MSG_CAP_ERROR=Error",
    "MSG_CAP_INFORMATION=Information",
    "MSG_CAP_CONFIRM=Confirm",
    // Small tools.
    "CALC_CAP=Calculator",
    "ERROR=Error",
    "COLORGRID_CAP=Basic colours",
    "CUSTOMCOLORGRID_CAP=Custom colours",
    "ADDCUSTOMCOLORBUTTON_CAP=Add to custom colours",
    "FONTDLG_COLOR=Colour:",
    "FONTDLG_NAME=Name:",
    "FONTDLG_SIZE=Size:",
    "FONTDLG_HEIGHT=Height:",
    "FONTDLG_EXAMPLE=Sample",
    "FONTDLG_STYLE=Style:",
    "FONTDLG_SCRIPT=Script:",
    "DB_DELETE_QUESTION=Delete this record?",
    "DB_MULTIPLEDELETE_QUESTION=Delete every selected record?",
    "NODISKINDRIVE=The drive holds no disk or is not ready",
    "NOVALIDDRIVEID=Not a valid drive letter",
    // File list views.
    "FLV_NAME=Name",
    "FLV_SIZE=Size",
    "FLV_TYPE=Type",
    "FLV_LOOKIN=Look in:",
    "FLV_MODIFIED=Modified",
    "FLV_ATTRIBUTES=Attributes",
    "FLV_DISKSIZE=Disk size",
    "FLV_FREESPACE=Free space",
    // Print dialog.
    "PRNDLG_NAME=Name:",
    "PRNDLG_PRINTER=Printer",
    "PRNDLG_PROPERTIES=Properties...",
    "PRNDLG_TYPE=Type:",
    "PRNDLG_STATUS=Status:",
    "PRNDLG_WHERE=Where:",
    "PRNDLG_COMMENT=Comment:",
    "PRNDLG_PRINTRANGE=Print range",
    "PRNDLG_COPIES=Copies",
    "PRNDLG_NUMCOPIES=Number of copies:",
    "PRNDLG_COLLATE=Collate",
    "PRNDLG_ALL=All",
    "PRNDLG_PAGES=Pages",
    "PRNDLG_SELECTION=Selection",
    "PRNDLG_PRINTTOFILE=Print to file",
    "PRNDLG_FROM=from:",
    "PRNDLG_TO=to:",
    "PRNDLG_ORIENTATION=Orientation",
    "PRNDLG_PAPER=Paper",
    "PRNDLG_PORTRAIT=Portrait",
    "PRNDLG_LANDSCAPE=Landscape",
    "PRNDLG_SOURCE=Source:",
    "PRNDLG_SIZE=Size:",
    "PRNDLG_MARGINS=Margins (millimetres)",
    "PRNDLG_MARGINS_INCHES=Margins (inches)",
    "PRNDLG_LEFT=Left:",
    "PRNDLG_RIGHT=Right:",
    "PRNDLG_TOP=Top:",
    "PRNDLG_BOTTOM=Bottom:",
    "PRNDLG_WARNING=No printer is installed",
    // Find and replace.
    "FIND_NEXT=Find next",
    "FIND_WHAT=Find what:",
    "FIND_DIRECTION=Direction",
    "FIND_DIRECTIONUP=Up",
    "FIND_DIRECTIONDOWN=Down",
    "FIND_MATCH_CASE=Match case",
    "FIND_MATCH_WHOLE_WORD_ONLY=Match whole word only",
    "FIND_REPLACE_WITH=Replace with:",
    "FIND_REPLACE=Replace",
    "FIND_REPLACE_All=Replace all",
    "FIND_REPLACE_CLOSE=Close",
};

}  // namespace

TbsResourceStrData::TbsResourceStrData(framework::TComponent* owner)
    : TComponent(owner), strings_(DefaultStrings()) {}

void TbsResourceStrData::SetResStrings(const base::TStringList& lines) {
    strings_.Assign(lines);
}

std::string TbsResourceStrData::Lookup(std::string_view name) const {
    for (int i = 0; i < strings_.Count(); ++i) {
        const std::string& line = strings_[i];
        const size_t eq = line.find('=');
        if (eq != std::string::npos &&
            framework::SameName(std::string_view(line).substr(0, eq), name)) {
            return line.substr(eq + 1);
        }
    }
    return {};
}

base::TStringList TbsResourceStrData::DefaultStrings() {
    base::TStringList lines;
    for (const char* line : kDefaultLines) {
        lines.Add(line);
    }
    return lines;
}

}  // namespace skin
