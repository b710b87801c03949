#include "archetypestore.h"
#include "entity.h"
#include "gameerror.h"
#include "jsonfile.h"
#include "outputfile.h"
#include "space.h"
#include "sprite.h"
#include "testcontent.h"
#include "transform.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

namespace {

using testing_content::EngineTest;
using testing_content::EntityJson;
using testing_content::ReadText;
using ::testing::HasSubstr;

class EntityTest : public EngineTest {
protected:
    void PrepareContent() override
    {
        content.SimpleSpace("Stage", 1.0f,
                            R"({"name": "both", "archetypeName": "x", "Transform": {}, "Sprite": {"zLayer": 4}, "Other": {}},)" +
                                EntityJson("root", 0, 5) + "," + EntityJson("mid", 10, 0, nullptr, "root") + "," +
                                EntityJson("leaf", 1, 1, nullptr, "mid") + "," + EntityJson("orphan", 2, 2, nullptr, "nobody") +
                                "," + EntityJson("selfish", 3, 3, nullptr, "selfish"));
        content.Archetype("b.txt", EntityJson("ball", 1, 2, "7"));
        content.Archetype("a.txt", R"({"name": "ball", "archetypeName": "first", "Transform": {"translationX": 99}})");
        content.Archetype(".hidden", "not json");
    }
    Space* Stage()
    {
        Start();
        Space* stage = Make("Stage");
        Frames(2);  // the space's first update, in the second frame, initialises the entities
        return stage;
    }
};

TEST_F(EntityTest, ComponentMembersFillTheirSlotsAndOthersAreIgnored)
{
    Entity* both = Stage()->FindEntity("both");
    for (int slot = 0; slot < kComponentTypeCount; ++slot)
        EXPECT_EQ(both->GetComponent(slot) != nullptr, slot == kTransform || slot == kSprite) << slot;
    EXPECT_EQ(both->Get<Sprite>()->zLayer, 4.0f);
    EXPECT_EQ(both->Get<Transform>()->scale, glm::vec2(10.0f, 10.0f));  // the prototype's default
    EXPECT_THROW(both->RequireComponent(kBallManager), GameError);
}

TEST_F(EntityTest, ClonesOwnDistinctComponents)
{
    Entity* both = Stage()->FindEntity("both");
    auto clone = both->Clone();
    EXPECT_EQ(clone->name, "clone");
    EXPECT_EQ(clone->space, both->space);
    ASSERT_NE(clone->Get<Sprite>(), nullptr);
    EXPECT_NE(clone->Get<Sprite>(), both->Get<Sprite>());
    EXPECT_EQ(clone->Get<Sprite>()->owner, clone.get());
}

TEST_F(EntityTest, TransformCornersFollowRotationAndScale)
{
    Transform transform(nullptr, {5.0f, 0.0f}, {2.0f, 1.0f}, 90.0f);
    const glm::vec2 expected[4] = {{5.5f, -1.0f}, {4.5f, -1.0f}, {4.5f, 1.0f}, {5.5f, 1.0f}};
    for (int i = 0; i < 4; ++i) EXPECT_LT(glm::length(transform.Corners()[i] - expected[i]), 1e-5f) << i;
}

TEST_F(EntityTest, ParentChainsAddPositionsAndBrokenLinksAreSafe)
{
    Space* stage = Stage();
    Transform* leaf = stage->FindEntity("leaf")->Get<Transform>();
    EXPECT_EQ(leaf->GetWorldPosition(), glm::vec2(11.0f, 6.0f));
    EXPECT_EQ(glm::vec2(leaf->GetMatrix()[2]), glm::vec2(11.0f, 6.0f));
    EXPECT_EQ(stage->FindEntity("orphan")->Get<Transform>()->GetWorldPosition(), glm::vec2(2.0f, 2.0f));
    EXPECT_EQ(stage->FindEntity("selfish")->Get<Transform>()->GetWorldPosition(), glm::vec2(3.0f, 3.0f));
    // The middle link goes: the child no longer reads it.
    stage->DestroyEntity(stage->FindEntity("mid"));
    EXPECT_EQ(leaf->GetWorldPosition(), glm::vec2(1.0f, 1.0f));
}

TEST_F(EntityTest, ArchetypesLoadInNameOrderSkippingHiddenFiles)
{
    Start();
    ArchetypeStore* store = ArchetypeStore::Get();
    ASSERT_EQ(store->Archetypes().size(), 2u);
    EXPECT_EQ(store->Find("ball")->archetypeName, "first");  // a.txt before b.txt
    EXPECT_EQ(store->Find("nothing"), nullptr);
}

TEST_F(EntityTest, SpawnedEntitiesAreIndependentOfTheirTemplate)
{
    Space* stage = Stage();
    Entity* spawned = ArchetypeStore::Spawn("ball", "ball1", *stage, true);
    EXPECT_EQ(spawned->archetypeName, "ball");
    spawned->Get<Transform>()->translation.x = -50.0f;
    Entity* second = ArchetypeStore::Spawn("ball", "ball2", *stage, false);
    EXPECT_EQ(second->Get<Transform>()->translation.x, 99.0f);
    EXPECT_THROW(ArchetypeStore::Spawn("nothing", "n", *stage, false), GameError);
}

TEST_F(EntityTest, SavingAnArchetypeWritesItsFileAndReplacesTheTemplateInPlace)
{
    Space* stage = Stage();
    ArchetypeStore* store = ArchetypeStore::Get();
    Entity* entity = stage->FindEntity("both");
    entity->name = "widget";
    entity->archetypeName = "Widget";
    store->Save(*entity);
    EXPECT_THAT(ReadText(content.root / "Archetypes" / "widget.txt"), HasSubstr("\"archetypeName\": \"Widget\""));
    ASSERT_EQ(store->Archetypes().size(), 3u);
    EXPECT_EQ(store->Archetypes()[2]->name, "Widget");
    EXPECT_EQ(store->Archetypes()[2]->space, nullptr);

    entity->Get<Sprite>()->zLayer = 9.0f;
    store->Save(*entity);
    ASSERT_EQ(store->Archetypes().size(), 3u);
    EXPECT_EQ(store->Find("Widget")->Get<Sprite>()->zLayer, 9.0f);
    EXPECT_EQ(store->Archetypes()[2].get(), store->Find("Widget"));
}

TEST_F(EntityTest, AFailedSaveChangesNothingAndLeavesTheOldFile)
{
    Space* stage = Stage();
    std::filesystem::create_directory(content.root / "Archetypes" / "both.txt");  // cannot be replaced by a file
    EXPECT_THROW(ArchetypeStore::Get()->Save(*stage->FindEntity("both")), GameError);
    EXPECT_EQ(ArchetypeStore::Get()->Archetypes().size(), 2u);
    std::string before = ReadText(stage->Path());
    stage->name = "../escape";
    EXPECT_THROW(stage->Save(), GameError);
    stage->name = "Stage";
    stage->FindEntity("both")->name = "../../outside";
    EXPECT_THROW(ArchetypeStore::Get()->Save(*stage->FindEntity("../../outside")), GameError);
    EXPECT_FALSE(std::filesystem::exists(content.root / "outside.txt"));
    EXPECT_EQ(ReadText(stage->Path()), before);
    for (const auto& file : std::filesystem::directory_iterator(content.root / "Archetypes"))
        EXPECT_EQ(file.path().filename().string().find(".saving"), std::string::npos);
}

// A save replaces its target whole. Links and special files as targets: a save never
// writes through a link (the target's or a planted temporary's), a run output keeps a
// device in place, a full disk fails.
TEST(JsonFileTest, SavesReplaceWholeAndNeverWriteThroughLinksOrSpecialFiles)
{
    namespace fs = std::filesystem;
    testing_content::TempContent content;
    const std::string plain = (content.root / "plain.txt").string();
    JsonFile::WriteAtomically(plain, "first");
    JsonFile::WriteAtomically(plain, "second");
    EXPECT_EQ(ReadText(plain), "second");
    EXPECT_THROW(JsonFile::WriteAtomically((content.root / "absent" / "x.txt").string(), "x"), GameError);

    fs::path victim = content.root / "victim.txt", link = content.root / "link.txt", saved = content.root / "saved.txt";
    testing_content::WriteText(victim, "kept");
    fs::create_symlink(victim, link);
    std::string error;
    try {
        JsonFile::WriteAtomically(link.string(), "new");
    } catch (const GameError& refused) {
        error = refused.what();
    }
    EXPECT_THAT(error, HasSubstr(link.string() + ": it is a symbolic link"));
    EXPECT_TRUE(fs::is_symlink(link));

    fs::create_symlink(victim, content.root / ".saved.txt.saving");  // planted where the temporary goes
    JsonFile::WriteAtomically(saved.string(), "saved");
    EXPECT_EQ(ReadText(saved), "saved");
    EXPECT_EQ(ReadText(victim), "kept");

    ASSERT_EQ(mkfifo((content.root / "fifo.txt").c_str(), 0600), 0);
    EXPECT_THROW(JsonFile::WriteAtomically((content.root / "fifo.txt").string(), "x"), GameError);

    OutputFile::WriteWhole("/dev/null", "gone", OutputFile::Kind::kRunOutput);
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
    if (fs::exists("/dev/full")) {
        EXPECT_THROW(OutputFile::WriteWhole("/dev/full", "no room", OutputFile::Kind::kRunOutput), GameError);
    }
    EXPECT_THROW(OutputFile::WriteWhole("", "x", OutputFile::Kind::kRunOutput), GameError);
}

} // namespace
