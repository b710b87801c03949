// Key states, typed text, the console line and gamepads on a headless engine, driven
// through the same handlers the window callbacks and the replay use.
#include "engine.h"
#include "frameclock.h"
#include "gameerror.h"
#include "gamesettings.h"
#include "input.h"
#include "replay.h"
#include "testcontent.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using testing::HasSubstr;

// Counts the input events of the engine-wide manager.
struct Listener {
    int keyUpdates = 0;
    int textTyped = 0;
    std::vector<std::string> messages;
    void OnKey(KeyUpdateEvent&) { ++keyUpdates; }
    void OnText(TextTypedEvent&) { ++textTyped; }
    void OnDev(DevMessageEvent& event) { messages.push_back(event.text); }
};

constexpr int kA = 65;
constexpr int kQ = 81;
constexpr int kOne = 49;
constexpr int kGrave = 96;

class InputTest : public testing_content::EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        Start();
        EventManager& events = *Engine::Get()->events;
        events.AddListener(&listener, &Listener::OnKey);
        events.AddListener(&listener, &Listener::OnText);
        events.AddListener(&listener, &Listener::OnDev);
        Frames(1);  // every listener, the engine's too, is active from here on
        input = Input::Get();
    }
    void Tap(int key)
    {
        input->OnKey(key, Input::kPress);
        input->EndFrame();
        input->OnKey(key, Input::kRelease);
    }
    std::string Typed(int key)
    {
        input->OnKey(key, Input::kPress);
        input->EndFrame();
        std::string typed = input->TypedThisFrame();
        input->OnKey(key, Input::kRelease);
        input->EndFrame();
        return typed;
    }

    Listener listener;
    Input* input = nullptr;
};

TEST_F(InputTest, KeysMoveFromPressedToHeldToReleasedToUp)
{
    input->OnKey(kA, Input::kPress);
    EXPECT_EQ(input->Key(kA), kKeyPressed);
    input->EndFrame();
    EXPECT_EQ(input->Key(kA), kKeyHeld);
    input->OnKey(kA, Input::kPress);  // a press while held stays held
    EXPECT_EQ(input->Key(kA), kKeyHeld);
    input->OnKey(kA, Input::kRepeat);
    EXPECT_EQ(input->Key(kA), kKeyHeld);
    input->OnKey(kA, Input::kRelease);
    EXPECT_EQ(input->Key(kA), kKeyReleased);
    input->EndFrame();
    EXPECT_EQ(input->Key(kA), kKeyUp);

    input->OnMouseButton(Input::kMouseLeft, Input::kPress);
    EXPECT_EQ(input->Key(Input::kMouseLeft), kKeyPressed);
    input->OnKey(-1, Input::kPress);  // a key the window system does not know
    EXPECT_EQ(listener.keyUpdates, 6);
}

TEST_F(InputTest, TypingFollowsShiftWithTheUsLayout)
{
    EXPECT_EQ(Typed(kA), "a");
    input->OnKey(kA, Input::kPress);
    input->EndFrame();
    input->OnKey(kA, Input::kRepeat);
    input->EndFrame();
    EXPECT_EQ(input->TypedThisFrame(), "");  // holding types once
    input->OnKey(kA, Input::kRelease);
    input->EndFrame();

    input->OnKey(Input::kKeyLeftShift, Input::kPress);
    EXPECT_EQ(Typed(kA), "A");
    EXPECT_EQ(Typed(kOne), "!");
    EXPECT_EQ(Typed(kGrave), "");
    EXPECT_EQ(Typed(Input::kKeySpace), " ");
    input->OnKey(Input::kKeyLeftShift, Input::kRelease);
    input->OnKey(Input::kKeyRightShift, Input::kPress);
    EXPECT_EQ(Typed(59), ":");
    EXPECT_EQ(listener.textTyped, 6);  // one event for each frame that typed something
}

TEST_F(InputTest, MouseButtonsTypeNothing)
{
    for (int button = 0; button < 8; ++button) {
        input->OnMouseButton(button, Input::kPress);
        input->EndFrame();
        EXPECT_EQ(input->TypedThisFrame(), "") << button;
        input->OnMouseButton(button, Input::kRelease);
    }
}

TEST_F(InputTest, BackslashQEnterSubmitsTheConsoleLineAndEndsTheGame)
{
    input->OnKey(kA, Input::kPress);  // typed in play: never part of a command
    Frames(1);
    input->OnKey(kA, Input::kRelease);
    input->OnKey(Input::kKeyBackslash, Input::kPress);
    Frames(1);
    EXPECT_TRUE(input->textMode);
    EXPECT_EQ(input->text, "\\");
    input->OnKey(Input::kKeyBackslash, Input::kRelease);
    input->OnKey(kQ, Input::kPress);
    Frames(1);
    input->OnKey(kQ, Input::kRelease);
    input->OnKey(Input::kKeyEnter, Input::kPress);
    Frames(1);
    EXPECT_EQ(listener.messages, std::vector<std::string>{"\\q"});
    EXPECT_FALSE(input->textMode);
    EXPECT_EQ(input->text, "");
    EXPECT_TRUE(Engine::Get()->quit);
}

TEST_F(InputTest, BackspaceEditsTheConsoleLineButKeepsItsBackslash)
{
    Tap(Input::kKeyBackspace);
    EXPECT_EQ(input->TypedThisFrame(), "\b");
    EXPECT_EQ(input->text, "");
    Tap(Input::kKeyBackslash);
    Tap(kA);
    Tap(kQ);
    EXPECT_EQ(input->text, "\\aq");
    Tap(Input::kKeyBackspace);
    EXPECT_EQ(input->text, "\\a");
    Tap(Input::kKeyBackspace);
    Tap(Input::kKeyBackspace);
    EXPECT_EQ(input->text, "\\");
    EXPECT_TRUE(input->textMode);
}

TEST_F(InputTest, GamepadZeroDrivesTheLeftMouseButtonAndEscape)
{
    input->SetVirtualPad(0, true);
    input->SetVirtualButton(0, Input::kPadA, true);
    int before = listener.keyUpdates;
    input->Poll();
    EXPECT_EQ(input->Key(Input::kMouseLeft), kKeyPressed);
    EXPECT_EQ(listener.keyUpdates, before + 2);  // the mouse button's, then "something changed"
    input->Poll();
    EXPECT_EQ(listener.keyUpdates, before + 2);  // only edges count
    input->EndFrame();
    EXPECT_EQ(input->Key(Input::kMouseLeft), kKeyHeld);
    input->SetVirtualButton(0, Input::kPadA, false);
    input->SetVirtualButton(0, Input::kPadStart, true);
    input->Poll();
    EXPECT_EQ(input->Key(Input::kMouseLeft), kKeyReleased);
    EXPECT_EQ(input->Key(Input::kKeyEscape), kKeyPressed);

    input->SetVirtualPad(1, true);
    input->SetVirtualButton(1, Input::kPadA, true);
    input->Poll();
    EXPECT_EQ(input->GetJoystickButton(1, Input::kPadA), 1);
    EXPECT_EQ(input->GetJoystickButton(1, 99), 0);
    EXPECT_EQ(input->Key(Input::kMouseLeft), kKeyReleased);  // only pad 0 is a mouse
}

TEST_F(InputTest, ADisconnectedPadReadsNothingAndLetsGoOfTheMouseButton)
{
    input->SetVirtualPad(0, true);
    input->SetVirtualButton(0, Input::kPadA, true);
    input->Poll();
    input->EndFrame();
    EXPECT_EQ(input->ButtonCount(0), Input::kPadButtonCount);
    EXPECT_EQ(input->AxisCount(0), Input::kPadAxisCount);
    input->SetVirtualPad(0, false);
    input->OnJoystick(0, Input::kDisconnected);
    EXPECT_EQ(input->GetJoystickButton(0, Input::kPadA), 0);
    EXPECT_EQ(input->ButtonCount(0), 0);
    input->Poll();
    EXPECT_EQ(input->Key(Input::kMouseLeft), kKeyReleased);
    EXPECT_EQ(input->Axis(0, 4), 0.0f);
}

TEST_F(InputTest, GamepadStickMovesTheCursorInsideTheScreen)
{
    input->OnCursor(1900.0, 540.0);
    input->SetVirtualPad(0, true);
    input->SetVirtualAxis(0, 0, 1.0f);
    input->Poll();
    input->EndFrame();
    EXPECT_EQ(input->cursor, glm::vec2(1910.0f, 540.0f));
    input->EndFrame();
    input->EndFrame();
    EXPECT_EQ(input->cursor.x, 1920.0f);
    input->SetVirtualAxis(0, 0, 0.05f);  // rest noise does not creep
    input->SetVirtualAxis(0, 1, -1.0f);  // stick up
    input->Poll();
    input->EndFrame();
    EXPECT_EQ(input->cursor, glm::vec2(1920.0f, 530.0f));
}

TEST(ReplayTest, MalformedLinesNameTheFileAndLine)
{
    const char* bad[] = {"1 key 65 push", "0 key 65 press", "1 key 20 press", "1 mouse 8 press", "1 cursor 10",
                         "1 pad 16 connect", "1 pad 0 axis 0 2", "1 pad 0 hat 0 up", "x key 65 press", "1 jump",
                         "1 key 65 press +16.7ms", "1 key 65 press +-1ms", "1 key 65 press +5", "1 key 65 press +5s"};
    for (const char* line : bad) {
        std::string text = "# a comment\n\n" + std::string(line) + "\n";
        try {
            Replay::Parse(text, "moves.replay");
            ADD_FAILURE() << line << " was accepted";
        } catch (const GameError& error) {
            EXPECT_THAT(error.what(), HasSubstr("moves.replay: line 3: ")) << line;
        }
    }
}

TEST(ReplayTest, LinesAreKeptInFrameThenFileOrder)
{
    Replay replay = Replay::Parse("5 key 65 release # late\n2 key 65 press +4.25ms\n2 cursor 10.5 20\n3 pad 1 axis 4 -0.5\n",
                                  "moves.replay");
    ASSERT_EQ(replay.EventLines().size(), 3u);
    EXPECT_EQ(replay.EventLines()[0].frame, 2);
    EXPECT_EQ(replay.EventLines()[0].offsetNs, 4'250'000);
    EXPECT_EQ(replay.EventLines()[1].kind, Replay::Line::kCursor);
    EXPECT_EQ(replay.EventLines()[1].x, 10.5);
    EXPECT_EQ(replay.EventLines()[2].frame, 5);
    ASSERT_EQ(replay.PadLines().size(), 1u);
    EXPECT_EQ(replay.PadLines()[0].x, -0.5);
}

class ReplayRunTest : public testing_content::EngineTest {
protected:
    void PrepareContent() override
    {
        testing_content::WriteText(content.root / "moves.replay",
                                   "2 key 65 press +4.25ms\n3 key 65 release\n2 pad 0 button 0 press +1ms\n4 cursor 100 200\n"
                                   "5 pad 0 disconnect\n");
    }
};

struct Presses {
    std::vector<PressEvent> heard;
    void On(PressEvent& event) { heard.push_back(event); }
};

TEST_F(ReplayRunTest, ReplayLinesArriveAtTheirFramesStampedAtTheirInstants)
{
    RunOptions::Get().replayFile = (content.root / "moves.replay").string();
    Start();
    Presses presses;
    Engine::Get()->events->AddListener(&presses, &Presses::On);
    Input* input = Input::Get();
    Frames(1);
    EXPECT_EQ(input->Key(kA), kKeyUp);
    EXPECT_FALSE(input->JoystickPresent(0));
    Frames(1);  // frame 2: the pad at its first poll, the key at event polling
    int64_t frameTwo = FrameClock::Get()->frameStart;
    EXPECT_EQ(input->Key(kA), kKeyPressed);
    EXPECT_EQ(input->Key(Input::kMouseLeft), kKeyHeld);
    EXPECT_EQ(input->GetJoystickButton(0, Input::kPadA), 1);
    EXPECT_TRUE(presses.heard.empty());  // both happened after the frame began
    Frames(1);
    ASSERT_EQ(presses.heard.size(), 2u);  // in the order they happened
    EXPECT_EQ(presses.heard[0].device, PressEvent::kPad);
    EXPECT_EQ(presses.heard[0].at, frameTwo + 1'000'000);
    EXPECT_EQ(presses.heard[1].device, PressEvent::kKeyboard);
    EXPECT_EQ(presses.heard[1].at, frameTwo + 4'250'000);
    Engine::Get()->events->RemoveListener<PressEvent>(&presses);
    EXPECT_EQ(input->Key(kA), kKeyReleased);
    Frames(1);
    EXPECT_EQ(input->cursor, glm::vec2(100.0f, 200.0f));
    Frames(1);
    EXPECT_FALSE(input->JoystickPresent(0));
    EXPECT_EQ(input->Key(Input::kMouseLeft), kKeyUp);  // released by the unplugging, up at the frame's end
}

TEST_F(ReplayRunTest, ABadReplayStopsStartUp)
{
    testing_content::WriteText(content.root / "bad.replay", "1 key 65 press\n2 key\n");
    RunOptions::Get().replayFile = (content.root / "bad.replay").string();
    try {
        Start();
        ADD_FAILURE() << "started";
    } catch (const GameError& error) {
        EXPECT_THAT(error.what(), HasSubstr("bad.replay: line 2: "));
    }
}

// Both players share the keyboard, so a key is refused when any binding holds it; pad
// buttons only clash on the player's own pad.
TEST(RebindTest, AKeyBoundElsewhereOrKeptForTheMenusIsRefusedAndChangesNothing)
{
    using Control = GameSettings::Control;
    GameSettings settings;
    EXPECT_EQ(settings.Rebind(0, Control::kLetterKey, 0, 'M'), "M is already bound for player 2");
    EXPECT_EQ(settings.Rebind(1, Control::kSpotKey, 0, 'Q'), "Q is already bound for player 1");
    EXPECT_EQ(settings.Rebind(0, Control::kSpotKey, 1, 'E'), "E is already bound for player 1");
    EXPECT_EQ(settings.Rebind(0, Control::kLetterKey, 0, Input::kKeyEscape), "ESCAPE is kept for the menus");
    EXPECT_EQ(settings.Rebind(1, Control::kLetterButton, 0, 1), "B is already bound for player 2");
    EXPECT_EQ(settings.Rebind(1, Control::kLetterButton, 0, Input::kPadStart), "START is kept for the menus");
    EXPECT_EQ(settings, GameSettings());

    EXPECT_EQ(settings.Rebind(0, Control::kLetterKey, 0, 'Z'), "");
    EXPECT_EQ(settings.Rebind(1, Control::kLetterKey, 0, 'C'), "");  // player 1 gave it up
    EXPECT_EQ(settings.Rebind(0, Control::kLetterButton, 3, 4), "");
    EXPECT_EQ(settings.bindings[0].letterKeys[0], 'Z');
    EXPECT_EQ(settings.bindings[1].letterKeys[0], 'C');
    EXPECT_EQ(settings.bindings[0].letterButtons[3], 4);
    EXPECT_TRUE(settings.BindingsValid());
}

} // namespace
