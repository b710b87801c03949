#include "pointerkeys.h"

#include "input.h"

namespace volleyrun {

namespace {

// GLFW codes of the arrow keys and the D-pad buttons, both in Direction order.
constexpr int kArrowKeys[4] = {265, 264, 263, 262};
constexpr int kPadButtons[4] = {Input::kPadUp, Input::kPadDown, Input::kPadLeft, Input::kPadRight};

} // namespace

int PointerKeys::ClickState()
{
    const Input* input = Input::Get();
    if (input->textMode) return 0;
    int mouse = input->Key(Input::kMouseLeft);
    return mouse != kKeyUp ? mouse : input->Key(Input::kKeyEnter);
}

bool PointerKeys::DirectionDown(Direction direction)
{
    if (direction == kNone) return false;
    const Input* input = Input::Get();
    if (input->GetJoystickButton(0, kPadButtons[direction])) return true;
    int key = input->Key(kArrowKeys[direction]);
    return !input->textMode && (key == kKeyPressed || key == kKeyHeld);
}

PointerKeys::Direction PointerKeys::HeldDirection()
{
    for (Direction direction : {kUp, kDown, kLeft, kRight})
        if (DirectionDown(direction)) return direction;
    return kNone;
}

} // namespace volleyrun
