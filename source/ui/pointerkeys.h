// PointerKeys: which keys and pad buttons the interface's pointer answers to: the pointer
// button (the left mouse button, gamepad 0's A mapped onto it, or Enter) and the four
// directions (gamepad 0's D-pad or the arrow keys). The menu cursor, buttons and sliders
// read them; none of them is typed while the developer console has the keyboard. Game
// thread only.
#pragma once

namespace volleyrun {

class PointerKeys {
public:
    enum Direction { kNone = -1, kUp = 0, kDown = 1, kLeft = 2, kRight = 3 };

    // The KeyState of the pointer button: the left mouse button, or Enter while that
    // button is up. 0, which matches no state, while the console has the keyboard.
    static int ClickState();
    // Whether a direction is held on gamepad 0's D-pad or on the arrow keys.
    static bool DirectionDown(Direction direction);
    // The first direction held, testing up, down, left, right in that order.
    static Direction HeldDirection();
};

} // namespace volleyrun
