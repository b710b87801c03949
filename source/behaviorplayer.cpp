#include "behaviorplayer.h"

#include "ballmanager.h"
#include "behaviorball.h"
#include "behaviormeter.h"
#include "behaviormusician.h"
#include "behaviorplatform.h"
#include "engine.h"
#include "entity.h"
#include "input.h"
#include "lifeindicator.h"
#include "particleemitter.h"
#include "space.h"

namespace {
constexpr int kKeyC = 67;  // player 0 swing
constexpr int kKeyM = 77;  // player 1 swing
// Spot keys in the order they are tested: (key, spot) for player 0, then player 1.
constexpr int kSpotKeys[2][3][2] = {{{81, 4}, {87, 2}, {69, 1}},   // Q W E
                                    {{80, 4}, {79, 2}, {73, 1}}};  // P O I

std::string SpotName(const char* kind, int32_t player, int32_t spot)
{
    return kind + std::to_string(player) + "Pos" + std::to_string(spot);
}
} // namespace

void BehaviorPlayer::Initialize()
{
    EventManager* events = Engine::Get()->events.get();
    events->AddListener(this, &BehaviorPlayer::OnKeyUpdate);
    events->AddListener(this, &BehaviorPlayer::OnThreshold);
    MoveTo(position);
    Entity* indicator = owner->space->RequireEntity("LifeIndicator" + std::to_string(player));
    LifeIndicator* lifeIndicator = indicator->Require<LifeIndicator>();
    lifeIndicator->maxLives = lives;
    lifeIndicator->lives = lives;
}

void BehaviorPlayer::Terminate()
{
    EventManager* events = Engine::Get()->events.get();
    events->RemoveListener<KeyUpdateEvent>(this);
    events->RemoveListener<BeatMeterThreshold>(this);
}

std::unique_ptr<Component> BehaviorPlayer::Clone(Entity* newOwner) const
{
    return std::make_unique<BehaviorPlayer>(newOwner);
}

void BehaviorPlayer::Serialize(std::vector<Property>& properties)
{
    properties.push_back({"player", &player, kInt});
    properties.push_back({"position", &position, kInt});
    properties.push_back({"lives", &lives, kInt});
}

bool BehaviorPlayer::MatchOver() const
{
    return owner->space->RequireEntity("levelLogic")->Require<BallManager>()->matchOver;
}

BehaviorMusician* BehaviorPlayer::Musician() const
{
    Entity* spot = currentSpot.Get();
    return spot ? spot->Get<BehaviorMusician>() : nullptr;
}

void BehaviorPlayer::MoveTo(int32_t spot)
{
    if (MatchOver()) return;
    for (const auto& entity : owner->space->Entities()) {
        BehaviorBall* ball = entity->name == "ball" ? entity->Get<BehaviorBall>() : nullptr;
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

void BehaviorPlayer::Swing(int32_t button)
{
    BehaviorMusician* musician = Musician();
    if (!musician || !musician->TrySwing()) return;
    Engine::Get()->events->Send(BallHitEvent(Lane(), button));
}

// Keys reach every player through the engine-wide manager, also while the match stands
// still under the pause menu or the map editor: a paused match takes no swings or steps.
void BehaviorPlayer::OnKeyUpdate(KeyUpdateEvent&)
{
    if (owner->space->paused) return;
    if (!currentSpot) currentSpot = owner->space->RequireEntity(SpotName("Player", player, position))->Ref();
    Input* input = Input::Get();
    bool keys = !input->textMode;
    if (keys && input->Key(player == 0 ? kKeyC : kKeyM) == kKeyPressed) Swing(-1);
    int32_t pressed = -1;
    for (int32_t button = Input::kPadA; button <= Input::kPadY; ++button)
        if (input->GetJoystickButton(player, button)) pressed = button;
    if (pressed >= 0) Swing(pressed);
    if (!keys) return;
    for (const auto& [key, spot] : kSpotKeys[player == 0 ? 0 : 1]) {
        if (input->Key(key) == kKeyPressed) {
            MoveTo(spot);
            return;
        }
    }
}

void BehaviorPlayer::OnThreshold(BeatMeterThreshold& event)
{
    if (!inPlay || (player == 0) != (event.left != 0)) return;
    if (event.level == 1) MoveTo(2);
    else if (event.level == 2) MoveTo(1);
    Burst(event.level);
}

void BehaviorPlayer::Burst(int level)
{
    std::string meterName = player == 0 ? "BeatMeter1" : "BeatMeter2";
    BehaviorMeter* meter = owner->space->RequireEntity(meterName)->Require<BehaviorMeter>();
    Entity* back = owner->space->RequireEntity(meterName + "BackBottom");
    back->Require<ParticleEmitter>()->Burst(meter->ThresholdColour(level) / 255.0f, 1.0f);
}
