// OutputClock: which mix frame is heard at a steady-clock instant, and when a mix frame will
// be heard. Mix frames count every frame pulled from the mixer since it started, across
// devices. The output driver's worker feeds it readings taken off the device after each write
// (an instant and the mix frame heard then: frames written minus the device's delay) and a
// least-squares line through the readings of the last second smooths them; the virtual
// output sets its exact line instead. One thread writes at a time (the worker, or the game
// thread for the virtual output); any thread reads one consistent line.
#pragma once

#include "published.h"

#include <array>
#include <cstdint>
#include <optional>

namespace volleyrun {

class OutputClock {
public:
    struct Line {
        int64_t originNs = 0;     // steady-clock instant ...
        double originFrame = 0;   // ... at which this mix frame is heard
        double framesPerNs = 0;   // the device's real pace
        bool valid = false;       // false until the first reading, and after a reset
    };

    static constexpr int64_t kWindowNs = 1'000'000'000;  // readings older than this are forgotten
    // A fitted pace further than this from the nominal rate is noise, not drift.
    static constexpr double kMaxDrift = 0.005;

    // Writer side.
    void SetNominalRate(double framesPerSecond);
    void Add(int64_t ns, double heardFrame);
    // Forgets every reading: a device opened, or an underrun restarted the stream.
    void Reset();
    void SetExact(int64_t originNs, double originFrame, double framesPerSecond);

    // Any thread.
    Line Current() const { return line_.Load(); }
    std::optional<double> FrameAt(int64_t ns) const;
    std::optional<int64_t> InstantOf(double frame) const;
    size_t Readings() const { return count_; }  // writer side

private:
    struct Reading {
        int64_t ns;
        double frame;
    };
    void Fit();

    static constexpr size_t kCapacity = 512;  // a second of readings at 96 kHz with 192-frame periods
    std::array<Reading, kCapacity> readings_{};  // a ring: the newest is at (first_ + count_ - 1)
    size_t first_ = 0;
    size_t count_ = 0;
    double nominalFramesPerNs_ = 48000 / 1e9;
    Published<Line> line_;
};

} // namespace volleyrun
