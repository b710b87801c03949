// RegisterUiComponents: puts the component types of this layer (buttons, the cursor, hover, sliders, text boxes and followers) into the
// registry under their class names. Called for every registry built, through the program's
// list of every layer's types. Game thread only.
#pragma once

namespace volleyrun {

class ComponentRegistry;

void RegisterUiComponents(ComponentRegistry& registry);

} // namespace volleyrun
