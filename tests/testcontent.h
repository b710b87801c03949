// Test helpers: a throw-away content folder and a headless, virtual-time engine built on it.
#pragma once

#include "componentregistry.h"
#include "engine.h"
#include "entity.h"
#include "runoptions.h"
#include "space.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace volleyrun {

namespace testing_content {

inline std::string ReadText(const std::filesystem::path& path)
{
    std::ifstream file(path);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

inline void WriteText(const std::filesystem::path& path, const std::string& text)
{
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path) << text;
}

// Waits up to a few seconds for a condition another thread makes true.
template <class Condition>
bool WaitFor(Condition condition, double seconds = 5.0)
{
    auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// A fresh content folder of its own in the temporary directory, removed at the end of the test.
class TempContent {
public:
    TempContent()
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = info ? std::string(info->test_suite_name()) + "." + info->name() : "content";
        std::string pattern = (std::filesystem::temp_directory_path() / ("volleyrun-" + name + "-XXXXXX")).string();
        if (!mkdtemp(pattern.data()))
            throw std::filesystem::filesystem_error("mkdtemp", pattern, std::error_code(errno, std::generic_category()));
        root = pattern;
        std::filesystem::create_directories(root / "Spaces");
        std::filesystem::create_directories(root / "Archetypes");
    }
    ~TempContent() { std::filesystem::remove_all(root); }

    void Space(const std::string& name, const std::string& json) const { WriteText(root / "Spaces" / (name + ".txt"), json); }
    void Archetype(const std::string& file, const std::string& json) const { WriteText(root / "Archetypes" / file, json); }
    // The real content, pictures, shaders and sound linked and spaces and archetypes copied,
    // with the match cut to the given length. False when game.txt no longer holds the length.
    bool RealContentWithMatchOf(int seconds) const
    {
        namespace fs = std::filesystem;
        const fs::path source = fs::path(VOLLEYRUN_SOURCE_DIR) / "Quillmoor";
        for (const char* folder : {"Textures", "Shaders", "Audio"}) fs::create_directory_symlink(source / folder, root / folder);
        for (const char* folder : {"Spaces", "Archetypes"})
            fs::copy(source / folder, root / folder, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
        const fs::path game = root / "Spaces" / "game.txt";
        std::string text = ReadText(game);
        const std::string length = "\"secondsOfGame\": 120.0";
        size_t at = text.find(length);
        if (at == std::string::npos) return false;
        WriteText(game, text.replace(at, length.size(), "\"secondsOfGame\": " + std::to_string(seconds) + ".0"));
        return true;
    }
    // A space file with the given layer and entity objects (a JSON array's inside).
    void SimpleSpace(const std::string& name, float zLayer, const std::string& entities = "") const
    {
        Space(name, "{\"zLayer\": " + std::to_string(zLayer) + ", \"entities\": [" + entities + "]}");
    }

    std::filesystem::path root;
};

// An entity object with a transform at (x, y) and, when spriteLayer is given, a sprite.
inline std::string EntityJson(const std::string& name, float x = 0.0f, float y = 0.0f, const char* spriteLayer = nullptr,
                              const std::string& parent = "")
{
    std::string json = "{\"name\": \"" + name + "\", \"archetypeName\": \"" + name + "\", \"Transform\": {\"translationX\": " +
                       std::to_string(x) + ", \"translationY\": " + std::to_string(y) + ", \"parent\": \"" + parent + "\"}";
    if (spriteLayer) json += ", \"Sprite\": {\"zLayer\": " + std::string(spriteLayer) + "}";
    return json + "}";
}

// The engine's spaces from the bottom layer up.
inline std::vector<std::string> SpaceNames()
{
    std::vector<std::string> names;
    for (const auto& space : Engine::Get()->spaces) names.push_back(space->name);
    return names;
}

// A started headless engine over a fresh content folder holding "Debug" and "Splash".
class EngineTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        content.SimpleSpace("Debug", 100.0f,
                            "{\"name\": \"DebugText0\", \"archetypeName\": \"\", \"SpriteText\": {}}, {\"name\": \"DebugText1\", "
                            "\"archetypeName\": \"\", \"SpriteText\": {}}, {\"name\": \"DebugText2\", \"archetypeName\": \"\", \"SpriteText\": {}}");
        content.SimpleSpace("Splash", 0.0f);
        PrepareContent();
        RunOptions& options = RunOptions::Get() = RunOptions();  // --headless --virtual-time --seed 1 --data <content>
        options.data = content.root.string();
        options.headless = options.virtualTime = options.hasSeed = true;
        options.seed = 1;
    }
    void TearDown() override { Engine::Destroy(); RunOptions::Get() = RunOptions(); }
    // Tests add their own files before the engine starts.
    virtual void PrepareContent() {}

    Engine* Start() { return Engine::Start(); }
    void Frames(int count) { for (int i = 0; i < count; ++i) Engine::Get()->Update(); }
    Space* Make(const std::string& name)
    {
        CreateSpaceEvent create(name);
        Engine::Get()->OnCreateSpace(create);
        return Engine::Get()->FindSpace(name);
    }

    TempContent content;
};

} // namespace testing_content

} // namespace volleyrun
