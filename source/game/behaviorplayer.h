// BehaviorPlayer: one of the two players ("Player0" left, "Player1" right). He stands on
// spot 1, 2 or 4 of his half and swings with the pad button or the key bound to a ball's
// letter (GameSettings::bindings), at the instant of the press, sending BallHitEvent
// {lane, letter, instant}; the balls judge the swing, and a swing no ball takes costs him
// a short lock-out, his streak and some meter. Counts lives. A meter threshold moves him
// nearer the middle once he is in play. Listens on the engine-wide manager; the ball
// manager calls LoseLife. Game thread only.
#pragma once

#include "component.h"
#include "entityref.h"

#include <cstdint>

namespace volleyrun {

class BeatMeterThreshold;
class BehaviorMusician;
class PressEvent;

class BehaviorPlayer : public ComponentOf<BehaviorPlayer, kBehaviorPlayer> {
public:
    explicit BehaviorPlayer(Entity* owner) : ComponentOf(owner) {}

    void Initialize() override;
    std::vector<std::string> NamesNeeded() const override { return {"LifeIndicator*"}; }
    void Serialize(std::vector<Property>& properties) override;

    // Steps onto spot (1, 2 or 4). When the move is forced (a meter threshold), balls
    // already flying at him return themselves.
    void MoveTo(int32_t spot, bool forced);
    void LoseLife();
    int32_t Lane() const { return player == 0 ? -position : position; }

    void OnPress(PressEvent& event);
    void OnThreshold(BeatMeterThreshold& event);

    bool inPlay = false;   // the first ball of the match came near; thresholds move him from now on
    int32_t player = 0;    // 0 left, 1 right; also his gamepad number
    int32_t position = 4;  // spot he stands on
    EntityRef currentSpot; // "Player<player>Pos<position>"
    int32_t lives = 5;

private:
    // device: 0 keyboard, 1 pad (whose latency is taken off the instant).
    void Swing(int32_t letter, int64_t at, int device);
    BehaviorMusician* Musician() const;
    void Burst(int level);

    int64_t lockedUntil_ = INT64_MIN;  // a fault's lock-out ends here
};

} // namespace volleyrun
