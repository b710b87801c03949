#include "credits.h"

#include "entity.h"
#include "space.h"
#include "transform.h"

void Credits::Initialize()
{
    transform = owner->Require<Transform>();
    owner->space->events->AddListener(this, &Credits::OnUpdate);
    owner->events->AddListener(this, &Credits::OnUpdate);
}

void Credits::Terminate()
{
    owner->space->events->RemoveListener<UpdateEvent>(this);
    owner->events->RemoveListener<UpdateEvent>(this);
}

std::unique_ptr<Component> Credits::Clone(Entity* newOwner) const
{
    return std::make_unique<Credits>(newOwner);
}

void Credits::OnUpdate(UpdateEvent&)
{
    transform->translation.y += scrollStep;
}
