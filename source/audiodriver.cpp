#include "audiodriver.h"

#include "studioalsadevice.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {
AudioDriver* active = nullptr;  // the one driver the plug-in callbacks serve
AudioDriver::DeviceFactory deviceFactory;
} // namespace

AudioDriver::AudioDriver(Hooks hooks) : hooks_(std::move(hooks))
{
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

// With no device the driver stays idle: nothing pulls the mix, so the studio stands still.
// After a loss it also asks for another re-open a little later, so the music comes back
// when the device (or a new default one) does.
void AudioDriver::Open(StudioOutputState* state, int rate)
{
    Shut();  // a second init without a close must not leave a worker running
    state_ = state;
    rate_ = rate;
    if (hooks_.virtualOutput) {
        virtualOpen_ = true;
        return;
    }
    std::unique_ptr<StudioDevice> device = MakeDevice();
    unsigned period = 0;
    if (!device->Open(static_cast<unsigned>(rate), &period)) {
        awaitingDevice_ = lostOnce_;
        if (awaitingDevice_) AskAgainLater();
        return;
    }
    awaitingDevice_ = false;
    device_ = std::move(device);
    period_ = period;
    block_ = std::max(1u, period / 2);
    buffer_.assign(2 * static_cast<size_t>(block_), 0.0f);
    workerFailure_ = STUDIO_OK;
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
    if (worker_.joinable()) worker_.join();
    if (device_) device_->Close();
    device_.reset();
    virtualOpen_ = false;
    state_ = nullptr;
}

// Polls the device and writes one block whenever more than a block is free, yielding the
// processor between polls: the mixer, and with it the timelines and their beats, moves
// exactly as fast as the device takes the sound.
void AudioDriver::Work()
{
    while (running_) {
        long available = device_->Available();
        if (available < 0) return Lose();
        if (available <= static_cast<long>(block_)) {
            std::this_thread::yield();
            continue;
        }
        StudioResult result = state_->readfrommixer(state_, buffer_.data(), block_);
        if (result != STUDIO_OK) {
            workerFailure_ = result;
            running_ = false;
            return;
        }
        wav_.Write(buffer_.data(), block_);
        if (!device_->Write(buffer_.data(), block_)) return Lose();
        std::this_thread::yield();
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
    if (virtualStart_ < 0) virtualStart_ = now;
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
}
