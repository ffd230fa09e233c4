#pragma once

// TComponent: the root of everything that has a name and an owner.
//
// Components form an owning tree: a component created with `new T(owner)` is
// owned by `owner`, which deletes it when it is itself deleted. Owned
// components are deleted in the reverse order of their creation, so a
// component never outlives one created before it under the same owner. A
// component may also be deleted directly; it then leaves its owner's list.
//
// Free notification lets a component that keeps a pointer to another one hear
// of that one's destruction: after `a->FreeNotification(b)`, deleting either
// of them calls the other's Notification(deleted, opRemove). The owner of a
// deleted component is told the same way. Nobody else is told: a component
// that keeps a pointer to a sibling registers for it like for any other.
//
// A component freed with `delete` (directly, by its owner, through a smart
// pointer) sends these notifications before any destructor runs, so a
// receiver may still read the whole component. `delete` goes through
// TComponent's destroying operator delete, which sends them and then
// destroys and frees the object. A component that is not deleted (a local
// variable, a member) can only send them from ~TComponent, when its derived
// parts are gone; its receivers must use no more than its address.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "base/exception.h"

namespace framework {

// Bad use of a component: a name that is taken, an index out of range.
class EComponentError : public base::Exception {
  public:
    using Exception::Exception;
};

enum TOperation { opInsert, opRemove };

// Component state flags.
enum TComponentStateFlag : uint32_t {
    csLoading = 1u << 0,     // properties are being read from a window definition
    csDesigning = 1u << 1,   // never set in the running program; tests may set it
    csDestroying = 1u << 2,  // set when destruction starts (see BeforeDestruction)
};
using TComponentState = uint32_t;

class TComponent {
  public:
    // Joins `owner` (which may be null) as its last owned component; the owner
    // receives Notification(this, opInsert) while this object is still being
    // constructed, so it may keep the pointer but must not use it yet.
    explicit TComponent(TComponent* owner);
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;
    // Tells the free-notification partners and the owner (unless `delete`
    // has done that already), and deletes the owned components, last
    // created first.
    virtual ~TComponent();

    // `delete` on any component: tells the partners and the owner while the
    // object is whole, then destroys and frees it.
    void operator delete(TComponent* component, std::destroying_delete_t);
    // The global allocation, declared here with the plain deallocation that a
    // `new` whose constructor throws uses.
    static void* operator new(std::size_t size);
    static void operator delete(void* storage) noexcept;

    const std::string& Name() const { return name_; }
    // An empty name is always allowed. Another name must not be used by a
    // second component of the same owner (compared as SameName does), else
    // EComponentError "A component named NAME already exists".
    void SetName(std::string name);

    TComponent* Owner() const { return owner_; }

    int ComponentCount() const { return static_cast<int>(components_.size()); }
    // In creation order; EComponentError "List index out of bounds (N)"
    // outside 0..ComponentCount()-1.
    TComponent* Components(int index) const;
    // The owned component with that name (ASCII letters in any case), or
    // null; an empty name finds nothing. Only direct owned components count.
    TComponent* FindComponent(std::string_view name) const;
    // Deletes every owned component, the last created first. A derived class
    // whose components need it alive calls this from its own destructor.
    void DestroyComponents();

    TComponentState ComponentState() const { return state_; }
    bool Loading() const { return (state_ & csLoading) != 0; }
    bool Designing() const { return (state_ & csDesigning) != 0; }
    bool Destroying() const { return (state_ & csDestroying) != 0; }
    // The window-definition reader sets csLoading before it writes the
    // properties and clears it through Loaded (or directly when it gives up).
    void SetLoading(bool value) { SetFlag(csLoading, value); }
    void SetDesigning(bool value) { SetFlag(csDesigning, value); }

    // Called once all components of a definition are read and their
    // references resolved. Clears csLoading; an override must call it.
    virtual void Loaded();

    // Called by the window-definition reader right after it creates a nested
    // object, with the object that encloses it in the definition. A control
    // takes it as its parent window; the default ignores it.
    virtual void SetParentComponent(TComponent* parent);

    // Registers both directions: when either component is deleted, the other
    // receives Notification(deleted, opRemove). Registering twice, or with
    // itself or null, does nothing more.
    void FreeNotification(TComponent* other);
    // Undoes FreeNotification in both directions.
    void RemoveFreeNotification(TComponent* other);

    // A token that expires when this component's destruction starts (before
    // any destructor runs when it is freed with `delete`, at the latest in
    // ~TComponent). Asked for during destruction, it is expired already.
    // The shared state is made on the first request only.
    std::weak_ptr<const bool> Liveness() const;

  protected:
    // opInsert: `component` was just created with this component as owner.
    // opRemove: `component` is being deleted; it is a free-notification
    // partner or an owned component. Pointers to it must be cleared here.
    // When it was freed with `delete` no destructor of it has run yet and it
    // may be read; otherwise only its address is meaningful (see above).
    virtual void Notification(TComponent* component, TOperation operation);

  private:
    // The first step of destruction: sets csDestroying, tells the partners,
    // leaves the owner and tells it. Run again by ~TComponent, it tells only
    // partners that registered in between.
    void BeforeDestruction();
    void SetFlag(TComponentStateFlag flag, bool value) {
        state_ = value ? (state_ | flag) : (state_ & ~static_cast<TComponentState>(flag));
    }
    static void Erase(std::vector<TComponent*>& list, TComponent* item);

    std::string name_;
    TComponent* owner_ = nullptr;
    std::vector<TComponent*> components_;
    std::vector<TComponent*> freeNotifies_;
    TComponentState state_ = 0;
    bool leftOwner_ = false;
    mutable std::shared_ptr<const bool> liveness_;
};

}  // namespace framework
