// AudioDriver: the studio output plug-in that plays the mix. The audio engine creates it and
// registers its Description; the studio calls init and close on the game thread. On a device,
// init opens the default device with its smallest period and starts a worker thread that pulls
// half-period blocks through readfrommixer; a lost device ends the worker and is reported so the
// engine re-selects the plug-in (while no device opens after a loss, it is reported again after a
// short wait, until one does). The virtual output has no device: the engine calls MixVirtual
// each frame. One driver exists at a time; the plug-in callbacks reach it through a pointer.
#pragma once

#include "studiodevice.h"
#include "studiooutput.h"
#include "studiowavwriter.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class AudioDriver {
public:
    static constexpr const char* kName = "TessaroonCustomOutput";
    // After a loss, how long the driver waits before asking for another re-open while the
    // default device cannot be opened.
    static constexpr std::chrono::milliseconds kRetryDelay{200};

    using DeviceFactory = std::function<std::unique_ptr<StudioDevice>()>;
    struct Hooks {
        std::function<void(const std::string&)> trace;  // game thread: "init\n", "close\n"
        std::function<void()> deviceLost;               // worker thread, as it ends
        bool virtualOutput = false;
    };

    explicit AudioDriver(Hooks hooks);
    AudioDriver(const AudioDriver&) = delete;
    AudioDriver& operator=(const AudioDriver&) = delete;
    ~AudioDriver();  // the studio has closed the plug-in by now; closes it if not

    // The default device (ALSA unless a test installs its own factory; an empty factory
    // restores ALSA).
    static void SetDeviceFactory(DeviceFactory factory);
    static std::unique_ptr<StudioDevice> MakeDevice();

    static StudioOutputDescription Description();

    // Also writes every mixed block to a WAV file from now on; false with error when the
    // file cannot be created.
    bool WriteTo(const std::string& path, int sampleRate, std::string* error);

    // Virtual output, game thread: mixes the frames that play between now and one frame
    // later, as if a device played sample n at the time of the first call + n / rate.
    void MixVirtual(int64_t now, int64_t framePeriod);

    bool Running() const { return running_; }
    // A device was lost and none could be opened since: a re-open is asked for every kRetryDelay.
    bool AwaitingDevice() const { return awaitingDevice_; }
    unsigned PeriodFrames() const { return period_; }
    unsigned BlockFrames() const { return block_; }
    int64_t VirtualFramesMixed() const { return virtualMixed_; }
    int64_t VirtualStart() const { return virtualStart_; }
    // A mixer failure on the worker (a broken contract), for the game thread to report.
    StudioResult WorkerFailure() const { return workerFailure_; }

private:
    static StudioResult GetNumDrivers(StudioOutputState* state, int* numdrivers);
    static StudioResult GetDriverInfo(StudioOutputState* state, int id, char* name, int namelen,
                                      StudioSpeakerMode* speakermode, int* speakermodechannels);
    static StudioResult Init(StudioOutputState* state, int selecteddriver, int* outputrate,
                             StudioSpeakerMode* speakermode, int* speakermodechannels,
                             StudioSoundFormat* outputformat, int dspbufferlength, int dspnumbuffers);
    static StudioResult Close(StudioOutputState* state);

    void Open(StudioOutputState* state, int rate);
    void Shut();
    void Work();
    void Lose();
    void AskAgainLater();
    void Trace(const std::string& text) const;

    Hooks hooks_;
    StudioOutputState* state_ = nullptr;  // the studio's, between init and close
    std::unique_ptr<StudioDevice> device_;
    std::thread worker_;
    std::atomic<bool> running_{false};    // the worker feeds while set
    std::atomic<bool> lostOnce_{false};   // a device of this driver was lost (set by the worker)
    bool awaitingDevice_ = false;         // game thread: lost, and no device has opened since
    std::mutex retryLock_;
    std::condition_variable retryWake_;
    bool retryPending_ = false;           // under retryLock_: the waiting worker may still ask
    std::atomic<StudioResult> workerFailure_{STUDIO_OK};
    unsigned period_ = 0;                 // frames, of the open device
    unsigned block_ = 0;                  // frames written per pass: half a period
    std::vector<float> buffer_;           // one block of stereo, worker only
    StudioWavWriter wav_;                 // used by one mixing thread at a time
    bool virtualOpen_ = false;            // virtual output between init and close
    int rate_ = 48000;                    // mix rate agreed at init
    int64_t virtualStart_ = -1;           // clock time of virtual sample 0; -1 before the first mix
    int64_t virtualMixed_ = 0;            // virtual samples mixed so far
};
