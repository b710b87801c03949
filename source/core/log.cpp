#include "log.h"

#include <cstdio>

namespace volleyrun {

namespace {
std::function<void(const std::string&)>& Sink()
{
    static std::function<void(const std::string&)> sink;
    return sink;
}
} // namespace

void Log::Write(const std::string& line)
{
    if (Sink()) Sink()(line);
    else std::fputs(line.c_str(), stderr);
}

void Log::SetSink(std::function<void(const std::string&)> sink)
{
    Sink() = std::move(sink);
}

} // namespace volleyrun
