// TestingComponent: the designers' debug keys, held by the main menu and match spaces
// (placed there by their files). With Left Control already held and the console closed:
// F5 / F6 open the map editor over the main menu / the match, F2 shows or hides the
// "Debug" space, F1 switches debug drawing, and in the space "game" Space switches
// autoplay and B ends the match at once. In the main menu it also prints the key help.
// Listens on the engine-wide manager; game thread only.
#pragma once

#include "component.h"

namespace volleyrun {

class DevMessageEvent;
class UpdateEvent;

class TestingComponent : public ComponentOf<TestingComponent, kTestingComponent> {
public:
    // GLFW key codes of the shortcuts.
    static constexpr int kKeyLeftControl = 341;
    static constexpr int kKeyF1 = 290;
    static constexpr int kKeyF2 = 291;
    static constexpr int kKeyF5 = 294;
    static constexpr int kKeyF6 = 295;
    static constexpr int kKeyB = 66;

    explicit TestingComponent(Entity* owner) : ComponentOf(owner) {}

    void Initialize() override;
    void Serialize(std::vector<Property>&) override {}

    void OnUpdate(UpdateEvent& event);
    // The editor commands travel on the same manager; this component has nothing to do
    // with them.
    void OnDevMessage(DevMessageEvent&) {}

private:
    void PrintHelp() const;
    void RunMatchKeys() const;
    void EndMatch() const;
    void Send(const char* command) const;
};

} // namespace volleyrun
