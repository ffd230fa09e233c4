#include "skin/form/skin_menu.h"

#include <algorithm>
#include <climits>
#include <string>

#include "base/exception.h"

#include "skin/data/effect.h"
#include "skin/data/marks.h"
#include "skin/data/picture.h"
#include "skin/data/resource_strings.h"
#include "skin/data/skin_messages.h"
#include "skin/data/win32/regions.h"
#include "skin/data/win32/work_area.h"
#include "skin/form/core/frame_behaviour.h"
#include "skin/form/skin_form.h"

namespace skin {

using framework::TBitmap;
using framework::TCanvas;
using framework::TColor;
using framework::TMenuItem;
using framework::TRect;

namespace {

// The level's own timers, and the engine's wait for a submenu.
constexpr UINT_PTR kScrollTimer = 1;
constexpr UINT_PTR kMouseTimer = 2;
constexpr UINT_PTR kMorphTimer = 3;
constexpr UINT_PTR kWaitTimer = 4;
constexpr UINT kMousePeriod = 50;
constexpr UINT kMorphPeriod = 20;
constexpr UINT kScrollPeriod = 100;
constexpr UINT kWaitPeriod = 500;
// Posted to a closed level: it frees itself once its own handlers are done.
constexpr UINT kFreeLevel = WM_APP + 0x51;

constexpr wchar_t kLevelClass[] = L"TbsSkinPopupWindow";

std::function<bool()>& LayeredTest() {
    static std::function<bool()> test;
    return test;
}

// The menu-item look of a skin: its first menu-item object, when its
// picture exists.
const TbsDataSkinMenuItem* ItemLookOf(const TbsSkinData* skin, const TBitmapData** picture) {
    if (skin == nullptr || skin->SkinEmpty()) {
        return nullptr;
    }
    for (const auto& object : skin->FrameObjects()) {
        if (const auto* item = dynamic_cast<const TbsDataSkinMenuItem*>(object.get())) {
            *picture = skin->Picture(item->active_picture_index);
            return *picture != nullptr && !item->skin_rect.IsEmpty() ? item : nullptr;
        }
    }
    return nullptr;
}

// The glyph an item shows by its name: the caption buttons' marks.
using TMarkDrawer = void (*)(TBitmapData&, int, int, TColor);
TMarkDrawer MarkOfName(const std::string& name) {
    const struct {
        const char* name;
        TMarkDrawer draw;
    } marks[] = {
        {"BSF_CLOSE", &DrawCloseMark},         {"TRAY_BSF_CLOSE", &DrawCloseMark},
        {"BSF_MINITEM", &DrawMinimizeBarMark}, {"BSF_MAXITEM", &DrawMaximizeMark},
        {"BSF_RESTORE", &DrawRestoreMark},     {"TRAY_BSF_RESTORE", &DrawRestoreMark},
        {"BSF_ROLLUP", &DrawRollDownMark},     {"BSF_MINTOTRAY", &DrawSquareMark},
    };
    for (const auto& mark : marks) {
        if (name == mark.name) {
            return mark.draw;
        }
    }
    return nullptr;
}

void DrawRadioMark(TBitmapData& canvas, int x, int y, TColor color) {
    const int half[] = {1, 2, 3, 3, 2, 1};  // a 6 x 6 disc, row by row
    for (int row = 0; row < 6; ++row) {
        DrawLine(canvas, x + 3 - half[row], y + row, x + 2 + half[row], y + row, color);
    }
}

// A right-pointing triangle for an item with a submenu.
void DrawSubmenuArrow(TBitmapData& canvas, int x, int y, TColor color) {
    for (int i = 0; i < 4; ++i) {
        DrawLine(canvas, x + i, y + i, x + i, y + 7 - i, color);
    }
}

bool HasVisibleChildren(const TMenuItem& item, int from = 0) {
    for (int i = std::max(from, 0); i < item.Count(); ++i) {
        if (item.Items(i)->Visible()) {
            return true;
        }
    }
    return false;
}

}  // namespace

bool LayeredWindowsUsable() {
    if (LayeredTest()) {
        return LayeredTest()();
    }
    const DWORD version = GetVersion();
    return LayeredVersionUsable(LOBYTE(LOWORD(version)), HIBYTE(LOWORD(version))) &&
           GetProcAddress(GetModuleHandleW(L"user32.dll"), "SetLayeredWindowAttributes") != nullptr;
}

void SetLayeredWindowsTest(std::function<bool()> test) {
    LayeredTest() = std::move(test);
}

// One item shown in a level.
struct TbsSkinMenuItem {
    TMenuItem* item = nullptr;
    TRect rect;
    bool active = false;   // under the pointer or chosen by a key
    bool down = false;     // its submenu is open
    bool shown = false;    // inside the visible range
    bool waiting = false;  // chosen when the level opened, not touched yet
    double morph = 0;
};

// One open level of a menu: a popup window with its items.
class TbsSkinPopupWindow {
  public:
    TbsSkinPopupWindow(TbsSkinMenu& engine, TMenuItem& parent, int first_index);
    ~TbsSkinPopupWindow();

    HWND Handle() const { return hwnd_; }
    // Hides the window at once and frees it once its handlers are done.
    void Close();

    // Moves the active item, leaving the old and entering the new one;
    // `open` also opens a submenu at once (else only after the pause).
    void Select(int index, bool from_keyboard);
    void Leave(int index);
    void Enter(int index, bool from_keyboard);
    void Redraw(int index);

    TbsSkinMenu* engine_;
    TMenuItem& parent_;
    std::vector<TbsSkinMenuItem> items_;
    int active_ = -1;
    int firstVisible_ = 0;
    int visibleCount_ = 0;
    int scrollDirection_ = 0;  // 0 none, 1 up, 2 down
    TMenuLevelSize size_;
    const TbsDataSkinMenuItem* look_ = nullptr;
    const TBitmapData* lookPicture_ = nullptr;
    const TBitmapData* windowPicture_ = nullptr;
    const TBitmapData* maskPicture_ = nullptr;
    TbsDataSkinPopupWindow popupData_;
    framework::TFont font_;
    const std::vector<framework::TBitmapData>* images_ = nullptr;
    int imageWidth_ = 0;
    POINT lastMouse_{INT_MIN, INT_MIN};

    void Create(const TPoint& at, bool layered, BYTE alpha);
    void Layout();
    void Poll();
    void Hover(POINT p);
    void MouseUp(POINT p);
    void ScrollStep();
    void MorphStep();
    void Paint(HDC dc);
    void DrawItem(const TbsSkinMenuItem& item, TBitmap& target, int x, int y);
    void DrawItemLook(const TbsSkinMenuItem& item, bool active, TBitmap& look);
    void DrawPlainItem(const TbsSkinMenuItem& item, TBitmap& look);
    void DrawGlyph(const TbsSkinMenuItem& item, TBitmap& look, int x, int middle, TColor color);
    bool Morphing() const { return look_ != nullptr && look_->morphing; }
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

  private:
    HWND hwnd_ = nullptr;
};

namespace {

ATOM RegisterLevelClass() {
    static const ATOM atom = [] {
        WNDCLASSW window_class{};
        window_class.style = CS_SAVEBITS;
        // A shadow only where the system draws it well.
        const DWORD version = GetVersion();
        if (LOBYTE(LOWORD(version)) == 5 && HIBYTE(LOWORD(version)) == 1) {
            window_class.style |= CS_DROPSHADOW;
        }
        window_class.lpfnWndProc = &TbsSkinPopupWindow::WndProc;
        window_class.hInstance = GetModuleHandleW(nullptr);
        window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        window_class.lpszClassName = kLevelClass;
        return RegisterClassW(&window_class);
    }();
    return atom;
}

// The width of an item's text: the caption, or caption, two blanks and the
// short cut, as DrawText measures it.
int TextWidthOf(TCanvas& canvas, const TMenuItem& item) {
    std::string text = item.Caption();
    if (item.ShortCut() != framework::scNone) {
        text += "  " + framework::ShortCutToText(item.ShortCut());
    }
    RECT r{0, 0, 0, 0};
    canvas.DrawText(text, r, DT_CALCRECT | DT_SINGLELINE);
    return r.right - r.left;
}

}  // namespace

TbsSkinPopupWindow::TbsSkinPopupWindow(TbsSkinMenu& engine, TMenuItem& parent, int first_index)
    : engine_(&engine), parent_(parent), images_(engine.images_), imageWidth_(engine.imageWidth_) {
    TbsSkinData* skin = engine.skin_;
    if (skin != nullptr && !skin->SkinEmpty()) {
        popupData_ = skin->PopupWindow();
        if (popupData_.window_picture_index != -1) {
            windowPicture_ = skin->Picture(popupData_.window_picture_index);
            maskPicture_ = skin->Picture(popupData_.mask_picture_index);
        }
        look_ = windowPicture_ != nullptr ? ItemLookOf(skin, &lookPicture_) : nullptr;
    }
    // A skinned level needs both looks; otherwise the built-in one.
    if (look_ == nullptr) {
        windowPicture_ = maskPicture_ = nullptr;
    }
    if (look_ != nullptr && engine.use_skin_font) {
        font_.SetName(look_->font.name);
        font_.SetHeight(look_->font.height);
        font_.SetStyle(look_->font.style);
    } else {
        font_.Assign(engine.default_item_font);
    }
    if (skin != nullptr && skin->ResourceStrData() != nullptr) {
        font_.SetCharset(skin->ResourceStrData()->CharSet());
    }
    for (int i = std::max(first_index, 0); i < parent.Count(); ++i) {
        if (parent.Items(i)->Visible()) {
            TbsSkinMenuItem entry;
            entry.item = parent.Items(i);
            items_.push_back(entry);
        }
    }
    TBitmap measure(1, 1);
    measure.Canvas().Font().Assign(font_);
    std::vector<TMenuEntry> entries;
    for (const TbsSkinMenuItem& item : items_) {
        entries.push_back(
            TMenuEntry{item.item->IsLine(),
                       item.item->IsLine() ? 0 : TextWidthOf(measure.Canvas(), *item.item)});
    }
    TMenuSkinMetrics metrics;
    if (look_ != nullptr) {
        metrics.skinned = true;
        metrics.item_height = look_->skin_rect.Height();
        metrics.divider_height = look_->divider_rect.Height();
        metrics.text_rect = look_->text_rect;
        metrics.item_width = look_->skin_rect.Width();
        metrics.picture_width = windowPicture_->Width();
        metrics.picture_height = windowPicture_->Height();
        metrics.items_rect = popupData_.items_rect;
        metrics.left_top = popupData_.left_top_point;
        metrics.right_top = popupData_.right_top_point;
        metrics.left_bottom = popupData_.left_bottom_point;
        metrics.right_bottom = popupData_.right_bottom_point;
    } else if (engine.default_item_height > 0) {
        metrics.item_height = engine.default_item_height;
    }
    size_ = SizeMenuLevel(entries, metrics, imageWidth_, std::max(engine.max_items_in_window, 0),
                          engine.workArea_.Height());
    Layout();
}

TbsSkinPopupWindow::~TbsSkinPopupWindow() {
    if (hwnd_ != nullptr) {
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        DestroyWindow(hwnd_);
    }
}

void TbsSkinPopupWindow::Create(const TPoint& at, bool layered, BYTE alpha) {
    RegisterLevelClass();
    DWORD ex_style = WS_EX_TOOLWINDOW | WS_EX_TOPMOST;
    if (layered) {
        ex_style |= WS_EX_LAYERED;
    }
    hwnd_ =
        CreateWindowExW(ex_style, kLevelClass, L"", WS_POPUP, at.x, at.y, size_.width, size_.height,
                        engine_->form_.HandleAllocated() ? engine_->form_.Handle() : nullptr,
                        nullptr, GetModuleHandleW(nullptr), nullptr);
    if (hwnd_ == nullptr) {
        throw base::Exception("Cannot create the menu window");
    }
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    if (layered) {
        SetLayeredWindowAttributes(hwnd_, 0, alpha, LWA_ALPHA);
    }
    if (maskPicture_ != nullptr) {
        const TPartGeometry from{popupData_.left_top_point, popupData_.right_top_point,
                                 popupData_.left_bottom_point, popupData_.right_bottom_point,
                                 popupData_.items_rect};
        const TPartGeometry to{size_.left_top, size_.right_top, size_.left_bottom,
                               size_.right_bottom, size_.items_rect};
        if (HRGN region = MaskToRegion9(*maskPicture_, from, to, size_.width, size_.height)) {
            SetWindowRgn(hwnd_, region, FALSE);  // the window owns it now
        }
    }
}

void TbsSkinPopupWindow::Close() {
    engine_ = nullptr;
    if (hwnd_ == nullptr) {
        delete this;
        return;
    }
    KillTimer(hwnd_, kScrollTimer);
    KillTimer(hwnd_, kMouseTimer);
    KillTimer(hwnd_, kMorphTimer);
    KillTimer(hwnd_, kWaitTimer);
    SetWindowPos(hwnd_, nullptr, 0, 0, 0, 0,
                 SWP_HIDEWINDOW | SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER);
    if (!PostMessageW(hwnd_, kFreeLevel, 0, 0)) {
        delete this;  // no queue to wait on: nothing of this level runs now
    }
}

void TbsSkinPopupWindow::Layout() {
    const std::vector<TMenuItemPlace> places =
        LayoutMenuItems(size_, firstVisible_, &visibleCount_);
    for (size_t i = 0; i < items_.size(); ++i) {
        items_[i].rect = places[i].rect;
        items_[i].shown = places[i].shown;
        if (!items_[i].shown && size_.scrolls) {
            // Out of sight: back to rest.
            items_[i].morph = 0;
            items_[i].active = items_[i].down = false;
        }
    }
}

void TbsSkinPopupWindow::Redraw(int index) {
    if (hwnd_ == nullptr || index < 0 || index >= static_cast<int>(items_.size())) {
        return;
    }
    if (Morphing()) {
        SetTimer(hwnd_, kMorphTimer, kMorphPeriod, nullptr);
        return;
    }
    const TRect& r = items_[index].rect;
    const RECT area{r.left, r.top, r.right, r.bottom};
    InvalidateRect(hwnd_, &area, FALSE);
}

void TbsSkinPopupWindow::Leave(int index) {
    if (index < 0 || index >= static_cast<int>(items_.size())) {
        return;
    }
    TbsSkinMenuItem& item = items_[index];
    if (!item.item->Enabled() || item.item->IsLine()) {
        return;
    }
    item.active = false;
    item.waiting = false;
    if (!item.down) {
        Redraw(index);
    }
    if (engine_ != nullptr && engine_->waitLevel_ == this && engine_->waitItem_ == index) {
        engine_->StopWait();
    }
}

void TbsSkinPopupWindow::Enter(int index, bool from_keyboard) {
    TbsSkinMenuItem& item = items_[index];
    if (!item.item->Enabled() || item.item->IsLine() || engine_ == nullptr) {
        return;
    }
    item.active = true;
    for (size_t i = 0; i < items_.size(); ++i) {
        if (static_cast<int>(i) != index && items_[i].down) {
            items_[i].down = false;
            Redraw(static_cast<int>(i));
        }
    }
    const auto at = std::find(engine_->levels_.begin(), engine_->levels_.end(), this);
    const int level = static_cast<int>(at - engine_->levels_.begin());
    if (item.down) {
        engine_->CloseLevelsFrom(level + 2);
        return;
    }
    Redraw(index);
    engine_->CloseLevelsFrom(level + 1);
    if (!from_keyboard && HasVisibleChildren(*item.item)) {
        engine_->StartWait(*this, index);
    }
}

void TbsSkinPopupWindow::Select(int index, bool from_keyboard) {
    if (index == active_) {
        return;
    }
    const int previous = active_;
    active_ = index;
    Leave(previous);
    Enter(index, from_keyboard);
}

void TbsSkinPopupWindow::Hover(POINT p) {
    int hit = -1;
    for (size_t i = 0; i < items_.size(); ++i) {
        if (items_[i].shown && items_[i].rect.Contains(p.x, p.y)) {
            hit = static_cast<int>(i);
            break;
        }
    }
    if (hit < 0) {
        return;
    }
    if (hit == active_) {
        TbsSkinMenuItem& item = items_[hit];
        if (item.waiting) {
            item.waiting = false;
            if (HasVisibleChildren(*item.item)) {
                Enter(hit, false);
            }
        }
        return;
    }
    Select(hit, false);
}

void TbsSkinPopupWindow::MouseUp(POINT p) {
    Hover(p);
    if (engine_ == nullptr || active_ < 0) {
        return;
    }
    const TbsSkinMenuItem& item = items_[active_];
    if (item.shown && item.rect.Contains(p.x, p.y) && !item.item->IsLine()) {
        engine_->RunItem(*this, active_);
    }
}

void TbsSkinPopupWindow::Poll() {
    POINT cursor;
    if (!GetCursorPos(&cursor) || (cursor.x == lastMouse_.x && cursor.y == lastMouse_.y)) {
        return;
    }
    lastMouse_ = cursor;
    if (WindowFromPoint(cursor) != hwnd_) {
        if (scrollDirection_ != 0) {
            scrollDirection_ = 0;
            KillTimer(hwnd_, kScrollTimer);
            InvalidateRect(hwnd_, nullptr, FALSE);
        }
        return;
    }
    POINT p = cursor;
    ScreenToClient(hwnd_, &p);
    if (size_.scrolls) {
        const TRect& items = size_.items_rect;
        const bool in_top = p.y >= items.top && p.y < items.top + kMenuScrollZone;
        const bool in_bottom = p.y >= items.bottom - kMenuScrollZone && p.y < items.bottom;
        const bool more_above = firstVisible_ > 0;
        const bool more_below = firstVisible_ + visibleCount_ < static_cast<int>(items_.size());
        const int direction = in_top && more_above ? 1 : in_bottom && more_below ? 2 : 0;
        if (direction != scrollDirection_) {
            scrollDirection_ = direction;
            InvalidateRect(hwnd_, nullptr, FALSE);
            if (direction == 0) {
                KillTimer(hwnd_, kScrollTimer);
            } else {
                if (engine_ != nullptr) {
                    const auto at =
                        std::find(engine_->levels_.begin(), engine_->levels_.end(), this);
                    engine_->CloseLevelsFrom(static_cast<int>(at - engine_->levels_.begin()) + 1);
                }
                SetTimer(hwnd_, kScrollTimer, kScrollPeriod, nullptr);
            }
        }
        if (in_top || in_bottom) {
            return;
        }
    }
    Hover(p);
}

void TbsSkinPopupWindow::ScrollStep() {
    const int count = static_cast<int>(items_.size());
    if (scrollDirection_ == 1 && firstVisible_ > 0) {
        --firstVisible_;
    } else if (scrollDirection_ == 2 && firstVisible_ + visibleCount_ < count) {
        ++firstVisible_;
    }
    Layout();
    if ((scrollDirection_ == 1 && firstVisible_ == 0) ||
        (scrollDirection_ == 2 && firstVisible_ + visibleCount_ >= count)) {
        scrollDirection_ = 0;
        KillTimer(hwnd_, kScrollTimer);
    }
    InvalidateRect(hwnd_, nullptr, FALSE);
}

void TbsSkinPopupWindow::MorphStep() {
    bool moved = false;
    for (TbsSkinMenuItem& item : items_) {
        const double target = item.active || item.down ? 1.0 : 0.0;
        if (item.morph != target) {
            item.morph = item.morph < target ? std::min(item.morph + 0.2, 1.0)
                                             : std::max(item.morph - 0.2, 0.0);
            moved = true;
        }
    }
    if (!moved) {
        KillTimer(hwnd_, kMorphTimer);
        return;
    }
    InvalidateRect(hwnd_, nullptr, FALSE);
}

void TbsSkinPopupWindow::DrawGlyph(const TbsSkinMenuItem& item, TBitmap& look, int x, int middle,
                                   TColor color) {
    const int index = item.item->ImageIndex();
    if (images_ != nullptr && index >= 0 && index < static_cast<int>(images_->size())) {
        // The item's picture, framed when the item is checked.
        const TBitmapData& image = (*images_)[index];
        const int y = middle - image.Height() / 2;
        look.Canvas().Draw(x, y, image);
        if (item.item->Checked()) {
            DrawRectangleOutline(
                look, TRect{x - 1, y - 1, x + image.Width() + 1, y + image.Height() + 1}, color);
        }
    } else if (TMarkDrawer mark = MarkOfName(item.item->Name())) {
        mark(look, x, middle - 4, color);
    } else if (item.item->Checked() && item.item->RadioItem()) {
        DrawRadioMark(look, x, middle - 3, color);
    } else if (item.item->Checked()) {
        DrawCheckMark(look, x, middle - 4, color);
    }
}

void TbsSkinPopupWindow::DrawItemLook(const TbsSkinMenuItem& item, bool active, TBitmap& look) {
    const int w = item.rect.Width();
    const TbsDataSkinMenuItem& data = *look_;
    if (item.item->IsLine()) {
        BuildPartImage3H(*lookPicture_, data.divider_rect, data.divider_left_offset,
                         data.divider_right_offset, w, look);
        return;
    }
    BuildPartImage3H(*lookPicture_, active ? data.active_skin_rect : data.skin_rect,
                     data.item_left_offset, data.item_right_offset, w, look);
    const TRect text{data.text_rect.left, data.text_rect.top,
                     data.text_rect.right + (w - data.skin_rect.Width()), data.text_rect.bottom};
    TCanvas& canvas = look.Canvas();
    if (item.item->OnDrawItem) {
        item.item->OnDrawItem(*item.item, canvas, text, active);
        return;
    }
    const TColor color = active                 ? data.active_font_color
                         : item.item->Enabled() ? data.font.color
                                                : data.unenabled_font_color;
    canvas.Font().Assign(font_);
    canvas.Font().SetColor(color);
    canvas.Brush().SetStyle(framework::bsClear);
    const int glyph = imageWidth_ > 0 ? imageWidth_ + 5 : 16;
    RECT measured{0, 0, 0, 0};
    canvas.DrawText(item.item->Caption(), measured, DT_CALCRECT | DT_SINGLELINE);
    RECT caption{text.left + glyph, text.top, text.left + glyph + measured.right, text.bottom};
    canvas.DrawText(item.item->Caption(), caption, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    if (item.item->ShortCut() != framework::scNone) {
        RECT short_cut{text.left, text.top, text.right - 16, text.bottom};
        canvas.DrawText(framework::ShortCutToText(item.item->ShortCut()), short_cut,
                        DT_RIGHT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    }
    const int middle = (text.top + text.bottom) / 2;
    if (HasVisibleChildren(*item.item)) {
        DrawSubmenuArrow(look, text.right - 7, middle - 4, color);
    }
    DrawGlyph(item, look, text.left + 2, middle, color);
}

void TbsSkinPopupWindow::DrawPlainItem(const TbsSkinMenuItem& item, TBitmap& look) {
    const int w = item.rect.Width();
    const int h = item.rect.Height();
    TCanvas& canvas = look.Canvas();
    const int column = imageWidth_ > 0 ? imageWidth_ + 7 : 19;
    const bool lit = (item.active || item.down) && !item.item->IsLine();
    if (lit) {
        canvas.Brush().SetColor(framework::clNavy);
        canvas.FillRect(RECT{0, 0, w, h});
        canvas.Brush().SetColor(RGB(182, 189, 210));
        canvas.FillRect(RECT{1, 1, w - 1, h - 1});
    } else {
        canvas.Brush().SetColor(framework::clBtnFace);
        canvas.FillRect(RECT{0, 0, column, h});
        canvas.Brush().SetColor(framework::clWindow);
        canvas.FillRect(RECT{column, 0, w, h});
    }
    if (item.item->IsLine()) {
        DrawLine(look, column, h / 2, w - 1, h / 2, framework::ColorToRGB(framework::clBtnShadow));
        return;
    }
    const TRect text{2, 2, w - 2, h - 2};
    if (item.item->OnDrawItem) {
        item.item->OnDrawItem(*item.item, canvas, text, lit);
        return;
    }
    const TColor color = framework::ColorToRGB(
        lit || item.item->Enabled() ? framework::clWindowText : framework::clBtnShadow);
    canvas.Font().Assign(font_);
    canvas.Font().SetColor(color);
    canvas.Brush().SetStyle(framework::bsClear);
    RECT caption{2 + column, text.top, w - 2 - 19, text.bottom};
    canvas.DrawText(item.item->Caption(), caption, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
    if (item.item->ShortCut() != framework::scNone) {
        RECT short_cut{2 + column, text.top, w - 2 - 19, text.bottom};
        canvas.DrawText(framework::ShortCutToText(item.item->ShortCut()), short_cut,
                        DT_RIGHT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    }
    const int middle = h / 2;
    if (HasVisibleChildren(*item.item)) {
        DrawSubmenuArrow(look, w - 2 - 7, middle - 4, color);
    }
    // Pictures and named glyphs at 4, check and radio marks at 5.
    const bool picture = images_ != nullptr && item.item->ImageIndex() >= 0 &&
                         item.item->ImageIndex() < static_cast<int>(images_->size());
    DrawGlyph(item, look, picture || MarkOfName(item.item->Name()) != nullptr ? 4 : 5, middle,
              color);
}

void TbsSkinPopupWindow::DrawItem(const TbsSkinMenuItem& item, TBitmap& target, int x, int y) {
    TBitmap look(item.rect.Width(), item.rect.Height());
    if (look_ == nullptr) {
        DrawPlainItem(item, look);
    } else if (look_->morphing && item.morph > 0 && item.morph < 1 && !item.item->IsLine()) {
        TBitmap normal(item.rect.Width(), item.rect.Height());
        TBitmap active(item.rect.Width(), item.rect.Height());
        DrawItemLook(item, false, normal);
        DrawItemLook(item, true, active);
        TbsEffectBmp mixed(normal);
        Blend(mixed, TbsEffectBmp(active), look_->morph_kind, item.morph);
        mixed.Draw(look, 0, 0);
    } else {
        const bool lit = look_->morphing ? item.morph >= 1 : item.active || item.down;
        DrawItemLook(item, lit, look);
    }
    target.Canvas().Draw(x, y, look);
}

void TbsSkinPopupWindow::Paint(HDC dc) {
    const int w = size_.width;
    const int h = size_.height;
    TBitmap picture(w, h);
    TCanvas& canvas = picture.Canvas();
    TColor marker = 0;
    TColor active_marker = 0;
    TRect top_marker, bottom_marker;
    if (look_ != nullptr) {
        const TPartGeometry from{popupData_.left_top_point, popupData_.right_top_point,
                                 popupData_.left_bottom_point, popupData_.right_bottom_point,
                                 popupData_.items_rect};
        const TPartGeometry to{size_.left_top, size_.right_top, size_.left_bottom,
                               size_.right_bottom, size_.items_rect};
        TBitmap background;
        BuildPartImage9Stretch(*windowPicture_,
                               TRect{0, 0, windowPicture_->Width(), windowPicture_->Height()}, from,
                               to, w, h, size_.scrolls,
                               TBandStretch{popupData_.left_stretch, popupData_.right_stretch,
                                            popupData_.top_stretch, popupData_.bottom_stretch},
                               background);
        canvas.Draw(0, 0, background);
        marker = popupData_.scroll_marker_color;
        active_marker = popupData_.scroll_marker_active_color;
        const TRect& items = size_.items_rect;
        top_marker = TRect{items.left, items.top, items.right, items.top + kMenuScrollZone};
        bottom_marker =
            TRect{items.left, items.bottom - kMenuScrollZone, items.right, items.bottom};
    } else {
        const int column = imageWidth_ > 0 ? imageWidth_ + 7 : 21;
        canvas.Brush().SetColor(framework::clBtnFace);
        canvas.FillRect(RECT{0, 0, column, h});
        canvas.Brush().SetColor(framework::clWindow);
        canvas.FillRect(RECT{column, 0, w, h});
        DrawRectangleOutline(picture, TRect{0, 0, w, h},
                             framework::ColorToRGB(framework::clBtnShadow));
        DrawRectangleOutline(picture, TRect{1, 1, w - 1, h - 1},
                             framework::ColorToRGB(framework::clWindow));
        marker = framework::ColorToRGB(framework::clBtnShadow);
        active_marker = framework::ColorToRGB(framework::clBtnText);
        top_marker = TRect{3, 3, w - 3, 13};
        bottom_marker = TRect{3, h - 10, w - 3, h - 3};
    }
    for (const TbsSkinMenuItem& item : items_) {
        if (item.shown) {
            DrawItem(item, picture, item.rect.left, item.rect.top);
        }
    }
    if (size_.scrolls) {
        DrawArrowUp(picture, top_marker, scrollDirection_ == 1 ? active_marker : marker);
        DrawArrowDown(picture, bottom_marker, scrollDirection_ == 2 ? active_marker : marker);
    }
    TCanvas target(dc);
    target.Draw(0, 0, picture);
}

LRESULT CALLBACK TbsSkinPopupWindow::WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* level = reinterpret_cast<TbsSkinPopupWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (level == nullptr) {
        return msg == WM_MOUSEACTIVATE ? MA_NOACTIVATE : DefWindowProcW(hwnd, msg, wParam, lParam);
    }
    switch (msg) {
        case WM_MOUSEACTIVATE:
            return MA_NOACTIVATE;
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT: {
            PAINTSTRUCT paint;
            if (HDC dc = BeginPaint(hwnd, &paint)) {
                level->Paint(dc);
                EndPaint(hwnd, &paint);
            }
            return 0;
        }
        case WM_TIMER:
            if (level->engine_ == nullptr) {
                KillTimer(hwnd, wParam);
                return 0;
            }
            switch (wParam) {
                case kMouseTimer:
                    level->Poll();
                    break;
                case kScrollTimer:
                    level->ScrollStep();
                    break;
                case kMorphTimer:
                    level->MorphStep();
                    break;
                case kWaitTimer: {
                    TbsSkinMenu& engine = *level->engine_;
                    const int index = engine.waitItem_;
                    engine.StopWait();
                    if (index >= 0) {
                        engine.RunItem(*level, index);
                    }
                    break;
                }
                default:
                    break;
            }
            return 0;
        case WM_LBUTTONUP:
            if (level->engine_ != nullptr) {
                level->MouseUp(
                    POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});
            }
            return 0;
        case kFreeLevel:
            delete level;
            return 0;
        default:
            return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

// --- The engine ---

TbsSkinMenu::TbsSkinMenu(framework::TForm& form) : form_(form) {
    default_item_font.SetName("Arial");
    default_item_font.SetHeight(14);
}

TbsSkinMenu::~TbsSkinMenu() {
    *alive_ = false;
    OnClosed = nullptr;
    for (auto it = levels_.rbegin(); it != levels_.rend(); ++it) {
        (*it)->Close();
    }
    levels_.clear();
}

HWND TbsSkinMenu::LevelHandle(int index) const {
    return index >= 0 && index < LevelCount() ? levels_[index]->Handle() : nullptr;
}

int TbsSkinMenu::ActiveItem(int level) const {
    return level >= 0 && level < LevelCount() ? levels_[level]->active_ : -1;
}

void TbsSkinMenu::Popup(HWND popup_control, TbsSkinData* skin, bool upwards, TMenuItem& items,
                        const TRect& anchor, const std::vector<framework::TBitmapData>* images,
                        int first_index) {
    first_ = !visible_;
    popupControl_ = popup_control;
    CloseLevelsFrom(0);
    popupControl_ = popup_control;
    workArea_ = WorkAreaOf(form_.HandleAllocated() ? form_.Handle() : nullptr, true);
    skin_ = skin;
    images_ = images != nullptr && !images->empty() ? images : nullptr;
    imageWidth_ = images_ != nullptr ? images_->front().Width() : 0;
    if (!HasVisibleChildren(items, first_index)) {
        Closed();
        return;
    }
    visible_ = true;
    OpenLevel(items, anchor, upwards, false, first_index);
    first_ = false;
}

void TbsSkinMenu::OpenLevel(TMenuItem& parent, const TRect& anchor, bool upwards, bool submenu,
                            int first_index) {
    const bool layered = alpha_blend && LayeredWindowsUsable();
    const bool fade = layered && alpha_blend_animation && first_ && !submenu;
    if (fade) {
        // The fade runs without waiting: let what is pending be done first.
        const std::weak_ptr<bool> alive = alive_;
        framework::Application().ProcessMessages();
        if (alive.expired() || !visible_) {
            return;
        }
    }
    auto* level = new TbsSkinPopupWindow(*this, parent, first_index);
    TMenuPlacement placement;
    placement.anchor = anchor;
    placement.work_area = workArea_;
    placement.width = level->size_.width;
    placement.height = level->size_.height;
    placement.items_top = level->size_.items_rect.top;
    placement.submenu = submenu;
    placement.upwards = upwards;
    placement.scrolls_for_height = level->size_.scrolls_for_height;
    const TPoint at = PlaceMenuLevel(placement);
    const int value = std::clamp(alpha_blend_value, 0, 255);
    try {
        level->Create(at, layered, static_cast<BYTE>(fade ? 0 : value));
    } catch (...) {
        delete level;
        throw;
    }
    levels_.push_back(level);
    const HWND hwnd = level->Handle();
    SetWindowPos(hwnd, HWND_TOPMOST, at.x, at.y, 0, 0,
                 SWP_SHOWWINDOW | SWP_NOACTIVATE | SWP_NOSIZE);
    if (fade) {
        for (int alpha = 3; alpha < value; alpha += 3) {
            SetLayeredWindowAttributes(hwnd, 0, static_cast<BYTE>(alpha), LWA_ALPHA);
        }
        SetLayeredWindowAttributes(hwnd, 0, static_cast<BYTE>(value), LWA_ALPHA);
    }
    SetTimer(hwnd, kMouseTimer, kMousePeriod, nullptr);
    // The first item that can be chosen is lit, without opening its submenu.
    const std::vector<TMenuKeyItem> keys = [&] {
        std::vector<TMenuKeyItem> k;
        for (const TbsSkinMenuItem& item : level->items_) {
            k.push_back(TMenuKeyItem{item.item->Enabled(), item.item->IsLine()});
        }
        return k;
    }();
    const int first = NextMenuItem(keys, -1, true);
    if (first >= 0) {
        level->active_ = first;
        level->items_[first].active = true;
        level->items_[first].waiting = true;
        level->items_[first].morph = 1;  // lit at once, not faded in
        level->Redraw(first);
    }
}

void TbsSkinMenu::StartWait(TbsSkinPopupWindow& level, int index) {
    StopWait();
    waitLevel_ = &level;
    waitItem_ = index;
    SetTimer(level.Handle(), kWaitTimer, kWaitPeriod, nullptr);
}

void TbsSkinMenu::StopWait() {
    if (waitLevel_ != nullptr && waitLevel_->Handle() != nullptr) {
        KillTimer(waitLevel_->Handle(), kWaitTimer);
    }
    waitLevel_ = nullptr;
    waitItem_ = -1;
}

void TbsSkinMenu::CloseLevelsFrom(int n) {
    n = std::max(n, 0);
    bool closed = false;
    while (static_cast<int>(levels_.size()) > n) {
        TbsSkinPopupWindow* level = levels_.back();
        levels_.pop_back();
        if (waitLevel_ == level) {
            StopWait();
        }
        level->Close();
        closed = true;
    }
    if (n == 0 && (visible_ || closed)) {
        visible_ = false;
        StopWait();
        doneControl_ = popupControl_;
        popupControl_ = nullptr;
        const std::weak_ptr<bool> alive = alive_;
        if (doneControl_ != nullptr && IsWindow(doneControl_)) {
            SendMessageW(doneControl_, WM_CLOSE_SKIN_MENUS, 0, 0);
        }
        if (!alive.expired()) {
            Closed();
        }
    }
}

void TbsSkinMenu::CloseAll() {
    const bool was_open = visible_ || !levels_.empty();
    while (!levels_.empty()) {
        TbsSkinPopupWindow* level = levels_.back();
        levels_.pop_back();
        level->Close();
    }
    StopWait();
    if (!was_open) {
        return;
    }
    visible_ = false;
    const HWND control = popupControl_;
    const std::weak_ptr<bool> alive = alive_;
    if (form_.HandleAllocated()) {
        SendMessageW(form_.Handle(), WM_CLOSE_SKIN_MENUS, 0, 0);
    }
    if (!alive.expired() && control != nullptr && IsWindow(control) &&
        (!form_.HandleAllocated() || control != form_.Handle())) {
        SendMessageW(control, WM_CLOSE_SKIN_MENUS, 0, 0);
    }
    if (!alive.expired()) {
        Closed();
    }
}

void TbsSkinMenu::Closed() {
    if (OnClosed) {
        const auto closed = OnClosed;
        closed();
    }
}

void TbsSkinMenu::RunItem(TbsSkinPopupWindow& level, int index) {
    if (index < 0 || index >= static_cast<int>(level.items_.size())) {
        return;
    }
    TbsSkinMenuItem& entry = level.items_[index];
    TMenuItem* item = entry.item;
    if (!item->Enabled() || entry.down || item->IsLine()) {
        return;
    }
    entry.waiting = false;
    const std::weak_ptr<bool> alive = alive_;
    if (!HasVisibleChildren(*item)) {
        StopWait();
        const HWND done = popupControl_;
        CloseAll();
        // The command may free the form, its frame and this engine.
        item->Click();
        if (done != nullptr && IsWindow(done)) {
            SendMessageW(done, WM_SKIN_MENU_DONE, 0, 0);
        }
        if (!alive.expired()) {
            doneControl_ = nullptr;
        }
        return;
    }
    item->Click();
    if (alive.expired() || level.engine_ == nullptr) {
        return;
    }
    StopWait();
    entry.down = true;
    level.Redraw(index);
    POINT corner{entry.rect.left, entry.rect.top};
    ClientToScreen(level.Handle(), &corner);
    const TRect anchor = TRect::Bounds(corner.x, corner.y, entry.rect.Width(), entry.rect.Height());
    OpenLevel(*item, anchor, false, true, 0);
}

void TbsSkinMenu::KeyDown(unsigned key) {
    if (levels_.empty()) {
        return;
    }
    TbsSkinPopupWindow& level = *levels_.back();
    if (!IsWindowVisible(level.Handle())) {
        return;
    }
    const bool letter = (key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9');
    if (letter) {
        for (size_t i = 0; i < level.items_.size(); ++i) {
            if (framework::IsAccelerator(key, level.items_[i].item->Caption())) {
                level.Select(static_cast<int>(i), true);
                RunItem(level, static_cast<int>(i));
                return;
            }
        }
        return;
    }
    const auto parent_item_up = [this] {
        if (levels_.empty()) {
            return;
        }
        TbsSkinPopupWindow& deepest = *levels_.back();
        if (deepest.active_ >= 0) {
            deepest.items_[deepest.active_].down = false;
            deepest.Redraw(deepest.active_);
        }
    };
    switch (key) {
        case VK_RETURN:
            RunItem(level, level.active_);
            return;
        case VK_ESCAPE:
            CloseLevelsFrom(LevelCount() - 1);
            parent_item_up();
            return;
        case VK_LEFT:
            if (LevelCount() >= 2) {
                CloseLevelsFrom(LevelCount() - 1);
                parent_item_up();
            }
            return;
        case VK_RIGHT:
            if (level.active_ >= 0 && HasVisibleChildren(*level.items_[level.active_].item)) {
                RunItem(level, level.active_);
            }
            return;
        case VK_DOWN:
        case VK_UP: {
            std::vector<TMenuKeyItem> keys;
            for (const TbsSkinMenuItem& item : level.items_) {
                keys.push_back(TMenuKeyItem{item.item->Enabled(), item.item->IsLine()});
            }
            const int next = NextMenuItem(keys, level.active_, key == VK_DOWN);
            if (next < 0 || next == level.active_) {
                return;
            }
            if (level.size_.scrolls) {
                const int first = FollowMenuSelection(level.firstVisible_, level.visibleCount_,
                                                      static_cast<int>(keys.size()), next);
                if (first != level.firstVisible_) {
                    level.firstVisible_ = first;
                    level.Layout();
                    InvalidateRect(level.Handle(), nullptr, FALSE);
                }
            }
            level.Select(next, true);
            return;
        }
        default:
            return;
    }
}

// --- The popup menu component ---

TbsSkinPopupMenu::TbsSkinPopupMenu(framework::TComponent* owner) : TPopupMenu(owner) {}

TbsSkinPopupMenu::~TbsSkinPopupMenu() = default;

void TbsSkinPopupMenu::SetSkinData(TbsSkinData* value) {
    if (skinData_ != nullptr) {
        RemoveFreeNotification(skinData_);
    }
    skinData_ = value;
    if (skinData_ != nullptr) {
        FreeNotification(skinData_);
    }
}

void TbsSkinPopupMenu::Notification(framework::TComponent* component,
                                    framework::TOperation operation) {
    TPopupMenu::Notification(component, operation);
    if (operation == framework::opRemove && component == skinData_) {
        skinData_ = nullptr;
    }
}

void TbsSkinPopupMenu::Popup(int x, int y) {
    TPopupMenu::Popup(x, y);
    PopupUnder(TRect{x, y, x, y}, false);
}

void TbsSkinPopupMenu::PopupUnder(const TRect& anchor, bool upwards) {
    framework::TForm* form = componentForm_;
    if (form == nullptr) {
        form = dynamic_cast<framework::TForm*>(Owner());
    }
    if (form == nullptr && Owner() != nullptr) {
        form = dynamic_cast<framework::TForm*>(Owner()->Owner());
    }
    TbsSkinForm* frame = form != nullptr ? TbsSkinForm::FrameOf(*form) : nullptr;
    if (frame == nullptr) {
        return;
    }
    frame->PopupSkinMenu(Items(), skinData_, anchor, upwards, &Images(),
                         form->HandleAllocated() ? form->Handle() : nullptr);
}

}  // namespace skin
