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

void TbsSkinStdLabel::TextFont(TFont& font) const {
    const TFont& own = Font();
    if (dataIndex_ < 0) {
        font.Assign(useSkinFont_ ? defaultFont_ : own);
        return;
    }
    font.Assign(own);
    if (useSkinFont_) {
        font.SetName(skinFont_.name);
        font.SetHeight(skinFont_.height);
        font.SetStyle(skinFont_.style);
    }
    font.SetColor(skinFont_.color);
    if (skinData_ != nullptr && skinData_->ResourceStrData() != nullptr) {
        font.SetCharset(skinData_->ResourceStrData()->CharSet());
    }
}

void TbsSkinStdLabel::DoDrawText(TCanvas& canvas, RECT& r, UINT flags) {
    FindSkinObject();
    TextFont(canvas.Font());
    DrawCaptionText(canvas, r, flags);
}

}  // namespace skin
