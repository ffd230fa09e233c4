#pragma once

// TUpdateForm: the update window, created from its window definition. Its
// handlers hand the work to TUpdateLogic; the form is that logic's view.

#include <chrono>
#include <memory>

#include "framework/definition.h"
#include "framework/forms.h"
#include "skin/controls/button.h"
#include "skin/controls/gauge.h"
#include "skin/controls/label.h"
#include "skin/controls/list_box.h"
#include "skin/data/skin_data.h"
#include "skin/form/message.h"
#include "skin/form/skin_form.h"
#include "updater/http_component.h"
#include "updater/update_logic.h"

namespace updater {

// The name of the update window's embedded definition.
inline constexpr char kUpdateFormDefinition[] = "UPDATE_FORM";

// The classes the update window's definition uses.
const framework::TClassRegistry& UpdateWindowRegistry();

class TUpdateForm : public framework::TForm,
                    public framework::TMethodProvider,
                    private TUpdateView {
  public:
    // Reads the window from the definition `definition` (by default the
    // embedded one). EDefinitionError when it cannot be read or lacks one of
    // the components below.
    TUpdateForm(framework::TComponent* owner, TUpdateEnvironment env,
                std::string_view definition = {});
    ~TUpdateForm() override;

    const framework::TMethodTable& Methods() const override { return methods_; }
    TUpdateLogic& Logic() { return *logic_; }

    framework::TImage* Image1 = nullptr;
    skin::TbsSkinGauge* bsSkinGauge1 = nullptr;
    skin::TbsSkinListBox* bsSkinListBox1 = nullptr;
    skin::TbsSkinButton* bsSkinButton1 = nullptr;
    skin::TbsSkinButton* bsSkinButton2 = nullptr;
    skin::TbsSkinLabel* bsSkinLabel1 = nullptr;
    skin::TbsSkinLabel* bsSkinLabel2 = nullptr;
    skin::TbsSkinMessage* bsg = nullptr;
    THTTPClientComponent* HTTPClient1 = nullptr;
    skin::TbsSkinData* bsSkinData1 = nullptr;
    skin::TbsSkinForm* bsSkinForm1 = nullptr;

  private:
    template <typename T>
    T* Find(const char* name);

    // TUpdateView over the controls.
    int ItemCount() const override;
    int ItemIndex() const override;
    void SetItemIndex(int index) override;
    void ClearItems() override;
    void AddItem(const std::string& text) override;
    void SetProgressText(const std::string& text) override;
    void SetGaugeMax(int value) override;
    void SetGaugeMin(int value) override;
    void SetGaugeValue(int value) override;
    int GaugeMax() const override;
    void SetFileLabel(const std::string& text) override;
    void SetSpeedLabel(const std::string& text) override;
    void SetStartCaption(const std::string& text) override;
    void FlushDisplay() override;
    void Wait(int ms) override;
    void ShowMessage(const std::string& text, TMessageKind kind) override;
    void CloseWindow() override;

    // Called by the client while it waits for the server (`waiting`) and
    // after each progress event: what other programs send to the window is
    // answered, at most every kAnswerInterval milliseconds while data flows.
    void DuringTransfer(bool waiting);
    static constexpr int kAnswerInterval = 25;

    framework::TMethodTable methods_;
    std::unique_ptr<TUpdateLogic> logic_;
    std::chrono::steady_clock::time_point lastAnswer_{};
};

}  // namespace updater
