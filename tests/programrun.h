// Runs the real program (or any command) as a child process for the tests that judge the
// whole game from outside: exit status and everything it printed. Window runs go under a
// fresh 1920x1080 Xvfb server with Mesa's software OpenGL.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace program_run {

struct Result {
    int status = -1;  // the exit status, or -1 when the child did not exit normally
    std::string output;  // standard output and standard error, interleaved
};

// Every child gets a fresh, empty configuration folder (XDG_CONFIG_HOME), removed after
// it: a test run never reads or writes the player's settings file, and no run's options
// leak into the next.
inline Result Run(const std::string& command)
{
    std::string pattern = (std::filesystem::temp_directory_path() / "volleyrun-config-XXXXXX").string();
    Result result;
    if (!mkdtemp(pattern.data())) return result;
    std::string line = "XDG_CONFIG_HOME=" + pattern + "; export XDG_CONFIG_HOME; " + command + " </dev/null 2>&1";
    FILE* pipe = popen(line.c_str(), "r");
    if (pipe) {
        char buffer[4096];
        while (size_t got = fread(buffer, 1, sizeof buffer, pipe)) result.output.append(buffer, got);
        int status = pclose(pipe);
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::filesystem::remove_all(pattern);
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

// Mesa's driver keeps allocations until exit, and it is unloaded before the leak check,
// which then cannot name it for the suppressions of scripts/lsan.supp. Under the address
// sanitizer the child loads it at start, so it stays loaded and named; elsewhere (or with
// no such driver) leak checking is off for the child.
inline std::string LeakCheckPrefix()
{
#ifdef __SANITIZE_ADDRESS__
    const char* driver = "/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so";
    if (std::filesystem::exists(driver))
        return std::string("env LD_PRELOAD=") + driver + " ASAN_OPTIONS=\"$ASAN_OPTIONS:verify_asan_link_order=0\" ";
#endif
    return "env ASAN_OPTIONS=detect_leaks=0 ";
}

// xvfb-run -a searches for a free display from a number of our own: runs started at the
// same moment from the same number could both take it.
inline Result UnderXvfb(const std::string& command, const std::string& environment = "")
{
    std::string first = std::to_string(100 + getpid() % 800);
    return Run(environment + " xvfb-run -a -n " + first + " -s \"-screen 0 1920x1080x24\" " + LeakCheckPrefix() + command);
}

// A replay line pointing the cursor's tip (-5, +5 from its centre) at a world position of
// the Xvfb window, which covers the 1920 x 1080 screen and one pixel more and shows
// 1066.7 x 533.3 world units around the origin on its letterboxed 1920 x 960 picture.
inline std::string CursorLine(int frame, double x, double y)
{
    const double width = 1920.0, height = 1081.0, perUnit = 1920.0 / 1066.67;
    return std::to_string(frame) + " cursor " + std::to_string(width / 2 + perUnit * (x + 5)) + " " +
           std::to_string(height / 2 - perUnit * (y - 5)) + "\n";
}

}  // namespace program_run
