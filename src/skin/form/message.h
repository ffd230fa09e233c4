#pragma once

// TbsSkinMessage: shows a modal message box in the skin's look, built anew
// for every message and freed when it closes: a dialog form of our own with
// its own skinned frame, the system icon of the message's kind, the message
// text and a row of skinned buttons. The layout and the button roles are
// those of skin/form/core/message_layout.h.
//
// The message text is a real STATIC child window holding the text, so other
// programs (automation, screen readers, our end-to-end tests) read it with
// WM_GETTEXT; it is drawn by the skin's label rules, transparent over the
// dialog's background, and shows "&" as it is.

#include <functional>
#include <memory>
#include <string>

#include "framework/controls.h"
#include "framework/forms.h"
#include "skin/data/skin_data.h"
#include "skin/form/core/message_layout.h"

namespace skin {

class TbsSkinForm;

// The message text: a STATIC window (SS_NOPREFIX) that paints itself. It
// looks its skin object up by name in SkinData. Without one it draws with
// DefaultFont when UseSkinFont is on and with its Font otherwise. With one
// it takes the object's font name, height and style when UseSkinFont is on
// (its Font's otherwise) and always the object's colour, in the character
// set of the skin's string table when there is one. Disabled, it is drawn
// embossed. The text is never wrapped; AdjustBounds sizes the label to it.
class TbsSkinMessageLabel : public framework::TWinControl {
  public:
    explicit TbsSkinMessageLabel(framework::TComponent* owner);

    TbsSkinData* SkinData() const { return skinData_; }
    // Cleared when the skin data is freed.
    void SetSkinData(TbsSkinData* value);
    const std::string& SkinDataName() const { return skinDataName_; }
    void SetSkinDataName(std::string name);
    framework::TFont& DefaultFont() { return defaultFont_; }
    bool UseSkinFont() const { return useSkinFont_; }
    void SetUseSkinFont(bool value);
    // Resizes the label to its text when on (the default).
    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool value);

    // The index of the label's object in the skin, -1 for the plain look.
    int DataIndex();
    // The font (with its colour) the text is drawn in.
    void TextFont(framework::TFont& font);
    // The size the text needs (an empty text measures one blank).
    SIZE TextSize();
    // With AutoSize: takes the size the text needs, keeping the top-left
    // corner.
    void AdjustBounds();

  protected:
    void CreateParams(framework::TCreateParams& params) override;
    void WndProc(framework::TMessage& message) override;
    void Notification(framework::TComponent* component, framework::TOperation operation) override;
    void TextChanged() override;
    void FontChanged() override;

  private:
    // Copies the font of the label's object, if the skin has one of the
    // label's class under the name.
    void FindSkinObject();
    void Changed();
    // Paints the parent's background under the label, then the text.
    void PaintTo(HDC dc);
    UINT TextFlags() const;

    TbsSkinData* skinData_ = nullptr;
    std::string skinDataName_ = "stdlabel";
    framework::TFont defaultFont_;
    bool useSkinFont_ = true;
    bool autoSize_ = true;
    int dataIndex_ = -1;
    TSkinFont skinFont_;
};

// The dialog: a form with its own frame component and its message label,
// made without a window definition. It is a dialog (bsDialog), centred on
// the screen when shown, and its frame shows only the close button. With
// KeyPreview on (the default), Esc in a box that has no cancel button closes
// it the way the frame's close button does; a cancel button answers Esc
// itself.
class TbsMessageForm : public framework::TForm {
  public:
    explicit TbsMessageForm(framework::TComponent* owner);
    ~TbsMessageForm() override;

    TbsSkinForm* SkinForm() const { return skinForm_; }
    TbsSkinMessageLabel* MessageLabel() const { return messageLabel_; }
    void SetMessageLabel(TbsSkinMessageLabel* label);
    int HelpContext() const { return helpContext_; }
    void SetHelpContext(int value) { helpContext_ = value; }
    bool KeyPreview() const { return keyPreview_; }
    void SetKeyPreview(bool value) { keyPreview_ = value; }

  protected:
    void Notification(framework::TComponent* component, framework::TOperation operation) override;

  private:
    // Whether one of the form's buttons answers Esc.
    bool HasCancelButton() const;
    void PreviewKey(MSG& message, bool& handled);

    TbsSkinForm* skinForm_ = nullptr;
    TbsSkinMessageLabel* messageLabel_ = nullptr;
    int helpContext_ = 0;
    bool keyPreview_ = true;
    int keyFilter_ = 0;
};

class TbsSkinMessage : public framework::TComponent {
  public:
    explicit TbsSkinMessage(framework::TComponent* owner);

    // The skin of the dialog's frame; null or empty: the built-in frame.
    TbsSkinData* SkinData() const { return skinData_; }
    void SetSkinData(TbsSkinData* value);
    // The skin of the label, the buttons and the dialog's menus, and the
    // source of the texts (its string table, when it has one).
    TbsSkinData* CtrlSkinData() const { return ctrlSkinData_; }
    void SetCtrlSkinData(TbsSkinData* value);
    const std::string& ButtonSkinDataName() const { return buttonSkinDataName_; }
    void SetButtonSkinDataName(std::string name) { buttonSkinDataName_ = std::move(name); }
    const std::string& MessageLabelSkinDataName() const { return messageLabelSkinDataName_; }
    void SetMessageLabelSkinDataName(std::string name) {
        messageLabelSkinDataName_ = std::move(name);
    }
    // The label's font, and the buttons' when the skin's is not used:
    // Arial, height 14, unless set. Setting copies the font.
    framework::TFont& DefaultFont() { return defaultFont_; }
    void SetDefaultFont(const framework::TFont& font) { defaultFont_.Assign(font); }
    framework::TFont& DefaultButtonFont() { return defaultButtonFont_; }
    void SetDefaultButtonFont(const framework::TFont& font) { defaultButtonFont_.Assign(font); }
    bool UseSkinFont() const { return useSkinFont_; }
    void SetUseSkinFont(bool value) { useSkinFont_ = value; }
    // Passed to the dialog's frame.
    bool AlphaBlend() const { return alphaBlend_; }
    void SetAlphaBlend(bool value) { alphaBlend_ = value; }
    bool AlphaBlendAnimation() const { return alphaBlendAnimation_; }
    void SetAlphaBlendAnimation(bool value) { alphaBlendAnimation_ = value; }
    int AlphaBlendValue() const { return alphaBlendValue_; }
    // Kept within 0..255.
    void SetAlphaBlendValue(int value);

    // Called with the dialog's help context when its Help button is
    // pressed; without it the button does nothing.
    std::function<void(int helpContext)> OnHelp;

    // Shows the box modally and returns the result of the button that
    // closed it, or 2 (IDCANCEL) when it was closed without one (its
    // frame's close button, the system menu, Alt+F4, Esc without a cancel
    // button). The dialog is freed in every case.
    int MessageDlg(const std::string& text, TMsgDlgType kind, TMsgDlgButtons buttons,
                   int helpContext);
    // The same with the kind and the buttons as numbers (kind 1 = error,
    // 2 = information; buttons: bit n for button kind n, 1 = Yes alone).
    int ShowMessageDialog(const std::string& text, int kind, int buttons, int helpContext);

    // Builds the dialog that MessageDlg shows, with its window made and laid
    // out, but not shown.
    std::unique_ptr<TbsMessageForm> CreateMessageDialog(const std::string& text, TMsgDlgType kind,
                                                        TMsgDlgButtons buttons, int helpContext);

    // The dialog's caption for a kind: the string table's text for its key,
    // else the built-in one; the application's title for the custom kind.
    std::string KindCaption(TMsgDlgType kind) const;
    // A button's caption, the same way.
    std::string ButtonCaption(TMsgDlgBtn button) const;
    // The buttons' height: that of the skin's button object named
    // ButtonSkinDataName when CtrlSkinData holds one, else 25.
    int ButtonHeight() const;

  protected:
    void Notification(framework::TComponent* component, framework::TOperation operation) override;

  private:
    std::string Text(const char* key, const char* builtIn) const;
    void Forget(TbsSkinData* old);

    TbsSkinData* skinData_ = nullptr;
    TbsSkinData* ctrlSkinData_ = nullptr;
    std::string buttonSkinDataName_ = "button";
    std::string messageLabelSkinDataName_ = "stdlabel";
    framework::TFont defaultFont_;
    framework::TFont defaultButtonFont_;
    bool useSkinFont_ = true;
    bool alphaBlend_ = false;
    bool alphaBlendAnimation_ = false;
    int alphaBlendValue_ = 200;
};

}  // namespace skin
