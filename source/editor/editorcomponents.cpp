#include "editorcomponents.h"

#include "componentregistry.h"
#include "mapeditor.h"

namespace volleyrun {

void RegisterEditorComponents(ComponentRegistry& registry)
{
    registry.Register("MapEditor", std::make_unique<MapEditor>(nullptr));
}

} // namespace volleyrun
