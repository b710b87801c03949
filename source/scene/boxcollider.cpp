#include "boxcollider.h"

#include "entity.h"
#include "transform.h"

namespace volleyrun {

void BoxCollider::Initialize()
{
    Transform* transform = owner->Require<Transform>();
    if (useTransformScale) scale = transform->scale;
}

void BoxCollider::Serialize(std::vector<Property>& properties)
{
    properties.push_back({"useTransformScale", &useTransformScale, kBool});
    properties.push_back({"scaleX", &scale.x, kFloat});
    properties.push_back({"scaleY", &scale.y, kFloat});
}

} // namespace volleyrun
