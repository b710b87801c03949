// A match of the real content drawn in a real window (Xvfb, Mesa's software GL): balls,
// letters and timing rings must be on screen once the opening is over.
#include "imagetestfiles.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

namespace {

TEST(MatchWindowTest, AMatchInProgressShowsBallsLettersAndRings)
{
    auto shot = std::filesystem::temp_directory_path() / "volleyrun-match-window.png";
    std::string command = std::string("ASAN_OPTIONS=detect_leaks=0 xvfb-run -a -s \"-screen 0 1920x1080x24\" ") +
                          VOLLEYRUN_BINARY + " --data " + VOLLEYRUN_SOURCE_DIR +
                          "/Quillmoor --windowed --virtual-time --space game --autoplay --seed 7 --frames 1250 --screenshot 1240:" +
                          shot.string() + " </dev/null 2>&1";
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    char buffer[4096];
    while (size_t got = fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, got);
    int status = pclose(pipe);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << output;
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
