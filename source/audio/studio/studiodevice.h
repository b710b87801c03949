// StudioDevice: the seam between the output driver and a playback device: stereo frames
// in, at a fixed rate, through a buffer the driver keeps filled to its latency. The ALSA
// device implements it for the game; tests implement it with scripted fakes and a simulated
// sound card. The driver queries and opens it on the game thread and feeds it from its
// worker thread, which sleeps in Wait between writes.
#pragma once

#include <chrono>
#include <cstdint>
#include <thread>

namespace volleyrun {

// What a device says about the sound it holds.
struct StudioDeviceStatus {
    int64_t delayFrames = 0;  // written but not yet heard, the sound server's own latency included
    int64_t stampNs = 0;      // steady-clock instant at which delayFrames held
};

class StudioDevice {
public:
    virtual ~StudioDevice() = default;

    // The device's smallest period (frames) and its rate near preferredRate, without
    // keeping it open. False when there is no device.
    virtual bool Query(unsigned preferredRate, unsigned* periodFrames, unsigned* rate) = 0;
    // Opens a stereo stream at exactly rate with a period of at least minimumPeriod frames
    // (and at least the device's own smallest) and a buffer of several periods, both
    // reported back. False when there is no device.
    virtual bool Open(unsigned rate, unsigned minimumPeriod, unsigned* periodFrames, unsigned* bufferFrames) = 0;
    // Frames that can be written now; negative when the device is lost. Errors that can be
    // mended (an underrun) are mended here and report 0.
    virtual long Available() = 0;
    // Sleeps until at least frames can be written, Interrupt is called or timeoutMs passes;
    // false when the device is lost. Devices that cannot wait just pause briefly.
    virtual bool Wait(unsigned frames, int timeoutMs)
    {
        (void)frames, (void)timeoutMs;
        std::this_thread::sleep_for(std::chrono::microseconds(500));
        return true;
    }
    // Writes interleaved stereo float frames; false when the device is lost.
    virtual bool Write(const float* stereo, unsigned frames) = 0;
    // The delay now and its time stamp; false when the device cannot tell, and the driver
    // then assumes the latency it asked for.
    virtual bool Status(StudioDeviceStatus* status)
    {
        (void)status;
        return false;
    }
    // Underruns mended since Open (worker thread).
    virtual uint64_t Underruns() const { return 0; }
    // Ends a Wait in progress early (the driver's stop, from the game thread).
    virtual void Interrupt() {}
    virtual void Close() = 0;
};

} // namespace volleyrun
