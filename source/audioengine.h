// AudioEngine: the game's connection to the studio. Created by the first Get (second in engine
// start-up), destroyed by the engine's destructor. Sets the studio up with the output driver,
// loads every bank and serves the sound events of the engine-wide manager, on the game thread.
// The timeline callback runs on the mixing thread: it keeps the beat clock of "event:/InGame" and
// hands beats, parameter changes and trace lines, each with its beat-clock snapshot, to a queue
// that the update handler drains in order, so the game thread only ever sees whole snapshots.
#pragma once

#include "beattime.h"
#include "event.h"
#include "studioresult.h"

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <variant>
#include <vector>

class AudioDriver;
class StudioBank;
struct StudioTimelineBeat;
struct StudioTimelineMarker;
class StudioEventInstance;
class StudioSystem;

class AudioEngine {
public:
    // The beat clock of the in-game music as of the last beat delivered.
    struct BeatClock {
        int64_t downbeatClock = 0;  // FrameClock nanoseconds at which the last downbeat's sample plays
        float tempo = 0.0f;         // beats per minute, reported with the last downbeat
        BeatTime downbeatTime;      // musical position of the last downbeat
        BeatTime currentTime;       // musical position of the last beat that was not a downbeat
    };

    static constexpr const char* kInGame = "event:/InGame";

    static AudioEngine* Get();
    static bool Exists();
    static void Destroy();

    // Fills periodFrames and sampleRate from the default device (no device: 0 and 48000).
    void QueryDevice();
    // Seconds between mixing a sample and hearing it: one device period; 0 without a
    // device and on the virtual output, which plays each sample at its own time stamp.
    double GetOutputLatency();
    void SetMasterVolume(float newVolume);

    const BeatClock& Clock() const { return clock_; }
    int64_t DownbeatClock() const { return clock_.downbeatClock; }
    float Tempo() const { return clock_.tempo; }
    BeatTime DownbeatTime() const { return clock_.downbeatTime; }
    BeatTime CurrentTime() const { return clock_.currentTime; }

    void OnUpdate(UpdateEvent& event);
    void OnPlaySound(PlaySoundEvent& event);
    void OnPauseSound(PauseSoundEvent& event);
    void OnParameterChange(ParameterChangeEvent& event);
    void OnSyncSound(SyncSoundEvent& event);
    // Installed on every instance the engine starts; runs on the mixing thread.
    static StudioResult OnTimelineCallback(unsigned type, StudioEventInstance* instance, void* parameters);

    // Delivers what the mixing thread handed over, in order (the update handler calls it).
    void DrainHandOver();

    std::atomic<bool> resetOutput{false};  // set by the driver's worker when the device is lost
    std::atomic<uint32_t> periodFrames{0}; // smallest period of the default device, in frames
    uint32_t sampleRate = 0;               // mix rate: the device's (48000 without one)
    float volume = 1.0f;                   // last applied to the master bus
    StudioSystem* studio = nullptr;        // owned; released by Release
    unsigned int outputHandle = 0;         // the driver's plug-in handle
    std::vector<StudioBank*> banks;        // owned by the studio, in load order
    std::map<std::string, StudioEventInstance*> instances;  // tracked instance per path; may be null

private:
    // A failed studio call seen on the mixing thread, reported on the game thread.
    struct Failure {
        std::string expression;
    };
    // Only the beat clock changes (a count-in beat resets the musical position).
    struct ClockOnly {};
    struct HandOver {
        std::variant<TraceEvent, BeatEvent, ParameterChangeEvent, Failure, ClockOnly> item;
        std::optional<BeatClock> clock;  // becomes the game thread's beat clock first
    };

    AudioEngine();
    friend struct std::default_delete<AudioEngine>;
    ~AudioEngine();
    void Initialize();
    void CreateStudio();
    void LoadBanks();
    void Release();
    void Verify(StudioResult result) const;
    void Trace(const std::string& text);
    void ResetOutput();
    void OnBeat(const StudioTimelineBeat& beat, const std::string& path);
    void OnMarker(const StudioTimelineMarker& marker);
    void Hand(HandOver item);

    std::unique_ptr<AudioDriver> driver_;
    bool startingUp_ = true;  // the trace is not listening yet: lines wait in startupTrace_
    std::vector<std::string> startupTrace_;  // sent, in order, by the first update
    bool quiet_ = false;      // released at process exit: the trace may be gone already

    // Mixing thread only (one mixing thread at a time).
    BeatClock mixClock_;
    uint32_t barCounting_ = 0;  // 0 until the first downbeat, then 1: added to the bar on each downbeat

    std::mutex handOverLock_;
    std::vector<HandOver> handOver_;  // under handOverLock_
    std::vector<HandOver> draining_;  // game thread: the batch being delivered
    BeatClock clock_;                 // game thread: what the gameplay reads
};
