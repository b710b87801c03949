// Property: one persistent field of a component as (JSON member name, field address, kind).
// Components list their properties in Serialize; ReadValue and WriteValue move values
// between a field and JSON, so no component reads or writes JSON itself. The entity
// reader and writer, space and archetype files and the map editor all go through here.
#pragma once

#include <rapidjson/document.h>
#include <rapidjson/prettywriter.h>
#include <rapidjson/stringbuffer.h>

#include <string>

enum PropertyKind : int {
    kInt = 0,
    kString = 1,
    kDouble = 2,
    kFloat = 3,
    kBool = 4,
    kUnsigned = 5,
};

using JsonWriter = rapidjson::PrettyWriter<rapidjson::StringBuffer>;

struct Property {
    std::string name;  // member name inside the component's JSON object
    void* address;     // the field: int32, std::string, double, float, bool or uint32 by kind
    int kind;          // a PropertyKind
};

// Stores the member named p.name into the field, or leaves the field as it is when the
// object has no such member. A member of the wrong JSON type throws GameError with the
// context (file, entity, component) and the member name.
void ReadValue(const rapidjson::Value& object, const Property& p, const std::string& context);

// Writes p.name and the field's value. JSON has no form for a number that is not finite,
// so such a value throws GameError instead of producing a file that cannot be read back.
void WriteValue(JsonWriter& writer, const Property& p);
