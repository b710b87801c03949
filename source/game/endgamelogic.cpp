#include "endgamelogic.h"

#include "contentnames.h"
#include "matchstats.h"

#include "ballmanager.h"
#include "behaviormeter.h"
#include "engine.h"
#include "entity.h"
#include "space.h"
#include "sprite.h"
#include "spritetext.h"

#include <cmath>
#include <cstdlib>

namespace volleyrun {

namespace {

enum class Result { kPlayer1, kPlayer2, kDraw };

// Freezes the match and shows its result: the victory art states it, in the same display
// face as the end screen's title and buttons, and nothing else repeats it.
void Finish(Space& game, Result result, bool sendWin)
{
    Entity* logic = game.RequireEntity(Content::kLevelLogic);
    BallManager* manager = logic->Require<BallManager>();
    if (manager->matchOver) return;  // the first result stands: one end screen, one verdict
    manager->matchOver = true;
    EventManager* events = &game.EngineEvents();
    events->Send(CreateSpaceEvent(Content::kEndGameSpace, EndGameLogic::kEndScreenDelay));
    game.SetPaused(true);
    events->Send(PauseSoundEvent(Content::kMatchMusic, true, EndGameLogic::kEndScreenDelay));
    if (sendWin) events->Send(ParameterChangeEvent(Content::kMatchMusic, {{"Win", 1.0f}}));
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

// The match's song has stopped by now: the menu song carries the end screen, and plays on
// in the main menu should the players go there.
void EndGameLogic::Initialize()
{
    Listen(*owner->space->events, &EndGameLogic::OnUpdate);
    EventManager* events = &EngineEvents();
    events->Send(PlaySoundEvent(Content::kMenuMusic, false, {{"Location", 0.0f}, {"Transition", 0.0f}}));
    events->Send(PauseSoundEvent(Content::kMenuMusic, false));
    // The match under the statistics is frozen with its result shown: kept as one picture.
    if (Space* game = Engine::Get()->FindSpace(Content::kMatchSpace)) game->still = true;
    ShowStats();
}

void EndGameLogic::Terminate()
{
    EngineEvents().Send(PauseSoundEvent(Content::kMenuMusic, true));
    SendMusicBack();
}

std::array<std::string, EndGameLogic::kStatRows> EndGameLogic::StatLines(const MatchStats::Player& player)
{
    std::array<std::string, kStatRows> lines;
    for (int grade = 0; grade < MatchStats::kGrades; ++grade) lines[grade] = std::to_string(player.hits[grade]);
    lines[4] = std::to_string(player.misses);
    long mean = std::lround(player.MeanErrorMs());
    if (player.errors.empty()) lines[5] = "-";
    else lines[5] = mean == 0 ? "on time" : std::to_string(std::labs(mean)) + (mean < 0 ? " ms early" : " ms late");
    lines[6] = std::to_string(player.longestStreak);
    bool noBalls = player.Hits() + player.misses == 0;
    lines[7] = noBalls ? "-" : std::to_string(std::lround(player.Accuracy() * 100.0)) + "%";
    return lines;
}

void EndGameLogic::ShowStats()
{
    const MatchStats& stats = MatchStats::Get();
    for (int side = 0; side < 2; ++side) {
        std::array<std::string, kStatRows> lines = StatLines(stats.players[side]);
        for (int row = 0; row < kStatRows; ++row) {
            std::string name = "StatP" + std::to_string(side + 1) + "_" + std::to_string(row);
            owner->space->RequireEntity(name)->Require<SpriteText>()->SetText(lines[row]);
        }
    }
}

void EndGameLogic::SendMusicBack() const
{
    EventManager* events = &EngineEvents();
    events->Send(PauseSoundEvent(Content::kMatchMusic, false));
    events->Send(PauseSoundEvent("event:/Master/Pause Menu", true));
    events->Send(ParameterChangeEvent(Content::kMatchMusic, {{"Location", 0.0f}}));
}

void EndGameLogic::OnUpdate(UpdateEvent&)
{
    Engine* engine = Engine::Get();
    Space* game = engine->FindSpace(Content::kMatchSpace);
    Space* endGame = engine->FindSpace(Content::kEndGameSpace);
    if (endGame) endGame->SetPaused(engine->FindSpace(Content::kQuitConfirmSpace) != nullptr);
    if (!engine->FindSpace(Content::kMainMenuSpace)) return;
    for (Space* space : {endGame, game, owner->space})
        if (space) EngineEvents().Send(DestroySpaceEvent(space, 0.0f));
    SendMusicBack();
}

} // namespace volleyrun
