// AudioEngine: the game's connection to the studio. Started by the engine's start-up with the
// engine-wide event manager it serves, destroyed by the engine's destructor. Sets the studio up with the output driver,
// loads every bank and serves the sound events of the engine-wide manager, on the game thread.
// The timeline callback runs on the mixing thread: it tells the music clock where the
// "event:/InGame" timeline runs and where each beat falls, keeps the beat count, and hands
// beats, parameter changes and trace notes, each with its beat-count snapshot, to a ring that
// the update handler drains in order, so the game thread only ever sees whole snapshots. The
// mixing thread neither allocates nor takes a lock of the game thread's for this.
#pragma once

#include "beattime.h"
#include "event.h"
#include "musicclock.h"
#include "service.h"
#include "spscring.h"
#include "studioresult.h"

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace volleyrun {

class AudioDriver;
class EventManager;
class StudioBank;
struct StudioTimelineBeat;
struct StudioTimelineMarker;
class StudioEventInstance;
class StudioSystem;

class AudioEngine : public Service<AudioEngine> {
public:
    static constexpr const char* kServiceName = "the audio engine";
    // The beat count of the in-game music as of the last beat delivered.
    struct BeatClock {
        float tempo = 0.0f;         // beats per minute, reported with the last downbeat
        BeatTime downbeatTime;      // musical position of the last downbeat
        BeatTime currentTime;       // musical position of the last beat that was not a downbeat
    };

    static constexpr const char* kInGame = "event:/InGame";
    static constexpr const char* kClickTrack = "event:/UI/ClickTrack";  // the calibration's steady click

    // Creates the audio engine on the manager whose sound events it serves (once; later
    // calls return it). Get is for code running after that.
    static AudioEngine* Start(EventManager& events);
    static void Destroy();

    // Fills periodFrames and sampleRate from the default device (no device: 0 and 48000).
    void QueryDevice();
    void SetMasterVolume(float newVolume);

    const BeatClock& Clock() const { return clock_; }
    // Which musical position of the in-game music is heard when (any thread).
    const MusicClock& Music() const { return *music_; }
    // When each beat of the click track is heard (any thread); its own clock, so that a
    // calibration over a paused match leaves the match's clock alone. Its beats lie four
    // sixteenths apart and count on across restarts of the track.
    const MusicClock& ClickTrack() const { return *click_; }
    const OutputClock& Output() const;
    // Seconds from the instant a press happened (steady clock) to the instant the given
    // musical position is heard, negative when early; empty while the music gives no time.
    std::optional<double> SecondsFrom(BeatTime time, int64_t instant) const;
    AudioDriver* Driver() const { return driver_.get(); }
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
    // One note from the mixing thread: plain data, turned into events on the game thread.
    struct HandOver {
        enum Kind : uint8_t {
            kTrace,      // type: a timeline callback of this type ran
            kBeat,       // time, tempo
            kParameter,  // parameter of the in-game music changes to value
            kFailure,    // failure: a studio call failed in the callback
            kClockOnly,  // only the beat count changes (a count-in beat resets the position)
        } kind = kTrace;
        unsigned type = 0;
        BeatTime time;
        float tempo = 0.0f;
        const char* parameter = nullptr;  // a literal
        float value = 0.0f;
        bool appliedInMix = false;        // the music took the change at its own sample
        StudioResult failure = STUDIO_OK;
        bool hasClock = false;
        BeatClock clock;  // when hasClock: becomes the game thread's beat count first

        static HandOver Of(Kind kind)
        {
            HandOver note;
            note.kind = kind;
            return note;
        }
        HandOver& WithClock(const BeatClock& beatClock)
        {
            hasClock = true;
            clock = beatClock;
            return *this;
        }
    };
    static constexpr size_t kHandOverCapacity = 1024;

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
    void OnBeat(const StudioTimelineBeat& beat);
    StudioResult OnClickTrack(unsigned type, void* parameters);
    void OnMarker(const StudioTimelineMarker& marker);
    void Hand(const HandOver& item);
    void HandParameter(const char* name, float value);  // name: a literal
    void Deliver(const HandOver& item);

    std::unique_ptr<AudioDriver> driver_;
    EventManager* events_ = nullptr;  // the engine-wide manager handed to Start
    bool startingUp_ = true;  // the trace is not listening yet: lines wait in startupTrace_
    std::vector<std::string> startupTrace_;  // sent, in order, by the first update
    bool quiet_ = false;      // released at process exit: the trace may be gone already

    // Mixing thread only (one mixing thread at a time).
    BeatClock mixClock_;
    uint32_t barCounting_ = 0;  // 0 until the first downbeat, then 1: added to the bar on each downbeat

    std::unique_ptr<MusicClock> music_;  // with the driver; written on the mixing thread, read anywhere
    std::unique_ptr<MusicClock> click_;  // the same, for the click track
    int64_t clickBeats_ = 0;             // click track beats mixed so far; mixing thread only

    SpscRing<HandOver, kHandOverCapacity> handOver_;
    std::atomic<uint64_t> handOverLost_{0};  // notes dropped on a full ring (a stalled game thread)
    uint64_t handOverLostReported_ = 0;      // game thread
    BeatClock clock_;                        // game thread: what the gameplay reads
};

} // namespace volleyrun
