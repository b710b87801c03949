// Transform: places its entity in the 2D world (translation, scale, rotation in degrees),
// optionally offset by a parent entity's world position. Drawing, picking and collision
// read its world matrix and the four world corners of the unit quad (the engine outlines
// it while debug drawing is on). Game thread only.
#pragma once

#include "component.h"
#include "entityref.h"

#include <glm/mat3x3.hpp>
#include <glm/vec2.hpp>

#include <array>
#include <string>

namespace volleyrun {

class Transform : public ComponentOf<Transform, kTransform> {
public:
    Transform(Entity* owner, glm::vec2 translation = {0.0f, 0.0f}, glm::vec2 scale = {10.0f, 10.0f},
              float rotation = 0.0f);

    void Initialize() override;
    void Serialize(std::vector<Property>& properties) override;

    // translation plus the parent's world position, up the parent chain.
    glm::vec2 GetWorldPosition() const;
    // The world matrix T x R x S, rebuilt on every call (a parent may have moved); also
    // rebuilds corners.
    const glm::mat3& GetMatrix();
    const std::array<glm::vec2, 4>& Corners() { GetMatrix(); return corners_; }


    glm::vec2 translation;
    glm::vec2 scale;
    float rotation;        // degrees, counter-clockwise
    EntityRef parent;      // looked up from parentName at initialisation; null when gone
    std::string parentName;

private:
    glm::mat3 matrix_{1.0f};
    std::array<glm::vec2, 4> corners_{};  // (-1/2,-1/2), (-1/2,1/2), (1/2,1/2), (1/2,-1/2) in world space
};

} // namespace volleyrun
