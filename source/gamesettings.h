// GameSettings: the process-wide game options. The options screens edit them; the ball
// manager, balls, players and level logic read them. Reset to the defaults with Reset
// (the options screen's default button, and every new engine). Game thread only.
#pragma once

#include <array>
#include <cstdint>

class GameSettings {
public:
    static GameSettings& Get();
    void Reset() { *this = GameSettings(); }

    bool aButtonEnabled = true;
    bool bButtonEnabled = true;
    bool xButtonEnabled = true;
    bool yButtonEnabled = true;
    bool eventsEnabled = true;
    bool rainbowBallEnabled = true;
    bool alternatingBallEnabled = true;
    bool platinumBallEnabled = true;
    int32_t eventsPerGame = 2;
    int32_t eventLength = 128;       // divisions a special event lasts
    int32_t eventBallSpawn = 4;      // chance out of 3 that a ball during an event is special; 0: one only
    int32_t ballSpawnRate = 3;       // 1 to 6
    int32_t masterVolumePercent = 100;  // 0 to 100

    // Where each player's hands are. Keys are GLFW key codes, buttons the pad layout of
    // Input (kPadA..kPadY). Letters are the ball's letters in order A, B, X, Y; spots are
    // the spots 4, 2 and 1 (outermost first).
    struct Bindings {
        std::array<int32_t, 4> letterKeys;
        std::array<int32_t, 3> spotKeys;
        std::array<int32_t, 4> letterButtons{0, 1, 2, 3};
    };
    // Player 0 plays on the left of the keyboard, player 1 on the right; the letter keys
    // form a pad's diamond (Y on top, X left, B right, A below), so C and M hit the A ball.
    std::array<Bindings, 2> bindings{Bindings{{67, 86, 88, 68}, {81, 87, 69}},     // C V X D, Q W E
                                     Bindings{{77, 44, 78, 74}, {80, 79, 73}}};    // M , N J, P O I

    // Latency corrections in milliseconds. The sound is heard audioOffsetMs after the
    // output clock says it plays; a press reaches us inputOffsetMs[player][device] after
    // it happened (device 0 keyboard, 1 pad); the rings are seen visualOffsetMs late.
    float audioOffsetMs = 0.0f;
    std::array<std::array<float, 2>, 2> inputOffsetMs{};
    float visualOffsetMs = 0.0f;

    // Balls return themselves (--autoplay, the debug key). A run switch, not an option:
    // Reset leaves it alone.
    inline static bool autoplay = false;
};
