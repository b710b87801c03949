#include "archetypestore.h"
#include "entity.h"
#include "gameerror.h"
#include "jsonfile.h"
#include "space.h"
#include "sprite.h"
#include "testcontent.h"
#include "transform.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

namespace volleyrun {

namespace {

namespace fs = std::filesystem;
using testing_content::EntityJson;
using testing_content::ReadText;
using ::testing::HasSubstr;

class EntityTest : public testing_content::EngineTest {
protected:
    void PrepareContent() override
    {
        content.SimpleSpace("Stage", 1.0f,
                            R"({"name": "both", "archetypeName": "x", "Transform": {}, "Sprite": {"zLayer": 4}, "Other": {}},)" +
                                EntityJson("root", 0, 5) + "," + EntityJson("mid", 10, 0, nullptr, "root") + "," +
                                EntityJson("leaf", 1, 1, nullptr, "mid") + "," + EntityJson("orphan", 2, 2, nullptr, "nobody") +
                                "," + EntityJson("selfish", 3, 3, nullptr, "selfish"));
        content.Archetype("ball.txt", EntityJson("ball", 1, 2, "7"));
    }
    Space* Stage()
    {
        Start();
        Space* stage = Make("Stage");
        Frames(2);  // the space's first update, in the second frame, initialises the entities
        return stage;
    }
};

TEST_F(EntityTest, ComponentMembersFillTheirSlotsAndClonesOwnDistinctComponents)
{
    Entity* both = Stage()->FindEntity("both");
    for (int slot = 0; slot < kComponentTypeCount; ++slot)
        EXPECT_EQ(both->GetComponent(slot) != nullptr, slot == kTransform || slot == kSprite) << slot;
    EXPECT_THROW(both->RequireComponent(kBallManager), GameError);
    auto clone = both->Clone();
    ASSERT_NE(clone->Get<Sprite>(), nullptr);
    EXPECT_NE(clone->Get<Sprite>(), both->Get<Sprite>());
    EXPECT_EQ(clone->Get<Sprite>()->owner, clone.get());
}

TEST_F(EntityTest, TransformsFollowRotationScaleAndParentChainsAndBrokenLinksAreSafe)
{
    Transform transform(nullptr, {5.0f, 0.0f}, {2.0f, 1.0f}, 90.0f);
    const glm::vec2 corners[4] = {{5.5f, -1.0f}, {4.5f, -1.0f}, {4.5f, 1.0f}, {5.5f, 1.0f}};
    for (int i = 0; i < 4; ++i) EXPECT_LT(glm::length(transform.Corners()[i] - corners[i]), 1e-5f) << i;
    Space* stage = Stage();
    Transform* leaf = stage->FindEntity("leaf")->Get<Transform>();
    EXPECT_EQ(leaf->GetWorldPosition(), glm::vec2(11.0f, 6.0f));
    EXPECT_EQ(glm::vec2(leaf->GetMatrix()[2]), glm::vec2(11.0f, 6.0f));
    EXPECT_EQ(stage->FindEntity("orphan")->Get<Transform>()->GetWorldPosition(), glm::vec2(2.0f, 2.0f));
    EXPECT_EQ(stage->FindEntity("selfish")->Get<Transform>()->GetWorldPosition(), glm::vec2(3.0f, 3.0f));
    stage->DestroyEntity(stage->FindEntity("mid"));  // the middle link goes: the child no longer reads it
    EXPECT_EQ(leaf->GetWorldPosition(), glm::vec2(1.0f, 1.0f));
}

// A save that cannot be written, or whose name leads out of the folder, changes nothing.
TEST_F(EntityTest, AFailedArchetypeSaveChangesNothing)
{
    rapidjson::Document both;
    static_cast<rapidjson::Value&>(both) = Stage()->FindEntity("both")->Object(both.GetAllocator());
    fs::create_directory(content.root / "Archetypes" / "both.txt");  // cannot be replaced by a file
    EXPECT_THROW(ArchetypeStore::Get()->Save(both), GameError);
    both["name"] = "../../outside";
    EXPECT_THROW(ArchetypeStore::Get()->Save(both), GameError);
    EXPECT_FALSE(fs::exists(content.root / "outside.txt"));
    EXPECT_EQ(ArchetypeStore::Get()->Archetypes().size(), 1u);
    for (const auto& file : fs::directory_iterator(content.root / "Archetypes"))
        EXPECT_EQ(file.path().filename().string().find(".saving"), std::string::npos);
}

// A save replaces its target whole and never writes through a link (the target or a planted temporary) or into a FIFO.
TEST(JsonFileTest, SavesReplaceWholeAndNeverWriteThroughLinksOrSpecialFiles)
{
    testing_content::TempContent content;
    const fs::path victim = content.root / "victim.txt", link = content.root / "link.txt";
    testing_content::WriteText(victim, "kept");
    fs::create_symlink(victim, link);
    EXPECT_THAT([&] { JsonFile::WriteAtomically(link.string(), "new"); },
                ::testing::ThrowsMessage<GameError>(HasSubstr(link.string() + ": it is a symbolic link")));
    EXPECT_TRUE(fs::is_symlink(link));
    fs::create_symlink(victim, content.root / ".saved.txt.saving");  // planted where the temporary goes
    JsonFile::WriteAtomically((content.root / "saved.txt").string(), "saved");
    EXPECT_EQ(ReadText(content.root / "saved.txt"), "saved");
    EXPECT_EQ(ReadText(victim), "kept");
    ASSERT_EQ(mkfifo((content.root / "fifo.txt").c_str(), 0600), 0);
    EXPECT_THROW(JsonFile::WriteAtomically((content.root / "fifo.txt").string(), "x"), GameError);
}

} // namespace

} // namespace volleyrun
