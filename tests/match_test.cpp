#include "beatdivider.h"
#include "behaviormusician.h"
#include "behaviorplatform.h"
#include "endgamelogic.h"
#include "frameclock.h"
#include "gamesettings.h"
#include "input.h"
#include "lifeindicator.h"
#include "matchcontent.h"
#include "matchstats.h"
#include "particleemitter.h"
#include "spritetext.h"
#include "timer.h"

#include <gtest/gtest.h>

namespace {

using testing_content::MatchTest;

// Collects events of one type sent on the engine-wide manager.
template <class Ev>
struct Heard {
    std::vector<Ev> events;
    void On(Ev& event) { events.push_back(event); }
    explicit Heard()
    {
        Engine::Get()->events->AddListener(this, &Heard::On);
        Engine::Get()->events->Update(0.0f);
    }
    ~Heard() { Engine::Get()->events->RemoveListener<Ev>(this); }
};

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

TEST_F(BallManagerTest, SpawnCreditFillsEveryThirtyThreeDivisionsAndAnEmptyFieldAtOnce)
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
    GameSettings::Get().ballSpawnRate = 9;  // outside 1..6: only an empty field gets a ball
    balls = Divisions(60);
    EXPECT_EQ(balls.back(), 3u);
}

TEST_F(BallManagerTest, SpecialEventsStartOnlyAtTheTableCounts)
{
    auto starts = [this] {
        std::vector<int32_t> at;
        for (int32_t count = 0; count < 900; ++count) {
            manager->divisionCounter = count;
            manager->eventCountdown = 0;
            BeatDivisionEvent division(BeatTime(), 4, 0);
            manager->OnDivision(division);
            if (manager->eventCountdown == GameSettings::Get().eventLength) at.push_back(count);
        }
        return at;
    };
    EXPECT_EQ(starts(), (std::vector<int32_t>{388, 644}));
    GameSettings::Get().eventsPerGame = 3;
    EXPECT_EQ(starts(), (std::vector<int32_t>{260, 516, 772}));
    GameSettings::Get().eventsPerGame = 7;
    EXPECT_TRUE(starts().empty());
    GameSettings::Get().eventsPerGame = 2;
    GameSettings::Get().eventsEnabled = false;
    EXPECT_TRUE(starts().empty());
    GameSettings::Get().eventsEnabled = true;
    GameSettings::Get().rainbowBallEnabled = GameSettings::Get().platinumBallEnabled = false;
    starts();
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
    std::vector<BehaviorBall*> balls = Balls();
    EXPECT_EQ(balls[0]->startLane, 8);
    EXPECT_EQ(balls[1]->startLane, 11);
    EXPECT_EQ(balls[1]->arrivalTime, BeatTime(4, 7));
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
    EXPECT_EQ(game->RequireEntity("PlayerScore0")->Get<SpriteText>()->text, "1");
    EXPECT_EQ(Player(1)->lives, 4);
    EXPECT_EQ(game->RequireEntity("LifeIndicator1")->Get<LifeIndicator>()->lives, 4);
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
        BeatDivisionEvent division(BeatTime(), 4, 0);
        manager->OnDivision(division);
        Frames(8);  // the drains run per frame
    }
    EXPECT_EQ(thresholds.events.size(), 4u);  // both levels of both meters during the fill
    EXPECT_EQ(Meter(1)->value, 0.0f);
    EXPECT_TRUE(game->RequireEntity("levelLogic")->Get<Timer>()->clockRunning);
    EXPECT_FALSE(Meter(2)->threshold1Sent);  // re-armed for the match
    EXPECT_FALSE(Meter(1)->drain3);
}

class MeterTest : public MatchTest {};

TEST_F(MeterTest, ThresholdsFireOnceEachOneIncreaseLate)
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
}

TEST_F(MeterTest, ADrainEmptiesOneSegmentAndStopsAtItsEdge)
{
    BehaviorMeter* meter = Meter(2);
    meter->value = 100.0f;
    meter->drain1 = true;
    Frames(400);
    EXPECT_EQ(meter->value, 80.0f);
    meter->drain3 = true;
    Frames(1000);
    EXPECT_EQ(meter->value, 0.0f);
}

class PlayerTest : public MatchTest {};

TEST_F(PlayerTest, SwingsCarryTheSideTheSpotAndTheButton)
{
    Heard<BallHitEvent> hits;
    Player(0)->MoveTo(2);
    Input* input = Input::Get();
    input->OnKey(67, Input::kPress);  // C
    input->SetVirtualButton(1, Input::kPadA, true);
    input->SetVirtualButton(1, Input::kPadX, true);
    input->Poll();
    ASSERT_EQ(hits.events.size(), 2u);
    EXPECT_EQ(hits.events[0].lane, -2);
    EXPECT_EQ(hits.events[0].button, -1);
    EXPECT_EQ(hits.events[1].lane, 4);
    EXPECT_EQ(hits.events[1].button, Input::kPadX);  // the highest face button held
    input->SetVirtualButton(1, Input::kPadY, true);
    input->Poll();  // within the swing interval: refused
    EXPECT_EQ(hits.events.size(), 2u);
    Frames(8);
    input->SetVirtualButton(1, Input::kPadB, true);
    input->Poll();
    ASSERT_EQ(hits.events.size(), 3u);
    EXPECT_EQ(hits.events[2].button, Input::kPadY);
}

TEST_F(PlayerTest, APausedMatchTakesNoSwingsAndNoSteps)
{
    Heard<BallHitEvent> hits;
    game->paused = true;  // under the pause menu or the map editor
    Input* input = Input::Get();
    input->OnKey(67, Input::kPress);  // C
    input->OnKey(81, Input::kPress);  // Q: spot 4
    input->SetVirtualButton(1, Input::kPadA, true);
    Player(0)->MoveTo(2);
    input->Poll();
    EXPECT_TRUE(hits.events.empty());
    EXPECT_EQ(Player(0)->position, 2);
}

TEST_F(PlayerTest, ThresholdsMovePlayersInPlayAndAlwaysSendThePlatformHome)
{
    BehaviorPlatform* platform = game->RequireEntity("Platform0Pos2")->Get<BehaviorPlatform>();
    platform->GlideTo(1.0f, 1.0f);
    Frames(1);
    BeatMeterThreshold first(1, 1);
    Engine::Get()->events->Send(first);
    EXPECT_EQ(Player(0)->position, 4);  // not in play yet
    EXPECT_EQ(platform->target, 0.0f);
    Frames(10);
    EXPECT_NEAR(platform->displacement, 0.9f * 0.9f * 0.9f * 0.9f * 0.9f * 0.9f * 0.9f * 0.9f * 0.9f * 0.9f, 0.02f);

    Player(0)->inPlay = true;
    Engine::Get()->events->Send(first);
    EXPECT_EQ(Player(0)->position, 2);
    EXPECT_EQ(Player(1)->position, 4);  // the left meter's threshold is not his
    EXPECT_TRUE(game->RequireEntity("BeatMeter1BackBottom")->Get<ParticleEmitter>()->isActive);
    BeatMeterThreshold second(2, 1);
    Engine::Get()->events->Send(second);
    EXPECT_EQ(Player(0)->position, 1);
    manager->matchOver = true;
    Player(0)->MoveTo(4);
    EXPECT_EQ(Player(0)->position, 1);
}

TEST_F(PlayerTest, MusiciansHoldTheSwingIntervalAndShowTheirState)
{
    BehaviorMusician* musician = game->RequireEntity("Player1Pos4")->Get<BehaviorMusician>();
    Frames(20);
    EXPECT_TRUE(musician->TrySwing());
    Frames(6);  // 0.1 s
    EXPECT_FALSE(musician->TrySwing());
    Frames(2);
    EXPECT_EQ(musician->state, BehaviorMusician::kSpotlight);  // back, lit, after 0.125 s
    musician->Light(64);
    EXPECT_EQ(musician->state, BehaviorMusician::kIdle);
    EXPECT_NEAR(musician->owner->Get<Sprite>()->colour.r, 64.0f / 255.0f, 1e-6f);
    EXPECT_EQ(musician->owner->Get<Sprite>()->imageName, "Idle.png");
}

class ClockTest : public MatchTest {
protected:
    std::string Shown()
    {
        return game->RequireEntity("TimerMin")->Get<SpriteText>()->text + ":" +
               game->RequireEntity("TimerSec")->Get<SpriteText>()->text;
    }
};

TEST_F(ClockTest, TheClockShowsMinutesAndSecondsAndWarnsInTheLastThird)
{
    Timer* timer = game->RequireEntity("levelLogic")->Get<Timer>();
    EXPECT_EQ(Shown(), "02:00");
    timer->clockRunning = true;
    timer->remaining = 65.9f;
    Frames(1);
    EXPECT_EQ(Shown(), "01:05");
    EXPECT_EQ(game->RequireEntity("TimerSec")->Get<SpriteText>()->colour, glm::vec4(1.0f));
    timer->remaining = 39.9f;
    Frames(1);
    EXPECT_EQ(game->RequireEntity("TimerGlow")->Get<SpriteText>()->colour, glm::vec4(1.0f, 1.0f, 0.0f, 1.0f));
}

TEST_F(ClockTest, TimeUpWithEqualWholeMetersIsADrawAndOpensTheEndScreenLater)
{
    Meter(1)->value = 99.9f;
    Meter(2)->value = 99.2f;
    Timer* timer = game->RequireEntity("levelLogic")->Get<Timer>();
    timer->clockRunning = true;
    timer->remaining = 0.0f;
    Frames(1);
    EXPECT_TRUE(manager->matchOver);
    EXPECT_TRUE(game->paused);
    Sprite* art = game->RequireEntity("WinArt")->Get<Sprite>();
    EXPECT_TRUE(art->visible);
    EXPECT_EQ(art->imageName, "victoryScreen_Draw.png");
    Frames(60 * 5 - 2);
    EXPECT_EQ(Engine::Get()->FindSpace("EndGame"), nullptr);
    Frames(3);
    EXPECT_NE(Engine::Get()->FindSpace("EndGame"), nullptr);
}

TEST(EndScreenTest, StatisticsReadAsHitsByGradeMissesTimingStreakAndAccuracy)
{
    MatchStats stats;
    for (float error : {-0.010f, -0.030f, 0.012f, -0.050f, -0.070f, 0.005f}) stats.Hit(0, MatchStats::GradeOf(error), error);
    stats.Miss(0);
    stats.Hit(0, 0, 0.0f);
    stats.Miss(0);
    EXPECT_EQ(EndGameLogic::StatLines(stats.players[0]),
              (std::array<std::string, 8>{"4", "1", "1", "1", "2", "20 ms early", "6", "78%"}));
    stats.Hit(1, 3, 0.0804f);
    EXPECT_EQ(EndGameLogic::StatLines(stats.players[1])[5], "80 ms late");
    EXPECT_EQ(EndGameLogic::StatLines(MatchStats::Player())[5], "-");  // nothing to time
    EXPECT_EQ(EndGameLogic::StatLines(MatchStats::Player())[7], "-");  // no ball came
}

TEST_F(ClockTest, AFullMeterWinsAtOnceWhileTheClockRuns)
{
    Meter(2)->value = 99.0f;
    Meter(2)->ChangeValue(2.0f);
    EndGameLogic::EndCheck(*Meter(2), false, false);
    EXPECT_EQ(game->RequireEntity("WinArt")->Get<Sprite>()->imageName, "victoryScreen_P2.png");
    EXPECT_TRUE(manager->matchOver);
}

} // namespace

namespace {

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
        for (int i = 0; i < frames; ++i) {
            if (condition()) return true;
            Frames(1);
        }
        return condition();
    }
    // A normal ball lettered A served toward player (0 or 1), reaching him two bars from now.
    BehaviorBall* Serve(int player)
    {
        manager->serveSide = player == 0 ? 0 : 1;
        BeatTime now = AudioEngine::Get()->DownbeatTime();
        BehaviorBall* ball = manager->SpawnBall(0, BeatTime(now.bar + 2, 0));
        ball->letter = 0;
        return ball;
    }
    // Runs until the ball is in flight at the given timing error (seconds, late positive).
    bool FlyUntilError(BehaviorBall* ball, float error)
    {
        return RunUntil([&] { return !ball->waiting && ball->TimingError() >= error; }, 600);
    }
    static void Swing(int lane, int button)
    {
        Engine::Get()->events->Send(BallHitEvent(lane, button));
    }
    uint32_t Billboard(int player)
    {
        return game->RequireEntity(player == 0 ? "BillBoardP0" : "BillBoardP1")->Get<Sprite>()->frameIndex;
    }
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
    double flight = static_cast<double>(FrameClock::Get()->Now() - launched) / 1e9;
    EXPECT_NEAR(flight, 1.5, 1.0 / 60.0);  // 12 sixteenths after the launching division
    EXPECT_NEAR(ball->TimingError(), 0.0, 1.0 / 60.0);
}

TEST_F(HitTest, AHitInTheWindowGradesReturnsAndFillsTheMeter)
{
    Player(0)->MoveTo(4);
    Player(1)->MoveTo(2);
    BehaviorBall* ball = Serve(0);
    ASSERT_TRUE(FlyUntilError(ball, 0.04f));
    float error = ball->TimingError();
    ASSERT_LT(error, 0.06f);
    BeatTime arrival = ball->arrivalTime;
    Swing(-4, -1);
    EXPECT_EQ(Billboard(0), 1u);  // late by 40 to 60 ms
    EXPECT_EQ(Meter(1)->value, 2.0f);
    EXPECT_EQ(ball->startLane, -4);
    EXPECT_EQ(ball->destLane, 2);
    EXPECT_EQ(ball->arrivalTime, arrival.AddSixteenths(6));
    EXPECT_EQ(ball->serveSide, 1u);
}

TEST_F(HitTest, ASwingTooLateOrWithTheWrongButtonChangesNothing)
{
    BehaviorBall* ball = Serve(1);
    ASSERT_TRUE(FlyUntilError(ball, -0.05f));
    Swing(4, 1);  // B on a ball lettered A
    EXPECT_EQ(ball->startLane, -8);
    ASSERT_TRUE(FlyUntilError(ball, 0.13f));
    Swing(4, 0);
    EXPECT_EQ(ball->startLane, -8);
    EXPECT_EQ(Meter(2)->value, 0.0f);
    EXPECT_TRUE(ball->finished);  // it went past him
    EXPECT_EQ(manager->score0, 1);
}

TEST_F(HitTest, TheWrongButtonCountsWhenAnotherBallArrivesWithIt)
{
    // Without the manager's divisions nothing spaces the two apart.
    game->RequireEntity("levelLogic")->Get<BeatDivider>()->denominator = 0;
    BehaviorBall* first = Serve(1);
    BehaviorBall* second = Serve(1);
    second->letter = 1;
    second->launchTime = first->launchTime;
    ASSERT_TRUE(FlyUntilError(first, -0.02f));
    ASSERT_EQ(first->destLane, second->destLane);
    Swing(4, 1);
    EXPECT_EQ(first->startLane, 4);
    EXPECT_EQ(second->startLane, 4);
}

TEST_F(HitTest, BallsWaitingTogetherAreNeitherSpacedNorLost)
{
    BehaviorBall* first = Serve(1);
    BehaviorBall* second = Serve(1);  // a rainbow pair waits like this too
    Frames(120);  // still two seconds before they are served
    EXPECT_TRUE(first->waiting && second->waiting);
    EXPECT_FALSE(first->finished || second->finished);
    EXPECT_EQ(manager->score0 + manager->score1, 0);
}

TEST_F(HitTest, AnEarlyHitStaysOnTheSixteenthGrid)
{
    BehaviorBall* ball = Serve(1);
    ASSERT_TRUE(FlyUntilError(ball, -0.11f));
    ASSERT_EQ(ball->startLane + ball->steps - ball->destLane, -1);  // one lane before him
    BeatTime arrival = ball->arrivalTime;
    Swing(4, -1);  // the keyboard has one key: any letter
    EXPECT_EQ(ball->steps, 1);
    EXPECT_EQ(ball->arrivalTime, arrival.AddSixteenths(8));
}

TEST_F(HitTest, APlatinumMissCostsSevenAndAHalf)
{
    Meter(2)->value = 50.0f;
    BehaviorBall* ball = Serve(1);
    ball->kind = BehaviorBall::kPlatinum;
    ASSERT_TRUE(RunUntil([&] { return ball->finished; }, 900));
    EXPECT_EQ(Meter(2)->value, 42.5f);
    EXPECT_EQ(Player(1)->lives, 4);
}

TEST_F(HitTest, AutoplayReturnsEveryBallOnTheBeat)
{
    GameSettings::autoplay = true;
    BehaviorBall* ball = Serve(0);
    ASSERT_TRUE(RunUntil([&] { return !ball->waiting && ball->startLane < 0; }, 900));
    ASSERT_TRUE(RunUntil([&] { return ball->startLane > 0; }, 900));
    EXPECT_FALSE(ball->finished);
    EXPECT_EQ(Meter(1)->value, 2.0f);
    EXPECT_EQ(Meter(2)->value, 2.0f);
    GameSettings::autoplay = false;
}

} // namespace

namespace {

// Keyboard players: each presses his key when a ball coming at him is `lateness` seconds
// past its musical moment, as closely as whole frames allow.
class KeyboardPlayerTest : public HitTest {
protected:
    int Play(float lateness, int frames)
    {
        manager->spawnPaused = false;
        int swings = 0;
        for (int frame = 0; frame < frames; ++frame) {
            for (int player = 0; player < 2; ++player) {
                int key = player == 0 ? 67 : 77;  // C, M
                Input::Get()->OnKey(key, Input::kRelease);
                for (BehaviorBall* ball : Balls()) {
                    bool comingAtMe = player == 0 ? ball->startLane > 0 : ball->startLane < 0;
                    // A late player also swings at balls that were just judged lost.
                    if (!comingAtMe || ball->waiting) continue;
                    float error = ball->TimingError();
                    if (error >= lateness - 1.0f / 120.0f && error < lateness + 1.0f / 120.0f) {
                        Input::Get()->OnKey(key, Input::kPress);
                        ++swings;
                        break;
                    }
                }
            }
            Frames(1);
        }
        return swings;
    }
};

TEST_F(KeyboardPlayerTest, PressingOnTheBeatReturnsBallsAndFillsMeters)
{
    int swings = Play(0.0f, 1200);
    EXPECT_GT(swings, 8);
    EXPECT_GT(Meter(1)->value + Meter(2)->value, 2.0f * static_cast<float>(swings) - 1.0f);
    EXPECT_EQ(manager->score0 + manager->score1, 0);  // nobody missed
}

TEST_F(KeyboardPlayerTest, PressingThirteenHundredthsLateNeverHits)
{
    int swings = Play(0.13f, 1200);
    EXPECT_GT(swings, 3);
    EXPECT_EQ(Meter(1)->value + Meter(2)->value, 0.0f);
    EXPECT_GT(manager->score0 + manager->score1, 3);
}

} // namespace
