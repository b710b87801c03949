// The engine's cost of one frame of a busy match: the real game space in virtual time with
// both players returning everything (autoplay), the fastest spawn rate and special events,
// headless (update and draw submission; no GL). The audio of the frame is mixed inside the
// frame in virtual time; its share is reported by the audio benchmarks. Under
// `valgrind --tool=callgrind --instr-atstart=no` only the measured frames are counted.
#include "ballmanager.h"
#include "behaviorball.h"
#include "behaviormeter.h"
#include "endgamelogic.h"
#include "engine.h"
#include "entity.h"
#include "event.h"
#include "eventmanager.h"
#include "gamesettings.h"
#include "input.h"
#include "runoptions.h"
#include "space.h"

#include <benchmark/benchmark.h>
#include <glad/gl.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>
#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#else
#define CALLGRIND_START_INSTRUMENTATION
#define CALLGRIND_STOP_INSTRUMENTATION
#endif

namespace {

int BallsInFlight(const Space& game)
{
    int count = 0;
    for (const auto& entity : game.Entities())
        if (auto* ball = entity->name == "ball" ? entity->Get<BehaviorBall>() : nullptr)
            count += !ball->waiting && !ball->finished ? 1 : 0;
    return count;
}

// The real content's match, autoplayed with balls coming six times as often, run until
// a dozen balls are in flight: a busy frame to measure. Returns the game space.
Space* StartBusyMatch(bool headless)
{
    RunOptions& options = RunOptions::Get();
    options = RunOptions();
    options.data = std::string(VOLLEYRUN_SOURCE_DIR) + "/Quillmoor";
    options.headless = headless;
    options.virtualTime = options.autoplay = options.hasSeed = true;
    options.seed = 7;
    options.firstSpace = "game";
    Engine* engine = Engine::Get();
    GameSettings::Get().ballSpawnRate = 6;
    Space* game = engine->FindSpace("game");
    for (int frame = 0; frame < 60 * 40 && BallsInFlight(*game) < 12; ++frame) engine->Update();
    return game;
}

void BusyMatchFrame(benchmark::State& state)
{
    Space* game = StartBusyMatch(true);
    Engine* engine = Engine::Get();
    CALLGRIND_START_INSTRUMENTATION;
    for (auto _ : state) engine->Update();
    CALLGRIND_STOP_INSTRUMENTATION;
    state.counters["balls"] = BallsInFlight(*game);
    state.counters["entities"] = static_cast<double>(game->Entities().size());
    Engine::Destroy();
}
BENCHMARK(BusyMatchFrame)->Unit(benchmark::kMicrosecond)->Iterations(600);

// The same busy match drawn in a real window with Mesa's software OpenGL, each frame
// finished (rasterised) before the next: wall time per frame, whatever thread did the work.
void WindowMatchFrame(benchmark::State& state)
{
    if (!std::getenv("DISPLAY")) {
        state.SkipWithError("needs a display: run under xvfb-run");
        return;
    }
    Space* game = StartBusyMatch(false);
    Engine* engine = Engine::Get();
    for (auto _ : state) {
        engine->Update();
        glFinish();
    }
    state.counters["balls"] = BallsInFlight(*game);
    Engine::Destroy();
}
BENCHMARK(WindowMatchFrame)->Unit(benchmark::kMillisecond)->Iterations(120)->UseRealTime();

// The end screen over that match, drawn the same way once it has opened: its veil and
// panel over the frozen match and the victory art should cost no more than the match did.
void WindowEndScreenFrame(benchmark::State& state)
{
    if (!std::getenv("DISPLAY")) {
        state.SkipWithError("needs a display: run under xvfb-run");
        return;
    }
    Space* game = StartBusyMatch(false);
    Engine* engine = Engine::Get();
    BehaviorMeter* meter = game->RequireEntity("BeatMeter1")->Require<BehaviorMeter>();
    meter->value = meter->maximum;
    EndGameLogic::EndCheck(*meter, true, false);
    for (int frame = 0; frame < 60 * 10 && !engine->FindSpace("EndGame"); ++frame) engine->Update();
    for (auto _ : state) {
        engine->Update();
        glFinish();
    }
    state.counters["endScreen"] = engine->FindSpace("EndGame") ? 1 : 0;
    Engine::Destroy();
}
BENCHMARK(WindowEndScreenFrame)->Unit(benchmark::kMillisecond)->Iterations(120)->UseRealTime();

// The real game space with keyboard players who press on the frame closest to each
// ball's musical moment, as a replay recorded at 60 frames a second would: the timing
// error each hit is judged with, read when the hit arrives.
class PerfectPlayer {
public:
    explicit PerfectPlayer(Space* game) : game_(game) {}

    void PressWhereDue()
    {
        for (int player = 0; player < 2; ++player) {
            int key = player == 0 ? 67 : 77;  // C, M
            Input::Get()->OnKey(key, Input::kRelease);
            for (BehaviorBall* ball : InFlight()) {
                bool comingAtMe = player == 0 ? ball->startLane > 0 : ball->startLane < 0;
                float error = ball->TimingError();
                if (comingAtMe && error >= -kHalfFrame && error < kHalfFrame) {
                    Input::Get()->OnKey(key, Input::kPress);
                    break;
                }
            }
        }
    }
    // The ball a hit is judged against: in flight from the other side, nearest its moment.
    void OnHit(BallHitEvent& event)
    {
        float best = BehaviorBall::kHitWindow * 2.0f;
        for (BehaviorBall* ball : InFlight())
            if ((ball->startLane < 0) != (event.lane < 0) && std::abs(ball->TimingError()) < std::abs(best))
                best = ball->TimingError();
        if (std::abs(best) <= BehaviorBall::kHitWindow) errors.push_back(best);
    }

    std::vector<float> errors;  // seconds, late positive

private:
    static constexpr float kHalfFrame = 1.0f / 120.0f;
    std::vector<BehaviorBall*> InFlight() const
    {
        std::vector<BehaviorBall*> balls;
        for (const auto& entity : game_->Entities())
            if (auto* ball = entity->name == "ball" ? entity->Get<BehaviorBall>() : nullptr)
                if (!ball->waiting && !ball->finished) balls.push_back(ball);
        return balls;
    }
    Space* game_;
};

void PerfectPlayerHitError(benchmark::State& state)
{
    RunOptions& options = RunOptions::Get();
    options = RunOptions();
    options.data = std::string(VOLLEYRUN_SOURCE_DIR) + "/Quillmoor";
    options.headless = options.virtualTime = options.hasSeed = true;
    options.seed = 7;
    options.firstSpace = "game";
    Engine* engine = Engine::Get();
    PerfectPlayer player(engine->FindSpace("game"));
    engine->events->AddListener(&player, &PerfectPlayer::OnHit);
    for (auto _ : state) {
        for (int frame = 0; frame < 60 * 90; ++frame) {
            player.PressWhereDue();
            engine->Update();
        }
    }
    engine->events->RemoveListener<BallHitEvent>(&player);
    double worst = 0.0, sum = 0.0;
    for (float error : player.errors) {
        worst = std::max(worst, std::abs(static_cast<double>(error)));
        sum += error;
    }
    state.counters["hits"] = static_cast<double>(player.errors.size());
    state.counters["worst_ms"] = 1000.0 * worst;
    state.counters["mean_ms"] = player.errors.empty() ? 0.0 : 1000.0 * sum / static_cast<double>(player.errors.size());
    Engine::Destroy();
}
BENCHMARK(PerfectPlayerHitError)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace
