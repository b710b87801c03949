// The studio on its own, the tests pulling the mix: bank refusals, the mixer, decoding, beats and markers.
#include "audiotestcontent.h"
#include "studiobank.h"
#include "studioeventdescription.h"
#include "studioeventinstance.h"
#include "studiosystem.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <numbers>
#include <ranges>
#include <string>
#include <tuple>
#include <vector>

namespace volleyrun {

namespace {

using audio_content::Constant;
constexpr int kRate = 48000;

// What the timeline callbacks saw: "bar:beat@frame" or "marker@frame", at absolute output frames.
struct Recorder {
    std::vector<std::string> seen;
    int64_t requestStart = 0;  // output frames mixed before the current request
    bool tryForbiddenCall = false;
    bool looped = false;  // else every position is the callback's own frame in milliseconds
    StudioResult callResult = STUDIO_OK;  // what the forbidden call from inside returned
};

StudioResult Record(unsigned type, StudioEventInstance* instance, void* parameters)
{
    void* data = nullptr;
    instance->GetUserData(&data);
    auto* recorder = static_cast<Recorder*>(data);
    auto* beat = static_cast<StudioTimelineBeat*>(parameters);
    auto* marker = static_cast<StudioTimelineMarker*>(parameters);
    bool isBeat = type == STUDIO_EVENT_CALLBACK_TIMELINE_BEAT;
    int64_t offset = isBeat ? beat->offsetNanoseconds : marker->offsetNanoseconds;
    int64_t frame = recorder->requestStart + std::llround(static_cast<double>(offset) * kRate / 1e9);
    if (!recorder->looped) {
        EXPECT_EQ(isBeat ? beat->position : marker->position, frame * 1000 / kRate);
    }
    std::string name = isBeat ? std::to_string(beat->bar) + ":" + std::to_string(beat->beat) : marker->name;
    recorder->seen.push_back(name + "@" + std::to_string(frame));
    // As the audio engine does: the beat's number goes to the event's "Beat", where it has one.
    if (isBeat) instance->SetParameterValueInCallback("Beat", static_cast<float>(beat->beat));
    if (recorder->tryForbiddenCall) recorder->callResult = instance->SetPaused(true);
    return STUDIO_OK;
}

float Peak(const std::vector<float>& samples, size_t from = 0)
{
    return std::ranges::max(samples | std::views::drop(from) | std::views::transform([](float s) { return std::abs(s); }));
}

// A bank event whose single track plays the named sound.
std::string Event(const std::string& path, const std::string& sound, const std::string& extra = "",
                  const std::string& track = "")
{
    return R"({"path": ")" + path + R"(", "tracks": [{"sound": ")" + sound + "\"" + track + "}]" + extra + "}";
}

class StudioTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(StudioSystem::Create(&studio), STUDIO_OK);
        ASSERT_EQ(studio->SetDSPBufferSize(256, 2), STUDIO_OK);
        ASSERT_EQ(studio->Initialize(8), STUDIO_OK);
    }
    void TearDown() override { if (studio) studio->Release(); }
    StudioBank* Load(const std::string& events, StudioResult expected = STUDIO_OK, bool sampleData = true)
    {
        StudioBank* bank = nullptr;
        std::string file = audio.Bank("bank" + std::to_string(++banks) + ".json", events);
        EXPECT_EQ(studio->LoadBankFile(file, &bank), expected) << studio->LastError();
        if (bank && sampleData) {
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
    bool Said(const std::string& text) { return studio->LastError().find(text) != std::string::npos; }
    static int Position(StudioEventInstance* instance) { int ms = -1; instance->GetTimelinePosition(&ms); return ms; }

    testing_content::TempContent content;
    audio_content::AudioFolder audio{content.root};
    StudioSystem* studio = nullptr;
    int banks = 0;
    int64_t mixed = 0;
};

TEST_F(StudioTest, BankRefusalsNameTheMemberAndTheProblem)
{
    audio.Sound("one.wav", kRate, 1, Constant(100, 1, 0.5f));
    auto one = [](const std::string& extra, const std::string& track = "") { return Event("event:/A", "one.wav", extra, track); };
    const std::pair<std::string, std::string> cases[] = {  // a bank's events (or whole text), what its refusal says
        {R"({"version": 1, "events": [)", "not valid JSON"},
        {R"({"version": 2, "events": []})", "version"},
        {R"({"tracks": []})", R"(events[0] needs the member "path")"},
        {R"({"path": "InGame", "tracks": []})", R"(events[0].path must start with "event:/")"},
        {one(R"(, "tempo": 0)"), "events[0].tempo must be a number above 0"},
        {one(R"(, "tempi": 3)"), R"(has an unknown member "tempi")"},
        {one(R"(, "timeSignature": [4, 3])"), "events[0].timeSignature"},
        {one(R"(, "length": 86401)"), "events[0].length must be at most 86400 seconds"},
        {one(R"(, "oneShot": true, "loop": {"start": 0, "end": 0.001})"), "events[0].loop is not allowed on a one-shot"},
        {one(R"(, "loop": {"start": 0, "end": 5})"), "events[0].loop must satisfy"},
        {Event("event:/A", "../one.wav"), "must name a file inside the sound folder"},
        {one("", R"(, "gain": [{"parameter": "Nope", "curve": [[0, 1]]}])"), R"(tracks[0].gain[0].parameter names "Nope")"},
        {one(R"(, "parameters": [{"name": "P"}])", R"(, "gain": [{"parameter": "P", "curve": [[1, 1], [0, 1]]}])"),
         "strictly increasing"},
        {one(R"(, "parameters": [{"name": "P"}, {"name": "P"}])"), R"(events[0].parameters[1] repeats the parameter "P")"},
        {one("") + ", " + one(""), R"(events[1] repeats the path "event:/A")"},
        {Event("event:/A", "missing.wav"), R"(events[0].tracks[0].sound "missing.wav" cannot be opened)"},
    };
    StudioBank* bank = nullptr;
    std::string file = (audio.Banks() / "bad.json").string();
    for (const auto& [events, message] : cases) {
        SCOPED_TRACE(events);
        if (events.starts_with(R"({"version")")) testing_content::WriteText(file, events);
        else audio.Bank("bad.json", events);
        bool missing = events.find("missing.wav") != std::string::npos;
        EXPECT_EQ(studio->LoadBankFile(file, &bank), missing ? STUDIO_ERR_FILE_NOTFOUND : STUDIO_ERR_FILE_BAD);
        EXPECT_TRUE(Said("Bank " + file + ": ") && Said(message)) << studio->LastError();
    }
    EXPECT_EQ(studio->LoadBankFile((audio.Banks() / "absent.json").string(), &bank), STUDIO_ERR_FILE_NOTFOUND);
    Load(one(""));  // an event is defined once across banks too
    Load(one(""), STUDIO_ERR_EVENT_ALREADY_LOADED);
    EXPECT_TRUE(Said("already defined by"));
    StudioEventDescription* description = nullptr;
    EXPECT_EQ(studio->GetEvent("event:/Nothing", &description), STUDIO_ERR_EVENT_NOTFOUND);
    EXPECT_TRUE(Said("event:/Nothing"));
}

TEST_F(StudioTest, TracksMixWithVolumeChannelsMasterVolumeAndTheLimiter)
{
    audio.Sound("mono.wav", kRate, 1, Constant(4000, 1, 0.5f));
    std::vector<float> stereo;
    for (int i = 0; i < 4000; ++i) stereo.insert(stereo.end(), {0.25f, -0.5f});
    audio.Sound("stereo.wav", kRate, 2, stereo);
    Load(R"({"path": "event:/Both", "tracks": [{"sound": "mono.wav", "volume": 0.5},
         {"sound": "stereo.wav", "start": 0.005}]})");
    StudioEventInstance* instance = Play("event:/Both");
    std::vector<float> out = Mix(1000);
    // Mono on both channels at half volume; the stereo track starts at 5 ms = frame 240.
    for (auto [at, expected] : {std::pair{200, 0.25f}, {201, 0.25f}, {479, 0.25f}, {480, 0.5f}, {481, -0.25f}})
        EXPECT_FLOAT_EQ(out[at], expected) << at;
    studio->SetMasterVolume(0.5f);
    EXPECT_FLOAT_EQ(Mix(300)[2 * 290], 0.25f);  // the master volume glides across one buffer, then holds
    Mix(3000);
    bool playing = true;
    instance->IsPlaying(&playing);
    EXPECT_FALSE(playing);  // a one-shot ends with its longest track

    // Two loud tones sum to 1.6: the master bus turns them down keeping their shape, then lets quiet sound through.
    studio->SetMasterVolume(1.0f);
    audio.Sound("loud.wav", kRate, 1, audio_content::Sine(4800, kRate, 480.0, 0.8f));
    Load(Event("event:/Loud", "loud.wav"));
    Play("event:/Loud");
    Play("event:/Loud");
    out = Mix(4800);
    EXPECT_TRUE(Peak(out) > 0.9f && Peak(out) <= 1.0f) << Peak(out);
    auto gain = [&out](int frame) { return out[2 * frame] / (1.6f * std::sin(2.0f * std::numbers::pi_v<float> * frame / 100)); };
    EXPECT_NEAR(gain(4008), gain(4025), 0.02f);  // a thirtieth and a quarter of a period in
    Mix(kRate);
    Play("event:/Both");
    EXPECT_FLOAT_EQ(Mix(200)[2 * 100], 0.25f);
}

// Long sounds decode in pieces while they play, joined without a lost or repeated frame; a sound broken after its bank
// was read plays as silence, named once by the next update; Release abandons sounds still decoding.
TEST_F(StudioTest, SoundsDecodeInPiecesWithoutSeamsAndOneThatFailsIsSilentReportedOnceAndAbandonedAtRelease)
{
    constexpr int kFileFrames = 36000;  // several pieces at 24 kHz
    audio.Sound("tone.wav", 24000, 1, audio_content::Sine(kFileFrames, 24000, 440.0, 0.5f));
    Load(Event("event:/Tone", "tone.wav"));
    Play("event:/Tone");
    std::vector<float> out = Mix(2 * kFileFrames);
    double worst = 0.0;
    for (int i = 200; i < 2 * kFileFrames - 200; ++i)
        worst = std::max(worst, std::abs(out[2 * i] - 0.5 * std::sin(2.0 * std::numbers::pi * 440.0 * i / kRate)));
    EXPECT_LT(worst, 0.01);

    audio.Sound("gone.wav", kRate, 1, Constant(4000, 1, 0.5f));
    audio.Sound("kept.wav", kRate, 1, Constant(4000, 1, 0.25f));
    audio.Sound("long.wav", 44100, 2, Constant(44100 * 60, 2, 0.1f));
    StudioBank* bank = Load(R"({"path": "event:/Two", "tracks": [{"sound": "gone.wav"}, {"sound": "kept.wav"}]})", STUDIO_OK, false);
    std::filesystem::remove(audio.Sounds() / "gone.wav");
    ASSERT_EQ(bank->LoadSampleData(), STUDIO_OK);
    Play("event:/Two");
    EXPECT_FLOAT_EQ(Mix(1000)[2 * 500], 0.25f);
    studio->FinishDecoding();
    EXPECT_EQ(studio->Update(), STUDIO_ERR_FILE_BAD);
    EXPECT_TRUE(Said("gone.wav: cannot be decoded")) << studio->LastError();
    EXPECT_EQ(studio->Update(), STUDIO_OK);

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
    Load(R"({"path": "event:/Steer", "parameters": [{"name": "Intensity", "min": 0, "max": 1},
         {"name": "Location", "min": 0, "max": 3}], "tracks": [{"sound": "buzz.wav",
         "gain": [{"parameter": "Intensity", "curve": [[0, 0.2], [1, 1]]}],
         "lowpass": {"parameter": "Location", "curve": [[0, 22000], [3, 200]]}}]})");
    StudioEventInstance* instance = Play("event:/Steer");
    EXPECT_FLOAT_EQ(std::abs(Mix(480)[2 * 400]), 0.1f);  // Intensity 0: gain 0.2; the filter is open
    EXPECT_EQ(instance->SetParameterValue("Intensity", 7.0f), STUDIO_OK);  // clamped to 1
    std::vector<float> out = Mix(960);
    EXPECT_LT(std::abs(out[2 * 100]), 0.5f);  // still gliding: no step
    EXPECT_FLOAT_EQ(std::abs(out[2 * 900]), 0.5f);
    instance->SetParameterValue("Location", 3.0f);  // cut-off 200 Hz: the buzz all but vanishes
    out = Mix(4800);
    EXPECT_LT(Peak(out, 2 * 4000), 0.01f);
    EXPECT_EQ(instance->SetParameterValue("Loudness", 1.0f), STUDIO_ERR_PARAMETER_NOTFOUND);
    EXPECT_TRUE(Said("no parameter \"Loudness\""));
}

// The callback may set its event's "Beat" but never call back into the mixer it runs on.
TEST_F(StudioTest, BeatsAndMarkersArriveAtTheirExactFramesAndTheirCallbackCannotReenterTheMixer)
{
    audio.Sound("bed.wav", kRate, 1, Constant(kRate, 1, 0.1f));
    // 120 beats per minute: a beat every 24000 frames; a two-beat count-in before bar 1.
    Load(R"({"path": "event:/Song", "tempo": 120, "timeSignature": [3, 4], "firstDownbeat": 1.0, "length": 4.0,
         "markers": [{"name": "HighIntensity", "position": 1.25}], "parameters": [{"name": "Beat", "min": 1, "max": 3}],
         "tracks": [{"sound": "bed.wav", "gain": [{"parameter": "Beat", "curve": [[1, 1], [2, 0.5], [3, 0.25]]}]}]})");
    Recorder recorder;
    recorder.tryForbiddenCall = true;
    StudioEventInstance* instance = Play("event:/Song", &recorder);
    std::vector<float> out = Mix(4 * kRate + 1000, 333, &recorder);  // requests that never line up with the beats
    // "Beat" set by the callback holds from the beat's own frame, without a glide.
    for (auto [at, level] : {std::pair{0, 0.05f}, {23999, 0.05f}, {24000, 0.025f}}) EXPECT_FLOAT_EQ(out[2 * at], level) << at;
    std::vector<std::string> expected = {"-1:2@0",       "-1:3@24000",  "1:1@48000",  "HighIntensity@60000", "1:2@72000",
                                         "1:3@96000",    "2:1@120000",  "2:2@144000", "2:3@168000"};
    EXPECT_EQ(recorder.seen, expected);
    EXPECT_EQ(recorder.callResult, STUDIO_ERR_INVALID_THREAD);  // refused, not deadlocked on the mixer's lock
    EXPECT_EQ(instance->SetParameterValueInCallback("Beat", 1.0f), STUDIO_ERR_INVALID_THREAD);  // outside its callback
}

TEST_F(StudioTest, LoopRegionRepeatsItsBeatsAndMarkers)
{
    audio.Sound("bed.wav", kRate, 1, Constant(2 * kRate, 1, 0.1f));
    Load(R"({"path": "event:/Loop", "tempo": 60, "loop": {"start": 1.0, "end": 2.0},
         "markers": [{"name": "LowIntensity", "position": 1.5}], "tracks": [{"sound": "bed.wav"}]})");
    Recorder recorder;
    recorder.looped = true;
    StudioEventInstance* instance = Play("event:/Loop", &recorder);
    Mix(4 * kRate + 100, 1000, &recorder);
    std::vector<std::string> expected = {"1:1@0",         "1:2@48000",           "LowIntensity@72000", "1:2@96000",
                                         "LowIntensity@120000", "1:2@144000", "LowIntensity@168000", "1:2@192000"};
    EXPECT_EQ(recorder.seen, expected);
    EXPECT_EQ(Position(instance), 1002);  // 4 s and 100 frames in: one second into the loop, plus 2 ms
}

// A released instance is refused, then freed by the next update; at most eight play, an ended one frees its place.
TEST_F(StudioTest, AReleasedInstanceIsRefusedAndNoMoreThanEightPlayAtOnce)
{
    audio.Sound("blip.wav", kRate, 1, Constant(1000, 1, 0.25f));
    Load(Event("event:/Blip", "blip.wav"));
    StudioEventInstance* instance = Play("event:/Blip");
    instance->Stop();
    EXPECT_EQ(instance->Release(), STUDIO_OK);
    EXPECT_EQ(instance->Start(), STUDIO_ERR_INVALID_HANDLE);  // released, not yet freed
    EXPECT_EQ(studio->Update(), STUDIO_OK);                   // frees it: stopped and released
    for (int i = 0; i < 8; ++i) Play("event:/Blip");
    StudioEventDescription* description = nullptr;
    studio->GetEvent("event:/Blip", &description);
    description->CreateInstance(&instance);
    EXPECT_EQ(instance->Start(), STUDIO_ERR_TOO_MANY_INSTANCES);
    Mix(1000);  // all eight end
    EXPECT_EQ(instance->Start(), STUDIO_OK);
}

} // namespace

} // namespace volleyrun
