#include "mainmenulogic.h"

#include "contentnames.h"
#include "engine.h"
#include "entity.h"
#include "space.h"

namespace volleyrun {

void MainMenuLogic::Initialize()
{
    Listen(*owner->space->events, &MainMenuLogic::OnUpdate);
}

void MainMenuLogic::OnUpdate(UpdateEvent&)
{
    Engine* engine = Engine::Get();
    if (Space* menu = engine->FindSpace(Content::kMainMenuSpace))
        menu->SetPaused(engine->FindSpace("MainMenuQuitConfirm") || engine->FindSpace(Content::kMenuOptionsSpace));
}

} // namespace volleyrun
