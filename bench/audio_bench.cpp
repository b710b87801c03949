// Audio figures: the cost of an in-game mix as a share of one core, the output latency
// configured on ALSA's null device, how far a BeatEvent's time stamp lies from its beat's
// sample in the virtual output, and the music clock: the output clock against a simulated
// card in virtual time, the judgement of the first ball after pauses in a virtual-time
// engine, and the output worker feeding a simulated card in real time (its share of a core
// and its underruns).
#include "audiodriver.h"
#include "audioengine.h"
#include "engine.h"
#include "eventmanager.h"
#include "frameclock.h"
#include "runoptions.h"
#include "simulatedcard.h"
#include "studioalsadevice.h"
#include "studiobank.h"
#include "studioeventdescription.h"
#include "studioeventinstance.h"
#include "studiosystem.h"

#include <benchmark/benchmark.h>
#include <pthread.h>
#include <sched.h>
#include <sndfile.h>
#include <time.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <ctime>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <numbers>
#include <optional>
#include <random>
#include <thread>
#include <vector>

namespace volleyrun {

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
        Engine* engine = Engine::Start();
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

double Percentile(std::vector<double> values, double fraction)
{
    if (values.empty()) return 0.0;
    std::sort(values.begin(), values.end());
    return values[static_cast<size_t>(std::llround(fraction * static_cast<double>(values.size() - 1)))];
}

// p50, p99 and worst of the magnitudes of errors (milliseconds), under prefix.
void ReportSpread(benchmark::State& state, const std::string& prefix, std::vector<double> errorsMs)
{
    for (double& error : errorsMs) error = std::abs(error);
    state.counters[prefix + "p50_ms"] = Percentile(errorsMs, 0.5);
    state.counters[prefix + "p99_ms"] = Percentile(errorsMs, 0.99);
    state.counters[prefix + "worst_ms"] = Percentile(errorsMs, 1.0);
}

// An engine content folder whose in-game music (120 beats a minute, one bar looped) is a
// one-sample click on every sixteenth, its height telling the sixteenth in the bar: 0.2 for
// the downbeat, 0.04 more for each sixteenth after it.
fs::path SixteenthClicks()
{
    fs::path root = fs::temp_directory_path() / "volleyrun-clock-bench";
    if (fs::exists(root / "Audio" / "Banks" / "music.json")) return root;
    WriteText(root / "Spaces" / "Debug.txt", "{\"zLayer\": 100, \"entities\": []}");
    WriteText(root / "Spaces" / "Splash.txt", "{\"zLayer\": 0, \"entities\": []}");
    fs::create_directories(root / "Archetypes");
    std::vector<float> clicks(2 * 2 * kRate);  // stereo, one bar
    for (int sixteenth = 0; sixteenth < 16; ++sixteenth)
        clicks[2 * static_cast<size_t>(sixteenth * 6000)] = clicks[2 * static_cast<size_t>(sixteenth * 6000) + 1] =
            0.2f + 0.04f * static_cast<float>(sixteenth);
    WriteWav(root / "Audio" / "Sounds" / "clicks.wav", 2, clicks);
    WriteText(root / "Audio" / "Banks" / "music.json",
              "{\"version\": 1, \"events\": [{\"path\": \"event:/InGame\", \"tempo\": 120, \"loop\": {\"start\": 0, \"end\": 2},"
              "\"parameters\": [{\"name\": \"Beat\", \"min\": 1, \"max\": 4}], \"tracks\": [{\"sound\": \"clicks.wav\"}]}]}");
    return root;
}

// What the mixing thread saw of the music: each beat's mix frame and the instant it was mixed,
// and the worker's processor clock.
struct MixLog {
    simulated_card::CardPlan* plan = nullptr;
    std::mutex lock;
    std::vector<std::pair<int64_t, int64_t>> beats;  // under lock
    std::atomic<bool> workerKnown{false};
    clockid_t workerClock{};
    pthread_t worker{};

    static StudioResult OnBeat(unsigned, StudioEventInstance* instance, void* parameters)
    {
        void* data = nullptr;
        instance->GetUserData(&data);
        auto* log = static_cast<MixLog*>(data);
        if (!log->workerKnown) {
            log->worker = pthread_self();
            pthread_getcpuclockid(log->worker, &log->workerClock);
            log->workerKnown = true;
        }
        std::lock_guard guard(log->lock);
        log->beats.emplace_back(static_cast<const StudioTimelineBeat*>(parameters)->mixFrame, log->plan->time.Now());
        return STUDIO_OK;
    }
};

// How the worker kept up with a card in real time: the latest it woke (the frames free beyond
// those it waited for, which grow a period at a time as the pointer moves) and the longest it
// took from a wake-up to its first write (the mix, the wait for the studio's lock included).
struct WorkerWatch {
    std::atomic<long> worstLateFrames{0};
    std::atomic<int64_t> worstMixNs{0};
    std::atomic<int> slowMixes{0};  // over a millisecond
};

// The simulated card as the worker sees it, watched.
class WatchedCard final : public StudioDevice {
public:
    WatchedCard(simulated_card::CardPlan* plan, WorkerWatch* watch) : card_(plan), watch_(watch) {}

    bool Query(unsigned preferredRate, unsigned* periodFrames, unsigned* rate) override
    {
        return card_.Query(preferredRate, periodFrames, rate);
    }
    bool Open(unsigned rate, unsigned minimumPeriod, unsigned* periodFrames, unsigned* bufferFrames) override
    {
        return card_.Open(rate, minimumPeriod, periodFrames, bufferFrames);
    }
    long Available() override { return card_.Available(); }
    bool Wait(unsigned frames, int timeoutMs) override
    {
        bool alive = card_.Wait(frames, timeoutMs);
        woke_ = Steady();
        long late = card_.Available() - static_cast<long>(frames);
        if (late > watch_->worstLateFrames) watch_->worstLateFrames = late;
        return alive;
    }
    bool Write(const float* stereo, unsigned frames) override
    {
        if (woke_ >= 0) {
            int64_t took = Steady() - woke_;
            woke_ = -1;
            if (took > watch_->worstMixNs) watch_->worstMixNs = took;
            if (took > 1'000'000) ++watch_->slowMixes;
        }
        return card_.Write(stereo, frames);
    }
    bool Status(StudioDeviceStatus* status) override { return card_.Status(status); }
    uint64_t Underruns() const override { return card_.Underruns(); }
    void Interrupt() override { card_.Interrupt(); }
    void Close() override { card_.Close(); }

private:
    static int64_t Steady()
    {
        return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }

    simulated_card::SimulatedCard card_;
    WorkerWatch* watch_;
    int64_t woke_ = -1;  // the last wake-up not yet followed by a write
};

// A studio mixing through the output driver onto a simulated card (watched when a watch is
// given), set up as the audio engine sets them up (blocks of half a device period), playing
// the in-game music of the banks given.
class CardRig {
public:
    CardRig(simulated_card::CardPlan* plan, const std::vector<fs::path>& banks, WorkerWatch* watch = nullptr)
    {
        log.plan = plan;
        AudioDriver::SetDeviceFactory([plan, watch]() -> std::unique_ptr<StudioDevice> {
            if (watch) return std::make_unique<WatchedCard>(plan, watch);
            return std::make_unique<simulated_card::SimulatedCard>(plan);
        });
        AudioDriver::Hooks hooks;
        hooks.now = [plan] { return plan->time.Now(); };
        driver = std::make_unique<AudioDriver>(std::move(hooks));
        StudioSystem::Create(&studio);
        studio->SetDSPBufferSize(plan->period / 2, 2);
        StudioOutputDescription output = AudioDriver::Description();
        unsigned handle = 0;
        studio->RegisterOutput(&output, &handle);
        studio->SetOutputByPlugin(handle);
        studio->Initialize(512);
        for (const fs::path& path : banks) {
            StudioBank* bank = nullptr;
            if (studio->LoadBankFile(path.string(), &bank) != STUDIO_OK || bank->LoadSampleData() != STUDIO_OK)
                error = studio->LastError();
        }
        studio->FinishDecoding();
        if (!error.empty()) return;
        StudioEventInstance* music = Start(studio, AudioEngine::kInGame);
        music->SetParameterValue("Intensity", 1.0f);
        music->SetUserData(&log);
        music->SetCallback(&MixLog::OnBeat, STUDIO_EVENT_CALLBACK_TIMELINE_BEAT);
    }
    ~CardRig()
    {
        studio->Release();
        driver.reset();
        AudioDriver::SetDeviceFactory(nullptr);
    }

    MixLog log;
    std::unique_ptr<AudioDriver> driver;
    StudioSystem* studio = nullptr;
    std::string error;  // a bank that did not load
};

// The output clock on a simulated card (1024-frame periods, 20 ms of server latency, 100 ppm
// fast), a minute of music in virtual time, stepped a 60 Hz frame at a time as a game would:
// each beat's heard instant as the clock believes it, asked on the first frame after it is
// heard, against the card's truth. The old design stamped a beat at the instant it was mixed
// plus one device period; "old_" models that on the same card.
void SimulatedCardClockError(benchmark::State& state)
{
    std::vector<double> errors, old;
    for (auto _ : state) {
        auto plan = std::make_unique<simulated_card::CardPlan>();
        CardRig rig(plan.get(), {SixteenthClicks() / "Audio" / "Banks" / "music.json"});
        size_t judged = 0;
        for (int64_t frame = 1; frame <= 60 * 60; ++frame) {
            int64_t now = frame * 16'666'667;
            plan->time.AdvanceTo(now);
            std::lock_guard guard(rig.log.lock);
            for (; judged < rig.log.beats.size() && plan->HeardAt(rig.log.beats[judged].first) <= now; ++judged) {
                auto [mixFrame, mixedAt] = rig.log.beats[judged];
                int64_t truth = plan->HeardAt(mixFrame);
                if (std::optional<int64_t> belief = rig.driver->Clock().InstantOf(static_cast<double>(mixFrame)))
                    errors.push_back(static_cast<double>(*belief - truth) / 1e6);
                old.push_back((static_cast<double>(mixedAt - truth) + plan->period * 1e9 / plan->rate) / 1e6);
            }
        }
        state.counters["underruns"] = plan->underruns;
    }
    state.counters["beats"] = static_cast<double>(errors.size());
    ReportSpread(state, "", errors);
    ReportSpread(state, "old_", old);
}
BENCHMARK(SimulatedCardClockError)->Unit(benchmark::kMillisecond)->Iterations(1);

// One pause of the in-game music and the first ball after it.
struct PauseCase {
    int playFrames = 0;    // music before the pause: its phase in the bar
    int pauseFrames = 0;   // its length
    int ahead = 0;         // sixteenths the ball arrives after the earliest arrival chosen
    int32_t arrival = 0;   // the arrival, in sixteenths from the first downbeat
    int64_t resumedNs = 0; // the instant the music moves again
    int64_t heardNs = 0;   // the instant the arrival's click is heard, from the mix
    std::optional<double> errorMs;  // the judgement of a press at heardNs
};

// One headless virtual-time run of the click music through every pause, its mix written to
// wav. The ball of each pause arrives 5 to 12 sixteenths past the last beat counted before the
// pause. When judge is set (and heardNs known) a press at the very instant the arrival is
// heard is judged on the first frame whose mix reaches it. Returns the instant of sample 0.
int64_t RunPauses(const fs::path& root, const fs::path& wav, std::vector<PauseCase>& cases, bool judge)
{
    RunOptions& options = RunOptions::Get();
    options = RunOptions();
    options.data = root.string();
    options.headless = options.virtualTime = true;
    options.audioOut = wav.string();
    Engine* engine = Engine::Start();
    AudioEngine* audio = AudioEngine::Get();
    FrameClock* clock = FrameClock::Get();
    // The virtual output's sample 0 plays at the start of the first frame that mixes.
    int64_t firstSample = -1;
    while (firstSample < 0) {
        engine->Update();
        if (audio->Driver()->VirtualFramesMixed() > 0) firstSample = clock->frameStart;
    }
    engine->events->Send(PlaySoundEvent(AudioEngine::kInGame, false));
    auto counted = [audio] {
        BeatTime down = audio->DownbeatTime(), beat = audio->CurrentTime();
        return std::max(down.bar * 16 + down.sixteenth, beat.bar * 16 + beat.sixteenth);
    };
    for (PauseCase& pause : cases) {
        for (int frame = 0; frame < pause.playFrames; ++frame) engine->Update();
        pause.arrival = counted() + 5 + pause.ahead;
        engine->events->Send(PauseSoundEvent(AudioEngine::kInGame, true));
        for (int frame = 0; frame < pause.pauseFrames; ++frame) engine->Update();
        engine->events->Send(PauseSoundEvent(AudioEngine::kInGame, false));
        pause.resumedNs = clock->frameStart + clock->framePeriod;  // the next frame's mix moves again
        bool judged = !judge;
        for (int frame = 0; frame < 60 * 5 && (!judged || counted() < pause.arrival + 4); ++frame) {
            engine->Update();
            if (judged || clock->frameStart + clock->framePeriod <= pause.heardNs) continue;
            std::optional<double> seconds = audio->SecondsFrom(BeatTime(pause.arrival / 16, pause.arrival % 16), pause.heardNs);
            if (seconds) pause.errorMs = 1000.0 * *seconds;
            judged = true;
        }
    }
    Engine::Destroy();
    RunOptions::Get() = RunOptions();
    return firstSample;
}

// The instant each click of a mix is heard, in order, and the sixteenth its height tells.
std::vector<std::pair<int64_t, int>> ReadClicks(const fs::path& wav, int64_t firstSample)
{
    SF_INFO info{};
    SNDFILE* file = sf_open(wav.string().c_str(), SFM_READ, &info);
    std::vector<float> mix(static_cast<size_t>(info.frames * info.channels));
    sf_readf_float(file, mix.data(), info.frames);
    sf_close(file);
    float loudest = 0.0f;
    for (size_t i = 0; i < mix.size(); i += 2) loudest = std::max(loudest, mix[i]);
    std::vector<std::pair<int64_t, int>> clicks;
    for (int64_t frame = 0; frame < info.frames; ++frame) {
        float height = mix[static_cast<size_t>(2 * frame)];
        if (height < 0.1f * loudest) continue;
        int sixteenth = static_cast<int>(std::lround((height / loudest * 0.8f - 0.2f) / 0.04f));
        clicks.emplace_back(firstSample + (frame * 1'000'000'000LL + kRate / 2) / kRate, sixteenth);
    }
    return clicks;
}

// The first ball after a pause: fifty pauses of 0.01 to 10 s (a frame at the least; lengths
// spread evenly on a log scale) at random phases of the bar (0.5 to 2.5 s of music before
// each), in a headless virtual-time engine playing the click music. A first run finds from its
// mix when each arrival is heard; an identical second run judges a press at exactly that
// instant with AudioEngine::SecondsFrom.
void VirtualPauseJudgement(benchmark::State& state)
{
    fs::path root = SixteenthClicks();
    std::vector<double> errors;
    int misread = 0, beforeResume = 0, unjudged = 0, shortest = INT32_MAX, longest = 0;
    for (auto _ : state) {
        std::mt19937 random(11);
        std::vector<PauseCase> cases(50);
        for (size_t i = 0; i < cases.size(); ++i) {
            PauseCase& pause = cases[i];
            pause.playFrames = std::uniform_int_distribution(30, 150)(random);
            double seconds = std::pow(10.0, -2.0 + 3.0 * static_cast<double>(i) / static_cast<double>(cases.size() - 1));
            pause.pauseFrames = std::max(1, static_cast<int>(std::lround(seconds * 60.0)));
            pause.ahead = std::uniform_int_distribution(0, 7)(random);
            shortest = std::min(shortest, pause.pauseFrames);
            longest = std::max(longest, pause.pauseFrames);
        }
        int64_t firstSample = RunPauses(root, root / "pauses-found.wav", cases, false);
        std::vector<std::pair<int64_t, int>> clicks = ReadClicks(root / "pauses-found.wav", firstSample);
        for (size_t k = 0; k < clicks.size(); ++k) misread += clicks[k].second != static_cast<int>(k % 16) ? 1 : 0;
        for (PauseCase& pause : cases) pause.heardNs = clicks.at(static_cast<size_t>(pause.arrival)).first;
        RunPauses(root, root / "pauses-judged.wav", cases, true);
        if (ReadClicks(root / "pauses-judged.wav", firstSample) != clicks) misread = -1;  // the runs differ
        for (const PauseCase& pause : cases) {
            if (pause.heardNs <= pause.resumedNs) ++beforeResume;
            if (pause.errorMs) errors.push_back(*pause.errorMs);
            else ++unjudged;
        }
    }
    double sum = 0.0;
    for (double error : errors) sum += error;
    state.counters["pauses"] = static_cast<double>(errors.size());
    state.counters["mean_ms"] = errors.empty() ? 0.0 : sum / static_cast<double>(errors.size());
    ReportSpread(state, "", errors);
    state.counters["clicks_misread"] = misread;  // -1: the two runs did not mix the same
    state.counters["arrivals_before_resume"] = beforeResume;
    state.counters["unjudged"] = unjudged;
    state.counters["shortest_pause_s"] = shortest / 60.0;
    state.counters["longest_pause_s"] = longest / 60.0;
}
BENCHMARK(VirtualPauseJudgement)->Unit(benchmark::kMillisecond)->Iterations(1);

// The output worker feeding a simulated card in real time (period as the first argument, the
// driver's own starting latency, 20 ms server latency, 100 ppm) with the game's in-game song
// for the seconds of the second argument, a 60 Hz game thread updating the studio beside it:
// the worker's processor time, mixing included, as a share of a core, the underruns (while the
// banks load, in the first 5 s of music, after them) with the latency they led to, and when the
// third argument is set, the output clock's error on each beat, asked on the first frame after
// it is heard. The worker's latest wake-up and its slowest mix say which one an underrun
// came from. Judging takes the card's and the beat log's locks, which the worker takes too:
// the underrun figure is taken without it, so only the studio's own lock is shared, as in the game.
void RealTimeCardWorker(benchmark::State& state)
{
    fs::path folder = fs::path(VOLLEYRUN_SOURCE_DIR) / "Quillmoor" / "Audio" / "Banks";
    std::vector<fs::path> banks;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().filename().string()[0] != '.') banks.push_back(entry.path());
    std::sort(banks.begin(), banks.end());
    for (auto _ : state) {
        auto plan = std::make_unique<simulated_card::CardPlan>();
        plan->time.real = true;
        plan->period = static_cast<unsigned>(state.range(0));
        WorkerWatch watch;
        CardRig rig(plan.get(), banks, &watch);
        if (!rig.error.empty()) {
            state.SkipWithError(rig.error.c_str());
            return;
        }
        int64_t start = plan->time.Now();
        while (!rig.log.workerKnown && plan->time.Now() < start + 5'000'000'000)
            plan->time.AdvanceTo(plan->time.Now() + 16'666'667);
        if (!rig.log.workerKnown) {
            state.SkipWithError("the music never reached a beat");
            return;
        }
        timespec cpuStart{}, cpuEnd{};
        clock_gettime(rig.log.workerClock, &cpuStart);
        watch.worstLateFrames = 0;  // from the music on, the loading left out
        watch.worstMixNs = 0;
        watch.slowMixes = 0;
        start = plan->time.Now();
        uint64_t loading = rig.driver->Underruns(), seen = loading, early = 0;
        int64_t lastUnderrun = -1;
        std::vector<double> errors;
        size_t judged = rig.log.beats.size();
        for (int64_t frame = 1; frame <= state.range(1) * 60; ++frame) {
            plan->time.AdvanceTo(start + frame * 16'666'667);
            rig.studio->Update();
            if (state.range(2)) {
                std::lock_guard guard(rig.log.lock);
                for (int64_t now = plan->time.Now(); judged < rig.log.beats.size(); ++judged) {
                    int64_t mixFrame = rig.log.beats[judged].first, truth = plan->HeardAt(mixFrame);
                    if (truth > now) break;
                    if (std::optional<int64_t> belief = rig.driver->Clock().InstantOf(static_cast<double>(mixFrame)))
                        errors.push_back(static_cast<double>(*belief - truth) / 1e6);
                }
            }
            if (uint64_t count = rig.driver->Underruns(); count != seen) {
                if (frame <= 5 * 60) early += count - seen;
                lastUnderrun = frame;
                seen = count;
            }
        }
        clock_gettime(rig.log.workerClock, &cpuEnd);
        double wall = static_cast<double>(plan->time.Now() - start) / 1e9;
        double cpu = static_cast<double>(cpuEnd.tv_sec - cpuStart.tv_sec) + (cpuEnd.tv_nsec - cpuStart.tv_nsec) / 1e9;
        int policy = 0;
        sched_param parameters{};
        pthread_getschedparam(rig.log.worker, &policy, &parameters);
        state.counters["worker_core_percent"] = 100.0 * cpu / wall;
        state.counters["worker_realtime_priority"] = policy == SCHED_FIFO ? 1 : 0;
        state.counters["underruns_loading"] = static_cast<double>(loading);
        state.counters["underruns_first_5s"] = static_cast<double>(early);
        state.counters["underruns_after_5s"] = static_cast<double>(seen - loading - early);
        state.counters["last_underrun_s"] = lastUnderrun < 0 ? 0.0 : static_cast<double>(lastUnderrun) / 60.0;
        state.counters["latency_frames"] = rig.driver->LatencyFrames();
        state.counters["latency_ms"] = 1000.0 * rig.driver->LatencyFrames() / plan->rate;
        state.counters["worst_wake_late_ms"] = 1000.0 * static_cast<double>(watch.worstLateFrames) / plan->rate;
        state.counters["worst_mix_ms"] = static_cast<double>(watch.worstMixNs) / 1e6;
        state.counters["mixes_over_1ms"] = watch.slowMixes.load();
        if (state.range(2)) {
            state.counters["beats"] = static_cast<double>(errors.size());
            ReportSpread(state, "clock_", errors);
        }
    }
}
BENCHMARK(RealTimeCardWorker)->Args({1024, 20, 1})->Args({128, 20, 1})->Args({128, 60, 0})->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

// How late a thread at the worker's real-time priority wakes from clock_nanosleep to an absolute
// deadline every 128 frames at 48 kHz, over a minute: the floor under any latency the driver
// can keep on this machine.
void RealTimeWakeLatency(benchmark::State& state)
{
    sched_param parameters{};
    parameters.sched_priority = std::max(1, sched_get_priority_min(SCHED_FIFO) + 9);  // as the worker asks
    bool realTime = false;
    std::vector<double> lateMs;
    for (auto _ : state) {
        std::thread sleeper([&] {
            realTime = pthread_setschedparam(pthread_self(), SCHED_FIFO, &parameters) == 0;
            auto steady = [] {
                timespec now{};
                clock_gettime(CLOCK_MONOTONIC, &now);
                return now.tv_sec * 1'000'000'000LL + now.tv_nsec;
            };
            constexpr int64_t kPeriod = 128 * 1'000'000'000LL / kRate;
            int64_t deadline = steady();
            for (int64_t end = deadline + 60'000'000'000LL; deadline < end;) {
                deadline += kPeriod;
                timespec until{static_cast<time_t>(deadline / 1'000'000'000), static_cast<long>(deadline % 1'000'000'000)};
                while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {}
                lateMs.push_back(static_cast<double>(steady() - deadline) / 1e6);
            }
        });
        sleeper.join();
    }
    state.counters["realtime_priority"] = realTime ? 1 : 0;
    state.counters["wakes"] = static_cast<double>(lateMs.size());
    state.counters["p99_9_ms"] = Percentile(lateMs, 0.999);
    ReportSpread(state, "", lateMs);
    auto over5 = std::count_if(lateMs.begin(), lateMs.end(), [](double ms) { return ms > 5.0; });
    state.counters["over_5ms"] = static_cast<double>(over5);
}
BENCHMARK(RealTimeWakeLatency)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

} // namespace

} // namespace volleyrun
