#include "engine.h"

#include "archetypestore.h"
#include "audioengine.h"
#include "entity.h"
#include "frameclock.h"
#include "gamesettings.h"
#include "gameerror.h"
#include "graphics.h"
#include "input.h"
#include "jsonfile.h"
#include "mapeditor.h"
#include "outputfile.h"
#include "runoptions.h"
#include "settingsfile.h"
#include "space.h"
#include "trace.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <optional>

namespace {
Engine* instance = nullptr;

const char* const kDebugSpace = "Debug";
const char* const kEditorSpace = "MapEditorSpace";
const std::string kEditOpen = "\\edit-open-";
} // namespace

Engine* Engine::Get()
{
    if (!instance) {
        instance = new Engine();
        instance->StartUp();
    }
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

void Engine::StartUp()
{
    const RunOptions& options = RunOptions::Get();
    GameSettings::Get().Reset();
    GameSettings::autoplay = options.autoplay;
    Input::Get()->Connect(events.get(), &frameCount);
    settingsFile_ = std::make_unique<SettingsFile>(options.settingsFile);
    std::vector<std::string> settingsLines = settingsFile_->Load(GameSettings::Get());
    Graphics* graphics = Graphics::Get();
    if (!GameSettings::Get().fullScreen && graphics->fullscreen) graphics->ToggleFullscreen();
    fullscreenSeen_ = graphics->fullscreen;
    AudioEngine::Start(*events)->SetMasterVolume(static_cast<float>(GameSettings::Get().masterVolumePercent) / 100.0f);
    events->AddListener(Trace::Get(), &Trace::OnTrace);
    // Queued: the trace listens from the end of the first frame.
    for (const std::string& line : settingsLines) events->Send(TraceEvent(line + "\n", 0.0f));
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

void Engine::Shutdown()
{
    events->RemoveListener<DevMessageEvent>(this);
    events->RemoveListener<DestroySpaceEvent>(this);
    events->RemoveListener<CreateSpaceEvent>(this);
}

Engine::~Engine()
{
    while (!spaces.empty()) spaces.pop_front();
    retired_.clear();
    Graphics::Destroy();
    Input::Destroy();
    ArchetypeStore::Destroy();
    AudioEngine::Destroy();
    FrameClock::Destroy();
    Trace::Destroy();
    events.reset();
}

void Engine::Update()
{
    FrameClock* clock = FrameClock::Get();
    Input* input = Input::Get();
    Graphics* graphics = Graphics::Get();

    float dt = clock->Pace([input] { input->PollPads(); });
    clock->totalTime += dt;
    time += dt;
    // Everything pressed up to the frame's start is judged before the frame's update, in
    // the order it happened, whatever device it came from.
    graphics->PollWindow();
    input->Poll();
    input->DeliverPresses();
    events->Send(UpdateEvent(dt, time));
    DrawSpaces();
    events->Send(animate_);
    graphics->UpdateMinimized();
    if (!input->textMode && input->Key(Input::kKeyF11) == kKeyPressed) graphics->ToggleFullscreen();
    graphics->SwapBuffers();
    input->EndFrame();
    graphics->PollEvents();
    events->Update(dt);
    KeepSettings();

    // No handler of this engine runs now, so spaces destroyed from inside one can go.
    retired_.clear();
    ++frameCount;
    if (spaces.empty() || (spaces.size() == 1 && spaces.front()->name == kDebugSpace)) quit = true;
    if (RunOptions::Get().frames > 0 && frameCount >= RunOptions::Get().frames) quit = true;
}

// The window's full-screen state is the player's choice only when it changes (F11, the
// options' toggle): --windowed must not be remembered. Any changed option is saved now.
void Engine::KeepSettings()
{
    GameSettings& settings = GameSettings::Get();
    if (bool fullscreen = Graphics::Get()->fullscreen; fullscreen != fullscreenSeen_) {
        fullscreenSeen_ = fullscreen;
        settings.fullScreen = fullscreen;
    }
    if (std::optional<std::string> failure = settingsFile_->SaveIfChanged(settings))
        events->Send(TraceEvent(*failure + "\n"));
}

void Engine::DrawSpaces()
{
    events->Send(draw_);
    // A snapshot: a draw handler may create or destroy spaces.
    std::vector<Space*> order;
    for (const auto& space : spaces) order.push_back(space.get());
    auto draw = [this](auto from, auto to) {
        for (auto space = from; space != to; ++space)
            if (!(*space)->Detached()) (*space)->events->Send(draw_);
    };
    // The highest still space and those beneath it: drawn once, then shown as that picture.
    auto still = std::find_if(order.rbegin(), order.rend(), [](Space* space) { return space->still && !space->Held(); });
    auto above = still.base();
    Graphics* graphics = Graphics::Get();
    if (still == order.rend()) {
        if (pictureKeptFor_) graphics->DropKeptPicture();
        pictureKeptFor_ = nullptr;
    } else if (pictureKeptFor_ != *still || !graphics->ShowKeptPicture()) {
        draw(order.begin(), above);
        pictureKeptFor_ = graphics->KeepPicture() ? *still : nullptr;
    }
    draw(above, order.end());
}

Space* Engine::FindSpace(const std::string& name) const
{
    for (const auto& space : spaces)
        if (space->name == name) return space.get();
    return nullptr;
}

void Engine::InsertSpace(std::unique_ptr<Space> space)
{
    // Before the first space whose layer is not lower: the newest goes first among equals.
    float layer = space->zLayer;
    auto place = std::find_if(spaces.begin(), spaces.end(), [layer](const auto& s) { return layer <= s->zLayer; });
    spaces.insert(place, std::move(space));
}

void Engine::OnCreateSpace(CreateSpaceEvent& event)
{
    InsertSpace(std::make_unique<Space>(event.name));
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
        if (doomed->Busy()) {
            // One of its handlers is on the stack: stop it now, free it at the end of the frame.
            doomed->Detach();
            retired_.push_back(std::move(doomed));
        }
    }
}

void Engine::OnDevMessage(DevMessageEvent& event)
{
    const std::string& text = event.text;
    if (text.compare(0, kEditOpen.size(), kEditOpen) == 0) OpenEditor(text.substr(kEditOpen.size()));
    if (text.size() >= 2 && text[0] == '\\' && text[1] == 'q') quit = true;
}

void Engine::OpenEditor(const std::string& target)
{
    if (!FindSpace(target)) {
        events->Send(TraceEvent("This space does not currently exist. Can not open editor\n", 0.0f));
        return;
    }
    if (Space* open = FindSpace(kEditorSpace)) events->Send(DestroySpaceEvent(open, 0.0f));
    try {
        auto overlay = std::make_unique<Space>(kEditorSpace);
        // Before the overlay's first update, which initialises the editor.
        Entity* holder = overlay->FindEntity("mapEditor");
        if (MapEditor* editor = holder ? holder->Get<MapEditor>() : nullptr) editor->SetEditedSpace(FindSpace(target));
        spaces.push_back(std::move(overlay));  // always on top, whatever its layer
    } catch (const GameError& error) {
        // A console command must not end the game: report why the editor did not open.
        events->Send(TraceEvent(std::string("Can not open editor: ") + error.what() + "\n", 0.0f));
    }
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
        space->WriteMembers(writer, true);
        writer.EndObject();
    }
    writer.EndArray();
    writer.EndObject();
    OutputFile::WriteWhole(path, std::string(buffer.GetString(), buffer.GetSize()) + "\n", OutputFile::Kind::kRunOutput);
}
