// Real windows: the game under Xvfb with Mesa's software OpenGL, judged by screenshots.
// WindowTest runs the program (or this test binary) under xvfb-run; the WindowInside
// tests run inside that X server, in this process, and skip themselves anywhere else.
#include "entity.h"
#include "gameerror.h"
#include "graphics.h"
#include "imagetestfiles.h"
#include "programrun.h"
#include "space.h"
#include "sprite.h"
#include "testcontent.h"
#include "texturestore.h"
#include "trace.h"
#include "transform.h"

#include <glad/gl.h>
#define GLFW_INCLUDE_NONE
#include <GLFW/glfw3.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using image_test_files::Picture;
using image_test_files::Rgba;
using image_test_files::WritePng;
using testing::HasSubstr;
using Colour = std::array<int, 3>;

constexpr const char* kInsideMarker = "VOLLEYRUN_INSIDE_XVFB";

using program_run::Result;

// Runs command under a fresh Xvfb server, telling the child it is inside one.
Result UnderXvfb(const std::string& command)
{
    return program_run::UnderXvfb(command, std::string(kInsideMarker) + "=1");
}

bool Near(Colour c, Colour want, int tolerance = 12)
{
    for (int i = 0; i < 3; ++i)
        if (std::abs(c[i] - want[i]) > tolerance) return false;
    return true;
}

// A content folder with the real shaders, font sheets and debug overlay, and a splash
// space showing, over the whole screen, a picture whose quadrants are red, green, blue
// and yellow (top left, top right, bottom left, bottom right).
void MakeWindowContent(const testing_content::TempContent& content)
{
    const fs::path source = fs::path(VOLLEYRUN_SOURCE_DIR) / "Quillmoor";
    fs::copy(source / "Shaders", content.root / "Shaders");
    fs::create_directories(content.root / "Textures");
    for (const char* file : {"FontSheet00.png", "FontSheet00.txt", "FontSheetGlow00.png", "FontSheetGlow00.txt", "default.png",
                             "TestingLines.png"})
        fs::copy_file(source / "Textures" / file, content.root / "Textures" / file);
    fs::copy_file(source / "Spaces" / "Debug.txt", content.root / "Spaces" / "Debug.txt", fs::copy_options::overwrite_existing);
    content.SimpleSpace("Splash", 0.0f,
                        R"({"name": "splashImage", "archetypeName": "", "Sprite": {"imageName": "FMOD1.png"},
                            "Transform": {"scaleX": 1066.0, "scaleY": 533.0}})");
    WritePng(content.root / "Textures" / "Splash" / "FMOD1.png", 64, 32, [](int x, int y) {
        bool right = x >= 32, bottom = y >= 16;
        if (!bottom) return right ? Rgba{0, 255, 0, 255} : Rgba{255, 0, 0, 255};
        return right ? Rgba{255, 255, 0, 255} : Rgba{0, 0, 255, 255};
    });
}

TEST(WindowTest, TheSplashPictureFillsTheLetterboxedPictureUpright)
{
    testing_content::TempContent content;
    MakeWindowContent(content);
    fs::path shot = content.root / "splash.png";
    Result run = UnderXvfb(std::string(VOLLEYRUN_BINARY) + " --data " + content.root.string() + " --frames 6 --screenshot 5:" +
                           shot.string());
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_THAT(run.output, testing::Not(HasSubstr("ERROR ")));  // no GL error on the way
    Picture picture(shot.string());
    ASSERT_TRUE(picture.Loaded());
    EXPECT_EQ(picture.width, 1920);
    EXPECT_EQ(picture.height, 1081);  // borderless, one pixel taller than the monitor
    // The 2:1 picture fills the width, 60 black rows above and below it.
    glm::ivec4 box = Graphics::Letterbox(picture.width, picture.height);
    int w = box.z, h = box.w, left = box.x, top = picture.height - box.y - box.w;
    EXPECT_EQ(glm::ivec2(w, top), glm::ivec2(1920, 61));
    auto black = [](Colour c) { return Near(c, {0, 0, 0}); };
    EXPECT_EQ(picture.Count(0, 0, picture.width, top, black), picture.width * top);
    EXPECT_EQ(picture.Count(0, top + h, picture.width, picture.height, black), picture.width * (picture.height - top - h));
    struct Quadrant {
        int x0, y0;
        Colour colour;
    } quadrants[] = {{left, top, {255, 0, 0}}, {left + w / 2, top, {0, 255, 0}}, {left, top + h / 2, {0, 0, 255}},
                     {left + w / 2, top + h / 2, {255, 255, 0}}};
    for (const Quadrant& q : quadrants) {
        // Every pixel but a two-pixel seam along the edges and the middle lines.
        int total = (w / 2 - 4) * (h / 2 - 4);
        int matching = picture.Count(q.x0 + 2, q.y0 + 2, q.x0 + w / 2 - 2, q.y0 + h / 2 - 2,
                                     [&](Colour c) { return Near(c, q.colour); });
        EXPECT_GT(matching, total * 99 / 100) << q.colour[0] << "," << q.colour[1] << "," << q.colour[2];
    }
    // A picture that cannot be written whole ends the run, naming the file.
    run = UnderXvfb(std::string(VOLLEYRUN_BINARY) + " --data " + content.root.string() + " --frames 6 --screenshot 5:/dev/full");
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_THAT(run.output, HasSubstr("Could not write /dev/full: No space left on device"));
}

// The tests below, and the batching tests (WindowInsideBatches), in one X server.
TEST(WindowTest, InProcessWindowChecks)
{
    char self[4096] = {};
    ssize_t length = readlink("/proc/self/exe", self, sizeof(self) - 1);
    ASSERT_GT(length, 0);
    Result run = UnderXvfb(std::string(self) + " --gtest_filter='WindowInside*'");
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_THAT(run.output, HasSubstr("[  PASSED  ]"));
    EXPECT_THAT(run.output, testing::Not(HasSubstr("SKIPPED")));
    EXPECT_THAT(run.output, testing::Not(HasSubstr("ERROR ")));
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
    void PrepareContent() override
    {
        MakeWindowContent(content);
        content.SimpleSpace("Splash", 0.0f,
                            R"({"name": "box", "archetypeName": "", "Transform": {"scaleX": 200.0, "scaleY": 100.0},
                                "Sprite": {"imageName": "TestingLines.png"}})");
    }
    // Runs frames until the next one is saved to a file; returns its picture.
    Picture Shot(const std::string& name)
    {
        fs::path file = content.root / (name + ".png");
        RunOptions::Get().screenshots = {{Engine::Get()->frameCount + 1, file.string()}};
        Frames(1);
        return Picture(file.string());
    }
};

bool Violet(Colour c)
{
    return Near(c, {120, 81, 169}, 6);
}

TEST_F(WindowInside, TheWindowIsBorderlessMonitorSizedAndTogglesToTheSmallerWindow)
{
    Start();
    Graphics* graphics = Graphics::Get();
    int w = 0, h = 0;
    glfwGetWindowSize(graphics->window, &w, &h);
    EXPECT_EQ(w, 1920);
    EXPECT_EQ(h, 1081);
    EXPECT_EQ(glfwGetWindowAttrib(graphics->window, GLFW_DECORATED), GLFW_FALSE);
    graphics->ToggleFullscreen();
    Frames(2);  // the size change arrives through event polling
    glfwGetWindowSize(graphics->window, &w, &h);
    EXPECT_EQ(w, 1800);
    EXPECT_EQ(h, 1012);
    EXPECT_EQ(graphics->width, 1800);
    EXPECT_EQ(graphics->height, 1012);
    glfwSetWindowShouldClose(graphics->window, GLFW_TRUE);
    Frames(1);
    EXPECT_TRUE(Engine::Get()->quit);
}

TEST_F(WindowInside, TheDebugOverlayShowsTheTraceLines)
{
    Start();
    Frames(4);
    Trace::Get()->Print("HELLO OVERLAY 0123456789\n");
    Trace::Get()->Print("SECOND LINE\n");
    Picture hidden = Shot("hidden");
    ASSERT_TRUE(hidden.Loaded());
    Engine::Get()->FindSpace("Debug")->visible = true;
    Picture shown = Shot("shown");
    // The lines sit at the top left of the picture (below the 60-pixel bar), over the
    // cleared (black) frame.
    auto white = [](Colour c) { return c[0] > 200 && c[1] > 200 && c[2] > 200; };
    EXPECT_EQ(hidden.Count(0, 60, 700, 180, white), 0);
    EXPECT_GT(shown.Count(0, 60, 700, 180, white), 1500);
    // Line 0 (the newest) on top, line 1 below it.
    EXPECT_GT(shown.Count(0, 75, 700, 115, white), 800);
    EXPECT_GT(shown.Count(0, 115, 700, 150, white), 300);
}

// Images share sheets with others, so a frame's texture coordinates must stay inside its
// own page: each atlas region, and each grid cell (an index past the last row comes round
// to the top), shows exactly its own texels of the source image, texel for texel.
TEST_F(WindowInside, AtlasAndGridFramesShowExactlyTheirOwnTexels)
{
    auto texel = [](int x, int y) { return Rgba{uint8_t(x * 16 + 8), uint8_t(y * 30 + 10), uint8_t(250 - x * 9 - y), 255}; };
    fs::path folder = content.root / "Textures" / "Frames";
    WritePng(folder / "page.png", 16, 8, texel);
    WritePng(folder / "Atlas.png", 1, 1);
    WritePng(folder / "Grid.png", 16, 8, texel);  // 4 x 2 cells of 4 x 4 texels
    testing_content::WriteText(folder / "Grid.txt", R"({"data": [4, 2, 0]})");
    testing_content::WriteText(folder / "Atlas.atlas", "\n" + image_test_files::AtlasPage("page.png", 16, 8, {{"a", 0, 0, 4, 4, 0},
                                                        {"b", 12, 4, 4, 4, 1}, {"c", 5, 3, 4, 4, 2}, {"d", 9, 0, 4, 4, 3}}));
    content.SimpleSpace("Splash", 0.0f, R"({"name": "frame", "archetypeName": "", "Sprite": {"imageName": "Atlas.png"},
                                            "Transform": {"scaleX": 400.0, "scaleY": 400.0}})");
    Start();
    Frames(3);  // the space's entities are initialised
    Sprite* sprite = Engine::Get()->FindSpace("Splash")->FindEntity("frame")->Get<Sprite>();
    struct Case {
        const char* image;
        uint32_t frame;
        int x, y;  // the frame's top-left texel in the source image
    } cases[] = {{"Atlas.png", 0, 0, 0}, {"Atlas.png", 1, 12, 4}, {"Atlas.png", 2, 5, 3}, {"Atlas.png", 3, 9, 0},
                 {"Grid.png", 0, 0, 0}, {"Grid.png", 6, 8, 4}, {"Grid.png", 9, 4, 0}};
    for (const Case& c : cases) {
        sprite->SetImage(c.image);
        sprite->frameIndex = c.frame;
        Picture shot = Shot(std::string("frame") + c.image + std::to_string(c.frame));
        ASSERT_TRUE(shot.Loaded());
        // The 400-unit square shows 4 x 4 texels, 100 units each; look at each one's middle.
        for (int ty = 0; ty < 4; ++ty)
            for (int tx = 0; tx < 4; ++tx) {
                double wx = -150.0 + 100.0 * tx, wy = 150.0 - 100.0 * ty;
                double perUnit = std::min(shot.width / 1066.67, shot.height / 533.33);  // letterboxed
                Colour seen = shot.At(static_cast<int>(shot.width / 2 + wx * perUnit),
                                      static_cast<int>(shot.height / 2 - wy * perUnit));
                Rgba want = texel(c.x + tx, c.y + ty);
                EXPECT_TRUE(Near(seen, {want[0], want[1], want[2]}, 1))
                    << c.image << " frame " << c.frame << " texel " << tx << "," << ty << " shows " << seen[0] << ","
                    << seen[1] << "," << seen[2];
            }
    }
}

// An image beyond the driver's largest texture is refused by name and size at start-up.
TEST_F(WindowInside, AnImageLargerThanTheDriverTakesIsRefusedByNameAndSize)
{
    GLint largest = 0;
    Start();
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &largest);
    WritePng(content.root / "Huge" / "Huge.png", largest + 1, 1);
    try {
        TextureStore::Get()->LoadDirectory(content.root / "Huge", true);
        ADD_FAILURE() << "an image of " << largest + 1 << " pixels loaded";
    } catch (const GameError& error) {
        EXPECT_THAT(error.what(), HasSubstr("the image Huge.png"));
        EXPECT_THAT(error.what(), HasSubstr(std::to_string(largest + 1) + " x 1 pixels"));
    }
}

TEST_F(WindowInside, DebugDrawModeShowsVioletOutlinesInsteadOfSprites)
{
    Start();
    Frames(4);
    Picture sprites = Shot("sprites");
    debugDrawMode = true;
    Picture outlines = Shot("outlines");
    ASSERT_TRUE(outlines.Loaded());
    int w = outlines.width, h = outlines.height;
    EXPECT_EQ(sprites.Count(0, 0, w, h, Violet), 0);
    // A 200 x 100 box is 360 x 203 pixels: its outline and one diagonal, in lines one pixel wide.
    int lines = outlines.Count(0, 0, w, h, Violet);
    EXPECT_GT(lines, 900);
    EXPECT_LT(lines, 3000);
    // Inside the box, away from the diagonal: nothing but the cleared frame now, where
    // the box's sprite (over the splash picture) was before.
    Colour inside = outlines.At(w / 2 - 120, h / 2 + 70);
    EXPECT_TRUE(Near(inside, {0, 0, 0}, 0)) << inside[0] << "," << inside[1] << "," << inside[2];
    EXPECT_FALSE(Near(sprites.At(w / 2 - 120, h / 2 + 70), {0, 0, 0}, 20));
}

// A still space is drawn once, then shown as that picture, pixel for pixel: changes in it
// no longer show until it stops being still or the window changes size.
TEST_F(WindowInside, AStillSpaceIsShownAsItsKeptPictureUntilItMovesOrTheWindowResizes)
{
    Start();
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
    Picture moved = Shot("moved");
    EXPECT_EQ(moved.pixels, held.pixels);
    splash->still = true;
    Shot("keptAgain");
    box.x -= 150.0f;
    Graphics::Get()->ToggleFullscreen();
    Frames(2);  // the size change arrives through event polling
    Picture resized = Shot("resized");
    splash->still = false;
    EXPECT_EQ(Shot("drawnResized").pixels, resized.pixels) << "the kept picture outlived the window's size";
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
    debugDrawMode = true;
    Frames(2);
    Picture picture = Shot("mixed");
    Engine::Get()->events->RemoveListener<DrawEvent>(&draws);
    ASSERT_TRUE(picture.Loaded());
    int w = picture.width, h = picture.height;
    // 100 world units are 180 x 180 pixels of the letterboxed picture: each square filled, not outlined.
    auto count = [&](int cx, int cy, Colour colour) {
        return picture.Count(cx - 60, cy - 60, cx + 60, cy + 60, [&](Colour c) { return Near(c, colour); });
    };
    EXPECT_EQ(count(w / 2 - 360, h / 2, {255, 0, 0}), 120 * 120);
    EXPECT_EQ(count(w / 2 + 360, h / 2, {0, 255, 0}), 120 * 120);
    EXPECT_GT(picture.Count(w / 2 - 120, h / 2 - 120, w / 2 + 120, h / 2 + 120, Violet), 800);
    EXPECT_GT(count(w / 2, h / 2 + 360, {255, 0, 0}), 88 * 88);  // the particle: 90 x 90 pixels, filled
}

TEST_F(WindowInside, EveryGlErrorIsPrintedWithTheCallsName)
{
    Start();
    testing::internal::CaptureStderr();
    glBindTexture(GL_TEXTURE_2D, 987654);  // a name never generated: GL_INVALID_OPERATION
    glEnable(GL_BLEND);
    std::string printed = testing::internal::GetCapturedStderr();
    EXPECT_EQ(printed, "ERROR 1282 in glBindTexture\n");
    Frames(2);  // and the game goes on
}

TEST_F(WindowInside, AMissingShaderFileStopsTheFirstDraw)
{
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
