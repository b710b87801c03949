#include "credits.h"

#include "entity.h"
#include "space.h"
#include "transform.h"

namespace volleyrun {

void Credits::Initialize()
{
    transform = owner->Require<Transform>();
    Listen(*owner->space->events, &Credits::OnUpdate);
    Listen(*owner->events, &Credits::OnUpdate);
}

void Credits::OnUpdate(UpdateEvent&)
{
    transform->translation.y += scrollStep;
}

} // namespace volleyrun
