// The update window as its embedded definition builds it.

#include "updater/win32/update_form.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "skin/data/skin_messages.h"

namespace updater {
namespace {

using namespace framework;

struct Bounds {
    int left, top, width, height, tabOrder;
};

void ExpectBounds(TWinControl& c, Bounds b) {
    SCOPED_TRACE(c.Name());
    EXPECT_EQ(c.Left(), b.left);
    EXPECT_EQ(c.Top(), b.top);
    EXPECT_EQ(c.Width(), b.width);
    EXPECT_EQ(c.Height(), b.height);
    EXPECT_EQ(c.TabOrder(), b.tabOrder);
}

TEST(UpdateForm, IsBuiltFromItsDefinitionWithItsSkin) {
    auto form = std::make_unique<TUpdateForm>(nullptr, TUpdateEnvironment{});
    EXPECT_EQ(form->Name(), "UpdateForm");
    EXPECT_EQ(form->Caption(), "升级更新");
    EXPECT_EQ(form->BorderStyle(), bsDialog);
    EXPECT_EQ(form->BorderIcons(), 0u);
    EXPECT_EQ(form->FormStyle(), fsStayOnTop);
    EXPECT_EQ(form->Position(), poScreenCenter);
    EXPECT_EQ(form->Color(), clBtnFace);
    EXPECT_EQ(form->Font().Name(), "MS Sans Serif");
    EXPECT_EQ(form->Font().Height(), -11);
    EXPECT_EQ(form->ClientWidth(), 480);
    EXPECT_EQ(form->ClientHeight(), 263);

    // The controls in creation order, with their places and tab order.
    const char* order[] = {"Image1",        "bsSkinGauge1", "bsSkinListBox1", "bsSkinButton1",
                           "bsSkinButton2", "bsSkinLabel1", "bsSkinLabel2",   "bsSkinForm1",
                           "bsg",           "yellow",       "silver",         "bsSkinData1",
                           "HTTPClient1"};
    ASSERT_EQ(form->ComponentCount(), 13);
    for (int i = 0; i < 13; ++i) {
        EXPECT_EQ(form->Components(i)->Name(), order[i]);
    }
    // The frame draws the window from the same skin and keeps its client size.
    EXPECT_EQ(form->bsSkinForm1->SkinData(), form->bsSkinData1);
    EXPECT_TRUE(form->bsSkinForm1->Skinned());
    EXPECT_EQ(form->bsSkinForm1->BorderIcons(), 0u);
    EXPECT_EQ(form->bsSkinForm1->ClientWidth(), 480);
    EXPECT_EQ(form->bsSkinForm1->ClientHeight(), 263);
    // Its message boxes take the same skin, for their frame and their
    // controls, and fade in to 230.
    EXPECT_EQ(form->bsg->SkinData(), form->bsSkinData1);
    EXPECT_EQ(form->bsg->CtrlSkinData(), form->bsSkinData1);
    EXPECT_EQ(form->bsg->ButtonSkinDataName(), "button");
    EXPECT_EQ(form->bsg->MessageLabelSkinDataName(), "stdlabel");
    EXPECT_FALSE(form->bsg->UseSkinFont());
    EXPECT_TRUE(form->bsg->AlphaBlend());
    EXPECT_TRUE(form->bsg->AlphaBlendAnimation());
    EXPECT_EQ(form->bsg->AlphaBlendValue(), 230);
    EXPECT_EQ(form->bsg->DefaultFont().Name(), "Arial");
    EXPECT_EQ(form->bsg->DefaultButtonFont().Height(), 14);
    EXPECT_EQ(form->Image1->Width(), 115);
    EXPECT_EQ(form->Image1->Height(), 229);
    EXPECT_EQ(form->Image1->Top(), -5);
    EXPECT_EQ(form->Image1->Picture().PixelFormat(), pf24bit);
    // The skinned controls take the heights the skin gives them.
    ExpectBounds(*form->bsSkinGauge1, {116, 204, 364, 19, 0});
    ExpectBounds(*form->bsSkinListBox1, {116, 0, 365, 177, 1});
    ExpectBounds(*form->bsSkinButton1, {401, 231, 75, 25, 2});
    ExpectBounds(*form->bsSkinButton2, {312, 231, 75, 25, 3});
    ExpectBounds(*form->bsSkinLabel1, {119, 179, 274, 18, 4});
    ExpectBounds(*form->bsSkinLabel2, {396, 179, 82, 18, 5});

    EXPECT_EQ(form->bsSkinButton1->Caption(), "关闭");
    EXPECT_EQ(form->bsSkinButton2->Caption(), "开始升级");
    EXPECT_FALSE(form->bsSkinListBox1->Enabled());
    EXPECT_EQ(form->bsSkinListBox1->ItemIndex(), -1);
    EXPECT_EQ(form->bsSkinListBox1->DefaultItemHeight(), 20);
    EXPECT_EQ(form->bsSkinLabel2->Alignment(), skin::taRightJustify);
    EXPECT_EQ(form->bsSkinLabel1->BorderStyle(), skin::bvNone);
    EXPECT_TRUE(form->bsSkinGauge1->ShowProgressText());
    EXPECT_TRUE(form->bsSkinGauge1->ShowPercent());
    EXPECT_EQ(form->bsSkinGauge1->Value(), 0);
    EXPECT_EQ(form->HTTPClient1->Client().Request().user_agent,
              "Mozilla/3.0 (compatible; Update Client)");
    EXPECT_TRUE(form->HTTPClient1->Client().AllowCookies());

    // The stored skin "yellow" is unpacked while the definition is read.
    ASSERT_NE(form->bsSkinData1, nullptr);
    EXPECT_FALSE(form->bsSkinData1->SkinEmpty());
    EXPECT_EQ(form->bsSkinData1->PictureList().size(), 6u);
    EXPECT_EQ(form->bsSkinData1->MainPicture().Width(), 161);
    EXPECT_GE(form->bsSkinData1->IndexOfControlObject("gauge"), 0);
    EXPECT_GE(form->bsSkinData1->IndexOfFrameObject("caption1"), 0);
    // Our second skin travels with the window too.
    auto* silver = dynamic_cast<skin::TbsCompressedStoredSkin*>(form->FindComponent("silver"));
    ASSERT_NE(silver, nullptr);
    EXPECT_FALSE(silver->IsStoreEmpty());
}

// The window passes its skin data's notifications on to its controls: they
// drop their objects before the old skin goes and adapt to the new one.
TEST(UpdateForm, ItsControlsFollowASkinChange) {
    auto form = std::make_unique<TUpdateForm>(nullptr, TUpdateEnvironment{});
    std::vector<skin::TbsSkinControl*> skinned = {form->bsSkinGauge1, form->bsSkinButton1,
                                                  form->bsSkinButton2, form->bsSkinLabel1,
                                                  form->bsSkinLabel2};
    for (auto* c : skinned) {
        EXPECT_EQ(c->SkinData(), form->bsSkinData1) << c->Name();
        EXPECT_GE(c->DataIndex(), 0) << c->Name();
    }
    int changing = 0;
    const TWndMethod relay = form->WindowProc;
    form->WindowProc = [&](TMessage& m) {
        relay(m);
        if (m.Msg == skin::WM_SKINDATA_CHANGING) {
            ++changing;
            for (auto* c : skinned) {
                EXPECT_EQ(c->DataIndex(), -1) << c->Name() << " kept an object of the old skin";
            }
        }
    };
    auto* silver = dynamic_cast<skin::TbsCompressedStoredSkin*>(form->FindComponent("silver"));
    auto* yellow = dynamic_cast<skin::TbsCompressedStoredSkin*>(form->FindComponent("yellow"));
    ASSERT_NE(silver, nullptr);
    ASSERT_NE(yellow, nullptr);
    struct Heights {
        skin::TbsCompressedStoredSkin* skin;
        int gauge, label, button;
    } steps[] = {{silver, 17, 20, 23}, {yellow, 19, 18, 25}};
    for (const Heights& h : steps) {
        form->bsSkinData1->SetCompressedStoredSkin(h.skin);
        EXPECT_EQ(form->bsSkinGauge1->Height(), h.gauge);
        EXPECT_EQ(form->bsSkinGauge1->Width(), 364);
        EXPECT_EQ(form->bsSkinLabel1->Height(), h.label);
        EXPECT_EQ(form->bsSkinLabel2->Height(), h.label);
        EXPECT_EQ(form->bsSkinButton1->Height(), h.button);
        EXPECT_EQ(form->bsSkinButton1->Width(), 75);
        for (auto* c : skinned) {
            EXPECT_GE(c->DataIndex(), 0) << c->Name();
        }
    }
    EXPECT_EQ(changing, 2);
    form->WindowProc = relay;
}

}  // namespace
}  // namespace updater
