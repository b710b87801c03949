#include "archetypestore.h"

#include "componentregistry.h"
#include "entity.h"
#include "gameerror.h"
#include "jsonfile.h"
#include "runoptions.h"
#include "space.h"
#include "trace.h"

#include <algorithm>
#include <filesystem>

namespace {
std::unique_ptr<ArchetypeStore> instance;
}

ArchetypeStore* ArchetypeStore::Get()
{
    if (!instance) {
        ComponentRegistry::Get();
        instance.reset(new ArchetypeStore());
        instance->Load();
    }
    return instance.get();
}

void ArchetypeStore::Destroy()
{
    instance.reset();
    ComponentRegistry::Destroy();
}

ArchetypeStore::ArchetypeStore() = default;

std::string ArchetypeStore::Directory() const
{
    return RunOptions::Get().ContentPath("Archetypes");
}

// Files are read in name order so that a run is the same on every machine. Hidden files
// (version-control markers, editor swap files, unfinished saves) are not archetypes.
void ArchetypeStore::Load()
{
    namespace fs = std::filesystem;
    std::error_code error;
    std::vector<fs::path> files;
    for (fs::directory_iterator it(Directory(), error), end; !error && it != end; it.increment(error)) {
        if (it->path().filename().string()[0] == '.') continue;
        std::error_code unreadable;  // a link to nowhere, a link loop
        if (it->is_regular_file(unreadable)) files.push_back(it->path());
        else if (unreadable) Trace::Get()->Print(it->path().string() + ": skipped, it cannot be opened: " + unreadable.message() + "\n");
    }
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files) {
        rapidjson::Document document;
        std::string parseError;
        switch (JsonFile::Read(file.string(), document, &parseError)) {
        case JsonFile::ReadResult::kUnopenable: continue;
        case JsonFile::ReadResult::kUnparsable:
            throw GameError("Error loading archetype document: " + file.string() + ": " + parseError);
        case JsonFile::ReadResult::kOk: break;
        }
        archetypes_.push_back(std::make_unique<Entity>(document, nullptr, file.string()));
    }
}

const Entity* ArchetypeStore::Find(const std::string& name) const
{
    for (const auto& archetype : archetypes_)
        if (archetype->name == name) return archetype.get();
    return nullptr;
}

void ArchetypeStore::Save(const Entity& entity)
{
    if (!JsonFile::IsSafeFileName(entity.name))
        throw GameError("Could not save archetype \"" + entity.name + "\": not a file name");
    rapidjson::StringBuffer buffer;
    JsonWriter writer(buffer);
    entity.Write(writer);
    JsonFile::WriteAtomically(Directory() + "/" + entity.name + ".txt",
                              std::string(buffer.GetString(), buffer.GetSize()) + "\n");

    auto copy = std::make_unique<Entity>(entity.archetypeName, entity, nullptr);
    for (auto& archetype : archetypes_) {
        if (archetype->archetypeName == entity.archetypeName) {
            archetype = std::move(copy);
            return;
        }
    }
    archetypes_.push_back(std::move(copy));
}

Entity* ArchetypeStore::Spawn(const std::string& archetype, const std::string& name, Space& space,
                              bool initializeNow)
{
    Entity temporary(name, archetype, &space);
    return space.CreateEntity(temporary, initializeNow);
}
