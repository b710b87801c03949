#include "outputclock.h"

#include <cmath>

namespace volleyrun {

void OutputClock::SetNominalRate(double framesPerSecond)
{
    nominalFramesPerNs_ = framesPerSecond / 1e9;
}

void OutputClock::Reset()
{
    first_ = count_ = 0;
    line_.Store(Line{});
}

void OutputClock::SetExact(int64_t originNs, double originFrame, double framesPerSecond)
{
    Reset();
    line_.Store(Line{originNs, originFrame, framesPerSecond / 1e9, true});
}

void OutputClock::Add(int64_t ns, double heardFrame)
{
    while (count_ > 0 && (count_ == kCapacity || ns - readings_[first_].ns > kWindowNs)) {
        first_ = (first_ + 1) % kCapacity;
        --count_;
    }
    readings_[(first_ + count_) % kCapacity] = {ns, heardFrame};
    ++count_;
    Fit();
}

// The line through the centroid of the readings with the least-squares slope. Until two
// readings span some time, and whenever the fit strays beyond any real drift, the nominal
// pace stands in.
void OutputClock::Fit()
{
    const Reading& newest = readings_[(first_ + count_ - 1) % kCapacity];
    double meanX = 0, meanY = 0;
    for (size_t i = 0; i < count_; ++i) {
        const Reading& r = readings_[(first_ + i) % kCapacity];
        meanX += static_cast<double>(r.ns - newest.ns);
        meanY += r.frame - newest.frame;
    }
    meanX /= static_cast<double>(count_);
    meanY /= static_cast<double>(count_);
    double sxx = 0, sxy = 0;
    for (size_t i = 0; i < count_; ++i) {
        const Reading& r = readings_[(first_ + i) % kCapacity];
        double dx = static_cast<double>(r.ns - newest.ns) - meanX;
        sxx += dx * dx;
        sxy += dx * (r.frame - newest.frame - meanY);
    }
    double slope = sxx > 0 ? sxy / sxx : 0.0;
    if (!(std::abs(slope / nominalFramesPerNs_ - 1.0) <= kMaxDrift)) slope = nominalFramesPerNs_;
    // With the nominal slope the line still passes through the centroid of the readings.
    int64_t originNs = newest.ns + static_cast<int64_t>(std::llround(meanX));
    double originFrame = newest.frame + meanY + slope * (static_cast<double>(originNs - newest.ns) - meanX);
    line_.Store(Line{originNs, originFrame, slope, true});
}

std::optional<double> OutputClock::FrameAt(int64_t ns) const
{
    Line line = line_.Load();
    if (!line.valid) return std::nullopt;
    return line.originFrame + static_cast<double>(ns - line.originNs) * line.framesPerNs;
}

std::optional<int64_t> OutputClock::InstantOf(double frame) const
{
    Line line = line_.Load();
    if (!line.valid) return std::nullopt;
    return line.originNs + static_cast<int64_t>(std::llround((frame - line.originFrame) / line.framesPerNs));
}

} // namespace volleyrun
