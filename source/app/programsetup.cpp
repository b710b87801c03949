#include "programsetup.h"

#include "componentregistry.h"
#include "editorcommand.h"
#include "editorcomponents.h"
#include "engine.h"
#include "gamecomponents.h"
#include "scenecomponents.h"
#include "screencomponents.h"
#include "settingskeeper.h"
#include "uicomponents.h"
#include "worldcomponents.h"

namespace volleyrun {

namespace {

void RegisterComponentTypes(ComponentRegistry& registry)
{
    RegisterWorldComponents(registry);
    RegisterSceneComponents(registry);
    RegisterUiComponents(registry);
    RegisterGameComponents(registry);
    RegisterScreenComponents(registry);
    RegisterEditorComponents(registry);
}

} // namespace

void SetUpProgram()
{
    static SettingsKeeper settings;
    static EditorCommand editor;
    ComponentRegistry::SetTypes(&RegisterComponentTypes);
    Engine::SetParts({&settings, &editor});
}

} // namespace volleyrun
