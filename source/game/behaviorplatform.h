// BehaviorPlatform: a platform under a spot ("Platform<p>Pos<s>") that glides between its
// home place and an offset place by an exponential approach. Spot-2 and spot-1 platforms
// slide out during the opening; a player forced onto a spot (a meter threshold) brings
// its platform home. Listens on the engine-wide manager; game thread only.
#pragma once

#include "component.h"

#include <glm/vec2.hpp>

namespace volleyrun {

class BeatMeterThreshold;
class UpdateEvent;

class BehaviorPlatform : public ComponentOf<BehaviorPlatform, kBehaviorPlatform> {
public:
    explicit BehaviorPlatform(Entity* owner) : ComponentOf(owner) {}

    void Initialize() override;
    void Serialize(std::vector<Property>& properties) override;

    // Starts a glide toward target (0 home, 1 offset), covering rate of the rest per frame.
    void GlideTo(float newTarget, float newRate);

    void OnUpdate(UpdateEvent& event);
    void OnThreshold(BeatMeterThreshold& event);

    glm::vec2 home{0.0f};    // translation at initialisation
    glm::vec2 offset{0.0f};  // the other end of the travel, world units
    float displacement = 0.0f;  // 0 home .. 1 offset
    float rate = 1.0f;          // fraction of the remaining distance per frame
    float target = 0.0f;
};

} // namespace volleyrun
