#include "transform.h"

#include "entity.h"
#include "space.h"

#include <cmath>

namespace volleyrun {

namespace {
// A parent chain longer than this is a loop made in content or in the editor; the walk
// stops there instead of recursing forever.
constexpr int kMaxParentDepth = 64;
} // namespace

Transform::Transform(Entity* owner, glm::vec2 initialTranslation, glm::vec2 initialScale, float initialRotation)
    : ComponentOf(owner), translation(initialTranslation), scale(initialScale), rotation(initialRotation)
{
}

void Transform::Initialize()
{
    if (parentName.empty()) return;
    Entity* found = owner->space->FindEntity(parentName);
    parent = found && found != owner ? found->Ref() : EntityRef();
}

void Transform::Serialize(std::vector<Property>& properties)
{
    properties.push_back({"translationX", &translation.x, kFloat});
    properties.push_back({"translationY", &translation.y, kFloat});
    properties.push_back({"scaleX", &scale.x, kFloat});
    properties.push_back({"scaleY", &scale.y, kFloat});
    properties.push_back({"rotation", &rotation, kFloat});
    properties.push_back({"parent", &parentName, kString});
}

glm::vec2 Transform::GetWorldPosition() const
{
    glm::vec2 position = translation;
    const Transform* link = this;
    for (int depth = 0; depth < kMaxParentDepth; ++depth) {
        Entity* up = link->parent.Get();
        link = up ? up->Get<Transform>() : nullptr;
        if (!link) break;
        position += link->translation;
    }
    return position;
}

const glm::mat3& Transform::GetMatrix()
{
    float angle = static_cast<float>(rotation * 3.1415926535897 / 180.0);
    float c = std::cos(angle);
    float s = std::sin(angle);
    glm::vec2 p = GetWorldPosition();
    // Column-major: T x R x S written out.
    matrix_ = glm::mat3(c * scale.x, s * scale.x, 0.0f,
                        -s * scale.y, c * scale.y, 0.0f,
                        p.x, p.y, 1.0f);
    glm::vec2 c0(matrix_[0][0], matrix_[0][1]);
    glm::vec2 c1(matrix_[1][0], matrix_[1][1]);
    glm::vec2 t(matrix_[2][0], matrix_[2][1]);
    corners_ = {t - 0.5f * c0 - 0.5f * c1, t - 0.5f * c0 + 0.5f * c1, t + 0.5f * c0 + 0.5f * c1,
                t + 0.5f * c0 - 0.5f * c1};
    return matrix_;
}

} // namespace volleyrun
