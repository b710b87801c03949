// ParticleEmitter: a continuous stream of small sprites (sparks, trails, bursts) that leave
// the entity's position with a randomised velocity, accelerate, spin, shrink and fade. A
// fixed ring of space-less "particle" entities, sized from the spawn rate and lifetime, is
// made at initialisation and reused oldest first, so nothing is allocated afterwards.
// Balls switch their trail on and off; bursts flash an emitter for a moment. Updates and
// draws through its entity's own manager; game thread only.
#pragma once

#include "component.h"
#include "sprite.h"

#include <glm/vec2.hpp>
#include <glm/vec3.hpp>

#include <cstdint>
#include <string>
#include <vector>

namespace volleyrun {

class DrawEvent;
class UpdateEvent;

class ParticleEmitter : public ComponentOf<ParticleEmitter, kParticleEmitter> {
public:
    static constexpr float kBurstSeconds = 0.234375f;
    // The largest pool (and "initCount") an emitter may ask for, and the fastest stream.
    static constexpr uint32_t kMaxParticles = 10000;
    static constexpr uint32_t kMaxSpawnsPerMinute = 600000;

    explicit ParticleEmitter(Entity* owner);
    ~ParticleEmitter() override;

    void Initialize() override;
    void Serialize(std::vector<Property>& properties) override;
    void Check(const std::string& where) const override;

    // Gives the particles a new image; the "imageName" property keeps its value.
    void SetImage(const std::string& name) { sprite_.SetImage(name); }
    // Colours the stream and turns it on for a moment (a hit, a miss, a threshold).
    void Burst(glm::vec3 rgb, float alpha);

    void OnUpdate(UpdateEvent& event);
    void OnDraw(DrawEvent& event);

    const std::vector<std::unique_ptr<Entity>>& Pool() const { return pool_; }
    uint32_t LastSlot() const { return lastSlot_; }

    float downwardAcceleration = 0.75f;  // y of each particle's acceleration, units/s^2
    int32_t initCount = 0;               // added to the pool size
    int32_t spawnsPerMinute = 120;
    float lifeTime = 1.0f;               // seconds; sets the pool size
    float sidewaysAcceleration = 0.0f;
    float scaleFactor = 0.8f;            // each particle's scale is multiplied by it every frame
    glm::vec2 initialVelocity{0.0f, -150.0f};
    float initialAngle = 0.0f;           // degrees
    float angularVariance = 5.0f;        // largest random turn per frame, degrees
    glm::vec2 speedVariance{5.0f, 5.0f}; // largest random change of the base velocity
    float angularSpeed = 0.75f;          // degrees per second
    float initSize = 20.0f;
    float r = 0.4f, g = 1.0f, b = 1.0f, a = 0.8f;
    glm::vec2 initialOffset{0.0f};       // spawn point relative to the owner
    std::string imageName = "default.png";
    bool isActive = true;  // false: new particles are placed far off screen
    bool enabled = true;   // false: nothing is drawn (particles still move)

private:
    float PoolWanted() const;  // particles the pool needs: initCount plus a lifetime of spawns
    void Start();
    void Spawn(float interpolation);

    int32_t poolSize_ = 0;
    float spawnInterval_ = 0.0f;  // seconds between spawns
    float spawnTimer_ = 0.0f;     // seconds toward the next spawn
    uint32_t lastSlot_ = 0;       // pool index of the newest particle
    std::vector<std::unique_ptr<Entity>> pool_;
    Sprite sprite_;               // image, frame and colour shared by every particle
};

} // namespace volleyrun
