#include "skin/controls/std_label.h"

namespace skin {

using namespace framework;

TbsSkinStdLabel::TbsSkinStdLabel(TComponent* owner) : TCustomLabel(owner) {
    defaultFont_.SetName("Arial");
    defaultFont_.SetHeight(14);
}

void TbsSkinStdLabel::SetSkinData(TbsSkinData* value) {
    if (skinData_ != value) {
        if (skinData_ != nullptr) {
            RemoveFreeNotification(skinData_);
        }
        skinData_ = value;
        if (value != nullptr) {
            FreeNotification(value);
        }
    }
    if (value != nullptr) {
        ApplySkinChange();
    }
}

void TbsSkinStdLabel::ApplySkinChange() {
    FindSkinObject();
    AdjustBounds();
    Invalidate();
}

void TbsSkinStdLabel::SetUseSkinFont(bool value) {
    if (value != useSkinFont_) {
        useSkinFont_ = value;
        AdjustBounds();
        Invalidate();
    }
}

void TbsSkinStdLabel::Notification(TComponent* component, TOperation operation) {
    TCustomLabel::Notification(component, operation);
    if (operation == opRemove && component == skinData_) {
        skinData_ = nullptr;
        dataIndex_ = -1;
    }
}

void TbsSkinStdLabel::FindSkinObject() {
    if (skinData_ == nullptr || skinData_->SkinEmpty()) {
        dataIndex_ = -1;
        return;
    }
    dataIndex_ = skinData_->IndexOfControlObject(skinDataName_);
    // An object of another class leaves the copied values as they were.
    if (const auto* object =
            dynamic_cast<const TbsDataSkinStdLabelControl*>(skinData_->ControlObject(dataIndex_))) {
        skinFont_ = object->font;
    }
}

void StdLabelFont(TFont& font, const TFont& own, const TFont& fallback, bool use_skin_font,
                  const TSkinFont* skin_font, const TbsSkinData* skin) {
    if (skin_font == nullptr) {
        font.Assign(use_skin_font ? fallback : own);
        return;
    }
    font.Assign(own);
    if (use_skin_font) {
        font.SetName(skin_font->name);
        font.SetHeight(skin_font->height);
        font.SetStyle(skin_font->style);
    }
    font.SetColor(skin_font->color);
    if (skin != nullptr && skin->ResourceStrData() != nullptr) {
        font.SetCharset(skin->ResourceStrData()->CharSet());
    }
}

void TbsSkinStdLabel::TextFont(TFont& font) const {
    StdLabelFont(font, Font(), defaultFont_, useSkinFont_, dataIndex_ >= 0 ? &skinFont_ : nullptr,
                 skinData_);
}

void TbsSkinStdLabel::DoDrawText(TCanvas& canvas, RECT& r, UINT flags) {
    FindSkinObject();
    TextFont(canvas.Font());
    DrawCaptionText(canvas, r, flags);
}

}  // namespace skin
