// Test helpers for the interface: menu entities, event recorders, and an engine whose pointer the tests move and click.
#pragma once

#include "audiotestcontent.h"
#include "camera.h"
#include "engine.h"
#include "graphics.h"
#include "entity.h"
#include "input.h"
#include "space.h"
#include "testcontent.h"

#include <glm/vec2.hpp>

#include <string>
#include <utility>
#include <vector>

namespace volleyrun {

namespace testing_content {

// An entity object with a transform (position, scale) and extra component members.
inline std::string Piece(const std::string& name, float x, float y, float width, float height, const std::string& members = "")
{
    return "{\"name\": \"" + name + "\", \"archetypeName\": \"\", \"Transform\": {\"translationX\": " + std::to_string(x) +
           ", \"translationY\": " + std::to_string(y) + ", \"scaleX\": " + std::to_string(width) +
           ", \"scaleY\": " + std::to_string(height) + "}" + (members.empty() ? "" : ", " + members) + "}";
}

// The hit test; listed first, so every entity after it hears its triggers in the same frame.
inline std::string ClickSender() { return Piece("clicks", 0, 0, 1, 1, "\"MouseClickEventSender\": {}"); }
inline std::string Cursor()
{
    return Piece("Mouse", 0, 0, 40, 40, "\"Sprite\": {\"imageName\": \"Cursor.png\", \"zLayer\": 50}, \"Mouse\": {}");
}

// A 100 x 40 button at sprite layer 1 that lights up ("Lit.png") while hovered.
inline std::string ButtonPiece(const std::string& name, float x, float y, const std::string& extra = "")
{
    return Piece(name, x, y, 100, 40,
                 "\"Sprite\": {\"imageName\": \"Plain.png\", \"zLayer\": 1}, \"Button\": {\"hoveredImageName\": \"Lit.png\"}" +
                     (extra.empty() ? "" : ", " + extra));
}

inline std::string Loader(const std::string& target, bool destroyCurrent)
{
    return "\"SpaceLoader\": {\"spaceToLoad\": \"" + target + "\", \"destroyCurrentSpace\": " +
           (destroyCurrent ? "true" : "false") + "}";
}

inline std::string SpaceJson(float zLayer, const std::vector<std::string>& entities)
{
    std::string list;
    for (const std::string& entity : entities) list += (list.empty() ? "" : ",\n") + entity;
    return "{\"zLayer\": " + std::to_string(zLayer) + ", \"entities\": [\n" + list + "\n]}";
}

// Silent interface sounds and menu music, every path the menus play; with the match
// music, also a ten-minute in-game song at 120 beats per minute and its pause-menu twin.
inline void WriteMenuSounds(const TempContent& content, bool withMatchMusic = false)
{
    audio_content::AudioFolder audio(content.root);
    audio.Sound("tick.wav", 8000, 1, audio_content::Constant(80, 1, 0.0f));
    std::string events;
    for (const char* path : {"event:/UI/ButtonIn", "event:/UI/ButtonOut", "event:/UI/Select", "event:/Announcer/Volleyrun"})
        events += std::string(events.empty() ? "" : ",") + "{\"path\": \"" + path + "\", \"tracks\": [{\"sound\": \"tick.wav\"}]}";
    std::vector<std::string> songs = {"event:/MainMenu"};
    if (withMatchMusic) songs.insert(songs.end(), {"event:/InGame", "event:/PauseMenu"});
    for (const std::string& song : songs)
        events += ",{\"path\": \"" + song +
                  "\", \"oneShot\": false, \"tempo\": 120, \"length\": 600, \"tracks\": [{\"sound\": \"tick.wav\"}]}";
    audio.Bank("menu.json", events);
}

// Every trigger an entity's own manager delivers: (name, state, sender).
struct TriggerLog {
    struct Entry { std::string name; int state; Entity* sender; };
    explicit TriggerLog(Entity* entity) : watched(entity->Ref())
    {
        entity->events->AddListener(this, &TriggerLog::On);
        entity->events->Update(0.0f);  // active at once
    }
    ~TriggerLog()
    {
        if (Engine::Exists() && watched.Get()) watched.Get()->events->RemoveListener<TriggerEvent>(this);
    }
    void On(TriggerEvent& event) { entries.push_back({event.name, event.state, event.sender.Get()}); }
    std::vector<int> States(const std::string& name) const
    {
        std::vector<int> states;
        for (const Entry& entry : entries)
            if (entry.name == name) states.push_back(entry.state);
        return states;
    }
    TriggerLog(const TriggerLog&) = delete;
    EntityRef watched;
    std::vector<Entry> entries;
};

// Events of one type sent on the engine-wide manager.
template <class Ev>
struct EventLog {
    EventLog() { Engine::Get()->events->AddListener(this, &EventLog::On); Engine::Get()->events->Update(0.0f); }
    ~EventLog() { if (Engine::Exists()) Engine::Get()->events->RemoveListener<Ev>(this); }
    void On(Ev& event) { events.push_back(event); }
    std::vector<Ev> events;
};

// A started headless engine whose tests point, click and press like a player.
class MenuTest : public EngineTest {
protected:
    // Opens a space and runs it until its entities get their own updates.
    Space* Open(const std::string& name)
    {
        if (!Engine::Exists()) {
            RunOptions::Get().firstSpace = name;
            Start();
        } else {
            Make(name);
        }
        Frames(4);
        return Engine::Get()->FindSpace(name);
    }
    // Puts the system pointer where the cursor's tip lands on world (3 / zoom scaled units a world unit from the
    // window's centre, over the letterboxed picture), then lets the cursor and the hit test follow.
    void PointAt(glm::vec2 world, int frames = 3)
    {
        glm::vec2 centre = world + glm::vec2(5.0f, -5.0f);
        const Graphics* graphics = Graphics::Get();
        double perUnit = 3.0 / Camera::Get()->Zoom();
        double acrossPerUnit = perUnit * graphics->picture.z / Camera::kViewWidth;
        double upPerUnit = perUnit * graphics->picture.w / Camera::kViewHeight;
        Input::Get()->OnCursor(graphics->width * 0.5 + acrossPerUnit * centre.x, graphics->height * 0.5 - upPerUnit * centre.y);
        Frames(frames);
    }
    void Press(int frames = 1) { Input::Get()->OnMouseButton(Input::kMouseLeft, Input::kPress); Frames(frames); }
    void Release(int frames = 2) { Input::Get()->OnMouseButton(Input::kMouseLeft, Input::kRelease); Frames(frames); }
    void Pad(int button, bool down, int frames = 1) { Input::Get()->SetVirtualButton(0, button, down); Frames(frames); }
    // Presses at from and moves to, still held.
    void Drag(glm::vec2 from, glm::vec2 to) { PointAt(from); Press(); PointAt(to); }
    // A click as its button reports it (the "button" trigger on the entity's own manager), then frames.
    void Click(const std::string& space, const std::string& button, int frames = 0)
    {
        Entity* entity = In(space, button);
        ASSERT_NE(entity, nullptr) << space << "/" << button;
        entity->events->Send(TriggerEvent(0, "button", entity->Ref()));
        Frames(frames);
    }
    void Key(int code, int frames = 1)
    {
        Input::Get()->OnKey(code, Input::kPress);
        Frames(1);
        Input::Get()->OnKey(code, Input::kRelease);
        Frames(frames);
    }
    static Entity* In(const std::string& space, const std::string& entity)
    {
        Space* found = Engine::Get()->FindSpace(space);
        return found ? found->FindEntity(entity) : nullptr;
    }
};

} // namespace testing_content

} // namespace volleyrun
