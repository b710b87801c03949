// A match of the real content in a real window (Xvfb, Mesa's software GL): no GL error, and
// balls, letters and timing rings on screen once the opening is over.
#include "imagetestfiles.h"
#include "programrun.h"
#include "testcontent.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace volleyrun {

namespace {

TEST(MatchWindowTest, AMatchInProgressShowsBallsLettersAndRings)
{
    testing_content::TempContent scratch;
    auto shot = scratch.root / "match.png";
    auto [status, output] = program_run::UnderXvfb(std::string(VOLLEYRUN_BINARY) + " " + program_run::RealContent() +
                                                   " --windowed --virtual-time --space game --autoplay --seed 7"
                                                   " --frames 1250 --screenshot 1240:" + shot.string());
    ASSERT_EQ(status, 0) << output;
    EXPECT_THAT(output, ::testing::Not(::testing::HasSubstr("ERROR ")));
    image_test_files::Picture picture(shot.string());
    ASSERT_TRUE(picture.Loaded());
    EXPECT_EQ(std::pair(picture.width, picture.height), std::pair(1800, 1012));  // the smaller window
    // The face-button colours of letters, balls and rings: one channel full and two off, or yellow.
    auto letterColour = [](std::array<int, 3> c) {
        int high = (c[0] > 200) + (c[1] > 200) + (c[2] > 200), low = (c[0] < 60) + (c[1] < 60) + (c[2] < 60);
        return (high == 1 && low == 2) || (c[0] > 200 && c[1] > 200 && c[2] < 60);
    };
    EXPECT_GT(picture.Count(0, picture.height / 2, picture.width, picture.height, letterColour), 3000) << "lower half";
}

} // namespace

} // namespace volleyrun
