// A playback device that refuses to open, fails mid-stream, disappears and comes back, or reports mended underruns,
// as the shared plan says; it takes sound only as fast as the test grants frames.
#pragma once

#include "studiodevice.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

namespace volleyrun {

struct FaultPlan {
    std::atomic<bool> present{true};      // false: no device at all (Query and Open fail)
    std::atomic<int> refuseOpens{0};      // opens still to refuse while the device is present
    std::atomic<bool> lost{false};        // the open device is gone: its next Available or Write fails
    std::atomic<bool> failWrites{false};  // the open device fails while taking a block
    std::atomic<int> underrunEvery{0};    // every Nth Available reports a mended underrun (0); 0 never
    unsigned period = 480, rate = 48000;
    // Successful and refused opens, closes, underruns reported, devices open now.
    std::atomic<int> opens{0}, refused{0}, closes{0}, underruns{0}, openNow{0};

    // Lets frames more of sound be written, across devices.
    void Grant(int64_t frames) { std::lock_guard guard(lock); granted += frames; }
    int64_t Written() { std::lock_guard guard(lock); return written; }
    int64_t Granted() { std::lock_guard guard(lock); return granted; }

    std::mutex lock;
    int64_t granted = 0, written = 0;  // frames allowed and written, over every device
    std::vector<unsigned> writes;      // the frames of each write, in order
};

class FaultDevice final : public StudioDevice {
public:
    explicit FaultDevice(FaultPlan* plan) : plan_(plan) {}
    ~FaultDevice() override { Close(); }

    bool Query(unsigned, unsigned* periodFrames, unsigned* rate) override
    {
        *periodFrames = plan_->period;
        *rate = plan_->rate;
        return plan_->present;
    }
    bool Open(unsigned rate, unsigned, unsigned* periodFrames, unsigned* bufferFrames) override
    {
        if (!plan_->present || rate != plan_->rate) return false;
        if (plan_->refuseOpens > 0) {
            --plan_->refuseOpens;
            ++plan_->refused;
            return false;
        }
        *periodFrames = plan_->period;
        *bufferFrames = 2 * plan_->period;
        open_ = true;
        ++plan_->opens;
        ++plan_->openNow;
        return true;
    }
    long Available() override
    {
        if (Failed(false)) return -1;
        if (int every = plan_->underrunEvery; every > 0 && ++polls_ % every == 0) {
            ++plan_->underruns;
            return 0;
        }
        std::lock_guard guard(plan_->lock);
        return static_cast<long>(std::clamp<int64_t>(plan_->granted - plan_->written, 0, 2 * plan_->period));
    }
    bool Write(const float*, unsigned frames) override
    {
        if (Failed(true)) return false;
        std::lock_guard guard(plan_->lock);
        plan_->written += frames;
        plan_->writes.push_back(frames);
        return true;
    }
    void Close() override
    {
        if (!open_) return;
        open_ = false;
        ++plan_->closes;
        --plan_->openNow;
    }

private:
    bool Failed(bool writing) const
    {
        return !open_ || !plan_->present || plan_->lost || (writing && plan_->failWrites);
    }

    FaultPlan* plan_;
    bool open_ = false;
    int polls_ = 0;  // calls of Available
};

} // namespace volleyrun
