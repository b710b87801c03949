#include "levellogic.h"

#include "camera.h"
#include "audioengine.h"
#include "contentnames.h"
#include "engine.h"
#include "entity.h"
#include "gamesettings.h"
#include "input.h"
#include "slider.h"
#include "space.h"
#include "sprite.h"
#include "transform.h"
#include "window.h"

#include <algorithm>

namespace volleyrun {

namespace {

const char* const kSplashSteps[] = {"LevelLogic0", "LevelLogic1", "LevelLogic2"};
constexpr float kSplashDelays[] = {2.0f, 4.0f, 8.0f};


// The larger of one axis on the two gamepads (an absent pad counts 0).
float LargerAxis(int axis)
{
    return std::max(Input::Get()->Axis(0, axis), Input::Get()->Axis(1, axis));
}

} // namespace

bool LevelLogic::IsOptionsSpace(const std::string& spaceName)
{
    return spaceName == Content::kPauseMenuSpace || spaceName == Content::kMenuOptionsSpace;
}

void LevelLogic::Initialize()
{
    Listen(*owner->events, &LevelLogic::OnTrigger);
    const std::string& space = owner->space->name;
    if (IsOptionsSpace(space)) {
        WireOptions();  // an overlay: the camera stays where the space below put it
        return;
    }
    if (space == Content::kMatchSpace) StartGameMusic();
    else if (space == Content::kSplashSpace) StartSplash();
    else if (space == Content::kCreditsSpace) EngineEvents().Send(ParameterChangeEvent(Content::kMenuMusic, {{"Location", 1.0f}}));
    else StartMenuMusic();
    if (space == Content::kMainMenuSpace || space == Content::kCreditsSpace) ListenUpdate();
    Camera::Get()->SetPosition(cameraX, cameraY, 0.0f);
    Camera::Get()->SetZoom(cameraZoom);
}

void LevelLogic::ListenUpdate()
{
    Listen(EngineEvents(), &LevelLogic::OnUpdate);
}

void LevelLogic::WireOptions()
{
    ListenUpdate();
    Space* space = owner->space;
    Entity* toggle = space->RequireEntity("FullScreenToggle");
    toggle->Require<Sprite>();
    Entity* defaults = space->RequireEntity("DefaultSettingsButton");
    for (Entity* button : {toggle, defaults}) ListenTo(*button, &LevelLogic::OnTrigger);
    fullScreenToggle_ = toggle->Ref();
    defaultsButton_ = defaults->Ref();
    Entity* slider = space->RequireEntity("MasterSoundSlider");
    slider->Require<Slider>()->Bind(&GameSettings::Get().masterVolumePercent);
    volumeSlider_ = slider->Ref();
    if (space->name == Content::kPauseMenuSpace) EngineEvents().Send(PauseSoundEvent(Content::kPauseMusic, space->paused));
}

void LevelLogic::Serialize(std::vector<Property>& properties)
{
    properties.push_back({"camera_x", &cameraX, kFloat});
    properties.push_back({"camera_y", &cameraY, kFloat});
    properties.push_back({"camera_zoom", &cameraZoom, kFloat});
}

void LevelLogic::StartGameMusic()
{
    EngineEvents().Send(PlaySoundEvent(Content::kMatchMusic, true));
    // A restarted song keeps its parameters: the last match's fanfare must not play on.
    EngineEvents().Send(ParameterChangeEvent(Content::kMatchMusic, {{"Location", 1.0f}, {"Win", 0.0f}}));
    EngineEvents().Send(PlaySoundEvent(Content::kPauseMusic, false));
    EngineEvents().Send(PauseSoundEvent(Content::kPauseMusic, true));  // ready, silent until a pause
}

// Any key, click or pad button skips the splash from its first frame.
void LevelLogic::StartSplash()
{
    EngineEvents().Send(PlaySoundEvent(Content::kMenuMusic, false));
    Listen(EngineEvents(), &LevelLogic::OnKeyUpdate);
    for (size_t i = 0; i < 3; ++i) owner->events->Send(TriggerEvent(0, kSplashSteps[i], owner->Ref(), kSplashDelays[i]));
}

void LevelLogic::StartMenuMusic()
{
    EngineEvents().Send(PauseSoundEvent(Content::kMatchMusic, true));
    EngineEvents().Send(PauseSoundEvent(Content::kPauseMusic, true));
    EngineEvents().Send(PlaySoundEvent("event:/Announcer/Volleyrun", false));
    EngineEvents().Send(PauseSoundEvent(Content::kMenuMusic, false));
    EngineEvents().Send(ParameterChangeEvent(Content::kMenuMusic, {{"Location", 0.0f}, {"Transition", 0.0f}}));
}

void LevelLogic::OnTrigger(TriggerEvent& event)
{
    Space* space = owner->space;
    if (event.name == "button" && IsOptionsSpace(space->name)) {
        OnOptionsButton(event.sender.Get());
    } else if (event.name == "LevelLogic0") {
        space->RequireEntity("background")->Require<Sprite>()->SetImage("FMOD1.png");
    } else if (event.name == "LevelLogic1") {
        Entity* background = space->RequireEntity("background");
        background->Require<Sprite>()->SetImage("ControllersRequired.png");
        background->Require<Transform>()->scale = {480.0f, 270.0f};
    } else if (event.name == "LevelLogic2" && space->name == Content::kSplashSpace) {
        LeaveSplash();
    }
}

void LevelLogic::LeaveSplash()
{
    EngineEvents().Send(DestroySpaceEvent(owner->space, 0.0f));
    EngineEvents().Send(CreateSpaceEvent(Content::kMainMenuSpace, 0.0f));
}

void LevelLogic::OnKeyUpdate(KeyUpdateEvent&)
{
    if (owner->space->name != Content::kSplashSpace) return;
    EngineEvents().RemoveListener<KeyUpdateEvent>(this);  // one key is enough
    LeaveSplash();
}

void LevelLogic::OnOptionsButton(const Entity* sender)
{
    if (!sender) return;
    Window* window = Window::Get();
    if (sender == fullScreenToggle_.Get()) {
        window->ToggleFullscreen();
        return;
    }
    GameSettings::Get().masterVolumePercent = 100;
    if (Entity* slider = volumeSlider_.Get()) slider->Get<Slider>()->PlaceKnobFromSetting();
    if (!window->fullscreen) window->ToggleFullscreen();
}

// Every frame: the toggle shows the window's state, and the audio follows the slider.
void LevelLogic::ShowOptions()
{
    if (Entity* toggle = fullScreenToggle_.Get()) {
        const char* image = Window::Get()->fullscreen ? "FullScreenButtonOn.png" : "FullScreenButtonOff.png";
        Sprite* sprite = toggle->Get<Sprite>();
        if (sprite->imageName != image) sprite->SetImage(image);
    }
    AudioEngine::Get()->SetMasterVolume(static_cast<float>(GameSettings::Get().masterVolumePercent) / 100.0f);
}

void LevelLogic::OnUpdate(UpdateEvent&)
{
    if (IsOptionsSpace(owner->space->name)) {
        ShowOptions();
        return;
    }
    Input* input = Input::Get();
    EngineEvents().Send(ParameterChangeEvent(Content::kMenuMusic, {{"LeftTrigger", LargerAxis(4)},
                                                           {"RightTrigger", LargerAxis(5)},
                                                           {"RightStickY", input->Axis(0, 3)}}));
}

} // namespace volleyrun
