// The engine's cost of one frame of a busy match: the real game space in virtual time with
// both players returning everything (autoplay), the fastest spawn rate and special events,
// headless (update and draw submission; no GL). The audio of the frame is mixed inside the
// frame in virtual time; its share is reported by the audio benchmarks. Under
// `valgrind --tool=callgrind --instr-atstart=no` only the measured frames are counted.
#include "audioengine.h"
#include "ballmanager.h"
#include "behaviorball.h"
#include "behaviormeter.h"
#include "endgamelogic.h"
#include "engine.h"
#include "entity.h"
#include "event.h"
#include "eventmanager.h"
#include "gamesettings.h"
#include "frameclock.h"
#include "input.h"
#include "matchstats.h"
#include "musicclock.h"
#include "runoptions.h"
#include "space.h"
#include "timer.h"

#include <benchmark/benchmark.h>
#include <glad/gl.h>

#include <algorithm>
#include <array>
#include <deque>
#include <random>
#include <set>
#include <cmath>
#include <cstdlib>
#include <vector>
#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#else
#define CALLGRIND_START_INSTRUMENTATION
#define CALLGRIND_STOP_INSTRUMENTATION
#endif

namespace volleyrun {

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
    Engine* engine = Engine::Start();
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
// The busy match in a window, or null (the case skipped) without a display.
Space* StartWindowMatch(benchmark::State& state)
{
    if (std::getenv("DISPLAY")) return StartBusyMatch(false);
    state.SkipWithError("needs a display: run under xvfb-run");
    return nullptr;
}

void WindowMatchFrame(benchmark::State& state)
{
    Space* game = StartWindowMatch(state);
    if (!game) return;
    Engine* engine = Engine::Get();
    for (auto _ : state) {
        engine->Update();
        glFinish();
    }
    state.counters["balls"] = BallsInFlight(*game);
    Engine::Destroy();
}
BENCHMARK(WindowMatchFrame)->Unit(benchmark::kMillisecond)->Iterations(120)->UseRealTime();

// The end screen over that match, drawn the same way once it has opened: its panel over
// the kept picture of the frozen match and its victory art should cost no more than the match did.
void WindowEndScreenFrame(benchmark::State& state)
{
    Space* game = StartWindowMatch(state);
    if (!game) return;
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

// The real game space with scripted players who press each ball's letter at an exact
// instant: the ball's heard arrival, plus a chosen error, plus the latency the simulated
// input device adds. The match is kept going (meters and clock held) until enough presses
// were judged; every judged error is compared with the error the press was made with.
class ScriptedPlayers {
public:
    ScriptedPlayers()
    {
        RunOptions& options = RunOptions::Get();
        options = RunOptions();
        options.data = std::string(VOLLEYRUN_SOURCE_DIR) + "/Quillmoor";
        options.headless = options.virtualTime = options.hasSeed = true;
        options.seed = 7;
        options.firstSpace = "game";
        game_ = Engine::Start()->FindSpace("game");
        Engine::Get()->events->AddListener(this, &ScriptedPlayers::OnReturned);
    }
    ~ScriptedPlayers()
    {
        Engine::Get()->events->RemoveListener<BallReturnedEvent>(this);
        Engine::Destroy();
    }

    // Plays until `presses` have been judged; each press is made `error(rng)` after the
    // heard beat (true time) and reaches the game `inputLatencyNs` later, player 0 by
    // keyboard, player 1 by pad. Returns the largest |judged - intended| in milliseconds.
    // Only `player` presses when it is 0 or 1. A press no ball takes counts as judged.
    template <class Error>
    double Play(int presses, int64_t inputLatencyNs, int64_t outputLatencyNs, Error error, int player = -1)
    {
        intended_ = {};
        worst_ = 0.0;
        int start = Judged();
        Engine* engine = Engine::Get();
        while (Judged() - start < presses) {
            for (int pad = 0; pad < 2; ++pad)
                for (int button = Input::kPadA; button <= Input::kPadY; ++button) Input::Get()->SetVirtualButton(pad, button, false);
            int64_t now = FrameClock::Get()->Now();
            for (BehaviorBall* ball : InFlight()) {
                int receiver = ball->startLane > 0 ? 0 : 1;
                if (player >= 0 && receiver != player) continue;
                BeatTime t = ball->arrivalTime;
                int64_t heard = *AudioEngine::Get()->Music().InstantOf(t.bar * BeatTime::kSixteenthsPerBar + t.sixteenth) + outputLatencyNs;
                double intended = error();
                int64_t at = heard + static_cast<int64_t>(intended * 1e6) + inputLatencyNs;
                // Scheduled in the frame before the press or the beat, whichever is first.
                if (std::min(at, heard) - now >= FrameClock::Get()->framePeriod || !scheduled_.insert({ball, t.bar * 16 + t.sixteenth}).second) continue;
                // A press within the swing interval of his last would be refused: leave that ball.
                if (at - lastAt_[receiver] < kSpacingNs) continue;
                lastAt_[receiver] = at;
                intended_[receiver].push_back(intended);
                Press(receiver, std::max(ball->letter, 0), at);
            }
            HoldMatch();
            engine->Update();
        }
        return worst_;
    }
    std::vector<float> Errors(int player) const { return MatchStats::Get().players[player].errors; }

private:
    void Press(int player, int letter, int64_t at)
    {
        const GameSettings::Bindings& bindings = GameSettings::Get().bindings[player];
        Input* input = Input::Get();
        input->StampExactly(at);
        if (player == 1) return input->SetVirtualButton(1, bindings.letterButtons[letter], true);
        input->OnKey(bindings.letterKeys[letter], Input::kPress);
        input->OnKey(bindings.letterKeys[letter], Input::kRelease);
    }
    void OnReturned(BallReturnedEvent& event)
    {
        auto& intended = intended_[event.player];
        if (event.grade < 0 || intended.empty()) return;
        worst_ = std::max(worst_, std::abs(event.error * 1e3 - intended.front()));
        intended.pop_front();
    }
    static int Judged()
    {
        int count = 0;
        for (const MatchStats::Player& player : MatchStats::Get().players) count += player.Hits() + player.faults;
        return count;
    }
    void HoldMatch()
    {
        for (const char* name : {"BeatMeter1", "BeatMeter2"}) game_->RequireEntity(name)->Get<BehaviorMeter>()->value = 50.0f;
        game_->RequireEntity("levelLogic")->Get<Timer>()->remaining = 100.0f;
    }
    std::vector<BehaviorBall*> InFlight() const
    {
        std::vector<BehaviorBall*> balls;
        for (const auto& entity : game_->Entities())
            if (auto* ball = entity->name == "ball" ? entity->Get<BehaviorBall>() : nullptr)
                if (!ball->waiting && !ball->finished) balls.push_back(ball);
        return balls;
    }

    static constexpr int64_t kSpacingNs = 130'000'000;
    Space* game_;
    std::array<int64_t, 2> lastAt_{INT64_MIN / 2, INT64_MIN / 2};
    std::set<std::pair<BehaviorBall*, int>> scheduled_;
    std::array<std::deque<double>, 2> intended_;
    double worst_ = 0.0;
};

// A perfect player whose presses fall at random phases of the frame (uniform within
// +-60 ms of the beat): the largest difference between the judged and the true error.
void RandomPhaseJudgement(benchmark::State& state)
{
    for (auto _ : state) {
        ScriptedPlayers players;
        std::mt19937 rng(11);
        std::uniform_real_distribution<double> phase(-60.0, 60.0);
        state.counters["worst_ms"] = players.Play(1000, 0, 0, [&] { return phase(rng); });
    }
    state.counters["presses"] = 1000;
}
BENCHMARK(RandomPhaseJudgement)->Unit(benchmark::kMillisecond)->Iterations(1);

// The same with 5 ms of output and 12 ms of input latency: one match played on the beat
// uncalibrated, then the input offsets set from its recorded errors (their median, as
// calibrating from the last match does), then random phases judged again.
void CalibratedLatencyJudgement(benchmark::State& state)
{
    constexpr int64_t kInputNs = 12'000'000, kOutputNs = 5'000'000;
    for (auto _ : state) {
        ScriptedPlayers players;
        players.Play(40, kInputNs, kOutputNs, [] { return 0.0; });
        for (int player = 0; player < 2; ++player) {
            std::vector<float> errors = players.Errors(player);
            std::nth_element(errors.begin(), errors.begin() + errors.size() / 2, errors.end());
            state.counters["offset" + std::to_string(player) + "_ms"] = errors[errors.size() / 2] * 1e3;
            GameSettings::Get().inputOffsetMs[player][player] = static_cast<float>(errors[errors.size() / 2] * 1e3);
        }
        std::mt19937 rng(13);
        std::uniform_real_distribution<double> phase(-60.0, 60.0);
        state.counters["worst_ms"] = players.Play(1000, kInputNs, kOutputNs, [&] { return phase(rng); });
    }
}
BENCHMARK(CalibratedLatencyJudgement)->Unit(benchmark::kMillisecond)->Iterations(1);

// The widest errors accepted, found by bisection with single presses, for the keyboard
// player (left) and the pad player (right); the difference between them is reported.
void AcceptedWindowByDevice(benchmark::State& state)
{
    for (auto _ : state) {
        ScriptedPlayers players;
        double edges[2][2];  // [player][early, late]
        for (int side = 0; side < 2; ++side) {
            for (int player = 0; player < 2; ++player) {
                double in = 0.0, out = side == 0 ? -200.0 : 200.0;
                for (int step = 0; step < 24; ++step) {
                    double mid = (in + out) / 2.0;
                    int hits = MatchStats::Get().players[player].Hits();
                    players.Play(1, 0, 0, [&] { return mid; }, player);
                    (MatchStats::Get().players[player].Hits() > hits ? in : out) = mid;
                }
                edges[player][side] = in;
            }
        }
        state.counters["early_edge_ms"] = edges[0][0];
        state.counters["late_edge_ms"] = edges[0][1];
        state.counters["difference_ms"] = std::max(std::abs(edges[0][0] - edges[1][0]), std::abs(edges[0][1] - edges[1][1]));
    }
}
BENCHMARK(AcceptedWindowByDevice)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

} // namespace volleyrun
