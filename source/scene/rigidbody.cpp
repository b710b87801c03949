#include "rigidbody.h"

#include "entity.h"
#include "transform.h"

void RigidBody::Initialize()
{
    owner->Require<Transform>();
    owner->events->AddListener(this, &RigidBody::OnUpdate);
    velocity = initialVelocity;
}

void RigidBody::Terminate()
{
    owner->events->RemoveListener<UpdateEvent>(this);
}

std::unique_ptr<Component> RigidBody::Clone(Entity* newOwner) const
{
    return std::make_unique<RigidBody>(newOwner);  // its velocity starts at rest
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
