// Audio figures: the cost of an in-game mix as a share of one core, the output latency
// configured on ALSA's null device, and how far a BeatEvent's time stamp lies from its
// beat's sample in the virtual output.
#include "audiodriver.h"
#include "audioengine.h"
#include "engine.h"
#include "eventmanager.h"
#include "frameclock.h"
#include "runoptions.h"
#include "studioalsadevice.h"
#include "studiobank.h"
#include "studioeventdescription.h"
#include "studioeventinstance.h"
#include "studiosystem.h"

#include <benchmark/benchmark.h>
#include <sndfile.h>

#include <chrono>
#include <cmath>
#include <ctime>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <vector>

namespace {

namespace fs = std::filesystem;
constexpr int kRate = 48000;

void WriteWav(const fs::path& path, int channels, const std::vector<float>& samples)
{
    fs::create_directories(path.parent_path());
    SF_INFO info{};
    info.samplerate = kRate;
    info.channels = channels;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* file = sf_open(path.string().c_str(), SFM_WRITE, &info);
    sf_writef_float(file, samples.data(), static_cast<sf_count_t>(samples.size()) / channels);
    sf_close(file);
}

// Stereo noise-like content, so the filters and gains do real work.
std::vector<float> Stem(int seconds, double hz)
{
    std::vector<float> samples(static_cast<size_t>(2 * seconds * kRate));
    for (size_t i = 0; i < samples.size() / 2; ++i) {
        double t = static_cast<double>(i) / kRate;
        samples[2 * i] = static_cast<float>(0.3 * std::sin(2 * std::numbers::pi * hz * t) + 0.05 * std::sin(7919.0 * t * t));
        samples[2 * i + 1] = static_cast<float>(0.3 * std::sin(2 * std::numbers::pi * hz * 1.01 * t));
    }
    return samples;
}

void WriteText(const fs::path& path, const std::string& text)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path) << text;
}

// Content: six 20-second stereo stems of an in-game song (three following "Intensity",
// two behind low-pass filters following "Location") and a short stereo sting.
fs::path MixContent()
{
    fs::path root = fs::temp_directory_path() / "volleyrun-audio-bench";
    if (fs::exists(root / "Audio" / "Banks" / "music.json")) return root;
    for (int i = 0; i < 6; ++i) WriteWav(root / "Audio" / "Sounds" / ("stem" + std::to_string(i) + ".wav"), 2, Stem(20, 110.0 * (i + 1)));
    WriteWav(root / "Audio" / "Sounds" / "sting.wav", 2, Stem(1, 880.0));
    std::string tracks;
    for (int i = 0; i < 6; ++i) {
        tracks += std::string(i ? "," : "") + "{\"sound\": \"stem" + std::to_string(i) + ".wav\"";
        if (i < 3) tracks += ", \"gain\": [{\"parameter\": \"Intensity\", \"curve\": [[0, 0.3], [1, 1]]}]";
        if (i >= 4) tracks += ", \"lowpass\": {\"parameter\": \"Location\", \"curve\": [[0, 22000], [3, 800]]}";
        tracks += "}";
    }
    WriteText(root / "Audio" / "Banks" / "music.json",
              "{\"version\": 1, \"events\": [{\"path\": \"event:/InGame\", \"tempo\": 120, \"loop\": {\"start\": 0, \"end\": 20},"
              "\"parameters\": [{\"name\": \"Intensity\"}, {\"name\": \"Location\", \"max\": 3}, {\"name\": \"Beat\", \"min\": 1, \"max\": 4}],"
              "\"tracks\": [" + tracks + "]}, {\"path\": \"event:/Sting\", \"tracks\": [{\"sound\": \"sting.wav\"}]}]}");
    return root;
}

StudioEventInstance* Start(StudioSystem* studio, const char* path)
{
    StudioEventDescription* description = nullptr;
    StudioEventInstance* instance = nullptr;
    studio->GetEvent(path, &description);
    description->CreateInstance(&instance);
    instance->Start();
    return instance;
}

// Mixing cost in blocks of half a 480-frame period, as the driver pulls them. The
// counter core% is the share of one core the mix takes in real time.
void InGameMix(benchmark::State& state)
{
    fs::path root = MixContent();
    StudioSystem* studio = nullptr;
    StudioSystem::Create(&studio);
    studio->SetDSPBufferSize(240, 2);
    studio->Initialize(64);
    StudioBank* bank = nullptr;
    studio->LoadBankFile((root / "Audio" / "Banks" / "music.json").string(), &bank);
    bank->LoadSampleData();
    studio->FinishDecoding();  // the mix alone is measured
    StudioEventInstance* music = Start(studio, "event:/InGame");
    music->SetParameterValue("Intensity", 0.7f);
    music->SetParameterValue("Location", 1.5f);  // one filter half closed, gliding
    for (int i = 0; i < 3; ++i) Start(studio, "event:/Sting")->Release();
    std::vector<float> block(2 * 240);
    int64_t blocks = 0;
    timespec cpuStart{}, cpuEnd{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpuStart);
    auto wallStart = std::chrono::steady_clock::now();
    for (auto _ : state) {
        studio->Mix(block.data(), 240);
        benchmark::DoNotOptimize(block.data());
        ++blocks;
        if (blocks % 400 == 0) music->SetParameterValue("Intensity", blocks % 800 ? 0.2f : 0.9f);
        if (blocks % 100 == 0) Start(studio, "event:/Sting")->Release();  // a one-shot every 0.5 s, 1 s long
        if (blocks % 60 == 0) studio->Update();                               // as the game does each frame
    }
    double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpuEnd);
    double cpu = static_cast<double>(cpuEnd.tv_sec - cpuStart.tv_sec) + (cpuEnd.tv_nsec - cpuStart.tv_nsec) / 1e9;
    double audio = static_cast<double>(blocks) * 240.0 / kRate;  // seconds of sound mixed
    state.counters["core_percent_cpu"] = 100.0 * cpu / audio;
    state.counters["core_percent_wall"] = 100.0 * wall / audio;
    studio->Update();
    studio->Release();
}
BENCHMARK(InGameMix)->Unit(benchmark::kMicrosecond);

// The same with the game's own banks (../Quillmoor seen from the build folder, or the
// content root named by VOLLEYRUN_BENCH_DATA): the in-game song as the match plays it.
void ContentInGameMix(benchmark::State& state)
{
    const char* chosen = std::getenv("VOLLEYRUN_BENCH_DATA");
    fs::path banks = fs::path(chosen ? chosen : "../Quillmoor") / "Audio" / "Banks";
    if (!fs::is_directory(banks)) {
        state.SkipWithError("no banks in the content folder");
        return;
    }
    StudioSystem* studio = nullptr;
    StudioSystem::Create(&studio);
    studio->SetDSPBufferSize(240, 2);
    studio->Initialize(512);
    for (const auto& entry : fs::directory_iterator(banks)) {
        StudioBank* bank = nullptr;
        if (entry.path().filename().string()[0] == '.') continue;
        if (studio->LoadBankFile(entry.path().string(), &bank) != STUDIO_OK || bank->LoadSampleData() != STUDIO_OK) {
            state.SkipWithError(studio->LastError().c_str());
            studio->Release();
            return;
        }
    }
    studio->FinishDecoding();  // the mix alone is measured
    StudioEventInstance* music = Start(studio, "event:/InGame");
    music->SetParameterValue("Intensity", 1.0f);
    std::vector<float> block(2 * 240);
    int64_t blocks = 0;
    timespec cpuStart{}, cpuEnd{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpuStart);
    for (auto _ : state) {
        studio->Mix(block.data(), 240);
        benchmark::DoNotOptimize(block.data());
        ++blocks;
    }
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpuEnd);
    double cpu = static_cast<double>(cpuEnd.tv_sec - cpuStart.tv_sec) + (cpuEnd.tv_nsec - cpuStart.tv_nsec) / 1e9;
    state.counters["core_percent_cpu"] = 100.0 * cpu / (static_cast<double>(blocks) * 240.0 / kRate);
    studio->Release();
}
BENCHMARK(ContentInGameMix)->Unit(benchmark::kMicrosecond);

// The period and block the driver gets from ALSA's null device (the build machines have
// no card), and the cost of one pass of the worker's loop on it.
void AlsaNullDeviceLatency(benchmark::State& state)
{
    fs::path config = fs::temp_directory_path() / "volleyrun-bench-null.conf";
    WriteText(config, "pcm.!default { type null }\n");
    setenv("ALSA_CONFIG_PATH", config.string().c_str(), 1);
    StudioAlsaDevice device;
    unsigned period = 0, rate = 0;
    unsigned bufferFrames = 0;
    if (!device.Query(kRate, &period, &rate) || !device.Open(rate, AudioDriver::kMinimumPeriod, &period, &bufferFrames)) {
        state.SkipWithError("no ALSA null device");
        return;
    }
    unsigned block = period;
    std::vector<float> buffer(2 * block);
    for (auto _ : state) {
        if (device.Available() > static_cast<long>(block)) device.Write(buffer.data(), block);
    }
    state.counters["period_frames"] = period;
    state.counters["block_frames"] = block;
    state.counters["buffer_frames"] = device.BufferFrames();
    state.counters["latency_ms"] = 1000.0 * AudioDriver::kStartPeriods * period / rate;  // the driver's first latency
    state.counters["buffer_ms"] = 1000.0 * device.BufferFrames() / rate;
    device.Close();
    unsetenv("ALSA_CONFIG_PATH");
}
BENCHMARK(AlsaNullDeviceLatency);

struct BeatStamps {
    std::vector<int64_t> downbeats;
    void OnBeat(BeatEvent& event)
    {
        if (event.time.sixteenth == 0)
            downbeats.push_back(AudioEngine::Get()->Music().InstantOf(event.time.bar * 16.0).value_or(0));
    }
};

// A headless virtual-time engine playing a click on every beat, its mix written to a WAV
// file: each downbeat's time stamp against the time of the click's first sample.
void VirtualBeatDistance(benchmark::State& state)
{
    fs::path root = fs::temp_directory_path() / "volleyrun-audio-bench-virtual";
    fs::remove_all(root);
    std::string debug = "{\"zLayer\": 100, \"entities\": [";
    for (int i = 0; i < 3; ++i)
        debug += std::string(i ? "," : "") + "{\"name\": \"DebugText" + std::to_string(i) + "\", \"archetypeName\": \"\", \"SpriteText\": {}}";
    WriteText(root / "Spaces" / "Debug.txt", debug + "]}");
    WriteText(root / "Spaces" / "Splash.txt", "{\"zLayer\": 0, \"entities\": []}");
    fs::create_directories(root / "Archetypes");
    std::vector<float> clicks(2 * kRate);  // one bar at 120: a click every 24000 frames
    for (int beat = 0; beat < 4; ++beat)
        for (int i = 0; i < 48; ++i) clicks[static_cast<size_t>(beat * 24000 + i)] = 0.9f;
    WriteWav(root / "Audio" / "Sounds" / "clicks.wav", 1, clicks);
    WriteText(root / "Audio" / "Banks" / "music.json",
              "{\"version\": 1, \"events\": [{\"path\": \"event:/InGame\", \"tempo\": 120, \"loop\": {\"start\": 0, \"end\": 2},"
              "\"parameters\": [{\"name\": \"Beat\", \"min\": 1, \"max\": 4}], \"tracks\": [{\"sound\": \"clicks.wav\"}]}]}");
    double worst = 0.0, sum = 0.0;
    int64_t measured = 0;
    for (auto _ : state) {
        RunOptions& options = RunOptions::Get();
        options = RunOptions();
        options.data = root.string();
        options.headless = options.virtualTime = true;
        options.audioOut = (root / "mix.wav").string();
        BeatStamps stamps;
        Engine* engine = Engine::Get();
        engine->events->AddListener(&stamps, &BeatStamps::OnBeat);
        engine->Update();
        engine->events->Send(PlaySoundEvent("event:/InGame", false));
        for (int frame = 0; frame < 60 * 20; ++frame) engine->Update();
        // The last frame mixed up to one frame past its start: that fixes the time of sample 0.
        FrameClock* clock = FrameClock::Get();
        int64_t mixedUntil = clock->frameStart + clock->framePeriod;
        engine->events->RemoveListener<BeatEvent>(&stamps);
        Engine::Destroy();
        SF_INFO info{};
        SNDFILE* file = sf_open(options.audioOut.c_str(), SFM_READ, &info);
        std::vector<float> mix(static_cast<size_t>(info.frames * info.channels));
        sf_readf_float(file, mix.data(), info.frames);
        sf_close(file);
        int64_t firstSample = mixedUntil - info.frames * 1000000000LL / kRate;
        size_t next = 0;
        for (int64_t frame = 0; frame < info.frames && next < stamps.downbeats.size(); ++frame) {
            if (mix[static_cast<size_t>(2 * frame)] < 0.5f || (frame > 0 && mix[static_cast<size_t>(2 * frame - 2)] >= 0.5f))
                continue;  // not the first sample of a click
            int64_t sampleTime = firstSample + frame * 1000000000LL / kRate;
            if (std::abs(sampleTime - stamps.downbeats[next]) > 250000000) continue;  // a click between downbeats
            double distance = std::abs(static_cast<double>(sampleTime - stamps.downbeats[next++]));
            worst = std::max(worst, distance);
            sum += distance;
            ++measured;
        }
        RunOptions::Get() = RunOptions();
    }
    state.counters["downbeats"] = static_cast<double>(measured);
    state.counters["worst_us"] = worst / 1000.0;
    state.counters["mean_us"] = measured ? sum / static_cast<double>(measured) / 1000.0 : 0.0;
}
BENCHMARK(VirtualBeatDistance)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace
