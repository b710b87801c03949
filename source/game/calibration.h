// Calibration: turns timing errors into a latency correction. The controls screen feeds it
// the errors of a player's taps against the click track, or of his hits in the last match
// (MatchStats); the median error becomes the correction, and a series whose middle half is
// spread wider than kMaxSpreadMs (taps not steady enough to trust) is refused. Plain
// arithmetic, any thread.
#pragma once

#include "matchstats.h"

#include <cstddef>
#include <string>
#include <vector>

namespace volleyrun {

class Calibration {
public:
    static constexpr size_t kTaps = 24;              // taps of one session against the click track
    static constexpr size_t kMinimumMatchHits = 10;  // graded hits the last match must hold
    // Interquartile range beyond which the median is not trusted: a steady tapper stays
    // well inside 20 ms, and the grades change every 20 ms.
    static constexpr double kMaxSpreadMs = 40.0;

    struct Estimate {
        bool accepted = false;
        double medianMs = 0.0;   // positive: the presses land late
        double spreadMs = 0.0;   // interquartile range
        std::string message;     // what the screen shows, accepted or not
    };

    // errorsMs: each press minus the beat it aimed at, as judged with the current offsets.
    // Refused with fewer than minimum errors or a spread beyond kMaxSpreadMs.
    static Estimate FromErrors(std::vector<double> errorsMs, size_t minimum);
    static Estimate FromMatch(const MatchStats::Player& player);
    // The offset that cancels an accepted estimate's median, in tenths of a millisecond
    // and within the settings' range; offsetMs itself when refused.
    static float Corrected(float offsetMs, const Estimate& estimate);
};

} // namespace volleyrun
