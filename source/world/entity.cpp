#include "entity.h"

#include "archetypestore.h"
#include "componentregistry.h"
#include "gameerror.h"
#include "space.h"

namespace volleyrun {

namespace {

std::string RequireString(const rapidjson::Value& object, const char* member, const std::string& context)
{
    auto found = object.FindMember(member);
    if (found == object.MemberEnd() || !found->value.IsString())
        throw GameError(context + ": member \"" + member + "\" must be a string");
    return found->value.GetString();
}

} // namespace

Entity::Entity(const rapidjson::Value& object, Space* owningSpace, const std::string& context)
    : events(std::make_unique<EventManager>()), space(owningSpace),
      handle_(std::make_shared<Entity*>(this))
{
    if (!object.IsObject()) throw GameError(context + ": an entity must be a JSON object");
    archetypeName = RequireString(object, "archetypeName", context);
    name = RequireString(object, "name", context);
    ReadComponents(object, context + " \"" + name + "\"");
    RegisterInit();  // last: a throw above must leave no listener behind
}

Entity::Entity(const std::string& entityName, const std::string& archetype, Space* owningSpace)
    : events(std::make_unique<EventManager>()), archetypeName(archetype), name(entityName),
      space(owningSpace), handle_(std::make_shared<Entity*>(this))
{
    const Entity* source = ArchetypeStore::Get()->Find(archetype);
    if (!source) throw GameError("No archetype named \"" + archetype + "\" for entity \"" + entityName + "\"");
    CopyComponents(*source);
    RegisterInit();
}

Entity::Entity(const std::string& entityName, const Entity& source, Space* owningSpace)
    : events(std::make_unique<EventManager>()), archetypeName(source.archetypeName), name(entityName),
      space(owningSpace), handle_(std::make_shared<Entity*>(this))
{
    CopyComponents(source);
    RegisterInit();
}

Entity::Entity(const std::string& entityName)
    : events(std::make_unique<EventManager>()), archetypeName(entityName), name(entityName), space(nullptr),
      handle_(std::make_shared<Entity*>(this))
{
}

std::unique_ptr<Entity> Entity::Clone() const
{
    auto clone = std::make_unique<Entity>("clone", *this, space);
    clone->archetypeName.clear();
    return clone;
}

Entity::~Entity()
{
    Detach();
    for (auto& component : components_) component.reset();
    events.reset();
}

void Entity::RegisterInit()
{
    if (space) space->events->AddListener(this, &Entity::OnInit);
}

void Entity::Detach()
{
    if (detached_) return;
    detached_ = true;
    *handle_ = nullptr;
    if (space) space->events->RemoveListener<UpdateEvent>(this);
    // Stopping undoes Initialize, so components that never started (templates, entities
    // destroyed before their space's first update) are not stopped.
    if (initialized_)
        for (auto& component : components_)
            if (component) component->Stop();
    if (space) space->events->RemoveListener<InitEvent>(this);
}

void Entity::ReadComponents(const rapidjson::Value& object, const std::string& context)
{
    ComponentRegistry::Get()->ForEach([&](const std::string& typeName, const Component& prototype) {
        auto member = object.FindMember(typeName.c_str());
        if (member == object.MemberEnd()) return;
        Component* component = AddComponent(prototype);
        std::vector<Property> properties;
        component->Serialize(properties);
        if (properties.empty()) return;  // e.g. "Stub": any content gives the placeholder
        std::string where = context + ", component \"" + typeName + "\"";
        if (!member->value.IsObject()) throw GameError(where + ": must be a JSON object");
        for (const Property& property : properties) ReadValue(member->value, property, where);
    });
}

Component* Entity::RequireComponent(int type) const
{
    Component* component = components_[type].get();
    if (!component) throw GameError(name + " does not have required " + std::to_string(type));
    return component;
}

Component* Entity::AddComponent(const Component& prototype)
{
    std::unique_ptr<Component> clone = prototype.Copy(this);
    Component* added = clone.get();
    components_[clone->type] = std::move(clone);
    return added;
}

void Entity::CopyComponents(const Entity& source)
{
    for (auto& component : components_) component.reset();
    for (const auto& component : source.components_)
        if (component) AddComponent(*component);
}

void Entity::Write(JsonWriter& writer) const
{
    writer.StartObject();
    writer.Key("name");
    writer.String(name.c_str(), static_cast<rapidjson::SizeType>(name.size()));
    writer.Key("archetypeName");
    writer.String(archetypeName.c_str(), static_cast<rapidjson::SizeType>(archetypeName.size()));
    ComponentRegistry::Get()->ForEach([&](const std::string& typeName, const Component& prototype) {
        Component* component = components_[prototype.type].get();
        if (!component) return;
        writer.Key(typeName.c_str(), static_cast<rapidjson::SizeType>(typeName.size()));
        writer.StartObject();
        std::vector<Property> properties;
        component->Serialize(properties);
        for (const Property& property : properties) WriteValue(writer, property);
        writer.EndObject();
    });
    writer.EndObject();
}

rapidjson::Value Entity::Object(rapidjson::Document::AllocatorType& allocator) const
{
    rapidjson::StringBuffer buffer;
    JsonWriter writer(buffer);
    Write(writer);
    rapidjson::Document parsed(&allocator);
    parsed.Parse(buffer.GetString(), buffer.GetSize());
    return rapidjson::Value(parsed, allocator);
}

void Entity::OnInit(InitEvent&)
{
    if (initialized_) return;  // created with initialisation before the space's InitEvent arrived
    initialized_ = true;
    if (space) space->events->AddListener(this, &Entity::OnUpdate);
    for (auto& component : components_)
        if (component) component->Initialize();
}

void Entity::OnUpdate(UpdateEvent& event)
{
    updating_ = true;
    if (!space->paused && !paused) events->Send(event);
    events->Update(event.dt);
    updating_ = false;
}

} // namespace volleyrun
