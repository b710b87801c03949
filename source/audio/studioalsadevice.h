// StudioAlsaDevice: the default ALSA playback device ("default", or the PCM named by the
// environment variable VOLLEYRUN_ALSA_DEVICE) behind the StudioDevice seam. Float stereo
// when the device takes it, 16-bit otherwise; the period the driver asks for (never below
// the device's smallest, nor 64 frames) and room for up to kPeriods of them, so the driver
// can raise its latency without opening the device again. Time stamps are taken on the
// monotonic clock, the steady clock's. Opened on the game thread by the output driver, fed
// by its worker thread.
#pragma once

#include "studiodevice.h"

#include <cstdint>
#include <string>
#include <vector>

typedef struct _snd_pcm snd_pcm_t;
typedef struct _snd_pcm_hw_params snd_pcm_hw_params_t;

namespace volleyrun {

class StudioAlsaDevice final : public StudioDevice {
public:
    static constexpr unsigned kMinimumPeriod = 64;
    static constexpr unsigned kPeriods = 16;

    StudioAlsaDevice();
    ~StudioAlsaDevice() override;

    bool Query(unsigned preferredRate, unsigned* periodFrames, unsigned* rate) override;
    bool Open(unsigned rate, unsigned minimumPeriod, unsigned* periodFrames, unsigned* bufferFrames) override;
    long Available() override;
    bool Wait(unsigned frames, int timeoutMs) override;
    bool Write(const float* stereo, unsigned frames) override;
    bool Status(StudioDeviceStatus* status) override;
    uint64_t Underruns() const override { return underruns_; }
    void Close() override;

    unsigned BufferFrames() const { return bufferFrames_; }

private:
    bool Configure(snd_pcm_t* pcm, snd_pcm_hw_params_t* hw, unsigned* rate, bool exactRate);
    bool ConfigureSoftware(unsigned startFrames, unsigned wakeFrames);
    bool Recover(int error);

    std::string name_;
    snd_pcm_t* pcm_ = nullptr;
    bool floatSamples_ = true;
    unsigned bufferFrames_ = 0;
    unsigned periodFrames_ = 0;
    unsigned wakeFrames_ = 0;     // the avail_min now set: Wait sleeps until this much is free
    uint64_t underruns_ = 0;      // worker only
    std::vector<short> converted_;  // 16-bit copy of a block when the device lacks float
};

} // namespace volleyrun
