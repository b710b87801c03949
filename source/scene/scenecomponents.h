// RegisterSceneComponents: puts the component types of this layer (sprites, text, particles, animation, bodies and colliders) into the
// registry under their class names. Called for every registry built, through the program's
// list of every layer's types. Game thread only.
#pragma once

namespace volleyrun {

class ComponentRegistry;

void RegisterSceneComponents(ComponentRegistry& registry);

} // namespace volleyrun
