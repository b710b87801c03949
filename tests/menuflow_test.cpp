// The flow around a match in a headless engine with real (silent) music: pausing with the
// countdown and the music hand-over, quitting to the main menu, the options screens and
// the window and sound controls, the main menu's overlays, credits, tutorial pages and
// follow-object data.
#include "audioengine.h"
#include "behaviormeter.h"
#include "controlslogic.h"
#include "credits.h"
#include "endgamelogic.h"
#include "followobject.h"
#include "gamesettings.h"
#include "graphics.h"
#include "matchcontent.h"
#include "matchstats.h"
#include "menucontent.h"
#include "optionslogic.h"
#include "pauselogic.h"
#include "slider.h"
#include "sprite.h"
#include "spritetext.h"
#include "studioeventinstance.h"
#include "transform.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>

namespace {

using namespace testing_content;
using ::testing::ElementsAre;

std::string Knob(const std::string& name, float x, float y, int lower, int upper, int positions)
{
    return Piece(name, x, y, 20, 20,
                 "\"Sprite\": {\"zLayer\": 2}, \"Slider\": {\"lowerBound\": " + std::to_string(lower) + ", \"upperBound\": " +
                     std::to_string(upper) + ", \"subDivisions\": " + std::to_string(positions) + ", \"sliderLength\": 120}");
}

// The options screen: eight toggles, four sliders, the defaults button and the way back.
std::vector<std::string> OptionsEntities(const std::string& back)
{
    std::vector<std::string> entities = {ClickSender(), Piece("options", 0, 0, 1, 1, "\"OptionsLogic\": {}")};
    float y = 200;
    for (const char* name : OptionsLogic::kToggleNames) entities.push_back(ButtonPiece(name, -200, y -= 40));
    entities.push_back(Knob("EventsPerGameSlider", 0, 150, 0, 6, 7));
    entities.push_back(Knob("EventLengthSlider", 0, 100, 32, 256, 8));
    entities.push_back(Knob("EventBallSpawnSlider", 0, 50, 0, 6, 7));
    entities.push_back(Knob("BallSpawnRateSlider", 0, 0, 1, 6, 6));
    entities.push_back(ButtonPiece("DefaultSettingsButton", 0, -100));
    entities.push_back(ButtonPiece("Back", 0, -200, Loader(back, true)));
    entities.push_back(ButtonPiece("Controls", 200, 200, Loader("Controls", false)));
    entities.push_back(Cursor());
    return entities;
}

// The controls screen: every button it listens to, its prompt line and the way back.
std::string ControlsJson()
{
    std::vector<std::string> entities = {ClickSender(), Piece("controls", 0, 0, 1, 1, "\"ControlsLogic\": {}")};
    float y = 250;
    for (const std::string& name : ControlsLogic::ButtonNames()) entities.push_back(ButtonPiece(name, 300, y -= 12));
    for (const char* line : {"Message", "P1Message"})
        entities.push_back(Piece(line, 0, -150, 10, 20, "\"SpriteText\": {\"text\": \"\"}"));
    entities.push_back(ButtonPiece("BackButton", 0, -200, Loader("", true)));
    entities.push_back(Cursor());
    return SpaceJson(12, entities);
}

// The window and sound controls of the pause menu and of the main menu's options.
std::vector<std::string> WindowControls(bool withDefaults)
{
    std::vector<std::string> controls = {Piece("levelLogic", 0, 0, 1, 1, "\"LevelLogic\": {}"),
                                         ButtonPiece("FullScreenToggle", 200, 100),
                                         Knob("MasterSoundSlider", 100, -100, 0, 100, 11)};
    if (withDefaults) controls.push_back(ButtonPiece("DefaultSettingsButton", 200, 0));
    return controls;
}

void WriteFlowContent(const TempContent& content)
{
    WriteMenuSounds(content, true);
    content.Space("game", SpaceJson(0, {Piece("levelLogic", 0, 0, 1, 1, "\"LevelLogic\": {}, \"PauseLogic\": {}")}));
    std::vector<std::string> pause = {ClickSender()};
    for (const std::string& entity : WindowControls(true)) pause.push_back(entity);
    for (const std::string& entity : {ButtonPiece("ResumeButton", 0, 100, Loader("ReturnToGame", true)),
                                      ButtonPiece("Options", 0, 50, Loader("OptionsMenu", false)),
                                      ButtonPiece("Quit", 0, 0, Loader("QuitConfirm", false)), Cursor()})
        pause.push_back(entity);
    content.Space("PauseMenu", SpaceJson(10, pause));
    content.Space("ReturnToGame", SpaceJson(10, {Piece("countdownText", 0, 0, 40, 60, "\"SpriteText\": {\"text\": \"\"}")}));
    content.Space("OptionsMenu", SpaceJson(10, OptionsEntities("PauseMenu")));
    content.Space("QuitConfirm", SpaceJson(30, {ClickSender(), Piece("FadePanel", 0, 0, 10, 10, "\"Sprite\": {\"a\": 0}"),
                                                ButtonPiece("Yes", -100, 0, Loader("MainMenu", true)),
                                                ButtonPiece("No", 100, 0, Loader("", true)), Cursor()}));
    content.Space("MainMenu", SpaceJson(0, {Piece("levelLogic", 0, 0, 1, 1, "\"LevelLogic\": {}, \"MainMenuLogic\": {}"),
                                            ButtonPiece("Options", 0, 0, Loader("MainMenuOptions", false))}));
    std::vector<std::string> options = OptionsEntities("");
    for (const std::string& entity : WindowControls(false)) options.push_back(entity);
    content.Space("MainMenuOptions", SpaceJson(5, options));
    content.Space("Controls", ControlsJson());
    audio_content::AudioFolder(content.root)
        .Bank("click.json", "{\"path\": \"event:/UI/ClickTrack\", \"oneShot\": false, \"tempo\": 100, \"length\": 28.8, "
                            "\"tracks\": [{\"sound\": \"tick.wav\"}]}");
    content.SimpleSpace("MainMenuQuitConfirm", 5);
    content.SimpleSpace("EndGame", 20);
}

class FlowTest : public MenuTest {
protected:
    void PrepareContent() override { WriteFlowContent(content); }
    void TearDown() override
    {
        MenuTest::TearDown();
        GameSettings::Get().Reset();
    }
    static StudioEventInstance* Music(const std::string& path)
    {
        StudioEventInstance* music = AudioEngine::Get()->instances[path];
        if (!music) ADD_FAILURE() << path << " is not playing";
        return music;
    }
    static int Position(const std::string& path)
    {
        int milliseconds = -1;
        if (StudioEventInstance* music = Music(path)) music->GetTimelinePosition(&milliseconds);
        return milliseconds;
    }
    static bool Paused(const std::string& path)
    {
        bool paused = false;
        if (StudioEventInstance* music = Music(path)) music->GetPaused(&paused);
        return paused;
    }
    void OpenControls()
    {
        Open("MainMenu");
        Click("MainMenu", "Options");
        Frames(6);
        Click("MainMenuOptions", "Controls");
        Frames(6);
    }
    static std::string Countdown()
    {
        Entity* text = In("ReturnToGame", "countdownText");
        return text ? text->Get<SpriteText>()->text : "(none)";
    }
};

// ---- Pause ----

TEST_F(FlowTest, EscapeTwiceCountsThreeTwoOneGoOnTheBeatAndPlayResumesWithTheMusicWhereItWas)
{
    Space* game = Open("game");
    PauseLogic* pause = game->FindEntity("levelLogic")->Get<PauseLogic>();
    Frames(120);
    ASSERT_FALSE(Paused("event:/InGame"));
    Key(Input::kKeyEscape);
    EXPECT_TRUE(game->paused);
    EXPECT_TRUE(pause->pauseActive);
    EXPECT_THAT(SpaceNames(), ElementsAre("game", "PauseMenu", "Debug"));
    EXPECT_TRUE(Paused("event:/InGame"));
    EXPECT_FALSE(Paused("event:/PauseMenu"));
    int pausedAt = Position("event:/InGame");
    EXPECT_GT(pausedAt, 1500);
    Frames(90);
    EXPECT_EQ(Position("event:/InGame"), pausedAt);

    for (int round = 0; round < 2; ++round) {  // a second pause shows the same sequence
        if (round == 1) {
            Frames(30);
            Key(Input::kKeyEscape);
            pausedAt = Position("event:/InGame");
        }
        Frames(4);
        Input::Get()->OnKey(Input::kKeyEscape, Input::kPress);
        std::map<std::string, int> shown;  // text -> frame it appeared
        std::map<std::string, int> afterBeat;  // text -> ms of the pause-menu song past its beat then
        int frame = 0, resumed = -1;
        for (; frame < 300 && resumed < 0; ++frame) {
            Frames(1);
            if (frame == 0) Input::Get()->OnKey(Input::kKeyEscape, Input::kRelease);
            std::string text = Countdown();
            if (!shown.count(text) && !text.empty() && In("ReturnToGame", "countdownText")) {
                shown[text] = frame;
                afterBeat[text] = Position("event:/PauseMenu") % 500;
            }
            if (!game->paused) resumed = frame;
        }
        ASSERT_TRUE(shown.count("3") && shown.count("2") && shown.count("1") && shown.count("GO!"));
        EXPECT_LE(shown["3"], 31);  // the first beat after the key
        int start = shown["3"];
        for (const auto& [text, beats] : std::map<std::string, int>{{"2", 1}, {"1", 2}, {"GO!", 3}})
            EXPECT_NEAR(shown[text] - start, 30 * beats, 1) << text;  // 120 beats a minute
        for (const auto& [text, ms] : afterBeat) EXPECT_LT(ms, 40) << text << " came off the beat";
        EXPECT_NEAR(resumed - start, 4 * 30 + 1, 2);  // the update after the fifth beat
        EXPECT_FALSE(pause->pauseActive);
        EXPECT_THAT(SpaceNames(), ElementsAre("game", "Debug"));
        EXPECT_FALSE(Paused("event:/InGame"));
        EXPECT_TRUE(Paused("event:/PauseMenu"));
        EXPECT_NEAR(Position("event:/InGame"), pausedAt, 40);  // at most two frames of play since
        EXPECT_NEAR(Position("event:/PauseMenu"), Position("event:/InGame"), 40);  // moved along, ready for the next pause
    }
}

TEST_F(FlowTest, ThePauseKeyWaitsWhileTheCountdownRunsAndAfterTheMatch)
{
    Space* game = Open("game");
    Key(Input::kKeyEscape);
    Key(Input::kKeyEscape, 30);
    Key(Input::kKeyEscape);  // during the countdown: no pause menu
    EXPECT_EQ(Engine::Get()->FindSpace("PauseMenu"), nullptr);
    Frames(240);
    EXPECT_FALSE(game->paused);
    Open("EndGame");
    Key(Input::kKeyEscape);
    EXPECT_EQ(Engine::Get()->FindSpace("PauseMenu"), nullptr);
    EXPECT_FALSE(game->paused);
}

TEST_F(FlowTest, MinimisingPausesOnceAndTheMenuWaitsForThePlayersReturn)
{
    Space* game = Open("game");
    for (int frame = 0; frame < 120; ++frame) {
        Graphics::Get()->minimized = true;  // what the window reports while it is down
        Frames(1);
    }
    EXPECT_TRUE(game->paused);
    EXPECT_THAT(SpaceNames(), ElementsAre("game", "PauseMenu", "Debug"));
    Frames(10);  // back again: still paused until the player chooses
    EXPECT_THAT(SpaceNames(), ElementsAre("game", "PauseMenu", "Debug"));
}

// The options replace the pause menu and lead back to it; the quit dialog holds the pause
// menu's buttons until its NO; its YES tears the match down.
TEST_F(FlowTest, ThePauseMenuLeadsToTheOptionsAndBackAndItsQuitTearsTheMatchDown)
{
    Space* game = Open("game");
    Key(Input::kKeyEscape, 4);
    Click("PauseMenu", "Options");
    Frames(2);
    EXPECT_THAT(SpaceNames(), ElementsAre("game", "OptionsMenu", "Debug"));
    EXPECT_TRUE(game->paused);
    Frames(3);
    Click("OptionsMenu", "Back");
    Frames(5);
    EXPECT_THAT(SpaceNames(), ElementsAre("game", "PauseMenu", "Debug"));
    Space* pauseMenu = Engine::Get()->FindSpace("PauseMenu");
    Click("PauseMenu", "Quit");
    Frames(5);
    EXPECT_TRUE(pauseMenu->paused);
    Click("QuitConfirm", "No");
    Frames(2);
    EXPECT_FALSE(pauseMenu->paused);
    Click("PauseMenu", "ResumeButton");
    Frames(230);
    EXPECT_FALSE(game->paused);

    Key(Input::kKeyEscape, 4);
    Click("PauseMenu", "Quit");
    Frames(5);
    Click("QuitConfirm", "Yes");
    Frames(80);
    EXPECT_THAT(SpaceNames(), ElementsAre("MainMenu", "Debug"));
    EXPECT_FALSE(Engine::Get()->FindSpace("MainMenu")->paused);
}

// Over either options screen: that screen waits, unseen; a taken key is refused with a
// line and a free one bound; the delays step; Escape gives the options screen back.
TEST_F(FlowTest, TheControlsScreenRebindsRefusesATakenKeyStepsTheDelaysAndLeadsBack)
{
    OpenControls();
    Space* options = Engine::Get()->FindSpace("MainMenuOptions");
    ASSERT_NE(options, nullptr);
    EXPECT_TRUE(options->paused);
    EXPECT_FALSE(options->visible);
    const GameSettings& settings = GameSettings::Get();
    auto message = [] { return In("Controls", "Message")->Get<SpriteText>()->text; };
    Click("Controls", "P1LetterKey0");
    Frames(1);
    Key('M');
    EXPECT_EQ(message(), "REFUSED: M is already bound for player 2");
    EXPECT_EQ(settings.bindings[0].letterKeys[0], 'C');
    Click("Controls", "P1LetterKey0");
    Frames(1);
    Key('Z');
    EXPECT_EQ(message(), "PLAYER 1 LETTER A KEY IS Z");
    EXPECT_EQ(settings.bindings[0].letterKeys[0], 'Z');
    Click("Controls", "P2OffsetUp");
    Click("Controls", "P2Device");
    Click("Controls", "P2OffsetDown");
    Click("Controls", "AudioOffsetUp");
    MatchStats::Get().Clear();
    Click("Controls", "P1LastMatch");
    Frames(1);
    EXPECT_EQ(settings.inputOffsetMs[1][0], 5.0f);
    EXPECT_EQ(settings.inputOffsetMs[1][1], -5.0f);
    EXPECT_EQ(settings.audioOffsetMs, 5.0f);
    EXPECT_EQ(settings.inputOffsetMs[0][0], 0.0f);
    EXPECT_EQ(message(), "LAST MATCH: NEEDS 10 STEADY HITS");
    Key(Input::kKeyEscape, 3);
    EXPECT_THAT(SpaceNames(), ElementsAre("MainMenu", "MainMenuOptions", "Debug"));
    EXPECT_FALSE(options->paused);
    EXPECT_TRUE(options->visible);
}

// A beat of the click track is 36 frames at 100 a minute: tapping every 36 frames keeps one
// distance from the clicks. The first test measures it as the keyboard's delay; a second,
// with it applied, finds the taps on time and leaves the delay where it is.
TEST_F(FlowTest, TheTapTestMeasuresTheDelayOfTheDeviceTappedWithFromTheClickTracksClock)
{
    OpenControls();
    const GameSettings& settings = GameSettings::Get();
    auto tapTest = [this] {
        Click("Controls", "P1TapTest");
        Frames(150);  // the listening bar
        for (size_t tap = 0; tap < Calibration::kTaps; ++tap) Key('C', 35);
        return In("Controls", "P1Message")->Get<SpriteText>()->text;
    };
    EXPECT_THAT(tapTest(), ::testing::EndsWith(": CORRECTED"));
    float measured = settings.inputOffsetMs[0][0];
    EXPECT_NE(measured, 0.0f);
    EXPECT_THAT(tapTest(), ::testing::EndsWith(": CORRECTED"));
    EXPECT_NEAR(settings.inputOffsetMs[0][0], measured, 0.5f);
    EXPECT_EQ(settings.inputOffsetMs[0][1], 0.0f);
}

class EndOfMatchTest : public MatchTest {
protected:
    void PrepareContent() override
    {
        MatchTest::PrepareContent();
        std::string json = GameSpaceJson();
        json.replace(json.find("\"BallManager\": {}"), 17, "\"BallManager\": {}, \"PauseLogic\": {}");
        content.Space("game", json);
    }
};

// Between the winning point and the end screen the match is over: no pause.
TEST_F(EndOfMatchTest, TheEndOfTheMatchTakesThePauseKeyAway)
{
    Meter(1)->value = Meter(1)->maximum;
    EndGameLogic::EndCheck(*Meter(1), true, false);
    EXPECT_FALSE(game->RequireEntity("levelLogic")->Require<PauseLogic>()->PauseAllowed());
    Input::Get()->OnKey(Input::kKeyEscape, Input::kPress);
    Frames(2);
    EXPECT_EQ(Engine::Get()->FindSpace("PauseMenu"), nullptr);
}

// ---- Options ----

TEST_F(FlowTest, TogglesSlidersAndDefaultsEditTheSettingsAndTheScreenShowsThemOnReopening)
{
    Open("MainMenu");  // a new engine starts from the default settings
    GameSettings& settings = GameSettings::Get();
    settings.bButtonEnabled = false;
    settings.ballSpawnRate = 5;
    Click("MainMenu", "Options");
    Frames(5);
    PointAt({400, 250});  // off the first toggle, where the screen puts the cursor
    auto image = [](const char* name) { return In("MainMenuOptions", name)->Get<Sprite>()->imageName; };
    auto knobX = [](const char* name) { return In("MainMenuOptions", name)->Get<Transform>()->translation.x; };
    EXPECT_EQ(image("AButton"), "PauseJack.png");
    EXPECT_EQ(image("BButton"), "Button00.png");  // shown as it is at opening
    EXPECT_FLOAT_EQ(knobX("BallSpawnRateSlider"), 96.0f);  // 5 on 1..6 over 120 units
    EXPECT_TRUE(Engine::Get()->FindSpace("MainMenu")->paused);

    Click("MainMenuOptions", "AButton");
    Click("MainMenuOptions", "PlatinumBallButton");
    EXPECT_FALSE(settings.aButtonEnabled);
    EXPECT_FALSE(settings.platinumBallEnabled);
    EXPECT_EQ(image("AButton"), "Button00.png");
    // A slider writes its setting directly.
    PointAt({40, 150});  // the knob stands at 2 of 0..6
    Press();
    PointAt({80, 150});
    Release();
    EXPECT_EQ(settings.eventsPerGame, 4);

    Click("MainMenuOptions", "Back");
    Frames(5);
    EXPECT_FALSE(Engine::Get()->FindSpace("MainMenu")->paused);
    Click("MainMenu", "Options");
    Frames(5);
    PointAt({400, 250});
    EXPECT_EQ(image("AButton"), "Button00.png");
    EXPECT_FLOAT_EQ(knobX("EventsPerGameSlider"), 80.0f);

    Click("MainMenuOptions", "DefaultSettingsButton");
    EXPECT_TRUE(settings.aButtonEnabled && settings.bButtonEnabled && settings.platinumBallEnabled);
    EXPECT_EQ(settings.eventsPerGame, 2);
    EXPECT_EQ(settings.eventLength, 128);
    EXPECT_EQ(settings.eventBallSpawn, 4);
    EXPECT_EQ(settings.ballSpawnRate, 3);
    EXPECT_EQ(image("BButton"), "PauseJack.png");
    EXPECT_NEAR(knobX("EventLengthSlider"), 3 * 120.0f / 7, 1e-3f);  // 128 on 32..256 in steps of 32
    EXPECT_FLOAT_EQ(knobX("BallSpawnRateSlider"), 48.0f);
}

TEST_F(FlowTest, TheWindowAndSoundControlsFollowTheirSettings)
{
    Open("game");
    Key(Input::kKeyEscape, 4);
    Graphics* graphics = Graphics::Get();
    Entity* toggle = In("PauseMenu", "FullScreenToggle");
    ASSERT_TRUE(graphics->fullscreen);
    Frames(1);
    EXPECT_EQ(toggle->Get<Sprite>()->imageName, "FullScreenButtonOn.png");
    Click("PauseMenu", "FullScreenToggle");
    Frames(1);
    EXPECT_FALSE(graphics->fullscreen);
    EXPECT_EQ(toggle->Get<Sprite>()->imageName, "FullScreenButtonOff.png");

    Entity* knob = In("PauseMenu", "MasterSoundSlider");
    EXPECT_FLOAT_EQ(knob->Get<Transform>()->translation.x, 220.0f);  // 100 % at the end of the track
    PointAt({220, -100});
    Press();
    PointAt({160, -100});
    Release();
    EXPECT_EQ(GameSettings::Get().masterVolumePercent, 50);
    EXPECT_FLOAT_EQ(AudioEngine::Get()->volume, 0.5f);

    Click("PauseMenu", "DefaultSettingsButton");
    Frames(1);
    EXPECT_EQ(GameSettings::Get().masterVolumePercent, 100);
    EXPECT_FLOAT_EQ(knob->Get<Transform>()->translation.x, 220.0f);
    EXPECT_FLOAT_EQ(AudioEngine::Get()->volume, 1.0f);
    EXPECT_TRUE(graphics->fullscreen);
    Click("PauseMenu", "DefaultSettingsButton");  // a full-screen window stays full screen
    EXPECT_TRUE(graphics->fullscreen);
}

// ---- Credits, tutorial, follow object ----

class PagesTest : public MenuTest {
protected:
    void PrepareContent() override
    {
        WriteMenuSounds(content);
        content.Space("CreditsUpdated", SpaceJson(0, {Piece("roll", 0, -900, 533, 1667, "\"Sprite\": {}, \"Credits\": {}")}));
        content.Space("Tutorial", SpaceJson(0, {Piece("TutorialImage1", 0, 0, 1066, 533,
                                                      "\"Sprite\": {\"imageName\": \"Volleyrun Overview Tutorial.png\"}"),
                                                ButtonPiece("PreviousButton", -400, -500),
                                                ButtonPiece("NextButton", 400, -500),
                                                Piece("guide", 0, 0, 1, 1, "\"Tutorial\": {}")}));
        content.Space("Follow", SpaceJson(0, {Piece("leader", 10, 10, 5, 5),
                                              Piece("follower", -50, 20, 5, 5,
                                                    "\"FollowObject\": {\"objectToFollow\": \"leader\", "
                                                    "\"followScale\": true, \"followTranslation\": false}")}));
    }
};

TEST_F(PagesTest, TheCreditsRollOneAndAHalfUnitsAFrameAndHalfThatWhilePaused)
{
    Space* credits = Open("CreditsUpdated");
    Entity* roll = credits->FindEntity("roll");
    float y = roll->Get<Transform>()->translation.y;
    Frames(10);
    EXPECT_FLOAT_EQ(roll->Get<Transform>()->translation.y - y, 15.0f);
    credits->paused = true;
    Frames(10);
    EXPECT_FLOAT_EQ(roll->Get<Transform>()->translation.y - y, 22.5f);
    credits->paused = false;
    roll->paused = true;
    Frames(10);
    EXPECT_FLOAT_EQ(roll->Get<Transform>()->translation.y - y, 30.0f);
}

TEST_F(PagesTest, TheArrowsTurnThePagesRoundAndParkWhereThereIsNoPage)
{
    Space* tutorial = Open("Tutorial");
    auto page = [&] { return tutorial->FindEntity("TutorialImage1")->Get<Sprite>()->imageName; };
    auto arrowY = [&](const char* name) { return tutorial->FindEntity(name)->Get<Transform>()->translation.y; };
    EXPECT_EQ(arrowY("PreviousButton"), -500.0f);  // as placed until the first click
    Click("Tutorial", "NextButton");
    EXPECT_EQ(page(), "Volleyrun Gameplay Tutorial.png");
    EXPECT_EQ(arrowY("PreviousButton"), -230.0f);
    EXPECT_EQ(arrowY("NextButton"), -230.0f);
    Click("Tutorial", "NextButton");
    Click("Tutorial", "NextButton");
    EXPECT_EQ(page(), "Volleyrun Events Tutorial.png");
    EXPECT_EQ(arrowY("NextButton"), -1000.0f);
    Click("Tutorial", "NextButton");  // round to the first page
    EXPECT_EQ(page(), "Volleyrun Overview Tutorial.png");
    EXPECT_EQ(arrowY("PreviousButton"), -1000.0f);
    Click("Tutorial", "PreviousButton");
    EXPECT_EQ(page(), "Volleyrun Events Tutorial.png");
    Click("Tutorial", "PreviousButton");
    EXPECT_EQ(page(), "Volleyrun Hype Bar Tutorial.png");
    EXPECT_EQ(arrowY("NextButton"), -230.0f);
}

TEST_F(PagesTest, FollowObjectIsDataThatLoadsSavesAndCopiesButMovesNothing)
{
    Space* space = Open("Follow");
    Entity* follower = space->FindEntity("follower");
    space->FindEntity("leader")->Get<Transform>()->translation = {300, 300};
    Frames(5);
    EXPECT_EQ(follower->Get<Transform>()->translation, glm::vec2(-50, 20));
    std::unique_ptr<Entity> clone = follower->Clone();
    const FollowObject* follow = clone->Get<FollowObject>();
    EXPECT_TRUE(follow->objectToFollow == "leader" && follow->followScale && !follow->followTranslation);
    space->Save();
    std::string saved = ReadText(space->Path());
    size_t at = saved.find("\"FollowObject\"");
    for (const char* member : {"\"objectToFollow\": \"leader\"", "\"followTranslation\": false", "\"followScale\": true",
                               "\"followRotation\": false"}) {
        at = saved.find(member, at);  // in this order
        ASSERT_NE(at, std::string::npos) << member << " in\n" << saved;
    }
}

} // namespace
