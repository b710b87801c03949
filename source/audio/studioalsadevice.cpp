#include "studioalsadevice.h"

#include "studiodebuglog.h"

#include <alsa/asoundlib.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace volleyrun {

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

bool StudioAlsaDevice::Open(unsigned rate, unsigned minimumPeriod, unsigned* periodFrames, unsigned* bufferFrames)
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
        period = std::max(SmallestPeriod(hw.params), minimumPeriod);
        buffer = kPeriods * period;
        opened = snd_pcm_hw_params_set_period_size_near(pcm_, hw.params, &period, nullptr) == 0 &&
                 snd_pcm_hw_params_set_buffer_size_near(pcm_, hw.params, &buffer) == 0 &&
                 snd_pcm_hw_params(pcm_, hw.params) == 0;
    }
    if (opened) opened = snd_pcm_hw_params_get_period_size(hw.params, &period, nullptr) == 0 &&
                         snd_pcm_hw_params_get_buffer_size(hw.params, &buffer) == 0 && buffer >= period;
    if (opened) opened = ConfigureSoftware(static_cast<unsigned>(period), static_cast<unsigned>(period));
    if (!opened) {
        StudioDebugLog::Write("alsa: " + name_ + " cannot play stereo at " + std::to_string(rate) + " Hz");
        Close();
        return false;
    }
    *periodFrames = periodFrames_ = static_cast<unsigned>(period);
    *bufferFrames = bufferFrames_ = static_cast<unsigned>(buffer);
    underruns_ = 0;
    StudioDebugLog::Write("alsa: " + name_ + " open, period " + std::to_string(period) + ", buffer " +
                          std::to_string(buffer) + (floatSamples_ ? ", float" : ", 16-bit"));
    return true;
}

// Playback starts once a period is queued; Wait sleeps until wakeFrames are free. Time
// stamps come from the monotonic clock, as the steady clock's do, and are taken whenever
// the hardware pointer moves, so a delay and its stamp belong together.
bool StudioAlsaDevice::ConfigureSoftware(unsigned startFrames, unsigned wakeFrames)
{
    snd_pcm_sw_params_t* sw = nullptr;
    if (snd_pcm_sw_params_malloc(&sw) < 0) return false;
    bool configured = snd_pcm_sw_params_current(pcm_, sw) == 0 &&
                      snd_pcm_sw_params_set_start_threshold(pcm_, sw, std::max(1u, startFrames)) == 0 &&
                      snd_pcm_sw_params_set_avail_min(pcm_, sw, std::max(1u, wakeFrames)) == 0 &&
                      snd_pcm_sw_params_set_tstamp_mode(pcm_, sw, SND_PCM_TSTAMP_ENABLE) == 0 &&
                      snd_pcm_sw_params_set_tstamp_type(pcm_, sw, SND_PCM_TSTAMP_TYPE_MONOTONIC) == 0 &&
                      snd_pcm_sw_params(pcm_, sw) == 0;
    snd_pcm_sw_params_free(sw);
    if (configured) wakeFrames_ = std::max(1u, wakeFrames);
    return configured;
}

// snd_pcm_recover mends an underrun, a suspend or an interrupted call; anything else
// (the device unplugged: -ENODEV, -EBADFD, -EIO) means the device is lost.
bool StudioAlsaDevice::Recover(int error)
{
    if (snd_pcm_state(pcm_) == SND_PCM_STATE_DISCONNECTED) return false;
    if (error == -EPIPE) ++underruns_;
    return snd_pcm_recover(pcm_, error, 1) == 0;
}

bool StudioAlsaDevice::Wait(unsigned frames, int timeoutMs)
{
    if (!pcm_) return false;
    frames = std::clamp(frames, 1u, bufferFrames_);
    if (frames != wakeFrames_ && !ConfigureSoftware(periodFrames_, frames)) return false;
    int result = snd_pcm_wait(pcm_, timeoutMs);
    return result >= 0 || Recover(result);
}

bool StudioAlsaDevice::Status(StudioDeviceStatus* status)
{
    if (!pcm_) return false;
    snd_pcm_status_t* alsa = nullptr;
    snd_pcm_status_alloca(&alsa);
    if (snd_pcm_status(pcm_, alsa) < 0 || snd_pcm_status_get_state(alsa) != SND_PCM_STATE_RUNNING) return false;
    snd_htimestamp_t stamp{};
    snd_pcm_status_get_htstamp(alsa, &stamp);
    if (stamp.tv_sec == 0 && stamp.tv_nsec == 0) return false;  // a plug-in that keeps no stamps
    status->delayFrames = snd_pcm_status_get_delay(alsa);
    status->stampNs = static_cast<int64_t>(stamp.tv_sec) * 1000000000LL + stamp.tv_nsec;
    return true;
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

} // namespace volleyrun
