// StudioEventInstance: one playing copy of a sound event: its timeline position, play and
// pause state, parameter values, per-track gain glides and filters, and its timeline
// callback. Created by StudioEventDescription::CreateInstance and owned by the system,
// which frees it once it is released and stopped. The game thread calls the public
// operations (each takes the system's mixer lock); the mixer calls Mix on the mixing
// thread, and the timeline callback runs there, in the middle of the mix.
#pragma once

#include "studiolowpass.h"
#include "studioresult.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace volleyrun {

class StudioEventDescription;
class StudioSystem;

enum StudioEventCallbackType : unsigned {
    STUDIO_EVENT_CALLBACK_TIMELINE_MARKER = 0x800,
    STUDIO_EVENT_CALLBACK_TIMELINE_BEAT = 0x1000,
    STUDIO_EVENT_CALLBACK_TIMELINE_RUN = 0x2000,
};

// What a timeline beat callback receives as its parameters.
struct StudioTimelineBeat {
    int bar;       // 1, 2, ... from the first downbeat; negative in a count-in
    int beat;      // 1 to timeSignatureUpper
    int position;  // milliseconds on the timeline
    float tempo;   // beats per minute
    int timeSignatureUpper;
    int timeSignatureLower;
    int64_t offsetNanoseconds;  // from the first frame of the current mix request to the beat's frame
    int64_t mixFrame;           // the beat's frame in the whole mix: frames mixed before it since the mixer started
};

// What a timeline marker callback receives as its parameters.
struct StudioTimelineMarker {
    const char* name;  // valid during the call
    int position;      // milliseconds on the timeline
    int64_t offsetNanoseconds;  // as for beats
    int64_t mixFrame;           // as for beats
};

// What a timeline run callback receives: the timeline starts moving (a start or a resume) or
// stops (a pause, a stop, the end) at this frame of the whole mix.
struct StudioTimelineRun {
    bool moving;
    int64_t mixFrame;
};

class StudioEventInstance;
// Runs on the mixing thread. Only GetDescription, GetUserData and SetParameterValueInCallback
// may be called on the instance from inside it; other calls answer STUDIO_ERR_INVALID_THREAD.
using StudioEventCallback = StudioResult (*)(unsigned type, StudioEventInstance* instance, void* parameters);

class StudioEventInstance {
public:
    explicit StudioEventInstance(StudioEventDescription* description);

    // Plays from the beginning of the timeline (a playing instance restarts).
    StudioResult Start();
    StudioResult Stop();  // at once
    StudioResult SetPaused(bool paused);
    StudioResult GetPaused(bool* paused);
    StudioResult IsPlaying(bool* playing);  // started and neither stopped nor at its end
    // The system frees the instance once it has stopped; the handle must not be used after.
    StudioResult Release();
    StudioResult SetParameterValue(const std::string& name, float value);  // clamped to the range
    // From inside this instance's own timeline callback (the mixer lock is held there): sets
    // a parameter that applies from the frame of the beat or marker being reported. Gains it
    // moves snap to their new value there instead of gliding. Never allocates. Anywhere else
    // it answers STUDIO_ERR_INVALID_THREAD.
    StudioResult SetParameterValueInCallback(std::string_view name, float value);
    // The instance whose timeline callback runs on the calling thread, or null.
    static StudioEventInstance* Reporting();
    StudioResult GetParameterValue(const std::string& name, float* value);
    StudioResult SetTimelinePosition(int milliseconds);
    StudioResult GetTimelinePosition(int* milliseconds);
    StudioResult SetCallback(StudioEventCallback callback, unsigned mask);
    StudioResult SetUserData(void* data);
    StudioResult GetUserData(void** data) const;
    StudioResult GetDescription(StudioEventDescription** description) const;

    // Mixer side, with the mixer lock held: adds frames of stereo into out, reporting beats
    // and markers whose frame falls inside. outOffset is where out starts in the current mix
    // request; scratch holds at least 2 * frames floats.
    void Mix(float* out, int frames, int outOffset, float* scratch);
    bool Playing() const { return playing_; }
    bool Finished() const { return released_ && !playing_; }

private:
    struct TrackState {
        float gain = 0.0f;    // applied now
        float target = 0.0f;  // where the glide goes
        int glideLeft = 0;    // frames until gain reaches target
        StudioLowPass lowPass;
    };
    struct TimelinePoint {
        int64_t frame;
        int marker;  // index into markers, or -1 for a beat
        int64_t beat;
    };

    StudioResult Usable(std::unique_lock<std::mutex>* lock);
    void UpdateTargets(bool snap);
    void MixSegment(float* out, int frames, int outOffset, float* scratch);
    void FindPoints(int64_t from, int64_t to);
    void ReportRun(bool moving, int outOffset);
    void Report(const TimelinePoint& point, int64_t from, int outOffset);
    void MixTracks(float* out, int frames, float* scratch);
    void MixTrack(size_t index, float* out, int frames, float* scratch);
    static void AddWithGain(float* out, const float* source, int frames, TrackState& state);
    int64_t SegmentEnd() const;

    StudioEventDescription* description_;  // owned by its bank, outlives the instance
    StudioSystem* system_;
    int64_t position_ = 0;   // frames on the timeline
    bool playing_ = false;
    bool paused_ = false;
    bool released_ = false;
    bool fresh_ = true;      // just started: gains and filters snap to their targets
    bool moving_ = false;    // mixing thread: the timeline moved in the last mix
    bool setInCallback_ = false;  // the callback being reported changed a parameter
    std::vector<float> parameters_;  // current values, in the description's order
    std::vector<TrackState> tracks_;
    StudioEventCallback callback_ = nullptr;
    unsigned callbackMask_ = 0;
    void* userData_ = nullptr;
    std::vector<TimelinePoint> points_;  // reused each mix, so the mixer rarely allocates
};

} // namespace volleyrun
