// StudioCurve: a value that follows one event parameter along straight lines between
// points (a track's gain or low-pass cut-off). Built by the bank parser on the game
// thread, then read only, by the mixer on the mixing thread.
#pragma once

#include <utility>
#include <vector>

namespace volleyrun {

class StudioCurve {
public:
    StudioCurve() = default;
    StudioCurve(int parameterIndex, std::vector<std::pair<float, float>> curvePoints)
        : parameter(parameterIndex), points(std::move(curvePoints)) {}

    // The output at a parameter value: held flat before the first and after the last point.
    float Evaluate(float value) const;

    int parameter = -1;                          // index into the event's parameters
    std::vector<std::pair<float, float>> points;  // (parameter value, output), values increasing
};

} // namespace volleyrun
