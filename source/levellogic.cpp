#include "levellogic.h"

#include "camera.h"
#include "engine.h"
#include "entity.h"
#include "input.h"
#include "space.h"
#include "sprite.h"
#include "transform.h"

#include <algorithm>

namespace {

const char* const kSplashSteps[] = {"LevelLogic0", "LevelLogic1", "LevelLogic2"};
constexpr float kSplashDelays[] = {2.0f, 4.0f, 8.0f};

EventManager& Events()
{
    return *Engine::Get()->events;
}

// The larger of one axis on the two gamepads (an absent pad counts 0).
float LargerAxis(int axis)
{
    return std::max(Input::Get()->Axis(0, axis), Input::Get()->Axis(1, axis));
}

} // namespace

void LevelLogic::Initialize()
{
    owner->events->AddListener(this, &LevelLogic::OnTrigger);
    const std::string& space = owner->space->name;
    if (space == "game") StartGameMusic();
    else if (space == "Splash") StartSplash();
    else if (space == "CreditsUpdated") Events().Send(ParameterChangeEvent("event:/MainMenu", {{"Location", 1.0f}}));
    else StartMenuMusic();
    if (space == "MainMenu" || space == "CreditsUpdated") {
        Engine::Get()->events->AddListener(this, &LevelLogic::OnUpdate);
        listensUpdate_ = true;
    }
    Camera::Get()->SetPosition(cameraX, cameraY, 0.0f);
    Camera::Get()->SetZoom(cameraZoom);
}

void LevelLogic::Terminate()
{
    owner->events->RemoveListener<TriggerEvent>(this);
    if (listensUpdate_) Engine::Get()->events->RemoveListener<UpdateEvent>(this);
    if (listensKeys_) Engine::Get()->events->RemoveListener<KeyUpdateEvent>(this);
}

std::unique_ptr<Component> LevelLogic::Clone(Entity* newOwner) const
{
    auto clone = std::make_unique<LevelLogic>(newOwner);
    clone->cameraX = cameraX;
    clone->cameraY = cameraY;
    clone->cameraZoom = cameraZoom;
    return clone;
}

void LevelLogic::Serialize(std::vector<Property>& properties)
{
    properties.push_back({"camera_x", &cameraX, kFloat});
    properties.push_back({"camera_y", &cameraY, kFloat});
    properties.push_back({"camera_zoom", &cameraZoom, kFloat});
}

void LevelLogic::StartGameMusic()
{
    Events().Send(PlaySoundEvent("event:/InGame", true));
    Events().Send(ParameterChangeEvent("event:/InGame", {{"Location", 1.0f}}));
    Events().Send(PlaySoundEvent("event:/PauseMenu", false));
    Events().Send(PauseSoundEvent("event:/PauseMenu", true));  // ready, silent until a pause
}

void LevelLogic::StartSplash()
{
    Events().Send(PlaySoundEvent("event:/MainMenu", false));
    for (size_t i = 0; i < 3; ++i) owner->events->Send(TriggerEvent(0, kSplashSteps[i], owner->Ref(), kSplashDelays[i]));
}

void LevelLogic::StartMenuMusic()
{
    Events().Send(PauseSoundEvent("event:/InGame", true));
    Events().Send(PauseSoundEvent("event:/PauseMenu", true));
    Events().Send(PlaySoundEvent("event:/Announcer/Volleyrun", false));
    Events().Send(PauseSoundEvent("event:/MainMenu", false));
    Events().Send(ParameterChangeEvent("event:/MainMenu", {{"Location", 0.0f}, {"Transition", 0.0f}}));
}

void LevelLogic::OnTrigger(TriggerEvent& event)
{
    Space* space = owner->space;
    if (event.name == "LevelLogic0") {
        space->RequireEntity("background")->Require<Sprite>()->SetImage("FMOD1.png");
        Engine::Get()->events->AddListener(this, &LevelLogic::OnKeyUpdate);
        listensKeys_ = true;
    } else if (event.name == "LevelLogic1") {
        Entity* background = space->RequireEntity("background");
        background->Require<Sprite>()->SetImage("ControllersRequired.png");
        background->Require<Transform>()->scale = {480.0f, 270.0f};
    } else if (event.name == "LevelLogic2" && space->name == "Splash") {
        LeaveSplash();
    }
}

void LevelLogic::LeaveSplash()
{
    Events().Send(DestroySpaceEvent(owner->space, 0.0f));
    Events().Send(CreateSpaceEvent("MainMenu", 0.0f));
}

void LevelLogic::OnKeyUpdate(KeyUpdateEvent&)
{
    if (owner->space->name != "Splash") return;
    Engine::Get()->events->RemoveListener<KeyUpdateEvent>(this);  // one key is enough
    listensKeys_ = false;
    LeaveSplash();
}

void LevelLogic::OnUpdate(UpdateEvent&)
{
    Input* input = Input::Get();
    Events().Send(ParameterChangeEvent("event:/MainMenu", {{"LeftTrigger", LargerAxis(4)},
                                                           {"RightTrigger", LargerAxis(5)},
                                                           {"RightStickY", input->Axis(0, 3)}}));
}
