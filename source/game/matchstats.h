// MatchStats: what each player did in the current (or last) match: hits per grade, their
// timing errors, misses, empty or wrong swings and streaks. The balls and players report
// into it as the match is judged; the end screen shows it and the calibration screen
// derives an offset from its errors. Cleared when a match starts. Game thread only.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace volleyrun {

class MatchStats {
public:
    static constexpr int kGrades = 4;  // 0 PERFECT .. 3 the widest window

    struct Player {
        std::array<int32_t, kGrades> hits{};
        int32_t misses = 0;
        int32_t faults = 0;          // swings that hit no ball, or hit with the wrong letter
        int32_t streak = 0;          // hits in a row now
        int32_t longestStreak = 0;
        std::vector<float> errors;   // seconds of each graded hit, negative early

        int32_t Hits() const;
        // Mean error in milliseconds (0 without hits); negative is early.
        double MeanErrorMs() const;
        // Hits over balls that came at him (hits + misses), 0..1; 1 before any ball.
        double Accuracy() const;
    };

    static MatchStats& Get();

    void Clear();
    void Hit(int player, int grade, float errorSeconds);
    void Miss(int player);
    void Fault(int player);

    // The grade of a timing error (seconds either side): 0 within 20 ms, 1 within 40 ms,
    // 2 within 60 ms, 3 beyond.
    static int GradeOf(float errorSeconds);

    std::array<Player, 2> players;
};

} // namespace volleyrun
