// Helpers for the audio tests: WAV files and bank files in a throw-away content folder.
#pragma once

#include "testcontent.h"

#include <sndfile.h>

#include <cmath>
#include <filesystem>
#include <numbers>
#include <string>
#include <vector>

namespace volleyrun {

namespace audio_content {

// Writes interleaved float samples as a 32-bit float WAV file.
inline void WriteWav(const std::filesystem::path& path, int rate, int channels, const std::vector<float>& samples)
{
    std::filesystem::create_directories(path.parent_path());
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* file = sf_open(path.string().c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
    sf_writef_float(file, samples.data(), static_cast<sf_count_t>(samples.size()) / channels);
    sf_close(file);
}

// Reads a WAV file as interleaved floats, with its channel count (and rate).
inline std::vector<float> ReadWav(const std::filesystem::path& path, int* channels, int* rate = nullptr)
{
    SF_INFO info{};
    SNDFILE* file = sf_open(path.string().c_str(), SFM_READ, &info);
    if (!file) return {};
    std::vector<float> samples(static_cast<size_t>(info.frames * info.channels));
    sf_readf_float(file, samples.data(), info.frames);
    sf_close(file);
    *channels = info.channels;
    if (rate) *rate = info.samplerate;
    return samples;
}

inline std::vector<float> Constant(int frames, int channels, float value)
{
    return std::vector<float>(static_cast<size_t>(frames * channels), value);
}

inline std::vector<float> Sine(int frames, int rate, double hz, float amplitude)
{
    std::vector<float> samples(static_cast<size_t>(frames));
    for (int i = 0; i < frames; ++i)
        samples[static_cast<size_t>(i)] = amplitude * static_cast<float>(std::sin(2.0 * std::numbers::pi * hz * i / rate));
    return samples;
}

// The content folder's audio part.
struct AudioFolder {
    explicit AudioFolder(std::filesystem::path contentRoot) : root(std::move(contentRoot))
    {
        std::filesystem::create_directories(Banks());
        std::filesystem::create_directories(Sounds());
    }
    std::filesystem::path Banks() const { return root / "Audio" / "Banks"; }
    std::filesystem::path Sounds() const { return root / "Audio" / "Sounds"; }
    std::string Bank(const std::string& file, const std::string& events) const  // returns its path
    {
        testing_content::WriteText(Banks() / file, R"({"version": 1, "events": [)" + events + "]}");
        return (Banks() / file).string();
    }
    void Sound(const std::string& file, int rate, int channels, const std::vector<float>& samples) const
    {
        WriteWav(Sounds() / file, rate, channels, samples);
    }

    std::filesystem::path root;
};

} // namespace audio_content

} // namespace volleyrun
