// Mouse: the cursor entity of a menu space. On every draw it follows the system mouse, or,
// when the mouse has not moved, lets gamepad 0's D-pad (or the keyboard's arrow keys) jump
// it to the nearest button or slider in the pressed direction, once per press. The hit
// test of MouseClickEventSender follows this entity, so both drive buttons alike. Also the
// one place that says which key state counts as the pointer button. Game thread only.
#pragma once

#include "component.h"
#include "entityref.h"

#include <glm/vec2.hpp>

class DrawEvent;
class Space;
class TriggerEvent;

class Mouse : public ComponentOf<kMouse> {
public:
    enum Direction { kNone = -1, kUp = 0, kDown = 1, kLeft = 2, kRight = 3 };

    explicit Mouse(Entity* owner) : ComponentOf(owner) {}

    void Initialize() override;
    void Terminate() override;
    std::unique_ptr<Component> Clone(Entity* newOwner) const override;
    void Serialize(std::vector<Property>&) override {}

    void OnDraw(DrawEvent& event);
    void OnTrigger(TriggerEvent& event);

    // The KeyState of the pointer button: the left mouse button (gamepad 0's A is mapped
    // onto it), or Enter while that button is up. 0, which matches no state, while the
    // developer console has the keyboard.
    static int ClickState();
    // Whether a direction is held on gamepad 0's D-pad or on the arrow keys.
    static bool DirectionDown(Direction direction);
    // The first direction held, testing up, down, left, right in that order.
    static Direction HeldDirection();
    // The button or slider of space nearest to from in direction (null: none). Hidden
    // ones and ones parked outside the view (x beyond +-533, y beyond +-267 at zoom 2,
    // for a camera at the origin, as menus keep it) are skipped.
    static Entity* Neighbour(const Space& space, glm::vec2 from, Direction direction);

    bool navigationLatch = false;  // a D-pad move was made and the D-pad was not released since
    glm::vec2 lastMousePosition{0.0f};  // world position of the system mouse at the previous draw

private:
    void ShowFrame();
    bool SliderDragging() const;

    EntityRef levelLogic_;  // whose "buttonHovered" triggers refresh the cursor image; may be null
};
