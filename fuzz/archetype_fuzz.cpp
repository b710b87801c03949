// Archetype files: the bytes become "Archetypes/fuzz.txt" beside nothing else, the store
// is read again from scratch, and a template that loads is spawned into a space and
// initialised, then destroyed, as gameplay does with balls and particles.
#include "fuzzsupport.h"

#include "archetypestore.h"
#include "entity.h"

namespace volleyrun {

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const fuzz_support::fs::path root = fuzz_support::ScratchRoot("archetype");
    static Engine* engine = fuzz_support::StartEngine(root);
    fuzz_support::WriteBytes(root / "Archetypes" / "fuzz.txt", data, size);
    Space* splash = engine->FindSpace("Splash");
    fuzz_support::Refused([splash] {
        ArchetypeStore::Destroy();
        for (const auto& archetype : ArchetypeStore::Start()->Archetypes()) {
            Entity* spawned = ArchetypeStore::Spawn(archetype->name, "spawned", *splash, true);
            splash->DestroyEntity(spawned);
        }
    });
    return 0;
}

} // namespace volleyrun
