// Credits: scrolls its entity (the tall credits picture) upwards for as long as its space
// lives: scrollStep world units for every update it receives, from its space's manager
// (always) and from its entity's own manager (while neither is paused). Frame time is not
// used. Created with the "CreditsUpdated" space; game thread only.
#pragma once

#include "component.h"

namespace volleyrun {

class Transform;
class UpdateEvent;

class Credits : public ComponentOf<Credits, kCredits> {
public:
    explicit Credits(Entity* owner) : ComponentOf(owner) {}

    void Initialize() override;
    void Serialize(std::vector<Property>&) override {}

    void OnUpdate(UpdateEvent& event);

    float scrollStep = 0.75f;          // world units per update received
    Transform* transform = nullptr;    // the owner's, found at initialisation (a sibling: lives as long as this)
};

} // namespace volleyrun
