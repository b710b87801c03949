#include "stub.h"

std::unique_ptr<Component> Stub::Clone(Entity* newOwner) const
{
    return std::make_unique<Stub>(newOwner);
}
