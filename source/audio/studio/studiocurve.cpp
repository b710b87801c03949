#include "studiocurve.h"

#include <cstddef>

namespace volleyrun {

float StudioCurve::Evaluate(float value) const
{
    if (points.empty()) return 1.0f;
    if (value <= points.front().first) return points.front().second;
    for (std::size_t i = 1; i < points.size(); ++i) {
        const auto& [x1, y1] = points[i];
        if (value > x1) continue;
        const auto& [x0, y0] = points[i - 1];
        return y0 + (y1 - y0) * (value - x0) / (x1 - x0);
    }
    return points.back().second;
}

} // namespace volleyrun
