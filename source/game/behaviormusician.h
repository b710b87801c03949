// BehaviorMusician: the musician figure on one spot ("Player<p>Pos<s>"). Dim and idle when
// nobody stands there, lit where the player stands, swinging on a swing, hurt on a lost
// life; its pictures are "<character>Idle.png", "Beat.png", "Spotlight.png" and
// "Damaged.png". It also holds the swing interval of the player on it (one swing per
// 0.125 s of game time). Called by BehaviorPlayer; game thread only.
#pragma once

#include "component.h"

#include <cstdint>
#include <string>

namespace volleyrun {

class UpdateEvent;

class BehaviorMusician : public ComponentOf<BehaviorMusician, kBehaviorMusician> {
public:
    static constexpr float kSwingInterval = 0.125f;  // seconds

    enum State : int32_t { kIdle = 0, kSpotlight = 1, kSwing = 2, kDamaged = 3 };

    explicit BehaviorMusician(Entity* owner) : ComponentOf(owner) {}

    void Initialize() override;
    void Serialize(std::vector<Property>& properties) override;

    // Accepts a swing at this instant unless the last accepted one was less than the
    // interval before it.
    bool TrySwing(int64_t at);
    void Light(int brightness);  // 0 .. 255; 255 is the spotlight
    void ShowDamage();

    void OnUpdate(UpdateEvent& event);

    int32_t position = 0;      // spot number (kept and saved)
    int64_t lastSwingAt = INT64_MIN;  // instant of the last accepted swing
    float stateStart = 0.0f;   // game time the current state began
    std::string character;     // prefix of the image names
    int32_t state = kIdle;

private:
    void Show(const char* picture, State newState);
};

} // namespace volleyrun
