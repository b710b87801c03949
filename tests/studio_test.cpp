// The studio on its own: bank loading and its refusals, the mixer (gains, parameters,
// low-pass, one-shots, loops, pause, timeline position), beats and markers at their exact
// frames, and the output plug-in life cycle. No engine and no device: the tests pull the
// mix themselves.
#include "audiotestcontent.h"
#include "studiobank.h"
#include "studioeventdescription.h"
#include "studioeventinstance.h"
#include "studiosound.h"
#include "studiosystem.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <numbers>
#include <string>
#include <tuple>
#include <vector>

namespace {

using audio_content::AudioFolder;
using audio_content::Constant;

constexpr int kRate = 48000;

// What a timeline callback saw, with the frame of the mix it fell on.
struct Seen {
    unsigned type = 0;
    int bar = 0, beat = 0, position = 0;
    std::string marker;
    int64_t frame = 0;  // absolute output frame: frames mixed before the request + offset
};

struct Recorder {
    std::vector<Seen> seen;
    int64_t requestStart = 0;  // output frames mixed before the current request
    StudioResult callResult = STUDIO_OK;  // what a forbidden call from inside returned
    bool tryForbiddenCall = false;
};

StudioResult Record(unsigned type, StudioEventInstance* instance, void* parameters)
{
    void* data = nullptr;
    instance->GetUserData(&data);
    auto* recorder = static_cast<Recorder*>(data);
    Seen seen;
    seen.type = type;
    int64_t offset = 0;
    if (type == STUDIO_EVENT_CALLBACK_TIMELINE_BEAT) {
        auto* beat = static_cast<StudioTimelineBeat*>(parameters);
        seen.bar = beat->bar, seen.beat = beat->beat, seen.position = beat->position;
        offset = beat->offsetNanoseconds;
    } else {
        auto* marker = static_cast<StudioTimelineMarker*>(parameters);
        seen.marker = marker->name, seen.position = marker->position;
        offset = marker->offsetNanoseconds;
    }
    seen.frame = recorder->requestStart + std::llround(static_cast<double>(offset) * kRate / 1e9);
    recorder->seen.push_back(seen);
    // As the audio engine does: the beat's number goes to the event's "Beat", where it has one.
    if (type == STUDIO_EVENT_CALLBACK_TIMELINE_BEAT) instance->SetParameterValueInCallback("Beat", static_cast<float>(seen.beat));
    if (recorder->tryForbiddenCall) recorder->callResult = instance->SetPaused(true);
    return STUDIO_OK;
}

class StudioTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(StudioSystem::Create(&studio), STUDIO_OK);
        ASSERT_EQ(studio->SetDSPBufferSize(256, 2), STUDIO_OK);
        ASSERT_EQ(studio->Initialize(8), STUDIO_OK);
    }
    void TearDown() override
    {
        if (studio) studio->Release();
    }

    StudioBank* Load(const std::string& events, StudioResult expected = STUDIO_OK)
    {
        StudioBank* bank = nullptr;
        EXPECT_EQ(studio->LoadBankFile(audio.Bank("bank" + std::to_string(++banks) + ".json", events), &bank), expected)
            << studio->LastError();
        if (bank) {
            EXPECT_EQ(bank->LoadSampleData(), STUDIO_OK) << studio->LastError();
        }
        return bank;
    }
    StudioEventInstance* Play(const std::string& path, Recorder* recorder = nullptr)
    {
        StudioEventDescription* description = nullptr;
        StudioEventInstance* instance = nullptr;
        EXPECT_EQ(studio->GetEvent(path, &description), STUDIO_OK);
        EXPECT_EQ(description->CreateInstance(&instance), STUDIO_OK);
        if (recorder) {
            instance->SetUserData(recorder);
            instance->SetCallback(&Record, STUDIO_EVENT_CALLBACK_TIMELINE_BEAT | STUDIO_EVENT_CALLBACK_TIMELINE_MARKER);
        }
        EXPECT_EQ(instance->Start(), STUDIO_OK);
        return instance;
    }
    // Mixes frames in requests of the given size; returns the interleaved stereo output.
    std::vector<float> Mix(int frames, int request = 256, Recorder* recorder = nullptr)
    {
        std::vector<float> out(2 * static_cast<size_t>(frames));
        for (int done = 0; done < frames; done += request) {
            int count = std::min(request, frames - done);
            if (recorder) recorder->requestStart = mixed;
            EXPECT_EQ(studio->Mix(out.data() + 2 * done, static_cast<unsigned>(count)), STUDIO_OK);
            mixed += count;
        }
        return out;
    }

    testing_content::TempContent content;
    AudioFolder audio{content.root};
    StudioSystem* studio = nullptr;
    int banks = 0;
    int64_t mixed = 0;
};

// A bank with one event whose single track plays the named sound.
std::string Event(const std::string& path, const std::string& sound, const std::string& extra = "",
                  const std::string& track = "")
{
    return "{\"path\": \"" + path + "\", \"tracks\": [{\"sound\": \"" + sound + "\"" + track + "}]" + extra + "}";
}

TEST_F(StudioTest, BankRefusalsNameTheMemberAndTheProblem)
{
    audio.Sound("one.wav", kRate, 1, Constant(100, 1, 0.5f));
    struct Case {
        std::string events;  // the events of a bank, or with raw the whole file
        StudioResult result;
        std::string message;
        bool raw = false;
    };
    const std::vector<Case> cases = {
        {"{\"version\": 1, \"events\": [", STUDIO_ERR_FILE_BAD, "not valid JSON", true},
        {"{\"version\": 2, \"events\": []}", STUDIO_ERR_FILE_BAD, "", true},
        {"{\"tracks\": []}", STUDIO_ERR_FILE_BAD, "events[0] needs the member \"path\""},
        {"{\"path\": \"InGame\", \"tracks\": []}", STUDIO_ERR_FILE_BAD, "events[0].path must start with \"event:/\""},
        {Event("event:/A", "one.wav", ", \"tempo\": 0"), STUDIO_ERR_FILE_BAD, "events[0].tempo must be a number above 0"},
        {Event("event:/A", "one.wav", ", \"tempi\": 3"), STUDIO_ERR_FILE_BAD, "has an unknown member \"tempi\""},
        {Event("event:/A", "one.wav", ", \"timeSignature\": [4, 3]"), STUDIO_ERR_FILE_BAD, "events[0].timeSignature"},
        {Event("event:/A", "one.wav", ", \"oneShot\": true, \"loop\": {\"start\": 0, \"end\": 0.001}"),
         STUDIO_ERR_FILE_BAD, "events[0].loop is not allowed on a one-shot"},
        {Event("event:/A", "one.wav", ", \"loop\": {\"start\": 0, \"end\": 5}"), STUDIO_ERR_FILE_BAD,
         "events[0].loop must satisfy"},
        {Event("event:/A", "missing.wav"), STUDIO_ERR_FILE_NOTFOUND, "events[0].tracks[0].sound \"missing.wav\" cannot be opened"},
        {Event("event:/A", "../one.wav"), STUDIO_ERR_FILE_BAD, "must name a file inside the sound folder"},
        {Event("event:/A", "one.wav", "", ", \"gain\": [{\"parameter\": \"Nope\", \"curve\": [[0, 1]]}]"),
         STUDIO_ERR_FILE_BAD, "events[0].tracks[0].gain[0].parameter names \"Nope\""},
        {Event("event:/A", "one.wav", ", \"parameters\": [{\"name\": \"P\"}]",
               ", \"gain\": [{\"parameter\": \"P\", \"curve\": [[1, 1], [0, 1]]}]"),
         STUDIO_ERR_FILE_BAD, "strictly increasing"},
        {Event("event:/A", "one.wav", ", \"parameters\": [{\"name\": \"P\"}, {\"name\": \"P\"}]"), STUDIO_ERR_FILE_BAD,
         "events[0].parameters[1] repeats the parameter \"P\""},
        {Event("event:/A", "one.wav") + ", " + Event("event:/A", "one.wav"), STUDIO_ERR_FILE_BAD,
         "events[1] repeats the path \"event:/A\""},
    };
    StudioBank* bank = nullptr;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.events);
        std::string file = (audio.Banks() / "bad.json").string();
        if (c.raw) testing_content::WriteText(file, c.events);
        else audio.Bank("bad.json", c.events);
        EXPECT_EQ(studio->LoadBankFile(file, &bank), c.result);
        EXPECT_NE(studio->LastError().find("Bank " + file + ": "), std::string::npos) << studio->LastError();
        EXPECT_NE(studio->LastError().find(c.message), std::string::npos) << studio->LastError();
    }
    EXPECT_EQ(studio->LoadBankFile((audio.Banks() / "absent.json").string(), &bank), STUDIO_ERR_FILE_NOTFOUND);
}

TEST_F(StudioTest, EventsAreFoundByPathAcrossBanksAndDefinedOnce)
{
    audio.Sound("one.wav", kRate, 1, Constant(100, 1, 0.5f));
    Load(Event("event:/UI/ButtonIn", "one.wav") + ", " + Event("event:/Music", "one.wav", ", \"loop\": {\"start\": 0, \"end\": 0.001}"));
    Load(Event("event:/Sting", "one.wav", ", \"oneShot\": false"));
    Load(Event("event:/Music", "one.wav"), STUDIO_ERR_EVENT_ALREADY_LOADED);
    EXPECT_NE(studio->LastError().find("already defined by"), std::string::npos);

    StudioEventDescription* description = nullptr;
    // Without a loop an event ends by itself, unless its bank says otherwise.
    for (auto [path, expected] : {std::pair{"event:/UI/ButtonIn", true}, {"event:/Music", false}, {"event:/Sting", false}}) {
        bool oneShot = !expected;
        ASSERT_EQ(studio->GetEvent(path, &description), STUDIO_OK);
        EXPECT_EQ(description->IsOneshot(&oneShot), STUDIO_OK);
        EXPECT_EQ(oneShot, expected) << path;
    }
    EXPECT_EQ(studio->GetEvent("event:/Nothing", &description), STUDIO_ERR_EVENT_NOTFOUND);
    EXPECT_NE(studio->LastError().find("event:/Nothing"), std::string::npos);
}

TEST_F(StudioTest, TracksMixWithVolumeChannelsMasterVolumeAndTheLimiter)
{
    audio.Sound("mono.wav", kRate, 1, Constant(4000, 1, 0.5f));
    std::vector<float> stereo;
    for (int i = 0; i < 4000; ++i) stereo.insert(stereo.end(), {0.25f, -0.5f});
    audio.Sound("stereo.wav", kRate, 2, stereo);
    Load("{\"path\": \"event:/Both\", \"tracks\": [{\"sound\": \"mono.wav\", \"volume\": 0.5}, {\"sound\": \"stereo.wav\", "
         "\"start\": 0.005}]}");
    StudioEventInstance* instance = Play("event:/Both");
    std::vector<float> out = Mix(1000);
    EXPECT_FLOAT_EQ(out[2 * 100], 0.25f);  // mono on both channels at half volume
    EXPECT_FLOAT_EQ(out[2 * 100 + 1], 0.25f);
    EXPECT_FLOAT_EQ(out[2 * 240], 0.25f + 0.25f);  // the stereo track starts at 5 ms = frame 240
    EXPECT_FLOAT_EQ(out[2 * 240 + 1], 0.25f - 0.5f);
    EXPECT_FLOAT_EQ(out[2 * 239 + 1], 0.25f);

    studio->SetMasterVolume(0.5f);
    out = Mix(300);  // the master volume glides across one buffer, then holds
    EXPECT_FLOAT_EQ(out[2 * 290], 0.25f);
    bool playing = true;
    Mix(3000);
    EXPECT_EQ(instance->IsPlaying(&playing), STUDIO_OK);
    EXPECT_FALSE(playing);  // a one-shot ends with its longest track

    // Two loud tones sum to 1.6: the master bus turns them down below full scale, keeping
    // the shape of the wave (a clip would flatten its tops), and lets quiet sound through
    // untouched again once it has recovered.
    studio->SetMasterVolume(1.0f);
    audio.Sound("loud.wav", kRate, 1, audio_content::Sine(4800, kRate, 480.0, 0.8f));
    Load(Event("event:/Loud", "loud.wav"));
    Play("event:/Loud");
    Play("event:/Loud");
    out = Mix(4800);
    float peak = 0.0f;
    for (float sample : out) peak = std::max(peak, std::abs(sample));
    EXPECT_LE(peak, 1.0f);
    EXPECT_GT(peak, 0.9f);
    auto gain = [&out](int frame) { return out[2 * frame] / (1.6f * std::sin(2.0f * std::numbers::pi_v<float> * frame / 100)); };
    EXPECT_NEAR(gain(4008), gain(4025), 0.02f);  // a thirtieth and a quarter of a period in
    Mix(kRate);
    Play("event:/Both");
    out = Mix(200);
    EXPECT_FLOAT_EQ(out[2 * 100], 0.25f);
}

// Long sounds are decoded and resampled to the mix rate a piece at a time while they already
// play: the pieces must join without a lost or repeated frame.
TEST_F(StudioTest, SoundsDecodedInPiecesJoinWithoutSeams)
{
    constexpr int kFileFrames = 36000;  // several pieces at 24 kHz
    audio.Sound("tone.wav", 24000, 1, audio_content::Sine(kFileFrames, 24000, 440.0, 0.5f));
    Load(Event("event:/Tone", "tone.wav"));
    Play("event:/Tone");
    std::vector<float> out = Mix(2 * kFileFrames);
    double worst = 0.0;
    for (int i = 200; i < 2 * kFileFrames - 200; ++i) {
        double expected = 0.5 * std::sin(2.0 * std::numbers::pi * 440.0 * i / kRate);
        worst = std::max(worst, std::abs(out[2 * static_cast<size_t>(i)] - expected));
    }
    EXPECT_LT(worst, 0.01);
}

// A sound that breaks after its bank was read (deleted, unreadable) plays as silence, and
// the next update names it once; the rest of the mix goes on.
TEST_F(StudioTest, ASoundThatFailsToDecodeIsSilentAndReportedOnce)
{
    audio.Sound("gone.wav", kRate, 1, Constant(4000, 1, 0.5f));
    audio.Sound("kept.wav", kRate, 1, Constant(4000, 1, 0.25f));
    StudioBank* bank = nullptr;
    ASSERT_EQ(studio->LoadBankFile(audio.Bank("bank.json", "{\"path\": \"event:/Two\", \"tracks\": [{\"sound\": "
                                                             "\"gone.wav\"}, {\"sound\": \"kept.wav\"}]}"), &bank),
              STUDIO_OK);
    std::filesystem::remove(audio.Sounds() / "gone.wav");
    ASSERT_EQ(bank->LoadSampleData(), STUDIO_OK);
    Play("event:/Two");
    std::vector<float> out = Mix(1000);
    EXPECT_FLOAT_EQ(out[2 * 500], 0.25f);
    studio->FinishDecoding();
    EXPECT_EQ(studio->Update(), STUDIO_ERR_FILE_BAD);
    EXPECT_NE(studio->LastError().find("gone.wav: cannot be decoded"), std::string::npos) << studio->LastError();
    EXPECT_EQ(studio->Update(), STUDIO_OK);
}

// Releasing the system abandons sounds still being decoded instead of finishing them.
TEST_F(StudioTest, ReleasingWhileSoundsDecodeAbandonsThem)
{
    audio.Sound("long.wav", 44100, 2, Constant(44100 * 60, 2, 0.1f));
    Load(Event("event:/Long", "long.wav"));
    Play("event:/Long");
    Mix(256);
    auto start = std::chrono::steady_clock::now();
    studio->Release();
    studio = nullptr;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST_F(StudioTest, ParametersDriveGainsAndTheLowPass)
{
    std::vector<float> nyquist;
    for (int i = 0; i < 48000; ++i) nyquist.push_back(i % 2 ? -0.5f : 0.5f);
    audio.Sound("buzz.wav", kRate, 1, nyquist);
    Load("{\"path\": \"event:/Steer\", \"parameters\": [{\"name\": \"Intensity\", \"min\": 0, \"max\": 1},"
         "{\"name\": \"Location\", \"min\": 0, \"max\": 3}],"
         "\"tracks\": [{\"sound\": \"buzz.wav\", \"gain\": [{\"parameter\": \"Intensity\", \"curve\": [[0, 0.2], [1, 1]]}],"
         "\"lowpass\": {\"parameter\": \"Location\", \"curve\": [[0, 22000], [3, 200]]}}]}");
    StudioEventInstance* instance = Play("event:/Steer");
    std::vector<float> out = Mix(480);
    EXPECT_FLOAT_EQ(std::abs(out[2 * 400]), 0.1f);  // Intensity 0: gain 0.2; the filter is open

    EXPECT_EQ(instance->SetParameterValue("Intensity", 7.0f), STUDIO_OK);  // clamped to 1
    float value = 0.0f;
    instance->GetParameterValue("Intensity", &value);
    EXPECT_EQ(value, 1.0f);
    out = Mix(960);
    EXPECT_LT(std::abs(out[2 * 100]), 0.5f);  // still gliding: no step
    EXPECT_FLOAT_EQ(std::abs(out[2 * 900]), 0.5f);

    instance->SetParameterValue("Location", 3.0f);  // cut-off 200 Hz: the buzz all but vanishes
    out = Mix(4800);
    float peak = 0.0f;
    for (int i = 4000; i < 4800; ++i) peak = std::max(peak, std::abs(out[2 * static_cast<size_t>(i)]));
    EXPECT_LT(peak, 0.01f);
    EXPECT_EQ(instance->SetParameterValue("Loudness", 1.0f), STUDIO_ERR_PARAMETER_NOTFOUND);
    EXPECT_NE(studio->LastError().find("no parameter \"Loudness\""), std::string::npos);
}

TEST_F(StudioTest, BeatsAndMarkersArriveAtTheirExactFrames)
{
    audio.Sound("bed.wav", kRate, 1, Constant(kRate, 1, 0.1f));
    // 120 beats per minute: a beat every 24000 frames; a two-beat count-in before bar 1.
    Load("{\"path\": \"event:/Song\", \"tempo\": 120, \"timeSignature\": [3, 4], \"firstDownbeat\": 1.0, \"length\": 4.0,"
         "\"markers\": [{\"name\": \"HighIntensity\", \"position\": 1.25}], \"parameters\": [{\"name\": \"Beat\", \"min\": 1, \"max\": 3}],"
         "\"tracks\": [{\"sound\": \"bed.wav\", \"gain\": [{\"parameter\": \"Beat\", \"curve\": [[1, 1], [2, 0.5], [3, 0.25]]}]}]}");
    Recorder recorder;
    Play("event:/Song", &recorder);
    std::vector<float> out = Mix(4 * kRate + 1000, 333, &recorder);  // requests that never line up with the beats
    // "Beat" set by the callback holds from the beat's own frame, without a glide.
    EXPECT_FLOAT_EQ(out[0], 0.05f);
    EXPECT_FLOAT_EQ(out[2 * 23999], 0.05f);
    EXPECT_FLOAT_EQ(out[2 * 24000], 0.025f);

    std::vector<std::pair<int, int>> bars;
    std::vector<int64_t> frames;
    for (const Seen& seen : recorder.seen) {
        if (seen.type != STUDIO_EVENT_CALLBACK_TIMELINE_BEAT) continue;
        bars.emplace_back(seen.bar, seen.beat);
        frames.push_back(seen.frame);
        EXPECT_EQ(seen.position, seen.frame * 1000 / kRate);
    }
    std::vector<std::pair<int, int>> expected = {{-1, 2}, {-1, 3}, {1, 1}, {1, 2}, {1, 3}, {2, 1}, {2, 2}, {2, 3}};
    EXPECT_EQ(bars, expected);
    for (size_t i = 0; i < frames.size(); ++i) EXPECT_EQ(frames[i], static_cast<int64_t>(i) * 24000);

    ASSERT_EQ(recorder.seen[3].type, STUDIO_EVENT_CALLBACK_TIMELINE_MARKER);  // after the beat at 1.0 s
    EXPECT_EQ(recorder.seen[3].marker, "HighIntensity");
    EXPECT_EQ(recorder.seen[3].frame, 60000);
}

TEST_F(StudioTest, LoopRegionRepeatsItsBeatsAndMarkers)
{
    audio.Sound("bed.wav", kRate, 1, Constant(2 * kRate, 1, 0.1f));
    Load("{\"path\": \"event:/Loop\", \"tempo\": 60, \"loop\": {\"start\": 1.0, \"end\": 2.0},"
         "\"markers\": [{\"name\": \"LowIntensity\", \"position\": 1.5}], \"tracks\": [{\"sound\": \"bed.wav\"}]}");
    Recorder recorder;
    StudioEventInstance* instance = Play("event:/Loop", &recorder);
    Mix(4 * kRate + 100, 1000, &recorder);
    std::vector<std::string> order;
    for (const Seen& seen : recorder.seen)
        order.push_back(seen.marker.empty() ? "beat " + std::to_string(seen.beat) + "@" + std::to_string(seen.frame)
                                            : seen.marker + "@" + std::to_string(seen.frame));
    std::vector<std::string> expected = {"beat 1@0", "beat 2@48000", "LowIntensity@72000", "beat 2@96000",
                                         "LowIntensity@120000", "beat 2@144000", "LowIntensity@168000",
                                         "beat 2@192000"};
    EXPECT_EQ(order, expected);
    int position = 0;
    instance->GetTimelinePosition(&position);
    EXPECT_EQ(position, 1002);  // 4 s and 100 frames in: one second into the loop, plus 2 ms

    EXPECT_EQ(instance->SetTimelinePosition(1750), STUDIO_OK);
    instance->GetTimelinePosition(&position);
    EXPECT_EQ(position, 1750);
}

TEST_F(StudioTest, InstancesStartOverlapPauseStopAndRelease)
{
    audio.Sound("blip.wav", kRate, 1, Constant(1000, 1, 0.25f));
    Load(Event("event:/Blip", "blip.wav"));
    StudioEventInstance* first = Play("event:/Blip");
    Mix(500);
    StudioEventInstance* second = Play("event:/Blip");
    std::vector<float> out = Mix(100);
    EXPECT_FLOAT_EQ(out[0], 0.5f);  // two copies overlap
    int playing = 0;
    studio->GetPlayingCount(&playing);
    EXPECT_EQ(playing, 2);

    first->SetPaused(true);
    out = Mix(100);
    EXPECT_FLOAT_EQ(out[0], 0.25f);
    int position = 0;
    first->GetTimelinePosition(&position);
    EXPECT_EQ(position, 600 * 1000 / kRate);  // paused: the timeline stands still

    second->Stop();
    first->SetPaused(false);
    first->Start();  // from the beginning again
    first->GetTimelinePosition(&position);
    EXPECT_EQ(position, 0);
    studio->GetPlayingCount(&playing);
    EXPECT_EQ(playing, 1);

    EXPECT_EQ(second->Release(), STUDIO_OK);
    EXPECT_EQ(second->Start(), STUDIO_ERR_INVALID_HANDLE);  // released, not yet freed
    EXPECT_EQ(studio->Update(), STUDIO_OK);                 // frees it: stopped and released
}

TEST_F(StudioTest, StartingBeyondThePlayingLimitFails)
{
    audio.Sound("blip.wav", kRate, 1, Constant(1000, 1, 0.25f));
    Load(Event("event:/Blip", "blip.wav"));
    for (int i = 0; i < 8; ++i) Play("event:/Blip");
    StudioEventDescription* description = nullptr;
    StudioEventInstance* instance = nullptr;
    studio->GetEvent("event:/Blip", &description);
    description->CreateInstance(&instance);
    EXPECT_EQ(instance->Start(), STUDIO_ERR_TOO_MANY_INSTANCES);
    Mix(1000);  // all eight end
    EXPECT_EQ(instance->Start(), STUDIO_OK);
}

TEST_F(StudioTest, ACallbackCannotReenterTheMixer)
{
    audio.Sound("bed.wav", kRate, 1, Constant(1000, 1, 0.1f));
    Load(Event("event:/Song", "bed.wav"));
    Recorder recorder;
    recorder.tryForbiddenCall = true;
    StudioEventInstance* instance = Play("event:/Song", &recorder);
    Mix(256, 256, &recorder);  // would deadlock if the call took the lock
    ASSERT_FALSE(recorder.seen.empty());
    EXPECT_EQ(recorder.callResult, STUDIO_ERR_INVALID_THREAD);
    EXPECT_EQ(instance->SetParameterValueInCallback("Beat", 1.0f), STUDIO_ERR_INVALID_THREAD);  // outside its callback
}

// An output plug-in that records its calls.
struct PluginLog {
    std::vector<std::string> calls;
    int rate = 0, length = 0, buffers = 0;
    int answerChannels = 2;
} pluginLog;

TEST(StudioOutputTest, PluginOpensAtInitialisationAndReopensWhenReselected)
{
    StudioOutputDescription plugin;
    plugin.apiversion = kStudioOutputApiVersion;
    plugin.name = "Recorder";
    plugin.getnumdrivers = [](StudioOutputState*, int* count) { return *count = 1, STUDIO_OK; };
    plugin.init = [](StudioOutputState* state, int, int* rate, StudioSpeakerMode*, int* channels, StudioSoundFormat*,
                     int length, int buffers) {
        pluginLog.calls.push_back(state->readfrommixer ? "init" : "init without mixer");
        pluginLog.rate = *rate, pluginLog.length = length, pluginLog.buffers = buffers;
        *channels = pluginLog.answerChannels;
        return STUDIO_OK;
    };
    plugin.close = [](StudioOutputState*) { return pluginLog.calls.push_back("close"), STUDIO_OK; };
    pluginLog = PluginLog();
    StudioSystem* studio = nullptr;
    StudioSystem::Create(&studio);
    studio->SetDSPBufferSize(240, 2);
    studio->SetSoftwareFormat(44100);
    unsigned handle = 0;
    ASSERT_EQ(studio->RegisterOutput(&plugin, &handle), STUDIO_OK);
    ASSERT_EQ(studio->SetOutputByPlugin(handle), STUDIO_OK);
    EXPECT_TRUE(pluginLog.calls.empty());  // nothing opens before initialisation
    ASSERT_EQ(studio->Initialize(4), STUDIO_OK);
    EXPECT_EQ(std::tie(pluginLog.rate, pluginLog.length, pluginLog.buffers), std::tuple(44100, 240, 2));
    EXPECT_EQ(studio->SetDSPBufferSize(480, 2), STUDIO_ERR_INITIALIZED);
    studio->SetOutputSilent();
    studio->SetOutputByPlugin(handle);
    EXPECT_EQ(studio->SetOutputByPlugin(handle + 1), STUDIO_ERR_INVALID_HANDLE);
    studio->Release();
    EXPECT_EQ(pluginLog.calls, (std::vector<std::string>{"init", "close", "init", "close"}));

    pluginLog = PluginLog();
    pluginLog.answerChannels = 6;  // a format the mixer cannot make is refused, and the plug-in closed
    StudioSystem::Create(&studio);
    studio->RegisterOutput(&plugin, &handle);
    studio->SetOutputByPlugin(handle);
    EXPECT_EQ(studio->Initialize(4), STUDIO_ERR_OUTPUT_FORMAT);
    studio->Release();
    EXPECT_EQ(pluginLog.calls, (std::vector<std::string>{"init", "close"}));
}

} // namespace
