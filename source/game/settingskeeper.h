// SettingsKeeper: the player's settings for the length of each engine. At the engine's
// start-up it resets them, reads the settings file (each line about a bad value goes to the
// trace), applies the window's full-screen state and the master volume; after every frame
// it records a full-screen change the player made (F11, the options' toggle) and saves the
// settings when any changed. Named by the program as a part of every engine. Game thread.
#pragma once

#include "engine.h"
#include "settingsfile.h"

#include <memory>

namespace volleyrun {

class SettingsKeeper : public Engine::Part {
public:
    void StartUp(Engine& engine) override;
    void EndFrame(Engine& engine) override;

private:
    std::unique_ptr<SettingsFile> file_;
    bool fullscreenSeen_ = true;  // the window's state at the last frame: a change is the player's choice
};

} // namespace volleyrun
