#include "studioalsadevice.h"

#include "studiodebuglog.h"

#include <alsa/asoundlib.h>

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace {

// ALSA prints its complaints (no card, unknown PCM) to standard error; they belong in the
// studio's log, since a missing device is an expected, silent situation.
void QuietErrors(const char* file, int line, const char* function, int error, const char* format, ...)
{
    (void)file, (void)line, (void)function, (void)error;
    char text[512];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    StudioDebugLog::Write(std::string("alsa: ") + text);
}

struct HwParams {
    HwParams() { snd_pcm_hw_params_malloc(&params); }
    ~HwParams() { snd_pcm_hw_params_free(params); }
    snd_pcm_hw_params_t* params = nullptr;
};

unsigned SmallestPeriod(snd_pcm_hw_params_t* hw)
{
    snd_pcm_uframes_t minimum = 0;
    int direction = 0;
    if (snd_pcm_hw_params_get_period_size_min(hw, &minimum, &direction) < 0) minimum = 0;
    return std::max<unsigned>(StudioAlsaDevice::kMinimumPeriod, static_cast<unsigned>(minimum));
}

} // namespace

StudioAlsaDevice::StudioAlsaDevice()
{
    const char* chosen = std::getenv("VOLLEYRUN_ALSA_DEVICE");
    name_ = chosen && *chosen ? chosen : "default";
    snd_lib_error_set_handler(&QuietErrors);
}

StudioAlsaDevice::~StudioAlsaDevice()
{
    Close();
}

bool StudioAlsaDevice::Configure(snd_pcm_t* pcm, snd_pcm_hw_params_t* hw, unsigned* rate, bool exactRate)
{
    if (snd_pcm_hw_params_any(pcm, hw) < 0) return false;
    if (snd_pcm_hw_params_set_access(pcm, hw, SND_PCM_ACCESS_RW_INTERLEAVED) < 0) return false;
    floatSamples_ = snd_pcm_hw_params_set_format(pcm, hw, SND_PCM_FORMAT_FLOAT_LE) == 0;
    if (!floatSamples_ && snd_pcm_hw_params_set_format(pcm, hw, SND_PCM_FORMAT_S16_LE) < 0) return false;
    if (snd_pcm_hw_params_set_channels(pcm, hw, 2) < 0) return false;
    if (exactRate) return snd_pcm_hw_params_set_rate(pcm, hw, *rate, 0) == 0;
    return snd_pcm_hw_params_set_rate_near(pcm, hw, rate, nullptr) == 0;
}

bool StudioAlsaDevice::Query(unsigned preferredRate, unsigned* periodFrames, unsigned* rate)
{
    snd_pcm_t* pcm = nullptr;
    if (snd_pcm_open(&pcm, name_.c_str(), SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK) < 0) return false;
    HwParams hw;
    *rate = preferredRate;
    bool usable = Configure(pcm, hw.params, rate, false);
    if (usable) *periodFrames = SmallestPeriod(hw.params);
    snd_pcm_close(pcm);
    return usable;
}

bool StudioAlsaDevice::Open(unsigned rate, unsigned* periodFrames)
{
    Close();
    if (snd_pcm_open(&pcm_, name_.c_str(), SND_PCM_STREAM_PLAYBACK, 0) < 0) {
        pcm_ = nullptr;
        return false;
    }
    HwParams hw;
    snd_pcm_uframes_t period = 0, buffer = 0;
    bool opened = Configure(pcm_, hw.params, &rate, true);
    if (opened) {
        period = SmallestPeriod(hw.params);
        buffer = 2 * period;
        opened = snd_pcm_hw_params_set_period_size_near(pcm_, hw.params, &period, nullptr) == 0 &&
                 snd_pcm_hw_params_set_buffer_size_near(pcm_, hw.params, &buffer) == 0 &&
                 snd_pcm_hw_params(pcm_, hw.params) == 0;
    }
    if (opened) opened = snd_pcm_hw_params_get_period_size(hw.params, &period, nullptr) == 0 &&
                         snd_pcm_hw_params_get_buffer_size(hw.params, &buffer) == 0;
    if (opened) opened = ConfigureSoftware(static_cast<unsigned>(period));
    if (!opened) {
        StudioDebugLog::Write("alsa: " + name_ + " cannot play stereo at " + std::to_string(rate) + " Hz");
        Close();
        return false;
    }
    *periodFrames = static_cast<unsigned>(period);
    bufferFrames_ = static_cast<unsigned>(buffer);
    StudioDebugLog::Write("alsa: " + name_ + " open, period " + std::to_string(period) + ", buffer " +
                          std::to_string(buffer) + (floatSamples_ ? ", float" : ", 16-bit"));
    return true;
}

// Playback starts as soon as half a period is queued, so the first block is heard at once.
bool StudioAlsaDevice::ConfigureSoftware(unsigned periodFrames)
{
    snd_pcm_sw_params_t* sw = nullptr;
    if (snd_pcm_sw_params_malloc(&sw) < 0) return false;
    bool configured = snd_pcm_sw_params_current(pcm_, sw) == 0 &&
                      snd_pcm_sw_params_set_start_threshold(pcm_, sw, std::max(1u, periodFrames / 2)) == 0 &&
                      snd_pcm_sw_params_set_avail_min(pcm_, sw, std::max(1u, periodFrames / 2)) == 0 &&
                      snd_pcm_sw_params(pcm_, sw) == 0;
    snd_pcm_sw_params_free(sw);
    return configured;
}

// snd_pcm_recover mends an underrun, a suspend or an interrupted call; anything else
// (the device unplugged: -ENODEV, -EBADFD, -EIO) means the device is lost.
bool StudioAlsaDevice::Recover(int error)
{
    if (snd_pcm_state(pcm_) == SND_PCM_STATE_DISCONNECTED) return false;
    return snd_pcm_recover(pcm_, error, 1) == 0;
}

long StudioAlsaDevice::Available()
{
    if (!pcm_) return -1;
    snd_pcm_sframes_t available = snd_pcm_avail_update(pcm_);
    if (available >= 0) return available;
    return Recover(static_cast<int>(available)) ? 0 : -1;
}

bool StudioAlsaDevice::Write(const float* stereo, unsigned frames)
{
    if (!pcm_) return false;
    const void* data = stereo;
    if (!floatSamples_) {
        converted_.resize(2 * static_cast<size_t>(frames));
        for (size_t i = 0; i < converted_.size(); ++i)
            converted_[i] = static_cast<short>(std::lround(std::clamp(stereo[i], -1.0f, 1.0f) * 32767.0f));
        data = converted_.data();
    }
    size_t frameBytes = floatSamples_ ? 2 * sizeof(float) : 2 * sizeof(short);
    int recoveries = 0;
    for (unsigned done = 0; done < frames;) {
        snd_pcm_sframes_t written =
            snd_pcm_writei(pcm_, static_cast<const char*>(data) + done * frameBytes, frames - done);
        if (written < 0) {
            // A device that fails again right after each repair is as good as gone.
            if (++recoveries > 3 || !Recover(static_cast<int>(written))) return false;
            continue;
        }
        done += static_cast<unsigned>(written);
    }
    return true;
}

void StudioAlsaDevice::Close()
{
    if (!pcm_) return;
    snd_pcm_drop(pcm_);
    snd_pcm_close(pcm_);
    pcm_ = nullptr;
}
