#include "skin/form/message.h"

#include <algorithm>

#include "skin/controls/button.h"
#include "skin/controls/std_label.h"
#include "skin/data/resource_strings.h"
#include "skin/form/skin_form.h"

namespace skin {

using namespace framework;

namespace {

// The system icon of a kind, drawn on the dialog.
class TbsMessageIcon : public TGraphicControl {
  public:
    TbsMessageIcon(TComponent* owner, LPCWSTR icon) : TGraphicControl(owner), icon_(icon) {}

  protected:
    void Paint() override {
        // A shared icon of the system: it is not destroyed.
        if (HICON icon = LoadIconW(nullptr, icon_)) {
            DrawIconEx(Canvas().Handle(), 0, 0, icon, kMessageIconSize, kMessageIconSize, 0,
                       nullptr, DI_NORMAL);
        }
    }

  private:
    LPCWSTR icon_;
};

LPCWSTR KindIcon(TMsgDlgType kind) {
    switch (kind) {
        case mtWarning:
            return IDI_EXCLAMATION;
        case mtError:
            return IDI_HAND;
        case mtInformation:
            return IDI_ASTERISK;
        case mtConfirmation:
            return IDI_QUESTION;
        case mtCustom:
            break;
    }
    return nullptr;
}

}  // namespace

// --- TbsSkinMessageLabel -----------------------------------------------------

TbsSkinMessageLabel::TbsSkinMessageLabel(TComponent* owner) : TWinControl(owner) {
    defaultFont_.SetName("Arial");
    defaultFont_.SetHeight(14);
    defaultFont_.OnChange = [this](TFont&) { Changed(); };
}

void TbsSkinMessageLabel::SetSkinData(TbsSkinData* value) {
    if (skinData_ == value) {
        return;
    }
    if (skinData_ != nullptr) {
        RemoveFreeNotification(skinData_);
    }
    skinData_ = value;
    if (value != nullptr) {
        FreeNotification(value);
    }
    Changed();
}

void TbsSkinMessageLabel::SetSkinDataName(std::string name) {
    skinDataName_ = std::move(name);
    Changed();
}

void TbsSkinMessageLabel::SetUseSkinFont(bool value) {
    if (value != useSkinFont_) {
        useSkinFont_ = value;
        Changed();
    }
}

void TbsSkinMessageLabel::SetAutoSize(bool value) {
    if (value != autoSize_) {
        autoSize_ = value;
        AdjustBounds();
    }
}

void TbsSkinMessageLabel::Notification(TComponent* component, TOperation operation) {
    TWinControl::Notification(component, operation);
    if (operation == opRemove && component == skinData_) {
        skinData_ = nullptr;
        dataIndex_ = -1;
    }
}

void TbsSkinMessageLabel::FindSkinObject() {
    dataIndex_ = -1;
    if (skinData_ == nullptr || skinData_->SkinEmpty()) {
        return;
    }
    const int index = skinData_->IndexOfControlObject(skinDataName_);
    // An object of another class is no label object: the plain look.
    if (const auto* object =
            dynamic_cast<const TbsDataSkinStdLabelControl*>(skinData_->ControlObject(index))) {
        dataIndex_ = index;
        skinFont_ = object->font;
    }
}

int TbsSkinMessageLabel::DataIndex() {
    FindSkinObject();
    return dataIndex_;
}

void TbsSkinMessageLabel::TextFont(TFont& font) {
    FindSkinObject();
    StdLabelFont(font, Font(), defaultFont_, useSkinFont_, dataIndex_ >= 0 ? &skinFont_ : nullptr,
                 skinData_);
}

UINT TbsSkinMessageLabel::TextFlags() const {
    return DT_LEFT | DT_NOPREFIX | DT_EXPANDTABS;
}

SIZE TbsSkinMessageLabel::TextSize() {
    TBitmap measure(1, 1);
    TCanvas& canvas = measure.Canvas();
    TextFont(canvas.Font());
    RECT r{0, 0, 0, 0};
    canvas.DrawText(Caption().empty() ? std::string_view(" ") : std::string_view(Caption()), r,
                    TextFlags() | DT_CALCRECT);
    return SIZE{r.right - r.left, r.bottom - r.top};
}

void TbsSkinMessageLabel::AdjustBounds() {
    if (!autoSize_ || Loading()) {
        return;
    }
    const SIZE size = TextSize();
    SetBounds(Left(), Top(), size.cx, size.cy);
}

void TbsSkinMessageLabel::Changed() {
    AdjustBounds();
    Invalidate();
}

void TbsSkinMessageLabel::TextChanged() {
    TWinControl::TextChanged();
    Changed();
}

void TbsSkinMessageLabel::FontChanged() {
    TWinControl::FontChanged();
    Changed();
}

void TbsSkinMessageLabel::CreateParams(TCreateParams& p) {
    TWinControl::CreateParams(p);
    p.windowClass = L"STATIC";
    p.systemClass = true;
    p.style |= SS_LEFT | SS_NOPREFIX;
    p.style &= ~static_cast<DWORD>(WS_CLIPCHILDREN);
}

void TbsSkinMessageLabel::WndProc(TMessage& m) {
    switch (m.Msg) {
        case WM_PAINT: {
            PAINTSTRUCT ps;
            if (HDC dc = BeginPaint(Handle(), &ps)) {
                PaintTo(dc);
            }
            EndPaint(Handle(), &ps);
            m.Result = 0;
            return;
        }
        case WM_PRINTCLIENT:
            PaintTo(reinterpret_cast<HDC>(m.WParam));
            m.Result = 0;
            return;
        case WM_ERASEBKGND:
            // The paint covers every pixel.
            m.Result = 1;
            return;
        case WM_SETTEXT:
        case WM_ENABLE:
            // The system's static control would draw itself at once in its
            // own look: only the text (or state) is stored, and the label
            // repaints in its own.
            m.Result = DefWindowProcW(Handle(), m.Msg, m.WParam, m.LParam);
            InvalidateRect(Handle(), nullptr, FALSE);
            return;
        default:
            break;
    }
    TWinControl::WndProc(m);
}

void TbsSkinMessageLabel::PaintTo(HDC dc) {
    const int w = Width();
    const int h = Height();
    if (w <= 0 || h <= 0) {
        return;
    }
    HDC buffer = CreateCompatibleDC(dc);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, w, h);
    HGDIOBJ oldBitmap = SelectObject(buffer, bitmap);
    // The parent's background under the label: it is transparent.
    TWinControl* parent = Parent();
    if (parent != nullptr && parent->HandleAllocated()) {
        POINT origin;
        OffsetViewportOrgEx(buffer, -Left(), -Top(), &origin);
        SendMessageW(parent->Handle(), WM_ERASEBKGND, reinterpret_cast<WPARAM>(buffer), 0);
        SetViewportOrgEx(buffer, origin.x, origin.y, nullptr);
    } else {
        HBRUSH brush = CreateSolidBrush(ColorToRGB(Color()));
        RECT all{0, 0, w, h};
        ::FillRect(buffer, &all, brush);
        DeleteObject(brush);
    }
    {
        TCanvas canvas(buffer);
        TextFont(canvas.Font());
        canvas.Brush().SetStyle(bsClear);
        RECT r{0, 0, w, h};
        if (!Enabled()) {
            RECT shifted{1, 1, w + 1, h + 1};
            canvas.Font().SetColor(clBtnHighlight);
            canvas.DrawText(Caption(), shifted, TextFlags());
            canvas.Font().SetColor(clBtnShadow);
        }
        canvas.DrawText(Caption(), r, TextFlags());
    }
    BitBlt(dc, 0, 0, w, h, buffer, 0, 0, SRCCOPY);
    SelectObject(buffer, oldBitmap);
    DeleteObject(bitmap);
    DeleteDC(buffer);
}

// --- TbsMessageForm ----------------------------------------------------------

TbsMessageForm::TbsMessageForm(TComponent* owner) : TForm(owner) {
    SetBorderStyle(bsDialog);
    SetPosition(poScreenCenter);
    skinForm_ = new TbsSkinForm(this);
    skinForm_->SetBorderIcons(0);
    keyFilter_ =
        Application().AddMessageFilter([this](MSG& m, bool& handled) { PreviewKey(m, handled); });
}

TbsMessageForm::~TbsMessageForm() {
    Application().RemoveMessageFilter(keyFilter_);
}

void TbsMessageForm::SetMessageLabel(TbsSkinMessageLabel* label) {
    messageLabel_ = label;
}

void TbsMessageForm::Notification(TComponent* component, TOperation operation) {
    TForm::Notification(component, operation);
    if (operation == opRemove) {
        if (component == messageLabel_) {
            messageLabel_ = nullptr;
        }
        if (component == skinForm_) {
            skinForm_ = nullptr;
        }
    }
}

bool TbsMessageForm::HasCancelButton() const {
    for (int i = 0; i < ComponentCount(); ++i) {
        const auto* button = dynamic_cast<const TbsSkinButton*>(Components(i));
        if (button != nullptr && button->Cancel() && button->Visible()) {
            return true;
        }
    }
    return false;
}

void TbsMessageForm::PreviewKey(MSG& m, bool& handled) {
    if (!keyPreview_ || m.message != WM_KEYDOWN || m.wParam != VK_ESCAPE || !HandleAllocated() ||
        (ShiftStateFromKeyboard() & (ssCtrl | ssAlt | ssShift)) != 0) {
        return;
    }
    if (m.hwnd != Handle() && !IsChild(Handle(), m.hwnd)) {
        return;
    }
    if (HasCancelButton()) {
        return;  // the cancel button takes Esc as a dialog key
    }
    handled = true;
    Close();
}

// --- TbsSkinMessage ----------------------------------------------------------

TbsSkinMessage::TbsSkinMessage(TComponent* owner) : TComponent(owner) {
    for (TFont* f : {&defaultFont_, &defaultButtonFont_}) {
        f->SetName("Arial");
        f->SetHeight(14);
    }
}

void TbsSkinMessage::Forget(TbsSkinData* old) {
    // The notification stays while the other reference holds the same data.
    if (old != nullptr && old != skinData_ && old != ctrlSkinData_) {
        RemoveFreeNotification(old);
    }
}

void TbsSkinMessage::SetSkinData(TbsSkinData* value) {
    TbsSkinData* old = skinData_;
    skinData_ = value;
    Forget(old);
    if (value != nullptr) {
        FreeNotification(value);
    }
}

void TbsSkinMessage::SetCtrlSkinData(TbsSkinData* value) {
    TbsSkinData* old = ctrlSkinData_;
    ctrlSkinData_ = value;
    Forget(old);
    if (value != nullptr) {
        FreeNotification(value);
    }
}

void TbsSkinMessage::SetAlphaBlendValue(int value) {
    alphaBlendValue_ = std::clamp(value, 0, 255);
}

void TbsSkinMessage::Notification(TComponent* component, TOperation operation) {
    TComponent::Notification(component, operation);
    if (operation != opRemove) {
        return;
    }
    if (component == skinData_) {
        skinData_ = nullptr;
    }
    if (component == ctrlSkinData_) {
        ctrlSkinData_ = nullptr;
    }
}

std::string TbsSkinMessage::Text(const char* key, const char* builtIn) const {
    if (ctrlSkinData_ != nullptr && ctrlSkinData_->ResourceStrData() != nullptr) {
        std::string text = ctrlSkinData_->ResourceStrData()->Lookup(key);
        if (!text.empty()) {
            return text;
        }
    }
    return builtIn;
}

std::string TbsSkinMessage::KindCaption(TMsgDlgType kind) const {
    const TMessageKindInfo& info = MessageKindInfo(kind);
    if (info.caption == nullptr) {
        return Application().Title();
    }
    return Text(info.key, info.caption);
}

std::string TbsSkinMessage::ButtonCaption(TMsgDlgBtn button) const {
    const TMessageButtonInfo& info = MessageButtonInfo(button);
    return Text(info.key, info.caption);
}

int TbsSkinMessage::ButtonHeight() const {
    if (ctrlSkinData_ != nullptr && !ctrlSkinData_->SkinEmpty()) {
        const int index = ctrlSkinData_->IndexOfControlObject(buttonSkinDataName_);
        if (const auto* object = dynamic_cast<const TbsDataSkinButtonControl*>(
                ctrlSkinData_->ControlObject(index))) {
            return object->skin_rect.Height();
        }
    }
    return kMessageButtonHeight;
}

std::unique_ptr<TbsMessageForm> TbsSkinMessage::CreateMessageDialog(const std::string& text,
                                                                    TMsgDlgType kind,
                                                                    TMsgDlgButtons buttons,
                                                                    int helpContext) {
    if (kind < mtWarning || kind > mtCustom) {
        kind = mtCustom;
    }
    auto form = std::make_unique<TbsMessageForm>(&Application());
    form->SetHelpContext(helpContext);
    TbsSkinForm& frame = *form->SkinForm();
    frame.SetSkinData(skinData_);
    frame.SetMenusSkinData(ctrlSkinData_);
    frame.SetAlphaBlend(alphaBlend_);
    frame.SetAlphaBlendAnimation(alphaBlendAnimation_);
    frame.SetAlphaBlendValue(alphaBlendValue_);

    const int buttonHeight = ButtonHeight();
    // Centred with the size it has now; shown, it is centred again with its
    // final size.
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    form->SetBounds(screenWidth / 2 - form->Width() / 2, screenHeight / 2 - form->Height() / 2,
                    form->Width(), form->Height());
    form->SetCaption(KindCaption(kind));

    auto* label = new TbsSkinMessageLabel(form.get());
    label->SetName("Message");
    label->Font().Assign(defaultFont_);
    label->DefaultFont().Assign(defaultFont_);
    label->SetUseSkinFont(useSkinFont_);
    label->SetSkinDataName(messageLabelSkinDataName_);
    label->SetSkinData(ctrlSkinData_);
    label->SetCaption(text);
    label->SetBounds(kMessageLabelLeft, kMessageLabelTop, label->Width(), label->Height());
    label->AdjustBounds();
    label->SetParent(form.get());
    form->SetMessageLabel(label);

    const LPCWSTR icon = KindIcon(kind);
    TMessageLayoutInput in;
    in.label_width = label->Width();
    in.label_height = label->Height();
    in.buttons = buttons;
    in.button_height = buttonHeight;
    in.icon = icon != nullptr;
    // The frame's measures need the window (the skin decides its borders).
    form->HandleNeeded();
    in.frame_width = form->Width() - form->ClientWidth();
    in.min_window_width = frame.MinTrackSize().x;
    in.max_window_width = frame.MaxTrackSize().x;
    const TMessageLayout layout = LayoutMessage(in);

    if (icon != nullptr) {
        auto* image = new TbsMessageIcon(form.get(), icon);
        image->SetName("Image");
        image->SetBounds(layout.icon.left, layout.icon.top, layout.icon.Width(),
                         layout.icon.Height());
        image->SetParent(form.get());
    }
    form->SetClientHeight(layout.client_height);
    form->SetWidth(layout.window_width);

    const std::function<void(int)> help = OnHelp;
    for (const TMessageButtonPlace& place : layout.buttons) {
        const TMessageButtonInfo& info = MessageButtonInfo(place.kind);
        auto* button = new TbsSkinButton(form.get());
        button->SetName(info.name);
        button->SetCaption(ButtonCaption(place.kind));
        button->SetCanFocused(true);
        button->SetModalResult(info.result);
        button->SetDefault(place.is_default);
        button->SetCancel(place.is_cancel);
        button->SetDefaultHeight(buttonHeight);
        button->SetBounds(place.bounds.left, place.bounds.top, place.bounds.Width(),
                          place.bounds.Height());
        button->DefaultFont().Assign(defaultButtonFont_);
        button->SetUseSkinFont(useSkinFont_);
        button->SetSkinDataName(buttonSkinDataName_);
        button->SetSkinData(ctrlSkinData_);
        button->SetParent(form.get());
        if (place.kind == mbHelp) {
            TbsMessageForm* dialog = form.get();
            button->OnClick = [help, dialog](TComponent*) {
                if (help) {
                    help(dialog->HelpContext());
                }
            };
        }
        if (place.is_default) {
            form->SetActiveControl(button);
        }
    }
    return form;
}

int TbsSkinMessage::MessageDlg(const std::string& text, TMsgDlgType kind, TMsgDlgButtons buttons,
                               int helpContext) {
    std::unique_ptr<TbsMessageForm> form = CreateMessageDialog(text, kind, buttons, helpContext);
    const TModalResult result = form->ShowModal();
    // The loop also ends when the application does: no button then.
    return result == mrNone ? mrCancel : result;
}

int TbsSkinMessage::ShowMessageDialog(const std::string& text, int kind, int buttons,
                                      int helpContext) {
    return MessageDlg(text, static_cast<TMsgDlgType>(kind),
                      static_cast<TMsgDlgButtons>(buttons & 0xFFFF), helpContext);
}

}  // namespace skin
