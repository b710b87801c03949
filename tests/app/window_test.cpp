// Real windows under Xvfb with Mesa's software OpenGL, judged by screenshots: WindowTest runs this
// binary under xvfb-run, where the WindowInside tests run (anywhere else they skip themselves).
#include "entity.h"
#include "gameerror.h"
#include "graphics.h"
#include "imagetestfiles.h"
#include "programrun.h"
#include "space.h"
#include "sprite.h"
#include "testcontent.h"
#include "transform.h"
#include "window.h"

#include <glad/gl.h>
#define GLFW_INCLUDE_NONE
#include <GLFW/glfw3.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace volleyrun {

namespace {

namespace fs = std::filesystem;
using image_test_files::Picture;
using image_test_files::Rgba;
using image_test_files::WritePng;
using testing::HasSubstr;
using testing::Not;
using Colour = std::array<int, 3>;

constexpr const char* kInsideMarker = "VOLLEYRUN_INSIDE_XVFB";

bool Near(Colour c, Colour want, int tolerance = 12)
{
    for (int i = 0; i < 3; ++i)
        if (std::abs(c[i] - want[i]) > tolerance) return false;
    return true;
}

// The tests below, and the batching tests (WindowInsideBatches), in one X server.
TEST(WindowTest, InProcessWindowChecks)
{
    char self[4096] = {};
    ASSERT_GT(readlink("/proc/self/exe", self, sizeof(self) - 1), 0);
    // Every inside check runs, also when this suite runs in shards.
    program_run::Result run = program_run::UnderXvfb(std::string(self) + " --gtest_filter='WindowInside*'",
                                                     "env -u GTEST_TOTAL_SHARDS -u GTEST_SHARD_INDEX " +
                                                         std::string(kInsideMarker) + "=1");
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_THAT(run.output, HasSubstr("[  PASSED  ]"));
    EXPECT_THAT(run.output, Not(HasSubstr("SKIPPED")));
    EXPECT_THAT(run.output, Not(HasSubstr("ERROR ")));
}

// An engine with a real window in this process; only inside the X server started above.
class WindowInside : public testing_content::EngineTest {
protected:
    void SetUp() override
    {
        if (!std::getenv(kInsideMarker)) GTEST_SKIP() << "runs inside WindowTest.InProcessWindowChecks";
        EngineTest::SetUp();
        RunOptions::Get().headless = false;
    }
    // The real shaders and font sheets, and a splash space holding a box.
    void PrepareContent() override
    {
        const fs::path source = fs::path(VOLLEYRUN_SOURCE_DIR) / "Quillmoor";
        fs::copy(source / "Shaders", content.root / "Shaders");
        fs::create_directories(content.root / "Textures");
        for (const char* file : {"FontSheet00.png", "FontSheet00.txt", "FontSheetGlow00.png", "FontSheetGlow00.txt",
                                 "default.png", "TestingLines.png"})
            fs::copy_file(source / "Textures" / file, content.root / "Textures" / file);
        content.SimpleSpace("Splash", 0.0f,
                            R"({"name": "box", "archetypeName": "", "Transform": {"scaleX": 200.0, "scaleY": 100.0},
                                "Sprite": {"imageName": "TestingLines.png"}})");
    }
    // Runs frames until the next one is saved to a file; returns its picture.
    Picture Shot(const std::string& name)
    {
        fs::path file = content.root / (name + ".png");
        Window::Get()->screenshots = {{Engine::Get()->frameCount + 1, file.string()}};
        Frames(1);
        return Picture(file.string());
    }
};

// Images share sheets with others, so a frame's texture coordinates must stay inside its
// own page: each atlas region, and each grid cell (an index past the last row comes round
// to the top), shows exactly its own texels of the source image, texel for texel.
TEST_F(WindowInside, AtlasAndGridFramesShowExactlyTheirOwnTexels)
{
    auto texel = [](int x, int y) { return Rgba{uint8_t(x * 16 + 8), uint8_t(y * 30 + 10), uint8_t(99 + x + y), 255}; };
    fs::path folder = content.root / "Textures" / "Frames";
    WritePng(folder / "page.png", 16, 8, texel);
    WritePng(folder / "Atlas.png", 1, 1);
    WritePng(folder / "Grid.png", 16, 8, texel);  // 4 x 2 cells of 4 x 4 texels
    testing_content::WriteText(folder / "Grid.txt", R"({"data": [4, 2, 0]})");
    testing_content::WriteText(folder / "Atlas.atlas", "\n" + image_test_files::AtlasPage("page.png", 16, 8,
        {{"a", 0, 0, 4, 4, 0}, {"b", 12, 4, 4, 4, 1}, {"c", 5, 3, 4, 4, 2}, {"d", 9, 0, 4, 4, 3}}));
    content.SimpleSpace("Splash", 0.0f, R"({"name": "frame", "archetypeName": "", "Sprite": {"imageName": "Atlas.png"},
                                            "Transform": {"scaleX": 400.0, "scaleY": 400.0}})");
    Start();
    Frames(3);  // the space's entities are initialised
    Sprite* sprite = Engine::Get()->FindSpace("Splash")->FindEntity("frame")->Get<Sprite>();
    const struct {
        const char* image;
        uint32_t frame;
        int x, y;  // the frame's top-left texel in the source image
    } cases[] = {{"Atlas.png", 0, 0, 0}, {"Atlas.png", 1, 12, 4}, {"Atlas.png", 2, 5, 3}, {"Atlas.png", 3, 9, 0},
                 {"Grid.png", 0, 0, 0},  {"Grid.png", 6, 8, 4},   {"Grid.png", 9, 4, 0}};
    for (const auto& c : cases) {
        sprite->SetImage(c.image);
        sprite->frameIndex = c.frame;
        Picture shot = Shot(std::string("frame") + c.image + std::to_string(c.frame));
        ASSERT_TRUE(shot.Loaded());
        // The 400-unit square shows 4 x 4 texels, 100 units each; look at each one's middle.
        double perUnit = std::min(shot.width / 1066.67, shot.height / 533.33);  // letterboxed
        for (int ty = 0; ty < 4; ++ty)
            for (int tx = 0; tx < 4; ++tx) {
                Colour seen = shot.At(static_cast<int>(shot.width / 2 + (-150.0 + 100.0 * tx) * perUnit),
                                      static_cast<int>(shot.height / 2 - (150.0 - 100.0 * ty) * perUnit));
                Rgba want = texel(c.x + tx, c.y + ty);
                EXPECT_TRUE(Near(seen, {want[0], want[1], want[2]}, 1)) << c.image << c.frame << " at " << tx << ty;
            }
    }
}

// A still space is drawn once, then shown as that picture, pixel for pixel: changes in it
// no longer show until it stops being still or the (borderless) window changes size.
TEST_F(WindowInside, AStillSpaceIsShownAsItsKeptPictureUntilItMovesOrTheWindowResizes)
{
    Start();
    Graphics* graphics = Graphics::Get();
    EXPECT_EQ(glfwGetWindowAttrib(Window::Get()->Handle(), GLFW_DECORATED), GLFW_FALSE);
    Frames(4);
    Space* splash = Engine::Get()->FindSpace("Splash");
    glm::vec2& box = splash->FindEntity("box")->Get<Transform>()->translation;
    Picture drawn = Shot("drawn");
    splash->still = true;
    Picture kept = Shot("kept");
    box.x += 150.0f;
    Picture shown = Shot("shown");
    EXPECT_EQ(drawn.pixels, kept.pixels);
    EXPECT_EQ(kept.pixels, shown.pixels) << "the box's move shows although the space is still";
    splash->Hold();  // the map editor's: what the designer changes must show
    Picture held = Shot("held");
    EXPECT_NE(held.pixels, shown.pixels);
    splash->Release();
    splash->still = false;
    EXPECT_EQ(Shot("moved").pixels, held.pixels);
    splash->still = true;
    Shot("keptAgain");
    box.x -= 150.0f;
    Window::Get()->ToggleFullscreen();
    Frames(2);  // the size change arrives through event polling
    EXPECT_EQ(glm::ivec2(graphics->width, graphics->height), glm::ivec2(1800, 1012));
    Picture resized = Shot("resized");
    splash->still = false;
    EXPECT_EQ(Shot("drawnResized").pixels, resized.pixels) << "the kept picture outlived the window's size";
    glfwSetWindowShouldClose(Window::Get()->Handle(), GLFW_TRUE);
    Frames(1);
    EXPECT_TRUE(Engine::Get()->quit);
}

// Draws of every kind in one frame, each setting only what differs from the draw before.
struct MixedDraws {
    Sprite red{nullptr, "White.png", 0, 0.0f, glm::vec4(1.0f, 0.0f, 0.0f, 1.0f)};
    Sprite green{nullptr, "White.png", 0, 0.0f, glm::vec4(0.0f, 1.0f, 0.0f, 1.0f)};
    Transform box{nullptr, glm::vec2(0.0f, 0.0f), glm::vec2(100.0f, 100.0f)};
    void OnDraw(DrawEvent&)
    {
        Graphics* graphics = Graphics::Get();
        red.Draw(glm::mat3(100.0f, 0, 0, 0, 100.0f, 0, -200.0f, 0, 1), red.colour);
        graphics->DrawOutline(box.GetMatrix());
        green.Draw(glm::mat3(100.0f, 0, 0, 0, 100.0f, 0, 200.0f, 0, 1), green.colour);
        graphics->BeginParticleBatch(red.GetTexture(), red.frameIndex, glm::vec3(red.colour));
        graphics->DrawParticle(glm::mat3(50.0f, 0, 0, 0, 50.0f, 0, 0.0f, -200.0f, 1), 1.0f);
    }
};

TEST_F(WindowInside, OutlinesBetweenSpritesAndParticlesLeaveEachDrawItsOwnState)
{
    WritePng(content.root / "Textures" / "White.png", 4, 4);
    content.SimpleSpace("Splash", 0.0f);
    Start();
    MixedDraws draws;
    Engine::Get()->events->AddListener(&draws, &MixedDraws::OnDraw);
    Graphics::Get()->debugDraw = true;
    Frames(2);
    Picture picture = Shot("mixed");
    Engine::Get()->events->RemoveListener<DrawEvent>(&draws);
    int w = picture.width, h = picture.height;
    // 100 world units are 180 x 180 pixels of the letterboxed picture: each square filled, not outlined.
    auto count = [&](int cx, int cy, Colour colour) {
        return picture.Count(cx - 60, cy - 60, cx + 60, cy + 60, [&](Colour c) { return Near(c, colour); });
    };
    EXPECT_EQ(count(w / 2 - 360, h / 2, {255, 0, 0}), 120 * 120);
    EXPECT_EQ(count(w / 2 + 360, h / 2, {0, 255, 0}), 120 * 120);
    auto violet = [](Colour c) { return Near(c, {120, 81, 169}, 6); };
    EXPECT_GT(picture.Count(w / 2 - 120, h / 2 - 120, w / 2 + 120, h / 2 + 120, violet), 800);
    EXPECT_GT(count(w / 2, h / 2 + 360, {255, 0, 0}), 88 * 88);  // the particle: 90 x 90 pixels, filled
}

// A GL error is printed with the call's name and the game goes on; a missing shader file
// stops the first draw.
TEST_F(WindowInside, GlErrorsArePrintedAndAMissingShaderFileStopsTheFirstDraw)
{
    Start();
    testing::internal::CaptureStderr();
    glBindTexture(GL_TEXTURE_2D, 987654);  // a name never generated: GL_INVALID_OPERATION
    glEnable(GL_BLEND);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "ERROR 1282 in glBindTexture\n");
    Frames(2);
    Engine::Destroy();
    fs::remove(content.root / "Shaders" / "TexturedImageVertex.tesc");
    Start();
    try {
        Frames(4);
        ADD_FAILURE() << "drew without its shader";
    } catch (const GameError& error) {
        EXPECT_THAT(error.what(), HasSubstr("Vertex Shader file failed to open"));
        EXPECT_THAT(error.what(), HasSubstr("TexturedImageVertex.tesc"));
    }
}

} // namespace

} // namespace volleyrun
