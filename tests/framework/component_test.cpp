#include "framework/component.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/names.h"

namespace framework {
namespace {

// Records its destruction and every notification it receives in a shared log.
class Recorder : public TComponent {
  public:
    Recorder(TComponent* owner, std::string tag, std::vector<std::string>* log)
        : TComponent(owner), tag_(std::move(tag)), log_(log) {}
    // Deletes its components while it is still a Recorder, so that it hears
    // of their removal.
    ~Recorder() override {
        DestroyComponents();
        log_->push_back("~" + tag_);
    }

    // A pointer to another component that must be cleared when it goes.
    TComponent* ref = nullptr;
    bool destroyingSeen = false;

  protected:
    void Notification(TComponent* component, TOperation operation) override {
        TComponent::Notification(component, operation);
        log_->push_back(tag_ + (operation == opInsert ? " insert " : " remove ") +
                        (component->Name().empty() ? "?" : component->Name()));
        if (operation == opRemove && component == ref) {
            destroyingSeen = component->Destroying();
            ref = nullptr;
        }
    }

  private:
    std::string tag_;
    std::vector<std::string>* log_;
};

// Creates a named Recorder.
Recorder* Make(TComponent* owner, const std::string& name, std::vector<std::string>* log) {
    auto* r = new Recorder(owner, name, log);
    r->SetName(name);
    return r;
}

TEST(ComponentTest, OwnedComponentsInCreationOrder) {
    TComponent owner(nullptr);
    auto* a = new TComponent(&owner);
    auto* b = new TComponent(&owner);
    auto* c = new TComponent(&owner);
    EXPECT_EQ(owner.Owner(), nullptr);
    EXPECT_EQ(a->Owner(), &owner);
    ASSERT_EQ(owner.ComponentCount(), 3);
    EXPECT_EQ(owner.Components(0), a);
    EXPECT_EQ(owner.Components(1), b);
    EXPECT_EQ(owner.Components(2), c);
    EXPECT_EQ(a->ComponentCount(), 0);

    try {
        owner.Components(3);
        ADD_FAILURE() << "no exception";
    } catch (const EComponentError& e) {
        EXPECT_EQ(e.Message(), "List index out of bounds (3)");
    }
    EXPECT_THROW(owner.Components(-1), EComponentError);

    // Deleting one directly takes it out of the list; the others keep their order.
    delete b;
    ASSERT_EQ(owner.ComponentCount(), 2);
    EXPECT_EQ(owner.Components(0), a);
    EXPECT_EQ(owner.Components(1), c);
}

TEST(ComponentTest, OwnerDeletesOwnedComponentsLastCreatedFirst) {
    std::vector<std::string> log;
    auto* root = Make(nullptr, "root", &log);
    auto* a = Make(root, "a", &log);
    Make(a, "a1", &log);
    Make(a, "a2", &log);
    Make(root, "b", &log);
    Make(root, "c", &log);
    log.clear();

    delete root;
    // Each is told of before it goes.
    const std::vector<std::string> expected = {
        "root remove c", "~c",          "root remove b", "~b", "root remove a", "a remove a2",
        "~a2",           "a remove a1", "~a1",           "~a", "~root"};
    EXPECT_EQ(log, expected);
}

TEST(ComponentTest, OwnerIsToldOfInsertionAndDirectDeletion) {
    std::vector<std::string> log;
    Recorder owner(nullptr, "owner", &log);
    auto* child = new TComponent(&owner);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0], "owner insert ?");
    child->SetName("child");
    delete child;
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[1], "owner remove child");
    EXPECT_EQ(owner.ComponentCount(), 0);
}

TEST(ComponentTest, FindComponentMatchesNamesInAnyCase) {
    TComponent owner(nullptr);
    auto* button = new TComponent(&owner);
    button->SetName("bsSkinButton1");
    auto* label = new TComponent(&owner);
    label->SetName("Label_2");
    auto* unnamed = new TComponent(&owner);
    (void)unnamed;
    auto* grandchild = new TComponent(button);
    grandchild->SetName("Deep");

    EXPECT_EQ(owner.FindComponent("bsSkinButton1"), button);
    EXPECT_EQ(owner.FindComponent("BSSKINBUTTON1"), button);
    EXPECT_EQ(owner.FindComponent("label_2"), label);
    EXPECT_EQ(owner.FindComponent(""), nullptr);
    EXPECT_EQ(owner.FindComponent("bsSkinButton"), nullptr);
    EXPECT_EQ(owner.FindComponent("Deep"), nullptr);  // owned by the button, not the owner
    EXPECT_EQ(button->FindComponent("deep"), grandchild);
}

TEST(ComponentTest, SameNameFoldsAsciiOnlyOutsideDoubleByteCharacters) {
    EXPECT_TRUE(SameName("Abc_9", "aBC_9"));
    EXPECT_FALSE(SameName("Abc", "Abd"));
    EXPECT_FALSE(SameName("Abc", "Abcd"));
    // "升级" in GBK, equal bytes.
    EXPECT_TRUE(SameName("\xC9\xFD\xBC\xB6", "\xC9\xFD\xBC\xB6"));
    // A double-byte character whose trail byte is a letter: 0x81 0x61 and
    // 0x81 0x41 are different characters.
    EXPECT_FALSE(SameName("\x81\x61", "\x81\x41"));
    // After the character, letters fold again.
    EXPECT_TRUE(SameName("\x81\x61x", "\x81\x61X"));
    // Bytes 0x80 and 0xFF do not start a character; they compare as they are.
    EXPECT_TRUE(SameName("\x80q", "\x80Q"));
}

TEST(ComponentTest, NamesAreUniqueAmongAnOwnersComponents) {
    TComponent owner(nullptr);
    auto* a = new TComponent(&owner);
    a->SetName("Button1");
    auto* b = new TComponent(&owner);
    try {
        b->SetName("BUTTON1");
        ADD_FAILURE() << "no exception";
    } catch (const EComponentError& e) {
        EXPECT_EQ(e.Message(), "A component named BUTTON1 already exists");
    }
    EXPECT_EQ(b->Name(), "");
    a->SetName("button1");  // its own name in another case
    EXPECT_EQ(a->Name(), "button1");
    b->SetName("Button2");
    // Empty names never collide, and neither do names under different owners.
    new TComponent(&owner);
    new TComponent(&owner);
    auto* nested = new TComponent(a);
    nested->SetName("Button2");
    EXPECT_EQ(nested->Name(), "Button2");
    // Without an owner nothing is checked.
    TComponent lone(nullptr);
    lone.SetName("Button1");
    EXPECT_EQ(lone.Name(), "Button1");
}

TEST(ComponentTest, FreeNotificationClearsReferencesInBothDirections) {
    std::vector<std::string> log;
    {
        // The referenced component goes first.
        auto* holder = Make(nullptr, "holder", &log);
        auto* target = Make(nullptr, "target", &log);
        holder->ref = target;
        target->FreeNotification(holder);
        delete target;
        EXPECT_EQ(holder->ref, nullptr);
        EXPECT_TRUE(holder->destroyingSeen);
        delete holder;
    }
    log.clear();
    {
        // The holder goes first: the target hears of it too.
        auto* holder = Make(nullptr, "holder", &log);
        auto* target = Make(nullptr, "target", &log);
        target->ref = holder;
        holder->FreeNotification(target);
        holder->FreeNotification(target);  // a second registration adds nothing
        delete holder;
        EXPECT_EQ(target->ref, nullptr);
        const std::vector<std::string> expected = {"target remove holder", "~holder"};
        EXPECT_EQ(log, expected);
        delete target;
    }
}

// A component with data of its own.
class ItemsSource : public TComponent {
  public:
    using TComponent::TComponent;
    std::vector<std::string> items{"first item of the list", "second item of the list"};
};

// Reads the departing source's data when it hears of its removal, as a
// receiver that does more than clear its pointer does.
class ItemsReader : public TComponent {
  public:
    using TComponent::TComponent;
    ItemsSource* source = nullptr;
    std::vector<std::string> seen;

  protected:
    void Notification(TComponent* component, TOperation operation) override {
        TComponent::Notification(component, operation);
        if (operation == opRemove && component == source) {
            seen = source->items;
            source = nullptr;
        }
    }
};

TEST(ComponentTest, ReceiversHearOfADeletionWhileTheComponentIsWhole) {
    const std::vector<std::string> items = ItemsSource(nullptr).items;
    {
        // A free-notification partner, deleted directly.
        ItemsReader reader(nullptr);
        auto* source = new ItemsSource(nullptr);
        reader.source = source;
        source->FreeNotification(&reader);
        delete source;
        EXPECT_EQ(reader.source, nullptr);
        EXPECT_EQ(reader.seen, items);
    }
    {
        // A partner deleted by its owner.
        ItemsReader reader(nullptr);
        auto* box = new TComponent(nullptr);
        reader.source = new ItemsSource(box);
        reader.source->FreeNotification(&reader);
        delete box;
        EXPECT_EQ(reader.seen, items);
    }
    {
        // The owner of the deleted component.
        ItemsReader owner(nullptr);
        auto* source = new ItemsSource(&owner);
        owner.source = source;
        delete source;
        EXPECT_EQ(owner.seen, items);
        EXPECT_EQ(owner.ComponentCount(), 0);
    }
}

TEST(ComponentTest, AComponentWithoutDeleteStillTellsItsPartners) {
    std::vector<std::string> log;
    auto* holder = Make(nullptr, "holder", &log);
    {
        Recorder target(nullptr, "target", &log);
        target.SetName("target");
        holder->ref = &target;
        target.FreeNotification(holder);
    }
    EXPECT_EQ(holder->ref, nullptr);
    delete holder;
}

TEST(ComponentTest, RemoveFreeNotificationUndoesBothDirections) {
    std::vector<std::string> log;
    auto* a = Make(nullptr, "a", &log);
    auto* b = Make(nullptr, "b", &log);
    a->FreeNotification(b);
    b->RemoveFreeNotification(a);  // either side may undo it
    a->FreeNotification(a);        // with itself: nothing
    a->FreeNotification(nullptr);
    delete a;
    delete b;
    const std::vector<std::string> expected = {"~a", "~b"};
    EXPECT_EQ(log, expected);
}

TEST(ComponentTest, SiblingReferenceClearedWhileTheOwnerDeletesItsComponents) {
    std::vector<std::string> log;
    auto* owner = new TComponent(nullptr);
    auto* first = Make(owner, "first", &log);
    auto* second = Make(owner, "second", &log);
    // The earlier component points to the later one, which its owner deletes
    // first: the pointer must be cleared before `first` could use it.
    first->ref = second;
    second->FreeNotification(first);
    delete owner;
    const std::vector<std::string> expected = {"first remove second", "~second", "~first"};
    EXPECT_EQ(log, expected);
}

// Clears its reference and undoes the registration from inside the
// notification; the dying component must cope with that.
class Unregisterer : public TComponent {
  public:
    using TComponent::TComponent;
    TComponent* ref = nullptr;
    int removals = 0;

  protected:
    void Notification(TComponent* component, TOperation operation) override {
        if (operation == opRemove && component == ref) {
            ++removals;
            component->RemoveFreeNotification(this);
            ref = nullptr;
        }
    }
};

TEST(ComponentTest, NotificationMayUnregisterDuringDestruction) {
    auto* a = new Unregisterer(nullptr);
    auto* b = new Unregisterer(nullptr);
    auto* c = new TComponent(nullptr);
    a->ref = c;
    b->ref = c;
    c->FreeNotification(a);
    c->FreeNotification(b);
    delete c;
    EXPECT_EQ(a->removals, 1);
    EXPECT_EQ(b->removals, 1);
    EXPECT_EQ(a->ref, nullptr);
    delete a;
    delete b;
}

// Records its state when Loaded runs.
class LoadProbe : public TComponent {
  public:
    using TComponent::TComponent;
    bool loadingInLoaded = false;
    void Loaded() override {
        loadingInLoaded = Loading();
        TComponent::Loaded();
    }
};

TEST(ComponentTest, StateFlags) {
    LoadProbe c(nullptr);
    EXPECT_EQ(c.ComponentState(), 0u);
    EXPECT_FALSE(c.Loading());
    EXPECT_FALSE(c.Designing());
    c.SetLoading(true);
    c.SetDesigning(true);
    EXPECT_EQ(c.ComponentState(), static_cast<TComponentState>(csLoading | csDesigning));
    c.Loaded();
    EXPECT_TRUE(c.loadingInLoaded);
    EXPECT_FALSE(c.Loading());
    EXPECT_TRUE(c.Designing());  // Loaded leaves the other flags alone
    c.SetDesigning(false);
    EXPECT_EQ(c.ComponentState(), 0u);
}

TEST(ComponentTest, DestroyComponentsEmptiesTheOwnerAndLeavesItUsable) {
    std::vector<std::string> log;
    TComponent owner(nullptr);
    Make(&owner, "x", &log);
    Make(&owner, "y", &log);
    owner.DestroyComponents();
    EXPECT_EQ(owner.ComponentCount(), 0);
    const std::vector<std::string> expected = {"~y", "~x"};
    EXPECT_EQ(log, expected);
    auto* again = new TComponent(&owner);
    again->SetName("x");  // the old names are free again
    EXPECT_EQ(owner.FindComponent("X"), again);
}

// Calls out the way an event does and tells whether it is still alive after.
class Caller : public TComponent {
  public:
    using TComponent::TComponent;
    ~Caller() override { expiredInDestructor = Liveness().expired(); }

    std::function<void()> onCall;
    // Where the destructor reports; outlives the component.
    static inline bool expiredInDestructor = false;

    bool Call() {
        auto alive = Liveness();
        onCall();
        return !alive.expired();
    }
};

// Notes whether a token had expired when it heard of a deletion.
class TokenWatcher : public TComponent {
  public:
    using TComponent::TComponent;
    std::weak_ptr<const bool> token;
    bool told = false;
    bool expiredWhenTold = false;

  protected:
    void Notification(TComponent* component, TOperation operation) override {
        TComponent::Notification(component, operation);
        if (operation == opRemove) {
            told = true;
            expiredWhenTold = token.expired();
        }
    }
};

TEST(ComponentTest, LivenessExpiresWhenDestructionStarts) {
    struct Case {
        const char* name;
        // What the callback does to the caller and its owner.
        std::function<void(Caller*& caller, TComponent*& owner)> act;
        bool alive;
    };
    const Case cases[] = {
        {"left alone", [](Caller*&, TComponent*&) {}, true},
        {"deleted from its own callback",
         [](Caller*& c, TComponent*&) {
             delete c;
             c = nullptr;
         },
         false},
        {"deleted by its owner",
         [](Caller*& c, TComponent*& owner) {
             delete owner;
             owner = nullptr;
             c = nullptr;
         },
         false},
        {"another component deleted",
         [](Caller*&, TComponent*& owner) { delete owner->Components(0); }, true},
    };
    for (const Case& k : cases) {
        auto* owner = new TComponent(nullptr);
        new TComponent(owner);
        auto* caller = new Caller(owner);
        Caller::expiredInDestructor = false;
        caller->onCall = [&] { k.act(caller, owner); };
        EXPECT_EQ(caller->Call(), k.alive) << k.name;
        if (!k.alive) {
            EXPECT_TRUE(Caller::expiredInDestructor)
                << k.name << ": expired before the derived destructor ran";
        }
        delete owner;
    }

    // Not freed with delete: expired by the end of ~TComponent at the latest.
    std::weak_ptr<const bool> token;
    {
        TComponent local(nullptr);
        token = local.Liveness();
        EXPECT_FALSE(token.expired());
        EXPECT_FALSE(local.Liveness().owner_before(token) || token.owner_before(local.Liveness()))
            << "one shared state per component";
    }
    EXPECT_TRUE(token.expired());

    // A partner told of the deletion finds the token expired already.
    TokenWatcher watcher(nullptr);
    auto* watched = new TComponent(nullptr);
    watcher.token = watched->Liveness();
    watcher.FreeNotification(watched);
    delete watched;
    EXPECT_TRUE(watcher.told);
    EXPECT_TRUE(watcher.expiredWhenTold);
}

}  // namespace
}  // namespace framework
