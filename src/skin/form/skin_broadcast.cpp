#include "skin/form/skin_broadcast.h"

#include "framework/forms.h"
#include "skin/data/skin_data.h"
#include "skin/data/skin_messages.h"

namespace skin {

using framework::Application;
using framework::TForm;

void InstallSkinBroadcast() {
    SetSkinBroadcastHook([](framework::TComponent* owner, uint32_t message, TbsSkinData* sender) {
        const WPARAM wParam = reinterpret_cast<WPARAM>(sender);
        const LPARAM lParam = kSkinMessageLParam;
        auto* first = dynamic_cast<TForm*>(owner);
        if (first != nullptr) {
            first->Perform(message, wParam, lParam);
        }
        // A copy of the list: a receiver may create or free forms.
        std::vector<TForm*> forms;
        for (int i = 0; i < Application().FormCount(); ++i) {
            forms.push_back(Application().Forms(i));
        }
        for (TForm* form : forms) {
            bool stillThere = false;
            for (int i = 0; i < Application().FormCount() && !stillThere; ++i) {
                stillThere = Application().Forms(i) == form;
            }
            if (form != first && stillThere) {
                form->Perform(message, wParam, lParam);
            }
        }
    });
}

}  // namespace skin
