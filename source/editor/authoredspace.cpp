#include "authoredspace.h"

#include "componentregistry.h"
#include "entity.h"
#include "gameerror.h"
#include "jsonfile.h"
#include "space.h"

#include <algorithm>

namespace volleyrun {

namespace {

std::string EntityName(const rapidjson::Value& object)
{
    auto name = object.FindMember("name");
    return name != object.MemberEnd() && name->value.IsString() ? name->value.GetString() : "";
}

} // namespace

AuthoredSpace::AuthoredSpace(const Space& space)
{
    bool read = JsonFile::Read(space.Path(), document_) == JsonFile::ReadResult::kOk && document_.IsObject() &&
                document_.HasMember("entities") && document_["entities"].IsArray();
    if (!read) {
        document_.SetObject();
        document_.AddMember("zLayer", ShortestDouble(space.zLayer), document_.GetAllocator());
        document_.AddMember("entities", rapidjson::Value(rapidjson::kArrayType), document_.GetAllocator());
    }
    for (auto& object : document_["entities"].GetArray()) entries_.push_back({EntityRef(), std::move(object)});
    for (const auto& entity : space.Entities()) {
        size_t index = static_cast<size_t>(entity->loadIndex);
        if (read && entity->loadIndex >= 0 && index < entries_.size() && !entries_[index].live)
            entries_[index].live = entity->Ref();
        else if (!read)
            Add(*entity, nullptr);
    }
}

AuthoredSpace::Entry* AuthoredSpace::EntryOf(const Entity& entity)
{
    for (Entry& entry : entries_)
        if (entry.live.Get() == &entity) return &entry;
    return nullptr;
}

rapidjson::Value* AuthoredSpace::Find(const Entity& entity)
{
    Entry* entry = EntryOf(entity);
    return entry ? &entry->object : nullptr;
}

void AuthoredSpace::Add(const Entity& placed, const rapidjson::Value* from)
{
    auto& allocator = document_.GetAllocator();
    rapidjson::Value object = from ? rapidjson::Value(*from, allocator) : placed.Object(allocator);
    entries_.push_back({placed.Ref(), std::move(object)});
    SetString(placed, "name", placed.name);
    SetString(placed, "archetypeName", placed.archetypeName);
}

void AuthoredSpace::Remove(const Entity& entity)
{
    std::erase_if(entries_, [&](const Entry& entry) { return entry.live.Get() == &entity; });
}

size_t AuthoredSpace::PlaceOf(const Entity& entity) const
{
    for (size_t i = 0; i < entries_.size(); ++i)
        if (entries_[i].live.Get() == &entity) return i;
    return entries_.size();
}

void AuthoredSpace::Insert(size_t place, const Entity& live, const rapidjson::Value& object)
{
    Entry entry{live.Ref(), rapidjson::Value(object, document_.GetAllocator())};
    entries_.insert(entries_.begin() + static_cast<std::ptrdiff_t>(std::min(place, entries_.size())), std::move(entry));
}

void AuthoredSpace::Replace(const Entity& entity, const rapidjson::Value& object)
{
    if (rapidjson::Value* found = Find(entity)) found->CopyFrom(object, document_.GetAllocator());
}

void AuthoredSpace::SetProperty(const Entity& entity, const std::string& typeName, const Property& property)
{
    rapidjson::Value* object = Find(entity);
    if (!object) return;
    auto& allocator = document_.GetAllocator();
    auto component = object->FindMember(typeName.c_str());
    if (component == object->MemberEnd() || !component->value.IsObject()) return;
    rapidjson::Value value = ValueOf(property, allocator);
    auto member = component->value.FindMember(property.name.c_str());
    if (member != component->value.MemberEnd()) member->value = value;
    else component->value.AddMember(rapidjson::Value(property.name.c_str(), allocator), value, allocator);
}

void AuthoredSpace::SetString(const Entity& entity, const char* member, const std::string& value)
{
    rapidjson::Value* object = Find(entity);
    if (!object) return;
    auto& allocator = document_.GetAllocator();
    rapidjson::Value text(value.c_str(), static_cast<rapidjson::SizeType>(value.size()), allocator);
    auto found = object->FindMember(member);
    if (found != object->MemberEnd()) found->value = text;
    else object->AddMember(rapidjson::StringRef(member), text, allocator);
}

// Components keep the registry's order, so the object is rebuilt around the change.
void AuthoredSpace::SetComponent(const Entity& entity, const std::string& typeName, Component* component,
                                 const rapidjson::Value* values)
{
    rapidjson::Value* object = Find(entity);
    if (!object) return;
    auto& allocator = document_.GetAllocator();
    rapidjson::Value rebuilt(rapidjson::kObjectType);
    auto move = [&](const char* name) {
        auto found = object->FindMember(name);
        if (found != object->MemberEnd()) rebuilt.AddMember(rapidjson::Value(name, allocator), found->value, allocator);
    };
    move("name");
    move("archetypeName");
    ComponentRegistry::Get()->ForEach([&](const std::string& name, const Component&) {
        if (name != typeName) return move(name.c_str());
        if (!component) return;
        rapidjson::Value written(rapidjson::kObjectType);
        if (values) {
            written.CopyFrom(*values, allocator);
        } else {
            std::vector<Property> properties;
            component->Serialize(properties);
            for (const Property& p : properties)
                written.AddMember(rapidjson::Value(p.name.c_str(), allocator), ValueOf(p, allocator), allocator);
        }
        rebuilt.AddMember(rapidjson::Value(name.c_str(), allocator), written, allocator);
    });
    for (auto& member : object->GetObject())  // members no component reads stay as they were
        if (!member.value.IsNull() && !rebuilt.HasMember(member.name)) rebuilt.AddMember(member.name, member.value, allocator);
    *object = rebuilt;
}

void AuthoredSpace::SetLayer(float layer)
{
    document_["zLayer"] = ShortestDouble(layer);
}

std::string AuthoredSpace::Text() const
{
    rapidjson::StringBuffer buffer;
    JsonWriter writer(buffer);
    writer.StartObject();
    for (const auto& member : document_.GetObject()) {
        writer.Key(member.name.GetString(), member.name.GetStringLength());
        if (member.name != "entities") {
            if (!member.value.Accept(writer)) throw GameError(std::string("member \"") + member.name.GetString() + "\" is not finite");
            continue;
        }
        writer.StartArray();
        for (const Entry& entry : entries_)
            if (!entry.object.Accept(writer))
                throw GameError("entity \"" + EntityName(entry.object) + "\" holds a number that is not finite");
        writer.EndArray();
    }
    writer.EndObject();
    return std::string(buffer.GetString(), buffer.GetSize()) + "\n";
}

void AuthoredSpace::Saved()
{
    for (size_t i = 0; i < entries_.size(); ++i)
        if (Entity* live = entries_[i].live.Get()) live->loadIndex = static_cast<int>(i);
}

rapidjson::Value AuthoredSpace::ValueOf(const Property& p, rapidjson::Document::AllocatorType& allocator)
{
    switch (p.kind) {
    case kInt: return rapidjson::Value(*static_cast<const int32_t*>(p.address));
    case kUnsigned: return rapidjson::Value(*static_cast<const uint32_t*>(p.address));
    case kDouble: return rapidjson::Value(*static_cast<const double*>(p.address));
    case kFloat: return rapidjson::Value(ShortestDouble(*static_cast<const float*>(p.address)));
    case kBool: return rapidjson::Value(*static_cast<const bool*>(p.address));
    default: {
        const auto& text = *static_cast<const std::string*>(p.address);
        return rapidjson::Value(text.c_str(), static_cast<rapidjson::SizeType>(text.size()), allocator);
    }
    }
}

} // namespace volleyrun
