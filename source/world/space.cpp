#include "space.h"

#include "archetypestore.h"
#include "entity.h"
#include "filecheck.h"
#include "gameerror.h"
#include "jsonfile.h"
#include "runoptions.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace volleyrun {

Space::Space(const std::string& spaceName, EventManager& engineEvents)
    : events(std::make_unique<EventManager>()), name(spaceName), engineEvents_(engineEvents)
{
    events->AddListener(this, &Space::OnDraw);
    events->AddListener(this, &Space::OnDestroyEntity);
    ArchetypeStore::Get();
    Load();
    events->Send(InitEvent(0.0f));
    // Last, so a space whose file fails to load leaves nothing on the engine's manager.
    engineEvents_.AddListener(this, &Space::OnUpdate);
}

DestroySpaceEvent::DestroySpaceEvent(Space* target, float eventDelay)
    : EventOf(eventDelay), space(target ? target->Ref() : SpaceRef())
{
}

Space::~Space()
{
    *handle_ = nullptr;
    Detach();
    entities_.clear();
    retired_.FreeAll();
    events.reset();
}

void Space::Detach()
{
    if (detached_) return;
    detached_ = true;
    engineEvents_.RemoveListener<UpdateEvent>(this);
    events->RemoveListener<DrawEvent>(this);
    events->RemoveListener<DestroyEvent>(this);
    // Terminating a component may destroy other entities (a meter its notches): those calls
    // return at once now, so this walk is not disturbed.
    for (auto& entity : entities_) entity->Detach();
}

bool Space::Busy() const
{
    return events->Busy() || std::any_of(entities_.begin(), entities_.end(), [](const auto& e) { return e->Busy(); });
}

std::string Space::Path() const
{
    return RunOptions::Get().ContentPath("Spaces/" + name + ".txt");
}

void Space::Load()
{
    std::string path = Path();
    FileCheck::RequireInside(RunOptions::Get().ContentPath("Spaces"), path, "the space name \"" + name + "\"");
    rapidjson::Document document;
    std::string parseError;
    switch (JsonFile::Read(path, document, &parseError)) {
    case JsonFile::ReadResult::kUnopenable:
        throw GameError("Invalid space file was given to Space::Load: " + path + (parseError.empty() ? "" : ": " + parseError));
    case JsonFile::ReadResult::kUnparsable:
        throw GameError("Error loading space document: " + path + ": " + parseError);
    case JsonFile::ReadResult::kOk: break;
    }
    if (!document.IsObject()) throw GameError("Error loading space document: " + path + ": not a JSON object");
    auto layer = document.FindMember("zLayer");
    if (layer == document.MemberEnd() || !layer->value.IsNumber() ||
        std::fabs(layer->value.GetDouble()) > std::numeric_limits<float>::max())
        throw GameError(path + ": member \"zLayer\" must be a number within the range of float, about 3.4e38");
    zLayer = static_cast<float>(layer->value.GetDouble());
    auto list = document.FindMember("entities");
    if (list == document.MemberEnd() || !list->value.IsArray())
        throw GameError(path + ": member \"entities\" must be an array");
    if (list->value.Size() > kMaxEntities)
        throw GameError(path + ": member \"entities\" holds " + std::to_string(list->value.Size()) +
                        " entities, above the limit of " + std::to_string(kMaxEntities));
    int index = 0;
    for (const auto& object : list->value.GetArray()) {
        auto entity = std::make_unique<Entity>(object, this, path + ": entity " + std::to_string(index));
        entity->loadIndex = index++;
        Insert(std::move(entity));
    }
}

void Space::WriteMembers(JsonWriter& writer) const
{
    writer.Key("zLayer");
    WriteNumber(writer, "zLayer", static_cast<double>(zLayer));
    writer.Key("paused");
    writer.Bool(paused);
    writer.Key("visible");
    writer.Bool(visible);
    writer.Key("entities");
    writer.StartArray();
    for (const auto& entity : entities_) entity->Write(writer);
    writer.EndArray();
}

void Space::SetPaused(bool wanted)
{
    if (held_) pausedWhenReleased_ = wanted;
    else paused = wanted;
}

void Space::Hold()
{
    if (held_) return;
    pausedWhenReleased_ = paused;
    held_ = true;
    paused = true;
}

void Space::Release()
{
    if (!held_) return;
    held_ = false;
    paused = pausedWhenReleased_;
}

Entity* Space::FindEntity(const std::string& entityName) const
{
    for (const auto& entity : entities_)
        if (entity->name == entityName) return entity.get();
    return nullptr;
}

// The draw layer of the entity's drawing component (its sprite), if it has one.
std::optional<float> Space::DrawLayerOf(const Entity& entity)
{
    const Component* drawn = entity.GetComponent(kSprite);
    return drawn ? drawn->DrawLayer() : std::nullopt;
}

// Draw order: sprite entities in ascending sprite layer (a newcomer goes after equal
// layers), ahead of the entities without a sprite, which are appended at the end.
void Space::Insert(std::unique_ptr<Entity> entity)
{
    std::optional<float> layer = DrawLayerOf(*entity);
    if (!layer) {
        entities_.push_back(std::move(entity));
        return;
    }
    auto place = std::partition_point(entities_.begin(), entities_.end(), [layer](const auto& existing) {
        std::optional<float> other = DrawLayerOf(*existing);
        return other && *other <= *layer;
    });
    entities_.insert(place, std::move(entity));
}

Entity* Space::RequireEntity(const std::string& entityName) const
{
    Entity* entity = FindEntity(entityName);
    if (!entity) throw GameError("Space \"" + name + "\" has no entity named \"" + entityName + "\"");
    return entity;
}

Entity* Space::CreateEntity(const Entity& source, bool initializeNow)
{
    auto entity = std::make_unique<Entity>(source.name, source, this);
    Entity* created = entity.get();
    Insert(std::move(entity));
    if (initializeNow) {
        InitEvent init;
        created->OnInit(init);
    }
    return created;
}

void Space::ReorderEntity(Entity* entity)
{
    std::unique_ptr<Entity> taken;
    for (auto& slot : entities_)
        if (slot.get() == entity) taken = std::move(slot);
    if (!taken) return;
    std::erase(entities_, nullptr);
    Insert(std::move(taken));
}

void Space::DestroyEntity(Entity* entity)
{
    if (detached_) return;
    auto found = std::find_if(entities_.begin(), entities_.end(), [entity](const auto& e) { return e.get() == entity; });
    if (found == entities_.end()) return;
    std::unique_ptr<Entity> doomed = std::move(*found);
    entities_.erase(found);
    retired_.Retire(std::move(doomed));  // freed after the update, should its handler be on the stack
}

void Space::OnUpdate(UpdateEvent& event)
{
    events->Send(event);
    events->Update(event.dt);
    retired_.Collect();
}

void Space::OnDraw(DrawEvent& event)
{
    if (!visible) return;
    // Index walk: a draw handler may destroy entities of this space.
    for (size_t i = 0; i < entities_.size(); ++i) entities_[i]->events->Send(event);
}

void Space::OnDestroyEntity(DestroyEvent& event)
{
    if (Entity* entity = event.entity.Get()) DestroyEntity(entity);
}

} // namespace volleyrun
