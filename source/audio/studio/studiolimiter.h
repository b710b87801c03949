// StudioLimiter: the peak limiter at the end of the master bus, so the mix never reaches full
// scale when loud sounds pile up (the announcer over the music). Owned by the system and run
// by its mixer on the mixing thread, after the master volume, with the mixer lock held. Both
// channels share one gain: a frame that would pass the ceiling turns it down at once, just
// enough, and it then recovers smoothly; the signal is scaled, never clipped, and passes
// unchanged once the gain is back at 1. It looks no frames ahead: a delay on the master bus
// would move every sample away from the time its beat was stamped with.
#pragma once

namespace volleyrun {

class StudioLimiter {
public:
    static constexpr float kCeiling = 0.944f;  // -0.5 dBFS
    static constexpr float kReleaseSeconds = 0.05f;  // time constant of the recovery

    void SetRate(int sampleRate);
    // Limits interleaved stereo frames in place.
    void Process(float* stereo, int frames);

private:
    float gain_ = 1.0f;
    float release_ = 1.0f;  // fraction of the way back to 1 the gain moves per frame
};

} // namespace volleyrun
