// Thirty autoplay matches in a row in one headless, virtual-time engine on the real content
// (matches shortened to a few seconds): splash, then each time the main menu's PLAY, the
// match, the end screen's MAIN MENU and its YES, back to the main menu. Memory must stay
// flat after the first match and one seed must give the same results again. Slow: labelled
// "soak" and kept out of the quick test run.
#include "behaviormeter.h"
#include "engine.h"
#include "entity.h"
#include "input.h"
#include "runoptions.h"
#include "space.h"
#include "sprite.h"
#include "testcontent.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <malloc.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>

namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;  // the sanitizers keep freed memory aside: sizes mean nothing
#else
constexpr bool kSanitized = false;
#endif

// VOLLEYRUN_SOAK_MATCHES sets another count (a quick look at the figures).
int Matches()
{
    const char* count = std::getenv("VOLLEYRUN_SOAK_MATCHES");
    return count && std::atoi(count) >= 3 ? std::atoi(count) : 30;
}

// Resident memory of this process in kilobytes.
long ResidentKb()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}

struct MatchRecord {
    std::string result;     // the score counter's line
    float meter1 = 0.0f, meter2 = 0.0f;
    int64_t frames = 0;     // from PLAY to the main menu again
    long residentKb = 0;    // back in the main menu
    long heapKb = 0;        // bytes the allocator hands out, back in the main menu
    bool operator==(const MatchRecord& other) const
    {
        return result == other.result && meter1 == other.meter1 && meter2 == other.meter2 && frames == other.frames;
    }
};

class SoakTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(content.RealContentWithMatchOf(4)) << "the match length moved in game.txt";
    }
    void TearDown() override
    {
        Engine::Destroy();
        RunOptions::Get() = RunOptions();
    }
    void Frames(int count)
    {
        for (int i = 0; i < count; ++i) Engine::Get()->Update();
    }
    // Runs frames until the condition holds; false after a minute of game time.
    bool Until(const std::function<bool()>& condition)
    {
        for (int frame = 0; frame < 3600; ++frame) {
            if (condition()) return true;
            Frames(1);
        }
        return condition();
    }
    bool Has(const char* space) const { return Engine::Get()->FindSpace(space) != nullptr; }
    // Points the cursor's tip at a world position of the 1920 x 1080 screen (zoom 2 shows
    // 1066.7 x 533.3 world units) and clicks it.
    void Click(float x, float y)
    {
        Input* input = Input::Get();
        input->OnCursor(960.0 + 1.8 * (x + 5.0), 540.0 - 1.8 * (y - 5.0));
        Frames(3);
        input->OnMouseButton(Input::kMouseLeft, Input::kPress);
        Frames(2);
        input->OnMouseButton(Input::kMouseLeft, Input::kRelease);
        Frames(3);
    }
    // Clicks again every two and a half seconds until the condition holds (buttons wake up
    // after their screen's fade, and a fade is never cut short); false after a while.
    bool ClickUntil(float x, float y, const std::function<bool()>& condition)
    {
        for (int attempt = 0; attempt < 8; ++attempt) {
            Click(x, y);
            for (int frame = 0; frame < 150; ++frame) {
                if (condition()) return true;
                Frames(1);
            }
        }
        return condition();
    }
    // The program as `--headless --virtual-time --autoplay --seed N` starts it, past the splash.
    void StartAtMainMenu(unsigned seed)
    {
        testing_content::UseHeadlessOptions(content.root, seed).autoplay = true;
        Frames(150);
        Input::Get()->OnKey(Input::kKeySpace, Input::kPress);
        Frames(1);
        Input::Get()->OnKey(Input::kKeySpace, Input::kRelease);
        ASSERT_TRUE(Until([&] { return Has("MainMenu"); }));
        Frames(20);
    }
    // PLAY, the match to its end screen, MAIN MENU, YES: back in the main menu.
    void PlayOneMatch(MatchRecord* record)
    {
        int64_t start = Engine::Get()->frameCount;
        ASSERT_TRUE(ClickUntil(0, 40, [&] { return Has("game"); })) << "PLAY did not open the match";
        ASSERT_TRUE(Until([&] { return !Has("MainMenu"); })) << "the main menu stayed";
        ASSERT_TRUE(Until([&] { return Has("EndGame"); })) << "the match did not end";
        Frames(60);
        Space* game = Engine::Get()->FindSpace("game");
        ASSERT_NE(game, nullptr);
        record->result = game->RequireEntity("WinArt")->Require<Sprite>()->imageName;  // the art states the result
        record->meter1 = game->RequireEntity("BeatMeter1")->Require<BehaviorMeter>()->value;
        record->meter2 = game->RequireEntity("BeatMeter2")->Require<BehaviorMeter>()->value;
        ASSERT_TRUE(ClickUntil(115, -48, [&] { return Has("QuitConfirm"); })) << "no dialog after MAIN MENU";
        ASSERT_TRUE(ClickUntil(-110, -48, [&] { return Has("MainMenu"); })) << "YES did not lead to the main menu";
        ASSERT_TRUE(Until([&] { return !Has("game") && !Has("EndGame") && !Has("QuitConfirm"); }))
            << "the match stayed behind the main menu";
        Frames(30);
        record->frames = Engine::Get()->frameCount - start;
        record->residentKb = ResidentKb();
        record->heapKb = static_cast<long>(mallinfo2().uordblks / 1024);
    }

    testing_content::TempContent content;
};

TEST_F(SoakTest, ThirtyMatchesInARowKeepMemoryFlatAndRepeatForTheSameSeed)
{
    StartAtMainMenu(11);
    const int count = Matches();
    std::vector<MatchRecord> matches(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        SCOPED_TRACE("match " + std::to_string(i + 1));
        PlayOneMatch(&matches[i]);
        if (HasFatalFailure()) return;
        std::printf("match %2d: %-15s meters %5.1f %5.1f, %lld frames, resident %ld KB, heap %ld KB\n", i + 1,
                    matches[i].result.c_str(), matches[i].meter1, matches[i].meter2, static_cast<long long>(matches[i].frames),
                    matches[i].residentKb, matches[i].heapKb);
    }
    for (const MatchRecord& match : matches)
        EXPECT_THAT(match.result, ::testing::AnyOf("victoryScreen_P1.png", "victoryScreen_P2.png", "victoryScreen_Draw.png"));
    if (!kSanitized) {
        // The first match loads what every later one reuses; after it, nothing may pile up.
        for (int i = 2; i < count; ++i) {
            EXPECT_LT(matches[i].heapKb - matches[1].heapKb, 512) << "heap growing by match " << i + 1;
            EXPECT_LT(matches[i].residentKb - matches[1].residentKb, 4096) << "resident memory growing by match " << i + 1;
        }
    }

    // The same seed in a new engine plays the same first matches.
    Engine::Destroy();
    StartAtMainMenu(11);
    for (int i = 0; i < 2; ++i) {
        MatchRecord again;
        PlayOneMatch(&again);
        if (HasFatalFailure()) return;
        EXPECT_EQ(again, matches[i]) << "match " << i + 1 << ": " << again.result << " against " << matches[i].result;
    }
}

} // namespace
