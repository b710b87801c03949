#include "behaviorplatform.h"

#include "entity.h"
#include "input.h"
#include "space.h"
#include "transform.h"

namespace volleyrun {

namespace {
constexpr float kGlideRate = 0.1f;
constexpr int kKeyK = 75;  // debug: every platform home
constexpr int kKeyL = 76;  // debug: every platform out
} // namespace

void BehaviorPlatform::Initialize()
{
    EventManager* events = &EngineEvents();
    Listen(*events, &BehaviorPlatform::OnUpdate);
    Listen(*events, &BehaviorPlatform::OnThreshold);
    Transform* transform = owner->Require<Transform>();
    home = transform->translation;
    rate = 1.0f;
    target = displacement;
    // Start where the saved displacement says, not at home until the first glide.
    transform->translation = home + (offset - home) * displacement;
    // Opening move: spot-2 platforms slide out at 9.375 s, spot-1 platforms at 7.5 s.
    std::string spot = owner->name.size() > 12 ? owner->name.substr(12) : "";
    float delay = spot == "2" ? 9.375f : spot == "1" ? 7.5f : -1.0f;
    if (delay < 0.0f) return;
    EntityRef self = owner->Ref();
    owner->space->events->Send(LambdaEvent(
        [self] {
            if (Entity* entity = self.Get()) entity->Get<BehaviorPlatform>()->GlideTo(1.0f, kGlideRate);
        },
        delay));
}

void BehaviorPlatform::Serialize(std::vector<Property>& properties)
{
    properties.push_back({"offsetX", &offset.x, kFloat});
    properties.push_back({"offsetY", &offset.y, kFloat});
    properties.push_back({"displacement", &displacement, kFloat});
}

void BehaviorPlatform::GlideTo(float newTarget, float newRate)
{
    target = newTarget;
    rate = newRate;
}

void BehaviorPlatform::OnUpdate(UpdateEvent&)
{
    if (displacement != target) {
        displacement += (target - displacement) * rate;
        owner->Require<Transform>()->translation = home + (offset - home) * displacement;
    }
    Input* input = Input::Get();
    if (input->textMode || owner->space->paused) return;
    if (input->Key(kKeyK) == kKeyPressed) GlideTo(0.0f, kGlideRate);
    if (input->Key(kKeyL) == kKeyPressed) GlideTo(1.0f, kGlideRate);
}

void BehaviorPlatform::OnThreshold(BeatMeterThreshold& event)
{
    std::string name = std::string("Platform") + (event.left ? "0Pos" : "1Pos") + (event.level == 1 ? "2" : "1");
    if (Entity* platform = owner->space->FindEntity(name))
        if (auto* behavior = platform->Get<BehaviorPlatform>()) behavior->GlideTo(0.0f, kGlideRate);
}

} // namespace volleyrun
