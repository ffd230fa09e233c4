#include "skin/controls/list_box.h"

#include <algorithm>

#include "skin/data/picture.h"

namespace skin {

using namespace framework;

TbsListBoxWindow::TbsListBoxWindow(TbsSkinListBox& owner) : TWinControl(&owner), list_(owner) {}

void TbsListBoxWindow::CreateParams(TCreateParams& p) {
    TWinControl::CreateParams(p);
    p.windowClass = L"LISTBOX";
    p.systemClass = true;
    // No scroll bar of its own: the skinned one beside it scrolls the list.
    p.style |= LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT | LBS_NOTIFY;
    if (list_.MultiSelect()) {
        p.style |= LBS_MULTIPLESEL;
    }
}

void TbsListBoxWindow::CreateHandleDone() {
    list_.LoadItems();
}

void TbsListBoxWindow::WndProc(TMessage& m) {
    if (list_.selectionHeld_) {
        switch (m.Msg) {
            case LB_GETCURSEL:
                // What the list will show once the pace allows.
                m.Result = list_.itemIndex_;
                return;
            case LB_GETCOUNT:
            case LB_GETTEXT:
            case LB_GETTEXTLEN:
                break;  // the selection does not change the answer
            case WM_DESTROY:
            case WM_NCDESTROY:
                list_.selectionHeld_ = false;
                break;
            default:
                // Whatever else the list does sees the selection first.
                list_.ApplyHeldSelection();
                break;
        }
    }
    switch (m.Msg) {
        case WM_ERASEBKGND:
            list_.EraseList(reinterpret_cast<HDC>(m.WParam));
            m.Result = 1;
            return;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
        case WM_LBUTTONUP:
        case WM_RBUTTONDOWN:
        case WM_RBUTTONUP:
        case WM_MBUTTONDOWN:
        case WM_MBUTTONUP:
        case WM_MOUSEMOVE:
        case WM_KEYDOWN:
        case WM_KEYUP:
        case WM_CHAR:
        case WM_MOUSEWHEEL:
            // A disabled list takes no input, also none that was posted to
            // it directly.
            if (!list_.Enabled()) {
                m.Result = 0;
                return;
            }
            if (m.Msg == WM_MOUSEWHEEL && list_.vScrollBar_ != nullptr) {
                TbsSkinScrollBar& bar = *list_.vScrollBar_;
                bar.SetPosition(bar.Position() + (GET_WHEEL_DELTA_WPARAM(m.WParam) > 0 ? -1 : 1));
                return;
            }
            TWinControl::WndProc(m);
            list_.UpdateScrollBar();  // the list may have scrolled
            return;
        default:
            break;
    }
    TWinControl::WndProc(m);
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
    itemHeight_ = defaultItemHeight_;
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
    SendMessageW(h, LB_SETITEMHEIGHT, 0, itemHeight_);
    SendMessageW(h, LB_RESETCONTENT, 0, 0);
    for (const std::string& item : items_) {
        SendMessageW(h, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(WideText(item).c_str()));
    }
    selectionHeld_ = false;
    SendMessageW(h, LB_SETCURSEL, static_cast<WPARAM>(itemIndex_), 0);
    UpdateScrollBar();
}

void TbsSkinListBox::ClearItems() {
    items_.clear();
    itemIndex_ = -1;
    selectionHeld_ = false;
    if (listBox_->HandleAllocated()) {
        SendMessageW(listBox_->Handle(), LB_RESETCONTENT, 0, 0);
    }
    UpdateScrollBar();
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
        UpdateScrollBar();
        return;
    }
    // The index moves with the insertion below: the system list must have
    // the selection before, to move its own the same way.
    ApplyHeldSelection();
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
    UpdateScrollBar();
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
    if (listBox_->HandleAllocated() && !selectionHeld_) {
        return static_cast<int>(
            SendMessageW(const_cast<TbsListBoxWindow*>(listBox_)->Handle(), LB_GETCURSEL, 0, 0));
    }
    return itemIndex_;
}

void TbsSkinListBox::SetItemIndex(int index) {
    itemIndex_ = index >= 0 && index < ItemCount() ? index : -1;
    if (!listBox_->HandleAllocated()) {
        return;
    }
    if (RepaintDue()) {
        // Selecting also scrolls the item into view, which the system list
        // box draws at once.
        selectionHeld_ = true;
        ApplyHeldSelection();
        return;
    }
    // Selections that follow each other faster than the repaint pace (one
    // per file of a transfer) are not given to the system list at all: each
    // would scroll and redraw it, several calls into the window system.
    // The last one is given with the held-back repaint; until then the
    // list answers LB_GETCURSEL with it, and any other message to the list
    // gives it first.
    selectionHeld_ = true;
    HoldBackRepaint();
}

void TbsSkinListBox::ApplyHeldSelection() {
    if (!selectionHeld_) {
        return;
    }
    selectionHeld_ = false;
    if (!listBox_->HandleAllocated()) {
        return;  // the new window takes itemIndex_ when it is made
    }
    HWND h = listBox_->Handle();
    // The system list redraws the items whose selection changed at once; a
    // row that scrolling uncovered is painted here, not left blank until
    // the message loop runs again.
    SendMessageW(h, LB_SETCURSEL, static_cast<WPARAM>(itemIndex_), 0);
    UpdateScrollBar();
    UpdateWindow(h);
}

void TbsSkinListBox::ShowNow() {
    if (selectionHeld_) {
        // Only the list's rows changed, and the list draws those itself.
        ApplyHeldSelection();
    } else {
        Repaint();
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
    ApplyItemHeight();
}

void TbsSkinListBox::ApplyItemHeight() {
    // An item look without height (or none) leaves the default: a row is
    // never 0 pixels high.
    const bool fromSkin = DataIndex() >= 0 && useSkinItemHeight_ && itemLook_.Height() >= 1;
    itemHeight_ = fromSkin ? itemLook_.Height() : defaultItemHeight_;
    if (listBox_->HandleAllocated()) {
        SendMessageW(listBox_->Handle(), LB_SETITEMHEIGHT, 0, itemHeight_);
        listBox_->Invalidate();
    }
    UpdateScrollBar();
}

void TbsSkinListBox::FindSkinObject() {
    TbsSkinCustomControl::FindSkinObject();
    if (const auto* o = binding_.ObjectAs<TbsDataSkinListBox>()) {
        itemLook_ = o->item_rect;
        activeItemLook_ = o->active_item_rect.IsEmpty() ? o->item_rect : o->active_item_rect;
        focusItemLook_ = o->focus_item_rect.IsEmpty() ? o->item_rect : o->focus_item_rect;
        itemTextRect_ = o->item_text_rect;
        itemLeftOffset_ = o->item_left_offset;
        itemRightOffset_ = o->item_right_offset;
        itemFont_ = o->font;
        activeFontColor_ = o->active_font_color;
        focusFontColor_ = o->focus_font_color;
        vScrollBarName_ = o->v_scroll_bar_name;
    }
}

void TbsSkinListBox::ApplySkinChange() {
    TbsSkinCustomControl::ApplySkinChange();
    if (vScrollBar_ != nullptr) {
        vScrollBar_->SetSkinDataName(DataIndex() >= 0 ? vScrollBarName_ : std::string());
        vScrollBar_->SetSkinData(SkinData());
    }
    ApplyItemHeight();
    Layout();
    listBox_->Invalidate();
}

void TbsSkinListBox::UpdateScrollBar() {
    if (updatingBar_ || !listBox_->HandleAllocated()) {
        return;
    }
    updatingBar_ = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{updatingBar_};
    HWND h = listBox_->Handle();
    const int count = ItemCount();
    const int rows = std::max(listBox_->Height() / std::max(itemHeight_, 1), 1);
    if (rows >= count) {
        if (vScrollBar_ != nullptr) {
            TbsSkinScrollBar* bar = vScrollBar_;
            vScrollBar_ = nullptr;
            delete bar;
            Layout();
        }
        return;
    }
    if (vScrollBar_ == nullptr) {
        vScrollBar_ = new TbsSkinScrollBar(this);
        vScrollBar_->SetKind(sbVertical);
        vScrollBar_->SetSkinDataName(DataIndex() >= 0 ? vScrollBarName_ : std::string());
        vScrollBar_->SetBounds(0, 0, 20, 100);
        vScrollBar_->SetParent(this);
        vScrollBar_->SetSkinData(SkinData());
        vScrollBar_->OnChange = [this](TComponent*) {
            if (listBox_->HandleAllocated()) {
                SendMessageW(listBox_->Handle(), LB_SETTOPINDEX,
                             static_cast<WPARAM>(vScrollBar_->Position()), 0);
            }
        };
        Layout();
    }
    const int top = static_cast<int>(SendMessageW(h, LB_GETTOPINDEX, 0, 0));
    const int visible = std::max(listBox_->Height() / std::max(itemHeight_, 1), 1);
    vScrollBar_->SetRange(0, count - 1, visible, top);
    vScrollBar_->SetLargeChange(visible);
}

void TbsSkinListBox::EraseList(HDC dc) {
    RECT r;
    GetClientRect(listBox_->Handle(), &r);
    const TBitmapData* picture = DataIndex() >= 0 ? SkinPicture() : nullptr;
    const TRect piece = Geometry().c.Offset(Geometry().s.left, Geometry().s.top);
    if (picture == nullptr || piece.IsEmpty()) {
        HBRUSH brush = CreateSolidBrush(ColorToRGB(clWindow));
        FillRect(dc, &r, brush);
        DeleteObject(brush);
        return;
    }
    // The client piece of the frame's picture, repeated.
    TBitmap tiles;
    BuildTiledImage(*picture, piece, r.right - r.left, r.bottom - r.top, tiles);
    TCanvas canvas(dc);
    canvas.Draw(0, 0, tiles);
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
    FindSkinObject();
    const bool skinned = DataIndex() >= 0 && SizingMode() != smNone;
    const int h = captionMode_ ? defaultCaptionHeight_ : 1;
    TRect inner{2, h + 1, Width() - 2, Height() - 2};
    if (skinned) {
        int w = Width();
        int ht = Height();
        binding_.Adapt(w, ht);
        inner = Adapted().nc;
    }
    if (vScrollBar_ != nullptr) {
        if (skinned) {
            vScrollBar_->SetBounds(inner.right - vScrollBar_->Width(), inner.top,
                                   vScrollBar_->Width(), inner.Height());
            inner.right = vScrollBar_->Left();
        } else {
            vScrollBar_->SetBounds(Width() - 20, h, 19, Height() - 1 - h);
            inner.right = vScrollBar_->Left();
        }
    }
    listBox_->SetBounds(inner.left, inner.top, std::max(inner.Width(), 0),
                        std::max(inner.Height(), 0));
}

void TbsSkinListBox::Resize() {
    TbsSkinCustomControl::Resize();
    Layout();
    UpdateScrollBar();
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
    const TBitmapData* picture = DataIndex() >= 0 ? SkinPicture() : nullptr;
    if (picture != nullptr && !itemLook_.IsEmpty()) {
        // The item in the skin's look, through an off-screen bitmap.
        const int w = item.rcItem.right - item.rcItem.left;
        const int h = item.rcItem.bottom - item.rcItem.top;
        const bool selected = (item.itemState & ODS_SELECTED) != 0;
        const bool focused = (item.itemState & ODS_FOCUS) != 0;
        const TRect& look = selected && focused ? focusItemLook_
                            : selected          ? activeItemLook_
                                                : itemLook_;
        TBitmapData strip;
        BuildPartImage3H(*picture, look, itemLeftOffset_, itemRightOffset_, w, strip);
        // One bitmap for every row while the rows keep their size: making
        // one costs more than drawing a row.
        if (!itemBuffer_ || itemBuffer_->Width() != std::max(w, 1) ||
            itemBuffer_->Height() != std::max(h, 1)) {
            itemBuffer_ = std::make_unique<TBitmap>(std::max(w, 1), std::max(h, 1));
        }
        TBitmap& bitmap = *itemBuffer_;
        if (strip.Empty()) {
            // Nothing of the last row may show through: a new bitmap is black.
            bitmap.Canvas().Brush().SetColor(clBlack);
            bitmap.Canvas().FillRect(Rect(0, 0, bitmap.Width(), bitmap.Height()));
        }
        bitmap.Canvas().StretchDraw(Rect(0, 0, w, h), strip);
        TRect text = itemTextRect_;
        text.right += w - itemLook_.Width();
        text.bottom += h - itemLook_.Height();
        TCanvas& c = bitmap.Canvas();
        SkinTextFont(c.Font(), itemFont_, UseSkinFont(), DefaultFont());
        c.Font().SetColor(selected && focused ? focusFontColor_
                          : selected          ? activeFontColor_
                                              : itemFont_.color);
        c.Brush().SetStyle(bsClear);
        const int length =
            static_cast<int>(SendMessageW(item.hwndItem, LB_GETTEXTLEN, item.itemID, 0));
        std::wstring wide(static_cast<size_t>(std::max(length, 0)) + 1, L'\0');
        if (length > 0) {
            SendMessageW(item.hwndItem, LB_GETTEXT, item.itemID,
                         reinterpret_cast<LPARAM>(wide.data()));
        }
        wide.resize(static_cast<size_t>(std::max(length, 0)));
        RECT r = Rect(text.left, text.top, text.right, text.bottom);
        c.DrawText(GbkText(wide), r, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
        if (focused && !selected) {
            RECT all = Rect(0, 0, w, h);
            DrawFocusRect(c.Handle(), &all);
        }
        BitBlt(item.hDC, item.rcItem.left, item.rcItem.top, w, h, c.Handle(), 0, 0, SRCCOPY);
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
        case WM_PAINT:
            // The frame's paint ends the held-back repaint: the list shows
            // the selection held with it.
            ApplyHeldSelection();
            break;
        case WM_DRAWITEM:
            DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(m.LParam));
            m.Result = TRUE;
            return;
        case WM_MEASUREITEM:
            reinterpret_cast<MEASUREITEMSTRUCT*>(m.LParam)->itemHeight =
                static_cast<UINT>(itemHeight_);
            m.Result = TRUE;
            return;
        default:
            break;
    }
    TbsSkinCustomControl::WndProc(m);
}

}  // namespace skin
