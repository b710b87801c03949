#include "entity.h"
#include "gameerror.h"
#include "probe.h"
#include "space.h"
#include "sprite.h"
#include "testcontent.h"
#include "transform.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using testing_content::EngineTest;
using testing_content::EntityJson;
using testing_content::ReadText;
using ::testing::HasSubstr;

std::vector<std::string> Order(const Space& space)
{
    std::vector<std::string> names;
    for (const auto& entity : space.Entities()) names.push_back(entity->name);
    return names;
}

// Counts updates through a listener on its entity's own manager.
struct Counter : ComponentOf<static_cast<ComponentType>(29)> {
    explicit Counter(Entity* owner) : ComponentOf(owner) {}
    std::unique_ptr<Component> Clone(Entity* newOwner) const override { return std::make_unique<Counter>(newOwner); }
    void Serialize(std::vector<Property>&) override {}
    void Initialize() override
    {
        ++initializations;
        owner->events->AddListener(this, &Counter::OnUpdate);
    }
    void Terminate() override { owner->events->RemoveListener<UpdateEvent>(this); }
    void OnUpdate(UpdateEvent&)
    {
        ++updates;
        if (onUpdate) onUpdate();
    }
    int initializations = 0;
    int updates = 0;
    std::function<void()> onUpdate;
};

class SpaceTest : public EngineTest {
protected:
    void PrepareContent() override
    {
        content.SimpleSpace("Layers", 3.0f,
                            EntityJson("plain0") + "," + EntityJson("two1", 0, 0, "2") + "," + EntityJson("one", 0, 0, "1") +
                                "," + EntityJson("two2", 0, 0, "2") + "," + EntityJson("plain1"));
        content.SimpleSpace("Empty", -2.5f);
    }
    void SetUp() override
    {
        EngineTest::SetUp();
        Start();
        ComponentRegistry::Get()->Register("Counter", std::make_unique<Counter>(nullptr));
        Probe::Register();
    }
    Entity* AddCounter(Space& space, const std::string& name)
    {
        Entity source(name);
        source.AddComponent(*ComponentRegistry::Get()->Find("Counter"));
        return space.CreateEntity(source, true);
    }
};

TEST_F(SpaceTest, LoadingKeepsSpriteEntitiesInLayerOrderAheadOfThePlainOnes)
{
    Space* space = Make("Layers");
    EXPECT_EQ(space->zLayer, 3.0f);
    EXPECT_EQ(Order(*space), (std::vector<std::string>{"one", "two1", "two2", "plain0", "plain1"}));
    Space* empty = Make("Empty");
    EXPECT_TRUE(empty->Entities().empty());
    EXPECT_EQ(empty->zLayer, -2.5f);
}

TEST_F(SpaceTest, CreatedAndReorderedEntitiesFollowTheDrawOrderRule)
{
    Space* space = Make("Layers");
    Entity* zero = space->CreateEntity(*space->FindEntity("one"), false);
    zero->name = "zero";
    zero->Get<Sprite>()->zLayer = 0.0f;
    space->ReorderEntity(zero);
    EXPECT_EQ(Order(*space), (std::vector<std::string>{"zero", "one", "two1", "two2", "plain0", "plain1"}));
    space->FindEntity("one")->Get<Sprite>()->zLayer = 5.0f;
    space->ReorderEntity(space->FindEntity("one"));
    EXPECT_EQ(Order(*space), (std::vector<std::string>{"zero", "two1", "two2", "one", "plain0", "plain1"}));
}

TEST_F(SpaceTest, FindEntityReturnsTheFirstOfEqualNames)
{
    Space* space = Make("Layers");
    Entity* copy = space->CreateEntity(*space->FindEntity("two2"), false);
    EXPECT_NE(copy, space->FindEntity("two2"));
    EXPECT_EQ(space->FindEntity("two1"), space->Entities()[1].get());
    EXPECT_EQ(space->FindEntity("missing"), nullptr);
}

TEST_F(SpaceTest, SavingAndLoadingAgainReproducesTheSpace)
{
    Space* space = Make("Layers");
    Entity* probe = space->CreateEntity(Entity("probe"), false);
    probe->AddComponent(*ComponentRegistry::Get()->Find("Probe"));
    probe->Get<Probe>()->label = "saved";
    space->FindEntity("one")->Get<Transform>()->translation = {12.5f, -3.0f};
    space->Save();
    std::string saved = ReadText(space->Path());
    EXPECT_THAT(saved, HasSubstr("\"zLayer\": 3.0,\n    \"entities\": ["));

    Space* again = Make("Layers");
    EXPECT_EQ(Order(*again), Order(*space));
    EXPECT_EQ(again->FindEntity("one")->Get<Transform>()->translation, glm::vec2(12.5f, -3.0f));
    EXPECT_EQ(again->FindEntity("probe")->Get<Probe>()->label, "saved");
    again->Save();
    EXPECT_EQ(ReadText(again->Path()), saved);
}

TEST_F(SpaceTest, BadSpaceFilesEndWithOneLineNamingTheFile)
{
    auto error = [this](const std::string& name) -> std::string {
        try {
            Make(name);
        } catch (const GameError& e) {
            return e.what();
        }
        return "no error";
    };
    EXPECT_THAT(error("Absent"), HasSubstr("Invalid space file was given to Space::Load"));
    content.Space("Broken", "{\"zLayer\": 1, \"entities\": [");
    EXPECT_THAT(error("Broken"), HasSubstr("Error loading space document"));
    content.Space("NoLayer", "{\"entities\": []}");
    EXPECT_THAT(error("NoLayer"), HasSubstr("NoLayer.txt: member \"zLayer\" must be a number"));
    content.Space("NoList", "{\"zLayer\": 1, \"entities\": {}}");
    EXPECT_THAT(error("NoList"), HasSubstr("\"entities\" must be an array"));
    content.Space("BadMember", "{\"zLayer\": 1, \"entities\": [" + EntityJson("fine") +
                                   ", {\"name\": \"ball\", \"archetypeName\": \"\", \"Probe\": {\"count\": 3.0}}]}");
    EXPECT_THAT(error("BadMember"), HasSubstr("BadMember.txt: entity 1 \"ball\", component \"Probe\": member \"count\""));
    // None of the failed loads left a space or a listener behind.
    EXPECT_EQ(Engine::Get()->spaces.size(), 2u);
    Frames(2);
}

TEST_F(SpaceTest, APausedSpaceStopsEntityUpdatesButKeepsItsOwnManagerRunning)
{
    Space* space = Make("Empty");
    Entity* entity = AddCounter(*space, "counter");
    Counter* counter = entity->Get<Counter>();
    // Each level's listener becomes active one update after the level above it delivers.
    Frames(4);
    int before = counter->updates;
    EXPECT_GT(before, 0);
    space->paused = true;
    bool ran = false;
    space->events->Send(LambdaEvent([&ran] { ran = true; }, 0.0f));
    Frames(3);
    EXPECT_EQ(counter->updates, before);
    EXPECT_TRUE(ran);
    space->paused = false;
    entity->paused = true;
    bool ownRan = false;
    entity->events->Send(LambdaEvent([&ownRan] { ownRan = true; }, 0.0f));
    Frames(1);
    EXPECT_EQ(counter->updates, before);
    EXPECT_TRUE(ownRan);
}

TEST_F(SpaceTest, EntitiesCreatedBeforeTheSpaceInitialisesAreInitialisedOnce)
{
    Space* space = Make("Empty");
    Entity* early = AddCounter(*space, "early");
    Frames(2);
    EXPECT_EQ(early->Get<Counter>()->initializations, 1);
}

TEST_F(SpaceTest, AnEntityDestroyedFromItsOwnHandlerGoesSafely)
{
    Space* space = Make("Empty");
    Entity* self = AddCounter(*space, "self");
    Entity* other = AddCounter(*space, "other");
    EntityRef selfRef = self->Ref();
    EntityRef otherRef = other->Ref();
    Counter* counter = self->Get<Counter>();
    counter->onUpdate = [space, self, other] {
        space->events->Send(DestroyEvent(other->Ref()));
        space->events->Send(DestroyEvent(self->Ref()));
        space->events->Send(DestroyEvent(self->Ref(), 0.5f));  // arrives after it is gone: harmless
    };
    Frames(4);
    EXPECT_FALSE(selfRef);
    EXPECT_FALSE(otherRef);
    EXPECT_TRUE(space->Entities().empty());
    Frames(40);
}

TEST_F(SpaceTest, DestroyingAnEntityInAPausedSpaceStillTerminatesIt)
{
    Space* space = Make("Empty");
    Entity* entity = AddCounter(*space, "counter");
    Frames(1);
    space->paused = true;
    space->events->Send(DestroyEvent(entity->Ref(), 0.0f));
    Frames(1);
    EXPECT_TRUE(space->Entities().empty());
    EXPECT_EQ(space->events->ListenerCount(kUpdateEvent), 0u);
}

} // namespace
