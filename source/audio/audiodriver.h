// AudioDriver: the studio output plug-in that plays the mix, and the output clock that says
// when each mixed frame is heard. The audio engine creates it and registers its Description;
// the studio calls init and close on the game thread. On a device, init opens the default
// device and starts a worker thread that sleeps until the device has room, then keeps it
// filled to the driver's latency a period at a time through readfrommixer, and after each
// write reads the device's delay into the output clock. The latency starts near 8 ms (three
// periods of at least 128 frames) and doubles after each underrun. A lost device
// ends the worker and is reported so the engine re-selects the plug-in (while no device opens
// after a loss, it is reported again after a short wait, until one does). The virtual output
// has no device: the engine calls MixVirtual each frame and the clock is exact. One driver
// exists at a time; the plug-in callbacks reach it through a pointer.
#pragma once

#include "outputclock.h"
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

namespace volleyrun {

class AudioDriver {
public:
    static constexpr const char* kName = "TessaroonCustomOutput";
    // After a loss, how long the driver waits before asking for another re-open while the
    // default device cannot be opened.
    static constexpr std::chrono::milliseconds kRetryDelay{200};
    static constexpr unsigned kMinimumPeriod = 128;  // frames: the smallest period asked for
    static constexpr unsigned kStartPeriods = 3;     // the latency a device starts with
    static constexpr int kWaitMs = 50;               // the longest sleep before the worker looks again
    // Device delays the clock will not believe: beyond a second, or a reading this far (in
    // frames, or periods when more) off the clock's line more than kMaxJumps times on one device.
    static constexpr int64_t kJumpFrames = 960;
    static constexpr int kMaxJumps = 3;

    using DeviceFactory = std::function<std::unique_ptr<StudioDevice>()>;
    struct Hooks {
        std::function<void(const std::string&)> trace;  // game thread
        std::function<void()> deviceLost;               // worker thread, as it ends
        std::function<int64_t()> now;                   // the steady clock (any thread)
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
    // Game thread, once a frame: traces what the worker changed (latency, a device whose
    // delay cannot be believed).
    void ReportChanges();

    const OutputClock& Clock() const { return clock_; }
    bool Running() const { return running_; }
    // A device was lost and none could be opened since: a re-open is asked for every kRetryDelay.
    bool AwaitingDevice() const { return awaitingDevice_; }
    unsigned PeriodFrames() const { return period_; }
    unsigned LatencyFrames() const { return latency_; }  // the fill the worker keeps
    uint64_t Underruns() const { return underruns_; }    // over every device
    int64_t VirtualFramesMixed() const { return virtualMixed_; }
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
    bool Feed(unsigned frames, long queued);
    void Read(long queued);
    bool Believable(const StudioDeviceStatus& status);
    void NoteUnderruns();
    void Lose();
    void AskAgainLater();
    void Trace(const std::string& text) const;
    std::string Latency(unsigned frames) const;

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
    unsigned bufferFrames_ = 0;           // frames the open device can hold
    std::atomic<unsigned> latency_{0};    // frames the worker keeps queued
    std::atomic<uint64_t> underruns_{0};
    std::atomic<bool> disbelieved_{false};  // the open device's delays are not believed
    std::atomic<int64_t> badDelay_{0};      // the first delay not believed
    unsigned reportedLatency_ = 0;          // game thread: what the trace last said
    bool reportedDisbelief_ = false;
    uint64_t deviceUnderruns_ = 0;        // worker: as the open device last counted them
    int jumps_ = 0;                       // worker: readings off the line on the open device
    std::vector<float> buffer_;           // one period of stereo, worker only
    StudioWavWriter wav_;                 // used by one mixing thread at a time
    OutputClock clock_;                   // written by whichever thread mixes
    int64_t mixed_ = 0;                   // frames pulled from the mixer: the mix frame of the next one
    bool virtualOpen_ = false;            // virtual output between init and close
    int rate_ = 48000;                    // mix rate agreed at init
    int64_t virtualStart_ = -1;           // clock time of virtual sample 0; -1 before the first mix
    int64_t virtualMixed_ = 0;            // virtual samples mixed so far
};

} // namespace volleyrun
