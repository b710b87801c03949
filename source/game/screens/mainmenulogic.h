// MainMenuLogic: keeps the main menu still while one of its overlays ("MainMenuOptions",
// "MainMenuQuitConfirm") is open, so its buttons do not react under the overlay. Sits in
// the "MainMenu" space and updates on the space's manager; game thread only.
#pragma once

#include "component.h"

namespace volleyrun {

class UpdateEvent;

class MainMenuLogic : public ComponentOf<MainMenuLogic, kMainMenuLogic> {
public:
    explicit MainMenuLogic(Entity* owner) : ComponentOf(owner) {}

    void Initialize() override;
    void Serialize(std::vector<Property>&) override {}

    void OnUpdate(UpdateEvent& event);
};

} // namespace volleyrun
