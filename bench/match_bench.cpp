// The engine's cost of one frame of a busy match: the real game space in virtual time with
// both players returning everything (autoplay), the fastest spawn rate and special events,
// headless (update and draw submission; no GL). The audio of the frame is mixed inside the
// frame in virtual time; its share is reported by the audio benchmarks.
#include "ballmanager.h"
#include "behaviorball.h"
#include "engine.h"
#include "entity.h"
#include "gamesettings.h"
#include "runoptions.h"
#include "space.h"

#include <benchmark/benchmark.h>

namespace {

int BallsInFlight(const Space& game)
{
    int count = 0;
    for (const auto& entity : game.Entities())
        if (auto* ball = entity->name == "ball" ? entity->Get<BehaviorBall>() : nullptr)
            count += !ball->waiting && !ball->finished ? 1 : 0;
    return count;
}

void BusyMatchFrame(benchmark::State& state)
{
    RunOptions& options = RunOptions::Get();
    options = RunOptions();
    options.data = std::string(VOLLEYRUN_SOURCE_DIR) + "/Quillmoor";
    options.headless = options.virtualTime = options.autoplay = options.hasSeed = true;
    options.seed = 7;
    options.firstSpace = "game";
    Engine* engine = Engine::Get();
    GameSettings::Get().ballSpawnRate = 6;
    Space* game = engine->FindSpace("game");
    for (int frame = 0; frame < 60 * 40 && BallsInFlight(*game) < 12; ++frame) engine->Update();
    for (auto _ : state) engine->Update();
    state.counters["balls"] = BallsInFlight(*game);
    state.counters["entities"] = static_cast<double>(game->Entities().size());
    Engine::Destroy();
}
BENCHMARK(BusyMatchFrame)->Unit(benchmark::kMicrosecond)->Iterations(600);

} // namespace
