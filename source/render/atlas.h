// Atlas: the regions of one ".atlas" description (pages of packed frames, the common
// text layout of texture packers). The texture store parses one for every atlas image
// it registers at graphics start-up; FrameUV and the draw operations read the frames.
// Parsing throws GameError naming the file and line of anything it cannot read.
// Game thread only.
#pragma once

#include <glm/vec2.hpp>

#include <cstdint>
#include <string>
#include <vector>

namespace volleyrun {

struct AtlasFrame {
    std::string page;  // file name of the page image holding the region
    glm::vec2 xy{0.0f};      // pixels from the page's top-left corner (y downward)
    glm::vec2 size{0.0f};    // pixels
    glm::vec2 orig{0.0f};    // kept as read; not used when drawing
    glm::vec2 offset{0.0f};  // kept as read; not used when drawing
    int32_t index = 0;       // position among the frames; -1 in the file means "from the name"
};

class Atlas {
public:
    // Reads the file; an unreadable file or a malformed line throws GameError.
    static Atlas Parse(const std::string& atlasPath);
    // Parses text already read; path only names the file in errors.
    static Atlas ParseText(const std::string& text, const std::string& atlasPath);

    bool Empty() const { return frames.empty(); }

    std::string path;
    glm::vec2 size{0.0f};             // page width and height in pixels (the last page's size line)
    std::vector<AtlasFrame> frames;   // ascending index
    std::vector<std::string> pages;   // page names in order of first appearance
};

} // namespace volleyrun
