#include "pauselogic.h"

#include "audioengine.h"
#include "ballmanager.h"
#include "contentnames.h"
#include "engine.h"
#include "entity.h"
#include "input.h"
#include "space.h"
#include "spritetext.h"
#include "studioeventinstance.h"
#include "window.h"

namespace volleyrun {

namespace {

Space* Find(const char* name)
{
    return Engine::Get()->FindSpace(name);
}

void Destroy(Space* space)
{
    if (space) space->EngineEvents().Send(DestroySpaceEvent(space, 0.0f));
}

// Where the in-game music stands, for the trace: -1 when it is not playing.
int MusicPosition()
{
    if (!AudioEngine::Exists()) return -1;
    auto& instances = AudioEngine::Get()->instances;
    auto found = instances.find(Content::kMatchMusic);
    int milliseconds = -1;
    if (found != instances.end() && found->second && found->second->GetTimelinePosition(&milliseconds) != STUDIO_OK)
        milliseconds = -1;
    return milliseconds;
}

} // namespace

void PauseLogic::Initialize()
{
    Listen(*owner->space->events, &PauseLogic::OnUpdate);
    Listen(EngineEvents(), &PauseLogic::OnSpaceHeld);
    owner->space->SetPaused(false);
    EngineEvents().Send(PauseSoundEvent(Content::kMatchMusic, false));
    EngineEvents().Send(PauseSoundEvent(Content::kPauseMusic, true));
}

void PauseLogic::Trace(const std::string& what) const
{
    EngineEvents().Send(TraceEvent("Pause: " + what + " at frame " + std::to_string(Engine::Get()->frameCount) +
                             ", music at " + std::to_string(MusicPosition()) + " ms\n"));
}

void PauseLogic::OnUpdate(UpdateEvent& event)
{
    Space* pauseMenu = Find(Content::kPauseMenuSpace);
    Space* returning = Find(Content::kCountdownSpace);
    Space* options = Find(Content::kOptionsSpace);
    Space* confirm = Find(Content::kQuitConfirmSpace);
    if (pauseMenu) pauseMenu->SetPaused(confirm != nullptr);  // its buttons wait under the dialog
    if (returning) {
        returning->SetPaused(true);
        CountdownStep(*returning, event.dt);
    }
    if (pauseActive) FollowMenus(pauseMenu, returning, options, confirm);
    if (PauseKey() && PauseAllowed()) OnPauseKey(pauseMenu);
}

bool PauseLogic::PauseAllowed() const
{
    BallManager* manager = owner->Get<BallManager>();
    return !(manager && manager->matchOver);
}

// What the menus opened over the paused match have become.
void PauseLogic::FollowMenus(Space* pauseMenu, Space* returning, Space* options, Space* confirm)
{
    Space* game = owner->space;
    if (Find(Content::kMainMenuSpace)) {
        // The player quit: the match goes, its music plays on in the main menu.
        Destroy(game);
        Destroy(confirm);
        Destroy(pauseMenu);
        EngineEvents().Send(PauseSoundEvent(Content::kMatchMusic, false));
        EngineEvents().Send(PauseSoundEvent(Content::kPauseMusic, true));
        EngineEvents().Send(ParameterChangeEvent(Content::kMatchMusic, {{"Location", 0.0f}}));
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
    if (!game->paused && !Find(Content::kEndGameSpace)) {
        game->SetPaused(true);
        EngineEvents().Send(CreateSpaceEvent(Content::kPauseMenuSpace, 0.0f));
        pauseActive = true;
        HandOverMusic();
        Trace("paused");
    } else {
        HandOverMusic();  // a countdown runs or the match is over: only the music follows
    }
}

// The match's music is its clock: while the editor holds the running match (no menu of its
// own open), the music stops with it and the pause-menu track takes over as in a pause, so
// no ball is late when the match goes on; it comes back when the match runs again. Escape
// meanwhile finds the match paused with no menu open and only hands the music over.
void PauseLogic::OnSpaceHeld(SpaceHeldEvent& event)
{
    Space* game = owner->space;
    if (event.space.Get() != game || Find(Content::kPauseMenuSpace) || Find(Content::kCountdownSpace) || Find(Content::kEndGameSpace)) return;
    if (event.held || !game->paused) HandOverMusic();
}

// Minimising counts once, on the update the window goes: the pause menu then waits for the
// player's return instead of opening and closing on every update while the window is down.
bool PauseLogic::PauseKey()
{
    const Input* input = Input::Get();
    bool escape = input->Key(Input::kKeyEscape) == kKeyPressed && !input->textMode;
    bool minimized = Window::Exists() && Window::Get()->minimized;
    bool justMinimized = minimized && !wasMinimized_;
    wasMinimized_ = minimized;
    return escape || justMinimized;
}

// The music follows the match's paused flag: the in-game song pauses while the pause-menu
// version plays from the same position, and the other way round.
void PauseLogic::HandOverMusic()
{
    bool paused = owner->space->paused;
    EngineEvents().Send(PauseSoundEvent(Content::kMatchMusic, paused));
    EngineEvents().Send(PauseSoundEvent(Content::kPauseMusic, !paused));
    EngineEvents().Send(SyncSoundEvent(Content::kPauseMusic, Content::kMatchMusic));
}

// One text per beat: "3" on the first beat after the countdown opens, the match on the
// fifth.
void PauseLogic::CountdownStep(Space& returning, float dt)
{
    sinceStep_ += dt;
    if (!OnPauseBeat() && sinceStep_ < kSilentStep) return;
    sinceStep_ = 0.0f;
    static const char* const kTexts[] = {"3", "2", "1", "GO!"};
    if (++countdownStep < kCountdownSteps) {
        ShowCount(returning, kTexts[countdownStep - 1]);
        return;
    }
    Destroy(&returning);
    countdownStep = 0;
    lastBeat_ = -1;
    ShowCount(returning, "");
    HandOverMusic();
}

// Whether the pause-menu song (playing during the countdown, at the match song's tempo) has
// passed a beat since the previous update, by its own timeline.
bool PauseLogic::OnPauseBeat()
{
    if (!AudioEngine::Exists() || AudioEngine::Get()->Tempo() <= 0.0f) return false;
    auto& instances = AudioEngine::Get()->instances;
    auto found = instances.find(Content::kPauseMusic);
    int milliseconds = -1;
    if (found == instances.end() || !found->second || found->second->GetTimelinePosition(&milliseconds) != STUDIO_OK)
        return false;
    auto beat = static_cast<int64_t>(milliseconds * static_cast<double>(AudioEngine::Get()->Tempo()) / 60000.0);
    // Only forward: a song moved back (the hand-over re-syncs it, or it looped) waits for
    // its next beat.
    bool passed = lastBeat_ >= 0 && beat > lastBeat_;
    lastBeat_ = beat;
    return passed;
}

void PauseLogic::ShowCount(Space& returning, const char* text)
{
    returning.RequireEntity("countdownText")->Require<SpriteText>()->SetText(text);
    if (*text) Trace(std::string("countdown \"") + text + "\"");
}

} // namespace volleyrun
