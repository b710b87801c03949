// PadLayout: the one button layout every gamepad is presented in (GLFW's gamepad mappings
// translated): A, B, X, Y, left and right bumper, Back, Start, left and right stick press,
// the D-pad's up, right, down and left, then the guide button. Input presents the pads in
// it (and is one, so game code says Input::kPadA); the input-device reader maps the
// kernel's button codes onto it. Constants only.
#pragma once

namespace volleyrun {

struct PadLayout {
    static constexpr int kPadA = 0, kPadB = 1, kPadX = 2, kPadY = 3, kPadStart = 7;
    static constexpr int kPadUp = 10, kPadRight = 11, kPadDown = 12, kPadLeft = 13;
    static constexpr int kPadButtonCount = 15;
    static constexpr int kPadAxisCount = 6;  // 0, 1 left stick; 2, 3 right stick; 4, 5 triggers
};

} // namespace volleyrun
