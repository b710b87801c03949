// BehaviorBall: one ball (archetype "ball", entity name "ball"). It lives on the integer
// lanes across the stage (100 world units apart, 0 in the middle, negative on player 0's
// half), waits off-stage until its launch time, flies one lane per division of its own
// BeatDivider toward the receiving player, and judges every BallHitEvent against the
// music clock at the swing's own instant: a hit in time with the right letter sends it
// back and fills the hitter's meter by its grade; a ball no press can reach in time any
// more is lost. Draws its timing rings and
// letter previews at the receiving spot. Game thread only.
#pragma once

#include "beattime.h"
#include "component.h"
#include "entityref.h"
#include "sprite.h"

#include <glm/vec2.hpp>
#include <glm/vec4.hpp>

#include <cstdint>
#include <optional>

namespace volleyrun {

class BallHitEvent;
class BeatDivisionEvent;
class BehaviorMeter;
class BehaviorPlayer;
class DrawEvent;
class UpdateEvent;

class BehaviorBall : public ComponentOf<BehaviorBall, kBehaviorBall> {
public:
    enum Kind : int32_t { kNormal = 0, kPlatinum = 1, kRainbow = 2, kAlternating = 3 };
    static constexpr float kHitWindow = 0.125f;  // seconds either side of the beat

    explicit BehaviorBall(Entity* owner);

    void Initialize() override;
    void Serialize(std::vector<Property>&) override {}

    void OnHit(BallHitEvent& event);
    void OnDivision(BeatDivisionEvent& event);
    void OnUpdate(UpdateEvent& event);
    void OnDraw(DrawEvent& event);

    // Fraction of the current flight done, from the transform's x; clamped to 0..1 when asked.
    float Progress(bool clamp) const;
    // Seconds from the instant the arrival beat is heard to a swing at this instant
    // (positive: late); empty without music.
    std::optional<float> TimingError(int64_t at) const;
    // Sends the ball back from the swing's lane: graded by its error unless forced.
    void Return(const BallHitEvent& event, float error);
    // Puts the ball lanes further back and its arrival that many sixteenths later.
    void MoveBack(int32_t lanes);
    // A letter among the enabled buttons: 0 A, 1 B, 2 X, 3 Y.
    static int32_t RandomLetter();

    int32_t startLane = 0;
    int32_t steps = 0;      // lanes travelled this flight: +1 per division from the left, -1 from the right
    int32_t destLane = 0;
    BeatTime previousArrival;
    BeatTime arrivalTime;   // when the ball reaches destLane
    bool finished = false;  // missed: no longer moves or reacts
    bool waiting = true;    // not launched yet
    uint32_t serveSide = 0; // 1 toward player 1, 0 toward player 0
    uint32_t index = 0;     // separates balls in flight (arc height)
    BeatTime launchTime;    // when the ball must reach its first receiver
    int32_t letter = -1;    // required button: -1 any
    int32_t kind = kRainbow;
    bool twin = false;      // made as the partner of a rainbow ball
    bool autoReturn = false;  // returns itself at its destination (the player moved away)
    glm::vec4 ringColour{1.0f};
    float frameInterval = 0.1f;  // seconds between sprite frame steps
    float frameTimer = 0.0f;

private:
    BehaviorPlayer* Player(int number) const;
    int32_t Spot(int number) const;
    int32_t Remaining() const { return startLane + steps - destLane; }
    float SixteenthSeconds() const;
    void SetUp();
    void ApplyColour(glm::vec4 rgb255);
    void Launch(const BeatDivisionEvent& event, int32_t spot0, int32_t spot1);
    void Lose();
    bool ButtonMatches(int32_t button) const;
    bool PastLateEdge() const;
    float RingProgress() const;
    static int64_t HeardAt(BeatTime time);
    void Reward(bool playerZero, float error);
    void Burst(const std::string& prefix, int playerNumber);
    void FollowArc();
    void StepFrames(float dt);
    float SpotY(int32_t lane) const;
    int NearerBalls() const;
    void DrawAt(Sprite& sprite, glm::vec2 position, glm::vec2 size, glm::vec4 colour);

    EntityRef player0_, player1_;
    Sprite letterOverlay_;
    Sprite targetRing_;
    Sprite innerRing_;
};

} // namespace volleyrun
