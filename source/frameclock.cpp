#include "frameclock.h"

#include "runoptions.h"

#include <chrono>
#include <memory>
#include <thread>

namespace {
std::unique_ptr<FrameClock> instance;
}

std::atomic<int64_t> FrameClock::virtualNow_{0};

FrameClock* FrameClock::Get()
{
    if (!instance) instance.reset(new FrameClock());
    return instance.get();
}

void FrameClock::Destroy()
{
    instance.reset();
}

FrameClock::FrameClock()
    : source_(RunOptions::Get().virtualTime ? VirtualSource() : RealSource())
{
    frameStart = Now();
}

FrameClock::Source FrameClock::RealSource()
{
    return {
        [] {
            return static_cast<int64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                            std::chrono::steady_clock::now().time_since_epoch())
                                            .count());
        },
        [](int64_t) { std::this_thread::sleep_for(std::chrono::nanoseconds(1)); },
    };
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
    while (now < deadline) {
        source_.wait(deadline);
        if (poll) poll();
        now = Now();
    }
    frameStart += framePeriod;
    return 1.0f / static_cast<float>(framesPerSecond);
}
