#include "skin/form/skin_relay.h"

#include <vector>

#include "skin/controls/skin_control.h"
#include "skin/data/skin_messages.h"

namespace skin {

using framework::TControl;
using framework::TWinControl;

namespace {

// Every skinned control under `parent`, parents before their children.
void Collect(TWinControl& parent, std::vector<TbsSkinControl*>& found) {
    for (int i = 0; i < parent.ControlCount(); ++i) {
        TControl* c = parent.Controls(i);
        if (auto* skinned = dynamic_cast<TbsSkinControl*>(c)) {
            found.push_back(skinned);
        }
        if (auto* win = dynamic_cast<TWinControl*>(c)) {
            Collect(*win, found);
        }
    }
}

}  // namespace

void RelaySkinChange(framework::TForm& form, uint32_t message, TbsSkinData* sender) {
    if (message != WM_SKINDATA_CHANGING && message != WM_SKINDATA_CHANGED) {
        return;
    }
    // Collected first: a control that adapts its size may make or free
    // controls of its own (a list box and its scroll bars).
    std::vector<TbsSkinControl*> controls;
    Collect(form, controls);
    std::vector<std::weak_ptr<const bool>> alive;
    alive.reserve(controls.size());
    for (TbsSkinControl* c : controls) {
        alive.push_back(c->Liveness());
    }
    for (size_t i = 0; i < controls.size(); ++i) {
        if (alive[i].expired() || controls[i]->SkinData() != sender) {
            continue;
        }
        if (message == WM_SKINDATA_CHANGING) {
            controls[i]->PrepareSkinChange();
        } else {
            controls[i]->ApplySkinChange();
        }
    }
}

void InstallSkinRelay(framework::TForm& form) {
    framework::TWndMethod previous = form.WindowProc;
    form.WindowProc = [&form, previous](framework::TMessage& m) {
        if (m.Msg == WM_SKINDATA_CHANGING || m.Msg == WM_SKINDATA_CHANGED) {
            RelaySkinChange(form, m.Msg, reinterpret_cast<TbsSkinData*>(m.WParam));
        }
        previous(m);
    };
}

}  // namespace skin
