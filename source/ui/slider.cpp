#include "slider.h"

#include "entity.h"
#include "gameerror.h"
#include "graphics.h"
#include "input.h"
#include "mouseclickeventsender.h"
#include "pointerkeys.h"
#include "space.h"
#include "spritetext.h"
#include "transform.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>

namespace volleyrun {

void Slider::Initialize()
{
    SetTrack();
    Listen(*owner->events, &Slider::OnTrigger);
    Listen(EngineEvents(), &Slider::OnKeyUpdate);
    Listen(*owner->space->events, &Slider::OnUpdate);
}

void Slider::Serialize(std::vector<Property>& properties)
{
    properties.push_back({"lowerBound", &lowerBound, kInt});
    properties.push_back({"upperBound", &upperBound, kInt});
    properties.push_back({"subDivisions", &subDivisions, kInt});
    properties.push_back({"useXAxis", &useXAxis, kBool});
    properties.push_back({"sliderLength", &sliderLength, kFloat});
}

// Both step computations divide by (subDivisions - 1) or by the range: such a slider is
// refused as bad content instead.
void Slider::SetTrack()
{
    if (trackSet_) return;
    Check(owner->space->Path() + ": entity \"" + owner->name + "\", component \"Slider\"");
    trackStart = owner->Require<Transform>()->translation;
    stepLength = sliderLength / static_cast<float>(subDivisions - 1);
    trackSet_ = true;
}

void Slider::Check(const std::string& where) const
{
    if (subDivisions < 2)
        throw GameError(where + ": \"subDivisions\" must be at least 2 (it is " + std::to_string(subDivisions) + ")");
    if (upperBound == lowerBound)
        throw GameError(where + ": \"lowerBound\" and \"upperBound\" must differ (both are " +
                        std::to_string(lowerBound) + ")");
    int64_t range = static_cast<int64_t>(upperBound) - lowerBound;
    if (range > INT32_MAX || range < INT32_MIN)
        throw GameError(where + ": \"upperBound\" - \"lowerBound\" must fit 32 bits (it is " + std::to_string(range) + ")");
}

int32_t Slider::StepValue() const
{
    return (upperBound - lowerBound) / (subDivisions - 1);
}

void Slider::Bind(int32_t* setting)
{
    binding = setting;
    PlaceKnobFromSetting();
}

void Slider::PlaceKnobFromSetting()
{
    SetTrack();
    if (!binding) return;
    glm::vec2 start = trackStart;
    float positions = static_cast<float>(*binding - lowerBound) * static_cast<float>(subDivisions - 1) /
                      static_cast<float>(upperBound - lowerBound);
    Along(owner->Get<Transform>()->translation) = Along(start) + positions * stepLength;
}

void Slider::OnTrigger(TriggerEvent& event)
{
    if (event.name == "mouse") hovered = event.state != 1;
}

void Slider::OnKeyUpdate(KeyUpdateEvent&)
{
    int click = PointerKeys::ClickState();
    // A paused menu lies under an overlay: its knob is not grabbed through the overlay.
    if (hovered && click == kKeyPressed && !owner->space->paused) dragging = true;
    if (dragging && click == kKeyReleased) dragging = false;
}

// The pointer is the space's cursor entity when there is one: it follows the system mouse
// and also stands where the D-pad put it, so grabbing a knob the D-pad reached does not
// throw the knob towards a system pointer parked elsewhere.
glm::vec2 Slider::Pointer() const
{
    glm::vec2 tip(MouseClickEventSender::kTipX, MouseClickEventSender::kTipY);
    if (Entity* cursor = owner->space->FindEntity("Mouse"))
        if (Transform* transform = cursor->Get<Transform>()) return transform->translation + tip;
    const Input* input = Input::Get();
    return Graphics::Get()->ScreenToWorld(input->cursor.x, input->cursor.y) + tip;
}

void Slider::OnUpdate(UpdateEvent&)
{
    ShowValue();
    if (owner->space->paused) return;
    StepWithKeys();
    if (!dragging) return;
    glm::vec2 pointer = Pointer();
    glm::vec2 knob = owner->Get<Transform>()->translation;
    float p = Along(pointer);
    float k = Along(knob);
    if (std::fabs(p - k) <= stepLength) return;
    MoveKnob(k + std::floor((p - k) / stepLength + 0.5f) * stepLength);
}

// Clamps target to the track, moves the knob there and writes the bound setting.
void Slider::MoveKnob(float target)
{
    glm::vec2 start = trackStart;
    float first = Along(start);
    float moved = std::clamp(target, first, first + static_cast<float>(subDivisions - 1) * stepLength);
    Along(owner->Get<Transform>()->translation) = moved;
    if (binding)
        *binding = static_cast<int32_t>(std::roundf(static_cast<float>(lowerBound) +
                                                    static_cast<float>(StepValue()) * ((moved - first) / stepLength)));
}

// One step per press of the D-pad or an arrow key along the track, while the cursor is on
// the knob or holds it; a press that brought the cursor here does not count. The cursor
// moves with the knob, so it stays on it and the pointer-following above does not pull
// the knob back.
void Slider::StepWithKeys()
{
    int sign = 0;
    if (PointerKeys::DirectionDown(useXAxis ? PointerKeys::kRight : PointerKeys::kUp)) sign = 1;
    else if (PointerKeys::DirectionDown(useXAxis ? PointerKeys::kLeft : PointerKeys::kDown)) sign = -1;
    if (sign == 0) {
        stepLatch_ = false;
        return;
    }
    if (stepLatch_) return;
    stepLatch_ = true;
    if (!hovered && !dragging) return;
    Transform* knob = owner->Get<Transform>();
    float before = Along(knob->translation);
    MoveKnob(before + static_cast<float>(sign) * stepLength);
    float moved = Along(knob->translation) - before;
    if (Entity* cursor = owner->space->FindEntity("Mouse"))
        if (Transform* transform = cursor->Get<Transform>()) Along(transform->translation) += moved;
}

void Slider::ShowValue()
{
    if (!binding || *binding == shownValue_) return;
    Entity* label = owner->space->FindEntity(owner->name + "Value");
    SpriteText* text = label ? label->Get<SpriteText>() : nullptr;
    if (!text) return;
    text->text = std::to_string(*binding);
    shownValue_ = *binding;
}

} // namespace volleyrun
