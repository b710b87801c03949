// TextBox: turns an entity with a Transform and a SpriteText into a one-line text field.
// At initialisation it gives itself a clickable background entity "<name>BackGround" in
// its space; a click on that takes the keyboard focus, which is process-wide (one focused
// box in the whole program, cleared when its box is terminated). The map editor's fields
// and labels are text boxes; it reads actualText back when a box reports "TextBox" state 1.
// Updates on its space's manager, so it also runs in the paused editor overlay. Game thread only.
#pragma once

#include "component.h"
#include "entityref.h"

#include <cstdint>
#include <string>

namespace volleyrun {

class TextTypedEvent;
class TriggerEvent;
class UpdateEvent;

class TextBox : public ComponentOf<TextBox, kTextBox> {
public:
    static constexpr const char* kTriggerName = "TextBox";
    static constexpr const char* kBackgroundSuffix = "BackGround";
    static constexpr float kBlinkHalfPeriod = 0.5f;  // seconds the caret is shown, then hidden
    static constexpr int32_t kInert = -1;            // lockedChars value of a box that never takes focus

    explicit TextBox(Entity* owner) : ComponentOf(owner) {}

    // Needs a Transform and a SpriteText on the owner (a content error otherwise); creates
    // the background from the owner's Transform and Sprite (a white one when it has none).
    void Initialize() override;
    // Removes the listeners, gives up the focus and destroys the background it created.
    void Terminate() override;
    void Serialize(std::vector<Property>& properties) override;

    // The box typing goes to, or null. It stays the target after it reported state 1 (a
    // click elsewhere, Enter) until another box is clicked.
    static TextBox* Focused();
    // A text box took the pointer click of the current frame.
    static bool ClickTaken();

    // Replaces the content and shows it (the editor fills fields and labels this way).
    void SetText(std::string text);
    // Shows actualText on the SpriteText: with the caret while focused, cut to the
    // background's width otherwise.
    void Redraw();
    std::string DisplayedText() const;
    // Between this box's "TextBox" state 0 and its state 1: being typed into.
    bool Editing() const { return editing_; }
    Entity* Background() const { return background_.Get(); }

    void OnClick(TriggerEvent& event);
    void OnUpdate(UpdateEvent& event);
    void OnTextTyped(TextTypedEvent& event);

    float backgroundScaleX = 200.0f;  // world units
    std::string actualText = "Testing 123";
    int32_t lockedChars = 0;          // leading characters Backspace keeps; kInert: never focused
    bool caretVisible = false;

private:
    bool Acting() const;
    Entity* MakeBackground();
    void PlaceBackground(Entity& background) const;
    void TakeFocus();
    void StopEditing();
    void UpdateFocused(float dt);
    void Report(int state);
    static void ClearFocus();

    EntityRef background_;  // null once destroyed by someone else
    bool editing_ = false;  // reported state 0 and no state 1 since

    static TextBox* focused_;        // valid while focusedOwner_ reads non-null
    static EntityRef focusedOwner_;
    static float blinkTimer_;        // seconds since the caret last changed
    static int64_t clickFrame_;      // FrameClock::frameStart of the frame a box took a click
    static bool clickTaken_;
};

} // namespace volleyrun
