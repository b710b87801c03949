#include "screencomponents.h"

#include "componentregistry.h"
#include "contentnames.h"
#include "controlslogic.h"
#include "credits.h"
#include "mainmenulogic.h"
#include "optionslogic.h"
#include "pauselogic.h"
#include "spaceloader.h"
#include "tutorial.h"

namespace volleyrun {

void RegisterScreenComponents(ComponentRegistry& registry)
{
    registry.Register("SpaceLoader", std::make_unique<SpaceLoader>(nullptr, Content::kSplashSpace, "button"));
    registry.Register("PauseLogic", std::make_unique<PauseLogic>(nullptr));
    registry.Register("Credits", std::make_unique<Credits>(nullptr));
    registry.Register("MainMenuLogic", std::make_unique<MainMenuLogic>(nullptr));
    registry.Register("OptionsLogic", std::make_unique<OptionsLogic>(nullptr));
    registry.Register("Tutorial", std::make_unique<Tutorial>(nullptr));
    registry.Register("ControlsLogic", std::make_unique<ControlsLogic>(nullptr));
}

} // namespace volleyrun
