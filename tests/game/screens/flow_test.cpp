// The real program on its real content, headless in virtual time, driven by replay files and judged by trace and dump.
#include "programrun.h"
#include "testcontent.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <rapidjson/document.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <regex>
#include <sstream>

namespace volleyrun {

namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

constexpr int kKeySpace = 32, kKeyEscape = 256, kKeyEnter = 257, kKeyRight = 262, kKeyLeft = 263, kKeyDown = 264,
              kKeyUp = 265;
constexpr int kPadA = 0, kPadB = 1, kPadUp = 10, kPadRight = 11, kPadDown = 12, kPadLeft = 13;

// A replay file: input changes by frame.
class Script {
public:
    Script& Wait(int frames) { frame_ += frames; return *this; }
    Script& KeyDown(int code, int settle = 0) { return Do("key " + std::to_string(code) + " press", settle); }
    Script& KeyUp(int code, int settle = 0) { return Do("key " + std::to_string(code) + " release", settle); }
    Script& Key(int code, int settle = 2) { return KeyDown(code, 1).KeyUp(code, settle); }
    Script& Pad(int button, int settle = 3)
    {
        return Do("pad 0 button " + std::to_string(button) + " press", 2)
            .Do("pad 0 button " + std::to_string(button) + " release", settle);
    }
    // Arrow keys (u, d, l, r) and D-pad presses (U, D, L, R), one after another.
    Script& Walk(const std::string& moves)
    {
        constexpr char kMoves[] = "udlrUDLR";
        constexpr int kKeys[] = {kKeyUp, kKeyDown, kKeyLeft, kKeyRight}, kPads[] = {kPadUp, kPadDown, kPadLeft, kPadRight};
        for (char move : moves) {
            long index = std::strchr(kMoves, move) - kMoves;
            if (index < 4) Key(kKeys[index], 4);
            else Pad(kPads[index - 4], 4);
        }
        return *this;
    }
    int Frame() const { return frame_; }
    std::string Text() const { return text_.str(); }

private:
    Script& Do(const std::string& line, int settle) { text_ << frame_ << " " << line << "\n"; return Wait(settle); }

    int frame_ = 1;
    std::ostringstream text_;
};

// The exit status, the output and the --dump of a run.
struct GameRun {
    int status = -1;
    std::string output;
    rapidjson::Document dump;

    std::vector<std::string> Spaces() const
    {
        std::vector<std::string> names;
        for (const auto& space : dump["spaces"].GetArray()) names.push_back(space["name"].GetString());
        return names;
    }
    const rapidjson::Value* Entity(const std::string& space, const std::string& name) const
    {
        for (const auto& found : dump["spaces"].GetArray())
            if (space == found["name"].GetString())
                for (const auto& entity : found["entities"].GetArray())
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

// Runs the real content headless, seed 5, with the script and options (frames 0: until it ends), in a fresh folder.
GameRun Play(const Script& script, int frames, const std::string& options = "")
{
    std::string folder = (std::filesystem::temp_directory_path() / "volleyrun-replay-XXXXXX").string();
    if (!mkdtemp(folder.data())) ADD_FAILURE() << "no temporary folder";
    const std::string replay = folder + "/script.replay", dump = folder + "/dump.json";
    testing_content::WriteText(replay, script.Text());
    program_run::Result result = program_run::RunGame(
        program_run::RealContent() + " --headless --virtual-time --seed 5 --replay " + replay + " --dump " + dump +
        (frames > 0 ? " --frames " + std::to_string(frames) : "") + " " + options);
    GameRun run{result.status, std::move(result.output), {}};
    run.dump.Parse(testing_content::ReadText(dump).c_str());
    std::filesystem::remove_all(folder);
    if (!run.dump.IsObject()) run.dump.Parse("{\"spaces\": []}");
    return run;
}

// Escape and pad B press a screen's way back (the dialogs' NO, the pages' BACK) and pad A clicks like Enter; the
// quit dialog starts on NO, and its YES ends the program with status zero.
TEST(ProgramFlowTest, EscapeAndPadBGoBackAndTheKeyboardQuits)
{
    Script script;
    script.Wait(2).Key(kKeySpace, 20);                              // past the splash
    script.Walk("dddd").Key(kKeyEnter, 10).Pad(kPadB, 10);          // quit dialog, B
    script.Key(kKeyEnter, 10).Key(kKeyEscape, 10);                  // again, Escape
    script.Walk("uu").Key(kKeyEnter, 10).Key(kKeyEscape, 10);       // tutorial, Escape
    script.Walk("D").Pad(kPadA, 10).Pad(kPadB, 10);                 // options by the pad, B
    script.Walk("ddddd").Key(kKeyEnter, 10).Key(kKeyEnter, 10);     // quit, nothing lower; NO, where the dialog starts
    script.Key(kKeyEnter, 10).Key(kKeyLeft, 3).Key(kKeyEnter, 10);  // yes
    GameRun run = Play(script, 0);
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(run.Frames("MainMenu/QuitButton: opening \"MainMenuQuitConfirm\" at frame (\\d+)").size(), 4u) << run.output;
    EXPECT_EQ(run.Frames("MainMenuQuitConfirm/NoButton: closed, opening \"\" at frame (\\d+)").size(), 3u);
    EXPECT_THAT(run.output, HasSubstr("Tutorial/BackButton: closed, opening \"MainMenu\""));
    EXPECT_THAT(run.output, HasSubstr("MainMenuOptions/BackButton: closed"));
    EXPECT_THAT(run.Spaces(), ElementsAre("Debug"));
}

// Pauses of any length at any point of the bar (and the map editor) must not move the beat: autoplay then returns
// every ball on it, so nobody misses and the signs show the top grade, all within the match (about 1700 frames).
TEST(ProgramFlowTest, PausesOfAnyLengthLeaveEveryBallOnTheBeat)
{
    constexpr int kKeyLeftControl = 341, kKeyF6 = 295;
    Script script;
    script.Wait(599).KeyDown(kKeyLeftControl, 1).Key(kKeyF6, 1).KeyUp(kKeyLeftControl, 203);  // the editor, 3.4 s
    script.Key(kKeyEscape, 300);
    script.Key(kKeyEscape, 316).Key(kKeyEscape, 375);  // 5.3 s paused, then the count-down
    script.Key(kKeyEscape, 28).Key(kKeyEscape, 500);   // half a second
    GameRun run = Play(script, script.Frame(), "--space game --autoplay");
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(run.Frames("Pause: paused at frame (\\d+)").size(), 2u) << run.output;
    for (const char* side : {"0", "1"}) {  // no misses; the signs show PERFECT (frame 3 or 8)
        const rapidjson::Value *score = run.Entity("game", std::string("PlayerScore") + side),
                               *sign = run.Entity("game", std::string("BillBoardP") + side);
        ASSERT_TRUE(score && sign);
        EXPECT_STREQ((*score)["SpriteText"]["text"].GetString(), "0") << side;
        EXPECT_THAT((*sign)["Sprite"]["frameIndex"].GetUint(), ::testing::AnyOf(3u, 8u)) << side;
    }
}

} // namespace

} // namespace volleyrun
