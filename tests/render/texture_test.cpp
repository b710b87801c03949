#include "texturestore.h"

#include "gameerror.h"
#include "imagedecoder.h"
#include "imagetestfiles.h"
#include "sprite.h"
#include "testcontent.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace volleyrun {

namespace {

namespace fs = std::filesystem;
using image_test_files::AtlasPage;
using image_test_files::WritePng;

class TextureTest : public ::testing::Test {
protected:
    void TearDown() override { TextureStore::Destroy(); }

    fs::path Textures() const { return content.root / "Textures"; }
    void Image(const std::string& name, int width = 4, int height = 4) { WritePng(Textures() / name, width, height); }
    void Text(const std::string& name, const std::string& text) { testing_content::WriteText(Textures() / name, text); }
    void Load() { TextureStore::Start()->LoadDirectory(Textures(), false); }
    glm::vec2 UV(const std::string& image, uint32_t frame)
    {
        Sprite sprite(nullptr, image, frame);
        return FrameUV(sprite.GetTexture(), sprite.frameIndex);
    }

    testing_content::TempContent content;
};

// Descriptions follow their images, a same-named image in a later folder wins, hidden files are
// skipped; an atlas's frames are sorted by the index in their names, whatever order they are listed in.
TEST_F(TextureTest, GridsAndAtlasesGiveFramesInOrderAndEqualGridsShareOneQuad)
{
    for (auto [name, grid] :
         {std::pair{"Ball", "[4, 2, 0]"}, {"A", "[4, 2, 5]"}, {"C", "[2, 4, 0]"}, {"D", "[4, 2, 0]"}}) {
        Image(std::string(name) + ".png", 64, 32);
        Text(std::string(name) + ".txt", std::string("{\"data\": ") + grid + "}");
    }
    Image("Plain/D.png", 16, 8);
    Text(".Ball.png.saving", "half a file");
    Text(".git/Ignored.png", "not a picture");
    Image("Sheet.png", 4, 4);  // the pending image itself is never decoded for an atlas
    Image("sheetpage.png", 512, 256);
    std::vector<image_test_files::AtlasRegion> regions;
    for (int i = 9; i >= 0; --i)
        regions.push_back({"f" + std::to_string(i), 64 * (i % 8), 64 * (i / 8), i == 9 ? 128 : 64, 64, -1});
    Text("Sheet.atlas", "\n" + AtlasPage("sheetpage.png", 512, 256, regions));
    Load();
    const Texture& ball = FindTexture("Ball.png");
    EXPECT_EQ(ball.frameCount, 8u);  // zero frames given: the whole grid
    EXPECT_EQ(FindTexture("A.png").frameCount, 5u);
    EXPECT_EQ(UV("Ball.png", 5), glm::vec2(0.25f, 0.0f));
    EXPECT_EQ(UV("Ball.png", 3), glm::vec2(0.75f, 0.5f));
    EXPECT_EQ(FindTexture("D.png").height, 8);
    EXPECT_EQ(FindTexture("D.png").frameCount, 1u);  // the later image is plain: its folder has no description
    EXPECT_EQ(FindTexture("A.png").gridQuad, ball.gridQuad);
    EXPECT_NE(FindTexture("C.png").gridQuad, ball.gridQuad);
    const Texture& sheet = FindTexture("Sheet.png");
    EXPECT_EQ(std::pair(sheet.frameCount, sheet.width), std::pair(10u, 512));  // the page's width, read from its header
    EXPECT_EQ(UV("Sheet.png", 1), glm::vec2(0.125f, -0.25f));
    EXPECT_EQ(UV("Sheet.png", 12), UV("Sheet.png", 0));  // past the end: frame 0
    EXPECT_EQ(FrameUVScale(sheet, 9), glm::vec2(2.0f, 1.0f));
    EXPECT_EQ(FrameUVScale(sheet, 12), glm::vec2(1.0f, 1.0f));
    EXPECT_EQ(TextureStore::Get()->QuadCount(), 4u);  // 1 x 1 (plain images and the fallback), 4 x 2, 2 x 4, the atlas's 8 x 4
    EXPECT_EQ(TextureStore::Get()->GetGridQuad(4.5f, 2.0f), 4u);  // a fractional grid never matches a stored one
}

TEST_F(TextureTest, FilesThatCannotBeUsedStopStartUpNamingTheFile)
{
    const std::string page = "\npage.png\nsize: 64,64\nformat\nfilter\nrepeat\nf0\n  rotate: false\n";
    const struct { std::string file, text, expected; } cases[] = {
        {"Ball.txt", "{\"data\": [4, 2", "Ball.txt: not valid JSON"},
        {"Ball.txt", R"({"data": [4, 2]})", "Ball.txt: needs an object whose member \"data\" holds at least three integers"},
        {"Ball.txt", R"({"data": [0, 2, 0]})", "Ball.txt: a grid needs at least one column and one row"},
        {"Ball.atlas", page + "  xy", "Ball.atlas: line 9: the xy line is shorter than its key"},
        {"Ball.atlas", page + "  xy: zero, 0\n", "Ball.atlas: line 9: the xy value \"zero\" is not a number"},
        {"Ball.atlas", "\n" + AtlasPage("page.png", 0, 64, {{"f0", 0, 0, 64, 64, 0}}),
         "Ball.atlas: the page size and the first region's size give no grid"},
        {"Ball.atlas", page, "Ball.atlas: line 9: the file ends where an xy line was expected"},
        {"Lonely.txt", R"({"data": [1, 1, 0]})", "Lonely.txt: a description needs an image of the same name beside it"},
        {"Broken.png", "not a picture", "the image Broken.png failed to load in"},
    };
    Image("Ball.png");
    Image("page.png", 64, 64);
    for (const auto& c : cases) {
        Text(c.file, c.text);
        EXPECT_THAT([this] { Load(); }, testing::ThrowsMessage<GameError>(testing::HasSubstr(c.expected))) << c.text;
        fs::remove(Textures() / c.file);
    }
}

// One worker or several, finishing in any order, hand images over in list order, failures in place; dropping stops all.
TEST_F(TextureTest, WorkersHandImagesOverInListOrder)
{
    std::vector<std::string> files;
    for (int i = 0; i < 24; ++i) {
        std::string name = "w" + std::to_string(i) + ".png";
        if (i == 7) Text(name, "not a picture");
        else Image(name, 1 + i, 1 + (i * 37) % 300);  // uneven sizes, uneven decoding times
        files.push_back((Textures() / name).string());
    }
    for (auto [ahead, workers] : {std::pair<size_t, size_t>{1, 1}, {4, 3}}) {
        SCOPED_TRACE(std::to_string(workers) + " workers");
        ImageDecoder decoder(files, ahead, workers);
        for (int i = 0; i < 24; ++i) {
            auto image = decoder.Next();
            ASSERT_NE(image, nullptr);
            EXPECT_EQ(std::pair(image->width, image->error.empty()), std::pair(i == 7 ? 0 : 1 + i, i != 7)) << i;
        }
        EXPECT_EQ(decoder.Next(), nullptr);
        ImageDecoder abandoned(files, ahead, workers);
        EXPECT_EQ(abandoned.Next()->width, 1);
    }
}

} // namespace

} // namespace volleyrun
