// The flow of scenes in the real program and its real content, headless and in virtual
// time, driven by replay files as a player would, judged by the trace and the dump at exit.
#include "replayrun.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>

namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using replay_run::GameRun;
using replay_run::Play;

constexpr int kKeySpace = 32, kKeyEscape = 256, kKeyEnter = 257, kKeyRight = 262, kKeyLeft = 263, kKeyDown = 264,
              kKeyUp = 265;
constexpr int kPadA = 0, kPadB = 1, kPadUp = 10, kPadRight = 11, kPadDown = 12, kPadLeft = 13;

class Script : public replay_run::Script {
public:
    // Arrow keys (u, d, l, r) and D-pad presses (U, D, L, R), one after another.
    Script& Walk(const std::string& moves)
    {
        constexpr char kMoves[] = "udlrUDLR";
        constexpr int kKeys[] = {kKeyUp, kKeyDown, kKeyLeft, kKeyRight}, kPads[] = {kPadUp, kPadDown, kPadLeft, kPadRight};
        for (char move : moves) {
            long index = std::strchr(kMoves, move) - kMoves;
            if (index < 4) Key(kKeys[index], 4);
            else Pad(kPads[index - 4], 4);
        }
        return *this;
    }
};

TEST(ProgramFlowTest, TheKeyboardQuitsAndTheProgramEndsWithStatusZero)
{
    Script script;
    script.Wait(2).Key(kKeySpace, 20);                              // past the splash
    for (int i = 0; i < 5; ++i) script.Key(kKeyDown, 3);            // options ... quit, then nothing lower
    script.Key(kKeyEnter, 10).Key(kKeyEnter, 10);                   // NO, where the dialog starts, keeps the menu
    script.Key(kKeyEnter, 10).Key(kKeyLeft, 3).Key(kKeyEnter, 10);  // yes
    GameRun run = Play(script, 0);
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(run.Frames("MainMenu/QuitButton: opening \"MainMenuQuitConfirm\" at frame (\\d+)").size(), 2u) << run.output;
    EXPECT_THAT(run.output, HasSubstr("MainMenuQuitConfirm/NoButton: closed"));
    EXPECT_THAT(run.Spaces(), ElementsAre("Debug"));
}

// Escape and gamepad B press a screen's way back: the dialogs' NO, the pages' BACK. The
// pad's A clicks like Enter.
TEST(ProgramFlowTest, EscapeAndPadBGoBackWhereverThereIsAWayBack)
{
    Script script;
    script.Wait(3);
    script.Walk("dddd").Key(kKeyEnter, 10).Pad(kPadB, 10);     // quit dialog, B
    script.Key(kKeyEnter, 10).Key(kKeyEscape, 10);             // again, Escape
    script.Walk("uu").Key(kKeyEnter, 10).Key(kKeyEscape, 10);  // tutorial, Escape
    script.Walk("D").Pad(kPadA, 10).Pad(kPadB, 10);            // options by the pad, B
    GameRun run = Play(script, script.Frame(), "--space MainMenu");
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(run.Frames("MainMenuQuitConfirm/NoButton: closed, opening \"\" at frame (\\d+)").size(), 2u) << run.output;
    EXPECT_THAT(run.output, HasSubstr("Tutorial/BackButton: closed, opening \"MainMenu\""));
    EXPECT_THAT(run.output, HasSubstr("MainMenuOptions/BackButton: closed"));
    EXPECT_THAT(run.Spaces(), ElementsAre("MainMenu", "Debug"));
}

// A pause of any length, at any point of the bar, must not move the beat: autoplay returns
// every ball on its beat, so after each pause (and after the map editor closes) nobody misses
// and the signs show the top grade. All of it within the autoplay match (about 1700 frames).
TEST(ProgramFlowTest, PausesOfAnyLengthLeaveEveryBallOnTheBeat)
{
    constexpr int kKeyLeftControl = 341, kKeyF6 = 295;
    Script script;
    script.Wait(599).KeyDown(kKeyLeftControl, 1).Key(kKeyF6, 1).KeyUp(kKeyLeftControl, 203);  // the editor, 3.4 s
    script.Key(kKeyEscape, 300);
    script.Key(kKeyEscape, 316).Key(kKeyEscape, 375);  // 5.3 s paused, then the count-down
    script.Key(kKeyEscape, 28).Key(kKeyEscape, 500);   // half a second
    GameRun run = Play(script, script.Frame(), "--space game --autoplay");
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(run.Frames("Pause: paused at frame (\\d+)").size(), 2u) << run.output;
    for (const char* side : {"0", "1"}) {  // no misses; the signs show PERFECT (frame 3 or 8)
        const rapidjson::Value *score = run.Entity("game", std::string("PlayerScore") + side),
                               *sign = run.Entity("game", std::string("BillBoardP") + side);
        ASSERT_TRUE(score && sign);
        EXPECT_STREQ((*score)["SpriteText"]["text"].GetString(), "0") << side;
        EXPECT_THAT((*sign)["Sprite"]["frameIndex"].GetUint(), ::testing::AnyOf(3u, 8u)) << side;
    }
}

} // namespace
