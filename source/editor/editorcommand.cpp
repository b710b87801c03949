#include "editorcommand.h"

#include "entity.h"
#include "gameerror.h"
#include "mapeditor.h"
#include "space.h"

namespace volleyrun {

void EditorCommand::StartUp(Engine& engine)
{
    engine.AddCommand("\\edit-open-", [&engine](const std::string& target) { Open(engine, target); });
}

void EditorCommand::Open(Engine& engine, const std::string& target)
{
    EventManager* events = engine.events.get();
    if (!engine.FindSpace(target)) {
        events->Send(TraceEvent("This space does not currently exist. Can not open editor\n", 0.0f));
        return;
    }
    if (Space* open = engine.FindSpace(MapEditor::kOverlaySpace)) events->Send(DestroySpaceEvent(open, 0.0f));
    try {
        auto overlay = std::make_unique<Space>(MapEditor::kOverlaySpace, *events);
        // Before the overlay's first update, which initialises the editor.
        Entity* holder = overlay->FindEntity("mapEditor");
        if (MapEditor* editor = holder ? holder->Get<MapEditor>() : nullptr) editor->SetEditedSpace(engine.FindSpace(target));
        engine.PutOnTop(std::move(overlay));
    } catch (const GameError& error) {
        // A console command must not end the game: report why the editor did not open.
        events->Send(TraceEvent(std::string("Can not open editor: ") + error.what() + "\n", 0.0f));
    }
}

} // namespace volleyrun
