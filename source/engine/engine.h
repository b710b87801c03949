// Engine: the process-wide owner of the run. Engine::Get creates it and starts the other
// singletons in a fixed order; main() calls Update once per frame until quit is set, then
// Engine::Destroy, which shuts it down and destroys every singleton in the reverse
// dependency order (tests may create and destroy engines many times in one process).
// Keeps the live spaces ordered by zLayer, paces frames at 60 Hz and sends the per-frame
// events. Spaces come and go only through CreateSpaceEvent and DestroySpaceEvent on the
// engine-wide manager and the editor console command. Game thread only.
#pragma once

#include "event.h"
#include "eventmanager.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

class SettingsFile;
class Space;

class Engine {
public:
    // The engine, created and started on first use. The pointer is published before
    // start-up, so code run by start-up receives the engine under construction.
    static Engine* Get();
    static bool Exists();
    // Shutdown, then destruction of the engine and every singleton. Safe after a start-up
    // that threw.
    static void Destroy();

    void Update();    // one frame
    void Shutdown();  // removes the engine's own listeners

    Space* FindSpace(const std::string& name) const;

    void OnCreateSpace(CreateSpaceEvent& event);
    void OnDestroySpace(DestroySpaceEvent& event);
    void OnDevMessage(DevMessageEvent& event);

    // Writes {"spaces": [...]}: every live space in list order with name, zLayer, paused,
    // visible and its entities as the entity writer writes them.
    void Dump(const std::string& path) const;

    bool quit = false;
    std::unique_ptr<EventManager> events;   // the engine-wide manager
    std::deque<std::unique_ptr<Space>> spaces;  // front to back: ascending zLayer, drawn first
    float time = 0.0f;                      // seconds: the sum of every frame's dt
    int64_t frameCount = 0;                 // frames run so far

private:
    Engine();
    ~Engine();
    void StartUp();
    void InsertSpace(std::unique_ptr<Space> space);
    void OpenEditor(const std::string& target);
    void DrawSpaces();
    void KeepSettings();

    DrawEvent draw_;        // reused every frame
    AnimateEvent animate_;  // reused every frame
    const Space* pictureKeptFor_ = nullptr;  // the still space whose picture Graphics holds
    std::vector<std::unique_ptr<Space>> retired_;  // destroyed while one of their handlers ran
    std::unique_ptr<SettingsFile> settingsFile_;   // null until start-up reads it
    bool fullscreenSeen_ = true;  // the window's state at the last frame: a change is the player's choice
};
