// Space: one scene layer (the debug overlay, a menu, the match, the editor), loaded from
// "Spaces/<name>.txt" when it is constructed. Owns its EventManager and its entities,
// kept in draw order by sprite layer. The Engine creates and destroys spaces and keeps
// them ordered by zLayer; the space forwards UpdateEvent to its own manager each frame
// (paused or not) and DrawEvent to its entities while visible. Game thread only.
#pragma once

#include "eventmanager.h"
#include "property.h"
#include "retirement.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace volleyrun {

class Entity;

class Space {
public:
    // The most entities one space file may list: each is built and initialised at once.
    static constexpr rapidjson::SizeType kMaxEntities = 10000;

    // Registers the space's listeners, loads the file and queues the InitEvent that
    // initialises the loaded entities at the space's first update.
    // engineEvents: the engine-wide manager whose UpdateEvent runs the space.
    Space(const std::string& spaceName, EventManager& engineEvents);
    Space(const Space&) = delete;
    Space& operator=(const Space&) = delete;
    ~Space();

    void Load();
    std::string Path() const;

    // A link that reads null once this space is freed.
    SpaceRef Ref() const { return SpaceRef(handle_); }

    Entity* FindEntity(const std::string& entityName) const;
    // FindEntity for an entity the content must provide: a missing one is a content error
    // naming the entity and this space.
    Entity* RequireEntity(const std::string& entityName) const;
    // Adds a copy of source (same name and archetype name, cloned components), in draw order.
    Entity* CreateEntity(const Entity& source, bool initializeNow);
    // Puts entity back in draw order after its sprite layer changed.
    void ReorderEntity(Entity* entity);
    // Destroys entity now if it belongs to this space. One whose own handler is running is
    // stopped now and freed at the end of this space's next update. Does nothing once the
    // space itself is being destroyed (it frees every entity anyway).
    void DestroyEntity(Entity* entity);

    void OnUpdate(UpdateEvent& event);
    void OnDraw(DrawEvent& event);
    void OnDestroyEntity(DestroyEvent& event);

    // Writes "zLayer", "paused", "visible" and "entities", as the run's dump shows a space.
    void WriteMembers(JsonWriter& writer) const;

    // Stops the space for good (listeners removed, entities stopped); see Engine::OnDestroySpace.
    void Detach();
    bool Busy() const;
    bool Detached() const { return detached_; }

    const std::vector<std::unique_ptr<Entity>>& Entities() const { return entities_; }
    // The engine-wide manager this space was handed; its components reach it through here.
    EventManager& EngineEvents() const { return engineEvents_; }

    // Game logic pauses and resumes through SetPaused, so that while the map editor holds
    // the space stopped the logic's wish is kept for the editor's release instead of
    // starting the space under the editor.
    void SetPaused(bool wanted);
    // The map editor stops the space whatever its logic does; Release gives back the paused
    // state it had (or that its logic asked for meanwhile).
    void Hold();
    void Release();
    bool Held() const { return held_; }

    bool paused = false;   // entities stop receiving UpdateEvent; the space's own manager runs on
    bool visible = true;   // entities stop receiving DrawEvent
    // Nothing drawn in this space changes any more (the match after its verdict): the
    // engine draws it and every space beneath it once, then shows that picture again
    // (not while the map editor holds it: the designer's changes must show).
    bool still = false;
    // Its widgets answer even while it is paused: the map editor pauses its own overlay so
    // that nothing in it runs on its own, yet its buttons and text boxes must work.
    bool widgetsLive = false;
    std::unique_ptr<EventManager> events;
    std::string name;      // also names the space file
    float zLayer = 0.0f;   // orders spaces in the engine: lower layers draw first

private:
    void Insert(std::unique_ptr<Entity> entity);
    static std::optional<float> DrawLayerOf(const Entity& entity);

    std::vector<std::unique_ptr<Entity>> entities_;  // draw and update order
    Retirement<Entity> retired_;  // destroyed while their handler ran
    EventManager& engineEvents_;
    bool detached_ = false;
    bool held_ = false;
    bool pausedWhenReleased_ = false;  // while held: the paused state to give back
    std::shared_ptr<Space*> handle_ = std::make_shared<Space*>(this);  // SpaceRefs read null once cleared
};

} // namespace volleyrun
