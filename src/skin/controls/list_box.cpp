#include "skin/controls/list_box.h"

#include <algorithm>

namespace skin {

using namespace framework;

TbsListBoxWindow::TbsListBoxWindow(TbsSkinListBox& owner) : TWinControl(&owner), list_(owner) {}

void TbsListBoxWindow::CreateParams(TCreateParams& p) {
    TWinControl::CreateParams(p);
    p.windowClass = L"LISTBOX";
    p.systemClass = true;
    p.style |= LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT | LBS_NOTIFY | WS_VSCROLL;
    if (list_.MultiSelect()) {
        p.style |= LBS_MULTIPLESEL;
    }
}

void TbsListBoxWindow::CreateHandleDone() {
    list_.LoadItems();
}

TbsSkinListBox::TbsSkinListBox(TComponent* owner) : TbsSkinCustomControl(owner) {
    SetSkinDataName("listbox");
    listBoxFont_.SetName("Arial");
    listBoxFont_.SetHeight(14);
    listBoxFont_.OnChange = [this](TFont&) {
        if (listBox_ != nullptr && listBox_->HandleAllocated()) {
            SendMessageW(listBox_->Handle(), WM_SETFONT,
                         reinterpret_cast<WPARAM>(listBoxFont_.Handle()), TRUE);
        }
    };
    listBox_ = new TbsListBoxWindow(*this);
    listBox_->SetParent(this);
    SetBounds(0, 0, 121, 97);
    Layout();
}

TbsSkinListBox::~TbsSkinListBox() {
    listBoxFont_.OnChange = nullptr;
}

void TbsSkinListBox::CreateHandleDone() {
    TbsSkinCustomControl::CreateHandleDone();
    Layout();
}

void TbsSkinListBox::LoadItems() {
    HWND h = listBox_->Handle();
    SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(listBoxFont_.Handle()), FALSE);
    SendMessageW(h, LB_SETITEMHEIGHT, 0, defaultItemHeight_);
    SendMessageW(h, LB_RESETCONTENT, 0, 0);
    for (const std::string& item : items_) {
        SendMessageW(h, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(WideText(item).c_str()));
    }
    SendMessageW(h, LB_SETCURSEL, static_cast<WPARAM>(itemIndex_), 0);
}

void TbsSkinListBox::ClearItems() {
    items_.clear();
    itemIndex_ = -1;
    if (listBox_->HandleAllocated()) {
        SendMessageW(listBox_->Handle(), LB_RESETCONTENT, 0, 0);
    }
}

namespace {

// The order of a sorted system list box: the user's locale, case ignored.
bool SortsBefore(const std::wstring& a, const std::wstring& b) {
    return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.c_str(),
                          static_cast<int>(a.size()), b.c_str(),
                          static_cast<int>(b.size())) == CSTR_LESS_THAN;
}

}  // namespace

void TbsSkinListBox::AddItem(const std::string& text) {
    if (!sorted_) {
        items_.push_back(text);
        if (listBox_->HandleAllocated()) {
            SendMessageW(listBox_->Handle(), LB_ADDSTRING, 0,
                         reinterpret_cast<LPARAM>(WideText(text).c_str()));
        }
        return;
    }
    const std::wstring wide = WideText(text);
    const auto at = std::upper_bound(items_.begin(), items_.end(), wide,
                                     [](const std::wstring& value, const std::string& item) {
                                         return SortsBefore(value, WideText(item));
                                     });
    const int index = static_cast<int>(at - items_.begin());
    items_.insert(at, text);
    if (itemIndex_ >= index) {
        ++itemIndex_;  // the system list moves its selection the same way
    }
    if (listBox_->HandleAllocated()) {
        SendMessageW(listBox_->Handle(), LB_INSERTSTRING, static_cast<WPARAM>(index),
                     reinterpret_cast<LPARAM>(wide.c_str()));
    }
}

void TbsSkinListBox::SetSorted(bool value) {
    if (value == sorted_) {
        return;
    }
    sorted_ = value;
    if (!sorted_ || items_.empty()) {
        return;
    }
    std::vector<std::wstring> wide;
    wide.reserve(items_.size());
    for (const std::string& item : items_) {
        wide.push_back(WideText(item));
    }
    std::vector<size_t> order(items_.size());
    for (size_t i = 0; i < order.size(); ++i) {
        order[i] = i;
    }
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return SortsBefore(wide[a], wide[b]); });
    const int selected = ItemIndex();
    std::vector<std::string> sorted;
    sorted.reserve(items_.size());
    for (size_t i = 0; i < order.size(); ++i) {
        sorted.push_back(std::move(items_[order[i]]));
        if (static_cast<int>(order[i]) == selected) {
            itemIndex_ = static_cast<int>(i);
        }
    }
    items_ = std::move(sorted);
    if (selected < 0) {
        itemIndex_ = -1;
    }
    if (listBox_->HandleAllocated()) {
        LoadItems();
    }
}

void TbsSkinListBox::SetItems(const std::vector<std::string>& items) {
    ClearItems();
    for (const std::string& item : items) {
        AddItem(item);
    }
}

int TbsSkinListBox::ItemIndex() const {
    if (listBox_->HandleAllocated()) {
        return static_cast<int>(
            SendMessageW(const_cast<TbsListBoxWindow*>(listBox_)->Handle(), LB_GETCURSEL, 0, 0));
    }
    return itemIndex_;
}

void TbsSkinListBox::SetItemIndex(int index) {
    itemIndex_ = index >= 0 && index < ItemCount() ? index : -1;
    if (listBox_->HandleAllocated()) {
        // Selecting also scrolls the item into view, which the system list
        // box draws at once. Selections that follow each other faster than
        // the repaint pace are drawn by the next one or the message loop.
        HWND h = listBox_->Handle();
        const bool now = RepaintDue();
        if (!now) {
            SendMessageW(h, WM_SETREDRAW, FALSE, 0);
        }
        SendMessageW(h, LB_SETCURSEL, static_cast<WPARAM>(itemIndex_), 0);
        if (!now) {
            SendMessageW(h, WM_SETREDRAW, TRUE, 0);
            InvalidateRect(h, nullptr, TRUE);
            HoldBackRepaint();
        }
    }
}

void TbsSkinListBox::Repaint() {
    TbsSkinCustomControl::Repaint();
    if (listBox_->HandleAllocated()) {
        UpdateWindow(listBox_->Handle());
    }
}

void TbsSkinListBox::SetCaptionMode(bool value) {
    captionMode_ = value;
    Layout();
    Invalidate();
}

void TbsSkinListBox::SetDefaultItemHeight(int value) {
    defaultItemHeight_ = std::max(value, 1);
    if (listBox_->HandleAllocated()) {
        SendMessageW(listBox_->Handle(), LB_SETITEMHEIGHT, 0, defaultItemHeight_);
        listBox_->Invalidate();
    }
}

void TbsSkinListBox::SetDefaultCaptionHeight(int value) {
    defaultCaptionHeight_ = value;
    Layout();
    Invalidate();
}

void TbsSkinListBox::Layout() {
    if (listBox_ == nullptr) {
        return;
    }
    const int h = captionMode_ ? defaultCaptionHeight_ : 1;
    listBox_->SetBounds(2, h + 1, std::max(Width() - 4, 0), std::max(Height() - h - 3, 0));
}

void TbsSkinListBox::Resize() {
    TbsSkinCustomControl::Resize();
    Layout();
}

void TbsSkinListBox::PaintDefault(TBitmap& target) {
    TCanvas& c = target.Canvas();
    const RECT all = Rect(0, 0, target.Width(), target.Height());
    c.Brush().SetColor(clBtnFace);
    c.FillRect(all);
    c.Brush().SetColor(clBtnShadow);
    c.FrameRect(all);
    if (captionMode_) {
        c.Font().Assign(DefaultFont());
        c.Brush().SetStyle(bsClear);
        RECT text = Rect(3, 2, target.Width() - 3, defaultCaptionHeight_ - 2);
        c.DrawText(Caption(), text, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
        c.Brush().SetColor(clBtnShadow);
        c.FillRect(Rect(1, defaultCaptionHeight_ - 1, target.Width() - 1, defaultCaptionHeight_));
    }
}

void TbsSkinListBox::DrawItem(const DRAWITEMSTRUCT& item) {
    if (item.itemID == static_cast<UINT>(-1)) {
        return;
    }
    HDC dc = item.hDC;
    const bool selected = (item.itemState & ODS_SELECTED) != 0;
    HBRUSH brush = CreateSolidBrush(ColorToRGB(selected ? clHighlight : clWindow));
    FillRect(dc, &item.rcItem, brush);
    DeleteObject(brush);
    const int length = static_cast<int>(SendMessageW(item.hwndItem, LB_GETTEXTLEN, item.itemID, 0));
    std::wstring text(static_cast<size_t>(std::max(length, 0)) + 1, L'\0');
    if (length > 0) {
        SendMessageW(item.hwndItem, LB_GETTEXT, item.itemID, reinterpret_cast<LPARAM>(text.data()));
    }
    text.resize(static_cast<size_t>(std::max(length, 0)));
    HGDIOBJ oldFont = SelectObject(dc, listBoxFont_.Handle());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, ColorToRGB(selected ? clHighlightText : listBoxFont_.Color()));
    RECT r = item.rcItem;
    r.left += 2;
    r.right -= 2;
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r,
              DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, oldFont);
    if ((item.itemState & ODS_FOCUS) != 0) {
        DrawFocusRect(dc, &item.rcItem);
    }
}

void TbsSkinListBox::WndProc(TMessage& m) {
    switch (m.Msg) {
        case WM_DRAWITEM:
            DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(m.LParam));
            m.Result = TRUE;
            return;
        case WM_MEASUREITEM:
            reinterpret_cast<MEASUREITEMSTRUCT*>(m.LParam)->itemHeight =
                static_cast<UINT>(defaultItemHeight_);
            m.Result = TRUE;
            return;
        default:
            break;
    }
    TbsSkinCustomControl::WndProc(m);
}

}  // namespace skin
