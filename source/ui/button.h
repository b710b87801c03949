// Button: makes a sprite entity a pointer-driven button. It hears the "mouse" triggers of
// its space's hit test on its own entity's manager: entering grows it and shows the hover
// image, pressing the pointer button on it shrinks it, releasing on it restores the size
// and fires the "button" trigger at its own entity (the click menu logic listens for),
// leaving undoes the hover look; each plays its interface sound, and each is told to the
// space's own queue as a "buttonHovered" trigger (the cursor listens there). Press clicks it
// from code. A hidden button, or one in a paused space whose widgets are not kept live, is
// blocked. Created with its space's entities; game thread only.
#pragma once

#include "component.h"

#include <string>

namespace volleyrun {

class TriggerEvent;

class Button : public ComponentOf<Button, kButton> {
public:
    // The interface sounds every button plays: entering, pressing and clicking, leaving.
    static constexpr const char* kEnterSound = "event:/UI/ButtonIn";
    static constexpr const char* kSelectSound = "event:/UI/Select";
    static constexpr const char* kLeaveSound = "event:/UI/ButtonOut";

    explicit Button(Entity* owner) : ComponentOf(owner) {}

    void Initialize() override;
    void Serialize(std::vector<Property>& properties) override;
    void Check(const std::string& where) const override;

    void OnTrigger(TriggerEvent& event);
    // What a click does, without the pointer: the "button" trigger and the select sound
    // (the back action of a screen presses its way-back button so).
    void Press();

    float hoverScaleValX = 1.2f;  // scale factor while hovered; never 0 (checked at initialisation)
    float hoverScaleValY = 1.2f;
    bool wasBlocked = false;      // the button was not usable at the previous trigger
    bool armed = true;            // cleared while blocked: the first trigger after counts as an entry
    bool hovered = false;         // drawn enlarged
    // The click went down while the pointer was on this button and it has not left since:
    // only then does the release click it (a press begun elsewhere and dragged on does not).
    bool pressedOn = false;
    std::string normalImageName;  // the sprite's image at initialisation
    std::string hoveredImageName; // empty: the image does not change on hover

private:
    bool Blocked();
    void Handle(int state);
    void Grow(bool grow);
    void ShowImage(const std::string& image);
    void NotifySpace(int state) const;
    void Play(const char* sound) const;
};

} // namespace volleyrun
