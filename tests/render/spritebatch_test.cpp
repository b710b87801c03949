// Batched sprite drawing in a real window under Xvfb: draws gathered into one draw call keep
// their order and each its own image on the shared sheet, across every flush (a full batch,
// another kind of draw). Runs inside WindowTest.InProcessWindowChecks' X server only.
#include "engine.h"
#include "event.h"
#include "graphics.h"
#include "imagetestfiles.h"
#include "sprite.h"
#include "testcontent.h"
#include "window.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>

namespace volleyrun {

namespace {

namespace fs = std::filesystem;
using Colour = std::array<int, 3>;

constexpr int kImages = 20;  // side by side on one sheet

Colour ImageColour(int i) { return {i * 12, 255 - i * 12, (i % 2) * 255}; }
std::string ImageName(int i) { return "Solid" + std::to_string(i) + ".png"; }
glm::mat3 Square(float x, float y, float side) { return glm::mat3(side, 0, 0, 0, side, 0, x, y, 1); }

// Whatever the test puts in draw, drawn every frame in the engine's draw pass.
struct Drawer {
    std::function<void(Graphics&)> draw;
    void OnDraw(DrawEvent&) { draw(*Graphics::Get()); }
};

class WindowInsideBatches : public testing_content::EngineTest {
protected:
    void SetUp() override
    {
        if (!std::getenv("VOLLEYRUN_INSIDE_XVFB")) GTEST_SKIP() << "runs inside WindowTest.InProcessWindowChecks";
        EngineTest::SetUp();
        RunOptions::Get().headless = false;
    }
    void TearDown() override
    {
        if (Engine::Exists()) Engine::Get()->events->RemoveListener<DrawEvent>(&drawer);
        EngineTest::TearDown();
    }
    void PrepareContent() override
    {
        const fs::path source = fs::path(VOLLEYRUN_SOURCE_DIR) / "Quillmoor";
        fs::copy(source / "Shaders", content.root / "Shaders");
        fs::create_directories(content.root / "Textures");
        for (const char* file : {"FontSheet00.png", "FontSheet00.txt", "FontSheetGlow00.png", "FontSheetGlow00.txt"})
            fs::copy_file(source / "Textures" / file, content.root / "Textures" / file);
        for (int i = 0; i < kImages; ++i)
            image_test_files::WritePng(content.root / "Textures" / ImageName(i), 4, 4, [c = ImageColour(i)](int, int) {
                return image_test_files::Rgba{uint8_t(c[0]), uint8_t(c[1]), uint8_t(c[2]), 255};
            });
        image_test_files::WritePng(content.root / "Textures" / "White.png", 4, 4);
    }
    Drawer drawer;
};

// One frame: a row of 24 squares (images 0 .. 19, then 0 .. 3 again), each showing its own
// image; 2,100 tinted squares on one spot, more than one batch holds, of which only the
// last may show; and a sprite half covered by particles of another image drawn after it.
TEST_F(WindowInsideBatches, EveryQuadShowsItsOwnImageInDrawOrderAcrossEveryFlush)
{
    Sprite white(nullptr, "White.png", 0);
    std::vector<std::unique_ptr<Sprite>> row;
    for (int i = 0; i < 24; ++i) row.push_back(std::make_unique<Sprite>(nullptr, ImageName(i % kImages), 0));
    Start();
    drawer.draw = [&](Graphics& graphics) {
        for (int i = 0; i < 24; ++i) row[i]->Draw(Square(-480.0f + 40.0f * i, 150.0f, 30.0f), glm::vec4(1.0f));
        for (int i = 0; i < 2100; ++i)
            white.Draw(Square(-200.0f, -100.0f, 80.0f), i == 2099 ? glm::vec4(0, 1, 0, 1) : glm::vec4(1, 0, 0, 1));
        white.Draw(Square(200.0f, -100.0f, 80.0f), glm::vec4(1, 0, 0, 1));
        graphics.BeginParticleBatch(row[3]->GetTexture(), row[3]->frameIndex, glm::vec3(1.0f));
        for (int i = 0; i < 3; ++i) graphics.DrawParticle(Square(220.0f, -100.0f, 40.0f), 1.0f);
    };
    Engine::Get()->events->AddListener(&drawer, &Drawer::OnDraw);
    Frames(2);
    fs::path file = content.root / "shot.png";
    Window::Get()->screenshots = {{Engine::Get()->frameCount + 1, file.string()}};
    Frames(1);
    image_test_files::Picture picture(file.string());
    ASSERT_TRUE(picture.Loaded());
    auto expectColour = [&](double x, double y, Colour want, const std::string& what) {
        Colour seen = image_test_files::Measure(picture, x, y, 8.0, 8.0).mean;
        for (int c = 0; c < 3; ++c) EXPECT_NEAR(seen[c], want[c], 4) << what << ", channel " << c;
    };
    for (int i = 0; i < 24; ++i) expectColour(-480.0 + 40.0 * i, 150.0, ImageColour(i % kImages), std::to_string(i));
    expectColour(-200.0, -100.0, {0, 255, 0}, "the pile");
    expectColour(175.0, -100.0, {255, 0, 0}, "the sprite");
    expectColour(220.0, -100.0, ImageColour(3), "the particles");
}

} // namespace

} // namespace volleyrun
