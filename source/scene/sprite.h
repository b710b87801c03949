// Sprite: makes its entity visible as one image (or one frame of an image) drawn on the
// Transform's quad, tinted by a colour. Its zLayer fixes where the entity is inserted in
// its space's draw order. Draws itself on the DrawEvent its entity's own manager receives.
// SpriteText and ParticleEmitter also keep owner-less sprites that they draw themselves.
// Game thread only.
#pragma once

#include "component.h"

#include <glm/mat3x3.hpp>
#include <glm/vec4.hpp>

#include <cstdint>
#include <string>

namespace volleyrun {

class DrawEvent;
struct Texture;

class Sprite : public ComponentOf<Sprite, kSprite> {
public:
    Sprite(Entity* owner, std::string imageName = "TestingLines.png", uint32_t frameIndex = 0, float zLayer = 0.0f,
           glm::vec4 colour = glm::vec4(1.0f), bool visible = true);

    void Initialize() override;
    void Serialize(std::vector<Property>& properties) override;

    // The new image is looked up at the next draw.
    void SetImage(std::string name);
    // The texture of imageName ("default.png" when there is none), looked up again after
    // SetImage or after the texture table was refilled.
    Texture& GetTexture();
    std::optional<float> DrawLayer() const override { return zLayer; }
    // This sprite's current frame over the world rectangle, in the colour given.
    void Draw(const glm::mat3& world, glm::vec4 rgba);

    void OnDraw(DrawEvent& event);

    bool visible;
    std::string imageName;
    uint32_t frameIndex;  // frame of the texture's grid or atlas
    float zLayer;         // draw order inside the space: larger is drawn later, on top
    glm::vec4 colour;     // multiplied into the image
    bool textureDirty = true;

private:
    Texture* texture_ = nullptr;     // cached FindTexture result; valid while the generation matches
    uint64_t textureGeneration_ = 0; // TextureStore::Generation when texture_ was found
};

} // namespace volleyrun
