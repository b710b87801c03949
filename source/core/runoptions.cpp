#include "runoptions.h"

#include "gameerror.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace volleyrun {

RunOptions& RunOptions::Get()
{
    static RunOptions options;
    return options;
}

std::string RunOptions::ContentPath(const std::string& relative) const
{
    return data + "/" + relative;
}

const char* RunOptions::Usage()
{
    return "usage: volleyrun [--data DIR] [--space NAME] [--seed N] [--frames N] [--headless]\n"
           "                 [--virtual-time] [--audio-out FILE.wav] [--replay FILE]\n"
           "                 [--screenshot FRAME:FILE.png] [--dump FILE] [--autoplay] [--windowed]\n"
           "                 [--settings FILE.json]";
}

namespace {

template <typename Number>
Number ParseNumber(const std::string& option, const std::string& text)
{
    Number value{};
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        throw GameError("Option " + option + " needs a whole number, not \"" + text + "\"");
    return value;
}

int64_t ParseFrames(const std::string& text)
{
    int64_t frames = ParseNumber<int64_t>("--frames", text);
    if (frames <= 0) throw GameError("Option --frames needs a positive number of frames, not " + text);
    return frames;
}

std::string ReplayFile(const std::string& path)
{
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) throw GameError("Option --replay: " + path + " is a folder, not a replay file");
    return path;
}

// Without --data: the content that came with the program, wherever it is started from:
// the source tree's for a build (build/../Quillmoor) or the installed one
// (bin/../share/volleyrun/Quillmoor); else "../Quillmoor" from the working folder.
std::string DefaultContent()
{
    std::error_code error;
    std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error).parent_path();
    if (!error) {
        for (const std::filesystem::path& content :
             {program / ".." / "Quillmoor", program / ".." / "share" / "volleyrun" / "Quillmoor"})
            if (std::filesystem::is_directory(content / "Spaces", error)) return content.lexically_normal().string();
    }
    return "../Quillmoor";
}

// Without --settings: the player's own file under XDG_CONFIG_HOME (or ~/.config); none
// when neither is set.
std::string DefaultSettingsPath()
{
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config && *config == '/') return std::string(config) + "/volleyrun/settings.json";
    const char* home = std::getenv("HOME");
    if (home && *home) return std::string(home) + "/.config/volleyrun/settings.json";
    return {};
}

std::string SettingsFileOption(const std::string& path)
{
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) throw GameError("Option --settings: " + path + " is a folder, not a settings file");
    return path;
}

ScreenshotRequest ParseScreenshot(const std::string& text)
{
    size_t colon = text.find(':');
    if (colon == std::string::npos || colon + 1 == text.size())
        throw GameError("Option --screenshot needs FRAME:FILE.png, not \"" + text + "\"");
    return {ParseNumber<int64_t>("--screenshot", text.substr(0, colon)), text.substr(colon + 1)};
}

} // namespace

RunOptions RunOptions::Parse(int argc, const char* const* argv)
{
    RunOptions options;
    options.data = DefaultContent();
    bool settingsNamed = false;
    for (int i = 1; i < argc; ++i) {
        std::string option = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) throw GameError("Option " + option + " needs a value");
            return argv[++i];
        };
        auto file = [&]() -> std::string {
            std::string name = value();
            if (name.empty()) throw GameError("Option " + option + " needs a file name, not an empty one");
            return name;
        };
        if (option == "--data") options.data = value();
        else if (option == "--space") options.firstSpace = value();
        else if (option == "--seed") { options.seed = ParseNumber<unsigned>(option, value()); options.hasSeed = true; }
        else if (option == "--frames") options.frames = ParseFrames(value());
        else if (option == "--headless") options.headless = true;
        else if (option == "--virtual-time") options.virtualTime = true;
        else if (option == "--audio-out") options.audioOut = file();
        else if (option == "--replay") options.replayFile = ReplayFile(file());
        else if (option == "--screenshot") options.screenshots.push_back(ParseScreenshot(value()));
        else if (option == "--dump") options.dumpFile = file();
        else if (option == "--autoplay") options.autoplay = true;
        else if (option == "--windowed") options.windowed = true;
        else if (option == "--settings") { options.settingsFile = SettingsFileOption(file()); settingsNamed = true; }
        else throw GameError("Unknown option " + option + "\n" + Usage());
    }
    if (!settingsNamed) options.settingsFile = DefaultSettingsPath();
    options.WarnAboutLateScreenshots();
    return options;
}

void RunOptions::WarnAboutLateScreenshots() const
{
    for (const ScreenshotRequest& request : screenshots)
        if (frames > 0 && request.frame > frames)
            std::fprintf(stderr, "Warning: --screenshot %lld:%s comes after the last frame (--frames %lld) and is never taken\n",
                         static_cast<long long>(request.frame), request.file.c_str(), static_cast<long long>(frames));
}

} // namespace volleyrun
