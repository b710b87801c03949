// Beat dividers split each beat into timed divisions, evenly or eased.
#include "beatdivider.h"
#include "entity.h"
#include "testcontent.h"

#include <gtest/gtest.h>

#include <cmath>

namespace volleyrun {

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

    struct Division { float at; BeatTime time; uint32_t index; };  // at: seconds after the beat
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

} // namespace

} // namespace volleyrun
