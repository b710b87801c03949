// ControlsLogic: the controls screen ("Controls", opened over either options screen by its
// "ControlsButton"). Each player's letter keys, spot keys and pad letter buttons are rebound
// here (click one, press the new key; Escape cancels), his input offset for the keyboard or
// the pad is set by hand, by tapping along with the click track, or from the last match's
// hits, and the audio and visual offsets are set for everyone. While it is open the options
// screen under it is paused and hidden. Escape, pad B or "BackButton" closes it. Entities
// are found by name when the space starts; updates on its space's manager. Game thread only.
#pragma once

#include "calibration.h"
#include "component.h"
#include "entityref.h"
#include "gamesettings.h"
#include "spaceref.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace volleyrun {

class PressEvent;
class TriggerEvent;
class UpdateEvent;

class ControlsLogic : public ComponentOf<ControlsLogic, kControlsLogic> {
public:
    static constexpr float kStepMs = 5.0f;  // one arrow click on an offset
    static constexpr int kPadButtons = 15;  // Input's pad layout (checked where Input is seen)
    // The click track's first bar (2.4 s at 100 a minute) is only listened to: taps count
    // from a little before its second, and the test ends when the track (12 bars) is over.
    static constexpr int64_t kListenNs = 2'200'000'000;
    static constexpr int64_t kTrackNs = 29'000'000'000;

    explicit ControlsLogic(Entity* owner) : ComponentOf(owner) {}

    void Initialize() override;
    void Terminate() override;
    std::vector<std::string> NamesNeeded() const override { return {"AudioOffset*", "VisualOffset*", "P[12]*"}; }
    void Serialize(std::vector<Property>&) override {}

    void OnTrigger(TriggerEvent& event);
    void OnUpdate(UpdateEvent& event);
    // A tap of the tap test, at the instant the press happened.
    void OnPress(PressEvent& event);
    // Error of a tap at instant against the nearest click of the click track, in
    // milliseconds, judged with the player's current offsets; empty before the clock runs.
    static std::optional<double> TapErrorMs(int64_t instant, float inputOffsetMs, float audioOffsetMs);

    // The names of the buttons this screen listens to, for the space file and the tests.
    static std::vector<std::string> ButtonNames();

private:
    struct Capture {  // the binding waiting for a new key or button
        bool active = false;
        int player = 0;
        GameSettings::Control control = GameSettings::Control::kLetterKey;
        int slot = 0;
    };
    struct Session {  // a tap test against the click track
        bool active = false;
        int player = 0;
        int device = -1;  // set by the first tap: 0 keyboard, 1 pad
        int64_t started = 0;  // steady-clock nanoseconds
        std::vector<double> errorsMs;
        const char* music = "";  // the song paused for the click, resumed after it
    };

    void HoldOptionsScreen(bool hold);
    void OnButton(const std::string& name);
    void OnPlayerButton(int player, const std::string& what);
    void StartCapture(int player, GameSettings::Control control, int slot);
    void TakeCapture();
    void StartSession(int player);
    void TakeTaps();
    void EndSession();
    void FinishSession();
    void FromLastMatch(int player);
    void Step(float& offsetMs, float sign);
    bool BackPressed() const;
    bool PadPressed(int player, int button) const;
    void Refresh();
    void Show(const std::string& entity, const std::string& text) const;
    void SayTo(int player, const std::string& text);
    const char* MenuMusic() const;

    SpaceRef under_;                    // the options space held under this one; null: none or gone
    std::array<int, 2> device_{};       // which input offset each player's row shows and edits
    std::array<std::string, 2> said_;   // each player's last result line
    std::string message_;               // the screen's prompt or refusal line
    Capture capture_;
    Session session_;
    bool clickGuard_ = false;           // a press ended a capture: its click is not a button press
    std::array<std::array<bool, kPadButtons>, 2> padDown_{};  // pad buttons down at the end of the last update
};

} // namespace volleyrun
