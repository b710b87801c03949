// BeatDivider: turns the music's beats into finer, optionally eased steps for one entity.
// On every numerator-th BeatEvent (engine-wide manager) it sends denominator
// BeatDivisionEvents to its own entity's manager: the first at once, the others queued
// with their delay inside the beat. Balls, the ball manager, meters and animations move on
// those divisions. Game thread only (beats are handed over from the mixing thread).
#pragma once

#include "component.h"

#include <cstdint>

namespace volleyrun {

class BeatEvent;

class BeatDivider : public ComponentOf<BeatDivider, kBeatDivider> {
public:
    // The largest numerator and denominator a file may give.
    static constexpr uint32_t kMaxDivisions = 64;

    explicit BeatDivider(Entity* owner) : ComponentOf(owner) {}

    void Initialize() override;
    void Serialize(std::vector<Property>& properties) override;

    void OnBeat(BeatEvent& event);
    // Where division t (0 to 1 of the beat) falls once eased; may replace easing 0.
    float Ease(float t);

    uint32_t numerator = 1;    // a group on every numerator-th beat (0 acts as 1)
    uint32_t denominator = 1;  // divisions per group; 0 sends none
    uint32_t beatCounter = 0;  // beats seen, modulo numerator
    float easing = 1.0f;       // exponent bending the spacing; 1 is even
};

} // namespace volleyrun
