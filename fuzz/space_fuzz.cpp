// Space files: the bytes become "Spaces/Fuzz.txt", which the engine loads as the game does
// (a CreateSpaceEvent), reading every entity object and property and initialising the
// components; the space is then freed again.
#include "fuzzsupport.h"

namespace volleyrun {

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const fuzz_support::fs::path root = fuzz_support::ScratchRoot("space");
    static Engine* engine = fuzz_support::StartEngine(root);
    static const size_t startSpaces = engine->spaces.size();
    fuzz_support::WriteBytes(root / "Spaces" / "Fuzz.txt", data, size);
    fuzz_support::Refused([] {
        CreateSpaceEvent create("Fuzz");
        Engine::Get()->OnCreateSpace(create);
    });
    fuzz_support::TrimSpaces(startSpaces);
    return 0;
}

} // namespace volleyrun
