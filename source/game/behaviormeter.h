// BehaviorMeter: a player's beat meter ("BeatMeter1" left, "BeatMeter2" right). Holds a
// value from 0 to maximum in three segments, drawn as three rows of notch entities made
// from the "MeterNotch" archetype; the bar grows toward the middle of the stage. The first
// time the value reaches segments 2 and 3 it sends BeatMeterThreshold levels 1 and 2. Balls
// and the ball manager change the value; the ball manager runs the opening drains through
// the drain flags. Game thread only.
#pragma once

#include "component.h"
#include "entityref.h"

#include <glm/vec2.hpp>
#include <glm/vec3.hpp>

#include <array>
#include <vector>

namespace volleyrun {

class BeatDivisionEvent;
class Transform;
class UpdateEvent;

class BehaviorMeter : public ComponentOf<BehaviorMeter, kBehaviorMeter> {
public:
    explicit BehaviorMeter(Entity* owner) : ComponentOf(owner) {}

    void Initialize() override;
    void Terminate() override;
    std::vector<std::string> NamesNeeded() const override { return {"WinArt"}; }
    void Serialize(std::vector<Property>&) override {}

    // Adds delta to the value, kept within 0 .. maximum (callers run the end check after).
    void ChangeValue(float delta);
    // Called just before an increase: lights notches for the value and may send thresholds.
    void RaiseNotches();
    // Called after a decrease: hides the notches beyond the value and shows the current
    // segment's look up to it.
    void LowerNotches();
    bool IsLeft() const;  // the meter stands left of the middle
    glm::vec3 ThresholdColour(int level) const;  // burst colour, 0..255 per channel

    void OnUpdate(UpdateEvent& event);
    void OnDivision(BeatDivisionEvent& event);

    bool threshold1Sent = false;
    bool threshold2Sent = false;
    bool drain1 = false;  // opening sequence: drain to the top of segment 2
    bool drain2 = false;  // ... to the top of segment 1
    bool drain3 = false;  // ... to empty
    float value = 0.0f;
    float maximum = 100.0f;
    float segment1 = 30.0f;
    float segment2 = 50.0f;
    float segment3 = 20.0f;

private:
    struct Notch {
        EntityRef entity;
        int pop = 0;         // frames left of the pop after lighting up
        float pulse = 0.0f;  // 1 on a division, fading
        bool shown = false;
    };
    struct Lit {
        int segment;  // 0, 1 or 2
        int first;    // lit positions first .. last
        int last;
    };
    Lit Mapping() const;
    void BuildNotches();
    void Show(int segment, int position, bool shown);
    void Animate(Notch& notch, float dt);
    void Drain(float target, float segmentSize, bool toSegmentTop, float dt);

    std::array<std::vector<Notch>, 3> rows_;  // one row per segment, same N positions each
    glm::vec2 notchScale_{1.0f};              // the archetype's notch size
    float notchBaseY_ = 0.0f;                 // resting y of every notch
};

} // namespace volleyrun
