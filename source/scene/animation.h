// Animation: steps its entity's Sprite through the frames of its texture, one frame per
// BeatDivisionEvent from the entity's BeatDivider, pulling back to frame 0 on each beat to
// stay in phase (a cycle twice a beat long runs through its middle). While its space is
// paused (a frozen match) it keeps stepping without re-synchronising. Game thread only.
#pragma once

#include "component.h"

namespace volleyrun {

class BeatDivisionEvent;

class Animation : public ComponentOf<Animation, kAnimation> {
public:
    explicit Animation(Entity* owner) : ComponentOf(owner) {}

    void Initialize() override;
    void Serialize(std::vector<Property>&) override {}

    void OnDivision(BeatDivisionEvent& event);
};

} // namespace volleyrun
