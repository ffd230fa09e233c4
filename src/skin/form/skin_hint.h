#pragma once

// TbsSkinHint: a small window with a line of text near the mouse pointer,
// drawn with the skin's hint window (its picture around the text, its font)
// or, without a skin, in the system's tool-tip colours. It never takes the
// focus and lets the mouse through, so the window under it keeps tracking
// the pointer. The text is also the window's text, for programs that read
// the screen.

#include <windows.h>

#include <string>

#include "framework/component.h"
#include "framework/geometry.h"
#include "framework/graphics.h"
#include "skin/form/core/frame_behaviour.h"

namespace skin {

class TbsSkinData;

class TbsSkinHint : public framework::TComponent {
  public:
    explicit TbsSkinHint(framework::TComponent* owner);
    ~TbsSkinHint() override;

    // The skin whose hint window is drawn; null or an empty skin: the plain
    // look.
    TbsSkinData* SkinData() const { return skinData_; }
    void SetSkinData(TbsSkinData* value);
    // The font of the plain look, and of the skinned one without
    // UseSkinFont.
    framework::TFont& DefaultFont() { return defaultFont_; }
    bool UseSkinFont() const { return useSkinFont_; }
    void SetUseSkinFont(bool value) { useSkinFont_ = value; }

    // Shows `text` (several lines allowed) under the mouse pointer; an empty
    // text hides the hint.
    void ActivateHint(const std::string& text);
    // Shows `text` with the window's left-top at `at` (screen coordinates),
    // kept inside the work area.
    void ActivateHintAt(framework::TPoint at, const std::string& text);
    void HideHint();
    bool Showing() const;
    const std::string& Text() const { return text_; }
    // The hint window, null until the first hint (for tests).
    HWND Handle() const { return hwnd_; }

  protected:
    void Notification(framework::TComponent* component, framework::TOperation operation) override;

  private:
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    void Show(framework::TPoint at, bool below_pointer);
    void Paint(HDC dc);
    // The skin's hint picture, when the skin has one.
    const framework::TBitmapData* Picture() const;
    void SelectFont(framework::TCanvas& canvas) const;
    // The window's size and parts for the current text.
    THintLayout Layout(const framework::TBitmapData* picture) const;

    TbsSkinData* skinData_ = nullptr;
    framework::TFont defaultFont_;
    bool useSkinFont_ = true;
    std::string text_;
    HWND hwnd_ = nullptr;
};

}  // namespace skin
