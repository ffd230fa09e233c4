#include "skin/form/skin_form.h"

#include <windowsx.h>

#include <algorithm>
#include <cstdlib>

#include "framework/bitmap_ops.h"
#include "framework/classes.h"
#include "framework/definition.h"
#include "skin/data/effect.h"
#include "skin/data/frame_objects.h"
#include "skin/data/marks.h"
#include "skin/data/picture.h"
#include "skin/data/resource_strings.h"
#include "skin/data/skin_messages.h"
#include "skin/data/win32/regions.h"
#include "skin/data/win32/work_area.h"
#include "skin/form/skin_relay.h"

namespace skin {

using framework::TBitmap;
using framework::TCanvas;
using framework::TForm;
using framework::TMessage;
using framework::TWndMethod;

namespace {

TColor Rgb(TColor c) {
    return framework::ColorToRGB(c);
}

// The form's timers of the frame.
constexpr UINT_PTR kFadeTimer = 1;
constexpr UINT_PTR kHoverTimer = 2;
constexpr UINT_PTR kMorphTimer = 3;
constexpr UINT_PTR kAnimationTimer = 4;
constexpr UINT kHoverPeriod = 50;
constexpr UINT kMorphPeriod = 20;

// The border-icon flag that shows a command's button (0: always shown).
TbsBorderIcons IconOf(TStdCommand command) {
    switch (command) {
        case cmMaximize:
            return bsbiMaximize;
        case cmMinimize:
            return bsbiMinimize;
        case cmSysMenu:
            return bsbiSystemMenu;
        case cmRollUp:
            return bsbiRollUp;
        case cmMinimizeToTray:
            return bsbiMinimizeToTray;
        default:
            return 0;
    }
}

// Copies `from` of `source` onto `to` of `target`, stretched when the sizes
// differ.
void CopyLook(TBitmapData& target, const TRect& to, const TBitmapData& source, const TRect& from) {
    if (to.IsEmpty() || from.IsEmpty() || source.Empty()) {
        return;
    }
    framework::StretchCopy(target, to, source, from);
}

}  // namespace

TbsSkinForm::TbsSkinForm(framework::TComponent* owner)
    : TComponent(owner), form_(dynamic_cast<TForm*>(owner)) {
    if (form_ == nullptr) {
        throw EInvalidCast();
    }
    for (framework::TFont* f : {&defCaptionFont_, &defInactiveCaptionFont_}) {
        f->SetName("Arial");
        f->SetHeight(14);
        f->SetStyle(framework::fsBold);
        f->OnChange = [this](framework::TFont&) {
            if (!Loading() && !skinned_) {
                RepaintFrame();
            }
        };
    }
    defCaptionFont_.SetColor(framework::clBtnText);
    defInactiveCaptionFont_.SetColor(framework::clBtnShadow);
    form_->SetBorderIcons(0);
    // The frame draws the caption: the window has none of the system's.
    form_->OnCreateParams = [](framework::TCreateParams& p) {
        p.style &= ~static_cast<DWORD>(WS_CAPTION);
    };
    hook_.Install(*form_,
                  [this](TMessage& m, const TWndMethod& previous) { WndProc(m, previous); });
    if (form_->HandleAllocated()) {
        form_->RecreateWnd();
    }
    // The tray icon's menu: restore, a separator, close.
    trayMenu_ = new TbsSkinPopupMenu(this);
    trayMenu_->SetComponentForm(form_);
    BuildTrayMenu(
        trayMenu_->Items(), this,
        [this](std::string_view key) {
            return skinData_ != nullptr && skinData_->ResourceStrData() != nullptr
                       ? skinData_->ResourceStrData()->Lookup(key)
                       : std::string();
        },
        [this](TFrameCommand command) { RunFrameCommand(command); }, false);
}

TbsSkinForm::~TbsSkinForm() {
    if (smallIcon_ != nullptr) {
        DestroyIcon(smallIcon_);
    }
    // Whatever menu is open goes without telling anyone: the form is going.
    OnSkinMenuClose = nullptr;
    LeaveMenuMode();
    SetSkinHint(nullptr);
    menu_.reset();
    hook_.Remove();
    form_->OnCreateParams = nullptr;
    if (!form_->Destroying() && form_->HandleAllocated()) {
        // The system's frame handling again, without the skin's shape.
        RemoveRegion();
        SetWindowPos(form_->Handle(), nullptr, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    }
}

void TbsSkinForm::SetSkinData(TbsSkinData* value) {
    if (skinData_ != value) {
        if (skinData_ != nullptr && skinData_ != menusSkinData_) {
            RemoveFreeNotification(skinData_);
        }
        skinData_ = value;
        if (value != nullptr) {
            FreeNotification(value);
        }
    }
    ApplySkin();
}

void TbsSkinForm::SetMenusSkinData(TbsSkinData* value) {
    if (menusSkinData_ != nullptr && menusSkinData_ != skinData_) {
        RemoveFreeNotification(menusSkinData_);
    }
    menusSkinData_ = value;
    if (value != nullptr) {
        FreeNotification(value);
    }
}

void TbsSkinForm::SetLogoBitMap(const TBitmapData& picture) {
    logo_.Assign(picture);
}

void TbsSkinForm::SetShowIcon(bool value) {
    showIcon_ = value;
    if (!Loading()) {
        RepaintFrame();
    }
}

void TbsSkinForm::SetBorderIcons(TbsBorderIcons value) {
    borderIcons_ = value;
    if (!skinned_) {
        BuildDefaultButtons();
        return;
    }
    // The skin's own buttons stay; which of them take part is decided
    // again.
    for (TbsFrameObject& o : objects_) {
        if (o.place.kind == fokStdButton || o.place.kind == fokAnimate) {
            o.enabled = true;
            o.place.visible = true;
            o.active = o.mouse_in = o.down = false;
        }
    }
    activeObject_ = -1;
    captureObject_ = -1;
    ApplyVisibility();
    RegionAndLayout();
    RepaintFrame();
}

void TbsSkinForm::Loaded() {
    TComponent::Loaded();
}

void TbsSkinForm::Notification(framework::TComponent* component, framework::TOperation operation) {
    TComponent::Notification(component, operation);
    if (operation != framework::opRemove) {
        return;
    }
    if (component == menusSkinData_) {
        menusSkinData_ = nullptr;
    }
    if (component == systemMenu_) {
        systemMenu_ = nullptr;
    }
    if (component == trayIcon_) {
        trayIcon_ = nullptr;
    }
    if (component == skinHint_) {
        skinHint_ = nullptr;
    }
    if (component == trayMenu_) {
        trayMenu_ = nullptr;
    }
    if (component == ownSystemMenu_) {
        ownSystemMenu_ = nullptr;
    }
    if (component == skinData_) {
        // Its pictures and objects go with it.
        skinData_ = nullptr;
        PrepareSkinChange();
        maskBands_ = {};
        if (!form_->Destroying()) {
            RemoveRegion();
            RepaintFrame();
        }
    }
}

bool TbsSkinForm::HasBorder() const {
    return form_->BorderStyle() != framework::bsNone;
}

bool TbsSkinForm::Sizeable() const {
    return form_->BorderStyle() == framework::bsSizeable ||
           form_->BorderStyle() == framework::bsSizeToolWin;
}

bool TbsSkinForm::ToolWindow() const {
    return form_->BorderStyle() == framework::bsToolWindow ||
           form_->BorderStyle() == framework::bsSizeToolWin;
}

int TbsSkinForm::CaptionHeight() const {
    return BuiltInCaptionHeight(ToolWindow());
}

void TbsSkinForm::RememberSize() {
    if (form_->HandleAllocated()) {
        RECT r;
        GetWindowRect(form_->Handle(), &r);
        lastWidth_ = r.right - r.left;
        lastHeight_ = r.bottom - r.top;
    } else {
        lastWidth_ = form_->Width();
        lastHeight_ = form_->Height();
    }
}

TPoint TbsSkinForm::WindowPoint(TPoint screen) const {
    if (form_->HandleAllocated()) {
        RECT r;
        GetWindowRect(form_->Handle(), &r);
        return TPoint{screen.x - r.left, screen.y - r.top};
    }
    return TPoint{screen.x - form_->Left(), screen.y - form_->Top()};
}

void TbsSkinForm::UpdateGeometry() {
    if (lastWidth_ == 0 || lastHeight_ == 0) {
        RememberSize();
    }
    if (skinned_) {
        const TBitmapData& main = skinData_->MainPicture();
        geometry_ = CurrentGeometry(skinData_->FormInfo(), main.Width(), main.Height(), lastWidth_,
                                    lastHeight_);
    }
}

void TbsSkinForm::LayoutObjects() {
    if (skinned_) {
        std::vector<TFrameObjectPlace> places;
        places.reserve(objects_.size());
        for (const TbsFrameObject& o : objects_) {
            places.push_back(o.place);
            if (ShowsIcon(o)) {
                // The icon's size instead of the skin's look.
                int w = GetSystemMetrics(SM_CXSMICON);
                int h = GetSystemMetrics(SM_CYSMICON);
                if (w <= 0 || h <= 0) {
                    w = GetSystemMetrics(SM_CXSIZE);
                    h = GetSystemMetrics(SM_CYSIZE);
                }
                places.back().size = TPoint{w, h};
            }
        }
        const TBitmapData& main = skinData_->MainPicture();
        LayoutFrameObjects(places, skinData_->FormInfo(), main.Width(), main.Height(), geometry_);
        for (size_t i = 0; i < objects_.size(); ++i) {
            objects_[i].place.object_rect = places[i].object_rect;
        }
        return;
    }
    if (objects_.empty()) {
        BuildDefaultButtons();
    }
    bool visible[7] = {};
    for (const TbsFrameObject& o : objects_) {
        if (o.place.kind == fokStdButton && o.place.visible) {
            visible[o.place.command] = true;
        }
    }
    const int small = GetSystemMetrics(SM_CXSMICON);
    const TBuiltInCaption layout = LayoutBuiltInCaption(
        lastWidth_, ToolWindow(), visible, TPoint{small > 0 ? small : 16, small > 0 ? small : 16});
    builtInCaption_ = layout.caption;
    for (TbsFrameObject& o : objects_) {
        if (o.place.kind == fokStdButton) {
            o.place.object_rect = o.place.visible ? layout.buttons[o.place.command] : TRect{};
        }
    }
}

void TbsSkinForm::BuildObjects() {
    ClearObjects();
    for (const auto& d : skinData_->FrameObjects()) {
        const TbsDataSkinObject* data = d.get();
        if (dynamic_cast<const TbsDataSkinMenuItem*>(data) != nullptr ||
            dynamic_cast<const TbsDataSkinMainMenuItem*>(data) != nullptr ||
            dynamic_cast<const TbsDataSkinMainMenuBarButton*>(data) != nullptr) {
            continue;
        }
        TbsFrameObject o;
        o.data = data;
        o.id_name = data->name;
        o.picture = skinData_->Picture(data->active_picture_index);
        o.place.in_picture = data->skin_rect_in_a_picture;
        o.place.normal = data->skin_rect;
        o.place.size = TPoint{data->skin_rect.Width(), data->skin_rect.Height()};
        o.place.object_rect = data->skin_rect;
        o.hint = data->hint;
        // Without an active look there is nothing to fade to.
        o.morphing = data->morphing && o.picture != nullptr && !data->active_skin_rect.IsEmpty();
        if (const auto* b = dynamic_cast<const TbsDataSkinStdButton*>(data)) {
            o.place.kind = fokStdButton;
            o.place.command = b->command;
        } else if (dynamic_cast<const TbsDataSkinButton*>(data) != nullptr) {
            o.place.kind = fokButton;
        } else if (dynamic_cast<const TbsDataSkinCaption*>(data) != nullptr) {
            o.place.kind = fokCaption;
        } else if (const auto* a = dynamic_cast<const TbsDataSkinAnimate*>(data)) {
            o.place.kind = fokAnimate;
            o.place.command = a->command;
            o.place.button_style = a->button_style;
            o.animation.count = std::max(a->count_frames, 1);
            o.animation.cycle = a->cycle;
            o.animation.interval = std::max(a->timer_interval, kAnimationTick);
        } else {
            o.place.kind = fokUser;
        }
        objects_.push_back(std::move(o));
    }
    ApplyVisibility();
}

void TbsSkinForm::BuildDefaultButtons() {
    ClearObjects();
    const struct {
        const char* name;
        TStdCommand command;
    } buttons[] = {{"closebutton", cmClose},     {"maxbutton", cmMaximize},
                   {"minbutton", cmMinimize},    {"rollupbutton", cmRollUp},
                   {"sysmenubutton", cmSysMenu}, {"traybutton", cmMinimizeToTray}};
    for (const auto& b : buttons) {
        TbsFrameObject o;
        o.id_name = b.name;
        o.place.kind = fokStdButton;
        o.place.command = b.command;
        o.place.in_picture = true;
        o.place.normal = TRect{0, 0, 1, 1};
        o.place.size = TPoint{1, 1};
        objects_.push_back(std::move(o));
    }
    ApplyVisibility();
}

void TbsSkinForm::ApplyVisibility() {
    auto hide = [](TbsFrameObject& o) {
        o.enabled = false;
        // An object whose look is part of the frame picture stays drawn, in
        // its disabled look.
        o.place.visible = !o.place.in_picture;
    };
    for (TbsFrameObject& o : objects_) {
        const bool button =
            o.place.kind == fokStdButton || (o.place.kind == fokAnimate && o.place.button_style);
        if (hideCaptionButtons_ && (o.place.kind == fokStdButton || o.place.kind == fokAnimate)) {
            hide(o);
        } else if (!hideCaptionButtons_ && button) {
            if (o.place.command == cmDefault) {
                // Shown only when the program asks for it.
                bool visible = false;
                if (OnActivateCustomObject) {
                    OnActivateCustomObject(o.id_name, visible);
                }
                o.place.visible = visible;
            } else if (o.place.command != cmClose &&
                       (borderIcons_ & IconOf(o.place.command)) == 0) {
                hide(o);
            }
        }
    }
    ReloadHints();
}

void TbsSkinForm::ApplySkin() {
    activeObject_ = -1;
    captureObject_ = -1;
    skinned_ = skinData_ != nullptr && !skinData_->SkinEmpty();
    if (skinned_) {
        BuildObjects();
    } else {
        ClearObjects();
        maskBands_ = {};
        RemoveRegion();
    }
    inSkinChange_ = true;
    FitToMinimum();
    RememberSize();
    if (skinned_) {
        RegionAndLayout();
    }
    if (form_->HandleAllocated()) {
        RedrawWindow(form_->Handle(), nullptr, nullptr,
                     RDW_FRAME | RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    }
    UpdateActive(true);
    if (OnChangeSkinData) {
        OnChangeSkinData(this);
    }
    inSkinChange_ = false;
    if (clientWidth_ > 0) {
        form_->SetClientWidth(clientWidth_);
    }
    if (clientHeight_ > 0) {
        form_->SetClientHeight(clientHeight_);
    }
}

void TbsSkinForm::PrepareSkinChange() {
    skinned_ = false;
    ClearObjects();
}

void TbsSkinForm::FitToMinimum() {
    const TPoint min = MinTrackSize();
    const int w = form_->Width();
    const int h = form_->Height();
    if (w < min.x && h < min.y) {
        form_->SetBounds(form_->Left(), form_->Top(), min.x, min.y);
    } else if (h < min.y) {
        form_->SetHeight(min.y);
    } else if (w < min.x) {
        form_->SetWidth(min.x);
    } else {
        SizeNudge();
    }
}

void TbsSkinForm::SizeNudge() {
    if (!form_->HandleAllocated()) {
        return;
    }
    // A change of one pixel and back: the system measures and sizes the
    // frame again without a real change.
    const int w = form_->Width();
    const int step = w - 1 < MinTrackSize().x ? 1 : -1;
    form_->SetWidth(w + step);
    form_->SetWidth(w);
}

TPoint TbsSkinForm::MinTrackSize() const {
    return MinTrackSizeFor(states_.State() == fwsMinimized, states_.RolledUp());
}

TPoint TbsSkinForm::MinTrackSizeFor(bool minimized, bool rolled_up) const {
    return skin::MinTrackSize([&] {
        TTrackSizeInput in;
        in.skinned = skinned_;
        if (skinned_) {
            in.picture_width = skinData_->MainPicture().Width();
            in.picture_height = skinData_->MainPicture().Height();
            in.client_rect = skinData_->FormInfo().client_rect;
        }
        in.caption_height = CaptionHeight();
        in.min_width = minWidth_;
        in.min_height = minHeight_;
        in.minimized = minimized;
        in.rolled_up = rolled_up;
        return in;
    }());
}

TPoint TbsSkinForm::MaxTrackSize() const {
    TTrackSizeInput in;
    in.max_width = maxWidth_;
    in.max_height = maxHeight_;
    TRect area{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (form_->HandleAllocated()) {
        area = WorkAreaOf(form_->Handle(), true);
    }
    in.monitor_width = area.Width();
    in.monitor_height = area.Height();
    return skin::MaxTrackSize(in);
}

void TbsSkinForm::RepaintFrame() {
    if (form_->HandleAllocated()) {
        SendMessageW(form_->Handle(), WM_NCPAINT, 1, 0);
    }
}

void TbsSkinForm::UpdateActive(bool repaint) {
    const bool active = formActiveFlag_;
    frameActive_ = active;
    bool fade = false;
    for (TbsFrameObject& o : objects_) {
        if (o.place.kind == fokCaption && o.active != active) {
            o.active = active;
            if (o.morphing && !repaint) {
                o.morph = active ? 1 : 0;
            }
            fade = o.morphing && repaint;
            break;
        }
    }
    if (repaint) {
        RepaintFrame();
        if (fade) {
            StartObjectTimer(kMorphTimer, kMorphPeriod);
        }
    }
    const framework::TNotifyEvent& event = active ? OnActivate : OnDeActivate;
    if (event) {
        event(this);
    }
}

void TbsSkinForm::RemoveRegion() {
    if (region_ != nullptr && form_->HandleAllocated()) {
        // The window owns the region it was given and deletes it itself.
        SetWindowRgn(form_->Handle(), nullptr, TRUE);
    }
    region_ = nullptr;
}

void TbsSkinForm::RegionAndLayout() {
    if (!skinned_ || !form_->HandleAllocated()) {
        return;
    }
    UpdateGeometry();
    LayoutObjects();
    bool regionSet = false;
    const TBitmapData& mask = skinData_->MaskPicture();
    if (!HasBorder()) {
        RemoveRegion();
    } else if (mask.Empty()) {
        RemoveRegion();
        maskBands_ = {};
    } else {
        const TPartGeometry from = PictureMaskParts(skinData_->FormInfo());
        const TPartGeometry to = WindowMaskParts(geometry_);
        BuildMaskBands(mask, from, to, lastWidth_, lastHeight_, maskBands_.top, maskBands_.bottom,
                       maskBands_.left, maskBands_.right);
        HRGN region = MaskToRegion9(mask, from, to, lastWidth_, lastHeight_);
        if (region != nullptr) {
            // Handed over: the window deletes it when it gets another one.
            SetWindowRgn(form_->Handle(), region, TRUE);
            region_ = region;
            regionSet = true;
        } else {
            RemoveRegion();
        }
    }
    if (!regionSet) {
        RepaintFrame();
    }
}

void TbsSkinForm::CalcClientRect(RECT& r) {
    if (!HasBorder()) {
        return;
    }
    TFrameInsets insets = BuiltInInsets(ToolWindow());
    if (skinned_) {
        const TBitmapData& main = skinData_->MainPicture();
        insets = SkinnedInsets(skinData_->FormInfo(), main.Width(), main.Height());
    }
    const TRect c = InsetClientRect(TRect{r.left, r.top, r.right, r.bottom}, insets);
    r = RECT{c.left, c.top, c.right, c.bottom};
}

int TbsSkinForm::HitTest(TPoint p) {
    RememberSize();
    UpdateGeometry();
    LayoutObjects();
    if (skinned_) {
        TSkinHitTest t;
        t.width = lastWidth_;
        t.height = lastHeight_;
        t.geometry = &geometry_;
        t.mask = skinData_->MaskPicture().Empty() ? nullptr : &maskBands_;
        t.border_width = skinData_->FormInfo().border_width;
        t.sizeable = Sizeable();
        t.object_active = activeObject_ >= 0;
        t.in_size_move = inSizeMove_;
        t.maximized = states_.State() == fwsMaximized;
        t.rolled_up_or_minimized = states_.RolledUp() || states_.State() == fwsMinimized;
        for (const TbsFrameObject& o : objects_) {
            if (o.place.kind == fokCaption) {
                t.captions.push_back(o.place.object_rect);
            }
        }
        return HitTestSkinned(t, p);
    }
    TBuiltInHitTest t;
    t.width = lastWidth_;
    t.height = lastHeight_;
    t.caption_height = CaptionHeight();
    t.caption = builtInCaption_;
    t.sizeable = Sizeable();
    t.maximized = states_.State() == fwsMaximized;
    t.rolled_up = states_.RolledUp();
    t.minimized = states_.State() == fwsMinimized;
    t.object_active = activeObject_ >= 0;
    return HitTestBuiltIn(t, p);
}

std::string TbsSkinForm::FitCaption(TCanvas& canvas, int width) const {
    std::string text = form_->Caption();
    FitTextWithEllipsis(text, width, [&canvas](std::string_view s) { return canvas.TextWidth(s); });
    return text;
}

void TbsSkinForm::DrawCaptionText(const TbsFrameObject& o, bool active, TCanvas& canvas, int ox,
                                  int oy) {
    const auto& c = *static_cast<const TbsDataSkinCaption*>(o.data);
    const TRect& r = o.place.object_rect;
    const TRect frame =
        active && !c.active_frame_rect.IsEmpty() ? c.active_frame_rect : c.frame_rect;
    const TRect area =
        CaptionTextArea(c.text_rect, c.skin_rect, c.frame_rect, c.frame_text_rect, r.Width());
    const std::string& caption = form_->Caption();
    if (caption.empty() || area.IsEmpty()) {
        return;
    }
    framework::TFont& font = canvas.Font();
    font.SetName(c.font.name);
    font.SetHeight(c.font.height);
    font.SetStyle(c.font.style);
    font.SetCharset(skinData_->ResourceStrData() != nullptr ? c.font.charset
                                                            : defCaptionFont_.Charset());
    const std::string text = FitCaption(canvas, area.Width());
    const SIZE size = canvas.TextExtent(text);
    const TPoint at = CaptionTextOrigin(area, c.alignment, size.cx, size.cy);
    const int x = ox + at.x;
    const int y = oy + at.y;
    if (!frame.IsEmpty() && o.picture != nullptr) {
        // A frame behind the text, as long as the text.
        TBitmapData strip;
        const int w = frame.Width() + size.cx - c.frame_text_rect.Width();
        BuildPartImage3H(*o.picture, frame, c.frame_left_offset, c.frame_right_offset, w, strip);
        canvas.Draw(x - c.frame_text_rect.left, y - c.frame_text_rect.top, strip);
    }
    canvas.Brush().SetStyle(framework::bsClear);
    if (c.shadow) {
        font.SetColor(active ? c.active_shadow_color : c.shadow_color);
        canvas.TextOut(x + 1, y + 1, text);
    }
    font.SetColor(active ? c.active_font_color : c.font.color);
    canvas.TextOut(x, y, text);
}

void TbsSkinForm::RenderCaptionLook(const TbsFrameObject& o, bool active, TBitmap& look) {
    const auto& c = *static_cast<const TbsDataSkinCaption*>(o.data);
    const TRect& r = o.place.object_rect;
    const TBitmapData& source = active ? *o.picture : skinData_->MainPicture();
    const TRect& piece = active ? c.active_skin_rect : c.skin_rect;
    // Split like the frame's top band: the ends stay, the middle repeats.
    const TSkinFormInfo& info = skinData_->FormInfo();
    const int left = std::max(info.left_top_point.x - c.skin_rect.left, 0);
    const int right = std::max(c.skin_rect.right - info.right_top_point.x, 0);
    TBitmapData background;
    if (left == 0 && right == 0) {
        background = TBitmapData(r.Width(), r.Height(), framework::pf24bit);
        CopyLook(background, TRect{0, 0, r.Width(), r.Height()}, source, piece);
    } else {
        BuildPartImage3H(source, piece, left, right, r.Width(), background);
    }
    look = TBitmap(r.Width(), r.Height());
    look.Canvas().Draw(0, 0, background);
    DrawCaptionText(o, active, look.Canvas(), 0, 0);
}

void TbsSkinForm::DrawCaption(const TbsFrameObject& o, TBitmap& band, int dy) {
    const auto& c = *static_cast<const TbsDataSkinCaption*>(o.data);
    const TRect& r = o.place.object_rect;
    const int ox = r.left;
    const int oy = r.top - dy;
    const bool between = o.morphing && ((o.active && o.morph != 1) || (!o.active && o.morph != 0));
    if (between) {
        // Fading between the looks on (de)activation. The inactive effect,
        // when the skin asks for it, is applied to the whole band later.
        TBitmap normal, active;
        RenderCaptionLook(o, false, normal);
        RenderCaptionLook(o, true, active);
        TbsEffectBmp mixed(normal);
        Blend(mixed, TbsEffectBmp(active), c.morph_kind, o.morph);
        mixed.Draw(band, ox, oy);
    } else if (c.active_skin_rect.IsEmpty() || o.picture == nullptr ||
               (!frameActive_ && !o.morphing)) {
        // The band already holds the caption's background.
        DrawCaptionText(o, frameActive_, band.Canvas(), ox, oy);
    } else {
        TBitmap look;
        RenderCaptionLook(o, frameActive_, look);
        band.Canvas().Draw(ox, oy, look);
    }
}

void TbsSkinForm::DrawObject(const TbsFrameObject& o, TBitmap& band, int dy) {
    if (!o.place.visible) {
        return;
    }
    if (o.place.kind == fokCaption) {
        DrawCaption(o, band, dy);
        return;
    }
    if (o.data == nullptr) {
        return;
    }
    const TRect to = o.place.object_rect.Offset(0, -dy);
    if (o.place.kind == fokUser) {
        if (OnPaintEvent) {
            OnPaintEvent(o.id_name, band.Canvas(), to);
        }
        return;
    }
    const TBitmapData* main = &skinData_->MainPicture();
    const TBitmapData* picture = o.picture;
    const TBitmapData* normal_source = o.place.in_picture ? picture : main;
    const auto copy = [&](const TBitmapData* source, const TRect& look) {
        if (source != nullptr && !look.IsEmpty()) {
            CopyLook(band, to, *source, look);
        }
    };
    if (o.place.kind == fokAnimate) {
        const TRect& strip = o.data->active_skin_rect;
        const int w = o.data->skin_rect.Width();
        const int h = o.data->skin_rect.Height();
        const int frame = std::clamp(o.animation.frame, 1, std::max(o.animation.count, 1));
        copy(picture,
             TRect{strip.left + w * (frame - 1), strip.top, strip.left + w * frame, strip.top + h});
        return;
    }
    const auto* button = dynamic_cast<const TbsDataSkinButton*>(o.data);
    // The normal and the active look, blended while the object fades.
    const auto draw_base = [&](const TRect& normal, const TRect& active_look,
                               const TBitmapData* normal_from, bool always_normal) {
        const bool between =
            o.morphing && ((o.active && o.morph != 1) || (!o.active && o.morph != 0));
        if (between && picture != nullptr && normal_from != nullptr && !active_look.IsEmpty()) {
            TBitmap a(to.Width(), to.Height());
            TBitmap b(to.Width(), to.Height());
            CopyLook(a, TRect{0, 0, to.Width(), to.Height()}, *normal_from, normal);
            CopyLook(b, TRect{0, 0, to.Width(), to.Height()}, *picture, active_look);
            TbsEffectBmp mixed(a);
            Blend(mixed, TbsEffectBmp(b), o.data->morph_kind, o.morph);
            mixed.Draw(band, to.left, to.top);
        } else if (!o.active || active_look.IsEmpty()) {
            if (always_normal || o.place.in_picture) {
                copy(normal_from, normal);
            }
        } else {
            copy(picture, active_look);
        }
    };
    if (button != nullptr && !o.enabled && !button->disable_skin_rect.IsEmpty()) {
        copy(picture, button->disable_skin_rect);
        return;
    }
    const bool use_inactive = o.enabled && !frameActive_ && !o.data->inactive_skin_rect.IsEmpty();
    if (ShowsIcon(o) && o.enabled && !use_inactive) {
        if (HICON icon = SmallIcon()) {
            DrawIconEx(band.Canvas().Handle(), to.left, to.top, icon, to.Width(), to.Height(), 0,
                       nullptr, DI_NORMAL);
        }
        return;
    }
    const auto* std_button = dynamic_cast<const TbsDataSkinStdButton*>(o.data);
    if (std_button != nullptr && !use_inactive && !std_button->restore_rect.IsEmpty() &&
        RestoreLook(o)) {
        if (!frameActive_ && !std_button->restore_inactive_rect.IsEmpty()) {
            copy(picture, std_button->restore_inactive_rect);
        } else if (o.down && o.mouse_in && !std_button->restore_down_rect.IsEmpty()) {
            copy(picture, std_button->restore_down_rect);
        } else {
            draw_base(std_button->restore_rect, std_button->restore_active_rect, picture, true);
        }
        return;
    }
    if (button != nullptr && o.down && o.mouse_in && !button->down_rect.IsEmpty()) {
        copy(picture, button->down_rect);
        return;
    }
    if (use_inactive) {
        copy(picture, o.data->inactive_skin_rect);
        return;
    }
    draw_base(o.data->skin_rect, o.data->active_skin_rect, normal_source, false);
}

void TbsSkinForm::PaintSkinnedFrame() {
    if (lastWidth_ == 0 || lastHeight_ == 0) {
        RememberSize();
    }
    const TPoint min = MinTrackSize();
    if (lastWidth_ < min.x || lastHeight_ < min.y) {
        return;
    }
    UpdateGeometry();
    LayoutObjects();
    const TSkinFormInfo& info = skinData_->FormInfo();
    const TBitmapData& main = skinData_->MainPicture();
    const TBitmapData& source = !frameActive_ && !skinData_->InactivePicture().Empty()
                                    ? skinData_->InactivePicture()
                                    : main;
    TBitmap top, bottom, left, right;
    BuildFrameBands(
        source, TRect{0, 0, source.Width(), source.Height()}, PictureFrameParts(info),
        WindowFrameParts(geometry_), lastWidth_, lastHeight_,
        TBandStretch{info.left_stretch, info.right_stretch, info.top_stretch, info.bottom_stretch},
        top, bottom, left, right);
    const TRect& client = geometry_.client;
    for (const TbsFrameObject& o : objects_) {
        if (o.place.object_rect.bottom > client.top) {
            if (!bottom.Empty()) {
                DrawObject(o, bottom, client.bottom);
            }
        } else if (!top.Empty()) {
            DrawObject(o, top, 0);
        }
    }
    const bool effect = !frameActive_ && info.auto_rendering_inactive_image;
    HDC dc = GetWindowDC(form_->Handle());
    if (dc == nullptr) {
        return;
    }
    if (!client.IsEmpty()) {
        ExcludeClipRect(dc, client.left, client.top, client.right, client.bottom);
    }
    {
        TCanvas canvas(dc);
        auto draw = [&](TBitmap& band, int x, int y) {
            if (band.Empty()) {
                return;
            }
            if (!effect) {
                canvas.Draw(x, y, band);
                return;
            }
            TbsEffectBmp picture(band);
            ApplyInactiveEffect(picture, info.inactive_effect,
                                [](int range) { return rand() % range; });
            canvas.Draw(x, y, picture.ToBitmap());
        };
        draw(top, 0, 0);
        draw(left, 0, client.top);
        draw(right, lastWidth_ - right.Width(), client.top);
        draw(bottom, 0, lastHeight_ - bottom.Height());
    }
    ReleaseDC(form_->Handle(), dc);
}

void TbsSkinForm::DrawDefaultButton(const TbsFrameObject& o, TBitmap& target, int dx, int dy) {
    if (!o.place.visible || o.place.object_rect.IsEmpty()) {
        return;
    }
    const TRect r = o.place.object_rect.Offset(-dx, -dy);
    TBitmap look(r.Width(), r.Height());
    TCanvas& c = look.Canvas();
    const bool over = o.active && o.mouse_in;
    if (over) {
        c.Brush().SetColor(framework::clNavy);
        c.FillRect(framework::Rect(0, 0, r.Width(), r.Height()));
        c.Brush().SetColor(o.down ? RGB(133, 146, 181) : RGB(182, 189, 210));
        c.FillRect(framework::Rect(1, 1, r.Width() - 1, r.Height() - 1));
    } else {
        c.Brush().SetColor(framework::clBtnFace);
        c.FillRect(framework::Rect(0, 0, r.Width(), r.Height()));
    }
    const TColor ink = Rgb(o.enabled ? framework::clBtnText : framework::clBtnShadow);
    const bool pressed = over && o.down;
    const int x = r.Width() / 2 - (pressed ? 4 : 5);
    const int y = r.Height() / 2 - (pressed ? 3 : 4);
    const bool restore = RestoreLook(o);
    switch (o.place.command) {
        case cmClose:
            DrawCloseMark(look, x, y, ink);
            break;
        case cmMaximize:
            (restore ? DrawRestoreMark : DrawMaximizeMark)(look, x, y, ink);
            break;
        case cmMinimize:
            (restore ? DrawRestoreMark : DrawMinimizeBarMark)(look, x, y, ink);
            break;
        case cmSysMenu:
            if (showIcon_ && SmallIcon() != nullptr) {
                DrawIconEx(look.Canvas().Handle(), 0, 0, SmallIcon(), r.Width(), r.Height(), 0,
                           nullptr, DI_NORMAL);
            } else {
                DrawMinimizeMark(look, x, y, ink);
            }
            break;
        case cmRollUp:
            // An upward triangle: the window rolls up.
            DrawRollDownMark(look, x, y, ink);
            break;
        case cmMinimizeToTray:
            DrawSquareMark(look, x, y, ink);
            break;
        default:
            break;
    }
    target.Canvas().Draw(r.left, r.top, look);
}

void TbsSkinForm::PaintBuiltInFrame() {
    if (lastWidth_ == 0 || lastHeight_ == 0) {
        RememberSize();
    }
    LayoutObjects();
    const int w = lastWidth_;
    const int h = lastHeight_;
    const int ch = CaptionHeight();
    if (w < 7 || h < 7) {
        return;
    }
    TBitmap frame(w, h);
    TCanvas& fc = frame.Canvas();
    // The three nested one-pixel frames of the border.
    const struct {
        framework::TColor topLeft, bottomRight;
    } rings[] = {{framework::cl3DLight, framework::cl3DDkShadow},
                 {framework::clBtnHighlight, framework::clBtnShadow},
                 {framework::clBtnFace, framework::clBtnFace}};
    for (int i = 0; i < 3; ++i) {
        DrawFrame3D(frame, TRect{i, i, w - i, h - i}, Rgb(rings[i].topLeft),
                    Rgb(rings[i].bottomRight));
    }
    // The caption picture, 3 pixels in from the window's corner.
    TBitmap caption(w - 6, ch);
    TCanvas& cc = caption.Canvas();
    cc.Brush().SetColor(framework::clBtnFace);
    cc.FillRect(framework::Rect(0, 0, w - 6, ch));
    // The caption rectangle lies 3 pixels further left and up in the picture.
    const int zoneLeft = builtInCaption_.left - 3;
    const int zoneRight = builtInCaption_.right - 3;
    if (ch - 4 > 1) {
        for (int i = 0; i < ch - 5; ++i) {
            const TColor colour =
                Rgb(i % 2 == 0 ? framework::clBtnHighlight : framework::clBtnShadow);
            DrawLine(caption, builtInCaption_.left - 1, 2 + i, builtInCaption_.right - 6, 2 + i,
                     colour);
        }
    }
    framework::TFont& font = cc.Font();
    font.Assign(frameActive_ ? defCaptionFont_ : defInactiveCaptionFont_);
    const std::string text = FitCaption(cc, std::max(zoneRight - zoneLeft, 0));
    if (!text.empty()) {
        const SIZE size = cc.TextExtent(text);
        const int boxWidth = size.cx + 5;
        const int boxLeft = zoneLeft + (zoneRight - zoneLeft) / 2 - boxWidth / 2;
        cc.Brush().SetColor(framework::clBtnFace);
        cc.FillRect(framework::Rect(boxLeft, 0, boxLeft + boxWidth, ch));
        cc.Brush().SetStyle(framework::bsClear);
        cc.TextOut(boxLeft + 3, ch / 2 - size.cy / 2, text);
    }
    for (const TbsFrameObject& o : objects_) {
        DrawDefaultButton(o, caption, 3, 3);
    }
    fc.Draw(3, 3, caption);
    HDC dc = GetWindowDC(form_->Handle());
    if (dc == nullptr) {
        return;
    }
    ExcludeClipRect(dc, 3, ch + 3, w - 3, h - 3);
    {
        TCanvas canvas(dc);
        canvas.Draw(0, 0, frame);
    }
    ReleaseDC(form_->Handle(), dc);
}

void TbsSkinForm::PaintClientBackground(HDC dc) {
    RECT client;
    GetClientRect(form_->Handle(), &client);
    const int w = client.right - client.left;
    const int h = client.bottom - client.top;
    TCanvas canvas(dc);
    const TBitmapData* tile = nullptr;
    TRect piece;
    if (skinned_) {
        const TSkinFormInfo& info = skinData_->FormInfo();
        if (info.bg_picture_index >= 0) {
            tile = skinData_->Picture(info.bg_picture_index);
            if (tile != nullptr) {
                piece = TRect{0, 0, tile->Width(), tile->Height()};
            }
        } else {
            tile = &skinData_->MainPicture();
            piece = info.client_rect.Intersect(TRect{0, 0, tile->Width(), tile->Height()});
        }
    }
    if (tile != nullptr && !piece.IsEmpty() && w > 0 && h > 0) {
        TBitmap tiles;
        BuildTiledImage(*tile, piece, w, h, tiles);
        canvas.Draw(0, 0, tiles);
    } else {
        canvas.Brush().SetColor(framework::clBtnFace);
        canvas.FillRect(client);
    }
    if (!logo_.Empty()) {
        logo_.SetTransparent(logoTransparent_);
        canvas.Draw(std::max(w / 2 - logo_.Width() / 2, 0), std::max(h / 2 - logo_.Height() / 2, 0),
                    logo_);
    }
}

void TbsSkinForm::WndProc(TMessage& m, const TWndMethod& previous) {
    // Moving, sizing, activation, focus changes and clicks close an open
    // menu.
    if (menuFilter_ != 0 || skinHint_ != nullptr) {
        switch (m.Msg) {
            case WM_MOVE:
            case WM_SIZE:
            case WM_ACTIVATE:
            case WM_KILLFOCUS:
            case WM_CANCELMODE:
            case WM_MOUSEACTIVATE:
            case WM_NCLBUTTONDOWN:
            case WM_NCRBUTTONDOWN:
            case WM_NCMBUTTONDOWN:
            case WM_LBUTTONDOWN:
            case WM_RBUTTONDOWN:
            case WM_MBUTTONDOWN:
            case WM_PARENTNOTIFY:
                if (skinHint_ != nullptr) {
                    skinHint_->HideHint();
                }
                if (menuFilter_ != 0) {
                    CloseSkinMenus();
                }
                break;
            default:
                break;
        }
    }
    switch (m.Msg) {
        case WM_NCMOUSEMOVE: {
            previous(m);
            const TPoint p = WindowPoint(PointFromLParam(m.LParam));
            const int target = captureObject_ >= 0 ? captureObject_ : activeObject_;
            if (target >= 0 && target < static_cast<int>(objects_.size()) && OnMouseMoveEvent) {
                OnMouseMoveEvent(objects_[target].id_name, p.x, p.y,
                                 objects_[target].place.object_rect);
            }
            return;
        }
        case WM_NCLBUTTONDOWN:
        case WM_NCLBUTTONDBLCLK: {
            previous(m);
            const TPoint p = WindowPoint(PointFromLParam(m.LParam));
            HoverTest(p, true);
            if (activeObject_ >= 0) {
                const int index = activeObject_;
                if (objects_[index].place.kind != fokCaption) {
                    SetCapture(form_->Handle());
                }
                captureObject_ = index;
                ObjectDown(index, framework::mbLeft, p);
                if (m.Msg == WM_NCLBUTTONDBLCLK) {
                    ObjectDoubleClick(index);
                    return;  // the form may be closing
                }
            }
            if (m.WParam == HTCAPTION) {
                captureObject_ = -1;
                if (m.Msg == WM_NCLBUTTONDBLCLK) {
                    switch (states_.DoubleClick(Sizeable(), borderIcons_)) {
                        case cdcRestore:
                            SetWindowState(fwsNormal);
                            break;
                        case cdcMaximize:
                            SetWindowState(fwsMaximized);
                            break;
                        case cdcRollUp:
                            RollUp(true);
                            break;
                        case cdcRollDown:
                            RollUp(false);
                            break;
                        case cdcNothing:
                            break;
                    }
                }
            }
            return;
        }
        case WM_NCLBUTTONUP:
        case WM_NCRBUTTONUP:
        case WM_LBUTTONUP:
        case WM_RBUTTONUP: {
            previous(m);
            if (captureObject_ < 0 || captureObject_ >= static_cast<int>(objects_.size())) {
                return;
            }
            // Where the button went up decides: a release away from the
            // object does not run it, however fast the pointer left.
            POINT cursor;
            GetCursorPos(&cursor);
            HoverTest(WindowPoint(TPoint{cursor.x, cursor.y}), true);
            const int index = captureObject_;
            if (index < 0) {
                return;
            }
            // Forgotten first: releasing the mouse tells this window its
            // capture changed, which must not pop the button up.
            captureObject_ = -1;
            if (objects_[index].place.kind != fokCaption) {
                ReleaseCapture();
            }
            const bool left = m.Msg == WM_NCLBUTTONUP || m.Msg == WM_LBUTTONUP;
            const TPoint p = m.Msg == WM_NCLBUTTONUP || m.Msg == WM_NCRBUTTONUP
                                 ? WindowPoint(PointFromLParam(m.LParam))
                                 : TPoint{-1, -1};
            ObjectUp(index, left ? framework::mbLeft : framework::mbRight, p);
            return;  // nothing after: the form may be closing
        }
        case WM_CAPTURECHANGED:
            previous(m);
            // Another window took the mouse: a pressed button pops up. (A
            // release, by the form's own button-up handling, leaves the
            // capture to nobody and is followed by the button-up below.)
            if (captureObject_ >= 0 && m.LParam != 0 &&
                reinterpret_cast<HWND>(m.LParam) != form_->Handle()) {
                const int index = captureObject_;
                captureObject_ = -1;
                if (index < static_cast<int>(objects_.size())) {
                    objects_[index].down = false;
                    objects_[index].active = false;
                    objects_[index].mouse_in = false;
                    RepaintObject(index);
                }
            }
            return;
        case WM_TIMER:
            if (m.WParam == kFadeTimer) {
                KillTimer(form_->Handle(), kFadeTimer);
                FadeIn();  // the form may be gone after it
                return;
            }
            if (m.WParam == kHoverTimer || m.WParam == kMorphTimer || m.WParam == kAnimationTimer) {
                if (m.WParam == kHoverTimer) {
                    HoverTick();
                } else if (m.WParam == kMorphTimer) {
                    MorphTick();
                } else {
                    AnimationTick();
                }
                return;
            }
            previous(m);
            return;
        case WM_DESTROY:
            for (UINT_PTR id : {kHoverTimer, kMorphTimer, kAnimationTimer}) {
                StopObjectTimer(id);
            }
            previous(m);
            return;
        case WM_NCRBUTTONDOWN:
            previous(m);
            HoverTest(WindowPoint(PointFromLParam(m.LParam)), true);
            if (m.WParam == HTCAPTION) {
                POINT cursor;
                GetCursorPos(&cursor);
                PopupSystemMenu(TRect{cursor.x, cursor.y, cursor.x, cursor.y});
            }
            return;
        case WM_CLOSE_SKIN_MENUS:
            CloseSkinMenus();
            previous(m);
            return;
        case WM_SIZE:
            if (inSizeMove_ && fullDrag_) {
                previous(m);
            } else {
                previous(m);
                RememberSize();
                if (!skinned_) {
                    RepaintFrame();
                } else {
                    const TPoint min = MinTrackSize();
                    if (lastWidth_ >= min.x && lastHeight_ >= min.y) {
                        RegionAndLayout();
                    }
                }
            }
            if (alphaBlend_ && alphaBlendValue_ != 255 && LayeredWindowsUsable()) {
                RepaintFrame();
                form_->Invalidate();
            }
            if (!logo_.Empty()) {
                form_->Invalidate();
            }
            return;
        case WM_ACTIVATE:
            previous(m);
            formActiveFlag_ = LOWORD(m.WParam) != WA_INACTIVE;
            ResetObjects();
            activeObject_ = -1;
            UpdateActive(true);
            return;
        case WM_SETTEXT:
            previous(m);
            if (HasBorder()) {
                RepaintFrame();
            }
            return;
        case WM_ERASEBKGND:
            PaintClientBackground(reinterpret_cast<HDC>(m.WParam));
            m.Result = 1;
            return;
        case WM_SHOWWINDOW:
            if (LayeredWindowsUsable()) {
                if (m.WParam != 0 && (alphaBlend_ || alphaBlendAnimation_)) {
                    // Shown transparent; the fade runs from the first timer
                    // tick, once the window is on the screen.
                    SetLayered(true);
                    SetOpacity(0);
                    SetTimer(form_->Handle(), kFadeTimer, 1, nullptr);
                } else if (m.WParam == 0 && alphaBlend_) {
                    SetLayered(false);
                }
            }
            if (m.WParam != 0) {
                SizeNudge();
            }
            previous(m);
            return;
        case WM_SETCURSOR:
            if (useFormCursorInNCArea_) {
                const int hit = LOWORD(m.LParam);
                if (hit != HTCLIENT && (hit < HTLEFT || hit > HTBOTTOMRIGHT)) {
                    m.LParam = MAKELPARAM(HTCLIENT, HIWORD(m.LParam));
                }
            }
            previous(m);
            return;
        case WM_GETMINMAXINFO: {
            auto* info = reinterpret_cast<MINMAXINFO*>(m.LParam);
            const TPoint min = MinTrackSize();
            const TPoint max = MaxTrackSize();
            info->ptMinTrackSize = POINT{min.x, min.y};
            info->ptMaxTrackSize = POINT{max.x, max.y};
            previous(m);
            info->ptMinTrackSize = POINT{min.x, min.y};
            info->ptMaxTrackSize = POINT{max.x, max.y};
            return;
        }
        case WM_NCCALCSIZE: {
            RECT& r = m.WParam != 0 ? reinterpret_cast<NCCALCSIZE_PARAMS*>(m.LParam)->rgrc[0]
                                    : *reinterpret_cast<RECT*>(m.LParam);
            CalcClientRect(r);
            m.Result = 0;
            return;
        }
        case WM_NCHITTEST: {
            const TPoint p = WindowPoint(PointFromLParam(m.LParam));
            m.Result = HitTest(p);
            if (m.Result == htObject && !timers_[kHoverTimer]) {
                HoverTest(p, true);
                StartObjectTimer(kHoverTimer, kHoverPeriod);
            }
            return;
        }
        case WM_NCPAINT:
            if (HasBorder() && form_->HandleAllocated()) {
                if (skinned_) {
                    PaintSkinnedFrame();
                } else {
                    PaintBuiltInFrame();
                }
            }
            m.Result = 0;
            return;
        case WM_NCACTIVATE:
            formActiveFlag_ = m.WParam != 0;
            m.Result = 1;
            UpdateActive(HasBorder());
            return;
        case WM_SYSCOMMAND:
            if ((m.WParam & 0xFFF0) == SC_KEYMENU) {
                // Alt+Space opens the system menu under the caption's left
                // end; Alt alone closes an open menu.
                if (menuFilter_ != 0) {
                    CloseSkinMenus();
                } else if (m.LParam == ' ' && form_->HandleAllocated()) {
                    RECT window;
                    GetWindowRect(form_->Handle(), &window);
                    const int top =
                        window.top + (skinned_ ? geometry_.client.top : CaptionHeight() + 3);
                    PopupSystemMenu(TRect{window.left, window.top, window.left, top});
                }
                m.Result = 0;
                return;
            }
            previous(m);
            return;
        case WM_ENTERSIZEMOVE:
            ResetObjects();
            StopObjectTimer(kHoverTimer);
            activeObject_ = -1;
            captureObject_ = -1;
            inSizeMove_ = true;
            {
                BOOL full = FALSE;
                SystemParametersInfoW(SPI_GETDRAGFULLWINDOWS, 0, &full, 0);
                fullDrag_ = full != FALSE;
            }
            previous(m);
            return;
        case WM_EXITSIZEMOVE:
            StopObjectTimer(kHoverTimer);
            activeObject_ = -1;
            captureObject_ = -1;
            // Over at once: a loop started from the keyboard must not leave
            // the flag for the next click to trip over.
            inSizeMove_ = false;
            if (skinned_) {
                RepaintFrame();
            }
            previous(m);
            return;
        case WM_MOVING: {
            auto* proposed = reinterpret_cast<RECT*>(m.LParam);
            if (states_.State() == fwsMaximized) {
                // A maximized window stays where it is.
                GetWindowRect(form_->Handle(), proposed);
            } else if (magnetic_) {
                // The monitor the window is being moved to.
                const TRect moved{proposed->left, proposed->top, proposed->right, proposed->bottom};
                HMONITOR monitor = MonitorFromRect(proposed, MONITOR_DEFAULTTONEAREST);
                MONITORINFO info{};
                info.cbSize = sizeof info;
                TRect area = WorkAreaOf(form_->Handle(), true);
                if (monitor != nullptr && GetMonitorInfoW(monitor, &info)) {
                    area = TRect{info.rcWork.left, info.rcWork.top, info.rcWork.right,
                                 info.rcWork.bottom};
                }
                const TRect snapped = SnapToArea(moved, area, magneticSize_);
                *proposed = RECT{snapped.left, snapped.top, snapped.right, snapped.bottom};
            }
            previous(m);
            return;
        }
        case WM_SYNCPAINT:
            if (states_.RolledUp()) {
                RepaintFrame();
                m.Result = 0;
                return;
            }
            previous(m);
            return;
        case WM_SIZING:
            if (inSizeMove_ && fullDrag_) {
                previous(m);
                const auto* r = reinterpret_cast<const RECT*>(m.LParam);
                lastWidth_ = r->right - r->left;
                lastHeight_ = r->bottom - r->top;
                const TPoint min = MinTrackSize();
                if (lastWidth_ >= min.x && lastHeight_ >= min.y) {
                    RegionAndLayout();
                }
                return;
            }
            previous(m);
            return;
        case WM_SKINDATA_CHANGING: {
            auto* sender = reinterpret_cast<TbsSkinData*>(m.WParam);
            if (sender != nullptr && sender == skinData_) {
                PrepareSkinChange();
            }
            RelaySkinChange(*form_, WM_SKINDATA_CHANGING, sender);
            previous(m);
            return;
        }
        case WM_SKINDATA_CHANGED: {
            auto* sender = reinterpret_cast<TbsSkinData*>(m.WParam);
            if (sender != nullptr && sender == skinData_) {
                ApplySkin();
            }
            RelaySkinChange(*form_, WM_SKINDATA_CHANGED, sender);
            previous(m);
            return;
        }
        default:
            previous(m);
            return;
    }
}

// --- Objects and the mouse ---

namespace {

bool IsButton(const TbsFrameObject& o) {
    return o.place.kind == fokStdButton || o.place.kind == fokButton;
}

}  // namespace

void TbsSkinForm::ClearObjects() {
    if (activeObject_ >= 0 && activeObject_ < static_cast<int>(objects_.size())) {
        ObjectHint(objects_[activeObject_], false);
    }
    objects_.clear();
    ++objectsGeneration_;
    activeObject_ = -1;
    captureObject_ = -1;
}

void TbsSkinForm::SetUseDefaultObjectHint(bool value) {
    useDefaultObjectHint_ = value;
    ReloadHints();
}

void TbsSkinForm::ReloadHints() {
    if (!useDefaultObjectHint_ || skinData_ == nullptr) {
        return;
    }
    const struct {
        TStdCommand command;
        const char* key;
        const char* text;
    } hints[] = {{cmClose, "CLOSEBUTTON_HINT", "\xb9\xd8\xb1\xd5"},
                 {cmMaximize, "MAXBUTTON_HINT", "\xd7\xee\xb4\xf3\xbb\xaf"},
                 {cmMinimize, "MINBUTTON_HINT", "\xd7\xee\xd0\xa1\xbb\xaf"},
                 {cmSysMenu, "MENUBUTTON_HINT", "\xcf\xb5\xcd\xb3\xb2\xcb\xb5\xa5"},
                 {cmRollUp, "ROLLUPBUTTON_HINT", "\xbe\xed\xc6\xf0"},
                 {cmMinimizeToTray, "TRAYBUTTON_HINT",
                  "\xd7\xee\xd0\xa1\xbb\xaf\xb5\xbd\xcf\xb5\xcd\xb3\xcd\xd0\xc5\xcc\xc7\xf8"}};
    const TbsResourceStrData* strings = skinData_->ResourceStrData();
    for (TbsFrameObject& o : objects_) {
        if (o.place.kind != fokStdButton && o.place.kind != fokAnimate) {
            continue;
        }
        for (const auto& h : hints) {
            if (h.command == o.place.command) {
                const std::string text = strings != nullptr ? strings->Lookup(h.key) : "";
                o.hint = text.empty() ? h.text : text;
            }
        }
    }
}

void TbsSkinForm::StartObjectTimer(UINT_PTR id, UINT period) {
    if (!timers_[id] && form_->HandleAllocated()) {
        timers_[id] = SetTimer(form_->Handle(), id, period, nullptr) != 0;
    }
}

void TbsSkinForm::StopObjectTimer(UINT_PTR id) {
    if (timers_[id] && form_->HandleAllocated()) {
        KillTimer(form_->Handle(), id);
    }
    timers_[id] = false;
}

void TbsSkinForm::RepaintObject(int index) {
    if (index >= 0 && index < static_cast<int>(objects_.size())) {
        RepaintFrame();
    }
}

void TbsSkinForm::HoverTest(TPoint p, bool allow) {
    if (objects_.empty() || !frameActive_) {
        return;
    }
    const int previous = activeObject_;
    int found = -1;
    for (size_t i = 0; i < objects_.size(); ++i) {
        const TbsFrameObject& o = objects_[i];
        if (o.enabled && o.place.visible && o.place.object_rect.Contains(p.x, p.y)) {
            found = static_cast<int>(i);
            break;
        }
    }
    activeObject_ = allow ? found : -1;
    if (captureObject_ >= 0 && captureObject_ != activeObject_) {
        activeObject_ = -1;
    }
    if (activeObject_ == previous) {
        return;
    }
    const uint64_t generation = objectsGeneration_;
    ObjectLeave(previous);
    if (generation == objectsGeneration_) {
        ObjectEnter(activeObject_);
    }
}

void TbsSkinForm::ObjectEnter(int index) {
    if (index < 0 || index >= static_cast<int>(objects_.size())) {
        return;
    }
    TbsFrameObject& o = objects_[index];
    if (!o.enabled || !o.place.visible) {
        return;
    }
    o.mouse_in = true;
    if (o.place.kind == fokAnimate) {
        if (o.place.button_style) {
            o.animation.active = true;
            o.animation.forward = true;
            StartObjectTimer(kAnimationTimer, kAnimationTick);
        }
    } else if (o.place.kind != fokCaption) {
        o.active = true;
        if (o.down && IsButton(o) && o.data != nullptr &&
            !static_cast<const TbsDataSkinButton*>(o.data)->down_rect.IsEmpty()) {
            o.morph = 1;
            RepaintObject(index);
        } else if (o.morphing) {
            StartObjectTimer(kMorphTimer, kMorphPeriod);
        } else {
            RepaintObject(index);
        }
    }
    ObjectHint(o, true);
    if (OnMouseEnterEvent) {
        OnMouseEnterEvent(o.id_name);
    }
}

void TbsSkinForm::ObjectHint(const TbsFrameObject& o, bool show) {
    if (!showObjectHint_ || skinHint_ == nullptr || o.hint.empty()) {
        return;
    }
    if (show) {
        skinHint_->ActivateHint(o.hint);
    } else {
        skinHint_->HideHint();
    }
}

void TbsSkinForm::ObjectLeave(int index) {
    if (index < 0 || index >= static_cast<int>(objects_.size())) {
        return;
    }
    TbsFrameObject& o = objects_[index];
    if (!o.enabled || !o.place.visible) {
        return;
    }
    const bool was_in = o.mouse_in;
    o.mouse_in = false;
    if (o.place.kind == fokAnimate) {
        if (was_in && o.place.button_style) {
            o.animation.active = true;
            o.animation.forward = false;
            StartObjectTimer(kAnimationTimer, kAnimationTick);
        }
    } else if (o.place.kind != fokCaption) {
        o.active = false;
        if (o.morphing) {
            StartObjectTimer(kMorphTimer, kMorphPeriod);
        } else {
            RepaintObject(index);
        }
    }
    ObjectHint(o, false);
    if (OnMouseLeaveEvent) {
        OnMouseLeaveEvent(o.id_name);
    }
}

void TbsSkinForm::ObjectDown(int index, framework::TMouseButton button, TPoint p) {
    if (index < 0 || index >= static_cast<int>(objects_.size())) {
        return;
    }
    TbsFrameObject& o = objects_[index];
    if (IsButton(o) && o.enabled && button == framework::mbLeft && !o.down) {
        o.down = true;
        if (o.morphing) {
            o.morph = 1;
        }
        RepaintObject(index);
        if (o.place.kind == fokStdButton) {
            if (o.place.command == cmSysMenu) {
                PopupSystemMenuUnder(o);
            }
            return;  // caption buttons fire no event
        }
    }
    if (OnMouseDownEvent) {
        OnMouseDownEvent(o.id_name, p.x, p.y, o.place.object_rect, button);
    }
}

void TbsSkinForm::ObjectUp(int index, framework::TMouseButton button, TPoint p) {
    if (index < 0 || index >= static_cast<int>(objects_.size())) {
        return;
    }
    TbsFrameObject& o = objects_[index];
    const auto button_up = [&] {
        if (IsButton(o) && o.enabled && button == framework::mbLeft && o.down) {
            o.down = false;
            RepaintObject(index);
            if (o.morphing) {
                StartObjectTimer(kMorphTimer, kMorphPeriod);
            }
        }
        if (OnMouseUpEvent && o.mouse_in) {
            OnMouseUpEvent(o.id_name, p.x, p.y, o.place.object_rect, button);
        }
    };
    const bool run = o.active && button == framework::mbLeft && o.enabled;
    if (o.place.kind == fokStdButton) {
        if (o.place.command == cmClose) {
            button_up();
            // The form may be freed by its close: nothing is touched after.
            if (run) {
                form_->Close();
            }
            return;
        }
        if (o.place.command != cmSysMenu && run && !RunCommand(o)) {
            return;  // the form may be gone
        }
        button_up();
        return;
    }
    button_up();
    if (o.place.kind == fokAnimate && o.mouse_in && o.place.button_style &&
        button == framework::mbLeft) {
        RunCommand(o);
    }
}

void TbsSkinForm::ObjectDoubleClick(int index) {
    if (index < 0 || index >= static_cast<int>(objects_.size())) {
        return;
    }
    const TbsFrameObject& o = objects_[index];
    if ((o.place.kind == fokStdButton || o.place.kind == fokAnimate) &&
        o.place.command == cmSysMenu) {
        form_->Close();
    }
}

bool TbsSkinForm::RunCommand(const TbsFrameObject& o) {
    switch (o.place.command) {
        case cmClose:
            form_->Close();
            return false;
        case cmMaximize:
            RunFrameCommand(states_.State() == fwsMaximized ? fcRestore : fcMaximize);
            return true;
        case cmMinimize:
            RunFrameCommand(states_.State() == fwsMinimized ? fcRestore
                            : alwaysMinimizeToTray_         ? fcMinimizeToTray
                                                            : fcMinimize);
            return true;
        case cmSysMenu:
            PopupSystemMenuUnder(o);
            return true;
        case cmRollUp:
            RunFrameCommand(states_.RolledUp() ? fcRollDown : fcRollUp);
            return true;
        case cmMinimizeToTray:
            RunFrameCommand(fcMinimizeToTray);
            return true;
        default:
            return true;
    }
}

void TbsSkinForm::HoverTick() {
    if (!frameActive_ || !form_->HandleAllocated()) {
        return;
    }
    if (inSizeMove_) {
        StopObjectTimer(kHoverTimer);
        return;
    }
    POINT cursor;
    GetCursorPos(&cursor);
    const TPoint p = WindowPoint(TPoint{cursor.x, cursor.y});
    if (!geometry_.client.Contains(p.x, p.y) || !skinned_) {
        HoverTest(p, true);
    } else if (activeObject_ >= 0) {
        HoverTest(TPoint{-1, -1}, true);
    }
}

void TbsSkinForm::MorphTick() {
    // A handler run by a repaint may rebuild the objects: the loop stops
    // when the list it walks is gone.
    const uint64_t generation = objectsGeneration_;
    bool stepped = false;
    for (size_t i = 0; i < objects_.size() && generation == objectsGeneration_; ++i) {
        TbsFrameObject& o = objects_[i];
        const bool toward = o.place.kind == fokCaption ? o.active : o.active || o.down;
        if (MorphPending(o.morphing && !ShowsIcon(o), toward, o.morph)) {
            o.morph = MorphStep(o.morph, toward);
            stepped = true;
        }
    }
    if (!stepped) {
        StopObjectTimer(kMorphTimer);
        return;
    }
    RepaintFrame();
}

void TbsSkinForm::AnimationTick() {
    bool running = false;
    bool changed = false;
    for (TbsFrameObject& o : objects_) {
        if (o.place.kind == fokAnimate && o.animation.active) {
            changed = AnimationStep(o.animation) || changed;
            running = true;
        }
    }
    if (!running) {
        StopObjectTimer(kAnimationTimer);
    } else if (changed) {
        RepaintFrame();
    }
}

void TbsSkinForm::ResetObjects() {
    for (TbsFrameObject& o : objects_) {
        if (o.place.kind == fokAnimate) {
            o.mouse_in = false;
            o.animation.active = false;
            o.animation.frame = 1;
        } else if (o.place.kind != fokCaption) {
            o.active = false;
            o.mouse_in = false;
            o.morph = 0;
        }
    }
}

bool TbsSkinForm::RestoreLook(const TbsFrameObject& o) const {
    if (!form_->HandleAllocated()) {
        return false;
    }
    return (o.place.command == cmMaximize && states_.State() == fwsMaximized) ||
           (o.place.command == cmMinimize && states_.State() == fwsMinimized) ||
           (o.place.command == cmRollUp && states_.RolledUp());
}

void TbsSkinForm::SetSkinHint(TbsSkinHint* value) {
    if (skinHint_ != nullptr) {
        skinHint_->HideHint();
        RemoveFreeNotification(skinHint_);
    }
    skinHint_ = value;
    if (value != nullptr) {
        FreeNotification(value);
    }
}

void TbsSkinForm::SetTrayIcon(TbsTrayIcon* value) {
    if (trayIcon_ != nullptr) {
        RemoveFreeNotification(trayIcon_);
    }
    trayIcon_ = value;
    if (value == nullptr) {
        return;
    }
    FreeNotification(value);
    value->SetMinimizeToTray(false);
    value->SetIconVisible(alwaysShowInTray_);
    if (value->PopupMenu() == nullptr) {
        value->SetPopupMenu(trayMenu_);
    }
    if (!value->OnDblClick) {
        value->OnDblClick = [this](framework::TComponent*) { RestoreFromTray(); };
    }
}

void TbsSkinForm::MinimizeToTray() {
    if (trayIcon_ == nullptr) {
        return;
    }
    trayIcon_->SetMinimizeToTray(true);
    if (OnMinimizeToTray) {
        OnMinimizeToTray(this);
    }
}

void TbsSkinForm::RestoreFromTray() {
    if (trayIcon_ == nullptr) {
        return;
    }
    trayIcon_->SetMinimizeToTray(false);
    framework::TApplication& app = framework::Application();
    if (app.Handle() != nullptr) {
        ShowWindow(app.Handle(), SW_RESTORE);
    }
    if (framework::TForm* main = app.MainForm(); main != nullptr) {
        main->Show();
        if (main->HandleAllocated()) {
            // Hidden behind the form's back: shown again the same way.
            ShowWindow(main->Handle(), IsIconic(main->Handle()) ? SW_RESTORE : SW_SHOW);
        }
    }
    trayIcon_->SetIconVisible(alwaysShowInTray_);
    if (OnRestoreFromTray) {
        OnRestoreFromTray(this);
    }
}

bool TbsSkinForm::ShowsIcon(const TbsFrameObject& o) const {
    return showIcon_ && o.place.kind == fokStdButton && o.place.command == cmSysMenu &&
           o.place.in_picture;
}

HICON TbsSkinForm::SmallIcon() {
    if (smallIcon_ != nullptr || !form_->HandleAllocated()) {
        return smallIcon_;
    }
    const HWND h = form_->Handle();
    auto icon = reinterpret_cast<HICON>(SendMessageW(h, WM_GETICON, ICON_SMALL, 0));
    if (icon == nullptr) {
        icon = reinterpret_cast<HICON>(SendMessageW(h, WM_GETICON, ICON_BIG, 0));
    }
    if (icon == nullptr) {
        icon = reinterpret_cast<HICON>(GetClassLongPtrW(h, GCLP_HICONSM));
    }
    if (icon == nullptr) {
        // The program's own first icon, else the system's default one.
        icon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1));
    }
    if (icon == nullptr) {
        icon = LoadIconW(nullptr, IDI_APPLICATION);
    }
    smallIcon_ = icon != nullptr
                     ? static_cast<HICON>(CopyImage(icon, IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                                    GetSystemMetrics(SM_CYSMICON), 0))
                     : nullptr;
    return smallIcon_;
}

void TbsSkinForm::SetOpacity(int value) {
    if (!form_->HandleAllocated()) {
        return;
    }
    using TSetLayered = BOOL(WINAPI*)(HWND, COLORREF, BYTE, DWORD);
    HMODULE user = LoadLibraryW(L"user32.dll");
    if (user == nullptr) {
        return;
    }
    if (const auto set = reinterpret_cast<TSetLayered>(
            reinterpret_cast<void*>(GetProcAddress(user, "SetLayeredWindowAttributes")))) {
        set(form_->Handle(), 0, static_cast<BYTE>(std::clamp(value, 0, 255)), LWA_ALPHA);
    }
    FreeLibrary(user);
}

void TbsSkinForm::SetLayered(bool on) {
    if (!form_->HandleAllocated()) {
        return;
    }
    const HWND h = form_->Handle();
    const LONG_PTR style = GetWindowLongPtrW(h, GWL_EXSTYLE);
    SetWindowLongPtrW(h, GWL_EXSTYLE, on ? style | WS_EX_LAYERED : style & ~WS_EX_LAYERED);
}

void TbsSkinForm::SetAlphaBlend(bool value) {
    if (value == alphaBlend_) {
        return;
    }
    alphaBlend_ = value;
    if (Loading() || Designing() || !LayeredWindowsUsable()) {
        return;
    }
    SetLayered(value);
    if (value) {
        SetOpacity(alphaBlendValue_);
    }
}

void TbsSkinForm::SetAlphaBlendValue(int value) {
    value = std::clamp(value, 0, 255);
    if (value == alphaBlendValue_) {
        return;
    }
    alphaBlendValue_ = value;
    if (alphaBlend_ && !Loading() && !Designing() && LayeredWindowsUsable()) {
        SetOpacity(value);
    }
}

void TbsSkinForm::FadeIn() {
    if (fading_ || !LayeredWindowsUsable()) {
        return;
    }
    const TFadePlan plan = PlanFade(alphaBlend_, alphaBlendAnimation_, alphaBlendValue_);
    if (alphaBlendAnimation_ && !plan.opacities.empty()) {
        // The window paints once before it becomes visible. Whatever runs
        // meanwhile may close and free the form, or show it again.
        fading_ = true;
        const std::weak_ptr<const bool> alive = Liveness();
        const HWND window = form_->Handle();
        framework::Application().ProcessMessages();
        if (alive.expired()) {
            return;
        }
        fading_ = false;
        if (!IsWindow(window) || form_->Handle() != window) {
            return;
        }
    }
    for (int opacity : plan.opacities) {
        SetOpacity(opacity);
    }
    if (plan.unlayer_at_end) {
        SetLayered(false);
    }
}

TbsSkinForm* TbsSkinForm::FrameOf(TForm& form) {
    for (int i = 0; i < form.ComponentCount(); ++i) {
        if (auto* frame = dynamic_cast<TbsSkinForm*>(form.Components(i))) {
            return frame;
        }
    }
    return nullptr;
}

TbsSkinMenu& TbsSkinForm::Menu() {
    if (!menu_) {
        menu_ = std::make_unique<TbsSkinMenu>(*form_);
        menu_->alpha_blend_value = 200;
        menu_->OnClosed = [this] { LeaveMenuMode(); };
    }
    return *menu_;
}

void TbsSkinForm::SetSystemMenu(framework::TPopupMenu* value) {
    if (systemMenu_ != nullptr) {
        RemoveFreeNotification(systemMenu_);
    }
    systemMenu_ = value;
    if (value != nullptr) {
        FreeNotification(value);
    }
}

void TbsSkinForm::EnterMenuMode() {
    if (menuFilter_ != 0) {
        return;
    }
    // While a menu is open the keys are the menu's and the wheel does
    // nothing.
    menuFilter_ = framework::Application().AddMessageFilter([this](MSG& msg, bool& handled) {
        if (msg.message == WM_KEYDOWN) {
            handled = true;
            if (menu_) {
                menu_->KeyDown(static_cast<unsigned>(msg.wParam));
            }
        } else if (msg.message == WM_MOUSEWHEEL) {
            handled = true;
        }
    });
    if (!menuOpenedOnce_) {
        menuOpenedOnce_ = true;
        if (OnSkinMenuOpen) {
            OnSkinMenuOpen(this);
        }
    }
}

void TbsSkinForm::LeaveMenuMode() {
    if (menuFilter_ == 0) {
        return;
    }
    framework::Application().RemoveMessageFilter(menuFilter_);
    menuFilter_ = 0;
    if (OnSkinMenuClose) {
        OnSkinMenuClose(this);
    }
}

void TbsSkinForm::CloseSkinMenus() {
    if (menu_ && menu_->Visible()) {
        menu_->CloseAll();
    }
    LeaveMenuMode();
}

void TbsSkinForm::PopupSkinMenu(framework::TMenuItem& items, TbsSkinData* skin, const TRect& anchor,
                                bool upwards, const std::vector<framework::TBitmapData>* images,
                                HWND control) {
    if (skin == nullptr) {
        skin = menusSkinData_ != nullptr ? menusSkinData_ : skinData_;
    }
    TbsSkinMenu& menu = Menu();
    if (menu.Visible()) {
        menu.CloseAll();
    }
    EnterMenuMode();
    menu.Popup(control, skin, upwards, items, anchor, images);
}

void TbsSkinForm::PopupSystemMenu(const TRect& anchor) {
    TSystemMenuState state;
    state.minimized = states_.State() == fwsMinimized;
    state.maximized = states_.State() == fwsMaximized;
    state.rolled_up = states_.RolledUp();
    state.rolled_up_maximized = states_.RolledUpMaximized();
    state.always_minimize_to_tray = alwaysMinimizeToTray_;
    state.border_icons = borderIcons_;
    const TMenuCaptionOf caption_of = [this](std::string_view key) {
        return skinData_ != nullptr && skinData_->ResourceStrData() != nullptr
                   ? skinData_->ResourceStrData()->Lookup(key)
                   : std::string();
    };
    const TFrameCommandRun run = [this](TFrameCommand command) { RunFrameCommand(command); };
    framework::TMenuItem* root = nullptr;
    const std::vector<framework::TBitmapData>* images = nullptr;
    if (systemMenu_ != nullptr) {
        root = &systemMenu_->Items();
        images = &systemMenu_->Images();
        if (useDefaultSysMenu_) {
            MergeSystemMenu(*root, state, this, caption_of, run);
        }
    } else {
        if (ownSystemMenu_ == nullptr) {
            ownSystemMenu_ = new framework::TMenuItem(this);
        }
        root = ownSystemMenu_;
        BuildSystemMenu(*root, state, this, caption_of, run);
    }
    PopupSkinMenu(*root, nullptr, anchor, false, images,
                  form_->HandleAllocated() ? form_->Handle() : nullptr);
}

void TbsSkinForm::PopupSystemMenuUnder(const TbsFrameObject& o) {
    if (!form_->HandleAllocated()) {
        return;
    }
    RECT window;
    GetWindowRect(form_->Handle(), &window);
    PopupSystemMenu(o.place.object_rect.Offset(window.left, window.top));
}

void TbsSkinForm::RunFrameCommand(TFrameCommand command) {
    switch (command) {
        case fcClose:
            form_->Close();
            return;
        case fcMinimize:
            SetWindowState(fwsMinimized);
            return;
        case fcMaximize:
            SetWindowState(fwsMaximized);
            return;
        case fcRestore:
            SetWindowState(fwsNormal);
            return;
        case fcRollUp:
            RollUp(true);
            return;
        case fcRollDown:
            RollUp(false);
            return;
        case fcMinimizeToTray:
            MinimizeToTray();
            return;
        case fcRestoreFromTray:
            RestoreFromTray();
            return;
    }
}

namespace {

// The left-tops of the program's other skinned forms parked minimized.
struct TParked {
    HWND self;
    std::vector<TPoint> places;
};

BOOL CALLBACK CollectParked(HWND window, LPARAM data) {
    auto& parked = *reinterpret_cast<TParked*>(data);
    auto* other = dynamic_cast<TForm*>(framework::TWinControl::FindControl(window));
    if (window == parked.self || other == nullptr || !IsWindowVisible(window) ||
        other == framework::Application().MainForm()) {
        return TRUE;
    }
    if (TbsSkinForm* frame = TbsSkinForm::FrameOf(*other);
        frame != nullptr && frame->WindowState() == fwsMinimized) {
        RECT place;
        GetWindowRect(window, &place);
        parked.places.push_back(TPoint{place.left, place.top});
    }
    return TRUE;
}

}  // namespace

void TbsSkinForm::SetWindowState(TFrameWindowState state) {
    if (!form_->HandleAllocated()) {
        return;
    }
    const HWND h = form_->Handle();
    RECT r;
    GetWindowRect(h, &r);
    const TRect current{r.left, r.top, r.right, r.bottom};
    const TRect work = WorkAreaOf(h, true);
    const TRect target =
        MaximizeTarget(WorkAreaOf(h, false), work,
                       TRect{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)},
                       maximizeOnFullScreen_);
    const TPoint min = MinTrackSizeFor(true, states_.RolledUp());
    TParked parked{h, {}};
    EnumThreadWindows(GetCurrentThreadId(), &CollectParked, reinterpret_cast<LPARAM>(&parked));
    const TPoint slot = ParkingSlot(work, min.x, min.y, parked.places);
    const bool main = framework::Application().MainForm() == form_;
    const TFrameStates::TChange change = states_.SetState(state, main, current, target, slot, min);
    if (!change.changed) {
        return;
    }
    if (change.minimize_application) {
        ShowWindow(h, SW_MINIMIZE);
        return;
    }
    if (change.set_bounds) {
        form_->SetBounds(change.bounds.left, change.bounds.top, change.bounds.Width(),
                         change.bounds.Height());
    }
    if (state == fwsNormal) {
        StartObjectTimer(kHoverTimer, kHoverPeriod);
        if (change.bounds.Width() == current.Width() &&
            change.bounds.Height() == current.Height()) {
            SizeNudge();
        }
        form_->Invalidate();
    }
    RepaintFrame();
}

void TbsSkinForm::RollUp(bool up) {
    const int rolled = MinTrackSizeFor(false, true).y;
    int height = 0;
    if (!states_.RollUp(up, borderIcons_, form_->Height(), rolled, &height)) {
        return;
    }
    form_->SetHeight(height);
    RepaintFrame();
    if (OnChangeRollUpState) {
        OnChangeRollUpState(this);
    }
}

void RegisterSkinFormClass(framework::TClassRegistry& r) {
    using F = TbsSkinForm;
    using Value = const framework::TDefinitionValue&;
    using Context = framework::TReaderContext&;
    r.RegisterClass<F>("TbsSkinForm", "");
    r.RegisterClass<TbsSkinHint>("TbsSkinHint", "");
    r.RegisterProperty<TbsSkinHint>(
        "TbsSkinHint", "SkinData", [](TbsSkinHint& h, Value v, Context context) {
            context.Reference<TbsSkinData>(v, [&h](TbsSkinData& data) { h.SetSkinData(&data); });
        });
    r.RegisterProperty<F>("TbsSkinForm", "SkinData", [](F& f, Value v, Context context) {
        context.Reference<TbsSkinData>(v, [&f](TbsSkinData& data) { f.SetSkinData(&data); });
    });
    r.RegisterProperty<F>("TbsSkinForm", "MenusSkinData", [](F& f, Value v, Context context) {
        context.Reference<TbsSkinData>(v, [&f](TbsSkinData& data) { f.SetMenusSkinData(&data); });
    });
    const struct {
        const char* name;
        void (F::*set)(int);
    } integers[] = {{"ClientWidth", &F::SetClientWidth}, {"ClientHeight", &F::SetClientHeight},
                    {"MinWidth", &F::SetMinWidth},       {"MinHeight", &F::SetMinHeight},
                    {"MaxWidth", &F::SetMaxWidth},       {"MaxHeight", &F::SetMaxHeight}};
    for (const auto& i : integers) {
        r.RegisterProperty<F>("TbsSkinForm", i.name,
                              [set = i.set](F& f, Value v, Context) { (f.*set)(v.AsInteger()); });
    }
    const struct {
        const char* name;
        void (F::*set)(bool);
    } booleans[] = {{"UseFormCursorInNCArea", &F::SetUseFormCursorInNCArea},
                    {"LogoBitMapTransparent", &F::SetLogoBitMapTransparent},
                    {"ShowIcon", &F::SetShowIcon},
                    {"HideCaptionButtons", &F::SetHideCaptionButtons}};
    for (const auto& b : booleans) {
        r.RegisterProperty<F>("TbsSkinForm", b.name,
                              [set = b.set](F& f, Value v, Context) { (f.*set)(v.AsBoolean()); });
    }
    r.RegisterProperty<F>("TbsSkinForm", "BorderIcons", [](F& f, Value v, Context) {
        f.SetBorderIcons(v.AsFlags({{"biSystemMenu", bsbiSystemMenu},
                                    {"biMinimize", bsbiMinimize},
                                    {"biMaximize", bsbiMaximize},
                                    {"biRollUp", bsbiRollUp},
                                    {"biMinimizeToTray", bsbiMinimizeToTray}}));
    });
    framework::RegisterFontProperties(r, "TbsSkinForm", "DefCaptionFont",
                                      [](framework::TComponent& c) -> framework::TFont& {
                                          return static_cast<F&>(c).DefCaptionFont();
                                      });
    framework::RegisterFontProperties(r, "TbsSkinForm", "DefInActiveCaptionFont",
                                      [](framework::TComponent& c) -> framework::TFont& {
                                          return static_cast<F&>(c).DefInActiveCaptionFont();
                                      });
    r.RegisterProperty<F>("TbsSkinForm", "AlphaBlend",
                          [](F& f, Value v, Context) { f.SetAlphaBlend(v.AsBoolean()); });
    r.RegisterProperty<F>("TbsSkinForm", "AlphaBlendAnimation",
                          [](F& f, Value v, Context) { f.SetAlphaBlendAnimation(v.AsBoolean()); });
    r.RegisterProperty<F>("TbsSkinForm", "AlphaBlendValue",
                          [](F& f, Value v, Context) { f.SetAlphaBlendValue(v.AsInteger()); });
    r.RegisterProperty<F>("TbsSkinForm", "UseDefaultObjectHint",
                          [](F& f, Value v, Context) { f.SetUseDefaultObjectHint(v.AsBoolean()); });
    r.RegisterProperty<F>("TbsSkinForm", "SkinHint", [](F& f, Value v, Context context) {
        context.Reference<TbsSkinHint>(v, [&f](TbsSkinHint& hint) { f.SetSkinHint(&hint); });
    });
    r.RegisterProperty<F>("TbsSkinForm", "ShowObjectHint",
                          [](F& f, Value v, Context) { f.SetShowObjectHint(v.AsBoolean()); });
    const struct {
        const char* name;
        void (F::*set)(bool);
    } behaviours[] = {{"Magnetic", &F::SetMagnetic},
                      {"MaximizeOnFullScreen", &F::SetMaximizeOnFullScreen},
                      {"AlwaysMinimizeToTray", &F::SetAlwaysMinimizeToTray},
                      {"AlwaysShowInTray", &F::SetAlwaysShowInTray}};
    for (const auto& b : behaviours) {
        r.RegisterProperty<F>("TbsSkinForm", b.name,
                              [set = b.set](F& f, Value v, Context) { (f.*set)(v.AsBoolean()); });
    }
    r.RegisterProperty<F>("TbsSkinForm", "MagneticSize",
                          [](F& f, Value v, Context) { f.SetMagneticSize(v.AsInteger()); });
    // The menus' settings live in the frame's menu engine.
    r.RegisterProperty<F>("TbsSkinForm", "UseDefaultSysMenu",
                          [](F& f, Value v, Context) { f.SetUseDefaultSysMenu(v.AsBoolean()); });
    const struct {
        const char* name;
        bool TbsSkinMenu::*field;
    } menu_booleans[] = {{"MenusAlphaBlend", &TbsSkinMenu::alpha_blend},
                         {"MenusAlphaBlendAnimation", &TbsSkinMenu::alpha_blend_animation},
                         {"UseSkinFontInMenu", &TbsSkinMenu::use_skin_font}};
    for (const auto& b : menu_booleans) {
        r.RegisterProperty<F>("TbsSkinForm", b.name, [field = b.field](F& f, Value v, Context) {
            f.Menu().*field = v.AsBoolean();
        });
    }
    r.RegisterProperty<F>("TbsSkinForm", "MenusAlphaBlendValue", [](F& f, Value v, Context) {
        f.Menu().alpha_blend_value = std::clamp(v.AsInteger(), 0, 255);
    });
    // Values of 0 or less are ignored.
    r.RegisterProperty<F>("TbsSkinForm", "DefMenuItemHeight", [](F& f, Value v, Context) {
        if (v.AsInteger() > 0) {
            f.Menu().default_item_height = v.AsInteger();
        }
    });
    r.RegisterProperty<F>("TbsSkinForm", "MaxMenuItemsInWindow", [](F& f, Value v, Context) {
        if (v.AsInteger() >= 0) {
            f.Menu().max_items_in_window = v.AsInteger();
        }
    });
    framework::RegisterFontProperties(r, "TbsSkinForm", "DefMenuItemFont",
                                      [](framework::TComponent& c) -> framework::TFont& {
                                          return static_cast<F&>(c).Menu().default_item_font;
                                      });
}

}  // namespace skin
