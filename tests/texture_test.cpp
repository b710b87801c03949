#include "texturestore.h"

#include "gameerror.h"
#include "imagedecoder.h"
#include "imagetestfiles.h"
#include "sprite.h"
#include "testcontent.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;
using image_test_files::AtlasPage;
using image_test_files::WritePng;
using testing::HasSubstr;

class TextureTest : public ::testing::Test {
protected:
    void TearDown() override { TextureStore::Destroy(); }

    fs::path Textures() const { return content.root / "Textures"; }
    void Image(const std::string& relative, int width = 4, int height = 4) { WritePng(Textures() / relative, width, height); }
    void Text(const std::string& relative, const std::string& text) { testing_content::WriteText(Textures() / relative, text); }
    void Load() { TextureStore::Get()->LoadDirectory(Textures(), false); }
    glm::vec2 UV(const std::string& image, uint32_t frame)
    {
        Sprite sprite(nullptr, image, frame);
        return FrameUV(sprite.GetTexture(), sprite.frameIndex);
    }

    testing_content::TempContent content;
};

// A description follows its image in the scan; a same-named image in a later folder wins.
TEST_F(TextureTest, SameNamedImagesInTwoFoldersKeepTheOneVisitedLastAndHiddenFilesAreSkipped)
{
    Image("Ball.png", 4, 4);
    Text("Ball.txt", R"({"data": [2, 2, 0]})");
    Image("Balls/Ball.png", 16, 8);
    Text(".Ball.png.saving", "half a file");
    Text(".git/Ignored.png", "not a picture");
    Load();
    EXPECT_EQ(FindTexture("Ball.png").height, 8);
    EXPECT_EQ(FindTexture("Ball.png").frameCount, 1u);  // the later image is plain: its folder has no description
}

TEST_F(TextureTest, GridsGiveFramesInReadingOrderAndEqualGridsShareOneQuad)
{
    Image("Ball.png", 64, 32);
    Text("Ball.txt", R"({"data": [4, 2, 0]})");
    Image("A.png");
    Text("A.txt", R"({"data": [4, 2, 5]})");
    Image("C.png");
    Text("C.txt", R"({"data": [2, 4, 0]})");
    Image("D.png");
    Load();
    TextureStore* store = TextureStore::Get();
    const Texture& ball = FindTexture("Ball.png");
    EXPECT_EQ(ball.frameCount, 8u);  // zero frames given: the whole grid
    EXPECT_EQ(UV("Ball.png", 5), glm::vec2(0.25f, 0.0f));
    EXPECT_EQ(UV("Ball.png", 0), glm::vec2(0.0f, 0.5f));
    EXPECT_EQ(UV("Ball.png", 3), glm::vec2(0.75f, 0.5f));
    EXPECT_EQ(ball.currentFrame, 3u);
    EXPECT_EQ(FrameUVScale(ball, 5), glm::vec2(1.0f, 1.0f));
    EXPECT_EQ(FindTexture("A.png").frameCount, 5u);
    EXPECT_EQ(FindTexture("A.png").gridQuad, ball.gridQuad);
    EXPECT_NE(FindTexture("C.png").gridQuad, ball.gridQuad);
    EXPECT_EQ(store->QuadCount(), 3u);  // 1 x 1 (plain images and the fallback), 4 x 2, 2 x 4
    EXPECT_EQ(store->GetGridQuad(4.0f, 2.0f), ball.gridQuad);
    EXPECT_EQ(store->GetGridQuad(4.5f, 2.0f), 3u);  // a fractional grid never matches a stored one
    const GridQuad& plain = store->Quad(FindTexture("D.png").gridQuad);
    EXPECT_EQ(plain.columns * plain.rows, 1);
    EXPECT_EQ(UV("D.png", 0), glm::vec2(0.0f, 0.0f));
}

TEST_F(TextureTest, UnknownNamesFallBackToDefaultThenToABuiltInImageAndSpritesFollowReloads)
{
    Load();  // no Textures folder at all: an empty table
    EXPECT_EQ(TextureStore::Get()->Size(), 0u);
    EXPECT_EQ(FindTexture("Ball.png").name, "");
    EXPECT_EQ(FindTexture("Ball.png").frameCount, 1u);
    Image("default.png");
    Image("Ball.png", 8, 8);
    Load();
    Sprite sprite(nullptr, "Missing.png");
    EXPECT_EQ(sprite.GetTexture().name, "default.png");
    sprite.SetImage("Ball.png");
    EXPECT_EQ(sprite.GetTexture().name, "Ball.png");
    Image("Ball.png", 16, 16);
    Load();  // a new table: the cached entry is gone
    EXPECT_EQ(sprite.GetTexture().width, 16);
}

TEST_F(TextureTest, AtlasFramesAreSortedByIndexTakenFromTheNameWhenMinusOne)
{
    Texture texture;
    texture.atlas = Atlas::ParseText(
        "\n" + AtlasPage("page1.png", 512, 256, {{"b", 64, 0, 64, 64, 3}, {"x7", 128, 0, 32, 64, -1}, {"a", 0, 0, 64, 64, 0}}) +
            "\n" + AtlasPage("page2.png", 256, 256, {{"c", 0, 0, 64, 64, 1}}) + "\n",
        "Sheet.atlas");
    const Atlas& atlas = texture.atlas;
    std::vector<int> indices;
    for (const AtlasFrame& frame : atlas.frames) indices.push_back(frame.index);
    ASSERT_EQ(indices, (std::vector<int>{0, 1, 3, 7}));
    EXPECT_EQ(atlas.frames[3].size, glm::vec2(32.0f, 64.0f));
    EXPECT_EQ(atlas.frames[3].xy, glm::vec2(128.0f, 0.0f));
    EXPECT_EQ(atlas.frames[1].page, "page2.png");
    EXPECT_EQ(atlas.size, glm::vec2(256.0f, 256.0f));  // the last page's size line
    // The page texture follows the current frame's page.
    texture.pageTextures = {11, 22};
    texture.currentFrame = 1;
    EXPECT_EQ(PageTexture(texture), 22u);
    texture.currentFrame = 2;
    EXPECT_EQ(PageTexture(texture), 11u);
}

TEST_F(TextureTest, AtlasTextureFramesUseTheAtlasGeometry)
{
    Image("Sheet.png", 4, 4);  // the pending image itself is never decoded for an atlas
    Image("sheetpage.png", 512, 256);
    std::vector<image_test_files::AtlasRegion> regions;
    for (int i = 0; i < 10; ++i) regions.push_back({"f" + std::to_string(i), 64 * (i % 8), 64 * (i / 8), 64, 64, -1});
    regions[9].w = 128;
    Text("Sheet.atlas", "\n" + AtlasPage("sheetpage.png", 512, 256, regions));
    Load();
    const Texture& sheet = FindTexture("Sheet.png");
    EXPECT_EQ(sheet.frameCount, 10u);
    EXPECT_EQ(sheet.width, 512);  // the page's, read from its header
    EXPECT_EQ(UV("Sheet.png", 1), glm::vec2(0.125f, -0.25f));
    EXPECT_EQ(UV("Sheet.png", 12), UV("Sheet.png", 0));  // past the end: frame 0
    EXPECT_EQ(FrameUVScale(sheet, 9), glm::vec2(2.0f, 1.0f));
    EXPECT_EQ(FrameUVScale(sheet, 12), glm::vec2(1.0f, 1.0f));
}

TEST_F(TextureTest, FilesThatCannotBeUsedStopStartUpNamingTheFile)
{
    const std::string page = "\npage.png\nsize: 64,64\nformat\nfilter\nrepeat\nf0\n  rotate: false\n";
    struct Case {
        std::string file, text, expected;
    } cases[] = {
        {"Ball.txt", "{\"data\": [4, 2", "Ball.txt: not valid JSON"},
        {"Ball.txt", R"({"data": [4, 2]})", "Ball.txt: needs an object whose member \"data\" holds at least three integers"},
        {"Ball.txt", R"({"data": [4, "2", 0]})", "Ball.txt: needs an object"},
        {"Ball.txt", R"({"data": [0, 2, 0]})", "Ball.txt: a grid needs at least one column and one row"},
        {"Ball.atlas", page + "  xy", "Ball.atlas: line 9: the xy line is shorter than its key"},
        {"Ball.atlas", page + "  xy: zero, 0\n", "Ball.atlas: line 9: the xy value \"zero\" is not a number"},
        {"Ball.atlas", "\npage.png\nsize: 0,64\nformat\nfilter\nrepeat\nf0\n  rotate: false\n  xy: 0, 0\n  size: 64, 64\n"
                       "  orig: 64, 64\n  offset: 0, 0\n  index: 0\n",
         "Ball.atlas: the page size and the first region's size give no grid"},
        {"Ball.atlas", page, "Ball.atlas: line 9: the file ends where an xy line was expected"},
        {"Lonely.txt", R"({"data": [1, 1, 0]})", "Lonely.txt: a description needs an image of the same name beside it"},
        {"Broken.png", "not a picture", "the image Broken.png failed to load in"},
    };
    Image("Ball.png");
    Image("page.png", 64, 64);
    for (const Case& c : cases) {
        Text(c.file, c.text);
        std::string error = "(no error)";
        try {
            Load();
        } catch (const GameError& refused) {
            error = refused.what();
        }
        EXPECT_THAT(error, HasSubstr(c.expected)) << c.text;
        fs::remove(Textures() / c.file);
    }
}

// One worker or several finishing in any order: the caller still gets the list's order
// with each failure in its place, and a decoder dropped half-way stops every worker.
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
        EXPECT_EQ(decoder.WorkerCount(), workers);
        for (int i = 0; i < 24; ++i) {
            auto image = decoder.Next();
            ASSERT_NE(image, nullptr);
            EXPECT_EQ(image->width, i == 7 ? 0 : 1 + i);
            EXPECT_EQ(image->pixels == nullptr, i == 7);
            EXPECT_EQ(image->error.empty(), i != 7);
        }
        EXPECT_EQ(decoder.Next(), nullptr);
        ImageDecoder abandoned(files, ahead, workers);
        EXPECT_EQ(abandoned.Next()->width, 1);
    }
}

} // namespace
