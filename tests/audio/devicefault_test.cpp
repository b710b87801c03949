// The audio engine on a device that refuses to open, fails mid-stream, disappears or underruns: after every loss the
// music goes on from its position, beats cross once each and in order, and no thread is left behind.
#include "audiodriver.h"
#include "audioengine.h"
#include "audiotestcontent.h"
#include "engine.h"
#include "eventmanager.h"
#include "faultdevice.h"
#include "runoptions.h"
#include "studioeventinstance.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

namespace volleyrun {

namespace {

using testing_content::WaitFor;

constexpr int64_t kRate = 48000;
constexpr int64_t kBeatFrames = kRate * 60 / 900;  // tempo 900: fifteen beats a second
constexpr int64_t kBlock = 480;                    // the fault device's period: the most mixed in one piece

int Threads()
{
    auto entries = std::filesystem::directory_iterator("/proc/self/task");
    return static_cast<int>(std::distance(begin(entries), end(entries)));
}

class DeviceFaultTest : public testing_content::EngineTest {
protected:
    void PrepareContent() override
    {
        audio_content::AudioFolder audio(content.root);
        audio.Sound("tone.wav", 48000, 1, audio_content::Sine(48000, 48000, 480.0, 0.5f));
        audio.Bank("music.json", R"({"path": "event:/InGame", "tempo": 900, "length": 60, "loop": {"start": 0, "end": 60},
            "parameters": [{"name": "Beat", "min": 1, "max": 8, "default": 1}], "tracks": [{"sound": "tone.wav"}]})");
        AudioDriver::SetDeviceFactory([this] { return std::make_unique<FaultDevice>(&plan); });
    }
    void TearDown() override { EngineTest::TearDown(); AudioDriver::SetDeviceFactory(nullptr); }
    // A real-time engine (the mix runs on the driver's worker) playing the in-game music.
    void Begin()
    {
        RunOptions::Get().virtualTime = false;
        Start();
        Engine::Get()->events->AddListener(this, &DeviceFaultTest::OnBeat);
        PlaySoundEvent play(AudioEngine::kInGame, false, {});
        AudioEngine::Get()->OnPlaySound(play);
        Frames(1);
    }
    void OnBeat(BeatEvent& event) { beats.push_back(event.time); }
    // Every beat one beat after the one before it.
    bool InOrder() const
    {
        for (size_t i = 1; i < beats.size(); ++i)
            if (!(beats[i - 1].AddSixteenths(4) == beats[i])) return false;
        return true;
    }
    // Lets the device take frames more and waits until it has taken them.
    bool Play(int64_t frames) { plan.Grant(frames); return WaitFor([&] { return plan.Written() == plan.Granted(); }); }
    static bool WaitForLoss() { return WaitFor([] { return AudioEngine::Get()->resetOutput.load(); }); }
    bool Lose() { plan.lost = true; bool met = WaitForLoss(); plan.lost = false; return met; }  // gone between blocks
    // Runs frames until the driver feeds a device again.
    bool Recover()
    {
        for (int frame = 0; frame < 300; ++frame) {
            Frames(1);
            if (plan.openNow == 1 && !AudioEngine::Get()->resetOutput) return true;
        }
        return false;
    }
    static int Position()
    {
        int position = -1;
        AudioEngine::Get()->instances[AudioEngine::kInGame]->GetTimelinePosition(&position);
        return position;
    }

    FaultPlan plan;
    std::vector<BeatTime> beats;
};

TEST_F(DeviceFaultTest, AHundredLossesAndRecoveriesKeepTheMusicTheBeatsAndTheThreads)
{
    plan.underrunEvery = 2;  // underruns all along: mended by the device, never a loss
    const int unstarted = Threads();
    Begin();
    ASSERT_EQ(plan.openNow, 1);
    const int threads = Threads();
    int64_t dropped = 0;  // frames mixed for a device that failed while taking them
    for (int round = 0; round < 100; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        ASSERT_TRUE(Play(4800));
        int before = Position(), kind = round % 10;
        if (kind == 3) {  // unplugged: no device until it comes back a few frames later
            plan.present = false;
            ASSERT_TRUE(WaitForLoss());
            Frames(4);
            EXPECT_EQ(plan.openNow, 0);
            plan.present = true;
        } else if (kind % 2 == 1) {  // fails while taking a block: that block is never heard
            plan.failWrites = true;
            plan.Grant(2 * kBlock);
            ASSERT_TRUE(WaitForLoss());
            plan.failWrites = false;
            plan.Grant(-2 * kBlock);
            dropped += kBlock;
            EXPECT_EQ(Position(), before + kBlock * 1000 / kRate);
        } else {  // gone between blocks; at times the default device then refuses to open twice
            if (kind == 6) plan.refuseOpens = 2;
            ASSERT_TRUE(Lose());
            EXPECT_EQ(Position(), before);
        }
        ASSERT_TRUE(Recover());
        EXPECT_EQ(Threads(), threads);
    }
    ASSERT_TRUE(Play(4800));
    Frames(1);  // delivers the last beats
    int64_t mixed = plan.Written() + dropped;
    EXPECT_EQ(std::tuple(plan.opens.load(), plan.closes.load(), plan.refused.load()), std::tuple(101, 100, 10 * 2));
    EXPECT_GT(plan.underruns, 100);
    EXPECT_EQ(Position(), mixed * 1000 / kRate);  // the timeline moved only with the sound
    EXPECT_EQ(static_cast<int64_t>(beats.size()), (mixed + kBeatFrames - 1) / kBeatFrames);
    EXPECT_TRUE(InOrder());
    Engine::Destroy();
    EXPECT_EQ(Threads(), unstarted);  // the output worker and the sound loader, joined
    EXPECT_EQ(plan.openNow, 0);
}

TEST_F(DeviceFaultTest, WhileNoDeviceOpensTheMusicWaitsAndOnlyALossStartsTheRetries)
{
    plan.present = false;
    Begin();
    Frames(30);  // half a second without a device from the start: the designed silence, no retries
    EXPECT_EQ(plan.opens + plan.refused, 0);
    EXPECT_FALSE(AudioEngine::Get()->resetOutput);
    plan.present = true;
    AudioEngine::Get()->resetOutput = true;  // the re-selection that follows a loss
    ASSERT_TRUE(Recover());
    ASSERT_TRUE(Play(9600));
    Frames(1);
    int before = Position();
    size_t heard = beats.size();
    plan.refuseOpens = 1000;
    ASSERT_TRUE(Lose());
    auto start = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() - start < std::chrono::seconds(1)) Frames(1);
    auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(plan.refused, 2);  // tried again and again, a little while apart
    EXPECT_LE(plan.refused, waited / AudioDriver::kRetryDelay + 2);
    EXPECT_EQ(std::tuple(Position(), beats.size()), std::tuple(before, heard));
    plan.refuseOpens = 0;
    ASSERT_TRUE(Recover());
    ASSERT_TRUE(Play(9600));
    Frames(1);
    EXPECT_GT(Position(), before);
    EXPECT_GT(beats.size(), heard);
    EXPECT_TRUE(InOrder());
}

} // namespace

} // namespace volleyrun
