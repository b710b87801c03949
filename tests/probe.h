// A test-only component with one property of every kind, registered under "Probe" in the
// unused component slot 6.
#pragma once

#include "component.h"
#include "componentregistry.h"

#include <cstdint>
#include <string>

class Probe : public ComponentOf<static_cast<ComponentType>(6)> {
public:
    explicit Probe(Entity* owner) : ComponentOf(owner) {}
    std::unique_ptr<Component> Clone(Entity* newOwner) const override
    {
        auto copy = std::make_unique<Probe>(newOwner);
        copy->count = count;
        copy->label = label;
        copy->ratio = ratio;
        copy->speed = speed;
        copy->on = on;
        copy->mask = mask;
        return copy;
    }
    void Serialize(std::vector<Property>& properties) override
    {
        properties.push_back({"count", &count, kInt});
        properties.push_back({"label", &label, kString});
        properties.push_back({"ratio", &ratio, kDouble});
        properties.push_back({"speed", &speed, kFloat});
        properties.push_back({"on", &on, kBool});
        properties.push_back({"mask", &mask, kUnsigned});
    }
    static void Register() { ComponentRegistry::Get()->Register("Probe", std::make_unique<Probe>(nullptr)); }

    int32_t count = 7;
    std::string label = "probe";
    double ratio = 0.25;
    float speed = 1.5f;
    bool on = false;
    uint32_t mask = 3;
};
