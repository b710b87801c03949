// Timer: the match clock on "levelLogic". Started by the ball manager when the opening
// sequence ends, it counts "secondsOfGame" down, shows minutes and seconds in the texts of
// "TimerMin" and "TimerSec" (turning them and "TimerGlow" to a warning colour in the last
// third) and at zero asks the end-of-match check to decide by the meters. Updates through
// its entity's own manager, so it stops while the game space is paused. Game thread only.
#pragma once

#include "component.h"
#include "entityref.h"

namespace volleyrun {

class SpriteText;
class UpdateEvent;

class Timer : public ComponentOf<Timer, kTimer> {
public:
    explicit Timer(Entity* owner) : ComponentOf(owner) {}

    void Initialize() override;
    std::vector<std::string> NamesNeeded() const override { return {"TimerGlow", "TimerMin", "TimerSec"}; }
    void Serialize(std::vector<Property>& properties) override;

    void OnUpdate(UpdateEvent& event);

    bool clockRunning = false;
    float secondsOfGame = 120.0f;  // match length
    float remaining = 120.0f;      // seconds left

private:
    void ShowTime();
    SpriteText* Text(const EntityRef& entity) const;

    EntityRef minutes_, seconds_, glow_;  // "TimerMin", "TimerSec", "TimerGlow"
};

} // namespace volleyrun
