// A match of the real content drawn in a real window (Xvfb, Mesa's software GL): balls,
// letters and timing rings must be on screen once the opening is over.
#include "imagetestfiles.h"
#include "programrun.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

namespace {

TEST(MatchWindowTest, AMatchInProgressShowsBallsLettersAndRings)
{
    auto shot = std::filesystem::temp_directory_path() / "volleyrun-match-window.png";
    auto [status, output] = program_run::UnderXvfb(std::string(VOLLEYRUN_BINARY) + " " + program_run::RealContent() +
                                                   " --windowed --virtual-time --space game --autoplay --seed 7"
                                                   " --frames 1250 --screenshot 1240:" + shot.string());
    ASSERT_EQ(status, 0) << output;
    EXPECT_THAT(output, ::testing::Not(::testing::HasSubstr("ERROR ")));

    image_test_files::Picture picture(shot.string());
    ASSERT_TRUE(picture.Loaded());
    // The face-button colours of letters, balls and rings: one or two channels full, the rest off.
    auto letterColour = [](std::array<int, 3> c) {
        int high = 0, low = 0;
        for (int channel : c) {
            high += channel > 200 ? 1 : 0;
            low += channel < 60 ? 1 : 0;
        }
        bool yellow = c[0] > 200 && c[1] > 200 && c[2] < 60;
        return (high == 1 && low == 2) || yellow;
    };
    int lower = picture.Count(0, picture.height / 2, picture.width, picture.height, letterColour);
    EXPECT_GT(lower, 3000) << "no balls or rings in the lower half";
    std::filesystem::remove(shot);
}

} // namespace
