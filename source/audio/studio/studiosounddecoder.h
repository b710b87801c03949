// StudioSoundDecoder: decodes one StudioSound front to back, a piece per Step, resampling
// to the mix rate as it goes, and publishes each piece so the mixer can play it at once.
// The studio's loader thread creates and steps it; nothing else touches it. When the file
// ends early or fails, the rest of the sound is published as silence.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <samplerate.h>
#include <sndfile.h>

namespace volleyrun {

class StudioSound;

class StudioSoundDecoder {
public:
    StudioSoundDecoder(std::shared_ptr<StudioSound> sound, int mixRate);
    StudioSoundDecoder(const StudioSoundDecoder&) = delete;
    StudioSoundDecoder& operator=(const StudioSoundDecoder&) = delete;
    ~StudioSoundDecoder();

    // Decodes and publishes up to `frames` file frames. False once the sound is complete;
    // error is set when decoding failed on the way (the sound is then complete, silent
    // from there on).
    bool Step(long frames, std::string* error);

    const StudioSound& Sound() const { return *sound_; }

private:
    bool Fail(const std::string& reason, std::string* error);
    long Write(const float* data, long count);  // clipped to the room left; returns frames written
    void FinishWithSilence();
    void SilenceNonFinite(size_t count);  // in the first count values of input_

    std::shared_ptr<StudioSound> sound_;
    double ratio_ = 1.0;         // mix rate / file rate
    SNDFILE* file_ = nullptr;    // opened on the first Step
    SRC_STATE* resampler_ = nullptr;  // only when the rates differ
    std::vector<float> input_;
    std::vector<float> output_;
    bool opened_ = false;
    bool reportedNonFinite_ = false;
};

} // namespace volleyrun
