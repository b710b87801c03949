// FollowObject: names another entity its owner is meant to follow and which parts of that
// entity's transform count. Configuration only: space and archetype files carry it and it
// loads, saves and copies with its entity, but nothing moves an entity because of it.
// Game thread only.
#pragma once

#include "component.h"

#include <string>

namespace volleyrun {

class FollowObject : public ComponentOf<FollowObject, kFollowObject> {
public:
    explicit FollowObject(Entity* owner) : ComponentOf(owner) {}

    void Serialize(std::vector<Property>& properties) override;

    std::string objectToFollow;  // an entity name in the same space; may be empty
    bool followTranslation = true;
    bool followScale = false;
    bool followRotation = false;
};

} // namespace volleyrun
