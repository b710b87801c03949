#include "frameclock.h"
#include "runoptions.h"

#include <gtest/gtest.h>

namespace volleyrun {

namespace {

// A scripted clock: each wait moves time forward by one millisecond.
class PacingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        RunOptions::Get() = RunOptions();
        clock = FrameClock::Start();
        clock->SetSource({[this] { return now; }, [this](int64_t) { now += 1000000; }});
    }
    void TearDown() override { FrameClock::Destroy(); }

    int64_t now = 1000000000;
    FrameClock* clock = nullptr;
};

// An early frame waits and moves the schedule by exactly one period, never by the wait's overshoot.
TEST_F(PacingTest, AnEarlyFrameWaitsAndAdvancesTheScheduleByExactlyOnePeriod)
{
    int64_t start = clock->frameStart;
    now = start + clock->framePeriod - 5000000;  // 5 ms early
    int polls = 0;
    EXPECT_EQ(clock->Pace([&polls] { ++polls; }), 1.0f / 60.0f);
    EXPECT_EQ(clock->frameStart, start + 16666666);
    EXPECT_EQ(polls, 5);  // joysticks are polled between waits
    now = clock->frameStart + 1000;  // early again
    clock->Pace(nullptr);
    EXPECT_EQ(clock->frameStart, start + 2 * 16666666);
}

// A late frame restarts the schedule at the real time; the frames after it keep to it.
TEST_F(PacingTest, ALateFrameReportsTheRealTimeAndRestartsTheSchedule)
{
    now = clock->frameStart + 40000000;
    EXPECT_NEAR(clock->Pace(nullptr), 0.04f, 1e-6f);
    int64_t restart = now;
    EXPECT_EQ(clock->frameStart, restart);
    for (int frame = 1; frame <= 3; ++frame) {
        clock->Pace(nullptr);  // the one-millisecond waits overshoot each deadline
        EXPECT_EQ(clock->frameStart, restart + frame * 16666666);
    }
}

TEST(VirtualTime, EveryFrameIsExactlyOnePeriodAndTheClockFollows)
{
    RunOptions::Get() = RunOptions();
    RunOptions::Get().virtualTime = true;
    FrameClock* clock = FrameClock::Start();
    for (int frame = 1; frame <= 120; ++frame) {
        EXPECT_EQ(clock->Pace(nullptr), 1.0f / 60.0f);
        EXPECT_EQ(clock->Now(), frame * int64_t{16666666});
    }
    FrameClock::Destroy();
    RunOptions::Get() = RunOptions();
}

} // namespace

} // namespace volleyrun
