// Shared set-up of the libFuzzer harnesses: a scratch content folder in memory-backed
// storage, the headless run options, a started headless engine, small generated images,
// and the one accepted failure (GameError). Each harness process calls these from
// libFuzzer's single fuzzing thread; the folder is removed when the process exits.
#pragma once

#include "programsetup.h"
#include "engine.h"
#include "gameerror.h"
#include "runoptions.h"
#include "space.h"

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#include <stb_image_write.h>

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace volleyrun {

namespace fuzz_support {

namespace fs = std::filesystem;

// Every harness reads entities and starts engines: the program's types and parts, from the start.
inline const bool kProgramSetUp = (SetUpProgram(), true);

inline fs::path& RootSlot()
{
    static fs::path root;
    return root;
}

// Folders left by runs that ended in a crash (libFuzzer then skips exit handlers): those
// whose process is gone.
inline void RemoveStaleRoots(const fs::path& base, const std::string& prefix)
{
    std::error_code error;
    for (fs::directory_iterator it(base, error), end; !error && it != end; it.increment(error)) {
        std::string name = it->path().filename().string();
        if (name.rfind(prefix, 0) != 0) continue;
        long pid = std::strtol(name.c_str() + prefix.size(), nullptr, 10);
        if (pid > 0 && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) fs::remove_all(it->path(), error);
    }
}

// A fresh folder for this process (in /dev/shm when there is one: thousands of small
// writes a second), removed at exit.
inline const fs::path& ScratchRoot(const std::string& harness)
{
    fs::path& root = RootSlot();
    if (!root.empty()) return root;
    fs::path base = fs::exists("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
    RemoveStaleRoots(base, "volleyrun-fuzz-" + harness + "-");
    root = base / ("volleyrun-fuzz-" + harness + "-" + std::to_string(::getpid()));
    fs::remove_all(root);
    fs::create_directories(root);
    std::atexit([] {
        std::error_code ignored;
        fs::remove_all(RootSlot(), ignored);
    });
    return root;
}

inline void WriteBytes(const fs::path& path, const uint8_t* data, size_t size)
{
    fs::create_directories(path.parent_path());
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

inline void WriteText(const fs::path& path, const std::string& text)
{
    WriteBytes(path, reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

// A plain white RGBA PNG.
inline void WritePng(const fs::path& path, int width, int height)
{
    fs::create_directories(path.parent_path());
    std::vector<unsigned char> pixels(static_cast<size_t>(width) * static_cast<size_t>(height) * 4, 255);
    stbi_write_png(path.c_str(), width, height, 4, pixels.data(), width * 4);
}

// Headless, virtual time, fixed seed, content at root.
inline void UseContent(const fs::path& root)
{
    RunOptions& options = RunOptions::Get();
    options = RunOptions();
    options.data = root.string();
    options.headless = true;
    options.virtualTime = true;
    options.hasSeed = true;
    options.seed = 1;
}

// A started headless engine over root, whose first spaces ("Debug", "Splash") are empty.
inline Engine* StartEngine(const fs::path& root)
{
    WriteText(root / "Spaces" / "Debug.txt", "{\"zLayer\": 100, \"entities\": []}\n");
    WriteText(root / "Spaces" / "Splash.txt", "{\"zLayer\": 0, \"entities\": []}\n");
    fs::create_directories(root / "Archetypes");
    fs::create_directories(root / "Textures");
    UseContent(root);
    return Engine::Start();
}

// Frees every space beyond the first count (the ones the engine started with), so that
// spaces one input created do not pile up under the next.
inline void TrimSpaces(size_t count)
{
    auto& spaces = Engine::Get()->spaces;
    while (spaces.size() > count) {
        auto extra = std::find_if(spaces.begin(), spaces.end(),
                                  [](const auto& space) { return space->name != "Debug" && space->name != "Splash"; });
        if (extra == spaces.end()) break;
        spaces.erase(extra);
    }
}

// Runs step; a GameError is the clear refusal bad data must end in. Anything else
// (another exception, a crash, a sanitizer report) escapes to libFuzzer as a finding.
template <class Step>
bool Refused(Step&& step)
{
    try {
        step();
        return false;
    } catch (const GameError&) {
        return true;
    }
}

} // namespace fuzz_support

} // namespace volleyrun
