// Sprite text on a headless engine: glyph positions, the character filter and rebuilding.
#include "entity.h"
#include "event.h"
#include "graphics.h"
#include "imagetestfiles.h"
#include "sprite.h"
#include "spritetext.h"
#include "testcontent.h"

#include <gtest/gtest.h>

namespace volleyrun {

namespace {

using Floats = std::vector<float>;

class SpriteTextTest : public testing_content::EngineTest {
protected:
    void PrepareContent() override
    {
        auto textures = content.root / "Textures";
        image_test_files::WritePng(textures / "default.png", 4, 4);
        for (std::string sheet : {"FontSheet00", "FontSheetGlow00"}) {
            image_test_files::WritePng(textures / (sheet + ".png"), 40, 64);
            testing_content::WriteText(textures / (sheet + ".txt"), R"({"data": [10, 10, 91]})");
        }
        content.SimpleSpace("Splash", 0.0f,
                            R"({"name": "label", "archetypeName": "", "Transform": {"translationX": 100.0, "scaleX": 2.0},
                                "SpriteText": {"text": "Hi!", "size": 1.0, "offset": 37.0}})");
    }
    void SetUp() override
    {
        EngineTest::SetUp();
        Start();
        Frames(4);  // the space starts and its entities' draw listeners become active
        label = Engine::Get()->FindSpace("Splash")->FindEntity("label")->Get<SpriteText>();
    }
    // x of every glyph centre drawn in the next frame.
    Floats Centres()
    {
        Frames(1);
        Floats xs;
        for (const Graphics::DrawRecord& record : Graphics::Get()->drawLog)
            if (record.kind == Graphics::DrawRecord::kSprite) xs.push_back(record.world[2][0]);
        return xs;
    }
    SpriteText* label = nullptr;
};

TEST_F(SpriteTextTest, JustificationPlacesTheFirstLastOrMiddleCharacterOnTheEntity)
{
    const std::pair<int, Floats> cases[] = {{0, {100.0f, 137.0f, 174.0f}}, {1, {26.0f, 63.0f, 100.0f}},
                                            {2, {63.0f, 100.0f, 137.0f}}, {7, {100.0f, 137.0f, 174.0f}}};
    for (const auto& [justification, centres] : cases) {
        label->justification = justification;
        EXPECT_EQ(Centres(), centres) << justification;
    }
}

TEST_F(SpriteTextTest, GlyphsShowTheirCharacterFramesOnTheScaledQuadAndASizeChangeRebuilds)
{
    const auto& log = Graphics::Get()->drawLog;
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0].image, "FontSheet00.png");
    EXPECT_EQ(log[0].frame, static_cast<uint32_t>('H' - 32));
    EXPECT_EQ(log[2].frame, static_cast<uint32_t>('!' - 32));
    EXPECT_EQ(log[0].world[0][0], 2.0f);  // Transform scale x times size
    EXPECT_EQ(log[0].world[1][1], 7.5f);  // Transform scale y (10) times 0.75
    label->size = 2.0f;
    EXPECT_EQ(Centres(), (Floats{100.0f, 174.0f, 248.0f}));  // width and spacing scale
    EXPECT_EQ(log[0].world[0][0], 4.0f);
}

// Empty, hidden or debug-drawn text draws nothing and builds nothing; a text assigned or
// sent to the entity is noticed at the next draw; a set text keeps only what the sheets hold.
TEST_F(SpriteTextTest, EmptyOrHiddenTextDrawsAndBuildsNothingAndUnknownCharactersAreDropped)
{
    label->text = "";
    EXPECT_TRUE(Centres().empty());
    label->text = "Longer";
    label->visible = false;
    EXPECT_TRUE(Centres().empty());
    EXPECT_EQ(label->Glyphs().size(), 3u);
    label->visible = true;
    EXPECT_EQ(Centres().size(), 6u);
    label->owner->events->Send(TextEvent("Sent"));
    EXPECT_EQ(Centres().size(), 4u);
    Graphics::Get()->debugDraw = true;
    EXPECT_TRUE(Centres().empty());
    Graphics::Get()->debugDraw = false;
    label->SetText("a{b\n~\x7f\xc3\xa9z");  // characters the sheets do not hold are dropped
    EXPECT_EQ(label->text, "abz");
    ASSERT_EQ(label->Glyphs().size(), 3u);
    EXPECT_EQ(label->Glyphs()[2]->frameIndex, 90u);
    label->SetText(" z");  // the first and the last character a sheet holds
    EXPECT_EQ(label->Glyphs().size(), 2u);
}

} // namespace

} // namespace volleyrun
