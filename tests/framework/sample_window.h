#pragma once

// The sample window of the framework tests and of the sample program: a
// form with a picture, a painted swatch and three buttons, all read from the
// embedded definition FRAMEWORK_SAMPLE_WINDOW.

#include <functional>
#include <string>
#include <vector>

#include "framework/classes.h"
#include "framework/forms.h"

namespace sample {

using namespace framework;

// A panel that paints its colour, a one-pixel black frame and its caption
// centred in its font.
class TSampleSwatch : public TCustomControl {
  public:
    using TCustomControl::TCustomControl;
    int paints = 0;

  protected:
    void Paint() override {
        ++paints;
        RECT r = ClientRect();
        Canvas().Brush().SetColor(Color());
        Canvas().FillRect(r);
        Canvas().Brush().SetColor(clBlack);
        Canvas().FrameRect(r);
        Canvas().Brush().SetStyle(bsClear);
        Canvas().DrawText(Caption(), r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    }
};

// A plain push button drawn by itself: a raised frame, sunken while pressed,
// grey text when disabled. Records what it hears of the mouse and focus.
class TSampleButton : public TCustomControl {
  public:
    using TCustomControl::TCustomControl;
    bool pressed = false;
    int enters = 0;
    int leaves = 0;
    int focusGained = 0;

  protected:
    void Paint() override {
        RECT r = ClientRect();
        Canvas().Brush().SetColor(clBtnFace);
        Canvas().FillRect(r);
        DrawEdge(Canvas().Handle(), &r, pressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
        Canvas().Brush().SetStyle(bsClear);
        Canvas().Font().SetColor(Enabled() ? clBtnText : clGrayText);
        Canvas().DrawText(Caption(), r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        if (Focused()) {
            RECT f = r;
            InflateRect(&f, -4, -4);
            DrawFocusRect(Canvas().Handle(), &f);
        }
    }
    void MouseDown(TMouseButton button, TShiftState, int, int) override {
        if (button == mbLeft) {
            pressed = true;
            Repaint();
        }
    }
    void MouseUp(TMouseButton button, TShiftState, int, int) override {
        if (button == mbLeft) {
            pressed = false;
            Repaint();
        }
    }
    void MouseEnter() override { ++enters; }
    void MouseLeave() override { ++leaves; }
    void FocusChanged(bool focused) override {
        focusGained += focused ? 1 : 0;
        Invalidate();
    }
    void KeyDown(WORD key, TShiftState) override {
        if (key == VK_SPACE || key == VK_RETURN) {
            Click();
        }
    }
};

class TSampleWindow : public TForm, public TMethodProvider {
  public:
    explicit TSampleWindow(TComponent* owner);

    const TMethodTable& Methods() const override { return methods_; }

    TImage* Image1 = nullptr;
    TSampleSwatch* Swatch1 = nullptr;
    TSampleButton* Button1 = nullptr;
    TSampleButton* Button2 = nullptr;
    TSampleButton* Button3 = nullptr;
    TTimer* Timer1 = nullptr;

    // What the handlers saw, in order ("create", "show", "close", "click1",
    // "click2", "timer").
    std::vector<std::string> events;
    // Run by Button2Click after it records the click (a test's hook).
    std::function<void()> onButton2;
    int timerTicks = 0;

  private:
    TMethodTable methods_;
};

// The registry with the framework's classes and the sample's.
const TClassRegistry& SampleRegistry();

}  // namespace sample
