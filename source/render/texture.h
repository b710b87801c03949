// Texture: one image of the texture table, found by its file name alone. A plain image
// has one frame, a grid image frames in a regular grid (".txt" beside it), an atlas image
// regions on one or more pages (".atlas" beside it). The texture store fills these at
// graphics start-up; sprites, text and particles read them at draw time. Only
// currentFrame changes after start-up. Game thread only.
#pragma once

#include "atlas.h"

#include <glm/vec4.hpp>

#include <cstdint>
#include <string>
#include <vector>

namespace volleyrun {

struct Texture {
    std::string name;       // file name with extension; the key in the table
    int32_t width = 0;      // pixels of the last page decoded
    int32_t height = 0;
    int32_t channels = 0;   // channel count of the image file (pixels are always kept as RGBA)
    std::vector<uint32_t> pageTextures;  // GL texture names, one per page (0 when headless)
    std::vector<glm::vec4> pagePlaces;   // each page's place in its GL texture: x, y, w, h as fractions, y down
    uint32_t gridQuad = 0;  // index into the store's grid quads
    uint32_t frameCount = 1;
    Atlas atlas;            // empty unless the image is an atlas
    uint32_t currentFrame = 0;  // frame chosen by the last FrameUV; selects the page

    bool IsAtlas() const { return !atlas.Empty(); }
};

} // namespace volleyrun
