// SetUpProgram: what this program is made of above the engine, named once at the start of
// main (and of each test and benchmark program): every layer's component types for the
// registry, and the engine's parts (the player's settings, the editor's console command),
// in this order. Game thread only.
#pragma once

namespace volleyrun {

void SetUpProgram();

} // namespace volleyrun
