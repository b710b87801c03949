#include "trace.h"

#include "entity.h"
#include "event.h"
#include "eventmanager.h"
#include "gameerror.h"
#include "input.h"
#include "space.h"
#include "spritetext.h"

#include <cstdio>
#include <memory>

namespace volleyrun {

namespace {
bool ConsoleTyping()
{
    return Input::Exists() && Input::Get()->textMode;
}

} // namespace

Trace* Trace::Start(EventManager* events, const bool* quitting)
{
    if (Exists()) return Get();
    Trace* trace = Publish(std::unique_ptr<Trace>(new Trace()));
    trace->events_ = events;
    trace->quitting_ = quitting;
    if (events) events->AddListener(trace, &Trace::OnTextTyped);
    return trace;
}

Trace::Trace() = default;

Trace::~Trace()
{
    if (events_) events_->RemoveListener<TextTypedEvent>(this);
}

void Trace::BindDebugLines(Space* debugSpace)
{
    GAME_CHECK(debugSpace, "the space \"Debug\" (the debug overlay) did not load");
    for (int i = 0; i < 3; ++i) {
        Entity* entity = debugSpace->FindEntity(kLineNames[i]);
        if (entity) {
            lineEntities_[i] = entity->Ref();
        } else {
            // The overlay is a developer aid: a line without its entity is only not shown.
            std::fprintf(stderr, "%s: no entity named %s; that debug overlay line is not shown\n",
                         debugSpace->Path().c_str(), kLineNames[i]);
        }
    }
    debugSpace->visible = false;
}

SpriteText* Trace::LineText(int line) const
{
    Entity* entity = lineEntities_[line].Get();
    return entity ? entity->Get<SpriteText>() : nullptr;
}

void Trace::OnTrace(TraceEvent& event)
{
    Print(event.text);
}

void Trace::Print(const std::string& message)
{
    // Each message is one line: one sent without its newline would run into the next.
    std::string text = message.empty() || message.back() == '\n' ? message : message + "\n";
    lines_[2] = lines_[1];
    if (ConsoleTyping()) {
        lines_[1] = text;
    } else {
        std::fwrite(text.data(), 1, text.size(), stdout);
        std::fflush(stdout);
        lines_[1] = lines_[0];
        lines_[0] = text;
    }
    Refresh();
}

void Trace::Refresh()
{
    if (Quitting()) return;
    for (int i = 2; i >= 0; --i)
        if (SpriteText* line = LineText(i)) line->SetText(lines_[i]);
}

void Trace::OnTextTyped(TextTypedEvent& event)
{
    if (!ConsoleTyping()) return;
    if (!consoleOpen_) {
        std::string top = lines_[0];
        lines_[0].clear();
        Print(top);  // the top message moves down to line 1
        consoleOpen_ = true;
    }
    event.handled = true;  // typing meant for the console reaches no text box
    if (Quitting()) return;
    // Input has echoed the typing to standard output already.
    const std::string& typed = Input::Get()->TypedThisFrame();
    if (typed.find('\n') != std::string::npos) {
        consoleOpen_ = false;  // submitted: line 0 keeps the command
    } else if (typed.find('\b') != std::string::npos) {
        // The opening backslash stays: the console line always starts with it.
        if (lines_[0].size() > 1) lines_[0].pop_back();
    } else {
        lines_[0] += typed;
    }
    Refresh();
}

} // namespace volleyrun
