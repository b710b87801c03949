#include "circlecollider.h"

#include "entity.h"
#include "transform.h"

namespace volleyrun {

void CircleCollider::Initialize()
{
    Transform* transform = owner->Require<Transform>();
    if (useTransformRadius) radius = transform->scale.x * 0.5f;
}

void CircleCollider::Serialize(std::vector<Property>& properties)
{
    properties.push_back({"useTransformRadius", &useTransformRadius, kBool});
    properties.push_back({"radius", &radius, kFloat});
}

} // namespace volleyrun
