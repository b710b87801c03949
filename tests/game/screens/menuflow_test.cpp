// The flow around a match in a headless engine with silent music: pausing with its countdown and music hand-over,
// quitting to the main menu, the options and controls screens.
#include "audioengine.h"
#include "controlslogic.h"
#include "gamesettings.h"
#include "graphics.h"
#include "matchstats.h"
#include "menucontent.h"
#include "optionslogic.h"
#include "sprite.h"
#include "spritetext.h"
#include "studioeventinstance.h"
#include "transform.h"
#include "window.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>

namespace volleyrun {

namespace {

using namespace testing_content;
using ::testing::ElementsAre;

std::string Knob(const std::string& name, float x, float y, int lower, int upper, int positions)
{
    return Piece(name, x, y, 20, 20,
                 "\"Sprite\": {\"zLayer\": 2}, \"Slider\": {\"lowerBound\": " + std::to_string(lower) + ", \"upperBound\": " +
                     std::to_string(upper) + ", \"subDivisions\": " + std::to_string(positions) + ", \"sliderLength\": 120}");
}

// The options screen: eight toggles, four sliders, the defaults button, the controls and the way back;
// over the main menu, the window and sound controls as well.
std::string OptionsJson(const std::string& back)
{
    std::vector<std::string> entities = {ClickSender(), Piece("options", 0, 0, 1, 1, "\"OptionsLogic\": {}")};
    float y = 200;
    for (const char* name : OptionsLogic::kToggleNames) entities.push_back(ButtonPiece(name, -200, y -= 40));
    entities.insert(entities.end(), {Knob("EventsPerGameSlider", 0, 150, 0, 6, 7), Knob("EventLengthSlider", 0, 100, 32, 256, 8),
                                     Knob("EventBallSpawnSlider", 0, 50, 0, 6, 7), Knob("BallSpawnRateSlider", 0, 0, 1, 6, 6),
                                     ButtonPiece("DefaultSettingsButton", 0, -100),
                                     ButtonPiece("Back", 0, -200, Loader(back, true)),
                                     ButtonPiece("Controls", 200, 200, Loader("Controls", false)), Cursor()});
    if (back.empty())
        entities.insert(entities.end(), {Piece("levelLogic", 0, 0, 1, 1, "\"LevelLogic\": {}"),
                                         ButtonPiece("FullScreenToggle", 200, 100),
                                         Knob("MasterSoundSlider", 100, -100, 0, 100, 11)});
    return SpaceJson(back.empty() ? 5 : 10, entities);
}

// The controls screen: every button it listens to, its prompt lines and the way back.
std::string ControlsJson()
{
    std::vector<std::string> entities = {ClickSender(), Piece("controls", 0, 0, 1, 1, "\"ControlsLogic\": {}")};
    float y = 250;
    for (const std::string& name : ControlsLogic::ButtonNames()) entities.push_back(ButtonPiece(name, 300, y -= 12));
    for (const char* line : {"Message", "P1Message"})
        entities.push_back(Piece(line, 0, -150, 10, 20, "\"SpriteText\": {\"text\": \"\"}"));
    entities.insert(entities.end(), {ButtonPiece("BackButton", 0, -200, Loader("", true)), Cursor()});
    return SpaceJson(12, entities);
}

class FlowTest : public MenuTest {
protected:
    void PrepareContent() override
    {
        WriteMenuSounds(content, true);
        content.Space("game", SpaceJson(0, {Piece("levelLogic", 0, 0, 1, 1, "\"LevelLogic\": {}, \"PauseLogic\": {}")}));
        content.Space("PauseMenu", SpaceJson(10, {ClickSender(), Piece("levelLogic", 0, 0, 1, 1, "\"LevelLogic\": {}"),
                                                  ButtonPiece("FullScreenToggle", 200, 100),
                                                  Knob("MasterSoundSlider", 100, -100, 0, 100, 11),
                                                  ButtonPiece("DefaultSettingsButton", 200, 0),
                                                  ButtonPiece("ResumeButton", 0, 100, Loader("ReturnToGame", true)),
                                                  ButtonPiece("Options", 0, 50, Loader("OptionsMenu", false)),
                                                  ButtonPiece("Quit", 0, 0, Loader("QuitConfirm", false)), Cursor()}));
        content.Space("ReturnToGame", SpaceJson(10, {Piece("countdownText", 0, 0, 40, 60, "\"SpriteText\": {\"text\": \"\"}")}));
        content.Space("OptionsMenu", OptionsJson("PauseMenu"));
        content.Space("QuitConfirm", SpaceJson(30, {ClickSender(), Piece("FadePanel", 0, 0, 10, 10, "\"Sprite\": {\"a\": 0}"),
                                                    ButtonPiece("Yes", -100, 0, Loader("MainMenu", true)),
                                                    ButtonPiece("No", 100, 0, Loader("", true)), Cursor()}));
        content.Space("MainMenu", SpaceJson(0, {Piece("levelLogic", 0, 0, 1, 1, "\"LevelLogic\": {}, \"MainMenuLogic\": {}"),
                                                ButtonPiece("Options", 0, 0, Loader("MainMenuOptions", false))}));
        content.Space("MainMenuOptions", OptionsJson(""));
        content.Space("Controls", ControlsJson());
        audio_content::AudioFolder(content.root)
            .Bank("click.json", "{\"path\": \"event:/UI/ClickTrack\", \"oneShot\": false, \"tempo\": 100, \"length\": 28.8, "
                                "\"tracks\": [{\"sound\": \"tick.wav\"}]}");
        content.SimpleSpace("EndGame", 20);
    }
    void TearDown() override { MenuTest::TearDown(); GameSettings::Get().Reset(); }
    // Where a song stands in milliseconds (-1: not playing), and whether it is paused.
    static int Position(const std::string& path)
    {
        int milliseconds = -1;
        if (StudioEventInstance* music = AudioEngine::Get()->instances[path]) music->GetTimelinePosition(&milliseconds);
        return milliseconds;
    }
    static bool Paused(const std::string& path)
    {
        bool paused = false;
        if (StudioEventInstance* music = AudioEngine::Get()->instances[path]) music->GetPaused(&paused);
        return paused;
    }
    void OpenControls() { Open("MainMenu"); Click("MainMenu", "Options", 6); Click("MainMenuOptions", "Controls", 6); }
};

TEST_F(FlowTest, EscapeTwiceCountsThreeTwoOneGoOnTheBeatAndPlayResumesWithTheMusicWhereItWas)
{
    Space* game = Open("game");
    Frames(120);
    Key(Input::kKeyEscape);
    EXPECT_THAT(SpaceNames(), ElementsAre("game", "PauseMenu", "Debug"));
    EXPECT_EQ(std::pair(Paused("event:/InGame"), Paused("event:/PauseMenu")), std::pair(true, false));
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
        std::map<std::string, int> shown, afterBeat;  // text -> frame it appeared, ms of the pause song past its beat
        int resumed = -1;
        for (int frame = 0; frame < 300 && resumed < 0; ++frame) {
            Frames(1);
            if (frame == 0) Input::Get()->OnKey(Input::kKeyEscape, Input::kRelease);
            Entity* text = In("ReturnToGame", "countdownText");
            std::string now = text ? text->Get<SpriteText>()->text : "";
            if (!now.empty() && shown.emplace(now, frame).second) afterBeat[now] = Position("event:/PauseMenu") % 500;
            if (!game->paused) resumed = frame;
        }
        ASSERT_TRUE(shown.count("3") && shown.count("2") && shown.count("1") && shown.count("GO!"));
        EXPECT_LE(shown["3"], 31);  // the first beat after the key
        int start = shown["3"];
        for (const auto& [text, beats] : std::map<std::string, int>{{"2", 1}, {"1", 2}, {"GO!", 3}})
            EXPECT_NEAR(shown[text] - start, 30 * beats, 1) << text;  // 120 beats a minute
        for (const auto& [text, ms] : afterBeat) EXPECT_LT(ms, 40) << text << " came off the beat";
        EXPECT_NEAR(resumed - start, 4 * 30 + 1, 2);  // the update after the fifth beat
        EXPECT_THAT(SpaceNames(), ElementsAre("game", "Debug"));
        EXPECT_EQ(std::pair(Paused("event:/InGame"), Paused("event:/PauseMenu")), std::pair(false, true));
        EXPECT_NEAR(Position("event:/InGame"), pausedAt, 40);  // at most two frames of play since
        EXPECT_NEAR(Position("event:/PauseMenu"), Position("event:/InGame"), 40);  // moved along, ready for the next pause
    }
}

TEST_F(FlowTest, ThePauseKeyWaitsWhileTheCountdownRunsAndAfterTheMatchAndMinimisingPausesOnce)
{
    Space* game = Open("game");
    Key(Input::kKeyEscape);
    Key(Input::kKeyEscape, 30);
    Key(Input::kKeyEscape);  // during the countdown: no pause menu
    EXPECT_EQ(Engine::Get()->FindSpace("PauseMenu"), nullptr);
    Frames(110);
    EXPECT_TRUE(game->paused);  // the count of four goes on, a beat at a time
    Frames(130);
    for (int frame = 0; frame < 120; ++frame) {
        Window::Get()->minimized = true;  // what the window reports while it is down
        Frames(1);
    }
    Window::Get()->minimized = false;
    EXPECT_TRUE(game->paused);
    Frames(10);  // back again: still paused until the player chooses
    EXPECT_THAT(SpaceNames(), ElementsAre("game", "PauseMenu", "Debug"));
    Click("PauseMenu", "ResumeButton", 240);
    Open("EndGame");
    Key(Input::kKeyEscape);
    EXPECT_EQ(Engine::Get()->FindSpace("PauseMenu"), nullptr);
    EXPECT_FALSE(game->paused);
}

// The options replace the pause menu and lead back; the quit dialog holds its buttons until NO; YES ends the match.
TEST_F(FlowTest, ThePauseMenuLeadsToTheOptionsAndBackAndItsQuitTearsTheMatchDown)
{
    Space* game = Open("game");
    Key(Input::kKeyEscape, 4);
    Click("PauseMenu", "Options", 5);
    EXPECT_THAT(SpaceNames(), ElementsAre("game", "OptionsMenu", "Debug"));
    Click("OptionsMenu", "Back", 5);
    Space* pauseMenu = Engine::Get()->FindSpace("PauseMenu");
    ASSERT_NE(pauseMenu, nullptr);
    EXPECT_TRUE(game->paused);
    Click("PauseMenu", "Quit", 5);
    EXPECT_TRUE(pauseMenu->paused);
    Click("QuitConfirm", "No", 2);
    EXPECT_FALSE(pauseMenu->paused);
    Click("PauseMenu", "Quit", 5);
    Click("QuitConfirm", "Yes", 80);
    EXPECT_THAT(SpaceNames(), ElementsAre("MainMenu", "Debug"));
    EXPECT_FALSE(Engine::Get()->FindSpace("MainMenu")->paused);
}

// Over either options screen, which waits unseen. Tapping every 36 frames (a beat of the 100-a-minute click track)
// keeps one distance from the clicks, measured as the keyboard's delay; a second test with it applied leaves it. A
// taken key is refused with a line, a free one bound; the delays step; Escape gives the options screen back.
TEST_F(FlowTest, TheControlsScreenMeasuresTheTapDelayRebindsRefusesATakenKeyStepsTheDelaysAndLeadsBack)
{
    OpenControls();
    Space* options = Engine::Get()->FindSpace("MainMenuOptions");
    EXPECT_TRUE(options->paused && !options->visible);
    const GameSettings& settings = GameSettings::Get();
    auto tapTest = [this](int unevenFrames) {
        Click("Controls", "P1TapTest", 150);  // then the listening bar
        for (size_t tap = 0; tap < Calibration::kTaps; ++tap) Key('C', 35 + (tap % 2 ? unevenFrames : -unevenFrames));
        return In("Controls", "P1Message")->Get<SpriteText>()->text;
    };
    EXPECT_THAT(tapTest(0), ::testing::EndsWith(": CORRECTED"));
    float measured = settings.inputOffsetMs[0][0];
    EXPECT_NE(measured, 0.0f);
    EXPECT_THAT(tapTest(0), ::testing::EndsWith(": CORRECTED"));
    EXPECT_THAT(tapTest(6), ::testing::StartsWith("TOO UNEVEN"));  // and the delay stays, as checked below
    auto message = [] { return In("Controls", "Message")->Get<SpriteText>()->text; };
    const struct { char key; const char* said; char bound; } rebinds[] = {
        {'M', "REFUSED: M is already bound for player 2", 'C'}, {'Z', "PLAYER 1 LETTER A KEY IS Z", 'Z'}};
    for (const auto& rebind : rebinds) {
        Click("Controls", "P1LetterKey0", 1);
        Key(rebind.key);
        EXPECT_EQ(message(), rebind.said);
        EXPECT_EQ(settings.bindings[0].letterKeys[0], rebind.bound);
    }
    for (const char* button : {"P2OffsetUp", "P2Device", "P2OffsetDown", "AudioOffsetUp"}) Click("Controls", button);
    MatchStats::Get().Clear();
    Click("Controls", "P1LastMatch", 1);
    EXPECT_NEAR(settings.inputOffsetMs[0][0], measured, 0.5f);
    EXPECT_EQ(std::tuple(settings.inputOffsetMs[1][0], settings.inputOffsetMs[1][1], settings.inputOffsetMs[0][1],
                         settings.audioOffsetMs), std::tuple(5.0f, -5.0f, 0.0f, 5.0f));
    EXPECT_EQ(message(), "LAST MATCH: NEEDS 10 STEADY HITS");
    Key(Input::kKeyEscape, 3);
    EXPECT_THAT(SpaceNames(), ElementsAre("MainMenu", "MainMenuOptions", "Debug"));
    EXPECT_TRUE(!options->paused && options->visible);
    EXPECT_TRUE(Engine::Get()->FindSpace("MainMenu")->paused);  // under the options
}

// Toggles and the sound slider write their settings; the defaults button resets them and the screen; full screen stays.
TEST_F(FlowTest, TheOptionsAndTheSoundSliderWriteTheirSettingsAndDefaultsResetThem)
{
    GameSettings& settings = GameSettings::Get();
    OpenControls();
    Key(Input::kKeyEscape, 3);
    auto image = [](const char* name) { return In("MainMenuOptions", name)->Get<Sprite>()->imageName; };
    auto knobX = [](const char* name) { return In("MainMenuOptions", name)->Get<Transform>()->translation.x; };
    Click("MainMenuOptions", "AButton");
    EXPECT_FALSE(settings.aButtonEnabled);
    EXPECT_EQ(image("AButton"), "Button00.png");
    settings.eventsPerGame = 4;
    settings.ballSpawnRate = 5;
    Click("MainMenuOptions", "DefaultSettingsButton");
    EXPECT_EQ(settings, GameSettings());
    EXPECT_EQ(image("AButton"), "PauseJack.png");
    EXPECT_NEAR(knobX("EventLengthSlider"), 3 * 120.0f / 7, 1e-3f);  // 128 on 32..256 in steps of 32
    EXPECT_FLOAT_EQ(knobX("BallSpawnRateSlider"), 48.0f);
    const Graphics& graphics = *Graphics::Get();
    auto framebuffer = [&graphics] { return std::pair(graphics.width, graphics.height); };
    Click("MainMenuOptions", "FullScreenToggle", 1);
    EXPECT_EQ(image("FullScreenToggle"), "FullScreenButtonOff.png");
    EXPECT_EQ(framebuffer(), std::pair(1800, 1012));  // the window a 1920 x 1080 monitor gets
    Drag({220, -100}, {160, -100});  // the knob: 100 % at the end of the track
    Release();
    EXPECT_FLOAT_EQ(AudioEngine::Get()->volume, 0.5f);
    Click("MainMenuOptions", "DefaultSettingsButton", 1);
    EXPECT_FLOAT_EQ(knobX("MasterSoundSlider"), 220.0f);
    EXPECT_FLOAT_EQ(AudioEngine::Get()->volume, 1.0f);
    EXPECT_TRUE(Window::Get()->fullscreen);
    EXPECT_EQ(framebuffer(), std::pair(1920, 1080));
    Click("MainMenuOptions", "DefaultSettingsButton");  // again: full screen stays
    EXPECT_TRUE(Window::Get()->fullscreen);
}

} // namespace

} // namespace volleyrun
