// StudioSound: one decoded sample file held in memory at the mix rate (mono or stereo
// float frames). Banks load their sounds when their sample data is loaded, on the game
// thread; after that the mixer reads them on the mixing thread without locking, since a
// loaded sound never changes. Shared by every track that names the same file.
#pragma once

#include "studioresult.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class StudioSound {
public:
    // Decodes an Ogg Vorbis or WAV file and resamples it to mixRate. On failure leaves
    // sound empty and describes the problem in error (the file is named by the caller).
    static StudioResult Load(const std::string& path, int mixRate, std::shared_ptr<const StudioSound>* sound,
                             std::string* error);

    // Reads only the header: the length at the mix rate, and whether the file is usable.
    static StudioResult Probe(const std::string& path, int mixRate, int64_t* frames, std::string* error);

    // Frame i of channel c (0 left, 1 right); a mono sound gives the same value for both.
    float Sample(int64_t frame, int channel) const
    {
        return samples[static_cast<size_t>(frame * channels + (channels == 2 ? channel : 0))];
    }

    int channels = 0;        // 1 or 2
    int64_t frames = 0;      // at the mix rate
    std::vector<float> samples;  // interleaved, channels * frames values
};
