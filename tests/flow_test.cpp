// The flow of scenes in the real program and its real content, headless and in virtual
// time, driven by replay files the way a player would: mouse, gamepad and keyboard. Each
// run is judged by its trace on standard output and by the dump of the spaces left at exit.
#include "replayrun.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <rapidjson/document.h>

namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

constexpr int kKeySpace = 32, kKeyEscape = 256, kKeyEnter = 257, kKeyRight = 262, kKeyDown = 264;
constexpr int kPadA = 0, kPadDown = 12;

using replay_run::GameRun;
using replay_run::Play;

// Past the studio card (2 s), then any key: the main menu.
class Script : public replay_run::Script {
public:
    Script& SkipSplash()
    {
        Wait(150).Key(kKeySpace, 20);
        return *this;
    }
};

// Where the main menu's buttons stand.
constexpr float kMenuX = 0.0f;
constexpr float kPlayY = 40.0f, kOptionsY = -20.0f;

std::string Image(const rapidjson::Value* entity)
{
    return entity ? (*entity)["Sprite"]["imageName"].GetString() : "(missing)";
}

float X(const rapidjson::Value* entity)
{
    return entity ? (*entity)["Transform"]["translationX"].GetFloat() : -9999.0f;
}

TEST(ProgramFlowTest, TheSplashGivesWayToAKeyOnlyOnceTheStudioCardShows)
{
    Script early;
    early.Wait(60).Key(kKeySpace);  // 1 s: too early
    GameRun run = Play(early, 140);
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_THAT(run.Spaces(), ElementsAre("Splash", "Debug"));

    Script late;
    late.Wait(60).Key(kKeySpace).Wait(90).Key(kKeySpace, 5);  // 2.5 s
    run = Play(late, late.Frame());
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_THAT(run.Spaces(), ElementsAre("MainMenu", "Debug"));
}

TEST(ProgramFlowTest, OptionsChangedInTheMainMenuHoldInTheNextMatch)
{
    Script script;
    script.SkipSplash().Click(kMenuX, kOptionsY, 10);
    script.Click(-252, 62);  // the A toggle: off
    // "Events per match" from 2 to 4: its knob dragged two steps right.
    const float step = 190.0f / 6.0f, from = 70.0f + 2 * step;
    script.Point(from, 72).Press().Point(from + 2 * step + 3, 79).Release();
    script.Click(0, -188, 10);                    // back
    script.Click(kMenuX, kPlayY, 420);            // a new match
    script.Key(kKeyEscape, 10).Click(0, 22, 10);  // pause, options
    GameRun run = Play(script, script.Frame());
    ASSERT_EQ(run.status, 0) << run.output;
    ASSERT_NE(run.Space("OptionsMenu"), nullptr) << run.output;
    EXPECT_EQ(Image(run.Entity("OptionsMenu", "AButton")), "Button00.png");
    EXPECT_EQ(Image(run.Entity("OptionsMenu", "BButton")), "PauseJack.png");
    EXPECT_NEAR(X(run.Entity("OptionsMenu", "EventsPerGameSlider")), from + 2 * step, 0.01f);
    EXPECT_NEAR(X(run.Entity("OptionsMenu", "EventLengthSlider")), 70.0f + 3 * 190.0f / 7, 0.01f);  // untouched: 128
}

TEST(ProgramFlowTest, TheDpadWalksTheMenuAndItsAButtonClicks)
{
    Script script;
    script.Wait(150).Pad(kPadA, 20);  // any button leaves the splash too
    script.Pad(kPadDown).Pad(kPadDown).Pad(kPadDown, 5).Pad(kPadA, 20);  // play, options, how to play
    GameRun run = Play(script, script.Frame());
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_THAT(run.output, HasSubstr("MainMenu/TutorialButton: closed, opening \"Tutorial\""));
    EXPECT_THAT(run.Spaces(), ElementsAre("Tutorial", "Debug"));
}

TEST(ProgramFlowTest, TheKeyboardQuitsAndTheProgramEndsWithStatusZero)
{
    Script script;
    script.SkipSplash();
    for (int i = 0; i < 5; ++i) script.Key(kKeyDown, 3);  // play ... quit
    script.Key(kKeyEnter, 10);
    script.Key(kKeyRight, 3).Key(kKeyEnter, 10);  // yes
    GameRun run = Play(script, 0);
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_THAT(run.output, HasSubstr("MainMenu/QuitButton: opening \"MainMenuQuitConfirm\""));
    EXPECT_THAT(run.Spaces(), ElementsAre("Debug"));
}

} // namespace

namespace {

// A pause of any length, at any point of the bar, must not move the beat: autoplay returns
// every ball exactly on its beat, so after each pause (and after the map editor closes) the
// match goes on with the top grade and nobody misses, as if it had never stopped. All of it
// comes within the autoplay match, which a meter ends after about 1700 frames of play.
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
    auto text = [&](const char* name) {
        const rapidjson::Value* entity = run.Entity("game", name);
        return entity ? std::string((*entity)["SpriteText"]["text"].GetString()) : "(missing)";
    };
    EXPECT_EQ(text("PlayerScore0"), "0");  // misses of each side
    EXPECT_EQ(text("PlayerScore1"), "0");
    for (const char* billboard : {"BillBoardP0", "BillBoardP1"}) {
        const rapidjson::Value* entity = run.Entity("game", billboard);
        ASSERT_NE(entity, nullptr);
        uint32_t frame = (*entity)["Sprite"]["frameIndex"].GetUint();
        EXPECT_TRUE(frame == 3 || frame == 8) << billboard << " shows grade frame " << frame;  // PERFECT
    }
}

} // namespace
