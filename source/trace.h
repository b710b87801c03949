// Trace: the program's log. Any code logs by sending a TraceEvent to the engine-wide
// manager or to a space's manager; the trace writes the text to standard output and keeps
// the last three messages for the debug overlay's three lines (line 0 on top). Created
// during engine start-up, destroyed near the end of engine destruction. Game thread only.
#pragma once

#include <array>
#include <string>

class TraceEvent;

class Trace {
public:
    static Trace* Get();
    static void Destroy();

    void OnTrace(TraceEvent& event);
    // Console closed: to standard output, and every line moves down one. Console open:
    // not printed; shown on line 1 (line 0 keeps the line being typed).
    void Print(const std::string& text);

    const std::array<std::string, 3>& Lines() const { return lines_; }

private:
    Trace() = default;
    std::array<std::string, 3> lines_;
};
