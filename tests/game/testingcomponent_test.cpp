// The designers' debug keys in a headless engine: Control held first, the console closed, match keys in the match only.
#include "gamesettings.h"
#include "graphics.h"
#include "input.h"
#include "matchcontent.h"
#include "menucontent.h"
#include "testingcomponent.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace volleyrun {

namespace {

using namespace testing_content;
using T = TestingComponent;

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
    void TearDown() override { GameSettings::autoplay = false; EngineTest::TearDown(); }
    // Keys go down together in one frame's polling and are seen in the next update; a tap releases them after.
    void Keys(std::initializer_list<int> keys, int action = Input::kPress)
    {
        for (int key : keys) Input::Get()->OnKey(key, action);
        Frames(1);
    }
    void Tap(std::initializer_list<int> keys) { Keys(keys); Keys(keys, Input::kRelease); }
};

// In the main menu the key help is traced once, and the keys act only with Control held before them and the console
// closed; B, a match key, does nothing there. In the match, Space switches autoplay and B ends the match once.
TEST_F(DebugKeysTest, KeysNeedControlHeldBeforeThemAndTheConsoleClosedAndTheMatchKeysWorkInTheMatchOnly)
{
    RunOptions::Get().firstSpace = "MainMenu";
    Start();
    EventLog<TraceEvent> traces;  // before the space's entities start
    EventLog<DevMessageEvent> messages;
    Frames(4);
    Space* debug = Engine::Get()->FindSpace("Debug");
    Tap({T::kKeyF5});                       // no Control
    Tap({T::kKeyLeftControl, T::kKeyF5});  // Control goes down in the same frame
    Keys({T::kKeyLeftControl});
    Tap({T::kKeyF5});
    Tap({T::kKeyF6});
    Tap({T::kKeyF2});
    EXPECT_TRUE(debug->visible && !Graphics::Get()->debugDraw);
    Tap({T::kKeyF1});
    EXPECT_TRUE(Graphics::Get()->debugDraw);
    Tap({T::kKeyF1, T::kKeyF2});  // both in one frame: both act
    EXPECT_FALSE(debug->visible || Graphics::Get()->debugDraw);
    Tap({T::kKeyB, Input::kKeySpace});  // no meter to end a match with, and no error either
    EXPECT_FALSE(GameSettings::autoplay);
    Input::Get()->textMode = true;
    Tap({T::kKeyF5});
    Input::Get()->textMode = false;
    Keys({T::kKeyLeftControl}, Input::kRelease);
    Tap({T::kKeyF6});
    ASSERT_EQ(messages.events.size(), 2u);
    EXPECT_EQ(messages.events[0].text, "\\edit-open-MainMenu");
    EXPECT_EQ(messages.events[1].text, "\\edit-open-game");
    Space* game = Make("game");
    Frames(4);
    int help = 0;
    for (const TraceEvent& trace : traces.events)
        help += trace.text.find("Hold Control and press F") != std::string::npos;
    EXPECT_EQ(help, 4);  // not again for the match space
    Keys({T::kKeyLeftControl});
    Tap({Input::kKeySpace});
    EXPECT_TRUE(GameSettings::autoplay);
    Tap({T::kKeyB});
    EXPECT_TRUE(game->RequireEntity("levelLogic")->Get<BallManager>()->matchOver);
    Tap({T::kKeyB});  // the match is over already: no second end screen
    Frames(6 * 60);
    EXPECT_EQ(std::ranges::count(SpaceNames(), std::string("EndGame")), 1);
}

} // namespace

} // namespace volleyrun
