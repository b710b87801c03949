// Test helpers for the audio tests: sample files written with libsndfile and bank files
// in a throw-away content folder (Audio/Banks beside Audio/Sounds).
#pragma once

#include "studiodevice.h"
#include "testcontent.h"

#include <sndfile.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <mutex>
#include <numbers>
#include <string>
#include <thread>
#include <vector>

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

// Reads a WAV file as interleaved floats; channels receives its channel count.
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

// The content folder's audio part: sounds in Audio/Sounds, banks in Audio/Banks.
struct AudioFolder {
    explicit AudioFolder(std::filesystem::path contentRoot) : root(std::move(contentRoot))
    {
        std::filesystem::create_directories(Banks());
        std::filesystem::create_directories(Sounds());
    }
    std::filesystem::path Banks() const { return root / "Audio" / "Banks"; }
    std::filesystem::path Sounds() const { return root / "Audio" / "Sounds"; }
    std::string Bank(const std::string& file, const std::string& events) const
    {
        std::filesystem::path path = Banks() / file;
        testing_content::WriteText(path, "{\"version\": 1, \"events\": [" + events + "]}");
        return path.string();
    }
    void Sound(const std::string& file, int rate, int channels, const std::vector<float>& samples) const
    {
        WriteWav(Sounds() / file, rate, channels, samples);
    }

    std::filesystem::path root;
};

// A playback device the test controls, through state shared by every device its factory
// makes. Unless a script of answers is given, its buffer drains in real time.
struct FakeDeviceState {
    std::atomic<bool> present{true};  // false: there is no device
    unsigned period = 480;
    unsigned rate = 48000;
    unsigned bufferFrames = 960;

    std::mutex lock;
    std::vector<long> script;         // answers to Available, in order, when not empty
    size_t next = 0;
    std::vector<std::string> log;     // "free N" and "write N", in order
    bool ScriptDone()
    {
        std::lock_guard guard(lock);
        return !script.empty() && next >= script.size();
    }
};

class FakeDevice final : public StudioDevice {
public:
    explicit FakeDevice(FakeDeviceState* state) : state_(state) {}
    bool Query(unsigned, unsigned* periodFrames, unsigned* rate) override
    {
        *periodFrames = state_->period;
        *rate = state_->rate;
        return state_->present;
    }
    bool Open(unsigned rate, unsigned, unsigned* periodFrames, unsigned* bufferFrames) override
    {
        if (!state_->present || rate != state_->rate) return false;
        *periodFrames = state_->period;
        *bufferFrames = state_->bufferFrames;
        start_ = std::chrono::steady_clock::now();
        return true;
    }
    long Available() override
    {
        std::lock_guard guard(state_->lock);
        if (!state_->script.empty()) {
            long free = state_->next < state_->script.size() ? state_->script[state_->next++] : 0;
            state_->log.push_back("free " + std::to_string(free));
            return free;
        }
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
        int64_t queued = std::max<int64_t>(0, written_ - static_cast<int64_t>(seconds * state_->rate));
        return static_cast<long>(state_->bufferFrames) - static_cast<long>(queued);
    }
    bool Write(const float*, unsigned frames) override
    {
        std::lock_guard guard(state_->lock);
        written_ += frames;
        if (!state_->script.empty()) state_->log.push_back("write " + std::to_string(frames));
        return true;
    }
    void Close() override {}

private:
    FakeDeviceState* state_;
    std::chrono::steady_clock::time_point start_;
    int64_t written_ = 0;  // frames written to this device
};

// Waits up to a few seconds for a condition another thread makes true.
template <class Condition>
bool WaitFor(Condition condition, double seconds = 5.0)
{
    auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

} // namespace audio_content
