#include "studioeventinstance.h"

#include "studiodebuglog.h"
#include "studioeventdescription.h"
#include "studiosound.h"
#include "studiosystem.h"

#include <algorithm>

namespace volleyrun {

namespace {

// Gain changes glide over 10 ms.
int GlideFrames(int sampleRate)
{
    return std::max(1, sampleRate / 100);
}

// The instance whose timeline callback runs on this thread (only ever the mixing thread).
thread_local StudioEventInstance* reporting = nullptr;

} // namespace

StudioEventInstance::StudioEventInstance(StudioEventDescription* description)
    : description_(description), system_(description->system), tracks_(description->tracks.size())
{
    for (const auto& parameter : description->parameters) parameters_.push_back(parameter.initial);
}

// Takes the mixer lock for a game-thread call on a live instance.
StudioResult StudioEventInstance::Usable(std::unique_lock<std::mutex>* lock)
{
    StudioResult result = system_->Lock(lock);
    if (result != STUDIO_OK) return result;
    return released_ ? STUDIO_ERR_INVALID_HANDLE : STUDIO_OK;
}

StudioResult StudioEventInstance::Start()
{
    // Opening happens before the lock, so the mixer never waits for the disk.
    StudioResult result = system_->LoadSamples(description_, true);
    if (result != STUDIO_OK) return result;
    std::unique_lock<std::mutex> lock;
    if ((result = Usable(&lock)) != STUDIO_OK) return result;
    if (!playing_ && system_->PlayingCount() >= system_->MaxPlaying())
        return system_->Fail(STUDIO_ERR_TOO_MANY_INSTANCES, "more than " + std::to_string(system_->MaxPlaying()) +
                                                                " instances would play at once");
    position_ = 0;
    playing_ = true;
    fresh_ = true;
    StudioDebugLog::Write("studio: start " + description_->path);
    return STUDIO_OK;
}

StudioResult StudioEventInstance::Stop()
{
    std::unique_lock<std::mutex> lock;
    StudioResult result = Usable(&lock);
    if (result == STUDIO_OK) playing_ = false;
    return result;
}

StudioResult StudioEventInstance::SetPaused(bool paused)
{
    std::unique_lock<std::mutex> lock;
    StudioResult result = Usable(&lock);
    if (result == STUDIO_OK) paused_ = paused;
    return result;
}

StudioResult StudioEventInstance::GetPaused(bool* paused)
{
    if (!paused) return STUDIO_ERR_INVALID_PARAM;
    std::unique_lock<std::mutex> lock;
    StudioResult result = Usable(&lock);
    if (result == STUDIO_OK) *paused = paused_;
    return result;
}

StudioResult StudioEventInstance::IsPlaying(bool* playing)
{
    if (!playing) return STUDIO_ERR_INVALID_PARAM;
    std::unique_lock<std::mutex> lock;
    StudioResult result = Usable(&lock);
    if (result == STUDIO_OK) *playing = playing_;
    return result;
}

StudioResult StudioEventInstance::Release()
{
    std::unique_lock<std::mutex> lock;
    StudioResult result = Usable(&lock);
    if (result == STUDIO_OK) released_ = true;
    return result;
}

StudioResult StudioEventInstance::SetParameterValue(const std::string& name, float value)
{
    int index = description_->FindParameter(name);
    if (index < 0)
        return system_->Fail(STUDIO_ERR_PARAMETER_NOTFOUND,
                             "the event \"" + description_->path + "\" has no parameter \"" + name + "\"");
    const auto& range = description_->parameters[static_cast<size_t>(index)];
    std::unique_lock<std::mutex> lock;
    StudioResult result = Usable(&lock);
    if (result == STUDIO_OK) parameters_[static_cast<size_t>(index)] = std::clamp(value, range.minimum, range.maximum);
    return result;
}

// The caller already holds the mixer lock: Report runs inside the mix.
StudioResult StudioEventInstance::SetParameterValueInCallback(std::string_view name, float value)
{
    if (reporting != this) return STUDIO_ERR_INVALID_THREAD;
    int index = description_->FindParameter(name);
    if (index < 0) return STUDIO_ERR_PARAMETER_NOTFOUND;
    const auto& range = description_->parameters[static_cast<size_t>(index)];
    parameters_[static_cast<size_t>(index)] = std::clamp(value, range.minimum, range.maximum);
    setInCallback_ = true;
    return STUDIO_OK;
}

StudioEventInstance* StudioEventInstance::Reporting()
{
    return reporting;
}

StudioResult StudioEventInstance::GetParameterValue(const std::string& name, float* value)
{
    int index = description_->FindParameter(name);
    if (!value) return STUDIO_ERR_INVALID_PARAM;
    if (index < 0) return STUDIO_ERR_PARAMETER_NOTFOUND;
    std::unique_lock<std::mutex> lock;
    StudioResult result = Usable(&lock);
    if (result == STUDIO_OK) *value = parameters_[static_cast<size_t>(index)];
    return result;
}

StudioResult StudioEventInstance::SetTimelinePosition(int milliseconds)
{
    if (milliseconds < 0) return STUDIO_ERR_INVALID_PARAM;
    std::unique_lock<std::mutex> lock;
    StudioResult result = Usable(&lock);
    if (result != STUDIO_OK) return result;
    int64_t frame = static_cast<int64_t>(milliseconds) * description_->sampleRate / 1000;
    position_ = std::min(frame, description_->length);
    return STUDIO_OK;
}

StudioResult StudioEventInstance::GetTimelinePosition(int* milliseconds)
{
    if (!milliseconds) return STUDIO_ERR_INVALID_PARAM;
    std::unique_lock<std::mutex> lock;
    StudioResult result = Usable(&lock);
    if (result == STUDIO_OK) *milliseconds = static_cast<int>(position_ * 1000 / description_->sampleRate);
    return result;
}

StudioResult StudioEventInstance::SetCallback(StudioEventCallback callback, unsigned mask)
{
    std::unique_lock<std::mutex> lock;
    StudioResult result = Usable(&lock);
    if (result != STUDIO_OK) return result;
    callback_ = callback;
    callbackMask_ = mask;
    return STUDIO_OK;
}

// Written on the game thread under the lock and read by callbacks inside the mix, which
// holds it: neither accessor needs to take it.
StudioResult StudioEventInstance::SetUserData(void* data)
{
    std::unique_lock<std::mutex> lock;
    StudioResult result = Usable(&lock);
    if (result == STUDIO_OK) userData_ = data;
    return result;
}

StudioResult StudioEventInstance::GetUserData(void** data) const
{
    if (!data) return STUDIO_ERR_INVALID_PARAM;
    *data = userData_;
    return STUDIO_OK;
}

StudioResult StudioEventInstance::GetDescription(StudioEventDescription** description) const
{
    if (!description) return STUDIO_ERR_INVALID_PARAM;
    *description = description_;
    return STUDIO_OK;
}

int64_t StudioEventInstance::SegmentEnd() const
{
    return description_->Loops() && position_ < description_->loopEnd ? description_->loopEnd : description_->length;
}

void StudioEventInstance::Mix(float* out, int frames, int outOffset, float* scratch)
{
    if (moving_ != (playing_ && !paused_)) ReportRun(!moving_, outOffset);
    if (!moving_) return;
    UpdateTargets(false);
    int done = 0;
    while (done < frames && playing_) {
        int64_t end = SegmentEnd();
        int count = static_cast<int>(std::min<int64_t>(frames - done, end - position_));
        if (count > 0) {
            MixSegment(out + 2 * done, count, outOffset + done, scratch);
            done += count;
        }
        if (position_ < end) continue;
        if (description_->Loops() && end == description_->loopEnd) position_ = description_->loopStart;
        else playing_ = false;
    }
    if (!playing_) ReportRun(false, outOffset + done);
}

// Tells the callback where the timeline starts or stops moving, so a clock of the music can
// stand still through a pause and go on exactly where it stopped.
void StudioEventInstance::ReportRun(bool moving, int outOffset)
{
    moving_ = moving;
    if (!callback_ || !(callbackMask_ & STUDIO_EVENT_CALLBACK_TIMELINE_RUN)) return;
    StudioTimelineRun run{moving, system_->RequestFrame() + outOffset};
    callback_(STUDIO_EVENT_CALLBACK_TIMELINE_RUN, this, &run);
}

// Mixes frames from position_ in pieces cut at the timeline points inside, reporting each
// point before the first frame at it, so what its callback sets is heard from that frame.
void StudioEventInstance::MixSegment(float* out, int frames, int outOffset, float* scratch)
{
    int64_t from = position_;
    FindPoints(from, from + frames);
    int done = 0;
    for (const TimelinePoint& point : points_) {
        int at = static_cast<int>(point.frame - from);
        if (at > done) MixTracks(out + 2 * done, at - done, scratch);
        position_ = point.frame;
        done = at;
        Report(point, from, outOffset);
    }
    if (frames > done) MixTracks(out + 2 * done, frames - done, scratch);
    position_ = from + frames;
}

// A change made by a timeline callback snaps (snap true): it lands on a beat or marker,
// where the music strikes its next note, and the accent is the change itself; a glide
// would play the start of the beat at the previous beat's gain, the very thing it is for.
// Changes from the game thread arrive at any sample and glide so they do not click. A
// cut-off always glides: a filter that jumps rings.
void StudioEventInstance::UpdateTargets(bool snap)
{
    const auto& tracks = description_->tracks;
    for (size_t i = 0; i < tracks.size(); ++i) {
        TrackState& state = tracks_[i];
        float target = tracks[i].volume;
        for (const StudioCurve& gain : tracks[i].gains) target *= gain.Evaluate(parameters_[static_cast<size_t>(gain.parameter)]);
        if (fresh_ || (snap && target != state.target)) {
            state.gain = state.target = target;
            state.glideLeft = 0;
        } else if (target != state.target) {
            state.target = target;
            state.glideLeft = GlideFrames(description_->sampleRate);
        }
        if (!tracks[i].lowPass) continue;
        const StudioCurve& curve = *tracks[i].lowPass;
        float cutoff = curve.Evaluate(curve.parameter >= 0 ? parameters_[static_cast<size_t>(curve.parameter)] : 0.0f);
        if (fresh_) state.lowPass.Reset(cutoff, description_->sampleRate);
        else state.lowPass.SetTarget(cutoff);
    }
    fresh_ = false;
}

// Collects the markers and beats in [from, to) in timeline order (a marker before a beat
// on the same frame) into points_.
void StudioEventInstance::FindPoints(int64_t from, int64_t to)
{
    points_.clear();
    if (!callback_) return;
    if (callbackMask_ & STUDIO_EVENT_CALLBACK_TIMELINE_MARKER) {
        for (size_t m = 0; m < description_->markers.size(); ++m) {
            int64_t frame = description_->markers[m].frame;
            if (frame >= from && frame < to) points_.push_back({frame, static_cast<int>(m), 0});
        }
    }
    if (callbackMask_ & STUDIO_EVENT_CALLBACK_TIMELINE_BEAT) {
        int64_t last = std::min(to, description_->length);
        for (int64_t k = description_->FirstBeatFrom(std::max<int64_t>(from, 0));; ++k) {
            int64_t frame = description_->Beat(k).frame;
            if (frame >= last) break;
            points_.push_back({frame, -1, k});
        }
    }
    std::stable_sort(points_.begin(), points_.end(), [](const auto& a, const auto& b) { return a.frame < b.frame; });
}

// Calls the callback, stamped with the point's distance from the start of the mix request,
// then applies what it set.
void StudioEventInstance::Report(const TimelinePoint& point, int64_t from, int outOffset)
{
    int rate = description_->sampleRate;
    int64_t offset = (outOffset + (point.frame - from)) * 1000000000LL / rate;
    int64_t mixFrame = system_->RequestFrame() + outOffset + (point.frame - from);
    int position = static_cast<int>(point.frame * 1000 / rate);
    reporting = this;
    if (point.marker >= 0) {
        StudioTimelineMarker marker{description_->markers[static_cast<size_t>(point.marker)].name.c_str(), position, offset, mixFrame};
        callback_(STUDIO_EVENT_CALLBACK_TIMELINE_MARKER, this, &marker);
    } else {
        StudioEventDescription::BeatPlace place = description_->Beat(point.beat);
        StudioTimelineBeat beat{place.bar, place.beat, position, static_cast<float>(description_->tempo),
                                description_->beatsPerBar, description_->beatUnit, offset, mixFrame};
        callback_(STUDIO_EVENT_CALLBACK_TIMELINE_BEAT, this, &beat);
    }
    reporting = nullptr;
    if (setInCallback_) UpdateTargets(true);
    setInCallback_ = false;
}

void StudioEventInstance::MixTracks(float* out, int frames, float* scratch)
{
    for (size_t i = 0; i < tracks_.size(); ++i) MixTrack(i, out, frames, scratch);
}

void StudioEventInstance::MixTrack(size_t index, float* out, int frames, float* scratch)
{
    const StudioEventDescription::Track& track = description_->tracks[index];
    TrackState& state = tracks_[index];
    const StudioSound& sound = *track.sound;
    int64_t first = position_ - track.startFrame;  // sound frame under out[0]
    int begin = static_cast<int>(std::clamp<int64_t>(-first, 0, frames));
    int end = static_cast<int>(std::clamp<int64_t>(sound.frames - first, 0, frames));
    if (end > begin) {
        // Frames still being decoded are silent, unless this render waits for them.
        if (system_->MixWaitsForDecoding()) sound.WaitFor(first + end);
        end = static_cast<int>(std::clamp<int64_t>(sound.Ready() - first, begin, end));
    }
    if (end <= begin && (!track.lowPass || state.lowPass.Silent())) {
        AddWithGain(nullptr, nullptr, frames, state);  // silent here: only the glide moves on
        return;
    }
    std::fill(scratch, scratch + 2 * frames, 0.0f);
    const float* samples = sound.Samples();
    if (sound.channels == 2) {
        std::copy(samples + 2 * (first + begin), samples + 2 * (first + end), scratch + 2 * begin);
    } else {
        for (int i = begin; i < end; ++i) scratch[2 * i] = scratch[2 * i + 1] = samples[first + i];
    }
    if (track.lowPass) state.lowPass.Process(scratch, frames);
    AddWithGain(out, scratch, frames, state);
}

// Adds source times the track gain into out (both null: only advances the glide).
void StudioEventInstance::AddWithGain(float* out, const float* source, int frames, TrackState& state)
{
    int ramp = std::min(frames, state.glideLeft);
    float step = ramp > 0 ? (state.target - state.gain) / static_cast<float>(state.glideLeft) : 0.0f;
    float gain = state.gain;
    if (out) {
        for (int i = 0; i < ramp; ++i) {
            gain += step;
            out[2 * i] += gain * source[2 * i];
            out[2 * i + 1] += gain * source[2 * i + 1];
        }
        for (int i = ramp; i < frames; ++i) {
            out[2 * i] += state.target * source[2 * i];
            out[2 * i + 1] += state.target * source[2 * i + 1];
        }
    } else {
        gain += step * static_cast<float>(ramp);
    }
    state.glideLeft -= ramp;
    state.gain = state.glideLeft > 0 ? gain : state.target;
}

} // namespace volleyrun
