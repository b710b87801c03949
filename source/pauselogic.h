// PauseLogic: pausing a match, on the match space's "levelLogic". Escape (or gamepad
// Start, or minimising the window) freezes the match and opens "PauseMenu" over it; the
// menu's resume button (which the key presses too, as the menu's way back) runs the "3",
// "2", "1", "GO!" countdown of "ReturnToGame" before play resumes. It hands the music between the in-game event and
// the pause-menu event at the same song position, and tears the match down once the
// player has quit to the main menu. Updates on its space's manager, which keeps running
// while the match is paused. Game thread only.
#pragma once

#include "component.h"

class Space;
class UpdateEvent;

class PauseLogic : public ComponentOf<kPauseLogic> {
public:
    static constexpr float kCountdownStep = 0.9375f;  // seconds between countdown texts

    explicit PauseLogic(Entity* owner) : ComponentOf(owner) {}

    void Initialize() override;
    void Terminate() override;
    std::unique_ptr<Component> Clone(Entity* newOwner) const override;
    void Serialize(std::vector<Property>&) override {}

    void OnUpdate(UpdateEvent& event);

    float countdownStart = 3.75f;  // seconds the return countdown lasts
    float countdown = 3.75f;       // seconds left of the running countdown
    float countdownSpeed = 1.0f;   // countdown seconds per real second
    bool shownThree = false;
    bool shownTwo = false;
    bool shownOne = false;
    bool shownGo = false;
    bool pauseActive = false;      // this component opened the pause and it has not ended
    bool pauseAllowed = true;      // cleared by the end of the match

private:
    void FollowMenus(Space* pauseMenu, Space* returning, Space* options, Space* confirm);
    void OnPauseKey(Space* pauseMenu);
    void CountdownStep(Space& returning, float dt);
    void ShowCount(Space& returning, const char* text);
    void HandOverMusic();
    bool PauseKey();
    void Trace(const std::string& what) const;

    bool wasMinimized_ = false;  // the window was minimised at the previous update
};
