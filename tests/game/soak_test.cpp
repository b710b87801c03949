// Thirty autoplay matches of a few seconds in a row on the real content (PLAY, the match, MAIN MENU, YES): the heap
// must stay flat after the first. Slow: labelled "soak" and kept out of the quick run.
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
#include <functional>

namespace volleyrun {

namespace {

class SoakTest : public testing_content::EngineTest {
protected:
    static bool Has(const char* space) { return Engine::Get()->FindSpace(space) != nullptr; }
    // Runs frames until the condition holds, at most a minute of game time; given a place, clicks it every 2.5 s
    // (buttons wake only after their screen's fade).
    bool Until(const std::function<bool()>& condition, float x = 0, float y = 0, bool click = false)
    {
        for (int frame = 0; frame < 3600 && !condition(); ++frame) {
            if (click && frame % 150 == 0) {
                Input::Get()->OnCursor(960.0 + 1.8 * (x + 5.0), 540.0 - 1.8 * (y - 5.0));
                Frames(3);
                Input::Get()->OnMouseButton(Input::kMouseLeft, Input::kPress);
                Frames(2);
                Input::Get()->OnMouseButton(Input::kMouseLeft, Input::kRelease);
            }
            Frames(1);
        }
        return condition();
    }
};

TEST_F(SoakTest, ThirtyMatchesInARowKeepMemoryFlat)
{
    ASSERT_TRUE(content.RealContentWithMatchOf(4)) << "the match length moved in game.txt";
    RunOptions::Get().seed = 11;
    RunOptions::Get().autoplay = true;
    Start();
    Frames(150);
    Input::Get()->OnKey(Input::kKeySpace, Input::kPress);  // past the splash
    Frames(1);
    Input::Get()->OnKey(Input::kKeySpace, Input::kRelease);
    ASSERT_TRUE(Until([] { return Has("MainMenu"); }));
    const char* count = std::getenv("VOLLEYRUN_SOAK_MATCHES");  // another count, for a quick look at the figures
    const int matches = count && std::atoi(count) >= 3 ? std::atoi(count) : 30;
    std::vector<long> heapKb;
    for (int i = 0; i < matches; ++i) {
        SCOPED_TRACE("match " + std::to_string(i + 1));
        ASSERT_TRUE(Until([] { return Has("game"); }, 0, 40, true)) << "PLAY";
        ASSERT_TRUE(Until([] { return Has("EndGame"); })) << "the match did not end";
        Frames(60);
        std::string result = Engine::Get()->FindSpace("game")->RequireEntity("WinArt")->Require<Sprite>()->imageName;
        EXPECT_THAT(result, ::testing::AnyOf("victoryScreen_P1.png", "victoryScreen_P2.png", "victoryScreen_Draw.png"));
        ASSERT_TRUE(Until([] { return Has("QuitConfirm"); }, 115, -48, true)) << "MAIN MENU";
        ASSERT_TRUE(Until([] { return Has("MainMenu"); }, -110, -48, true)) << "YES";
        ASSERT_TRUE(Until([] { return !Has("game") && !Has("EndGame") && !Has("QuitConfirm"); })) << "the match stayed";
        Frames(30);
        heapKb.push_back(static_cast<long>(mallinfo2().uordblks / 1024));  // what the allocator hands out
        std::printf("match %2d: %-24s heap %ld KB\n", i + 1, result.c_str(), heapKb.back());
    }
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)  // the sanitizers keep freed memory aside
    // The first match loads what every later one reuses; after it, nothing may pile up.
    for (int i = 2; i < matches; ++i) EXPECT_LT(heapKb[i] - heapKb[1], 512) << "heap growing by match " << i + 1;
#endif
}

} // namespace

} // namespace volleyrun
