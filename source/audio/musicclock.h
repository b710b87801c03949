// MusicClock: which musical position of the in-game music is heard at a steady-clock
// instant, and when a position will be heard. The mixing thread tells it, by mix frame,
// where the music's timeline starts or stops moving (start, pause, resume, end) and where
// each beat falls; the output clock says when a mix frame is heard. Between those points the
// music moves at its tempo, so the clock is exact to the sample while the music plays and
// stands still while it is paused. Positions are in sixteenths: bar * 16 + sixteenth, as the
// beats of the music count them. Written by the mixing thread only; any thread may ask.
#pragma once

#include "outputclock.h"
#include "published.h"

#include <array>
#include <cstdint>
#include <optional>

namespace volleyrun {

class MusicClock {
public:
    explicit MusicClock(const OutputClock& output) : output_(output) {}

    // Mixing thread, in mix order.
    // The music's timeline starts (or resumes) moving, or stops, at this mix frame.
    void Run(int64_t mixFrame, bool moving);
    // A beat at this mix frame is at this musical position; the music moves on at this pace.
    void Beat(int64_t mixFrame, double sixteenths, double framesPerSixteenth);
    void Clear();  // no music any more: the next start begins a new piece

    // Any thread. Empty until a beat has been heard of and the output clock runs.
    std::optional<double> SixteenthsAt(int64_t ns) const;
    std::optional<int64_t> InstantOf(double sixteenths) const;
    // The position the mixer has reached, and the seconds a sixteenth lasts (0 before a beat).
    std::optional<double> SixteenthsAtMixFrame(double mixFrame) const;
    double SecondsPerSixteenth(double sampleRate) const;

private:
    // Where the timeline starts or stops moving; musicFrame counts the frames it has moved.
    struct RunMark {
        int64_t mixFrame;
        int64_t musicFrame;
        bool moving;
    };
    struct BeatMark {
        int64_t musicFrame;
        double sixteenths;
        double framesPerSixteenth;
    };
    // The few latest runs and beats: readers ask about instants at most an output buffer
    // behind the mix, so older ones are never needed.
    static constexpr size_t kRuns = 8;
    static constexpr size_t kBeats = 4;
    struct State {
        std::array<RunMark, kRuns> runs;    // newest last among the first runCount
        std::array<BeatMark, kBeats> beats;
        uint32_t runCount;
        uint32_t beatCount;
    };

    static double MusicFrameAt(const State& state, double mixFrame);
    static std::optional<double> MixFrameOf(const State& state, double musicFrame);
    int64_t MusicFrameOf(int64_t mixFrame) const;  // mixing thread, from its own state

    const OutputClock& output_;
    State state_{};              // the mixing thread's copy
    Published<State> published_;
};

} // namespace volleyrun
