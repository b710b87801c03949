// Entity: a named game object holding up to one Component per ComponentType slot and an
// EventManager of its own. Spaces create and destroy entities (from space files, from
// archetypes, as copies); the archetype store holds space-less template entities. An
// entity in a space initialises its components when the space's InitEvent arrives (or at
// once when created with initialisation) and forwards each UpdateEvent to its own manager
// unless it or its space is paused. Game thread only.
#pragma once

#include "component.h"
#include "entityref.h"
#include "eventmanager.h"

#include <array>
#include <memory>
#include <string>

namespace volleyrun {

class Space;

class Entity {
public:
    // Form 1: read from an entity object of a space or archetype file. context names the
    // file for error messages.
    Entity(const rapidjson::Value& object, Space* space, const std::string& context);
    // Form 2: components cloned from the stored archetype of that name.
    Entity(const std::string& name, const std::string& archetypeName, Space* space);
    // Form 3: components cloned from source; keeps source's archetype name.
    Entity(const std::string& name, const Entity& source, Space* space);
    // Form 5: an empty template named name (no space, no components, no listener).
    explicit Entity(const std::string& name);
    Entity(const Entity&) = delete;
    Entity& operator=(const Entity&) = delete;
    ~Entity();

    // Form 4: a copy named "clone" with no archetype name, in source's space.
    std::unique_ptr<Entity> Clone() const;

    Component* GetComponent(int type) const { return components_[type].get(); }
    template <class T>
    T* Get() const { return static_cast<T*>(components_[T::kType].get()); }
    // The component in the slot; throws "<name> does not have required <type>" when empty.
    Component* RequireComponent(int type) const;
    template <class T>
    T* Require() const { return static_cast<T*>(RequireComponent(T::kType)); }

    // Replaces the slot's component with a clone of prototype for this entity.
    Component* AddComponent(const Component& prototype);
    // Deletes every component of this entity, then clones every component of source.
    void CopyComponents(const Entity& source);

    // The entity writer: the entity object of space and archetype files.
    void Write(JsonWriter& writer) const;
    // The same object as a JSON value.
    rapidjson::Value Object(rapidjson::Document::AllocatorType& allocator) const;

    void OnInit(InitEvent& event);
    void OnUpdate(UpdateEvent& event);

    // Stops the entity for good: removes its listeners from the space and terminates its
    // components. The destructor does it when nobody did before; a space calls it early
    // when the entity cannot be freed yet because one of its handlers is running.
    void Detach();
    // True while this entity's own manager or update handler is running.
    bool Busy() const { return updating_ || events->Busy(); }

    EntityRef Ref() const { return EntityRef(handle_); }

    bool paused = false;
    int loadIndex = -1;  // its place in the space file it was loaded from; -1 for others
    std::unique_ptr<EventManager> events;
    std::string archetypeName;
    std::string name;
    Space* space;  // null for archetype templates

private:
    void ReadComponents(const rapidjson::Value& object, const std::string& context);
    void RegisterInit();

    std::array<std::unique_ptr<Component>, kComponentTypeCount> components_;
    std::shared_ptr<Entity*> handle_;  // EntityRefs read null once it is cleared
    bool initialized_ = false;
    bool detached_ = false;
    bool updating_ = false;
};

} // namespace volleyrun
