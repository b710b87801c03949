// The map editor in a real window under Xvfb, opened over the match with an entity
// selected, judged by a screenshot: the panel is drawn across the top, the chosen tool's
// field is green and the property rows carry text.
#include "imagetestfiles.h"
#include "programrun.h"
#include "testcontent.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <sstream>

namespace {

namespace fs = std::filesystem;
using Colour = std::array<int, 3>;

using program_run::CursorLine;

std::string KeyLines(int frame, int code)
{
    return std::to_string(frame) + " key " + std::to_string(code) + " press\n" + std::to_string(frame + 1) + " key " +
           std::to_string(code) + " release\n";
}

struct Region {
    Colour mean{0, 0, 0};
    int bright = 0;  // pixels whose channels are all above 200: text
};

Region Measure(const image_test_files::Picture& picture, double x, double y, double halfWidth, double halfHeight)
{
    auto column = [&](double wx) { return static_cast<int>(picture.width / 2 + wx * picture.width / 1066.67); };
    auto row = [&](double wy) { return static_cast<int>(picture.height / 2 - wy * picture.height / 533.33); };
    Region region;
    long sum[3] = {0, 0, 0}, count = 0;
    for (int py = row(y + halfHeight); py < row(y - halfHeight); ++py)
        for (int px = column(x - halfWidth); px < column(x + halfWidth); ++px) {
            Colour c = picture.At(px, py);
            for (int i = 0; i < 3; ++i) sum[i] += c[i];
            if (c[0] > 200 && c[1] > 200 && c[2] > 200) ++region.bright;
            ++count;
        }
    if (count > 0)
        for (int i = 0; i < 3; ++i) region.mean[i] = static_cast<int>(sum[i] / count);
    return region;
}

TEST(WindowEditorTest, TheEditorOverTheMatchShowsItsPanelTheChosenToolAndTheSelectedEntity)
{
    testing_content::TempContent scratch;
    fs::path replay = scratch.root / "editor.replay", shot = scratch.root / "editor.png";
    // The console command letter by letter, then a click on the left billboard.
    std::string lines = KeyLines(20, 92);
    int frame = 22;
    for (char c : std::string("edit-open-game")) {
        lines += KeyLines(frame, c >= 'a' && c <= 'z' ? c - 32 : c);
        frame += 2;
    }
    lines += KeyLines(frame, 257) + CursorLine(frame + 10, -280, 87) + std::to_string(frame + 14) + " mouse 0 press\n" +
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
