#include "sample_window.h"

namespace sample {

const TClassRegistry& SampleRegistry() {
    static const TClassRegistry registry = [] {
        TClassRegistry r;
        RegisterFrameworkClasses(r);
        r.RegisterClass<TSampleSwatch>("TSampleSwatch", "TCustomControl");
        r.RegisterClass<TSampleButton>("TSampleButton", "TCustomControl");
        r.RegisterClass<TSampleWindow>("TSampleWindow", "TForm");
        return r;
    }();
    return registry;
}

TSampleWindow::TSampleWindow(TComponent* owner) : TForm(owner) {
    methods_.Add<void(TComponent*)>("FormCreate",
                                    [this](TComponent*) { events.push_back("create"); });
    methods_.Add<void(TComponent*)>("FormShow", [this](TComponent*) { events.push_back("show"); });
    methods_.Add<void(TComponent*, TCloseAction&)>(
        "FormClose", [this](TComponent*, TCloseAction&) { events.push_back("close"); });
    methods_.Add<void(TComponent*)>("Button1Click", [this](TComponent*) {
        events.push_back("click1");
        Close();
    });
    methods_.Add<void(TComponent*)>("Button2Click", [this](TComponent*) {
        events.push_back("click2");
        if (onButton2) {
            onButton2();
        }
    });
    methods_.Add<void(TComponent*)>("Timer1Timer", [this](TComponent*) {
        ++timerTicks;
        events.push_back("timer");
        Timer1->SetEnabled(false);
    });
    ReadDefinition(EmbeddedDefinition("FRAMEWORK_SAMPLE_WINDOW"), SampleRegistry(), *this);
    Image1 = dynamic_cast<TImage*>(FindComponent("Image1"));
    Swatch1 = dynamic_cast<TSampleSwatch*>(FindComponent("Swatch1"));
    Button1 = dynamic_cast<TSampleButton*>(FindComponent("Button1"));
    Button2 = dynamic_cast<TSampleButton*>(FindComponent("Button2"));
    Button3 = dynamic_cast<TSampleButton*>(FindComponent("Button3"));
    Timer1 = dynamic_cast<TTimer*>(FindComponent("Timer1"));
}

}  // namespace sample
