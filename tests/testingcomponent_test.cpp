// The designers' debug keys in a headless engine: Control must already be held, the
// console must be closed, the match keys work only in the match, and the main menu prints
// the key help.
#include "gamesettings.h"
#include "graphics.h"
#include "input.h"
#include "matchcontent.h"
#include "menucontent.h"
#include "testingcomponent.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using namespace testing_content;
using ::testing::ElementsAre;

const std::string kDebugKeys = R"({"name": "debugKeys", "archetypeName": "", "TestingComponent": {}})";

class DebugKeysTest : public EngineTest {
protected:
    void PrepareContent() override
    {
        WriteMatchContent(content);
        std::string game = GameSpaceJson();
        content.Space("game", game.insert(game.rfind("\n]}"), ",\n" + kDebugKeys));
        content.SimpleSpace("MainMenu", 0.0f, kDebugKeys);
    }
    void TearDown() override
    {
        GameSettings::autoplay = false;
        EngineTest::TearDown();
    }
    Space* StartIn(const std::string& space)
    {
        RunOptions::Get().firstSpace = space;
        Start();
        Frames(4);
        return Engine::Get()->FindSpace(space);
    }
    // Keys go down together at one frame's event polling and are seen in the next update.
    void Keys(std::initializer_list<int> keys, int action)
    {
        for (int key : keys) Input::Get()->OnKey(key, action);
        Frames(1);
    }
    void Down(std::initializer_list<int> keys) { Keys(keys, Input::kPress); }
    void Tap(std::initializer_list<int> keys)
    {
        Keys(keys, Input::kPress);
        Keys(keys, Input::kRelease);
    }
};

constexpr int kControl = TestingComponent::kKeyLeftControl;

TEST_F(DebugKeysTest, EditorKeysNeedControlHeldBeforeTheKeyAndTheConsoleClosed)
{
    StartIn("MainMenu");
    EventLog<DevMessageEvent> messages;
    Tap({TestingComponent::kKeyF5});           // no Control
    Tap({kControl, TestingComponent::kKeyF5});  // Control goes down in the same frame
    EXPECT_TRUE(messages.events.empty());

    Down({kControl});
    Tap({TestingComponent::kKeyF5});
    Tap({TestingComponent::kKeyF6});
    Input::Get()->textMode = true;
    Tap({TestingComponent::kKeyF5});
    Input::Get()->textMode = false;
    Keys({kControl}, Input::kRelease);
    Tap({TestingComponent::kKeyF6});
    ASSERT_EQ(messages.events.size(), 2u);
    EXPECT_EQ(messages.events[0].text, "\\edit-open-MainMenu");
    EXPECT_EQ(messages.events[1].text, "\\edit-open-game");
}

TEST_F(DebugKeysTest, F2AndF1SwitchTheDebugSpaceAndDrawingButSpaceAndBAreMatchKeysOnly)
{
    StartIn("MainMenu");
    Space* debug = Engine::Get()->FindSpace("Debug");
    ASSERT_FALSE(debug->visible);
    ASSERT_FALSE(debugDrawMode);
    Down({kControl});
    Tap({TestingComponent::kKeyF2});
    EXPECT_TRUE(debug->visible);
    EXPECT_FALSE(debugDrawMode);
    Tap({TestingComponent::kKeyF1});
    EXPECT_TRUE(debugDrawMode);
    Tap({TestingComponent::kKeyF1, TestingComponent::kKeyF2});  // both in one frame: both act
    EXPECT_FALSE(debug->visible);
    EXPECT_FALSE(debugDrawMode);
    Tap({Input::kKeySpace});
    Tap({TestingComponent::kKeyB});  // no meter to end a match with, and no error either
    EXPECT_FALSE(GameSettings::autoplay);
}

TEST_F(DebugKeysTest, InTheMatchSpaceSwitchesAutoplayAndBEndsItOnce)
{
    Space* game = StartIn("game");
    Down({kControl});
    Tap({Input::kKeySpace});
    EXPECT_TRUE(GameSettings::autoplay);
    Tap({Input::kKeySpace});
    EXPECT_FALSE(GameSettings::autoplay);

    Tap({TestingComponent::kKeyB});
    EXPECT_TRUE(game->RequireEntity("levelLogic")->Get<BallManager>()->matchOver);
    EXPECT_TRUE(game->paused);
    Tap({TestingComponent::kKeyB});  // the match is over already
    Frames(6 * 60);
    int endScreens = 0;
    for (const auto& space : Engine::Get()->spaces) endScreens += space->name == "EndGame";
    EXPECT_EQ(endScreens, 1);
}

TEST_F(DebugKeysTest, TheMainMenuAloneTracesTheKeyHelp)
{
    RunOptions::Get().firstSpace = "MainMenu";
    Start();
    EventLog<TraceEvent> traces;  // before the space's entities start
    Frames(4);
    Make("game");
    Frames(4);
    std::vector<std::string> help;
    for (const TraceEvent& trace : traces.events)
        if (trace.text.find("press F") != std::string::npos) help.push_back(trace.text);
    EXPECT_THAT(help, ElementsAre("DESIGNERS: Hold Control and press F5 to open editor in main menu\n",
                                  "           Hold Control and press F6 to open editor in game\n",
                                  "           Hold Control and press F2 to toggle debug space\n",
                                  "           Hold Control and press F1 to toggle debug draw\n"));
}

} // namespace
