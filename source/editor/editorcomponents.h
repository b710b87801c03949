// RegisterEditorComponents: puts the component types of this layer (the map editor) into the
// registry under their class names. Called for every registry built, through the program's
// list of every layer's types. Game thread only.
#pragma once

namespace volleyrun {

class ComponentRegistry;

void RegisterEditorComponents(ComponentRegistry& registry);

} // namespace volleyrun
