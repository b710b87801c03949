// Log: where the lower layers write a line for the developer (a content file skipped while
// loading). The engine points it at its trace for its lifetime; without an engine the
// lines go to standard error. Game thread only.
#pragma once

#include <functional>
#include <string>

namespace volleyrun {

class Log {
public:
    static void Write(const std::string& line);
    // Where lines go from now on; an empty sink means standard error.
    static void SetSink(std::function<void(const std::string&)> sink);
};

} // namespace volleyrun
