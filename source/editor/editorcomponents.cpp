#include "editorcomponents.h"

#include "componentregistry.h"
#include "mapeditor.h"

void RegisterEditorComponents(ComponentRegistry& registry)
{
    registry.Register("MapEditor", std::make_unique<MapEditor>(nullptr));
}
