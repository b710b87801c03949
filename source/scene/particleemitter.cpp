#include "particleemitter.h"

#include "entity.h"
#include "gameerror.h"
#include "graphics.h"
#include "rigidbody.h"
#include "space.h"
#include "transform.h"

#include <algorithm>
#include <cstdlib>

namespace volleyrun {

namespace {
const glm::vec2 kOffScreen(-3500.0f, 0.0f);
constexpr float kFirstStep = 0.067f;  // seconds a new particle moves at once

// A random factor from -1.00 to 0.99 in steps of 0.01.
double RandomFactor()
{
    return ((std::rand() % 200) - 100) * 0.01;
}
} // namespace

ParticleEmitter::ParticleEmitter(Entity* owner) : ComponentOf(owner), sprite_(nullptr, "default.png") {}

ParticleEmitter::~ParticleEmitter() = default;

void ParticleEmitter::Initialize()
{
    Start();
}

void ParticleEmitter::Serialize(std::vector<Property>& properties)
{
    properties.push_back({"downwardAcceleration", &downwardAcceleration, kFloat});
    // Every particle is an entity of its own, made when the emitter starts.
    properties.push_back({"initCount", &initCount, kInt, kMaxParticles});
    properties.push_back({"spawnsPerMinute", &spawnsPerMinute, kInt, kMaxSpawnsPerMinute});
    properties.push_back({"lifeTime", &lifeTime, kFloat});
    properties.push_back({"sidewaysAcceleration", &sidewaysAcceleration, kFloat});
    properties.push_back({"scaleFactor", &scaleFactor, kFloat});
    properties.push_back({"initialVelX", &initialVelocity.x, kFloat});
    properties.push_back({"initialAngle", &initialAngle, kFloat});
    properties.push_back({"initialVelY", &initialVelocity.y, kFloat});
    properties.push_back({"angularVariance", &angularVariance, kFloat});
    properties.push_back({"speedVarianceX", &speedVariance.x, kFloat});
    properties.push_back({"speedVarianceY", &speedVariance.y, kFloat});
    properties.push_back({"angularSpeed", &angularSpeed, kFloat});
    properties.push_back({"initSize", &initSize, kFloat});
    properties.push_back({"r", &r, kFloat});
    properties.push_back({"g", &g, kFloat});
    properties.push_back({"b", &b, kFloat});
    properties.push_back({"a", &a, kFloat});
    properties.push_back({"initialOffsetX", &initialOffset.x, kFloat});
    properties.push_back({"initialOffsetY", &initialOffset.y, kFloat});
    properties.push_back({"imageName", &imageName, kString});
    properties.push_back({"isActive", &isActive, kBool});
}

float ParticleEmitter::PoolWanted() const
{
    return static_cast<float>(spawnsPerMinute) / 60.0f * lifeTime + static_cast<float>(initCount);
}

void ParticleEmitter::Check(const std::string& where) const
{
    float wanted = PoolWanted();
    if (!(wanted <= static_cast<float>(kMaxParticles)))  // and not NaN
        throw GameError(where + ": initCount + spawnsPerMinute / 60 x lifeTime asks for " + std::to_string(wanted) +
                        " particles, above the limit of " + std::to_string(kMaxParticles));
}

void ParticleEmitter::Start()
{
    Check((owner->space ? owner->space->Path() + ": " : "") + "entity \"" + owner->name + "\", component \"ParticleEmitter\"");
    poolSize_ = static_cast<int32_t>(PoolWanted());
    initCount = poolSize_;
    for (int32_t i = 0; i < poolSize_; ++i) pool_.push_back(std::make_unique<Entity>("particle", "particle", nullptr));
    for (int32_t i = 0; i < poolSize_; ++i) Spawn(0.0f);
    spawnInterval_ = 60.0f / static_cast<float>(spawnsPerMinute);
    Listen(*owner->events, &ParticleEmitter::OnUpdate);
    Listen(*owner->events, &ParticleEmitter::OnDraw);
    sprite_.SetImage(imageName);
}

void ParticleEmitter::Spawn(float interpolation)
{
    glm::vec2 target = owner->Require<Transform>()->translation + initialOffset;
    RigidBody* body = owner->Get<RigidBody>();
    glm::vec2 previous = body ? body->previousPosition : target;
    glm::vec2 position = isActive ? previous + (target - previous) * interpolation : kOffScreen;
    lastSlot_ = (lastSlot_ + 1) % static_cast<uint32_t>(poolSize_);
    Entity* particle = pool_[lastSlot_].get();
    Transform* transform = particle->Require<Transform>();
    transform->translation = position;
    transform->scale = {initSize, initSize};
    transform->rotation = initialAngle;
    RigidBody* rigid = particle->Require<RigidBody>();
    float vy = static_cast<float>(speedVariance.y * RandomFactor() + initialVelocity.y);
    float vx = static_cast<float>(speedVariance.x * RandomFactor() + initialVelocity.x);
    rigid->velocity = {vx, vy};
    rigid->acceleration = {sidewaysAcceleration, downwardAcceleration};
    UpdateEvent step(kFirstStep, 0.0f);
    rigid->OnUpdate(step);
}

void ParticleEmitter::OnUpdate(UpdateEvent& event)
{
    if (poolSize_ <= 0) return;
    spawnTimer_ += event.dt;
    for (int32_t k = 0; k < poolSize_; ++k) {
        Entity* particle = pool_[(lastSlot_ + static_cast<uint32_t>(k)) % static_cast<uint32_t>(poolSize_)].get();
        particle->Require<RigidBody>()->OnUpdate(event);
        Transform* transform = particle->Require<Transform>();
        transform->scale *= scaleFactor;
        transform->rotation += angularSpeed * event.dt + static_cast<float>(RandomFactor()) * angularVariance;
    }
    if (!(spawnInterval_ > 0.0f)) return;  // a rate of 0 (infinite interval) or below never spawns
    float spawns = spawnTimer_ / spawnInterval_;
    for (int i = 0; spawnTimer_ >= spawnInterval_; ++i) {
        spawnTimer_ -= spawnInterval_;
        Spawn(static_cast<float>(i) / spawns);
    }
}

void ParticleEmitter::OnDraw(DrawEvent&)
{
    sprite_.colour = {std::clamp(r * 255.0f, 0.0f, 255.0f) / 255.0f, std::clamp(g * 255.0f, 0.0f, 255.0f) / 255.0f,
                      std::clamp(b * 255.0f, 0.0f, 255.0f) / 255.0f, std::clamp(a, 0.0f, 1.0f)};
    if (!enabled || poolSize_ <= 0) return;
    Graphics* graphics = Graphics::Get();
    graphics->BeginParticleBatch(sprite_.GetTexture(), sprite_.frameIndex, glm::vec3(sprite_.colour));
    for (int32_t k = 0; k < poolSize_; ++k) {
        Entity* particle = pool_[(lastSlot_ + static_cast<uint32_t>(k)) % static_cast<uint32_t>(poolSize_)].get();
        Transform* transform = particle->Require<Transform>();
        graphics->DrawParticle(transform->GetMatrix(), a * transform->scale.x / initSize);
    }
}

void ParticleEmitter::Burst(glm::vec3 rgb, float alpha)
{
    r = rgb.r;
    g = rgb.g;
    b = rgb.b;
    a = alpha;
    isActive = true;
    EntityRef self = owner->Ref();
    owner->space->events->Send(LambdaEvent(
        [self] {
            if (Entity* entity = self.Get())
                if (auto* emitter = entity->Get<ParticleEmitter>()) emitter->isActive = false;
        },
        kBurstSeconds));
}

} // namespace volleyrun
