#include "ballmanager.h"

#include "archetypestore.h"
#include "behaviorball.h"
#include "behaviormeter.h"
#include "behaviorplayer.h"
#include "contentnames.h"
#include "endgamelogic.h"
#include "entity.h"
#include "gamesettings.h"
#include "input.h"
#include "matchstats.h"
#include "space.h"
#include "sprite.h"
#include "spritetext.h"
#include "testingcomponent.h"
#include "texture.h"
#include "timer.h"

#include <algorithm>
#include <array>
#include <cstdlib>

namespace volleyrun {

namespace {

// The opening, in divisions: the meters fill at once, then drain one segment per half beat
// from these counts on, visibly, so that every match starts from empty meters.
constexpr int32_t kDrain1Start = 4, kDrain2Start = 8, kDrain3Start = 12;
constexpr int32_t kDivisionsPerBar = 16;
constexpr int32_t kDivisionsPerBeat = 4;
constexpr int32_t kCountInBeats = 3;  // "3", "2", "1" on the beats before the first ball's "GO!"
constexpr int32_t kMostEvents = 6;    // eventsPerGame above this starts none

// Spawn credit added per division for ballSpawnRate 1 to 6.
int32_t SpawnStep(int32_t rate)
{
    constexpr int32_t kSteps[] = {1, 3, 5, 9, 15, 25};
    return rate >= 1 && rate <= 6 ? kSteps[rate - 1] : 0;
}

const char* const kSideParameters[2][4] = {
    {"MusicianHitLeft", "RainbowBallLeft", "PlatinumBallLeft", "AlternatingBallLeft"},
    {"MusicianHitRight", "RainbowBallRight", "PlatinumBallRight", "AlternatingBallRight"},
};

// Debug keys: keypad 0, 1, 2, 3, 8 spawn a ball of that kind; keypad + pauses spawning.
constexpr int kKeypadSpawns[][2] = {{320, 0}, {321, 2}, {322, 3}, {323, 1}, {328, 0}};
constexpr int kKeypadAdd = 334;
// Keys 1 to 4: (key, meter, steps).
constexpr int kMeterKeys[][3] = {{49, 1, -5}, {50, 1, 5}, {51, 2, -5}, {52, 2, 5}};

} // namespace

bool BallManager::MatchOver(const Space& space)
{
    Entity* logic = space.FindEntity(Content::kLevelLogic);
    BallManager* manager = logic ? logic->Get<BallManager>() : nullptr;
    return manager && manager->matchOver;
}

void BallManager::Initialize()
{
    MatchStats::Get().Clear();
    EventManager* events = &EngineEvents();
    Listen(*events, &BallManager::OnUpdate);
    Listen(*events, &BallManager::OnBallLost);
    Listen(*owner->events, &BallManager::OnDivision);
    score0 = score1 = 0;
    serveSide = static_cast<uint32_t>(std::rand() % 2);  // --seed decides who receives first
}

void BallManager::Terminate()
{
    SilenceMissLayer();  // the match is gone: its streak of misses with it
}

void BallManager::Serialize(std::vector<Property>& properties)
{
    properties.push_back({"time_between_balls", &timeBetweenBalls, kInt});
}

BehaviorMeter* BallManager::Meter(int number) const
{
    return owner->space->RequireEntity(number == 1 ? "BeatMeter1" : "BeatMeter2")->Require<BehaviorMeter>();
}

BehaviorBall* BallManager::SpawnBall(int32_t kind, BeatTime launchTime)
{
    Entity* entity = ArchetypeStore::Spawn("ball", "ball", *owner->space, false);
    BehaviorBall* ball = entity->Require<BehaviorBall>();
    ball->kind = kind == 5 ? std::rand() % 4 : kind;
    ball->serveSide = serveSide;
    serveSide ^= 1u;  // each side receives every other ball
    InitEvent init;
    entity->OnInit(init);
    if (!(launchTime == BeatTime())) ball->launchTime = launchTime;
    return ball;
}

void BallManager::OnDivision(BeatDivisionEvent& event)
{
    --eventCountdown;
    ++divisionCounter;
    if (missDivision >= 0 && divisionCounter - missDivision >= kDivisionsPerBar) SilenceMissLayer();
    if (divisionCounter < kMatchStart) {
        OpeningSequence();
        return;
    }
    if (Meter(1)->drain3) {
        for (BehaviorMeter* meter : {Meter(1), Meter(2)}) {
            meter->threshold1Sent = meter->threshold2Sent = meter->drain1 = meter->drain2 = meter->drain3 = false;
            meter->value = 0.0f;  // whatever the frame rate let the drain reach
            meter->LowerNotches();
        }
    }
    owner->space->RequireEntity(Content::kLevelLogic)->Require<Timer>()->clockRunning = true;
    TrackProgress();
    MaybeStartEvent();
    CountIn(event.time);
    EntityRef self = owner->Ref();
    BeatTime time = event.time;
    // Outside the delivery of the division, so balls can be created and changed freely.
    EngineEvents().Send(LambdaEvent(
        [self, time] {
            if (Entity* entity = self.Get())
                if (auto* manager = entity->Get<BallManager>()) manager->PassDivision(time);
        },
        0.0f));
}

// A match ends when its clock runs out or a meter fills, so the further of the two is how
// far along it is; it never goes back, even when a meter falls.
void BallManager::TrackProgress()
{
    const Timer* timer = owner->space->RequireEntity(Content::kLevelLogic)->Require<Timer>();
    float clock = timer->secondsOfGame > 0.0f ? 1.0f - timer->remaining / timer->secondsOfGame : 0.0f;
    const BehaviorMeter* left = Meter(1);
    float meters = std::max(left->value, Meter(2)->value) / std::max(left->maximum, 1.0f);
    progress = std::max({progress, clock, meters});
}

// eventsPerGame events start at even points of the progress (1/3 and 2/3 for two), which
// every match passes however it ends.
void BallManager::MaybeStartEvent()
{
    const GameSettings& settings = GameSettings::Get();
    bool anyKind = settings.rainbowBallEnabled || settings.platinumBallEnabled || settings.alternatingBallEnabled;
    bool anyButton = settings.aButtonEnabled || settings.bButtonEnabled || settings.xButtonEnabled || settings.yButtonEnabled;
    int32_t count = settings.eventsPerGame;
    if (!settings.eventsEnabled || !anyKind || !anyButton || count < 1 || count > kMostEvents || eventsStarted >= count) return;
    if (progress < static_cast<float>(eventsStarted + 1) / static_cast<float>(count + 1)) return;
    ++eventsStarted;
    StartEvent();
}

void BallManager::StartEvent()
{
    const GameSettings& settings = GameSettings::Get();
    struct Kind {
        bool enabled;
        int32_t kind;
        const char* announcement;
    };
    const Kind kinds[] = {{settings.alternatingBallEnabled, 3, "event:/Announcer/AlternatingBall"},
                          {settings.platinumBallEnabled, 1, "event:/Announcer/PlatinumBall"},
                          {settings.rainbowBallEnabled, 2, "event:/Announcer/RainbowBall"}};
    int enabled = static_cast<int>(std::count_if(std::begin(kinds), std::end(kinds), [](const Kind& k) { return k.enabled; }));
    int r = std::rand() % enabled;
    for (const Kind& candidate : kinds) {
        if (!candidate.enabled) continue;
        if (r-- > 0) continue;
        EngineEvents().Send(PlaySoundEvent(candidate.announcement, true));
        eventKind = candidate.kind;
        eventCountdown = settings.eventLength;
        return;
    }
}

void BallManager::OpeningSequence()
{
    if (!metersFilled) {
        FillMeters();
        ShowBillboard("BillBoardP0", 4);  // PLAYER 1 READY!
        ShowBillboard("BillBoardP1", 9);
    }
    if (divisionCounter < kDrain1Start) return;
    for (BehaviorMeter* meter : {Meter(1), Meter(2)}) {
        if (divisionCounter < kDrain2Start) meter->drain1 = true;
        else if (divisionCounter < kDrain3Start) meter->drain2 = true;
        else meter->drain3 = true;
    }
}

// "3", "2", "1" on the beats before the match's first ball reaches its receiver and "GO!"
// on that beat, each with its tick; the text goes a beat later.
void BallManager::CountIn(BeatTime now)
{
    if (!countInTarget) return;
    int32_t ahead = (countInTarget->bar - now.bar) * kDivisionsPerBar + countInTarget->sixteenth - now.sixteenth;
    SpriteText* text = owner->space->RequireEntity("CountIn")->Require<SpriteText>();
    if (ahead <= -kDivisionsPerBeat) {
        text->SetText("");
        countInTarget.reset();
        return;
    }
    if (ahead < 0 || ahead % kDivisionsPerBeat != 0 || ahead > kCountInBeats * kDivisionsPerBeat) return;
    static const char* const kWords[] = {"GO!", "1", "2", "3"};
    text->SetText(kWords[ahead / kDivisionsPerBeat]);
    EngineEvents().Send(PlaySoundEvent(ahead == 0 ? "event:/Match/Go" : "event:/Match/Count", false));
}

void BallManager::FillMeters()
{
    int steps = static_cast<int>(Meter(1)->maximum);
    for (int i = 0; i < steps; ++i)
        for (BehaviorMeter* meter : {Meter(1), Meter(2)}) {
            meter->RaiseNotches();
            meter->ChangeValue(1.0f);
        }
    metersFilled = true;
}

void BallManager::ShowBillboard(const char* name, uint32_t frame)
{
    Sprite* sprite = owner->space->RequireEntity(name)->Require<Sprite>();
    sprite->frameIndex = sprite->GetTexture().frameCount > frame ? frame : 0;
}

void BallManager::PassDivision(BeatTime time)
{
    bool inPlay = AnnounceArrivals();
    if (matchOver) return;
    BeatTime launchTime(time.bar + 1, time.sixteenth / 4 * 4, 0);
    if (launchTime.sixteenth >= 16) launchTime = BeatTime(time.bar + 2, launchTime.sixteenth - 16, 0);
    if (spawnPaused) return;
    if (!countedIn_ && !inPlay) {
        countedIn_ = true;  // the match's first ball: count it in
        countInTarget = launchTime;
    }
    SpawnOnCredit(launchTime, !inPlay);
}

// Spaces out balls arriving at one player together and tells the music which ball is
// about to reach whom; returns whether any ball is in play.
bool BallManager::AnnounceArrivals()
{
    std::array<bool, 16> fromLeft{}, fromRight{};
    bool announced[2] = {false, false};  // left, right
    bool inPlay = false;
    EventManager* events = &EngineEvents();
    for (const auto& entity : owner->space->Entities()) {
        BehaviorBall* ball = entity->name == "ball" ? entity->Get<BehaviorBall>() : nullptr;
        if (!ball || ball->finished) continue;
        inPlay = true;
        if (ball->waiting) continue;  // no flight yet: nothing to space or announce
        int32_t distance = std::abs(ball->startLane + ball->steps - ball->destLane);
        auto& arriving = ball->startLane < 0 ? fromLeft : fromRight;
        // Distances past the table cannot collide with a ball about to arrive.
        if (distance < 16 && arriving[distance]) ball->MoveBack(3);
        else if (distance < 16) arriving[distance] = true;

        int32_t remaining = ball->startLane + ball->steps - ball->destLane;
        bool towardLeft = ball->startLane >= 0;
        if (remaining != (towardLeft ? 1 : -1)) continue;
        for (const char* name : {"Player0", "Player1"})
            if (auto* player = owner->space->RequireEntity(name)->Get<BehaviorPlayer>()) player->inPlay = true;
        int side = towardLeft ? 0 : 1;
        int slot = ball->kind == 3 ? 3 : ball->kind == 2 ? 1 : ball->kind == 1 ? 2 : 0;
        float value = slot == 0 ? static_cast<float>(std::abs(ball->destLane)) : 1.0f;
        events->Send(ParameterChangeEvent(Content::kMatchMusic, {{kSideParameters[side][slot], value}}));
        announced[side] = true;
    }
    for (int side = 0; side < 2; ++side) {
        if (announced[side]) continue;
        SoundParameters silence;
        for (const char* name : kSideParameters[side]) silence.emplace_back(name, 0.0f);
        events->Send(ParameterChangeEvent(Content::kMatchMusic, silence));
    }
    return inPlay;
}

void BallManager::SpawnOnCredit(BeatTime launchTime, bool fieldEmpty)
{
    const GameSettings& settings = GameSettings::Get();
    spawnAccumulator += SpawnStep(settings.ballSpawnRate);
    if (spawnAccumulator >= kSpawnCredit) spawnAccumulator -= kSpawnCredit;
    else if (!fieldEmpty) return;  // the field is never left empty
    if (eventCountdown <= 0) {
        SpawnBall(0, launchTime);
    } else if (settings.eventBallSpawn == 0) {
        SpawnBall(eventKind, launchTime);
        eventCountdown = 0;
    } else {
        SpawnBall(std::rand() % 3 < settings.eventBallSpawn ? eventKind : 0, launchTime);
    }
}

void BallManager::OnBallLost(BallLostEvent& event)
{
    if (matchOver) return;
    EventManager* events = &EngineEvents();
    events->Send(ParameterChangeEvent(Content::kMatchMusic, {{"MusicianMiss", 0.5f}}));
    missDivision = divisionCounter;
    bool playerOneMissed = event.lane >= 0;
    int32_t& score = playerOneMissed ? score0 : score1;
    int32_t otherScore = playerOneMissed ? score1 : score0;
    ++score;
    owner->space->RequireEntity(playerOneMissed ? "PlayerScore0" : "PlayerScore1")->Require<SpriteText>()->SetText(std::to_string(score));
    owner->space->RequireEntity(playerOneMissed ? "Player1" : "Player0")->Require<BehaviorPlayer>()->LoseLife();
    if (otherScore > 0) Meter(playerOneMissed ? 2 : 1)->LowerNotches();
}

void BallManager::OnUpdate(UpdateEvent&)
{
    DebugKeys();
    SendTrigger();
}

void BallManager::DebugKeys()
{
    Input* input = Input::Get();
    // Like the other designers' keys: Control held first, so that play never reaches them.
    if (input->textMode || input->Key(TestingComponent::kKeyLeftControl) != kKeyHeld) return;
    for (const auto& [key, kind] : kKeypadSpawns)
        if (input->Key(key) == kKeyPressed) SpawnBall(kind, BeatTime());
    if (input->Key(kKeypadAdd) == kKeyPressed) spawnPaused = !spawnPaused;
    for (const auto& [key, meter, steps] : kMeterKeys) {
        if (input->Key(key) != kKeyPressed) continue;
        StepMeter(meter, steps);
        return;
    }
}

// Moves a meter one unit per step, running the end check and the notches each time.
void BallManager::StepMeter(int number, int steps)
{
    BehaviorMeter* meter = Meter(number);
    bool raise = steps > 0;
    for (int i = 0; i < std::abs(steps); ++i) {
        if (raise ? meter->value >= static_cast<float>(static_cast<int>(meter->maximum)) : meter->value <= 0.0f) return;
        meter->ChangeValue(raise ? 1.0f : -1.0f);
        EndGameLogic::EndCheck(*meter, meter->IsLeft(), false);
        if (raise) meter->RaiseNotches();
        else meter->LowerNotches();
    }
}

// The streak of misses is over (a bar without one, or the match gone): the layer falls silent.
void BallManager::SilenceMissLayer()
{
    if (missDivision < 0) return;
    missDivision = -1;
    EngineEvents().Send(ParameterChangeEvent(Content::kMatchMusic, {{"MusicianMiss", 0.0f}}));
}

// The analogue triggers steer the in-game music.
void BallManager::SendTrigger()
{
    Input* input = Input::Get();
    float trigger = 0.0f;
    bool first = true;
    for (int joystick : {0, 1})
        for (int axis : {4, 5}) {
            float value = input->Axis(joystick, axis);
            trigger = first ? value : std::max(trigger, value);
            first = false;
        }
    EngineEvents().Send(ParameterChangeEvent(Content::kMatchMusic, {{"Trigger", trigger}}));
}

} // namespace volleyrun
