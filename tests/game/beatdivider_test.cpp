// Beat dividers split each beat into timed divisions; animations step their frames on them.
#include "animation.h"
#include "beatdivider.h"
#include "entity.h"
#include "imagetestfiles.h"
#include "sprite.h"
#include "testcontent.h"
#include "texture.h"
#include "texturestore.h"

#include <gtest/gtest.h>

namespace {

using testing_content::EngineTest;

class BeatDividerTest : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        Start();
        Entity source("divided");
        source.AddComponent(*ComponentRegistry::Get()->Find("BeatDivider"));
        entity = Engine::Get()->FindSpace("Splash")->CreateEntity(source, true);
        divider = entity->Get<BeatDivider>();
        entity->events->AddListener(this, &BeatDividerTest::OnDivision);
        entity->events->Update(0.0f);
    }
    void OnDivision(BeatDivisionEvent& event) { log.push_back({now, event.time, event.divisionIndex}); }
    // Sends one beat at 120 beats a minute and runs the entity's manager through it in 1 ms steps.
    void Beat(BeatTime time = BeatTime())
    {
        BeatEvent beat(time, 120.0f);
        now = 0.0f;
        divider->OnBeat(beat);
        for (int step = 0; step < 500; ++step) {
            now += 0.001f;
            entity->events->Update(0.001f);
        }
    }

    struct Division {
        float at;  // seconds after the beat
        BeatTime time;
        uint32_t index;
    };
    std::vector<Division> log;
    float now = 0.0f;
    Entity* entity = nullptr;
    BeatDivider* divider = nullptr;
};

// Four even divisions fall on the sixteenths (the first at once), stamped across a bar line.
TEST_F(BeatDividerTest, FourEvenDivisionsFallOnTheSixteenthsAndWrapIntoTheNextBar)
{
    divider->denominator = 4;
    const std::vector<BeatTime> rows[] = {{{3, 4}, {3, 5}, {3, 6}, {3, 7}}, {{2, 14}, {2, 15}, {3, 0}, {3, 1}}};
    for (const std::vector<BeatTime>& expected : rows) {
        log.clear();
        Beat(expected[0]);
        ASSERT_EQ(log.size(), 4u);
        for (uint32_t i = 0; i < 4; ++i) {
            EXPECT_NEAR(log[i].at, 0.125f * static_cast<float>(i), i ? 0.0015f : 0.0f) << i;
            EXPECT_EQ(log[i].time, expected[i]) << i;
            EXPECT_EQ(log[i].index, i);
        }
    }
}

TEST_F(BeatDividerTest, EasingBendsTheSpacingAndZeroIsReplacedForGood)
{
    divider->denominator = 2;
    for (auto [easing, second] : {std::pair{2.0f, 0.25f * 0.5f}, {-2.0f, (1.0f - std::sqrt(0.75f)) * 0.5f}}) {
        log.clear();
        divider->easing = easing;
        Beat();
        EXPECT_NEAR(log[1].at, second, 0.0015f) << easing;
    }
    divider->easing = 0.0f;
    Beat();
    EXPECT_EQ(divider->easing, 1.1920929e-7f);
}

TEST_F(BeatDividerTest, NumeratorSkipsBeatsAndZeroNeitherDividesByZeroNorStops)
{
    divider->numerator = 3;
    std::vector<size_t> counts;
    for (int beat = 0; beat < 7; ++beat, counts.push_back(log.size())) Beat();
    EXPECT_EQ(counts, (std::vector<size_t>{1, 1, 1, 2, 2, 2, 3}));
    divider->numerator = 0;  // acts as 1: every beat
    divider->beatCounter = 0;
    Beat();
    Beat();
    EXPECT_EQ(log.size(), 5u);
    divider->denominator = 0;
    Beat();
    EXPECT_EQ(log.size(), 5u);
}

class AnimationTest : public EngineTest {
protected:
    void PrepareContent() override
    {
        // 4- and 8-frame grids (the description gives columns, rows and frame count).
        for (int frames : {4, 8}) {
            std::filesystem::path image = content.root / "Textures" / (std::to_string(frames) + ".png");
            image_test_files::WritePng(image, frames * 4, 4);
            testing_content::WriteText(image.replace_extension(".txt"), "{\"data\": [" + std::to_string(frames) + ", 1, " +
                                                                            std::to_string(frames) + "]}");
        }
    }
    // The sprite's frame after each of four divisions per beat, over beats.
    std::vector<uint32_t> Frames(const std::string& image, int beats)
    {
        Entity source("animated");
        source.AddComponent(Sprite(nullptr, image));
        source.AddComponent(*ComponentRegistry::Get()->Find("Animation"));
        Entity* entity = Engine::Get()->FindSpace("Splash")->CreateEntity(source, true);
        std::vector<uint32_t> frames;
        for (int beat = 0; beat < beats; ++beat)
            for (uint32_t i = 0; i < 4; ++i) {
                BeatDivisionEvent division(BeatTime(), 4, i);
                entity->Get<Animation>()->OnDivision(division);
                frames.push_back(entity->Get<Sprite>()->frameIndex);
            }
        return frames;
    }
};

TEST_F(AnimationTest, FramesStepOnDivisionsAndResynchroniseOnBeats)
{
    Start();
    ASSERT_EQ(FindTexture("4.png").frameCount, 4u);
    EXPECT_EQ(Frames("4.png", 2), (std::vector<uint32_t>{0, 1, 2, 3, 0, 1, 2, 3}));
    EXPECT_EQ(Frames("8.png", 3), (std::vector<uint32_t>{0, 1, 2, 3, 4, 5, 6, 7, 0, 1, 2, 3}));
    EXPECT_EQ(Frames("default.png", 1), (std::vector<uint32_t>{0, 0, 0, 0}));
}

} // namespace
