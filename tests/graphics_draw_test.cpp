// The draw operations of a headless engine, read back from the recording of draw calls.
#include "camera.h"
#include "event.h"
#include "gameerror.h"
#include "graphics.h"
#include "imagetestfiles.h"
#include "sprite.h"
#include "testcontent.h"
#include "texturestore.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

using image_test_files::WritePng;
using Record = Graphics::DrawRecord;

glm::mat3 Place(float x, float y, float sx, float sy)
{
    return glm::mat3(sx, 0.0f, 0.0f, 0.0f, sy, 0.0f, x, y, 1.0f);
}

// The clip-space position of a corner of the unit quad under a recorded draw.
glm::vec2 Clip(const Record& record, float cornerX, float cornerY)
{
    glm::vec4 p = record.transform * glm::vec4(cornerX, cornerY, 0.0f, 1.0f);
    return {p.x, p.y};
}

std::string SpriteEntity(const std::string& name, float x, float layer, bool withSprite = true)
{
    std::string json = "{\"name\": \"" + name + "\", \"archetypeName\": \"\", \"Transform\": {\"translationX\": " +
                       std::to_string(x) + "}";
    if (withSprite) json += ", \"Sprite\": {\"imageName\": \"Ball.png\", \"zLayer\": " + std::to_string(layer) + "}";
    return json + "}";
}

class GraphicsDrawTest : public testing_content::EngineTest {
protected:
    void PrepareContent() override
    {
        auto textures = content.root / "Textures";
        WritePng(textures / "default.png", 8, 8);
        WritePng(textures / "Ball.png", 16, 16);
        WritePng(textures / "Sheet.png", 4, 4);
        WritePng(textures / "page.png", 256, 64);
        testing_content::WriteText(textures / "Sheet.atlas",
                                   "\npage.png\nsize: 256,64\nformat: RGBA8888\nfilter: Nearest,Nearest\nrepeat: none\n"
                                   "a\n  rotate: false\n  xy: 0, 0\n  size: 64, 64\n  orig: 64, 64\n  offset: 0, 0\n  index: 0\n"
                                   "b\n  rotate: false\n  xy: 64, 0\n  size: 128, 32\n  orig: 128, 32\n  offset: 0, 0\n  index: 1\n");
        content.SimpleSpace("Splash", 0.0f,
                            SpriteEntity("high", 10.0f, 1.0f) + ", " + SpriteEntity("low", 20.0f, 0.0f) + ", " +
                                SpriteEntity("bare", 30.0f, 0.0f, false));
    }

    std::vector<Record> Sprites() const
    {
        std::vector<Record> sprites;
        for (const Record& record : Graphics::Get()->drawLog)
            if (record.kind == Record::kSprite) sprites.push_back(record);
        return sprites;
    }
    const Record& Draw(Sprite& sprite, const glm::mat3& world = Place(0, 0, 10, 10), glm::vec4 colour = glm::vec4(1.0f))
    {
        sprite.Draw(world, colour);
        return Graphics::Get()->drawLog.back();
    }
};

TEST_F(GraphicsDrawTest, SpritesDrawTheirImageOrTheFallbackInLayerOrder)
{
    Start();
    Frames(4);  // the space starts, initialises its entities, and their draw listeners become active
    std::vector<Record> sprites = Sprites();
    ASSERT_EQ(sprites.size(), 2u);  // "bare" has no sprite
    EXPECT_EQ(sprites[0].world[2][0], 20.0f);  // layer 0 before layer 1
    EXPECT_EQ(sprites[1].world[2][0], 10.0f);
    EXPECT_EQ(sprites[0].image, "Ball.png");

    Sprite* high = Engine::Get()->FindSpace("Splash")->FindEntity("high")->Get<Sprite>();
    high->SetImage("Nowhere.png");
    Sprite* low = Engine::Get()->FindSpace("Splash")->FindEntity("low")->Get<Sprite>();
    low->visible = false;
    Frames(1);
    sprites = Sprites();
    ASSERT_EQ(sprites.size(), 1u);  // and the log holds this frame's draws only
    EXPECT_EQ(sprites[0].image, "default.png");
}

TEST_F(GraphicsDrawTest, SpriteCornersLandWhereTheCameraShowsThem)
{
    Start();
    Sprite sprite(nullptr, "Ball.png");
    const Record& record = Draw(sprite, Place(100.0f, 50.0f, 10.0f, 10.0f), glm::vec4(0.5f, 0.25f, 1.0f, 0.75f));
    // Screen scale 3, zoom 2: the view is 3200 x 1600 scaled units wide.
    glm::vec2 corner = Clip(record, 0.5f, 0.5f);
    EXPECT_NEAR(corner.x, 105.0f * 3.0f / 1600.0f, 1e-6);
    EXPECT_NEAR(corner.y, 55.0f * 3.0f / 800.0f, 1e-6);
    EXPECT_EQ(record.colour, glm::vec4(0.5f, 0.25f, 1.0f, 0.75f));
    EXPECT_EQ(record.uvScale, glm::vec2(1.0f, 1.0f));
}

TEST_F(GraphicsDrawTest, CameraPositionAndZoomMoveTheViewAndRebuildOnlyWhatChanged)
{
    Start();
    Sprite sprite(nullptr, "Ball.png");
    Camera* camera = Camera::Get();
    Draw(sprite);
    int views = camera->viewBuilds;
    int projections = camera->projectionBuilds;
    camera->SetZoom(1.0f);
    glm::vec2 corner = Clip(Draw(sprite, Place(100.0f, 0.0f, 10.0f, 10.0f)), 0.0f, 0.0f);
    EXPECT_NEAR(corner.x, 300.0f / 800.0f, 1e-6);  // half the extent: twice as far out
    EXPECT_EQ(camera->projectionBuilds, projections + 1);
    EXPECT_EQ(camera->viewBuilds, views);
    camera->SetPosition(300.0f, 0.0f, 0.0f);  // scaled units: world x 100 is now in the centre
    corner = Clip(Draw(sprite, Place(100.0f, 0.0f, 10.0f, 10.0f)), 0.0f, 0.0f);
    EXPECT_NEAR(corner.x, 0.0f, 1e-6);
    EXPECT_EQ(camera->viewBuilds, views + 1);
}

TEST_F(GraphicsDrawTest, AtlasFramesOfOtherSizesScaleTheQuadAndFramesPastTheEndDrawFrameZero)
{
    Start();
    Sprite sprite(nullptr, "Sheet.png", 1);
    const Record& wide = Draw(sprite, Place(0, 0, 10, 10));
    EXPECT_EQ(wide.uvScale, glm::vec2(2.0f, 0.5f));
    EXPECT_EQ(wide.model[0][0], 60.0f);  // 3 x 10 x 2
    EXPECT_EQ(wide.model[1][1], 15.0f);
    EXPECT_EQ(wide.uv, glm::vec2(0.25f, -0.5f));
    sprite.frameIndex = 12;
    const Record& past = Draw(sprite);
    EXPECT_EQ(past.frame, 0u);
    EXPECT_EQ(past.uvScale, glm::vec2(1.0f, 1.0f));
    EXPECT_EQ(past.uv, glm::vec2(0.0f, -1.0f));
}

TEST_F(GraphicsDrawTest, ThePictureKeepsItsShapeInAnyWindowAndThePointerFollowsIt)
{
    Start();
    Graphics* graphics = Graphics::Get();
    Sprite sprite(nullptr, "Ball.png");
    // Zoom 2 shows 3200 x 1600 scaled units, 1066.7 x 533.3 world units, on the largest
    // centred 2:1 part of the window; the corners of that part are the view's corners.
    const float halfWidth = 1600.0f / 3.0f, halfHeight = 800.0f / 3.0f;
    struct Window {
        int width, height;
        glm::ivec4 picture;
    };
    for (Window window : {Window{1920, 1080, {0, 60, 1920, 960}}, Window{1680, 1050, {0, 105, 1680, 840}},
                          Window{1280, 1024, {0, 192, 1280, 640}}, Window{2560, 1080, {200, 0, 2160, 1080}}}) {
        SCOPED_TRACE(std::to_string(window.width) + " x " + std::to_string(window.height));
        graphics->OnResize(window.width, window.height);
        EXPECT_EQ(graphics->picture, window.picture);
        glm::vec2 corner(window.picture.x, window.picture.y);
        glm::vec2 size(window.picture.z, window.picture.w);
        EXPECT_NEAR(graphics->ScreenToWorld(corner.x, corner.y).x, -halfWidth, 0.01f);
        EXPECT_NEAR(graphics->ScreenToWorld(corner.x, corner.y).y, halfHeight, 0.01f);
        EXPECT_NEAR(graphics->ScreenToWorld(corner.x + size.x, corner.y + size.y).x, halfWidth, 0.01f);
        EXPECT_NEAR(graphics->ScreenToWorld(corner.x + size.x, corner.y + size.y).y, -halfHeight, 0.01f);
        EXPECT_EQ(graphics->ScreenToWorld(window.width * 0.5f, window.height * 0.5f), glm::vec2(0.0f, 0.0f));
    }
    screenScale[0][0] = -3.0f;
    EXPECT_LT(Clip(Draw(sprite, Place(100.0f, 0.0f, 10.0f, 10.0f)), 0.0f, 0.0f).x, 0.0f);
    EXPECT_FLOAT_EQ(graphics->ScreenToWorld(2360.0f, 540.0f).x, -halfWidth);
    graphics->OnResize(1280, 720);
    EXPECT_EQ(screenScale, glm::mat3(3.0f, 0.0f, 0.0f, 0.0f, 3.0f, 0.0f, 0.0f, 0.0f, 1.0f));
}

TEST_F(GraphicsDrawTest, DebugDrawModeSwapsSpritesForVioletOutlines)
{
    Start();
    debugDrawMode = true;
    Frames(4);
    EXPECT_TRUE(Sprites().empty());
    std::vector<Record> outlines = Graphics::Get()->drawLog;
    ASSERT_EQ(outlines.size(), 3u);  // every transform, with a sprite or not
    for (const Record& outline : outlines) {
        EXPECT_EQ(outline.kind, Record::kOutline);
        EXPECT_EQ(outline.colour, glm::vec4(0.471f, 0.318f, 0.663f, 1.0f));
    }
    debugDrawMode = false;
    Frames(1);
    EXPECT_EQ(Sprites().size(), 2u);
    EXPECT_EQ(Graphics::Get()->drawLog.size(), 2u);
}

TEST_F(GraphicsDrawTest, ParticlesShareTheBatchImageAndColourWithTheirOwnAlpha)
{
    Start();
    Graphics* graphics = Graphics::Get();
    Sprite sprite(nullptr, "Sheet.png", 1, 0.0f, glm::vec4(1.0f, 0.5f, 0.0f, 1.0f));
    graphics->BeginParticleBatch(sprite.GetTexture(), sprite.frameIndex, glm::vec3(sprite.colour));
    EXPECT_TRUE(graphics->drawLog.empty());
    graphics->DrawParticle(Place(5.0f, 5.0f, 2.0f, 2.0f), 0.25f);
    graphics->DrawParticle(Place(6.0f, 5.0f, 2.0f, 2.0f), 0.5f);
    ASSERT_EQ(graphics->drawLog.size(), 2u);
    const Record& second = graphics->drawLog[1];
    EXPECT_EQ(second.kind, Record::kParticle);
    EXPECT_EQ(second.image, "Sheet.png");
    EXPECT_EQ(second.colour, glm::vec4(1.0f, 0.5f, 0.0f, 0.5f));
    EXPECT_EQ(second.model[0][0], 12.0f);  // 3 x 2 x uvScale 2
    EXPECT_EQ(second.model[2][0], 18.0f);
}

TEST_F(GraphicsDrawTest, BeatTimeCountsDownFromEachBeat)
{
    Start();
    Frames(1);  // the graphics' listeners become active at the end of the first frame
    Graphics* graphics = Graphics::Get();
    for (int beat = 0; beat < 2; ++beat) {
        Engine::Get()->events->Send(BeatEvent(BeatTime(), 120.0f));
        EXPECT_EQ(graphics->beatTime, 0.0f);
        Frames(29);
        EXPECT_NEAR(graphics->beatTime, -29.0f / 60.0f, 1e-4);
        Frames(1);
    }
}

TEST_F(GraphicsDrawTest, FullScreenToggleAlternatesBetweenTheMonitorAndA93PercentWindow)
{
    Start();
    Graphics* graphics = Graphics::Get();
    auto& at = graphics->placement;
    EXPECT_TRUE(graphics->fullscreen);
    graphics->ToggleFullscreen();
    EXPECT_FALSE(graphics->fullscreen);
    EXPECT_EQ(std::tuple(at.onMonitor, at.x, at.y, at.width, at.height, graphics->width), std::tuple(false, 10, 40, 1800, 1012, 1800));
    graphics->ToggleFullscreen();
    EXPECT_EQ(std::tuple(at.onMonitor, at.width, at.height), std::tuple(true, 1920, 1080));
}

TEST_F(GraphicsDrawTest, WindowedOptionStartsInTheWindow)
{
    RunOptions::Get().windowed = true;
    Start();
    EXPECT_FALSE(Graphics::Get()->fullscreen);
    EXPECT_EQ(Graphics::Get()->height, 1012);
}

TEST_F(GraphicsDrawTest, HeadlessKnowsEveryImageWithoutAContext)
{
    Start();
    EXPECT_TRUE(Graphics::Get()->Headless());
    EXPECT_EQ(FindTexture("page.png").width, 256);
    EXPECT_EQ(FindTexture("Sheet.png").frameCount, 2u);
    EXPECT_EQ(FindTexture("Ball.png").pageTextures, std::vector<uint32_t>{0u});
}

TEST_F(GraphicsDrawTest, ScreenshotsNeedAWindow)
{
    RunOptions::Get().screenshots.push_back({1, "shot.png"});
    EXPECT_THROW(Start(), GameError);
}

} // namespace
