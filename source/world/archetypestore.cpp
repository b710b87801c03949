#include "archetypestore.h"

#include "componentregistry.h"
#include "entity.h"
#include "gameerror.h"
#include "jsonfile.h"
#include "log.h"
#include "runoptions.h"
#include "space.h"

#include <algorithm>
#include <filesystem>

namespace volleyrun {

ArchetypeStore* ArchetypeStore::Start()
{
    if (Exists()) return Get();
    ComponentRegistry::Get();  // refuses early, naming the registry
    ArchetypeStore* store = Publish(std::unique_ptr<ArchetypeStore>(new ArchetypeStore()));
    store->Load();
    return store;
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
        else if (unreadable) Log::Write(it->path().string() + ": skipped, it cannot be opened: " + unreadable.message() + "\n");
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
        authored_.push_back(std::make_unique<rapidjson::Document>(std::move(document)));
    }
}

const Entity* ArchetypeStore::Find(const std::string& name) const
{
    for (const auto& archetype : archetypes_)
        if (archetype->name == name) return archetype.get();
    return nullptr;
}

const rapidjson::Value* ArchetypeStore::Authored(const std::string& name) const
{
    for (size_t i = 0; i < archetypes_.size(); ++i)
        if (archetypes_[i]->name == name) return authored_[i].get();
    return nullptr;
}

void ArchetypeStore::Save(const rapidjson::Value& object)
{
    std::string name = object.IsObject() && object.HasMember("name") && object["name"].IsString() ? object["name"].GetString() : "";
    if (!JsonFile::IsSafeFileName(name)) throw GameError("Could not save archetype \"" + name + "\": not a file name");
    std::string path = Directory() + "/" + name + ".txt";
    auto copy = std::make_unique<Entity>(object, nullptr, path);  // refuses what loading would refuse
    rapidjson::StringBuffer buffer;
    JsonWriter writer(buffer);
    object.Accept(writer);
    JsonFile::WriteAtomically(path, std::string(buffer.GetString(), buffer.GetSize()) + "\n");

    copy->name = copy->archetypeName;
    auto document = std::make_unique<rapidjson::Document>();
    document->CopyFrom(object, document->GetAllocator());
    for (size_t i = 0; i < archetypes_.size(); ++i) {
        if (archetypes_[i]->archetypeName == copy->archetypeName) {
            archetypes_[i] = std::move(copy);
            authored_[i] = std::move(document);
            return;
        }
    }
    archetypes_.push_back(std::move(copy));
    authored_.push_back(std::move(document));
}

Entity* ArchetypeStore::Spawn(const std::string& archetype, const std::string& name, Space& space,
                              bool initializeNow)
{
    Entity temporary(name, archetype, &space);
    return space.CreateEntity(temporary, initializeNow);
}

} // namespace volleyrun
