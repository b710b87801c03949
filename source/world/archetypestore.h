// ArchetypeStore: the named template entities (balls, particles, editor widgets) read once
// from every file of "Archetypes/" when the engine starts the store. Gameplay and the editor spawn copies of these templates
// into spaces; the editor saves entities back as archetype files. Destroyed at engine
// teardown, before the registry. Game thread only.
#pragma once

#include "service.h"

#include <rapidjson/document.h>

#include <memory>
#include <string>
#include <vector>

namespace volleyrun {

class Entity;
class Space;

class ArchetypeStore : public Service<ArchetypeStore> {
public:
    static constexpr const char* kServiceName = "the archetype store";

    // Reads every template; the component registry must be started.
    static ArchetypeStore* Start();

    // The first template in load order with that name, or null.
    const Entity* Find(const std::string& name) const;
    // Writes an entity object as files hold it (the editor's authored values) to
    // "Archetypes/<name>.txt" and replaces (in place) or appends the template named after
    // its archetype name, read back from the object. Throws GameError, changing nothing,
    // when the file cannot be written or the object would not load.
    void Save(const rapidjson::Value& object);
    // The object the template of that name was read from (or last saved as), or null.
    const rapidjson::Value* Authored(const std::string& name) const;
    // Adds a copy of the named template to space under name. A name with no template is a
    // content error (GameError naming it).
    static Entity* Spawn(const std::string& archetype, const std::string& name, Space& space, bool initializeNow);

    const std::vector<std::unique_ptr<Entity>>& Archetypes() const { return archetypes_; }
    std::string Directory() const;

private:
    ArchetypeStore();
    void Load();

    std::vector<std::unique_ptr<Entity>> archetypes_;  // load order
    std::vector<std::unique_ptr<rapidjson::Document>> authored_;  // the object of each template
};

} // namespace volleyrun
