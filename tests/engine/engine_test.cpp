#include "engine.h"
#include "gameerror.h"
#include "space.h"
#include "testcontent.h"
#include "trace.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace volleyrun {

namespace {

using testing_content::EngineTest;
using testing_content::SpaceNames;
using Names = std::vector<std::string>;

class SpaceListTest : public EngineTest {
protected:
    void PrepareContent() override
    {
        for (auto [name, layer] : {std::pair{"FiveA", 5.0f}, {"One", 1.0f}, {"FiveB", 5.0f}, {"Top", 500.0f}})
            content.SimpleSpace(name, layer);
        content.SimpleSpace("MapEditorSpace", -10.0f);
    }
};

// Spaces are ordered by layer, newest first among equals, and come and go through queued events; one destroyed from
// its own handler is freed after it returns; a stale request names nothing; of the developer commands only \quit quits.
TEST_F(SpaceListTest, SpacesAreOrderedComeAndGoThroughQueuedEventsAndTheEditorOpensOnTopOfALiveOne)
{
    Engine* engine = Start();
    EXPECT_EQ(SpaceNames(), (Names{"Splash", "Debug"}));
    for (const char* name : {"FiveA", "FiveB", "Top"}) Make(name);
    engine->events->Send(CreateSpaceEvent("One", 0.0f));
    Frames(2);  // the engine's own listeners become active at the end of the first frame
    EXPECT_EQ(SpaceNames(), (Names{"Splash", "One", "FiveB", "FiveA", "Debug", "Top"}));
    engine->events->Send(DestroySpaceEvent(engine->FindSpace("One")));
    EXPECT_EQ(engine->FindSpace("One"), nullptr);
    Space* five = engine->FindSpace("FiveA");
    bool after = false;  // the handler still uses its space after asking for its end
    five->events->Send(LambdaEvent(
        [engine, five, &after] {
            engine->events->Send(DestroySpaceEvent(five));
            after = five->name == "FiveA" && five->Detached();
        },
        0.0f));
    Frames(1);
    EXPECT_TRUE(after);
    EXPECT_EQ(engine->FindSpace("FiveA"), nullptr);
    Space* splash = engine->FindSpace("Splash");
    engine->events->Send(DestroySpaceEvent(splash, 0.0f));
    engine->events->Send(DestroySpaceEvent(splash, 0.0f));
    Frames(1);
    EXPECT_EQ(SpaceNames(), (Names{"FiveB", "Debug", "Top"}));
    // Not even when a newer space is given the very memory the old one had.
    DestroySpaceEvent stale(Make("One"));
    engine->OnDestroySpace(stale);
    for (int i = 0; i < 20; ++i) {
        Make("One");
        engine->OnDestroySpace(stale);
        ASSERT_NE(engine->FindSpace("One"), nullptr) << "attempt " << i;
        DestroySpaceEvent now(engine->FindSpace("One"));
        engine->OnDestroySpace(now);
    }
    // The editor opens only over a live space, on top whatever its layer, and replaces an open one.
    engine->events->Send(DevMessageEvent("\\edit-open-Nowhere"));
    Frames(1);
    EXPECT_EQ(SpaceNames(), (Names{"FiveB", "Debug", "Top"}));
    EXPECT_EQ(Trace::Get()->Lines()[0], "This space does not currently exist. Can not open editor\n");
    engine->events->Send(DevMessageEvent("\\edit-open-FiveB"));
    Space* first = engine->FindSpace("MapEditorSpace");
    EXPECT_EQ(engine->spaces.back().get(), first);
    engine->events->Send(DevMessageEvent("\\edit-open-Debug"));
    Frames(1);
    EXPECT_EQ(SpaceNames(), (Names{"FiveB", "Debug", "Top", "MapEditorSpace"}));
    EXPECT_NE(engine->spaces.back().get(), first);
    for (const char* text : {"q", "quit", "\\Q", "\\", "\\edit-end"}) {
        engine->events->Send(DevMessageEvent(text));
        EXPECT_FALSE(engine->quit) << text;
    }
    engine->events->Send(DevMessageEvent("\\quit now"));
    EXPECT_TRUE(engine->quit);
}

// At the end of that frame; any other single space keeps the run going.
TEST_F(SpaceListTest, OnlyTheDebugSpaceLeftEndsTheRun)
{
    for (std::string first : {"Splash", "Debug"}) {
        SCOPED_TRACE(first);
        Engine* engine = Start();
        Frames(1);
        engine->events->Send(DestroySpaceEvent(engine->FindSpace(first), 0.0f));
        EXPECT_FALSE(engine->quit);
        Frames(1);
        EXPECT_EQ(engine->quit, first == "Splash");
        if (!engine->quit) {
            engine->events->Send(DestroySpaceEvent(engine->FindSpace("Splash")));
            Frames(1);
            EXPECT_TRUE(engine->quit);
        }
        Engine::Destroy();
    }
}

TEST_F(EngineTest, AMissingFirstSpaceFailsStartUpCleanly)
{
    RunOptions::Get().firstSpace = "Missing";
    auto named = testing::AllOf(testing::HasSubstr("Invalid space file was given to Space::Load"),
                                testing::HasSubstr("Missing.txt"));
    EXPECT_THAT([this] { Start(); }, testing::ThrowsMessage<GameError>(named));
    Engine::Destroy();  // the half-started engine goes without touching freed memory
}

} // namespace

} // namespace volleyrun
