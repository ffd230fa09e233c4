#include "skin/form/skin_relay.h"

#include <vector>

#include "skin/controls/skin_control.h"
#include "skin/controls/std_label.h"
#include "skin/data/skin_messages.h"

namespace skin {

using framework::TControl;
using framework::TWinControl;

namespace {

// Every control under `parent` that takes a skin, parents before their
// children.
void Collect(TWinControl& parent, std::vector<TControl*>& found) {
    for (int i = 0; i < parent.ControlCount(); ++i) {
        TControl* c = parent.Controls(i);
        if (dynamic_cast<TbsSkinControl*>(c) != nullptr ||
            dynamic_cast<TbsSkinStdLabel*>(c) != nullptr) {
            found.push_back(c);
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
    std::vector<TControl*> controls;
    Collect(form, controls);
    std::vector<std::weak_ptr<const bool>> alive;
    alive.reserve(controls.size());
    for (TControl* c : controls) {
        alive.push_back(c->Liveness());
    }
    for (size_t i = 0; i < controls.size(); ++i) {
        if (alive[i].expired()) {
            continue;
        }
        if (auto* c = dynamic_cast<TbsSkinControl*>(controls[i]); c && c->SkinData() == sender) {
            if (message == WM_SKINDATA_CHANGING) {
                c->PrepareSkinChange();
            } else {
                c->ApplySkinChange();
            }
        } else if (auto* l = dynamic_cast<TbsSkinStdLabel*>(controls[i]);
                   l && l->SkinData() == sender && message == WM_SKINDATA_CHANGED) {
            // A std label looks its object up on every paint; it only needs
            // its size and picture brought up to date.
            l->ApplySkinChange();
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
