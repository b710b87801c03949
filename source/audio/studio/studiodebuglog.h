// StudioDebugLog: the studio's optional diagnostic log file. The audio engine opens it at
// start-up when asked to (an environment variable names the file); until then, and when
// it is never opened, lines are dropped. Any thread may write; lines are whole.
#pragma once

#include <string>

namespace volleyrun {

class StudioDebugLog {
public:
    // Opens (truncates) the file; false when it cannot be opened.
    static bool Open(const std::string& path);
    static void Close();
    static void Write(const std::string& line);
    static bool IsOpen();
};

} // namespace volleyrun
