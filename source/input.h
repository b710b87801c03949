// Input: the process-wide key state table and text-input mode. Platform callbacks write
// key states; the engine calls Poll at the start of each frame (and between pacing waits)
// and EndFrame once per frame after the buffer swap. Game code reads key states directly.
// Headless runs have no platform callbacks, so every key stays up. Game thread only.
#pragma once

#include <array>

enum KeyState : int {
    kKeyUp = 1,
    kKeyPressed = 2,   // pressed this frame
    kKeyHeld = 3,
    kKeyReleased = 4,  // released this frame
};

class Input {
public:
    static constexpr int kKeyCount = 349;  // GLFW key codes 32..348; mouse buttons 0..7
    static constexpr int kKeyF11 = 300;

    static Input* Get();
    static void Destroy();

    void Poll();
    // Moves keys pressed or released this frame on to held or up.
    void EndFrame();

    int Key(int code) const { return code >= 0 && code < kKeyCount ? keys_[code] : kKeyUp; }

    bool textMode = false;  // the developer console or a text box has the keyboard

private:
    Input();
    std::array<int, kKeyCount> keys_;
};
