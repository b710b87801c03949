#include "settingskeeper.h"

#include "audioengine.h"
#include "gamesettings.h"
#include "runoptions.h"
#include "window.h"

#include <optional>
#include <string>
#include <vector>

namespace volleyrun {

void SettingsKeeper::StartUp(Engine& engine)
{
    const RunOptions& options = RunOptions::Get();
    GameSettings& settings = GameSettings::Get();
    settings.Reset();
    GameSettings::autoplay = options.autoplay;
    file_ = std::make_unique<SettingsFile>(options.settingsFile);
    std::vector<std::string> lines = file_->Load(settings);
    Window* window = Window::Get();
    if (!settings.fullScreen && window->fullscreen) window->ToggleFullscreen();
    fullscreenSeen_ = window->fullscreen;
    AudioEngine::Get()->SetMasterVolume(static_cast<float>(settings.masterVolumePercent) / 100.0f);
    // Queued: the trace listens from the end of the first frame.
    for (const std::string& line : lines) engine.events->Send(TraceEvent(line + "\n", 0.0f));
}

// The window's full-screen state is the player's choice only when it changes (F11, the
// options' toggle): --windowed must not be remembered. Any changed option is saved now.
void SettingsKeeper::EndFrame(Engine& engine)
{
    GameSettings& settings = GameSettings::Get();
    if (bool fullscreen = Window::Get()->fullscreen; fullscreen != fullscreenSeen_) {
        fullscreenSeen_ = fullscreen;
        settings.fullScreen = fullscreen;
    }
    if (std::optional<std::string> failure = file_->SaveIfChanged(settings))
        engine.events->Send(TraceEvent(*failure + "\n"));
}

} // namespace volleyrun
