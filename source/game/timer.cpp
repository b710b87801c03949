#include "timer.h"

#include "ballmanager.h"
#include "behaviormeter.h"
#include "contentnames.h"
#include "endgamelogic.h"
#include "entity.h"
#include "space.h"
#include "spritetext.h"

namespace volleyrun {

void Timer::Initialize()
{
    Listen(*owner->events, &Timer::OnUpdate);
    Space* space = owner->space;
    glow_ = space->RequireEntity("TimerGlow")->Ref();
    minutes_ = space->RequireEntity("TimerMin")->Ref();
    seconds_ = space->RequireEntity("TimerSec")->Ref();
    for (const EntityRef* text : {&glow_, &minutes_, &seconds_}) text->Get()->Require<SpriteText>();
    remaining = secondsOfGame;
    ShowTime();
}

void Timer::Serialize(std::vector<Property>& properties)
{
    properties.push_back({"secondsOfGame", &secondsOfGame, kFloat});
}

SpriteText* Timer::Text(const EntityRef& entity) const
{
    Entity* found = entity.Get();
    return found ? found->Get<SpriteText>() : nullptr;
}

void Timer::ShowTime()
{
    int whole = static_cast<int>(remaining);
    int minutes = static_cast<int>(remaining / 60.0f);
    int seconds = whole % 60;
    if (SpriteText* text = Text(minutes_)) text->SetText("0" + std::to_string(minutes));
    if (SpriteText* text = Text(seconds_)) text->SetText((seconds < 10 && seconds >= 0 ? "0" : "") + std::to_string(seconds));
}

void Timer::OnUpdate(UpdateEvent& event)
{
    if (!clockRunning) return;
    if (remaining < secondsOfGame / 3.0f) {
        Entity* logic = owner->space->RequireEntity(Content::kLevelLogic);
        if (remaining <= 0.0f && !logic->Require<BallManager>()->matchOver) {
            owner->events->RemoveListener<UpdateEvent>(this);
            BehaviorMeter* meter = owner->space->RequireEntity("BeatMeter1")->Require<BehaviorMeter>();
            EndGameLogic::EndCheck(*meter, true, true);
        }
        for (const EntityRef* entity : {&minutes_, &seconds_, &glow_})
            if (SpriteText* text = Text(*entity)) {
                text->colour.r = 1.0f;
                text->colour.b = 0.0f;
                text->colour.a = 1.0f;
            }
    }
    ShowTime();
    if (remaining >= 0.0f) remaining -= event.dt;
}

} // namespace volleyrun
