#include "endgamelogic.h"

#include "ballmanager.h"
#include "behaviormeter.h"
#include "engine.h"
#include "entity.h"
#include "pauselogic.h"
#include "space.h"
#include "sprite.h"
#include "spritetext.h"

#include <cmath>

namespace {

enum class Result { kPlayer1, kPlayer2, kDraw };

// Freezes the match and shows its result.
void Finish(Space& game, Result result, bool sendWin)
{
    Entity* logic = game.RequireEntity("levelLogic");
    logic->Require<BallManager>()->matchOver = true;
    if (PauseLogic* pause = logic->Get<PauseLogic>()) pause->pauseAllowed = false;  // no pause menu over the result
    const char* line = result == Result::kPlayer1 ? "Player 1 wins!" : result == Result::kPlayer2 ? "Player 2 wins!" : "Draw!";
    game.RequireEntity("ScoreCounter")->Require<SpriteText>()->SetText(line);
    EventManager* events = Engine::Get()->events.get();
    events->Send(CreateSpaceEvent("EndGame", EndGameLogic::kEndScreenDelay));
    game.SetPaused(true);
    events->Send(PauseSoundEvent("event:/InGame", true, EndGameLogic::kEndScreenDelay));
    if (sendWin) events->Send(ParameterChangeEvent("event:/InGame", {{"Win", 1.0f}}));
    Sprite* art = game.RequireEntity("WinArt")->Require<Sprite>();
    art->visible = true;
    if (result == Result::kPlayer2) art->SetImage("victoryScreen_P2.png");
    if (result == Result::kDraw) art->SetImage("victoryScreen_Draw.png");
}

} // namespace

void EndGameLogic::EndCheck(BehaviorMeter& meter, bool leftSide, bool timeUp)
{
    Space& game = *meter.owner->space;
    if (!timeUp) {
        if (meter.value < meter.maximum) return;
        Finish(game, leftSide ? Result::kPlayer1 : Result::kPlayer2, true);
        return;
    }
    float left = std::trunc(game.RequireEntity("BeatMeter1")->Require<BehaviorMeter>()->value);
    float right = std::trunc(game.RequireEntity("BeatMeter2")->Require<BehaviorMeter>()->value);
    Finish(game, left > right ? Result::kPlayer1 : left < right ? Result::kPlayer2 : Result::kDraw, false);
}

void EndGameLogic::Initialize()
{
    owner->space->events->AddListener(this, &EndGameLogic::OnUpdate);
}

void EndGameLogic::Terminate()
{
    owner->space->events->RemoveListener<UpdateEvent>(this);
    SendMusicBack();
}

std::unique_ptr<Component> EndGameLogic::Clone(Entity* newOwner) const
{
    return std::make_unique<EndGameLogic>(newOwner);
}

void EndGameLogic::SendMusicBack()
{
    EventManager* events = Engine::Get()->events.get();
    events->Send(PauseSoundEvent("event:/InGame", false));
    events->Send(PauseSoundEvent("event:/Master/Pause Menu", true));
    events->Send(ParameterChangeEvent("event:/InGame", {{"Location", 0.0f}}));
}

void EndGameLogic::OnUpdate(UpdateEvent&)
{
    Engine* engine = Engine::Get();
    Space* game = engine->FindSpace("game");
    Space* endGame = engine->FindSpace("EndGame");
    if (endGame) endGame->SetPaused(engine->FindSpace("QuitConfirm") != nullptr);
    if (!engine->FindSpace("MainMenu")) return;
    for (Space* space : {endGame, game, owner->space})
        if (space) engine->events->Send(DestroySpaceEvent(space, 0.0f));
    SendMusicBack();
}
