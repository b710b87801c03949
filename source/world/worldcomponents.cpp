#include "worldcomponents.h"

#include "componentregistry.h"
#include "stub.h"
#include "transform.h"

namespace volleyrun {

void RegisterWorldComponents(ComponentRegistry& registry)
{
    registry.Register("Stub", std::make_unique<Stub>(nullptr));
    registry.Register("Transform", std::make_unique<Transform>(nullptr, glm::vec2(0.0f, 0.0f), glm::vec2(10.0f, 10.0f), 0.0f));
}

} // namespace volleyrun
