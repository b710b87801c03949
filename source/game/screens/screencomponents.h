// RegisterScreenComponents: puts the component types of this layer (the menus, pause, tutorial, credits and controls) into the
// registry under their class names. Called for every registry built, through the program's
// list of every layer's types. Game thread only.
#pragma once

namespace volleyrun {

class ComponentRegistry;

void RegisterScreenComponents(ComponentRegistry& registry);

} // namespace volleyrun
