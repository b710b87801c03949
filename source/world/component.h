// Component: the base of every game object behaviour. An Entity owns up to one component
// per ComponentType slot. Components are never built from scratch at run time: each is a
// Clone of a registry prototype (or of another entity's component), then its properties
// are read from JSON through Serialize. The owning entity calls Initialize once when it
// is initialised and Stop before any sibling is deleted; the listeners a component
// registered through Listen go with it, when it stops or, unstopped, when it is freed.
// Game thread only.
#pragma once

#include "entityref.h"
#include "eventmanager.h"
#include "property.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace volleyrun {

class Entity;

enum ComponentType : int {
    kStub = 0,
    kTransform = 1,
    kTestingComponent = 2,
    kSprite = 3,
    kAnimation = 4,
    kMouse = 5,
    kParticleEmitter = 7,
    kSpriteText = 8,
    kMapEditor = 9,
    kRigidBody = 10,
    kFollowObject = 11,
    kCircleCollider = 12,
    kBoxCollider = 13,
    kMouseClickEventSender = 14,
    kButton = 15,
    kSpaceLoader = 16,
    kPauseLogic = 17,
    kBeatDivider = 18,
    kScoreCounter = 19,
    kBehaviorBall = 20,
    kBehaviorPlayer = 21,
    kTextBox = 22,
    kTimer = 23,
    kLevelLogic = 24,
    kBehaviorMusician = 25,
    kBallManager = 26,
    kLifeIndicator = 27,
    kBehaviorPlatform = 28,
    kBehaviorMeter = 31,
    kCredits = 32,
    kMainMenuLogic = 33,
    kEndGameLogic = 34,
    kOptionsLogic = 35,
    kSlider = 36,
    kHover = 37,
    kTutorial = 38,
    kMatchFeedback = 39,
    kControlsLogic = 40,
    kComponentTypeCount = 41,
};

class Component {
public:
    Component(ComponentType componentType, Entity* componentOwner)
        : type(componentType), owner(componentOwner) {}
    Component(const Component&) = delete;
    Component& operator=(const Component&) = delete;
    virtual ~Component();  // removes the listeners still registered through Listen

    // Register listeners (Listen) and look up siblings or other entities by name.
    virtual void Initialize() {}
    // Removes every listener registered through Listen, then runs Terminate.
    void Stop();
    // A fresh component of the same class for newOwner (ComponentOf makes it): its
    // configuration is every property Serialize lists, copied by CopyProperties, so a copy
    // always equals the original on what is saved. Run-time state (listeners, looked-up
    // entities such as a transform's parent) is never copied; Initialize finds it again.
    virtual std::unique_ptr<Component> Clone(Entity* newOwner) const = 0;
    // Clone plus every listed property: the one way components are copied.
    std::unique_ptr<Component> Copy(Entity* newOwner) const;
    // Copies every listed property value of source (the same class) into this one.
    void CopyProperties(const Component& source);
    // Appends one descriptor per persistent field; used for reading, writing and editing.
    virtual void Serialize(std::vector<Property>& properties) = 0;
    // The checks loading makes beyond each property's own kind and limit: throws GameError
    // "<where>: ..." naming the member when the values cannot work together (a slider of one
    // step). Initialize runs it on loaded values; the map editor on a typed value before
    // taking it. where names the file, entity and component.
    virtual void Check(const std::string& where) const { (void)where; }
    // The names (fnmatch patterns) of the entities of its own space this component finds
    // by name and cannot do without: the map editor refuses to delete or rename them, and
    // to add the component to a space that lacks them.
    virtual std::vector<std::string> NamesNeeded() const { return {}; }
    // Where its entity goes in its space's draw order, for the component that draws it.
    virtual std::optional<float> DrawLayer() const { return std::nullopt; }

    const ComponentType type;
    Entity* const owner;  // null only for registry prototypes

protected:
    // Undoes what Initialize did beyond Listen (listeners on other entities' managers,
    // state lent to others); siblings are still alive here.
    virtual void Terminate() {}
    // The engine-wide manager (updates, beats, sounds, spaces), as the owner's space was
    // handed it. Only for components of an entity in a space.
    EventManager& EngineEvents() const;
    // Calls handler with every Ev sent on manager (the owner's, its space's or the
    // engine's, all of which outlive the component's run) until the component stops.
    template <class C, class Ev>
    void Listen(EventManager& manager, void (C::*handler)(Ev&))
    {
        C* self = static_cast<C*>(this);
        manager.AddListener(self, handler);
        subscriptions_.push_back({&manager, false, EntityRef(), self, Ev::kType});
    }
    // The same on another entity's own manager (a button a screen watches), until the
    // component stops or that entity goes first. (E is the entity class, known where it is
    // called.)
    template <class C, class Ev, class E>
    void ListenTo(E& other, void (C::*handler)(Ev&))
    {
        C* self = static_cast<C*>(this);
        other.events->AddListener(self, handler);
        subscriptions_.push_back({other.events.get(), true, other.Ref(), self, Ev::kType});
    }
    // Ends early what Listen or ListenTo registered on manager (an entry of a list that
    // shrinks while the component runs).
    void Unlisten(EventManager& manager);

private:
    void StopListening();

    struct Subscription {
        EventManager* manager;
        bool onOther;     // manager is other's: gone with it
        EntityRef other;
        const void* key;
        int type;
    };
    std::vector<Subscription> subscriptions_;
};

// Gives each component class its slot id, so Entity::Get<T>() needs no run-time lookup,
// and its Clone: a Derived built for the new owner alone.
template <class Derived, ComponentType Id>
class ComponentOf : public Component {
public:
    static constexpr ComponentType kType = Id;

    std::unique_ptr<Component> Clone(Entity* newOwner) const final { return std::make_unique<Derived>(newOwner); }

protected:
    explicit ComponentOf(Entity* componentOwner) : Component(Id, componentOwner) {}
};

} // namespace volleyrun
