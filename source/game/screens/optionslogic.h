// OptionsLogic: the game options screen ("MainMenuOptions" in the main menu, "OptionsMenu"
// over a paused match). Eight toggle buttons flip the on/off settings of GameSettings and
// show them as a lit or an empty box, four sliders edit its numbers directly, and
// "DefaultSettingsButton" restores every one of them. The entities are found by name when
// the space starts, and the display is refreshed from the settings then. Game thread only.
#pragma once

#include "component.h"
#include "entityref.h"

#include <array>
#include <cstdint>

namespace volleyrun {

class TriggerEvent;

class OptionsLogic : public ComponentOf<OptionsLogic, kOptionsLogic> {
public:
    static constexpr int kToggleCount = 8;
    static constexpr int kSliderCount = 4;
    static constexpr const char* kOnImage = "PauseJack.png";
    static constexpr const char* kOffImage = "Button00.png";

    explicit OptionsLogic(Entity* owner) : ComponentOf(owner) {}

    void Initialize() override;
    void Serialize(std::vector<Property>&) override {}

    void OnTrigger(TriggerEvent& event);

    // Restores the twelve settings this screen edits, then the display.
    void RestoreDefaults();
    // Each slider's knob from its setting, each toggle's image from its flag.
    void Refresh();

    // The entity names the screen needs, in the order of the toggles and of the sliders.
    static const std::array<const char*, kToggleCount> kToggleNames;
    static const std::array<const char*, kSliderCount> kSliderNames;
    std::vector<std::string> NamesNeeded() const override;

private:
    static bool& Flag(int toggle);
    static int32_t& Number(int slider);

    std::array<EntityRef, kToggleCount> toggles_;  // the toggle buttons, as found at initialisation
    std::array<EntityRef, kSliderCount> sliders_;
    EntityRef defaults_;                           // "DefaultSettingsButton"
};

} // namespace volleyrun
