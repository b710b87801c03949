// CircleCollider: describes a circle (a radius) for its entity, taken from half the
// Transform's x scale at initialisation unless told otherwise. No listeners, no tests
// against other colliders. Game thread only.
#pragma once

#include "component.h"

namespace volleyrun {

class CircleCollider : public ComponentOf<CircleCollider, kCircleCollider> {
public:
    explicit CircleCollider(Entity* owner) : ComponentOf(owner) {}

    void Initialize() override;
    void Serialize(std::vector<Property>& properties) override;

    float radius = 0.0f;             // world units
    bool useTransformRadius = true;  // half the Transform's x scale, once, at initialisation
};

} // namespace volleyrun
