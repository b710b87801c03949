// Hover: a decoration that bobs its entity up and down around where it stood at
// initialisation and draws three rings beneath it that shrink and fade from the largest
// size every 3 seconds. Updates and draws on its entity's own manager (so it rests while
// the entity or its space is paused); game thread only.
#pragma once

#include "component.h"
#include "sprite.h"

#include <glm/vec2.hpp>

#include <cstdint>

namespace volleyrun {

class DrawEvent;
class UpdateEvent;

class Hover : public ComponentOf<Hover, kHover> {
public:
    static constexpr float kPhaseMax = 9.0f;  // the ring phase runs 9 -> 0 at 3 per second

    explicit Hover(Entity* owner) : ComponentOf(owner) {}

    void Initialize() override;
    void Serialize(std::vector<Property>& properties) override;

    void OnUpdate(UpdateEvent& event);
    void OnDraw(DrawEvent& event);

    int32_t player = 0;       // frame of the ring image: one ring colour per player
    float phase = kPhaseMax;  // of the largest ring; the others trail 3 and 6 behind
    int32_t direction = -1;   // bobbing direction, +1 or -1
    float amplitude = 10.0f;  // world units the bob reaches either way
    float bob = 0.0f;         // current offset from basePosition, world units
    glm::vec2 basePosition{0.0f};
    Sprite ring{nullptr, "UI_Billboards_Rings.png", 0, 3000.0f};
};

} // namespace volleyrun
