#include "audiodriver.h"

#include "studioalsadevice.h"

#include <pthread.h>
#include <sched.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace volleyrun {

namespace {
AudioDriver* active = nullptr;  // the one driver the plug-in callbacks serve
AudioDriver::DeviceFactory deviceFactory;
} // namespace

AudioDriver::AudioDriver(Hooks hooks) : hooks_(std::move(hooks))
{
    if (!hooks_.now)
        hooks_.now = [] {
            return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
                .count();
        };
    active = this;
}

AudioDriver::~AudioDriver()
{
    Shut();
    if (active == this) active = nullptr;
}

void AudioDriver::SetDeviceFactory(DeviceFactory factory)
{
    deviceFactory = std::move(factory);
}

std::unique_ptr<StudioDevice> AudioDriver::MakeDevice()
{
    if (deviceFactory) return deviceFactory();
    return std::make_unique<StudioAlsaDevice>();
}

StudioOutputDescription AudioDriver::Description()
{
    StudioOutputDescription description;
    description.apiversion = kStudioOutputApiVersion;
    description.name = kName;
    description.version = 1;
    description.polling = 0;
    description.getnumdrivers = &AudioDriver::GetNumDrivers;
    description.getdriverinfo = &AudioDriver::GetDriverInfo;
    description.init = &AudioDriver::Init;
    description.close = &AudioDriver::Close;
    return description;
}

bool AudioDriver::WriteTo(const std::string& path, int sampleRate, std::string* error)
{
    return wav_.Open(path, sampleRate, error);
}

void AudioDriver::Trace(const std::string& text) const
{
    if (hooks_.trace) hooks_.trace(text);
}

StudioResult AudioDriver::GetNumDrivers(StudioOutputState*, int* numdrivers)
{
    *numdrivers = 1;
    return STUDIO_OK;
}

StudioResult AudioDriver::GetDriverInfo(StudioOutputState*, int, char* name, int namelen,
                                        StudioSpeakerMode* speakermode, int* speakermodechannels)
{
    if (name && namelen > 0) {
        std::strncpy(name, kName, static_cast<size_t>(namelen) - 1);
        name[namelen - 1] = '\0';
    }
    if (speakermode) *speakermode = STUDIO_SPEAKERMODE_STEREO;
    if (speakermodechannels) *speakermodechannels = 2;
    return STUDIO_OK;
}

StudioResult AudioDriver::Init(StudioOutputState* state, int, int* outputrate, StudioSpeakerMode* speakermode,
                               int* speakermodechannels, StudioSoundFormat* outputformat, int, int)
{
    if (!active) return STUDIO_ERR_OUTPUT_INIT;
    // The repeated attempts of a driver waiting for a device stay out of the trace until one opens.
    bool quiet = active->awaitingDevice_;
    if (!quiet) active->Trace("init\n");
    *speakermode = STUDIO_SPEAKERMODE_STEREO;
    *speakermodechannels = 2;
    *outputformat = STUDIO_SOUND_FORMAT_PCMFLOAT;
    active->Open(state, *outputrate);
    if (quiet && !active->awaitingDevice_) active->Trace("init\n");
    return STUDIO_OK;
}

StudioResult AudioDriver::Close(StudioOutputState*)
{
    if (!active) return STUDIO_OK;
    if (!active->awaitingDevice_) active->Trace("close\n");
    active->Shut();
    return STUDIO_OK;
}

std::string AudioDriver::Latency(unsigned frames) const
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f ms", 1000.0 * frames / rate_);
    return std::to_string(frames) + " frames (" + text + ")";
}

// With no device the driver stays idle: nothing pulls the mix, so the studio stands still.
// After a loss it also asks for another re-open a little later, so the music comes back
// when the device (or a new default one) does.
void AudioDriver::Open(StudioOutputState* state, int rate)
{
    Shut();  // a second init without a close must not leave a worker running
    state_ = state;
    rate_ = rate;
    clock_.SetNominalRate(rate);
    if (hooks_.virtualOutput) {
        virtualOpen_ = true;
        return;
    }
    std::unique_ptr<StudioDevice> device = MakeDevice();
    unsigned period = 0, buffer = 0;
    if (!device->Open(static_cast<unsigned>(rate), kMinimumPeriod, &period, &buffer)) {
        awaitingDevice_ = lostOnce_;
        if (awaitingDevice_) AskAgainLater();
        return;
    }
    awaitingDevice_ = false;
    device_ = std::move(device);
    period_ = std::max(1u, period);
    bufferFrames_ = std::max(buffer, period_);
    // A later device starts where the last one settled: the machine is the same.
    latency_ = std::clamp(std::max(latency_.load(), kStartPeriods * period_), period_, bufferFrames_);
    reportedLatency_ = latency_;
    disbelieved_ = reportedDisbelief_ = false;
    deviceUnderruns_ = 0;
    jumps_ = 0;
    clock_.Reset();
    buffer_.assign(2 * static_cast<size_t>(period_), 0.0f);
    workerFailure_ = STUDIO_OK;
    Trace("Audio output: period " + std::to_string(period_) + " frames, latency " + Latency(latency_) + "\n");
    running_ = true;
    worker_ = std::thread(&AudioDriver::Work, this);
}

// Also after a device loss, when the worker has already ended: it is joined and the dead
// device released here rather than left for the next init.
void AudioDriver::Shut()
{
    running_ = false;
    {
        std::lock_guard guard(retryLock_);
        retryPending_ = false;
    }
    retryWake_.notify_all();
    if (device_) device_->Interrupt();
    if (worker_.joinable()) worker_.join();
    if (device_) device_->Close();
    device_.reset();
    virtualOpen_ = false;
    state_ = nullptr;
}

namespace {
// The mix is the game's clock: it should never wait behind the rest of the machine. Where
// the system grants no real-time priority the worker runs as it is.
void AskForRealTime()
{
    sched_param parameters{};
    parameters.sched_priority = std::max(1, sched_get_priority_min(SCHED_FIFO) + 9);
    pthread_setschedparam(pthread_self(), SCHED_FIFO, &parameters);
}
} // namespace

// Sleeps until the queue has fallen a period below the latency, then tops it up: the mixer,
// and with it the timelines and their beats, moves exactly as fast as the device plays.
void AudioDriver::Work()
{
    AskForRealTime();
    while (running_) {
        unsigned latency = latency_;
        if (!device_->Wait(bufferFrames_ - latency + period_, kWaitMs)) return Lose();
        long available = device_->Available();
        if (available < 0) return Lose();
        NoteUnderruns();
        long queued = static_cast<long>(bufferFrames_) - available;
        while (running_ && queued < static_cast<long>(latency_) && available > 0) {
            unsigned frames = static_cast<unsigned>(std::min<long>(period_, available));
            if (!Feed(frames, queued)) return;
            queued += frames;
            available -= frames;
        }
    }
}

// Mixes and writes one piece, then reads where the device stands.
bool AudioDriver::Feed(unsigned frames, long queued)
{
    StudioResult result = state_->readfrommixer(state_, buffer_.data(), frames);
    if (result != STUDIO_OK) {
        workerFailure_ = result;
        running_ = false;
        return false;
    }
    mixed_ += frames;
    wav_.Write(buffer_.data(), frames);
    if (!device_->Write(buffer_.data(), frames)) {
        Lose();
        return false;
    }
    Read(queued + static_cast<long>(frames));
    return true;
}

// One reading for the clock: the mix frame heard at the device's time stamp is the frames
// written minus its delay. A device that cannot tell, or whose delays cannot be believed,
// is taken to play the sound queued now after the latency the driver keeps.
void AudioDriver::Read(long queued)
{
    StudioDeviceStatus status;
    if (!disbelieved_ && device_->Status(&status) && Believable(status)) {
        clock_.Add(status.stampNs, static_cast<double>(mixed_ - status.delayFrames));
        return;
    }
    clock_.Add(hooks_.now(), static_cast<double>(mixed_ - queued));
}

bool AudioDriver::Believable(const StudioDeviceStatus& status)
{
    bool sane = status.delayFrames >= 0 && status.delayFrames <= rate_;
    if (sane && clock_.Readings() >= 2) {
        double heard = static_cast<double>(mixed_ - status.delayFrames);
        double off = std::abs(heard - clock_.FrameAt(status.stampNs).value_or(heard));
        if (off > static_cast<double>(std::max<int64_t>(kJumpFrames, 2 * int64_t{period_}))) {
            clock_.Reset();  // the stream may really have moved: start the line again
            sane = ++jumps_ <= kMaxJumps;
        }
    }
    if (sane) return true;
    badDelay_ = status.delayFrames;
    disbelieved_ = true;
    clock_.Reset();
    return false;
}

// An underrun restarts the stream later than the clock's line says, and says the latency
// was too short for this machine: the line starts again and the latency doubles. Wake-ups
// on a busy machine come late by several milliseconds at a time, so one period more would
// only buy the next underrun.
void AudioDriver::NoteUnderruns()
{
    uint64_t count = device_->Underruns();
    if (count == deviceUnderruns_) return;
    underruns_ += count - deviceUnderruns_;
    deviceUnderruns_ = count;
    clock_.Reset();
    latency_ = std::min(2 * latency_, bufferFrames_);
}

void AudioDriver::ReportChanges()
{
    if (latency_ != reportedLatency_) {
        reportedLatency_ = latency_;
        Trace("Audio output: " + std::to_string(underruns_) + " underruns; latency raised to " +
              Latency(reportedLatency_) + "\n");
    }
    if (disbelieved_ && !reportedDisbelief_) {
        reportedDisbelief_ = true;
        Trace("Audio output: the device reported a delay of " + std::to_string(badDelay_) +
              " frames that cannot be right; timing by the latency asked for, " + Latency(latency_) + "\n");
    }
}

void AudioDriver::Lose()
{
    lostOnce_ = true;
    running_ = false;
    if (hooks_.deviceLost) hooks_.deviceLost();
}

// The worker of a driver without a device: it waits kRetryDelay (ended early by Shut), then
// reports the loss again so the game thread tries the default device once more.
void AudioDriver::AskAgainLater()
{
    retryPending_ = true;
    worker_ = std::thread([this] {
        std::unique_lock lock(retryLock_);
        if (retryWake_.wait_for(lock, kRetryDelay, [this] { return !retryPending_; })) return;
        retryPending_ = false;
        lock.unlock();
        if (hooks_.deviceLost) hooks_.deviceLost();
    });
}

void AudioDriver::MixVirtual(int64_t now, int64_t framePeriod)
{
    if (!virtualOpen_ || !state_) return;
    if (virtualStart_ < 0) {
        virtualStart_ = now;
        clock_.SetExact(now, static_cast<double>(mixed_), rate_);
    }
    double due = static_cast<double>(now - virtualStart_ + framePeriod) * rate_ / 1e9;
    int64_t frames = std::llround(due) - virtualMixed_;
    if (frames <= 0) return;
    buffer_.resize(2 * static_cast<size_t>(frames));
    StudioResult result = state_->readfrommixer(state_, buffer_.data(), static_cast<unsigned>(frames));
    if (result != STUDIO_OK) {
        workerFailure_ = result;
        return;
    }
    wav_.Write(buffer_.data(), static_cast<unsigned>(frames));
    virtualMixed_ += frames;
    mixed_ += frames;
}

} // namespace volleyrun
