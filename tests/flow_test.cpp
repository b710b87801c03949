// The flow of scenes in the real program and its real content, headless and in virtual
// time, driven by replay files the way a player would: mouse, gamepad and keyboard. Each
// run is judged by its trace on standard output and by the dump of the spaces left at exit.
#include "replayrun.h"
#include "testcontent.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <rapidjson/document.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <regex>
#include <sstream>

namespace {

namespace fs = std::filesystem;
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
constexpr float kPlayY = 40.0f, kOptionsY = -20.0f, kQuitY = -200.0f;

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

TEST(ProgramFlowTest, PlayFadesTheMenuForOneAndAQuarterSecondsIntoTheMatch)
{
    Script script;
    script.SkipSplash().Click(kMenuX, kPlayY, 120);
    GameRun run = Play(script, script.Frame());
    ASSERT_EQ(run.status, 0) << run.output;
    std::vector<int> started = run.Frames(R"(MainMenu/PlayButton: fade out towards "game" started at frame (\d+))");
    std::vector<int> switched = run.Frames(R"(MainMenu/PlayButton: switched to "game" at frame (\d+))");
    ASSERT_EQ(started.size(), 1u) << run.output;
    ASSERT_EQ(switched.size(), 1u) << run.output;
    EXPECT_NEAR((switched[0] - started[0]) / 60.0, 1.25, 1.0 / 60);
    EXPECT_THAT(run.Spaces(), ElementsAre("game", "Debug"));
    EXPECT_FALSE((*run.Space("game"))["paused"].GetBool());
}

TEST(ProgramFlowTest, EscapeTwiceCountsDownAndPlayResumesWithTheMusicWhereItWas)
{
    Script script;
    script.Wait(300).Key(kKeyEscape, 100).Key(kKeyEscape, 300);
    GameRun run = Play(script, script.Frame(), "--space game");
    ASSERT_EQ(run.status, 0) << run.output;
    std::map<std::string, int> shown;
    for (const char* text : {"3", "2", "1", "GO!"}) {
        std::vector<int> at = run.Frames(std::string("Pause: countdown \"") + text + "\" at frame (\\d+)");
        ASSERT_EQ(at.size(), 1u) << text << "\n" << run.output;
        shown[text] = at[0];
    }
    std::vector<int> resumed = run.Frames(R"(Pause: play resumed at frame (\d+))");
    ASSERT_EQ(resumed.size(), 1u) << run.output;
    EXPECT_NEAR((shown["2"] - shown["3"]) / 60.0, 0.9375, 1.0 / 60);
    EXPECT_NEAR((shown["1"] - shown["3"]) / 60.0, 1.875, 1.0 / 60);
    EXPECT_NEAR((shown["GO!"] - shown["3"]) / 60.0, 2.8125, 1.0 / 60);
    // Play resumes on the update after the countdown's last one.
    EXPECT_NEAR((resumed[0] - shown["3"]) / 60.0, 3.75 + 1.0 / 60, 1.0 / 60);

    std::smatch paused, back;
    ASSERT_TRUE(std::regex_search(run.output, paused, std::regex(R"(Pause: paused at frame \d+, music at (\d+) ms)")));
    ASSERT_TRUE(std::regex_search(run.output, back, std::regex(R"(Pause: play resumed at frame \d+, music at (\d+) ms)")));
    EXPECT_GT(std::stoi(paused[1]), 3000);  // the song was playing
    EXPECT_NEAR(std::stoi(back[1]), std::stoi(paused[1]), 17);  // not a frame of music lost or skipped
    EXPECT_THAT(run.Spaces(), ElementsAre("game", "Debug"));
    EXPECT_FALSE((*run.Space("game"))["paused"].GetBool());
}

TEST(ProgramFlowTest, QuittingTheMatchFromThePauseMenuLandsInTheMainMenuWithTheMatchGone)
{
    Script script;
    script.Wait(300).Key(kKeyEscape, 10).Click(0, -32, 10).Click(-110, -48, 150);
    GameRun run = Play(script, script.Frame(), "--space game");
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_THAT(run.output, HasSubstr("QuitConfirm/YesButton: fade in towards \"MainMenu\" started"));
    EXPECT_THAT(run.output, HasSubstr("Pause: match closed for the main menu"));
    EXPECT_THAT(run.Spaces(), ElementsAre("MainMenu", "Debug"));
    EXPECT_FALSE((*run.Space("MainMenu"))["paused"].GetBool());
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

// The real content with an eight-second match: pictures, shaders and sound linked, spaces copied.
class ShortMatchContent {
public:
    ShortMatchContent() { EXPECT_TRUE(content.RealContentWithMatchOf(8)); }
    std::string Root() const { return content.root.string(); }

private:
    testing_content::TempContent content;
};

TEST(ProgramFlowTest, TheEndScreenPlaysAgainOrLeavesForTheMainMenuWithoutLeavingTheMatchBehind)
{
    ShortMatchContent data;
    Script again;
    again.Wait(1900).Click(-115, -92, 60);  // PLAY AGAIN
    GameRun run = Play(again, again.Frame(), "--space game", data.Root());
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_THAT(run.output, HasSubstr("EndGame/PlayAgainButton: closed, opening \"game\""));
    EXPECT_THAT(run.Spaces(), ElementsAre("game", "Debug"));
    EXPECT_FALSE((*run.Space("game"))["paused"].GetBool());

    Script leave;
    leave.Wait(1900).Click(115, -92, 10).Click(-110, -48, 120);  // MAIN MENU, then YES
    run = Play(leave, leave.Frame(), "--space game", data.Root());
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_THAT(run.output, HasSubstr("QuitConfirm/YesButton: switched to \"MainMenu\""));
    EXPECT_THAT(run.Spaces(), ElementsAre("MainMenu", "Debug"));
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
