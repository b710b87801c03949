// LifeIndicator: draws a player's lives as a row of images ("LifeIndicator0" and
// "LifeIndicator1"): maxLives empty slots with an overlay on each remaining life. The
// player sets both counts. Draws on its entity's own DrawEvent; game thread only.
#pragma once

#include "component.h"
#include "sprite.h"

#include <cstdint>
#include <string>

namespace volleyrun {

class DrawEvent;

class LifeIndicator : public ComponentOf<LifeIndicator, kLifeIndicator> {
public:
    explicit LifeIndicator(Entity* owner) : ComponentOf(owner) {}

    void Initialize() override;
    void Serialize(std::vector<Property>& properties) override;

    void OnDraw(DrawEvent& event);

    std::string imageName;     // an empty life slot
    std::string imageOverlay;  // a remaining life
    int32_t maxLives = 0;
    int32_t lives = 0;
    float offsetX = 0.0f;      // world units from one life to the next

private:
    void DrawRow(Sprite& sprite, const std::string& image, int32_t count);
    Sprite slot_{nullptr};
    Sprite overlay_{nullptr};
};

} // namespace volleyrun
