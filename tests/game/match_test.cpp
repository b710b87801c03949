#include "beatdivider.h"
#include "calibration.h"
#include "endgamelogic.h"
#include "frameclock.h"
#include "gamesettings.h"
#include "graphics.h"
#include "input.h"
#include "matchcontent.h"
#include "matchstats.h"
#include "menucontent.h"
#include "spritetext.h"
#include "testingcomponent.h"
#include "timer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

namespace volleyrun {

namespace {

using testing_content::MatchTest;
template <class Ev>
using Heard = testing_content::EventLog<Ev>;

class BallManagerTest : public MatchTest {
protected:
    // Divisions of the match proper, one sixteenth apart; returns the ball count after each.
    std::vector<size_t> Divisions(int count)
    {
        std::vector<size_t> balls;
        for (int i = 0; i < count; ++i) {
            Division(BeatTime(i / 16, i % 16));
            balls.push_back(Balls().size());
        }
        return balls;
    }
};

TEST_F(BallManagerTest, SpawnCreditFillsEveryThirtyThreeDivisionsAndAnEmptyFieldAtOnceServingEachSideInTurn)
{
    manager->divisionCounter = BallManager::kMatchStart;
    std::vector<size_t> balls = Divisions(34);
    EXPECT_EQ((std::vector<size_t>{balls[0], balls[31], balls[32]}), (std::vector<size_t>{1, 1, 2}));
    GameSettings::Get().ballSpawnRate = 6;
    manager->spawnAccumulator = 0;
    balls = Divisions(7);
    EXPECT_EQ((std::vector<size_t>{balls[5], balls[6]}), (std::vector<size_t>{2, 3}));  // 170, 175
    std::vector<BehaviorBall*> served = Balls();
    for (size_t i = 1; i < served.size(); ++i) EXPECT_NE(served[i]->serveSide, served[i - 1]->serveSide) << i;
    GameSettings::Get().ballSpawnRate = 9;  // outside 1..6: only an empty field gets a ball
    EXPECT_EQ(Divisions(60).back(), 3u);
}

TEST_F(BallManagerTest, BallsArrivingTogetherAreSpacedThreeLanesApart)
{
    manager->divisionCounter = BallManager::kMatchStart;
    manager->spawnPaused = true;
    for (int i = 0; i < 2; ++i) {
        BehaviorBall* ball = manager->SpawnBall(0, BeatTime(5, 0));
        ball->waiting = false;
        ball->startLane = 8;
        ball->destLane = -4;
        ball->steps = -7;  // 5 lanes to go
        ball->arrivalTime = BeatTime(4, 4);
    }
    Division(BeatTime(4, 0));
    EXPECT_EQ(std::pair(Balls()[0]->startLane, Balls()[1]->startLane), std::pair(8, 11));
    EXPECT_EQ(Balls()[1]->arrivalTime, BeatTime(4, 7));
}

TEST_F(MatchTest, MeterThresholdsFireOnceEachOneIncreaseLateAndDrainsStopAtASegmentsEdge)
{
    Heard<BeatMeterThreshold> heard;
    BehaviorMeter* meter = Meter(1);
    meter->value = 29.0f;
    meter->RaiseNotches();
    meter->ChangeValue(2.0f);
    EXPECT_TRUE(heard.events.empty());
    Player(0)->inPlay = true;
    BehaviorBall* middle = manager->SpawnBall(0, BeatTime(4, 4));  // flying at him from the middle lane
    middle->waiting = false;
    middle->startLane = 0;
    meter->RaiseNotches();
    ASSERT_EQ(heard.events.size(), 1u);
    EXPECT_EQ(std::pair(heard.events[0].level, heard.events[0].left), std::pair(1, 1));
    EXPECT_TRUE(middle->autoReturn);  // the threshold's forced move spares it
    meter->ChangeValue(-6.0f);
    meter->LowerNotches();
    meter->ChangeValue(6.0f);
    meter->RaiseNotches();
    EXPECT_EQ(heard.events.size(), 1u);
    meter->value = 80.5f;
    meter->RaiseNotches();
    ASSERT_EQ(heard.events.size(), 2u);
    EXPECT_EQ(heard.events[1].level, 2);
    meter->ChangeValue(500.0f);
    float full = meter->value;
    meter->ChangeValue(-500.0f);
    EXPECT_EQ(std::pair(full, meter->value), std::pair(100.0f, 0.0f));
    meter = Meter(2);
    meter->value = 100.0f;
    meter->drain1 = true;
    Frames(400);
    float drained = meter->value;
    meter->drain3 = true;
    Frames(1000);
    EXPECT_EQ(std::pair(drained, meter->value), std::pair(80.0f, 0.0f));
}

TEST_F(MatchTest, SwingsCarryTheSideTheSpotAndTheLetterOnlyOnAPressEdgeAndNeverWhilePaused)
{
    Heard<BallHitEvent> hits;
    auto deliver = [] { Input::Get()->Poll(); Input::Get()->DeliverPresses(); };  // as a frame starts, after the pads
    Player(0)->MoveTo(2, false);
    Input* input = Input::Get();
    input->OnKey(67, Input::kPress);  // C: player 0's A
    input->SetVirtualButton(1, Input::kPadX, true);
    deliver();
    ASSERT_EQ(hits.events.size(), 2u);
    EXPECT_EQ(std::pair(hits.events[0].lane, hits.events[0].button), std::pair(-2, 0));
    EXPECT_EQ(std::pair(hits.events[1].lane, hits.events[1].button), std::pair(4, 2));
    Frames(30);
    input->OnKey(81, Input::kPress);  // Q: player 0 steps back to spot 4
    deliver();                        // player 1 still holds X: no swing of his
    EXPECT_EQ(std::pair(hits.events.size(), Player(0)->position), std::pair(size_t{2}, 4));
    int64_t now = FrameClock::Get()->Now();
    input->StampExactly(now - 1'000'000);
    input->SetVirtualButton(1, Input::kPadY, true);
    input->StampExactly(now);
    input->OnKey(77, Input::kPress);  // M, recorded first, pressed later: within the swing interval
    deliver();
    ASSERT_EQ(hits.events.size(), 3u);
    EXPECT_EQ(hits.events[2].button, 3);
    input->SetVirtualButton(1, Input::kPadStart, true);  // the second pad pauses too
    deliver();
    EXPECT_EQ(input->Key(Input::kKeyEscape), kKeyPressed);
    Frames(30);
    input->OnKey(67, Input::kRelease);
    input->OnKey(81, Input::kRelease);
    deliver();
    game->paused = true;  // under the pause menu or the map editor
    Player(0)->MoveTo(2, false);
    input->OnKey(67, Input::kPress);
    input->OnKey(81, Input::kPress);
    input->SetVirtualButton(1, Input::kPadA, true);
    deliver();
    EXPECT_EQ(std::pair(hits.events.size(), Player(0)->position), std::pair(size_t{3}, 2));
}

TEST_F(MatchTest, TimeUpWithEqualWholeMetersIsADrawAndOpensTheEndScreenLater)
{
    Meter(1)->value = 99.9f;
    Meter(2)->value = 99.2f;
    Of<Timer>("levelLogic")->clockRunning = true;
    Of<Timer>("levelLogic")->remaining = 0.0f;
    Frames(1);
    EXPECT_TRUE(manager->matchOver && game->paused && Of<Sprite>("WinArt")->visible);
    EXPECT_EQ(Of<Sprite>("WinArt")->imageName, "victoryScreen_Draw.png");
    Frames(60 * 5 - 2);
    EXPECT_EQ(Engine::Get()->FindSpace("EndGame"), nullptr);
    Frames(3);
    EXPECT_NE(Engine::Get()->FindSpace("EndGame"), nullptr);
}

// Only a full meter wins while the clock runs: 99.5 of 100 is not yet a win.
TEST_F(MatchTest, AFullMeterWinsAtOnceWhileTheClockRuns)
{
    for (int step = 0; step < 2; ++step) {
        Meter(2)->value = 98.5f + static_cast<float>(step);
        Meter(2)->ChangeValue(1.0f);
        EndGameLogic::EndCheck(*Meter(2), false, false);
        EXPECT_EQ(manager->matchOver, step == 1) << Meter(2)->value;
    }
    EXPECT_EQ(Of<Sprite>("WinArt")->imageName, "victoryScreen_P2.png");
}

// The meter keys (Control, then 2 or 4) raise a meter five units a step through its side's thresholds; one short of
// full ends nothing, and equal whole meters at time-up are a draw whatever their fractions.
TEST_F(MatchTest, TheMeterKeysRaiseEachSidesMeterAndOnlyAFullMeterOrTheClockEndsTheMatch)
{
    Heard<BeatMeterThreshold> heard;
    Input* input = Input::Get();
    Meter(1)->value = 27.0f;
    Meter(2)->value = 94.0f;
    input->OnKey(TestingComponent::kKeyLeftControl, Input::kPress);
    Frames(1);
    for (int key : {'2', '4'}) {
        input->OnKey(key, Input::kPress);
        Frames(1);
        input->OnKey(key, Input::kRelease);
    }
    EXPECT_EQ(std::pair(Meter(1)->value, Meter(2)->value), std::pair(32.0f, 99.0f));
    std::vector<std::pair<int, int>> thresholds;
    for (const BeatMeterThreshold& event : heard.events) thresholds.emplace_back(event.level, event.left);
    EXPECT_EQ(thresholds, (std::vector<std::pair<int, int>>{{1, 1}, {2, 0}}));
    EXPECT_FALSE(manager->matchOver);
    Meter(1)->value = 99.9f;
    Of<Timer>("levelLogic")->clockRunning = true;
    Of<Timer>("levelLogic")->remaining = 0.0f;
    Frames(1);
    EXPECT_TRUE(manager->matchOver);
    EXPECT_EQ(Of<Sprite>("WinArt")->imageName, "victoryScreen_Draw.png");
}

TEST(EndScreenTest, StatisticsReadAsHitsByGradeMissesTimingStreakAndAccuracy)
{
    MatchStats stats;
    for (float error : {-0.010f, -0.030f, 0.012f, -0.050f, -0.070f, 0.005f}) stats.Hit(0, MatchStats::GradeOf(error), error);
    stats.Miss(0);
    stats.Hit(0, 0, 0.0f);
    stats.Miss(0);  // the longest streak is the earlier one
    EXPECT_EQ(EndGameLogic::StatLines(stats.players[0]),
              (std::array<std::string, 8>{"4", "1", "1", "1", "2", "20 ms early", "6", "78%"}));
    stats.Hit(1, 3, 0.0804f);
    EXPECT_EQ(EndGameLogic::StatLines(stats.players[1])[5], "80 ms late");
}

// Errors 0, a, 2a and 3a, six times each, in milliseconds, 12 late: the median is 12 + 1.5a
// and the interquartile range 1.5a. Too uneven or too few taps change nothing.
TEST(CalibrationTest, TheMedianCorrectsTheOffsetUnlessTheTapsAreTooFewOrTooSpread)
{
    auto taps = [](double a) {
        std::vector<double> errors;
        for (int i = 0; i < 24; ++i) errors.push_back(12.0 + (i % 4) * a);
        return errors;
    };
    Calibration::Estimate steady = Calibration::FromErrors(taps(26.0), Calibration::kTaps);
    EXPECT_TRUE(steady.accepted && steady.spreadMs == 39.0);
    EXPECT_FLOAT_EQ(Calibration::Corrected(-5.0f, steady), 46.0f);
    std::vector<double> few = taps(2.0);
    few[3] = 480.0;  // one tap a whole beat late moves nothing
    EXPECT_DOUBLE_EQ(Calibration::FromErrors(few, Calibration::kTaps).medianMs, 15.0);
    Calibration::Estimate spread = Calibration::FromErrors(taps(27.0), Calibration::kTaps);
    EXPECT_EQ(spread.message, "TOO UNEVEN (SPREAD 40.5 MS): NOTHING CHANGED");
    EXPECT_FLOAT_EQ(Calibration::Corrected(-5.0f, spread), -5.0f);
    few.pop_back();
    EXPECT_FALSE(Calibration::FromErrors(few, Calibration::kTaps).accepted);
    EXPECT_FLOAT_EQ(Calibration::Corrected(490.0f, Calibration::FromErrors(taps(2.0), 24)), 500.0f);  // at most 500
}

// A match with its music playing in virtual time, balls served by hand.
class HitTest : public MatchTest {
protected:
    void SetUp() override
    {
        MatchTest::SetUp();
        manager->divisionCounter = BallManager::kMatchStart;
        manager->spawnPaused = true;
        Engine::Get()->events->Send(PlaySoundEvent("event:/InGame", true));
        ASSERT_TRUE(RunUntil([] { return AudioEngine::Get()->Tempo() > 0.0f; }, 120));
    }
    template <class Condition>
    bool RunUntil(Condition condition, int frames)
    {
        for (int i = 0; i < frames && !condition(); ++i) Frames(1);
        return condition();
    }
    // Runs to the frame that ends past the instant.
    bool RunPast(int64_t at)
    {
        const FrameClock* clock = FrameClock::Get();
        return RunUntil([&] { return clock->frameStart + clock->framePeriod > at; }, 600);
    }
    // A normal ball lettered A served toward player (0 or 1), reaching him two bars from now.
    BehaviorBall* Serve(int player)
    {
        manager->serveSide = player == 0 ? 0 : 1;
        BehaviorBall* ball = manager->SpawnBall(0, BeatTime(AudioEngine::Get()->DownbeatTime().bar + 2, 0));
        ball->letter = 0;
        return ball;
    }
    // The instant the ball's arrival beat is heard, once it flies.
    int64_t HeardAt(BehaviorBall* ball)
    {
        EXPECT_TRUE(RunUntil([&] { return !ball->waiting; }, 600));
        BeatTime time = ball->arrivalTime;
        return *AudioEngine::Get()->Music().InstantOf(time.bar * BeatTime::kSixteenthsPerBar + time.sixteenth);
    }
    // Presses a letter's key or pad button at an instant, perhaps ahead (judged once the clock is past it).
    static void Press(int player, PressEvent::Device device, int letter, int64_t at)
    {
        const GameSettings::Bindings& bindings = GameSettings::Get().bindings[player];
        Input* input = Input::Get();
        input->StampExactly(at);
        if (device == PressEvent::kPad) return input->SetVirtualButton(player, bindings.letterButtons[letter], true);
        input->OnKey(bindings.letterKeys[letter], Input::kPress);
        input->OnKey(bindings.letterKeys[letter], Input::kRelease);
    }
    void Frames(int count)  // lets every pad button go after each frame
    {
        for (int i = 0; i < count; ++i) {
            MatchTest::Frames(1);
            for (int pad = 0; pad < 2; ++pad)
                for (int button = Input::kPadA; button <= Input::kPadY; ++button)
                    Input::Get()->SetVirtualButton(pad, button, false);
        }
    }
    static bool Returned(BehaviorBall* ball, int receiver) { return receiver == 0 ? ball->startLane < 0 : ball->startLane > 0; }
};

// Every press is judged at its own instant, to the microsecond; the window's edges are the same for keys and pads.
TEST_F(HitTest, PressesAreJudgedAtTheirOwnInstantAlikeForKeysAndPads)
{
    const struct { int player; PressEvent::Device device; double errorMs; bool returned; } cases[] = {
        {0, PressEvent::kKeyboard, 0.0, true},    {1, PressEvent::kPad, 0.0, true},
        {0, PressEvent::kPad, -124.9, true},      {1, PressEvent::kKeyboard, -124.9, true},
        {0, PressEvent::kKeyboard, 124.9, true},  {1, PressEvent::kPad, 124.9, true},
        {0, PressEvent::kPad, -125.1, false},     {1, PressEvent::kKeyboard, -125.1, false},
        {0, PressEvent::kKeyboard, 125.1, false}, {1, PressEvent::kPad, 125.1, false},
        {0, PressEvent::kKeyboard, -37.3, true},  {1, PressEvent::kPad, 52.61, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "player " << c.player << " device " << c.device << " at " << c.errorMs << " ms");
        BehaviorBall* ball = Serve(c.player);
        const auto& stats = MatchStats::Get().players[c.player];
        int32_t faults = stats.faults;
        Press(c.player, c.device, 0, HeardAt(ball) + static_cast<int64_t>(c.errorMs * 1e6));
        ASSERT_TRUE(RunUntil([&] { return Returned(ball, c.player) || ball->finished; }, 600));
        ASSERT_EQ(Returned(ball, c.player), c.returned);
        if (c.returned) EXPECT_NEAR(stats.errors.back() * 1e3, c.errorMs, 0.01);
        else EXPECT_EQ(stats.faults, faults + 1);  // the press took no ball, and the ball went
        Frames(60);  // the next ball finds him free of any lock-out
    }
}

// A ball is lost once no press could still reach it (the late edge as heard plus the receiver's input latency); the
// closing ring meets the spot as the arrival beat is heard, less the player's visual delay.
TEST_F(HitTest, ABallIsLostPastItsLateEdgeAndItsRingMeetsTheSpotAsItsBeatIsSeen)
{
    for (float latencyMs : {0.0f, 12.0f}) {
        GameSettings::Get().inputOffsetMs[1][1] = latencyMs;
        BehaviorBall* ball = Serve(1);
        ASSERT_TRUE(RunPast(HeardAt(ball) + static_cast<int64_t>((125.0f + latencyMs) * 1e6f)));
        EXPECT_FALSE(ball->finished) << latencyMs;
        Frames(1);
        EXPECT_TRUE(ball->finished) << latencyMs;
        Frames(60);
    }
    auto widestRing = [] {
        float widest = 0.0f;
        for (const Graphics::DrawRecord& draw : Graphics::Get()->drawLog)
            if (draw.image == "EmptyCircle.png") widest = std::max(widest, draw.world[0][0]);
        return widest;
    };
    for (float visualMs : {0.0f, 100.0f}) {
        GameSettings::Get().visualOffsetMs = visualMs;
        ASSERT_TRUE(RunPast(HeardAt(Serve(0)) - static_cast<int64_t>(visualMs * 1e6f)));
        EXPECT_GT(widestRing(), 50.0f) << visualMs;
        Frames(1);
        EXPECT_EQ(widestRing(), 50.0f) << visualMs;
        Frames(60);
    }
}

// Two presses recorded in the opposite order to the one they happened in: the earlier is judged first; a wrong letter
// first costs the ball even when the right one follows after the swing recovered: the lock-out outlasts the swing.
TEST_F(HitTest, PressesAreJudgedInTheOrderTheyHappenedAndAGuessLocksTheSwingerOut)
{
    const struct { int64_t apartMs; bool wrongFirst; } cases[] = {{5, true}, {5, false}, {130, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.apartMs << " ms apart, wrong first " << c.wrongFirst);
        BehaviorBall* ball = Serve(0);
        int64_t heard = HeardAt(ball), later = heard + c.apartMs * 500'000;
        int32_t faults = MatchStats::Get().players[0].faults;
        Press(0, PressEvent::kKeyboard, c.wrongFirst ? 0 : 1, later);
        Press(0, PressEvent::kKeyboard, c.wrongFirst ? 1 : 0, later - c.apartMs * 1'000'000);
        ASSERT_TRUE(RunUntil([&] { return Returned(ball, 0) || ball->finished; }, 600));
        EXPECT_EQ(Returned(ball, 0), !c.wrongFirst);
        EXPECT_EQ(MatchStats::Get().players[0].faults - faults, c.wrongFirst ? 1 : 0);
        Frames(60);
    }
}

// The hit is graded by the ball nearest the press, not by its letter's other ball a sixteenth behind.
TEST_F(HitTest, AHitInTheWindowGradesReturnsAndFillsTheMeterByItsGrade)
{
    Of<BeatDivider>("levelLogic")->denominator = 0;  // the manager leaves the two a sixteenth apart
    Player(1)->MoveTo(2, false);
    BehaviorBall* ball = Serve(0);  // to player 0 at spot 4
    BehaviorBall* behind = Serve(0);
    behind->launchTime = ball->launchTime.AddSixteenths(1);
    int64_t heard = HeardAt(ball);
    ASSERT_LT(std::abs(HeardAt(behind) - heard - 50'000'000), 125'000'000);
    ASSERT_GT(HeardAt(behind) - heard, 100'000'000);
    BeatTime arrival = ball->arrivalTime;
    Press(0, PressEvent::kKeyboard, 0, heard + 50'000'000);
    ASSERT_TRUE(RunUntil([&] { return Returned(ball, 0); }, 600));
    EXPECT_EQ(Of<Sprite>("BillBoardP0")->frameIndex, 1u);  // late by 40 to 60 ms
    EXPECT_EQ(Meter(1)->value, 1.0f);                      // half the reward of a perfect hit
    EXPECT_EQ(std::tuple(ball->startLane, ball->destLane, ball->serveSide), std::tuple(-4, 2, 1u));
    EXPECT_EQ(ball->arrivalTime, arrival.AddSixteenths(6));  // an early or late hit stays on the grid
}

TEST_F(HitTest, AWrongLetterOrAnEmptySwingCostsAndOneSwingReturnsOneBall)
{
    Of<BeatDivider>("levelLogic")->denominator = 0;  // no divisions of the manager space the two apart
    Meter(2)->value = 10.0f;
    BehaviorBall* first = Serve(1);
    BehaviorBall* second = Serve(1);
    second->letter = 1;
    second->launchTime = first->launchTime;
    int64_t heard = HeardAt(first);
    Press(1, PressEvent::kPad, 0, heard - 300'000'000);  // A, long before its ball: an empty swing
    ASSERT_TRUE(RunUntil([] { return MatchStats::Get().players[1].faults == 1; }, 600));
    EXPECT_EQ(Meter(2)->value, 9.5f);
    Press(1, PressEvent::kKeyboard, 1, heard - 60'000'000);  // B, inside the lock-out: refused
    Frames(1);
    Press(1, PressEvent::kPad, 1, heard + 100'000'000);  // B again: the B ball alone
    ASSERT_TRUE(RunUntil([&] { return first->finished; }, 600));
    EXPECT_TRUE(Returned(second, 1));
    EXPECT_NEAR(MatchStats::Get().players[1].errors.back() * 1e3, 100.0, 0.01);  // by the second B
    EXPECT_EQ(MatchStats::Get().players[1].faults, 1);
    EXPECT_EQ(std::pair(MatchStats::Get().players[1].Hits(), manager->score0), std::pair(1, 1));
}

// A swing returns the nearer of two balls of its letter, whichever was served first; a forced move spares every ball
// flying at the mover, the middle lane's too, and none flying at the other player.
TEST_F(HitTest, ASwingTakesTheNearestBallAndAForcedMoveSparesOnlyTheMoversBalls)
{
    Of<BeatDivider>("levelLogic")->denominator = 0;  // the manager leaves the two a sixteenth apart
    for (int64_t towardSecondMs : {-15, 15}) {
        SCOPED_TRACE(towardSecondMs);
        BehaviorBall* first = Serve(1);
        BehaviorBall* second = Serve(1);
        second->launchTime = first->launchTime.AddSixteenths(1);
        int64_t one = HeardAt(first), two = HeardAt(second);
        ASSERT_LT((two - one) / 2 + 15'000'000, 125'000'000);
        Press(1, PressEvent::kKeyboard, 0, (one + two) / 2 + towardSecondMs * 1'000'000);
        ASSERT_TRUE(RunUntil([&] { return first->finished || second->finished; }, 600));
        EXPECT_EQ(std::pair(Returned(first, 1), Returned(second, 1)), std::pair(towardSecondMs < 0, towardSecondMs > 0));
        Frames(60);
    }
    BehaviorBall* atMe = Serve(0);
    BehaviorBall* middle = Serve(0);
    BehaviorBall* atHim = Serve(1);
    for (BehaviorBall* ball : {atMe, middle, atHim}) ASSERT_TRUE(RunUntil([&] { return !ball->waiting; }, 600));
    middle->startLane = 0;
    Player(0)->MoveTo(2, true);
    EXPECT_EQ(std::tuple(atMe->autoReturn, middle->autoReturn, atHim->autoReturn), std::tuple(true, true, false));
}

// Two balls waiting together (a rainbow pair) are neither spaced nor lost; a missed platinum costs 7.5, a normal one 1.
TEST_F(HitTest, BallsWaitingTogetherAreKeptAndAPlatinumMissCostsSevenAndAHalf)
{
    Meter(2)->value = 50.0f;
    BehaviorBall* first = Serve(1);
    BehaviorBall* second = Serve(1);
    first->kind = BehaviorBall::kPlatinum;
    Frames(120);  // still two seconds before they are served
    EXPECT_TRUE(first->waiting && second->waiting);
    EXPECT_EQ(manager->score0 + manager->score1, 0);
    ASSERT_TRUE(RunUntil([&] { return first->finished && second->finished; }, 900));
    EXPECT_EQ(std::pair(Meter(2)->value, Player(1)->lives), std::pair(50.0f - 7.5f - 1.0f, 3));
}

// A whole autoplay match in virtual time: the count-in a beat apart, "GO!" as the first ball is hit within about five
// seconds, and every special event announced before the meter ends it.
TEST_F(MatchTest, AnAutoplayMatchCountsInItsFirstBallOnTheBeatWithinFiveSecondsAndReachesItsSpecialEvents)
{
    Heard<BallReturnedEvent> returns;
    Heard<PlaySoundEvent> sounds;
    GameSettings::autoplay = true;
    Engine::Get()->events->Send(PlaySoundEvent("event:/InGame", true));
    const SpriteText* countIn = Of<SpriteText>("CountIn");
    std::vector<std::pair<std::string, int>> shown{{"", 0}};  // count-in texts and their frames
    int firstReturn = -1;
    for (int frame = 1; frame < 120 * 60 && !manager->matchOver; ++frame) {
        Frames(1);
        if (countIn->text != shown.back().first) shown.emplace_back(countIn->text, frame);
        if (firstReturn < 0 && !returns.events.empty()) firstReturn = frame;
    }
    GameSettings::autoplay = false;
    ASSERT_TRUE(manager->matchOver);
    ASSERT_EQ(shown.size(), 6u);
    const char* const words[] = {"", "3", "2", "1", "GO!", ""};
    for (size_t i = 1; i < shown.size(); ++i) EXPECT_EQ(shown[i].first, words[i]);
    for (size_t i = 2; i < shown.size(); ++i) EXPECT_NEAR(shown[i].second - shown[i - 1].second, 30, 1) << words[i];
    EXPECT_EQ(shown[4].second, firstReturn);
    EXPECT_LT(firstReturn, 5 * 60 + 15);
    int announced = 0;
    for (const PlaySoundEvent& sound : sounds.events) announced += sound.path.rfind("event:/Announcer/", 0) == 0;
    EXPECT_EQ(announced, GameSettings::Get().eventsPerGame);
}

} // namespace

} // namespace volleyrun
