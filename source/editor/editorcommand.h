// EditorCommand: the console command "\edit-open-NAME", which opens the map editor's
// overlay ("MapEditorSpace") on top of every space, editing the live space NAME; an
// editor already open is replaced. Named by the program as a part of every engine, which
// runs the command from its console. Game thread only.
#pragma once

#include "engine.h"

#include <string>

namespace volleyrun {

class EditorCommand : public Engine::Part {
public:
    void StartUp(Engine& engine) override;

    static void Open(Engine& engine, const std::string& target);
};

} // namespace volleyrun
