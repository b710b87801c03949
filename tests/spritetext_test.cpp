// Sprite text on a headless engine: glyph positions, the character filter and rebuilding.
#include "componentregistry.h"
#include "entity.h"
#include "event.h"
#include "graphics.h"
#include "imagetestfiles.h"
#include "sprite.h"
#include "spritetext.h"
#include "testcontent.h"

#include <gtest/gtest.h>

namespace {

using image_test_files::WritePng;
using Record = Graphics::DrawRecord;

class SpriteTextTest : public testing_content::EngineTest {
protected:
    void PrepareContent() override
    {
        auto textures = content.root / "Textures";
        WritePng(textures / "default.png", 4, 4);
        for (const char* sheet : {"FontSheet00", "FontSheetGlow00"}) {
            WritePng(textures / (std::string(sheet) + ".png"), 40, 64);
            testing_content::WriteText(textures / (std::string(sheet) + ".txt"), R"({"data": [10, 10, 91]})");
        }
        content.SimpleSpace("Splash", 0.0f,
                            R"({"name": "label", "archetypeName": "", "Transform": {"translationX": 100.0, "scaleX": 2.0},
                                "SpriteText": {"text": "Hi!", "size": 1.0, "offset": 37.0}})");
    }

    SpriteText* Label() { return Engine::Get()->FindSpace("Splash")->FindEntity("label")->Get<SpriteText>(); }
    void StartDrawing()
    {
        Start();
        Frames(4);  // the space starts and its entities' draw listeners become active
    }
    // x of every glyph centre drawn in the last frame.
    std::vector<float> Centres()
    {
        std::vector<float> xs;
        for (const Record& record : Graphics::Get()->drawLog)
            if (record.kind == Record::kSprite) xs.push_back(record.world[2][0]);
        return xs;
    }
    std::vector<float> DrawnWith(int justification)
    {
        Label()->justification = justification;
        Frames(1);
        return Centres();
    }
};

TEST_F(SpriteTextTest, JustificationPlacesTheFirstLastOrMiddleCharacterOnTheEntity)
{
    StartDrawing();
    EXPECT_EQ(DrawnWith(0), (std::vector<float>{100.0f, 137.0f, 174.0f}));
    EXPECT_EQ(DrawnWith(1), (std::vector<float>{26.0f, 63.0f, 100.0f}));
    EXPECT_EQ(DrawnWith(2), (std::vector<float>{63.0f, 100.0f, 137.0f}));
    EXPECT_EQ(DrawnWith(7), (std::vector<float>{100.0f, 137.0f, 174.0f}));
}

TEST_F(SpriteTextTest, GlyphsShowTheirCharacterFramesOnTheScaledQuad)
{
    StartDrawing();
    const auto& log = Graphics::Get()->drawLog;
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0].image, "FontSheet00.png");
    EXPECT_EQ(log[0].frame, static_cast<uint32_t>('H' - 32));
    EXPECT_EQ(log[2].frame, static_cast<uint32_t>('!' - 32));
    EXPECT_EQ(log[0].world[0][0], 2.0f);   // Transform scale x times size
    EXPECT_EQ(log[0].world[1][1], 7.5f);   // Transform scale y (10) times 0.75
}

TEST_F(SpriteTextTest, CharactersTheSheetsDoNotHoldAreDropped)
{
    StartDrawing();
    SpriteText* label = Label();
    label->SetText("a{b\n~\x7f\xc3\xa9z");
    EXPECT_EQ(label->text, "abz");
    ASSERT_EQ(label->Glyphs().size(), 3u);
    EXPECT_EQ(label->Glyphs()[0]->frameIndex, 65u);
    EXPECT_EQ(label->Glyphs()[1]->frameIndex, 66u);
    EXPECT_EQ(label->Glyphs()[2]->frameIndex, 90u);
    label->SetText(" z");  // the first and the last character a sheet holds
    EXPECT_EQ(label->Glyphs().size(), 2u);
}

TEST_F(SpriteTextTest, EmptyOrHiddenTextDrawsAndBuildsNothing)
{
    StartDrawing();
    SpriteText* label = Label();
    label->text = "";
    Frames(1);
    EXPECT_TRUE(Centres().empty());
    EXPECT_EQ(label->Glyphs().size(), 3u);  // nothing was rebuilt for the empty text
    label->text = "Longer";
    label->visible = false;
    Frames(1);
    EXPECT_TRUE(Centres().empty());
    EXPECT_EQ(label->Glyphs().size(), 3u);
    label->visible = true;
    Frames(1);
    EXPECT_EQ(Centres().size(), 6u);  // an assigned text is noticed at the next draw
    Engine::Get()->FindSpace("Splash")->FindEntity("label")->events->Send(TextEvent("Sent"));
    Frames(1);
    EXPECT_EQ(Centres().size(), 4u);  // so is one sent to the entity
    EXPECT_EQ(label->lastText, "Sent");
    debugDrawMode = true;  // debug drawing hides text
    Frames(1);
    EXPECT_TRUE(Centres().empty());
    debugDrawMode = false;
    Frames(1);
    EXPECT_EQ(Centres().size(), 4u);
}

TEST_F(SpriteTextTest, ChangingTheSizeRebuildsAndScalesWidthAndSpacing)
{
    StartDrawing();
    Label()->size = 2.0f;
    Frames(1);
    EXPECT_EQ(Centres(), (std::vector<float>{100.0f, 174.0f, 248.0f}));
    EXPECT_EQ(Graphics::Get()->drawLog[0].world[0][0], 4.0f);
}

TEST_F(SpriteTextTest, GlowingTextUsesTheGlowSheetForGlyphsBuiltAfterwards)
{
    StartDrawing();
    SpriteText* label = Label();
    label->isGlowing = true;
    Frames(1);
    EXPECT_EQ(Graphics::Get()->drawLog[0].image, "FontSheet00.png");  // built before
    label->Rebuild();
    Frames(1);
    EXPECT_EQ(Graphics::Get()->drawLog[0].image, "FontSheetGlow00.png");
}

TEST_F(SpriteTextTest, PropertiesAreListedInTheirFileOrder)
{
    Start();
    std::vector<Property> properties;
    Label()->Serialize(properties);
    std::vector<std::string> keys;
    for (const Property& p : properties) keys.push_back(p.name);
    EXPECT_EQ(keys, (std::vector<std::string>{"text", "justification", "offset", "size", "isGlowing"}));
}

} // namespace
