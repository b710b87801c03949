#include "sprite.h"

#include "entity.h"
#include "graphics.h"
#include "texturestore.h"
#include "transform.h"

namespace volleyrun {

Sprite::Sprite(Entity* owner, std::string image, uint32_t frame, float layer, glm::vec4 tint, bool shown)
    : ComponentOf(owner), visible(shown), imageName(std::move(image)), frameIndex(frame), zLayer(layer), colour(tint)
{
}

void Sprite::Initialize()
{
    Listen(*owner->events, &Sprite::OnDraw);
}

void Sprite::Serialize(std::vector<Property>& properties)
{
    properties.push_back({"imageName", &imageName, kString});
    properties.push_back({"frameIndex", &frameIndex, kUnsigned});
    properties.push_back({"zLayer", &zLayer, kFloat});
    properties.push_back({"r", &colour.r, kFloat});
    properties.push_back({"g", &colour.g, kFloat});
    properties.push_back({"b", &colour.b, kFloat});
    properties.push_back({"a", &colour.a, kFloat});
}

void Sprite::SetImage(std::string name)
{
    imageName = std::move(name);
    textureDirty = true;
}

Texture& Sprite::GetTexture()
{
    if (textureDirty || !texture_ || textureGeneration_ != TextureStore::Generation()) {
        texture_ = &FindTexture(imageName);
        textureGeneration_ = TextureStore::Generation();
        textureDirty = false;
    }
    return *texture_;
}

void Sprite::Draw(const glm::mat3& world, glm::vec4 rgba)
{
    Graphics::Get()->DrawSprite(world, GetTexture(), frameIndex, rgba);
}

void Sprite::OnDraw(DrawEvent&)
{
    if (Graphics::Get()->debugDraw || !visible) return;
    // A sprite needs a place in the world; content without a Transform shows nothing.
    Transform* transform = owner->Get<Transform>();
    if (!transform) return;
    Draw(transform->GetMatrix(), colour);
}

} // namespace volleyrun
