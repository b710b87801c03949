#include "beatdivider.h"

#include "audioengine.h"
#include "entity.h"

#include <cmath>

namespace volleyrun {

namespace {
// Smallest exponent that still bends: easing 0 would put every division on the beat.
constexpr float kSmallestEasing = 1.1920929e-7f;
} // namespace

void BeatDivider::Initialize()
{
    Listen(EngineEvents(), &BeatDivider::OnBeat);
}

void BeatDivider::Serialize(std::vector<Property>& properties)
{
    // Each beat sends denominator division events at once: 64 is far finer than music needs.
    properties.push_back({"numerator", &numerator, kUnsigned, kMaxDivisions});
    properties.push_back({"denominator", &denominator, kUnsigned, kMaxDivisions});
    properties.push_back({"easing", &easing, kFloat});
}

float BeatDivider::Ease(float t)
{
    if (easing == 1.0f || t == 0.0f) return t;
    if (easing == 0.0f) easing = kSmallestEasing;
    if (easing > 0.0f) return std::pow(t, easing);
    return 1.0f - std::pow(1.0f - std::pow(t, -easing), -1.0f / easing);
}

void BeatDivider::OnBeat(BeatEvent& beat)
{
    if (beatCounter == 0 && denominator != 0 && beat.tempo > 0.0f) {
        // One sixteenth lasts 15 / tempo seconds; the tempo of the last downbeat stamps the
        // divisions, or this beat's own before the first downbeat.
        float clockTempo = AudioEngine::Get()->Tempo() > 0.0f ? AudioEngine::Get()->Tempo() : beat.tempo;
        float sixteenth = 15.0f / clockTempo;
        for (uint32_t i = 0; i < denominator; ++i) {
            float delay = 60.0f / beat.tempo * Ease(static_cast<float>(i) / static_cast<float>(denominator));
            BeatTime time = beat.time.AddSixteenths(static_cast<int32_t>(delay / sixteenth));
            time.tick = 0;
            owner->events->Send(BeatDivisionEvent(time, denominator, i, delay == 0.0f ? kSendNow : delay));
        }
    }
    beatCounter = numerator > 1 ? (beatCounter + 1) % numerator : 0;
}

} // namespace volleyrun
