// Key states, typed text, gamepads, replays, bindings and kernel press stamps, driven through
// the same handlers the window callbacks and the replay use.
#include "engine.h"
#include "evdevreader.h"
#include "frameclock.h"
#include "gameerror.h"
#include "gamesettings.h"
#include "input.h"
#include "pressstamps.h"
#include "replay.h"
#include "testcontent.h"

#include <GLFW/glfw3.h>
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <linux/input.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <thread>

namespace {

using testing::HasSubstr;
constexpr int kA = 65, kQ = 81;

// Counts the input events of the engine-wide manager.
struct Listener {
    int keyUpdates = 0, textTyped = 0;
    void OnKey(KeyUpdateEvent&) { ++keyUpdates; }
    void OnText(TextTypedEvent&) { ++textTyped; }
};

class InputTest : public testing_content::EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        Start();
        Engine::Get()->events->AddListener(&listener, &Listener::OnKey);
        Engine::Get()->events->AddListener(&listener, &Listener::OnText);
        Frames(1);  // every listener, the engine's too, is active from here on
        input = Input::Get();
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
    void PadButton(int pad, int button, bool down)
    {
        input->SetVirtualPad(pad, true);
        input->SetVirtualButton(pad, button, down);
        input->Poll();
    }

    Listener listener;
    Input* input = nullptr;
};

// A press while held, or a repeat, is no new press.
TEST_F(InputTest, KeysMoveFromPressedToHeldToReleasedToUp)
{
    input->OnKey(kA, Input::kPress);
    EXPECT_EQ(input->Key(kA), kKeyPressed);
    input->EndFrame();
    input->OnKey(kA, Input::kPress);
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
    input->OnKey(kA, Input::kPress);
    input->EndFrame();
    EXPECT_EQ(input->TypedThisFrame(), "a");
    input->OnKey(kA, Input::kRepeat);
    input->EndFrame();
    EXPECT_EQ(input->TypedThisFrame(), "");  // holding types once
    input->OnKey(kA, Input::kRelease);
    EXPECT_EQ(Typed(Input::kKeyBackspace), "\b");
    EXPECT_EQ(input->text, "");  // outside the console nothing is kept
    input->OnKey(Input::kKeyLeftShift, Input::kPress);
    EXPECT_EQ(Typed(kA) + Typed(49) + Typed(96) + Typed(Input::kKeySpace), "A! ");
    input->OnKey(Input::kKeyLeftShift, Input::kRelease);
    input->OnKey(Input::kKeyRightShift, Input::kPress);
    EXPECT_EQ(Typed(59), ":");
    EXPECT_EQ(listener.textTyped, 6);  // one event for each frame that typed something
    for (int button = 0; button < 8; ++button) {  // mouse buttons type nothing
        input->OnMouseButton(button, Input::kPress);
        input->EndFrame();
        EXPECT_EQ(input->TypedThisFrame(), "") << button;
        input->OnMouseButton(button, Input::kRelease);
    }
}

// Pad 0 is also the mouse: A its left button, START escape; only edges are events, and
// unplugging it lets go of the button.
TEST_F(InputTest, GamepadZeroDrivesTheLeftMouseButtonAndEscapeUntilUnplugged)
{
    int before = listener.keyUpdates;
    PadButton(0, Input::kPadA, true);
    EXPECT_EQ(input->Key(Input::kMouseLeft), kKeyPressed);
    EXPECT_EQ(listener.keyUpdates, before + 2);  // the mouse button's, then "something changed"
    input->Poll();
    EXPECT_EQ(listener.keyUpdates, before + 2);
    input->EndFrame();
    EXPECT_EQ(input->Key(Input::kMouseLeft), kKeyHeld);
    input->SetVirtualButton(0, Input::kPadA, false);
    PadButton(0, Input::kPadStart, true);
    EXPECT_EQ(input->Key(Input::kMouseLeft), kKeyReleased);
    EXPECT_EQ(input->Key(Input::kKeyEscape), kKeyPressed);
    PadButton(1, Input::kPadA, true);
    EXPECT_EQ(input->GetJoystickButton(1, Input::kPadA), 1);
    EXPECT_EQ(input->GetJoystickButton(1, 99), 0);
    EXPECT_EQ(input->Key(Input::kMouseLeft), kKeyReleased);  // only pad 0 is a mouse

    input->SetVirtualButton(0, Input::kPadStart, false);
    PadButton(0, Input::kPadA, true);
    input->EndFrame();
    EXPECT_EQ(input->Key(Input::kMouseLeft), kKeyHeld);
    EXPECT_EQ(input->ButtonCount(0), Input::kPadButtonCount);
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

TEST(ReplayTest, MalformedLinesNameTheFileAndLineAndGoodOnesKeepFrameThenFileOrder)
{
    for (const char* line : {"1 key 65 push", "0 key 65 press", "1 key 20 press", "1 mouse 8 press", "1 cursor 10",
                             "1 pad 16 connect", "1 pad 0 axis 0 2", "1 pad 0 hat 0 up", "x key 65 press", "1 jump",
                             "1 key 65 press +16.7ms", "1 key 65 press +-1ms", "1 key 65 press +5", "1 key 65 press +5s"}) {
        try {
            Replay::Parse("# a comment\n\n" + std::string(line) + "\n", "moves.replay");
            ADD_FAILURE() << line << " was accepted";
        } catch (const GameError& error) {
            EXPECT_THAT(error.what(), HasSubstr("moves.replay: line 3: ")) << line;
        }
    }
    Replay replay = Replay::Parse("5 key 65 release # late\n2 key 65 press\n2 cursor 10.5 20\n3 pad 1 axis 4 -0.5\n", "r");
    ASSERT_EQ(replay.EventLines().size(), 3u);
    EXPECT_EQ(replay.EventLines()[0].frame, 2);
    EXPECT_EQ(replay.EventLines()[1].x, 10.5);
    EXPECT_EQ(replay.EventLines()[2].frame, 5);
    ASSERT_EQ(replay.PadLines().size(), 1u);
    EXPECT_EQ(replay.PadLines()[0].x, -0.5);
}

struct Presses {
    std::vector<PressEvent> heard;
    void On(PressEvent& event) { heard.push_back(event); }
};

// A press is heard the frame after it happened, stamped at its own instant in the frame.
using ReplayRunTest = testing_content::EngineTest;
TEST_F(ReplayRunTest, ReplayLinesArriveAtTheirFramesStampedAtTheirInstants)
{
    testing_content::WriteText(content.root / "moves.replay", "2 key 65 press +4.25ms\n3 key 65 release\n"
                                                              "2 pad 0 button 0 press +1ms\n4 cursor 100 200\n5 pad 0 disconnect\n");
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
    EXPECT_TRUE(presses.heard.empty());
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

// Both players share the keyboard, so a key is refused when any binding holds it; pad
// buttons only clash on the player's own pad. A refusal changes nothing.
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
    EXPECT_EQ(settings.bindings[1].letterKeys[0], 'C');
    EXPECT_EQ(settings.bindings[0].letterButtons[3], 4);
    EXPECT_TRUE(settings.BindingsValid());
}

// Which device record a change the window system reports takes its instant from.
constexpr int64_t kMs = 1'000'000;

StampedPress Record(PressKind kind, int code, int action, int64_t ms, const char* device = "Keyboard")
{
    return StampedPress{kind, code, action, ms * kMs, 1, device};
}

TEST(PressStampsTest, AChangeTakesTheOldestFittingRecordOnce)
{
    constexpr PressKind kKey = PressKind::kKey, kPad = PressKind::kPadButton;
    constexpr int kPress = Input::kPress, kRelease = Input::kRelease;
    struct Query {
        PressKind kind;
        int code, action;
        int64_t arrivalMs;
        const char* pad;
        std::optional<int64_t> stampMs;
    };
    const struct {
        const char* what;
        std::vector<StampedPress> records;
        std::vector<Query> queries;
    } cases[] = {
        {"two presses of one key in a frame, in order",
         {Record(kKey, kA, kPress, 100), Record(kKey, kA, kRelease, 103), Record(kKey, kA, kPress, 105)},
         {{kKey, kA, kPress, 116, "", 100}, {kKey, kA, kPress, 116, "", 105}, {kKey, kA, kPress, 116, "", {}},
          {kKey, kA, kRelease, 116, "", 103}}},
        {"a release is no press, another key or a pad button not this key",
         {Record(kKey, kA, kRelease, 100), Record(kKey, kQ, kPress, 100), Record(kPad, kA, kPress, 100, "Pad")},
         {{kKey, kA, kPress, 110, "", {}}, {kKey, kA, kRelease, 110, "", 100}}},
        {"250 ms before the arrival is the oldest usable", {Record(kKey, kA, kPress, 100)},
         {{kKey, kA, kPress, 350, "", 100}}},
        {"a stale record is not used", {Record(kKey, kA, kPress, 100)}, {{kKey, kA, kPress, 351, "", {}}}},
        {"a record up to 1 ms after the arrival is used", {Record(kKey, kA, kPress, 120)},
         {{kKey, kA, kPress, 118, "", {}}, {kKey, kA, kPress, 119, "", 120}}},
        {"pads by name, the oldest of any pad without one",
         {Record(kPad, Input::kPadA, kPress, 110, "Pad One"), Record(kPad, Input::kPadA, kPress, 100, "Pad Two"),
          Record(kPad, Input::kPadA, kPress, 105, "Pad Two")},
         {{kPad, Input::kPadA, kPress, 120, "Pad Three", {}}, {kPad, Input::kPadA, kPress, 120, "Pad One", 110},
          {kPad, Input::kPadA, kPress, 120, "", 100}}},
    };
    for (const auto& test : cases) {
        PressStamps stamps;
        for (const StampedPress& record : test.records) stamps.Add(record);
        for (const Query& q : test.queries)
            EXPECT_EQ(stamps.Match(q.kind, q.code, q.action, q.arrivalMs * kMs, q.pad),
                      q.stampMs ? std::optional(*q.stampMs * kMs) : std::nullopt)
                << test.what << ", arrival " << q.arrivalMs << " ms";
    }
    PressStamps stamps;
    for (int ms = 0; ms < 2000; ++ms) stamps.Add(Record(kKey, kA, kPress, ms));
    EXPECT_LE(stamps.Size(), 501u) << "records older than half a second are forgotten";
}

TEST(PressStampsTest, EveryKernelKeyHasItsOwnGlfwKey)
{
    std::vector<int> seen;
    for (int code = 0; code <= KEY_MAX; ++code)
        if (int key = EvdevReader::GlfwKey(code); key >= 0) seen.push_back(key);
    EXPECT_EQ(seen.size(), 118u) << "every key GLFW names but WORLD_1 and F25, which no kernel key gives";
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(std::adjacent_find(seen.begin(), seen.end()), seen.end()) << "two kernel keys give one GLFW key";
}

// A device whose records the test writes: the reader reads the other end of a pipe.
class FakeDevice {
public:
    FakeDevice(EvdevReader& reader, PressKind kind, const std::string& name)
    {
        int ends[2];
        EXPECT_EQ(pipe2(ends, O_CLOEXEC), 0);
        reader.AddDevice(ends[0], kind, name);
        fd_ = ends[1];
    }
    ~FakeDevice() { Unplug(); }
    static input_event Make(int type, int code, int value, int64_t us)
    {
        input_event event{};
        event.input_event_sec = us / 1'000'000;
        event.input_event_usec = us % 1'000'000;
        event.type = static_cast<uint16_t>(type);
        event.code = static_cast<uint16_t>(code);
        event.value = value;
        return event;
    }
    void Write(int type, int code, int value, int64_t us) { WriteBytes(Make(type, code, value, us), 0, sizeof(input_event)); }
    void WriteBytes(const input_event& event, size_t from, size_t to)
    {
        EXPECT_EQ(write(fd_, reinterpret_cast<const char*>(&event) + from, to - from), static_cast<ssize_t>(to - from));
    }
    void Unplug()
    {
        if (fd_ >= 0) close(fd_);
        fd_ = -1;
    }

private:
    int fd_ = -1;
};

// Pops records until one of each given code has come, or five seconds have passed.
std::vector<StampedPress> PopUntil(EvdevReader& reader, std::vector<int> lastCodes)
{
    std::vector<StampedPress> popped;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    for (StampedPress press; !lastCodes.empty() && std::chrono::steady_clock::now() < deadline;) {
        if (!reader.Pop(&press)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            continue;
        }
        popped.push_back(press);
        std::erase(lastCodes, press.code);
    }
    EXPECT_TRUE(lastCodes.empty()) << "records still missing after 5 s";
    return popped;
}

using Row = std::tuple<int, int, int64_t>;
std::vector<Row> From(const std::vector<StampedPress>& records, const std::string& device)
{
    std::vector<Row> picked;
    for (const StampedPress& record : records)
        if (record.deviceName == device) picked.emplace_back(record.code, record.action, record.nanoseconds);
    return picked;
}

TEST(EvdevReaderTest, RecordsKeepTheirKernelStampsInOrderExceptWhatTheKernelDropped)
{
    EvdevReader reader;
    ASSERT_TRUE(reader.Start(false));
    FakeDevice keyboard(reader, PressKind::kKey, "Keyboard");
    FakeDevice pad(reader, PressKind::kPadButton, "Pad");
    const struct {
        int type, code, value;
        int64_t us;
    } keys[] = {{EV_MSC, MSC_SCAN, 30, 1'000'001}, {EV_KEY, KEY_A, 1, 1'000'001}, {EV_SYN, SYN_REPORT, 0, 1'000'001},
                {EV_KEY, KEY_A, 2, 1'500'000},     {EV_KEY, KEY_POWER, 1, 1'600'000},  // GLFW has no name for it
                {EV_SYN, SYN_DROPPED, 0, 1'700'000}, {EV_KEY, KEY_A, 0, 1'700'000}, {EV_SYN, SYN_REPORT, 0, 1'700'000},
                {EV_KEY, KEY_102ND, 0, 2'000'000}, {EV_KEY, KEY_KP0, 1, 2'000'000}},
      pads[] = {{EV_KEY, BTN_NORTH, 1, 4'000'000}, {EV_KEY, BTN_WEST, 1, 4'000'000}, {EV_ABS, ABS_X, 100, 4'000'000},
                {EV_KEY, BTN_DPAD_LEFT, 0, 4'100'000}, {EV_KEY, BTN_MODE, 1, 4'200'000}};
    for (const auto& k : keys) keyboard.Write(k.type, k.code, k.value, k.us);
    input_event last = FakeDevice::Make(EV_KEY, KEY_Z, 1, 3'000'000);
    keyboard.WriteBytes(last, 0, 5);  // a record may arrive in pieces
    for (const auto& p : pads) pad.Write(p.type, p.code, p.value, p.us);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    keyboard.WriteBytes(last, 5, sizeof last);

    std::vector<StampedPress> records = PopUntil(reader, {GLFW_KEY_Z, 14});
    EXPECT_EQ(From(records, "Keyboard"),
              (std::vector<Row>{{kA, 1, 1'000'001'000}, {kA, 2, 1'500'000'000}, {GLFW_KEY_WORLD_2, 0, 2'000'000'000},
                                {GLFW_KEY_KP_0, 1, 2'000'000'000}, {GLFW_KEY_Z, 1, 3'000'000'000}}));
    EXPECT_EQ(From(records, "Pad"), (std::vector<Row>{{Input::kPadY, 1, 4'000'000'000}, {Input::kPadX, 1, 4'000'000'000},
                                                      {Input::kPadLeft, 0, 4'100'000'000}, {14, 1, 4'200'000'000}}));
    EXPECT_EQ(reader.Dropped(), 0u);
}

TEST(EvdevReaderTest, AnEndedDeviceIsClosedAndTheOthersReadOn)
{
    EvdevReader reader;
    EXPECT_EQ(reader.StartupLine(), "no input devices readable: window-system time stamps");
    ASSERT_TRUE(reader.Start(false));
    FakeDevice one(reader, PressKind::kPadButton, "Pad One");
    FakeDevice two(reader, PressKind::kPadButton, "Pad Two");
    one.Write(EV_KEY, BTN_SOUTH, 1, 1'000'000);
    one.Unplug();
    // Both devices are adopted by the input thread in its own time: wait for the one left.
    const std::string left = "input devices read with kernel time stamps: Pad Two (pad)";
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (reader.StartupLine() != left && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(reader.StartupLine(), left);
    EXPECT_THAT(reader.TakeMessages(), testing::ElementsAre("input device removed: Pad One"));
    two.Write(EV_KEY, BTN_START, 1, 2'000'000);
    std::vector<StampedPress> records = PopUntil(reader, {Input::kPadStart});
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].deviceName, "Pad One");  // written before the unplug: still delivered
    EXPECT_EQ(records[1].deviceName, "Pad Two");
    auto stopping = std::chrono::steady_clock::now();
    reader.Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - stopping, std::chrono::seconds(1)) << "Stop waits for input";
    EXPECT_TRUE(reader.Devices().empty());
}

} // namespace
