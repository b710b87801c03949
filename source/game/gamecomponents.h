// RegisterGameComponents: puts the component types of this layer (the match and its test keys) into the
// registry under their class names. Called for every registry built, through the program's
// list of every layer's types. Game thread only.
#pragma once

namespace volleyrun {

class ComponentRegistry;

void RegisterGameComponents(ComponentRegistry& registry);

} // namespace volleyrun
