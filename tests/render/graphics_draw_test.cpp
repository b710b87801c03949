// The draw operations of a headless engine, read back from the recording of draw calls.
#include "camera.h"
#include "graphics.h"
#include "imagetestfiles.h"
#include "sprite.h"
#include "testcontent.h"

#include <gtest/gtest.h>

#include <tuple>

namespace volleyrun {

namespace {

using Record = Graphics::DrawRecord;

glm::mat3 Place(float x, float y = 0.0f, float scale = 10.0f) { return glm::mat3(scale, 0, 0, 0, scale, 0, x, y, 1); }

// The clip-space position of a point of the unit quad under a recorded draw.
glm::vec2 Clip(const Record& r, float x = 0, float y = 0) { return glm::vec2(r.transform * glm::vec4(x, y, 0, 1)); }

std::string SpriteEntity(const std::string& name, float x, const std::string& layer)
{
    return "{\"name\": \"" + name + "\", \"archetypeName\": \"\", \"Transform\": {\"translationX\": " +
           std::to_string(x) + "}, \"Sprite\": {\"imageName\": \"Ball.png\", \"zLayer\": " + layer + "}}";
}

class GraphicsDrawTest : public testing_content::EngineTest {
protected:
    void PrepareContent() override
    {
        auto textures = content.root / "Textures";
        for (auto [name, width, height] :
             {std::tuple{"default.png", 8, 8}, {"Ball.png", 16, 16}, {"Sheet.png", 4, 4}, {"page.png", 256, 64}})
            image_test_files::WritePng(textures / name, width, height);
        std::string atlas =
            image_test_files::AtlasPage("page.png", 256, 64, {{"a", 0, 0, 64, 64, 0}, {"b", 64, 0, 128, 32, 1}});
        testing_content::WriteText(textures / "Sheet.atlas", "\n" + atlas);
        content.SimpleSpace("Splash", 0.0f, SpriteEntity("high", 10.0f, "1") + ", " + SpriteEntity("low", 20.0f, "0"));
    }
    void SetUp() override { EngineTest::SetUp(); Start(); }
    const Record& Draw(Sprite& sprite, const glm::mat3& world = Place(0), glm::vec4 colour = glm::vec4(1.0f))
    {
        sprite.Draw(world, colour);
        return Graphics::Get()->drawLog.back();
    }
};

TEST_F(GraphicsDrawTest, SpritesDrawTheirImageOrTheFallbackInLayerOrder)
{
    Frames(4);  // the space starts, initialises its entities, and their draw listeners become active
    const std::vector<Record>& log = Graphics::Get()->drawLog;
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].world[2][0], 20.0f);  // layer 0 before layer 1
    EXPECT_EQ(log[1].world[2][0], 10.0f);
    EXPECT_EQ(log[0].image, "Ball.png");
    Space* splash = Engine::Get()->FindSpace("Splash");
    splash->FindEntity("high")->Get<Sprite>()->SetImage("Nowhere.png");
    splash->FindEntity("low")->Get<Sprite>()->visible = false;
    Frames(1);
    ASSERT_EQ(log.size(), 1u);  // and the log holds this frame's draws only
    EXPECT_EQ(log[0].image, "default.png");
}

// Screen scale 3, zoom 2: the view is 3200 x 1600 scaled units wide.
TEST_F(GraphicsDrawTest, SpritesLandWhereTheCameraShowsThem)
{
    Sprite sprite(nullptr, "Ball.png");
    const Record& record = Draw(sprite, Place(100.0f, 50.0f));
    EXPECT_NEAR(Clip(record, 0.5f, 0.5f).x, 105.0f * 3.0f / 1600.0f, 1e-6);
    EXPECT_NEAR(Clip(record, 0.5f, 0.5f).y, 55.0f * 3.0f / 800.0f, 1e-6);
    Camera::Get()->SetZoom(1.0f);
    EXPECT_NEAR(Clip(Draw(sprite, Place(100.0f))).x, 300.0f / 800.0f, 1e-6);  // twice as far out
    Camera::Get()->SetPosition(300.0f, 0.0f, 0.0f);  // scaled units: world x 100 is now in the centre
    EXPECT_NEAR(Clip(Draw(sprite, Place(100.0f))).x, 0.0f, 1e-6);
}

// Atlas frames of other sizes scale the quad; particles take the batch's image and colour, their own alpha.
TEST_F(GraphicsDrawTest, AtlasFramesAndParticlesScaleTheQuadByTheFramesSize)
{
    Sprite sprite(nullptr, "Sheet.png", 1, 0.0f, glm::vec4(1.0f, 0.5f, 0.0f, 1.0f));
    const Record& wide = Draw(sprite);
    EXPECT_EQ(wide.uvScale, glm::vec2(2.0f, 0.5f));
    EXPECT_EQ(glm::vec2(wide.model[0][0], wide.model[1][1]), glm::vec2(60.0f, 15.0f));  // 3 x 10 x uvScale
    EXPECT_EQ(wide.uv, glm::vec2(0.25f, -0.5f));
    Graphics* graphics = Graphics::Get();
    graphics->BeginParticleBatch(sprite.GetTexture(), sprite.frameIndex, glm::vec3(sprite.colour));
    graphics->DrawParticle(Place(6.0f, 5.0f, 2.0f), 0.5f);
    const Record& particle = graphics->drawLog.back();
    EXPECT_EQ(particle.image, "Sheet.png");
    EXPECT_EQ(particle.colour, glm::vec4(1.0f, 0.5f, 0.0f, 0.5f));
    EXPECT_EQ(glm::vec2(particle.model[0][0], particle.model[2][0]), glm::vec2(12.0f, 18.0f));  // 3 x 2 x uvScale 2
}

// Zoom 2 shows 1066.7 x 533.3 world units on the largest centred 2:1 part of any window, corner to corner.
TEST_F(GraphicsDrawTest, ThePictureKeepsItsShapeInAnyWindowAndThePointerFollowsIt)
{
    Graphics* graphics = Graphics::Get();
    const glm::vec2 half(1600.0f / 3.0f, 800.0f / 3.0f);
    for (auto [width, height, picture] :
         {std::tuple{1920, 1080, glm::ivec4{0, 60, 1920, 960}}, {1680, 1050, {0, 105, 1680, 840}},
          {1280, 1024, {0, 192, 1280, 640}}, {2560, 1080, {200, 0, 2160, 1080}}}) {
        SCOPED_TRACE(std::to_string(width) + " x " + std::to_string(height));
        graphics->OnResize(width, height);
        EXPECT_EQ(graphics->picture, picture);
        glm::vec2 topLeft = graphics->ScreenToWorld(picture.x, picture.y);
        glm::vec2 bottomRight = graphics->ScreenToWorld(picture.x + picture.z, picture.y + picture.w);
        EXPECT_LT(glm::length(topLeft - glm::vec2(-half.x, half.y)), 0.01f);
        EXPECT_LT(glm::length(bottomRight - glm::vec2(half.x, -half.y)), 0.01f);
    }
}

} // namespace

} // namespace volleyrun
