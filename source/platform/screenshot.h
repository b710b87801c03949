// Screenshot: saves the finished picture of a frame as a PNG (--screenshot FRAME:FILE.png).
// The window calls it right before the buffer swap of the frame asked for, with the
// context current; the pixels are read from the back buffer. Game thread only.
#pragma once

#include <string>

namespace volleyrun {

class Screenshot {
public:
    // Writes the back buffer's width x height pixels (RGB, top row first) to path; a
    // file that cannot be written throws GameError naming it.
    static void SaveBackBuffer(const std::string& path, int width, int height);
};

} // namespace volleyrun
