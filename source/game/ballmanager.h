// BallManager: runs the match from the field's point of view, on the game space's
// "levelLogic" entity beside a BeatDivider (four divisions per beat) and the Timer. On its
// divisions it plays the opening sequence (meters filled and drained, billboards), starts
// the clock, counts in the first ball on the beat ("CountIn"), starts the special-ball
// events at even points of the match's progress, spawns balls from the "ball" archetype at
// the rate the options set, serving them to each side in turn (the first side drawn by the
// seeded rand()), keeps balls from arriving together and tells the music which ball is
// about to reach whom. It scores misses (BallLostEvent), sounding the music's miss layer
// until a bar passes without one, and has the debug keys (Left Control held).
// Game thread only.
#pragma once

#include "beattime.h"
#include "component.h"
#include "contentnames.h"

#include <cstdint>
#include <optional>

namespace volleyrun {

class BallLostEvent;
class BeatDivisionEvent;
class BehaviorBall;
class BehaviorMeter;
class Space;
class UpdateEvent;

class BallManager : public ComponentOf<BallManager, kBallManager> {
public:
    static constexpr int32_t kMatchStart = 24;  // divisions of opening sequence
    static constexpr int32_t kSpawnCredit = 164;

    explicit BallManager(Entity* owner) : ComponentOf(owner) {}

    void Initialize() override;
    void Terminate() override;
    std::vector<std::string> NamesNeeded() const override
    {
        return {Content::kLevelLogic, "BeatMeter[12]", "BeatMeter[12]BackBottom", "PlayerScore[01]", "Player[01]", "Player[01]Pos*", "BillBoardP[01]", "HitEffect_*", "MissEffect_*", "ScoreCounter", "WinArt"};
    }
    void Serialize(std::vector<Property>& properties) override;

    // kind 0 normal, 1 platinum, 2 rainbow, 3 alternating, 5 random; a zero launchTime
    // keeps the time the ball chose itself. The ball goes to serveSide, which then turns.
    BehaviorBall* SpawnBall(int32_t kind, BeatTime launchTime);
    // Whether the match of this space is decided (false in a space without a match).
    static bool MatchOver(const Space& space);

    void OnDivision(BeatDivisionEvent& event);
    void OnUpdate(UpdateEvent& event);
    void OnBallLost(BallLostEvent& event);
    // The deferred per-division pass: spacing, music parameters, spawning.
    void PassDivision(BeatTime time);

    int32_t timeBetweenBalls = 0;  // kept and saved; the spawn rules do not use it
    int32_t score0 = 0;            // points of player 0 (player 1 missed)
    int32_t score1 = 0;
    bool matchOver = false;
    bool spawnPaused = false;      // debug: no spawning
    int32_t divisionCounter = 0;
    bool metersFilled = false;
    uint32_t serveSide = 0;        // side the next ball is served to; drawn at initialise, turns per ball
    int32_t spawnAccumulator = 0;  // spawn credit
    int32_t eventKind = 0;         // running special event: 1 platinum, 2 rainbow, 3 alternating
    int32_t eventCountdown = 0;    // divisions left of it
    int32_t eventsStarted = 0;     // special events started this match
    float progress = 0.0f;         // 0..1: the furthest the clock or the leading meter has gone
    std::optional<BeatTime> countInTarget;  // the first ball's arrival while the count-in runs
    int32_t missDivision = -1;     // division of the latest miss while the miss layer sounds; -1 silent

private:
    BehaviorMeter* Meter(int number) const;  // "BeatMeter1" or "BeatMeter2"
    void TrackProgress();
    void MaybeStartEvent();
    void StartEvent();
    void CountIn(BeatTime now);
    void OpeningSequence();
    void FillMeters();
    void ShowBillboard(const char* name, uint32_t frame);
    bool AnnounceArrivals();
    void SpawnOnCredit(BeatTime launchTime, bool fieldEmpty);
    void DebugKeys();
    void StepMeter(int number, int steps);
    void SendTrigger();
    void SilenceMissLayer();

    bool countedIn_ = false;  // the first ball has been counted in
};

} // namespace volleyrun
