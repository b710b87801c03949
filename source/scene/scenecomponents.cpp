#include "scenecomponents.h"

#include "componentregistry.h"
#include "animation.h"
#include "boxcollider.h"
#include "circlecollider.h"
#include "particleemitter.h"
#include "rigidbody.h"
#include "sprite.h"
#include "spritetext.h"

namespace volleyrun {

void RegisterSceneComponents(ComponentRegistry& registry)
{
    registry.Register("Sprite", std::make_unique<Sprite>(nullptr, "TestingLines.png", 0, 0.0f, glm::vec4(1.0f), true));
    registry.Register("RigidBody", std::make_unique<RigidBody>(nullptr));
    registry.Register("CircleCollider", std::make_unique<CircleCollider>(nullptr));
    registry.Register("BoxCollider", std::make_unique<BoxCollider>(nullptr));
    registry.Register("SpriteText", std::make_unique<SpriteText>(nullptr, "Spritetext!", 1.0f, 0, 37.0f));
    registry.Register("Animation", std::make_unique<Animation>(nullptr));
    registry.Register("ParticleEmitter", std::make_unique<ParticleEmitter>(nullptr));
}

} // namespace volleyrun
