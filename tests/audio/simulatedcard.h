// A simulated sound card in virtual time shared with the test (benchmarks may use real time): the pointer moves a
// period at a time at the card's drifting pace, Status reports the frames queued plus a server's latency as ALSA
// does, and the plan can stall the feeder or lose the device. Time moves only when every party waits.
#pragma once

#include "studiodevice.h"

#include <time.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

namespace volleyrun {

namespace simulated_card {

// Steady-clock nanoseconds; with real set (before a card opens) the steady clock itself.
class SimulatedTime {
public:
    bool real = false;

    int64_t Now()
    {
        if (real) return SteadyNow();
        std::lock_guard guard(lock_);
        return now_;
    }
    // Test side: runs time to t and returns once the card has done all that falls due by then.
    void AdvanceTo(int64_t t)
    {
        if (real) {
            timespec until{static_cast<time_t>(t / 1'000'000'000), static_cast<long>(t % 1'000'000'000)};
            while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {}
            return;
        }
        std::unique_lock lock(lock_);
        allowed_ = std::max(allowed_, t);
        wake_.notify_all();
        wake_.wait(lock, [&] { return cards_ == 0 || (sleeping_ && sleepingUntil_ > allowed_); });
        now_ = std::max(now_, t);
    }
    // Card side: sleeps until t (false when interrupted first).
    bool SleepUntil(int64_t t, const std::atomic<bool>& interrupted)
    {
        std::unique_lock lock(lock_);
        if (real) {
            auto deadline = std::chrono::steady_clock::time_point(std::chrono::nanoseconds(t));
            wake_.wait_until(lock, deadline, [&] { return interrupted || SteadyNow() >= t; });
            return !interrupted;
        }
        sleeping_ = true;
        sleepingUntil_ = t;
        wake_.notify_all();
        wake_.wait(lock, [&] { return interrupted || allowed_ >= t; });
        sleeping_ = false;
        if (interrupted) return false;
        now_ = std::max(now_, t);
        return true;
    }
    void Join(int change)  // a card opens (+1) or closes (-1)
    {
        std::lock_guard guard(lock_);
        cards_ += change;
        wake_.notify_all();
    }
    void Notify() { wake_.notify_all(); }

private:
    static int64_t SteadyNow()
    {
        return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }

    std::mutex lock_;
    std::condition_variable wake_;
    int64_t now_ = 0, allowed_ = 0, sleepingUntil_ = 0;
    int cards_ = 0;  // cards whose worker the test must wait for
    bool sleeping_ = false;
};

struct CardPlan {
    SimulatedTime time;
    unsigned rate = 48000, period = 1024, periods = 16;  // the buffer holds periods periods
    int64_t serverLatencyNs = 20'000'000;
    double driftPpm = 100.0;
    std::atomic<int64_t> stallAt{-1};  // the next Wait at or after this instant sleeps stallNs more
    int64_t stallNs = 0;
    std::atomic<bool> lost{false};           // the open card is gone: its next Wait fails
    std::atomic<bool> delayNonsense{false};  // Status reports a negative delay
    bool capture = false;                    // keep the left channel of everything written

    // Each stretch of unbroken playback: its first mix frame and the instant the card played it.
    struct Stretch { int64_t firstFrame, startNs; };
    std::mutex lock;
    std::vector<Stretch> stretches;
    std::vector<std::pair<int64_t, int64_t>> unheard;  // frames a lost card never played: [first, end)
    int64_t written = 0;                               // frames, over every card
    std::vector<float> left;                           // when capturing: every frame written
    int opens = 0, underruns = 0;

    double FramesPerNs() const { return rate * (1.0 + driftPpm * 1e-6) / 1e9; }
    // When a listener hears a frame (over every card); -1 for a frame a lost card dropped.
    int64_t HeardAt(int64_t frame)
    {
        std::lock_guard guard(lock);
        for (auto [first, end] : unheard)
            if (frame >= first && frame < end) return -1;
        const Stretch* stretch = &stretches.front();
        for (const Stretch& s : stretches)
            if (s.firstFrame <= frame) stretch = &s;
        return stretch->startNs + std::llround(static_cast<double>(frame - stretch->firstFrame) / FramesPerNs()) +
               serverLatencyNs;
    }
};

class SimulatedCard final : public StudioDevice {
public:
    explicit SimulatedCard(CardPlan* plan) : plan_(plan) {}
    ~SimulatedCard() override { Close(); }

    bool Query(unsigned, unsigned* periodFrames, unsigned* rate) override
    {
        *periodFrames = plan_->period;
        *rate = plan_->rate;
        return true;
    }
    bool Open(unsigned rate, unsigned minimumPeriod, unsigned* periodFrames, unsigned* bufferFrames) override
    {
        if (rate != plan_->rate) return false;
        *periodFrames = period_ = std::max(plan_->period, minimumPeriod);
        *bufferFrames = buffer_ = plan_->periods * period_;
        std::lock_guard guard(plan_->lock);
        ++plan_->opens;
        open_ = true;
        plan_->time.Join(+1);
        return true;
    }
    long Available() override
    {
        Advance();
        return static_cast<long>(buffer_) - static_cast<long>(written_ - played_);
    }
    bool Wait(unsigned frames, int timeoutMs) override
    {
        if (plan_->lost) return Gone();
        Advance();
        int64_t now = plan_->time.Now(), until = now + int64_t{timeoutMs} * 1'000'000;
        int64_t needed = written_ - buffer_ + std::min(frames, buffer_);  // the pointer must pass this
        if (running_ && needed > played_) until = std::min(until, StepTime((needed - startFrame_ + period_ - 1) / period_));
        else until = now;  // room already, or a stopped card that nothing will drain
        if (int64_t stall = plan_->stallAt; stall >= 0 && now >= stall) {
            plan_->stallAt = -1;
            until += plan_->stallNs;
        }
        if (until > now && !plan_->time.SleepUntil(until, interrupted_)) return true;
        return plan_->lost ? Gone() : true;
    }
    bool Write(const float* stereo, unsigned frames) override
    {
        Advance();
        if (!running_) Start();
        written_ += frames;
        std::lock_guard guard(plan_->lock);
        plan_->written += frames;
        for (unsigned i = 0; plan_->capture && i < frames; ++i) plan_->left.push_back(stereo[2 * i]);
        return true;
    }
    bool Status(StudioDeviceStatus* status) override
    {
        Advance();
        if (!running_) return false;
        int64_t serverFrames = std::llround(plan_->serverLatencyNs * plan_->rate / 1e9);
        status->delayFrames = plan_->delayNonsense ? -5 : written_ - played_ + serverFrames;
        status->stampNs = StepTime((played_ - startFrame_) / period_);
        return true;
    }
    uint64_t Underruns() const override { return underruns_; }
    void Interrupt() override { interrupted_ = true; plan_->time.Notify(); }
    void Close() override
    {
        if (!open_) return;
        open_ = false;
        plan_->time.Join(-1);
    }

private:
    bool Gone()
    {
        Advance();
        {
            std::lock_guard guard(plan_->lock);
            plan_->unheard.push_back({plan_->written - (written_ - played_), plan_->written});
        }
        Close();  // the worker ends: the test no longer waits for it
        return false;
    }
    // Playback starts with a write, at the card's frame written_.
    void Start()
    {
        running_ = true;
        startFrame_ = played_ = written_;
        startNs_ = plan_->time.Now();
        std::lock_guard guard(plan_->lock);
        plan_->stretches.push_back({plan_->written, startNs_});
    }
    int64_t StepTime(int64_t steps) const
    {
        return startNs_ + std::llround(static_cast<double>(steps * period_) / plan_->FramesPerNs());
    }
    // Moves the pointer to now, a period at a time, exactly as StepTime rounds; running dry is an underrun.
    void Advance()
    {
        if (!running_) return;
        int64_t now = plan_->time.Now();
        auto steps = static_cast<int64_t>(std::floor(static_cast<double>(now - startNs_) * plan_->FramesPerNs() / period_));
        while (StepTime(steps + 1) <= now) ++steps;
        while (steps > 0 && StepTime(steps) > now) --steps;
        played_ = std::min(startFrame_ + steps * period_, written_);
        if (startFrame_ + steps * period_ <= written_) return;
        running_ = false;
        ++underruns_;
        std::lock_guard guard(plan_->lock);
        ++plan_->underruns;
    }

    CardPlan* plan_;
    bool open_ = false, running_ = false;
    unsigned period_ = 0, buffer_ = 0;
    int64_t written_ = 0;     // frames written to this card
    int64_t played_ = 0;      // frames the pointer has passed
    int64_t startFrame_ = 0;  // this card's frame at which the current stretch began
    int64_t startNs_ = 0;
    uint64_t underruns_ = 0;
    std::atomic<bool> interrupted_{false};
};

} // namespace simulated_card

} // namespace volleyrun
