// SpaceLoader: switches spaces when the button on its entity is clicked (the "button"
// trigger on its own entity's manager). It creates spaceToLoad and, when told to, destroys
// its own space first (with "EndGame" also the match; with endsGame also the main menu,
// which ends the program). Two switches are animated: from the main menu to the match every sprite and
// text of the menu fades out, and from the quit confirmation or the end screen to the main menu
// the "FadePanel" of "QuitConfirm" fades in; the switch happens fadeDuration seconds after
// the click. Space events are queued, so they take effect at the end of the frame.
// Updates on its own entity's manager; game thread only.
#pragma once

#include "component.h"
#include "contentnames.h"

#include <string>

namespace volleyrun {

class Space;
class TriggerEvent;
class UpdateEvent;

class SpaceLoader : public ComponentOf<SpaceLoader, kSpaceLoader> {
public:
    SpaceLoader(Entity* owner, std::string firstSpace = Content::kSplashSpace, std::string triggerName = "button")
        : ComponentOf(owner), spaceToLoad(std::move(firstSpace)), trigger(std::move(triggerName)) {}

    void Initialize() override;
    void Serialize(std::vector<Property>& properties) override;

    void OnTrigger(TriggerEvent& event);
    void OnUpdate(UpdateEvent& event);

    float fadeRate = 1.0f;       // alpha change per second
    float timer = 1.25f;         // seconds left before the switch while a fade runs
    float fadeDuration = 1.25f;  // seconds from the click to the switch when fading
    bool loading = false;        // the menu is fading out towards the match
    bool quitting = false;       // the fade panel is fading in towards the main menu
    bool destroyCurrentSpace = false;
    bool endsGame = false;       // the main menu's quit dialog's YES: the main menu closes too
    std::string spaceToLoad;     // empty: create nothing (an overlay closing itself)
    std::string trigger;         // kept and saved; the loader reacts to "button"

private:
    void SwitchNow();
    void FadeOut(float dt);
    void FadeInPanel(float dt);
    bool CountDown(float dt);
    void Finish(bool alsoQuitConfirm);
    static void Destroy(Space* space);
    void Trace(const std::string& text) const;

    bool finished_ = false;  // a fade has switched; the space is on its way out
};

} // namespace volleyrun
