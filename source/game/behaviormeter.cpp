#include "behaviormeter.h"

#include "archetypestore.h"
#include "entity.h"
#include "gameerror.h"
#include "space.h"
#include "sprite.h"
#include "texture.h"
#include "transform.h"

#include <algorithm>
#include <cmath>

namespace volleyrun {

namespace {
constexpr float kDrainSeconds = 0.4f;  // one segment empties in this time, within its half beat
constexpr float kNotchSpacing = 1.45f; // notch widths from one notch to the next
constexpr float kRowSpan = 1.5f;       // notches cover this many meter widths
constexpr int kPopFrames = 5;
constexpr float kPopGrowth = 0.35f;    // extra size at the start of a pop
constexpr float kPulseGrowth = 0.15f;  // extra size on a division
constexpr float kPulseRise = 7.5f;     // world units a notch jumps on a division
constexpr float kPulseDecay = 6.0f;    // per second
} // namespace

void BehaviorMeter::Initialize()
{
    Listen(*owner->space->events, &BehaviorMeter::OnUpdate);
    Listen(*owner->events, &BehaviorMeter::OnDivision);
    owner->Require<Transform>();
    BuildNotches();
    if (Sprite* art = owner->space->RequireEntity("WinArt")->Get<Sprite>()) art->visible = false;
}

void BehaviorMeter::Terminate()
{
    for (auto& row : rows_)
        for (Notch& notch : row)
            if (Entity* entity = notch.entity.Get()) owner->space->DestroyEntity(entity);
}

bool BehaviorMeter::IsLeft() const
{
    return owner->Require<Transform>()->translation.x < 0.0f;
}

glm::vec3 BehaviorMeter::ThresholdColour(int level) const
{
    if (level == 1) return {255.0f, 0.0f, 0.0f};
    if (level == 2) return {0.0f, 255.0f, 0.0f};
    return {0.0f, 0.0f, 255.0f};
}

void BehaviorMeter::ChangeValue(float delta)
{
    value = std::clamp(value + delta, 0.0f, maximum);
}

void BehaviorMeter::BuildNotches()
{
    const Entity* prototype = ArchetypeStore::Get()->Find("MeterNotch");
    if (!prototype) throw GameError("The \"MeterNotch\" archetype is missing (needed by " + owner->name + ")");
    notchScale_ = prototype->Require<Transform>()->scale;
    Transform* meter = owner->Require<Transform>();
    float spacing = std::max(notchScale_.x * kNotchSpacing, 1.0f);
    int count = std::max(1, static_cast<int>(kRowSpan * meter->scale.x / spacing));
    float left = meter->translation.x - meter->scale.x * 0.5f;
    notchBaseY_ = meter->translation.y - 10.0f + 7.5f;
    for (uint32_t segment = 0; segment < rows_.size(); ++segment) {
        for (int i = 0; i < count; ++i) {
            Entity* notch = ArchetypeStore::Spawn("MeterNotch", "MeterNotch", *owner->space, true);
            notch->Require<Transform>()->translation = {left + spacing * (static_cast<float>(i) + 0.5f), notchBaseY_};
            if (Sprite* sprite = notch->Get<Sprite>()) {
                sprite->colour.a = 0.0f;
                // Each segment has its own look: frame k of the notch image, when it has one.
                sprite->frameIndex = sprite->GetTexture().frameCount > segment ? segment : 0;
            }
            rows_[segment].push_back({notch->Ref()});
        }
    }
}

BehaviorMeter::Lit BehaviorMeter::Mapping() const
{
    int n = static_cast<int>(rows_[0].size());
    float notches = static_cast<float>(n);
    int segment = 0;
    float q = value / (segment1 / notches);
    if (value > segment1 + segment2) {
        segment = 2;
        q = (value - segment1 - segment2) / (segment3 / notches);
    } else if (value > segment1) {
        segment = 1;
        q = (value - segment1) / (segment2 / notches);
    }
    if (IsLeft()) return {segment, 0, std::min(static_cast<int>(q), n - 1)};
    return {segment, std::clamp(static_cast<int>(notches - q), 0, n - 1), n - 1};
}

void BehaviorMeter::Show(int segment, int position, bool shown)
{
    Notch& notch = rows_[segment][position];
    Entity* entity = notch.entity.Get();
    Sprite* sprite = entity ? entity->Get<Sprite>() : nullptr;
    if (!sprite) return;
    if (shown && !notch.shown) notch.pop = kPopFrames;
    notch.shown = shown;
    sprite->colour.a = shown ? 1.0f : 0.0f;
}

void BehaviorMeter::RaiseNotches()
{
    if (rows_[0].empty()) return;
    Lit lit = Mapping();
    int left = IsLeft() ? 1 : 0;
    if (lit.segment == 1 && !threshold1Sent) {
        threshold1Sent = true;
        EngineEvents().Send(BeatMeterThreshold(1, left));
    } else if (lit.segment == 2 && !threshold2Sent) {
        threshold2Sent = true;
        EngineEvents().Send(BeatMeterThreshold(2, left));
    }
    for (int position = lit.first; position <= lit.last; ++position)
        for (int segment = 0; segment < 3; ++segment) Show(segment, position, segment == lit.segment);
}

void BehaviorMeter::LowerNotches()
{
    if (rows_[0].empty()) return;
    Lit lit = Mapping();
    int n = static_cast<int>(rows_[0].size());
    // A value that fell into a lower segment shows that segment's look again where it is lit.
    for (int position = 0; position < n; ++position) {
        bool inside = position >= lit.first && position <= lit.last;
        for (int segment = 0; segment < 3; ++segment) Show(segment, position, inside && segment == lit.segment);
    }
}

// One frame's drain toward target, at the pace that empties segmentSize in kDrainSeconds.
void BehaviorMeter::Drain(float target, float segmentSize, bool toSegmentTop, float dt)
{
    if (value <= target) return;
    value -= segmentSize * dt / kDrainSeconds;
    LowerNotches();
    if (value >= target) return;
    value = target;
    if (toSegmentTop) RaiseNotches();
}

void BehaviorMeter::OnUpdate(UpdateEvent& event)
{
    for (auto& row : rows_)
        for (Notch& notch : row) Animate(notch, event.dt);
    if (drain3) Drain(0.0f, segment1, false, event.dt);
    else if (drain2) Drain(segment1, segment2, true, event.dt);
    else if (drain1) Drain(segment1 + segment2, segment3, true, event.dt);
}

void BehaviorMeter::OnDivision(BeatDivisionEvent&)
{
    for (auto& row : rows_)
        for (Notch& notch : row) {
            notch.pulse = 1.0f;
            if (notch.pop > 0) --notch.pop;
        }
}

void BehaviorMeter::Animate(Notch& notch, float dt)
{
    Entity* entity = notch.entity.Get();
    Transform* transform = entity ? entity->Get<Transform>() : nullptr;
    if (!transform) return;
    if (notch.pop > 0) --notch.pop;
    notch.pulse = std::max(0.0f, notch.pulse - kPulseDecay * dt);
    float pop = static_cast<float>(notch.pop) / kPopFrames;
    transform->scale = notchScale_ * (1.0f + kPulseGrowth * notch.pulse + kPopGrowth * pop);
    transform->translation.y = notchBaseY_ + kPulseRise * notch.pulse * notch.pulse;
}

} // namespace volleyrun
