#include "pauselogic.h"

#include "audioengine.h"
#include "engine.h"
#include "entity.h"
#include "graphics.h"
#include "input.h"
#include "space.h"
#include "spritetext.h"
#include "studioeventinstance.h"

namespace {

const char* const kInGame = "event:/InGame";
const char* const kPauseMusic = "event:/PauseMenu";

EventManager& Events()
{
    return *Engine::Get()->events;
}

Space* Find(const char* name)
{
    return Engine::Get()->FindSpace(name);
}

void Destroy(Space* space)
{
    if (space) Events().Send(DestroySpaceEvent(space, 0.0f));
}

// Where the in-game music stands, for the trace: -1 when it is not playing.
int MusicPosition()
{
    if (!AudioEngine::Exists()) return -1;
    auto& instances = AudioEngine::Get()->instances;
    auto found = instances.find(kInGame);
    int milliseconds = -1;
    if (found != instances.end() && found->second && found->second->GetTimelinePosition(&milliseconds) != STUDIO_OK)
        milliseconds = -1;
    return milliseconds;
}

} // namespace

void PauseLogic::Initialize()
{
    owner->space->events->AddListener(this, &PauseLogic::OnUpdate);
    owner->space->SetPaused(false);
    Events().Send(PauseSoundEvent(kInGame, false));
    Events().Send(PauseSoundEvent(kPauseMusic, true));
}

void PauseLogic::Terminate()
{
    owner->space->events->RemoveListener<UpdateEvent>(this);
}

std::unique_ptr<Component> PauseLogic::Clone(Entity* newOwner) const
{
    return std::make_unique<PauseLogic>(newOwner);
}

void PauseLogic::Trace(const std::string& what) const
{
    Events().Send(TraceEvent("Pause: " + what + " at frame " + std::to_string(Engine::Get()->frameCount) +
                             ", music at " + std::to_string(MusicPosition()) + " ms\n"));
}

void PauseLogic::OnUpdate(UpdateEvent& event)
{
    Space* pauseMenu = Find("PauseMenu");
    Space* returning = Find("ReturnToGame");
    Space* options = Find("OptionsMenu");
    Space* confirm = Find("QuitConfirm");
    if (pauseMenu) pauseMenu->SetPaused(confirm != nullptr);  // its buttons wait under the dialog
    if (returning) {
        returning->SetPaused(true);
        CountdownStep(*returning, event.dt);
    }
    if (pauseActive) FollowMenus(pauseMenu, returning, options, confirm);
    if (PauseKey() && pauseAllowed) OnPauseKey(pauseMenu);
}

// What the menus opened over the paused match have become.
void PauseLogic::FollowMenus(Space* pauseMenu, Space* returning, Space* options, Space* confirm)
{
    Space* game = owner->space;
    if (Find("MainMenu")) {
        // The player quit: the match goes, its music plays on in the main menu.
        Destroy(game);
        Destroy(confirm);
        Destroy(pauseMenu);
        Events().Send(PauseSoundEvent(kInGame, false));
        Events().Send(PauseSoundEvent(kPauseMusic, true));
        Events().Send(ParameterChangeEvent(kInGame, {{"Location", 0.0f}}));
        Trace("match closed for the main menu");
    } else if (options) {
        Destroy(pauseMenu);  // the options replace the pause menu
    } else if (!returning && !pauseMenu) {
        pauseActive = false;
        game->SetPaused(false);
        Trace("play resumed");
        HandOverMusic();
    }
}

void PauseLogic::OnPauseKey(Space* pauseMenu)
{
    if (pauseMenu) return;  // there the key is the menu's way back, which its cursor presses
    Space* game = owner->space;
    if (!game->paused && !Find("EndGame")) {
        game->SetPaused(true);
        Events().Send(CreateSpaceEvent("PauseMenu", 0.0f));
        pauseActive = true;
        HandOverMusic();
        Trace("paused");
    } else {
        HandOverMusic();  // a countdown runs or the match is over: only the music follows
    }
}

// Minimising counts once, on the update the window goes: the pause menu then waits for the
// player's return instead of opening and closing on every update while the window is down.
bool PauseLogic::PauseKey()
{
    const Input* input = Input::Get();
    bool escape = input->Key(Input::kKeyEscape) == kKeyPressed && !input->textMode;
    bool minimized = Graphics::Exists() && Graphics::Get()->minimized;
    bool justMinimized = minimized && !wasMinimized_;
    wasMinimized_ = minimized;
    return escape || justMinimized;
}

// The music follows the match's paused flag: the in-game song pauses while the pause-menu
// version plays from the same position, and the other way round.
void PauseLogic::HandOverMusic()
{
    bool paused = owner->space->paused;
    Events().Send(PauseSoundEvent(kInGame, paused));
    Events().Send(PauseSoundEvent(kPauseMusic, !paused));
    Events().Send(SyncSoundEvent(kPauseMusic, kInGame));
}

void PauseLogic::CountdownStep(Space& returning, float dt)
{
    countdown -= countdownSpeed * dt;
    if (countdown > 3.0f * kCountdownStep && !shownThree) {
        shownThree = true;
        ShowCount(returning, "3");
    } else if (countdown < 3.0f * kCountdownStep && !shownTwo) {
        shownTwo = true;
        ShowCount(returning, "2");
    } else if (countdown < 2.0f * kCountdownStep && !shownOne) {
        shownOne = true;
        ShowCount(returning, "1");
    } else if (countdown < kCountdownStep && !shownGo) {
        shownGo = true;
        ShowCount(returning, "GO!");
    } else if (countdown <= 0.0f) {
        Destroy(&returning);
        countdown = countdownStart;
        shownThree = shownTwo = shownOne = shownGo = false;
        ShowCount(returning, "");
        HandOverMusic();
    }
}

void PauseLogic::ShowCount(Space& returning, const char* text)
{
    returning.RequireEntity("countdownText")->Require<SpriteText>()->SetText(text);
    if (*text) Trace(std::string("countdown \"") + text + "\"");
}
