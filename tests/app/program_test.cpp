// Runs the real game binary headless in virtual time, as players and CI start it.
#include "programrun.h"
#include "testcontent.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <rapidjson/document.h>

#include <filesystem>
#include <map>
#include <sys/stat.h>

namespace volleyrun {

namespace {

using program_run::Result;
using program_run::RunGame;
using testing_content::ReadText;
using testing_content::TempContent;
using ::testing::HasSubstr;

// Bad content and hostile options, inputs and outputs each end the run with status 1 and a line naming the problem,
// never an abort; a device named as output is written, not replaced.
TEST(ProgramTest, BadContentOptionsInputsAndOutputsEndWithStatusOneAndTheirReason)
{
    TempContent content;
    content.SimpleSpace("Debug", 1.0f);
    content.SimpleSpace("Splash", 0.0f);
    content.Space("Bad", R"({"zLayer": 0, "entities": [{"name": "ball", "archetypeName": "", "Transform": {"scaleX": "big"}}]})");
    std::filesystem::create_directories(content.root / "Spaces" / "Folder.txt");
    ASSERT_EQ(mkfifo((content.root / "Spaces" / "Pipe.txt").c_str(), 0600), 0);
    const std::string run = "--data " + content.root.string() + " --headless --virtual-time --frames 3 ";
    const std::string folder = content.root.string();
    // Devices through links in the folder: a fault that replaced a device output by a file replaces only the link.
    for (const char* device : {"null", "full"})
        std::filesystem::create_symlink(std::string("/dev/") + device, content.root / device);
    const std::pair<std::string, std::string> cases[] = {
        {"--space Bad", "Bad.txt: entity 0 \"ball\", component \"Transform\": member \"scaleX\""},
        {"--space Nowhere", "Invalid space file was given to Space::Load"},
        {"--frames many", "--frames needs a whole number"},
        {"--frames 0", "--frames needs a positive number of frames"},
        {"--frames -4", "--frames needs a positive number of frames"},
        {"--dump ''", "--dump needs a file name"},
        {"--replay " + folder, "is a folder, not a replay file"},
        {"--settings " + folder, "is a folder, not a settings file"},
        {"--settings ''", "--settings needs a file name"},
        {"--replay /dev/zero", "the replay file is a device"},
        {"--space ../Outside", "leads outside the content folder"},
        {"--space Folder", "is a folder, not a file"},
        {"--space Pipe", "is a FIFO, not a file"},
        {"--dump " + folder + "/full", "Could not write " + folder + "/full"},
        {"--audio-out " + folder + "/full", folder + "/full"},
        {"--screenshot 2:early.png", "--screenshot needs a window: it cannot be used with --headless"},
    };
    for (const auto& [arguments, reason] : cases) {
        Result result = RunGame(run + arguments);
        EXPECT_EQ(result.status, 1) << arguments << "\n" << result.output;
        EXPECT_THAT(result.output, HasSubstr(reason)) << arguments;
    }
    Result result = RunGame(run + "--dump " + folder + "/null");
    EXPECT_EQ(result.status, 0) << result.output;
    EXPECT_TRUE(std::filesystem::is_symlink(content.root / "null")) << "the output replaced the link to /dev/null";
    EXPECT_THAT(RunGame(run + "--screenshot 9:late.png").output,
                HasSubstr("--screenshot 9:late.png comes after the last frame (--frames 3)"));
}

// Autoplay returns every ball on the beat, so the serves decide who wins: over ten seeds each side wins some, a seed
// repeats exactly, and a run from another folder without --data finds the content beside the binary.
TEST(ProgramTest, AutoplayMatchesEndWithAResultRepeatExactlyAndEachSideWinsSome)
{
    TempContent folder;
    // The result art of a match of the seed run for 2400 frames (about 1700 make a match).
    auto play = [&folder](unsigned seed, const std::string& name) {
        auto dump = folder.root / name;
        EXPECT_EQ(program_run::Run("cd / && " + std::string(VOLLEYRUN_BINARY) + " --headless --virtual-time --space game"
                                   " --autoplay --frames 2400 --seed " + std::to_string(seed) + " --dump " + dump.string())
                      .status, 0);
        rapidjson::Document document;
        document.Parse(ReadText(dump).c_str());
        std::string result;
        bool ended = false;
        for (const auto& space : document["spaces"].GetArray()) {
            ended = ended || std::string(space["name"].GetString()) == "EndGame";
            if (std::string(space["name"].GetString()) != "game" || !space["paused"].GetBool()) continue;
            for (const auto& entity : space["entities"].GetArray())
                if (std::string(entity["name"].GetString()) == "WinArt") result = entity["Sprite"]["imageName"].GetString();
        }
        EXPECT_TRUE(ended && !result.empty()) << "seed " << seed << ": the match did not end";
        return result;
    };
    std::map<std::string, int> wins;
    for (unsigned seed = 1; seed <= 10; ++seed) ++wins[play(seed, "seed-" + std::to_string(seed) + ".json")];
    EXPECT_GT(wins["victoryScreen_P1.png"], 0);
    EXPECT_GT(wins["victoryScreen_P2.png"], 0);
    play(1, "again.json");
    EXPECT_EQ(ReadText(folder.root / "again.json"), ReadText(folder.root / "seed-1.json"));
}

// A bad settings file is answered value by value, kept aside; full screen remembered, --windowed alone saves nothing.
TEST(ProgramTest, SettingsAreReadAtStartKeptAsideWhenBadAndSavedWhenChanged)
{
    TempContent content;
    content.SimpleSpace("Debug", 1.0f);
    content.SimpleSpace("Splash", 0.0f);
    const std::string settings = (content.root / "settings.json").string();
    const std::string bad = R"({"masterVolumePercent": 250, "eventsEnabled": false, "audioOffsetMs": -900})";
    testing_content::WriteText(settings, bad);
    testing_content::WriteText(content.root / "f11.txt", "2 key 300 press\n3 key 300 release\n");
    const std::string run = "--data " + content.root.string() + " --headless --virtual-time --frames 6 --settings ";
    const std::string f11 = " --replay " + (content.root / "f11.txt").string();
    Result result = RunGame(run + settings + f11);
    ASSERT_EQ(result.status, 0) << result.output;
    EXPECT_THAT(result.output, HasSubstr("Settings " + settings +
                                         ": masterVolumePercent is not a whole number from 0 to 100; using 100"));
    EXPECT_EQ(ReadText(settings + ".bad"), bad);
    EXPECT_THAT(ReadText(settings), testing::AllOf(HasSubstr("\"eventsEnabled\": false"), HasSubstr("\"fullScreen\": false"),
                                                   HasSubstr("\"masterVolumePercent\": 100"), testing::Not(HasSubstr("-900"))));
    ASSERT_EQ(RunGame(run + settings + f11).status, 0);  // started in a window, the switch goes back to full screen
    EXPECT_THAT(ReadText(settings), HasSubstr("\"fullScreen\": true"));
    const std::string untouched = (content.root / "untouched.json").string();
    EXPECT_EQ(RunGame(run + untouched + " --windowed").status, 0);
    EXPECT_FALSE(std::filesystem::exists(untouched));
}

} // namespace

} // namespace volleyrun
