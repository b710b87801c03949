// StudioLowPass: a stereo low-pass filter (12 dB per octave) on one playing track, with a
// cut-off that glides to its target so a parameter step does not click. Owned by an event
// instance; the mixer runs it on the mixing thread. At or above kOpenHz the filter is open:
// the sound passes unchanged, while the filter keeps its state so closing it is smooth.
#pragma once

namespace volleyrun {

class StudioLowPass {
public:
    static constexpr float kOpenHz = 20000.0f;

    // Snaps to cutoffHz with an empty state (an instance starting from silence).
    void Reset(float cutoffHz, int sampleRate);
    void SetTarget(float cutoffHz) { target_ = cutoffHz; }
    // Filters interleaved stereo frames in place.
    void Process(float* stereo, int frames);

    float Cutoff() const { return cutoff_; }
    // True when the filter rings no more: silence in gives exact silence out.
    bool Silent() const { return z1_[0] == 0.0f && z1_[1] == 0.0f && z2_[0] == 0.0f && z2_[1] == 0.0f; }

private:
    static constexpr int kStep = 32;  // frames between cut-off updates
    void Glide();
    void UpdateCoefficients();
    void Run(float* stereo, int frames, bool open);

    int rate_ = 48000;
    float cutoff_ = kOpenHz;  // Hz, where the glide stands now
    float target_ = kOpenHz;  // Hz, where the glide goes
    float b0_ = 1, b1_ = 0, b2_ = 0, a1_ = 0, a2_ = 0;  // normalised biquad coefficients
    float z1_[2] = {0, 0};    // transposed direct form II state, per channel
    float z2_[2] = {0, 0};
};

} // namespace volleyrun
