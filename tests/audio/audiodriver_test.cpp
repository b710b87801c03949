// The output driver under the studio: its block rule on a fault device, its clock on a simulated card, ALSA's null.
#include "audiodriver.h"
#include "audiotestcontent.h"
#include "faultdevice.h"
#include "simulatedcard.h"
#include "studioalsadevice.h"
#include "studiobank.h"
#include "studioeventdescription.h"
#include "studioeventinstance.h"
#include "studiosystem.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

namespace volleyrun {

namespace {

using testing_content::WaitFor;

class AudioDriverTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        if (studio) studio->Release();
        studio = nullptr;
        driver.reset();
        AudioDriver::SetDeviceFactory(nullptr);
    }
    // A studio mixing through a new driver, with the DSP set-up the audio engine makes.
    void Start(unsigned period, AudioDriver::DeviceFactory factory)
    {
        AudioDriver::SetDeviceFactory(std::move(factory));
        AudioDriver::Hooks hooks;
        hooks.trace = [this](const std::string& text) { std::lock_guard guard(traceLock); trace += text; };
        hooks.deviceLost = [this] { lost = true; };
        hooks.now = now;
        driver = std::make_unique<AudioDriver>(std::move(hooks));
        ASSERT_EQ(StudioSystem::Create(&studio), STUDIO_OK);
        studio->SetDSPBufferSize(period / 2, 2);
        StudioOutputDescription output = AudioDriver::Description();
        ASSERT_EQ(studio->RegisterOutput(&output, &handle), STUDIO_OK);
        ASSERT_EQ(studio->SetOutputByPlugin(handle), STUDIO_OK);
        ASSERT_EQ(studio->Initialize(16), STUDIO_OK);
    }
    // Releases the studio; returns what the driver traced.
    std::string Stop() { studio->Release(); studio = nullptr; std::lock_guard guard(traceLock); return trace; }
    // Ten minutes of timeline playing a 0.1 s tone.
    StudioEventInstance* PlayLongEvent()
    {
        audio_content::AudioFolder audio(content.root);
        audio.Sound("tone.wav", 48000, 1, audio_content::Sine(4800, 48000, 440.0, 0.5f));
        StudioBank* bank = nullptr;
        EXPECT_EQ(studio->LoadBankFile(audio.Bank("b.json", R"({"path": "event:/Long", "length": 600,
                                                                "tracks": [{"sound": "tone.wav"}]})"), &bank), STUDIO_OK);
        StudioEventDescription* description = nullptr;
        StudioEventInstance* instance = nullptr;
        studio->GetEvent("event:/Long", &description);
        description->CreateInstance(&instance);
        instance->Start();
        return instance;
    }

    testing_content::TempContent content;
    std::unique_ptr<AudioDriver> driver;
    StudioSystem* studio = nullptr;
    unsigned handle = 0;
    std::mutex traceLock;
    std::string trace;
    std::atomic<bool> lost{false};
    std::function<int64_t()> now;  // the steady clock, unless a test has its own
};

// The output clock on a simulated card (1024-frame periods, 20 ms server latency, 100 ppm drift) says when each beat
// is heard, through an underrun and a device reset; a card with nonsense delays is timed by the latency, said once.
class OutputClockTest : public AudioDriverTest {
protected:
    struct Scenario {
        const char* name;
        int64_t stallAt = -1, stallNs = 0;  // the worker oversleeps at stallAt by stallNs: the card underruns
        int64_t loseAt = -1;    // the card is unplugged here and the default one reopened
        bool nonsense = false;  // the card reports negative delays
    };
    static StudioResult Record(unsigned, StudioEventInstance* instance, void* parameters)
    {
        void* data = nullptr;
        instance->GetUserData(&data);
        auto* test = static_cast<OutputClockTest*>(data);
        std::lock_guard guard(test->beatLock);
        test->beatFrames.push_back(static_cast<const StudioTimelineBeat*>(parameters)->mixFrame);
        return STUDIO_OK;
    }
    // Runs 12 s of music a frame at a time; returns the worst error (ns) of the clock's belief as each beat is heard.
    int64_t Run(const Scenario& scenario)
    {
        plan->stallAt = scenario.stallAt;
        plan->stallNs = scenario.stallNs;
        plan->delayNonsense = scenario.nonsense;
        now = [this] { return plan->time.Now(); };
        Start(1024, [this] { return std::make_unique<simulated_card::SimulatedCard>(plan.get()); });
        StudioEventInstance* music = PlayLongEvent();
        music->SetUserData(this);
        music->SetCallback(&OutputClockTest::Record, STUDIO_EVENT_CALLBACK_TIMELINE_BEAT);
        int64_t worst = 0;
        size_t judged = 0, errors = 0;
        auto judge = [&](int64_t now) {
            std::lock_guard guard(beatLock);
            for (; judged < beatFrames.size() && plan->HeardAt(beatFrames[judged]) <= now; ++judged) {
                std::optional<int64_t> belief = driver->Clock().InstantOf(static_cast<double>(beatFrames[judged]));
                if (!belief || plan->HeardAt(beatFrames[judged]) < 0) continue;
                worst = std::max(worst, std::abs(*belief - plan->HeardAt(beatFrames[judged])));
                ++errors;
            }
        };
        for (int64_t frame = 1; frame <= 720; ++frame) {
            int64_t now = frame * 16'666'667;
            plan->time.AdvanceTo(now);
            judge(now);
            if (scenario.loseAt < 0 || now < scenario.loseAt || plan->opens != 1) continue;
            plan->lost = true;
            plan->time.AdvanceTo(now + AudioDriver::kWaitMs * 1'000'000);  // the worker meets the loss and ends
            EXPECT_TRUE(WaitFor([&] { return lost.load(); }));
            plan->lost = false;
            // Beats the lost card played are judged on its own line, never on the new card's.
            judge(plan->time.Now());
            std::lock_guard guard(beatLock);
            judged = beatFrames.size();
            studio->SetOutputSilent();
            studio->SetOutputByPlugin(handle);
        }
        EXPECT_GE(errors, 20u);
        return worst;
    }

    std::unique_ptr<simulated_card::CardPlan> plan;
    std::mutex beatLock;
    std::vector<int64_t> beatFrames;  // under beatLock: mix frame of each beat, in order
};

TEST_F(OutputClockTest, BeatsAreHeardWhereTheClockSays)
{
    const Scenario scenarios[] = {{"steady"}, {"underrun", 4'000'000'000, 150'000'000}, {"device reset", -1, 0, 6'500'000'000}};
    for (const Scenario& scenario : scenarios) {
        SCOPED_TRACE(scenario.name);
        plan = std::make_unique<simulated_card::CardPlan>();
        beatFrames.clear();
        EXPECT_LT(Run(scenario), 10'000);  // under half a frame at 48 kHz (the card's own times are whole microseconds)
        EXPECT_EQ(plan->underruns, scenario.stallAt >= 0 ? 1 : 0);
        EXPECT_EQ(driver->LatencyFrames(), (scenario.stallAt >= 0 ? 6u : 3u) * 1024u);  // doubled after the underrun
        EXPECT_EQ(plan->opens, scenario.loseAt >= 0 ? 2 : 1);
        TearDown();
        lost = false;
    }
    // Off by what the card did not say: the server's 20 ms and up to a period still playing.
    plan = std::make_unique<simulated_card::CardPlan>();
    EXPECT_LT(Run({"nonsense", -1, 0, -1, true}), 20'000'000 + 2 * 1024 * 1'000'000'000LL / 48000);
    for (int i = 0; i < 3; ++i) driver->ReportChanges();
    std::string text = Stop();
    EXPECT_NE(text.find("delay of -5 frames that cannot be right"), std::string::npos) << text;
    EXPECT_EQ(text.find("cannot be right"), text.rfind("cannot be right"));  // said once
}

// Uneven readings of a card 100 ppm fast: the fitted line runs through them; an absurd pace falls back to nominal.
TEST(OutputClockFitTest, TheLineRunsThroughExactReadingsAndAnAbsurdPaceFallsBackToTheNominal)
{
    OutputClock clock;
    clock.SetNominalRate(48000);
    const double fast = 48000 * 1.0001 / 1e9;
    for (int64_t ns : {0, 5'300'000, 21'000'000, 33'700'000}) clock.Add(1'000'000'000 + ns, 500.0 + ns * fast);
    EXPECT_NEAR(*clock.FrameAt(1'050'000'000), 500.0 + 50'000'000 * fast, 1e-6);
    EXPECT_NEAR(*clock.InstantOf(500.0 + 10'000'000 * fast), 1'010'000'000, 1);
    clock.Reset();
    EXPECT_FALSE(clock.FrameAt(0));
    for (int64_t ns : {0, 10'000'000}) clock.Add(ns, ns * 2 * 48000 / 1e9);  // twice the nominal pace
    EXPECT_DOUBLE_EQ(clock.Current().framesPerNs, 48000 / 1e9);
}

// Whatever room a device makes is filled at once, a period at most a write; ALSA's null device (the default through
// ALSA_CONFIG_PATH, as build machines have no card) takes any period and never blocks.
TEST_F(AudioDriverTest, KeepsADeviceFilledAPeriodAtATimeAndFeedsAlsasNullDeviceAtTheSmallestPeriod)
{
    FaultPlan device;
    Start(480, [&device] { return std::make_unique<FaultDevice>(&device); });
    for (int64_t room : {100, 480, 960, 240}) {
        device.Grant(room);
        ASSERT_TRUE(WaitFor([&] { return device.Written() == device.Granted(); })) << room;
    }
    // Three periods asked for, the buffer holds two.
    EXPECT_EQ(Stop(), "init\nAudio output: period 480 frames, latency 960 frames (20.0 ms)\nclose\n");
    EXPECT_EQ(device.writes, (std::vector<unsigned>{100, 480, 480, 480, 240}));
    trace.clear();
    struct Restore {  // ALSA_CONFIG_PATH as it was, however the test ends
        const char* old = std::getenv("ALSA_CONFIG_PATH");
        std::string saved = old ? old : "";
        ~Restore() { old ? setenv("ALSA_CONFIG_PATH", saved.c_str(), 1) : unsetenv("ALSA_CONFIG_PATH"); }
    } restore;
    auto use = [this](const std::string& file, const std::string& text) {
        testing_content::WriteText(content.root / file, text);
        setenv("ALSA_CONFIG_PATH", (content.root / file).c_str(), 1);  // ALSA reloads when the path changes
    };
    use("asound.conf", "pcm.!default { type null }\n");
    StudioAlsaDevice alsa;
    unsigned period = 0, rate = 0, buffer = 0;
    ASSERT_TRUE(alsa.Query(48000, &period, &rate));
    EXPECT_EQ(std::tuple(period, rate), std::tuple(StudioAlsaDevice::kMinimumPeriod, 48000u));  // null allows 1 frame
    Start(period, nullptr);
    StudioEventInstance* music = PlayLongEvent();
    EXPECT_TRUE(WaitFor([&] { int ms = 0; music->GetTimelinePosition(&ms); return ms > 1000; }));
    EXPECT_EQ(Stop(), "init\nAudio output: period 128 frames, latency 384 frames (8.0 ms)\nclose\n");

    use("absent.conf", "pcm.!default { type hw card 31 }\n");  // a card that is not there
    StudioAlsaDevice missing;
    EXPECT_FALSE(missing.Query(48000, &period, &rate));
    EXPECT_FALSE(missing.Open(48000, 128, &period, &buffer));
}

} // namespace

} // namespace volleyrun
