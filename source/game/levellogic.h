// LevelLogic: the set-up component on each space's "levelLogic" entity. By the name of its
// space it starts and stops the right music, places the camera, runs the splash sequence
// that leads to the main menu, and feeds the gamepad triggers and right stick to the menu
// music. In "PauseMenu" and "MainMenuOptions" it runs the window and sound controls: the
// full-screen toggle, the master volume slider and the default-settings button. Created
// with its space; game thread only.
#pragma once

#include "component.h"
#include "entityref.h"

namespace volleyrun {

class KeyUpdateEvent;
class TriggerEvent;
class UpdateEvent;

class LevelLogic : public ComponentOf<LevelLogic, kLevelLogic> {
public:
    explicit LevelLogic(Entity* owner) : ComponentOf(owner) {}

    void Initialize() override;
    std::vector<std::string> NamesNeeded() const override
    {
        return {"FullScreenToggle", "DefaultSettingsButton", "MasterSoundSlider", "background"};
    }
    void Serialize(std::vector<Property>& properties) override;

    void OnTrigger(TriggerEvent& event);
    void OnUpdate(UpdateEvent& event);
    void OnKeyUpdate(KeyUpdateEvent& event);

    float cameraX = 0.0f;
    float cameraY = 0.0f;
    float cameraZoom = 2.0f;

    // The spaces whose window and sound controls this component runs.
    static bool IsOptionsSpace(const std::string& spaceName);

private:
    void WireOptions();
    void ListenUpdate();
    void OnOptionsButton(const Entity* sender);
    void ShowOptions();
    void StartGameMusic();
    void StartSplash();
    void StartMenuMusic();
    void LeaveSplash();

    EntityRef fullScreenToggle_;  // options spaces: "FullScreenToggle"
    EntityRef defaultsButton_;    // options spaces: "DefaultSettingsButton"
    EntityRef volumeSlider_;      // options spaces: "MasterSoundSlider"
};

} // namespace volleyrun
