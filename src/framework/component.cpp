#include "framework/component.h"

#include <algorithm>

#include "framework/names.h"

namespace framework {

TComponent::TComponent(TComponent* owner) : owner_(owner) {
    if (owner_ != nullptr) {
        owner_->components_.push_back(this);
        owner_->Notification(this, opInsert);
    }
}

TComponent::~TComponent() {
    BeforeDestruction();
    DestroyComponents();
}

void TComponent::operator delete(TComponent* component, std::destroying_delete_t) {
    component->BeforeDestruction();
    // The storage begins at the most derived object, which the virtual
    // destructor destroys whole.
    void* storage = dynamic_cast<void*>(component);
    component->~TComponent();
    ::operator delete(storage);
}

void* TComponent::operator new(std::size_t size) {
    return ::operator new(size);
}

void TComponent::operator delete(void* storage) noexcept {
    ::operator delete(storage);
}

void TComponent::BeforeDestruction() {
    state_ |= csDestroying;
    liveness_.reset();
    // Each partner forgets this component before it hears of the deletion, so
    // that a handler that calls RemoveFreeNotification finds nothing to undo.
    while (!freeNotifies_.empty()) {
        TComponent* partner = freeNotifies_.back();
        freeNotifies_.pop_back();
        Erase(partner->freeNotifies_, this);
        partner->Notification(this, opRemove);
    }
    if (owner_ != nullptr && !leftOwner_) {
        leftOwner_ = true;
        Erase(owner_->components_, this);
        owner_->Notification(this, opRemove);
    }
}

void TComponent::Erase(std::vector<TComponent*>& list, TComponent* item) {
    auto it = std::find(list.begin(), list.end(), item);
    if (it != list.end()) {
        list.erase(it);
    }
}

void TComponent::SetName(std::string name) {
    if (!name.empty() && owner_ != nullptr) {
        TComponent* existing = owner_->FindComponent(name);
        if (existing != nullptr && existing != this) {
            throw EComponentError("A component named " + name + " already exists");
        }
    }
    name_ = std::move(name);
}

TComponent* TComponent::Components(int index) const {
    if (index < 0 || index >= ComponentCount()) {
        throw EComponentError("List index out of bounds (" + std::to_string(index) + ")");
    }
    return components_[static_cast<size_t>(index)];
}

TComponent* TComponent::FindComponent(std::string_view name) const {
    if (name.empty()) {
        return nullptr;
    }
    for (TComponent* c : components_) {
        if (SameName(c->name_, name)) {
            return c;
        }
    }
    return nullptr;
}

void TComponent::DestroyComponents() {
    // Each owned component removes itself from the list as it is deleted.
    while (!components_.empty()) {
        delete components_.back();
    }
}

void TComponent::Loaded() {
    SetLoading(false);
}

void TComponent::SetParentComponent(TComponent* /*parent*/) {}

void TComponent::FreeNotification(TComponent* other) {
    if (other == nullptr || other == this) {
        return;
    }
    if (std::find(freeNotifies_.begin(), freeNotifies_.end(), other) == freeNotifies_.end()) {
        freeNotifies_.push_back(other);
    }
    if (std::find(other->freeNotifies_.begin(), other->freeNotifies_.end(), this) ==
        other->freeNotifies_.end()) {
        other->freeNotifies_.push_back(this);
    }
}

void TComponent::RemoveFreeNotification(TComponent* other) {
    if (other == nullptr) {
        return;
    }
    Erase(freeNotifies_, other);
    Erase(other->freeNotifies_, this);
}

std::weak_ptr<const bool> TComponent::Liveness() const {
    if (Destroying()) {
        return {};
    }
    if (!liveness_) {
        liveness_ = std::make_shared<const bool>(true);
    }
    return liveness_;
}

void TComponent::Notification(TComponent* /*component*/, TOperation /*operation*/) {}

}  // namespace framework
