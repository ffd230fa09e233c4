#pragma once

// TbsSkinMessage: shows a modal message box with a system icon, the message
// and a row of buttons, built anew for every message. The dialog is a form
// of our own, so it can take the skin's look; the message text is a static
// window, so other programs (automation, accessibility tools, our tests) can
// read it.

#include <cstdint>
#include <string>

#include "framework/forms.h"

namespace skin {

enum TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };

// Bit n of a button set is button kind n.
enum TMsgDlgBtn {
    mbYes,
    mbNo,
    mbOK,
    mbCancel,
    mbAbort,
    mbRetry,
    mbIgnore,
    mbAll,
    mbNoToAll,
    mbYesToAll,
    mbHelp,
};
using TMsgDlgButtons = uint16_t;

class TbsSkinMessage : public framework::TComponent {
  public:
    explicit TbsSkinMessage(framework::TComponent* owner);

    framework::TFont& DefaultFont() { return defaultFont_; }
    framework::TFont& DefaultButtonFont() { return defaultButtonFont_; }
    bool UseSkinFont() const { return useSkinFont_; }
    void SetUseSkinFont(bool value) { useSkinFont_ = value; }

    // Shows the box and returns the result of the button that closed it
    // (mrCancel when it was closed otherwise).
    int MessageDlg(const std::string& text, TMsgDlgType kind, TMsgDlgButtons buttons,
                   int helpContext);
    // The same with the kind and the buttons as numbers (kind 1 = error,
    // 2 = information; buttons 1 = the Yes button alone).
    int ShowMessageDialog(const std::string& text, int kind, int buttons, int helpContext);

    // The caption a kind gives the box, and a button's caption and result.
    static std::string KindCaption(TMsgDlgType kind);
    static std::string ButtonCaption(TMsgDlgBtn button);
    static int ButtonResult(TMsgDlgBtn button);

  private:
    framework::TFont defaultFont_;
    framework::TFont defaultButtonFont_;
    bool useSkinFont_ = true;
};

}  // namespace skin
