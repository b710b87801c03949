// Stub: an empty placeholder component (slot 0). A "Stub" member in an entity object,
// whatever it holds, gives the entity one; it has no fields and no behaviour.
#pragma once

#include "component.h"

class Stub : public ComponentOf<kStub> {
public:
    explicit Stub(Entity* owner) : ComponentOf(owner) {}
    std::unique_ptr<Component> Clone(Entity* newOwner) const override;
    void Serialize(std::vector<Property>&) override {}
};
