#include "behaviorplayer.h"

#include "ballmanager.h"
#include "behaviorball.h"
#include "behaviormeter.h"
#include "behaviormusician.h"
#include "behaviorplatform.h"
#include "entity.h"
#include "gamesettings.h"
#include "input.h"
#include "lifeindicator.h"
#include "matchstats.h"
#include "particleemitter.h"
#include "space.h"

namespace volleyrun {

namespace {
constexpr int32_t kSpots[3] = {4, 2, 1};  // in the order of the bindings' spot keys
// A swing that returns no ball locks the player out this long (and breaks his streak and
// costs meter), so that pressing without looking loses to pressing on time.
constexpr int64_t kFaultLockNs = 250'000'000;
constexpr float kFaultDelta = -0.5f;

std::string SpotName(const char* kind, int32_t player, int32_t spot)
{
    return kind + std::to_string(player) + "Pos" + std::to_string(spot);
}
} // namespace

void BehaviorPlayer::Initialize()
{
    EventManager* events = &EngineEvents();
    Listen(*events, &BehaviorPlayer::OnPress);
    Listen(*events, &BehaviorPlayer::OnThreshold);
    MoveTo(position, false);
    Entity* indicator = owner->space->RequireEntity("LifeIndicator" + std::to_string(player));
    LifeIndicator* lifeIndicator = indicator->Require<LifeIndicator>();
    lifeIndicator->maxLives = lives;
    lifeIndicator->lives = lives;
}

void BehaviorPlayer::Serialize(std::vector<Property>& properties)
{
    properties.push_back({"player", &player, kInt});
    properties.push_back({"position", &position, kInt});
    properties.push_back({"lives", &lives, kInt});
}

BehaviorMusician* BehaviorPlayer::Musician() const
{
    Entity* spot = currentSpot.Get();
    return spot ? spot->Get<BehaviorMusician>() : nullptr;
}

void BehaviorPlayer::MoveTo(int32_t spot, bool forced)
{
    if (BallManager::MatchOver(*owner->space)) return;
    // Only a forced move spares the balls already flying at him; a step of his own
    // leaves them for him to hit.
    for (const auto& entity : owner->space->Entities()) {
        BehaviorBall* ball = forced && entity->name == "ball" ? entity->Get<BehaviorBall>() : nullptr;
        bool towardMe = ball && (player == 0 ? ball->startLane >= 0 : ball->startLane < 0);
        if (towardMe && !ball->finished && !ball->waiting) ball->autoReturn = true;
    }
    Entity* oldPlatform = owner->space->FindEntity(SpotName("Platform", player, position));
    if (BehaviorMusician* musician = Musician()) musician->Light(64);
    position = spot;
    Entity* next = owner->space->RequireEntity(SpotName("Player", player, spot));
    currentSpot = next->Ref();
    if (BehaviorMusician* musician = Musician()) musician->Light(255);
    if (BehaviorPlatform* platform = oldPlatform ? oldPlatform->Get<BehaviorPlatform>() : nullptr)
        platform->GlideTo(0.0f, 0.1f);
}

void BehaviorPlayer::LoseLife()
{
    --lives;
    if (BehaviorMusician* musician = Musician()) musician->ShowDamage();
    Entity* indicator = owner->space->RequireEntity("LifeIndicator" + std::to_string(player));
    indicator->Require<LifeIndicator>()->lives = lives;
}

void BehaviorPlayer::Swing(int32_t letter, int64_t at, int device)
{
    BehaviorMusician* musician = Musician();
    if (at < lockedUntil_ || !musician || !musician->TrySwing(at)) return;
    const GameSettings& settings = GameSettings::Get();
    auto latency = static_cast<int64_t>(settings.inputOffsetMs[player == 0 ? 0 : 1][device] * 1e6f);
    EventManager* events = &EngineEvents();
    events->Send(SwingEvent(player, letter));
    BallHitEvent hit(Lane(), letter, at - latency);
    events->Send(hit);
    if (hit.nearest) return hit.nearest->Return(hit, hit.error);
    if (BallManager::MatchOver(*owner->space)) return;
    lockedUntil_ = at + kFaultLockNs;
    MatchStats::Get().Fault(player);
    BehaviorMeter* meter = owner->space->RequireEntity(player == 0 ? "BeatMeter1" : "BeatMeter2")->Require<BehaviorMeter>();
    meter->ChangeValue(kFaultDelta);
}

// Presses reach every player through the engine-wide manager, also while the match
// stands still under the pause menu or the map editor: a paused match takes no swings or
// steps. Each is handled at the instant it happened, in the order they happened.
void BehaviorPlayer::OnPress(PressEvent& event)
{
    if (owner->space->paused) return;
    if (!currentSpot) currentSpot = owner->space->RequireEntity(SpotName("Player", player, position))->Ref();
    const GameSettings::Bindings& bindings = GameSettings::Get().bindings[player == 0 ? 0 : 1];
    if (event.device == PressEvent::kPad && event.joystick == player) {
        for (int32_t letter = 0; letter < 4; ++letter)
            if (bindings.letterButtons[letter] == event.code) return Swing(letter, event.at, 1);
    }
    if (event.device != PressEvent::kKeyboard || Input::Get()->textMode) return;
    for (int32_t letter = 0; letter < 4; ++letter)
        if (bindings.letterKeys[letter] == event.code) return Swing(letter, event.at, 0);
    for (int i = 0; i < 3; ++i)
        if (bindings.spotKeys[i] == event.code) return MoveTo(kSpots[i], false);
}

void BehaviorPlayer::OnThreshold(BeatMeterThreshold& event)
{
    if (!inPlay || (player == 0) != (event.left != 0)) return;
    if (event.level == 1) MoveTo(2, true);
    else if (event.level == 2) MoveTo(1, true);
    Burst(event.level);
}

void BehaviorPlayer::Burst(int level)
{
    std::string meterName = player == 0 ? "BeatMeter1" : "BeatMeter2";
    BehaviorMeter* meter = owner->space->RequireEntity(meterName)->Require<BehaviorMeter>();
    Entity* back = owner->space->RequireEntity(meterName + "BackBottom");
    back->Require<ParticleEmitter>()->Burst(meter->ThresholdColour(level) / 255.0f, 1.0f);
}

} // namespace volleyrun
