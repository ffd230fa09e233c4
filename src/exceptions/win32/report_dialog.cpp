#include "exceptions/win32/report_dialog.h"

#include <commctrl.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "base/text.h"
#include "exceptions/report_dialog_core.h"
#include "exceptions/report_text.h"
#include "exceptions/trace.h"
#include "exceptions/win32/reporter_internal.h"
#include "framework/graphics.h"

namespace exceptions {

namespace {

using framework::WideText;

// Control ids.
constexpr int kIdOk = IDCANCEL;  // also what Esc and the close box send
constexpr int kIdQuit = 3;
constexpr int kIdDetails = 4;
constexpr int kIdText = 101;
constexpr int kIdTabs = 1000;
constexpr int kIdSend = 3000;
constexpr int kIdScreenshot = 4000;
constexpr int kIdClipboard = 5000;
constexpr int kIdPageLabel = 102;
constexpr int kIdPage = 103;
constexpr int kIdRequestLabel = 100;
constexpr int kIdRequestEdit = 101;

constexpr UINT_PTR kPaintTimer = 1;
constexpr INT_PTR kNeverPainted = -2;

constexpr COLORREF kFancyFace = RGB(212, 208, 200);
constexpr wchar_t kSection[] = L"Coordinates";

// A dialog template made in memory: the header, then items in dialog units.
class TDialogTemplate {
  public:
    TDialogTemplate(DWORD style, DWORD ex_style, short cx, short cy) {
        Dword(style | DS_SETFONT);
        Dword(ex_style);
        countAt_ = data_.size();
        data_.push_back(0);
        for (short v : {short{0}, short{0}, cx, cy}) {
            data_.push_back(static_cast<WORD>(v));
        }
        data_.push_back(0);  // no menu
        data_.push_back(0);  // the dialog class
        String(L"");         // the title is set later
        data_.push_back(8);  // points
        String(L"MS Sans Serif");
    }
    // `atom`: 0x80 button, 0x81 edit, 0x82 static; 0 with `class_name`.
    void Add(int id, WORD atom, const wchar_t* class_name, DWORD style, short x, short y, short cx,
             short cy) {
        if (data_.size() % 2 != 0) {
            data_.push_back(0);  // items start on a DWORD
        }
        Dword(style | WS_CHILD);
        Dword(0);
        for (short v : {x, y, cx, cy}) {
            data_.push_back(static_cast<WORD>(v));
        }
        data_.push_back(static_cast<WORD>(id));
        if (atom != 0) {
            data_.push_back(0xFFFF);
            data_.push_back(atom);
        } else {
            String(class_name);
        }
        String(L"");
        data_.push_back(0);  // no creation data
        ++data_[countAt_];
    }
    LPCDLGTEMPLATEW Get() const { return reinterpret_cast<LPCDLGTEMPLATEW>(data_.data()); }

  private:
    void Dword(DWORD v) {
        data_.push_back(LOWORD(v));
        data_.push_back(HIWORD(v));
    }
    void String(std::wstring_view s) {
        data_.insert(data_.end(), s.begin(), s.end());
        data_.push_back(0);
    }

    std::vector<WORD> data_;
    size_t countAt_ = 0;
};

// The fonts of the report windows, made when one opens.
struct TReportFonts {
    HFONT message = nullptr;
    HFONT fixed = nullptr;
    HFONT caption = nullptr;

    TReportFonts() {
        CHARSETINFO info{};
        const bool ansi =
            TranslateCharsetInfo(reinterpret_cast<DWORD*>(static_cast<uintptr_t>(GetACP())), &info,
                                 TCI_SRCCODEPAGE) &&
            info.ciCharset == ANSI_CHARSET;
        const wchar_t* proportional = ansi ? L"Verdana" : L"MS Sans Serif";
        const wchar_t* fixed_face = ansi ? L"Lucida Console" : L"Courier New";
        HDC screen = GetDC(nullptr);
        const int height = -MulDiv(ansi ? 8 : 10, GetDeviceCaps(screen, LOGPIXELSY), 72);
        ReleaseDC(nullptr, screen);
        NONCLIENTMETRICSW metrics{};
        metrics.cbSize = sizeof metrics;
        int caption_height = GetSystemMetrics(SM_CYCAPTION) - 6;
        if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
            message = CreateFontIndirectW(&metrics.lfMessageFont);
            caption_height = metrics.lfCaptionFont.lfHeight;
        }
        if (message == nullptr) {
            message = CreateFontW(height, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0,
                                  VARIABLE_PITCH, proportional);
        }
        fixed = CreateFontW(height, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0,
                            FIXED_PITCH | FF_MODERN, fixed_face);
        caption = CreateFontW(caption_height, 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0,
                              VARIABLE_PITCH, proportional);
    }
    ~TReportFonts() {
        for (HFONT f : {message, fixed, caption}) {
            if (f != nullptr) {
                DeleteObject(f);
            }
        }
    }
    TReportFonts(const TReportFonts&) = delete;
    TReportFonts& operator=(const TReportFonts&) = delete;
};

void InitControls() {
    static const bool done = [] {
        INITCOMMONCONTROLSEX init{sizeof init,
                                  ICC_TAB_CLASSES | ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS};
        return InitCommonControlsEx(&init) != FALSE;
    }();
    (void)done;
}

void SetText(HWND window, const std::string& text) {
    SetWindowTextW(window, WideText(text).c_str());
}

std::wstring WindowText(HWND window) {
    const int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<size_t>(std::max(length, 0)) + 1, L'\0');
    const int got = GetWindowTextW(window, text.data(), length + 1);
    text.resize(static_cast<size_t>(std::max(got, 0)));
    return text;
}

// Edit controls want CR LF line ends.
std::string WithCrLf(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) {
            out += '\r';
        }
        out += text[i];
    }
    return out;
}

// The caption bar and frame drawn by the window itself: bands of blue that
// narrow and darken towards the middle, the caption in bold white with a
// shadow, a grey frame.
void PaintFancyFrame(HWND window, bool active, HFONT caption_font) {
    HDC dc = GetWindowDC(window);
    if (dc == nullptr) {
        return;
    }
    RECT outer;
    GetWindowRect(window, &outer);
    OffsetRect(&outer, -outer.left, -outer.top);
    RECT client;
    GetClientRect(window, &client);
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    RECT place;
    GetWindowRect(window, &place);
    OffsetRect(&client, origin.x - place.left, origin.y - place.top);
    ExcludeClipRect(dc, client.left, client.top, client.right, client.bottom);

    HBRUSH fill = CreateSolidBrush(active ? RGB(128, 128, 128) : RGB(96, 96, 96));
    FillRect(dc, &outer, fill);
    DeleteObject(fill);
    HBRUSH line = CreateSolidBrush(active ? RGB(64, 64, 64) : RGB(48, 48, 48));
    FrameRect(dc, &outer, line);
    DeleteObject(line);

    // The caption: the rows between the frame's top edge and the client.
    const int frame = std::max<int>(client.left, 1);
    RECT bar{frame, frame, outer.right - frame, client.top};
    const int height = bar.bottom - bar.top;
    double r = active ? 130 : 151, g = active ? 154 : 151, b = active ? 194 : 151;
    for (int band = 0; band < std::max(height / 5, 1); ++band) {
        RECT piece{bar.left, bar.top + 2 * band, bar.right, bar.bottom - 2 * band};
        if (piece.bottom <= piece.top) {
            break;
        }
        HBRUSH brush =
            CreateSolidBrush(RGB(static_cast<int>(r), static_cast<int>(g), static_cast<int>(b)));
        FillRect(dc, &piece, brush);
        DeleteObject(brush);
        r *= 0.96;
        g *= 0.96;
        b *= 0.96;
    }
    const std::wstring title = WindowText(window);
    HGDIOBJ old = SelectObject(dc, caption_font);
    SetBkMode(dc, TRANSPARENT);
    RECT text{bar.left + 4, bar.top, bar.right, bar.bottom};
    if (active) {
        RECT shadow = text;
        OffsetRect(&shadow, 1, 0);
        SetTextColor(dc, RGB(34, 34, 34));
        DrawTextW(dc, title.c_str(), -1, &shadow, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    }
    SetTextColor(dc, active ? RGB(255, 255, 255) : RGB(224, 224, 224));
    DrawTextW(dc, title.c_str(), -1, &text, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    SelectObject(dc, old);
    ReleaseDC(window, dc);
}

// The small pictures: a monitor for the dialog, and the list rows' marks
// (library, package, program, source).
void DrawMonitor(HDC dc, int x, int y) {
    HBRUSH case_brush = CreateSolidBrush(RGB(64, 64, 64));
    HBRUSH screen = CreateSolidBrush(RGB(58, 110, 165));
    HBRUSH light = CreateSolidBrush(RGB(230, 230, 230));
    const RECT body{x, y, x + 32, y + 24};
    const RECT glass{x + 3, y + 3, x + 29, y + 20};
    const RECT neck{x + 13, y + 24, x + 19, y + 28};
    const RECT foot{x + 8, y + 28, x + 24, y + 31};
    FillRect(dc, &body, case_brush);
    FillRect(dc, &glass, screen);
    FillRect(dc, &neck, case_brush);
    FillRect(dc, &foot, case_brush);
    const RECT mark{x + 6, y + 6, x + 16, y + 8};
    FillRect(dc, &mark, light);
    DeleteObject(case_brush);
    DeleteObject(screen);
    DeleteObject(light);
}

HIMAGELIST RowIcons() {
    HIMAGELIST list = ImageList_Create(16, 16, ILC_COLOR24, 4, 0);
    if (list == nullptr) {
        return nullptr;
    }
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    const COLORREF colours[] = {RGB(128, 128, 128), RGB(160, 110, 50), RGB(58, 110, 165),
                                RGB(40, 140, 60)};
    for (COLORREF colour : colours) {
        HBITMAP bitmap = CreateCompatibleBitmap(screen, 16, 16);
        HGDIOBJ old = SelectObject(dc, bitmap);
        const RECT all{0, 0, 16, 16};
        FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        HBRUSH brush = CreateSolidBrush(colour);
        const RECT inner{2, 2, 14, 14};
        FillRect(dc, &inner, brush);
        DeleteObject(brush);
        SelectObject(dc, old);
        ImageList_Add(list, bitmap, nullptr);
        DeleteObject(bitmap);
    }
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    return list;
}

int IconIndex(TRowIcon icon) {
    switch (icon) {
        case TRowIcon::kLibrary:
            return 0;
        case TRowIcon::kPackage:
            return 1;
        case TRowIcon::kExecutable:
            return 2;
        case TRowIcon::kSource:
            return 3;
    }
    return 0;
}

// Sends the unit and line of a call-stack row to a development tool
// listening on the mailslot, if one is.
void TellSourceViewer(const std::string& unit, uint32_t line) {
    HANDLE slot = CreateFileW(L"\\\\.\\mailslot\\Crashlore", GENERIC_WRITE, FILE_SHARE_READ,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (slot == INVALID_HANDLE_VALUE) {
        return;
    }
    char message[2052] = {};
    std::memcpy(message, unit.data(), std::min<size_t>(unit.size(), 2047));
    const int32_t value = static_cast<int32_t>(line);
    std::memcpy(message + 2048, &value, sizeof value);
    DWORD written = 0;
    WriteFile(slot, message, sizeof message, &written, nullptr);
    CloseHandle(slot);
}

class TReportDialog {
  public:
    explicit TReportDialog(const TReportDialogInput& input)
        : in_(input), options_(*input.options) {}

    TReportDialogResult Run();

  private:
    static INT_PTR CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Handle(UINT message, WPARAM wParam, LPARAM lParam);
    void Init();
    HWND Item(int id) const { return GetDlgItem(window_, id); }
    void SetView(bool detailed);
    void CompactBounds();
    void Layout();
    void ShowPage(int page);
    void ClosePage();
    void FillList(HWND list, int page);
    void SavePlace();
    int ReadInt(const wchar_t* key, int fallback) const;
    void WriteInt(const wchar_t* key, int value) const;
    void Finish(bool quit);
    void Paint();
    INT_PTR Colour(HDC dc, HWND control, bool edit);

    const TReportDialogInput& in_;
    const TVivavaModuleOptions& options_;
    TReportFonts fonts_;
    HWND window_ = nullptr;
    TReportBoxes boxes_;
    int area_ = 20;
    bool detailed_ = false;
    bool painted_ = false;
    bool active_ = true;
    int page_ = -1;
    HIMAGELIST icons_ = nullptr;
    HBRUSH face_ = nullptr;
    TReportDialogResult result_;
};

INT_PTR CALLBACK TReportDialog::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<TReportDialog*>(lParam);
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        self->window_ = window;
        self->Init();
        return FALSE;  // the focus is set
    }
    auto* self = reinterpret_cast<TReportDialog*>(GetWindowLongPtrW(window, DWLP_USER));
    return self != nullptr ? self->Handle(message, wParam, lParam) : FALSE;
}

TReportDialogResult TReportDialog::Run() {
    InitControls();
    TDialogTemplate t(WS_POPUP | WS_CAPTION | WS_CLIPCHILDREN, WS_EX_TOOLWINDOW | WS_EX_TOPMOST,
                      473, 248);
    t.Add(kIdQuit, 0x80, nullptr, BS_PUSHBUTTON | WS_TABSTOP, 113, 196, 50, 15);
    t.Add(kIdOk, 0x80, nullptr, BS_DEFPUSHBUTTON | WS_TABSTOP | WS_VISIBLE, 212, 196, 50, 15);
    t.Add(kIdDetails, 0x80, nullptr, BS_PUSHBUTTON | WS_TABSTOP | WS_VISIBLE, 316, 196, 50, 15);
    t.Add(kIdText, 0x82, nullptr, SS_CENTER | SS_NOPREFIX | WS_VISIBLE, 34, 5, 432, 30);
    t.Add(kIdTabs, 0, WC_TABCONTROLW, WS_TABSTOP | WS_CLIPSIBLINGS, 7, 40, 462, 151);
    t.Add(kIdSend, 0x80, nullptr, BS_AUTOCHECKBOX | WS_TABSTOP, 7, 223, 130, 8);
    t.Add(kIdScreenshot, 0x80, nullptr, BS_AUTOCHECKBOX | WS_TABSTOP, 19, 233, 145, 8);
    t.Add(kIdClipboard, 0x80, nullptr, BS_AUTOCHECKBOX | BS_MULTILINE | WS_TABSTOP | WS_VISIBLE,
          152, 223, 145, 8);
    const INT_PTR code =
        DialogBoxIndirectParamW(GetModuleHandleW(nullptr), t.Get(), nullptr, &TReportDialog::Proc,
                                reinterpret_cast<LPARAM>(this));
    if (icons_ != nullptr) {
        ImageList_Destroy(icons_);
    }
    if (face_ != nullptr) {
        DeleteObject(face_);
    }
    result_.shown = code != -1 && code != kNeverPainted;
    return result_;
}

void TReportDialog::Init() {
    const bool fancy = options_.FancyLook();
    if (fancy) {
        face_ = CreateSolidBrush(kFancyFace);
    }
    for (HWND child = GetWindow(window_, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(fonts_.message), FALSE);
        if (fancy && GetDlgCtrlID(child) != kIdTabs && GetDlgCtrlID(child) != kIdText) {
            // The flat look of the buttons and boxes.
            SetWindowLongPtrW(child, GWL_STYLE, GetWindowLongPtrW(child, GWL_STYLE) | BS_FLAT);
        }
    }
    SetText(window_, options_.Texts(2));
    SetText(Item(kIdOk), options_.Texts(12));
    SetText(Item(kIdQuit), options_.Texts(options_.QuitRestarts() == 1 ? 14 : 13));
    ShowWindow(Item(kIdQuit), QuitButtonVisible(options_.ShowQuitButton(), in_.exception_count,
                                                options_.QuitButtonAfter())
                                  ? SW_SHOW
                                  : SW_HIDE);
    boxes_ = ReportBoxes(options_.DeliveryMode(), in_.duplicate, options_.AttachScreenshot());
    area_ = CheckBoxArea(boxes_);
    ShowWindow(Item(kIdSend), boxes_.send_visible ? SW_SHOW : SW_HIDE);
    ShowWindow(Item(kIdScreenshot), boxes_.screenshot_visible ? SW_SHOW : SW_HIDE);
    CheckDlgButton(window_, kIdSend, boxes_.send_ticked ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(window_, kIdScreenshot, boxes_.screenshot_ticked ? BST_CHECKED : BST_UNCHECKED);
    EnableWindow(Item(kIdScreenshot), boxes_.screenshot_enabled);
    CheckDlgButton(window_, kIdClipboard, BST_UNCHECKED);

    HWND tabs = Item(kIdTabs);
    for (int i = 0; i < 4; ++i) {
        std::wstring title = WideText(options_.Texts(4 + 2 * i));
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = title.data();
        SendMessageW(tabs, TCM_INSERTITEMW, static_cast<WPARAM>(i),
                     reinterpret_cast<LPARAM>(&item));
    }
    const int start = std::min<int>(options_.StartTab(), 3);
    SendMessageW(tabs, TCM_SETCURSEL, static_cast<WPARAM>(start), 0);
    icons_ = RowIcons();
    SetView(false);
    ShowPage(start);
    SetFocus(Item(kIdOk));
    // Shown and painted at once, so that the timer tells a window the
    // system could not show from one that is merely slow.
    ShowWindow(window_, SW_SHOW);
    UpdateWindow(window_);
    SetTimer(window_, kPaintTimer, std::max<DWORD>(in_.paint_timeout_ms, 2000), nullptr);
}

int TReportDialog::ReadInt(const wchar_t* key, int fallback) const {
    return static_cast<int>(
        GetPrivateProfileIntW(kSection, key, fallback, in_.settings_file.c_str()));
}

void TReportDialog::WriteInt(const wchar_t* key, int value) const {
    // A file that cannot be written only loses the place.
    WritePrivateProfileStringW(kSection, key, std::to_wstring(value).c_str(),
                               in_.settings_file.c_str());
}

void TReportDialog::CompactBounds() {
    HDC dc = GetDC(window_);
    HGDIOBJ old = SelectObject(dc, fonts_.message);
    const std::wstring text = WideText(in_.error_message);
    const std::wstring boxes =
        WideText(options_.Texts(16)) + L"    " + WideText(options_.Texts(18));
    int widest = 0;
    for (std::wstring_view rest : {std::wstring_view(text), std::wstring_view(boxes)}) {
        while (!rest.empty()) {
            const size_t end = rest.find(L'\n');
            std::wstring_view line = rest.substr(0, end);
            if (!line.empty() && line.back() == L'\r') {
                line.remove_suffix(1);
            }
            SIZE size{};
            GetTextExtentPoint32W(dc, line.data(), static_cast<int>(line.size()), &size);
            widest = std::max<int>(widest, size.cx);
            rest = end == std::wstring_view::npos ? std::wstring_view() : rest.substr(end + 1);
        }
    }
    TCompactMeasures m;
    m.text_width = widest;
    m.frame_width = GetSystemMetrics(SM_CXFIXEDFRAME);
    m.frame_height = GetSystemMetrics(SM_CYFIXEDFRAME);
    m.small_caption_height = GetSystemMetrics(SM_CYSMCAPTION);
    m.check_box_area = area_;
    const int width = CompactWidth(m);
    // Lines wider than the window wrap and add to the height.
    RECT wrapped{0, 0, width - 2 * m.frame_width - 56, 0};
    DrawTextW(dc, text.c_str(), -1, &wrapped, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
    SelectObject(dc, old);
    ReleaseDC(window_, dc);
    const int height = CompactHeight(m, wrapped.bottom - wrapped.top);
    SetWindowPos(window_, nullptr, (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                 (GetSystemMetrics(SM_CYSCREEN) - height) / 2, width, height,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

void TReportDialog::SetView(bool detailed) {
    if (detailed_ && !detailed) {
        SavePlace();
    }
    detailed_ = detailed;
    const std::string details = options_.Texts(15);
    SetText(Item(kIdDetails), detailed ? "<< " + details : details + " >>");
    SetText(Item(kIdText), detailed ? options_.Texts(3) : in_.error_message);
    LONG_PTR style = GetWindowLongPtrW(window_, GWL_STYLE);
    style &= ~static_cast<LONG_PTR>(WS_THICKFRAME | WS_MAXIMIZEBOX | WS_SYSMENU);
    if (detailed) {
        style |= WS_THICKFRAME | WS_MAXIMIZEBOX | (options_.FancyLook() ? 0 : WS_SYSMENU);
    }
    SetWindowLongPtrW(window_, GWL_STYLE, style);
    ShowWindow(Item(kIdTabs), detailed ? SW_SHOW : SW_HIDE);
    for (int id : {kIdPageLabel, kIdPage}) {
        if (HWND page = Item(id)) {
            ShowWindow(page, detailed ? SW_SHOW : SW_HIDE);
        }
    }
    if (!detailed) {
        ShowWindow(window_, SW_SHOWNORMAL);
        CompactBounds();
    } else {
        TRememberedPlace place;
        place.width = ReadInt(L"Width", 640);
        place.height = ReadInt(L"Height", 385);
        place.left = ReadInt(L"Left", -1);
        place.top = ReadInt(L"Top", -1);
        const TDialogRect r = DetailedBounds(place, area_, GetSystemMetrics(SM_CXSCREEN),
                                             GetSystemMetrics(SM_CYSCREEN));
        SetWindowPos(window_, nullptr, r.left, r.top, r.width, r.height,
                     SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
        // A window shown minimized could not be seen: it opens normal.
        if (ReadInt(L"WindowsState", 1) == 3) {
            ShowWindow(window_, SW_SHOWMAXIMIZED);
        }
    }
    Layout();
    RedrawWindow(window_, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

void TReportDialog::SavePlace() {
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    if (!GetWindowPlacement(window_, &placement)) {
        return;
    }
    const RECT& r = placement.rcNormalPosition;
    WriteInt(L"Width", r.right - r.left);
    WriteInt(L"Height", r.bottom - r.top - area_);
    WriteInt(L"Left", r.left);
    WriteInt(L"Top", r.top);
    WriteInt(L"WindowsState", placement.showCmd == SW_SHOWMAXIMIZED ? 3 : 1);
}

void TReportDialog::Layout() {
    RECT client;
    GetClientRect(window_, &client);
    const TReportDialogLayout l = LayoutReportDialog(client.right, client.bottom, area_, detailed_);
    const auto place = [&](int id, const TDialogRect& r) {
        if (HWND item = Item(id)) {
            MoveWindow(item, r.left, r.top, std::max(r.width, 0), std::max(r.height, 0), TRUE);
        }
    };
    place(kIdQuit, l.quit);
    place(kIdOk, l.ok);
    place(kIdDetails, l.details);
    place(kIdSend, l.send);
    place(kIdClipboard, l.clipboard);
    place(kIdScreenshot, l.screenshot);
    place(kIdText, l.error_text);
    place(kIdTabs, l.tabs);
    SetText(Item(kIdSend), options_.Texts(16));
    SetText(Item(kIdScreenshot), options_.Texts(17));
    SetText(Item(kIdClipboard), options_.Texts(18));
    // The page inside the tab control's display area.
    RECT area{l.tabs.left, l.tabs.top, l.tabs.left + l.tabs.width, l.tabs.top + l.tabs.height};
    SendMessageW(Item(kIdTabs), TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
    place(kIdPageLabel, {area.left + 3, area.top + 2, area.right - area.left - 6, 14});
    place(kIdPage,
          {area.left + 4, area.top + 18, area.right - area.left - 8, area.bottom - area.top - 20});
}

void TReportDialog::ClosePage() {
    HWND page = Item(kIdPage);
    if (page != nullptr && (page_ == 1 || page_ == 2)) {
        // Column widths go back to the settings.
        for (int c = 0; c < 6; ++c) {
            const int width =
                static_cast<int>(SendMessageW(page, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(c), 0));
            const std::wstring key = (page_ == 1 ? L"Col" : L"ColMod") + std::to_wstring(c);
            WriteInt(key.c_str(), width);
        }
    }
    for (int id : {kIdPageLabel, kIdPage}) {
        if (HWND item = Item(id)) {
            DestroyWindow(item);
        }
    }
    page_ = -1;
}

void TReportDialog::ShowPage(int page) {
    ClosePage();
    page_ = page;
    const DWORD shown = detailed_ ? WS_VISIBLE : 0;
    HWND label = CreateWindowExW(0, L"STATIC", WideText(options_.Texts(5 + 2 * page)).c_str(),
                                 WS_CHILD | SS_NOPREFIX | shown, 0, 0, 0, 0, window_,
                                 reinterpret_cast<HMENU>(kIdPageLabel), nullptr, nullptr);
    SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(fonts_.message), FALSE);
    HWND control = nullptr;
    if (page == 0 || page == 3) {
        control = CreateWindowExW(
            WS_EX_CLIENTEDGE, L"EDIT",
            WideText(WithCrLf(page == 0 ? in_.general_text : in_.cpu_text)).c_str(),
            WS_CHILD | WS_TABSTOP | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE | ES_READONLY |
                ES_AUTOVSCROLL | ES_AUTOHSCROLL | shown,
            0, 0, 0, 0, window_, reinterpret_cast<HMENU>(kIdPage), nullptr, nullptr);
    } else {
        control = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
                                  WS_CHILD | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL |
                                      LVS_SHOWSELALWAYS | LVS_SHAREIMAGELISTS | shown,
                                  0, 0, 0, 0, window_, reinterpret_cast<HMENU>(kIdPage), nullptr,
                                  nullptr);
        FillList(control, page);
    }
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(fonts_.fixed), FALSE);
    SetWindowPos(control, Item(kIdTabs), 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    SetWindowPos(label, Item(kIdTabs), 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    Layout();
}

void TReportDialog::FillList(HWND list, int page) {
    SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    SendMessageW(list, LVM_SETBKCOLOR, 0, RGB(255, 255, 255));
    SendMessageW(list, LVM_SETTEXTBKCOLOR, 0, RGB(255, 255, 255));
    SendMessageW(list, LVM_SETTEXTCOLOR, 0, RGB(0, 0, 0));
    if (icons_ != nullptr) {
        SendMessageW(list, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(icons_));
    }
    const bool stack = page == 1;
    const int first_text = stack ? 47 : 62;
    const int defaults[2][6] = {{80, 102, 105, 118, 137, 48}, {80, 100, 130, 65, 65, 150}};
    for (int c = 0; c < 6; ++c) {
        std::wstring title = WideText(options_.Texts(first_text + c));
        const std::wstring key = (stack ? L"Col" : L"ColMod") + std::to_wstring(c);
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
        column.pszText = title.data();
        column.cx = ReadInt(key.c_str(), defaults[stack ? 0 : 1][c]);
        const bool right = stack ? c == 5 : (c == 3 || c == 4);
        column.fmt = right && c > 0 ? LVCFMT_RIGHT : LVCFMT_LEFT;
        SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(c),
                     reinterpret_cast<LPARAM>(&column));
    }
    const auto add_row = [&](int row, const std::vector<std::string>& cells, TRowIcon icon,
                             LPARAM data) {
        for (int c = 0; c < static_cast<int>(cells.size()); ++c) {
            std::wstring text = WideText(cells[static_cast<size_t>(c)]);
            LVITEMW item{};
            item.iItem = row;
            item.iSubItem = c;
            item.pszText = text.data();
            if (c == 0) {
                item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
                item.iImage = IconIndex(icon);
                item.lParam = data;
                SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
            } else {
                item.mask = LVIF_TEXT;
                SendMessageW(list, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
            }
        }
    };
    const int digits = AddressDigits(sizeof(void*) == 4 ? TCpu::kI686 : TCpu::kX8664);
    int row = 0;
    if (stack) {
        for (size_t i = 0; i < in_.stack.size(); ++i) {
            const TVivavaDebugInfo& e = in_.stack[i].entry;
            if (!ShownOnCallStackPage(e, in_.stack[i].in_executable)) {
                continue;
            }
            const TRowIcon icon = e.Kind == TEntryKind::kDebugData ? TRowIcon::kSource
                                  : in_.stack[i].in_executable     ? TRowIcon::kExecutable
                                                                   : ModuleRowIcon(e.ModuleName);
            add_row(row++,
                    {HexText(e.Address, digits), e.ModuleName, e.UnitName, e.ClassName,
                     e.ProcedureName, e.Line != 0 ? std::to_string(e.Line) : std::string()},
                    icon, static_cast<LPARAM>(i));
        }
    } else {
        for (const TModuleRow& m : in_.modules) {
            add_row(row++,
                    {HexText(m.Handle, digits), m.Name, m.Description, ModuleVersionText(m.Version),
                     ModuleSizeText(m.Size), m.Path},
                    ModuleRowIcon(m.Name), 0);
        }
    }
}

void TReportDialog::Finish(bool quit) {
    KillTimer(window_, kPaintTimer);
    result_.quit = quit;
    result_.send = boxes_.send_visible && IsDlgButtonChecked(window_, kIdSend) == BST_CHECKED;
    result_.screenshot = boxes_.screenshot_visible && result_.send &&
                         IsDlgButtonChecked(window_, kIdScreenshot) == BST_CHECKED;
    result_.clipboard = IsDlgButtonChecked(window_, kIdClipboard) == BST_CHECKED;
    if (detailed_) {
        SavePlace();
    }
    ClosePage();
    EndDialog(window_, quit ? kIdQuit : kIdOk);
}

void TReportDialog::Paint() {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window_, &ps);
    if (dc != nullptr) {
        painted_ = true;
        DrawMonitor(dc, 8, 8);
    }
    EndPaint(window_, &ps);
}

INT_PTR TReportDialog::Colour(HDC dc, HWND control, bool edit) {
    if (!options_.FancyLook()) {
        return FALSE;
    }
    if (edit && GetDlgCtrlID(control) == kIdPage) {
        SetTextColor(dc, RGB(0, 0, 0));
        SetBkColor(dc, RGB(255, 255, 255));
        return reinterpret_cast<INT_PTR>(GetStockObject(WHITE_BRUSH));
    }
    SetBkColor(dc, kFancyFace);
    SetBkMode(dc, TRANSPARENT);
    return reinterpret_cast<INT_PTR>(face_);
}

INT_PTR TReportDialog::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_PAINT:
            Paint();
            return TRUE;
        case WM_TIMER:
            if (wParam == kPaintTimer) {
                KillTimer(window_, kPaintTimer);
                if (!painted_) {
                    EndDialog(window_, kNeverPainted);
                }
                return TRUE;
            }
            return FALSE;
        case WM_SIZE:
            Layout();
            return TRUE;
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case kIdOk:
                    Finish(false);
                    return TRUE;
                case kIdQuit:
                    Finish(true);
                    return TRUE;
                case kIdDetails:
                    SetView(!detailed_);
                    return TRUE;
                case kIdSend:
                    EnableWindow(Item(kIdScreenshot),
                                 IsDlgButtonChecked(window_, kIdSend) == BST_CHECKED);
                    return TRUE;
                default:
                    return FALSE;
            }
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lParam);
            if (header->idFrom == kIdTabs && header->code == TCN_SELCHANGE) {
                ShowPage(static_cast<int>(SendMessageW(Item(kIdTabs), TCM_GETCURSEL, 0, 0)));
                return TRUE;
            }
            if (header->idFrom == kIdPage && header->code == LVN_ITEMACTIVATE && page_ == 1) {
                const auto* activate = reinterpret_cast<const NMITEMACTIVATE*>(lParam);
                LVITEMW item{};
                item.mask = LVIF_PARAM;
                item.iItem = activate->iItem;
                if (SendMessageW(Item(kIdPage), LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)) &&
                    static_cast<size_t>(item.lParam) < in_.stack.size()) {
                    const TVivavaDebugInfo& e = in_.stack[static_cast<size_t>(item.lParam)].entry;
                    if (e.Line != 0) {
                        TellSourceViewer(e.UnitName, e.Line);
                    }
                }
                return TRUE;
            }
            return FALSE;
        }
        case WM_CTLCOLORDLG:
            return Colour(reinterpret_cast<HDC>(wParam), window_, false);
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
            return Colour(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam), true);
        case WM_NCPAINT:
            if (!options_.FancyLook()) {
                return FALSE;
            }
            PaintFancyFrame(window_, active_, fonts_.caption);
            SetWindowLongPtrW(window_, DWLP_MSGRESULT, 0);
            return TRUE;
        case WM_NCACTIVATE:
            if (!options_.FancyLook()) {
                return FALSE;
            }
            active_ = wParam != FALSE;
            PaintFancyFrame(window_, active_, fonts_.caption);
            SetWindowLongPtrW(window_, DWLP_MSGRESULT, TRUE);
            return TRUE;
        default:
            return FALSE;
    }
}

// The request window.
class TRequestWindow {
  public:
    explicit TRequestWindow(const TVivavaModuleOptions& options) : options_(options) {}

    std::string Run() {
        InitControls();
        TDialogTemplate t(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER,
                          WS_EX_TOOLWINDOW | WS_EX_TOPMOST, 316, 153);
        t.Add(kIdRequestLabel, 0x82, nullptr, SS_LEFT | SS_NOPREFIX | WS_VISIBLE, 8, 8, 302, 8);
        t.Add(kIdRequestEdit, 0x81, nullptr,
              ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL | WS_VSCROLL | WS_BORDER | WS_TABSTOP |
                  WS_VISIBLE,
              8, 16, 302, 115);
        t.Add(IDCANCEL, 0x80, nullptr, BS_DEFPUSHBUTTON | WS_TABSTOP | WS_VISIBLE, 260, 135, 50,
              14);
        DialogBoxIndirectParamW(GetModuleHandleW(nullptr), t.Get(), nullptr, &TRequestWindow::Proc,
                                reinterpret_cast<LPARAM>(this));
        return text_;
    }

  private:
    static INT_PTR CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_INITDIALOG) {
            SetWindowLongPtrW(window, DWLP_USER, lParam);
            auto* self = reinterpret_cast<TRequestWindow*>(lParam);
            SetText(window, self->options_.Texts(59));
            SetText(GetDlgItem(window, kIdRequestLabel), self->options_.Texts(60));
            SetText(GetDlgItem(window, IDCANCEL), self->options_.Texts(61));
            SendDlgItemMessageW(window, kIdRequestLabel, WM_SETFONT,
                                reinterpret_cast<WPARAM>(self->fonts_.message), FALSE);
            SendDlgItemMessageW(window, IDCANCEL, WM_SETFONT,
                                reinterpret_cast<WPARAM>(self->fonts_.message), FALSE);
            SendDlgItemMessageW(window, kIdRequestEdit, WM_SETFONT,
                                reinterpret_cast<WPARAM>(self->fonts_.fixed), FALSE);
            SetFocus(GetDlgItem(window, kIdRequestEdit));
            return FALSE;
        }
        auto* self = reinterpret_cast<TRequestWindow*>(GetWindowLongPtrW(window, DWLP_USER));
        if (self != nullptr && message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) {
            // OK, Esc and the close box all keep what was typed.
            self->text_ =
                base::Trim(framework::GbkText(WindowText(GetDlgItem(window, kIdRequestEdit))));
            EndDialog(window, IDCANCEL);
            return TRUE;
        }
        return FALSE;
    }

    const TVivavaModuleOptions& options_;
    TReportFonts fonts_;
    std::string text_;
};

}  // namespace

TReportDialogResult ShowReportDialog(const TReportDialogInput& input) {
    HWND foreground = GetForegroundWindow();
    MessageBeep(MB_ICONHAND);
    TReportDialog dialog(input);
    TReportDialogResult result = dialog.Run();
    if (!result.shown) {
        MessageBoxW(nullptr, WideText(input.error_message).c_str(),
                    WideText(input.options->Texts(2)).c_str(), 0x242010);
        detail::Trace().Warning(TInternalError::eeShowError, "Cannot show the DialogBox window.");
    }
    if (foreground != nullptr && IsWindow(foreground)) {
        SetForegroundWindow(foreground);
    }
    return result;
}

std::string AskReproductionSteps(const TVivavaModuleOptions& options) {
    return TRequestWindow(options).Run();
}

TMailProgressWindow::TMailProgressWindow(const TVivavaModuleOptions& options) : options_(options) {
    ready_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    thread_ = CreateThread(nullptr, 0, &TMailProgressWindow::Thread, this, 0, nullptr);
    if (thread_ != nullptr && ready_ != nullptr) {
        WaitForSingleObject(ready_, 5000);
    }
}

TMailProgressWindow::~TMailProgressWindow() {
    if (thread_ != nullptr) {
        if (HWND window = window_) {
            PostMessageW(window, kCloseMailProgress, 0, 0);
        }
        WaitForSingleObject(thread_, 5000);
        CloseHandle(thread_);
    }
    if (ready_ != nullptr) {
        CloseHandle(ready_);
    }
}

DWORD WINAPI TMailProgressWindow::Thread(void* parameter) {
    auto* self = static_cast<TMailProgressWindow*>(parameter);
    InitControls();
    TDialogTemplate t(WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_CENTER,
                      WS_EX_TOOLWINDOW | WS_EX_TOPMOST, 186, 34);
    t.Add(100, 0x82, nullptr, SS_LEFT | SS_NOPREFIX | WS_VISIBLE, 8, 8, 171, 8);
    t.Add(101, 0, PROGRESS_CLASSW, WS_VISIBLE, 8, 16, 170, 10);
    const INT_PTR shown =
        DialogBoxIndirectParamW(GetModuleHandleW(nullptr), t.Get(), nullptr,
                                &TMailProgressWindow::Proc, reinterpret_cast<LPARAM>(self));
    if (shown == -1) {
        SetEvent(self->ready_);  // no window: nobody waits for it
    }
    return 0;
}

INT_PTR CALLBACK TMailProgressWindow::Proc(HWND window, UINT message, WPARAM wParam,
                                           LPARAM lParam) {
    auto* self = reinterpret_cast<TMailProgressWindow*>(
        message == WM_INITDIALOG ? lParam : GetWindowLongPtrW(window, DWLP_USER));
    if (self == nullptr) {
        return FALSE;
    }
    switch (message) {
        case WM_INITDIALOG:
            SetWindowLongPtrW(window, DWLP_USER, lParam);
            SetText(window, self->options_.Texts(53));
            SendDlgItemMessageW(window, 101, PBM_SETRANGE32, 0, 100);
            self->window_ = window;
            SetEvent(self->ready_);
            return TRUE;
        case WM_ACTIVATE:
            if (LOWORD(wParam) != WA_INACTIVE) {
                self->focused_ = true;
            }
            return FALSE;
        case WM_COMMAND:
            return TRUE;  // Esc and Enter do not close it: the mailing does
        case TMailProgressWindow::kCloseMailProgress:
            self->window_ = nullptr;
            EndDialog(window, 0);
            return TRUE;
        default:
            return FALSE;
    }
}

bool TMailProgressWindow::WaitForFocus(int ms) const {
    for (int waited = 0; window_ != nullptr; waited += 50) {
        if (focused_) {
            return true;
        }
        if (waited >= ms) {
            break;
        }
        Sleep(50);
    }
    return false;
}

void TMailProgressWindow::ShowStep(int recipient, int count, const std::string& step) {
    HWND window = window_;
    if (window == nullptr) {
        return;
    }
    char counter[64];
    std::snprintf(counter, sizeof counter, " %d/%d: ", recipient, count);
    SetText(GetDlgItem(window, 100), options_.Texts(54) + counter + step);
}

void TMailProgressWindow::ShowPercent(int percent) {
    if (HWND window = window_) {
        SendDlgItemMessageW(window, 101, PBM_SETPOS,
                            static_cast<WPARAM>(std::clamp(percent, 0, 100)), 0);
    }
}

std::wstring ReportDialogSettingsFile() {
    wchar_t folder[MAX_PATH];
    const UINT length = GetWindowsDirectoryW(folder, MAX_PATH);
    if (length > 0 && length < MAX_PATH) {
        const std::wstring path = std::wstring(folder) + L"\\Crashlore.ini";
        // Kept there when the folder may be written (not so for a program
        // run without administrator rights on most systems).
        HANDLE probe = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (probe != INVALID_HANDLE_VALUE) {
            CloseHandle(probe);
            return path;
        }
    }
    wchar_t local[MAX_PATH];
    wchar_t program[MAX_PATH];
    if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, 0, local)) &&
        GetModuleFileNameW(nullptr, program, MAX_PATH) > 0) {
        std::wstring name = program;
        name = name.substr(name.find_last_of(L"\\/") + 1);
        name = name.substr(0, name.rfind(L'.'));
        const std::wstring dir = std::wstring(local) + L"\\" + name;
        CreateDirectoryW(dir.c_str(), nullptr);
        return dir + L"\\Crashlore.ini";
    }
    return L"Crashlore.ini";
}

}  // namespace exceptions
