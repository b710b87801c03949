#include "optionslogic.h"

#include "entity.h"
#include "gamesettings.h"
#include "slider.h"
#include "space.h"
#include "sprite.h"

namespace volleyrun {

const std::array<const char*, OptionsLogic::kToggleCount> OptionsLogic::kToggleNames = {
    "AButton", "BButton", "XButton", "YButton", "EventsButton", "RainbowBallButton", "AlternatingBallButton",
    "PlatinumBallButton"};
const std::array<const char*, OptionsLogic::kSliderCount> OptionsLogic::kSliderNames = {
    "EventsPerGameSlider", "EventLengthSlider", "EventBallSpawnSlider", "BallSpawnRateSlider"};

bool& OptionsLogic::Flag(int toggle)
{
    GameSettings& settings = GameSettings::Get();
    bool* flags[kToggleCount] = {&settings.aButtonEnabled,     &settings.bButtonEnabled,
                                 &settings.xButtonEnabled,     &settings.yButtonEnabled,
                                 &settings.eventsEnabled,      &settings.rainbowBallEnabled,
                                 &settings.alternatingBallEnabled, &settings.platinumBallEnabled};
    return *flags[toggle];
}

int32_t& OptionsLogic::Number(int slider)
{
    GameSettings& settings = GameSettings::Get();
    int32_t* numbers[kSliderCount] = {&settings.eventsPerGame, &settings.eventLength, &settings.eventBallSpawn,
                                      &settings.ballSpawnRate};
    return *numbers[slider];
}

std::vector<std::string> OptionsLogic::NamesNeeded() const
{
    std::vector<std::string> names{"DefaultSettingsButton"};
    names.insert(names.end(), kToggleNames.begin(), kToggleNames.end());
    names.insert(names.end(), kSliderNames.begin(), kSliderNames.end());
    return names;
}

void OptionsLogic::Initialize()
{
    Space* space = owner->space;
    for (int i = 0; i < kToggleCount; ++i) {
        Entity* toggle = space->RequireEntity(kToggleNames[i]);
        toggle->Require<Sprite>();
        toggles_[i] = toggle->Ref();
        ListenTo(*toggle, &OptionsLogic::OnTrigger);
    }
    for (int i = 0; i < kSliderCount; ++i) {
        Entity* slider = space->RequireEntity(kSliderNames[i]);
        sliders_[i] = slider->Ref();
        slider->Require<Slider>()->binding = &Number(i);
    }
    Entity* defaults = space->RequireEntity("DefaultSettingsButton");
    defaults_ = defaults->Ref();
    ListenTo(*defaults, &OptionsLogic::OnTrigger);
    Refresh();
}

void OptionsLogic::OnTrigger(TriggerEvent& event)
{
    if (event.name != "button") return;
    Entity* sender = event.sender.Get();
    if (!sender) return;
    if (sender == defaults_.Get()) {
        RestoreDefaults();
        return;
    }
    for (int i = 0; i < kToggleCount; ++i) {
        if (sender != toggles_[i].Get()) continue;
        Flag(i) = !Flag(i);
        sender->Get<Sprite>()->SetImage(Flag(i) ? kOnImage : kOffImage);
    }
}

void OptionsLogic::RestoreDefaults()
{
    for (int i = 0; i < kToggleCount; ++i) Flag(i) = true;
    GameSettings& settings = GameSettings::Get();
    settings.eventsPerGame = 2;
    settings.eventLength = 128;
    settings.eventBallSpawn = 4;
    settings.ballSpawnRate = 3;
    Refresh();
}

void OptionsLogic::Refresh()
{
    for (const EntityRef& slider : sliders_)
        if (Entity* entity = slider.Get()) entity->Get<Slider>()->PlaceKnobFromSetting();
    for (int i = 0; i < kToggleCount; ++i)
        if (Entity* toggle = toggles_[i].Get()) toggle->Get<Sprite>()->SetImage(Flag(i) ? kOnImage : kOffImage);
}

} // namespace volleyrun
