// The map editor in a real window under Xvfb, opened over the match with an entity
// selected, judged by a screenshot: the panel is drawn across the top, the chosen tool's
// field is green and the property rows carry text.
#include "imagetestfiles.h"
#include "programrun.h"
#include "testcontent.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace volleyrun {

namespace {

using image_test_files::Measure;
using image_test_files::Region;

TEST(WindowEditorTest, TheEditorOverTheMatchShowsItsPanelTheChosenToolAndTheSelectedEntity)
{
    testing_content::TempContent scratch;
    std::filesystem::path replay = scratch.root / "editor.replay", shot = scratch.root / "editor.png";
    // The console key, the command letter by letter and Enter, then a click on the left billboard.
    std::string lines, command = "\\EDIT-OPEN-GAME\n";
    int frame = 20;
    for (char c : command) {
        int code = c == '\\' ? 92 : c == '\n' ? 257 : c;
        lines += std::to_string(frame) + " key " + std::to_string(code) + " press\n" + std::to_string(frame + 1) + " key " +
                 std::to_string(code) + " release\n";
        frame += 2;
    }
    frame -= 2;
    lines += program_run::CursorLine(frame + 10, -280, 87) + std::to_string(frame + 14) + " mouse 0 press\n" +
             std::to_string(frame + 15) + " mouse 0 release\n";
    testing_content::WriteText(replay, lines);
    int shotFrame = frame + 30;
    auto [status, output] = program_run::UnderXvfb(std::string(VOLLEYRUN_BINARY) + " " + program_run::RealContent() +
                                                   " --virtual-time --space game --replay " + replay.string() + " --frames " +
                                                   std::to_string(shotFrame + 2) + " --screenshot " + std::to_string(shotFrame) +
                                                   ":" + shot.string());
    ASSERT_EQ(status, 0) << output;
    image_test_files::Picture picture(shot.string());
    ASSERT_GT(picture.width, 0) << output;

    Region translate = Measure(picture, 40, 252, 55, 6);  // the chosen tool's field
    EXPECT_GT(translate.mean[1], translate.mean[0] + 30) << "not green";
    EXPECT_GT(translate.bright, 50) << "no text on the tool field";
    Region rows = Measure(picture, 360, 240, 90, 16);  // rows 0 and 1: translationX, translationY
    EXPECT_GT(rows.bright, 300) << "the selected entity's properties are not shown";
    Region name = Measure(picture, -250, 210, 70, 6);  // "Selected Name: BillBoardP0"
    EXPECT_GT(name.bright, 100);
}

} // namespace

} // namespace volleyrun
