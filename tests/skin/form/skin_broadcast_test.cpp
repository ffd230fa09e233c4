// Skin notifications reaching real forms: the owner form first, then the
// others, synchronously, through each form's window-procedure slot.

#include "skin/form/skin_broadcast.h"

#include <gtest/gtest.h>

#include "support/skins.h"

#include <memory>
#include <string>
#include <vector>

#include "framework/forms.h"
#include "skin/data/skin_data.h"
#include "skin/data/skin_messages.h"
#include "skin/data/stored_skin.h"

namespace skin {
namespace {

using namespace framework;

struct Seen {
    std::string form;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    bool skinEmpty;  // the sender's state when the form heard of it
    size_t objects;  // the sender's control objects then
};

// Takes over a form's messages and records the skin notifications.
class TSkinSpy : public TComponent {
  public:
    TSkinSpy(TForm* form, std::vector<Seen>& seen) : TComponent(form), form_(form), seen_(seen) {
        previous_ = form->WindowProc;
        form->WindowProc = [this](TMessage& m) {
            if (m.Msg == WM_SKINDATA_CHANGING || m.Msg == WM_SKINDATA_CHANGED) {
                auto* sender = reinterpret_cast<TbsSkinData*>(m.WParam);
                seen_.push_back({form_->Name(), m.Msg, m.WParam, m.LParam, sender->SkinEmpty(),
                                 sender->ControlObjects().size()});
            }
            previous_(m);
        };
    }
    ~TSkinSpy() override { form_->WindowProc = previous_; }

  private:
    TForm* form_;
    std::vector<Seen>& seen_;
    TWndMethod previous_;
};

TEST(SkinBroadcast, TheOwnerFormHearsFirstThenEveryOtherForm) {
    InstallSkinBroadcast();
    std::vector<Seen> seen;
    auto other = std::make_unique<TForm>(nullptr);
    other->SetName("Other");
    auto owner = std::make_unique<TForm>(nullptr);
    owner->SetName("Owner");
    auto third = std::make_unique<TForm>(nullptr);
    third->SetName("Third");
    for (TForm* f : {other.get(), owner.get(), third.get()}) {
        new TSkinSpy(f, seen);
    }
    // The owner form has no window yet: the notifications need none.
    auto* stored = test_support::StoredSkin(owner.get(), "yellow");
    ASSERT_FALSE(stored->IsStoreEmpty());
    auto* data = new TbsSkinData(owner.get());
    data->SetCompressedStoredSkin(stored);

    ASSERT_FALSE(data->SkinEmpty());
    EXPECT_EQ(data->PictureList().size(), 6u);
    EXPECT_GE(data->IndexOfControlObject("button"), 0);
    EXPECT_FALSE(owner->HandleAllocated());

    const WPARAM sender = reinterpret_cast<WPARAM>(data);
    ASSERT_EQ(seen.size(), 6u);
    const char* order[] = {"Owner", "Other", "Third"};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(seen[i].form, order[i]);
        EXPECT_EQ(seen[i].message, static_cast<UINT>(WM_SKINDATA_CHANGING));
        EXPECT_EQ(seen[3 + i].form, order[i]);
        EXPECT_EQ(seen[3 + i].message, static_cast<UINT>(WM_SKINDATA_CHANGED));
        EXPECT_TRUE(seen[3 + i].skinEmpty == false) << "the new skin is complete when announced";
        for (const Seen& s : {seen[i], seen[3 + i]}) {
            EXPECT_EQ(s.wParam, sender);
            EXPECT_EQ(s.lParam, 1000);
        }
    }

    // A form that is gone hears nothing; the next load is announced again.
    seen.clear();
    third.reset();
    data->LoadStoredSkin(*stored);
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen[0].form, "Owner");
    EXPECT_EQ(seen[1].form, "Other");
    EXPECT_TRUE(seen[1].skinEmpty) << "marked empty before it is announced";
    EXPECT_GT(seen[1].objects, 0u) << "CHANGING comes while the old objects are still there";
    EXPECT_EQ(seen[2].message, static_cast<UINT>(WM_SKINDATA_CHANGED));
}

}  // namespace
}  // namespace skin
