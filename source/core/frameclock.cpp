#include "frameclock.h"

#include "runoptions.h"

#include <time.h>

#include <cerrno>
#include <chrono>
#include <memory>
#include <thread>

namespace volleyrun {

std::atomic<int64_t> FrameClock::virtualNow_{0};

FrameClock* FrameClock::Start()
{
    if (Exists()) return Get();
    return Publish(std::unique_ptr<FrameClock>(new FrameClock()));
}

FrameClock::FrameClock()
    : source_(RunOptions::Get().virtualTime ? VirtualSource() : RealSource())
{
    frameStart = Now();
}

namespace {
int64_t SteadyNow()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Sleeps to an absolute instant shortly before the deadline (the kernel wakes a little
// late, never early), then lets the caller finish with yields: the frame starts on time
// at a small fraction of the processor that waiting in a loop would cost.
void SleepNear(int64_t deadline)
{
    constexpr int64_t kFinishNs = 200'000;
    int64_t wake = deadline - kFinishNs;
    if (SteadyNow() >= wake) {
        std::this_thread::yield();
        return;
    }
    timespec until{static_cast<time_t>(wake / 1'000'000'000), static_cast<long>(wake % 1'000'000'000)};
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {}
}
} // namespace

// The steady clock is CLOCK_MONOTONIC on Linux, the clock the sleep and the sound card's
// time stamps use.
FrameClock::Source FrameClock::RealSource()
{
    return {SteadyNow, SleepNear};
}

FrameClock::Source FrameClock::VirtualSource()
{
    virtualNow_ = 0;
    return {
        [] { return virtualNow_.load(); },
        [](int64_t deadline) { virtualNow_ = deadline; },
    };
}

void FrameClock::SetSource(Source source)
{
    source_ = std::move(source);
    frameStart = Now();
}

int64_t FrameClock::Now() const
{
    return source_.now();
}

float FrameClock::Pace(const std::function<void()>& poll)
{
    int64_t now = Now();
    int64_t deadline = frameStart + framePeriod;
    if (now >= deadline) {
        float dt = static_cast<float>(static_cast<double>(now - frameStart) / 1e9);
        frameStart = now;
        return dt;
    }
    constexpr int64_t kIdleMarginNs = 300'000;
    if (idle) idle(deadline - kIdleMarginNs);
    for (now = Now(); now < deadline; now = Now()) {
        source_.wait(deadline);
        if (poll) poll();
    }
    frameStart += framePeriod;
    return 1.0f / static_cast<float>(framesPerSecond);
}

} // namespace volleyrun
