// Trace: the program's log and developer console. Any code logs by sending a TraceEvent
// to the engine-wide manager or to a space's manager; the trace writes the text to
// standard output and keeps the last three messages on the three text lines of the
// "Debug" space (line 0 on top). While the console is open (backslash), line 0 shows the
// line being typed. Started by the engine right after the frame clock, bound to the overlay
// once the "Debug" space is loaded, destroyed near the end of engine teardown. Game thread
// only.
#pragma once

#include "entityref.h"
#include "service.h"

#include <array>
#include <string>

namespace volleyrun {

class EventManager;
class Space;
class SpriteText;
class TextTypedEvent;
class TraceEvent;

class Trace : public Service<Trace> {
public:
    static constexpr const char* kServiceName = "the trace";
    static constexpr const char* kLineNames[3] = {"DebugText0", "DebugText1", "DebugText2"};

    // Starts the trace listening for typed text on the engine-wide manager (none: a test's
    // trace alone), which must outlive it; once *quitting (the engine's quit flag) is set,
    // the overlay's lines are left alone.
    static Trace* Start(EventManager* events, const bool* quitting = nullptr);
    ~Trace();

    // Takes the SpriteText of "DebugText0..2" in the debug space as lines 0..2, then hides
    // the space. A missing space throws GameError; a missing entity (reported on standard
    // error) or an entity without a SpriteText leaves its line undrawn.
    void BindDebugLines(Space* debugSpace);

    void OnTrace(TraceEvent& event);
    // Console closed: to standard output, and every line moves down one. Console open:
    // not printed; shown on line 1 (line 0 keeps the line being typed). A message that
    // does not end with a newline is given one.
    void Print(const std::string& message);
    // Copies the lines into their SpriteTexts, unless the engine is quitting.
    void Refresh();
    // The console line: opens on the first typing of text-input mode, closes on Enter.
    void OnTextTyped(TextTypedEvent& event);

    const std::array<std::string, 3>& Lines() const { return lines_; }
    bool ConsoleOpen() const { return consoleOpen_; }
    SpriteText* LineText(int line) const;  // null while unbound or when its entity is gone

private:
    Trace();
    bool Quitting() const { return quitting_ && *quitting_; }

    std::array<std::string, 3> lines_;
    std::array<EntityRef, 3> lineEntities_;  // whose SpriteText shows each line
    bool consoleOpen_ = false;
    EventManager* events_ = nullptr;  // where the typed-text listener is
    const bool* quitting_ = nullptr;
};

} // namespace volleyrun
