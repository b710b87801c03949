// Slider: makes its entity a knob that moves in equal steps along a straight track and
// writes an integer setting. The track starts where the knob stands in the space file and
// runs sliderLength world units right (or up); position i stands for lowerBound + i x the
// integer step value. The knob is dragged with the pointer (pressed on the knob, released
// anywhere); while it is held or under the cursor, the D-pad or arrow keys along the track
// move it one step per press. A
// menu binds it to a setting and asks it to place the knob from it. An entity of its space
// named after it with "Value" appended, when there is one, shows the bound setting's value
// in its sprite text. Game thread only.
#pragma once

#include "component.h"

#include <glm/vec2.hpp>

#include <cstdint>

namespace volleyrun {

class KeyUpdateEvent;
class TriggerEvent;
class UpdateEvent;

class Slider : public ComponentOf<Slider, kSlider> {
public:
    explicit Slider(Entity* owner) : ComponentOf(owner) {}

    void Initialize() override;
    void Serialize(std::vector<Property>& properties) override;
    void Check(const std::string& where) const override;

    void OnTrigger(TriggerEvent& event);
    void OnKeyUpdate(KeyUpdateEvent& event);
    void OnUpdate(UpdateEvent& event);

    // Binds the setting (null: none) and places the knob from it.
    void Bind(int32_t* setting);
    // Puts the knob where the bound setting lies on the track; nothing without a binding.
    void PlaceKnobFromSetting();
    // (upperBound - lowerBound) / (subDivisions - 1), truncated toward zero.
    int32_t StepValue() const;

    int32_t lowerBound = -10;
    int32_t upperBound = 10;     // nominal: reached only when the range divides into whole steps
    int32_t subDivisions = 5;    // knob positions, at least 2 (checked when the track is set)
    bool useXAxis = true;
    float sliderLength = 100.0f; // world units
    glm::vec2 trackStart{0.0f};  // knob translation in the space file
    float stepLength = 0.0f;     // world units between positions
    int32_t* binding = nullptr;  // the setting read and written; may be null
    bool hovered = false;
    bool dragging = false;

private:
    void SetTrack();
    float& Along(glm::vec2& point) const { return useXAxis ? point.x : point.y; }
    glm::vec2 Pointer() const;
    void MoveKnob(float target);
    void StepWithKeys();
    void ShowValue();

    bool trackSet_ = false;  // whichever comes first, Initialize or a binding menu, sets the track
    bool stepLatch_ = false; // a D-pad step was made and the direction was not released since
    int64_t shownValue_ = INT64_MIN;  // the value the "Value" entity shows; INT64_MIN: none yet
};

} // namespace volleyrun
