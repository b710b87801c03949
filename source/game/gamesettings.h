// GameSettings: the process-wide game options. The options and controls screens edit them;
// the ball manager, balls, players and level logic read them; the settings file loads them
// at start and saves them whenever they change. Reset to the defaults with Reset (every new
// engine, before the file is read). Game thread only.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace volleyrun {

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
    bool fullScreen = true;             // the player's choice; --windowed overrides it for one run

    // Where each player's hands are. Keys are GLFW key codes, buttons the pad layout of
    // Input (kPadA..kPadY). Letters are the ball's letters in order A, B, X, Y; spots are
    // the spots 4, 2 and 1 (outermost first).
    struct Bindings {
        std::array<int32_t, 4> letterKeys;
        std::array<int32_t, 3> spotKeys;
        std::array<int32_t, 4> letterButtons{0, 1, 2, 3};
        friend bool operator==(const Bindings&, const Bindings&) = default;
    };
    // One of a player's bindings: a letter key (slots 0..3), a spot key (0..2) or a pad
    // letter button (0..3).
    enum class Control { kLetterKey, kSpotKey, kLetterButton };
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
    static constexpr float kMaxOffsetMs = 500.0f;  // each offset lies within plus or minus this

    // The key or pad button a control is bound to.
    int32_t& Binding(int player, Control control, int slot);
    // Binds code to the control; refused (the reason returned, nothing changed) when the
    // code cannot be bound or another control holds it: a key any control of either
    // player (they share the keyboard), a button another letter of the same player's pad.
    // Empty on success.
    std::string Rebind(int player, Control control, int slot, int32_t code);
    // Every binding can be bound and none is held twice.
    bool BindingsValid() const;
    // Keys and buttons the menus and the match keep for themselves (Escape, Enter, F11,
    // the console's backslash, the debug chord's Left Control; Start) are never bound.
    static bool BindableKey(int32_t key);
    static bool BindableButton(int32_t button);
    static std::string KeyName(int32_t key);
    static std::string ButtonName(int32_t button);

    friend bool operator==(const GameSettings&, const GameSettings&) = default;

    // Balls return themselves (--autoplay, the debug key). A run switch, not an option:
    // Reset leaves it alone.
    inline static bool autoplay = false;
};

} // namespace volleyrun
