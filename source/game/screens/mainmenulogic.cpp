#include "mainmenulogic.h"

#include "contentnames.h"
#include "engine.h"
#include "entity.h"
#include "space.h"

void MainMenuLogic::Initialize()
{
    owner->space->events->AddListener(this, &MainMenuLogic::OnUpdate);
}

void MainMenuLogic::Terminate()
{
    owner->space->events->RemoveListener<UpdateEvent>(this);
}

std::unique_ptr<Component> MainMenuLogic::Clone(Entity* newOwner) const
{
    return std::make_unique<MainMenuLogic>(newOwner);
}

void MainMenuLogic::OnUpdate(UpdateEvent&)
{
    Engine* engine = Engine::Get();
    if (Space* menu = engine->FindSpace(Content::kMainMenuSpace))
        menu->SetPaused(engine->FindSpace("MainMenuQuitConfirm") || engine->FindSpace(Content::kMenuOptionsSpace));
}
