// Scripted play of the real program: a Script builds a replay file (input changes by frame,
// world positions turned into pixels of the headless 1920 x 1080 screen); Play runs the game
// headless in virtual time with it and hands back the exit status, output and --dump.
#pragma once

#include "programrun.h"
#include "testcontent.h"

#include <gtest/gtest.h>
#include <rapidjson/document.h>
#include <unistd.h>

#include <filesystem>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace replay_run {

class Script {
public:
    Script& Wait(int frames)
    {
        frame_ += frames;
        return *this;
    }
    // Zoom 2 shows 1066.7 x 533.3 world units on the letterboxed 1920 x 960 picture, 1.8
    // pixels a unit; aimed so that the cursor's tip (-5, +5 from its centre) lands on the point.
    Script& Point(float x, float y, int settle = 3)
    {
        return Do("cursor " + std::to_string(960.0f + 1.8f * (x + 5.0f)) + " " + std::to_string(540.0f - 1.8f * (y - 5.0f)),
                  settle);
    }
    Script& Click(float x, float y, int settle = 3, int held = 2) { return Point(x, y).Press(held).Release(settle); }
    Script& Press(int settle = 2) { return Do("mouse 0 press", settle); }
    Script& Release(int settle = 2) { return Do("mouse 0 release", settle); }
    Script& KeyDown(int code, int settle = 0) { return Do("key " + std::to_string(code) + " press", settle); }
    Script& KeyUp(int code, int settle = 0) { return Do("key " + std::to_string(code) + " release", settle); }
    Script& Key(int code, int settle = 2) { return KeyDown(code, 1).KeyUp(code, settle); }
    // Letters as their keys (upper case codes), one key after another.
    Script& Type(const std::string& text, int settle = 1)
    {
        for (char c : text) Key(c >= 'a' && c <= 'z' ? c - 32 : c, settle);
        return *this;
    }
    Script& Pad(int button, int settle = 3)
    {
        return Do("pad 0 button " + std::to_string(button) + " press", 2)
            .Do("pad 0 button " + std::to_string(button) + " release", settle);
    }
    int Frame() const { return frame_; }
    std::string Text() const { return text_.str(); }

private:
    Script& Do(const std::string& line, int settle)
    {
        text_ << frame_ << " " << line << "\n";
        return Wait(settle);
    }

    int frame_ = 1;
    std::ostringstream text_;
};

struct GameRun {
    int status = -1;
    std::string output;
    rapidjson::Document dump;

    const rapidjson::Value* Space(const std::string& name) const
    {
        for (const auto& space : dump["spaces"].GetArray())
            if (name == space["name"].GetString()) return &space;
        return nullptr;
    }
    std::vector<std::string> Spaces() const
    {
        std::vector<std::string> names;
        for (const auto& space : dump["spaces"].GetArray()) names.push_back(space["name"].GetString());
        return names;
    }
    const rapidjson::Value* Entity(const std::string& space, const std::string& name) const
    {
        if (const rapidjson::Value* found = Space(space))
            for (const auto& entity : (*found)["entities"].GetArray())
                if (name == entity["name"].GetString()) return &entity;
        return nullptr;
    }
    // Frame numbers of the trace lines matching pattern (its first group is the frame).
    std::vector<int> Frames(const std::string& pattern) const
    {
        std::vector<int> frames;
        std::regex re(pattern);
        for (auto it = std::sregex_iterator(output.begin(), output.end(), re); it != std::sregex_iterator(); ++it)
            frames.push_back(std::stoi((*it)[1]));
        return frames;
    }
};

// Runs the game headless in virtual time, seed 5, on data (the real content by default) with
// the script and options; frames 0 lets it end by itself. Its files go in a fresh folder.
inline GameRun Play(const Script& script, int frames, const std::string& options = "",
                    const std::string& data = std::string(VOLLEYRUN_SOURCE_DIR) + "/Quillmoor")
{
    std::string folder = (std::filesystem::temp_directory_path() / "volleyrun-replay-XXXXXX").string();
    if (!mkdtemp(folder.data())) ADD_FAILURE() << "no temporary folder";
    const std::string replay = folder + "/script.replay", dump = folder + "/dump.json";
    testing_content::WriteText(replay, script.Text());
    program_run::Result result = program_run::RunGame(
        "--data " + data + " --headless --virtual-time --seed 5 --replay " + replay + " --dump " + dump +
        (frames > 0 ? " --frames " + std::to_string(frames) : "") + " " + options);
    GameRun run{result.status, std::move(result.output), {}};
    run.dump.Parse(testing_content::ReadText(dump).c_str());
    std::filesystem::remove_all(folder);
    if (!run.dump.IsObject()) run.dump.Parse("{\"spaces\": []}");
    return run;
}

}  // namespace replay_run
