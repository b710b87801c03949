// MouseClickEventSender: the hit test of one menu space. Every update of its space (paused
// or not) it finds the entity under the tip of the space's "Mouse" cursor and tells
// entities through "mouse" TriggerEvents when the cursor enters (0), stays on (2) and
// leaves (1) them; it also tells the space which entity is under the cursor. Triggers are
// queued, and only an entity that starts after the sender's hears them in the same frame,
// which a click needs (the button looks at the mouse button as the trigger arrives): put it
// on the space's first, lowest-layer entity (the backdrop), which stays first when the editor
// saves the space. Created with its space's entities; game thread only.
#pragma once

#include "component.h"
#include "entityref.h"

#include <glm/vec2.hpp>

namespace volleyrun {

class Space;
class UpdateEvent;

class MouseClickEventSender : public ComponentOf<MouseClickEventSender, kMouseClickEventSender> {
public:
    static constexpr float kTipX = -5.0f;  // the pointer tip, from the cursor's centre
    static constexpr float kTipY = 5.0f;

    explicit MouseClickEventSender(Entity* owner) : ComponentOf(owner) {}

    void Initialize() override;
    std::vector<std::string> NamesNeeded() const override { return {"Mouse"}; }
    void Serialize(std::vector<Property>&) override {}

    void OnUpdate(UpdateEvent& event);

    // The entity whose sprite rectangle holds point: the highest sprite layer wins, and
    // among equal layers the one later in the space's list. Never the cursor itself.
    static Entity* EntityAt(const Space& space, glm::vec2 point);

    Entity* Hovered() const { return hoveredEntity_.Get(); }

private:
    static void SendMouse(Entity* target, int state);

    EntityRef hoveredEntity_;  // null when the cursor is over nothing
};

} // namespace volleyrun
