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

// Records each division with the time it arrived, counted in the entity's own updates.
struct DivisionLog {
    struct Entry {
        float at;
        BeatTime time;
        uint32_t index;
    };
    std::vector<Entry> entries;
    float now = 0.0f;
    void OnDivision(BeatDivisionEvent& event) { entries.push_back({now, event.time, event.divisionIndex}); }
};

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
        entity->events->AddListener(&log, &DivisionLog::OnDivision);
        entity->events->Update(0.0f);
    }
    // Sends one beat and runs the entity's manager for one beat in 1 ms steps.
    void Beat(BeatTime time, float tempo = 120.0f)
    {
        BeatEvent beat(time, tempo);
        log.now = 0.0f;
        divider->OnBeat(beat);
        for (int step = 0; step < 500; ++step) {
            log.now += 0.001f;
            entity->events->Update(0.001f);
        }
    }
    Entity* entity = nullptr;
    BeatDivider* divider = nullptr;
    DivisionLog log;
};

TEST_F(BeatDividerTest, FourEvenDivisionsFallOnTheSixteenths)
{
    divider->denominator = 4;
    Beat(BeatTime(3, 4));
    ASSERT_EQ(log.entries.size(), 4u);
    EXPECT_EQ(log.entries[0].at, 0.0f);  // delivered at once
    for (uint32_t i = 0; i < 4; ++i) {
        EXPECT_NEAR(log.entries[i].at, 0.125f * static_cast<float>(i), 0.0015f) << i;
        EXPECT_EQ(log.entries[i].time, BeatTime(3, 4 + static_cast<int32_t>(i))) << i;
        EXPECT_EQ(log.entries[i].index, i);
    }
}

TEST_F(BeatDividerTest, StampsWrapIntoTheNextBarOnce)
{
    divider->denominator = 4;
    Beat(BeatTime(2, 14));
    ASSERT_EQ(log.entries.size(), 4u);
    EXPECT_EQ(log.entries[2].time, BeatTime(3, 0));
    EXPECT_EQ(log.entries[3].time, BeatTime(3, 1));
}

TEST_F(BeatDividerTest, EasingBendsTheSpacingAndZeroIsReplacedForGood)
{
    divider->denominator = 2;
    divider->easing = 2.0f;
    Beat(BeatTime());
    EXPECT_NEAR(log.entries[1].at, 0.25f * 0.5f, 0.0015f);
    log.entries.clear();
    divider->easing = -2.0f;
    Beat(BeatTime());
    EXPECT_NEAR(log.entries[1].at, (1.0f - std::sqrt(0.75f)) * 0.5f, 0.0015f);
    divider->easing = 0.0f;
    Beat(BeatTime());
    EXPECT_EQ(divider->easing, 1.1920929e-7f);
}

TEST_F(BeatDividerTest, NumeratorSkipsBeatsAndZeroNeitherDividesByZeroNorStops)
{
    divider->numerator = 3;
    std::vector<size_t> counts;
    for (int beat = 0; beat < 7; ++beat) {
        Beat(BeatTime(0, 0));
        counts.push_back(log.entries.size());
    }
    EXPECT_EQ(counts, (std::vector<size_t>{1, 1, 1, 2, 2, 2, 3}));
    divider->numerator = 0;  // acts as 1: every beat
    divider->beatCounter = 0;
    Beat(BeatTime());
    Beat(BeatTime());
    EXPECT_EQ(log.entries.size(), 5u);
    divider->denominator = 0;
    Beat(BeatTime());
    EXPECT_EQ(log.entries.size(), 5u);
}

class AnimationTest : public EngineTest {
protected:
    void PrepareContent() override
    {
        // 4- and 8-frame grids (the description gives columns, rows and frame count).
        for (auto [name, frames] : {std::pair{"Four", 4}, std::pair{"Eight", 8}}) {
            image_test_files::WritePng(content.root / "Textures" / (std::string(name) + ".png"), frames * 4, 4);
            testing_content::WriteText(content.root / "Textures" / (std::string(name) + ".txt"),
                                       "{\"data\": [" + std::to_string(frames) + ", 1, " + std::to_string(frames) + "]}");
        }
    }
    void SetUp() override
    {
        EngineTest::SetUp();
        Start();
    }
    Entity* Animated(const std::string& image)
    {
        Entity source("animated");
        source.AddComponent(Sprite(nullptr, image));
        source.AddComponent(*ComponentRegistry::Get()->Find("Animation"));
        return Engine::Get()->FindSpace("Splash")->CreateEntity(source, true);
    }
    static std::vector<uint32_t> Frames(Entity* entity, int beats)
    {
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
    ASSERT_EQ(FindTexture("Four.png").frameCount, 4u);
    EXPECT_EQ(Frames(Animated("Four.png"), 2), (std::vector<uint32_t>{0, 1, 2, 3, 0, 1, 2, 3}));
    EXPECT_EQ(Frames(Animated("Eight.png"), 3), (std::vector<uint32_t>{0, 1, 2, 3, 4, 5, 6, 7, 0, 1, 2, 3}));
    EXPECT_EQ(Frames(Animated("default.png"), 1), (std::vector<uint32_t>{0, 0, 0, 0}));
}

} // namespace
