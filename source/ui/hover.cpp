#include "hover.h"

#include "entity.h"
#include "graphics.h"
#include "texture.h"
#include "transform.h"

#include <glm/mat3x3.hpp>

namespace volleyrun {

void Hover::Initialize()
{
    Listen(*owner->events, &Hover::OnUpdate);
    Listen(*owner->events, &Hover::OnDraw);
    uint32_t frames = ring.GetTexture().frameCount;
    ring.frameIndex = player >= 0 && static_cast<uint32_t>(player) < frames ? static_cast<uint32_t>(player) : 0;
    basePosition = owner->Require<Transform>()->translation;
}

void Hover::Serialize(std::vector<Property>& properties)
{
    properties.push_back({"player", &player, kInt});
}

void Hover::OnUpdate(UpdateEvent& event)
{
    phase -= 3.0f * event.dt;
    if (phase <= 0.0f) phase = kPhaseMax;
    bob += static_cast<float>(direction) * 10.0f * event.dt;
    if (direction > 0 && bob > amplitude) direction = -1;
    else if (direction < 0 && bob < -amplitude) direction = 1;
    owner->Get<Transform>()->translation = basePosition + glm::vec2(0.0f, bob);
}

void Hover::OnDraw(DrawEvent&)
{
    if (Graphics::Get()->debugDraw) return;  // like every sprite: only the outlines show then
    glm::vec2 at = owner->Get<Transform>()->translation;
    float ringPhase = phase;
    for (int i = 0; i < 3; ++i, ringPhase -= 3.0f) {
        float p = ringPhase < 0.0f ? ringPhase + kPhaseMax : ringPhase;
        glm::mat3 world(10.0f * p, 0.0f, 0.0f, 0.0f, 10.0f * p, 0.0f, at.x, at.y + 5.0f * p - 80.0f, 1.0f);
        ring.Draw(world, glm::vec4(1.0f, 1.0f, 1.0f, 0.15f * p));
    }
}

} // namespace volleyrun
