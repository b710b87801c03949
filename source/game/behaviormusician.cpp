#include "behaviormusician.h"

#include "entity.h"
#include "frameclock.h"
#include "space.h"
#include "sprite.h"

#include <algorithm>

namespace volleyrun {

namespace {
constexpr float kDamageTime = 0.4f;  // seconds the hurt look stays
}

void BehaviorMusician::Initialize()
{
    Listen(*owner->space->events, &BehaviorMusician::OnUpdate);
    owner->Require<Sprite>()->SetImage(character + "Idle.png");
}

void BehaviorMusician::Serialize(std::vector<Property>& properties)
{
    properties.push_back({"position", &position, kInt});
    properties.push_back({"character", &character, kString});
}

void BehaviorMusician::Show(const char* picture, State newState)
{
    Sprite* sprite = owner->Require<Sprite>();
    sprite->SetImage(character + picture);
    sprite->frameIndex = 0;
    state = newState;
    stateStart = FrameClock::Get()->totalTime;
}

bool BehaviorMusician::TrySwing(int64_t at)
{
    constexpr auto kIntervalNs = static_cast<int64_t>(kSwingInterval * 1e9);
    if (lastSwingAt != INT64_MIN && at - lastSwingAt < kIntervalNs) return false;
    lastSwingAt = at;
    Show("Beat.png", kSwing);
    return true;
}

void BehaviorMusician::Light(int brightness)
{
    Sprite* sprite = owner->Require<Sprite>();
    float level = static_cast<float>(std::clamp(brightness, 0, 255)) / 255.0f;
    sprite->colour.r = sprite->colour.g = sprite->colour.b = level;
    if (brightness == 255) Show("Spotlight.png", kSpotlight);
    else Show("Idle.png", kIdle);
}

void BehaviorMusician::ShowDamage()
{
    Show("Damaged.png", kDamaged);
}

void BehaviorMusician::OnUpdate(UpdateEvent& event)
{
    float t = event.time - stateStart;
    bool over = (state == kSwing && t >= kSwingInterval) || (state == kDamaged && t > kDamageTime);
    if (!over) return;
    if (owner->Require<Sprite>()->colour.r == 1.0f) Show("Spotlight.png", kSpotlight);
    else Show("Idle.png", kIdle);
}

} // namespace volleyrun
