#include "mouseclickeventsender.h"

#include "entity.h"
#include "space.h"
#include "sprite.h"
#include "transform.h"

#include <cmath>

namespace volleyrun {

namespace {

const char* const kCursorName = "Mouse";

bool Contains(Transform& transform, glm::vec2 point)
{
    glm::vec2 half = glm::abs(transform.scale) * 0.5f;
    glm::vec2 centre = transform.translation;
    return point.x >= centre.x - half.x && point.x <= centre.x + half.x && point.y >= centre.y - half.y &&
           point.y <= centre.y + half.y;
}

} // namespace

void MouseClickEventSender::Initialize()
{
    Listen(*owner->space->events, &MouseClickEventSender::OnUpdate);
}

Entity* MouseClickEventSender::EntityAt(const Space& space, glm::vec2 point)
{
    Entity* best = nullptr;
    float bestLayer = 0.0f;
    for (const auto& entity : space.Entities()) {
        Transform* transform = entity->Get<Transform>();
        Sprite* sprite = entity->Get<Sprite>();
        if (!transform || !sprite || entity->name == kCursorName || !Contains(*transform, point)) continue;
        if (best && sprite->zLayer < bestLayer) continue;
        best = entity.get();
        bestLayer = sprite->zLayer;
    }
    return best;
}

void MouseClickEventSender::SendMouse(Entity* target, int state)
{
    target->events->Send(TriggerEvent(state, "mouse", EntityRef(), 0.0f));
}

void MouseClickEventSender::OnUpdate(UpdateEvent&)
{
    Space& space = *owner->space;
    Entity* old = hoveredEntity_.Get();  // null once it was destroyed
    Transform* cursor = space.RequireEntity(kCursorName)->Require<Transform>();
    Entity* found = EntityAt(space, cursor->translation + glm::vec2(kTipX, kTipY));
    EntityRef best = found ? found->Ref() : EntityRef();
    if (found && found != old) {
        if (old) SendMouse(old, 1);
        hoveredEntity_ = best;
    }
    // Delivered at once: a listener may change the space, so the entity is reached again
    // through its ref afterwards.
    space.events->Send(MapEditorSelectedEvent(best));
    if (!found) {
        if (Entity* left = hoveredEntity_.Get()) SendMouse(left, 1);
        hoveredEntity_ = EntityRef();
    } else if (Entity* target = best.Get()) {
        SendMouse(target, found == old ? 2 : 0);
    }
}

} // namespace volleyrun
