// A test-only component with one property of every kind, registered as "Probe" in the unused slot 6.
#pragma once

#include "component.h"
#include "componentregistry.h"

#include <cstdint>
#include <string>

namespace volleyrun {

class Probe : public ComponentOf<Probe, static_cast<ComponentType>(6)> {
public:
    explicit Probe(Entity* owner) : ComponentOf(owner) {}
    void Serialize(std::vector<Property>& properties) override
    {
        properties.insert(properties.end(), {{"count", &count, kInt}, {"label", &label, kString},
                                             {"ratio", &ratio, kDouble}, {"speed", &speed, kFloat},
                                             {"on", &on, kBool}, {"mask", &mask, kUnsigned}});
    }
    static void Register() { ComponentRegistry::Start()->Register("Probe", std::make_unique<Probe>(nullptr)); }

    int32_t count = 7;
    std::string label = "probe";
    double ratio = 0.25;
    float speed = 1.5f;
    bool on = false;
    uint32_t mask = 3;
};

} // namespace volleyrun
