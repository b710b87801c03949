// The pointer-driven interface, headless: the hit test, buttons, cursor and D-pad, sliders, space loaders, hover rings.
#include "button.h"
#include "gameerror.h"
#include "hover.h"
#include "imagetestfiles.h"
#include "menucontent.h"
#include "mouse.h"
#include "mouseclickeventsender.h"
#include "slider.h"
#include "sprite.h"
#include "spritetext.h"
#include "transform.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace volleyrun {

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
const glm::vec2 kOnA{-30, 0}, kOff{0, -150};

glm::vec2 At(Entity* entity) { return entity->Get<Transform>()->translation; }

class ButtonTest : public MenuTest {
protected:
    void PrepareContent() override
    {
        WriteMenuSounds(content);
        content.Space("Menu", SpaceJson(5, {ClickSender(), ButtonPiece("A", 0, 0), ButtonPiece("B", 60, 0),
                                           ButtonPiece("Far", 0, 200),
                                           Piece("Top", 300, 0, 100, 40, "\"Sprite\": {\"zLayer\": 5}"),
                                           Piece("Under", 300, 0, 100, 40, "\"Sprite\": {\"zLayer\": 2}"), Cursor()}));
    }
    void SetUp() override
    {
        MenuTest::SetUp();
        menu = Open("Menu");
        a = menu->FindEntity("A");
        PointAt(kOff);  // off the button the cursor starts on
    }
    // Presses at one place and releases at the next; the button's clicks so far.
    size_t Gesture(std::initializer_list<glm::vec2> path, TriggerLog& clicks)
    {
        PointAt(*path.begin());
        Press();
        for (auto it = path.begin() + 1; it != path.end(); ++it) PointAt(*it);
        Release();
        return clicks.States("button").size();
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

TEST_F(ButtonTest, EnterStayAndLeaveReachTheEntitiesMovingAcrossLeavesBeforeEnteringAndTheGrowthNeverCompounds)
{
    TriggerLog logA(a), logB(menu->FindEntity("B"));
    PointAt(kOnA);
    EXPECT_THAT(logA.States("mouse"), ElementsAre(0, 2));
    PointAt({80, 0}, 2);  // straight from A onto B in one update
    EXPECT_EQ(logA.States("mouse").back(), 1);
    EXPECT_EQ(logB.States("mouse").front(), 0);
    PointAt(kOff);
    EXPECT_EQ(logB.States("mouse").back(), 1);
    PointAt(kOnA);
    PointAt(kOff, 1);  // the hit test sees the cursor gone in the next update...
    Press();           // ...when the button goes down: the leave is not acted on
    Release();
    PointAt(kOnA);
    EXPECT_TRUE(ScaleIs(a, 120, 48));
    PointAt(kOff);
    EXPECT_TRUE(ScaleIs(a, 100, 40));
}

TEST_F(ButtonTest, AClickIsAPressAndAReleaseOnTheButtonWithItsLookAndSounds)
{
    EventLog<PlaySoundEvent> sounds;
    EventLog<ParameterChangeEvent> parameters;
    TriggerLog clicks(a);
    PointAt(kOnA);
    EXPECT_EQ(a->Get<Sprite>()->imageName, "Lit.png");
    Press();
    EXPECT_TRUE(ScaleIs(a, 100, 40));  // grown while hovered, back to size while held
    Release();
    ASSERT_EQ(clicks.States("button").size(), 1u);
    for (const TriggerLog::Entry& entry : clicks.entries) EXPECT_TRUE(entry.name != "button" || entry.sender == a);
    PointAt(kOff);
    EXPECT_EQ(a->Get<Sprite>()->imageName, "Plain.png");
    std::vector<std::string> paths;
    for (const PlaySoundEvent& sound : sounds.events) paths.push_back(sound.path);
    EXPECT_THAT(paths, ElementsAre("event:/UI/ButtonIn", "event:/UI/Select", "event:/UI/Select", "event:/UI/ButtonOut"));
    EXPECT_TRUE(sounds.events[0].keepInstance);
    EXPECT_TRUE(parameters.events.empty());
    // No click when released elsewhere, pressed elsewhere and dragged on, or left and re-entered before the release.
    EXPECT_EQ(Gesture({kOnA, kOff}, clicks), 1u);
    EXPECT_EQ(Gesture({kOff, kOnA}, clicks), 1u);
    EXPECT_EQ(Gesture({kOnA, kOff, kOnA}, clicks), 1u);
}

TEST_F(ButtonTest, BlockedButtonsDropTheirLookAndCountTheFirstTriggerAfterAsAnEntry)
{
    TriggerLog clicks(a);
    PointAt(kOnA);
    a->Get<Sprite>()->visible = false;
    Frames(2);
    EXPECT_TRUE(ScaleIs(a, 100, 40));
    EXPECT_EQ(Gesture({kOnA}, clicks), 0u);
    a->Get<Sprite>()->visible = true;
    Frames(2);
    EXPECT_TRUE(ScaleIs(a, 120, 48));  // the cursor never left: grown again, once
    menu->paused = true;               // an overlay opened
    Frames(2);
    EXPECT_TRUE(ScaleIs(a, 100, 40));
    EXPECT_EQ(Gesture({kOnA}, clicks), 0u);
    menu->paused = false;
    Frames(2);
    EXPECT_EQ(Gesture({kOnA}, clicks), 1u);
    // Nothing reacts while the console has the keyboard.
    PointAt(kOff);
    Input::Get()->textMode = true;
    PointAt(kOnA);
    EXPECT_TRUE(ScaleIs(a, 100, 40));
    Input::Get()->textMode = false;
    PointAt({-31, 0});
    EXPECT_TRUE(ScaleIs(a, 120, 48));
}

// The D-pad moves once per press to the nearest visible button that way (the rules on every
// real screen are walked in ProgramFlowTest); the mouse wins over it, and an overlay stops it.
TEST_F(MenuTest, TheMouseWinsOverTheDpadAndUnderAnOverlayTheCursorHidesAndStaysPut)
{
    WriteMenuSounds(content);
    content.Space("Menu", SpaceJson(5, {ClickSender(), ButtonPiece("Up", 0, 100), ButtonPiece("UpAside", 30, 100),
                                       ButtonPiece("Right", 150, 100), ButtonPiece("Down", 0, -100),
                                       ButtonPiece("Hidden", 0, -50), ButtonPiece("Parked", 0, -1000),
                                       Piece("Picture", 0, -200, 100, 40, "\"Sprite\": {}"), Cursor()}));
    Space* menu = Open("Menu");
    menu->FindEntity("Hidden")->Get<Sprite>()->visible = false;
    Entity* cursor = menu->FindEntity("Mouse");
    Input::Get()->SetVirtualButton(0, Input::kPadUp, true);
    PointAt({195, -5}, 1);
    EXPECT_EQ(At(cursor), glm::vec2(200, -10));
    Pad(Input::kPadUp, false);
    Key(263);  // the left arrow navigates as the D-pad does
    EXPECT_EQ(At(cursor), glm::vec2(150, 100));
    // The D-pad takes the cursor onto a button, and the hit test follows it.
    Pad(Input::kPadLeft, true, 4);  // held: one move
    EXPECT_EQ(At(cursor), glm::vec2(30, 100));
    EXPECT_TRUE(ScaleIs(menu->FindEntity("UpAside"), 120, 48));
    // Under an overlay the cursor hides and stays put.
    Pad(Input::kPadLeft, false);
    menu->paused = true;
    Pad(Input::kPadDown, true, 2);
    EXPECT_EQ(At(cursor), glm::vec2(30, 100));
    EXPECT_FALSE(cursor->Get<Sprite>()->visible);
    Pad(Input::kPadDown, false);
    menu->paused = false;
    Pad(Input::kPadDown, true);
    EXPECT_EQ(At(cursor), glm::vec2(0, -100));  // past the hidden one; the parked one is out of view
    EXPECT_TRUE(cursor->Get<Sprite>()->visible);
}

class SliderTest : public MenuTest {
protected:
    void PrepareContent() override
    {
        const std::string knob = "\"Sprite\": {\"zLayer\": 2}, \"Slider\": {\"lowerBound\": 0, \"upperBound\": 10, "
                                 "\"subDivisions\": 5, \"sliderLength\": 100}";
        WriteMenuSounds(content);
        content.Space("Menu", SpaceJson(5, {ClickSender(), Piece("Knob", 0, 0, 20, 20, knob), ButtonPiece("Away", -300, 150),
                                           Piece("KnobValue", 150, 0, 10, 10, "\"SpriteText\": {\"text\": \"\"}"),
                                           Cursor()}));
        content.Space("Flat", SpaceJson(5, {Piece("Knob", 0, 0, 20, 20, "\"Slider\": {\"subDivisions\": 1, \"sliderLength\": 100}")}));
        content.Space("Even", SpaceJson(5, {Piece("Knob", 0, 0, 20, 20, "\"Slider\": {\"lowerBound\": 3, \"upperBound\": 3}")}));
    }
    void SetUp() override
    {
        MenuTest::SetUp();
        menu = Open("Menu");
        knob = menu->FindEntity("Knob");
        knob->Get<Slider>()->Bind(&value);
    }
    int32_t value = 0;
    Space* menu = nullptr;
    Entity* knob = nullptr;
};

TEST_F(SliderTest, TheKnobSnapsToWholeStepsInsideTheTrackAndWritesTheTruncatedStepValues)
{
    Drag(At(knob), {20, 0});  // within one step: stays
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
    EXPECT_EQ(value, 0);
    Release();
    PointAt({75, 0});  // released away from the knob: the drag is over
    EXPECT_EQ(At(knob).x, 0.0f);
    knob->Get<Slider>()->Bind(nullptr);  // unbound: it moves but writes nothing
    value = 2;
    Drag(At(knob), {80, 0});
    EXPECT_EQ(At(knob).x, 75.0f);
    EXPECT_EQ(value, 2);
    Release();
    value = 6;
    knob->Get<Slider>()->Bind(&value);
    knob->Get<Slider>()->PlaceKnobFromSetting();
    EXPECT_FLOAT_EQ(At(knob).x, 60.0f);  // 6 of 10 along the track
    menu->paused = true;  // under an overlay: not grabbed
    Drag(At(knob), {0, 0});
    EXPECT_FLOAT_EQ(At(knob).x, 60.0f);
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
    Pad(Input::kPadUp, true);  // across its track the cursor moves on
    EXPECT_EQ(At(cursor), glm::vec2(-300, 150));
}

TEST_F(SliderTest, ATrackThatWouldDivideByZeroIsBadContent)
{
    for (const auto& [space, error] :
         {std::pair("Flat", "Flat.txt: entity \"Knob\", component \"Slider\": \"subDivisions\" must be at least 2"),
          std::pair("Even", "\"lowerBound\" and \"upperBound\" must differ")}) {
        Engine::Destroy();
        EXPECT_THAT([&] { Open(space); }, ::testing::ThrowsMessage<GameError>(HasSubstr(error))) << space;
    }
}

class LoaderTest : public MenuTest {
protected:
    void PrepareContent() override
    {
        auto button = [](const char* name, float y, const std::string& target, bool destroy) {
            return Piece(name, 0, y, 100, 40, "\"Sprite\": {\"zLayer\": 1}, " + Loader(target, destroy));
        };
        content.Space("MainMenu", SpaceJson(0, {button("Play", 0, "game", true)}));
        content.SimpleSpace("game", 0);
        content.Space("EndGame", SpaceJson(20, {button("Again", 0, "game", true), button("ToMenu", -60, "MainMenu", true)}));
    }
};

// PLAY fades the menu out for a second and switches after 1.25 s; leaving the end screen takes the ended match along.
TEST_F(LoaderTest, PlayFadesTheMenuOutBeforeItSwitchesAndLeavingTheEndScreenTakesTheMatchAlong)
{
    Open("MainMenu");
    EventLog<ParameterChangeEvent> cues;
    Sprite* play = In("MainMenu", "Play")->Get<Sprite>();
    Click("MainMenu", "Play", 30);
    Click("MainMenu", "Play");  // ignored: the fade runs
    EXPECT_NEAR(play->colour.a, 0.5f, 0.02f);
    Frames(31);
    EXPECT_EQ(play->colour.a, 0.0f);
    Frames(13);  // 74 frames: still fading
    EXPECT_THAT(SpaceNames(), ElementsAre("MainMenu", "Debug"));
    Frames(2);
    EXPECT_THAT(SpaceNames(), ElementsAre("game", "Debug"));
    std::vector<std::pair<std::string, std::string>> cued;  // the menu music's and the click's
    for (const ParameterChangeEvent& cue : cues.events) cued.emplace_back(cue.path, cue.parameters[0].first);
    EXPECT_THAT(cued, ElementsAre(std::pair("event:/MainMenu", "Transition"), std::pair("event:/UI/Select", "Transition")));
    Open("EndGame");
    Click("EndGame", "Again", 1);
    EXPECT_THAT(SpaceNames(), ElementsAre("game", "Debug"));
    EXPECT_FALSE(Engine::Get()->FindSpace("game")->paused);
    Open("EndGame");
    Click("EndGame", "ToMenu", 80);
    EXPECT_THAT(SpaceNames(), ElementsAre("MainMenu", "Debug"));
}

TEST_F(MenuTest, AHoverRingPastTheSheetShowsFrameZero)
{
    image_test_files::WritePng(content.root / "Textures" / "UI_Billboards_Rings.png", 8, 28);
    WriteText(content.root / "Textures" / "UI_Billboards_Rings.txt", "{\"data\": [2, 7, 14]}");
    content.Space("Menu", SpaceJson(5, {Piece("Ball", 100, 50, 40, 40, "\"Hover\": {\"player\": 13}"),
                                       Piece("Other", 0, 0, 40, 40, "\"Hover\": {\"player\": 14}")}));
    Space* menu = Open("Menu");
    EXPECT_EQ(menu->FindEntity("Ball")->Get<Hover>()->ring.frameIndex, 13u);
    EXPECT_EQ(menu->FindEntity("Other")->Get<Hover>()->ring.frameIndex, 0u);  // past the sheet: frame 0
}

} // namespace

} // namespace volleyrun
