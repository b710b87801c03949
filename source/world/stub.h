// Stub: an empty placeholder component (slot 0). A "Stub" member in an entity object,
// whatever it holds, gives the entity one; it has no fields and no behaviour.
#pragma once

#include "component.h"

namespace volleyrun {

class Stub : public ComponentOf<Stub, kStub> {
public:
    explicit Stub(Entity* owner) : ComponentOf(owner) {}
    void Serialize(std::vector<Property>&) override {}
};

} // namespace volleyrun
