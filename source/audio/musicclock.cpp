#include "musicclock.h"

#include <algorithm>
#include <cmath>

namespace volleyrun {

namespace {
template <class Array, class Item>
void PushNewest(Array& items, uint32_t& count, const Item& item)
{
    if (count == items.size()) std::rotate(items.begin(), items.begin() + 1, items.end());
    else ++count;
    items[count - 1] = item;
}
} // namespace

int64_t MusicClock::MusicFrameOf(int64_t mixFrame) const
{
    return static_cast<int64_t>(std::llround(MusicFrameAt(state_, static_cast<double>(mixFrame))));
}

void MusicClock::Run(int64_t mixFrame, bool moving)
{
    int64_t musicFrame = state_.runCount ? MusicFrameOf(mixFrame) : 0;
    PushNewest(state_.runs, state_.runCount, RunMark{mixFrame, musicFrame, moving});
    published_.Store(state_);
}

void MusicClock::Beat(int64_t mixFrame, double sixteenths, double framesPerSixteenth)
{
    if (state_.runCount == 0) Run(mixFrame, true);
    PushNewest(state_.beats, state_.beatCount, BeatMark{MusicFrameOf(mixFrame), sixteenths, framesPerSixteenth});
    published_.Store(state_);
}

void MusicClock::Clear()
{
    state_ = State{};
    published_.Store(state_);
}

// The music frame under a mix frame: from the latest run that began at or before it (the
// oldest one kept for frames before them all).
double MusicClock::MusicFrameAt(const State& state, double mixFrame)
{
    const RunMark* run = &state.runs[0];
    for (uint32_t i = 0; i < state.runCount; ++i)
        if (static_cast<double>(state.runs[i].mixFrame) <= mixFrame) run = &state.runs[i];
    double moved = run->moving ? mixFrame - static_cast<double>(run->mixFrame) : 0.0;
    return static_cast<double>(run->musicFrame) + moved;
}

// The first mix frame at which the music reaches a music frame, if it moves on from the
// newest run without stopping.
std::optional<double> MusicClock::MixFrameOf(const State& state, double musicFrame)
{
    for (uint32_t i = 0; i < state.runCount; ++i) {
        const RunMark& run = state.runs[i];
        bool last = i + 1 == state.runCount;
        double end = last ? INFINITY : MusicFrameAt(state, static_cast<double>(state.runs[i + 1].mixFrame));
        if (run.moving && musicFrame <= end && (musicFrame >= static_cast<double>(run.musicFrame) || i == 0))
            return static_cast<double>(run.mixFrame) + musicFrame - static_cast<double>(run.musicFrame);
    }
    return std::nullopt;
}

namespace {
template <class Beats>
const auto& BeatBefore(const Beats& beats, uint32_t count, double musicFrame)
{
    const auto* beat = &beats[0];
    for (uint32_t i = 0; i < count; ++i)
        if (static_cast<double>(beats[i].musicFrame) <= musicFrame) beat = &beats[i];
    return *beat;
}
} // namespace

std::optional<double> MusicClock::SixteenthsAtMixFrame(double mixFrame) const
{
    State state = published_.Load();
    if (state.beatCount == 0) return std::nullopt;
    double musicFrame = MusicFrameAt(state, mixFrame);
    const BeatMark& beat = BeatBefore(state.beats, state.beatCount, musicFrame);
    return beat.sixteenths + (musicFrame - static_cast<double>(beat.musicFrame)) / beat.framesPerSixteenth;
}

std::optional<double> MusicClock::SixteenthsAt(int64_t ns) const
{
    std::optional<double> heard = output_.FrameAt(ns);
    if (!heard) return std::nullopt;
    return SixteenthsAtMixFrame(*heard);
}

std::optional<int64_t> MusicClock::InstantOf(double sixteenths) const
{
    State state = published_.Load();
    if (state.beatCount == 0) return std::nullopt;
    const BeatMark& newest = state.beats[state.beatCount - 1];
    const BeatMark* beat = &state.beats[0];
    for (uint32_t i = 0; i < state.beatCount; ++i)
        if (state.beats[i].sixteenths <= sixteenths) beat = &state.beats[i];
    if (sixteenths > newest.sixteenths) beat = &newest;
    double musicFrame = static_cast<double>(beat->musicFrame) + (sixteenths - beat->sixteenths) * beat->framesPerSixteenth;
    std::optional<double> mixFrame = MixFrameOf(state, musicFrame);
    if (!mixFrame) return std::nullopt;
    return output_.InstantOf(*mixFrame);
}

double MusicClock::SecondsPerSixteenth(double sampleRate) const
{
    State state = published_.Load();
    if (state.beatCount == 0 || sampleRate <= 0) return 0.0;
    return state.beats[state.beatCount - 1].framesPerSixteenth / sampleRate;
}

} // namespace volleyrun
