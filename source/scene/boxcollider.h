// BoxCollider: describes a box shape (width and height) for its entity, taken from the
// Transform's scale at initialisation unless told otherwise. Gameplay decides hits itself,
// so nothing tests colliders against each other. No listeners. Game thread only.
#pragma once

#include "component.h"

#include <glm/vec2.hpp>

namespace volleyrun {

class BoxCollider : public ComponentOf<BoxCollider, kBoxCollider> {
public:
    explicit BoxCollider(Entity* owner) : ComponentOf(owner) {}

    void Initialize() override;
    void Serialize(std::vector<Property>& properties) override;

    glm::vec2 scale{0.0f};         // box width and height in world units
    bool useTransformScale = true;  // copy the Transform's scale once, at initialisation
};

} // namespace volleyrun
