#include "followobject.h"

// Copies the configuration, so an entity copied in the editor or spawned from an
// archetype keeps it.
std::unique_ptr<Component> FollowObject::Clone(Entity* newOwner) const
{
    return std::make_unique<FollowObject>(newOwner);
}

void FollowObject::Serialize(std::vector<Property>& properties)
{
    properties.push_back({"objectToFollow", &objectToFollow, kString});
    properties.push_back({"followTranslation", &followTranslation, kBool});
    properties.push_back({"followScale", &followScale, kBool});
    properties.push_back({"followRotation", &followRotation, kBool});
}
