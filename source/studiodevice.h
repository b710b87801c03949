// StudioDevice: the seam between the output driver and a playback device: stereo frames
// in, at a fixed rate, through a buffer the driver fills a block at a time. The ALSA
// device implements it for the game; tests implement it with a scripted fake. The driver
// queries and opens it on the game thread and feeds it from its worker thread.
#pragma once

class StudioDevice {
public:
    virtual ~StudioDevice() = default;

    // The device's smallest period (frames) and its rate near preferredRate, without
    // keeping it open. False when there is no device.
    virtual bool Query(unsigned preferredRate, unsigned* periodFrames, unsigned* rate) = 0;
    // Opens a stereo stream at exactly rate with the smallest period, reported back.
    // False when there is no device.
    virtual bool Open(unsigned rate, unsigned* periodFrames) = 0;
    // Frames that can be written now; negative when the device is lost. Errors that can be
    // mended (an underrun) are mended here and report 0.
    virtual long Available() = 0;
    // Writes interleaved stereo float frames; false when the device is lost.
    virtual bool Write(const float* stereo, unsigned frames) = 0;
    virtual void Close() = 0;
};
