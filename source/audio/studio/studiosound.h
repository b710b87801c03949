// StudioSound: one sample file held in memory at the mix rate (mono or stereo float
// frames). The game thread opens it (Open reads the header and sets its length aside);
// the studio's loader thread then decodes it front to back and publishes each piece,
// while the mixer, on the mixing thread, already plays the frames published so far.
// Shared by every track that names the same file; what was published never changes.
#pragma once

#include "studioresult.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

namespace volleyrun {

class StudioSound {
public:
    // What a file's header tells: enough to set the room for a sound aside.
    struct Shape {
        int channels = 0;     // 1 or 2
        int fileRate = 0;     // the file's own sample rate
        int64_t frames = 0;   // at the mix rate
    };

    // Reads an Ogg Vorbis or WAV file's header only; on failure describes the problem in
    // error (the file is named by the caller).
    static StudioResult Probe(const std::string& path, int mixRate, Shape* shape, std::string* error);
    // A sound of that shape with nothing decoded yet; a StudioSoundDecoder fills it.
    static std::shared_ptr<StudioSound> Create(const std::string& path, const Shape& shape);

    // Frames that may be read: decoded ones, or all of them once decoding has ended
    // (a failed decode leaves silence behind the point it reached).
    int64_t Ready() const { return ready_.load(std::memory_order_acquire); }
    bool Complete() const { return Ready() == frames; }
    // Blocks until Ready() reaches count (or the end of the sound).
    void WaitFor(int64_t count) const;

    // Interleaved, channels values per frame; only the first Ready() frames may be read.
    const float* Samples() const { return samples_.get(); }

    // The decoder's side: frames [Ready(), Ready() + count) are written at Writable(),
    // then made visible to readers with Publish(count).
    float* Writable() { return samples_.get() + Ready() * channels; }
    void Publish(int64_t count);

    const std::string path;
    const int channels;     // 1 or 2
    const int64_t frames;   // at the mix rate
    const int fileRate;     // the file's own sample rate

private:
    StudioSound(std::string path, const Shape& shape);

    std::unique_ptr<float[]> samples_;  // left uninitialised: the decoder writes every frame
    std::atomic<int64_t> ready_{0};
};

} // namespace volleyrun
