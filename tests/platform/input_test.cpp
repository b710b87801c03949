// Key states, typed text, pads, replays and kernel press stamps, through the handlers the window and the replay use.
#include "engine.h"
#include "evdevreader.h"
#include "frameclock.h"
#include "gameerror.h"
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
#include <utility>

namespace volleyrun {

namespace {

using testing_content::WaitFor;
constexpr int kA = 65, kQ = 81, kEndFrame = -1;

// Counts the input events of the engine-wide manager and keeps its presses.
struct Listener {
    int keyUpdates = 0, textTyped = 0;
    std::vector<PressEvent> presses;
    void OnKey(KeyUpdateEvent&) { ++keyUpdates; }
    void OnText(TextTypedEvent&) { ++textTyped; }
    void OnPress(PressEvent& event) { presses.push_back(event); }
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
    // Key actions, kEndFrame ending the frame; returns what the last frame typed.
    std::string Keys(int key, std::initializer_list<int> actions)
    {
        for (int action : actions) action == kEndFrame ? input->EndFrame() : input->OnKey(key, action);
        return input->TypedThisFrame();
    }
    std::string Typed(int key) { return Keys(key, {Input::kPress, kEndFrame, Input::kRelease}); }
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
    const std::pair<int, KeyState> steps[] = {{Input::kPress, kKeyPressed}, {kEndFrame, kKeyHeld},
                                              {Input::kPress, kKeyHeld},     {Input::kRepeat, kKeyHeld},
                                              {Input::kRelease, kKeyReleased}, {kEndFrame, kKeyUp}};
    for (auto [action, state] : steps) {
        Keys(kA, {action});
        EXPECT_EQ(input->Key(kA), state) << "after action " << action;
    }
    input->OnKey(-1, Input::kPress);  // a key the window system does not know
    EXPECT_EQ(listener.keyUpdates, 5);
}

TEST_F(InputTest, TypingFollowsShiftWithTheUsLayout)
{
    EXPECT_EQ(Keys(kA, {Input::kPress, kEndFrame}), "a");
    EXPECT_EQ(Keys(kA, {Input::kRepeat, kEndFrame}), "");  // holding types once
    input->OnKey(kA, Input::kRelease);
    EXPECT_EQ(Typed(Input::kKeyBackspace), "\b");
    EXPECT_EQ(input->text, "");  // outside the console nothing is kept
    input->OnKey(Input::kKeyLeftShift, Input::kPress);
    EXPECT_EQ(Typed(kA) + Typed(49) + Typed(96) + Typed(Input::kKeySpace), "A! ");
    input->OnKey(Input::kKeyLeftShift, Input::kRelease);
    input->OnKey(Input::kKeyRightShift, Input::kPress);
    EXPECT_EQ(Typed(59), ":");
    EXPECT_EQ(listener.textTyped, 6);  // one event for each frame that typed something
}

// Pad 0 is also the mouse: A its left button, START escape; only edges are events.
TEST_F(InputTest, GamepadZeroDrivesTheLeftMouseButtonAndEscape)
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
    EXPECT_EQ(input->GetJoystickButton(1, 99), 0);
    EXPECT_EQ(input->Key(Input::kMouseLeft), kKeyReleased);  // only pad 0 is a mouse
}

TEST(ReplayTest, MalformedLinesNameTheFileAndLine)
{
    for (const char* line : {"1 key 65 push", "0 key 65 press", "1 key 20 press", "1 mouse 8 press", "1 cursor 10",
                             "1 pad 16 connect", "1 pad 0 axis 0 2", "1 pad 0 hat 0 up", "x key 65 press", "1 jump",
                             "1 key 65 press +16.7ms", "1 key 65 press +-1ms", "1 key 65 press +5",
                             "1 key 65 press +5s"})
        EXPECT_THAT([line] { Replay::Parse("# a comment\n\n" + std::string(line) + "\n", "moves.replay"); },
                    testing::ThrowsMessage<GameError>(testing::HasSubstr("moves.replay: line 3: "))) << line;
}

// A press is heard the frame after it happened, stamped at its own instant in the frame.
using ReplayRunTest = testing_content::EngineTest;
TEST_F(ReplayRunTest, ReplayLinesArriveAtTheirFramesStampedAtTheirInstants)
{
    std::string replay = (content.root / "moves.replay").string();
    testing_content::WriteText(replay, "2 key 65 press +4.25ms\n3 key 65 release\n2 pad 0 button 0 press +1ms\n"
                                       "4 cursor 100 200\n5 pad 0 disconnect\n");
    RunOptions::Get().replayFile = replay;
    Start();
    Listener heard;
    Engine::Get()->events->AddListener(&heard, &Listener::OnPress);
    Input* input = Input::Get();
    Frames(1);
    EXPECT_EQ(input->Key(kA), kKeyUp);  // nothing before its frame
    Frames(1);  // frame 2: the pad at its first poll, the key at event polling
    int64_t frameTwo = FrameClock::Get()->frameStart;
    EXPECT_EQ(input->Key(kA), kKeyPressed);
    EXPECT_EQ(input->Key(Input::kMouseLeft), kKeyHeld);
    EXPECT_TRUE(heard.presses.empty());
    Frames(1);
    ASSERT_EQ(heard.presses.size(), 2u);  // in the order they happened
    EXPECT_EQ(std::pair(heard.presses[0].device, heard.presses[0].at), std::pair(PressEvent::kPad, frameTwo + 1'000'000));
    EXPECT_EQ(std::pair(heard.presses[1].device, heard.presses[1].at), std::pair(PressEvent::kKeyboard, frameTwo + 4'250'000));
    EXPECT_EQ(input->Key(kA), kKeyReleased);
    Frames(1);
    EXPECT_EQ(input->cursor, glm::vec2(100.0f, 200.0f));
    Frames(1);
    EXPECT_FALSE(input->JoystickPresent(0));
    EXPECT_EQ(input->Key(Input::kMouseLeft), kKeyUp);  // released by the unplugging, up at the frame's end
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
    struct Query { PressKind kind; int code, action; int64_t arrivalMs; const char* pad; std::optional<int64_t> stampMs; };
    const struct { const char* what; std::vector<StampedPress> records; std::vector<Query> queries; } cases[] = {
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

input_event Kernel(int type, int code, int value, int64_t us)
{
    return input_event{{us / 1'000'000, us % 1'000'000}, static_cast<uint16_t>(type), static_cast<uint16_t>(code), value};
}

// A device whose records the test writes: the reader reads the other end of a pipe.
struct FakeDevice {
    FakeDevice(EvdevReader& reader, PressKind kind, const std::string& name)
    {
        int ends[2];
        EXPECT_EQ(pipe2(ends, O_CLOEXEC), 0);
        reader.AddDevice(ends[0], kind, name);
        fd = ends[1];
    }
    ~FakeDevice() { Unplug(); }
    void Write(std::initializer_list<input_event> records) { for (const input_event& r : records) Write(r, 0, sizeof r); }
    void Write(const input_event& record, size_t from, size_t to)  // bytes [from, to) of the record
    {
        EXPECT_EQ(write(fd, reinterpret_cast<const char*>(&record) + from, to - from), static_cast<ssize_t>(to - from));
    }
    void Unplug() { close(std::exchange(fd, -1)); }  // a second close of -1 does nothing
    int fd = -1;
};

// Pops records until one of each given code has come, or five seconds have passed.
std::vector<StampedPress> PopUntil(EvdevReader& reader, std::vector<int> lastCodes)
{
    std::vector<StampedPress> popped;
    EXPECT_TRUE(WaitFor([&] {
        for (StampedPress press; reader.Pop(&press); std::erase(lastCodes, press.code)) popped.push_back(press);
        return lastCodes.empty();
    })) << "records still missing after 5 s";
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

// Records keep order and stamps, one in pieces too; an ended device is closed, the others read on; Stop never waits.
TEST(EvdevReaderTest, RecordsKeepTheirKernelStampsExceptWhatTheKernelDroppedAndAnEndedDeviceIsClosed)
{
    EvdevReader reader;
    ASSERT_TRUE(reader.Start(false));
    FakeDevice keyboard(reader, PressKind::kKey, "Keyboard");
    FakeDevice pad(reader, PressKind::kPadButton, "Pad");
    keyboard.Write({Kernel(EV_MSC, MSC_SCAN, 30, 1'000'001), Kernel(EV_KEY, KEY_A, 1, 1'000'001),
                    Kernel(EV_SYN, SYN_REPORT, 0, 1'000'001), Kernel(EV_KEY, KEY_A, 2, 1'500'000),
                    Kernel(EV_KEY, KEY_POWER, 1, 1'600'000),  // GLFW has no name for it
                    Kernel(EV_SYN, SYN_DROPPED, 0, 1'700'000), Kernel(EV_KEY, KEY_A, 0, 1'700'000),
                    Kernel(EV_SYN, SYN_REPORT, 0, 1'700'000), Kernel(EV_KEY, KEY_102ND, 0, 2'000'000),
                    Kernel(EV_KEY, KEY_KP0, 1, 2'000'000)});
    input_event last = Kernel(EV_KEY, KEY_Z, 1, 3'000'000);
    keyboard.Write(last, 0, 5);
    pad.Write({Kernel(EV_KEY, BTN_NORTH, 1, 4'000'000), Kernel(EV_KEY, BTN_WEST, 1, 4'000'000),
               Kernel(EV_ABS, ABS_X, 100, 4'000'000), Kernel(EV_KEY, BTN_DPAD_LEFT, 0, 4'100'000),
               Kernel(EV_KEY, BTN_MODE, 1, 4'200'000)});
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    keyboard.Write(last, 5, sizeof last);
    std::vector<StampedPress> records = PopUntil(reader, {GLFW_KEY_Z, 14});
    EXPECT_EQ(From(records, "Keyboard"),
              (std::vector<Row>{{kA, 1, 1'000'001'000}, {kA, 2, 1'500'000'000}, {GLFW_KEY_WORLD_2, 0, 2'000'000'000},
                                {GLFW_KEY_KP_0, 1, 2'000'000'000}, {GLFW_KEY_Z, 1, 3'000'000'000}}));
    EXPECT_EQ(From(records, "Pad"),
              (std::vector<Row>{{Input::kPadY, 1, 4'000'000'000}, {Input::kPadX, 1, 4'000'000'000},
                                {Input::kPadLeft, 0, 4'100'000'000}, {14, 1, 4'200'000'000}}));
    EXPECT_EQ(reader.Dropped(), 0u);

    pad.Write({Kernel(EV_KEY, BTN_SOUTH, 1, 5'000'000)});
    pad.Unplug();
    // The input thread closes the device in its own time: wait for the one left.
    const std::string left = "input devices read with kernel time stamps: Keyboard (keyboard)";
    EXPECT_TRUE(WaitFor([&] { return reader.StartupLine() == left; })) << reader.StartupLine();
    EXPECT_THAT(reader.TakeMessages(), testing::ElementsAre("input device removed: Pad"));
    keyboard.Write({Kernel(EV_KEY, KEY_B, 1, 6'000'000)});
    records = PopUntil(reader, {GLFW_KEY_B});
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].deviceName, "Pad");  // written before the unplug: still delivered
    EXPECT_EQ(records[1].deviceName, "Keyboard");
    auto stopping = std::chrono::steady_clock::now();
    reader.Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - stopping, std::chrono::seconds(1)) << "Stop waits for input";
    EXPECT_TRUE(reader.Devices().empty());
}

// Two keyboards pressed A, the second first: the window's presses of A take the kernel's instants oldest first.
TEST_F(InputTest, WindowPressesTakeTheKernelInstantsOldestFirst)
{
    Engine::Get()->events->AddListener(&listener, &Listener::OnPress);
    Frames(1);
    const int64_t now = FrameClock::Get()->Now(), nowUs = now / 1000;
    ASSERT_GE(nowUs, 8000);
    auto started = std::make_unique<EvdevReader>();
    ASSERT_TRUE(started->Start(false));
    EvdevReader& reader = *started;
    input->ReadInputDevices(std::move(started));
    {
        FakeDevice one(reader, PressKind::kKey, "Keyboard One"), two(reader, PressKind::kKey, "Keyboard Two");
        one.Write({Kernel(EV_KEY, KEY_A, 1, nowUs - 5000)});
        two.Write({Kernel(EV_KEY, KEY_A, 1, nowUs - 8000)});
        WaitFor([&] { return reader.Devices().size() == 2; });
    }
    WaitFor([&] { return reader.Devices().empty(); });  // a device is closed only after all it wrote was read
    for (int action : {Input::kPress, Input::kRelease, Input::kPress}) {
        input->StampBetween(now - 2 * kMs, now);
        input->OnKey(kA, action);
        input->PollPads();
        input->DeliverPresses();
    }
    ASSERT_EQ(listener.presses.size(), 2u);
    EXPECT_EQ(listener.presses[0].at, (nowUs - 8000) * 1000);
    EXPECT_EQ(listener.presses[1].at, (nowUs - 5000) * 1000);
}

} // namespace

} // namespace volleyrun
