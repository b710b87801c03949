// Runs the real game binary headless in virtual time, as players and CI start it.
#include "programrun.h"
#include "testcontent.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <rapidjson/document.h>

#include <cstdio>
#include <filesystem>
#include <sys/stat.h>

namespace {

using testing_content::ReadText;
using testing_content::TempContent;
using ::testing::HasSubstr;

using program_run::Result;
using program_run::RunGame;

using program_run::RealContent;

TEST(ProgramTest, AHeadlessRunOfTheRealContentDumpsEveryLiveSpace)
{
    auto dump = std::filesystem::temp_directory_path() / "volleyrun-program-dump.json";
    Result result = RunGame(RealContent() + " --headless --virtual-time --frames 60 --seed 3 --dump " + dump.string());
    ASSERT_EQ(result.status, 0) << result.output;
    rapidjson::Document document;
    document.Parse(ReadText(dump).c_str());
    ASSERT_TRUE(document.IsObject());
    const auto& spaces = document["spaces"];
    ASSERT_EQ(spaces.Size(), 2u);
    EXPECT_STREQ(spaces[0]["name"].GetString(), "Splash");
    EXPECT_STREQ(spaces[1]["name"].GetString(), "Debug");
    EXPECT_FALSE(spaces[1]["visible"].GetBool());
    EXPECT_TRUE(spaces[0]["entities"].IsArray());
    EXPECT_TRUE(spaces[1]["entities"][0].HasMember("Transform"));
    std::filesystem::remove(dump);
}

TEST(ProgramTest, BadContentEndsWithOneClearLineAndStatusOne)
{
    TempContent content;
    content.SimpleSpace("Debug", 1.0f);
    content.Space("Splash", R"({"zLayer": 0, "entities": [{"name": "ball", "archetypeName": "", "Transform": {"scaleX": "big"}}]})");
    Result result = RunGame("--data " + content.root.string() + " --headless --virtual-time --frames 5");
    EXPECT_EQ(result.status, 1);
    EXPECT_THAT(result.output, HasSubstr("Splash.txt: entity 0 \"ball\", component \"Transform\": member \"scaleX\""));

    result = RunGame("--data " + content.root.string() + " --headless --space Nowhere");
    EXPECT_EQ(result.status, 1);
    EXPECT_THAT(result.output, HasSubstr("Invalid space file was given to Space::Load"));

    result = RunGame("--frames many");
    EXPECT_EQ(result.status, 1);
    EXPECT_THAT(result.output, HasSubstr("--frames needs a whole number"));
}

// Hostile run options, inputs and outputs: each ends the run with status 1 and a line
// naming the problem, never an abort; a device named as output is written, not replaced.
TEST(ProgramTest, BadRunOptionsInputsAndOutputsEndWithStatusOneAndTheirReason)
{
    TempContent content;
    content.SimpleSpace("Debug", 1.0f);
    content.SimpleSpace("Splash", 0.0f);
    std::filesystem::create_directories(content.root / "Spaces" / "Folder.txt");
    ASSERT_EQ(mkfifo((content.root / "Spaces" / "Pipe.txt").c_str(), 0600), 0);
    std::string run = "--data " + content.root.string() + " --headless --virtual-time --frames 3 ";
    struct Case {
        std::string arguments, reason;
    } cases[] = {
        {"--frames 0", "--frames needs a positive number of frames"},
        {"--frames -4", "--frames needs a positive number of frames"},
        {"--dump ''", "--dump needs a file name"},
        {"--replay " + content.root.string(), "is a folder, not a replay file"},
        {"--replay /dev/zero", "the replay file is a device"},
        {"--space ../Outside", "leads outside the content folder"},
        {"--space Folder", "is a folder, not a file"},
        {"--space Pipe", "is a FIFO, not a file"},
        {"--dump /dev/full", "Could not write /dev/full"},
        {"--audio-out /dev/full", "/dev/full"},
    };
    for (const Case& c : cases) {
        Result result = RunGame(run + c.arguments);
        EXPECT_EQ(result.status, 1) << c.arguments << "\n" << result.output;
        EXPECT_THAT(result.output, HasSubstr(c.reason)) << c.arguments;
    }
    Result result = RunGame(run + "--dump /dev/null");
    EXPECT_EQ(result.status, 0) << result.output;
    EXPECT_TRUE(std::filesystem::is_character_file("/dev/null"));
    result = RunGame(run + "--screenshot 9:late.png");
    EXPECT_THAT(result.output, HasSubstr("--screenshot 9:late.png comes after the last frame (--frames 3)"));
}

// A whole autoplay match of the real content, twice with one seed.
TEST(ProgramTest, AnAutoplayMatchEndsWithAResultAndRepeatsExactly)
{
    auto first = std::filesystem::temp_directory_path() / "volleyrun-match-1.json";
    auto second = std::filesystem::temp_directory_path() / "volleyrun-match-2.json";
    std::string match = RealContent() + " --headless --virtual-time --space game --autoplay --seed 7 --frames 9000 --dump ";
    ASSERT_EQ(RunGame(match + first.string()).status, 0);
    ASSERT_EQ(RunGame(match + second.string()).status, 0);
    std::string dump = ReadText(first);
    EXPECT_EQ(dump, ReadText(second));

    rapidjson::Document document;
    document.Parse(dump.c_str());
    const auto& spaces = document["spaces"];
    std::vector<std::string> names;
    std::string result;
    for (const auto& space : spaces.GetArray()) {
        names.push_back(space["name"].GetString());
        if (names.back() == "game") {
            EXPECT_TRUE(space["paused"].GetBool());
            for (const auto& entity : space["entities"].GetArray())
                if (std::string(entity["name"].GetString()) == "WinArt") result = entity["Sprite"]["imageName"].GetString();
        }
    }
    EXPECT_THAT(names, ::testing::Contains("EndGame"));
    EXPECT_THAT(result, ::testing::AnyOf("victoryScreen_P1.png", "victoryScreen_P2.png", "victoryScreen_Draw.png"));
    std::filesystem::remove(first);
    std::filesystem::remove(second);
}

} // namespace
