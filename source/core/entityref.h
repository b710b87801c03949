// EntityRef: a non-owning link to an entity that reads as null once the entity is gone.
// Anything that remembers an entity across frames (a transform's parent, a queued
// DestroyEvent's target, the editor's selection) holds one of these instead of a raw
// pointer, so a destroyed or freed entity is never reached. Game thread only.
#pragma once

#include <memory>

namespace volleyrun {

class Entity;

class EntityRef {
public:
    EntityRef() = default;
    explicit EntityRef(std::shared_ptr<Entity*> handle) : handle_(std::move(handle)) {}

    // The entity, or null when it was destroyed (or the ref was never set).
    Entity* Get() const { return handle_ ? *handle_ : nullptr; }
    explicit operator bool() const { return Get() != nullptr; }

private:
    std::shared_ptr<Entity*> handle_;  // shared with the entity, which nulls it as it dies
};

} // namespace volleyrun
