// The menus in a real window under Xvfb, judged by screenshots: the hovered button lights
// up, the options overlay veils the menu, and a toggle shows its setting.
#include "imagetestfiles.h"
#include "programrun.h"
#include "testcontent.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>

namespace volleyrun {

namespace {

namespace fs = std::filesystem;
using Colour = std::array<int, 3>;
using program_run::CursorLine;

Colour Mean(const image_test_files::Picture& picture, double x, double y, double halfWidth, double halfHeight)
{
    return image_test_files::Measure(picture, x, y, halfWidth, halfHeight).mean;
}
bool Gold(Colour c) { return c[0] > 170 && c[1] > 140 && c[2] < 140; }

TEST(WindowMenuTest, TheHoveredButtonLightsTheOverlayVeilsTheMenuAndAToggleShowsItsSetting)
{
    testing_content::TempContent scratch;
    fs::path replay = scratch.root / "menu.replay";
    fs::path hovered = scratch.root / "hovered.png", options = scratch.root / "options.png", off = scratch.root / "off.png";
    // Past the studio card, any key; then onto PLAY; then OPTIONS; then the A toggle.
    std::string lines = "150 key 32 press\n151 key 32 release\n" + CursorLine(180, 0, 40) + CursorLine(220, 0, -20) +
                        "224 mouse 0 press\n226 mouse 0 release\n" + CursorLine(250, -252, 62) +
                        "280 mouse 0 press\n282 mouse 0 release\n";
    testing_content::WriteText(replay, lines);
    auto [status, output] = program_run::UnderXvfb(std::string(VOLLEYRUN_BINARY) + " " + program_run::RealContent() +
                                                   " --virtual-time --replay " + replay.string() + " --frames 300 --screenshot 215:" +
                                                   hovered.string() + " --screenshot 270:" + options.string() +
                                                   " --screenshot 298:" + off.string());
    ASSERT_EQ(status, 0) << output;

    image_test_files::Picture menu(hovered.string());
    ASSERT_TRUE(menu.Loaded()) << output;
    EXPECT_TRUE(Gold(Mean(menu, 0, 40, 100, 18)));      // PLAY, hovered
    EXPECT_FALSE(Gold(Mean(menu, 0, -20, 100, 18)));    // OPTIONS, not
    image_test_files::Picture overlay(options.string());
    ASSERT_TRUE(overlay.Loaded());
    EXPECT_TRUE(Gold(Mean(overlay, -252, 62, 12, 10)));  // the A toggle: on
    // Above the panel the logo and the sky show through the veil, at well under half their light.
    auto brightness = [](Colour c) { return c[0] + c[1] + c[2]; };
    EXPECT_LT(brightness(Mean(overlay, 0, 240, 300, 10)), brightness(Mean(menu, 0, 240, 300, 10)) * 45 / 100);
    image_test_files::Picture toggled(off.string());
    ASSERT_TRUE(toggled.Loaded());
    Colour toggle = Mean(toggled, -252, 62, 12, 10);
    EXPECT_TRUE(toggle[0] < 110 && toggle[1] < 110);  // clicked: off, dark
}

} // namespace

} // namespace volleyrun
