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

#include <cmath>
#include <limits>

namespace {

// GLFW codes of the arrow keys and the D-pad buttons, both in Direction order.
constexpr int kArrowKeys[4] = {265, 264, 263, 262};
constexpr int kPadButtons[4] = {Input::kPadUp, Input::kPadDown, Input::kPadLeft, Input::kPadRight};

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

} // namespace

void Mouse::Initialize()
{
    Engine::Get()->events->AddListener(this, &Mouse::OnDraw);
    if (Entity* logic = owner->space->FindEntity("levelLogic")) {
        levelLogic_ = logic->Ref();
        logic->events->AddListener(this, &Mouse::OnTrigger);
    }
    ShowFrame();
}

void Mouse::Terminate()
{
    Engine::Get()->events->RemoveListener<DrawEvent>(this);
    if (Entity* logic = levelLogic_.Get()) logic->events->RemoveListener<TriggerEvent>(this);
}

std::unique_ptr<Component> Mouse::Clone(Entity* newOwner) const
{
    return std::make_unique<Mouse>(newOwner);
}

int Mouse::ClickState()
{
    const Input* input = Input::Get();
    if (input->textMode) return 0;
    int mouse = input->Key(Input::kMouseLeft);
    return mouse != kKeyUp ? mouse : input->Key(Input::kKeyEnter);
}

bool Mouse::DirectionDown(Direction direction)
{
    if (direction == kNone) return false;
    const Input* input = Input::Get();
    if (input->GetJoystickButton(0, kPadButtons[direction])) return true;
    int key = input->Key(kArrowKeys[direction]);
    return !input->textMode && (key == kKeyPressed || key == kKeyHeld);
}

Mouse::Direction Mouse::HeldDirection()
{
    for (Direction direction : {kUp, kDown, kLeft, kRight})
        if (DirectionDown(direction)) return direction;
    return kNone;
}

Entity* Mouse::Neighbour(const Space& space, glm::vec2 from, Direction direction)
{
    Entity* best = nullptr;
    glm::vec2 bestKey(std::numeric_limits<float>::infinity());
    for (const auto& entity : space.Entities()) {
        if (!Navigable(*entity)) continue;
        glm::vec2 key = AlongAndAcross(entity->Get<Transform>()->translation - from, direction);
        if (key.x <= 0.0f) continue;
        if (key.x < bestKey.x || (key.x == bestKey.x && key.y < bestKey.y)) {
            best = entity.get();
            bestKey = key;
        }
    }
    return best;
}

bool Mouse::SliderDragging() const
{
    for (const auto& entity : owner->space->Entities())
        if (const Slider* slider = entity->Get<Slider>(); slider && slider->dragging) return true;
    return false;
}

void Mouse::OnDraw(DrawEvent&)
{
    Input* input = Input::Get();
    if (input->textMode) return;
    Direction held = HeldDirection();
    if (held == kNone) navigationLatch = false;
    Transform* cursor = owner->Require<Transform>();
    glm::vec2 mouse = Graphics::Get()->ScreenToWorld(input->cursor.x, input->cursor.y);
    bool paused = owner->space->paused;
    if (Sprite* sprite = owner->Get<Sprite>()) sprite->visible = !paused;  // the overlay's cursor is the one shown
    if (mouse != lastMousePosition) {
        cursor->translation = mouse;
        lastMousePosition = mouse;
        return;
    }
    lastMousePosition = mouse;
    // A paused menu lies under an overlay, and a dragged slider takes the D-pad for its steps.
    if (navigationLatch || held == kNone || paused || SliderDragging()) return;
    navigationLatch = true;
    if (Entity* target = Neighbour(*owner->space, cursor->translation, held))
        cursor->translation = target->Get<Transform>()->translation;
}

void Mouse::OnTrigger(TriggerEvent& event)
{
    if (event.name != "buttonHovered") return;
    int click = ClickState();
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
