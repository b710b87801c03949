// RigidBody: moves its entity's Transform every frame by its velocity (which its
// acceleration changes) and turns it by a constant angular velocity; no mass, no gravity,
// no collision response. Balls get a velocity per flight; particle emitters set each
// particle's velocity and acceleration and also step bodies directly. Its UpdateEvent
// listener sits on the owner's own manager. Game thread only.
#pragma once

#include "component.h"

#include <glm/vec2.hpp>

namespace volleyrun {

class UpdateEvent;

class RigidBody : public ComponentOf<RigidBody, kRigidBody> {
public:
    explicit RigidBody(Entity* owner) : ComponentOf(owner) {}

    void Initialize() override;
    void Serialize(std::vector<Property>& properties) override;

    // One semi-implicit Euler step of event.dt seconds.
    void OnUpdate(UpdateEvent& event);

    glm::vec2 initialVelocity{0.0f};   // world units per second, given at initialisation
    glm::vec2 previousPosition{0.0f};  // translation at the start of the last step
    glm::vec2 acceleration{0.0f};      // world units per second squared
    glm::vec2 velocity{0.0f};          // world units per second
    float angularVelocity = 0.0f;      // degrees per second
};

} // namespace volleyrun
