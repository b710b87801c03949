// The audio engine inside a headless engine: the beat clock and BeatEvents of the worked
// examples, markers, tracked and one-shot instances, sound events on paths never played,
// bank errors at start-up, the hand-over from a real mixing thread, device loss, and the
// virtual output with its WAV copy, where "Beat" accents are heard from each beat's sample.
#include "audiodriver.h"
#include "audioengine.h"
#include "audiotestcontent.h"
#include "engine.h"
#include "eventmanager.h"
#include "frameclock.h"
#include "gameerror.h"
#include "runoptions.h"
#include "studiodebuglog.h"
#include "studioeventinstance.h"
#include "studiosystem.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

namespace {

using audio_content::AudioFolder;
using audio_content::FakeDevice;
using audio_content::FakeDeviceState;

std::string Text(const BeatTime& time)
{
    return std::to_string(time.bar) + ":" + std::to_string(time.sixteenth);
}

// Listens on the engine-wide manager after the audio engine and writes what arrives.
struct Listener {
    std::vector<std::string> log;  // "beat bar:sixteenth", "Beat=2", "Intensity=1", in order
    std::string trace;
    std::vector<int64_t> downbeatClocks;
    std::vector<BeatTime> times;
    bool clockMatched = true;  // every BeatEvent's listener read the clock of that very beat
    std::vector<int64_t> elapsedAtDownbeat;  // FrameClock now minus the downbeat clock

    void OnBeat(BeatEvent& event)
    {
        log.push_back("beat " + Text(event.time));
        times.push_back(event.time);
        const AudioEngine::BeatClock& clock = AudioEngine::Get()->Clock();
        bool downbeat = clock.downbeatTime == event.time && clock.tempo == event.tempo;
        if (!downbeat && !(clock.currentTime == event.time)) clockMatched = false;
        if (downbeat && event.time.sixteenth == 0) {
            downbeatClocks.push_back(clock.downbeatClock);
            elapsedAtDownbeat.push_back(FrameClock::Get()->Now() - clock.downbeatClock);
        }
    }
    void OnParameter(ParameterChangeEvent& event)
    {
        for (const auto& [name, value] : event.parameters) {
            std::ostringstream text;
            text << name << "=" << value;
            log.push_back(text.str());
        }
    }
    void OnTrace(TraceEvent& event) { trace += event.text + "|"; }
};

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
        audio.Bank("music.json",
                   "{\"path\": \"event:/InGame\", \"tempo\": " + tempo + ", \"length\": 16, \"loop\": {\"start\": 0, \"end\": 16},"
                   "\"parameters\": [{\"name\": \"Beat\", \"min\": 1, \"max\": 8, \"default\": 1},"
                   "{\"name\": \"Intensity\", \"min\": 0, \"max\": 1}], \"tracks\": [{\"sound\": \"tone.wav\"}, {\"sound\": \"hum.wav\","
                   "\"gain\": [{\"parameter\": \"Beat\", \"curve\": [[1, 1], [2, 0.3], [3, 0.55], [4, 0.2]]}]}]},"
                   "{\"path\": \"event:/PauseMenu\", \"tempo\": 120, \"length\": 16, \"loop\": {\"start\": 0, \"end\": 16},"
                   "\"tracks\": [{\"sound\": \"tone.wav\"}]}");
        audio.Bank("ui.json", "{\"path\": \"event:/UI/ButtonIn\", \"tracks\": [{\"sound\": \"blip.wav\"}]}");
    }
    void TearDown() override
    {
        EngineTest::TearDown();
        AudioDriver::SetDeviceFactory(nullptr);
    }
    // Starts the engine with the listener registered and active (as after one frame).
    AudioEngine* Begin()
    {
        Start();
        EventManager* events = Engine::Get()->events.get();
        events->AddListener(&listener, &Listener::OnBeat);
        events->AddListener(&listener, &Listener::OnParameter);
        events->AddListener(&listener, &Listener::OnTrace);
        events->Update(0.0f);
        return AudioEngine::Get();
    }
    void Play(const std::string& path, bool keep = false, SoundParameters parameters = {})
    {
        PlaySoundEvent play(path, keep, std::move(parameters));
        AudioEngine::Get()->OnPlaySound(play);
    }
    StudioEventInstance* Instance(const std::string& path) { return AudioEngine::Get()->instances[path]; }
    void Beat(const std::string& path, int bar, int beat, int64_t offset = 0)
    {
        StudioTimelineBeat record{bar, beat, 0, 120.0f, 4, 4, offset};
        AudioEngine::OnTimelineCallback(STUDIO_EVENT_CALLBACK_TIMELINE_BEAT, Instance(path), &record);
    }
    void Marker(const std::string& path, const char* name)
    {
        StudioTimelineMarker record{name, 0, 0};
        AudioEngine::OnTimelineCallback(STUDIO_EVENT_CALLBACK_TIMELINE_MARKER, Instance(path), &record);
    }
    float Parameter(const std::string& path, const std::string& name)
    {
        float value = -1.0f;
        EXPECT_EQ(Instance(path)->GetParameterValue(name, &value), STUDIO_OK);
        return value;
    }
    int Position(const std::string& path)
    {
        int position = -1;
        Instance(path)->GetTimelinePosition(&position);
        return position;
    }
    int Playing()
    {
        int count = -1;
        AudioEngine::Get()->studio->GetPlayingCount(&count);
        return count;
    }

    std::string tempo = "120";
    Listener listener;
    FakeDeviceState device;
};

TEST_F(AudioEngineTest, BeatsFollowTheWorkedExamples)
{
    AudioEngine* audio = Begin();
    Play("event:/InGame");
    for (int beat = 1; beat <= 4; ++beat) Beat("event:/InGame", 1, beat);  // a 4/4 bar
    for (int beat = 1; beat <= 5; ++beat) Beat("event:/InGame", 2, beat);  // a 5/4 bar
    Beat("event:/InGame", 3, 1);
    EXPECT_TRUE(listener.log.empty());  // nothing reaches the game before the update drains
    audio->DrainHandOver();
    std::vector<std::string> expected = {
        "beat 0:0", "Beat=1", "beat 0:4", "Beat=2", "beat 0:8", "Beat=3", "beat 0:12", "Beat=4",
        "beat 1:0", "Beat=1", "beat 1:4", "Beat=2", "beat 1:8", "Beat=3", "beat 1:12", "Beat=4", "beat 2:0", "Beat=5",
        "beat 2:0", "Beat=1"};
    EXPECT_EQ(listener.log, expected);
    EXPECT_TRUE(listener.clockMatched);
    EXPECT_EQ(Parameter("event:/InGame", "Beat"), 1.0f);  // the last change went to the music
    EXPECT_EQ(Text(audio->DownbeatTime()), "2:0");
    EXPECT_EQ(Text(audio->CurrentTime()), "2:0");
    EXPECT_EQ(audio->Tempo(), 120.0f);

    // A count-in beat (negative bar) resets the position and sends nothing but its trace.
    listener.log.clear();
    listener.trace.clear();
    Beat("event:/InGame", -1, 4);
    audio->DrainHandOver();
    EXPECT_TRUE(listener.log.empty());
    EXPECT_EQ(listener.trace, "type 4096|");
    EXPECT_EQ(Text(audio->DownbeatTime()), "0:0");
    Beat("event:/InGame", 1, 1);  // the bar count goes on counting from the reset position
    audio->DrainHandOver();
    EXPECT_EQ(listener.log, (std::vector<std::string>{"beat 1:0", "Beat=1"}));
}

TEST_F(AudioEngineTest, DownbeatClockIsTheTimeOfTheBeatsSample)
{
    AudioEngine* audio = Begin();
    Play("event:/InGame");
    int64_t now = FrameClock::Get()->Now();
    Beat("event:/InGame", 1, 1, 2500000);  // 2.5 ms into the block being mixed
    Beat("event:/InGame", 1, 2, 9000000);
    audio->DrainHandOver();
    EXPECT_EQ(audio->DownbeatClock(), now + 2500000);  // a later beat leaves it alone
}

TEST_F(AudioEngineTest, OtherEventsBeatsOnlyTraceAndMarkersSteerIntensity)
{
    AudioEngine* audio = Begin();
    Play("event:/InGame");
    Play("event:/UI/ButtonIn", true);
    listener.trace.clear();
    Beat("event:/UI/ButtonIn", 1, 1);
    audio->DrainHandOver();
    EXPECT_TRUE(listener.log.empty());
    EXPECT_EQ(listener.trace, "type 4096|");
    EXPECT_EQ(audio->DownbeatClock(), 0);

    Marker("event:/UI/ButtonIn", "HighIntensity");  // markers count on any played event
    audio->DrainHandOver();
    EXPECT_EQ(Parameter("event:/InGame", "Intensity"), 1.0f);
    Marker("event:/InGame", "Chorus");
    audio->DrainHandOver();
    EXPECT_EQ(Parameter("event:/InGame", "Intensity"), 1.0f);
    Marker("event:/InGame", "LowIntensity");
    audio->DrainHandOver();
    EXPECT_EQ(Parameter("event:/InGame", "Intensity"), 0.0f);
    EXPECT_EQ(listener.trace, "type 4096|type 2048|type 2048|type 2048|");
}

TEST_F(AudioEngineTest, TrackedInstancesRestartAndOneShotsOverlap)
{
    Begin();
    Play("event:/InGame");
    StudioEventInstance* music = Instance("event:/InGame");
    Frames(60);
    EXPECT_GT(Position("event:/InGame"), 900);
    size_t beats = listener.times.size();
    EXPECT_GE(beats, 2u);
    Play("event:/InGame", false, {{"Intensity", 1.0f}});  // cut and restarted from the start
    EXPECT_EQ(Instance("event:/InGame"), music);
    EXPECT_EQ(Position("event:/InGame"), 0);
    EXPECT_EQ(Parameter("event:/InGame", "Intensity"), 1.0f);
    Frames(40);
    EXPECT_GT(listener.times.size(), beats);  // the beat callback stayed installed

    int before = Playing();
    Play("event:/UI/ButtonIn");
    Play("event:/UI/ButtonIn");
    EXPECT_EQ(Playing(), before + 2);  // untracked one-shots overlap
    EXPECT_EQ(AudioEngine::Get()->instances.count("event:/UI/ButtonIn"), 0u);
    Frames(10);                        // 0.1 s: both have ended
    EXPECT_EQ(Playing(), before);
    Play("event:/UI/ButtonIn", true);
    Play("event:/UI/ButtonIn", true);
    EXPECT_EQ(Playing(), before + 1);  // kept: the second cuts the first
    EXPECT_NE(Instance("event:/UI/ButtonIn"), nullptr);
}

TEST_F(AudioEngineTest, SoundEventsForPathsNeverPlayedChangeNothing)
{
    AudioEngine* audio = Begin();
    ParameterChangeEvent change("event:/PauseMenu", {{"Intensity", 1.0f}});
    audio->OnParameterChange(change);
    EXPECT_EQ(audio->instances.count("event:/PauseMenu"), 0u);  // not even an entry
    PauseSoundEvent pause("event:/PauseMenu", true);
    audio->OnPauseSound(pause);
    EXPECT_EQ(audio->instances.count("event:/PauseMenu"), 1u);
    EXPECT_EQ(audio->instances["event:/PauseMenu"], nullptr);

    Play("event:/PauseMenu");
    Frames(30);
    int position = Position("event:/PauseMenu");
    SyncSoundEvent fromNowhere("event:/PauseMenu", "event:/InGame");
    audio->OnSyncSound(fromNowhere);
    EXPECT_EQ(Position("event:/PauseMenu"), position);

    Play("event:/InGame");
    Frames(20);
    SyncSoundEvent sync("event:/PauseMenu", "event:/InGame");
    audio->OnSyncSound(sync);
    EXPECT_EQ(Position("event:/PauseMenu"), Position("event:/InGame"));
}

TEST_F(AudioEngineTest, UnknownPathsAndParametersAreFatal)
{
    Begin();
    try {
        Play("event:/Nope");
        FAIL() << "no error";
    } catch (const GameError& error) {
        EXPECT_NE(std::string(error.what()).find("result == STUDIO_OK"), std::string::npos);
        EXPECT_NE(std::string(error.what()).find("event:/Nope"), std::string::npos);
    }
    EXPECT_THROW(Play("event:/InGame", false, {{"Volume", 1.0f}}), GameError);
}

TEST_F(AudioEngineTest, VirtualOutputStampsBeatsAtTheirExactSampleTimes)
{
    Begin();
    EXPECT_EQ(AudioEngine::Get()->GetOutputLatency(), 0.0);
    Frames(3);
    Play("event:/InGame");
    int64_t start = FrameClock::Get()->Now() + FrameClock::Get()->framePeriod;  // the next frame mixes its first sample
    Frames(60 * 9);
    ASSERT_GE(listener.downbeatClocks.size(), 4u);
    const int64_t halfSample = 1000000000LL / 48000 / 2 + 1;
    for (size_t i = 0; i < listener.downbeatClocks.size(); ++i)
        EXPECT_NEAR(static_cast<double>(listener.downbeatClocks[i]), static_cast<double>(start + 2000000000LL * i),
                    static_cast<double>(halfSample)) << "downbeat " << i;
    for (int64_t elapsed : listener.elapsedAtDownbeat) {  // delivered within the frame that plays it
        EXPECT_LE(elapsed, 0);
        EXPECT_GT(elapsed, -FrameClock::Get()->framePeriod);
    }
    EXPECT_TRUE(listener.clockMatched);
}

TEST_F(AudioEngineTest, AudioOutWritesTheMusicToAWavFile)
{
    std::string wav = (content.root / "mix.wav").string();
    RunOptions::Get().audioOut = wav;
    Begin();
    Play("event:/InGame");
    Frames(125);
    Engine::Destroy();
    int channels = 0, rate = 0;
    std::vector<float> samples = audio_content::ReadWav(wav, &channels, &rate);
    ASSERT_EQ(channels, 2);
    EXPECT_EQ(rate, 48000);
    ASSERT_EQ(samples.size(), 2u * 125u * 800u);
    std::vector<float> tone = audio_content::Sine(48000, 48000, 480.0, 0.5f);
    for (size_t i : {0u, 777u, 4321u, 60000u})  // the music began with the first frame mixed
        EXPECT_NEAR(samples[2 * i + 1], tone[i % 48000], 1.0 / 16000) << i;
    // Left minus right is the hum alone: every beat, the next downbeat included, sounds at
    // its own "Beat" gain from its first sample on, not at the previous beat's.
    const float gains[] = {1.0f, 0.3f, 0.55f, 0.2f, 1.0f};
    for (size_t beat = 0; beat < 5; ++beat) {
        float worst = 0.0f;
        for (size_t i = beat * 24000; i < beat * 24000 + 48; ++i)
            worst = std::max(worst, std::abs(samples[2 * i] - samples[2 * i + 1] - 0.25f * gains[beat]));
        EXPECT_LT(worst, 1.0f / 8000) << "the first millisecond of beat " << beat + 1;
    }
}

TEST_F(AudioEngineTest, StartsSilentWithoutBanksOrDevice)
{
    std::filesystem::remove_all(content.root / "Audio");
    RunOptions::Get().virtualTime = false;
    AudioDriver::SetDeviceFactory([this] { return std::make_unique<FakeDevice>(&device); });
    device.present = false;
    Begin();
    Frames(2);
    EXPECT_NE(listener.trace.find("init\n|"), std::string::npos);
    EXPECT_NE(listener.trace.find("Studio initialized with 4 buffers, length 1024 each.\n|"), std::string::npos);
    EXPECT_NE(listener.trace.find("No sound banks found in "), std::string::npos);
    EXPECT_EQ(AudioEngine::Get()->GetOutputLatency(), 0.0);
    EXPECT_EQ(AudioEngine::Get()->sampleRate, 48000u);
    EXPECT_EQ(AudioEngine::Get()->DownbeatClock(), 0);
}

TEST_F(AudioEngineTest, TheStudioLogIsWrittenOnlyWhenAskedFor)
{
    unsetenv("VOLLEYRUN_STUDIO_LOG");
    Begin();
    EXPECT_FALSE(StudioDebugLog::IsOpen());
    Engine::Destroy();

    std::string log = (content.root / "studio.log").string();
    setenv("VOLLEYRUN_STUDIO_LOG", log.c_str(), 1);
    Begin();
    Play("event:/InGame");
    Engine::Destroy();
    unsetenv("VOLLEYRUN_STUDIO_LOG");
    std::string text = testing_content::ReadText(log);
    EXPECT_NE(text.find("studio: initialised at 48000 Hz"), std::string::npos) << text;
    EXPECT_NE(text.find("music.json loaded"), std::string::npos) << text;
    EXPECT_NE(text.find("studio: start event:/InGame"), std::string::npos) << text;
}

TEST_F(AudioEngineTest, AMalformedBankEndsStartUpNamingTheFile)
{
    AudioFolder(content.root).Bank("zz-broken.json", "{\"path\": \"event:/X\", \"tempo\": \"fast\", \"tracks\": []}");
    try {
        Start();
        FAIL() << "no error";
    } catch (const GameError& error) {
        std::string text = error.what();
        EXPECT_NE(text.find("zz-broken.json: events[0].tempo must be a number"), std::string::npos) << text;
        EXPECT_EQ(text.find('\n'), std::string::npos);
    }
}

// A device that drains in real time, so the engine runs as the game does, with the mix on
// the driver's worker thread (this is the test to run under ThreadSanitizer).
class AudioEngineDeviceTest : public AudioEngineTest {
protected:
    void PrepareContent() override
    {
        tempo = "900";  // fifteen beats a second
        AudioEngineTest::PrepareContent();
        RunOptions::Get().virtualTime = false;
        AudioDriver::SetDeviceFactory([this] { return std::make_unique<FakeDevice>(&device); });
    }
};

TEST_F(AudioEngineDeviceTest, BeatsCrossFromTheMixingThreadInOrder)
{
    RunOptions::Get().virtualTime = false;
    AudioEngine* audio = Begin();
    EXPECT_EQ(audio->periodFrames, 480u);
    EXPECT_NEAR(audio->GetOutputLatency(), 0.01, 1e-9);
    Play("event:/InGame");
    Frames(60);
    ASSERT_GE(listener.times.size(), 8u);
    EXPECT_TRUE(listener.clockMatched);
    // Every beat is followed by its own "Beat" change, and positions advance one beat at a time.
    size_t beat = 0;
    for (size_t i = 0; i + 1 < listener.log.size(); ++i) {
        if (listener.log[i].rfind("beat ", 0) != 0) continue;
        BeatTime time = listener.times[beat++];
        EXPECT_EQ(listener.log[i + 1], "Beat=" + std::to_string(time.sixteenth / 4 + 1));
        if (beat >= 2) {
            EXPECT_EQ(listener.times[beat - 2].AddSixteenths(4), time);
        }
    }
}

TEST_F(AudioEngineDeviceTest, ALostDeviceIsReopenedAndTheMusicGoesOn)
{
    RunOptions::Get().virtualTime = false;
    Begin();
    Play("event:/InGame");
    Frames(20);
    device.lost = true;
    ASSERT_TRUE(audio_content::WaitFor([&] { return AudioEngine::Get()->resetOutput.load(); }));
    device.lost = false;
    int before = Position("event:/InGame");
    size_t beats = listener.times.size();
    listener.trace.clear();
    Frames(1);
    EXPECT_EQ(listener.trace.substr(0, 12), "close\n|init\n");
    EXPECT_EQ(device.opened, 2);
    Frames(20);
    EXPECT_GT(Position("event:/InGame"), before);
    ASSERT_GT(listener.times.size(), beats);
    EXPECT_EQ(listener.times[beats - 1].AddSixteenths(4), listener.times[beats]);  // no beat lost or repeated
}

} // namespace
