// GameSettings: the process-wide game options, in memory only (never saved). The options
// screen edits them; the ball manager, balls and level logic read them. Reset to the
// defaults with Reset (the options screen's default button, and every new engine).
// Game thread only.
#pragma once

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

    // Balls return themselves (--autoplay, the debug key). A run switch, not an option:
    // Reset leaves it alone.
    inline static bool autoplay = false;
};
