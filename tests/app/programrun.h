// Runs the program (or any command) as a child: exit status and output; window runs go under a fresh Xvfb server.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <string>

namespace volleyrun {

namespace program_run {

struct Result {
    int status = -1;     // the exit status, or -1 when the child did not exit normally
    std::string output;  // standard output and standard error, interleaved
};

// Every child gets a fresh XDG_CONFIG_HOME: no run touches the player's settings or leaks options into the next.
inline Result Run(const std::string& command)
{
    std::string folder = (std::filesystem::temp_directory_path() / "volleyrun-config-XXXXXX").string();
    Result result;
    if (!mkdtemp(folder.data())) return result;
    std::string line = "XDG_CONFIG_HOME=" + folder + "; export XDG_CONFIG_HOME; " + command + " </dev/null 2>&1";
    if (FILE* pipe = popen(line.c_str(), "r")) {
        char buffer[4096];
        while (size_t got = fread(buffer, 1, sizeof buffer, pipe)) result.output.append(buffer, got);
        int status = pclose(pipe);
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::filesystem::remove_all(folder);
    return result;
}

inline std::string RealContent() { return std::string("--data ") + VOLLEYRUN_SOURCE_DIR + "/Quillmoor"; }

inline Result RunGame(const std::string& arguments) { return Run(std::string(VOLLEYRUN_BINARY) + " " + arguments); }

// Mesa's driver, unloaded before the leak check, could not be named by scripts/lsan.supp:
// under the address sanitizer the child preloads it; elsewhere leak checking is off.
inline std::string LeakCheckPrefix()
{
#ifdef __SANITIZE_ADDRESS__
    const char* driver = "/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so";
    if (std::filesystem::exists(driver))
        return std::string("env LD_PRELOAD=") + driver + " ASAN_OPTIONS=\"$ASAN_OPTIONS:verify_asan_link_order=0\" ";
#endif
    return "env ASAN_OPTIONS=detect_leaks=0 ";
}

// Its own Xvfb, which takes a free display itself (-displayfd) and names it once it accepts
// clients, so runs started side by side can neither share a display nor take one another's;
// it never resets when its last client leaves, so a window closed and opened again at once
// (a test's second engine) does not meet a server in the middle of its reset.
inline Result UnderXvfb(const std::string& command, const std::string& environment = "")
{
    return Run("{ f=$(mktemp); Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp -noreset 3>\"$f\" 2>/dev/null & x=$!; "
               "for i in $(seq 400); do [ -s \"$f\" ] && break; sleep 0.05; done; "
               "if [ ! -s \"$f\" ]; then echo 'Xvfb did not start'; kill $x; rm -f \"$f\"; exit 1; fi; "
               "DISPLAY=:$(cat \"$f\") " + environment + " " + LeakCheckPrefix() + command + "; s=$?; "
               "kill $x; wait $x; rm -f \"$f\"; exit $s; }");
}

// A replay line pointing the cursor's tip (-5, +5 from its centre) at a world position of the 1920 x 1081 Xvfb window.
inline std::string CursorLine(int frame, double x, double y)
{
    const double perUnit = 1920.0 / 1066.67;
    return std::to_string(frame) + " cursor " + std::to_string(960.0 + perUnit * (x + 5)) + " " +
           std::to_string(1081.0 / 2 - perUnit * (y - 5)) + "\n";
}

}  // namespace program_run

} // namespace volleyrun
