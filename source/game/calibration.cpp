#include "calibration.h"

#include "gamesettings.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace volleyrun {

namespace {

// The q-quantile of sorted values, interpolated between neighbours.
double Quantile(const std::vector<double>& sorted, double q)
{
    double place = q * static_cast<double>(sorted.size() - 1);
    size_t below = static_cast<size_t>(place);
    size_t above = std::min(below + 1, sorted.size() - 1);
    return sorted[below] + (sorted[above] - sorted[below]) * (place - static_cast<double>(below));
}

std::string Milliseconds(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%+.1f MS", value);
    return text;
}

} // namespace

Calibration::Estimate Calibration::FromErrors(std::vector<double> errorsMs, size_t minimum)
{
    Estimate estimate;
    if (errorsMs.size() < std::max<size_t>(minimum, 1)) {
        estimate.message = "ONLY " + std::to_string(errorsMs.size()) + " OF " + std::to_string(minimum) +
                           " NEEDED: NOTHING CHANGED";
        return estimate;
    }
    std::sort(errorsMs.begin(), errorsMs.end());
    estimate.medianMs = Quantile(errorsMs, 0.5);
    estimate.spreadMs = Quantile(errorsMs, 0.75) - Quantile(errorsMs, 0.25);
    estimate.accepted = estimate.spreadMs <= kMaxSpreadMs;
    estimate.message = estimate.accepted ? "LATE BY " + Milliseconds(estimate.medianMs) + ": CORRECTED"
                                         : "TOO UNEVEN (SPREAD " + Milliseconds(estimate.spreadMs).substr(1) +
                                               "): NOTHING CHANGED";
    return estimate;
}

Calibration::Estimate Calibration::FromMatch(const MatchStats::Player& player)
{
    std::vector<double> errorsMs;
    for (float error : player.errors) errorsMs.push_back(error * 1000.0);
    return FromErrors(std::move(errorsMs), kMinimumMatchHits);
}

float Calibration::Corrected(float offsetMs, const Estimate& estimate)
{
    if (!estimate.accepted) return offsetMs;
    double corrected = std::round((offsetMs + estimate.medianMs) * 10.0) / 10.0;
    return static_cast<float>(std::clamp<double>(corrected, -GameSettings::kMaxOffsetMs, GameSettings::kMaxOffsetMs));
}

} // namespace volleyrun
