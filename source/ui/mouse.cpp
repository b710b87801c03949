#include "mouse.h"

#include "button.h"
#include "camera.h"
#include "engine.h"
#include "entity.h"
#include "graphics.h"
#include "input.h"
#include "slider.h"
#include "space.h"
#include "sprite.h"
#include "texture.h"
#include "transform.h"

#include <glm/geometric.hpp>

#include <algorithm>
#include <cmath>
#include <limits>

namespace volleyrun {

namespace {

bool Navigable(const Entity& entity)
{
    if (!entity.Get<Button>() && !entity.Get<Slider>()) return false;
    if (const Sprite* sprite = entity.Get<Sprite>(); sprite && !sprite->visible) return false;
    const Transform* transform = entity.Get<Transform>();
    if (!transform) return false;
    // The visible area is 1600 x 800 scaled units times the zoom, three scaled units a world unit.
    float zoom = Camera::Get()->Zoom();
    return std::fabs(transform->translation.x) <= 800.0f * zoom / 3.0f &&
           std::fabs(transform->translation.y) <= 400.0f * zoom / 3.0f;
}

// Distance along the direction (positive when the offset lies that way) and across it.
glm::vec2 AlongAndAcross(glm::vec2 offset, Mouse::Direction direction)
{
    switch (direction) {
    case Mouse::kUp: return {offset.y, std::fabs(offset.x)};
    case Mouse::kDown: return {-offset.y, std::fabs(offset.x)};
    case Mouse::kLeft: return {-offset.x, std::fabs(offset.y)};
    case Mouse::kRight: return {offset.x, std::fabs(offset.y)};
    case Mouse::kNone: break;
    }
    return {0.0f, 0.0f};
}

// The interval a widget covers on one axis (0: x, 1: y): its sprite's, and for a slider
// along its track the whole track, wherever the knob stands.
glm::vec2 Extent(const Entity& entity, int axis)
{
    const Transform* transform = entity.Get<Transform>();
    float centre = transform->translation[axis];
    float half = std::fabs(transform->scale[axis]) * 0.5f;
    glm::vec2 extent(centre - half, centre + half);
    if (const Slider* slider = entity.Get<Slider>(); slider && slider->useXAxis == (axis == 0)) {
        float start = slider->trackStart[axis];
        extent = {std::min(extent.x, start - half), std::max(extent.y, start + slider->sliderLength + half)};
    }
    return extent;
}

// The widget the cursor stands on (its centre within half a unit of from), or null.
const Entity* WidgetAt(const Space& space, glm::vec2 from)
{
    for (const auto& entity : space.Entities())
        if (Navigable(*entity) && glm::length(entity->Get<Transform>()->translation - from) < 0.5f) return entity.get();
    return nullptr;
}

} // namespace

// A new screen puts the cursor on its default button, not where the untouched system
// pointer happens to map (the top left corner for a pointer never moved).
void Mouse::Initialize()
{
    Listen(EngineEvents(), &Mouse::OnDraw);
    Listen(EngineEvents(), &Mouse::OnKeyUpdate);
    Listen(*owner->space->events, &Mouse::OnTrigger);
    const Input* input = Input::Get();
    lastMousePosition = Graphics::Get()->ScreenToWorld(input->cursor.x, input->cursor.y);
    backLatch = input->GetJoystickButton(0, Input::kPadB) != 0;
    if (Entity* start = DefaultWidget(*owner->space, firstButton)) MoveOnto(*start);
    ShowFrame();
}

void Mouse::Serialize(std::vector<Property>& properties)
{
    properties.push_back({"firstButton", &firstButton, kString});
}

Entity* Mouse::Neighbour(const Space& space, glm::vec2 from, Direction direction)
{
    int across = direction == kUp || direction == kDown ? 0 : 1;
    const Entity* here = WidgetAt(space, from);
    glm::vec2 lane = here ? Extent(*here, across) : glm::vec2(from[across]);
    Entity* best = nullptr;
    glm::vec3 bestKey(std::numeric_limits<float>::infinity());
    for (const auto& entity : space.Entities()) {
        if (entity.get() == here || !Navigable(*entity)) continue;
        glm::vec2 offset = AlongAndAcross(entity->Get<Transform>()->translation - from, direction);
        if (offset.x < 0.5f) continue;
        glm::vec2 extent = Extent(*entity, across);
        bool inLane = extent.x <= lane.y && lane.x <= extent.y;
        glm::vec3 key(inLane ? 0.0f : 1.0f, inLane ? offset.x : offset.x + 2.0f * offset.y, offset.y);
        if (key.x < bestKey.x || (key.x == bestKey.x && (key.y < bestKey.y || (key.y == bestKey.y && key.z < bestKey.z)))) {
            best = entity.get();
            bestKey = key;
        }
    }
    return best;
}

Entity* Mouse::DefaultWidget(const Space& space, const std::string& first)
{
    if (Entity* named = first.empty() ? nullptr : space.FindEntity(first); named && Navigable(*named)) return named;
    Entity* best = nullptr;
    for (const auto& entity : space.Entities()) {
        if (!Navigable(*entity)) continue;
        glm::vec2 at = entity->Get<Transform>()->translation;
        glm::vec2 bestAt = best ? best->Get<Transform>()->translation : glm::vec2(0.0f);
        if (!best || at.y > bestAt.y + 0.5f || (std::fabs(at.y - bestAt.y) <= 0.5f && at.x < bestAt.x)) best = entity.get();
    }
    return best;
}

Entity* Mouse::WayBack(const Space& space)
{
    for (const char* name : {"BackButton", "NoButton", "ResumeButton"})
        if (Entity* button = space.FindEntity(name); button && Navigable(*button) && button->Get<Button>()) return button;
    return nullptr;
}

// A knob held by the pointer takes every direction; one under the cursor those along its track.
bool Mouse::SliderTakes(Direction direction) const
{
    bool alongX = direction == kLeft || direction == kRight;
    for (const auto& entity : owner->space->Entities())
        if (const Slider* slider = entity->Get<Slider>())
            if (slider->dragging || (slider->hovered && slider->useXAxis == alongX)) return true;
    return false;
}

void Mouse::GoBack()
{
    if (Entity* button = WayBack(*owner->space)) button->Get<Button>()->Press();
}

// A press of the real mouse button (not gamepad A, which presses it too) lands where the
// system pointer is, even when the pointer has not moved since this screen opened; this
// runs as the press arrives, before the hit test looks.
void Mouse::OnKeyUpdate(KeyUpdateEvent&)
{
    const Input* input = Input::Get();
    if (input->textMode || input->Key(Input::kMouseLeft) != kKeyPressed || input->GetJoystickButton(0, Input::kPadA))
        return;
    lastMousePosition = Graphics::Get()->ScreenToWorld(input->cursor.x, input->cursor.y);
    owner->Require<Transform>()->translation = lastMousePosition;
}

void Mouse::OnDraw(DrawEvent&)
{
    Input* input = Input::Get();
    if (input->textMode) return;
    Direction held = PointerKeys::HeldDirection();
    if (held == kNone) navigationLatch = false;
    Transform* cursor = owner->Require<Transform>();
    glm::vec2 mouse = Graphics::Get()->ScreenToWorld(input->cursor.x, input->cursor.y);
    bool paused = owner->space->paused;
    if (Sprite* sprite = owner->Get<Sprite>()) sprite->visible = !paused;  // the overlay's cursor is the one shown
    bool padBack = input->GetJoystickButton(0, Input::kPadB) != 0;
    bool back = (padBack && !backLatch) || input->Key(Input::kKeyEscape) == kKeyPressed;
    backLatch = padBack;
    if (back && !paused) GoBack();
    if (mouse != lastMousePosition) {
        cursor->translation = mouse;
        lastMousePosition = mouse;
        return;
    }
    lastMousePosition = mouse;
    // A paused menu lies under an overlay, and a slider may take the press for its steps.
    if (navigationLatch || held == kNone || paused || SliderTakes(held)) return;
    navigationLatch = true;
    if (Entity* target = Neighbour(*owner->space, cursor->translation, held)) MoveOnto(*target);
}

// The trace names every widget the keys put the cursor on, so a run shows the menu's order.
void Mouse::MoveOnto(const Entity& widget)
{
    owner->Require<Transform>()->translation = widget.Get<Transform>()->translation;
    EngineEvents().Send(TraceEvent("Cursor in " + owner->space->name + ": on " + widget.name + " at frame " +
                                           std::to_string(Engine::Get()->frameCount) + "\n"));
}

void Mouse::OnTrigger(TriggerEvent& event)
{
    if (event.name != "buttonHovered") return;
    int click = PointerKeys::ClickState();
    if ((event.state == 0 && click == kKeyUp) || (event.state == 2 && (click == kKeyPressed || click == kKeyReleased)) ||
        event.state == 1)
        ShowFrame();
}

void Mouse::ShowFrame()
{
    Sprite* sprite = owner->Get<Sprite>();
    if (!sprite) return;
    sprite->frameIndex = sprite->GetTexture().frameCount > 2 ? 2 : 0;
}

} // namespace volleyrun
