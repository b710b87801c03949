// Engine: the process-wide owner of the run. Engine::Start creates it and starts the
// services in one ordered list, then the parts the program named (SetParts); main() calls
// Update once per frame until quit is set, then Engine::Destroy, which shuts it down and
// destroys every service in the reverse order (tests may create and destroy
// engines many times in one process). Keeps the live spaces ordered by zLayer, paces frames
// at 60 Hz, sends the per-frame events and runs the console commands. Spaces come and go
// only through CreateSpaceEvent and DestroySpaceEvent on the engine-wide manager and the
// console commands. Game thread only.
#pragma once

#include "event.h"
#include "eventmanager.h"
#include "retirement.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace volleyrun {

class Space;

class Engine {
public:
    // The engine's own space, created first: the trace's lines and the console.
    static constexpr const char* kDebugSpace = "Debug";

    // A part of the program above the engine that takes part in its start-up and frames
    // (the game's settings, the editor's console command). Each engine calls StartUp on
    // every part, in the order named, at the end of its own start-up, and EndFrame on
    // each after every frame.
    class Part {
    public:
        virtual ~Part() = default;
        virtual void StartUp(Engine& engine) = 0;
        virtual void EndFrame(Engine&) {}
    };
    // The parts every engine started from now on runs; not owned. Named once by the
    // program (and by each test program) before the first engine starts.
    static void SetParts(std::vector<Part*> parts);

    // Creates and starts the engine (once; later calls return it): its services in one
    // ordered list, then the parts. The pointer is published before start-up, so code run
    // by start-up receives the engine under construction.
    static Engine* Start();
    // The started engine; asked for before Start, it throws.
    static Engine* Get();
    static bool Exists();
    // Shutdown, then destruction of the engine and every service. Safe after a start-up
    // that threw.
    static void Destroy();

    void Update();    // one frame
    void Shutdown();  // removes the engine's own listeners

    Space* FindSpace(const std::string& name) const;
    // Console commands: a developer message that begins with prefix runs run with the
    // rest of the message. Later commands are tried after earlier ones.
    void AddCommand(std::string prefix, std::function<void(const std::string& rest)> run);
    // Puts a space on top of every other, whatever its layer (the editor's overlay).
    void PutOnTop(std::unique_ptr<Space> space);

    void OnCreateSpace(CreateSpaceEvent& event);
    void OnDestroySpace(DestroySpaceEvent& event);
    void OnDevMessage(DevMessageEvent& event);
    void OnBeat(BeatEvent& event);

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
    void DrawSpaces();
    static void DrawOutlines(const Space& space);

    struct Command {
        std::string prefix;
        std::function<void(const std::string&)> run;
    };

    DrawEvent draw_;        // reused every frame
    AnimateEvent animate_;  // reused every frame
    const Space* pictureKeptFor_ = nullptr;  // the still space whose picture Graphics holds
    Retirement<Space> retired_;  // destroyed while one of their handlers ran
    std::vector<Command> commands_;
};

} // namespace volleyrun
