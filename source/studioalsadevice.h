// StudioAlsaDevice: the default ALSA playback device ("default", or the PCM named by the
// environment variable VOLLEYRUN_ALSA_DEVICE) behind the StudioDevice seam. Float stereo
// when the device takes it, 16-bit otherwise; period the smallest the device allows, never
// below 64 frames; a buffer of two periods. Opened on the game thread by the output
// driver, fed by its worker thread.
#pragma once

#include "studiodevice.h"

#include <string>
#include <vector>

typedef struct _snd_pcm snd_pcm_t;
typedef struct _snd_pcm_hw_params snd_pcm_hw_params_t;

class StudioAlsaDevice final : public StudioDevice {
public:
    static constexpr unsigned kMinimumPeriod = 64;

    StudioAlsaDevice();
    ~StudioAlsaDevice() override;

    bool Query(unsigned preferredRate, unsigned* periodFrames, unsigned* rate) override;
    bool Open(unsigned rate, unsigned* periodFrames) override;
    long Available() override;
    bool Write(const float* stereo, unsigned frames) override;
    void Close() override;

    unsigned BufferFrames() const { return bufferFrames_; }

private:
    bool Configure(snd_pcm_t* pcm, snd_pcm_hw_params_t* hw, unsigned* rate, bool exactRate);
    bool ConfigureSoftware(unsigned periodFrames);
    bool Recover(int error);

    std::string name_;
    snd_pcm_t* pcm_ = nullptr;
    bool floatSamples_ = true;
    unsigned bufferFrames_ = 0;
    std::vector<short> converted_;  // 16-bit copy of a block when the device lacks float
};
