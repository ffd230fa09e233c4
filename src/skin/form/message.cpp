#include "skin/form/message.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "skin/controls/button.h"

namespace skin {

using namespace framework;

namespace {

// The message text: a plain static window.
class TMessageText : public TWinControl {
  public:
    using TWinControl::TWinControl;

  protected:
    void CreateParams(TCreateParams& p) override {
        TWinControl::CreateParams(p);
        p.windowClass = L"STATIC";
        p.systemClass = true;
        p.style |= SS_LEFT | SS_NOPREFIX;
    }
    void CreateHandleDone() override {
        SendMessageW(Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(Font().Handle()), FALSE);
    }
};

// The system icon of a kind, drawn on the dialog.
class TMessageIcon : public TGraphicControl {
  public:
    TMessageIcon(TComponent* owner, LPCWSTR icon) : TGraphicControl(owner), icon_(icon) {}

  protected:
    void Paint() override {
        if (HICON icon = LoadIconW(nullptr, icon_)) {
            DrawIconEx(Canvas().Handle(), 0, 0, icon, 32, 32, 0, nullptr, DI_NORMAL);
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

TbsSkinMessage::TbsSkinMessage(TComponent* owner) : TComponent(owner) {
    for (TFont* f : {&defaultFont_, &defaultButtonFont_}) {
        f->SetName("Arial");
        f->SetHeight(14);
    }
}

std::string TbsSkinMessage::KindCaption(TMsgDlgType kind) {
    switch (kind) {
        case mtWarning:
            return "警告";
        case mtError:
            return "错误";
        case mtInformation:
            return "信息";
        case mtConfirmation:
            return "确认";
        case mtCustom:
            break;
    }
    return Application().Title();
}

std::string TbsSkinMessage::ButtonCaption(TMsgDlgBtn button) {
    static const char* const captions[] = {"是(&Y)",     "否(&N)",     "确定",     "取消",
                                           "终止(&A)",   "重试(&R)",   "忽略(&I)", "全部(&A)",
                                           "全部否(&O)", "全部是(&Y)", "帮助(&H)"};
    return captions[button];
}

int TbsSkinMessage::ButtonResult(TMsgDlgBtn button) {
    static const int results[] = {6, 7, 1, 2, 3, 4, 5, 8, 9, 10, 0};
    return results[button];
}

int TbsSkinMessage::ShowMessageDialog(const std::string& text, int kind, int buttons,
                                      int helpContext) {
    const TMsgDlgType type = kind >= 0 && kind <= 4 ? static_cast<TMsgDlgType>(kind) : mtCustom;
    return MessageDlg(text, type, static_cast<TMsgDlgButtons>(buttons), helpContext);
}

int TbsSkinMessage::MessageDlg(const std::string& text, TMsgDlgType kind, TMsgDlgButtons buttons,
                               int /*helpContext*/) {
    auto form = std::make_unique<TForm>(&Application());
    form->SetBorderStyle(bsDialog);
    form->SetBorderIcons(biSystemMenu);
    form->SetPosition(poScreenCenter);
    form->SetCaption(KindCaption(kind));
    form->Font().Assign(defaultFont_);

    // Measure the text to size the box around it.
    TBitmap measure(1, 1);
    measure.Canvas().Font().Assign(defaultFont_);
    RECT textRect = Rect(0, 0, 360, 0);
    measure.Canvas().DrawText(text.empty() ? std::string(" ") : text, textRect,
                              DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
    const int textWidth = std::max<int>(textRect.right, 60);
    const int textHeight = std::max<int>(textRect.bottom, 32);

    std::vector<TMsgDlgBtn> kinds;
    for (int bit = mbYes; bit <= mbHelp; ++bit) {
        if ((buttons & (1u << bit)) != 0) {
            kinds.push_back(static_cast<TMsgDlgBtn>(bit));
        }
    }
    if (kinds.empty()) {
        kinds.push_back(mbOK);
    }
    constexpr int kButtonWidth = 75;
    constexpr int kButtonHeight = 25;
    constexpr int kGap = 8;
    const int buttonsWidth = static_cast<int>(kinds.size()) * (kButtonWidth + kGap) - kGap;
    const LPCWSTR icon = KindIcon(kind);
    const int textLeft = icon != nullptr ? 64 : 16;
    const int clientWidth = std::max(textLeft + textWidth + 16, buttonsWidth + 32);
    const int clientHeight = 16 + textHeight + 16 + kButtonHeight + 12;
    form->SetClientWidth(clientWidth);
    form->SetClientHeight(clientHeight);

    if (icon != nullptr) {
        auto* image = new TMessageIcon(form.get(), icon);
        image->SetParent(form.get());
        image->SetBounds(16, 16, 32, 32);
    }
    auto* label = new TMessageText(form.get());
    label->SetName("MessageText");
    label->Font().Assign(defaultFont_);
    label->SetCaption(text);
    label->SetParent(form.get());
    label->SetBounds(textLeft, 16 + (textHeight - textRect.bottom) / 2, textWidth, textRect.bottom);

    int x = (clientWidth - buttonsWidth) / 2;
    const int y = clientHeight - 12 - kButtonHeight;
    for (size_t i = 0; i < kinds.size(); ++i) {
        const TMsgDlgBtn b = kinds[i];
        static const char* const names[] = {"Yes",     "No",       "OK",     "Cancel",
                                            "Abort",   "Retry",    "Ignore", "All",
                                            "NoToAll", "YesToAll", "Help"};
        auto* button = new TbsSkinButton(form.get());
        button->SetName(names[b]);
        button->SetCaption(ButtonCaption(b));
        button->DefaultFont().Assign(defaultButtonFont_);
        button->SetModalResult(ButtonResult(b));
        button->SetDefault(i == 0);
        button->SetCancel(b == mbCancel || b == mbNo || kinds.size() == 1);
        button->SetParent(form.get());
        button->SetBounds(x, y, kButtonWidth, kButtonHeight);
        button->SetTabOrder(static_cast<int>(i));
        x += kButtonWidth + kGap;
    }
    return form->ShowModal();
}

}  // namespace skin
