// Mouse: the cursor entity of a menu space. It starts on the screen's default button and,
// on every draw, follows the system mouse once that moves; otherwise gamepad 0's D-pad (or
// the keyboard's arrow keys) steps it to the next button or slider in the pressed direction,
// once per press, in the order the screen lays them out (a slider under the cursor takes
// the presses along its track instead). Escape or gamepad 0's B presses the screen's way
// back. The hit test of MouseClickEventSender follows this entity, so all drive buttons
// alike. Game thread only.
#pragma once

#include "component.h"
#include "entityref.h"
#include "pointerkeys.h"

#include <glm/vec2.hpp>

#include <string>

namespace volleyrun {

class DrawEvent;
class KeyUpdateEvent;
class Space;
class TriggerEvent;

class Mouse : public ComponentOf<Mouse, kMouse> {
public:
    using Direction = PointerKeys::Direction;
    using enum PointerKeys::Direction;

    explicit Mouse(Entity* owner) : ComponentOf(owner) {}

    void Initialize() override;
    void Serialize(std::vector<Property>& properties) override;

    void OnDraw(DrawEvent& event);
    void OnKeyUpdate(KeyUpdateEvent& event);
    void OnTrigger(TriggerEvent& event);

    // The button or slider of space the cursor at from moves to in direction (null: none).
    // Widgets lined up with the one at from (their extents across the direction overlap; a
    // slider spans its whole track) come first, the nearest of them; without any, the one
    // nearest counting sideways distance double. Hidden ones and ones parked outside the
    // view (x beyond +-533, y beyond +-267 at zoom 2, for a camera at the origin, as menus
    // keep it) are skipped.
    static Entity* Neighbour(const Space& space, glm::vec2 from, Direction direction);
    // Where the cursor starts: the widget named first, else the top, then leftmost, one.
    static Entity* DefaultWidget(const Space& space, const std::string& first);
    // The button the back action presses: "BackButton", "NoButton" or "ResumeButton".
    static Entity* WayBack(const Space& space);

    std::string firstButton;       // the widget the cursor starts on; empty: the top left one
    bool navigationLatch = false;  // a D-pad move was made and the D-pad was not released since
    bool backLatch = false;        // gamepad 0's B was down at the previous draw
    glm::vec2 lastMousePosition{0.0f};  // world position of the system mouse at the previous draw

private:
    void ShowFrame();
    bool SliderTakes(Direction direction) const;
    void GoBack();
    void MoveOnto(const Entity& widget);

};

} // namespace volleyrun
