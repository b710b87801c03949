// Runs the real program (or any command) as a child process for the tests that judge the
// whole game from outside: exit status and everything it printed. Window runs go under a
// fresh 1920x1080 Xvfb server with Mesa's software OpenGL.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>

namespace program_run {

struct Result {
    int status = -1;  // the exit status, or -1 when the child did not exit normally
    std::string output;  // standard output and standard error, interleaved
};

inline Result Run(const std::string& command)
{
    std::string line = command + " </dev/null 2>&1";
    Result result;
    FILE* pipe = popen(line.c_str(), "r");
    if (!pipe) return result;
    char buffer[4096];
    while (size_t got = fread(buffer, 1, sizeof buffer, pipe)) result.output.append(buffer, got);
    int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

// "--data" naming the committed content.
inline std::string RealContent()
{
    return std::string("--data ") + VOLLEYRUN_SOURCE_DIR + "/Quillmoor";
}

inline Result RunGame(const std::string& arguments)
{
    return Run(std::string(VOLLEYRUN_BINARY) + " " + arguments);
}

// Mesa's driver leaks at exit, so leak checking is off for the child. xvfb-run -a searches
// for a free display from a number of our own: runs started at the same moment from the
// same number could both take it.
inline Result UnderXvfb(const std::string& command, const std::string& environment = "")
{
    std::string first = std::to_string(100 + getpid() % 800);
    return Run("ASAN_OPTIONS=detect_leaks=0 " + environment + " xvfb-run -a -n " + first +
               " -s \"-screen 0 1920x1080x24\" " + command);
}

}  // namespace program_run
