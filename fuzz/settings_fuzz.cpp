// Settings files: the bytes become the player's settings file and are loaded as at start-up.
// Loading never throws: whatever it kept must be valid and must come back unchanged from the
// file it saved in place of a bad one.
#include "fuzzsupport.h"

#include "settingsfile.h"

#include <cmath>
#include <cstdlib>

namespace volleyrun {

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const fuzz_support::fs::path path = fuzz_support::ScratchRoot("settings") / "settings.json";
    fuzz_support::WriteBytes(path, data, size);
    GameSettings loaded;
    bool bad = !SettingsFile(path.string()).Load(loaded).empty();
    bool offsetsInRange = std::fabs(loaded.audioOffsetMs) <= GameSettings::kMaxOffsetMs &&
                          std::fabs(loaded.visualOffsetMs) <= GameSettings::kMaxOffsetMs;
    if (!loaded.BindingsValid() || !offsetsInRange) std::abort();
    GameSettings again;
    if (bad && (!SettingsFile(path.string()).Load(again).empty() || !(again == loaded))) std::abort();
    return 0;
}

} // namespace volleyrun
