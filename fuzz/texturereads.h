// The reads a loaded texture serves at draw time, for the grid and atlas harnesses: the
// frame offset and scale and the page of frames in and past the texture's range. Called
// on the fuzzing thread after TextureStore::LoadDirectory has filled the table headless.
#pragma once

#include "sprite.h"
#include "texturestore.h"

#include <initializer_list>
#include <string>

namespace volleyrun {

namespace fuzz_support {

inline void ReadFrames(const std::string& image)
{
    Sprite sprite(nullptr, image);
    const Texture& texture = sprite.GetTexture();
    uint32_t last = texture.frameCount == 0 ? 0 : texture.frameCount - 1;
    for (uint32_t frame : {0u, 1u, last, last + 1, 0xFFFFFFFFu}) {
        sprite.frameIndex = frame;
        FrameUV(sprite.GetTexture(), sprite.frameIndex);
        FrameUVScale(texture, frame);
        PageTexture(texture);
    }
}

} // namespace fuzz_support

} // namespace volleyrun
