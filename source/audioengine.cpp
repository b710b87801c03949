#include "audioengine.h"

#include "audiodriver.h"
#include "engine.h"
#include "eventmanager.h"
#include "frameclock.h"
#include "gameerror.h"
#include "runoptions.h"
#include "studiobank.h"
#include "studiodebuglog.h"
#include "studioeventdescription.h"
#include "studioeventinstance.h"
#include "studiosystem.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>

namespace {
std::unique_ptr<AudioEngine> instance;

constexpr int kMaxPlaying = 512;
constexpr unsigned kTimelineMask = STUDIO_EVENT_CALLBACK_TIMELINE_MARKER | STUDIO_EVENT_CALLBACK_TIMELINE_BEAT;
constexpr uint32_t kDefaultRate = 48000;

template <class... Handlers>
struct Overloaded : Handlers... {
    using Handlers::operator()...;
};
// Spelled out for compilers without deduction for aggregates (clang before 17).
template <class... Handlers>
Overloaded(Handlers...) -> Overloaded<Handlers...>;

// Mixing thread, inside a timeline callback: when it reports the in-game music, sets the
// parameter on it there, so the change is heard from the beat's or marker's own sample.
// The change still goes to the game, marked when the music has it already.
ParameterChangeEvent SetOnMusicInMix(const char* name, float value)
{
    ParameterChangeEvent change(AudioEngine::kInGame, {{name, value}});
    StudioEventInstance* reported = StudioEventInstance::Reporting();
    StudioEventDescription* description = nullptr;
    change.appliedInMix = reported && reported->GetDescription(&description) == STUDIO_OK &&
                          description->path == AudioEngine::kInGame &&
                          reported->SetParameterValueInCallback(name, value) == STUDIO_OK;
    return change;
}

} // namespace

AudioEngine* AudioEngine::Get()
{
    if (!instance) {
        instance.reset(new AudioEngine());
        instance->Initialize();  // after publishing: code it reaches may ask for the engine
    }
    return instance.get();
}

bool AudioEngine::Exists()
{
    return instance != nullptr;
}

void AudioEngine::Destroy()
{
    if (!instance) return;
    instance->Release();
    instance.reset();
}

AudioEngine::AudioEngine() = default;

// Reached without Destroy only at process exit after a failed start-up: the output thread
// must still be stopped, but the trace may already be gone.
AudioEngine::~AudioEngine()
{
    quiet_ = true;
    Release();
}

void AudioEngine::Verify(StudioResult result) const
{
    if (result == STUDIO_OK) return;
    std::string context = StudioResultName(result);
    if (studio && !studio->LastError().empty()) context += ": " + studio->LastError();
    GameError::Check(false, "result == STUDIO_OK", __FILE__, context);
}

void AudioEngine::Trace(const std::string& text)
{
    if (quiet_ || !Engine::Exists()) return;
    // The trace starts listening after this engine and is first called a frame later:
    // start-up lines are kept for the first update rather than dropped.
    if (startingUp_) startupTrace_.push_back(text);
    else Engine::Get()->events->Send(TraceEvent(text));
}

void AudioEngine::Initialize()
{
    EventManager* events = Engine::Get()->events.get();
    events->AddListener(this, &AudioEngine::OnUpdate);
    events->AddListener(this, &AudioEngine::OnPlaySound);
    events->AddListener(this, &AudioEngine::OnPauseSound);
    events->AddListener(this, &AudioEngine::OnParameterChange);
    events->AddListener(this, &AudioEngine::OnSyncSound);
    if (const char* log = std::getenv("VOLLEYRUN_STUDIO_LOG"); log && *log) StudioDebugLog::Open(log);
    FrameClock::Get();  // created here, on the game thread, before any mixing thread reads it
    CreateStudio();
    LoadBanks();
}

void AudioEngine::CreateStudio()
{
    Verify(StudioSystem::Create(&studio));
    if (periodFrames == 0) QueryDevice();
    if (periodFrames != 0) {
        // Two buffers of half a device period each, mixed at the device's own rate.
        Verify(studio->SetDSPBufferSize(periodFrames / 2, 2));
        Verify(studio->SetSoftwareFormat(static_cast<int>(sampleRate)));
    }
    AudioDriver::Hooks hooks;
    hooks.trace = [this](const std::string& text) { Trace(text); };
    hooks.deviceLost = [this] { resetOutput = true; };
    hooks.virtualOutput = RunOptions::Get().virtualTime;
    driver_ = std::make_unique<AudioDriver>(std::move(hooks));
    if (const std::string& wav = RunOptions::Get().audioOut; !wav.empty()) {
        int rate = 0;
        std::string problem;
        Verify(studio->GetSoftwareFormat(&rate));
        if (!driver_->WriteTo(wav, rate, &problem)) throw GameError("Option --audio-out: " + problem);
    }
    StudioOutputDescription output = AudioDriver::Description();
    Verify(studio->RegisterOutput(&output, &outputHandle));
    Verify(studio->SetOutputByPlugin(outputHandle));
    Verify(studio->Initialize(kMaxPlaying));
    // A virtual-time run must sound the same every time, so its mix waits for decoding.
    studio->SetMixWaitsForDecoding(RunOptions::Get().virtualTime);
    unsigned int length = 0;
    int buffers = 0;
    Verify(studio->GetDSPBufferSize(&length, &buffers));
    Trace("Studio initialized with " + std::to_string(buffers) + " buffers, length " + std::to_string(length) +
          " each.\n");
}

// Every file in the bank folder is a bank, read in name order so every machine loads them
// alike; hidden files (version-control markers, editor swap files) are not banks.
void AudioEngine::LoadBanks()
{
    namespace fs = std::filesystem;
    std::string folder = RunOptions::Get().ContentPath("Audio/Banks");
    std::vector<fs::path> files;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
        if (it->is_regular_file() && it->path().filename().string()[0] != '.') files.push_back(it->path());
    std::sort(files.begin(), files.end());
    if (files.empty()) Trace("No sound banks found in " + folder + "\n");
    for (const fs::path& file : files) {
        StudioBank* bank = nullptr;
        Verify(studio->LoadBankFile(file.string(), &bank));
        banks.push_back(bank);
        Verify(bank->LoadSampleData());
    }
}

void AudioEngine::Release()
{
    if (studio) studio->Release();  // closes the output, joining its thread, and frees every bank
    studio = nullptr;
    driver_.reset();
    if (!quiet_ && Engine::Exists()) {
        EventManager* events = Engine::Get()->events.get();
        events->RemoveListener<UpdateEvent>(this);
        events->RemoveListener<PlaySoundEvent>(this);
        events->RemoveListener<PauseSoundEvent>(this);
        events->RemoveListener<ParameterChangeEvent>(this);
        events->RemoveListener<SyncSoundEvent>(this);
    }
    instances.clear();
    banks.clear();
    handOver_.clear();
    StudioDebugLog::Close();
}

void AudioEngine::QueryDevice()
{
    if (RunOptions::Get().virtualTime) {
        // The virtual device's period is one frame.
        sampleRate = kDefaultRate;
        periodFrames = static_cast<uint32_t>(std::llround(kDefaultRate * FrameClock::Get()->framePeriod / 1e9));
        return;
    }
    unsigned period = 0, rate = 0;
    std::unique_ptr<StudioDevice> device = AudioDriver::MakeDevice();
    if (!device->Query(kDefaultRate, &period, &rate)) {
        sampleRate = kDefaultRate;
        periodFrames = 0;
        return;
    }
    periodFrames = period;
    sampleRate = rate;
}

double AudioEngine::GetOutputLatency()
{
    if (RunOptions::Get().virtualTime) return 0.0;
    if (periodFrames == 0) QueryDevice();
    if (periodFrames == 0 || sampleRate == 0) return 0.0;
    return static_cast<double>(periodFrames) / sampleRate;
}

void AudioEngine::SetMasterVolume(float newVolume)
{
    volume = newVolume;
    if (studio) studio->SetMasterVolume(newVolume);
}

void AudioEngine::OnUpdate(UpdateEvent&)
{
    if (startingUp_) {
        startingUp_ = false;
        for (const std::string& line : startupTrace_) Trace(line);
        startupTrace_.clear();
    }
    FrameClock* clock = FrameClock::Get();
    driver_->MixVirtual(clock->Now(), clock->framePeriod);
    GameError::Check(driver_->WorkerFailure() == STUDIO_OK, "result == STUDIO_OK", "audiodriver",
                     StudioResultName(driver_->WorkerFailure()));
    if (studio->Update() != STUDIO_OK) Trace(studio->LastError() + "\n");
    DrainHandOver();
    // Cleared before the switch, so a device lost again during it is not forgotten.
    if (resetOutput.exchange(false)) ResetOutput();
}

// Selecting the silent output and then the plug-in again closes the driver and opens it
// anew on whatever device is the default now; instances keep their timeline positions.
void AudioEngine::ResetOutput()
{
    Verify(studio->SetOutputSilent());
    Verify(studio->SetOutputByPlugin(outputHandle));
}

void AudioEngine::OnPlaySound(PlaySoundEvent& event)
{
    StudioEventDescription* description = nullptr;
    Verify(studio->GetEvent(event.path, &description));
    bool oneShot = false;
    Verify(description->IsOneshot(&oneShot));
    bool tracked = event.keepInstance || !oneShot;
    StudioEventInstance* sound = nullptr;
    if (tracked && (sound = instances[event.path])) Verify(sound->Stop());
    if (!sound) Verify(description->CreateInstance(&sound));
    Verify(sound->SetUserData(this));
    Verify(sound->SetCallback(&AudioEngine::OnTimelineCallback, kTimelineMask));
    for (const auto& [name, value] : event.parameters) Verify(sound->SetParameterValue(name, value));
    Verify(sound->Start());
    if (tracked) instances[event.path] = sound;
    else Verify(sound->Release());
}

void AudioEngine::OnPauseSound(PauseSoundEvent& event)
{
    if (StudioEventInstance* sound = instances[event.path]) sound->SetPaused(event.paused);
}

// A change the mixer applied already is not set again: by now the music may be a beat further.
void AudioEngine::OnParameterChange(ParameterChangeEvent& event)
{
    if (event.appliedInMix) return;
    auto entry = instances.find(event.path);
    if (entry == instances.end() || !entry->second) return;
    for (const auto& [name, value] : event.parameters) entry->second->SetParameterValue(name, value);
}

void AudioEngine::OnSyncSound(SyncSoundEvent& event)
{
    StudioEventInstance* target = instances[event.path];
    StudioEventInstance* source = instances[event.sourcePath];
    if (!target || !source) return;
    int position = 0;
    Verify(source->GetTimelinePosition(&position));
    Verify(target->SetTimelinePosition(position));
}

StudioResult AudioEngine::OnTimelineCallback(unsigned type, StudioEventInstance* sound, void* parameters)
{
    void* data = nullptr;
    sound->GetUserData(&data);
    auto* engine = static_cast<AudioEngine*>(data);
    if (!engine) return STUDIO_OK;
    StudioEventDescription* description = nullptr;
    if (StudioResult result = sound->GetDescription(&description); result != STUDIO_OK) {
        engine->Hand({Failure{StudioResultName(result)}, std::nullopt});
        return STUDIO_OK;
    }
    engine->Hand({TraceEvent("type " + std::to_string(type)), std::nullopt});
    if (type == STUDIO_EVENT_CALLBACK_TIMELINE_BEAT) {
        std::string path;
        if (StudioResult result = description->GetPath(&path); result != STUDIO_OK)
            engine->Hand({Failure{StudioResultName(result)}, std::nullopt});
        else engine->OnBeat(*static_cast<const StudioTimelineBeat*>(parameters), path);
    } else if (type == STUDIO_EVENT_CALLBACK_TIMELINE_MARKER) {
        engine->OnMarker(*static_cast<const StudioTimelineMarker*>(parameters));
    }
    return STUDIO_OK;
}

// Mixing thread. The downbeat's time stamp is the clock now plus the beat's place in the
// block being mixed: the moment its sample would play if the block played at once.
void AudioEngine::OnBeat(const StudioTimelineBeat& beat, const std::string& path)
{
    if (path != kInGame) return;
    if (beat.bar < 0) {
        mixClock_.downbeatTime.bar = 0;
        mixClock_.downbeatTime.sixteenth = 0;
        Hand({ClockOnly{}, mixClock_});
        return;
    }
    if (beat.beat == 1) {
        mixClock_.downbeatClock = FrameClock::Get()->Now() + beat.offsetNanoseconds;
        mixClock_.tempo = beat.tempo;
        mixClock_.downbeatTime.bar += static_cast<int32_t>(barCounting_);
        mixClock_.downbeatTime.sixteenth = 0;
        barCounting_ = 1;
        Hand({BeatEvent(mixClock_.downbeatTime, beat.tempo), mixClock_});
    } else {
        BeatTime time(mixClock_.downbeatTime.bar, mixClock_.downbeatTime.sixteenth + 4 * beat.beat - 4);
        // Bars longer than eight beats would leave the bar after one wrap.
        while (time.sixteenth >= BeatTime::kSixteenthsPerBar) time = BeatTime(time.bar + 1, time.sixteenth - 16);
        mixClock_.currentTime = time;
        Hand({BeatEvent(time, beat.tempo), mixClock_});
    }
    Hand({SetOnMusicInMix("Beat", static_cast<float>(beat.beat)), std::nullopt});
}

void AudioEngine::OnMarker(const StudioTimelineMarker& marker)
{
    std::string_view name = marker.name;
    if (name == "LowIntensity") Hand({SetOnMusicInMix("Intensity", 0.0f), std::nullopt});
    if (name == "HighIntensity") Hand({SetOnMusicInMix("Intensity", 1.0f), std::nullopt});
}

void AudioEngine::Hand(HandOver item)
{
    std::lock_guard guard(handOverLock_);
    handOver_.push_back(std::move(item));
}

// Game thread. Each item's beat clock is published before its event goes out, so a
// listener of a BeatEvent reads the clock of that very beat.
void AudioEngine::DrainHandOver()
{
    {
        std::lock_guard guard(handOverLock_);
        draining_.swap(handOver_);
    }
    std::vector<HandOver> batch = std::move(draining_);
    draining_.clear();
    EventManager* events = Engine::Get()->events.get();
    for (HandOver& handed : batch) {
        if (handed.clock) clock_ = *handed.clock;
        std::visit(Overloaded{
                       [&](Failure& failure) {
                           GameError::Check(false, "result == STUDIO_OK", __FILE__,
                                            "in the timeline callback: " + failure.expression);
                       },
                       [](ClockOnly&) {},
                       [&](auto& event) { events->Send(event); },
                   },
                   handed.item);
    }
    batch.clear();
    draining_.swap(batch);  // keeps the capacity for the next frame
}
