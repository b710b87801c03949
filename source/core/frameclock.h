// FrameClock: the game clock and the 60 Hz frame schedule. The engine starts it first of
// its services; Engine::Update calls Pace at the top of every frame and adds the result to
// totalTime, which gameplay and animation read. Now() is the one clock every
// timing reader uses (frame pacing, the audio beat clock, hit judgement), so virtual
// time replaces all of them at once. Game thread, except Now(), which is thread-safe.
#pragma once

#include "service.h"

#include <atomic>
#include <cstdint>
#include <functional>

namespace volleyrun {

class FrameClock : public Service<FrameClock> {
public:
    static constexpr const char* kServiceName = "the frame clock";
    // A clock source: reads nanoseconds, and waits a moment while a frame is early.
    // The real source sleeps until just before the deadline; the virtual one jumps to it.
    struct Source {
        std::function<int64_t()> now;
        std::function<void(int64_t deadline)> wait;
    };

    static FrameClock* Start();

    // Waits for the next frame start (calling poll between waits) and returns its dt.
    // An early frame returns exactly 1/framesPerSecond and moves the schedule one period;
    // a late one returns the real elapsed time and restarts the schedule from now.
    float Pace(const std::function<void()>& poll);

    int64_t Now() const;
    void SetSource(Source source);  // tests inject a scripted clock; resets frameStart

    int framesPerSecond = 60;
    float totalTime = 0.0f;          // seconds: the sum of every frame's dt
    int64_t framePeriod = 16666666;  // nanoseconds between frame starts
    int64_t frameStart = 0;          // nanoseconds: start of the current frame
    // Spends the frame's idle time up to an instant (the window waits for its events
    // there, so that each is handled as it happens); the wait then ends the frame exactly.
    std::function<void(int64_t until)> idle;

private:
    FrameClock();
    static Source RealSource();
    static Source VirtualSource();

    Source source_;
    static std::atomic<int64_t> virtualNow_;  // the virtual clock, shared with the audio side
};

} // namespace volleyrun
