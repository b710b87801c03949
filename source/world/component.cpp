#include "component.h"

#include "entity.h"
#include "space.h"

namespace volleyrun {

std::unique_ptr<Component> Component::Copy(Entity* newOwner) const
{
    std::unique_ptr<Component> copy = Clone(newOwner);
    copy->CopyProperties(*this);
    return copy;
}

void Component::CopyProperties(const Component& source)
{
    // Listing the source's properties only takes their addresses (a transform also marks
    // itself for recomputation, which changes no value).
    std::vector<Property> from, to;
    const_cast<Component&>(source).Serialize(from);
    Serialize(to);
    for (size_t i = 0; i < std::min(from.size(), to.size()); ++i) CopyValue(from[i], to[i]);
}

// A component replaced or freed without stopping (its entity's components were replaced) still
// listens: its managers outlive it, as the entity, its space and the engine free their
// components before their managers.
Component::~Component()
{
    StopListening();
}

EventManager& Component::EngineEvents() const
{
    return owner->space->EngineEvents();
}

void Component::Stop()
{
    StopListening();
    Terminate();
}

void Component::Unlisten(EventManager& manager)
{
    std::erase_if(subscriptions_, [&](const Subscription& subscription) {
        if (subscription.manager != &manager) return false;
        manager.RemoveListener(subscription.key, subscription.type);
        return true;
    });
}

void Component::StopListening()
{
    for (const Subscription& subscription : subscriptions_)
        if (!subscription.onOther || subscription.other)
            subscription.manager->RemoveListener(subscription.key, subscription.type);
    subscriptions_.clear();
}

} // namespace volleyrun
