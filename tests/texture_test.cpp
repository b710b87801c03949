#include "texturestore.h"

#include "gameerror.h"
#include "imagedecoder.h"
#include "imagetestfiles.h"
#include "sprite.h"
#include "testcontent.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

namespace {

namespace fs = std::filesystem;
using image_test_files::AtlasPage;
using image_test_files::WritePng;
using testing::HasSubstr;
using testing_content::TempContent;
using testing_content::WriteText;

class TextureTest : public ::testing::Test {
protected:
    void TearDown() override { TextureStore::Destroy(); }

    fs::path Textures() const { return content.root / "Textures"; }
    void Image(const std::string& relative, int width = 4, int height = 4) { WritePng(Textures() / relative, width, height); }
    void Text(const std::string& relative, const std::string& text) { WriteText(Textures() / relative, text); }
    void Load() { TextureStore::Get()->LoadDirectory(Textures(), false); }
    std::string LoadError()
    {
        try {
            Load();
        } catch (const GameError& error) {
            return error.what();
        }
        return "(no error)";
    }
    std::vector<std::string> Order()
    {
        std::vector<std::string> names;
        for (const fs::path& path : TextureStore::ScanOrder(Textures()))
            names.push_back(fs::relative(path, Textures()).string());
        return names;
    }
    glm::vec2 UV(const std::string& image, uint32_t frame)
    {
        Sprite sprite(nullptr, image, frame);
        return FrameUV(sprite.GetTexture(), sprite.frameIndex);
    }

    TempContent content;
};

TEST_F(TextureTest, ScanPutsEachDescriptionRightAfterItsImageAndSkipsHiddenFiles)
{
    for (const char* file : {"Ball.png", "Ball-x.png", "Ball2.png", "Balls/Ball.png", "Fonts/Sheet.png", "Zebra.png"})
        Image(file);
    Text("Ball.txt", R"({"data": [1, 1, 0]})");
    Text("Fonts/Sheet.atlas", "\n");
    Text(".Ball.png.saving", "half a file");
    Image(".git/Ignored.png");

    std::vector<std::string> order = Order();
    auto at = [&](const std::string& name) { return std::find(order.begin(), order.end(), name) - order.begin(); };
    EXPECT_EQ(order.size(), 8u);
    EXPECT_EQ(at("Ball.txt"), at("Ball.png") + 1);
    EXPECT_EQ(at("Fonts/Sheet.atlas"), at("Fonts/Sheet.png") + 1);
    EXPECT_LT(at("Ball.png"), at("Balls/Ball.png"));  // same name: ordered by path
    EXPECT_EQ(at(".Ball.png.saving"), static_cast<long>(order.size()));
    EXPECT_EQ(at(".git/Ignored.png"), static_cast<long>(order.size()));
}

TEST_F(TextureTest, SameNamedImagesInTwoFoldersKeepTheOneVisitedLast)
{
    Image("Ball.png", 4, 4);
    Text("Ball.txt", R"({"data": [2, 2, 0]})");
    Image("Balls/Ball.png", 16, 8);
    Load();
    const Texture& ball = FindTexture("Ball.png");
    EXPECT_EQ(ball.width, 16);
    EXPECT_EQ(ball.height, 8);
    EXPECT_EQ(ball.frameCount, 1u);  // the later image is plain: its folder has no description
}

TEST_F(TextureTest, GridDescriptionGivesFramesInReadingOrder)
{
    Image("Ball.png", 64, 32);
    Text("Ball.txt", R"({"data": [4, 2, 0]})");
    Load();
    const Texture& ball = FindTexture("Ball.png");
    EXPECT_EQ(ball.frameCount, 8u);
    EXPECT_EQ(ball.width, 64);
    EXPECT_EQ(ball.channels, 4);
    const GridQuad& quad = TextureStore::Get()->Quad(ball.gridQuad);
    EXPECT_EQ(quad.columns, 4);
    EXPECT_EQ(quad.rows, 2);
    EXPECT_EQ(UV("Ball.png", 5), glm::vec2(0.25f, 0.0f));
    EXPECT_EQ(UV("Ball.png", 0), glm::vec2(0.0f, 0.5f));
    EXPECT_EQ(UV("Ball.png", 3), glm::vec2(0.75f, 0.5f));
    EXPECT_EQ(FindTexture("Ball.png").currentFrame, 3u);
    EXPECT_EQ(FrameUVScale(ball, 5), glm::vec2(1.0f, 1.0f));
}

TEST_F(TextureTest, EqualGridsShareOneQuad)
{
    Image("A.png");
    Text("A.txt", R"({"data": [4, 2, 5]})");
    Image("B.png");
    Text("B.txt", R"({"data": [4, 2, 0]})");
    Image("C.png");
    Text("C.txt", R"({"data": [2, 4, 0]})");
    Image("D.png");
    Load();
    TextureStore* store = TextureStore::Get();
    EXPECT_EQ(FindTexture("A.png").gridQuad, FindTexture("B.png").gridQuad);
    EXPECT_NE(FindTexture("A.png").gridQuad, FindTexture("C.png").gridQuad);
    EXPECT_EQ(FindTexture("A.png").frameCount, 5u);
    EXPECT_EQ(store->QuadCount(), 3u);  // 1 x 1 (plain images and the fallback), 4 x 2, 2 x 4
    EXPECT_EQ(store->GetGridQuad(4.0f, 2.0f), FindTexture("A.png").gridQuad);
    EXPECT_EQ(store->GetGridQuad(4.5f, 2.0f), 3u);  // a fractional grid never matches a stored one
    const Texture& plain = FindTexture("D.png");  // one frame on the whole image
    EXPECT_EQ(plain.frameCount, 1u);
    EXPECT_EQ(store->Quad(plain.gridQuad).columns * store->Quad(plain.gridQuad).rows, 1);
    EXPECT_EQ(UV("D.png", 0), glm::vec2(0.0f, 0.0f));
}

TEST_F(TextureTest, UnknownNamesFallBackToDefaultThenToABuiltInImage)
{
    Load();  // no Textures folder at all: an empty table
    EXPECT_EQ(TextureStore::Get()->Size(), 0u);
    const Texture& builtIn = FindTexture("Ball.png");
    EXPECT_EQ(builtIn.name, "");
    EXPECT_EQ(builtIn.frameCount, 1u);

    Image("default.png", 64, 64);
    Load();
    EXPECT_EQ(FindTexture("Ball.png").name, "default.png");
    EXPECT_EQ(FindTexture("default.png").width, 64);
}

TEST_F(TextureTest, SpritesLookTheirTextureUpAgainAfterSetImageOrAReload)
{
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
    std::string text = "\n" +
                       AtlasPage("page1.png", 512, 256,
                                 {{"b", 64, 0, 64, 64, 3}, {"x7", 128, 0, 32, 64, -1}, {"a", 0, 0, 64, 64, 0}}) +
                       "\n" + AtlasPage("page2.png", 256, 256, {{"c", 0, 0, 64, 64, 1}}) + "\n";
    Atlas atlas = Atlas::ParseText(text, "Sheet.atlas");
    ASSERT_EQ(atlas.frames.size(), 4u);
    std::vector<int> indices;
    for (const AtlasFrame& frame : atlas.frames) indices.push_back(frame.index);
    EXPECT_EQ(indices, (std::vector<int>{0, 1, 3, 7}));
    EXPECT_EQ(atlas.frames[3].size, glm::vec2(32.0f, 64.0f));
    EXPECT_EQ(atlas.frames[3].xy, glm::vec2(128.0f, 0.0f));
    EXPECT_EQ(atlas.frames[1].page, "page2.png");
    EXPECT_EQ(atlas.pages, (std::vector<std::string>{"page1.png", "page2.png"}));
    EXPECT_EQ(atlas.size, glm::vec2(256.0f, 256.0f));  // the last page's size line
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
    EXPECT_EQ(sheet.width, 512);
    const GridQuad& quad = TextureStore::Get()->Quad(sheet.gridQuad);
    EXPECT_EQ(quad.columns, 8);
    EXPECT_EQ(quad.rows, 4);
    EXPECT_EQ(UV("Sheet.png", 1), glm::vec2(0.125f, -0.25f));
    EXPECT_EQ(UV("Sheet.png", 12), UV("Sheet.png", 0));  // past the end: frame 0
    EXPECT_EQ(FindTexture("Sheet.png").currentFrame, 0u);
    EXPECT_EQ(FrameUVScale(sheet, 9), glm::vec2(2.0f, 1.0f));
    EXPECT_EQ(FrameUVScale(sheet, 12), glm::vec2(1.0f, 1.0f));
}

TEST_F(TextureTest, PageTextureFollowsTheCurrentFramesPage)
{
    Texture texture;
    texture.atlas = Atlas::ParseText("\n" + AtlasPage("one.png", 64, 64, {{"a", 0, 0, 64, 64, 0}}) + "\n" +
                                         AtlasPage("two.png", 64, 64, {{"b", 0, 0, 64, 64, 1}}),
                                     "Two.atlas");
    texture.pageTextures = {11, 22};
    texture.currentFrame = 1;
    EXPECT_EQ(PageTexture(texture), 22u);
    texture.currentFrame = 0;
    EXPECT_EQ(PageTexture(texture), 11u);
    Texture plain;
    plain.pageTextures = {33};
    EXPECT_EQ(PageTexture(plain), 33u);
}

TEST_F(TextureTest, DescriptionsThatCannotBeReadStopStartUpNamingTheFile)
{
    struct Case {
        std::string file, text, expected;
    };
    std::vector<Case> cases = {
        {"Ball.txt", "{\"data\": [4, 2", "Ball.txt: not valid JSON"},
        {"Ball.txt", R"({"data": [4, 2]})", "Ball.txt: needs an object whose member \"data\" holds at least three integers"},
        {"Ball.txt", R"({"data": [4, "2", 0]})", "Ball.txt: needs an object"},
        {"Ball.txt", R"({"data": [0, 2, 0]})", "Ball.txt: a grid needs at least one column and one row"},
        {"Ball.atlas", "\npage.png\nsize: 64,64\nformat\nfilter\nrepeat\nf0\n  rotate: false\n  xy",
         "Ball.atlas: line 9: the xy line is shorter than its key"},
        {"Ball.atlas", "\npage.png\nsize: 64,64\nformat\nfilter\nrepeat\nf0\n  rotate: false\n  xy: zero, 0\n",
         "Ball.atlas: line 9: the xy value \"zero\" is not a number"},
        {"Ball.atlas", "\npage.png\nsize: 0,64\nformat\nfilter\nrepeat\nf0\n  rotate: false\n  xy: 0, 0\n  size: 64, 64\n"
                       "  orig: 64, 64\n  offset: 0, 0\n  index: 0\n",
         "Ball.atlas: the page size and the first region's size give no grid"},
        {"Ball.atlas", "\npage.png\nsize: 64,64\nformat\nfilter\nrepeat\nf0\n  rotate: false\n",
         "Ball.atlas: line 9: the file ends where an xy line was expected"},
    };
    Image("Ball.png");
    Image("page.png", 64, 64);
    for (const Case& c : cases) {
        fs::remove(Textures() / "Ball.txt");
        fs::remove(Textures() / "Ball.atlas");
        Text(c.file, c.text);
        EXPECT_THAT(LoadError(), HasSubstr(c.expected)) << c.text;
    }
}

TEST_F(TextureTest, ImagesThatCannotBeUsedStopStartUpNamingTheFile)
{
    Text("Lonely.txt", R"({"data": [1, 1, 0]})");
    EXPECT_THAT(LoadError(), HasSubstr("Lonely.txt: a description needs an image of the same name beside it"));
    fs::remove(Textures() / "Lonely.txt");
    Text("Broken.png", "not a picture");
    EXPECT_THAT(LoadError(), HasSubstr("the image Broken.png failed to load in"));
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
    int width = 0, height = 0, channels = 0;
    std::string error;
    EXPECT_TRUE(ImageDecoder::ReadHeader(files[3], width, height, channels, error));
    EXPECT_EQ(width, 4);
    EXPECT_FALSE(ImageDecoder::ReadHeader(files[7], width, height, channels, error));
    EXPECT_FALSE(error.empty());
}

} // namespace
