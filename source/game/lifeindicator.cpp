#include "lifeindicator.h"

#include "entity.h"
#include "graphics.h"
#include "transform.h"

namespace volleyrun {

void LifeIndicator::Initialize()
{
    Listen(*owner->events, &LifeIndicator::OnDraw);
}

void LifeIndicator::Serialize(std::vector<Property>& properties)
{
    properties.push_back({"imageName", &imageName, kString});
    properties.push_back({"imageOverlay", &imageOverlay, kString});
    properties.push_back({"offsetX", &offsetX, kFloat});
}

void LifeIndicator::DrawRow(Sprite& sprite, const std::string& image, int32_t count)
{
    if (sprite.imageName != image) sprite.SetImage(image);
    glm::mat3 world = owner->Require<Transform>()->GetMatrix();
    for (int32_t i = 0; i < count; ++i) {
        sprite.Draw(world, sprite.colour);
        world[2][0] += offsetX;
    }
}

void LifeIndicator::OnDraw(DrawEvent&)
{
    DrawRow(slot_, imageName, maxLives);
    DrawRow(overlay_, imageOverlay, lives);
}

} // namespace volleyrun
