// Input: the process-wide key and mouse-button state table, the cursor, the gamepads and
// the typed text of the developer console, and every press with the instant it happened.
// Window callbacks (installed by the window) and the replay (--replay) write states through
// the On* handlers during event polling, stamped by the rule the poller set (StampArrivals,
// StampBetween, StampExactly); the engine calls Poll at the start of each frame and between
// pacing waits (gamepads), DeliverPresses before the frame's update and EndFrame once per
// frame after the buffer swap. Game code reads the states directly and listens for
// KeyUpdateEvent, TextTypedEvent and PressEvent. Game thread only.
#pragma once

#include "event.h"
#include "padlayout.h"
#include "pressstamps.h"
#include "replayline.h"
#include "service.h"

#include <glm/vec2.hpp>

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace volleyrun {

class EvdevReader;
class EventManager;

enum KeyState : int {
    kKeyUp = 1,
    kKeyPressed = 2,   // pressed this frame
    kKeyHeld = 3,
    kKeyReleased = 4,  // released this frame
};

class Input : public Service<Input>, public PadLayout {
public:
    static constexpr const char* kServiceName = "input";
    static constexpr int kKeyCount = 349;  // GLFW key codes 32..348; mouse buttons 0..7
    static constexpr int kJoystickCount = 16;
    static constexpr int kMouseLeft = 0;
    static constexpr int kKeySpace = 32;
    static constexpr int kKeyBackslash = 92;
    static constexpr int kKeyEscape = 256;
    static constexpr int kKeyEnter = 257;
    static constexpr int kKeyBackspace = 259;
    static constexpr int kKeyF11 = 300;
    static constexpr int kKeyLeftShift = 340;
    static constexpr int kKeyRightShift = 344;
    // Window callback actions and joystick events, as GLFW numbers them.
    static constexpr int kRelease = 0;
    static constexpr int kPress = 1;
    static constexpr int kRepeat = 2;
    static constexpr int kConnected = 0x40001;
    static constexpr int kDisconnected = 0x40002;
    static constexpr float kCursorWidth = 1920.0f;  // the gamepad cursor stays inside 0..1920 x 0..1080
    static constexpr float kCursorHeight = 1080.0f;

    static Input* Start();
    ~Input();

    // The engine-wide manager that key, text, press and trace events go to, and the
    // engine's frame counter, which numbers the replay's frames; the engine connects them
    // at start-up. Unconnected (input alone in a test), nothing is sent and the frame is 1.
    void Connect(EventManager* events, const int64_t* frameCount);

    // Window callbacks (and replay lines) land here.
    void OnKey(int key, int action);
    void OnMouseButton(int button, int action);
    void OnCursor(double x, double y);
    void OnScroll(double y) { wheel_ += y; }
    void OnJoystick(int joystick, int event);

    // Delivers the replay's pad lines of the frame that has begun, then reads the pads.
    void Poll();
    // Reads every gamepad and turns button changes into events; gamepad 0's first button
    // is the left mouse button and every pad's Start button is Escape.
    void PollPads();
    // How the instant of a window or replay event handled from now on is known: it is
    // handled as it happens (the frame was idle, waiting for events); it happened somewhere
    // between from and to (the frame was busy), so it takes the middle, the smallest error
    // the poller can promise; or the replay says when.
    void StampArrivals();
    void StampBetween(int64_t from, int64_t to);
    void StampExactly(int64_t at);
    // Every window event up to this instant has been handled (the poller says so).
    void WindowSeenUpTo(int64_t at) { windowSeen_ = at; }
    // Sends every press recorded so far that happened no later than the instant up to
    // which every device has been read, in the order they happened. Returns that instant:
    // a press judged later than it is impossible, so a ball may be given up until then.
    int64_t DeliverPresses();
    // The instant the last DeliverPresses reached.
    int64_t SeenUpTo() const { return seenUpTo_; }
    // Typed text, the console line, then every pressed key becomes held and every
    // released key up; gamepad 0's left stick moves the cursor.
    void EndFrame();
    // Types one key into the line (US layout; Shift from the state table).
    void TypeKey(int key);
    // A replay's lines (keys, mouse buttons and the cursor; the pads), each in ascending
    // frame: from now on they drive the input at their frames and own the pads
    // completely. The engine's start-up hands them over before the window opens.
    void UseReplay(std::vector<ReplayLine> events, std::vector<ReplayLine> pads);
    // Delivers the replay's key, mouse and cursor lines of the current frame; the engine
    // runs it right after the window's own event polling.
    void PollReplayEvents();

    int Key(int code) const { return code >= 0 && code < kKeyCount ? keys_[code] : kKeyUp; }
    // 1 while the button is down, 0 when it is up or the pad is absent.
    int GetJoystickButton(int joystick, int button) const;
    bool JoystickPresent(int joystick) const;
    int ButtonCount(int joystick) const;
    int AxisCount(int joystick) const;
    // -1..1 (sticks: negative is left and up; triggers: -1 released); 0 when absent.
    float Axis(int joystick, int axis) const;
    // Mouse wheel notches turned during the last event polling: positive away from the user.
    double Wheel() const { return wheel_; }
    // The characters typed this frame: '\n' for Enter, byte 8 for Backspace.
    const std::string& TypedThisFrame() const { return typed_; }

    // The window attaches its gamepads after glfwInit and detaches them before
    // glfwTerminate; without them (headless) only the replay drives gamepads.
    void AttachPlatform(bool attached) { platform_ = attached; }
    // Reads the system's keyboards and pads on an input thread from now on, so that a key
    // or button the window reports takes the instant the kernel stamped on it (real time,
    // with a window). The start-up trace names the devices read, or says there are none.
    void ReadInputDevices();
    // The same with a reader already started (null: none could be), such as a test's that
    // reads devices it was handed.
    void ReadInputDevices(std::unique_ptr<EvdevReader> started);
    // A pad driven by the replay (or a test), in the layout above: connecting gives 15
    // released buttons, centred sticks and released triggers (-1). Setting a button or an
    // axis of an absent pad connects it first. Poll reads them.
    void SetVirtualPad(int joystick, bool present);
    void SetVirtualButton(int joystick, int button, bool down);
    void SetVirtualAxis(int joystick, int axis, float value);

    std::string text;        // the console line being typed (starts with the backslash that opened it)
    bool textMode = false;   // the developer console has the keyboard
    glm::vec2 cursor{0.0f};  // window pixels, y downward

private:
    template <class E>
    void SendNow(E&& event);
    int64_t CurrentFrame() const;

    EventManager* events_ = nullptr;
    const int64_t* frameCount_ = nullptr;
    struct Press {
        int64_t at;
        PressEvent::Device device;
        int32_t joystick;
        int32_t code;
    };
    enum class StampRule { kArrival, kBetween, kExact };

    struct Pad {
        bool present = false;
        std::vector<unsigned char> buttons;  // 1 = pressed
        std::vector<float> axes;
        std::vector<int64_t> stamps;  // virtual pads: when each button last changed
    };

    Input();

    void ReadPad(int joystick);
    void ReadPlatformPad(int joystick, Pad& pad) const;
    bool DetectEdges(int joystick);
    void MapPad(int joystick, int button, bool down);
    void MoveCursorWithPad();
    void SetState(int code, int action);
    int64_t StampNow() const;
    // The instant of a press handled now: the kernel's stamp of the same change when an
    // input device reported it, else the stamping rule's.
    int64_t PressInstant(PressKind kind, int code, int joystick);
    void TraceDeviceNotes();
    void Record(PressEvent::Device device, int32_t joystick, int32_t code, int64_t at);

    std::array<int, kKeyCount> keys_;
    std::array<Pad, kJoystickCount> pads_;         // as last read by Poll
    std::array<Pad, kJoystickCount> virtualPads_;  // written by the replay
    std::array<uint32_t, kJoystickCount> buttonBits_{};  // last seen state of buttons 0..31 (modulo 32)
    std::string typed_;
    double wheel_ = 0.0;  // gathered by the scroll callback, cleared by EndFrame
    // A replay's lines and how many of each were applied; empty without --replay.
    struct ReplayLines {
        std::vector<ReplayLine> lines;
        size_t next = 0;
    };
    void ApplyReplayLines(ReplayLines& replay);
    void Apply(const ReplayLine& line);
    ReplayLines replayEvents_, replayPads_;
    bool replaying_ = false;
    bool platform_ = false;
    std::vector<Press> presses_;      // recorded, not yet delivered
    StampRule rule_ = StampRule::kArrival;
    int64_t stampFrom_ = 0, stampTo_ = 0;
    int64_t padsSeen_ = 0;            // when the pads were last read
    int64_t windowSeen_ = 0;
    int64_t seenUpTo_ = 0;
    std::unique_ptr<EvdevReader> devices_;  // null without a window, in virtual time or with a replay
    PressStamps kernelStamps_;
    std::vector<std::string> deviceNotes_;  // for the trace, at the next poll

};

} // namespace volleyrun
