#include "studiolimiter.h"

#include <algorithm>
#include <cmath>

namespace volleyrun {

void StudioLimiter::SetRate(int sampleRate)
{
    release_ = 1.0f - std::exp(-1.0f / (kReleaseSeconds * static_cast<float>(sampleRate)));
}

void StudioLimiter::Process(float* stereo, int frames)
{
    for (int i = 0; i < frames; ++i) {
        float* frame = stereo + 2 * i;
        // Within a ten-thousandth of 1 the recovery is over, so quiet sound passes bit for bit.
        if (gain_ < 1.0f) gain_ = gain_ > 0.9999f ? 1.0f : gain_ + (1.0f - gain_) * release_;
        float peak = std::max(std::abs(frame[0]), std::abs(frame[1]));
        if (peak * gain_ > kCeiling) gain_ = kCeiling / peak;
        if (gain_ == 1.0f) continue;
        frame[0] *= gain_;
        frame[1] *= gain_;
    }
}

} // namespace volleyrun
