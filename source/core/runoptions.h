// RunOptions: the command-line switches of one run, parsed once by main() (tests fill
// the record directly) and read by the services while they start. The defaults are
// the game as players run it; every option changes only what its name says.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace volleyrun {

struct ScreenshotRequest {
    int64_t frame = 0;
    std::string file;
};

class RunOptions {
public:
    // Content root; every content path is built from it. Parse gives the content beside the
    // program (a build's source tree, or the installed share folder) unless --data names one.
    std::string data = "../Quillmoor";
    std::string firstSpace = "Splash";   // the space created after "Debug"
    bool hasSeed = false;
    unsigned seed = 0;                   // used when hasSeed, else the calendar time
    int64_t frames = 0;                  // 0 runs until the game quits
    bool headless = false;
    bool virtualTime = false;
    bool autoplay = false;
    bool windowed = false;
    std::string dumpFile;
    std::string audioOut;
    std::string replayFile;
    // The settings file read at start and written on every change. Parse gives it the
    // player's own file unless --settings names another; a record filled directly (the
    // tests) has none, so nothing is read or written.
    std::string settingsFile;
    std::vector<ScreenshotRequest> screenshots;

    // The process-wide record read by the engine and its services.
    static RunOptions& Get();

    // Parses argv into a record; a bad option throws GameError naming it. A screenshot
    // frame after the last frame is warned about on standard error.
    static RunOptions Parse(int argc, const char* const* argv);

    // Content path: data + "/" + relative ("Spaces/Splash.txt" -> "../Quillmoor/Spaces/Splash.txt").
    std::string ContentPath(const std::string& relative) const;

    static const char* Usage();

private:
    void WarnAboutLateScreenshots() const;
};

} // namespace volleyrun
