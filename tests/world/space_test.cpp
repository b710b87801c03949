#include "entity.h"
#include "space.h"
#include "sprite.h"
#include "testcontent.h"

#include <gtest/gtest.h>

namespace volleyrun {

namespace {

using testing_content::EntityJson;
using Names = std::vector<std::string>;

Names Order(const Space& space)
{
    Names names;
    for (const auto& entity : space.Entities()) names.push_back(entity->name);
    return names;
}

// Counts initialisations, and updates through a listener on its entity's own manager.
struct Counter : ComponentOf<Counter, static_cast<ComponentType>(29)> {
    explicit Counter(Entity* owner) : ComponentOf(owner) {}
    void Serialize(std::vector<Property>&) override {}
    void Initialize() override { ++initializations; owner->events->AddListener(this, &Counter::OnUpdate); }
    void Terminate() override { owner->events->RemoveListener<UpdateEvent>(this); }
    void Watch(Entity& other) { ListenTo(other, &Counter::OnUpdate); }
    void Unwatch(Entity& other) { Unlisten(*other.events); }
    void OnUpdate(UpdateEvent&)
    {
        ++updates;
        if (onUpdate) onUpdate();
    }
    int initializations = 0, updates = 0;
    std::function<void()> onUpdate;
};

class SpaceTest : public testing_content::EngineTest {
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
    }
    Counter* AddCounter(Space& space, const std::string& name)
    {
        Entity source(name);
        source.AddComponent(*ComponentRegistry::Get()->Find("Counter"));
        return space.CreateEntity(source, true)->Get<Counter>();
    }
};

// Sprite entities in ascending layer, a newcomer after its equals, ahead of the plain ones.
TEST_F(SpaceTest, LoadedCreatedAndReorderedEntitiesFollowTheDrawOrderRule)
{
    Space* space = Make("Layers");
    EXPECT_EQ(Order(*space), (Names{"one", "two1", "two2", "plain0", "plain1"}));
    Entity* copy = space->CreateEntity(*space->FindEntity("two2"), false);
    EXPECT_NE(copy, space->FindEntity("two2"));  // the first of equal names is found
    copy->name = "zero";
    copy->Get<Sprite>()->zLayer = 0.0f;
    space->ReorderEntity(copy);
    space->FindEntity("one")->Get<Sprite>()->zLayer = 5.0f;
    space->ReorderEntity(space->FindEntity("one"));
    EXPECT_EQ(Order(*space), (Names{"zero", "two1", "two2", "one", "plain0", "plain1"}));
}

// A paused space stops its entities' updates but its own manager still delivers; an entity destroyed while it is
// paused is still terminated, and one that destroys itself and another from its own handler goes safely.
TEST_F(SpaceTest, PausingStopsEntityUpdatesOnlyAndEntitiesGoSafelyWhilePausedOrFromTheirOwnHandler)
{
    Space* space = Make("Empty");
    Counter* counter = AddCounter(*space, "counter");
    Frames(4);  // each level's listener becomes active one update after the level above it delivers
    EXPECT_EQ(counter->initializations, 1);
    int before = counter->updates;
    EXPECT_GT(before, 0);
    bool ran = false;
    space->paused = true;
    space->events->Send(LambdaEvent([&ran] { ran = true; }, 0.0f));
    Frames(3);
    EXPECT_EQ(counter->updates, before);
    EXPECT_TRUE(ran);
    space->events->Send(DestroyEvent(counter->owner->Ref(), 0.0f));
    Frames(1);
    EXPECT_TRUE(space->Entities().empty());
    EXPECT_EQ(space->events->ListenerCount(kUpdateEvent), 0u);
    space->paused = false;
    Counter* self = AddCounter(*space, "self");
    EntityRef selfRef = self->owner->Ref(), otherRef = AddCounter(*space, "other")->owner->Ref();
    self->onUpdate = [space, self, otherRef] {
        space->events->Send(DestroyEvent(otherRef));
        space->events->Send(DestroyEvent(self->owner->Ref()));
        space->events->Send(DestroyEvent(self->owner->Ref(), 0.5f));  // arrives after it is gone: harmless
    };
    Frames(4);
    EXPECT_FALSE(selfRef || otherRef);
    EXPECT_TRUE(space->Entities().empty());
    // Listening on another entity's manager ends with Unlisten; a watcher that outlives the
    // watched entity stops without reaching its freed manager (the sanitizer run sees that).
    Counter* watcher = AddCounter(*space, "watcher");
    Counter* watched = AddCounter(*space, "watched");
    auto twoFrames = [&] {
        int mine = watcher->updates, theirs = watched->updates;
        Frames(2);
        return std::pair(watcher->updates - mine, watched->updates - theirs);
    };
    watcher->Watch(*watched->owner);
    auto [watching, watchedOwn] = twoFrames();
    EXPECT_EQ(watching, 2 * watchedOwn);
    watcher->Unwatch(*watched->owner);
    auto [alone, watchedAlone] = twoFrames();
    EXPECT_EQ(alone, watchedAlone);
    watcher->Watch(*watched->owner);
    space->events->Send(DestroyEvent(watched->owner->Ref(), 0.0f));
    Frames(1);
    space->events->Send(DestroyEvent(watcher->owner->Ref(), 0.0f));
    Frames(40);
}

} // namespace

} // namespace volleyrun
