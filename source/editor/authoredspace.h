// AuthoredSpace: the map editor's record of what a space file holds, read when the editor
// opens: the file's document with one entity object per entry, in file order, each linked
// to the live entity it loaded (Entity::loadIndex). The editor writes every edit it makes
// into both the live entity and its object here; saving writes these objects, never the
// live values, so run-time state (a knob placed from the settings, a bobbing ball, a pool
// size) stays out of the file and a save without edits gives the file back byte for byte.
// Entities placed in the editor are added at the end. Game thread only, owned by MapEditor.
#pragma once

#include "entityref.h"
#include "property.h"

#include <string>
#include <vector>

namespace volleyrun {

class Component;
class Entity;
class Space;

class AuthoredSpace {
public:
    // Reads the space's file; when it cannot be read, every entity of the space counts as
    // authored, written from its live values.
    explicit AuthoredSpace(const Space& space);

    // The authored object of a live entity, or null (one the game spawned at run time).
    rapidjson::Value* Find(const Entity& entity);
    // An entity placed in the editor: its object is a copy of from (its source's authored
    // object) or, without one, its live values; it is saved at the end of the file.
    void Add(const Entity& placed, const rapidjson::Value* from);
    void Remove(const Entity& entity);
    // Where the entity's object stands in the file's order (the end when it has none), and
    // putting an object back there (undoing a deletion).
    size_t PlaceOf(const Entity& entity) const;
    void Insert(size_t place, const Entity& live, const rapidjson::Value& object);
    // Puts back an object the entity had before (undoing a change of its components).
    void Replace(const Entity& entity, const rapidjson::Value& object);

    void SetProperty(const Entity& entity, const std::string& typeName, const Property& property);
    void SetString(const Entity& entity, const char* member, const std::string& value);
    // Adds the component's current values (or values, when given) under its type name
    // (registry order), or removes it.
    void SetComponent(const Entity& entity, const std::string& typeName, Component* component,
                      const rapidjson::Value* values = nullptr);
    void SetLayer(float layer);

    // The space file's text: the file's members with the entity objects in order. Throws
    // GameError naming the entity when a value has no JSON form (a number that is not finite).
    std::string Text() const;
    // After a save: the live entities are linked to their place in the saved file.
    void Saved();

    // The JSON value a property holds, in the file's form.
    static rapidjson::Value ValueOf(const Property& property, rapidjson::Document::AllocatorType& allocator);

private:
    struct Entry {
        EntityRef live;
        rapidjson::Value object;
    };
    Entry* EntryOf(const Entity& entity);

    rapidjson::Document document_;  // the file; its "entities" are held in entries_
    std::vector<Entry> entries_;
};

} // namespace volleyrun
