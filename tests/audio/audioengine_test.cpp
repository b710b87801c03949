// The audio engine in a headless engine: beats, the music clock, markers, instances, banks, the virtual output.
#include "audiodriver.h"
#include "audioengine.h"
#include "audiotestcontent.h"
#include "engine.h"
#include "eventmanager.h"
#include "faultdevice.h"
#include "frameclock.h"
#include "gameerror.h"
#include "runoptions.h"
#include "simulatedcard.h"
#include "studioeventinstance.h"
#include "studiosystem.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>

namespace volleyrun {

namespace {

using audio_content::AudioFolder;
using testing::HasSubstr;
using testing::ThrowsMessage;

std::string Text(const BeatTime& time) { return std::to_string(time.bar) + ":" + std::to_string(time.sixteenth); }

class AudioEngineTest : public testing_content::EngineTest {
protected:
    void PrepareContent() override
    {
        AudioFolder audio(content.root);
        audio.Sound("tone.wav", 48000, 1, audio_content::Sine(48000, 48000, 480.0, 0.5f));
        audio.Sound("blip.wav", 48000, 1, audio_content::Constant(4800, 1, 0.25f));
        std::vector<float> leftHum;  // a steady level on the left only, accented by "Beat"
        for (int i = 0; i < 100800; ++i) leftHum.insert(leftHum.end(), {0.25f, 0.0f});
        audio.Sound("hum.wav", 48000, 2, leftHum);
        audio.Bank("music.json", R"({"path": "event:/InGame", "tempo": 120, "length": 16, "loop": {"start": 0, "end": 16},
            "parameters": [{"name": "Beat", "min": 1, "max": 8, "default": 1}, {"name": "Intensity", "min": 0, "max": 1}],
            "tracks": [{"sound": "tone.wav"}, {"sound": "hum.wav",
                        "gain": [{"parameter": "Beat", "curve": [[1, 1], [2, 0.3], [3, 0.55], [4, 0.2]]}]}]},
            {"path": "event:/PauseMenu", "tempo": 120, "length": 16, "loop": {"start": 0, "end": 16},
             "tracks": [{"sound": "tone.wav"}]})");
        audio.Bank("ui.json", R"({"path": "event:/UI/ButtonIn", "tracks": [{"sound": "blip.wav"}]})");
    }
    void TearDown() override { EngineTest::TearDown(); AudioDriver::SetDeviceFactory(nullptr); }
    // Starts the engine, listening on its manager after the audio engine (as after one frame).
    AudioEngine* Begin()
    {
        Start();
        EventManager* events = Engine::Get()->events.get();
        events->AddListener(this, &AudioEngineTest::OnBeat);
        events->AddListener(this, &AudioEngineTest::OnParameter);
        events->AddListener(this, &AudioEngineTest::OnTrace);
        events->Update(0.0f);
        return AudioEngine::Get();
    }
    void OnBeat(BeatEvent& event)
    {
        log.push_back("beat " + Text(event.time));
        times.push_back(event.time);
        const AudioEngine::BeatClock& clock = AudioEngine::Get()->Clock();
        bool downbeat = clock.downbeatTime == event.time && clock.tempo == event.tempo;
        if (!downbeat && !(clock.currentTime == event.time)) clockMatched = false;
    }
    void OnParameter(ParameterChangeEvent& event)
    {
        for (const auto& [name, value] : event.parameters) log.push_back(name + "=" + std::to_string(std::lround(value)));
    }
    void OnTrace(TraceEvent& event) { trace += event.text + "|"; }
    void Play(const std::string& path, bool keep = false, SoundParameters parameters = {})
    {
        PlaySoundEvent play(path, keep, std::move(parameters));
        AudioEngine::Get()->OnPlaySound(play);
    }
    StudioEventInstance* Instance(const std::string& path) { return AudioEngine::Get()->instances[path]; }
    void Beat(const std::string& path, int bar, int beat, int64_t mixFrame = 0)
    {
        StudioTimelineBeat record{bar, beat, 0, 120.0f, 4, 4, 0, mixFrame};
        AudioEngine::OnTimelineCallback(STUDIO_EVENT_CALLBACK_TIMELINE_BEAT, Instance(path), &record);
    }
    // Hands what the mixing thread left over to the game; returns what the game heard since last asked.
    std::vector<std::string> Drained() { AudioEngine::Get()->DrainHandOver(); return std::exchange(log, {}); }
    float Parameter(const std::string& path, const std::string& name)
    {
        float value = -1.0f;
        EXPECT_EQ(Instance(path)->GetParameterValue(name, &value), STUDIO_OK);
        return value;
    }
    int Position(const std::string& path) { int ms = -1; Instance(path)->GetTimelinePosition(&ms); return ms; }
    int Playing() { int count = -1; AudioEngine::Get()->studio->GetPlayingCount(&count); return count; }

    std::vector<std::string> log;  // "beat bar:sixteenth", "Beat=2", "Intensity=1" (whole values), in order
    std::string trace;
    std::vector<BeatTime> times;
    bool clockMatched = true;  // every BeatEvent's listener read the clock of that very beat
    FaultPlan device;
};

TEST_F(AudioEngineTest, BeatsFollowTheWorkedExamples)
{
    AudioEngine* audio = Begin();
    Play("event:/InGame");
    for (int beat = 1; beat <= 4; ++beat) Beat("event:/InGame", 1, beat);  // a 4/4 bar
    for (int beat = 1; beat <= 5; ++beat) Beat("event:/InGame", 2, beat);  // a 5/4 bar
    Beat("event:/InGame", 3, 1);
    EXPECT_TRUE(log.empty());  // nothing reaches the game before the update drains
    std::vector<std::string> expected = {
        "beat 0:0", "Beat=1", "beat 0:4", "Beat=2", "beat 0:8", "Beat=3", "beat 0:12", "Beat=4",
        "beat 1:0", "Beat=1", "beat 1:4", "Beat=2", "beat 1:8", "Beat=3", "beat 1:12", "Beat=4", "beat 2:0", "Beat=5",
        "beat 2:0", "Beat=1"};
    EXPECT_EQ(Drained(), expected);
    EXPECT_TRUE(clockMatched);
    EXPECT_EQ(Parameter("event:/InGame", "Beat"), 1.0f);  // the last change went to the music
    EXPECT_EQ(Text(audio->DownbeatTime()) + " " + Text(audio->CurrentTime()), "2:0 2:0");

    // A count-in beat (negative bar) resets the position and sends nothing but its trace.
    trace.clear();
    Beat("event:/InGame", -1, 4);
    EXPECT_TRUE(Drained().empty());
    EXPECT_EQ(trace, "type 4096\n|");
    EXPECT_EQ(Text(audio->DownbeatTime()), "0:0");
    Beat("event:/InGame", 1, 1);  // the bar count goes on counting from the reset position
    EXPECT_EQ(Drained(), (std::vector<std::string>{"beat 1:0", "Beat=1"}));

    // Other events' beats only trace; markers on any played event steer the music's intensity.
    Play("event:/UI/ButtonIn", true);
    trace.clear();
    Beat("event:/UI/ButtonIn", 1, 1);
    EXPECT_TRUE(Drained().empty());
    for (auto [path, marker, intensity] : {std::tuple{"event:/UI/ButtonIn", "HighIntensity", 1.0f},
                                           {"event:/InGame", "Chorus", 1.0f}, {"event:/InGame", "LowIntensity", 0.0f}}) {
        StudioTimelineMarker record{marker, 0, 0, 0};
        AudioEngine::OnTimelineCallback(STUDIO_EVENT_CALLBACK_TIMELINE_MARKER, Instance(path), &record);
        AudioEngine::Get()->DrainHandOver();
        EXPECT_EQ(Parameter("event:/InGame", "Intensity"), intensity) << marker;
    }
    EXPECT_EQ(trace, "type 4096\n|type 2048\n|type 2048\n|type 2048\n|");
}

// Beats stamp the clock by mix frame; it goes on from where the timeline stopped (a pause).
TEST_F(AudioEngineTest, TheMusicClockStandsStillWhileTheMusicIsStopped)
{
    AudioEngine* audio = Begin();
    Play("event:/InGame");
    auto run = [&](bool moving, int64_t mixFrame) {
        StudioTimelineRun record{moving, mixFrame};
        AudioEngine::OnTimelineCallback(STUDIO_EVENT_CALLBACK_TIMELINE_RUN, Instance("event:/InGame"), &record);
    };
    run(true, 1000);
    Beat("event:/InGame", 1, 1, 1000);  // 120 beats a minute at 48 kHz: 6000 frames a sixteenth
    run(false, 19000);                  // paused 3 sixteenths in
    run(true, 79000);
    Beat("event:/InGame", 1, 2, 85000);  // resumed: the next beat comes a sixteenth later
    const MusicClock& music = audio->Music();
    const std::pair<double, double> heard[] = {{1000, 0},  {13000, 2},   {19000, 3}, {50000, 3},
                                               {79000, 3}, {82000, 3.5}, {85000, 4}, {109000, 8}};
    for (auto [mixFrame, sixteenths] : heard) EXPECT_NEAR(*music.SixteenthsAtMixFrame(mixFrame), sixteenths, 1e-9) << mixFrame;
    EXPECT_NEAR(music.SecondsPerSixteenth(48000), 0.125, 1e-12);
    EXPECT_FALSE(music.InstantOf(8.0));  // the instants go through the output clock, which has no line yet
    audio->DrainHandOver();
    EXPECT_EQ(Text(audio->CurrentTime()), "0:4");
}

// Tracked paths restart when played again, one-shots overlap unless kept; unplayed paths are left alone, unknown fatal.
TEST_F(AudioEngineTest, TrackedInstancesRestartOneShotsOverlapAndPathsNeverPlayedAreLeftAlone)
{
    AudioEngine* audio = Begin();
    ParameterChangeEvent change("event:/PauseMenu", {{"Intensity", 1.0f}});
    audio->OnParameterChange(change);
    EXPECT_EQ(audio->instances.count("event:/PauseMenu"), 0u);  // not even an entry
    PauseSoundEvent pause("event:/PauseMenu", true);
    audio->OnPauseSound(pause);
    EXPECT_EQ(audio->instances["event:/PauseMenu"], nullptr);
    Play("event:/PauseMenu");
    Frames(30);
    int position = Position("event:/PauseMenu");
    SyncSoundEvent sync("event:/PauseMenu", "event:/InGame");
    audio->OnSyncSound(sync);
    EXPECT_EQ(Position("event:/PauseMenu"), position);
    Play("event:/InGame");
    StudioEventInstance* music = Instance("event:/InGame");
    Frames(60);
    EXPECT_GT(Position("event:/InGame"), 900);
    size_t beats = times.size();
    Play("event:/InGame", false, {{"Intensity", 1.0f}});  // cut and restarted from the start
    EXPECT_EQ(std::tuple(Instance("event:/InGame"), Position("event:/InGame"), Parameter("event:/InGame", "Intensity")),
              std::tuple(music, 0, 1.0f));
    Frames(40);
    EXPECT_GT(times.size(), beats);  // the beat callback stayed installed

    int before = Playing();
    Play("event:/UI/ButtonIn");
    Play("event:/UI/ButtonIn");
    EXPECT_EQ(Playing(), before + 2);  // untracked one-shots overlap
    EXPECT_EQ(audio->instances.count("event:/UI/ButtonIn"), 0u);
    Frames(10);  // 0.1 s: both have ended
    EXPECT_EQ(Playing(), before);
    Play("event:/UI/ButtonIn", true);
    Play("event:/UI/ButtonIn", true);
    EXPECT_EQ(Playing(), before + 1);  // kept: the second cuts the first
    EXPECT_THAT([this] { Play("event:/Nope"); }, ThrowsMessage<GameError>(HasSubstr("event:/Nope")));
    EXPECT_THROW(Play("event:/InGame", false, {{"Volume", 1.0f}}), GameError);
}

// The virtual output hears every beat at its sample instant; its WAV copy sounds each beat at that beat's gain.
TEST_F(AudioEngineTest, VirtualOutputHearsEveryBeatAtItsExactSampleTimeAndCopiesItToAWavFile)
{
    std::string wav = (content.root / "mix.wav").string();
    RunOptions::Get().audioOut = wav;
    AudioEngine* audio = Begin();
    Frames(3);
    Play("event:/InGame");
    int64_t start = FrameClock::Get()->Now() + FrameClock::Get()->framePeriod;  // the next frame mixes its first sample
    Frames(60 * 9);
    ASSERT_GE(times.size(), 16u);
    EXPECT_TRUE(clockMatched);
    for (size_t k = 0; k < times.size(); ++k) {
        BeatTime time = times[k];
        int64_t heard = start + 500'000'000LL * static_cast<int64_t>(k);
        double instant = static_cast<double>(*audio->Music().InstantOf(time.bar * 16.0 + time.sixteenth));
        EXPECT_NEAR(instant, static_cast<double>(heard), 1e9 / 48000 / 2 + 1) << k;  // within half a sample
        EXPECT_NEAR(*audio->SecondsFrom(time, heard), 0.0, 1e-6) << k;
    }
    Engine::Destroy();
    int channels = 0, rate = 0;
    std::vector<float> samples = audio_content::ReadWav(wav, &channels, &rate);
    ASSERT_EQ(std::tuple(channels, rate, samples.size()), std::tuple(2, 48000, 2u * 543u * 800u));
    const size_t first = 3 * 800;  // the music began with the fourth frame mixed
    std::vector<float> tone = audio_content::Sine(48000, 48000, 480.0, 0.5f);
    for (size_t i : {0u, 777u, 4321u, 60000u}) EXPECT_NEAR(samples[2 * (first + i) + 1], tone[i % 48000], 1.0 / 16000) << i;
    const float gains[] = {1.0f, 0.3f, 0.55f, 0.2f, 1.0f};  // left minus right is the hum alone
    for (size_t beat = 0; beat < 5; ++beat) {
        float worst = 0.0f;
        for (size_t i = first + beat * 24000; i < first + beat * 24000 + 48; ++i)
            worst = std::max(worst, std::abs(samples[2 * i] - samples[2 * i + 1] - 0.25f * gains[beat]));
        EXPECT_LT(worst, 1.0f / 8000) << "the first millisecond of beat " << beat + 1;
    }
}

// An unreadable bank is skipped and a missing device leaves the music silent; a malformed one ends start-up in a line.
TEST_F(AudioEngineTest, BanksAndDeviceAtStartUp)
{
    std::filesystem::path banks = content.root / "Audio" / "Banks";
    std::filesystem::remove_all(banks);
    std::filesystem::create_directories(banks);
    std::filesystem::create_symlink("loop.json", banks / "loop.json");
    RunOptions::Get().virtualTime = false;
    device.present = false;
    AudioDriver::SetDeviceFactory([this] { return std::make_unique<FaultDevice>(&device); });
    Begin();
    Frames(2);
    for (const char* line : {"loop.json: skipped, it cannot be opened", "No sound banks found in ",
                             "Audio output: no device; the music is silent\n|"})
        EXPECT_THAT(trace, HasSubstr(line));
    EXPECT_FALSE(AudioEngine::Get()->SecondsFrom(BeatTime(), FrameClock::Get()->Now()));
    Engine::Destroy();

    AudioFolder(content.root).Bank("zz-broken.json", R"({"path": "event:/X", "tempo": "fast", "tracks": []})");
    auto oneLine = testing::AllOf(HasSubstr("zz-broken.json: events[0].tempo must be a number"), testing::Not(HasSubstr("\n")));
    EXPECT_THAT([this] { Start(); }, ThrowsMessage<GameError>(oneLine));
}

// Clicks on every beat through a simulated card, the game thread in the card's time: each is judged on time as the
// card's listener hears it, through plain pauses at odd points of the bar and the pause menu's synchronised music.
class AudioEngineCardTest : public AudioEngineTest {
protected:
    void PrepareContent() override
    {
        AudioFolder audio(content.root);
        std::vector<float> clicks(16 * 48000);
        for (size_t beat = 0; beat < 32; ++beat)
            for (size_t i = 0; i < 48; ++i) clicks[beat * 24000 + i] = 0.9f;
        audio.Sound("clicks.wav", 48000, 1, clicks);
        audio.Sound("hum.wav", 48000, 1, audio_content::Constant(48000, 1, 0.1f));
        audio.Bank("music.json", R"({"path": "event:/InGame", "tempo": 120, "length": 16, "loop": {"start": 0, "end": 16},
            "parameters": [{"name": "Beat", "min": 1, "max": 8, "default": 1}], "tracks": [{"sound": "clicks.wav"}]},
            {"path": "event:/PauseMenu", "tempo": 120, "length": 16, "loop": {"start": 0, "end": 16},
             "tracks": [{"sound": "hum.wav"}]})");
        plan.capture = true;
        AudioDriver::SetDeviceFactory([this] { return std::make_unique<simulated_card::SimulatedCard>(&plan); });
    }
    void Pause(bool paused, bool menu)
    {
        PauseSoundEvent game("event:/InGame", paused), pauseMusic("event:/PauseMenu", !paused);
        SyncSoundEvent sync("event:/PauseMenu", "event:/InGame");
        AudioEngine::Get()->OnPauseSound(game);
        if (!menu) return;
        AudioEngine::Get()->OnPauseSound(pauseMusic);
        AudioEngine::Get()->OnSyncSound(sync);
    }
    // Judges every click heard by now: its error at the instant it is heard, in seconds.
    void JudgeClicks(int64_t now)
    {
        {
            std::lock_guard guard(plan.lock);
            for (; scanned < plan.left.size(); ++scanned)
                if (plan.left[scanned] > 0.5f && (scanned == 0 || plan.left[scanned - 1] <= 0.5f))
                    clickFrames.push_back(static_cast<int64_t>(scanned));
        }
        for (; judged < clickFrames.size() && plan.HeardAt(clickFrames[judged]) <= now; ++judged) {
            auto sixteenths = static_cast<int32_t>(4 * judged);
            BeatTime time(sixteenths / 16, sixteenths % 16);
            errors.push_back(AudioEngine::Get()->SecondsFrom(time, plan.HeardAt(clickFrames[judged])).value_or(1.0));
        }
    }

    simulated_card::CardPlan plan;
    size_t scanned = 0, judged = 0;
    std::vector<int64_t> clickFrames;  // the first frame of each click, in the whole mix
    std::vector<double> errors;
};

TEST_F(AudioEngineCardTest, EveryBeatIsJudgedOnTimeThroughPausesOfAnyLength)
{
    RunOptions::Get().virtualTime = false;
    AudioEngine* audio = Begin();
    FrameClock::Get()->SetSource({[this] { return plan.time.Now(); }, [this](int64_t t) { plan.time.AdvanceTo(t); }});
    audio->studio->SetMixWaitsForDecoding(true);
    Play("event:/PauseMenu");
    Pause(false, true);  // the pause music waits, paused, as the match has it
    Play("event:/InGame");
    struct Stop { int frame, length; bool menu; };  // in game frames
    const Stop stops[] = {{137, 42, false}, {301, 1, false}, {400, 191, true}, {700, 317, true}, {1100, 2, false}};
    for (int frame = 0; frame < 1500; ++frame) {
        for (const Stop& stop : stops) {
            if (frame == stop.frame) Pause(true, stop.menu);
            if (frame == stop.frame + stop.length) Pause(false, stop.menu);
        }
        Frames(1);
        JudgeClicks(plan.time.Now());
    }
    EXPECT_GE(errors.size(), 30u);
    for (size_t i = 0; i < errors.size(); ++i) EXPECT_LT(std::abs(errors[i]), 0.001) << "click " << i;
    EXPECT_EQ(plan.underruns, 0);
}

} // namespace

} // namespace volleyrun
