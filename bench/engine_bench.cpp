// Engine core figures: event dispatch rate, delayed-event throughput, space load and save.
#include "authoredspace.h"
#include "engine.h"
#include "entity.h"
#include "eventmanager.h"
#include "jsonfile.h"
#include "runoptions.h"
#include "space.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace volleyrun {

namespace {

struct Sink {
    int64_t calls = 0;
    void OnUpdate(UpdateEvent&) { ++calls; }
};

// Listener invocations per second: one event type with 10 active listeners.
void EventDispatch(benchmark::State& state)
{
    EventManager manager;
    Sink sinks[10];
    for (Sink& sink : sinks) manager.AddListener(&sink, &Sink::OnUpdate);
    manager.Update(0.0f);
    UpdateEvent event(1.0f / 60.0f, 0.0f);
    for (auto _ : state) {
        manager.Send(event);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 10);
}
BENCHMARK(EventDispatch);

// One million events queued with delays spread over one second, then delivered by
// paced frames until the queue is empty.
void DelayedEvents(benchmark::State& state)
{
    Sink sink;
    for (auto _ : state) {
        EventManager manager;
        manager.AddListener(&sink, &Sink::OnUpdate);
        std::srand(1);
        for (int i = 0; i < 1000000; ++i)
            manager.Send(UpdateEvent(0.0f, 0.0f, static_cast<float>(std::rand() % 1000) / 1000.0f));
        while (manager.QueuedCount() > 0) manager.Update(1.0f / 60.0f);
    }
    state.SetItemsProcessed(state.iterations() * 1000000);
}
BENCHMARK(DelayedEvents)->Unit(benchmark::kMillisecond);

// A content folder with "Debug", "Splash" and a 1,000-entity "Big" space.
class BigSpace {
public:
    BigSpace()
    {
        root = std::filesystem::temp_directory_path() / "volleyrun-bench";
        std::filesystem::create_directories(root / "Spaces");
        std::filesystem::create_directories(root / "Archetypes");
        std::ofstream(root / "Spaces" / "Debug.txt") << R"({"zLayer": 100, "entities": []})";
        std::ofstream(root / "Spaces" / "Splash.txt") << R"({"zLayer": 0, "entities": []})";
        std::ofstream big(root / "Spaces" / "Big.txt");
        big << "{\"zLayer\": 1, \"entities\": [";
        for (int i = 0; i < 1000; ++i)
            big << (i ? "," : "") << "{\"name\": \"e" << i << "\", \"archetypeName\": \"e\", \"Transform\": {\"translationX\": "
                << i * 0.5 << ", \"translationY\": " << -i * 0.25 << ", \"scaleX\": 10.0, \"scaleY\": 10.0, \"rotation\": "
                << i % 360 << ", \"parent\": \"\"}}";
        big << "]}";
        big.close();
        RunOptions::Get().data = root.string();
        RunOptions::Get().headless = true;
        RunOptions::Get().virtualTime = true;
        Engine::Start();
    }
    ~BigSpace()
    {
        Engine::Destroy();
        std::filesystem::remove_all(root);
    }
    std::filesystem::path root;
};

void SpaceLoad(benchmark::State& state)
{
    BigSpace content;
    for (auto _ : state) {
        Space space("Big", *Engine::Get()->events);
        benchmark::DoNotOptimize(space.Entities().size());
    }
}
BENCHMARK(SpaceLoad)->Unit(benchmark::kMillisecond);

void SpaceSave(benchmark::State& state)
{
    BigSpace content;
    Space space("Big", *Engine::Get()->events);
    for (auto _ : state) JsonFile::WriteAtomically(space.Path(), AuthoredSpace(space).Text());
}
BENCHMARK(SpaceSave)->Unit(benchmark::kMillisecond);

} // namespace

} // namespace volleyrun
