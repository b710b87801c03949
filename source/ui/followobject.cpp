#include "followobject.h"

namespace volleyrun {

void FollowObject::Serialize(std::vector<Property>& properties)
{
    properties.push_back({"objectToFollow", &objectToFollow, kString});
    properties.push_back({"followTranslation", &followTranslation, kBool});
    properties.push_back({"followScale", &followScale, kBool});
    properties.push_back({"followRotation", &followRotation, kBool});
}

} // namespace volleyrun
