// Property: one persistent field of a component as (JSON member name, field address, kind).
// Components list their properties in Serialize; ReadValue and WriteValue move values
// between a field and JSON, so no component reads or writes JSON itself. The entity
// reader and writer, space and archetype files and the map editor all go through here.
#pragma once

#include <rapidjson/document.h>
#include <rapidjson/prettywriter.h>
#include <rapidjson/stringbuffer.h>

#include <cstdint>
#include <string>

namespace volleyrun {

enum PropertyKind : int {
    kInt = 0,
    kString = 1,
    kDouble = 2,
    kFloat = 3,
    kBool = 4,
    kUnsigned = 5,
};

// The pretty writer of every file the game writes. Numbers are written in their shortest
// form: the library's own conversion is now and then a digit longer than needed (0.02414
// came out as 0.024140000000000003), which would change a file that is saved unchanged.
class JsonWriter : public rapidjson::PrettyWriter<rapidjson::StringBuffer> {
public:
    using PrettyWriter::PrettyWriter;
    bool Double(double value);
};

struct Property {
    std::string name;  // member name inside the component's JSON object
    void* address;     // the field: int32, std::string, double, float, bool or uint32 by kind
    int kind;          // a PropertyKind
    // Int and Unsigned: when not 0, the largest value a file may give. A field that sizes
    // an allocation or a loop has one, so a hostile file is refused instead of obeyed.
    uint32_t limit = 0;
};

// Stores the member named p.name into the field, or leaves the field as it is when the
// object has no such member. A member of the wrong JSON type, a Float beyond the range of
// float or a value above the property's limit throws GameError with the context (file,
// entity, component) and the member name.
void ReadValue(const rapidjson::Value& object, const Property& p, const std::string& context);

// Writes p.name and the field's value. JSON has no form for a number that is not finite,
// so such a value throws GameError instead of producing a file that cannot be read back.
void WriteValue(JsonWriter& writer, const Property& p);

// The double whose shortest form is the float's shortest form: how a Float is written,
// so a file keeps "0.3" and reading it gives the same float back.
double ShortestDouble(float value);

// Copies the value of from's field into to's field; both describe the same kind.
void CopyValue(const Property& from, const Property& to);

// Writes the number of the member name, throwing GameError the same way for one that is not finite.
void WriteNumber(JsonWriter& writer, const std::string& name, double value);

} // namespace volleyrun
