// Batched sprite drawing in a real window under Xvfb: draws gathered into one draw call
// must keep their order, each its own image found in its place on the shared sheet,
// across every flush (a full batch, another kind of draw). These run inside the X server
// that WindowTest.InProcessWindowChecks starts and skip themselves anywhere else.
#include "engine.h"
#include "event.h"
#include "graphics.h"
#include "imagetestfiles.h"
#include "sprite.h"
#include "testcontent.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>

namespace {

namespace fs = std::filesystem;
using Colour = std::array<int, 3>;
using image_test_files::Picture;
using image_test_files::Rgba;
using image_test_files::WritePng;

constexpr const char* kInsideMarker = "VOLLEYRUN_INSIDE_XVFB";
constexpr int kImages = 20;    // side by side on one sheet
constexpr int kStairs = 24;    // images 0 .. 19, then 0 .. 3 again
constexpr float kSide = 60.0f; // world units; each stair covers the left half of the one before
constexpr float kLeft = -500.0f;

Colour ImageColour(int i)
{
    return {i * 12, 255 - i * 12, (i % 2) * 255};
}

std::string ImageName(int i)
{
    return "Solid" + std::to_string(i) + ".png";
}

bool Near(Colour c, Colour want)
{
    for (int i = 0; i < 3; ++i)
        if (std::abs(c[i] - want[i]) > 4) return false;
    return true;
}

// Whatever the test puts in draw, drawn every frame in the space's draw pass.
struct Drawer {
    std::function<void(Graphics&)> draw;
    void OnDraw(DrawEvent&) { draw(*Graphics::Get()); }
};

class WindowInsideBatches : public testing_content::EngineTest {
protected:
    void SetUp() override
    {
        if (!std::getenv(kInsideMarker)) GTEST_SKIP() << "runs inside WindowTest.InProcessWindowChecks";
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
        for (int i = 0; i < kImages; ++i) {
            Colour c = ImageColour(i);
            WritePng(content.root / "Textures" / ImageName(i), 4, 4, [c](int, int) { return Rgba{uint8_t(c[0]), uint8_t(c[1]), uint8_t(c[2]), 255}; });
        }
        WritePng(content.root / "Textures" / "White.png", 4, 4);
    }
    Picture Shot(const std::function<void(Graphics&)>& draw)
    {
        Start();
        drawer.draw = draw;
        Engine::Get()->events->AddListener(&drawer, &Drawer::OnDraw);
        Frames(2);
        fs::path file = content.root / "shot.png";
        RunOptions::Get().screenshots = {{Engine::Get()->frameCount + 1, file.string()}};
        Frames(1);
        return Picture(file.string());
    }
    Drawer drawer;
};

glm::mat3 Square(float x, float y, float side)
{
    return glm::mat3(side, 0, 0, 0, side, 0, x, y, 1);
}

TEST_F(WindowInsideBatches, StairsOfManyImagesShowEachImageWithLaterDrawsOnTop)
{
    std::vector<std::unique_ptr<Sprite>> sprites;
    for (int i = 0; i < kStairs; ++i) sprites.push_back(std::make_unique<Sprite>(nullptr, ImageName(i % kImages), 0));
    Picture picture = Shot([&](Graphics& graphics) {
        for (int i = 0; i < kStairs; ++i)
            sprites[i]->Draw(Square(kLeft + kSide * 0.5f * static_cast<float>(i), 0.0f, kSide), glm::vec4(1.0f));
    });
    ASSERT_TRUE(picture.Loaded());
    // World x to pixels from the stair row's own ends: the first stair's left edge and the
    // last stair's right edge are the outermost coloured pixels on the middle row.
    int y = picture.height / 2;
    int first = 0, last = picture.width - 1;
    while (first < picture.width && picture.At(first, y) == Colour{0, 0, 0}) ++first;
    while (last > 0 && picture.At(last, y) == Colour{0, 0, 0}) --last;
    ASSERT_LT(first, last);
    float worldSpan = kSide * 0.5f * static_cast<float>(kStairs - 1) + kSide;
    float pixelsPerUnit = static_cast<float>(last - first + 1) / worldSpan;
    for (int i = 0; i < kStairs; ++i) {
        // The visible left half of stair i (all of the last one): its middle.
        float middle = kSide * 0.5f * static_cast<float>(i) + kSide * 0.25f;
        int x = first + static_cast<int>(middle * pixelsPerUnit);
        Colour seen = picture.At(x, y);
        EXPECT_TRUE(Near(seen, ImageColour(i % kImages))) << "stair " << i << ": " << seen[0] << "," << seen[1] << "," << seen[2];
    }
}

TEST_F(WindowInsideBatches, MoreQuadsThanOneBatchHoldsKeepTheirOrderAndParticlesJoinTheBatch)
{
    Sprite white(nullptr, "White.png", 0);
    Sprite spark(nullptr, ImageName(3), 0);
    Picture picture = Shot([&](Graphics& graphics) {
        // 2,100 tinted squares on one spot, more than one batch holds: only the last may show.
        for (int i = 0; i < 2100; ++i)
            white.Draw(Square(-200.0f, 0.0f, 80.0f), i == 2099 ? glm::vec4(0, 1, 0, 1) : glm::vec4(1, 0, 0, 1));
        // A sprite, then particles of another colour on top, half covering it.
        white.Draw(Square(200.0f, 0.0f, 80.0f), glm::vec4(1, 0, 0, 1));
        graphics.BeginParticleBatch(spark.GetTexture(), spark.frameIndex, glm::vec3(spark.colour));
        for (int i = 0; i < 3; ++i) graphics.DrawParticle(Square(220.0f, 0.0f, 40.0f), 1.0f);
    });
    ASSERT_TRUE(picture.Loaded());
    int w = picture.width, h = picture.height;
    int green = picture.Count(0, 0, w / 2, h, [](Colour c) { return Near(c, {0, 255, 0}); });
    int red = picture.Count(0, 0, w, h, [](Colour c) { return Near(c, {255, 0, 0}); });
    int particles = picture.Count(w / 2, 0, w, h, [](Colour c) { return Near(c, ImageColour(3)); });
    EXPECT_GT(green, 100 * 100);
    EXPECT_GT(red, 60 * 60);         // the right sprite's uncovered part, none of the left pile
    EXPECT_GT(particles, 50 * 50);
    EXPECT_EQ(picture.Count(0, 0, w / 2, h, [](Colour c) { return Near(c, {255, 0, 0}); }), 0);
}

} // namespace
