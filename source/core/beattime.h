// BeatTime: a musical position (bar, sixteenth inside the bar, tick). The audio engine
// stamps every beat with one; the beat divider, balls and meters carry them along and add
// to them. A plain value, copied freely on any thread.
// Sixteen sixteenths make a bar and beats are four sixteenths apart.
#pragma once

#include <cstdint>

namespace volleyrun {

class BeatTime {
public:
    static constexpr int32_t kSixteenthsPerBar = 16;

    constexpr BeatTime() = default;
    constexpr BeatTime(int32_t barNumber, int32_t sixteenthInBar, int32_t tickCount = 0)
        : bar(barNumber), sixteenth(sixteenthInBar), tick(tickCount) {}

    // Moves on by the given sixteenths; a sum of 16 or more carries into the bar once,
    // so callers keep the step below one bar.
    BeatTime AddSixteenths(int32_t sixteenths) const;

    friend constexpr bool operator==(const BeatTime&, const BeatTime&) = default;

    int32_t bar = 0;        // bar counter; 0 at the first downbeat of the in-game music
    int32_t sixteenth = 0;  // 0 to 15 inside the bar
    int32_t tick = 0;       // finer position, carried along unchanged
};

} // namespace volleyrun
