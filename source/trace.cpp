#include "trace.h"

#include "event.h"
#include "input.h"

#include <cstdio>
#include <memory>

namespace {
std::unique_ptr<Trace> instance;
}

Trace* Trace::Get()
{
    if (!instance) instance.reset(new Trace());
    return instance.get();
}

void Trace::Destroy()
{
    instance.reset();
}

void Trace::OnTrace(TraceEvent& event)
{
    Print(event.text);
}

void Trace::Print(const std::string& text)
{
    lines_[2] = lines_[1];
    if (Input::Get()->textMode) {
        lines_[1] = text;
        return;
    }
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
    lines_[1] = lines_[0];
    lines_[0] = text;
}
