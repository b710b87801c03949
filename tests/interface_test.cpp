// The pointer-driven interface in a headless engine: the hit test, buttons, the cursor
// with D-pad navigation, sliders, space loaders and the hover decoration.
#include "button.h"
#include "gameerror.h"
#include "graphics.h"
#include "hover.h"
#include "imagetestfiles.h"
#include "menucontent.h"
#include "mouse.h"
#include "mouseclickeventsender.h"
#include "slider.h"
#include "spaceloader.h"
#include "spritetext.h"
#include "sprite.h"
#include "transform.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using namespace testing_content;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

// A scale equal to (w, h) but for float rounding of the hover factor.
::testing::AssertionResult ScaleIs(Entity* entity, float w, float h)
{
    glm::vec2 scale = entity->Get<Transform>()->scale;
    if (std::fabs(scale.x - w) < 1e-3f && std::fabs(scale.y - h) < 1e-3f) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << entity->name << " is " << scale.x << " x " << scale.y << ", not " << w << " x " << h;
}

glm::vec2 At(Entity* entity) { return entity->Get<Transform>()->translation; }

std::vector<std::string> Paths(const std::vector<PlaySoundEvent>& sounds)
{
    std::vector<std::string> paths;
    for (const PlaySoundEvent& sound : sounds) paths.push_back(sound.path);
    return paths;
}

// ---- Hit test and buttons ----

class ButtonTest : public MenuTest {
protected:
    void PrepareContent() override
    {
        WriteMenuSounds(content);
        content.Space("Menu", SpaceJson(5, {ClickSender(), ButtonPiece("A", 0, 0), ButtonPiece("B", 60, 0),
                                           ButtonPiece("Far", 0, 200), ButtonPiece("PlayButton", 300, -200),
                                           Piece("Top", 300, 0, 100, 40, "\"Sprite\": {\"zLayer\": 5}"),
                                           Piece("Under", 300, 0, 100, 40, "\"Sprite\": {\"zLayer\": 2}"), Cursor()}));
    }
    void SetUp() override
    {
        MenuTest::SetUp();
        menu = Open("Menu");
        a = menu->FindEntity("A");
        PointAt({0, -150});  // off the button the cursor starts on
    }
    Space* menu = nullptr;
    Entity* a = nullptr;
};

TEST_F(ButtonTest, TheTopmostLayerAndThenTheLaterEntityWinTheHitTestEdgesIncluded)
{
    EXPECT_EQ(MouseClickEventSender::EntityAt(*menu, {40, 0})->name, "B");    // A and B overlap, B is later
    EXPECT_EQ(MouseClickEventSender::EntityAt(*menu, {300, 0})->name, "Top"); // a higher layer wins whatever the order
    EXPECT_EQ(MouseClickEventSender::EntityAt(*menu, {-50, 20})->name, "A");  // the corner belongs to the button
    EXPECT_EQ(MouseClickEventSender::EntityAt(*menu, {-50.5f, 0}), nullptr);
    menu->FindEntity("Mouse")->Get<Transform>()->translation = {0, 200};
    EXPECT_EQ(MouseClickEventSender::EntityAt(*menu, {0, 200})->name, "Far");  // never the cursor itself
}

TEST_F(ButtonTest, EnterStayAndLeaveReachTheEntitiesAndMovingAcrossLeavesBeforeEntering)
{
    TriggerLog logA(a), logB(menu->FindEntity("B"));
    std::vector<Entity*> selected;
    struct Selection {
        std::vector<Entity*>* out;
        void On(MapEditorSelectedEvent& event) { out->push_back(event.entity.Get()); }
    } selection{&selected};
    menu->events->AddListener(&selection, &Selection::On);
    PointAt({-30, 0});
    EXPECT_THAT(logA.States("mouse"), ElementsAre(0, 2));
    size_t before = logA.entries.size();
    PointAt({80, 0}, 2);  // straight from A onto B in one update
    ASSERT_GT(logA.entries.size(), before);
    EXPECT_EQ(logA.entries.back().state, 1);
    EXPECT_EQ(logB.States("mouse").front(), 0);
    PointAt({0, -150});
    EXPECT_EQ(logB.States("mouse").back(), 1);
    ASSERT_FALSE(selected.empty());
    EXPECT_EQ(selected.back(), nullptr);
    EXPECT_NE(std::find(selected.begin(), selected.end(), a), selected.end());
    menu->events->RemoveListener<MapEditorSelectedEvent>(&selection);
}

TEST_F(ButtonTest, AClickIsAPressAndAReleaseOnTheButtonWithItsLookAndSounds)
{
    EventLog<PlaySoundEvent> sounds;
    EventLog<ParameterChangeEvent> parameters;
    TriggerLog clicks(a);
    PointAt({-30, 0});
    EXPECT_TRUE(ScaleIs(a, 120, 48));
    EXPECT_EQ(a->Get<Sprite>()->imageName, "Lit.png");
    Press();
    EXPECT_TRUE(ScaleIs(a, 100, 40));
    Release();
    EXPECT_TRUE(ScaleIs(a, 120, 48));
    ASSERT_EQ(clicks.States("button").size(), 1u);
    for (const TriggerLog::Entry& entry : clicks.entries) EXPECT_TRUE(entry.name != "button" || entry.sender == a);
    PointAt({0, -150});
    EXPECT_TRUE(ScaleIs(a, 100, 40));
    EXPECT_EQ(a->Get<Sprite>()->imageName, "Plain.png");
    EXPECT_THAT(Paths(sounds.events),
                ElementsAre("event:/UI/ButtonIn", "event:/UI/Select", "event:/UI/Select", "event:/UI/ButtonOut"));
    EXPECT_TRUE(sounds.events[0].keepInstance);
    EXPECT_TRUE(parameters.events.empty());  // only the play button cues the music

    // Pressed on the button, released elsewhere: no click, and the size comes back.
    PointAt({-30, 0});
    Press();
    PointAt({0, -150});
    Release();
    EXPECT_EQ(clicks.States("button").size(), 1u);
    EXPECT_TRUE(ScaleIs(a, 100, 40));
    // Pressed elsewhere and dragged onto the button, released there: no click, though the
    // release happens on it; nor when the pointer leaves and comes back before the release.
    PointAt({0, -150});
    Press();
    PointAt({-30, 0});
    Release();
    PointAt({-30, 0});
    Press();
    PointAt({0, -150});
    PointAt({-30, 0});
    Release();
    EXPECT_EQ(clicks.States("button").size(), 1u);

    Entity* play = menu->FindEntity("PlayButton");
    PointAt(At(play));
    Press();
    Release();
    ASSERT_EQ(parameters.events.size(), 1u);
    EXPECT_EQ(parameters.events[0].path, "event:/UI/Select");
    EXPECT_EQ(parameters.events[0].parameters[0], std::make_pair(std::string("Transition"), 1.0f));
}

TEST_F(ButtonTest, BlockedButtonsDropTheirLookAndCountTheFirstTriggerAfterAsAnEntry)
{
    TriggerLog clicks(a);
    PointAt({-30, 0});
    a->Get<Sprite>()->visible = false;
    Frames(2);
    EXPECT_TRUE(ScaleIs(a, 100, 40));
    Press();
    Release();
    EXPECT_TRUE(clicks.States("button").empty());
    a->Get<Sprite>()->visible = true;
    Frames(2);
    EXPECT_TRUE(ScaleIs(a, 120, 48));  // the cursor never left: grown again, once
    menu->paused = true;                      // an overlay opened
    Frames(2);
    EXPECT_TRUE(ScaleIs(a, 100, 40));
    Press();
    Release();
    EXPECT_TRUE(clicks.States("button").empty());
    menu->paused = false;
    Frames(2);
    Press();
    Release();
    EXPECT_EQ(clicks.States("button").size(), 1u);
    // Nothing reacts while the console has the keyboard.
    PointAt({0, -150});
    Input::Get()->textMode = true;
    PointAt({-30, 0});
    EXPECT_TRUE(ScaleIs(a, 100, 40));
    Input::Get()->textMode = false;
    PointAt({-31, 0});
    EXPECT_TRUE(ScaleIs(a, 120, 48));
}

TEST_F(ButtonTest, LeavingOnTheFrameOfThePressNeverCompoundsTheGrowth)
{
    PointAt({-30, 0});
    PointAt({0, -150}, 1);  // the hit test sees the cursor gone in the next update...
    Press();                // ...when the button goes down: the leave is not acted on
    Release();
    PointAt({-30, 0});
    EXPECT_TRUE(ScaleIs(a, 120, 48));
    PointAt({0, -150});
    EXPECT_TRUE(ScaleIs(a, 100, 40));
}

// ---- Cursor ----

class CursorTest : public MenuTest {
protected:
    void PrepareContent() override
    {
        WriteMenuSounds(content);
        content.Space("Menu", SpaceJson(5, {ClickSender(), ButtonPiece("Up", 0, 100), ButtonPiece("UpAside", 30, 100),
                                           ButtonPiece("Right", 150, 100), ButtonPiece("Down", 0, -100),
                                           ButtonPiece("Hidden", 0, -50), ButtonPiece("Parked", 0, -1000),
                                           Piece("Picture", 0, -200, 100, 40, "\"Sprite\": {}"), Cursor()}));
    }
    void SetUp() override
    {
        MenuTest::SetUp();
        menu = Open("Menu");
        menu->FindEntity("Hidden")->Get<Sprite>()->visible = false;
        cursor = menu->FindEntity("Mouse");
        PointAt({-5, 5});  // the cursor stands at the origin
    }
    Space* menu = nullptr;
    Entity* cursor = nullptr;
};

TEST_F(CursorTest, TheDpadJumpsOncePerPressToTheNearestButtonThatWay)
{
    ASSERT_EQ(At(cursor), glm::vec2(0, 0));
    Pad(Input::kPadUp, true, 5);
    EXPECT_EQ(At(cursor), glm::vec2(0, 100));  // UpAside is as near but further aside
    Pad(Input::kPadUp, false);
    Pad(Input::kPadDown, true, 3);
    EXPECT_EQ(At(cursor), glm::vec2(0, -100));  // past the hidden one; the parked one is out of view
    Pad(Input::kPadDown, false);
    Pad(Input::kPadRight, true);
    EXPECT_EQ(At(cursor), glm::vec2(30, 100));  // nothing in its row: the nearest, sideways counting double
    Pad(Input::kPadLeft, true);  // a second direction while one is held: still one move
    EXPECT_EQ(At(cursor), glm::vec2(30, 100));
    Pad(Input::kPadRight, false);
    Pad(Input::kPadLeft, false);
    Pad(Input::kPadRight, true);
    EXPECT_EQ(At(cursor), glm::vec2(150, 100));
    Pad(Input::kPadRight, false);
    Pad(Input::kPadDown, true);
    EXPECT_EQ(At(cursor), glm::vec2(0, -100));
    Pad(Input::kPadDown, false);
    Pad(Input::kPadDown, true);  // nothing further down: the cursor stays
    EXPECT_EQ(At(cursor), glm::vec2(0, -100));
}

TEST_F(CursorTest, TheMouseWinsOverTheDpadAndTheArrowKeysNavigateToo)
{
    Input::Get()->SetVirtualButton(0, Input::kPadUp, true);
    PointAt({195, -5}, 1);
    EXPECT_EQ(At(cursor), glm::vec2(200, -10));
    Pad(Input::kPadUp, false);
    Input::Get()->OnKey(263, Input::kPress);  // left arrow
    Frames(1);
    EXPECT_EQ(At(cursor), glm::vec2(150, 100));
    Input::Get()->OnKey(263, Input::kRelease);
    Frames(1);
    // The D-pad takes the cursor onto a button, and the hit test follows it.
    Pad(Input::kPadLeft, true, 4);
    EXPECT_EQ(At(cursor), glm::vec2(30, 100));
    EXPECT_TRUE(ScaleIs(menu->FindEntity("UpAside"), 120, 48));
}

TEST_F(CursorTest, ACursorUnderAnOverlayHidesAndStaysPut)
{
    menu->paused = true;
    Pad(Input::kPadUp, true, 2);
    EXPECT_EQ(At(cursor), glm::vec2(0, 0));
    EXPECT_FALSE(cursor->Get<Sprite>()->visible);
    Pad(Input::kPadUp, false);
    menu->paused = false;
    Pad(Input::kPadUp, true);
    EXPECT_EQ(At(cursor), glm::vec2(0, 100));
    EXPECT_TRUE(cursor->Get<Sprite>()->visible);
}

// ---- Slider ----

class SliderTest : public MenuTest {
protected:
    void PrepareContent() override
    {
        const std::string knob = "\"Sprite\": {\"zLayer\": 2}, \"Slider\": {\"lowerBound\": 0, \"upperBound\": 10, "
                                 "\"subDivisions\": 5, \"sliderLength\": 100}";
        WriteMenuSounds(content);
        content.Space("Menu", SpaceJson(5, {ClickSender(), Piece("Knob", 0, 0, 20, 20, knob),
                                           Piece("Loose", 0, -100, 20, 20, knob), ButtonPiece("Away", -300, 150),
                                           Piece("KnobValue", 150, 0, 10, 10, "\"SpriteText\": {\"text\": \"\"}"),
                                           Cursor()}));
        content.Space("Flat", SpaceJson(5, {Piece("Knob", 0, 0, 20, 20,
                                                  "\"Slider\": {\"subDivisions\": 1, \"sliderLength\": 100}")}));
        content.Space("Even", SpaceJson(5, {Piece("Knob", 0, 0, 20, 20, "\"Slider\": {\"lowerBound\": 3, \"upperBound\": 3}")}));
    }
    void SetUp() override
    {
        MenuTest::SetUp();
        menu = Open("Menu");
        knob = menu->FindEntity("Knob");
        knob->Get<Slider>()->Bind(&value);
    }
    void Drag(glm::vec2 to)
    {
        PointAt(At(knob));
        Press();
        PointAt(to);
    }
    int32_t value = 0;
    Space* menu = nullptr;
    Entity* knob = nullptr;
};

TEST_F(SliderTest, TheKnobSnapsToWholeStepsInsideTheTrackAndWritesTheTruncatedStepValues)
{
    Slider* slider = knob->Get<Slider>();
    EXPECT_EQ(slider->StepValue(), 2);
    EXPECT_EQ(slider->stepLength, 25.0f);
    Drag({20, 0});  // within one step: stays
    EXPECT_EQ(At(knob).x, 0.0f);
    PointAt({61, 30});
    EXPECT_EQ(At(knob), glm::vec2(50, 0));  // across the track only
    EXPECT_EQ(value, 4);
    Frames(1);
    EXPECT_EQ(menu->FindEntity("KnobValue")->Get<SpriteText>()->text, "4");  // the value shown beside it
    PointAt({900, 0});
    EXPECT_EQ(At(knob).x, 100.0f);
    EXPECT_EQ(value, 8);  // 10 is never reached with a step value of 2
    PointAt({-900, 0});
    EXPECT_EQ(At(knob).x, 0.0f);
    EXPECT_EQ(value, 0);
    Release();
    PointAt({75, 0});  // released away from the knob: the drag is over
    EXPECT_EQ(At(knob).x, 0.0f);
    value = 6;
    slider->PlaceKnobFromSetting();
    EXPECT_FLOAT_EQ(At(knob).x, 60.0f);  // 6 of 10 along the track
}

TEST_F(SliderTest, AnUnboundSliderMovesButWritesNothingAndAPausedOneIsNotGrabbed)
{
    Entity* loose = menu->FindEntity("Loose");
    value = 2;
    PointAt(At(loose));
    Press();
    PointAt({80, -100});
    EXPECT_EQ(At(loose).x, 75.0f);
    EXPECT_EQ(value, 2);
    Release();
    menu->paused = true;
    PointAt(At(knob));
    Press();
    PointAt({100, 0});
    EXPECT_EQ(At(knob).x, 0.0f);
}

TEST_F(SliderTest, UnderTheCursorOrHeldTheKnobStepsOncePerPressAndTheCursorStaysOnIt)
{
    Entity* cursor = menu->FindEntity("Mouse");
    PointAt({200, 0});
    Pad(Input::kPadLeft, true, 3);  // the D-pad brings the cursor to the knob; that press does not step it
    Pad(Input::kPadLeft, false);
    ASSERT_EQ(At(cursor), At(knob));
    EXPECT_EQ(At(knob).x, 0.0f);
    Pad(Input::kPadRight, true, 3);
    EXPECT_EQ(At(knob).x, 25.0f);  // one step per press, no button held
    EXPECT_EQ(value, 2);
    Pad(Input::kPadRight, false);
    Pad(Input::kPadA, true, 2);  // gamepad A is the mouse button: grabbing must not throw the knob
    EXPECT_EQ(At(knob).x, 25.0f);
    Pad(Input::kPadRight, true);
    EXPECT_EQ(At(knob).x, 50.0f);
    EXPECT_EQ(At(cursor), At(knob));  // no navigation while the knob takes the presses
    Pad(Input::kPadRight, false);
    Pad(Input::kPadA, false, 2);
    EXPECT_FALSE(knob->Get<Slider>()->dragging);
    Pad(Input::kPadUp, true);  // across its track the cursor moves on
    EXPECT_EQ(At(cursor), glm::vec2(-300, 150));
}

TEST_F(SliderTest, ATrackThatWouldDivideByZeroIsBadContent)
{
    auto error = [this](const char* space) -> std::string {
        try {
            Open(space);
        } catch (const GameError& error) {
            return error.what();
        }
        return "accepted";
    };
    EXPECT_THAT(error("Flat"), HasSubstr("Flat.txt: entity \"Knob\", component \"Slider\": \"subDivisions\" must be at least 2"));
    Engine::Destroy();
    EXPECT_THAT(error("Even"), HasSubstr("\"lowerBound\" and \"upperBound\" must differ"));
}

// ---- Space loader ----

class LoaderTest : public MenuTest {
protected:
    void PrepareContent() override
    {
        const std::string picture = "\"Sprite\": {\"zLayer\": 1}";
        content.Space("MainMenu", SpaceJson(0, {Piece("Play", 0, 0, 100, 40, picture + ", " + Loader("game", true)),
                                               Piece("Options", 0, -60, 100, 40, picture + ", " + Loader("MainMenuOptions", false)),
                                               Piece("Quit", 0, -120, 100, 40, picture + ", " + Loader("MainMenuQuitConfirm", false))}));
        content.Space("MainMenuOptions", SpaceJson(2, {Piece("Back", 0, 0, 100, 40, picture + ", " + Loader("", true))}));
        content.Space("MainMenuQuitConfirm", SpaceJson(2, {Piece("Yes", 0, 0, 100, 40, picture + ", " + Loader("", true))}));
        content.SimpleSpace("game", 0);
        content.Space("QuitConfirm",
                      SpaceJson(30, {Piece("FadePanel", 0, 0, 10, 10, "\"Sprite\": {\"a\": 0, \"zLayer\": 9}"),
                                     Piece("YesButtonText", 0, 0, 10, 10, "\"SpriteText\": {\"text\": \"YES\"}"),
                                     Piece("NoButtonText", 0, 0, 10, 10, "\"SpriteText\": {\"text\": \"NO\"}"),
                                     Piece("Yes", 0, 0, 100, 40, picture + ", " + Loader("MainMenu", true))}));
        content.Space("EndGame", SpaceJson(20, {Piece("Again", 0, 0, 100, 40, picture + ", " + Loader("game", true)),
                                               Piece("ToMenu", 0, -60, 100, 40, picture + ", " + Loader("MainMenu", true))}));
    }
};

TEST_F(LoaderTest, PlayFadesTheMenuOutForASecondAndSwitchesAfterOneAndAQuarter)
{
    Open("MainMenu");
    EventLog<ParameterChangeEvent> cues;
    Sprite* play = In("MainMenu", "Play")->Get<Sprite>();
    Click("MainMenu", "Play");
    Frames(30);
    Click("MainMenu", "Play");  // ignored: the fade runs
    EXPECT_NEAR(play->colour.a, 0.5f, 0.02f);
    Frames(31);
    EXPECT_EQ(play->colour.a, 0.0f);
    Frames(13);  // 74 frames: still fading
    EXPECT_THAT(SpaceNames(), ElementsAre("MainMenu", "Debug"));
    Frames(2);
    EXPECT_THAT(SpaceNames(), ElementsAre("game", "Debug"));
    EXPECT_FALSE(Engine::Get()->FindSpace("game")->paused);
    ASSERT_EQ(cues.events.size(), 1u);
    EXPECT_EQ(cues.events[0].path, "event:/MainMenu");
}

TEST_F(LoaderTest, OverlaysOpenOnTopAndCloseThemselves)
{
    Open("MainMenu");
    Click("MainMenu", "Options");
    Frames(1);
    EXPECT_THAT(SpaceNames(), ElementsAre("MainMenu", "MainMenuOptions", "Debug"));
    Frames(4);
    Click("MainMenuOptions", "Back");
    Frames(1);
    EXPECT_THAT(SpaceNames(), ElementsAre("MainMenu", "Debug"));
}

TEST_F(LoaderTest, QuittingToTheMainMenuFadesThePanelInAndClosesTheDialog)
{
    Open("game");
    Open("QuitConfirm");
    Entity* panel = In("QuitConfirm", "FadePanel");
    Click("QuitConfirm", "Yes");
    Frames(1);
    EXPECT_EQ(In("QuitConfirm", "YesButtonText"), nullptr);
    EXPECT_EQ(In("QuitConfirm", "NoButtonText"), nullptr);
    Frames(29);
    EXPECT_TRUE(ScaleIs(panel, 1200, 600));
    EXPECT_NEAR(panel->Get<Sprite>()->colour.a, 0.5f, 0.02f);
    Frames(47);
    // The match itself is left to its pause logic, which sees the main menu.
    EXPECT_THAT(SpaceNames(), ElementsAre("MainMenu", "game", "Debug"));
}

TEST_F(LoaderTest, LeavingTheEndScreenTakesTheFinishedMatchAlong)
{
    Open("game");
    Open("EndGame");
    Click("EndGame", "Again");
    Frames(1);
    EXPECT_THAT(SpaceNames(), ElementsAre("game", "Debug"));
    EXPECT_FALSE(Engine::Get()->FindSpace("game")->paused);
    Open("EndGame");
    Click("EndGame", "ToMenu");
    Frames(80);
    EXPECT_THAT(SpaceNames(), ElementsAre("MainMenu", "Debug"));
}

// ---- Hover ----

class HoverTest : public MenuTest {
protected:
    void PrepareContent() override
    {
        image_test_files::WritePng(content.root / "Textures" / "UI_Billboards_Rings.png", 8, 28);
        WriteText(content.root / "Textures" / "UI_Billboards_Rings.txt", "{\"data\": [2, 7, 14]}");
        content.Space("Menu", SpaceJson(5, {Piece("Ball", 100, 50, 40, 40, "\"Hover\": {\"player\": 13}"),
                                           Piece("Other", 0, 0, 40, 40, "\"Hover\": {\"player\": 14}")}));
    }
};

TEST_F(HoverTest, TheEntityBobsAroundItsPlaceAndThreeRingsRestartEveryThreeSeconds)
{
    Space* menu = Open("Menu");
    Entity* ball = menu->FindEntity("Ball");
    Hover* hover = ball->Get<Hover>();
    EXPECT_EQ(hover->ring.frameIndex, 13u);
    EXPECT_EQ(menu->FindEntity("Other")->Get<Hover>()->ring.frameIndex, 0u);  // past the sheet: frame 0
    float low = 1e9f, high = -1e9f, lastPhase = hover->phase;
    std::vector<int> restarts;
    for (int frame = 0; frame < 400; ++frame) {
        Frames(1);
        low = std::min(low, At(ball).y);
        high = std::max(high, At(ball).y);
        if (hover->phase > lastPhase) restarts.push_back(frame);
        lastPhase = hover->phase;
        EXPECT_EQ(At(ball).x, 100.0f);
    }
    ASSERT_EQ(restarts.size(), 2u);
    EXPECT_NEAR(restarts[1] - restarts[0], 180, 1);  // every 3 seconds
    EXPECT_NEAR(low, 40.0f, 0.5f);
    EXPECT_NEAR(high, 60.0f, 0.5f);
    int rings = 0;
    for (const Graphics::DrawRecord& draw : Graphics::Get()->drawLog) {
        if (draw.image != "UI_Billboards_Rings.png" || draw.frame != 13) continue;
        ++rings;
        float p = draw.world[0][0] / 10.0f;
        EXPECT_NEAR(draw.colour.a, 0.15f * p, 1e-5f);
        EXPECT_NEAR(draw.world[2][1], At(ball).y + 5.0f * p - 80.0f, 1e-3f);
    }
    EXPECT_EQ(rings, 3);
}

} // namespace
