#include "button.h"

#include "entity.h"
#include "gameerror.h"
#include "input.h"
#include "pointerkeys.h"
#include "space.h"
#include "sprite.h"
#include "transform.h"

namespace volleyrun {

void Button::Initialize()
{
    Check(owner->space->Path() + ": entity \"" + owner->name + "\", component \"Button\"");
    owner->Require<Transform>();
    normalImageName = owner->Require<Sprite>()->imageName;
    Listen(*owner->events, &Button::OnTrigger);
}

void Button::Check(const std::string& where) const
{
    if (hoverScaleValX == 0.0f || hoverScaleValY == 0.0f) throw GameError(where + ": a hover scale of 0 cannot be undone");
}

void Button::Serialize(std::vector<Property>& properties)
{
    properties.push_back({"hoverScaleValX", &hoverScaleValX, kFloat});
    properties.push_back({"hoverScaleValY", &hoverScaleValY, kFloat});
    properties.push_back({"hoveredImageName", &hoveredImageName, kString});
}

bool Button::Blocked()
{
    bool shown = owner->Get<Sprite>()->visible;
    if (owner->space->widgetsLive && shown) {
        wasBlocked = false;
        return false;
    }
    return !shown || owner->space->paused;
}

void Button::OnTrigger(TriggerEvent& event)
{
    bool blocked = Blocked();
    if (!wasBlocked) {
        int state = event.state;
        bool goOn = true;
        if (blocked) {
            goOn = hovered;  // only to undo the enlarged look
            state = 1;
        } else if (!armed) {
            state = 0;
            armed = true;
        }
        if (goOn && event.name == "mouse") {
            NotifySpace(state);
            Handle(state);
        }
    }
    wasBlocked = blocked;
    if (blocked) armed = false;
}

void Button::Handle(int state)
{
    int click = PointerKeys::ClickState();
    if (click == kKeyPressed) pressedOn = state != 1;
    if (state == 1) pressedOn = false;
    if (state == 0 && click == kKeyUp) {
        Grow(true);
        if (!hoveredImageName.empty()) ShowImage(hoveredImageName);
        Play(kEnterSound);
    } else if (state == 2 && click == kKeyPressed) {
        Grow(false);
        Play(kSelectSound);
    } else if (state == 2 && click == kKeyReleased) {
        Grow(true);
        if (pressedOn) Press();
        pressedOn = false;
    } else if (state == 1 && click == kKeyUp) {
        Grow(false);
        if (!hoveredImageName.empty()) ShowImage(normalImageName);
        Play(kLeaveSound);
    }
}

// The sound first: what the click leads to may set its parameters.
void Button::Press()
{
    Play(kSelectSound);
    owner->events->Send(TriggerEvent(0, "button", owner->Ref(), 0.0f));
}

// Growing sets hovered and shrinking clears it; each does nothing when the look is already
// there, so a trigger sequence the hit test cannot rule out (leaving on the very frame the
// button goes down, then entering again) never compounds the scale.
void Button::Grow(bool grow)
{
    if (grow == hovered) return;
    Transform* transform = owner->Get<Transform>();
    glm::vec2 factor(hoverScaleValX, hoverScaleValY);
    transform->scale = grow ? transform->scale * factor : transform->scale / factor;
    hovered = grow;
}

void Button::ShowImage(const std::string& image)
{
    owner->Get<Sprite>()->SetImage(image);
}

void Button::NotifySpace(int state) const
{
    owner->space->events->Send(TriggerEvent(state, "buttonHovered", owner->Ref(), 0.0f));
}

void Button::Play(const char* sound) const
{
    EngineEvents().Send(PlaySoundEvent(sound, true));
}

} // namespace volleyrun
