#include "skin/form/skin_hint.h"

#include "skin/data/picture.h"
#include "skin/data/skin_data.h"
#include "skin/data/win32/regions.h"
#include "skin/data/win32/text_draw.h"
#include "skin/data/win32/work_area.h"

namespace skin {

using framework::TBitmap;
using framework::TCanvas;

namespace {

constexpr wchar_t kClass[] = L"TbsSkinHintWindow";
constexpr framework::TColor kInfoBack = framework::kSystemColorFlag | COLOR_INFOBK;
constexpr framework::TColor kInfoText = framework::kSystemColorFlag | COLOR_INFOTEXT;
constexpr UINT kTextFlags = DT_NOPREFIX | DT_LEFT | DT_TOP;

THintPicture HintPictureOf(const TbsDataSkinHintWindow& d, const framework::TBitmapData& p) {
    return THintPicture{p.Width(),         p.Height(),          d.left_top_point,
                        d.right_top_point, d.left_bottom_point, d.right_bottom_point,
                        d.client_rect};
}

}  // namespace

TbsSkinHint::TbsSkinHint(framework::TComponent* owner) : TComponent(owner) {
    defaultFont_.SetName("Arial");
    defaultFont_.SetHeight(14);
    defaultFont_.SetColor(kInfoText);
}

TbsSkinHint::~TbsSkinHint() {
    if (hwnd_ != nullptr) {
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        DestroyWindow(hwnd_);
    }
}

void TbsSkinHint::SetSkinData(TbsSkinData* value) {
    if (skinData_ != nullptr) {
        RemoveFreeNotification(skinData_);
    }
    skinData_ = value;
    if (value != nullptr) {
        FreeNotification(value);
    }
}

void TbsSkinHint::Notification(framework::TComponent* component, framework::TOperation operation) {
    TComponent::Notification(component, operation);
    if (operation == framework::opRemove && component == skinData_) {
        skinData_ = nullptr;
        HideHint();
    }
}

const framework::TBitmapData* TbsSkinHint::Picture() const {
    if (skinData_ == nullptr || skinData_->SkinEmpty()) {
        return nullptr;
    }
    const framework::TBitmapData* p =
        skinData_->Picture(skinData_->HintWindow().window_picture_index);
    return p != nullptr && !p->Empty() ? p : nullptr;
}

void TbsSkinHint::SelectFont(TCanvas& canvas) const {
    framework::TFont& font = canvas.Font();
    if (Picture() != nullptr && useSkinFont_) {
        const TSkinFont& f = skinData_->HintWindow().font;
        font.SetName(f.name);
        font.SetHeight(f.height);
        font.SetStyle(f.style);
        font.SetColor(f.color);
    } else {
        font.Assign(defaultFont_);
        if (Picture() != nullptr) {
            font.SetColor(skinData_->HintWindow().font.color);
        }
    }
}

THintLayout TbsSkinHint::Layout(const framework::TBitmapData* picture) const {
    TBitmap measure(1, 1);
    SelectFont(measure.Canvas());
    RECT r{0, 0, 0, 0};
    measure.Canvas().DrawText(text_, r, kTextFlags | DT_CALCRECT);
    THintPicture geometry;
    if (picture != nullptr) {
        geometry = HintPictureOf(skinData_->HintWindow(), *picture);
    }
    return LayoutHint(r.right - r.left, r.bottom - r.top, picture != nullptr ? &geometry : nullptr);
}

void TbsSkinHint::ActivateHint(const std::string& text) {
    POINT cursor{};
    GetCursorPos(&cursor);
    text_ = text;
    Show(framework::TPoint{cursor.x, cursor.y}, true);
}

void TbsSkinHint::ActivateHintAt(framework::TPoint at, const std::string& text) {
    text_ = text;
    Show(at, false);
}

void TbsSkinHint::HideHint() {
    if (hwnd_ != nullptr) {
        ShowWindow(hwnd_, SW_HIDE);
    }
}

bool TbsSkinHint::Showing() const {
    return hwnd_ != nullptr && IsWindowVisible(hwnd_);
}

void TbsSkinHint::Show(framework::TPoint at, bool below_pointer) {
    if (text_.empty()) {
        HideHint();
        return;
    }
    if (hwnd_ == nullptr) {
        static const ATOM atom = [] {
            WNDCLASSW window_class{};
            window_class.style = CS_SAVEBITS;
            window_class.lpfnWndProc = &TbsSkinHint::WndProc;
            window_class.hInstance = GetModuleHandleW(nullptr);
            window_class.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
            window_class.lpszClassName = kClass;
            return RegisterClassW(&window_class);
        }();
        hwnd_ = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE,
                                MAKEINTATOM(atom), L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
        if (hwnd_ == nullptr) {
            return;  // a hint is a courtesy: without a window there is none
        }
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    SetWindowTextW(hwnd_, DrawingText(text_).c_str());
    const framework::TBitmapData* picture = Picture();
    const THintLayout layout = Layout(picture);
    const framework::TRect area = WorkAreaOf(WindowFromPoint(POINT{at.x, at.y}), true);
    const framework::TPoint place = below_pointer
                                        ? PlaceHint(at, GetSystemMetrics(SM_CYCURSOR) * 3 / 4,
                                                    layout.width, layout.height, area)
                                        : PlaceHint(at, 0, layout.width, layout.height, area);
    HRGN region = nullptr;
    if (picture != nullptr) {
        const framework::TBitmapData* mask =
            skinData_->Picture(skinData_->HintWindow().mask_picture_index);
        if (mask != nullptr && !mask->Empty()) {
            region = MaskToRegion9(*mask, layout.from, layout.to, layout.width, layout.height);
        }
    }
    SetWindowRgn(hwnd_, region, FALSE);  // the window owns the region
    SetWindowPos(hwnd_, HWND_TOPMOST, place.x, place.y, layout.width, layout.height,
                 SWP_NOACTIVATE | SWP_SHOWWINDOW);
    InvalidateRect(hwnd_, nullptr, FALSE);
    UpdateWindow(hwnd_);
}

void TbsSkinHint::Paint(HDC dc) {
    RECT client{};
    GetClientRect(hwnd_, &client);
    const int w = client.right;
    const int h = client.bottom;
    if (w <= 0 || h <= 0) {
        return;
    }
    TBitmap look(w, h);
    TCanvas& canvas = look.Canvas();
    const framework::TBitmapData* picture = Picture();
    const THintLayout layout = Layout(picture);
    if (picture != nullptr) {
        const TbsDataSkinHintWindow& d = skinData_->HintWindow();
        TBitmap background;
        BuildPartImage9Stretch(
            *picture, framework::TRect{0, 0, picture->Width(), picture->Height()}, layout.from,
            layout.to, w, h, true,
            TBandStretch{d.left_stretch, d.right_stretch, d.top_stretch, d.bottom_stretch},
            background);
        canvas.Draw(0, 0, background);
    } else {
        canvas.Brush().SetColor(kInfoText);
        canvas.FillRect(RECT{0, 0, w, h});
        canvas.Brush().SetColor(kInfoBack);
        canvas.FillRect(RECT{1, 1, w - 1, h - 1});
    }
    SelectFont(canvas);
    canvas.Brush().SetStyle(framework::bsClear);
    RECT at{layout.to.client.left, layout.to.client.top, layout.to.client.right,
            layout.to.client.bottom};
    canvas.DrawText(text_, at, kTextFlags);
    TCanvas target(dc);
    target.Draw(0, 0, look);
}

LRESULT CALLBACK TbsSkinHint::WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<TbsSkinHint*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    switch (msg) {
        case WM_NCHITTEST:
            return HTTRANSPARENT;  // the window under the hint keeps the mouse
        case WM_MOUSEACTIVATE:
            return MA_NOACTIVATE;
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hwnd, &ps);
            if (self != nullptr) {
                self->Paint(dc);
            }
            EndPaint(hwnd, &ps);
            return 0;
        }
        default:
            return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

}  // namespace skin
