#include "updater/win32/update_form.h"

#include "framework/classes.h"
#include "skin/controls/classes.h"
#include "skin/controls/skin_control.h"
#include "skin/data/skin_classes.h"
#include "skin/form/skin_broadcast.h"
#include "skin/form/skin_form.h"

namespace updater {

using namespace framework;

namespace {

void RegisterMessageClass(TClassRegistry& r) {
    using M = skin::TbsSkinMessage;
    using Value = const TDefinitionValue&;
    using Context = TReaderContext&;
    r.RegisterClass<M>("TbsSkinMessage", "");
    r.RegisterProperty<M>("TbsSkinMessage", "SkinData", [](M& m, Value v, Context context) {
        context.Reference<skin::TbsSkinData>(
            v, [&m](skin::TbsSkinData& data) { m.SetSkinData(&data); });
    });
    r.RegisterProperty<M>("TbsSkinMessage", "CtrlSkinData", [](M& m, Value v, Context context) {
        context.Reference<skin::TbsSkinData>(
            v, [&m](skin::TbsSkinData& data) { m.SetCtrlSkinData(&data); });
    });
    r.RegisterProperty<M>("TbsSkinMessage", "ButtonSkinDataName",
                          [](M& m, Value v, Context) { m.SetButtonSkinDataName(v.AsString()); });
    r.RegisterProperty<M>("TbsSkinMessage", "MessageLabelSkinDataName", [](M& m, Value v, Context) {
        m.SetMessageLabelSkinDataName(v.AsString());
    });
    const struct {
        const char* name;
        void (M::*set)(bool);
    } booleans[] = {{"UseSkinFont", &M::SetUseSkinFont},
                    {"AlphaBlend", &M::SetAlphaBlend},
                    {"AlphaBlendAnimation", &M::SetAlphaBlendAnimation}};
    for (const auto& b : booleans) {
        r.RegisterProperty<M>("TbsSkinMessage", b.name,
                              [set = b.set](M& m, Value v, Context) { (m.*set)(v.AsBoolean()); });
    }
    r.RegisterProperty<M>("TbsSkinMessage", "AlphaBlendValue",
                          [](M& m, Value v, Context) { m.SetAlphaBlendValue(v.AsInteger()); });
    RegisterFontProperties(r, "TbsSkinMessage", "DefaultFont", [](TComponent& c) -> TFont& {
        return static_cast<M&>(c).DefaultFont();
    });
    RegisterFontProperties(r, "TbsSkinMessage", "DefaultButtonFont", [](TComponent& c) -> TFont& {
        return static_cast<M&>(c).DefaultButtonFont();
    });
}

}  // namespace

const TClassRegistry& UpdateWindowRegistry() {
    static const TClassRegistry registry = [] {
        // Skin data read with the window announces its skin to the forms.
        skin::InstallSkinBroadcast();
        TClassRegistry r;
        RegisterFrameworkClasses(r);
        skin::RegisterSkinControlClasses(r);
        RegisterMessageClass(r);
        skin::RegisterSkinFormClass(r);
        skin::RegisterSkinDataClasses(r);
        RegisterHttpClientClass(r);
        r.RegisterClass("TUpdateForm", "TForm", nullptr);
        return r;
    }();
    return registry;
}

template <typename T>
T* TUpdateForm::Find(const char* name) {
    T* component = dynamic_cast<T*>(FindComponent(name));
    if (component == nullptr) {
        throw EDefinitionError(std::string("the update window has no ") + name +
                               " of the class it needs");
    }
    return component;
}

TUpdateForm::TUpdateForm(TComponent* owner, TUpdateEnvironment env, std::string_view definition)
    : TForm(owner) {
    using Notify = void(TComponent*);
    methods_.Add<Notify>("FormCreate", [this](TComponent*) { logic_->FormCreate(); });
    methods_.Add<Notify>("FormShow", [this](TComponent*) { logic_->FormShow(); });
    methods_.Add<void(TComponent*, TCloseAction&)>(
        "FormClose", [this](TComponent*, TCloseAction&) { logic_->FormClose(); });
    methods_.Add<Notify>("bsSkinButton1Click", [this](TComponent*) { logic_->ClosePressed(); });
    methods_.Add<Notify>("bsSkinButton2Click", [this](TComponent*) { logic_->StartPressed(); });
    methods_.Add<void(TComponent*, int, int32_t)>(
        "HTTPClient1WorkBegin",
        [this](TComponent*, int, int32_t expected) { logic_->WorkBegin(expected); });
    methods_.Add<void(TComponent*, int, int32_t)>("HTTPClient1Work",
                                                  [this](TComponent*, int, int32_t position) {
                                                      logic_->Work(position);
                                                      DuringTransfer(false);
                                                  });
    methods_.Add<void(TComponent*, int)>("HTTPClient1WorkEnd",
                                         [this](TComponent*, int) { logic_->WorkEnd(); });

    ReadDefinition(definition.empty() ? EmbeddedDefinition(kUpdateFormDefinition) : definition,
                   UpdateWindowRegistry(), *this);
    Image1 = Find<TImage>("Image1");
    bsSkinGauge1 = Find<skin::TbsSkinGauge>("bsSkinGauge1");
    bsSkinListBox1 = Find<skin::TbsSkinListBox>("bsSkinListBox1");
    bsSkinButton1 = Find<skin::TbsSkinButton>("bsSkinButton1");
    bsSkinButton2 = Find<skin::TbsSkinButton>("bsSkinButton2");
    bsSkinLabel1 = Find<skin::TbsSkinLabel>("bsSkinLabel1");
    bsSkinLabel2 = Find<skin::TbsSkinLabel>("bsSkinLabel2");
    bsg = Find<skin::TbsSkinMessage>("bsg");
    HTTPClient1 = Find<THTTPClientComponent>("HTTPClient1");
    bsSkinData1 = Find<skin::TbsSkinData>("bsSkinData1");
    bsSkinForm1 = Find<skin::TbsSkinForm>("bsSkinForm1");
    // While the server is silent the window thread waits in the client; the
    // controls' held-back progress is painted meanwhile, so the window never
    // shows figures older than one repaint interval.
    HTTPClient1->Client().OnWaiting = [this] { DuringTransfer(true); };
    TUpdateView& view = *this;
    logic_ = std::make_unique<TUpdateLogic>(view, HTTPClient1->Client(), std::move(env));
}

TUpdateForm::~TUpdateForm() {
    // The components go while the handlers' logic is still there.
    DestroyComponents();
}

void TUpdateForm::DuringTransfer(bool waiting) {
    if (waiting) {
        skin::TbsSkinControl::PaintDueChanges();
    }
    // The transfer holds the window thread, but other programs (and a
    // watchdog) still get their questions answered: the list's selection,
    // the texts. Clicks and closes wait for the loop, so no handler of the
    // window runs inside the transfer.
    const auto now = std::chrono::steady_clock::now();
    if (waiting || now - lastAnswer_ >= std::chrono::milliseconds(kAnswerInterval)) {
        lastAnswer_ = now;
        Application().AnswerSentMessages();
    }
}

int TUpdateForm::ItemCount() const {
    return bsSkinListBox1->ItemCount();
}

int TUpdateForm::ItemIndex() const {
    return bsSkinListBox1->ItemIndex();
}

void TUpdateForm::SetItemIndex(int index) {
    bsSkinListBox1->SetItemIndex(index);
}

void TUpdateForm::ClearItems() {
    bsSkinListBox1->ClearItems();
}

void TUpdateForm::AddItem(const std::string& text) {
    bsSkinListBox1->AddItem(text);
}

void TUpdateForm::SetProgressText(const std::string& text) {
    bsSkinGauge1->SetProgressText(text);
}

void TUpdateForm::SetGaugeMax(int value) {
    bsSkinGauge1->SetMaxValue(value);
}

void TUpdateForm::SetGaugeMin(int value) {
    bsSkinGauge1->SetMinValue(value);
}

void TUpdateForm::SetGaugeValue(int value) {
    bsSkinGauge1->SetValue(value);
}

int TUpdateForm::GaugeMax() const {
    return bsSkinGauge1->MaxValue();
}

void TUpdateForm::SetFileLabel(const std::string& text) {
    bsSkinLabel1->SetCaption(text);
}

void TUpdateForm::SetSpeedLabel(const std::string& text) {
    bsSkinLabel2->SetCaption(text);
}

void TUpdateForm::SetStartCaption(const std::string& text) {
    bsSkinButton2->SetCaption(text);
}

void TUpdateForm::FlushDisplay() {
    bsSkinGauge1->FlushRepaint();
    bsSkinLabel1->FlushRepaint();
    bsSkinLabel2->FlushRepaint();
}

void TUpdateForm::Wait(int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
        DuringTransfer(true);
        Sleep(transfer::THTTPClient::kWaitSlice);
    }
}

void TUpdateForm::ShowMessage(const std::string& text, TMessageKind kind) {
    bsg->ShowMessageDialog(text, static_cast<int>(kind), 1, 0);
}

void TUpdateForm::CloseWindow() {
    Close();
}

}  // namespace updater
