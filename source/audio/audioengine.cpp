#include "audioengine.h"

#include "audiodriver.h"
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
#include <string_view>

namespace volleyrun {

namespace {

constexpr int kMaxPlaying = 512;
constexpr unsigned kTimelineMask =
    STUDIO_EVENT_CALLBACK_TIMELINE_MARKER | STUDIO_EVENT_CALLBACK_TIMELINE_BEAT | STUDIO_EVENT_CALLBACK_TIMELINE_RUN;
constexpr uint32_t kDefaultRate = 48000;

// Mixing thread, inside a timeline callback: when it reports the in-game music, sets the
// parameter on it there, so the change is heard from the beat's or marker's own sample.
// True when the music has it already.
bool SetOnMusicInMix(const char* name, float value)
{
    StudioEventInstance* reported = StudioEventInstance::Reporting();
    StudioEventDescription* description = nullptr;
    return reported && reported->GetDescription(&description) == STUDIO_OK &&
           description->path == AudioEngine::kInGame && reported->SetParameterValueInCallback(name, value) == STUDIO_OK;
}

} // namespace

AudioEngine* AudioEngine::Start(EventManager& events)
{
    if (Exists()) return Get();
    AudioEngine* audio = Publish(std::unique_ptr<AudioEngine>(new AudioEngine()));
    audio->events_ = &events;
    audio->Initialize();  // after publishing: code it reaches may ask for the engine
    return audio;
}

void AudioEngine::Destroy()
{
    if (!Exists()) return;
    Get()->Release();
    Service::Destroy();
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
    if (quiet_) return;
    // The trace starts listening after this engine and is first called a frame later:
    // start-up lines are kept for the first update rather than dropped.
    if (startingUp_) startupTrace_.push_back(text);
    else events_->Send(TraceEvent(text));
}

void AudioEngine::Initialize()
{
    EventManager* events = events_;
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
    hooks.now = [] { return FrameClock::Get()->Now(); };
    hooks.virtualOutput = RunOptions::Get().virtualTime;
    driver_ = std::make_unique<AudioDriver>(std::move(hooks));
    music_ = std::make_unique<MusicClock>(driver_->Clock());
    click_ = std::make_unique<MusicClock>(driver_->Clock());
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
    if (!hooks.virtualOutput && !driver_->Running()) Trace("Audio output: no device; the music is silent\n");
}

// Every file in the bank folder is a bank, read in name order so every machine loads them
// alike; hidden files (version-control markers, editor swap files) are not banks.
void AudioEngine::LoadBanks()
{
    namespace fs = std::filesystem;
    std::string folder = RunOptions::Get().ContentPath("Audio/Banks");
    std::vector<fs::path> files;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        if (it->path().filename().string()[0] == '.') continue;
        std::error_code unreadable;  // a link to nowhere, a link loop
        if (it->is_regular_file(unreadable)) files.push_back(it->path());
        else if (unreadable) Trace(it->path().string() + ": skipped, it cannot be opened: " + unreadable.message() + "\n");
    }
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
    if (!quiet_) {
        EventManager* events = events_;
        events->RemoveListener<UpdateEvent>(this);
        events->RemoveListener<PlaySoundEvent>(this);
        events->RemoveListener<PauseSoundEvent>(this);
        events->RemoveListener<ParameterChangeEvent>(this);
        events->RemoveListener<SyncSoundEvent>(this);
    }
    instances.clear();
    banks.clear();
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

const OutputClock& AudioEngine::Output() const
{
    return driver_->Clock();
}

std::optional<double> AudioEngine::SecondsFrom(BeatTime time, int64_t instant) const
{
    std::optional<double> heard = music_ ? music_->SixteenthsAt(instant) : std::nullopt;
    double secondsPerSixteenth = music_ ? music_->SecondsPerSixteenth(sampleRate) : 0.0;
    if (!heard || secondsPerSixteenth <= 0.0) return std::nullopt;
    double target = static_cast<double>(time.bar) * BeatTime::kSixteenthsPerBar + time.sixteenth;
    return (*heard - target) * secondsPerSixteenth;
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
    driver_->ReportChanges();
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

// Mixing thread: nothing here allocates or waits for the game thread.
StudioResult AudioEngine::OnTimelineCallback(unsigned type, StudioEventInstance* sound, void* parameters)
{
    void* data = nullptr;
    sound->GetUserData(&data);
    auto* engine = static_cast<AudioEngine*>(data);
    if (!engine) return STUDIO_OK;
    StudioEventDescription* description = nullptr;
    if (StudioResult result = sound->GetDescription(&description); result != STUDIO_OK) {
        HandOver failure = HandOver::Of(HandOver::kFailure);
        failure.failure = result;
        engine->Hand(failure);
        return STUDIO_OK;
    }
    bool inGame = description->path == kInGame;
    if (description->path == kClickTrack) return engine->OnClickTrack(type, parameters);
    if (type == STUDIO_EVENT_CALLBACK_TIMELINE_RUN) {
        const auto& run = *static_cast<const StudioTimelineRun*>(parameters);
        if (inGame) engine->music_->Run(run.mixFrame, run.moving);
        return STUDIO_OK;
    }
    HandOver trace = HandOver::Of(HandOver::kTrace);
    trace.type = type;
    engine->Hand(trace);
    if (type == STUDIO_EVENT_CALLBACK_TIMELINE_BEAT && inGame)
        engine->OnBeat(*static_cast<const StudioTimelineBeat*>(parameters));
    else if (type == STUDIO_EVENT_CALLBACK_TIMELINE_MARKER)
        engine->OnMarker(*static_cast<const StudioTimelineMarker*>(parameters));
    return STUDIO_OK;
}

// Mixing thread. Every beat of the in-game music is stamped by its frame in the mix: the
// music clock then knows exactly when it is heard. Count-in beats only reset the count.
void AudioEngine::OnBeat(const StudioTimelineBeat& beat)
{
    if (beat.bar < 0) {
        mixClock_.downbeatTime.bar = 0;
        mixClock_.downbeatTime.sixteenth = 0;
        Hand(HandOver::Of(HandOver::kClockOnly).WithClock(mixClock_));
        return;
    }
    BeatTime time;
    if (beat.beat == 1) {
        mixClock_.tempo = beat.tempo;
        mixClock_.downbeatTime.bar += static_cast<int32_t>(barCounting_);
        mixClock_.downbeatTime.sixteenth = 0;
        barCounting_ = 1;
        time = mixClock_.downbeatTime;
    } else {
        time = BeatTime(mixClock_.downbeatTime.bar, mixClock_.downbeatTime.sixteenth + 4 * beat.beat - 4);
        // Bars longer than eight beats would leave the bar after one wrap.
        while (time.sixteenth >= BeatTime::kSixteenthsPerBar) time = BeatTime(time.bar + 1, time.sixteenth - 16);
        mixClock_.currentTime = time;
    }
    if (beat.tempo > 0.0f)
        music_->Beat(beat.mixFrame, static_cast<double>(time.bar) * BeatTime::kSixteenthsPerBar + time.sixteenth,
                     sampleRate * 15.0 / beat.tempo);
    HandOver note = HandOver::Of(HandOver::kBeat).WithClock(mixClock_);
    note.time = time;
    note.tempo = beat.tempo;
    Hand(note);
    HandParameter("Beat", static_cast<float>(beat.beat));
}

// Mixing thread. The click track only moves its own clock: its beats are nobody's game.
// They are counted, not read from the timeline, so a restarted track never goes back.
StudioResult AudioEngine::OnClickTrack(unsigned type, void* parameters)
{
    if (type == STUDIO_EVENT_CALLBACK_TIMELINE_RUN) {
        const auto& run = *static_cast<const StudioTimelineRun*>(parameters);
        click_->Run(run.mixFrame, run.moving);
    } else if (type == STUDIO_EVENT_CALLBACK_TIMELINE_BEAT) {
        const auto& beat = *static_cast<const StudioTimelineBeat*>(parameters);
        if (beat.tempo > 0.0f) click_->Beat(beat.mixFrame, 4.0 * static_cast<double>(clickBeats_++), sampleRate * 15.0 / beat.tempo);
    }
    return STUDIO_OK;
}

void AudioEngine::OnMarker(const StudioTimelineMarker& marker)
{
    std::string_view name = marker.name;
    if (name == "LowIntensity") HandParameter("Intensity", 0.0f);
    if (name == "HighIntensity") HandParameter("Intensity", 1.0f);
}

void AudioEngine::HandParameter(const char* name, float value)
{
    HandOver note = HandOver::Of(HandOver::kParameter);
    note.parameter = name;
    note.value = value;
    note.appliedInMix = SetOnMusicInMix(name, value);
    Hand(note);
}

// A full ring means the game thread has not drained for seconds; the note is dropped and
// counted rather than making the mix wait.
void AudioEngine::Hand(const HandOver& item)
{
    if (!handOver_.Push(item)) ++handOverLost_;
}

// Game thread. Each note's beat count is published before its event goes out, so a
// listener of a BeatEvent reads the count of that very beat.
void AudioEngine::DrainHandOver()
{
    HandOver item;
    while (handOver_.Pop(&item)) Deliver(item);
    if (uint64_t lost = handOverLost_; lost != handOverLostReported_) {
        Trace("Audio: " + std::to_string(lost - handOverLostReported_) + " timeline notes dropped while the game stalled\n");
        handOverLostReported_ = lost;
    }
}

void AudioEngine::Deliver(const HandOver& item)
{
    if (item.hasClock) clock_ = item.clock;
    EventManager* events = events_;
    switch (item.kind) {
    case HandOver::kTrace: events->Send(TraceEvent("type " + std::to_string(item.type) + "\n")); break;
    case HandOver::kBeat: events->Send(BeatEvent(item.time, item.tempo)); break;
    case HandOver::kParameter: {
        ParameterChangeEvent change(kInGame, {{item.parameter, item.value}});
        change.appliedInMix = item.appliedInMix;
        events->Send(change);
        break;
    }
    case HandOver::kFailure:
        GameError::Check(false, "result == STUDIO_OK", __FILE__,
                         std::string("in the timeline callback: ") + StudioResultName(item.failure));
        break;
    case HandOver::kClockOnly: break;
    }
}

} // namespace volleyrun
