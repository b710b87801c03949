#include "matchstats.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace volleyrun {

MatchStats& MatchStats::Get()
{
    static MatchStats stats;
    return stats;
}

int32_t MatchStats::Player::Hits() const
{
    return std::accumulate(hits.begin(), hits.end(), 0);
}

double MatchStats::Player::MeanErrorMs() const
{
    if (errors.empty()) return 0.0;
    return 1000.0 * std::accumulate(errors.begin(), errors.end(), 0.0) / static_cast<double>(errors.size());
}

double MatchStats::Player::Accuracy() const
{
    int32_t balls = Hits() + misses;
    return balls == 0 ? 1.0 : static_cast<double>(Hits()) / static_cast<double>(balls);
}

void MatchStats::Clear()
{
    players = {};
}

void MatchStats::Hit(int player, int grade, float errorSeconds)
{
    Player& p = players[player == 0 ? 0 : 1];
    ++p.hits[std::clamp(grade, 0, kGrades - 1)];
    p.errors.push_back(errorSeconds);
    p.longestStreak = std::max(p.longestStreak, ++p.streak);
}

void MatchStats::Miss(int player)
{
    Player& p = players[player == 0 ? 0 : 1];
    ++p.misses;
    p.streak = 0;
}

void MatchStats::Fault(int player)
{
    Player& p = players[player == 0 ? 0 : 1];
    ++p.faults;
    p.streak = 0;
}

int MatchStats::GradeOf(float errorSeconds)
{
    float size = std::fabs(errorSeconds);
    return size < 0.02f ? 0 : size < 0.04f ? 1 : size < 0.06f ? 2 : 3;
}

} // namespace volleyrun
