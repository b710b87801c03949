#include "rigidbody.h"

#include "entity.h"
#include "transform.h"

namespace volleyrun {

void RigidBody::Initialize()
{
    owner->Require<Transform>();
    Listen(*owner->events, &RigidBody::OnUpdate);
    velocity = initialVelocity;
}

void RigidBody::Serialize(std::vector<Property>& properties)
{
    properties.push_back({"initialVelX", &initialVelocity.x, kFloat});
    properties.push_back({"initialVelY", &initialVelocity.y, kFloat});
}

void RigidBody::OnUpdate(UpdateEvent& event)
{
    Transform* transform = owner->Require<Transform>();
    previousPosition = transform->translation;
    velocity += acceleration * event.dt;
    transform->translation = previousPosition + velocity * event.dt;
    transform->rotation += angularVelocity * event.dt;
}

} // namespace volleyrun
