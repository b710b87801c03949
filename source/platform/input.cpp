#include "input.h"

#include "eventmanager.h"
#include "event.h"
#include "evdevreader.h"
#include "frameclock.h"

#define GLFW_INCLUDE_NONE
#include <GLFW/glfw3.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace volleyrun {

namespace {

// Stick readings smaller than this are rest noise: a pad at rest must not creep the cursor.
constexpr float kStickDeadZone = 0.15f;
constexpr float kCursorStep = 10.0f;  // pixels per frame at full deflection

// Our layout index -> GLFW gamepad button (GLFW puts the guide button at 8).
constexpr int kFromGlfwButton[Input::kPadButtonCount] = {0, 1, 2, 3, 4, 5, 6, 7, 9, 10, 11, 12, 13, 14, 8};

// US layout with Shift held; 0 for the codes that type nothing.
char Shifted(int code)
{
    switch (code) {
    case 39: return '"';
    case 44: return '<';
    case 45: return '_';
    case 46: return '>';
    case 47: return '?';
    case 48: return ')';
    case 49: return '!';
    case 50: return '@';
    case 51: return '#';
    case 52: return '$';
    case 53: return '%';
    case 54: return '^';
    case 55: return '&';
    case 56: return '*';
    case 57: return '(';
    case 59: return ':';
    case 61: return '+';
    case 91: return '{';
    case 92: return '|';
    case 93: return '}';
    default: return 0;
    }
}

void Echo(const char* text)
{
    std::fputs(text, stdout);
    std::fflush(stdout);
}

} // namespace

void Input::Connect(EventManager* events, const int64_t* frameCount)
{
    events_ = events;
    frameCount_ = frameCount;
}

template <class E>
void Input::SendNow(E&& event)
{
    if (events_) events_->Send(std::forward<E>(event));
}

// The frame being run: the replay numbers frames from 1.
int64_t Input::CurrentFrame() const
{
    return frameCount_ ? *frameCount_ + 1 : 1;
}

Input* Input::Start()
{
    if (Exists()) return Get();
    return Publish(std::unique_ptr<Input>(new Input()));
}

Input::Input()
{
    keys_.fill(kKeyUp);
}

Input::~Input() = default;

void Input::SetState(int code, int action)
{
    // GLFW reports -1 for keys it does not know: no state, but listeners still hear of it.
    if (code >= 0 && code < kKeyCount) {
        int& state = keys_[code];
        if (action == kRelease) state = kKeyReleased;
        else if (action == kPress) state = state == kKeyHeld ? kKeyHeld : kKeyPressed;
        else if (action == kRepeat) state = kKeyHeld;
    }
    SendNow(KeyUpdateEvent());
}

void Input::OnKey(int key, int action)
{
    if (action == kPress) Record(PressEvent::kKeyboard, 0, key, PressInstant(PressKind::kKey, key, 0));
    SetState(key, action);
}

void Input::OnMouseButton(int button, int action)
{
    if (action == kPress) Record(PressEvent::kMouse, 0, button, StampNow());
    SetState(button, action);
}

void Input::StampArrivals()
{
    rule_ = StampRule::kArrival;
}

void Input::StampBetween(int64_t from, int64_t to)
{
    rule_ = StampRule::kBetween;
    stampFrom_ = std::min(from, to);
    stampTo_ = to;
}

void Input::StampExactly(int64_t at)
{
    rule_ = StampRule::kExact;
    stampFrom_ = stampTo_ = at;
}

int64_t Input::StampNow() const
{
    switch (rule_) {
    case StampRule::kArrival: return FrameClock::Get()->Now();
    case StampRule::kBetween: return stampFrom_ + (stampTo_ - stampFrom_) / 2;
    case StampRule::kExact: return stampFrom_;
    }
    return stampFrom_;
}

void Input::ReadInputDevices()
{
    if (devices_ || replaying_) return;
    auto reader = std::make_unique<EvdevReader>();
    if (!reader->Start(true)) reader.reset();
    ReadInputDevices(std::move(reader));
}

void Input::ReadInputDevices(std::unique_ptr<EvdevReader> started)
{
    if (devices_ || replaying_) return;
    devices_ = std::move(started);
    deviceNotes_.push_back(devices_ ? devices_->StartupLine() : "no input devices readable: window-system time stamps");
}

int64_t Input::PressInstant(PressKind kind, int code, int joystick)
{
    if (!devices_ || rule_ == StampRule::kExact) return StampNow();
    for (StampedPress record; devices_->Pop(&record);) kernelStamps_.Add(record);
    int64_t arrival = rule_ == StampRule::kArrival ? FrameClock::Get()->Now() : stampTo_;
    const char* pad = kind == PressKind::kPadButton && platform_ ? glfwGetJoystickName(joystick) : nullptr;
    return kernelStamps_.Match(kind, code, kPress, arrival, pad ? pad : "").value_or(StampNow());
}

void Input::TraceDeviceNotes()
{
    if (devices_)
        for (std::string& line : devices_->TakeMessages()) deviceNotes_.push_back(std::move(line));
    for (const std::string& line : deviceNotes_) SendNow(TraceEvent(line + "\n", 0.0f));
    deviceNotes_.clear();
}

void Input::Record(PressEvent::Device device, int32_t joystick, int32_t code, int64_t at)
{
    presses_.push_back({at, device, joystick, code});
}

int64_t Input::DeliverPresses()
{
    // Without a window only the replay and the pads speak, and both were read at Poll.
    int64_t upTo = platform_ ? std::min(windowSeen_, padsSeen_) : padsSeen_;
    seenUpTo_ = std::max(seenUpTo_, upTo);
    std::stable_sort(presses_.begin(), presses_.end(), [](const Press& a, const Press& b) { return a.at < b.at; });
    auto due = std::find_if(presses_.begin(), presses_.end(), [this](const Press& p) { return p.at > seenUpTo_; });
    std::vector<Press> now(presses_.begin(), due);
    presses_.erase(presses_.begin(), due);
    for (const Press& press : now) SendNow(PressEvent(press.device, press.joystick, press.code, press.at));
    return seenUpTo_;
}

void Input::OnCursor(double x, double y)
{
    cursor = {static_cast<float>(x), static_cast<float>(y)};
}

void Input::OnJoystick(int joystick, int event)
{
    if (joystick < 0 || joystick >= kJoystickCount) return;
    if (event == kConnected) {
        ReadPad(joystick);
    } else if (event == kDisconnected) {
        pads_[joystick] = Pad();
    }
}

void Input::SetVirtualPad(int joystick, bool present)
{
    if (joystick < 0 || joystick >= kJoystickCount) return;
    Pad& pad = virtualPads_[joystick];
    pad = Pad();
    if (!present) return;
    pad.present = true;
    pad.buttons.assign(kPadButtonCount, 0);
    pad.axes.assign(kPadAxisCount, 0.0f);
    pad.axes[4] = pad.axes[5] = -1.0f;  // triggers at rest
}

void Input::SetVirtualButton(int joystick, int button, bool down)
{
    if (joystick < 0 || joystick >= kJoystickCount || button < 0) return;
    Pad& pad = virtualPads_[joystick];
    if (!pad.present) SetVirtualPad(joystick, true);
    if (static_cast<size_t>(button) >= pad.buttons.size()) pad.buttons.resize(button + 1, 0);
    pad.stamps.resize(pad.buttons.size(), 0);
    pad.buttons[button] = down ? 1 : 0;
    pad.stamps[button] = StampNow();
}

void Input::SetVirtualAxis(int joystick, int axis, float value)
{
    if (joystick < 0 || joystick >= kJoystickCount || axis < 0) return;
    Pad& pad = virtualPads_[joystick];
    if (!pad.present) SetVirtualPad(joystick, true);
    if (static_cast<size_t>(axis) >= pad.axes.size()) pad.axes.resize(axis + 1, 0.0f);
    pad.axes[axis] = value;
}

void Input::ReadPad(int joystick)
{
    // A replay owns the pads completely, so a run is the same with a pad plugged in.
    if (platform_ && !replaying_) ReadPlatformPad(joystick, pads_[joystick]);
    else pads_[joystick] = virtualPads_[joystick];
}

void Input::ReadPlatformPad(int joystick, Pad& pad) const
{
    pad.present = glfwJoystickPresent(joystick) == GLFW_TRUE;
    if (!pad.present) {
        pad.buttons.clear();
        pad.axes.clear();
        return;
    }
    GLFWgamepadstate state;
    if (glfwJoystickIsGamepad(joystick) && glfwGetGamepadState(joystick, &state)) {
        pad.buttons.resize(kPadButtonCount);
        for (int i = 0; i < kPadButtonCount; ++i) pad.buttons[i] = state.buttons[kFromGlfwButton[i]];
        pad.axes.assign(state.axes, state.axes + kPadAxisCount);
        return;
    }
    // No mapping known for this device: its raw buttons and axes.
    int count = 0;
    const unsigned char* buttons = glfwGetJoystickButtons(joystick, &count);
    pad.buttons.assign(buttons, buttons + (buttons ? count : 0));
    const float* axes = glfwGetJoystickAxes(joystick, &count);
    pad.axes.assign(axes, axes + (axes ? count : 0));
}

void Input::Poll()
{
    TraceDeviceNotes();
    ApplyReplayLines(replayPads_);
    PollPads();
}

void Input::PollPads()
{
    int64_t now = FrameClock::Get()->Now();
    // A pad change happened somewhere since the last reading.
    StampBetween(padsSeen_, now);
    padsSeen_ = now;
    bool changed = false;
    for (int j = 0; j < kJoystickCount; ++j) {
        ReadPad(j);
        changed = DetectEdges(j) || changed;
    }
    if (changed) SendNow(KeyUpdateEvent());
}

bool Input::DetectEdges(int joystick)
{
    const Pad& pad = pads_[joystick];
    uint32_t& bits = buttonBits_[joystick];
    bool changed = false;
    for (size_t b = 0; b < pad.buttons.size(); ++b) {
        uint32_t bit = 1u << (b % 32);
        bool down = pad.buttons[b] != 0;
        if (down == ((bits & bit) != 0)) continue;
        bits ^= bit;
        changed = true;
        // A replayed pad says when; a read one happened since the last reading.
        bool stamped = b < pad.stamps.size() && pad.stamps[b] != 0;
        if (down) {
            int64_t at = stamped ? pad.stamps[b] : PressInstant(PressKind::kPadButton, static_cast<int>(b), joystick);
            Record(PressEvent::kPad, joystick, static_cast<int32_t>(b), at);
        }
        MapPad(joystick, static_cast<int>(b), down);
    }
    // An unplugged pad lets go of everything it held, or its mouse button would stay down.
    for (int b = 0; !pad.present && bits != 0 && b < 32; ++b) {
        uint32_t bit = 1u << b;
        if (!(bits & bit)) continue;
        bits &= ~bit;
        changed = true;
        MapPad(joystick, b, false);
    }
    return changed;
}

void Input::MapPad(int joystick, int button, bool down)
{
    if (button == kPadA && joystick == 0) {
        int& mouse = keys_[kMouseLeft];
        mouse = down ? (mouse == kKeyHeld ? kKeyHeld : kKeyPressed) : kKeyReleased;
        SendNow(KeyUpdateEvent());
    } else if (button == kPadStart) {
        keys_[kKeyEscape] = down ? kKeyPressed : kKeyReleased;
    }
}

void Input::EndFrame()
{
    typed_.clear();
    wheel_ = 0.0;
    if (keys_[kKeyBackslash] == kKeyPressed && !textMode) textMode = true;  // the backslash is typed below
    if (keys_[kKeyEnter] == kKeyPressed) {
        if (textMode) Echo("\n");
        typed_ += '\n';
        if (textMode) Echo("\n");
    }
    for (int k = 0; k < kKeyCount; ++k) {
        if (keys_[k] == kKeyReleased) {
            keys_[k] = kKeyUp;
        } else if (keys_[k] == kKeyPressed) {
            keys_[k] = kKeyHeld;
            if (k < 127 || k == kKeyBackspace) TypeKey(k);
        }
    }
    if (!typed_.empty()) SendNow(TextTypedEvent());
    if (textMode && typed_.find('\n') != std::string::npos) {
        SendNow(DevMessageEvent(text));
        text.clear();
        textMode = false;
        typed_.clear();
    }
    MoveCursorWithPad();
}

void Input::TypeKey(int key)
{
    if (key == kKeyBackspace) {
        // The backslash that opened the console stays, as it does on the overlay's line.
        if (textMode && text.size() > 1) text.pop_back();
        if (textMode) Echo("\b \b");
        typed_ += '\b';
        return;
    }
    if (key < 32 || key > 126) return;  // mouse buttons and control keys type nothing
    char c = static_cast<char>(key);
    bool shift = keys_[kKeyLeftShift] != kKeyUp || keys_[kKeyRightShift] != kKeyUp;
    if (!shift && key >= 'A' && key <= 'Z') {
        c = static_cast<char>(key + 32);
    } else if (shift && ((key >= 33 && key <= 64) || key >= 91)) {
        c = Shifted(key);
        if (c == 0) return;
    }
    typed_ += c;
    // Only the console keeps a line: keys pressed in play must not end up in the next command.
    if (!textMode) return;
    text += c;
    const char echo[2] = {c, '\0'};
    Echo(echo);
}

void Input::UseReplay(std::vector<ReplayLine> events, std::vector<ReplayLine> pads)
{
    replayEvents_ = {std::move(events)};
    replayPads_ = {std::move(pads)};
    replaying_ = true;
}

void Input::PollReplayEvents()
{
    ApplyReplayLines(replayEvents_);
}

// The lines of frames up to the current one not yet applied, each at its own instant.
void Input::ApplyReplayLines(ReplayLines& replay)
{
    const int64_t frame = CurrentFrame(), frameStart = FrameClock::Get()->frameStart;
    for (; replay.next < replay.lines.size() && replay.lines[replay.next].frame <= frame; ++replay.next) {
        StampExactly(frameStart + replay.lines[replay.next].offsetNs);
        Apply(replay.lines[replay.next]);
    }
}

void Input::Apply(const ReplayLine& line)
{
    switch (line.kind) {
    case ReplayLine::kKey: OnKey(line.code, line.action); break;
    case ReplayLine::kMouse: OnMouseButton(line.code, line.action); break;
    case ReplayLine::kCursor: OnCursor(line.x, line.y); break;
    case ReplayLine::kPadConnect:
        SetVirtualPad(line.joystick, true);
        OnJoystick(line.joystick, kConnected);
        break;
    case ReplayLine::kPadDisconnect:
        SetVirtualPad(line.joystick, false);
        OnJoystick(line.joystick, kDisconnected);
        break;
    case ReplayLine::kPadButton: SetVirtualButton(line.joystick, line.code, line.action == kPress); break;
    case ReplayLine::kPadAxis: SetVirtualAxis(line.joystick, line.code, static_cast<float>(line.x)); break;
    }
}

void Input::MoveCursorWithPad()
{
    const Pad& pad = pads_[0];
    if (!pad.present || pad.axes.size() < 2) return;
    float x = std::fabs(pad.axes[0]) < kStickDeadZone ? 0.0f : pad.axes[0];
    float y = std::fabs(pad.axes[1]) < kStickDeadZone ? 0.0f : pad.axes[1];
    if (x == 0.0f && y == 0.0f) return;
    // Pads report a stick pushed up as negative, so up moves the cursor to a smaller y.
    cursor.x += x * kCursorStep;
    cursor.y += y * kCursorStep;
    char line[96];
    std::snprintf(line, sizeof(line), "%svec2(%f, %f)\n", "", cursor.x, cursor.y);
    SendNow(TraceEvent(line, 0.0f));
    cursor.x = std::clamp(cursor.x, 0.0f, kCursorWidth);
    cursor.y = std::clamp(cursor.y, 0.0f, kCursorHeight);
}

int Input::GetJoystickButton(int joystick, int button) const
{
    if (!JoystickPresent(joystick) || button < 0) return 0;
    const auto& buttons = pads_[joystick].buttons;
    return static_cast<size_t>(button) < buttons.size() && buttons[button] ? 1 : 0;
}

bool Input::JoystickPresent(int joystick) const
{
    return joystick >= 0 && joystick < kJoystickCount && pads_[joystick].present;
}

int Input::ButtonCount(int joystick) const
{
    return JoystickPresent(joystick) ? static_cast<int>(pads_[joystick].buttons.size()) : 0;
}

int Input::AxisCount(int joystick) const
{
    return JoystickPresent(joystick) ? static_cast<int>(pads_[joystick].axes.size()) : 0;
}

float Input::Axis(int joystick, int axis) const
{
    if (axis < 0 || axis >= AxisCount(joystick)) return 0.0f;
    return pads_[joystick].axes[axis];
}

} // namespace volleyrun
