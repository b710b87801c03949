#include "beatdivider.h"
#include "behaviorplatform.h"
#include "calibration.h"
#include "endgamelogic.h"
#include "frameclock.h"
#include "gamesettings.h"
#include "graphics.h"
#include "input.h"
#include "lifeindicator.h"
#include "matchcontent.h"
#include "matchstats.h"
#include "particleemitter.h"
#include "spritetext.h"
#include "timer.h"
#include "transform.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>

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
    EXPECT_EQ(balls[0], 1u);   // empty field
    EXPECT_EQ(balls[31], 1u);  // credit 160
    EXPECT_EQ(balls[32], 2u);  // credit 165
    GameSettings::Get().ballSpawnRate = 6;
    manager->spawnAccumulator = 0;
    balls = Divisions(7);
    EXPECT_EQ(balls[5], 2u);
    EXPECT_EQ(balls[6], 3u);  // 175
    std::vector<BehaviorBall*> served = Balls();
    for (size_t i = 1; i < served.size(); ++i) EXPECT_NE(served[i]->serveSide, served[i - 1]->serveSide) << i;
    GameSettings::Get().ballSpawnRate = 9;  // outside 1..6: only an empty field gets a ball
    EXPECT_EQ(Divisions(60).back(), 3u);
}

TEST_F(BallManagerTest, SpecialEventsStartAtEvenPointsOfTheClockOrTheLeadingMeter)
{
    Timer* clock = Of<Timer>("levelLogic");
    GameSettings& settings = GameSettings::Get();
    // Percent of the match (the clock's, or the right meter's with useMeter) at each start.
    auto starts = [&](bool useMeter) {
        std::vector<int> at;
        manager->eventsStarted = 0;
        manager->progress = 0.0f;
        for (int percent = 0; percent <= 100; ++percent) {
            clock->remaining = clock->secondsOfGame * (useMeter ? 1.0f : 1.0f - static_cast<float>(percent) / 100.0f);
            Meter(2)->value = useMeter ? static_cast<float>(percent) : 0.0f;
            manager->divisionCounter = BallManager::kMatchStart;
            manager->eventCountdown = 0;
            BeatDivisionEvent division(BeatTime(), 4, 0);
            manager->OnDivision(division);
            if (manager->eventCountdown == settings.eventLength) at.push_back(percent);
        }
        return at;
    };
    EXPECT_EQ(starts(false), (std::vector<int>{34, 67}));
    EXPECT_EQ(starts(true), (std::vector<int>{34, 67}));  // a match won on meters reaches them too
    settings.eventsPerGame = 3;
    EXPECT_EQ(starts(false), (std::vector<int>{25, 50, 75}));
    settings.eventsPerGame = 7;  // out of range
    EXPECT_TRUE(starts(false).empty());
    settings.eventsPerGame = 2;
    settings.eventsEnabled = false;
    EXPECT_TRUE(starts(false).empty());
    settings.eventsEnabled = true;
    settings.rainbowBallEnabled = settings.platinumBallEnabled = false;
    starts(false);
    EXPECT_EQ(manager->eventKind, BehaviorBall::kAlternating);  // the only kind left
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
    EXPECT_EQ(Balls()[0]->startLane, 8);
    EXPECT_EQ(Balls()[1]->startLane, 11);
    EXPECT_EQ(Balls()[1]->arrivalTime, BeatTime(4, 7));
}

TEST_F(BallManagerTest, AMissScoresForTheOtherSideTakesALifeAndSoundsTheMissLayerForABar)
{
    Heard<ParameterChangeEvent> music;
    auto missLayer = [&music] {
        float last = -1.0f;
        for (const ParameterChangeEvent& change : music.events)
            for (const auto& [name, value] : change.parameters)
                if (name == "MusicianMiss") last = value;
        return last;
    };
    manager->divisionCounter = BallManager::kMatchStart;
    BallLostEvent miss(4);  // player 1 missed at his spot
    manager->OnBallLost(miss);
    EXPECT_EQ(manager->score0, 1);
    EXPECT_EQ(Of<SpriteText>("PlayerScore0")->text, "1");
    EXPECT_EQ(Player(1)->lives, 4);
    EXPECT_EQ(Of<LifeIndicator>("LifeIndicator1")->lives, 4);
    for (int i = 0; i < 6; ++i) manager->OnBallLost(miss);
    EXPECT_EQ(Player(1)->lives, -2);  // lives do not end the match
    Divisions(15);
    EXPECT_EQ(missLayer(), 0.5f);
    Divisions(1);
    EXPECT_EQ(missLayer(), 0.0f);  // a whole bar without a miss
    manager->matchOver = true;
    manager->OnBallLost(miss);
    EXPECT_EQ(manager->score0, 7);
}

TEST_F(BallManagerTest, TheOpeningFillsAndDrainsTheMetersThenRearmsThem)
{
    Heard<BeatMeterThreshold> thresholds;
    for (int i = 0; i < BallManager::kMatchStart; ++i) {
        if (i == BallManager::kMatchStart - 1) {
            EXPECT_EQ(Meter(2)->value, 0.0f);  // drained, not cut short
        }
        BeatDivisionEvent division(BeatTime(), 4, 0);
        manager->OnDivision(division);
        Frames(7);  // a division is 7.5 frames at 120 beats a minute; the drains run per frame
    }
    EXPECT_EQ(thresholds.events.size(), 4u);  // both levels of both meters during the fill
    EXPECT_TRUE(Of<Timer>("levelLogic")->clockRunning);
    EXPECT_FALSE(Meter(2)->threshold1Sent);  // re-armed for the match
    EXPECT_FALSE(Meter(1)->drain3);
}

class MeterTest : public MatchTest {
protected:
    // Notches of the left meter lit in each segment's row (five positions per row here).
    std::array<int, 3> LitPerRow()
    {
        std::vector<Entity*> notches;
        for (const auto& entity : game->Entities())
            if (entity->name == "MeterNotch" && entity->Get<Transform>()->translation.x < 0.0f) notches.push_back(entity.get());
        std::array<int, 3> lit{};
        for (size_t i = 0; i < notches.size(); ++i)
            lit[i * 3 / notches.size()] += notches[i]->Get<Sprite>()->colour.a > 0.5f ? 1 : 0;
        return lit;
    }
};

TEST_F(MeterTest, OnlyTheCurrentSegmentShowsItsNotchesUpToTheValueOnTheWayUpAndDown)
{
    struct Step {
        float value;
        std::array<int, 3> lit;
    };
    // Segments of 30, 50 and 20 over five positions; at least one position is lit.
    const Step steps[] = {{10, {2, 0, 0}}, {50, {0, 3, 0}}, {90, {0, 0, 3}}, {100, {0, 0, 5}},
                          {50, {0, 3, 0}}, {20, {4, 0, 0}}, {0, {1, 0, 0}}};
    BehaviorMeter* meter = Meter(1);
    for (const Step& step : steps) {
        bool rising = step.value > meter->value;
        meter->value = step.value;
        if (rising) meter->RaiseNotches();
        else meter->LowerNotches();
        EXPECT_EQ(LitPerRow(), step.lit) << "at " << step.value << (rising ? " rising" : " falling");
    }
}

TEST_F(MeterTest, ThresholdsFireOnceEachOneIncreaseLateAndDrainsStopAtASegmentsEdge)
{
    Heard<BeatMeterThreshold> heard;
    BehaviorMeter* meter = Meter(1);
    meter->value = 29.0f;
    meter->RaiseNotches();
    meter->ChangeValue(2.0f);
    EXPECT_TRUE(heard.events.empty());
    meter->RaiseNotches();
    ASSERT_EQ(heard.events.size(), 1u);
    EXPECT_EQ(heard.events[0].level, 1);
    EXPECT_EQ(heard.events[0].left, 1);
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
    EXPECT_EQ(meter->value, 100.0f);
    meter->ChangeValue(-500.0f);
    EXPECT_EQ(meter->value, 0.0f);

    meter = Meter(2);  // a drain empties one segment
    meter->value = 100.0f;
    meter->drain1 = true;
    Frames(400);
    EXPECT_EQ(meter->value, 80.0f);
    meter->drain3 = true;
    Frames(1000);
    EXPECT_EQ(meter->value, 0.0f);
}

using PlayerTest = MatchTest;

// Presses go out at the frame's start, after the pads are read.
void Deliver()
{
    Input::Get()->Poll();
    Input::Get()->DeliverPresses();
}

TEST_F(PlayerTest, SwingsCarryTheSideTheSpotAndTheLetterOnlyOnAPressEdge)
{
    Heard<BallHitEvent> hits;
    Player(0)->MoveTo(2, false);
    Input* input = Input::Get();
    input->OnKey(67, Input::kPress);  // C: player 0's A
    input->SetVirtualButton(1, Input::kPadX, true);
    Deliver();
    ASSERT_EQ(hits.events.size(), 2u);
    EXPECT_EQ(hits.events[0].lane, -2);
    EXPECT_EQ(hits.events[0].button, 0);
    EXPECT_EQ(hits.events[1].lane, 4);
    EXPECT_EQ(hits.events[1].button, 2);
    Frames(30);
    input->OnKey(81, Input::kPress);  // Q: player 0 steps back to spot 4
    Deliver();                        // player 1 still holds X: no swing of his
    EXPECT_EQ(hits.events.size(), 2u);
    EXPECT_EQ(Player(0)->position, 4);
    int64_t now = FrameClock::Get()->Now();
    input->StampExactly(now - 1'000'000);
    input->SetVirtualButton(1, Input::kPadY, true);
    input->StampExactly(now);
    input->OnKey(77, Input::kPress);  // M, recorded first, pressed later: within the swing interval
    Deliver();
    ASSERT_EQ(hits.events.size(), 3u);
    EXPECT_EQ(hits.events[2].button, 3);
    input->SetVirtualButton(1, Input::kPadStart, true);  // the second pad pauses too
    Deliver();
    EXPECT_EQ(input->Key(Input::kKeyEscape), kKeyPressed);
}

TEST_F(PlayerTest, APausedMatchTakesNoSwingsAndNoSteps)
{
    Heard<BallHitEvent> hits;
    game->paused = true;  // under the pause menu or the map editor
    Input::Get()->OnKey(67, Input::kPress);  // C
    Input::Get()->OnKey(81, Input::kPress);  // Q: spot 4
    Input::Get()->SetVirtualButton(1, Input::kPadA, true);
    Player(0)->MoveTo(2, false);
    Deliver();
    EXPECT_TRUE(hits.events.empty());
    EXPECT_EQ(Player(0)->position, 2);
}

TEST_F(PlayerTest, ThresholdsMovePlayersInPlayAndAlwaysSendThePlatformHome)
{
    BehaviorPlatform* platform = Of<BehaviorPlatform>("Platform0Pos2");
    platform->GlideTo(1.0f, 1.0f);
    Frames(1);
    BeatMeterThreshold first(1, 1), second(2, 1);
    Engine::Get()->events->Send(first);
    EXPECT_EQ(Player(0)->position, 4);  // not in play yet
    EXPECT_EQ(platform->target, 0.0f);
    Frames(10);
    EXPECT_NEAR(platform->displacement, std::pow(0.9f, 10.0f), 0.02f);
    Player(0)->inPlay = true;
    Engine::Get()->events->Send(first);
    EXPECT_EQ(Player(0)->position, 2);
    EXPECT_EQ(Player(1)->position, 4);  // the left meter's threshold is not his
    EXPECT_TRUE(Of<ParticleEmitter>("BeatMeter1BackBottom")->isActive);
    Engine::Get()->events->Send(second);
    EXPECT_EQ(Player(0)->position, 1);
    manager->matchOver = true;
    Player(0)->MoveTo(4, false);
    EXPECT_EQ(Player(0)->position, 1);
}

using ClockTest = MatchTest;

TEST_F(ClockTest, TheClockShowsMinutesAndSecondsAndWarnsInTheLastThird)
{
    auto shown = [this] { return Of<SpriteText>("TimerMin")->text + ":" + Of<SpriteText>("TimerSec")->text; };
    Timer* timer = Of<Timer>("levelLogic");
    EXPECT_EQ(shown(), "02:00");
    timer->clockRunning = true;
    timer->remaining = 65.9f;
    Frames(1);
    EXPECT_EQ(shown(), "01:05");
    EXPECT_EQ(Of<SpriteText>("TimerSec")->colour, glm::vec4(1.0f));
    timer->remaining = 39.9f;
    Frames(1);
    EXPECT_EQ(Of<SpriteText>("TimerGlow")->colour, glm::vec4(1.0f, 1.0f, 0.0f, 1.0f));
}

TEST_F(ClockTest, TimeUpWithEqualWholeMetersIsADrawAndOpensTheEndScreenLater)
{
    Meter(1)->value = 99.9f;
    Meter(2)->value = 99.2f;
    Of<Timer>("levelLogic")->clockRunning = true;
    Of<Timer>("levelLogic")->remaining = 0.0f;
    Frames(1);
    EXPECT_TRUE(manager->matchOver);
    EXPECT_TRUE(game->paused);
    EXPECT_TRUE(Of<Sprite>("WinArt")->visible);
    EXPECT_EQ(Of<Sprite>("WinArt")->imageName, "victoryScreen_Draw.png");
    Frames(60 * 5 - 2);
    EXPECT_EQ(Engine::Get()->FindSpace("EndGame"), nullptr);
    Frames(3);
    EXPECT_NE(Engine::Get()->FindSpace("EndGame"), nullptr);
}

// Only a full meter wins while the clock runs: 99.5 of 100 is not yet a win.
TEST_F(ClockTest, AFullMeterWinsAtOnceWhileTheClockRuns)
{
    for (int step = 0; step < 2; ++step) {
        Meter(2)->value = 98.5f + static_cast<float>(step);
        Meter(2)->ChangeValue(1.0f);
        EndGameLogic::EndCheck(*Meter(2), false, false);
        EXPECT_EQ(manager->matchOver, step == 1) << Meter(2)->value;
    }
    EXPECT_EQ(Of<Sprite>("WinArt")->imageName, "victoryScreen_P2.png");
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
    std::array<std::string, 8> none = EndGameLogic::StatLines(MatchStats::Player());
    EXPECT_EQ(none[5] + none[7], "--");  // nothing to time, no ball came
}

// Errors 0, a, 2a and 3a, six times each, in milliseconds, 12 late: the median is 12 + 1.5a
// and the interquartile range 1.5a.
std::vector<double> Taps(double a)
{
    std::vector<double> taps;
    for (int i = 0; i < 24; ++i) taps.push_back(12.0 + (i % 4) * a);
    return taps;
}

TEST(CalibrationTest, TheMedianCorrectsTheOffsetUnlessTheTapsAreTooFewOrTooSpread)
{
    Calibration::Estimate steady = Calibration::FromErrors(Taps(26.0), Calibration::kTaps);
    EXPECT_TRUE(steady.accepted);
    EXPECT_DOUBLE_EQ(steady.medianMs, 51.0);
    EXPECT_DOUBLE_EQ(steady.spreadMs, 39.0);
    EXPECT_FLOAT_EQ(Calibration::Corrected(-5.0f, steady), 46.0f);
    std::vector<double> wild = Taps(2.0);
    wild[3] = 480.0;  // one tap a whole beat late moves nothing
    EXPECT_DOUBLE_EQ(Calibration::FromErrors(wild, Calibration::kTaps).medianMs, 15.0);
    Calibration::Estimate spread = Calibration::FromErrors(Taps(27.0), Calibration::kTaps);
    EXPECT_FALSE(spread.accepted);
    EXPECT_EQ(spread.message, "TOO UNEVEN (SPREAD 40.5 MS): NOTHING CHANGED");
    EXPECT_FLOAT_EQ(Calibration::Corrected(-5.0f, spread), -5.0f);
    std::vector<double> few = Taps(2.0);
    few.pop_back();
    EXPECT_FALSE(Calibration::FromErrors(few, Calibration::kTaps).accepted);
    EXPECT_FLOAT_EQ(Calibration::Corrected(490.0f, Calibration::FromErrors(Taps(2.0), 24)), 500.0f);
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
    // Runs frames until the frame that ends past the instant.
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
        return Heard(ball->arrivalTime);
    }
    static int64_t Heard(BeatTime time)
    {
        return *AudioEngine::Get()->Music().InstantOf(time.bar * BeatTime::kSixteenthsPerBar + time.sixteenth);
    }
    // Player presses the key or pad button of a letter at an instant (which may lie ahead:
    // the press is judged once the clock has passed it). A pad button is let go by Frames.
    static void Press(int player, PressEvent::Device device, int letter, int64_t at)
    {
        const GameSettings::Bindings& bindings = GameSettings::Get().bindings[player];
        Input::Get()->StampExactly(at);
        if (device == PressEvent::kPad) return Input::Get()->SetVirtualButton(player, bindings.letterButtons[letter], true);
        Input::Get()->OnKey(bindings.letterKeys[letter], Input::kPress);
        Input::Get()->OnKey(bindings.letterKeys[letter], Input::kRelease);
    }
    void Frames(int count)
    {
        for (int i = 0; i < count; ++i) {
            MatchTest::Frames(1);
            for (int pad = 0; pad < 2; ++pad)
                for (int button = Input::kPadA; button <= Input::kPadY; ++button) Input::Get()->SetVirtualButton(pad, button, false);
        }
    }
    static bool Returned(BehaviorBall* ball, int receiver) { return receiver == 0 ? ball->startLane < 0 : ball->startLane > 0; }
};

TEST_F(HitTest, AServedBallReachesItsReceiverOnTheLaunchTime)
{
    BehaviorBall* ball = Serve(1);
    BeatTime launch = ball->launchTime;
    ASSERT_TRUE(RunUntil([&] { return !ball->waiting; }, 600));
    EXPECT_EQ(ball->startLane, -8);
    EXPECT_EQ(ball->destLane, 4);
    EXPECT_EQ(ball->arrivalTime, launch);
    int64_t launched = FrameClock::Get()->Now();
    ASSERT_TRUE(RunUntil([&] { return ball->startLane + ball->steps == ball->destLane; }, 600));
    EXPECT_NEAR(static_cast<double>(FrameClock::Get()->Now() - launched) / 1e9, 1.5, 1.0 / 60.0);  // 12 sixteenths
    EXPECT_NEAR(*ball->TimingError(FrameClock::Get()->Now()), 0.0, 1.0 / 60.0);
}

// Every press is judged at its own instant, to the microsecond, whoever presses with
// whatever device; the window's edges are the same for all.
TEST_F(HitTest, PressesAreJudgedAtTheirOwnInstantAlikeForKeysAndPads)
{
    struct Case {
        int player;
        PressEvent::Device device;
        double errorMs;
        bool returned;
    };
    const Case cases[] = {
        {0, PressEvent::kKeyboard, 0.0, true},    {1, PressEvent::kPad, 0.0, true},
        {0, PressEvent::kPad, -124.9, true},      {1, PressEvent::kKeyboard, -124.9, true},
        {0, PressEvent::kKeyboard, 124.9, true},  {1, PressEvent::kPad, 124.9, true},
        {0, PressEvent::kPad, -125.1, false},     {1, PressEvent::kKeyboard, -125.1, false},
        {0, PressEvent::kKeyboard, 125.1, false}, {1, PressEvent::kPad, 125.1, false},
        {0, PressEvent::kKeyboard, -37.3, true},  {1, PressEvent::kPad, 52.61, true},
    };
    for (const Case& c : cases) {
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

// A ball is given up the moment no press could still reach it in time: the late edge as
// the clock hears it plus the receiver's input latency. The closing ring meets the spot as
// the arrival beat is heard, less the player's visual delay.
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
        BehaviorBall* ball = Serve(0);
        ASSERT_TRUE(RunPast(HeardAt(ball) - static_cast<int64_t>(visualMs * 1e6f)));
        EXPECT_GT(widestRing(), 50.0f) << visualMs;
        Frames(1);
        EXPECT_EQ(widestRing(), 50.0f) << visualMs;
        Frames(60);
    }
}

// Two presses inside one frame, recorded in the opposite order to the one they happened
// in: the earlier is judged first. A wrong letter first locks the player out.
TEST_F(HitTest, PressesInsideOneFrameAreJudgedInTheOrderTheyHappened)
{
    for (bool wrongFirst : {true, false}) {
        BehaviorBall* ball = Serve(0);
        int64_t heard = HeardAt(ball);
        int32_t faults = MatchStats::Get().players[0].faults;
        Press(0, PressEvent::kKeyboard, wrongFirst ? 0 : 1, heard + 2'000'000);
        Press(0, PressEvent::kKeyboard, wrongFirst ? 1 : 0, heard - 3'000'000);
        ASSERT_TRUE(RunUntil([&] { return Returned(ball, 0) || ball->finished; }, 600));
        EXPECT_EQ(Returned(ball, 0), !wrongFirst);
        EXPECT_EQ(MatchStats::Get().players[0].faults - faults, wrongFirst ? 1 : 0);
        Frames(60);
    }
}

TEST_F(HitTest, AHitInTheWindowGradesReturnsAndFillsTheMeterByItsGrade)
{
    Player(0)->MoveTo(4, false);
    Player(1)->MoveTo(2, false);
    BehaviorBall* ball = Serve(0);
    int64_t heard = HeardAt(ball);
    BeatTime arrival = ball->arrivalTime;
    Press(0, PressEvent::kKeyboard, 0, heard + 50'000'000);
    ASSERT_TRUE(RunUntil([&] { return Returned(ball, 0); }, 600));
    EXPECT_EQ(Of<Sprite>("BillBoardP0")->frameIndex, 1u);  // late by 40 to 60 ms
    EXPECT_EQ(Meter(1)->value, 1.0f);  // half the reward of a perfect hit
    EXPECT_EQ(ball->startLane, -4);
    EXPECT_EQ(ball->destLane, 2);
    EXPECT_EQ(ball->arrivalTime, arrival.AddSixteenths(6));  // an early or late hit stays on the grid
    EXPECT_EQ(ball->serveSide, 1u);
}

TEST_F(HitTest, AWrongLetterOrAnEmptySwingCostsAndOneSwingReturnsOneBall)
{
    Of<BeatDivider>("levelLogic")->denominator = 0;  // without the manager's divisions nothing spaces the two apart
    Meter(2)->value = 10.0f;
    BehaviorBall* first = Serve(1);
    BehaviorBall* second = Serve(1);
    second->letter = 1;
    second->launchTime = first->launchTime;
    int64_t heard = HeardAt(first);
    Press(1, PressEvent::kPad, 2, heard - 300'000'000);  // X, long before: an empty swing
    ASSERT_TRUE(RunUntil([] { return MatchStats::Get().players[1].faults == 1; }, 600));
    EXPECT_EQ(Meter(2)->value, 9.5f);
    Press(1, PressEvent::kKeyboard, 1, heard - 60'000'000);  // B, inside the lock-out: refused
    Frames(1);
    Press(1, PressEvent::kPad, 1, heard + 100'000'000);  // B again: the B ball alone
    ASSERT_TRUE(RunUntil([&] { return first->finished; }, 600));
    EXPECT_TRUE(Returned(second, 1));
    EXPECT_EQ(MatchStats::Get().players[1].Hits(), 1);
    EXPECT_EQ(manager->score0, 1);
}

// Two balls waiting together (as a rainbow pair does) are neither spaced nor lost; a
// platinum ball missed costs seven and a half.
TEST_F(HitTest, BallsWaitingTogetherAreKeptAndAPlatinumMissCostsSevenAndAHalf)
{
    Meter(2)->value = 50.0f;
    BehaviorBall* first = Serve(1);
    BehaviorBall* second = Serve(1);
    first->kind = BehaviorBall::kPlatinum;
    Frames(120);  // still two seconds before they are served
    EXPECT_TRUE(first->waiting && second->waiting);
    EXPECT_FALSE(first->finished || second->finished);
    EXPECT_EQ(manager->score0 + manager->score1, 0);
    ASSERT_TRUE(RunUntil([&] { return first->finished && second->finished; }, 900));
    EXPECT_EQ(Meter(2)->value, 50.0f - 7.5f - 1.0f);
    EXPECT_EQ(Player(1)->lives, 3);
}

// A whole autoplay match from its first division, its music playing in virtual time.
TEST_F(MatchTest, AnAutoplayMatchCountsInItsFirstBallOnTheBeatWithinFiveSecondsAndReachesItsSpecialEvents)
{
    Heard<PlaySoundEvent> sounds;
    Heard<BallReturnedEvent> returns;
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
    for (size_t i = 2; i < shown.size(); ++i) EXPECT_NEAR(shown[i].second - shown[i - 1].second, 30, 1) << words[i];  // a beat apart
    EXPECT_EQ(shown[4].second, firstReturn);  // "GO!" as the first ball is hit
    EXPECT_LT(firstReturn, 5 * 60 + 15);       // within about five seconds of the music's start
    int announced = 0;
    for (const PlaySoundEvent& sound : sounds.events) announced += sound.path.rfind("event:/Announcer/", 0) == 0 ? 1 : 0;
    EXPECT_EQ(announced, GameSettings::Get().eventsPerGame);  // both events before the end
}

// Every swing, return and miss sounds; every return pops the player's sign again, with its
// grade's frame, EARLY or LATE and the streak; a miss clears them and a forced return earns none.
TEST_F(MatchTest, EverySwingReturnAndMissSoundsAndEveryReturnPopsItsSignAgainWithEarlyOrLateAndTheStreak)
{
    Heard<PlaySoundEvent> sounds;
    Transform* sign = Of<Transform>("BillBoardP0");
    const glm::vec2 rest = sign->scale;
    auto returned = [](int player, int grade, float error) {  // as a ball reports a return
        if (grade >= 0) MatchStats::Get().Hit(player, grade, error);
        Engine::Get()->events->Send(BallReturnedEvent(player, grade, error));
    };
    for (int hit = 0; hit < 2; ++hit) {  // PERFECT after PERFECT pops again
        returned(0, 0, 0.004f);
        Frames(1);
        EXPECT_GT(sign->scale.x, rest.x * 1.2f) << hit;
        Frames(20);
        EXPECT_EQ(sign->scale, rest) << hit;
    }
    struct Row {
        int player, grade;  // grade -2: a miss
        float error;
        uint32_t frame;
        const char *timing, *streak;
    };
    const Row rows[] = {{0, -3, 0.0f, 3, "", "2 IN A ROW"},  // the two PERFECTs: on time, no EARLY or LATE
                        {0, 2, -0.05f, 1, "EARLY", "3 IN A ROW"}, {0, 3, 0.1f, 10, "LATE", "4 IN A ROW"},
                        {0, -2, 0.0f, 0, "", ""},                 {1, 1, 0.03f, 7, "LATE", nullptr},
                        {1, -1, 0.0f, 7, "LATE", nullptr}};
    for (const Row& row : rows) {
        std::string side = std::to_string(row.player);
        if (row.grade == -2) {
            MatchStats::Get().Miss(0);
            Engine::Get()->events->Send(BallLostEvent(-4));
        } else if (row.grade >= -1) {
            returned(row.player, row.grade, row.error);
        }
        EXPECT_EQ(Of<Sprite>("BillBoardP" + side)->frameIndex, row.frame) << row.grade;
        EXPECT_EQ(Of<SpriteText>("Timing" + side)->text, row.timing) << row.grade;
        if (row.streak) {
            EXPECT_EQ(Of<SpriteText>("Streak" + side)->text, row.streak) << row.grade;
        }
    }
    Engine::Get()->events->Send(SwingEvent(1, 2));
    std::vector<std::string> paths;
    for (const PlaySoundEvent& sound : sounds.events) paths.push_back(sound.path);
    EXPECT_EQ(paths, (std::vector<std::string>{"event:/Match/HitPerfect", "event:/Match/HitPerfect", "event:/Match/HitGood",
                                               "event:/Match/HitOk", "event:/Match/Miss", "event:/Match/HitGreat",
                                               "event:/Match/Return", "event:/Match/Swing"}));
}

// Two players by script. One on time presses the letter of every ball coming at him at
// its arrival plus his lateness; a masher presses the next letter key every eight frames
// without looking; a tapper only taps the spot he stands on.
class ScriptedPlayerTest : public HitTest {
protected:
    struct Style {
        enum Kind { kOnTime, kMasher, kTapper } kind = kOnTime;
        PressEvent::Device device = PressEvent::kKeyboard;
        double latenessMs = 0.0;
    };
    void Play(const Style (&styles)[2], int frames)
    {
        manager->spawnPaused = false;
        std::set<std::pair<BehaviorBall*, int64_t>> pressed;
        for (int frame = 0; frame < frames && !manager->matchOver; ++frame) {
            int64_t now = FrameClock::Get()->Now();
            for (int player = 0; player < 2; ++player) {
                const Style& style = styles[player];
                const GameSettings::Bindings& keys = GameSettings::Get().bindings[player];
                int position = Player(player)->position;
                if (style.kind == Style::kMasher && frame % 8 == 0) Press(player, PressEvent::kKeyboard, frame / 8 % 4, now);
                if (style.kind == Style::kTapper && frame % 8 == 0) {
                    Input::Get()->OnKey(keys.spotKeys[position == 4 ? 0 : position == 2 ? 1 : 2], Input::kPress);
                    Input::Get()->OnKey(keys.spotKeys[0], Input::kRelease);
                }
                for (BehaviorBall* ball : style.kind == Style::kOnTime ? Balls() : std::vector<BehaviorBall*>()) {
                    bool comingAtMe = player == 0 ? ball->startLane > 0 : ball->startLane < 0;
                    if (!comingAtMe || ball->waiting || ball->finished) continue;
                    int64_t at = Heard(ball->arrivalTime) + static_cast<int64_t>(style.latenessMs * 1e6);
                    // Within the coming frame: the manager may still move an arrival back before.
                    if (at - now < FrameClock::Get()->framePeriod && pressed.insert({ball, at}).second)
                        Press(player, style.device, std::max(ball->letter, 0), at);
                }
            }
            Frames(1);
        }
    }
    const MatchStats::Player& Stats(int player) { return MatchStats::Get().players[player]; }
};

// Mashing, tapping the spot and pressing 130 ms late (past the window's edge) all lose,
// the last two never hitting at all, to a player on time who returns every ball PERFECT.
TEST_F(ScriptedPlayerTest, MashingTappingTheSpotAndPressingLateLoseToPlayingOnTime)
{
    for (Style loser : {Style{Style::kMasher}, Style{Style::kTapper}, Style{Style::kOnTime, PressEvent::kPad, 130.0}}) {
        SCOPED_TRACE(testing::Message() << "style " << loser.kind << " late " << loser.latenessMs);
        Play({{Style::kOnTime}, loser}, 1800);
        EXPECT_EQ(Stats(0).misses + Stats(0).faults, 0);
        EXPECT_EQ(Stats(0).hits[0], Stats(0).Hits());  // every hit PERFECT
        for (float error : Stats(0).errors) EXPECT_LT(std::abs(error), 0.0005f);
        EXPECT_GT(Stats(1).misses, Stats(1).Hits());
        EXPECT_GT(Meter(1)->value, Meter(2)->value + 10.0f);
        if (loser.kind != Style::kMasher) {
            EXPECT_EQ(Stats(1).Hits(), 0);
        }
        MatchStats::Get().Clear();
        Meter(1)->value = Meter(2)->value = 0.0f;
    }
}

} // namespace
