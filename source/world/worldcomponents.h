// RegisterWorldComponents: puts the component types of this layer (Transform and the placeholder component) into the
// registry under their class names. Called for every registry built, through the program's
// list of every layer's types. Game thread only.
#pragma once

namespace volleyrun {

class ComponentRegistry;

void RegisterWorldComponents(ComponentRegistry& registry);

} // namespace volleyrun
