#include "engine.h"

#include "archetypestore.h"
#include "audioengine.h"
#include "camera.h"
#include "componentregistry.h"
#include "entity.h"
#include "frameclock.h"
#include "gameerror.h"
#include "graphics.h"
#include "input.h"
#include "jsonfile.h"
#include "log.h"
#include "outputfile.h"
#include "replay.h"
#include "runoptions.h"
#include "space.h"
#include "texturestore.h"
#include "trace.h"
#include "transform.h"
#include "window.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <optional>

namespace volleyrun {

namespace {
Engine* instance = nullptr;

std::vector<Engine::Part*> parts;  // named by the program: see SetParts
} // namespace

Engine* Engine::Start()
{
    if (!instance) {
        instance = new Engine();
        instance->StartUp();
    }
    return instance;
}

Engine* Engine::Get()
{
    if (!instance) [[unlikely]]
        throw GameError("the engine is asked for before it was started");
    return instance;
}

bool Engine::Exists()
{
    return instance != nullptr;
}

void Engine::Destroy()
{
    if (!instance) return;
    instance->Shutdown();
    delete instance;  // the destructor still reaches the engine through Get
    instance = nullptr;
}

Engine::Engine() : events(std::make_unique<EventManager>()) {}

void Engine::SetParts(std::vector<Part*> named)
{
    parts = std::move(named);
}

void Engine::StartUp()
{
    const RunOptions& options = RunOptions::Get();
    // The services, each after those it uses; ~Engine destroys them in the reverse order.
    FrameClock::Start();
    Trace* trace = Trace::Start(events.get(), &quit);
    Log::SetSink([](const std::string& line) { Trace::Get()->Print(line); });
    Input* input = Input::Start();
    input->Connect(events.get(), &frameCount);
    if (!options.replayFile.empty()) {  // before the window: a replay owns every input device
        Replay replay = Replay::Load(options.replayFile);
        input->UseReplay(replay.EventLines(), replay.PadLines());
    }
    Window* window = Window::Start(options);
    // Virtual time jumps over the frame's idle time: nothing could happen during it.
    if (window->Open() && !options.virtualTime) {
        FrameClock::Get()->idle = [](int64_t until) { Window::Get()->WaitForEvents(until); };
        input->ReadInputDevices();
    }
    Camera::Start();
    TextureStore::Start();
    Graphics::Start();
    events->AddListener(this, &Engine::OnBeat);  // ahead of the game's: they draw with the new beat time
    AudioEngine::Start(*events);
    ComponentRegistry::Start();
    ArchetypeStore::Start();
    events->AddListener(trace, &Trace::OnTrace);
    AddCommand("\\q", [this](const std::string&) { quit = true; });
    // Before the first spaces: they are read with the player's settings in force.
    for (Part* part : parts) part->StartUp(*this);
    CreateSpaceEvent debug(kDebugSpace);
    OnCreateSpace(debug);
    Trace::Get()->BindDebugLines(FindSpace(kDebugSpace));  // and hides the overlay
    CreateSpaceEvent first(options.firstSpace);
    OnCreateSpace(first);
    std::srand(options.hasSeed ? options.seed : static_cast<unsigned>(std::time(nullptr)));
    events->AddListener(this, &Engine::OnDevMessage);
    events->AddListener(this, &Engine::OnDestroySpace);
    events->AddListener(this, &Engine::OnCreateSpace);
}

void Engine::OnBeat(BeatEvent&)
{
    Graphics::Get()->Beat();
}

void Engine::Shutdown()
{
    events->RemoveListener<BeatEvent>(this);
    events->RemoveListener<DevMessageEvent>(this);
    events->RemoveListener<DestroySpaceEvent>(this);
    events->RemoveListener<CreateSpaceEvent>(this);
}

Engine::~Engine()
{
    while (!spaces.empty()) spaces.pop_front();
    retired_.FreeAll();
    ArchetypeStore::Destroy();
    ComponentRegistry::Destroy();
    AudioEngine::Destroy();
    Graphics::Destroy();
    TextureStore::Destroy();
    Camera::Destroy();
    Window::Destroy();
    Input::Destroy();
    Log::SetSink(nullptr);
    Trace::Destroy();
    FrameClock::Destroy();
    events.reset();
}

void Engine::Update()
{
    FrameClock* clock = FrameClock::Get();
    Input* input = Input::Get();
    Graphics* graphics = Graphics::Get();
    Window* window = Window::Get();

    float dt = clock->Pace([input] { input->PollPads(); });
    clock->totalTime += dt;
    time += dt;
    // Everything pressed up to the frame's start is judged before the frame's update, in
    // the order it happened, whatever device it came from.
    window->PollWindow();
    input->Poll();
    input->DeliverPresses();
    graphics->BeginFrame(dt);
    if (window->CloseRequested()) quit = true;
    events->Send(UpdateEvent(dt, time));
    DrawSpaces();
    events->Send(animate_);
    window->UpdateMinimized();
    if (!input->textMode && input->Key(Input::kKeyF11) == kKeyPressed) window->ToggleFullscreen();
    graphics->Flush();
    window->SwapBuffers(frameCount + 1);
    input->EndFrame();
    window->PollEvents();
    events->Update(dt);
    for (Part* part : parts) part->EndFrame(*this);

    // No handler of this engine runs now, so spaces destroyed from inside one can go.
    retired_.Collect();
    ++frameCount;
    if (spaces.empty() || (spaces.size() == 1 && spaces.front()->name == kDebugSpace)) quit = true;
    if (RunOptions::Get().frames > 0 && frameCount >= RunOptions::Get().frames) quit = true;
}

void Engine::DrawSpaces()
{
    events->Send(draw_);
    // A snapshot: a draw handler may create or destroy spaces.
    std::vector<Space*> order;
    for (const auto& space : spaces) order.push_back(space.get());
    Graphics* graphics = Graphics::Get();
    auto draw = [this, graphics](auto from, auto to) {
        for (auto space = from; space != to; ++space) {
            if ((*space)->Detached()) continue;
            (*space)->events->Send(draw_);
            if (graphics->debugDraw) DrawOutlines(**space);
        }
    };
    // The highest still space and those beneath it: drawn once, then shown as that picture.
    auto still = std::find_if(order.rbegin(), order.rend(), [](Space* space) { return space->still && !space->Held(); });
    auto above = still.base();
    if (still == order.rend()) {
        if (pictureKeptFor_) graphics->DropKeptPicture();
        pictureKeptFor_ = nullptr;
    } else if (pictureKeptFor_ != *still || !graphics->ShowKeptPicture()) {
        draw(order.begin(), above);
        pictureKeptFor_ = graphics->KeepPicture() ? *still : nullptr;
    }
    draw(above, order.end());
}

// Debug drawing: the unit quad of every transform of the space, after its entities.
void Engine::DrawOutlines(const Space& space)
{
    for (const auto& entity : space.Entities())
        if (Transform* transform = entity->Get<Transform>()) Graphics::Get()->DrawOutline(transform->GetMatrix());
}

Space* Engine::FindSpace(const std::string& name) const
{
    for (const auto& space : spaces)
        if (space->name == name) return space.get();
    return nullptr;
}

void Engine::InsertSpace(std::unique_ptr<Space> space)
{
    space->events->AddListener(Trace::Get(), &Trace::OnTrace);
    // Before the first space whose layer is not lower: the newest goes first among equals.
    float layer = space->zLayer;
    auto place = std::find_if(spaces.begin(), spaces.end(), [layer](const auto& s) { return layer <= s->zLayer; });
    spaces.insert(place, std::move(space));
}

void Engine::OnCreateSpace(CreateSpaceEvent& event)
{
    InsertSpace(std::make_unique<Space>(event.name, *events));
}

void Engine::OnDestroySpace(DestroySpaceEvent& event)
{
    for (auto it = spaces.begin(); it != spaces.end();) {
        if (it->get() != event.space.Get()) {
            ++it;
            continue;
        }
        std::unique_ptr<Space> doomed = std::move(*it);
        if (doomed.get() == pictureKeptFor_) pictureKeptFor_ = nullptr;
        it = spaces.erase(it);
        retired_.Retire(std::move(doomed));  // freed at the frame's end, should its handler be on the stack
    }
}

void Engine::AddCommand(std::string prefix, std::function<void(const std::string&)> run)
{
    commands_.push_back({std::move(prefix), std::move(run)});
}

void Engine::OnDevMessage(DevMessageEvent& event)
{
    const std::string& text = event.text;
    for (const Command& command : commands_)
        if (text.compare(0, command.prefix.size(), command.prefix) == 0) command.run(text.substr(command.prefix.size()));
}

void Engine::PutOnTop(std::unique_ptr<Space> space)
{
    space->events->AddListener(Trace::Get(), &Trace::OnTrace);
    spaces.push_back(std::move(space));
}

void Engine::Dump(const std::string& path) const
{
    rapidjson::StringBuffer buffer;
    JsonWriter writer(buffer);
    writer.StartObject();
    writer.Key("spaces");
    writer.StartArray();
    for (const auto& space : spaces) {
        writer.StartObject();
        writer.Key("name");
        writer.String(space->name.c_str(), static_cast<rapidjson::SizeType>(space->name.size()));
        space->WriteMembers(writer);
        writer.EndObject();
    }
    writer.EndArray();
    writer.EndObject();
    OutputFile::WriteWhole(path, std::string(buffer.GetString(), buffer.GetSize()) + "\n", OutputFile::Kind::kRunOutput);
}

} // namespace volleyrun
