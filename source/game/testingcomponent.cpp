#include "testingcomponent.h"

#include "ballmanager.h"
#include "behaviormeter.h"
#include "contentnames.h"
#include "endgamelogic.h"
#include "engine.h"
#include "entity.h"
#include "gamesettings.h"
#include "graphics.h"
#include "input.h"
#include "space.h"

namespace volleyrun {

namespace {

bool Pressed(const Input& input, int key)
{
    return input.Key(key) == kKeyPressed;
}

} // namespace

void TestingComponent::Initialize()
{
    Listen(EngineEvents(), &TestingComponent::OnUpdate);
    Listen(EngineEvents(), &TestingComponent::OnDevMessage);
    if (owner->space->name == Content::kMainMenuSpace) PrintHelp();
}

void TestingComponent::Send(const char* command) const
{
    EngineEvents().Send(DevMessageEvent(command, kSendNow));
}

// Every shortcut needs Control held before the key goes down, so the help says so.
void TestingComponent::PrintHelp() const
{
    for (const char* line : {"DESIGNERS: Hold Control and press F5 to open editor in main menu",
                             "           Hold Control and press F6 to open editor in game",
                             "           Hold Control and press F2 to toggle debug space",
                             "           Hold Control and press F1 to toggle debug draw"})
        EngineEvents().Send(TraceEvent(std::string(line) + "\n"));
}

// Control must already be held when the key goes down: pressing both in one frame leaves
// Control at "pressed", not "held", and does nothing.
void TestingComponent::OnUpdate(UpdateEvent&)
{
    const Input& input = *Input::Get();
    if (input.Key(kKeyLeftControl) != kKeyHeld || input.textMode) return;
    if (Pressed(input, kKeyF5)) Send("\\edit-open-MainMenu");
    if (Pressed(input, kKeyF6)) Send("\\edit-open-game");
    if (Pressed(input, kKeyF2)) {
        if (Space* debug = Engine::Get()->FindSpace(Engine::kDebugSpace)) debug->visible = !debug->visible;
    }
    if (Pressed(input, kKeyF1)) {
        Graphics* graphics = Graphics::Get();
        graphics->debugDraw = !graphics->debugDraw;
    }
    if (owner->space->name == Content::kMatchSpace) RunMatchKeys();
}

void TestingComponent::RunMatchKeys() const
{
    const Input& input = *Input::Get();
    if (Pressed(input, Input::kKeySpace)) GameSettings::autoplay = !GameSettings::autoplay;
    if (Pressed(input, kKeyB)) EndMatch();
}

// An ended match cannot end again: a second B would queue a second end screen.
void TestingComponent::EndMatch() const
{
    Space& game = *owner->space;
    if (game.RequireEntity(Content::kLevelLogic)->Require<BallManager>()->matchOver) return;
    BehaviorMeter* meter = game.RequireEntity("BeatMeter1")->Require<BehaviorMeter>();
    EndGameLogic::EndCheck(*meter, true, true);
}

} // namespace volleyrun
