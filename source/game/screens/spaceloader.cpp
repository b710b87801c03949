#include "spaceloader.h"

#include "button.h"
#include "contentnames.h"
#include "engine.h"
#include "entity.h"
#include "space.h"
#include "sprite.h"
#include "spritetext.h"
#include "transform.h"

#include <algorithm>

namespace volleyrun {

namespace {

Space* Find(const char* name)
{
    return Engine::Get()->FindSpace(name);
}

} // namespace

void SpaceLoader::Initialize()
{
    Listen(*owner->events, &SpaceLoader::OnUpdate);
    Listen(*owner->events, &SpaceLoader::OnTrigger);
}

void SpaceLoader::Serialize(std::vector<Property>& properties)
{
    properties.push_back({"destroyCurrentSpace", &destroyCurrentSpace, kBool});
    properties.push_back({"spaceToLoad", &spaceToLoad, kString});
    properties.push_back({"trigger", &trigger, kString});
    properties.push_back({"endsGame", &endsGame, kBool});
}

void SpaceLoader::Trace(const std::string& text) const
{
    EngineEvents().Send(TraceEvent("Space loader " + owner->space->name + "/" + owner->name + ": " + text + " at frame " +
                             std::to_string(Engine::Get()->frameCount) + "\n"));
}

void SpaceLoader::OnTrigger(TriggerEvent& event)
{
    if (event.name != "button" || loading || quitting) return;
    const std::string& here = owner->space->name;
    if (destroyCurrentSpace && here == Content::kMainMenuSpace && spaceToLoad == Content::kMatchSpace) {
        loading = true;
        timer = fadeDuration;
        EngineEvents().Send(ParameterChangeEvent(Content::kMenuMusic, {{"Transition", 1.0f}}));
        EngineEvents().Send(ParameterChangeEvent(Button::kSelectSound, {{"Transition", 1.0f}}));  // the click's cue
        Trace("fade out towards \"game\" started");
        return;
    }
    if (destroyCurrentSpace && (here == Content::kQuitConfirmSpace || here == Content::kEndGameSpace) && spaceToLoad == Content::kMainMenuSpace) {
        quitting = true;
        timer = fadeDuration;
        for (const char* label : {"YesButtonText", "NoButtonText"})
            if (Entity* text = owner->space->FindEntity(label)) owner->space->events->Send(DestroyEvent(text->Ref(), 0.0f));
        Trace("fade in towards \"MainMenu\" started");
        return;
    }
    SwitchNow();
}

void SpaceLoader::SwitchNow()
{
    Space* here = owner->space;
    if (destroyCurrentSpace) {
        Destroy(here);
        if (endsGame) Destroy(Find(Content::kMainMenuSpace));
        if (here->name == Content::kEndGameSpace) Destroy(Find(Content::kMatchSpace));
    }
    if (!spaceToLoad.empty()) EngineEvents().Send(CreateSpaceEvent(spaceToLoad, 0.0f));
    Trace(std::string(destroyCurrentSpace ? "closed, " : "") + "opening \"" + spaceToLoad + "\"");
}

void SpaceLoader::Destroy(Space* space)
{
    if (space) space->EngineEvents().Send(DestroySpaceEvent(space, 0.0f));
}

void SpaceLoader::OnUpdate(UpdateEvent& event)
{
    if (finished_) return;  // the space goes at the end of this frame: switch only once
    if (loading) FadeOut(event.dt);
    else if (quitting) FadeInPanel(event.dt);
}

// Texts fade with the pictures: a menu's labels must not float on after the rest has gone.
void SpaceLoader::FadeOut(float dt)
{
    float step = fadeRate * dt;
    for (const auto& entity : owner->space->Entities()) {
        if (Sprite* sprite = entity->Get<Sprite>()) sprite->colour.a = std::clamp(sprite->colour.a - step, 0.0f, 1.0f);
        if (SpriteText* words = entity->Get<SpriteText>()) words->colour.a = std::clamp(words->colour.a - step, 0.0f, 1.0f);
    }
    if (CountDown(dt)) Finish(false);
}

void SpaceLoader::FadeInPanel(float dt)
{
    if (Space* confirm = Find(Content::kQuitConfirmSpace))
        if (Entity* panel = confirm->FindEntity("FadePanel")) {
            if (Transform* transform = panel->Get<Transform>()) transform->scale = {1200.0f, 600.0f};
            if (Sprite* sprite = panel->Get<Sprite>())
                sprite->colour.a = std::clamp(sprite->colour.a + fadeRate * dt, 0.0f, 1.0f);
        }
    if (CountDown(dt)) Finish(true);
}

// True once, when the fade has run its course.
bool SpaceLoader::CountDown(float dt)
{
    timer -= dt;
    return timer <= 0.0f;
}

void SpaceLoader::Finish(bool alsoQuitConfirm)
{
    finished_ = true;  // the flags stay set, so no click starts another switch either
    Space* here = owner->space;
    Destroy(here);
    if (alsoQuitConfirm) {
        Space* confirm = Find(Content::kQuitConfirmSpace);
        if (confirm != here) Destroy(confirm);
        // Leaving the end screen straight away must not leave the finished match behind.
        if (here->name == Content::kEndGameSpace) Destroy(Find(Content::kMatchSpace));
    }
    if (!spaceToLoad.empty()) EngineEvents().Send(CreateSpaceEvent(spaceToLoad, 0.0f));
    Trace("switched to \"" + spaceToLoad + "\"");
}

} // namespace volleyrun
