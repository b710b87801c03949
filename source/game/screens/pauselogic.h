// PauseLogic: pausing a match, on the match space's "levelLogic". Escape (or gamepad
// Start, or minimising the window) freezes the match and opens "PauseMenu" over it; the
// menu's resume button (which the key presses too, as the menu's way back) runs the "3",
// "2", "1", "GO!" countdown of "ReturnToGame", one text per beat of the pause-menu song,
// before play resumes on the next beat. It hands the music between the in-game event and
// the pause-menu event at the same song position, and tears the match down once the
// player has quit to the main menu. While the map editor holds the running match, the
// music stops with it as in a pause. Updates on its space's manager, which keeps running
// while the match is paused. Game thread only.
#pragma once

#include "component.h"

#include <cstdint>

namespace volleyrun {

class Space;
class SpaceHeldEvent;
class UpdateEvent;

class PauseLogic : public ComponentOf<PauseLogic, kPauseLogic> {
public:
    static constexpr int kCountdownSteps = 5;  // "3", "2", "1", "GO!", then play
    // Seconds after which a step comes without a beat heard (no device, or the song stalled),
    // so that a silent match still resumes.
    static constexpr float kSilentStep = 0.75f;

    explicit PauseLogic(Entity* owner) : ComponentOf(owner) {}

    void Initialize() override;
    void Serialize(std::vector<Property>&) override {}

    void OnUpdate(UpdateEvent& event);
    void OnSpaceHeld(SpaceHeldEvent& event);

    int countdownStep = 0;         // steps of the running countdown taken so far
    bool pauseActive = false;      // this component opened the pause and it has not ended
    // False once the match on this entity has its verdict: no pause menu over the result.
    bool PauseAllowed() const;

private:
    void FollowMenus(Space* pauseMenu, Space* returning, Space* options, Space* confirm);
    void OnPauseKey(Space* pauseMenu);
    void CountdownStep(Space& returning, float dt);
    bool OnPauseBeat();
    void ShowCount(Space& returning, const char* text);
    void HandOverMusic();
    bool PauseKey();
    void Trace(const std::string& what) const;

    bool wasMinimized_ = false;  // the window was minimised at the previous update
    int64_t lastBeat_ = -1;      // beat of the pause-menu song at the previous update; -1 none yet
    float sinceStep_ = 0.0f;     // seconds since the countdown's last step
};

} // namespace volleyrun
