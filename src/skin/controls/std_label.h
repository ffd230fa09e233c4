#pragma once

// TbsSkinStdLabel: a windowless label (the framework's) whose font and
// colour come from a "stdlabel" object of a skin. It draws on its parent,
// which shows through around the text.

#include <string>

#include "framework/controls.h"
#include "skin/data/skin_data.h"

namespace skin {

class TbsSkinStdLabel : public framework::TCustomLabel {
  public:
    explicit TbsSkinStdLabel(framework::TComponent* owner);

    TbsSkinData* SkinData() const { return skinData_; }
    // Stores the reference; with a skin data, looks the object up, fits the
    // bounds (AutoSize) and repaints.
    void SetSkinData(TbsSkinData* value);
    const std::string& SkinDataName() const { return skinDataName_; }
    void SetSkinDataName(std::string name) { skinDataName_ = std::move(name); }
    // The font without a skin object when UseSkinFont is on.
    framework::TFont& DefaultFont() { return defaultFont_; }
    // Copies `font` without repainting.
    void SetDefaultFont(const framework::TFont& font) { defaultFont_.Assign(font); }
    bool UseSkinFont() const { return useSkinFont_; }
    void SetUseSkinFont(bool value);

    // -1 without a skin object.
    int DataIndex() const { return dataIndex_; }
    // Looks the object up again and copies its font (the skin changed).
    void ApplySkinChange();

  protected:
    // Looks the object up and draws (or measures) in the skin's font and
    // colour.
    void DoDrawText(framework::TCanvas& canvas, RECT& r, UINT flags) override;
    void Notification(framework::TComponent* component, framework::TOperation operation) override;

  private:
    void FindSkinObject();
    void TextFont(framework::TFont& font) const;

    TbsSkinData* skinData_ = nullptr;
    std::string skinDataName_ = "stdlabel";
    framework::TFont defaultFont_;
    bool useSkinFont_ = true;
    int dataIndex_ = -1;
    TSkinFont skinFont_;  // copied from the object
};

// The font a label of the "stdlabel" kind draws its text in. Without a skin
// object (`skin_font` null): `fallback` when `use_skin_font`, else `own`.
// With one: `own` with the object's name, height and style when
// `use_skin_font`, always the object's colour, and the character set of the
// skin's string table when it has one.
void StdLabelFont(framework::TFont& font, const framework::TFont& own,
                  const framework::TFont& fallback, bool use_skin_font, const TSkinFont* skin_font,
                  const TbsSkinData* skin);

}  // namespace skin
