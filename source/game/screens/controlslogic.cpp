#include "controlslogic.h"

#include "audioengine.h"
#include "contentnames.h"
#include "engine.h"
#include "entity.h"
#include "frameclock.h"
#include "input.h"
#include "matchstats.h"
#include "space.h"
#include "spritetext.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace volleyrun {

static_assert(ControlsLogic::kPadButtons == Input::kPadButtonCount);

namespace {

using Control = GameSettings::Control;

const char* const kOptionsSpaces[] = {Content::kMenuOptionsSpace, Content::kOptionsSpace};
const char* const kDevices[] = {"KEYBOARD", "PAD"};

struct Row {
    const char* name;
    Control control;
    int slots;
};
const Row kRows[] = {{"LetterKey", Control::kLetterKey, 4}, {"SpotKey", Control::kSpotKey, 3},
                     {"LetterButton", Control::kLetterButton, 4}};
const char* const kLetters[] = {"A", "B", "X", "Y"};
const char* const kSpots[] = {"4", "2", "1"};


std::string Prefix(int player)
{
    return "P" + std::to_string(player + 1);
}

std::string Milliseconds(float value)
{
    char text[24];
    std::snprintf(text, sizeof text, "%+.1f MS", value);
    return text;
}

std::string ControlName(int player, Control control, int slot)
{
    std::string what = control == Control::kSpotKey ? std::string("SPOT ") + kSpots[slot]
                       : control == Control::kLetterKey ? std::string("LETTER ") + kLetters[slot] + " KEY"
                                                        : std::string("PAD ") + kLetters[slot];
    return "PLAYER " + std::to_string(player + 1) + " " + what;
}

} // namespace

std::vector<std::string> ControlsLogic::ButtonNames()
{
    std::vector<std::string> names = {"AudioOffsetDown", "AudioOffsetUp", "VisualOffsetDown", "VisualOffsetUp"};
    for (int player = 0; player < 2; ++player) {
        for (const Row& row : kRows)
            for (int slot = 0; slot < row.slots; ++slot) names.push_back(Prefix(player) + row.name + std::to_string(slot));
        for (const char* what : {"Device", "OffsetDown", "OffsetUp", "TapTest", "LastMatch"})
            names.push_back(Prefix(player) + what);
    }
    return names;
}

void ControlsLogic::Initialize()
{
    Space* space = owner->space;
    for (const std::string& name : ButtonNames()) {
        Entity* button = space->RequireEntity(name);
        ListenTo(*button, &ControlsLogic::OnTrigger);
    }
    Listen(*space->events, &ControlsLogic::OnUpdate);
    Listen(EngineEvents(), &ControlsLogic::OnPress);
    HoldOptionsScreen(true);
    message_ = "CLICK A KEY TO CHANGE IT, THEN PRESS THE NEW ONE";
    Refresh();
}

void ControlsLogic::Terminate()
{
    if (session_.active) EndSession();
    HoldOptionsScreen(false);
}

// The options screen under this one would take the same clicks and keys: it waits, unseen.
void ControlsLogic::HoldOptionsScreen(bool hold)
{
    if (hold) {
        for (const char* name : kOptionsSpaces)
            if (Space* options = Engine::Get()->FindSpace(name)) under_ = options->Ref();
    }
    if (Space* options = under_.Get()) {
        options->SetPaused(hold);
        options->visible = !hold;
    }
}

void ControlsLogic::OnTrigger(TriggerEvent& event)
{
    Entity* sender = event.sender.Get();
    if (event.name != "button" || !sender || clickGuard_ || capture_.active || session_.active) return;
    OnButton(sender->name);
    Refresh();
}

void ControlsLogic::OnButton(const std::string& name)
{
    GameSettings& settings = GameSettings::Get();
    if (name == "AudioOffsetDown" || name == "AudioOffsetUp") Step(settings.audioOffsetMs, name == "AudioOffsetUp" ? 1.0f : -1.0f);
    else if (name == "VisualOffsetDown" || name == "VisualOffsetUp") Step(settings.visualOffsetMs, name == "VisualOffsetUp" ? 1.0f : -1.0f);
    else if (name.size() > 2 && name[0] == 'P') OnPlayerButton(name[1] - '1', name.substr(2));
}

void ControlsLogic::OnPlayerButton(int player, const std::string& what)
{
    float& offset = GameSettings::Get().inputOffsetMs[player][device_[player]];
    for (const Row& row : kRows)
        for (int slot = 0; slot < row.slots; ++slot)
            if (what == row.name + std::to_string(slot)) StartCapture(player, row.control, slot);
    if (what == "Device") device_[player] = 1 - device_[player];
    else if (what == "OffsetDown" || what == "OffsetUp") Step(offset, what == "OffsetUp" ? 1.0f : -1.0f);
    else if (what == "TapTest") StartSession(player);
    else if (what == "LastMatch") FromLastMatch(player);
}

void ControlsLogic::Step(float& offsetMs, float sign)
{
    float stepped = std::round((offsetMs + sign * kStepMs) / kStepMs) * kStepMs;
    offsetMs = std::clamp(stepped, -GameSettings::kMaxOffsetMs, GameSettings::kMaxOffsetMs);
}

void ControlsLogic::StartCapture(int player, Control control, int slot)
{
    capture_ = {true, player, control, slot};
    bool button = control == Control::kLetterButton;
    message_ = ControlName(player, control, slot) + ": PRESS " +
               (button ? "A BUTTON ON PAD " + std::to_string(player + 1) : std::string("A KEY")) + " (ESCAPE CANCELS)";
}

// The first key (or the player's pad button) pressed this frame becomes the binding.
void ControlsLogic::TakeCapture()
{
    const Input* input = Input::Get();
    if (input->Key(Input::kKeyEscape) == kKeyPressed) {
        capture_.active = false;
        message_ = "NOTHING CHANGED";
        return;
    }
    bool button = capture_.control == Control::kLetterButton;
    int count = button ? Input::kPadButtonCount : Input::kKeyCount;
    for (int code = button ? 0 : Input::kKeySpace; code < count; ++code) {
        if (button ? !PadPressed(capture_.player, code) : input->Key(code) != kKeyPressed) continue;
        std::string refusal = GameSettings::Get().Rebind(capture_.player, capture_.control, capture_.slot, code);
        message_ = refusal.empty() ? ControlName(capture_.player, capture_.control, capture_.slot) + " IS " +
                                         (button ? GameSettings::ButtonName(code) : GameSettings::KeyName(code))
                                   : "REFUSED: " + refusal;
        capture_.active = false;
        clickGuard_ = true;  // pad 1's A and Enter also click: not this time
        return;
    }
}

// The song playing under the options screen: the match's pause version over a paused match.
const char* ControlsLogic::MenuMusic() const
{
    return Engine::Get()->FindSpace(Content::kMatchSpace) ? Content::kPauseMusic : Content::kMenuMusic;
}

void ControlsLogic::StartSession(int player)
{
    session_ = {true, player, -1, FrameClock::Get()->Now(), {}, MenuMusic()};
    EngineEvents().Send(PauseSoundEvent(session_.music, true));
    EngineEvents().Send(PlaySoundEvent(AudioEngine::kClickTrack, true));
    EngineEvents().Send(PauseSoundEvent(AudioEngine::kClickTrack, false));  // a restart keeps the last pause
    message_ = "PLAYER " + std::to_string(player + 1) + ": LISTEN ONE BAR, THEN TAP A LETTER ON EVERY CLICK";
    SayTo(player, "0 OF " + std::to_string(Calibration::kTaps));
}

void ControlsLogic::EndSession()
{
    session_.active = false;
    EngineEvents().Send(PauseSoundEvent(AudioEngine::kClickTrack, true));
    EngineEvents().Send(PauseSoundEvent(session_.music, false));
}

std::optional<double> ControlsLogic::TapErrorMs(int64_t instant, float inputOffsetMs, float audioOffsetMs)
{
    const MusicClock& clock = AudioEngine::Get()->ClickTrack();
    std::optional<double> heard = clock.SixteenthsAt(instant);
    if (!heard) return std::nullopt;
    double click = std::round(*heard / 4.0) * 4.0;
    std::optional<int64_t> clickInstant = clock.InstantOf(click);
    if (!clickInstant) return std::nullopt;
    return static_cast<double>(instant - *clickInstant) / 1e6 - inputOffsetMs - audioOffsetMs;
}

// A letter key of the player's (device 0) or a letter button of his pad (device 1); the
// first tap chooses the device, the other is ignored after it.
void ControlsLogic::OnPress(PressEvent& event)
{
    if (!session_.active || capture_.active || event.at - session_.started < kListenNs) return;
    const GameSettings& settings = GameSettings::Get();
    int player = session_.player;
    const GameSettings::Bindings& bindings = settings.bindings[player];
    int device = -1;
    for (int slot = 0; slot < 4; ++slot) {
        if (event.device == PressEvent::kKeyboard && event.code == bindings.letterKeys[slot]) device = 0;
        if (event.device == PressEvent::kPad && event.joystick == player && event.code == bindings.letterButtons[slot]) device = 1;
    }
    if (device < 0 || (session_.device >= 0 && session_.device != device)) return;
    if (std::optional<double> error = TapErrorMs(event.at, settings.inputOffsetMs[player][device], settings.audioOffsetMs)) {
        session_.device = device;
        session_.errorsMs.push_back(*error);
        SayTo(player, std::to_string(session_.errorsMs.size()) + " OF " + std::to_string(Calibration::kTaps));
    }
}

void ControlsLogic::TakeTaps()
{
    if (Input::Get()->Key(Input::kKeyEscape) == kKeyPressed) {
        EndSession();
        message_ = "TAP TEST STOPPED: NOTHING CHANGED";
        return;
    }
    if (session_.errorsMs.size() >= Calibration::kTaps || FrameClock::Get()->Now() - session_.started > kTrackNs)
        FinishSession();
}

void ControlsLogic::FinishSession()
{
    int player = session_.player;
    EndSession();
    Calibration::Estimate estimate = Calibration::FromErrors(session_.errorsMs, Calibration::kTaps);
    if (session_.device >= 0) {
        device_[player] = session_.device;
        float& offset = GameSettings::Get().inputOffsetMs[player][session_.device];
        offset = Calibration::Corrected(offset, estimate);
    }
    SayTo(player, estimate.message);
    message_ = estimate.accepted ? "PLAYER " + std::to_string(player + 1) + " " + kDevices[device_[player]] + " CORRECTED"
                                 : "TAP TEST REFUSED: TRY AGAIN, ON EVERY CLICK";
}

void ControlsLogic::FromLastMatch(int player)
{
    Calibration::Estimate estimate = Calibration::FromMatch(MatchStats::Get().players[player]);
    float& offset = GameSettings::Get().inputOffsetMs[player][device_[player]];
    offset = Calibration::Corrected(offset, estimate);
    SayTo(player, estimate.message);
    message_ = estimate.accepted ? "PLAYER " + std::to_string(player + 1) + " " + kDevices[device_[player]] +
                                       " CORRECTED FROM THE LAST MATCH"
                                 : "LAST MATCH: NEEDS " + std::to_string(Calibration::kMinimumMatchHits) +
                                       " STEADY HITS";
}

bool ControlsLogic::PadPressed(int player, int button) const
{
    if (button < 0 || button >= Input::kPadButtonCount) return false;
    return Input::Get()->GetJoystickButton(player, button) != 0 && !padDown_[player][button];
}

bool ControlsLogic::BackPressed() const
{
    return Input::Get()->Key(Input::kKeyEscape) == kKeyPressed || PadPressed(0, Input::kPadB) ||
           PadPressed(1, Input::kPadB);
}

void ControlsLogic::OnUpdate(UpdateEvent&)
{
    const Input* input = Input::Get();
    if (clickGuard_ && input->Key(Input::kMouseLeft) == kKeyUp && input->Key(Input::kKeyEnter) == kKeyUp)
        clickGuard_ = false;
    if (capture_.active) TakeCapture();
    else if (session_.active) TakeTaps();
    else if (BackPressed()) EngineEvents().Send(DestroySpaceEvent(owner->space, 0.0f));
    for (int player = 0; player < 2; ++player)
        for (int button = 0; button < Input::kPadButtonCount; ++button)
            padDown_[player][button] = input->GetJoystickButton(player, button) != 0;
    Refresh();
}

void ControlsLogic::Show(const std::string& entity, const std::string& text) const
{
    if (Entity* found = owner->space->FindEntity(entity))
        if (SpriteText* sprite = found->Get<SpriteText>(); sprite && sprite->text != text) sprite->SetText(text);
}

void ControlsLogic::SayTo(int player, const std::string& text)
{
    said_[player] = text;
}

void ControlsLogic::Refresh()
{
    GameSettings& settings = GameSettings::Get();
    for (int player = 0; player < 2; ++player) {
        std::string prefix = Prefix(player);
        for (const Row& row : kRows) {
            for (int slot = 0; slot < row.slots; ++slot) {
                int32_t code = settings.Binding(player, row.control, slot);
                bool waiting = capture_.active && capture_.player == player && capture_.control == row.control &&
                               capture_.slot == slot;
                std::string name = row.control == Control::kLetterButton ? GameSettings::ButtonName(code)
                                                                         : GameSettings::KeyName(code);
                Show(prefix + row.name + std::to_string(slot) + "Text", waiting ? "?" : name);
            }
        }
        Show(prefix + "DeviceText", kDevices[device_[player]]);
        Show(prefix + "OffsetValue", Milliseconds(settings.inputOffsetMs[player][device_[player]]));
        Show(prefix + "Message", said_[player]);
    }
    Show("AudioOffsetValue", Milliseconds(settings.audioOffsetMs));
    Show("VisualOffsetValue", Milliseconds(settings.visualOffsetMs));
    Show("Message", message_);
}

} // namespace volleyrun
