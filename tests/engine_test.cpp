#include "engine.h"
#include "entity.h"
#include "frameclock.h"
#include "gameerror.h"
#include "space.h"
#include "testcontent.h"
#include "trace.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using testing_content::EngineTest;
using ::testing::HasSubstr;

std::vector<std::string> Names(const Engine& engine)
{
    std::vector<std::string> names;
    for (const auto& space : engine.spaces) names.push_back(space->name);
    return names;
}

class SpaceListTest : public EngineTest {
protected:
    void PrepareContent() override
    {
        content.SimpleSpace("FiveA", 5.0f);
        content.SimpleSpace("One", 1.0f);
        content.SimpleSpace("FiveB", 5.0f);
        content.SimpleSpace("Top", 500.0f);
        content.SimpleSpace("MapEditorSpace", -10.0f);
    }
};

TEST_F(SpaceListTest, SpacesAreOrderedByLayerWithTheNewestFirstAmongEquals)
{
    Engine* engine = Start();
    EXPECT_EQ(Names(*engine), (std::vector<std::string>{"Splash", "Debug"}));
    Make("FiveA");
    Make("One");
    Make("FiveB");
    Make("Top");
    EXPECT_EQ(Names(*engine), (std::vector<std::string>{"Splash", "One", "FiveB", "FiveA", "Debug", "Top"}));
}

TEST_F(SpaceListTest, SpacesComeAndGoThroughQueuedEvents)
{
    Engine* engine = Start();
    engine->events->Send(CreateSpaceEvent("One", 0.0f));
    Frames(1);  // the engine's own listeners become active at the end of the first frame
    Frames(1);
    ASSERT_NE(engine->FindSpace("One"), nullptr);
    engine->events->Send(DestroySpaceEvent(engine->FindSpace("One")));
    EXPECT_EQ(engine->FindSpace("One"), nullptr);
    Space* splash = engine->FindSpace("Splash");
    engine->events->Send(DestroySpaceEvent(splash, 0.0f));
    engine->events->Send(DestroySpaceEvent(splash, 0.0f));  // no longer live: ignored
    Frames(1);
    EXPECT_EQ(Names(*engine), (std::vector<std::string>{"Debug"}));
}

// A request that outlives its space names nothing, even when a newer space is given the
// very memory the old one had (which the allocator is free to do).
TEST_F(SpaceListTest, AStaleDestroyRequestNeverReachesANewerSpace)
{
    Engine* engine = Start();
    DestroySpaceEvent stale(Make("One"));
    ASSERT_EQ(stale.space.Get(), engine->FindSpace("One"));
    engine->OnDestroySpace(stale);
    EXPECT_EQ(stale.space.Get(), nullptr);
    for (int i = 0; i < 20; ++i) {
        Make("One");
        engine->OnDestroySpace(stale);
        ASSERT_NE(engine->FindSpace("One"), nullptr) << "attempt " << i;
        DestroySpaceEvent now(engine->FindSpace("One"));
        engine->OnDestroySpace(now);
    }
}

// Only the debug space left ends the run at the end of that frame; any other single space
// keeps it going.
TEST_F(SpaceListTest, OnlyTheDebugSpaceLeftEndsTheRun)
{
    for (const char* first : {"Splash", "Debug"}) {
        SCOPED_TRACE(first);
        Engine* engine = Start();
        Frames(1);
        engine->events->Send(DestroySpaceEvent(engine->FindSpace(first), 0.0f));
        EXPECT_FALSE(engine->quit);
        Frames(1);
        EXPECT_EQ(engine->quit, first == std::string("Splash"));
        Frames(2);
        EXPECT_EQ(engine->quit, first == std::string("Splash"));
        if (!engine->quit) {
            engine->events->Send(DestroySpaceEvent(engine->FindSpace("Splash")));
            Frames(1);
            EXPECT_TRUE(engine->quit);
        }
        Engine::Destroy();
    }
}

TEST_F(SpaceListTest, BackslashQQuitsAndNothingElseDoes)
{
    Engine* engine = Start();
    Frames(1);
    for (const char* text : {"q", "quit", "\\Q", "\\", "\\edit-end"}) {
        engine->events->Send(DevMessageEvent(text));
        EXPECT_FALSE(engine->quit) << text;
    }
    engine->events->Send(DevMessageEvent("\\quit now"));
    EXPECT_TRUE(engine->quit);
}

TEST_F(SpaceListTest, EditorOpensOnlyOverALiveSpaceAndReplacesAnOpenEditor)
{
    Engine* engine = Start();
    Frames(1);
    engine->events->Send(DevMessageEvent("\\edit-open-Nowhere"));
    EXPECT_EQ(Names(*engine), (std::vector<std::string>{"Splash", "Debug"}));
    Frames(1);
    EXPECT_EQ(Trace::Get()->Lines()[0], "This space does not currently exist. Can not open editor\n");

    engine->events->Send(DevMessageEvent("\\edit-open-Splash"));
    Space* first = engine->FindSpace("MapEditorSpace");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(engine->spaces.back().get(), first);  // on top whatever its layer
    engine->events->Send(DevMessageEvent("\\edit-open-Debug"));
    EXPECT_EQ(engine->spaces.size(), 4u);
    Frames(1);
    EXPECT_EQ(Names(*engine), (std::vector<std::string>{"Splash", "Debug", "MapEditorSpace"}));
    EXPECT_NE(engine->spaces.back().get(), first);
}

TEST_F(EngineTest, ASpaceDestroyedFromItsOwnHandlerIsFreedOnlyAfterTheHandlerReturns)
{
    Engine* engine = Start();
    Frames(1);
    Space* splash = engine->FindSpace("Splash");
    bool after = false;
    // A listener on the space's own manager destroys the space and then keeps using it.
    splash->events->Send(LambdaEvent(
        [engine, splash, &after] {
            engine->events->Send(DestroySpaceEvent(splash));
            after = splash->name == "Splash" && splash->Detached();
        },
        0.0f));
    Frames(1);
    EXPECT_TRUE(after);
    EXPECT_EQ(engine->FindSpace("Splash"), nullptr);
    EXPECT_TRUE(engine->quit);
}

TEST_F(EngineTest, EnginesCanBeStartedAndDestroyedManyTimes)
{
    for (int run = 0; run < 20; ++run) {
        Engine* engine = Start();
        Frames(3);
        EXPECT_EQ(engine->frameCount, 3);
        EXPECT_FLOAT_EQ(FrameClock::Get()->totalTime, 3.0f / 60.0f);
        Engine::Destroy();
        EXPECT_FALSE(Engine::Exists());
    }
}

TEST_F(EngineTest, FramesOptionEndsTheRun)
{
    RunOptions::Get().frames = 5;
    Engine* engine = Start();
    int frames = 0;
    while (!engine->quit) {
        engine->Update();
        ++frames;
    }
    EXPECT_EQ(frames, 5);
    EXPECT_FLOAT_EQ(engine->time, 5.0f / 60.0f);
}

TEST_F(EngineTest, AMissingFirstSpaceFailsStartUpCleanly)
{
    RunOptions::Get().firstSpace = "Missing";
    try {
        Start();
        FAIL() << "start-up should fail";
    } catch (const GameError& error) {
        EXPECT_THAT(error.what(), HasSubstr("Invalid space file was given to Space::Load"));
        EXPECT_THAT(error.what(), HasSubstr("Missing.txt"));
    }
    Engine::Destroy();  // the half-started engine goes without touching freed memory
}

} // namespace
